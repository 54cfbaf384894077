// What every file of the Windows backend needs: our UTF-16 text as the
// system's null-terminated wide strings, and its FILETIME as ours.
#pragma once

#include "platform/result.h"
#include "platform/times.h"

#include <windows.h>

// The platform layer's functions carry the Windows API's names, which
// <windows.h> turns into macros for its A and W forms; here they name ours,
// and the system's are called by their W names.
#undef CreateDirectory
#undef DeleteFile
#undef GetFileAttributes
#undef GetFileAttributesEx
#undef GetPrivateProfileInt
#undef GetPrivateProfileString
#undef LookupPrivilegeValue
#undef MessageBox
#undef MoveFile
#undef RegCreateKeyEx
#undef RegDeleteKey
#undef RegOpenKeyEx
#undef RegQueryValueEx
#undef RegSetKeyValue
#undef RegSetValueEx
#undef RemoveDirectory
#undef SetCurrentDirectory
#undef SetFileAttributes
#undef WritePrivateProfileString

#include <string>
#include <string_view>

namespace platform::win32 {

// wchar_t is UTF-16 here: the same units, with a terminator.
inline std::wstring Wide(std::u16string_view text)
{
    return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

inline std::u16string FromWide(const wchar_t* text)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text));
}

inline FileTime FromFileTime(const FILETIME& time)
{
    return FileTime{(static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime};
}

// An environment variable's value; empty when it is not set.
inline std::wstring EnvironmentValue(const wchar_t* name)
{
    const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0)
        return {};
    std::wstring value(size, L'\0');
    value.resize(::GetEnvironmentVariableW(name, value.data(), size));
    return value;
}

// The calling thread's last error as a failed result.
inline Error LastError()
{
    return Error(static_cast<ErrorCode>(::GetLastError()));
}

} // namespace platform::win32
