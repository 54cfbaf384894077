#include "platform/attributes.h"

#include "platform/common/file_faults.h"
#include "platform/errors.h"
#include "platform/posix/dos_attributes.h"
#include "platform/posix/errno_error.h"
#include "platform/posix/hidden_list.h"
#include "platform/posix/host_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>

namespace platform {
namespace {

constexpr std::uint32_t kSettableBits = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrNotContentIndexed;

struct HostItem {
    hostfs::HostPath host;
    struct stat st {};
};

Result<HostItem> LookUp(std::u16string_view path)
{
    auto resolved = hostfs::Resolve(path);
    if (!resolved)
        return resolved.error();
    HostItem item{std::move(resolved).value(), {}};
    if (::lstat(item.host.path.c_str(), &item.st) != 0)
        return Error(hostfs::ErrorForPath(errno, item.host.path));
    return item;
}

// Windows keeps the write permission of a regular file in its read-only
// bit: setting it removes every write bit, clearing it gives the owner one.
Status ApplyReadOnly(const HostItem& item, bool readOnly)
{
    const mode_t mode = item.st.st_mode & 07777;
    const mode_t writeBits = S_IWUSR | S_IWGRP | S_IWOTH;
    mode_t wanted = mode;
    if (readOnly)
        wanted &= ~writeBits;
    else if ((mode & writeBits) == 0)
        wanted |= S_IWUSR;
    if (wanted == mode)
        return {};
    if (::fchmodat(AT_FDCWD, item.host.path.c_str(), wanted, AT_SYMLINK_NOFOLLOW) != 0)
        return Error(ErrorFromErrno(errno));
    return {};
}

// Brings the bits kept in "user.DOSATTRIB" to `wanted` (already masked).
// Without the attribute a dot name counts as hidden, so showing it needs an
// explicit "0x0"; any other item without bits carries no attribute at all.
Status ApplyStoredBits(const HostItem& item, std::uint32_t wanted, std::uint32_t mask)
{
    const bool dotName = hostfs::IsDotName(item.host.name);
    const auto stored = hostfs::ReadDosAttrib(item.host.path);
    const std::uint32_t current = stored ? *stored & mask : (dotName ? kAttrHidden : 0);
    if (current == wanted)
        return {};
    if (wanted == 0 && !dotName)
        return hostfs::RemoveDosAttrib(item.host.path);
    return hostfs::WriteDosAttrib(item.host.path, wanted);
}

} // namespace

Result<std::uint32_t> GetFileAttributes(std::u16string_view path)
{
    PLATFORM_TRY(faults::CountFileOperation());
    auto item = LookUp(path);
    if (!item)
        return item.error();
    return hostfs::AttributesOf(item->host.path, item->st, item->host.name);
}

Result<FileAttributeData> GetFileAttributesEx(std::u16string_view path)
{
    PLATFORM_TRY(faults::CountFileOperation());
    auto item = LookUp(path);
    if (!item)
        return item.error();
    FileAttributeData data;
    data.attributes = hostfs::AttributesOf(item->host.path, item->st, item->host.name);
    if (S_ISREG(item->st.st_mode))
        data.size = static_cast<std::uint64_t>(item->st.st_size);
    data.lastWriteTime = FileTimeFromUnix(item->st.st_mtim.tv_sec, item->st.st_mtim.tv_nsec);
    return data;
}

Status SetFileAttributes(std::u16string_view path, std::uint32_t attributes)
{
    PLATFORM_TRY(faults::CountFileOperation());
    auto item = LookUp(path);
    if (!item)
        return item.error();
    if (S_ISLNK(item->st.st_mode))
        return Error(kErrorAccessDenied);

    const std::uint32_t wanted = attributes & kSettableBits;
    // Desktops read ".hidden", not the attribute; a dot name is hidden there
    // already, and a drive root has no folder to list it in.
    if (!item->host.IsDriveRoot() && !hostfs::IsDotName(item->host.name))
        PLATFORM_TRY(hostfs::ListAsHidden(hostfs::ParentFolder(item->host.path), item->host.name,
                                          (wanted & kAttrHidden) != 0));
    if (S_ISDIR(item->st.st_mode))
        return ApplyStoredBits(*item, wanted & hostfs::kXattrFolderBits, hostfs::kXattrFolderBits);

    // The stored bits first, so that a file system without extended
    // attributes fails the call before the mode has changed.
    PLATFORM_TRY(ApplyStoredBits(*item, wanted & hostfs::kXattrFileBits, hostfs::kXattrFileBits));
    return ApplyReadOnly(*item, (wanted & kAttrReadOnly) != 0);
}

Result<std::uint32_t> GetFileLinkCount(std::u16string_view path)
{
    auto item = LookUp(path);
    if (!item)
        return item.error();
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(item->st.st_nlink, UINT32_MAX));
}

Result<std::uint64_t> GetVolumeId(std::u16string_view path)
{
    auto item = LookUp(path);
    if (!item)
        return item.error();
    return static_cast<std::uint64_t>(item->st.st_dev);
}

} // namespace platform
