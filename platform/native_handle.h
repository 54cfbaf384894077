// An operating-system handle as a platform class keeps it: a file
// descriptor on POSIX, a HANDLE on Windows. Only the backend that made one
// looks inside it.
#pragma once

#include <cstdint>

namespace platform {

using NativeHandle = std::intptr_t;
// No handle: -1 is also INVALID_HANDLE_VALUE as a number.
inline constexpr NativeHandle kNoHandle = -1;

} // namespace platform
