// Builds a UI archive block (layout in engine/archive.h) from named items.
// The packer uses it at build time; tests use it to make blocks to break.
#pragma once

#include "platform/result.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lockora::engine::packer {

struct ArchiveItem {
    std::string name; // relative path with "/" separators, UTF-8, any letter case
    std::vector<std::uint8_t> bytes;
};

// The name an item is stored under: ASCII letters in lower case.
std::string ArchiveName(std::string_view path);

// The block holding `items` under their archive names, in name order, so the
// same items always give the same bytes. Fails with 123 (invalid name) for a
// name that is empty, longer than the reader accepts, starts with "/" or is
// not UTF-8; with 183 (already exists) for two names equal apart from
// letter case; with 111 (buffer overflow) when the block would pass 4 GiB.
platform::Result<std::vector<std::uint8_t>> BuildArchive(std::vector<ArchiveItem> items);

} // namespace lockora::engine::packer
