// The diagnostic log's level, kept as "LEVEL" of section "LOG" in config.ini.
#pragma once

#include <string_view>

namespace lockora::logging {

// 0 writes nothing, 1 only LogLess lines, 2 LogLess and LogDebug lines.
inline constexpr int kLevelLess = 1;
inline constexpr int kLevelDebug = 2;

// Reads the level from `configFile`. A missing key, or a value above 2, is
// replaced by "2" in the file and read as 2.
int ReadLogLevel(std::u16string_view configFile);

} // namespace lockora::logging
