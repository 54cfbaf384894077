// The word cipher of container bodies.
//
// Each 64-bit little-endian word is XORed with a key word and then offset by
// the product of that key word and a running counter; a tail shorter than a
// word uses the bytes of the first key word. All arithmetic is modulo 2^64
// (2^8 for tail bytes), so every input is valid and nothing can fail.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace lockora::crypto {

// 256 key words expanded from one key: 2,048 bytes, one word per position of
// a full chunk.
using KeyTable = std::array<std::uint64_t, 256>;

// Largest chunk of stream content handled at once.
inline constexpr std::size_t kBlockSize = 2048;

enum class Direction : std::uint8_t {
    Decrypt = 0,
    Encrypt = 1,
};

// T[0] = key + 256; T[i] = T[i-1] * key + 256 * i.
void BuildKeyTable(std::uint64_t key, KeyTable& table);

// Transforms n / 8 words (n at most 2,048; its low three bits are ignored)
// with T[0], T[1], ... and the counter c, c + 1, ...; the counter is left
// after the last word. While decrypting `in` may equal `out`.
void CipherWords(Direction direction, const KeyTable& table, const std::uint8_t* in, std::uint8_t* out,
                 std::size_t n, std::uint64_t& counter);

// CipherWords, and the container checksum register `crc` run over the
// plaintext words (the input when encrypting, the output when decrypting)
// in the same pass: the block loop's hot path.
void CipherWordsWithCrc(Direction direction, const KeyTable& table, const std::uint8_t* in, std::uint8_t* out,
                        std::size_t n, std::uint64_t& counter, std::uint32_t& crc);

// Transforms n bytes (0 to 7) with the bytes of T[0], least significant
// first, and the low 8 bits of the counter, which advances per byte.
void CipherBytes(Direction direction, const KeyTable& table, const std::uint8_t* in, std::uint8_t* out,
                 std::size_t n, std::uint64_t& counter);

} // namespace lockora::crypto
