// The password digest: MD5 with sign-extended byte packing.
//
// Block processing is RFC 1321 MD5; only the packing of message bytes into
// 32-bit words differs: each byte is sign-extended before it is shifted into
// its word, so a byte of 0x80 or more sets every higher bit of the word.
// Strings of bytes below 0x80 give the ordinary MD5 digest; stored containers
// and the stored program password depend on this exact variant.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace lockora::crypto {

// 32 lower-case hexadecimal characters, no terminator.
using DigestText = std::array<char, 32>;

// Pure: keeps no state outside the call, so any thread may call it.
DigestText DigestHex(std::span<const std::uint8_t> bytes);

} // namespace lockora::crypto
