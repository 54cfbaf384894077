#include "platform/version.h"

#include "platform/system.h"
#include "platform/win32/wide.h"

#include <cstdio>
#include <vector>

namespace platform {

Result<std::u16string> FileVersionString(std::u16string_view filePath, std::u16string_view key)
{
    if (key.empty())
        return Error(kErrorInvalidParameter);
    const std::wstring file = win32::Wide(filePath.empty() ? std::u16string_view(ModuleFileName()) : filePath);
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(file.c_str(), &ignored);
    if (size == 0)
        return win32::LastError();
    std::vector<std::byte> block(size);
    if (!::GetFileVersionInfoW(file.c_str(), 0, size, block.data()))
        return win32::LastError();

    // The strings live under the first language and code page the resource lists.
    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translations = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                          &length) ||
        length < sizeof(Translation))
        return Error(kErrorResourceTypeNotFound);
    wchar_t prefix[40];
    std::swprintf(prefix, std::size(prefix), L"\\StringFileInfo\\%04x%04x\\", translations[0].language,
                  translations[0].codePage);
    const std::wstring query = prefix + win32::Wide(key);
    wchar_t* value = nullptr;
    if (!::VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) || value == nullptr)
        return Error(kErrorResourceNameNotFound);
    return std::u16string(reinterpret_cast<const char16_t*>(value), length > 0 ? length - 1 : 0);
}

} // namespace platform
