#include "crypto/container_crc.h"

#include <array>

namespace lockora::crypto {
namespace {

using CrcTables = std::array<std::array<std::uint32_t, 256>, 8>;

// tables[0] is R; tables[k][i] is the register after byte i was followed by
// k zero bytes, so eight bytes fold into one step of eight lookups.
constexpr CrcTables MakeTables()
{
    CrcTables tables{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t reg = i << 24;
        for (int bit = 0; bit < 8; ++bit)
            reg = (reg & 0x80000000u) ? (reg << 1) ^ 0x04C11DB7u : reg << 1;
        tables[0][i] = reg;
    }
    for (std::size_t k = 1; k < 8; ++k) {
        for (std::size_t i = 0; i < 256; ++i) {
            const std::uint32_t previous = tables[k - 1][i];
            tables[k][i] = (previous >> 8) ^ tables[0][previous & 0xFF];
        }
    }
    return tables;
}

constexpr CrcTables kTables = MakeTables();

} // namespace

void ContainerCrcUpdate(std::uint32_t& reg, std::span<const std::uint8_t> bytes)
{
    std::uint32_t r = reg;
    const std::uint8_t* p = bytes.data();
    std::size_t n = bytes.size();
    for (; n >= 8; n -= 8, p += 8) {
        const std::uint32_t low = r ^ (static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                                       static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
        r = kTables[7][low & 0xFF] ^ kTables[6][(low >> 8) & 0xFF] ^ kTables[5][(low >> 16) & 0xFF] ^
            kTables[4][low >> 24] ^ kTables[3][p[4]] ^ kTables[2][p[5]] ^ kTables[1][p[6]] ^ kTables[0][p[7]];
    }
    for (; n > 0; --n, ++p)
        r = (r >> 8) ^ kTables[0][(r ^ *p) & 0xFF];
    reg = r;
}

std::uint32_t ContainerCrc(std::span<const std::uint8_t> bytes)
{
    std::uint32_t reg = kCrcStart;
    ContainerCrcUpdate(reg, bytes);
    return ~reg;
}

} // namespace lockora::crypto
