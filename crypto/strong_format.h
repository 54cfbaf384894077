// The strong container format: a header at offset 0, an authenticated stream
// of chunks, and a 32-byte end block (docs/strong-format.md).
//
//   header (208 bytes)
//     0   8   magic 89 'X' 'E' 'P' 0D 0A 1A 0A
//     8   1   version, 1
//     9   1   kind: 1 file, 2 folder
//     10  1   flags: bit 0 the recovery wrap is present
//     11  1   reserved, 0
//     12  4   plaintext bytes per chunk
//     16  4   Argon2id passes
//     20  4   Argon2id memory in KiB
//     24  16  salt
//     40  24  secretstream header
//     64  72  stream key wrapped under the password key
//     136 72  stream key wrapped under the recovery key, or zeros
//   chunks: each chunk's plaintext sealed by secretstream (17 bytes more);
//     all chunks but the last hold exactly a chunk of plaintext, the last
//     one is tagged final
//   end block (32 bytes)
//     0   8   'X' 'E' 'P' 'E' 'N' 'D' 0 0
//     8   8   the container's length
//     16  12  zeros
//     28  4   the complement of the legacy trailer checksum of bytes 0-27,
//             so that a legacy reader takes the file for no container
//
// A wrap is a 24-byte nonce, then the 32-byte stream key sealed with
// XChaCha20-Poly1305 under the derived key, bytes 0-63 of the header as
// associated data: a changed parameter, salt or flag fails the unwrap.
//
// The plaintext stream starts with the item's last-write time (a file time,
// 8 bytes); a file's content follows. A folder's records follow: the record
// header of the legacy folder body, then the entry's last-write time, then
// a file's content.
#pragma once

#include "platform/result.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace lockora::crypto {

inline constexpr std::size_t kStrongHeaderSize = 208;
inline constexpr std::size_t kStrongEndSize = 32;
inline constexpr std::size_t kStrongKeySize = 32;
inline constexpr std::size_t kStrongChunkOverhead = 17;
inline constexpr std::size_t kStrongWrapSize = 72;
inline constexpr std::uint8_t kStrongVersion = 1;
inline constexpr std::uint8_t kStrongKindFile = 1;
inline constexpr std::uint8_t kStrongKindFolder = 2;
inline constexpr std::uint8_t kStrongFlagRecovery = 1;

// The Argon2id cost and the chunk length of new containers, and the bounds a
// reader accepts before it allocates anything.
struct StrongParameters {
    std::uint32_t passes = 3;
    std::uint32_t memoryKiB = 256 * 1024;
    std::uint32_t chunkSize = 64 * 1024;
};
inline constexpr std::uint32_t kMinPasses = 1;
inline constexpr std::uint32_t kMaxPasses = 16;
inline constexpr std::uint32_t kMinMemoryKiB = 8 * 1024;
inline constexpr std::uint32_t kMaxMemoryKiB = 1024 * 1024;
inline constexpr std::uint32_t kMinChunkSize = 4 * 1024;
inline constexpr std::uint32_t kMaxChunkSize = 4 * 1024 * 1024;

// A key that wipes itself.
class SecretKey {
public:
    SecretKey() = default;
    SecretKey(const SecretKey&) = delete;
    SecretKey& operator=(const SecretKey&) = delete;
    ~SecretKey();
    std::uint8_t* data() { return bytes_.data(); }
    const std::uint8_t* data() const { return bytes_.data(); }
    void Wipe();

private:
    std::array<std::uint8_t, kStrongKeySize> bytes_{};
};

struct StrongHeader {
    std::uint8_t kind = kStrongKindFile;
    std::uint8_t flags = 0;
    StrongParameters parameters;
    std::array<std::uint8_t, 16> salt{};
    std::array<std::uint8_t, 24> streamHeader{};
    std::array<std::uint8_t, kStrongWrapSize> passwordWrap{};
    std::array<std::uint8_t, kStrongWrapSize> recoveryWrap{};

    bool IsFolder() const { return kind == kStrongKindFolder; }
    bool HasRecovery() const { return (flags & kStrongFlagRecovery) != 0; }
    std::array<std::uint8_t, kStrongHeaderSize> Bytes() const;
};

// Whether `bytes` (the first bytes of a file) start with the magic text.
bool HasStrongMagic(std::span<const std::uint8_t> bytes);

enum class StrongHeaderRead : std::uint8_t { Ok, NotStrong, OutOfBounds };

// Parses a header: NotStrong without the magic, OutOfBounds for an unknown
// version, kind or flag, a reserved byte that is not 0, or a cost or chunk
// length beyond the bounds.
StrongHeaderRead ParseStrongHeader(std::span<const std::uint8_t, kStrongHeaderSize> bytes, StrongHeader& header);

std::array<std::uint8_t, kStrongEndSize> MakeStrongEnd(std::uint64_t containerSize);
// Whether `end` is the end block of a container of `containerSize` bytes.
bool IsStrongEnd(std::span<const std::uint8_t, kStrongEndSize> end, std::uint64_t containerSize);

// The password as the key derivation takes it: UTF-8 of the UTF-16 text.
std::string StrongPasswordBytes(std::u16string_view password);
// The recovery secret: the stored program password value, in its own domain.
std::string StrongRecoveryBytes(std::uint64_t programPassword);

// Argon2id of `secret` with the header's salt and cost. Fails with 8 (not
// enough memory) when the derivation cannot get its memory.
platform::Status DeriveStrongKey(std::string_view secret, const StrongHeader& header, SecretKey& key);

// Seals `streamKey` under `key` into `wrap`, bound to the header's bytes 0-63.
void WrapStreamKey(const StrongHeader& header, const SecretKey& key, const SecretKey& streamKey,
                   std::array<std::uint8_t, kStrongWrapSize>& wrap);
// False when the wrap does not open under `key` for this header.
bool UnwrapStreamKey(const StrongHeader& header, const SecretKey& key,
                     const std::array<std::uint8_t, kStrongWrapSize>& wrap, SecretKey& streamKey);

// Where sealed chunks go: the container, and its backup copy.
using ChunkSink = std::function<void(std::span<const std::uint8_t>)>;

// Fills `bytes` with random bytes (salts, stream keys).
void RandomBytes(std::span<std::uint8_t> bytes);

} // namespace lockora::crypto
