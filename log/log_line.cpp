#include "log/log_line.h"

#include <cstdio>

namespace lockora::logging {

std::size_t BuildLogLine(char (&buffer)[kLineBufferSize], const platform::CalendarTime& time,
                         std::uint32_t threadNumber, LogTag tag, const char* format, std::va_list args)
{
    // Only integers and a fixed tag: the header cannot fail and stays far
    // below the line limit (under 140 bytes even for absurd calendar values).
    const auto header = static_cast<std::size_t>(
        std::snprintf(buffer, kLineBufferSize, "[%04d-%02d-%02d] [%02d-%02d-%02d] [T:%-5u] %s", time.year,
                      time.month, time.day, time.hour, time.minute, time.second, threadNumber,
                      tag == LogTag::Debug ? "[DEBUG]: " : "[LESS ]: "));

    const std::size_t room = kMaxLineBytes - header;
    const int message = std::vsnprintf(buffer + header, room + 1, format, args);
    if (message >= 0 && static_cast<std::size_t>(message) <= room) {
        buffer[header + static_cast<std::size_t>(message)] = '\n';
        return header + static_cast<std::size_t>(message) + 1;
    }
    // Too long (or unformattable): keep the header, ending in "]:" and LF.
    buffer[header - 1] = '\n';
    return header;
}

} // namespace lockora::logging
