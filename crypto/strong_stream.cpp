#include "crypto/strong_stream.h"

#include "platform/errors.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace lockora::crypto {

StrongFrame ReadStrongFrame(platform::File& container, StrongHeader& header, std::uint64_t& size)
{
    std::array<std::uint8_t, kStrongHeaderSize> bytes{};
    const auto read = container.ReadAt(0, bytes.data(), bytes.size());
    if (!read)
        return {StrongFrameRead::ReadFailed, read.code()};
    if (!HasStrongMagic(std::span(bytes.data(), *read)))
        return {StrongFrameRead::NotStrong};
    const auto length = container.Size();
    if (!length)
        return {StrongFrameRead::ReadFailed, length.code()};
    size = *length;
    if (size < kStrongHeaderSize + kStrongChunkOverhead + kStrongEndSize)
        return {StrongFrameRead::Damaged};
    if (*read != bytes.size())
        return {StrongFrameRead::ReadFailed, platform::kErrorHandleEof};
    if (ParseStrongHeader(bytes, header) != StrongHeaderRead::Ok)
        return {StrongFrameRead::Damaged};
    std::array<std::uint8_t, kStrongEndSize> end{};
    const auto endRead = container.ReadAt(size - kStrongEndSize, end.data(), end.size());
    if (!endRead)
        return {StrongFrameRead::ReadFailed, endRead.code()};
    if (*endRead != end.size())
        return {StrongFrameRead::ReadFailed, platform::kErrorHandleEof};
    if (!IsStrongEnd(end, size))
        return {StrongFrameRead::Damaged};
    return {StrongFrameRead::Ok};
}

StrongSealer::StrongSealer(const SecretKey& streamKey, std::uint32_t chunkSize,
                           std::array<std::uint8_t, 24>& streamHeader)
    : plain_(chunkSize), sealed_(chunkSize + kStrongChunkOverhead), chunkSize_(chunkSize)
{
    crypto_secretstream_xchacha20poly1305_init_push(&state_, streamHeader.data(), streamKey.data());
}

StrongSealer::~StrongSealer()
{
    sodium_memzero(&state_, sizeof(state_));
    sodium_memzero(plain_.data(), plain_.size());
}

void StrongSealer::Write(std::span<const std::uint8_t> plain, const ChunkSink& sink)
{
    while (!plain.empty()) {
        // A full chunk is sealed only when more follows: the last chunk,
        // full or not, must carry the final tag.
        if (filled_ == chunkSize_)
            Seal(crypto_secretstream_xchacha20poly1305_TAG_MESSAGE, sink);
        const std::size_t take = std::min(plain.size(), chunkSize_ - filled_);
        std::memcpy(plain_.data() + filled_, plain.data(), take);
        filled_ += take;
        plain = plain.subspan(take);
    }
}

void StrongSealer::Finish(const ChunkSink& sink)
{
    Seal(crypto_secretstream_xchacha20poly1305_TAG_FINAL, sink);
}

void StrongSealer::Seal(unsigned char tag, const ChunkSink& sink)
{
    unsigned long long length = 0;
    crypto_secretstream_xchacha20poly1305_push(&state_, sealed_.data(), &length, plain_.data(), filled_, nullptr, 0,
                                               tag);
    filled_ = 0;
    sink(std::span<const std::uint8_t>(sealed_.data(), static_cast<std::size_t>(length)));
}

StrongOpener::StrongOpener(platform::File& container, std::uint64_t begin, std::uint64_t end,
                           const SecretKey& streamKey, const std::array<std::uint8_t, 24>& streamHeader,
                           std::uint32_t chunkSize)
    : container_(container), offset_(begin), end_(end), sealed_(chunkSize + kStrongChunkOverhead), plain_(chunkSize),
      chunkSize_(chunkSize)
{
    badHeader_ = crypto_secretstream_xchacha20poly1305_init_pull(&state_, streamHeader.data(), streamKey.data()) != 0;
}

StrongOpener::~StrongOpener()
{
    sodium_memzero(&state_, sizeof(state_));
    sodium_memzero(plain_.data(), plain_.size());
}

StrongRead StrongOpener::Pull()
{
    if (badHeader_ || final_ || offset_ >= end_)
        return StrongRead::Damaged; // nothing more to read: the final chunk is missing or was read
    const auto want = static_cast<std::uint32_t>(std::min<std::uint64_t>(end_ - offset_, sealed_.size()));
    if (want < kStrongChunkOverhead)
        return StrongRead::Damaged;
    const auto read = container_.ReadAt(offset_, sealed_.data(), want);
    if (!read || *read != want) {
        error_ = read ? platform::kErrorHandleEof : read.code();
        return StrongRead::ReadFailed;
    }
    unsigned long long length = 0;
    unsigned char tag = 0;
    if (crypto_secretstream_xchacha20poly1305_pull(&state_, plain_.data(), &length, &tag, sealed_.data(), want,
                                                   nullptr, 0) != 0)
        return StrongRead::Damaged;
    offset_ += want;
    available_ = static_cast<std::size_t>(length);
    taken_ = 0;
    if (tag == crypto_secretstream_xchacha20poly1305_TAG_FINAL) {
        // The final chunk ends the body; anything after it was appended.
        if (offset_ != end_)
            return StrongRead::Damaged;
        final_ = true;
    } else if (tag != crypto_secretstream_xchacha20poly1305_TAG_MESSAGE || length != chunkSize_) {
        return StrongRead::Damaged;
    }
    return StrongRead::Ok;
}

StrongRead StrongOpener::Next(std::size_t limit, std::span<const std::uint8_t>& piece)
{
    piece = {};
    while (taken_ == available_) {
        if (final_)
            return StrongRead::Ok;
        if (const StrongRead pulled = Pull(); pulled != StrongRead::Ok)
            return pulled;
    }
    const std::size_t take = std::min(limit, available_ - taken_);
    piece = std::span<const std::uint8_t>(plain_.data() + taken_, take);
    taken_ += take;
    return StrongRead::Ok;
}

StrongRead StrongOpener::Read(std::span<std::uint8_t> out)
{
    while (!out.empty()) {
        std::span<const std::uint8_t> piece;
        if (const StrongRead next = Next(out.size(), piece); next != StrongRead::Ok)
            return next;
        if (piece.empty())
            return StrongRead::Damaged;
        std::memcpy(out.data(), piece.data(), piece.size());
        out = out.subspan(piece.size());
    }
    return StrongRead::Ok;
}

} // namespace lockora::crypto
