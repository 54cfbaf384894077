#include "platform/errors.h"
#include "platform/system.h"
#include "platform/text.h"
#include "platform/win32/wide.h"

#include <string>

namespace platform {
namespace {

// Calls a "buffer and length" API until the buffer is large enough.
template <typename Call>
Result<std::u16string> GrowingBuffer(Call&& call)
{
    std::wstring buffer(MAX_PATH, L'\0');
    while (true) {
        const DWORD length = call(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return win32::LastError();
        if (length < buffer.size()) {
            buffer.resize(length);
            return win32::FromWide(buffer.c_str());
        }
        buffer.resize(length + 1);
    }
}

} // namespace

Result<std::u16string> CurrentDirectory()
{
    return GrowingBuffer([](wchar_t* buffer, DWORD size) { return ::GetCurrentDirectoryW(size, buffer); });
}

Status SetCurrentDirectory(std::u16string_view path)
{
    if (!::SetCurrentDirectoryW(win32::Wide(path).c_str()))
        return win32::LastError();
    return {};
}

Result<std::string> HomeFolder()
{
    auto profile = GrowingBuffer([](wchar_t* buffer, DWORD size) {
        return ::GetEnvironmentVariableW(L"USERPROFILE", buffer, size);
    });
    if (!profile)
        return Error(kErrorPathNotFound);
    return Utf16ToUtf8(*profile);
}

Result<std::u16string> SystemDirectory()
{
    return GrowingBuffer([](wchar_t* buffer, DWORD size) { return ::GetSystemDirectoryW(buffer, size); });
}

} // namespace platform
