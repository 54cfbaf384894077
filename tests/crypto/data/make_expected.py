#!/usr/bin/env python3
"""Writes the expected containers that container_bytes_test.cpp compares with.

Written from the format's description alone, without the C++ code: its own
MD5 with sign-extended byte packing (hashlib is used only to check that it
agrees with MD5 for ASCII input), its own key table, word cipher, checksum
and record layout. Run once; the test reads the files it wrote:

    python3 make_expected.py   # writes single_file.xep and folder.xep here
"""
import hashlib
import math
import os
import struct

MASK32 = 0xFFFFFFFF
MASK64 = 0xFFFFFFFFFFFFFFFF


# --- digest: MD5 blocks, sign-extended packing ---------------------------

SINE = [int(abs(math.sin(i + 1)) * 2**32) & MASK32 for i in range(64)]
SHIFTS = [7, 12, 17, 22] * 4 + [5, 9, 14, 20] * 4 + [4, 11, 16, 23] * 4 + [6, 10, 15, 21] * 4


def rotl(x, n):
    return ((x << n) | (x >> (32 - n))) & MASK32


def digest_hex(data):
    length = len(data)
    blocks = (length + 8) // 64 + 1
    words = [0] * (16 * blocks)
    for i, byte in enumerate(data):
        extended = byte if byte < 0x80 else byte | 0xFFFFFF00
        words[i // 4] |= (extended << (8 * (i % 4))) & MASK32
    words[length // 4] |= 0x80 << (8 * (length % 4))
    words[16 * blocks - 2] = (8 * length) & MASK32
    state = [0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476]
    for block in range(blocks):
        m = words[16 * block:16 * block + 16]
        a, b, c, d = state
        for i in range(64):
            if i < 16:
                f, g = (b & c) | (~b & d), i
            elif i < 32:
                f, g = (d & b) | (~d & c), (5 * i + 1) % 16
            elif i < 48:
                f, g = b ^ c ^ d, (3 * i + 5) % 16
            else:
                f, g = c ^ (b | (~d & MASK32)), (7 * i) % 16
            f &= MASK32
            a, d, c, b = d, c, b, (b + rotl((a + f + SINE[i] + m[g]) & MASK32, SHIFTS[i])) & MASK32
        state = [(s + v) & MASK32 for s, v in zip(state, (a, b, c, d))]
    return "".join("%02x" % ((w >> (8 * k)) & 0xFF) for w in state for k in range(4))


def key_from_digest(text):
    key = 0
    for i in range(16):
        key = key * 16 + int(text[2 * i], 16)
    return key


def narrow(password):
    units = password.encode("utf-16-le")
    return bytes(units[0::2])


def password_key(password):
    return key_from_digest(digest_hex(narrow(password)))


def password_check(password):
    return key_from_digest(digest_hex(digest_hex(narrow(password)).encode("ascii")))


# --- key table and cipher ------------------------------------------------

def key_table(key):
    table = [(key + 256) & MASK64]
    for i in range(1, 256):
        table.append((table[-1] * key + 256 * i) & MASK64)
    return table


def encrypt_stream(table, plain):
    """Full 2,048-byte chunks, the remainder rounded down to words, then
    the tail bytes; the counter starts at 10 and runs across all of them."""
    out = bytearray()
    counter = 10
    length = len(plain)
    pos = 0
    chunks = [2048] * (length // 2048) + [length & 0x7F8]
    for size in chunks:
        for j in range(size // 8):
            x = struct.unpack_from("<Q", plain, pos + 8 * j)[0]
            k = table[j]
            out += struct.pack("<Q", ((x ^ k) + k * counter) & MASK64)
            counter += 1
        pos += size
    for j in range(length % 8):
        k = (table[0] >> (8 * j)) & 0xFF
        out.append(((plain[pos + j] ^ k) + k * (counter % 256)) & 0xFF)
        counter += 1
    return bytes(out)


# --- checksum --------------------------------------------------------------

def crc_table():
    table = []
    for i in range(256):
        reg = i << 24
        for _ in range(8):
            reg = ((reg << 1) ^ 0x04C11DB7) if reg & 0x80000000 else reg << 1
            reg &= MASK32
        table.append(reg)
    return table


CRC_TABLE = crc_table()
MARKER = b"qarvelindotus"


def crc_update(reg, data):
    for byte in data:
        reg = (reg >> 8) ^ CRC_TABLE[(reg ^ byte) & 0xFF]
    return reg


def trailer(data_reg, recovery, kind, value):
    head = bytes([7, 1, recovery, 0]) + struct.pack("<iQQ", kind, value, 0)
    data_sum = crc_update(crc_update(data_reg, head), MARKER) ^ MASK32
    body = head + struct.pack("<I", data_sum)
    trailer_sum = crc_update(crc_update(MASK32, body), MARKER) ^ MASK32
    return body + struct.pack("<I", trailer_sum)


# --- the fixtures ------------------------------------------------------------

def pattern(length, mul, add):
    return bytes((i * mul + add) % 256 for i in range(length))


def single_file():
    password = "P\u00e4ssw\u00f6rd\u20ac\u4e2d"
    plain = pattern(3053, 131, 7)
    body = encrypt_stream(key_table(password_key(password)), plain)
    return body + trailer(crc_update(MASK32, plain), 0, -254, password_check(password))


def folder():
    # Listing order of C:\docs: b.bin, Empty, sub; sub holds \u00e4.txt.
    password = "secret"
    table = key_table(password_key(password))
    entries = [
        ("\\b.bin", pattern(2061, 17, 3)),
        ("\\Empty", None),
        ("\\sub", None),
        ("\\sub\\\u00e4.txt", "h\u00e9llo w\u00f6rld\n".encode("utf-8")),
    ]
    body = bytearray()
    reg = MASK32
    for path, content in entries:
        header = b"\xff" + struct.pack("<i", -255 if content is None else -254)
        header += path.encode("utf-16-le") + b"\0\0"
        if content is not None:
            header += struct.pack("<Q", len(content))
        body += header
        reg = crc_update(reg, header)
        if content is not None:
            body += encrypt_stream(table, content)
            reg = crc_update(reg, content)
    return bytes(body) + trailer(reg, 1, -255, password_key(password))


def main():
    for text in (b"", b"abc", b"secret", bytes(range(0x20, 0x7F))):
        assert digest_hex(text) == hashlib.md5(text).hexdigest()
    assert crc_update(MASK32, b"abc") ^ MASK32 == 0xD9D5C2DB
    assert crc_update(MASK32, b"123456789") ^ MASK32 == 0x7EAD5C77
    here = os.path.dirname(os.path.abspath(__file__))
    for name, data in (("single_file.xep", single_file()), ("folder.xep", folder())):
        with open(os.path.join(here, name), "wb") as out:
            out.write(data)


if __name__ == "__main__":
    main()
