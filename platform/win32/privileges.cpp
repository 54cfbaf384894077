#include "platform/errors.h"
#include "platform/system.h"
#include "platform/win32/handle.h"

namespace platform {

Result<PrivilegeId> LookupPrivilegeValue(std::u16string_view name)
{
    LUID luid{};
    if (!::LookupPrivilegeValueW(nullptr, win32::Wide(name).c_str(), &luid))
        return win32::LastError();
    // Every well-known privilege has a small id with a zero high part.
    return PrivilegeId{luid.LowPart};
}

Status EnablePrivilege(PrivilegeId privilege)
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return win32::LastError();
    const win32::UniqueHandle owned(token);
    TOKEN_PRIVILEGES wanted{};
    wanted.PrivilegeCount = 1;
    wanted.Privileges[0].Luid.LowPart = privilege.value;
    wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    // It succeeds even when the token lacks the privilege, and then says so
    // in the last error.
    if (!::AdjustTokenPrivileges(token, FALSE, &wanted, 0, nullptr, nullptr))
        return win32::LastError();
    if (const DWORD error = ::GetLastError(); error != ERROR_SUCCESS)
        return Error(static_cast<ErrorCode>(error));
    return {};
}

} // namespace platform
