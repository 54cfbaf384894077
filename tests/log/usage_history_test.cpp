#include "log/usage_history.h"

#include "platform/errors.h"
#include "platform/file.h"
#include "tests/support/fault_sweep.h"
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

    // Each file operation of an entry fails in turn: the earlier entries stay
    // as they were, the entry is there whole or not at all, and the next one
    // is written.
    std::string kept;
    const std::uint64_t cases = lockora::testing::SweepFaults("appending to the usage history", [&](std::uint64_t n) {
        AppendUsageHistory(u"C:\\Kept", u"Delete completely", u"File folder");
        kept = History();
        if (!lockora::testing::RunWithNthOperationFailing(n, platform::kErrorDiskFull, [] {
                AppendUsageHistory(u"C:\\Failed", u"Delete completely", u"File folder");
            }))
            return false;
        const std::string after = History();
        EXPECT_TRUE(after.starts_with(kept));
        const std::string added = after.substr(kept.size());
        EXPECT_TRUE(added.empty() || WithoutTime(added) == "C:\\Failed\r\nDelete completely\r\nFile folder\r\n");

        AppendUsageHistory(u"C:\\After", u"Delete completely", u"File folder");
        EXPECT_EQ(WithoutTime(History().substr(after.size())), "C:\\After\r\nDelete completely\r\nFile folder\r\n");
        return true;
    });
    EXPECT_GE(cases, 3u);
    EXPECT_TRUE(History().starts_with("C:\\Kept\r\n"));
}

} // namespace
} // namespace lockora::logging
