#include "log/log_line.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <string>

namespace lockora::logging {
namespace {

constexpr platform::CalendarTime kAprilMorning{.year = 2023, .month = 4, .dayOfWeek = 5, .day = 7,
                                              .hour = 9, .minute = 5, .second = 33};

std::string Line(std::uint32_t thread, LogTag tag, const char* format, ...)
{
    char buffer[kLineBufferSize];
    std::va_list args;
    va_start(args, format);
    const std::size_t length = BuildLogLine(buffer, kAprilMorning, thread, tag, format, args);
    va_end(args);
    return std::string(buffer, length);
}

TEST(LogLineTest, HeaderHoldsDateTimeThreadAndTag)
{
    EXPECT_EQ(Line(4312, LogTag::Debug, "Setting file is %s", "C:\\App\\x.dat"),
              "[2023-04-07] [09-05-33] [T:4312 ] [DEBUG]: Setting file is C:\\App\\x.dat\n");
    EXPECT_EQ(Line(4312, LogTag::Less, "opt failed ret=%d!", -3),
              "[2023-04-07] [09-05-33] [T:4312 ] [LESS ]: opt failed ret=-3!\n");
}

TEST(LogLineTest, ThreadFieldIsPaddedToFiveAndLongerIdsAreWhole)
{
    EXPECT_NE(Line(7, LogTag::Debug, "x").find("] [T:7    ] [DEBUG]"), std::string::npos);
    EXPECT_NE(Line(1234567, LogTag::Debug, "x").find("] [T:1234567] [DEBUG]"), std::string::npos);
}

TEST(LogLineTest, MessageUpToTheLimitIsKeptAndOneByteMoreIsDropped)
{
    const std::string header = Line(7, LogTag::Less, "");
    ASSERT_EQ(header.back(), '\n');
    const std::size_t h = header.size() - 1; // header without the LF

    const std::string fits(kMaxLineBytes - h, 'a');
    const std::string full = Line(7, LogTag::Less, "%s", fits.c_str());
    EXPECT_EQ(full.size(), kMaxLineBytes + 1);
    EXPECT_EQ(full, header.substr(0, h) + fits + "\n");

    const std::string tooLong(kMaxLineBytes - h + 1, 'b');
    const std::string cut = Line(7, LogTag::Less, "%s", tooLong.c_str());
    EXPECT_EQ(cut.size(), h);
    EXPECT_EQ(cut, "[2023-04-07] [09-05-33] [T:7    ] [LESS ]:\n");
}

} // namespace
} // namespace lockora::logging
