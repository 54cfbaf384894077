#include "platform/posix/share_table.h"

#include <algorithm>

namespace platform::hostfs {

ShareTable& ShareTable::Instance()
{
    static ShareTable table;
    return table;
}

bool ShareTable::AllowsLocked(FileKey key, unsigned access, unsigned share) const
{
    const auto it = files_.find(key);
    if (it == files_.end())
        return true;
    return std::all_of(it->second.begin(), it->second.end(), [&](const Holder& holder) {
        return (access & ~holder.share) == 0 && (holder.access & ~share) == 0;
    });
}

Result<std::uint64_t> ShareTable::Register(FileKey key, unsigned checkedAccess, unsigned heldAccess, unsigned share)
{
    std::lock_guard lock(mutex_);
    if (!AllowsLocked(key, checkedAccess, share))
        return Error(kErrorSharingViolation);
    const std::uint64_t id = nextId_++;
    files_[key].push_back(Holder{id, heldAccess, share});
    keysById_.emplace(id, key);
    return id;
}

void ShareTable::Unregister(std::uint64_t id)
{
    std::lock_guard lock(mutex_);
    const auto keyIt = keysById_.find(id);
    if (keyIt == keysById_.end())
        return;
    const auto fileIt = files_.find(keyIt->second);
    keysById_.erase(keyIt);
    if (fileIt == files_.end())
        return;
    auto& holders = fileIt->second;
    std::erase_if(holders, [id](const Holder& holder) { return holder.id == id; });
    if (holders.empty())
        files_.erase(fileIt);
}

} // namespace platform::hostfs
