// Little-endian words of stream content and of the container's integers,
// on any host.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace lockora::crypto {

inline std::uint64_t LoadWord(const std::uint8_t* bytes)
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

inline void StoreWord(std::uint64_t word, std::uint8_t* bytes)
{
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(bytes, &word, sizeof(word));
    } else {
        for (int i = 0; i < 8; ++i)
            bytes[i] = static_cast<std::uint8_t>(word >> (8 * i));
    }
}

// The `size` low bytes of a little-endian integer (size 1 to 8).
inline std::uint64_t LoadLittle(const std::uint8_t* bytes, int size)
{
    std::uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | bytes[i];
    return value;
}

inline void StoreLittle(std::uint64_t value, std::uint8_t* bytes, int size)
{
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

} // namespace lockora::crypto
