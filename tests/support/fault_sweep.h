// Fault sweeps: an operation runs again and again with its 1st, 2nd, ...
// file operation failing, until a run ends without reaching the failure.
#pragma once

#include "platform/errors.h"

#include <cstdint>
#include <functional>
#include <string_view>

namespace lockora::testing {

// Runs `operation` with its n-th file operation failing with `code`; false
// when it ended before the n-th, so the failure never fired.
bool RunWithNthOperationFailing(std::uint64_t n, platform::ErrorCode code, const std::function<void()>& operation);

// Calls `runCase(n)` for n = 1, 2, ... until it returns false (its run did
// not reach the failure) or a case has failed the test; prints "fault
// sweep: <name>: <cases> cases" and returns the number of cases.
std::uint64_t SweepFaults(std::string_view name, const std::function<bool(std::uint64_t n)>& runCase);

} // namespace lockora::testing
