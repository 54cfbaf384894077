// The fault injection behind platform::testing, shared by both backends:
// every File operation counts itself here first.
#pragma once

#include "platform/result.h"

#include <cstdint>

namespace platform::faults {

// Counts one File operation; the injected error when it is the one to fail.
Status CountFileOperation();
// Flips the lowest bit of the first byte read when the operation just
// counted is the read to damage, as a bad sector would show it.
void DamageIfChosen(void* buffer, std::uint32_t read);

} // namespace platform::faults
