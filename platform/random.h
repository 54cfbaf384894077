// Bytes from the operating system's random source, for secrets and tokens.
#pragma once

#include "platform/result.h"

#include <cstddef>

namespace platform {

// Fills `length` bytes at `buffer`; fails only when the system's source does.
Status FillRandom(void* buffer, std::size_t length);

} // namespace platform
