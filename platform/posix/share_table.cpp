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

Status ShareTable::Register(int fd, FileKey key, unsigned checkedAccess, unsigned heldAccess, unsigned share)
{
    std::lock_guard lock(mutex_);
    if (!AllowsLocked(key, checkedAccess, share))
        return Error(kErrorSharingViolation);
    files_[key].push_back(Holder{fd, heldAccess, share});
    keysByFd_.emplace(fd, key);
    return {};
}

void ShareTable::Unregister(int fd)
{
    std::lock_guard lock(mutex_);
    const auto keyIt = keysByFd_.find(fd);
    if (keyIt == keysByFd_.end())
        return;
    const auto fileIt = files_.find(keyIt->second);
    keysByFd_.erase(keyIt);
    if (fileIt == files_.end())
        return;
    auto& holders = fileIt->second;
    std::erase_if(holders, [fd](const Holder& holder) { return holder.fd == fd; });
    if (holders.empty())
        files_.erase(fileIt);
}

} // namespace platform::hostfs
