#include "engine/archive_table.h"

namespace lockora::engine {

bridge::ArchiveId ArchiveTable::Open(std::span<const std::uint8_t> block)
{
    auto archive = Archive::Open(block);
    if (!archive)
        return 0;
    std::lock_guard lock(mutex_);
    // Skips 0 and any id still open should the counter ever wrap.
    do {
        ++lastId_;
    } while (lastId_ == 0 || archives_.contains(lastId_));
    archives_.emplace(lastId_, std::move(*archive));
    return lastId_;
}

std::optional<std::span<const std::uint8_t>> ArchiveTable::Item(bridge::ArchiveId id, std::u16string_view path) const
{
    std::lock_guard lock(mutex_);
    const auto found = archives_.find(id);
    if (found == archives_.end())
        return std::nullopt;
    return found->second.Item(path);
}

void ArchiveTable::Close(bridge::ArchiveId id)
{
    std::lock_guard lock(mutex_);
    archives_.erase(id);
}

} // namespace lockora::engine
