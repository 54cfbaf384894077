// Every File operation of an item fails once, in turn. Whatever fails, the
// source stays as it was unless the item succeeded, nothing half-written is
// left, the item ends with the result that says whether the batch goes on,
// and the page is told.
#include "platform/file.h"
#include "platform/folders.h"
#include "platform/text.h"
#include "tests/crypto/engine_fixture.h"
#include "tests/crypto/operation_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace lockora::crypto {
namespace {

using testing::Pattern;
using testing::SnapshotTree;
using Tree = std::vector<std::pair<std::string, std::string>>;

constexpr platform::ErrorCode kInjected = 112; // disk full

class OperationFaultsTest : public testing::OperationTest {
public:
    void MakeFile(const std::u16string& folder) { Write(folder + u"\\a.bin", Pattern(5000, 29, 3)); }

    // Three runs of the stream loop, the last one short, and a tail.
    void MakeLargeFile(const std::u16string& folder)
    {
        Write(folder + u"\\big.bin", Pattern((5u << 19) + 1003, 37, 5));
    }

    void MakeFolder(const std::u16string& folder)
    {
        Write(folder + u"\\docs\\a.bin", Pattern(3000, 31, 1));
        Write(folder + u"\\docs\\sub\\b.txt", "b");
        ASSERT_TRUE(platform::CreateDirectory(folder + u"\\docs\\empty").ok());
    }

protected:
    void TearDown() override
    {
        platform::testing::ResetFileOperationCount();
        OperationTest::TearDown();
    }

    std::u16string Run(int round) { return u"C:\\r" + platform::Utf8ToUtf16(std::to_string(round)); }

    Tree Snapshot(const std::u16string& path) { return SnapshotTree(sandbox().host(path)); }

    // Runs `item` with the n-th File operation failing; false when fewer
    // than n operations ran, so the failure never fired.
    bool RunFailing(std::uint64_t n, int& result, const std::function<int()>& item)
    {
        ClearMessages();
        platform::testing::ResetFileOperationCount();
        platform::testing::FailNthFileOperation(n, kInjected);
        result = item();
        const bool fired = platform::testing::FileOperationCount() >= n;
        platform::testing::ResetFileOperationCount();
        return fired;
    }

    std::uint64_t CountOperations(const std::function<int()>& item)
    {
        platform::testing::ResetFileOperationCount();
        EXPECT_EQ(item(), kOpened);
        return platform::testing::FileOperationCount();
    }

    bool Sent(std::int32_t id) const { return !MessagesOf(id).empty(); }

    static settings::SettingsRecord Options(const std::u16string& backupFolder)
    {
        settings::SettingsRecord options;
        options.iDelSel = kDeleteSource;
        options.bBackup = !backupFolder.empty();
        options.strBackDir = backupFolder;
        return options;
    }

    // Encrypts the item `name` made by `make` below a fresh folder per round,
    // with a backup and deletion of the source after success.
    void SweepEncrypt(const std::u16string& name, void (OperationFaultsTest::*make)(const std::u16string&))
    {
        (this->*make)(u"C:\\ref");
        ASSERT_TRUE(platform::CreateDirectory(u"D:\\refbk").ok());
        const std::uint64_t count =
            CountOperations([&] { return Encrypt(u"C:\\ref\\" + name, Options(u"D:/refbk")); });
        const std::string reference = Read(u"C:\\ref\\" + name + u".xep");
        ASSERT_EQ(Read(u"D:\\refbk\\" + name + u".xep"), reference);

        for (std::uint64_t n = 1; n <= count; ++n) {
            SCOPED_TRACE("failing operation " + std::to_string(n));
            const std::u16string folder = Run(static_cast<int>(n));
            const std::u16string backups = u"D:\\bk" + platform::Utf8ToUtf16(std::to_string(n));
            (this->*make)(folder);
            ASSERT_TRUE(platform::CreateDirectory(backups).ok());
            const Tree source = Snapshot(folder);
            const std::u16string item = folder + u"\\" + name;

            int result = 0;
            ASSERT_TRUE(RunFailing(n, result, [&] { return Encrypt(item, Options(backups)); }));
            if (result == kOpened && !Sent(bridge::MSG_ENCRYPT_FAILED)) {
                ADD_FAILURE() << "a failed operation went unnoticed";
                continue;
            }
            // Nothing of the item is left but its untouched source.
            EXPECT_TRUE(Snapshot(folder) == source);
            EXPECT_TRUE(Snapshot(backups).empty());
            if (result == kBackupFailed) {
                EXPECT_TRUE(Sent(bridge::MSG_BACKUP_FILE_NAME_EXIST));
                continue;
            }
            EXPECT_TRUE(Sent(bridge::MSG_SHOW_ERROR_INFO));
            if (result != kOpened)
                EXPECT_EQ(result, kOpenFailed);
            else
                EXPECT_EQ(MessageIds().back(), bridge::MSG_ENCRYPT_FAILED);
        }
    }

