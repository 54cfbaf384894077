// The single-instance guard: a named mutex that the first instance owns
// until it ends.
#pragma once

#include "bridge/script_value.h"

#include <string_view>

namespace lockora::app {

inline constexpr std::u16string_view kInstanceMutexName = u"OmbrixCoffrelSentinex_rUn_fLag-2022_6_21-0956";

// True when another process holds the mutex. Otherwise this process owns it
// from now on (a second claim answers false at once). A mutex that cannot be
// created at all counts as not held elsewhere, so the program still starts.
// Main thread only.
bool ClaimSingleInstance();

// Script function: 1 when another instance runs, else 0.
bridge::ScriptValue CheckProgramHadRun(const bridge::ScriptValue& unused = {});

namespace testing {
// Gives the mutex up, so that the next test starts as a fresh process.
void ReleaseSingleInstance();
} // namespace testing

} // namespace lockora::app
