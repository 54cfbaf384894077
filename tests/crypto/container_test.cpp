#include "crypto/password_key.h"
#include "platform/attributes.h"
#include "platform/folders.h"
#include "tests/crypto/engine_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace lockora::crypto {
namespace {

using lockora::testing::ReadHostFile;
using lockora::testing::WriteHostFile;
using testing::Pattern;

class ContainerTest : public testing::EngineTest {
protected:
    std::string Container(const std::u16string& path) { return ReadHostFile(sandbox(), path); }
    void Overwrite(const std::u16string& path, const std::string& bytes) { WriteHostFile(sandbox(), path, bytes); }
};

// A record header as the format lays it out, for comparing bodies.
std::string Header(std::int32_t kind, std::u16string_view path, std::optional<std::uint64_t> length = {})
{
    std::string bytes = "\xFF";
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<char>(static_cast<std::uint32_t>(kind) >> (8 * i)));
    for (char16_t unit : path) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    bytes.append(2, '\0');
    for (int i = 0; length && i < 8; ++i)
        bytes.push_back(static_cast<char>(*length >> (8 * i)));
    return bytes;
}

TEST_F(ContainerTest, ThirtyOneBytesAreNoContainer)
{
    Overwrite(u"C:\\short.xep", std::string(31, '\x07'));
    EXPECT_EQ(DecryptItem(u"C:\\short.xep", u"C:\\short", u"pw").trailer, TrailerOutcome::BadContainer);
}

TEST_F(ContainerTest, EmptyFileGivesAThirtyTwoByteContainerThatRestores)
{
    Overwrite(u"C:\\empty.txt", "");
    ASSERT_FALSE(EncryptItem(u"C:\\empty.txt", u"C:\\empty.txt.xep", u"pw"));
    const std::string container = Container(u"C:\\empty.txt.xep");
    ASSERT_EQ(container.size(), 32u);
    EXPECT_EQ(container.substr(0, 8), std::string("\x07\x01\x00\x00\x02\xFF\xFF\xFF", 8));
    EXPECT_EQ(ProgressPercents(), std::vector<std::int32_t>{100});

    const auto outcome = DecryptItem(u"C:\\empty.txt.xep", u"C:\\restored.txt", u"pw");
    EXPECT_EQ(outcome.trailer, TrailerOutcome::Ok);
    EXPECT_TRUE(outcome.checksumOk);
    EXPECT_EQ(Container(u"C:\\restored.txt"), "");
}

TEST_F(ContainerTest, EveryChangedTrailerByteIsRejected)
{
    Overwrite(u"C:\\a.txt", Pattern(100, 5, 1));
    ASSERT_FALSE(EncryptItem(u"C:\\a.txt", u"C:\\a.txt.xep", u"pw"));
    const std::string good = Container(u"C:\\a.txt.xep");
    for (std::size_t i = good.size() - 32; i < good.size(); ++i) {
        for (char flip : {'\x01', '\x80'}) {
            std::string bad = good;
            bad[i] = static_cast<char>(bad[i] ^ flip);
            Overwrite(u"C:\\bad.xep", bad);
            std::filesystem::remove(sandbox().host(u"C:\\out"));
            EXPECT_EQ(DecryptItem(u"C:\\bad.xep", u"C:\\out", u"pw").trailer, TrailerOutcome::BadContainer) << i;
        }
    }
}

TEST_F(ContainerTest, ChangedBodyDecryptsFullyAndFailsTheDataChecksum)
{
    const std::string plain = Pattern(5000, 9, 4);
    Overwrite(u"C:\\a.txt", plain);
    ASSERT_FALSE(EncryptItem(u"C:\\a.txt", u"C:\\a.txt.xep", u"pw"));
    std::string container = Container(u"C:\\a.txt.xep");
    container[3000] = static_cast<char>(container[3000] ^ 0x10);
    Overwrite(u"C:\\a.txt.xep", container);

    const auto outcome = DecryptItem(u"C:\\a.txt.xep", u"C:\\out.txt", u"pw");
    EXPECT_EQ(outcome.trailer, TrailerOutcome::Ok);
    EXPECT_FALSE(outcome.abandoned);
    EXPECT_FALSE(outcome.checksumOk);
    const std::string restored = Container(u"C:\\out.txt");
    ASSERT_EQ(restored.size(), plain.size());
    EXPECT_EQ(restored.substr(0, 3000 - 3000 % 8), plain.substr(0, 3000 - 3000 % 8));
    EXPECT_EQ(restored.substr(3008), plain.substr(3008));
}