    void SweepDecrypt(const std::u16string& name, void (OperationFaultsTest::*make)(const std::u16string&))
    {
        (this->*make)(u"C:\\ref");
        const Tree original = Snapshot(u"C:\\ref");
        ASSERT_EQ(Encrypt(u"C:\\ref\\" + name, Options(u"")), kOpened);
        const std::string container = Read(u"C:\\ref\\" + name + u".xep");
        ASSERT_TRUE(platform::CreateDirectory(u"C:\\dec").ok());
        Write(u"C:\\dec\\" + name + u".xep", container);
        const std::uint64_t count = CountOperations([&] { return Decrypt(u"C:\\dec\\" + name + u".xep", Options(u"")); });
        ASSERT_TRUE(Snapshot(u"C:\\dec") == original);

        for (std::uint64_t n = 1; n <= count; ++n) {
            SCOPED_TRACE("failing operation " + std::to_string(n));
            const std::u16string folder = Run(static_cast<int>(n));
            Write(folder + u"\\" + name + u".xep", container);
            const Tree before = Snapshot(folder);

            int result = 0;
            ASSERT_TRUE(RunFailing(n, result, [&] { return Decrypt(folder + u"\\" + name + u".xep", Options(u"")); }));
            if (result == kOpened && !Sent(bridge::MSG_DENCRYPT_FAILED)) {
                ADD_FAILURE() << "a failed operation went unnoticed";
                continue;
            }
            // Only the untouched container is left.
            EXPECT_TRUE(Snapshot(folder) == before);
            if (result == kOpenFailed) {
                EXPECT_EQ(MessageIds(), std::vector<std::int32_t>{bridge::MSG_SHOW_ERROR_INFO});
                continue;
            }
            EXPECT_TRUE(result == kOpened || result == kContainerRejected) << result;
            const auto failed = MessagesOf(bridge::MSG_DENCRYPT_FAILED);
            ASSERT_EQ(failed.size(), 1u);
            EXPECT_EQ(failed[0].At(1).At(1).GetInt(), bridge::ERR_READ_FAILE);
            EXPECT_EQ(MessageIds().back(), bridge::MSG_DENCRYPT_FAILED);
        }
    }
};

TEST_F(OperationFaultsTest, EncryptingAFile)
{
    SweepEncrypt(u"a.bin", &OperationFaultsTest::MakeFile);
}

TEST_F(OperationFaultsTest, EncryptingAFolder)
{
    SweepEncrypt(u"docs", &OperationFaultsTest::MakeFolder);
}

TEST_F(OperationFaultsTest, DecryptingAFile)
{
    SweepDecrypt(u"a.bin", &OperationFaultsTest::MakeFile);
}

TEST_F(OperationFaultsTest, EncryptingAFileOfSeveralRuns)
{
    SweepEncrypt(u"big.bin", &OperationFaultsTest::MakeLargeFile);
}

TEST_F(OperationFaultsTest, DecryptingAFileOfSeveralRuns)
{
    SweepDecrypt(u"big.bin", &OperationFaultsTest::MakeLargeFile);
}

TEST_F(OperationFaultsTest, DecryptingAFolder)
{
    SweepDecrypt(u"docs", &OperationFaultsTest::MakeFolder);
}

} // namespace
} // namespace lockora::crypto
