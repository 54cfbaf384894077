#include "engine/archive.h"

#include "platform/errors.h"
#include "platform/text.h"

#include <algorithm>
#include <string>

namespace lockora::engine {
namespace {

// Smallest table entry: name length, a one-byte name, offset and size.
constexpr std::size_t kMinEntryBytes = 4 + 1 + 4 + 4;

// Reads little-endian fields from a block, refusing to run past its end.
class BlockReader {
public:
    explicit BlockReader(std::span<const std::uint8_t> block) : block_(block) {}

    std::size_t position() const { return position_; }
    std::size_t remaining() const { return block_.size() - position_; }

    std::optional<std::uint32_t> ReadU32()
    {
        if (remaining() < 4)
            return std::nullopt;
        const std::uint8_t* p = block_.data() + position_;
        position_ += 4;
        return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
               static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    }

    std::optional<std::string_view> ReadText(std::size_t length)
    {
        if (remaining() < length)
            return std::nullopt;
        std::string_view text(reinterpret_cast<const char*>(block_.data() + position_), length);
        position_ += length;
        return text;
    }

private:
    std::span<const std::uint8_t> block_;
    std::size_t position_ = 0;
};

bool HasAsciiUpper(std::string_view name)
{
    return std::any_of(name.begin(), name.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

// The name an item path is stored under: UTF-8 with ASCII letters in lower
// case. UTF-8 continuation and lead bytes are all above 0x7F, so folding
// byte by byte touches ASCII letters only.
std::string LookupName(std::u16string_view path)
{
    if (!path.empty() && path.front() == u'/')
        path.remove_prefix(1);
    std::string name = platform::Utf16ToUtf8(path);
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return name;
}

} // namespace

platform::Result<Archive> Archive::Open(std::span<const std::uint8_t> block)
{
    const platform::Error malformed(platform::kErrorInvalidData);
    BlockReader reader(block);

    const auto magic = reader.ReadText(kArchiveMagic.size());
    if (!magic || *magic != kArchiveMagic)
        return malformed;
    const auto count = reader.ReadU32();
    // Checked before anything is reserved, so a huge count costs nothing.
    if (!count || *count > reader.remaining() / kMinEntryBytes)
        return malformed;

    std::vector<Entry> entries;
    entries.reserve(*count);
    for (std::uint32_t i = 0; i < *count; ++i) {
        const auto nameLength = reader.ReadU32();
        if (!nameLength || *nameLength == 0 || *nameLength > kMaxArchiveNameBytes)
            return malformed;
        const auto name = reader.ReadText(*nameLength);
        if (!name || !platform::IsValidUtf8(*name) || HasAsciiUpper(*name))
            return malformed;
        if (!entries.empty() && entries.back().name >= *name)
            return malformed;
        const auto offset = reader.ReadU32();
        const auto size = reader.ReadU32();
        // 64-bit sum: two 32-bit fields cannot overflow it.
        if (!offset || !size || std::uint64_t{*offset} + *size > block.size())
            return malformed;
        entries.push_back({*name, block.subspan(*offset, *size)});
    }
    return Archive(std::move(entries));
}

std::optional<std::span<const std::uint8_t>> Archive::Item(std::u16string_view path) const
{
    const std::string name = LookupName(path);
    const auto found = std::lower_bound(entries_.begin(), entries_.end(), name,
                                        [](const Entry& entry, const std::string& key) { return entry.name < key; });
    if (found == entries_.end() || found->name != name)
        return std::nullopt;
    return found->bytes;
}

} // namespace lockora::engine
