#include "platform/folders.h"

#include "platform/attributes.h"
#include "platform/common/file_faults.h"
#include "platform/errors.h"
#include "platform/posix/dos_attributes.h"
#include "platform/posix/errno_error.h"
#include "platform/posix/host_io.h"
#include "platform/posix/share_table.h"

#include <cerrno>
#include <fcntl.h>
#include <cstdio>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace platform {
namespace {

struct Item {
    hostfs::HostPath host;
    struct stat st {};
};

// Resolves a path and lstats it (a link is the link itself).
Result<Item> LookUp(std::u16string_view path)
{
    auto resolved = hostfs::Resolve(path);
    if (!resolved)
        return resolved.error();
    Item item{std::move(resolved).value(), {}};
    if (::lstat(item.host.path.c_str(), &item.st) != 0)
        return Error(hostfs::ErrorForPath(errno, item.host.path));
    return item;
}

bool IsLinkToFolder(const Item& item)
{
    struct stat target {};
    return S_ISLNK(item.st.st_mode) && ::stat(item.host.path.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
}

hostfs::FileKey KeyOf(const struct stat& st)
{
    return {st.st_dev, st.st_ino};
}

Status FromErrno(int err)
{
    return Error(ErrorFromErrno(err));
}

// Renames without ever replacing `to`. File systems without
// RENAME_NOREPLACE get the same guarantee from link and unlink for files;
// a folder is checked first, which is as close as they allow.
Status RenameNoReplace(const std::string& from, const std::string& to, bool folder)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return {};
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return FromErrno(errno);
    if (!folder && ::link(from.c_str(), to.c_str()) == 0) {
        if (::unlink(from.c_str()) != 0) {
            const int err = errno;
            ::unlink(to.c_str());
            return FromErrno(err);
        }
        return {};
    }
    if (!folder && errno != EPERM && errno != ENOTSUP)
        return FromErrno(errno); // EEXIST among them: never overwrite
    struct stat existing {};
    if (::lstat(to.c_str(), &existing) == 0)
        return Error(kErrorAlreadyExists);
    if (::rename(from.c_str(), to.c_str()) != 0)
        return FromErrno(errno);
    return {};
}

} // namespace

Status CreateDirectory(std::u16string_view path)
{
    PLATFORM_TRY(faults::CountFileOperation());
    auto host = hostfs::Resolve(path);
    if (!host)
        return host.error();
    if (::mkdir(host->path.c_str(), 0777) != 0)
        return Error(errno == ENOENT ? kErrorPathNotFound : ErrorFromErrno(errno));
    return {};
}

Status RemoveDirectory(std::u16string_view path)
{
    PLATFORM_TRY(faults::CountFileOperation());
    auto item = LookUp(path);
    if (!item)
        return item.error();
    if (item->host.IsDriveRoot())
        return Error(kErrorAccessDenied);
    if (S_ISLNK(item->st.st_mode)) {
        // A link to a folder is removed as the link; its target stays.
        if (!IsLinkToFolder(*item))
            return Error(kErrorDirectory);
        if (::unlink(item->host.path.c_str()) != 0)
            return FromErrno(errno);
        return {};
    }
    if (!S_ISDIR(item->st.st_mode))
        return Error(kErrorDirectory);
    if (const auto stored = hostfs::ReadDosAttrib(item->host.path); stored && (*stored & kAttrReadOnly))
        return Error(kErrorAccessDenied);
    if (::rmdir(item->host.path.c_str()) != 0)
        return FromErrno(errno == EEXIST ? ENOTEMPTY : errno);
    return {};
}

bool IsDirectory(std::u16string_view path)
{
    auto item = LookUp(path);
    return item && S_ISDIR(item->st.st_mode);
}

bool PathExists(std::u16string_view path)
{
    return LookUp(path).ok();
}

Status DeleteFile(std::u16string_view path)
{
    PLATFORM_TRY(faults::CountFileOperation());
    auto item = LookUp(path);
    if (!item)
        return item.error();
    if (S_ISDIR(item->st.st_mode) || item->host.IsDriveRoot())
        return Error(kErrorAccessDenied);
    if (hostfs::IsReadOnlyFile(item->st))
        return Error(kErrorAccessDenied); // also for root, as Windows does
    // Deleting needs delete access, which every open handle must share.
    return hostfs::ShareTable::Instance().WithDeleteAccess(KeyOf(item->st), [&]() -> Status {
        if (::unlink(item->host.path.c_str()) != 0)
            return Error(hostfs::ErrorForPath(errno, item->host.path));
        return {};
    });
}

Status MoveFile(std::u16string_view from, std::u16string_view to)
{
    PLATFORM_TRY(faults::CountFileOperation());
    auto source = LookUp(from);
    if (!source)
        return source.error();
    auto target = hostfs::Resolve(to);
    if (!target)
        return target.error();
    if (source->host.IsDriveRoot() || target->IsDriveRoot())
        return Error(kErrorAccessDenied);
    // Renaming needs delete access to the source, like deleting it.
    return hostfs::ShareTable::Instance().WithDeleteAccess(KeyOf(source->st), [&]() -> Status {
        const Status renamed = RenameNoReplace(source->host.path, target->path, S_ISDIR(source->st.st_mode));
        if (renamed.code() == kErrorFileNotFound)
            return Error(kErrorPathNotFound); // the source was there: the target's folder is missing
        return renamed;
    });
}

Result<DiskSpace> GetDiskSpace(std::u16string_view path)
{
    auto host = hostfs::Resolve(path);
    if (!host)
        return host.error();
    struct statvfs volume {};
    if (::statvfs(host->path.c_str(), &volume) != 0)
        return Error(hostfs::ErrorForPath(errno, host->path));
    return DiskSpace{static_cast<std::uint64_t>(volume.f_blocks) * volume.f_frsize,
                     static_cast<std::uint64_t>(volume.f_bavail) * volume.f_frsize};
}

} // namespace platform
