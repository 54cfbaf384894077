// The encrypt operation: opening, backups, empty items, the source after
// success, and what the page is told.
#include "crypto/cipher.h"
#include "crypto/progress.h"
#include "platform/attributes.h"
#include "platform/folders.h"
#include "tests/crypto/engine_fixture.h"
#include "tests/crypto/operation_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace lockora::crypto {
namespace {

using testing::Message;
using testing::Pattern;
using testing::SnapshotTree;

class EncryptOperationTest : public testing::OperationTest {
protected:
    static settings::SettingsRecord WithBackup(std::u16string folder)
    {
        settings::SettingsRecord options;
        options.bBackup = true;
        options.strBackDir = std::move(folder);
        return options;
    }

    static settings::SettingsRecord Deleting(std::int32_t selection)
    {
        settings::SettingsRecord options;
        options.iDelSel = selection;
        return options;
    }
};

TEST_F(EncryptOperationTest, ReadOnlySourceIsNotOpened)
{
    if (lockora::testing::UnderWine())
        GTEST_SKIP() << "Wine run as root opens read-only files for writing; Windows refuses";
    Write(u"C:\\a.txt", "data");
    ASSERT_TRUE(platform::SetFileAttributes(u"C:\\a.txt", platform::kAttrReadOnly).ok());
    EXPECT_EQ(Encrypt(u"C:\\a.txt"), kOpenFailed);
    EXPECT_FALSE(Exists(u"C:\\a.txt.xep"));
    ASSERT_EQ(MessageIds(), std::vector<std::int32_t>{bridge::MSG_SHOW_ERROR_INFO});
    EXPECT_EQ(Messages()[0].At(1).At(1).GetInt(), 5);
}

TEST_F(EncryptOperationTest, MissingSourceIsNotOpened)
{
    EXPECT_EQ(Encrypt(u"C:\\gone.txt"), kOpenFailed);
    EXPECT_FALSE(Exists(u"C:\\gone.txt.xep"));
    ASSERT_EQ(MessagesOf(bridge::MSG_SHOW_ERROR_INFO).size(), 1u);
}

TEST_F(EncryptOperationTest, EmptyFileGivesTrailerOnlyAndOneProgressOf100)
{
    Write(u"C:\\empty.txt", "");
    EXPECT_EQ(Encrypt(u"C:\\empty.txt"), kOpened);
    EXPECT_EQ(Read(u"C:\\empty.txt.xep").size(), 32u);
    EXPECT_EQ(Messages(), (std::vector{Message(bridge::MSG_SET_PRGRRESS, u"C:\\empty.txt", 100),
                                       Message(bridge::MSG_ITEM_WRITTEN, u"C:\\empty.txt.xep")}));
}

// The stream loop reads and writes in runs of a mebibyte, yet the page sees
// the percentages of one 2,048-byte chunk at a time, both ways.
TEST_F(EncryptOperationTest, ProgressOfAFileOfSeveralRunsStepsChunkByChunk)
{
    const std::uint64_t length = (3u << 20) + 1003;
    Write(u"C:\\big.bin", Pattern(length, 41, 7));
    // Where each chunk ends: the whole blocks, the words of the rest, the tail.
    std::vector<std::uint64_t> ends;
    for (std::uint64_t end = kBlockSize; end <= length; end += kBlockSize)
        ends.push_back(end);
    ends.push_back(length / kBlockSize * kBlockSize + (length & 0x7F8));
    ends.push_back(length);
    std::vector<std::int32_t> expected;
    for (const std::uint64_t end : ends) {
        const std::int32_t percent = ProgressPercent(end, length);
        if (percent != (expected.empty() ? 0 : expected.back()))
            expected.push_back(percent);
    }
    ASSERT_GT(expected.size(), 90u);

    ASSERT_EQ(Encrypt(u"C:\\big.bin", Deleting(kDeleteSource)), kOpened);
    EXPECT_EQ(Percents(bridge::MSG_SET_PRGRRESS), expected);
    ClearMessages();
    ASSERT_EQ(Decrypt(u"C:\\big.bin.xep"), kOpened);
    EXPECT_EQ(Percents(bridge::MSG_SET_PRGRRESS), expected);
    EXPECT_EQ(Read(u"C:\\big.bin"), Pattern(length, 41, 7));
}

TEST_F(EncryptOperationTest, EmptyFolderGivesTrailerOnlyAndProgress0And100)
{
    ASSERT_TRUE(platform::CreateDirectory(u"C:\\docs").ok());
    EXPECT_EQ(Encrypt(u"C:\\docs"), kOpened);
    EXPECT_EQ(Read(u"C:\\docs.xep").size(), 32u);
    EXPECT_EQ(Percents(bridge::MSG_SET_PRGRRESS), (std::vector<std::int32_t>{0, 100}));
    EXPECT_TRUE(platform::IsDirectory(u"C:\\docs"));
}

TEST_F(EncryptOperationTest, BackupIsIdenticalAndNamedIndependently)
{
    Write(u"C:\\docs\\a.txt", Pattern(5000, 7, 1));
    Write(u"D:\\Backup\\a.txt.xep", "taken");
    EXPECT_EQ(Encrypt(u"C:\\docs\\a.txt", WithBackup(u"D:/Backup")), kOpened);
    ASSERT_TRUE(Exists(u"C:\\docs\\a.txt.xep"));
    EXPECT_EQ(Read(u"D:\\Backup\\a.txt(1).xep"), Read(u"C:\\docs\\a.txt.xep"));
    EXPECT_EQ(Read(u"D:\\Backup\\a.txt.xep"), "taken");
}

TEST_F(EncryptOperationTest, MissingBackupFolderLeavesNoContainer)
{
    Write(u"C:\\a.txt", "data");
    EXPECT_EQ(Encrypt(u"C:\\a.txt", WithBackup(u"D:/Nowhere")), kBackupFailed);
    EXPECT_FALSE(Exists(u"C:\\a.txt.xep"));
    EXPECT_EQ(Messages(), std::vector{Message(bridge::MSG_BACKUP_FILE_NAME_EXIST, u"D:/Nowhere\\a.txt.xep")});
    EXPECT_EQ(Read(u"C:\\a.txt"), "data");
}

TEST_F(EncryptOperationTest, DeletingFolderRemovesHiddenAndReadOnlyContent)
{
    Write(u"C:\\docs\\sub\\deep\\a.txt", "a");
    Write(u"C:\\docs\\hidden.txt", "h");
    Write(u"C:\\docs\\ro.txt", "r");
    ASSERT_TRUE(platform::SetFileAttributes(u"C:\\docs\\hidden.txt", platform::kAttrHidden).ok());
    ASSERT_TRUE(platform::SetFileAttributes(u"C:\\docs\\ro.txt", platform::kAttrReadOnly).ok());
    ASSERT_TRUE(platform::SetFileAttributes(u"C:\\docs\\sub", platform::kAttrReadOnly | platform::kAttrHidden).ok());
    const auto before = SnapshotTree(sandbox().host(u"C:\\docs"));

    EXPECT_EQ(Encrypt(u"C:\\docs", Deleting(kDeleteSource)), kOpened);
    EXPECT_FALSE(Exists(u"C:\\docs"));

    ClearMessages();
    EXPECT_EQ(Decrypt(u"C:\\docs.xep"), kOpened);
    EXPECT_EQ(SnapshotTree(sandbox().host(u"C:\\docs")), before);
    EXPECT_TRUE(MessagesOf(bridge::MSG_ENCRYPT_FILE_HAD_MODIFY).empty());
}

TEST_F(EncryptOperationTest, DeletingFolderLeavesLinkTargetsAlone)
{
    if (lockora::testing::UnderWine())
        GTEST_SKIP() << "Wine cannot make symbolic links (CreateSymbolicLinkW is not implemented)";
    Write(u"D:\\outside.txt", "keep me");
    Write(u"C:\\docs\\a.txt", "a");
    std::filesystem::create_symlink(sandbox().host(u"D:\\outside.txt"), sandbox().host(u"C:\\docs\\link.txt"));
    EXPECT_EQ(Encrypt(u"C:\\docs", Deleting(kDeleteSource)), kOpened);
    EXPECT_FALSE(Exists(u"C:\\docs"));
    EXPECT_EQ(Read(u"D:\\outside.txt"), "keep me");

    EXPECT_EQ(Decrypt(u"C:\\docs.xep"), kOpened);
    EXPECT_FALSE(Exists(u"C:\\docs\\link.txt"));
    EXPECT_EQ(Read(u"C:\\docs\\a.txt"), "a");
}

TEST_F(EncryptOperationTest, DeletingFileAfterSuccess)
{
    Write(u"C:\\a.txt", "data");
    EXPECT_EQ(Encrypt(u"C:\\a.txt", Deleting(kDeleteSource)), kOpened);
    EXPECT_FALSE(Exists(u"C:\\a.txt"));
    EXPECT_EQ(Decrypt(u"C:\\a.txt.xep"), kOpened);
    EXPECT_EQ(Read(u"C:\\a.txt"), "data");
}

TEST_F(EncryptOperationTest, ShreddingFileFollowsTheEncryptionsHundredPercent)
{
    Write(u"C:\\a.txt", Pattern(8192, 3, 5));
    EXPECT_EQ(Encrypt(u"C:\\a.txt", Deleting(kShredSource)), kOpened);
    EXPECT_FALSE(Exists(u"C:\\a.txt"));

    const auto ids = MessageIds();
    const auto firstShred = std::find(ids.begin(), ids.end(), bridge::MSG_SET_DEL_PRGRRESS);
    ASSERT_NE(firstShred, ids.end());
    EXPECT_TRUE(std::all_of(firstShred, ids.end(), [](std::int32_t id) { return id == bridge::MSG_SET_DEL_PRGRRESS; }));
    EXPECT_EQ(Percents(bridge::MSG_SET_PRGRRESS).back(), 100);
    EXPECT_EQ(Percents(bridge::MSG_SET_DEL_PRGRRESS).back(), 100);
    EXPECT_EQ(MessagesOf(bridge::MSG_SET_DEL_PRGRRESS)[0].At(1).At(0).GetString(), u"C:\\a.txt");

    EXPECT_EQ(Decrypt(u"C:\\a.txt.xep"), kOpened);
    EXPECT_EQ(Read(u"C:\\a.txt"), Pattern(8192, 3, 5));
}

TEST_F(EncryptOperationTest, ShreddingFolderAfterSuccess)
{
    Write(u"C:\\docs\\a.txt", Pattern(3000, 5, 1));
    Write(u"C:\\docs\\sub\\b.txt", "b");
    EXPECT_EQ(Encrypt(u"C:\\docs", Deleting(kShredSource)), kOpened);
    EXPECT_FALSE(Exists(u"C:\\docs"));
    EXPECT_FALSE(MessagesOf(bridge::MSG_SET_DEL_PRGRRESS).empty());
    EXPECT_EQ(Decrypt(u"C:\\docs.xep"), kOpened);
    EXPECT_EQ(Read(u"C:\\docs\\sub\\b.txt"), "b");
}

TEST_F(EncryptOperationTest, UnreadableFileInsideFolderAbandonsTheFolder)
{
    Write(u"C:\\docs\\a.txt", "a");
    Write(u"C:\\docs\\b.txt", "b");
    // A handle that shares nothing keeps the walk from opening the file.
    auto held = platform::File::Open(u"C:\\docs\\b.txt", platform::Access::Read, platform::Share::None,
                                     platform::Disposition::OpenExisting);
    ASSERT_TRUE(held.ok());
    EXPECT_EQ(Encrypt(u"C:\\docs", WithBackup(u"D:")), kOpened);
    EXPECT_FALSE(Exists(u"C:\\docs.xep"));
    EXPECT_FALSE(Exists(u"D:\\docs.xep"));
    EXPECT_EQ(Read(u"C:\\docs\\a.txt"), "a");
    EXPECT_EQ(MessageIds().back(), bridge::MSG_ENCRYPT_FAILED);
    EXPECT_EQ(Messages().back(), Message(bridge::MSG_ENCRYPT_FAILED, u"C:\\docs"));
    EXPECT_EQ(MessagesOf(bridge::MSG_SHOW_ERROR_INFO).size(), 1u);
}

TEST_F(EncryptOperationTest, ContainersMatchTheIndependentCalculation)
{
    Write(u"C:\\plain.bin", Pattern(3053, 131, 7));
    EXPECT_EQ(Encrypt(u"C:\\plain.bin", {}, u"P\u00e4ssw\u00f6rd\u20ac\u4e2d"), kOpened);
    EXPECT_EQ(Read(u"C:\\plain.bin.xep"), testing::ReadExpectedContainer("single_file.xep"));

    Write(u"C:\\docs\\b.bin", Pattern(2061, 17, 3));
    ASSERT_TRUE(platform::CreateDirectory(u"C:\\docs\\Empty").ok());
    Write(u"C:\\docs\\sub\\\u00e4.txt", "h\xC3\xA9llo w\xC3\xB6rld\n");
    settings::SettingsRecord recovery;
    recovery.bEptCanFgt = true;
    EXPECT_EQ(Encrypt(u"C:\\docs", recovery), kOpened);
    EXPECT_EQ(Read(u"C:\\docs.xep"), testing::ReadExpectedContainer("folder.xep"));
}

} // namespace
} // namespace lockora::crypto
