// Shutting down, restarting, hibernating or suspending the machine on a
// page's request.
#pragma once

#include "bridge/script_value.h"

#include <cstdint>

namespace lockora::system {

// Results of PowerOperate besides 0 (the action was requested).
inline constexpr std::int32_t kPowerTokenFailed = -1;
inline constexpr std::int32_t kPowerLookupFailed = -2;
inline constexpr std::int32_t kPowerAdjustFailed = -3;
inline constexpr std::int32_t kPowerBadCode = -4;

// Codes 1 shut down, 2 restart, 3 hibernate, 4 suspend. Enables the shutdown
// privilege, then requests the action; whether the action itself succeeds is
// not reported. Anything but an integer 1-4 gives -4 and does nothing.
bridge::ScriptValue PowerOperate(const bridge::ScriptValue& code);

} // namespace lockora::system