TEST_F(ContainerTest, RecoveryFlagLetsTheProgramPasswordOpenTheContainer)
{
    const std::uint64_t programKey = PasswordKey(u"program");
    const std::string plain = Pattern(3000, 11, 2);
    Overwrite(u"C:\\a.txt", plain);
    ASSERT_FALSE(EncryptItem(u"C:\\a.txt", u"C:\\flag.xep", u"own", true));
    ASSERT_FALSE(EncryptItem(u"C:\\a.txt", u"C:\\noflag.xep", u"own", false));
    EXPECT_EQ(static_cast<std::uint8_t>(Container(u"C:\\flag.xep")[3000 + 2]), 1);
    EXPECT_EQ(static_cast<std::uint8_t>(Container(u"C:\\noflag.xep")[3000 + 2]), 0);

    auto outcome = DecryptItem(u"C:\\flag.xep", u"C:\\1.txt", u"own", programKey);
    EXPECT_EQ(outcome.trailer, TrailerOutcome::Ok);
    EXPECT_TRUE(outcome.checksumOk);
    outcome = DecryptItem(u"C:\\flag.xep", u"C:\\2.txt", u"program", programKey);
    EXPECT_EQ(outcome.trailer, TrailerOutcome::Ok);
    EXPECT_TRUE(outcome.checksumOk);
    EXPECT_EQ(Container(u"C:\\2.txt"), plain);
    EXPECT_EQ(DecryptItem(u"C:\\flag.xep", u"C:\\3.txt", u"other", programKey).trailer, TrailerOutcome::WrongPassword);

    outcome = DecryptItem(u"C:\\noflag.xep", u"C:\\4.txt", u"own", programKey);
    EXPECT_EQ(outcome.trailer, TrailerOutcome::Ok);
    EXPECT_EQ(Container(u"C:\\4.txt"), plain);
    EXPECT_EQ(DecryptItem(u"C:\\noflag.xep", u"C:\\5.txt", u"program", programKey).trailer,
              TrailerOutcome::WrongPassword);
}

TEST_F(ContainerTest, FolderWithOneFileAndAnEmptySubfolder)
{
    Overwrite(u"C:\\docs\\a.txt", "hello");
    ASSERT_TRUE(platform::CreateDirectory(u"C:\\docs\\empty").ok());
    ASSERT_FALSE(EncryptItem(u"C:\\docs", u"C:\\docs.xep", u"pw"));
    const std::string container = Container(u"C:\\docs.xep");
    const std::string first = Header(kKindFile, u"\\a.txt", 5);
    const std::string second = Header(kKindFolder, u"\\empty");
    ASSERT_EQ(container.size(), first.size() + 5 + second.size() + 32);
    EXPECT_EQ(container.substr(0, first.size()), first);
    EXPECT_EQ(container.substr(first.size() + 5, second.size()), second);
    EXPECT_EQ(container.substr(container.size() - 28, 4), std::string("\x01\xFF\xFF\xFF", 4));

    const auto outcome = DecryptItem(u"C:\\docs.xep", u"D:\\docs", u"pw");
    EXPECT_EQ(outcome.trailer, TrailerOutcome::Ok);
    EXPECT_TRUE(outcome.checksumOk);
    EXPECT_EQ(ReadHostFile(sandbox(), u"D:\\docs\\a.txt"), "hello");
    EXPECT_TRUE(platform::IsDirectory(u"D:\\docs\\empty"));
    EXPECT_TRUE(std::filesystem::is_empty(sandbox().host(u"D:\\docs\\empty")));
}

TEST_F(ContainerTest, EmptyFolderGivesAThirtyTwoByteFolderContainer)
{
    ASSERT_TRUE(platform::CreateDirectory(u"C:\\nothing").ok());
    ASSERT_FALSE(EncryptItem(u"C:\\nothing", u"C:\\nothing.xep", u"pw"));
    const std::string container = Container(u"C:\\nothing.xep");
    ASSERT_EQ(container.size(), 32u);
    EXPECT_EQ(container.substr(4, 4), std::string("\x01\xFF\xFF\xFF", 4));
    const auto outcome = DecryptItem(u"C:\\nothing.xep", u"D:\\nothing", u"pw");
    EXPECT_EQ(outcome.trailer, TrailerOutcome::Ok);
    EXPECT_TRUE(outcome.checksumOk);
    EXPECT_TRUE(platform::IsDirectory(u"D:\\nothing"));
    EXPECT_TRUE(std::filesystem::is_empty(sandbox().host(u"D:\\nothing")));
}

TEST_F(ContainerTest, DirectoryRecordComesBeforeWhatItHolds)
{
    Overwrite(u"C:\\docs\\sub\\a.txt", "abc");
    ASSERT_FALSE(EncryptItem(u"C:\\docs", u"C:\\docs.xep", u"pw"));
    const std::string expected = Header(kKindFolder, u"\\sub") + Header(kKindFile, u"\\sub\\a.txt", 3);
    EXPECT_EQ(Container(u"C:\\docs.xep").substr(0, expected.size()), expected);
}

