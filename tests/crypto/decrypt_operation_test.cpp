// The decrypt operation: rejected containers and their codes, the recovery
// flag, altered bodies, abandoned restores and the container after success.
#include "browse/folder_tree.h"
#include "crypto/password_key.h"
#include "platform/folders.h"
#include "tests/crypto/engine_fixture.h"
#include "tests/crypto/operation_fixture.h"

#include <gtest/gtest.h>

namespace lockora::crypto {
namespace {

using testing::Message;
using testing::Pattern;
using testing::SnapshotTree;

class DecryptOperationTest : public testing::OperationTest {
protected:
    static settings::SettingsRecord Deleting(std::int32_t selection)
    {
        settings::SettingsRecord options;
        options.iDelSel = selection;
        return options;
    }

    // Only the container is left in its folder: nothing restored remains.
    void ExpectOnlyContainer(const std::u16string& folder, const std::u16string& container, const std::string& bytes)
    {
        const auto tree = SnapshotTree(sandbox().host(folder));
        ASSERT_EQ(tree.size(), 1u);
        EXPECT_EQ(Read(container), bytes);
    }

    void MakeFolder()
    {
        Write(u"C:\\src\\docs\\a.bin", Pattern(4099, 11, 2));
        Write(u"C:\\src\\docs\\sub\\\u00e9t\u00e9.txt", "summer");
        ASSERT_TRUE(platform::CreateDirectory(u"C:\\src\\docs\\empty").ok());
    }
};

TEST_F(DecryptOperationTest, FileRoundTripKeepsTheContainer)
{
    Write(u"C:\\a.txt", Pattern(5000, 13, 9));
    ASSERT_EQ(Encrypt(u"C:\\a.txt"), kOpened);
    ClearMessages();
    EXPECT_EQ(Decrypt(u"C:\\a.txt.xep"), kOpened);
    EXPECT_EQ(Read(u"C:\\a(1).txt"), Pattern(5000, 13, 9));
    EXPECT_TRUE(Exists(u"C:\\a.txt.xep"));
    EXPECT_EQ(Percents(bridge::MSG_SET_PRGRRESS).back(), 100);
    // Progress, then the name of what was written.
    const auto messages = Messages();
    for (std::size_t i = 0; i + 1 < messages.size(); ++i)
        EXPECT_EQ(messages[i].At(0).GetInt(), bridge::MSG_SET_PRGRRESS);
    EXPECT_EQ(messages.back(), Message(bridge::MSG_ITEM_WRITTEN, u"C:\\a(1).txt"));
}

TEST_F(DecryptOperationTest, FolderRoundTripSendsProgress0And100)
{
    MakeFolder();
    ASSERT_EQ(Encrypt(u"C:\\src\\docs"), kOpened);
    ClearMessages();
    EXPECT_EQ(Decrypt(u"C:\\src\\docs.xep"), kOpened);
    EXPECT_EQ(SnapshotTree(sandbox().host(u"C:\\src\\docs(1)")), SnapshotTree(sandbox().host(u"C:\\src\\docs")));
    const auto percents = Percents(bridge::MSG_SET_PRGRRESS);
    EXPECT_EQ(percents.front(), 0);
    EXPECT_EQ(percents.back(), 100);
}

TEST_F(DecryptOperationTest, NotAContainerSendsCode1AndLeavesNothing)
{
    Write(u"C:\\in\\a.txt.xep", std::string(100, 'x'));
    EXPECT_EQ(Decrypt(u"C:\\in\\a.txt.xep"), kContainerRejected);
    EXPECT_EQ(Messages(), std::vector{Message(bridge::MSG_DENCRYPT_FAILED, u"C:\\in\\a.txt.xep", 1)});
    ExpectOnlyContainer(u"C:\\in", u"C:\\in\\a.txt.xep", std::string(100, 'x'));

    Write(u"C:\\in\\a.txt.xep", std::string(31, 'x'));
    EXPECT_EQ(Decrypt(u"C:\\in\\a.txt.xep"), kContainerRejected);
    EXPECT_EQ(Messages().back(), Message(bridge::MSG_DENCRYPT_FAILED, u"C:\\in\\a.txt.xep", 1));
    ExpectOnlyContainer(u"C:\\in", u"C:\\in\\a.txt.xep", std::string(31, 'x'));
}

TEST_F(DecryptOperationTest, WrongPasswordSendsCode2AndLeavesNothing)
{
    Write(u"C:\\in\\a.txt", "data");
    ASSERT_EQ(Encrypt(u"C:\\in\\a.txt", Deleting(kDeleteSource)), kOpened);
    const std::string container = Read(u"C:\\in\\a.txt.xep");
    ClearMessages();
    EXPECT_EQ(Decrypt(u"C:\\in\\a.txt.xep", {}, u"wrong"), kContainerRejected);
    EXPECT_EQ(Messages(), std::vector{Message(bridge::MSG_DENCRYPT_FAILED, u"C:\\in\\a.txt.xep", 2)});
    ExpectOnlyContainer(u"C:\\in", u"C:\\in\\a.txt.xep", container);
}

TEST_F(DecryptOperationTest, WrongPasswordOnFolderRemovesTheNewFolderAgain)
{
    MakeFolder();
    ASSERT_EQ(Encrypt(u"C:\\src\\docs", Deleting(kDeleteSource)), kOpened);
    ClearMessages();
    EXPECT_EQ(Decrypt(u"C:\\src\\docs.xep", {}, u"wrong"), kContainerRejected);
    EXPECT_EQ(Messages(), std::vector{Message(bridge::MSG_DENCRYPT_FAILED, u"C:\\src\\docs.xep", 2)});
    EXPECT_FALSE(Exists(u"C:\\src\\docs"));
}

TEST_F(DecryptOperationTest, RecoveryFlagLetsTheProgramPasswordOpen)
{
    settings::SettingsRecord options;
    options.uPwd = PasswordKey(u"program");
    options.bEptCanFgt = true;
    Write(u"C:\\flagged.txt", "flagged");
    ASSERT_EQ(Encrypt(u"C:\\flagged.txt", options, u"own"), kOpened);
    options.bEptCanFgt = false;
    Write(u"C:\\plain.txt", "plain");
    ASSERT_EQ(Encrypt(u"C:\\plain.txt", options, u"own"), kOpened);
    ClearMessages();

    EXPECT_EQ(Decrypt(u"C:\\flagged.txt.xep", options, u"program"), kOpened);
    EXPECT_EQ(Read(u"C:\\flagged(1).txt"), "flagged");
    // The recovery flag is the container's, whatever the setting is now.
    options.bEptCanFgt = true;
    EXPECT_EQ(Decrypt(u"C:\\plain.txt.xep", options, u"program"), kContainerRejected);
    EXPECT_EQ(Messages().back(), Message(bridge::MSG_DENCRYPT_FAILED, u"C:\\plain.txt.xep", 2));
    EXPECT_EQ(Decrypt(u"C:\\plain.txt.xep", options, u"own"), kOpened);
    EXPECT_EQ(Read(u"C:\\plain(1).txt"), "plain");
}

TEST_F(DecryptOperationTest, AlteredBodyIsRestoredThenReported)
{
    Write(u"C:\\a.txt", Pattern(3000, 3, 3));
    ASSERT_EQ(Encrypt(u"C:\\a.txt", Deleting(kDeleteSource)), kOpened);
    std::string container = Read(u"C:\\a.txt.xep");
    container[1000] = static_cast<char>(container[1000] ^ 0x40);
    Write(u"C:\\a.txt.xep", container);
    ClearMessages();

    EXPECT_EQ(Decrypt(u"C:\\a.txt.xep"), kOpened);
    const std::string restored = Read(u"C:\\a.txt");
    EXPECT_EQ(restored.size(), 3000u);
    EXPECT_NE(restored, Pattern(3000, 3, 3));
    EXPECT_EQ(MessageIds().back(), bridge::MSG_ENCRYPT_FILE_HAD_MODIFY);
    EXPECT_TRUE(Messages().back().At(1).IsUndefined());
    EXPECT_EQ(MessagesOf(bridge::MSG_ENCRYPT_FILE_HAD_MODIFY).size(), 1u);

    // A container whose content does not match is never shredded: it may be
    // the only copy there is.
    ClearMessages();
    EXPECT_EQ(Decrypt(u"C:\\a.txt.xep", Deleting(kShredSource)), kOpened);
    EXPECT_EQ(Read(u"C:\\a(1).txt"), restored);
    EXPECT_EQ(Read(u"C:\\a.txt.xep"), container);
    EXPECT_TRUE(MessagesOf(bridge::MSG_SET_DEL_PRGRRESS).empty());
    EXPECT_EQ(MessageIds().back(), bridge::MSG_ENCRYPT_FILE_HAD_MODIFY);
}

TEST_F(DecryptOperationTest, DamagedRecordAbandonsTheFolderRestore)
{
    MakeFolder();
    ASSERT_EQ(Encrypt(u"C:\\src\\docs", Deleting(kDeleteSource)), kOpened);
    std::string container = Read(u"C:\\src\\docs.xep");
    container[0] = 0; // the first record's marker byte
    Write(u"C:\\src\\docs.xep", container);
    ClearMessages();

    EXPECT_EQ(Decrypt(u"C:\\src\\docs.xep", Deleting(kDeleteSource)), kOpened);
    EXPECT_FALSE(Exists(u"C:\\src\\docs"));
    EXPECT_EQ(Read(u"C:\\src\\docs.xep"), container);
    EXPECT_EQ(Messages().back(), Message(bridge::MSG_DENCRYPT_FAILED, u"C:\\src\\docs.xep", 1));
}

TEST_F(DecryptOperationTest, DeletingContainerAfterSuccess)
{
    MakeFolder();
    ASSERT_EQ(Encrypt(u"C:\\src\\docs"), kOpened);
    const auto before = SnapshotTree(sandbox().host(u"C:\\src\\docs"));
    ASSERT_TRUE(browse::DeleteFolderTree(u"C:\\src\\docs"));
    ASSERT_TRUE(platform::RemoveDirectory(u"C:\\src\\docs").ok());
    EXPECT_EQ(Decrypt(u"C:\\src\\docs.xep", Deleting(kDeleteSource)), kOpened);
    EXPECT_FALSE(Exists(u"C:\\src\\docs.xep"));
    EXPECT_EQ(SnapshotTree(sandbox().host(u"C:\\src\\docs")), before);
}

TEST_F(DecryptOperationTest, ShreddingContainerAfterSuccess)
{
    Write(u"C:\\a.txt", Pattern(8192, 7, 7));
    ASSERT_EQ(Encrypt(u"C:\\a.txt", Deleting(kDeleteSource)), kOpened);
    ClearMessages();
    EXPECT_EQ(Decrypt(u"C:\\a.txt.xep", Deleting(kShredSource)), kOpened);
    EXPECT_FALSE(Exists(u"C:\\a.txt.xep"));
    EXPECT_EQ(Read(u"C:\\a.txt"), Pattern(8192, 7, 7));
    EXPECT_EQ(MessageIds().back(), bridge::MSG_SET_DEL_PRGRRESS);
    EXPECT_EQ(Percents(bridge::MSG_SET_DEL_PRGRRESS).back(), 100);
    EXPECT_EQ(MessagesOf(bridge::MSG_SET_DEL_PRGRRESS)[0].At(1).At(0).GetString(), u"C:\\a.txt.xep");
}

TEST_F(DecryptOperationTest, IndependentlyCalculatedContainersRestore)
{
    Write(u"C:\\given.xep", testing::ReadExpectedContainer("single_file.xep"));
    EXPECT_EQ(Decrypt(u"C:\\given.xep", {}, u"P\u00e4ssw\u00f6rd\u20ac\u4e2d"), kOpened);
    EXPECT_EQ(Read(u"C:\\given"), Pattern(3053, 131, 7));

    Write(u"D:\\docs.xep", testing::ReadExpectedContainer("folder.xep"));
    EXPECT_EQ(Decrypt(u"D:\\docs.xep"), kOpened);
    EXPECT_EQ(Read(u"D:\\docs\\b.bin"), Pattern(2061, 17, 3));
    EXPECT_EQ(Read(u"D:\\docs\\sub\\\u00e4.txt"), "h\xC3\xA9llo w\xC3\xB6rld\n");
    EXPECT_TRUE(platform::IsDirectory(u"D:\\docs\\Empty"));
    EXPECT_TRUE(MessagesOf(bridge::MSG_ENCRYPT_FILE_HAD_MODIFY).empty());
}

} // namespace
} // namespace lockora::crypto
