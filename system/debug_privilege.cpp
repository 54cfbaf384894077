#include "system/debug_privilege.h"

#include "platform/system.h"

namespace lockora::system {

bool EnableDebugPrivilege()
{
    const auto debug = platform::LookupPrivilegeValue(u"SeDebugPrivilege");
    return debug.ok() && platform::EnablePrivilege(*debug).ok();
}

} // namespace lockora::system
