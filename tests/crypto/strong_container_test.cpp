// Strong containers through the encrypt and decrypt operations: round trips
// of every length class with their times, and every kind of damage ending
// as a failure with nothing restored.
#include "crypto/container_check.h"
#include "crypto/password_key.h"
#include "crypto/strong_format.h"
#include "platform/folders.h"
#include "platform/text.h"
#include "platform/times.h"
#include "tests/crypto/engine_fixture.h"
#include "tests/crypto/operation_fixture.h"

#include <gtest/gtest.h>

namespace lockora::crypto {
namespace {

using testing::Pattern;

// Cheap to derive, and small chunks, so that many chunks cost little.
constexpr StrongParameters kFast{1, kMinMemoryKiB, kMinChunkSize};
constexpr platform::FileTime kSomeTime{133'000'000'000'000'000};

class StrongContainerTest : public testing::OperationTest {
protected:
    int EncryptStrong(const std::u16string& path, const settings::SettingsRecord& options = {},
                      const std::u16string& password = u"secret")
    {
        CryptOperation operation;
        operation.ApplyOptions(options);
        operation.engine().bEncrypt = true;
        operation.engine().bStrong = true;
        operation.engine().strongParameters = kFast;
        return operation.EncryptItem(path, password);
    }

    // The code of the one MSG_DENCRYPT_FAILED since the last ClearMessages,
    // or -1 when the item was not reported as failed.
    std::int32_t FailureCode() const
    {
        const auto failed = MessagesOf(bridge::MSG_DENCRYPT_FAILED);
        return failed.size() == 1 ? failed[0].At(1).At(1).GetInt() : -1;
    }

    static settings::SettingsRecord Deleting()
    {
        settings::SettingsRecord options;
        options.iDelSel = 1;
        return options;
    }
};

TEST_F(StrongContainerTest, FilesOfEveryLengthClassComeBackWithTheirTimeAndTheOriginalGoesOnlyAfterTheCheck)
{
    // Empty, below one chunk, exactly one chunk with the time before the
    // content, one byte more, many chunks and a tail.
    constexpr std::size_t kChunk = kMinChunkSize;
    for (const std::size_t length : {std::size_t{0}, std::size_t{100}, kChunk - 8, kChunk, kChunk - 7, 5 * kChunk + 7}) {
        SCOPED_TRACE(length);
        const std::string content = Pattern(length, 7, 3);
        Write(u"C:\\a.bin", content);
        ASSERT_TRUE(platform::SetLastWriteTime(u"C:\\a.bin", kSomeTime).ok());
        ASSERT_EQ(EncryptStrong(u"C:\\a.bin", Deleting()), kOpened);
        ASSERT_FALSE(Exists(u"C:\\a.bin"));
        const std::string container = Read(u"C:\\a.bin.xep");
        const std::size_t chunks = (8 + length + kMinChunkSize - 1) / kMinChunkSize;
        EXPECT_EQ(container.size(), kStrongHeaderSize + 8 + length + kStrongChunkOverhead * chunks + kStrongEndSize);
        EXPECT_EQ(container.find("secret"), std::string::npos);

        ASSERT_EQ(Decrypt(u"C:\\a.bin.xep", Deleting()), kOpened);
        EXPECT_EQ(Read(u"C:\\a.bin"), content);
        EXPECT_EQ(platform::GetLastWriteTime(u"C:\\a.bin")->ticks, kSomeTime.ticks);
        EXPECT_FALSE(Exists(u"C:\\a.bin.xep"));
        ASSERT_TRUE(platform::DeleteFile(u"C:\\a.bin").ok());
    }
}

TEST_F(StrongContainerTest, AFolderTreeAndItsBackupComeBackWithEveryNameContentAndTime)
{
    Write(u"C:\\docs\\a.bin", Pattern(3 * kMinChunkSize + 5, 31, 1));
    Write(u"C:\\docs\\sub\\b.txt", "b");
    Write(u"C:\\docs\\sub\\deeper\\c.txt", "");
    ASSERT_TRUE(platform::CreateDirectory(u"C:\\docs\\empty").ok());
    for (const auto* path : {u"C:\\docs\\a.bin", u"C:\\docs\\sub\\b.txt", u"C:\\docs\\sub\\deeper", u"C:\\docs\\sub",
                             u"C:\\docs\\empty", u"C:\\docs"})
        ASSERT_TRUE(platform::SetLastWriteTime(path, kSomeTime).ok());
    const auto before = testing::SnapshotTree(sandbox().host(u"C:\\docs"));

    ASSERT_TRUE(platform::CreateDirectory(u"D:\\Backup").ok());
    settings::SettingsRecord backingUp = Deleting();
    backingUp.bBackup = true;
    backingUp.strBackDir = u"D:/Backup";
    ASSERT_EQ(EncryptStrong(u"C:\\docs", backingUp), kOpened);
    ASSERT_FALSE(platform::IsDirectory(u"C:\\docs"));
    EXPECT_EQ(Read(u"D:\\Backup\\docs.xep"), Read(u"C:\\docs.xep"));
    // Names are inside the encrypted stream.
    EXPECT_EQ(Read(u"C:\\docs.xep").find("s\0u\0b", 0, 5), std::string::npos);
    const auto described = VerifyContainer(u"C:\\docs.xep", u"secret", 0);
    EXPECT_EQ(described.outcome, VerifyOutcome::Intact);
    EXPECT_TRUE(described.isFolder);

    ASSERT_EQ(Decrypt(u"C:\\docs.xep", Deleting()), kOpened);
    EXPECT_EQ(testing::SnapshotTree(sandbox().host(u"C:\\docs")), before);
    for (const auto* path : {u"C:\\docs\\a.bin", u"C:\\docs\\sub\\deeper", u"C:\\docs\\empty", u"C:\\docs"})
        EXPECT_EQ(platform::GetLastWriteTime(path)->ticks, kSomeTime.ticks) << platform::Utf16ToUtf8(path);
    EXPECT_FALSE(Exists(u"C:\\docs.xep"));
}

TEST_F(StrongContainerTest, EveryDamageFailsAsDamagedAndLeavesNothingRestored)
{
    Write(u"C:\\a.bin", Pattern(3 * kMinChunkSize + 100, 5, 9));
    ASSERT_EQ(EncryptStrong(u"C:\\a.bin"), kOpened);
    const std::string good = Read(u"C:\\a.bin.xep");
    const std::size_t sealedChunk = kMinChunkSize + kStrongChunkOverhead;
    const std::size_t body = kStrongHeaderSize;

    std::vector<std::pair<std::string, std::string>> damaged;
    // A changed byte in every chunk (first, middle and last byte), and in the end block.
    for (std::size_t at = body; at < good.size(); at += sealedChunk / 2) {
        std::string bytes = good;
        bytes[at] = static_cast<char>(bytes[at] ^ 0x01);
        damaged.emplace_back("byte " + std::to_string(at), bytes);
    }
    {
        std::string bytes = good;
        bytes[good.size() - 1] ^= 0x40;
        damaged.emplace_back("end block", bytes);
    }
    // Cut at every chunk boundary, and inside a chunk.
    for (std::size_t chunks = 0; chunks < 4; ++chunks) {
        std::string bytes = good.substr(0, body + chunks * sealedChunk);
        bytes += good.substr(good.size() - kStrongEndSize);
        damaged.emplace_back("cut after " + std::to_string(chunks), bytes);
    }
    damaged.emplace_back("cut inside", good.substr(0, good.size() - kStrongEndSize - 5));
    // Two chunks swapped, and a chunk appended again.
    {
        std::string bytes = good;
        std::copy_n(good.begin() + static_cast<std::ptrdiff_t>(body + sealedChunk), sealedChunk, bytes.begin() + static_cast<std::ptrdiff_t>(body));
        std::copy_n(good.begin() + static_cast<std::ptrdiff_t>(body), sealedChunk, bytes.begin() + static_cast<std::ptrdiff_t>(body + sealedChunk));
        damaged.emplace_back("swapped", bytes);
        std::string longer = good.substr(0, good.size() - kStrongEndSize) + good.substr(body, sealedChunk) +
                             good.substr(good.size() - kStrongEndSize);
        damaged.emplace_back("appended", longer);
    }
    // A cost beyond the bounds is refused before anything is derived.
    {
        std::string bytes = good;
        bytes[23] = 0x7F; // memory KiB above the bound
        damaged.emplace_back("memory", bytes);
    }

    for (const auto& [name, bytes] : damaged) {
        SCOPED_TRACE(name);
        Write(u"C:\\x.xep", bytes);
        ClearMessages();
        Decrypt(u"C:\\x.xep");
        EXPECT_EQ(FailureCode(), bridge::ERR_FILE_NOT_ENCRYPT_OR_DESTORY);
        EXPECT_FALSE(Exists(u"C:\\x"));
        EXPECT_NE(VerifyContainer(u"C:\\x.xep", u"secret", 0).outcome, VerifyOutcome::Intact);
    }
}

TEST_F(StrongContainerTest, PasswordsRecoveryAndTheLegacyReader)
{
    Write(u"C:\\a.txt", "alpha");
    const std::uint64_t programPassword = DerivePasswordValues(u"program-pass").key;
    settings::SettingsRecord recovering;
    recovering.bEptCanFgt = true;
    recovering.uPwd = programPassword;
    ASSERT_EQ(EncryptStrong(u"C:\\a.txt", recovering, u"pässwörd"), kOpened);
    ASSERT_TRUE(platform::DeleteFile(u"C:\\a.txt").ok());

    // A legacy reader takes it for no container.
    {
        auto container = platform::File::Open(u"C:\\a.txt.xep", platform::Access::Read, platform::Share::Read,
                                              platform::Disposition::OpenExisting);
        ASSERT_TRUE(container.ok());
        ContainerTrailer trailer;
        std::uint64_t size = 0;
        EXPECT_EQ(ReadContainerTrailer(*container, trailer, size).outcome, TrailerOutcome::BadContainer);
    }

    ClearMessages();
    Decrypt(u"C:\\a.txt.xep", recovering, u"passwörd");
    EXPECT_EQ(FailureCode(), bridge::ERR_NOT_SKIP_PWD);
    EXPECT_FALSE(Exists(u"C:\\a.txt"));
    // Only the full text counts, not its low bytes.
    ClearMessages();
    Decrypt(u"C:\\a.txt.xep", recovering, u"p\u01E4ssw\u01F6rd");
    EXPECT_EQ(FailureCode(), bridge::ERR_NOT_SKIP_PWD);

    // The program password opens a container written with recovery.
    ASSERT_EQ(Decrypt(u"C:\\a.txt.xep", recovering, u"program-pass"), kOpened);
    EXPECT_EQ(Read(u"C:\\a.txt"), "alpha");
    ASSERT_TRUE(platform::DeleteFile(u"C:\\a.txt").ok());
    ASSERT_EQ(Decrypt(u"C:\\a.txt.xep", {}, u"pässwörd"), kOpened);
    EXPECT_EQ(Read(u"C:\\a.txt"), "alpha");

    // Without recovery it does not.
    Write(u"C:\\b.txt", "beta");
    recovering.bEptCanFgt = false;
    ASSERT_EQ(EncryptStrong(u"C:\\b.txt", recovering), kOpened);
    ClearMessages();
    Decrypt(u"C:\\b.txt.xep", recovering, u"program-pass");
    EXPECT_EQ(FailureCode(), bridge::ERR_NOT_SKIP_PWD);
}

} // namespace
} // namespace lockora::crypto
