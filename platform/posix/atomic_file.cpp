#include "platform/atomic_file.h"

#include "platform/common/file_faults.h"
#include "platform/errors.h"
#include "platform/path.h"
#include "platform/posix/errno_error.h"
#include "platform/posix/host_file.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace platform::hostio {
namespace {

// Temporary names are "." + file name + "." + six random characters +
// ".tmp": hidden, and recognisable as belonging to their target. The file
// name is cut so that the temporary name stays within NAME_MAX.
constexpr std::size_t kMaxNameInTempName = 200;
constexpr std::string_view kTempSuffix = ".tmp";
constexpr std::size_t kTempRandomChars = 6;

std::string FileName(const std::string& hostPath)
{
    const auto slash = hostPath.find_last_of('/');
    return slash == std::string::npos ? hostPath : hostPath.substr(slash + 1);
}

std::string TempPrefix(const std::string& hostPath)
{
    return "." + FileName(hostPath).substr(0, kMaxNameInTempName) + ".";
}

std::string FolderWithSlash(const std::string& folder)
{
    return folder == "/" ? folder : folder + "/";
}

mode_t CurrentUmask()
{
    // /proc tells the umask without setting it, which would race with other
    // threads creating files.
    if (auto status = ReadWholeFile("/proc/self/status"); status.ok()) {
        const auto at = status->find("\nUmask:");
        if (at != std::string::npos)
            return static_cast<mode_t>(std::strtoul(status->c_str() + at + 7, nullptr, 8) & 0777);
    }
    return 022;
}


// The file's attribute word lives in a user extended attribute; a rewrite
// must not silently clear hidden or system.
Status CopyUserAttributes(const std::string& source, int targetFd)
{
    ssize_t listSize = ::listxattr(source.c_str(), nullptr, 0);
    if (listSize < 0)
        return errno == ENOTSUP ? Status::Success() : Status(Error(ErrorFromErrno(errno)));
    std::vector<char> names(static_cast<std::size_t>(listSize));
    listSize = ::listxattr(source.c_str(), names.data(), names.size());
    if (listSize < 0)
        return Error(ErrorFromErrno(errno));

    for (std::size_t pos = 0; pos < static_cast<std::size_t>(listSize);) {
        const std::string name(names.data() + pos);
        pos += name.size() + 1;
        if (!name.starts_with("user."))
            continue;
        const ssize_t valueSize = ::getxattr(source.c_str(), name.c_str(), nullptr, 0);
        if (valueSize < 0)
            return Error(ErrorFromErrno(errno));
        std::vector<char> value(static_cast<std::size_t>(valueSize));
        const ssize_t got = ::getxattr(source.c_str(), name.c_str(), value.data(), value.size());
        if (got < 0)
            return Error(ErrorFromErrno(errno));
        if (::fsetxattr(targetFd, name.c_str(), value.data(), static_cast<std::size_t>(got), 0) != 0)
            return Error(ErrorFromErrno(errno));
    }
    return Status::Success();
}

Status SyncFolder(const std::string& folder)
{
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid())
        return Error(ErrorFromErrno(errno));
    // Some file systems cannot flush a folder (EINVAL); the rename is then as
    // durable as they make it.
    if (::fsync(fd.get()) != 0 && errno != EINVAL)
        return Error(ErrorFromErrno(errno));
    return Status::Success();
}

// Unlinks the temporary file unless it was renamed into place.
struct TemporaryFileGuard {
    std::string path;
    ~TemporaryFileGuard()
    {
        if (!path.empty())
            ::unlink(path.c_str());
    }
};

} // namespace

Status ReplaceFileAtomically(const std::string& hostPath, std::string_view bytes)
{
    PLATFORM_TRY(faults::CountFileOperation());
    std::string target = hostPath;
    struct stat info {};
    if (::lstat(target.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        // Write through the link, as Windows does, instead of replacing the
        // link with a file.
        if (char* resolved = ::realpath(target.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }

    bool exists = false;
    mode_t mode = 0;
    if (::stat(target.c_str(), &info) == 0) {
        // A read-only file has no write permission bit; Windows refuses to
        // write it, also for an administrator.
        if (!S_ISREG(info.st_mode) || (info.st_mode & 0222) == 0)
            return Error(kErrorAccessDenied);
        exists = true;
        mode = info.st_mode & 07777;
    } else if (errno == ENOENT) {
        mode = 0644 & ~CurrentUmask();
    } else {
        return Error(ErrorForPath(errno, target));
    }

    const std::string folder = ParentFolder(target);
    std::string temp = FolderWithSlash(folder) + TempPrefix(target) + std::string(kTempRandomChars, 'X') + std::string(kTempSuffix);
    // mkostemps creates the file with O_EXCL and mode 0600, so nobody else
    // can read the new content before it has its final mode.
    UniqueFd fd(::mkostemps(temp.data(), static_cast<int>(kTempSuffix.size()), O_CLOEXEC));
    if (!fd.valid())
        return Error(ErrorForPath(errno, temp));
    TemporaryFileGuard guard{temp};

    PLATFORM_TRY(hostfs::WriteAll(fd.get(), bytes));
    if (::fchmod(fd.get(), mode) != 0)
        return Error(ErrorFromErrno(errno));
    if (exists)
        PLATFORM_TRY(CopyUserAttributes(target, fd.get()));
    if (::fsync(fd.get()) != 0)
        return Error(ErrorFromErrno(errno));
    if (::rename(temp.c_str(), target.c_str()) != 0)
        return Error(ErrorForPath(errno, target));
    guard.path.clear();
    return SyncFolder(folder);
}

void RemoveStaleTemporaries(const std::string& hostPath)
{
    const std::string folder = ParentFolder(hostPath);
    const std::string prefix = TempPrefix(hostPath);
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), &::closedir);
    if (!dir)
        return; // nothing can be cleaned where nothing can be listed
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name.size() == prefix.size() + kTempRandomChars + kTempSuffix.size() && name.starts_with(prefix) &&
            name.ends_with(kTempSuffix))
            ::unlinkat(::dirfd(dir.get()), entry->d_name, 0); // a failure is retried at the next write
    }
}

} // namespace platform::hostio

namespace platform {

Status WriteFileAtomically(std::u16string_view path, std::string_view bytes)
{
    auto host = ToHostPath(path);
    if (!host)
        return host.error();
    return hostio::ReplaceFileAtomically(*host, bytes);
}

} // namespace platform
