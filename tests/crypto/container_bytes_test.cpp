// Byte-exact compatibility with containers computed independently.
//
// data/single_file.xep and data/folder.xep were written by
// data/make_expected.py, a separate implementation in Python written from
// the format's description alone: its own MD5 with sign-extended byte
// packing (checked against hashlib for ASCII), key table, word cipher,
// checksum table and update, trailer and record layout. The inputs below
// are the same as the script's; the test only reads the checked-in bytes.
#include "platform/folders.h"
#include "tests/crypto/engine_fixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace lockora::crypto {
namespace {

using lockora::testing::ReadHostFile;
using lockora::testing::WriteHostFile;
using testing::Pattern;

std::string ReadExpected(const char* name)
{
    std::ifstream in(std::string(LOCKORA_CRYPTO_TEST_DATA) + "/" + name, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

constexpr const char16_t* kSingleFilePassword = u"P\u00e4ssw\u00f6rd\u20ac\u4e2d";

class ContainerBytesTest : public testing::EngineTest {
protected:
    void MakeFolder()
    {
        WriteHostFile(sandbox(), u"C:\\docs\\b.bin", Pattern(2061, 17, 3));
        ASSERT_TRUE(platform::CreateDirectory(u"C:\\docs\\Empty").ok());
        WriteHostFile(sandbox(), u"C:\\docs\\sub\\\u00e4.txt", "h\xC3\xA9llo w\xC3\xB6rld\n");
    }
};

TEST_F(ContainerBytesTest, SingleFileContainerMatchesTheIndependentCalculation)
{
    const std::string expected = ReadExpected("single_file.xep");
    ASSERT_EQ(expected.size(), 3053u + 32);
    WriteHostFile(sandbox(), u"C:\\plain.bin", Pattern(3053, 131, 7));
    ASSERT_FALSE(EncryptItem(u"C:\\plain.bin", u"C:\\plain.bin.xep", kSingleFilePassword));
    EXPECT_EQ(ReadHostFile(sandbox(), u"C:\\plain.bin.xep"), expected);

    WriteHostFile(sandbox(), u"C:\\given.xep", expected);
    const auto outcome = DecryptItem(u"C:\\given.xep", u"C:\\given.bin", kSingleFilePassword);
    EXPECT_EQ(outcome.trailer, TrailerOutcome::Ok);
    EXPECT_TRUE(outcome.checksumOk);
    EXPECT_EQ(ReadHostFile(sandbox(), u"C:\\given.bin"), Pattern(3053, 131, 7));
}

TEST_F(ContainerBytesTest, FolderContainerMatchesTheIndependentCalculation)
{
    const std::string expected = ReadExpected("folder.xep");
    ASSERT_FALSE(expected.empty());
    MakeFolder();
    ASSERT_FALSE(EncryptItem(u"C:\\docs", u"C:\\docs.xep", u"secret", true));
    EXPECT_EQ(ReadHostFile(sandbox(), u"C:\\docs.xep"), expected);

    WriteHostFile(sandbox(), u"D:\\given.xep", expected);
    const auto outcome = DecryptItem(u"D:\\given.xep", u"D:\\docs", u"secret");
    EXPECT_EQ(outcome.trailer, TrailerOutcome::Ok);
    EXPECT_TRUE(outcome.checksumOk);
    EXPECT_EQ(testing::SnapshotTree(sandbox().host(u"C:\\docs")), testing::SnapshotTree(sandbox().host(u"D:\\docs")));
}

} // namespace
} // namespace lockora::crypto
