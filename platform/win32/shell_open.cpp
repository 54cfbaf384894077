#include "platform/common/backend.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "platform/win32/wide.h"

#include <cstdint>
#include <shellapi.h>

namespace platform {

int ShellOpen(std::u16string_view path)
{
    const std::wstring item = win32::Wide(path);
    if (::GetFileAttributesW(item.c_str()) == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? kShellErrorFileNotFound
               : error == ERROR_ACCESS_DENIED ? kShellErrorAccessDenied
                                              : kShellErrorPathNotFound;
    }
    if (const ShellOpenLauncher launcher = backend::InstalledShellOpenLauncher())
        return launcher(Utf16ToUtf8(path));
    const auto result = reinterpret_cast<std::intptr_t>(
        ::ShellExecuteW(nullptr, L"open", item.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return static_cast<int>(result);
}

} // namespace platform
