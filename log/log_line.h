// Building one diagnostic log line: header, level tag, message and LF.
#pragma once

#include "platform/times.h"

#include <cstdarg>
#include <cstddef>
#include <cstdint>

namespace lockora::logging {

// Longest line without its LF; a message that does not fit after the header
// is dropped and only the header is written.
inline constexpr std::size_t kMaxLineBytes = 1300;
// Room for the longest line, its LF and the terminating zero of vsnprintf.
inline constexpr std::size_t kLineBufferSize = 1302;

enum class LogTag : std::uint8_t {
    Debug, // "[DEBUG]: "
    Less,  // "[LESS ]: "
};

// Writes "[YYYY-MM-DD] [hh-mm-ss] [T:n    ] [TAG  ]: " followed by the
// formatted message and LF into `buffer` and returns the line's length in
// bytes. When the message needs more than kMaxLineBytes minus the header, the
// line is the header alone with its final blank replaced by LF ("...]:\n").
std::size_t BuildLogLine(char (&buffer)[kLineBufferSize], const platform::CalendarTime& time,
                         std::uint32_t threadNumber, LogTag tag, const char* format, std::va_list args);

} // namespace lockora::logging
