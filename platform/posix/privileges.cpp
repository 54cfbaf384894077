#include "platform/errors.h"
#include "platform/system.h"
#include "platform/text.h"

#include <array>

namespace platform {
namespace {

struct PrivilegeName {
    std::u16string_view name;
    std::uint32_t value;
};

// The well-known privileges with the ids Windows gives them.
constexpr std::array<PrivilegeName, 35> kPrivileges{{
    {u"SeCreateTokenPrivilege", 2},
    {u"SeAssignPrimaryTokenPrivilege", 3},
    {u"SeLockMemoryPrivilege", 4},
    {u"SeIncreaseQuotaPrivilege", 5},
    {u"SeMachineAccountPrivilege", 6},
    {u"SeTcbPrivilege", 7},
    {u"SeSecurityPrivilege", 8},
    {u"SeTakeOwnershipPrivilege", 9},
    {u"SeLoadDriverPrivilege", 10},
    {u"SeSystemProfilePrivilege", 11},
    {u"SeSystemtimePrivilege", 12},
    {u"SeProfileSingleProcessPrivilege", 13},
    {u"SeIncreaseBasePriorityPrivilege", 14},
    {u"SeCreatePagefilePrivilege", 15},
    {u"SeCreatePermanentPrivilege", 16},
    {u"SeBackupPrivilege", 17},
    {u"SeRestorePrivilege", 18},
    {u"SeShutdownPrivilege", 19},
    {u"SeDebugPrivilege", 20},
    {u"SeAuditPrivilege", 21},
    {u"SeSystemEnvironmentPrivilege", 22},
    {u"SeChangeNotifyPrivilege", 23},
    {u"SeRemoteShutdownPrivilege", 24},
    {u"SeUndockPrivilege", 25},
    {u"SeSyncAgentPrivilege", 26},
    {u"SeEnableDelegationPrivilege", 27},
    {u"SeManageVolumePrivilege", 28},
    {u"SeImpersonatePrivilege", 29},
    {u"SeCreateGlobalPrivilege", 30},
    {u"SeTrustedCredManAccessPrivilege", 31},
    {u"SeRelabelPrivilege", 32},
    {u"SeIncreaseWorkingSetPrivilege", 33},
    {u"SeTimeZonePrivilege", 34},
    {u"SeCreateSymbolicLinkPrivilege", 35},
    {u"SeDelegateSessionUserImpersonatePrivilege", 36},
}};

} // namespace

Result<PrivilegeId> LookupPrivilegeValue(std::u16string_view name)
{
    for (const auto& privilege : kPrivileges) {
        if (EqualsNoCase(privilege.name, name))
            return PrivilegeId{privilege.value};
    }
    return Error(kErrorNoSuchPrivilege);
}

Status EnablePrivilege(PrivilegeId privilege)
{
    for (const auto& known : kPrivileges) {
        if (known.value == privilege.value)
            return Status::Success();
    }
    return Error(kErrorInvalidParameter);
}

} // namespace platform
