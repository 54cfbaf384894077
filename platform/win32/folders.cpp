#include "platform/folders.h"

#include "platform/win32/wide.h"

namespace platform {

using win32::FromFileTime;
using win32::LastError;
using win32::Wide;

Status CreateDirectory(std::u16string_view path)
{
    if (!::CreateDirectoryW(Wide(path).c_str(), nullptr))
        return LastError();
    return {};
}

Status RemoveDirectory(std::u16string_view path)
{
    if (!::RemoveDirectoryW(Wide(path).c_str()))
        return LastError();
    return {};
}

bool IsDirectory(std::u16string_view path)
{
    const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

Result<DiskSpace> GetDiskSpace(std::u16string_view path)
{
    ULARGE_INTEGER available{};
    ULARGE_INTEGER total{};
    if (!::GetDiskFreeSpaceExW(Wide(path).c_str(), &available, &total, nullptr))
        return LastError();
    return DiskSpace{total.QuadPart, available.QuadPart};
}

bool PathExists(std::u16string_view path)
{
    return ::GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

Status DeleteFile(std::u16string_view path)
{
    if (!::DeleteFileW(Wide(path).c_str()))
        return LastError();
    return {};
}

Status MoveFile(std::u16string_view from, std::u16string_view to)
{
    if (!::MoveFileW(Wide(from).c_str(), Wide(to).c_str()))
        return LastError();
    return {};
}

Result<std::vector<FindData>> FindFiles(std::u16string_view pattern)
{
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileExW(Wide(pattern).c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                             nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE)
        return LastError();
    std::vector<FindData> entries;
    do {
        const bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entries.push_back(FindData{
            win32::FromWide(found.cFileName), found.dwFileAttributes,
            folder ? 0 : (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow,
            FromFileTime(found.ftLastWriteTime)});
    } while (::FindNextFileW(search, &found));
    const DWORD ended = ::GetLastError();
    ::FindClose(search);
    if (ended != ERROR_NO_MORE_FILES)
        return Error(static_cast<ErrorCode>(ended));
    return entries;
}

} // namespace platform
