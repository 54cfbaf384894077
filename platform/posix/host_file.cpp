#include "platform/posix/host_file.h"

#include "platform/errors.h"
#include "platform/posix/errno_error.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::hostio {

ErrorCode ErrorForPath(int err, const std::string& hostPath)
{
    const bool missingParent = err == ENOENT && hostfs::ParentIsMissing(hostPath);
    return ErrorFromErrno(err, ErrnoContext::General, missingParent);
}

Result<std::string> ReadWholeFile(const std::string& hostPath)
{
    // O_NONBLOCK keeps a FIFO in the file's place from blocking the open; it
    // is refused below like every other non-regular file.
    UniqueFd fd(::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.valid())
        return Error(ErrorForPath(errno, hostPath));
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        return Error(ErrorFromErrno(errno));
    if (!S_ISREG(info.st_mode))
        return Error(kErrorAccessDenied);

    std::string content;
    content.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return Error(ErrorFromErrno(errno));
        }
        if (got == 0)
            break;
        content.append(buffer, static_cast<std::size_t>(got));
    }
    return content;
}

Status CreateFolders(const std::string& hostPath, unsigned mode)
{
    struct stat info {};
    if (::stat(hostPath.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode) ? Status::Success() : Status(Error(kErrorAlreadyExists));
    if (hostPath != "/") {
        if (Status parent = CreateFolders(ParentFolder(hostPath), mode); !parent.ok())
            return parent;
    }
    // Another process may create the same folder at the same moment.
    if (::mkdir(hostPath.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST)
        return Error(ErrorForPath(errno, hostPath));
    return Status::Success();
}

Result<ExclusiveLock> ExclusiveLock::OnFolder(const std::string& hostFolder)
{
    UniqueFd fd(::open(hostFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid())
        return Error(ErrorFromErrno(errno, ErrnoContext::General, errno == ENOENT));
    return Acquire(std::move(fd));
}

Result<ExclusiveLock> ExclusiveLock::OnLockFile(const std::string& hostPath)
{
    UniqueFd fd(::open(hostPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600));
    if (!fd.valid())
        return Error(ErrorForPath(errno, hostPath));
    return Acquire(std::move(fd));
}

Result<ExclusiveLock> ExclusiveLock::Acquire(UniqueFd fd)
{
    while (::flock(fd.get(), LOCK_EX) != 0) {
        if (errno != EINTR)
            return Error(ErrorFromErrno(errno));
    }
    return ExclusiveLock(std::move(fd));
}

} // namespace platform::hostio