TEST_F(ContainerTest, NonAsciiNamesAndHiddenFilesRoundTrip)
{
    const std::u16string names[] = {u"\u00e4\u00f6\u00fc.txt", u"\u4e2d\u6587", u"\U0001F600.bin", u".hidden"};
    for (const auto& name : names)
        Overwrite(u"C:\\docs\\\u00e9t\u00e9\\" + name, Pattern(50, 3, name.size()));
    ASSERT_FALSE(EncryptItem(u"C:\\docs", u"C:\\docs.xep", u"pw"));
    const auto outcome = DecryptItem(u"C:\\docs.xep", u"D:\\docs", u"pw");
    ASSERT_EQ(outcome.trailer, TrailerOutcome::Ok);
    EXPECT_TRUE(outcome.checksumOk);
    EXPECT_EQ(testing::SnapshotTree(sandbox().host(u"C:\\docs")), testing::SnapshotTree(sandbox().host(u"D:\\docs")));
}

TEST_F(ContainerTest, SymbolicLinksAreNeitherFollowedNorPacked)
{
    if (lockora::testing::UnderWine())
        GTEST_SKIP() << "Wine cannot make symbolic links (CreateSymbolicLinkW is not implemented)";
    Overwrite(u"C:\\outside\\secret.txt", "not yours");
    Overwrite(u"C:\\docs\\a.txt", "mine");
    std::filesystem::create_directory_symlink(sandbox().host(u"C:\\outside"), sandbox().host(u"C:\\docs\\dirlink"));
    std::filesystem::create_symlink(sandbox().host(u"C:\\outside\\secret.txt"), sandbox().host(u"C:\\docs\\filelink"));
    ASSERT_FALSE(EncryptItem(u"C:\\docs", u"C:\\docs.xep", u"pw"));
    const std::string container = Container(u"C:\\docs.xep");
    EXPECT_EQ(container.size(), Header(kKindFile, u"\\a.txt", 4).size() + 4 + 32);

    ASSERT_EQ(DecryptItem(u"C:\\docs.xep", u"D:\\docs", u"pw").trailer, TrailerOutcome::Ok);
    const auto restored = testing::SnapshotTree(sandbox().host(u"D:\\docs"));
    ASSERT_EQ(restored.size(), 1u);
    EXPECT_EQ(restored[0].first, "a.txt");
}

#ifndef _WIN32
// Names that Windows itself cannot make, found on a Linux disk.
TEST_F(ContainerTest, NamesThatCouldNotBeRestoredAbandonTheEncryption)
{
    for (const char* name : {"notes.", "trailing ", "CON.txt", "aux"}) {
        std::filesystem::remove_all(sandbox().host(u"C:\\docs"));
        std::filesystem::remove(sandbox().host(u"C:\\docs.xep"));
        Overwrite(u"C:\\docs\\fine.txt", "ok");
        std::filesystem::create_directories(sandbox().host(u"C:\\docs") + "/sub");
        std::ofstream(sandbox().host(u"C:\\docs") + "/sub/" + name) << "x";
        EXPECT_EQ(EncryptItem(u"C:\\docs", u"C:\\docs.xep", u"pw"), "CreateFile Error") << name;
    }
}
#endif

TEST_F(ContainerTest, FolderOutputThatCannotBeCreatedIsReported)
{
    Overwrite(u"C:\\docs\\a.txt", "x");
    ASSERT_FALSE(EncryptItem(u"C:\\docs", u"C:\\docs.xep", u"pw"));
    ClearRecords();

    CryptEngine engine;
    engine.bEncrypt = false;
    engine.strOutPath = u"C:\\out";
    engine.DeriveKeys(u"pw");
    engine.hSrcFile = platform::File::Open(u"C:\\docs.xep", platform::Access::ReadWrite, platform::Share::None,
                                           platform::Disposition::OpenExisting)
                          .value();
    // The empty output file cannot be replaced: it is read-only.
    engine.hOutFile = platform::File::Open(u"C:\\out", platform::Access::ReadWrite, platform::Share::None,
                                           platform::Disposition::CreateNew)
                          .value();
    ASSERT_TRUE(platform::SetFileAttributes(u"C:\\out", platform::kAttrReadOnly).ok());
    const auto result = engine.ReadTrailer();
    EXPECT_EQ(result.outcome, TrailerOutcome::DirectoryFailed);
    EXPECT_EQ(result.error, 5u);
    ASSERT_EQ(Notifications().size(), 1u);
    EXPECT_EQ(Notifications()[0].At(0).GetInt(), bridge::MSG_SHOW_ERROR_INFO);
    EXPECT_EQ(Notifications()[0].At(1).At(1).GetInt(), 5);
}

} // namespace
} // namespace lockora::crypto
