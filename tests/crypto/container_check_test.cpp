// Checking and describing containers in place: nothing is written, and
// every verdict matches what a decryption of the same container would find.
#include "crypto/container_check.h"
#include "crypto/password_key.h"
#include "platform/errors.h"
#include "platform/folders.h"
#include "platform/text.h"
#include "tests/crypto/engine_fixture.h"
#include "tests/crypto/operation_fixture.h"

#include <gtest/gtest.h>

namespace lockora::crypto {
namespace {

using testing::Pattern;
using testing::SnapshotTree;

class ContainerCheckTest : public testing::OperationTest {
protected:
    void SetUp() override
    {
        OperationTest::SetUp();
        Write(u"C:\\src\\docs\\a.bin", Pattern(4099, 11, 2));
        Write(u"C:\\src\\docs\\sub\\b.txt", "summer");
        ASSERT_TRUE(platform::CreateDirectory(u"C:\\src\\docs\\empty").ok());
        Write(u"C:\\src\\c.txt", Pattern(2053, 5, 1));
        ASSERT_EQ(Encrypt(u"C:\\src\\docs"), kOpened);
        settings::SettingsRecord recovery;
        recovery.bEptCanFgt = true;
        ASSERT_EQ(Encrypt(u"C:\\src\\c.txt", recovery), kOpened);
    }

    // Flips one byte of a copy of `container` at `offset` from its start
    // (or from its end when negative).
    std::u16string Damaged(const std::u16string& container, std::ptrdiff_t offset)
    {
        std::string bytes = Read(container);
        bytes[offset >= 0 ? offset : static_cast<std::ptrdiff_t>(bytes.size()) + offset] ^= 0x40;
        const std::u16string copy = container + u"." + platform::Utf8ToUtf16(std::to_string(++copies_));
        Write(copy, bytes);
        return copy;
    }

private:
    int copies_ = 0;
};

TEST_F(ContainerCheckTest, VerdictsMatchTheDecryptionAndNothingIsWritten)
{
    const std::u16string folder = u"C:\\src\\docs.xep";
    const std::u16string file = u"C:\\src\\c.txt.xep";
    const std::u16string bodyDamaged = Damaged(folder, 40);   // inside a.bin's content
    const std::u16string recordDamaged = Damaged(folder, 0);  // the first record's marker
    const std::u16string trailerDamaged = Damaged(file, -5);
    const auto before = SnapshotTree(sandbox().host(u"C:\\src"));
    ClearMessages();

    struct Case {
        std::u16string path;
        std::u16string password;
        VerifyOutcome outcome;
        bool isFolder;
    };
    const std::vector<Case> cases{
        {folder, u"secret", VerifyOutcome::Intact, true},
        {file, u"secret", VerifyOutcome::Intact, false},
        {folder, u"Secret", VerifyOutcome::WrongPassword, false},
        {bodyDamaged, u"secret", VerifyOutcome::ChecksumMismatch, true},
        {recordDamaged, u"secret", VerifyOutcome::DamagedRecords, true},
        {trailerDamaged, u"secret", VerifyOutcome::NotContainer, false},
        {u"C:\\src\\c.txt", u"secret", VerifyOutcome::NotContainer, false},
        {u"C:\\src\\missing.xep", u"secret", VerifyOutcome::ReadFailed, false},
    };
    for (const Case& check : cases) {
        const VerifyResult result = VerifyContainer(check.path, check.password, 0);
        EXPECT_EQ(result.outcome, check.outcome) << platform::Utf16ToUtf8(check.path);
        EXPECT_EQ(result.isFolder, check.isFolder) << platform::Utf16ToUtf8(check.path);
    }
    // The program password opens the container written with the recovery flag.
    EXPECT_EQ(VerifyContainer(file, u"program", PasswordKey(u"program")).outcome, VerifyOutcome::Intact);
    EXPECT_EQ(VerifyContainer(folder, u"program", PasswordKey(u"program")).outcome, VerifyOutcome::WrongPassword);

    EXPECT_EQ(SnapshotTree(sandbox().host(u"C:\\src")), before);
    // Progress as while decrypting and the missing file's error; never a
    // failure message of an operation.
    for (const auto id : MessageIds())
        EXPECT_TRUE(id == bridge::MSG_SET_PRGRRESS || id == bridge::MSG_SHOW_ERROR_INFO) << id;
    EXPECT_EQ(MessagesOf(bridge::MSG_SHOW_ERROR_INFO).size(), 1u);
}

TEST_F(ContainerCheckTest, DescriptionsReadOnlyThePlainTextParts)
{
    const auto folder = DescribeContainer(u"C:\\src\\docs.xep");
    ASSERT_TRUE(folder.ok());
    EXPECT_TRUE(folder->isFolder);
    EXPECT_FALSE(folder->recoveryFlag);
    EXPECT_EQ(folder->containerSize, Read(u"C:\\src\\docs.xep").size());
    EXPECT_EQ(folder->contentSize, 4099u + 6u);
    EXPECT_EQ(folder->fileCount, 2u);
    EXPECT_EQ(folder->folderCount, 2u);

    const auto file = DescribeContainer(u"C:\\src\\c.txt.xep");
    ASSERT_TRUE(file.ok());
    EXPECT_FALSE(file->isFolder);
    EXPECT_TRUE(file->recoveryFlag);
    EXPECT_EQ(file->contentSize, 2053u);

    EXPECT_EQ(DescribeContainer(Damaged(u"C:\\src\\docs.xep", 0)).code(), platform::kErrorInvalidData);
    EXPECT_EQ(DescribeContainer(u"C:\\src\\c.txt").code(), platform::kErrorInvalidData);
    EXPECT_EQ(DescribeContainer(u"C:\\src\\missing.xep").code(), platform::kErrorFileNotFound);
}

} // namespace
} // namespace lockora::crypto
