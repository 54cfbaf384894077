#include "platform/attributes.h"

#include "platform/common/file_faults.h"
#include "platform/errors.h"
#include "platform/win32/handle.h"

namespace platform {
namespace {

// Reads what GetFileInformationByHandle knows of an item, never through a link.
Result<BY_HANDLE_FILE_INFORMATION> HandleInformation(std::u16string_view path)
{
    const win32::UniqueHandle item(::CreateFileW(win32::Wide(path).c_str(), FILE_READ_ATTRIBUTES,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                 OPEN_EXISTING,
                                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!item.valid())
        return win32::LastError();
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(item.get(), &information))
        return win32::LastError();
    return information;
}

} // namespace

Result<std::uint32_t> GetFileAttributes(std::u16string_view path)
{
    PLATFORM_TRY(faults::CountFileOperation());
    const DWORD attributes = ::GetFileAttributesW(win32::Wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return win32::LastError();
    return static_cast<std::uint32_t>(attributes);
}

Result<FileAttributeData> GetFileAttributesEx(std::u16string_view path)
{
    PLATFORM_TRY(faults::CountFileOperation());
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(win32::Wide(path).c_str(), GetFileExInfoStandard, &data))
        return win32::LastError();
    const bool sized = (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
    const std::uint64_t size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return FileAttributeData{data.dwFileAttributes, sized ? size : 0, win32::FromFileTime(data.ftLastWriteTime)};
}

Status SetFileAttributes(std::u16string_view path, std::uint32_t attributes)
{
    PLATFORM_TRY(faults::CountFileOperation());
    if (!::SetFileAttributesW(win32::Wide(path).c_str(), attributes))
        return win32::LastError();
    return {};
}

Result<std::uint32_t> GetFileLinkCount(std::u16string_view path)
{
    auto information = HandleInformation(path);
    if (!information)
        return information.error();
    return static_cast<std::uint32_t>(information->nNumberOfLinks);
}

Result<std::uint64_t> GetVolumeId(std::u16string_view path)
{
    auto information = HandleInformation(path);
    if (!information)
        return information.error();
    return static_cast<std::uint64_t>(information->dwVolumeSerialNumber);
}

} // namespace platform
