#include "system/power_operate.h"

#include "log/diagnostic_log.h"
#include "platform/power.h"
#include "platform/system.h"

#include <optional>

namespace lockora::system {
namespace {

std::optional<platform::PowerAction> ActionOfCode(const bridge::ScriptValue& code)
{
    if (!code.IsInt())
        return std::nullopt;
    switch (code.GetInt()) {
    case 1:
        return platform::PowerAction::Shutdown;
    case 2:
        return platform::PowerAction::Restart;
    case 3:
        return platform::PowerAction::Hibernate;
    case 4:
        return platform::PowerAction::Sleep;
    default:
        return std::nullopt;
    }
}

} // namespace

bridge::ScriptValue PowerOperate(const bridge::ScriptValue& code)
{
    const auto action = ActionOfCode(code);
    if (!action)
        return bridge::ScriptValue::Int(kPowerBadCode);
    // The process privileges live with the process itself here, so there is
    // no token to open and -1 cannot occur.
    const auto shutdown = platform::LookupPrivilegeValue(u"SeShutdownPrivilege");
    if (!shutdown)
        return bridge::ScriptValue::Int(kPowerLookupFailed);
    if (!platform::EnablePrivilege(*shutdown))
        return bridge::ScriptValue::Int(kPowerAdjustFailed);

    // The page is told only that the action was requested; a refusal is
    // worth a log line, nothing more.
    if (const platform::Status requested = platform::PerformPowerAction(*action); !requested)
        logging::LogDebug("PowerOperate %d failed, error %u", code.GetInt(), requested.code());
    return bridge::ScriptValue::Int(0);
}

} // namespace lockora::system
