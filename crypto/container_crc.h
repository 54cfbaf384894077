// The container checksum.
//
// Its table is the most-significant-bit-first table of the CRC-32 polynomial
// 0x04C11DB7, but the register is updated in the right-shifting form
// r = (r >> 8) ^ R[(r ^ b) & 0xFF]. The combination is neither CRC-32 nor
// CRC-32/BZIP2; containers depend on exactly this checksum. "abc" gives
// 0xD9D5C2DB and "123456789" 0x7EAD5C77.
#pragma once

#include <cstdint>
#include <span>

namespace lockora::crypto {

// The register of a new checksum; the checksum is NOT of the final register.
inline constexpr std::uint32_t kCrcStart = 0xFFFFFFFF;

// Runs the register over the bytes, eight at a time where it can: the update
// is linear, so eight derived tables give the same values as eight single
// steps.
void ContainerCrcUpdate(std::uint32_t& reg, std::span<const std::uint8_t> bytes);

// The checksum of the bytes alone: NOT of the register run from kCrcStart.
std::uint32_t ContainerCrc(std::span<const std::uint8_t> bytes);

} // namespace lockora::crypto
