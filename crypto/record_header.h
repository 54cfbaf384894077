// The header of one record of a folder container's body: byte 0xFF, the
// kind (-255 folder, -254 file), the relative path as UTF-16LE with a 0
// terminator and, for a file, the 64-bit length of its content.
//
// Headers are stored in plain text, so they can be read without the key.
#pragma once

#include "platform/file.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace lockora::crypto {

// The reader takes a header from a window of at most this many bytes, and
// the writer never stores a longer one.
inline constexpr std::size_t kMaxRecordHeader = 600;

using RecordWindow = std::array<std::uint8_t, kMaxRecordHeader>;

struct RecordHeader {
    std::int32_t kind = 0;
    std::u16string relative; // "\sub\a.txt"
    std::size_t size = 0;    // header bytes, from the 0xFF on
    std::uint64_t length = 0; // a file's content bytes; 0 for a folder
};

enum class RecordRead : std::uint8_t {
    Ok,
    ReadFailed, // `error` says why
    Malformed,  // bad marker or kind, no terminator, unsafe path, or runs past the body
};

// Parses the header at the start of `bytes`, the min(end - offset,
// kMaxRecordHeader) bytes at `offset` of a body that ends at `end`: Ok or
// Malformed. Every length is checked against the body before it is
// trusted, so a Malformed header has not been acted on.
RecordRead ParseRecordHeader(std::span<const std::uint8_t> bytes, std::uint64_t offset, std::uint64_t end,
                             RecordHeader& header);

// Reads the header at `offset` of a body that ends at `end` (offset < end)
// into `window` (the header's bytes, for the data checksum) and parses it.
RecordRead ReadRecordHeader(platform::File& container, std::uint64_t offset, std::uint64_t end, RecordWindow& window,
                            RecordHeader& header, platform::ErrorCode& error);

} // namespace lockora::crypto
