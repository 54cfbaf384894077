// The 32-bit FNV-1a hash of a key's UTF-16 bytes (little-endian, as the
// keys are laid out in memory on Windows), for the icon cache's map.
#pragma once

#include <cstdint>
#include <string_view>

namespace lockora::browse {

constexpr std::uint32_t Fnv1a(std::u16string_view key)
{
    std::uint32_t hash = 2166136261u;
    for (const char16_t unit : key) {
        for (const unsigned byte : {unsigned(unit) & 0xFFu, unsigned(unit) >> 8}) {
            hash ^= byte;
            hash *= 16777619u;
        }
    }
    return hash;
}

struct Fnv1aHash {
    using is_transparent = void; // finds by string_view without a copy
    std::size_t operator()(std::u16string_view key) const { return Fnv1a(key); }
};

} // namespace lockora::browse
