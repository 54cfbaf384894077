// Tables and steps of the container checksum, shared by the checksum itself
// and by the transform that checksums the words it ciphers.
//
// The update of one byte, r' = (r >> 8) ^ R[(r ^ b) & 0xFF], is linear in r
// and b over GF(2). Two consequences make it fast:
// - eight bytes fold into one step of eight lookups (slicing by 8);
// - the register after X || Y equals Z^|Y|(register after X) XOR (Y run from
//   0), where Z^k runs k zero bytes through the register. So a run of bytes
//   splits into stripes whose registers advance independently (the CPU
//   overlaps their lookups) and are joined by applying Z^stripe.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace lockora::crypto::crc_detail {

using Table = std::array<std::uint32_t, 256>;

// Bytes per stripe, and stripes per striped run.
inline constexpr std::size_t kStripe = 256;
inline constexpr std::size_t kStripes = 4;
inline constexpr std::size_t kStripedRun = kStripe * kStripes;

// R: the most-significant-bit-first table of the polynomial 0x04C11DB7.
constexpr Table MakeByteTable()
{
    Table table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t reg = i << 24;
        for (int bit = 0; bit < 8; ++bit)
            reg = (reg & 0x80000000u) ? (reg << 1) ^ 0x04C11DB7u : reg << 1;
        table[i] = reg;
    }
    return table;
}

inline constexpr Table kByte = MakeByteTable();

constexpr std::uint32_t ZeroByte(std::uint32_t reg)
{
    return (reg >> 8) ^ kByte[reg & 0xFF];
}

// slice[k][i]: the register i after k further zero bytes.
constexpr std::array<Table, 8> MakeSliceTables()
{
    std::array<Table, 8> tables{};
    tables[0] = kByte;
    for (std::size_t k = 1; k < 8; ++k) {
        for (std::size_t i = 0; i < 256; ++i)
            tables[k][i] = ZeroByte(tables[k - 1][i]);
    }
    return tables;
}

// shift[j][v]: Z^kStripe applied to the register v << 8j.
constexpr std::array<Table, 4> MakeShiftTables()
{
    std::array<std::uint32_t, 32> column{};
    for (int bit = 0; bit < 32; ++bit) {
        std::uint32_t reg = 1u << bit;
        for (std::size_t i = 0; i < kStripe; ++i)
            reg = ZeroByte(reg);
        column[bit] = reg;
    }
    std::array<Table, 4> tables{};
    for (int j = 0; j < 4; ++j) {
        for (std::uint32_t v = 0; v < 256; ++v) {
            std::uint32_t value = 0;
            for (int bit = 0; bit < 8; ++bit) {
                if (v & (1u << bit))
                    value ^= column[8 * j + bit];
            }
            tables[j][v] = value;
        }
    }
    return tables;
}

inline constexpr std::array<Table, 8> kSlice = MakeSliceTables();
inline constexpr std::array<Table, 4> kShift = MakeShiftTables();

// Eight bytes at once; `word` holds them little-endian.
inline std::uint32_t Step8(std::uint32_t r, std::uint64_t word)
{
    const std::uint32_t low = r ^ static_cast<std::uint32_t>(word);
    const auto high = static_cast<std::uint32_t>(word >> 32);
    return kSlice[7][low & 0xFF] ^ kSlice[6][(low >> 8) & 0xFF] ^ kSlice[5][(low >> 16) & 0xFF] ^
           kSlice[4][low >> 24] ^ kSlice[3][high & 0xFF] ^ kSlice[2][(high >> 8) & 0xFF] ^
           kSlice[1][(high >> 16) & 0xFF] ^ kSlice[0][high >> 24];
}

inline std::uint32_t Step1(std::uint32_t r, std::uint8_t byte)
{
    return (r >> 8) ^ kByte[(r ^ byte) & 0xFF];
}

// Z^kStripe: the register moved past one stripe of zero bytes.
inline std::uint32_t ShiftStripe(std::uint32_t r)
{
    return kShift[0][r & 0xFF] ^ kShift[1][(r >> 8) & 0xFF] ^ kShift[2][(r >> 16) & 0xFF] ^ kShift[3][r >> 24];
}

// Joins the registers of kStripes consecutive stripes, the first run from
// the real register, the others from 0.
inline std::uint32_t JoinStripes(const std::uint32_t (&regs)[kStripes])
{
    std::uint32_t r = regs[0];
    for (std::size_t s = 1; s < kStripes; ++s)
        r = ShiftStripe(r) ^ regs[s];
    return r;
}

} // namespace lockora::crypto::crc_detail
