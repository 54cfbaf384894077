#include "crypto/cipher.h"

#include <bit>
#include <cstring>

namespace lockora::crypto {
namespace {

std::uint64_t LoadLittleEndian(const std::uint8_t* bytes)
{
    if constexpr (std::endian::native == std::endian::little) {
        std::uint64_t word;
        std::memcpy(&word, bytes, sizeof(word));
        return word;
    } else {
        std::uint64_t word = 0;
        for (int i = 7; i >= 0; --i)
            word = (word << 8) | bytes[i];
        return word;
    }
}

void StoreLittleEndian(std::uint64_t word, std::uint8_t* bytes)
{
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(bytes, &word, sizeof(word));
    } else {
        for (int i = 0; i < 8; ++i)
            bytes[i] = static_cast<std::uint8_t>(word >> (8 * i));
    }
}

} // namespace

void BuildKeyTable(std::uint64_t key, KeyTable& table)
{
    table[0] = key + 256;
    for (std::uint64_t i = 1; i < table.size(); ++i)
        table[i] = table[i - 1] * key + 256 * i;
}

void CipherWords(Direction direction, const KeyTable& table, const std::uint8_t* in, std::uint8_t* out,
                 std::size_t n, std::uint64_t& counter)
{
    const std::size_t words = n / 8;
    std::uint64_t c = counter;
    if (direction == Direction::Encrypt) {
        for (std::size_t j = 0; j < words; ++j, ++c) {
            const std::uint64_t k = table[j];
            StoreLittleEndian((LoadLittleEndian(in + 8 * j) ^ k) + k * c, out + 8 * j);
        }
    } else {
        for (std::size_t j = 0; j < words; ++j, ++c) {
            const std::uint64_t k = table[j];
            StoreLittleEndian((LoadLittleEndian(in + 8 * j) - k * c) ^ k, out + 8 * j);
        }
    }
    counter = c;
}

void CipherBytes(Direction direction, const KeyTable& table, const std::uint8_t* in, std::uint8_t* out,
                 std::size_t n, std::uint64_t& counter)
{
    for (std::size_t j = 0; j < n; ++j, ++counter) {
        const auto k = static_cast<std::uint8_t>(table[0] >> (8 * j));
        const auto m = static_cast<std::uint8_t>(counter);
        const std::uint8_t x = in[j];
        out[j] = direction == Direction::Encrypt ? static_cast<std::uint8_t>((x ^ k) + k * m)
                                                 : static_cast<std::uint8_t>(static_cast<std::uint8_t>(x - k * m) ^ k);
    }
}

} // namespace lockora::crypto
