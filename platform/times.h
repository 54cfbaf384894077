// File times and their local calendar form.
#pragma once

#include "platform/result.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// 100-nanosecond intervals since 1 January 1601 UTC (a Windows FILETIME).
struct FileTime {
    std::uint64_t ticks = 0;
    friend constexpr bool operator==(FileTime, FileTime) = default;
};

// Calendar fields of a SYSTEMTIME.
struct CalendarTime {
    int year = 0;
    int month = 0; // 1-12
    int dayOfWeek = 0; // 0 = Sunday
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int milliseconds = 0;
};

// A POSIX time as a file time; times before 1601 clamp to 0 and times past
// the 64-bit range to its largest value.
FileTime FileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds = 0);

// Last-write time of a file or folder (of the link itself for a link).
Result<FileTime> GetLastWriteTime(std::u16string_view path);

// Sets the last-write time of a file or folder (a link: of the link itself);
// the last-access time is left as it is.
Status SetLastWriteTime(std::u16string_view path, FileTime time);

// Converts a file time to local calendar time in the process's time zone
// (TZ, with the daylight-saving rule of that date). Fails with 87 for a time
// the calendar cannot express: local years before 1601 or after 30827.
Result<CalendarTime> FileTimeToLocalTime(FileTime time);

// The local calendar time of `time` as "%m/%d/%Y %H:%M" ("03/07/2021 14:05").
Result<std::string> FormatFileTime(FileTime time);

// The current local calendar time.
CalendarTime LocalNow();

} // namespace platform
