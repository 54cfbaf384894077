#include "log/usage_history.h"

#include "platform/errors.h"
#include "platform/file.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace lockora::logging {
namespace {

using lockora::testing::ReadHostFile;
using lockora::testing::SandboxTest;
using lockora::testing::WriteHostFile;

constexpr std::u16string_view kDataFolder = u"C:\\App\\Ombrix Lockora Sentinex";
constexpr std::u16string_view kHistory = u"C:\\App\\Ombrix Lockora Sentinex\\usage history.log";

platform::CalendarTime At(int year, int month, int day, int hour, int minute)
{
    return {.year = year, .month = month, .day = day, .hour = hour, .minute = minute};
}

TEST(UsageHistoryFormatTest, TimeDropsLeadingZerosExceptTheMinutes)
{
    EXPECT_EQ(FormatHistoryTime(At(2023, 3, 7, 9, 5)), "3/7/2023 9:05");
    EXPECT_EQ(FormatHistoryTime(At(2023, 12, 25, 14, 0)), "12/25/2023 14:00");
    EXPECT_EQ(FormatHistoryTime(At(2024, 1, 1, 0, 59)), "1/1/2024 0:59");
}

TEST(UsageHistoryFormatTest, EntryIsFourCrLfLinesAndKeepsEveryCharacterOfThePath)
{
    EXPECT_EQ(BuildUsageHistoryEntry(u"C:\\Data\\Fotos", u"Delete completely", u"File folder", At(2023, 3, 7, 9, 5)),
              "C:\\Data\\Fotos\r\nDelete completely\r\n3/7/2023 9:05\r\nFile folder\r\n");
    // Latin-1 and CJK alike come out as UTF-8.
    EXPECT_EQ(BuildUsageHistoryEntry(u"D:\\Caf\u00e9\\\u6587\u4ef6", u"Delete completely", u"File folder",
                                     At(2023, 12, 25, 14, 0)),
              "D:\\Caf\xc3\xa9\\\xe6\x96\x87\xe4\xbb\xb6\r\nDelete completely\r\n12/25/2023 14:00\r\nFile folder\r\n");
}

class UsageHistoryTest : public SandboxTest {
protected:
    std::string History() { return ReadHostFile(sandbox(), kHistory); }
    bool Exists(std::u16string_view path) { return std::filesystem::exists(sandbox().host(path)); }
};

// The entry's text with the time line cut out, which the clock decides.
std::string WithoutTime(const std::string& entry)
{
    const std::size_t action = entry.find("\r\n") + 2;
    const std::size_t time = entry.find("\r\n", action) + 2;
    const std::size_t kind = entry.find("\r\n", time) + 2;
    return entry.substr(0, time) + entry.substr(kind);
}

TEST_F(UsageHistoryTest, FirstEntryCreatesTheDataFolderAndLaterOnesAppend)
{
    ASSERT_FALSE(Exists(kDataFolder));
    AppendUsageHistory(u"C:\\Data\\\u6587\u4ef6", u"Delete completely", u"File folder");
    ASSERT_TRUE(Exists(kHistory));
    const std::string first = History();
    EXPECT_EQ(WithoutTime(first), "C:\\Data\\\xe6\x96\x87\xe4\xbb\xb6\r\nDelete completely\r\nFile folder\r\n");

    AppendUsageHistory(u"C:\\Second", u"Delete completely", u"File folder");
    const std::string both = History();
    ASSERT_TRUE(both.starts_with(first));
    EXPECT_EQ(WithoutTime(both.substr(first.size())), "C:\\Second\r\nDelete completely\r\nFile folder\r\n");
}

TEST_F(UsageHistoryTest, FailedEntryCostsOnlyItself)
{
    // The data folder's name is taken by a file: the entry is lost.
    WriteHostFile(sandbox(), kDataFolder, "in the way");
    AppendUsageHistory(u"C:\\Lost", u"Delete completely", u"File folder");
    std::filesystem::remove(sandbox().host(kDataFolder));

    // A write that fails leaves nothing behind either.
    AppendUsageHistory(u"C:\\Kept", u"Delete completely", u"File folder");
    const std::string kept = History();
    platform::testing::FailNthFileOperation(3, platform::kErrorDiskFull); // open, size, write
    AppendUsageHistory(u"C:\\Failed", u"Delete completely", u"File folder");
    platform::testing::FailNthFileOperation(0, 0);
    EXPECT_EQ(History(), kept);

    AppendUsageHistory(u"C:\\After", u"Delete completely", u"File folder");
    const std::string all = History();
    EXPECT_EQ(WithoutTime(kept), "C:\\Kept\r\nDelete completely\r\nFile folder\r\n");
    EXPECT_EQ(WithoutTime(all.substr(kept.size())), "C:\\After\r\nDelete completely\r\nFile folder\r\n");
}

} // namespace
} // namespace lockora::logging
