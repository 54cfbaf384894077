// The UI archive: pages, scripts, style sheets and images packed into one
// block of bytes that the executable carries (engine/packer builds it).
//
// Block layout; every integer is unsigned and little-endian:
//
//   offset 0   8 bytes   magic "LKUIARC1"
//   offset 8   u32       item count N
//   offset 12            N table entries, each
//                          u32      name length L (1 to kMaxArchiveNameBytes)
//                          L bytes  name: relative path with "/" separators,
//                                   UTF-8, ASCII letters in lower case
//                          u32      offset of the item's bytes from the start
//                                   of the block
//                          u32      size of the item's bytes
//   then the items' bytes.
//
// Entries are sorted by name, byte by byte and strictly ascending (so names
// are unique), which lets lookups search the table in halves. Opening
// validates the whole table against the block's length before anything is
// looked up: a malformed block is refused, never read past its end.
#pragma once

#include "platform/result.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace lockora::engine {

inline constexpr std::string_view kArchiveMagic = "LKUIARC1";
inline constexpr std::size_t kArchiveHeaderBytes = 12;
inline constexpr std::size_t kMaxArchiveNameBytes = 1024;

class Archive {
public:
    // Reads the table of `block`, which must outlive the archive. Fails with
    // 13 (invalid data) when the block is malformed.
    static platform::Result<Archive> Open(std::span<const std::uint8_t> block);

    // The bytes of the item at `path` ("tis/base.tis"), a view into the
    // block; nullopt when there is no such item. ASCII letter case is
    // ignored and a leading "/" is accepted.
    std::optional<std::span<const std::uint8_t>> Item(std::u16string_view path) const;

    std::size_t ItemCount() const { return entries_.size(); }

private:
    struct Entry {
        std::string_view name;
        std::span<const std::uint8_t> bytes;
    };

    explicit Archive(std::vector<Entry> entries) : entries_(std::move(entries)) {}

    std::vector<Entry> entries_; // sorted by name
};

} // namespace lockora::engine
