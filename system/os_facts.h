// Which machine and operating-system generation the program runs on.
#pragma once

#include "bridge/script_value.h"

#include <cstdint>

namespace lockora::system {

// Generation codes of GetOsVersion.
inline constexpr std::int32_t kOsBeforeVista = 0;
inline constexpr std::int32_t kOsWindows7 = 7;
inline constexpr std::int32_t kOsWindows81 = 8;
inline constexpr std::int32_t kOsWindows10 = 10;
inline constexpr std::int32_t kOsOther = 12;

// True exactly when the machine's own processor architecture is x64,
// whatever this build was compiled for.
bridge::ScriptValue Is64BitOS(const bridge::ScriptValue& unused = {});

// The generation code of a kernel version: below 6 is 0, 6.1 is 7, 6.3 is
// 8, 10.0 is 10, every other version 12.
std::int32_t OsGenerationCode(std::uint32_t major, std::uint32_t minor);

// The generation code of the running kernel. Without the kernel's version
// routine (as on every system but Windows) the version counts as 0.0, which
// gives 0.
bridge::ScriptValue GetOsVersion(const bridge::ScriptValue& unused = {});

} // namespace lockora::system
