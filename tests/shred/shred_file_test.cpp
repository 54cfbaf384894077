#include "shred/shred_progress.h"
#include "shred/shredder.h"

#include "platform/attributes.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "tests/shred/shred_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace lockora::shred {
namespace {

using PercentList = std::vector<std::int32_t>;
namespace fs = std::filesystem;

constexpr std::u16string_view kFile = u"C:\\Data\\secret.bin";

class ShredFileTest : public ShredTest {
protected:
    void Shred(std::uint64_t total)
    {
        std::uint64_t done = 0;
        shredded_ = ShredFile(kFile, kFile, total, done);
        done_ = done;
    }

    std::uint64_t done_ = 0;
    platform::Status shredded_;
};

TEST(ShredPercentTest, SmallAndLargeTotalsFollowTheirRules)
{
    // Below 1,342,177 the counter is scaled first, from there on the total.
    EXPECT_EQ(ShredPercent(13421, 1342176, ShredPass::Ones), 0);
    EXPECT_EQ(ShredPercent(13421, 1342177, ShredPass::Ones), 1);
    EXPECT_EQ(ShredPercent(1000000, 2000000, ShredPass::Zeros), 50);
    EXPECT_EQ(ShredPercent(300, 200, ShredPass::Zeros), 150); // never clamped
    EXPECT_EQ(ShredPercent(4096, 0, ShredPass::Ones), 50);
    EXPECT_EQ(ShredPercent(4096, 0, ShredPass::Zeros), 100);
}

TEST_F(ShredFileTest, TenThousandBytesReportTensButNotFiftyAndTheFileIsGone)
{
    // Four blocks per pass reach 40 and 90; the 1,808-byte tails that carry
    // the counter to 50 and 100 run no check, and the second pass starts
    // from the reference 50.
    Write(kFile, std::string(10000, 's'));
    Shred(20000);
    EXPECT_EQ(Percents(), (PercentList{10, 20, 30, 40, 60, 70, 80, 90}));
    for (const auto& [path, percent] : Progress())
        EXPECT_EQ(path, kFile);
    EXPECT_EQ(done_, 20000u);
    EXPECT_FALSE(Exists(kFile));
}

TEST_F(ShredFileTest, FilesWithoutAFullBlockReportNothing)
{
    for (const std::size_t size : {0, 1, 2047}) {
        Write(kFile, std::string(size, 's'));
        Shred(2 * size);
        EXPECT_TRUE(Percents().empty()) << size;
        EXPECT_EQ(done_, 2 * size);
        EXPECT_FALSE(Exists(kFile)) << size;
    }
}

TEST_F(ShredFileTest, OneFullBlockReportsTheEndOfEachPass)
{
    Write(kFile, std::string(2048, 's'));
    Shred(4096);
    EXPECT_EQ(Percents(), (PercentList{50, 100}));
    EXPECT_FALSE(Exists(kFile));
}

TEST_F(ShredFileTest, EmptyTotalReportsFiftyThenHundred)
{
    Write(kFile, std::string(5 * 2048, 's'));
    Shred(0);
    EXPECT_EQ(Percents(), (PercentList{50, 100}));
    EXPECT_FALSE(Exists(kFile));
}

TEST_F(ShredFileTest, CounterOfEarlierFilesCarriesOver)
{
    // A folder's counter runs across its files: this file starts at 50 %.
    Write(kFile, std::string(2048, 's'));
    std::uint64_t done = 4096;
    (void)ShredFile(kFile, u"C:\\Data", 8192, done);
    EXPECT_EQ(Percents(), (PercentList{75, 100}));
    EXPECT_EQ(Progress().front().first, u"C:\\Data");
    EXPECT_EQ(done, 8192u);
}

TEST_F(ShredFileTest, FilesThatCannotBeOpenedForWritingStayUnchanged)
{
    if (lockora::testing::UnderWine())
        GTEST_SKIP() << "Wine run as root opens read-only files for writing; Windows refuses";
    Write(kFile, std::string(4096, 'r'));
    ASSERT_TRUE(platform::SetFileAttributes(kFile, platform::kAttrReadOnly).ok());
    Shred(8192);
    EXPECT_EQ(Read(kFile), std::string(4096, 'r'));

    ASSERT_TRUE(platform::SetFileAttributes(kFile, platform::kAttrNormal).ok());
    {
        auto held = platform::File::Open(kFile, platform::Access::Read, platform::Share::Read,
                                         platform::Disposition::OpenExisting);
        ASSERT_TRUE(held.ok());
        Shred(8192);
    }
    EXPECT_EQ(Read(kFile), std::string(4096, 'r'));
    EXPECT_TRUE(Percents().empty());
    EXPECT_EQ(done_, 0u);

    std::uint64_t done = 0;
    EXPECT_EQ(ShredFile(u"C:\\Data\\missing", u"C:\\Data\\missing", 0, done).code(), platform::kErrorFileNotFound);
    EXPECT_FALSE(Exists(u"C:\\Data\\missing")); // not created by the truncating open
    EXPECT_TRUE(Percents().empty());
}

// The file operations of shredding a 10,000-byte file: its attributes, open,
// size, the run of four blocks, the tail, flush, the same again, then the
// truncating open.
constexpr std::uint64_t kFirstTail = 5;
constexpr std::uint64_t kFirstFlush = 6;
constexpr std::uint64_t kSecondFlush = 9;

TEST_F(ShredFileTest, FirstPassIsWholeBeforeTheSecondBegins)
{
    // A failed flush stops the shredder with the file in place, which shows
    // what the disk held at that point.
    Write(kFile, std::string(10000, 's'));
    platform::testing::FailNthFileOperation(kFirstFlush, platform::kErrorWriteFault);
    Shred(20000);
    platform::testing::FailNthFileOperation(0, 0);
    EXPECT_EQ(Read(kFile), std::string(10000, '\xFF'));
    EXPECT_EQ(Percents(), (PercentList{10, 20, 30, 40}));
}

TEST_F(ShredFileTest, SecondPassLeavesOnlyZerosBeforeTheFileIsEmptied)
{
    Write(kFile, std::string(10000, 's'));
    platform::testing::FailNthFileOperation(kSecondFlush, platform::kErrorWriteFault);
    Shred(20000);
    platform::testing::FailNthFileOperation(0, 0);
    EXPECT_EQ(Read(kFile), std::string(10000, '\0'));
}

TEST_F(ShredFileTest, FailedWriteLeavesThePartlyOverwrittenFileInPlace)
{
    Write(kFile, std::string(10000, 's'));
    platform::testing::FailNthFileOperation(kFirstTail, platform::kErrorDiskFull);
    Shred(20000);
    EXPECT_EQ(shredded_.code(), platform::kErrorDiskFull);
    platform::testing::FailNthFileOperation(0, 0);
    EXPECT_EQ(Read(kFile), std::string(8192, '\xFF') + std::string(10000 - 8192, 's'));
    EXPECT_EQ(Percents(), (PercentList{10, 20, 30, 40}));
}

TEST_F(ShredFileTest, FailedTruncationStillDeletes)
{
    Write(kFile, std::string(10000, 's'));
    platform::testing::FailNthFileOperation(kSecondFlush + 1, platform::kErrorSharingViolation);
    Shred(20000);
    platform::testing::FailNthFileOperation(0, 0);
    EXPECT_FALSE(Exists(kFile));
}

TEST_F(ShredFileTest, LinkIsRemovedAndItsTargetKept)
{
    if (lockora::testing::UnderWine())
        GTEST_SKIP() << "Wine cannot make symbolic links (CreateSymbolicLinkW is not implemented)";
    Write(u"D:\\target.txt", "keep me");
    MakeFolder(u"C:\\Data");
    fs::create_symlink(sandbox().host(u"D:\\target.txt"), sandbox().host(kFile));
    Shred(0);
    EXPECT_FALSE(Exists(kFile));
    EXPECT_EQ(Read(u"D:\\target.txt"), "keep me");
    EXPECT_TRUE(Percents().empty());
}

TEST_F(ShredFileTest, HardLinkedFileKeepsItsContentUnderTheOtherName)
{
    Write(kFile, std::string(4096, 'h'));
    fs::create_hard_link(sandbox().host(kFile), sandbox().host(u"D:\\other.bin"));
    Shred(8192);
    EXPECT_FALSE(Exists(kFile));
    EXPECT_EQ(Read(u"D:\\other.bin"), std::string(4096, 'h'));
    EXPECT_TRUE(Percents().empty());
}

} // namespace
} // namespace lockora::shred
