#include "engine/packer/archive_writer.h"

#include "engine/archive.h"
#include "platform/errors.h"
#include "platform/text.h"

#include <algorithm>
#include <limits>

namespace lockora::engine::packer {
namespace {

void AppendU32(std::vector<std::uint8_t>& block, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        block.push_back(static_cast<std::uint8_t>(value >> shift));
}

void PutU32(std::vector<std::uint8_t>& block, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        block[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

} // namespace

std::string ArchiveName(std::string_view path)
{
    std::string name(path);
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return name;
}

platform::Result<std::vector<std::uint8_t>> BuildArchive(std::vector<ArchiveItem> items)
{
    for (auto& item : items) {
        item.name = ArchiveName(item.name);
        if (item.name.empty() || item.name.size() > kMaxArchiveNameBytes || item.name.front() == '/' ||
            !platform::IsValidUtf8(item.name))
            return platform::Error(platform::kErrorInvalidName);
    }
    std::sort(items.begin(), items.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    const auto duplicate = std::adjacent_find(items.begin(), items.end(),
                                              [](const auto& a, const auto& b) { return a.name == b.name; });
    if (duplicate != items.end())
        return platform::Error(platform::kErrorAlreadyExists);

    std::uint64_t tableEnd = kArchiveHeaderBytes;
    std::uint64_t total = 0;
    for (const auto& item : items) {
        tableEnd += 4 + item.name.size() + 4 + 4;
        total += item.bytes.size();
    }
    if (items.size() > std::numeric_limits<std::uint32_t>::max() ||
        tableEnd + total > std::numeric_limits<std::uint32_t>::max())
        return platform::Error(platform::kErrorBufferOverflow);

    std::vector<std::uint8_t> block(kArchiveMagic.begin(), kArchiveMagic.end());
    block.reserve(static_cast<std::size_t>(tableEnd + total));
    AppendU32(block, static_cast<std::uint32_t>(items.size()));
    std::vector<std::size_t> offsetFields;
    for (const auto& item : items) {
        AppendU32(block, static_cast<std::uint32_t>(item.name.size()));
        block.insert(block.end(), item.name.begin(), item.name.end());
        offsetFields.push_back(block.size());
        AppendU32(block, 0); // offset, known once the data is placed
        AppendU32(block, static_cast<std::uint32_t>(item.bytes.size()));
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        PutU32(block, offsetFields[i], static_cast<std::uint32_t>(block.size()));
        block.insert(block.end(), items[i].bytes.begin(), items[i].bytes.end());
    }
    return block;
}

} // namespace lockora::engine::packer
