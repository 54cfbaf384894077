// Host-path helpers of the POSIX backend shared by the profile strings, the
// registry and atomic file replacement: descriptors, whole-file reads,
// crash-safe replacement and advisory locks that hold across processes.
#pragma once

#include "platform/posix/host_io.h"
#include "platform/result.h"

#include <string>
#include <string_view>
#include <utility>

namespace platform::hostio {

using hostfs::ParentFolder;
using hostfs::UniqueFd;

// The Windows code of a failed call on `hostPath`: ENOENT is 3 when the
// folder that should hold the item is missing, 2 otherwise.
ErrorCode ErrorForPath(int err, const std::string& hostPath);

// The whole content of a regular file: 2 or 3 when it is missing, 5 for a
// folder or anything else that is not a regular file.
Result<std::string> ReadWholeFile(const std::string& hostPath);

// Replaces the whole content of a file so that a crash at any moment leaves
// either the old or the new bytes: a private temporary file in the same
// folder is written, flushed and renamed over the target, then the folder is
// flushed. A file that exists keeps its mode and user extended attributes; a
// new one gets 0644 less the umask. A read-only file (no write permission
// bit) or a folder fails with 5, a missing folder with 3. A symbolic link is
// followed when it resolves.
Status ReplaceFileAtomically(const std::string& hostPath, std::string_view bytes);

// Removes temporary files that writers of `hostPath` left behind when they
// were killed. Only call it while holding a lock that every writer of the
// file takes, or it could remove a live writer's file.
void RemoveStaleTemporaries(const std::string& hostPath);

// Creates a folder and its missing parents with `mode` (less the umask).
Status CreateFolders(const std::string& hostPath, unsigned mode);

// An exclusive advisory lock (flock) held until destruction. flock locks
// belong to one open file description, so the lock also keeps out other
// threads of this process that acquire it separately.
class ExclusiveLock {
public:
    // Locks an existing folder.
    static Result<ExclusiveLock> OnFolder(const std::string& hostFolder);
    // Locks a lock file, creating it (mode 0600) when it is missing.
    static Result<ExclusiveLock> OnLockFile(const std::string& hostPath);

private:
    explicit ExclusiveLock(UniqueFd fd) : fd_(std::move(fd)) {}
    static Result<ExclusiveLock> Acquire(UniqueFd fd);

    UniqueFd fd_;
};

} // namespace platform::hostio
