// Set-up helpers of the browse tests: a fixed time zone and file times.
#pragma once

#include "tests/support/sandbox.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
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
    std::filesystem::last_write_time(hostPath, file_clock::from_sys(utc));
}

} // namespace lockora::browse::testing
