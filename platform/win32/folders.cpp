#include "platform/folders.h"

#include "platform/common/file_faults.h"
#include "platform/win32/wide.h"

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace platform {
namespace {

struct FindCloser {
    void operator()(HANDLE search) const { ::FindClose(search); }
};
// An open search; FindFirstFileExW fails with INVALID_HANDLE_VALUE, never null.
using FindHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, FindCloser>;

// The first entry matching `pattern` into `found`, with every later one
// fetched in large batches; null when the search fails.
FindHandle FindFirst(const std::wstring& pattern, WIN32_FIND_DATAW& found)
{
    const HANDLE search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                             FIND_FIRST_EX_LARGE_FETCH);
    return FindHandle(search == INVALID_HANDLE_VALUE ? nullptr : search);
}

std::uint64_t SizeOf(const WIN32_FIND_DATAW& found)
{
    return (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
}

} // namespace

using win32::FromFileTime;
using win32::LastError;
using win32::Wide;

Status CreateDirectory(std::u16string_view path)
{
    PLATFORM_TRY(faults::CountFileOperation());
    if (!::CreateDirectoryW(Wide(path).c_str(), nullptr))
        return LastError();
    return {};
}

Status RemoveDirectory(std::u16string_view path)
{
    PLATFORM_TRY(faults::CountFileOperation());
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
    PLATFORM_TRY(faults::CountFileOperation());
    if (!::DeleteFileW(Wide(path).c_str()))
        return LastError();
    return {};
}

Status MoveFile(std::u16string_view from, std::u16string_view to)
{
    PLATFORM_TRY(faults::CountFileOperation());
    if (!::MoveFileW(Wide(from).c_str(), Wide(to).c_str()))
        return LastError();
    return {};
}

Result<std::vector<FindData>> FindFiles(std::u16string_view pattern)
{
    PLATFORM_TRY(faults::CountFileOperation());
    WIN32_FIND_DATAW found{};
    const FindHandle search = FindFirst(Wide(pattern), found);
    if (!search)
        return LastError();
    std::vector<FindData> entries;
    do {
        const bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entries.push_back(FindData{
            win32::FromWide(found.cFileName), found.dwFileAttributes,
            folder ? 0 : SizeOf(found),
            FromFileTime(found.ftLastWriteTime)});
    } while (::FindNextFileW(search.get(), &found));
    const DWORD ended = ::GetLastError();
    if (ended != ERROR_NO_MORE_FILES)
        return Error(static_cast<ErrorCode>(ended));
    return entries;
}

std::uint64_t TotalFileSize(std::u16string_view folder)
{
    std::uint64_t total = 0;
    std::vector<std::wstring> pending{Wide(folder)};
    while (!pending.empty()) {
        std::wstring current = std::move(pending.back());
        pending.pop_back();
        if (current.empty() || current.back() != L'\\')
            current += L'\\';
        WIN32_FIND_DATAW found{};
        const FindHandle search = FindFirst(current + L"*.*", found);
        if (!search)
            continue;
        do {
            const std::wstring_view name = found.cFileName;
            if (name == L"." || name == L".." || (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
                continue;
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
                pending.push_back(current + found.cFileName);
            else
                total += SizeOf(found);
        } while (::FindNextFileW(search.get(), &found));
    }
    return total;
}

} // namespace platform
