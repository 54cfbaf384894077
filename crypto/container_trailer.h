// The 32-byte trailer that closes every container.
//
//   0   u8   7                    4   i32  kind (-254 file, -255 folder)
//   1   u8   1                    8   u64  password value
//   2   u8   recovery flag        16  u64  reserved, 0
//   3   u8   reserved, 0          24  u32  data checksum
//                                 28  u32  trailer checksum
//
// All integers are little-endian. The trailer checksum covers bytes 0-27 and
// tells a container from any other file; the data checksum covers all
// plaintext (and folder record headers), then bytes 0-23. Both continue over
// the marker text, which is never stored.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace lockora::crypto {

inline constexpr std::int32_t kKindFile = -254;
inline constexpr std::int32_t kKindFolder = -255;
inline constexpr std::size_t kTrailerSize = 32;
inline constexpr std::string_view kTrailerMarker = "qarvelindotus";

struct ContainerTrailer {
    std::array<std::uint8_t, kTrailerSize> bytes{};

    // Bytes 0-23 of a new trailer; the checksums are filled by Seal.
    static ContainerTrailer Make(bool recoveryFlag, std::int32_t kind, std::uint64_t passwordValue);

    // Continues `dataCrc` (the register over the body's plaintext) over bytes
    // 0-23 and the marker, and stores both checksums.
    void Seal(std::uint32_t dataCrc);

    std::uint8_t RecoveryFlag() const { return bytes[2]; }
    std::int32_t Kind() const;
    std::uint64_t PasswordValue() const;
    std::uint32_t DataChecksum() const;
    std::uint32_t TrailerChecksum() const;

    // NOT of the register run over bytes 0-23 and the marker, from `dataCrc`.
    std::uint32_t ComputeDataChecksum(std::uint32_t dataCrc) const;
    // The checksum of bytes 0-27 and the marker.
    std::uint32_t ComputeTrailerChecksum() const;
};

} // namespace lockora::crypto
