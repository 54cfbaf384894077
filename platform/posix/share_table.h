// The process-wide table of open File handles that enforces Windows share
// modes between them, keyed by device and inode so that every name of a
// file (hard links, "/" or "\\?\" spellings) meets the same entries.
//
// Only read, write and delete access count. A new handle is refused (32)
// when an existing handle's share mode does not allow the new access, or
// when the new share mode does not allow an existing handle's access.
#pragma once

#include "platform/errors.h"
#include "platform/result.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <sys/types.h>
#include <unordered_map>
#include <vector>

namespace platform::hostfs {

// Access and share bits use the same values: read 1, write 2, delete 4.
inline constexpr unsigned kShareRead = 1;
inline constexpr unsigned kShareWrite = 2;
inline constexpr unsigned kShareDelete = 4;

struct FileKey {
    dev_t device = 0;
    ino_t inode = 0;
    friend auto operator<=>(const FileKey&, const FileKey&) = default;
};

class ShareTable {
public:
    static ShareTable& Instance();

    // Registers the handle on descriptor `fd`, holding `heldAccess`, after
    // checking `checkedAccess` (the held access plus what the open itself
    // does, such as truncating) against the handles already open; 32 when
    // they do not allow it. A descriptor is unregistered before it closes,
    // so no two open handles ever share one.
    Status Register(int fd, FileKey key, unsigned checkedAccess, unsigned heldAccess, unsigned share);
    void Unregister(int fd);

    // Runs `action` (a deletion or a rename) under the table's lock when
    // every open handle of the file shares deletion, so that no handle can
    // register between the check and the action; 32 otherwise.
    template <typename Action>
    Status WithDeleteAccess(FileKey key, Action&& action)
    {
        std::lock_guard lock(mutex_);
        if (!AllowsLocked(key, kShareDelete, kShareRead | kShareWrite | kShareDelete))
            return Error(kErrorSharingViolation);
        return action();
    }

private:
    struct Holder {
        int fd;
        unsigned access;
        unsigned share;
    };

    bool AllowsLocked(FileKey key, unsigned access, unsigned share) const;

    std::mutex mutex_;
    std::map<FileKey, std::vector<Holder>> files_;
    std::unordered_map<int, FileKey> keysByFd_;
};

} // namespace platform::hostfs
