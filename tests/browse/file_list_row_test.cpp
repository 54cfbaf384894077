#include "browse/file_list_row.h"
#include "browse/key_hash.h"

#include "tests/browse/browse_test_support.h"

#include <gtest/gtest.h>

#include <limits>

namespace lockora::browse {
namespace {

using testing::kFixedZone;
using testing::ScopedTimeZone;

TEST(FileListRowTest, TimeTextIsLocalMonthDayYearHourMinute)
{
    ScopedTimeZone zone(kFixedZone);
    // 13:05 UTC on 7 March 2021 is 14:05 at UTC+1.
    const std::int64_t utc = 1615122300;
    EXPECT_EQ(FileTimeText(platform::FileTimeFromUnix(utc)), u"03/07/2021 14:05");
}

TEST(FileListRowTest, TimeWithoutLocalDateIsInvalid)
{
    ScopedTimeZone zone(kFixedZone);
    EXPECT_EQ(FileTimeText(platform::FileTime{std::numeric_limits<std::uint64_t>::max()}), u"Invalid DateTime");
}

TEST(FileListRowTest, StrippedNameIsTheTextAfterTheLastBackslashPastTheFirstCharacter)
{
    EXPECT_EQ(StrippedName(u"C:\\Data\\report.txt"), u"report.txt");
    EXPECT_EQ(StrippedName(u"C:\\Data\\"), u"");
    EXPECT_EQ(StrippedName(u"\\report.txt"), u"\\report.txt");
    EXPECT_EQ(StrippedName(u"report.txt"), u"report.txt");
    EXPECT_EQ(StrippedName(u"C:/Data/report.txt"), u"C:/Data/report.txt");
}

TEST(FileListRowTest, PathsTakeBackslashesAndTheLongPathPrefixOnce)
{
    EXPECT_EQ(WithBackslashes(u"C:/Data/a b/x.txt"), u"C:\\Data\\a b\\x.txt");
    EXPECT_EQ(LongPathForm(u"C:\\Data"), u"\\\\?\\C:\\Data");
    EXPECT_EQ(LongPathForm(u"\\\\?\\C:\\Data"), u"\\\\?\\C:\\Data");
    EXPECT_EQ(JoinPath(u"C:", u"a"), u"C:\\a");
    EXPECT_EQ(JoinPath(u"C:\\", u"a"), u"C:\\a");
}

TEST(KeyHashTest, IsFnv1aOverLittleEndianUtf16Bytes)
{
    EXPECT_EQ(Fnv1a(u""), 0x811c9dc5u);
    EXPECT_EQ(Fnv1a(u"a"), 0x2b24d044u);
    EXPECT_EQ(Fnv1a(u"exe"), 0x8fb2c7c5u);
    EXPECT_EQ(Fnv1a(u"EXE"), 0x4a2c5da5u);
}

} // namespace
} // namespace lockora::browse
