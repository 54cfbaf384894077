#include "crypto/strong_format.h"

#include "crypto/container_trailer.h"
#include "crypto/word_io.h"
#include "platform/errors.h"
#include "platform/text.h"

#include <sodium.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace lockora::crypto {
namespace {

constexpr std::array<std::uint8_t, 8> kMagic = {0x89, 'X', 'E', 'P', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::array<std::uint8_t, 8> kEndMagic = {'X', 'E', 'P', 'E', 'N', 'D', 0, 0};
constexpr std::size_t kAssociatedSize = 64;
constexpr std::size_t kNonceSize = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;

static_assert(crypto_secretstream_xchacha20poly1305_HEADERBYTES == 24);
static_assert(crypto_secretstream_xchacha20poly1305_ABYTES == kStrongChunkOverhead);
static_assert(crypto_secretstream_xchacha20poly1305_KEYBYTES == kStrongKeySize);
static_assert(crypto_pwhash_SALTBYTES == 16);
static_assert(kNonceSize + kStrongKeySize + crypto_aead_xchacha20poly1305_ietf_ABYTES == kStrongWrapSize);

// libsodium picks its implementations once; without it nothing is safe to call.
void EnsureSodium()
{
    static const bool ready = sodium_init() >= 0;
    if (!ready)
        std::abort();
}

} // namespace

SecretKey::~SecretKey()
{
    Wipe();
}

void SecretKey::Wipe()
{
    sodium_memzero(bytes_.data(), bytes_.size());
}

std::array<std::uint8_t, kStrongHeaderSize> StrongHeader::Bytes() const
{
    std::array<std::uint8_t, kStrongHeaderSize> bytes{};
    std::copy(kMagic.begin(), kMagic.end(), bytes.begin());
    bytes[8] = kStrongVersion;
    bytes[9] = kind;
    bytes[10] = flags;
    StoreLittle(parameters.chunkSize, &bytes[12], 4);
    StoreLittle(parameters.passes, &bytes[16], 4);
    StoreLittle(parameters.memoryKiB, &bytes[20], 4);
    std::copy(salt.begin(), salt.end(), &bytes[24]);
    std::copy(streamHeader.begin(), streamHeader.end(), &bytes[40]);
    std::copy(passwordWrap.begin(), passwordWrap.end(), &bytes[64]);
    std::copy(recoveryWrap.begin(), recoveryWrap.end(), &bytes[136]);
    return bytes;
}

bool HasStrongMagic(std::span<const std::uint8_t> bytes)
{
    return bytes.size() >= kMagic.size() && std::equal(kMagic.begin(), kMagic.end(), bytes.begin());
}

StrongHeaderRead ParseStrongHeader(std::span<const std::uint8_t, kStrongHeaderSize> bytes, StrongHeader& header)
{
    if (!HasStrongMagic(bytes))
        return StrongHeaderRead::NotStrong;
    header.kind = bytes[9];
    header.flags = bytes[10];
    header.parameters.chunkSize = static_cast<std::uint32_t>(LoadLittle(&bytes[12], 4));
    header.parameters.passes = static_cast<std::uint32_t>(LoadLittle(&bytes[16], 4));
    header.parameters.memoryKiB = static_cast<std::uint32_t>(LoadLittle(&bytes[20], 4));
    const StrongParameters& p = header.parameters;
    if (bytes[8] != kStrongVersion || (header.kind != kStrongKindFile && header.kind != kStrongKindFolder) ||
        (header.flags & ~kStrongFlagRecovery) != 0 || bytes[11] != 0 || p.passes < kMinPasses ||
        p.passes > kMaxPasses || p.memoryKiB < kMinMemoryKiB || p.memoryKiB > kMaxMemoryKiB ||
        p.chunkSize < kMinChunkSize || p.chunkSize > kMaxChunkSize)
        return StrongHeaderRead::OutOfBounds;
    std::copy_n(&bytes[24], header.salt.size(), header.salt.begin());
    std::copy_n(&bytes[40], header.streamHeader.size(), header.streamHeader.begin());
    std::copy_n(&bytes[64], kStrongWrapSize, header.passwordWrap.begin());
    std::copy_n(&bytes[136], kStrongWrapSize, header.recoveryWrap.begin());
    return StrongHeaderRead::Ok;
}

std::array<std::uint8_t, kStrongEndSize> MakeStrongEnd(std::uint64_t containerSize)
{
    ContainerTrailer end;
    std::copy(kEndMagic.begin(), kEndMagic.end(), end.bytes.begin());
    StoreLittle(containerSize, &end.bytes[8], 8);
    StoreLittle(~end.ComputeTrailerChecksum(), &end.bytes[28], 4);
    return end.bytes;
}

bool IsStrongEnd(std::span<const std::uint8_t, kStrongEndSize> end, std::uint64_t containerSize)
{
    ContainerTrailer copy;
    std::copy(end.begin(), end.end(), copy.bytes.begin());
    return std::equal(kEndMagic.begin(), kEndMagic.end(), end.begin()) && LoadLittle(&end[8], 8) == containerSize &&
           std::all_of(&end[16], &end[28], [](std::uint8_t byte) { return byte == 0; }) &&
           copy.TrailerChecksum() == ~copy.ComputeTrailerChecksum();
}

std::string StrongPasswordBytes(std::u16string_view password)
{
    return platform::Utf16ToUtf8(password);
}

std::string StrongRecoveryBytes(std::uint64_t programPassword)
{
    std::string secret = "lockora recovery ";
    std::array<std::uint8_t, 8> value{};
    StoreLittle(programPassword, value.data(), 8);
    secret.append(value.begin(), value.end());
    sodium_memzero(value.data(), value.size());
    return secret;
}

platform::Status DeriveStrongKey(std::string_view secret, const StrongHeader& header, SecretKey& key)
{
    EnsureSodium();
    const std::uint64_t memory = std::uint64_t{header.parameters.memoryKiB} * 1024;
    if (crypto_pwhash(key.data(), kStrongKeySize, secret.data(), secret.size(), header.salt.data(),
                      header.parameters.passes, memory, crypto_pwhash_ALG_ARGON2ID13) != 0)
        return platform::Error(platform::kErrorNotEnoughMemory);
    return {};
}

void WrapStreamKey(const StrongHeader& header, const SecretKey& key, const SecretKey& streamKey,
                   std::array<std::uint8_t, kStrongWrapSize>& wrap)
{
    EnsureSodium();
    const auto associated = header.Bytes();
    randombytes_buf(wrap.data(), kNonceSize);
    crypto_aead_xchacha20poly1305_ietf_encrypt(wrap.data() + kNonceSize, nullptr, streamKey.data(), kStrongKeySize,
                                               associated.data(), kAssociatedSize, nullptr, wrap.data(), key.data());
}

bool UnwrapStreamKey(const StrongHeader& header, const SecretKey& key,
                     const std::array<std::uint8_t, kStrongWrapSize>& wrap, SecretKey& streamKey)
{
    EnsureSodium();
    const auto associated = header.Bytes();
    return crypto_aead_xchacha20poly1305_ietf_decrypt(streamKey.data(), nullptr, nullptr, wrap.data() + kNonceSize,
                                                      kStrongWrapSize - kNonceSize, associated.data(),
                                                      kAssociatedSize, wrap.data(), key.data()) == 0;
}

void RandomBytes(std::span<std::uint8_t> bytes)
{
    EnsureSodium();
    randombytes_buf(bytes.data(), bytes.size());
}

} // namespace lockora::crypto
