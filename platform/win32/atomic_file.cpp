#include "platform/atomic_file.h"

#include "platform/common/file_faults.h"
#include "platform/errors.h"
#include "platform/win32/wide.h"

#include <algorithm>
#include <limits>

namespace platform {

using win32::LastError;
using win32::Wide;

Status WriteFileAtomically(std::u16string_view path, std::string_view bytes)
{
    PLATFORM_TRY(faults::CountFileOperation());
    const std::wstring target = Wide(path);
    const std::size_t cut = target.find_last_of(L"\\/");
    const std::wstring folder = cut == std::wstring::npos ? L"." : target.substr(0, cut);

    // A new name in the target's folder, so that the replacement is a rename.
    wchar_t temporary[MAX_PATH + 1] = {};
    if (::GetTempFileNameW(folder.c_str(), L"lkr", 0, temporary) == 0)
        return LastError();
    const auto discard = [&](const Error& error) -> Status {
        ::DeleteFileW(temporary);
        return error;
    };

    const HANDLE file = ::CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return discard(LastError());
    for (std::size_t at = 0; at < bytes.size();) {
        const DWORD chunk = static_cast<DWORD>(
            std::min<std::size_t>(bytes.size() - at, std::numeric_limits<DWORD>::max() / 2));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data() + at, chunk, &written, nullptr) || written != chunk) {
            const Error error = written != chunk && ::GetLastError() == ERROR_SUCCESS ? Error(112) : LastError();
            ::CloseHandle(file);
            return discard(error);
        }
        at += chunk;
    }
    const bool flushed = ::FlushFileBuffers(file) != 0;
    const Error flushError = LastError();
    ::CloseHandle(file);
    if (!flushed)
        return discard(flushError);

    // An existing file keeps its attributes and security through
    // ReplaceFile; a new one is moved into place. A folder in the file's
    // place stays (Windows refuses to replace it; Wine would).
    const DWORD existing = ::GetFileAttributesW(target.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return discard(Error(kErrorAccessDenied));
    const bool replaced =
        existing != INVALID_FILE_ATTRIBUTES
            ? ::ReplaceFileW(target.c_str(), temporary, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
            : ::MoveFileExW(temporary, target.c_str(), MOVEFILE_WRITE_THROUGH);
    if (!replaced)
        return discard(LastError());
    return {};
}

} // namespace platform
