#include "platform/errors.h"
#include "platform/times.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>

namespace platform {
namespace {

using lockora::testing::SandboxTest;
using lockora::testing::WriteHostFile;

constexpr std::uint64_t kUnixEpochTicks = 116'444'736'000'000'000;
// 30827-12-31 23:59:59.9999999 UTC, the last instant a SYSTEMTIME holds.
constexpr std::uint64_t kLastCalendarTicks = 9'223'149'887'999'999'999;

// Runs a test under a fixed time zone and restores the process's own after.
class TimesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* tz = std::getenv("TZ"))
            savedTz_ = tz;
        UseZone("CET-1CEST,M3.5.0,M10.5.0/3"); // a POSIX rule: no zone files needed
    }

    void TearDown() override
    {
        if (savedTz_)
            ::setenv("TZ", savedTz_->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

    static void UseZone(const char* zone)
    {
        ::setenv("TZ", zone, 1);
        ::tzset();
    }

private:
    std::optional<std::string> savedTz_;
};

TEST_F(TimesTest, UnixTimesBecomeTicksSince1601)
{
    EXPECT_EQ(FileTimeFromUnix(0).ticks, kUnixEpochTicks);
    EXPECT_EQ(FileTimeFromUnix(1, 500).ticks, kUnixEpochTicks + 10'000'005);
    EXPECT_EQ(FileTimeFromUnix(-1).ticks, kUnixEpochTicks - 10'000'000);
    EXPECT_EQ(FileTimeFromUnix(-11'644'473'600).ticks, 0u);
    EXPECT_EQ(FileTimeFromUnix(-20'000'000'000).ticks, 0u);
    EXPECT_EQ(FileTimeFromUnix(INT64_MAX).ticks, UINT64_MAX);
}

TEST_F(TimesTest, KnownUtcTimeFormatsAsLocalText)
{
    // 2021-03-07 13:05:30 UTC is 14:05 in winter and 2021-07-01 12:00 UTC 14:00 in summer.
    EXPECT_EQ(FormatFileTime(FileTimeFromUnix(1'615'122'330)).value(), "03/07/2021 14:05");
    EXPECT_EQ(FormatFileTime(FileTimeFromUnix(1'625'140'800)).value(), "07/01/2021 14:00");

    auto local = FileTimeToLocalTime(FileTimeFromUnix(1'615'122'330, 250'000'000));
    ASSERT_TRUE(local.ok());
    EXPECT_EQ(local->year, 2021);
    EXPECT_EQ(local->month, 3);
    EXPECT_EQ(local->day, 7);
    EXPECT_EQ(local->dayOfWeek, 0);
    EXPECT_EQ(local->hour, 14);
    EXPECT_EQ(local->second, 30);
    EXPECT_EQ(local->milliseconds, 250);

    UseZone("UTC0");
    EXPECT_EQ(FormatFileTime(FileTimeFromUnix(1'615'122'330)).value(), "03/07/2021 13:05");
}

TEST_F(TimesTest, TimesOutsideTheCalendarAre87)
{
    EXPECT_EQ(FormatFileTime(FileTime{0}).value(), "01/01/1601 01:00");
    EXPECT_EQ(FileTimeToLocalTime(FileTime{kLastCalendarTicks}).code(), kErrorInvalidParameter); // 30828 locally
    EXPECT_EQ(FileTimeToLocalTime(FileTime{UINT64_MAX}).code(), kErrorInvalidParameter);

    UseZone("EST5");
    EXPECT_EQ(FileTimeToLocalTime(FileTime{0}).code(), kErrorInvalidParameter); // 1600 locally
    EXPECT_EQ(FormatFileTime(FileTime{kLastCalendarTicks}).value(), "12/31/30827 18:59");

    UseZone("UTC0");
    EXPECT_EQ(FileTimeToLocalTime(FileTime{kLastCalendarTicks}).value().year, 30827);
    EXPECT_EQ(FileTimeToLocalTime(FileTime{kLastCalendarTicks + 1}).code(), kErrorInvalidParameter);
}

TEST_F(TimesTest, LocalNowAgreesWithTheClock)
{
    const std::time_t before = std::time(nullptr);
    const CalendarTime now = LocalNow();
    const std::time_t after = std::time(nullptr);
    std::tm tm {};
    ::localtime_r(&before, &tm);
    std::tm tmAfter {};
    ::localtime_r(&after, &tmAfter);
    EXPECT_TRUE(now.minute == tm.tm_min || now.minute == tmAfter.tm_min);
    EXPECT_EQ(now.year, tmAfter.tm_year + 1900);
    EXPECT_GE(now.milliseconds, 0);
    EXPECT_LT(now.milliseconds, 1000);
}

class LastWriteTimeTest : public SandboxTest {};

TEST_F(LastWriteTimeTest, ReadsTheModificationTime)
{
    WriteHostFile(sandbox(), u"C:\\t.txt", "x");
    const timespec times[2] = {{0, UTIME_OMIT}, {1'615'122'330, 123'456'700}};
    ASSERT_EQ(::utimensat(AT_FDCWD, sandbox().host(u"C:\\t.txt").c_str(), times, 0), 0);
    EXPECT_EQ(GetLastWriteTime(u"C:/t.txt").value(), FileTimeFromUnix(1'615'122'330, 123'456'700));
    EXPECT_EQ(GetLastWriteTime(u"C:\\missing.txt").code(), kErrorFileNotFound);
    EXPECT_EQ(GetLastWriteTime(u"C:\\Missing\\t.txt").code(), kErrorPathNotFound);
    EXPECT_EQ(GetLastWriteTime(u"Q:\\t.txt").code(), kErrorPathNotFound);
}

} // namespace
} // namespace platform
