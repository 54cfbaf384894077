#include "shred/shredder.h"

#include "log/usage_history.h"
#include "platform/attributes.h"
#include "tests/shred/shred_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace lockora::shred {
namespace {

using PercentList = std::vector<std::int32_t>;
namespace fs = std::filesystem;

constexpr std::u16string_view kHistory = u"C:\\App\\Ombrix Lockora Sentinex\\usage history.log";

class ShredFolderTest : public ShredTest {
protected:
    // The entries of the usage history, four lines each.
    std::vector<std::string> HistoryLines()
    {
        std::vector<std::string> lines;
        const std::string text = Exists(kHistory) ? Read(kHistory) : std::string();
        for (std::size_t start = 0; start < text.size();) {
            const std::size_t end = text.find("\r\n", start);
            if (end == std::string::npos) {
                lines.push_back(text.substr(start)); // an unterminated line shows up as such
                break;
            }
            lines.push_back(text.substr(start, end - start));
            start = end + 2;
        }
        return lines;
    }
};

TEST_F(ShredFolderTest, TreeIsShreddedWithOnePercentageAndRecorded)
{
    Write(u"C:\\Tree\\a.bin", std::string(2048, 'a'));
    Write(u"C:\\Tree\\Sub\\b.bin", std::string(2048, 'b'));
    Write(u"C:\\Tree\\Sub\\Deeper\\.hidden", std::string(4096, 'c'));
    MakeFolder(u"C:\\Tree\\Empty");

    ShredFolder(u"C:\\Tree");

    EXPECT_FALSE(Exists(u"C:\\Tree"));
    // 16,384 bytes to write: each block is 12.5 %, and the percentage runs
    // once across all files and both passes of each.
    EXPECT_EQ(Percents(), (PercentList{12, 25, 37, 50, 62, 75, 87, 100}));
    for (const auto& [path, percent] : Progress())
        EXPECT_EQ(path, u"C:\\Tree");

    const std::vector<std::string> lines = HistoryLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "C:\\Tree");
    EXPECT_EQ(lines[1], "Delete completely");
    // The time line reads back into the form it was written in.
    platform::CalendarTime time;
    char extra = 0;
    ASSERT_EQ(std::sscanf(lines[2].c_str(), "%d/%d/%d %d:%d%c", &time.month, &time.day, &time.year, &time.hour,
                          &time.minute, &extra),
              5)
        << lines[2];
    EXPECT_EQ(logging::FormatHistoryTime(time), lines[2]);
    EXPECT_EQ(lines[3], "File folder");
}

TEST_F(ShredFolderTest, EmptyFolderIsRemovedSilentlyAndEntriesAccumulate)
{
    MakeFolder(u"C:\\First");
    MakeFolder(u"C:\\Second\\");
    ShredFolder(u"C:\\First");
    ShredFolder(u"C:\\Second\\");
    EXPECT_FALSE(Exists(u"C:\\First"));
    EXPECT_FALSE(Exists(u"C:\\Second"));
    EXPECT_TRUE(Percents().empty());
    const std::vector<std::string> lines = HistoryLines();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], "C:\\First");
    EXPECT_EQ(lines[4], "C:\\Second\\");
}

TEST_F(ShredFolderTest, ReadOnlyFileKeepsItsFoldersAndTheRestGoes)
{
    if (lockora::testing::UnderWine())
        GTEST_SKIP() << "Wine run as root opens read-only files for writing; Windows refuses";
    Write(u"C:\\Top\\Keep\\locked.txt", "locked");
    Write(u"C:\\Top\\Keep\\other.txt", "other");
    Write(u"C:\\Top\\Gone\\x.txt", "x");
    Write(u"C:\\Top\\y.txt", "y");
    ASSERT_TRUE(platform::SetFileAttributes(u"C:\\Top\\Keep\\locked.txt", platform::kAttrReadOnly).ok());

    ShredFolder(u"C:\\Top");

    EXPECT_EQ(Read(u"C:\\Top\\Keep\\locked.txt"), "locked");
    EXPECT_FALSE(Exists(u"C:\\Top\\Keep\\other.txt"));
    EXPECT_FALSE(Exists(u"C:\\Top\\Gone"));
    EXPECT_FALSE(Exists(u"C:\\Top\\y.txt"));
    EXPECT_EQ(HistoryLines().size(), 4u);
}

TEST_F(ShredFolderTest, LinksInsideAreRemovedAndTheirTargetsKept)
{
    if (lockora::testing::UnderWine())
        GTEST_SKIP() << "Wine cannot make symbolic links (CreateSymbolicLinkW is not implemented)";
    Write(u"D:\\Outside\\target.txt", "outside");
    Write(u"C:\\Tree\\own.txt", "own");
    fs::create_symlink(sandbox().host(u"D:\\Outside\\target.txt"), sandbox().host(u"C:\\Tree\\file-link"));
    fs::create_directory_symlink(sandbox().host(u"D:\\Outside"), sandbox().host(u"C:\\Tree\\folder-link"));

    ShredFolder(u"C:\\Tree");

    EXPECT_FALSE(Exists(u"C:\\Tree"));
    EXPECT_EQ(Read(u"D:\\Outside\\target.txt"), "outside");
}

TEST_F(ShredFolderTest, LinkChosenAsTheFolderGoesAsALink)
{
    if (lockora::testing::UnderWine())
        GTEST_SKIP() << "Wine cannot make symbolic links (CreateSymbolicLinkW is not implemented)";
    Write(u"D:\\Outside\\target.txt", "outside");
    fs::create_directory_symlink(sandbox().host(u"D:\\Outside"), sandbox().host(u"C:\\Link"));
    ShredFolder(u"C:\\Link");
    EXPECT_FALSE(Exists(u"C:\\Link"));
    EXPECT_EQ(Read(u"D:\\Outside\\target.txt"), "outside");
}

TEST_F(ShredFolderTest, HardLinkedFileInsideKeepsItsContentElsewhere)
{
    Write(u"C:\\Tree\\shared.bin", std::string(4096, 'h'));
    fs::create_hard_link(sandbox().host(u"C:\\Tree\\shared.bin"), sandbox().host(u"D:\\shared.bin"));
    ShredFolder(u"C:\\Tree");
    EXPECT_FALSE(Exists(u"C:\\Tree"));
    EXPECT_EQ(Read(u"D:\\shared.bin"), std::string(4096, 'h'));
}

} // namespace
} // namespace lockora::shred
