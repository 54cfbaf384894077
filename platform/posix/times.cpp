#include "platform/times.h"

#include "platform/errors.h"
#include "platform/posix/host_io.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <cstdio>
#include <ctime>
#include <limits>
#include <sys/stat.h>

namespace platform {
namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;
// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kEpochDifference = 11'644'473'600;
// The years a SYSTEMTIME can hold.
constexpr int kFirstYear = 1601;
constexpr int kLastYear = 30827;

CalendarTime FromTm(const std::tm& tm, int milliseconds)
{
    CalendarTime calendar;
    calendar.year = tm.tm_year + 1900;
    calendar.month = tm.tm_mon + 1;
    calendar.dayOfWeek = tm.tm_wday;
    calendar.day = tm.tm_mday;
    calendar.hour = tm.tm_hour;
    calendar.minute = tm.tm_min;
    calendar.second = tm.tm_sec;
    calendar.milliseconds = milliseconds;
    return calendar;
}

} // namespace

Result<FileTime> GetLastWriteTime(std::u16string_view path)
{
    auto host = hostfs::Resolve(path);
    if (!host)
        return host.error();
    struct stat st {};
    if (::lstat(host->path.c_str(), &st) != 0)
        return Error(hostfs::ErrorForPath(errno, host->path));
    return FileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
}

Status SetLastWriteTime(std::u16string_view path, FileTime time)
{
    auto host = hostfs::Resolve(path);
    if (!host)
        return host.error();
    const auto ticks = static_cast<std::int64_t>(std::min<std::uint64_t>(time.ticks, std::numeric_limits<std::int64_t>::max()));
    struct timespec times[2] {};
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = ticks / kTicksPerSecond - kEpochDifference;
    times[1].tv_nsec = ticks % kTicksPerSecond * 100;
    if (::utimensat(AT_FDCWD, host->path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
        return Error(hostfs::ErrorForPath(errno, host->path));
    return {};
}

Result<CalendarTime> FileTimeToLocalTime(FileTime time)
{
    if (time.ticks > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
        return Error(kErrorInvalidParameter);
    const auto ticks = static_cast<std::int64_t>(time.ticks);
    const std::time_t seconds = ticks / kTicksPerSecond - kEpochDifference;
    const int milliseconds = static_cast<int>(ticks % kTicksPerSecond / 10'000);
    std::tm tm {};
    if (!::localtime_r(&seconds, &tm))
        return Error(kErrorInvalidParameter);
    // The local offset can move a time near either end out of the calendar.
    const long long year = static_cast<long long>(tm.tm_year) + 1900;
    if (year < kFirstYear || year > kLastYear)
        return Error(kErrorInvalidParameter);
    return FromTm(tm, milliseconds);
}

CalendarTime LocalNow()
{
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    std::tm tm {};
    ::localtime_r(&now.tv_sec, &tm);
    return FromTm(tm, static_cast<int>(now.tv_nsec / 1'000'000));
}

} // namespace platform
