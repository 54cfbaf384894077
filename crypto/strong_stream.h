// The chunked, authenticated body of a strong container
// (crypto_secretstream_xchacha20poly1305).
//
// StrongSealer takes plaintext in any pieces and hands out sealed chunks:
// every chunk but the last holds exactly `chunkSize` plaintext bytes, and
// the last one, tagged final, whatever remains (possibly nothing).
// StrongOpener reads the chunks back from a container and gives out
// plaintext only from chunks that authenticated, so nothing unverified is
// ever written; a changed byte, a reordered, missing or appended chunk, or a
// body cut short (at a chunk boundary too) is Damaged.
#pragma once

#include "crypto/strong_format.h"
#include "platform/file.h"

#include <sodium.h>

#include <cstdint>
#include <span>
#include <vector>

namespace lockora::crypto {

class StrongSealer {
public:
    // Starts a stream under `streamKey`; its secretstream header goes to
    // `streamHeader`.
    StrongSealer(const SecretKey& streamKey, std::uint32_t chunkSize, std::array<std::uint8_t, 24>& streamHeader);
    StrongSealer(const StrongSealer&) = delete;
    StrongSealer& operator=(const StrongSealer&) = delete;
    ~StrongSealer();

    void Write(std::span<const std::uint8_t> plain, const ChunkSink& sink);
    // Seals the final chunk; nothing may be written after it.
    void Finish(const ChunkSink& sink);

private:
    void Seal(unsigned char tag, const ChunkSink& sink);

    crypto_secretstream_xchacha20poly1305_state state_{};
    std::vector<std::uint8_t> plain_;
    std::vector<std::uint8_t> sealed_;
    std::size_t filled_ = 0;
    std::uint32_t chunkSize_;
};

enum class StrongFrameRead : std::uint8_t {
    Ok,
    NotStrong,  // the file does not start with the magic text
    Damaged,    // too short for a container, a header out of bounds, or a wrong end block
    ReadFailed, // `error` says why
};

struct StrongFrame {
    StrongFrameRead outcome = StrongFrameRead::Ok;
    platform::ErrorCode error = 0;
};

// Reads and checks the header and the end block of `container`; `size` is
// the container's length once known (always when the magic text is there).
StrongFrame ReadStrongFrame(platform::File& container, StrongHeader& header, std::uint64_t& size);

enum class StrongRead : std::uint8_t { Ok, Damaged, ReadFailed };

class StrongOpener {
public:
    // Reads the chunks of `container` from `begin` to `end` (the end block).
    StrongOpener(platform::File& container, std::uint64_t begin, std::uint64_t end, const SecretKey& streamKey,
                 const std::array<std::uint8_t, 24>& streamHeader, std::uint32_t chunkSize);
    StrongOpener(const StrongOpener&) = delete;
    StrongOpener& operator=(const StrongOpener&) = delete;
    ~StrongOpener();

    // Exactly `out.size()` plaintext bytes; Damaged when the stream ends
    // before them.
    StrongRead Read(std::span<std::uint8_t> out);
    // Up to `limit` bytes of the authenticated plaintext at hand (reading
    // the next chunk when none is), for copying content without a second
    // buffer; an empty span at the final chunk's end.
    StrongRead Next(std::size_t limit, std::span<const std::uint8_t>& piece);
    // After the last record: the final chunk was read and nothing follows.
    bool AtEnd() const { return final_ && taken_ == available_; }
    platform::ErrorCode error() const { return error_; }

private:
    StrongRead Pull();

    platform::File& container_;
    std::uint64_t offset_;
    std::uint64_t end_;
    crypto_secretstream_xchacha20poly1305_state state_{};
    std::vector<std::uint8_t> sealed_;
    std::vector<std::uint8_t> plain_;
    std::size_t available_ = 0;
    std::size_t taken_ = 0;
    std::uint32_t chunkSize_;
    bool final_ = false;
    bool badHeader_ = false;
    platform::ErrorCode error_ = 0;
};

} // namespace lockora::crypto
