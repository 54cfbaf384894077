// Set-up helpers of the browse tests: a fixed time zone and file times.
#pragma once

#include "platform/text.h"
#include "platform/times.h"
#include "tests/support/sandbox.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

namespace lockora::browse::testing {

// Puts the process into a fixed time zone (a POSIX TZ rule, so no zone
// database is needed) and restores the previous one.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone)
    {
        if (const char* previous = std::getenv("TZ"))
            saved_ = previous;
        lockora::testing::SetProcessEnvironment("TZ", zone);
        ResetTimeZone();
    }
    ~ScopedTimeZone()
    {
        lockora::testing::SetProcessEnvironment("TZ", saved_);
        ResetTimeZone();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    static void ResetTimeZone()
    {
#ifdef _WIN32
        ::_tzset();
#else
        ::tzset();
#endif
    }

    std::optional<std::string> saved_;
};

// UTC+1 all year round.
inline constexpr const char* kFixedZone = "CET-1";

// Sets the last-write time of a host item to a UTC calendar time.
inline void SetWriteTimeUtc(const std::string& hostPath, int year, unsigned month, unsigned day, int hour, int minute)
{
    using namespace std::chrono;
    const sys_seconds utc = sys_days(std::chrono::year(year) / month / day) + hours(hour) + minutes(minute);
#ifdef _WIN32
    // std::filesystem cannot open a folder to set its time on Windows.
    const auto set = platform::SetLastWriteTime(platform::Utf8ToUtf16(hostPath),
                                                platform::FileTimeFromUnix(utc.time_since_epoch().count()));
    if (!set.ok())
        throw std::runtime_error("cannot set the time of " + hostPath);
#else
    std::filesystem::last_write_time(hostPath, file_clock::from_sys(utc));
#endif
}

} // namespace lockora::browse::testing
