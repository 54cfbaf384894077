// The fault injection behind platform::testing, shared by both backends:
// every File operation counts itself here first.
#pragma once

#include "platform/result.h"

namespace platform::faults {

// Counts one File operation; the injected error when it is the one to fail.
Status CountFileOperation();
// Whether the operation just counted is the read to damage (asked once).
bool TakeCorruption();

} // namespace platform::faults
