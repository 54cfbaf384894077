// Deleting or shredding the source of an item only after what replaces it
// reads back from the disk intact: every read of that check is damaged in
// turn (the platform layer's fault injection), and each run either lets the
// source go with a sound replacement or keeps it and reports the item.
#include "crypto/container_check.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/folders.h"
#include "platform/text.h"
#include "tests/crypto/engine_fixture.h"
#include "tests/crypto/operation_fixture.h"

#include <gtest/gtest.h>

#include <functional>

namespace lockora::crypto {
namespace {

using testing::Pattern;
using testing::SnapshotTree;

class VerifyBeforeReleaseTest : public testing::OperationTest {
protected:
    void TearDown() override
    {
        platform::testing::ResetFileOperationCount();
        OperationTest::TearDown();
    }

    void MakeFolder(const std::u16string& folder)
    {
        Write(folder + u"\\docs\\a.bin", Pattern(3000, 31, 1));
        Write(folder + u"\\docs\\sub\\b.txt", "b");
        ASSERT_TRUE(platform::CreateDirectory(folder + u"\\docs\\empty").ok());
    }

    static std::u16string Round(const char* name, std::uint64_t n)
    {
        return u"C:\\" + platform::Utf8ToUtf16(name + std::to_string(n));
    }

    std::uint64_t CountOperations(const std::function<int()>& item)
    {
        platform::testing::ResetFileOperationCount();
        EXPECT_EQ(item(), kOpened);
        return platform::testing::FileOperationCount();
    }

    static settings::SettingsRecord Options(std::int32_t selection, const std::u16string& backup = {})
    {
        settings::SettingsRecord options;
        options.iDelSel = selection;
        options.bBackup = !backup.empty();
        options.strBackDir = backup;
        return options;
    }
};

TEST_F(VerifyBeforeReleaseTest, AContainerDamagedBeforeItIsVerifiedKeepsTheOriginal)
{
    // Up to the check, deleting runs the same operations as keeping.
    MakeFolder(u"C:\\keep");
    MakeFolder(u"C:\\gone");
    ASSERT_TRUE(platform::CreateDirectory(u"D:\\bk").ok());
    const std::uint64_t kept = CountOperations([&] { return Encrypt(u"C:\\keep\\docs", Options(kKeepSource, u"D:/bk")); });
    const std::uint64_t checked =
        CountOperations([&] { return Encrypt(u"C:\\gone\\docs", Options(kShredSource, u"D:/bk")); });
    ASSERT_GT(checked, kept);

    int refused = 0;
    for (std::uint64_t n = kept + 1; n <= checked; ++n) {
        SCOPED_TRACE("damaged operation " + std::to_string(n));
        const std::u16string folder = Round("r", n);
        const std::u16string backups = Round("bk", n);
        MakeFolder(folder);
        ASSERT_TRUE(platform::CreateDirectory(backups).ok());
        const auto source = SnapshotTree(sandbox().host(folder));
        ClearMessages();
        platform::testing::ResetFileOperationCount();
        platform::testing::CorruptNthFileOperation(n);
        ASSERT_EQ(Encrypt(folder + u"\\docs", Options(kShredSource, backups)), kOpened);
        platform::testing::ResetFileOperationCount();

        if (!MessagesOf(bridge::MSG_ENCRYPT_FAILED).empty()) {
            ++refused;
            EXPECT_EQ(SnapshotTree(sandbox().host(folder)), source);
            EXPECT_TRUE(SnapshotTree(sandbox().host(backups)).empty());
            EXPECT_TRUE(MessagesOf(bridge::MSG_SET_DEL_PRGRRESS).empty());
        } else {
            // The damage hit no read: the container is sound and the source went.
            EXPECT_FALSE(Exists(folder + u"\\docs"));
            EXPECT_EQ(VerifyContainer(folder + u"\\docs.xep", u"secret", 0).outcome, VerifyOutcome::Intact);
        }
    }
    EXPECT_GT(refused, 0);
}

TEST_F(VerifyBeforeReleaseTest, ARestoredFileThatReadsBackWrongKeepsTheContainer)
{
    Write(u"C:\\a.bin", Pattern(5000, 29, 3));
    ASSERT_EQ(Encrypt(u"C:\\a.bin"), kOpened);
    const std::string container = Read(u"C:\\a.bin.xep");
    Write(u"C:\\keep\\a.bin.xep", container);
    Write(u"C:\\gone\\a.bin.xep", container);
    const std::uint64_t kept = CountOperations([&] { return Decrypt(u"C:\\keep\\a.bin.xep", Options(kKeepSource)); });
    const std::uint64_t checked =
        CountOperations([&] { return Decrypt(u"C:\\gone\\a.bin.xep", Options(kDeleteSource)); });
    ASSERT_GT(checked, kept);

    int refused = 0;
    for (std::uint64_t n = kept + 1; n <= checked; ++n) {
        SCOPED_TRACE("damaged operation " + std::to_string(n));
        const std::u16string folder = Round("r", n);
        Write(folder + u"\\a.bin.xep", container);
        ClearMessages();
        platform::testing::ResetFileOperationCount();
        platform::testing::CorruptNthFileOperation(n);
        ASSERT_EQ(Decrypt(folder + u"\\a.bin.xep", Options(kDeleteSource)), kOpened);
        platform::testing::ResetFileOperationCount();

        const auto failed = MessagesOf(bridge::MSG_DENCRYPT_FAILED);
        if (!failed.empty()) {
            ++refused;
            EXPECT_EQ(failed[0].At(1).At(1).GetInt(), bridge::ERR_READ_FAILE);
            EXPECT_EQ(Read(folder + u"\\a.bin.xep"), container);
            EXPECT_FALSE(Exists(folder + u"\\a.bin"));
        } else {
            EXPECT_FALSE(Exists(folder + u"\\a.bin.xep"));
            EXPECT_EQ(Read(folder + u"\\a.bin"), Pattern(5000, 29, 3));
        }
    }
    EXPECT_GT(refused, 0);
}

TEST_F(VerifyBeforeReleaseTest, ReadingBackComparesEveryRestoredFile)
{
    MakeFolder(u"C:\\src");
    ASSERT_EQ(Encrypt(u"C:\\src\\docs"), kOpened);
    EXPECT_TRUE(CheckRestoredContent(u"C:\\src\\docs.xep", u"C:\\src\\docs").ok());

    Write(u"C:\\src\\docs\\sub\\b.txt", "c");
    EXPECT_EQ(CheckRestoredContent(u"C:\\src\\docs.xep", u"C:\\src\\docs").code(), platform::kErrorCrc);
    Write(u"C:\\src\\docs\\sub\\b.txt", "bb");
    EXPECT_EQ(CheckRestoredContent(u"C:\\src\\docs.xep", u"C:\\src\\docs").code(), platform::kErrorCrc);
    ASSERT_TRUE(platform::DeleteFile(u"C:\\src\\docs\\sub\\b.txt").ok());
    EXPECT_EQ(CheckRestoredContent(u"C:\\src\\docs.xep", u"C:\\src\\docs").code(), platform::kErrorFileNotFound);
}

} // namespace
} // namespace lockora::crypto
