#include "platform/times.h"

#include <cstdio>
#include <limits>

namespace platform {
namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;
// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kEpochDifference = 11'644'473'600;

} // namespace

FileTime FileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds)
{
    // Whole seconds and a non-negative rest, rounded towards the past.
    std::int64_t carry = nanoseconds / kNanosecondsPerSecond;
    std::int64_t rest = nanoseconds % kNanosecondsPerSecond;
    if (rest < 0) {
        rest += kNanosecondsPerSecond;
        --carry;
    }
    constexpr auto kMax = std::numeric_limits<std::uint64_t>::max();
    constexpr auto kMaxSeconds = std::numeric_limits<std::int64_t>::max();
    constexpr auto kMinSeconds = std::numeric_limits<std::int64_t>::min();
    if ((carry > 0 && seconds > kMaxSeconds - carry) || (carry < 0 && seconds < kMinSeconds - carry))
        return FileTime{carry > 0 ? kMax : 0};
    seconds += carry;
    if (seconds < -kEpochDifference)
        return FileTime{0};
    if (seconds > kMaxSeconds - kEpochDifference)
        return FileTime{kMax};
    const auto since1601 = static_cast<std::uint64_t>(seconds + kEpochDifference);
    const auto restTicks = static_cast<std::uint64_t>(rest / 100);
    if (since1601 > (kMax - restTicks) / kTicksPerSecond)
        return FileTime{kMax};
    return FileTime{since1601 * kTicksPerSecond + restTicks};
}

Result<std::string> FormatFileTime(FileTime time)
{
    auto local = FileTimeToLocalTime(time);
    if (!local)
        return local.error();
    char text[32];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d", local->month, local->day, local->year, local->hour,
                  local->minute);
    return std::string(text);
}

} // namespace platform
