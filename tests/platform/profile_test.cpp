#include "platform/errors.h"
#include "platform/profile.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace platform {
namespace {

using lockora::testing::ReadHostFile;
using lockora::testing::SandboxTest;
using lockora::testing::WriteHostFile;

constexpr const char16_t* kIni = u"C:\\App\\config.ini";

class ProfileTest : public SandboxTest {
protected:
    bool IniExists() { return std::filesystem::exists(sandbox().host(kIni)); }
    std::string IniBytes() { return ReadHostFile(sandbox(), kIni); }
    void SetIni(std::string_view bytes) { WriteHostFile(sandbox(), kIni, bytes); }
    std::u16string Get(std::u16string_view section, std::u16string_view key)
    {
        return GetPrivateProfileString(section, key, u"<default>", kIni);
    }
};

TEST_F(ProfileTest, MissingFileGivesDefaultsAndCreatesNothing)
{
    EXPECT_EQ(GetPrivateProfileString(u"SETTING", u"LANG", u"en", kIni), u"en");
    EXPECT_EQ(GetPrivateProfileInt(u"LOG", u"LEVEL", 3, kIni), 3u);
    EXPECT_EQ(GetPrivateProfileString(u"SETTING", u"LANG", u"en", u"C:\\Missing\\config.ini"), u"en");
    EXPECT_EQ(GetPrivateProfileString(u"SETTING", u"LANG", u"en", u"relative.ini"), u"en");
    EXPECT_FALSE(IniExists());
}

TEST_F(ProfileTest, FirstWriteCreatesTheFileAndSectionsFollowTheOrderOfFirstWrites)
{
    ASSERT_TRUE(WritePrivateProfileString(u"LOG", u"LEVEL", u"2", kIni));
    ASSERT_TRUE(WritePrivateProfileString(u"SETTING", u"LANG", u"en", kIni));
    EXPECT_EQ(IniBytes(), "[LOG]\r\nLEVEL=2\r\n[SETTING]\r\nLANG=en\r\n");
    EXPECT_EQ(GetPrivateProfileInt(u"LOG", u"LEVEL", 3, kIni), 2u);
    EXPECT_EQ(Get(u"SETTING", u"LANG"), u"en");

    // A second write changes the value in its place.
    ASSERT_TRUE(WritePrivateProfileString(u"setting", u"lang", u"zh", kIni));
    EXPECT_EQ(IniBytes(), "[LOG]\r\nLEVEL=2\r\n[SETTING]\r\nLANG=zh\r\n");
}

TEST_F(ProfileTest, MissingFolderGivesPathNotFound)
{
    EXPECT_EQ(WritePrivateProfileString(u"LOG", u"LEVEL", u"2", u"C:\\Missing\\config.ini").code(), kErrorPathNotFound);
    EXPECT_FALSE(std::filesystem::exists(sandbox().driveRoot('C') + "/Missing"));
}

TEST_F(ProfileTest, HandEditedNamesAndValuesAreFoundWithoutCaseAndBlanks)
{
    SetIni("  [ Setting ]  \n\tlang  =  zh  \n[log]\r\nLevel=1\r\n");
    EXPECT_EQ(Get(u"SETTING", u"LANG"), u"zh");
    EXPECT_EQ(Get(u" setting ", u" Lang\t"), u"zh");
    EXPECT_EQ(GetPrivateProfileInt(u"LOG", u"LEVEL", 3, kIni), 1u);
    EXPECT_EQ(Get(u"SETTING", u"LEVEL"), u"<default>"); // keys belong to their own section
}

TEST_F(ProfileTest, OnePairOfOuterQuotesIsStripped)
{
    SetIni("[S]\nA=\"two words\"\nB='single'\nC=\"a\"b\"\nD=\"open\nE=\"\"\nF=\" kept \"\n");
    EXPECT_EQ(Get(u"S", u"A"), u"two words");
    EXPECT_EQ(Get(u"S", u"B"), u"single");
    EXPECT_EQ(Get(u"S", u"C"), u"a\"b");
    EXPECT_EQ(Get(u"S", u"D"), u"\"open");
    EXPECT_EQ(Get(u"S", u"E"), u"");
    EXPECT_EQ(Get(u"S", u"F"), u" kept ");
    EXPECT_EQ(GetPrivateProfileInt(u"S", u"E", 9, kIni), 9u); // empty after stripping
}

TEST_F(ProfileTest, FirstOfDuplicateSectionsAndKeysWins)
{
    SetIni("[S]\r\nK=1\r\nK=2\r\n[s]\r\nK=3\r\nOnlyLater=4\r\n");
    EXPECT_EQ(Get(u"S", u"K"), u"1");
    EXPECT_EQ(Get(u"S", u"OnlyLater"), u"<default>");

    ASSERT_TRUE(WritePrivateProfileString(u"S", u"K", u"9", kIni));
    EXPECT_EQ(IniBytes(), "[S]\r\nK=9\r\nK=2\r\n[s]\r\nK=3\r\nOnlyLater=4\r\n");
}

TEST_F(ProfileTest, KeyWithoutEqualsSignGivesTheDefault)
{
    SetIni("[S]\nFlag\nFlag=1\n");
    EXPECT_EQ(Get(u"S", u"Flag"), u"<default>");
}

TEST_F(ProfileTest, IntegersReadAsWindowsReadsThem)
{
    SetIni("[N]\nseven=7\nletter=x\nprefix=3abc\nminus=-1\nplus=+12\nwrap=4294967297\nblank=\npadded=  42  \n"
           "quoted=\"5\"\n");
    const auto read = [](std::u16string_view key, std::int32_t defaultValue = 77) {
        return GetPrivateProfileInt(u"N", key, defaultValue, kIni);
    };
    EXPECT_EQ(read(u"seven"), 7u);
    EXPECT_EQ(read(u"letter"), 0u);
    EXPECT_EQ(read(u"prefix"), 3u);
    EXPECT_EQ(read(u"minus"), 4294967295u);
    EXPECT_EQ(read(u"plus"), 12u);
    EXPECT_EQ(read(u"wrap"), 1u);
    EXPECT_EQ(read(u"blank"), 77u);
    EXPECT_EQ(read(u"padded"), 42u);
    EXPECT_EQ(read(u"quoted"), 5u);
    EXPECT_EQ(read(u"missing"), 77u);
    EXPECT_EQ(read(u"missing", -5), 4294967291u);
}

TEST_F(ProfileTest, WriteKeepsOtherLinesAndTheirLineEnds)
{
    if (lockora::testing::UnderWine())
        GTEST_SKIP() << "Wine writes the whole file back in its own layout (blanks around \"=\" and blank "
                        "lines dropped, every line ended with CR LF); Windows leaves the other lines alone";
    SetIni("; comment\n[LOG]\nLEVEL = 1\n\n[SETTING]\nLANG=en");
    ASSERT_TRUE(WritePrivateProfileString(u"LOG", u"EXTRA", u"x", kIni));
    EXPECT_EQ(IniBytes(), "; comment\n[LOG]\nLEVEL = 1\nEXTRA=x\r\n\n[SETTING]\nLANG=en");

    // The last line had no line end; the new section starts on a line of its own.
    ASSERT_TRUE(WritePrivateProfileString(u"NEW", u"K", u"v", kIni));
    EXPECT_EQ(IniBytes(), "; comment\n[LOG]\nLEVEL = 1\nEXTRA=x\r\n\n[SETTING]\nLANG=en\r\n[NEW]\r\nK=v\r\n");

    // A replaced key keeps the spelling of its name and its line end.
    ASSERT_TRUE(WritePrivateProfileString(u"log", u"level", u"2", kIni));
    EXPECT_EQ(IniBytes(), "; comment\n[LOG]\nLEVEL=2\nEXTRA=x\r\n\n[SETTING]\nLANG=en\r\n[NEW]\r\nK=v\r\n");
}

TEST_F(ProfileTest, Utf8TextAndByteOrderMarkSurviveAWrite)
{
    SetIni("\xEF\xBB\xBF[S]\r\nName=caf\xC3\xA9\r\n");
    EXPECT_EQ(Get(u"S", u"Name"), u"caf\u00e9");
    ASSERT_TRUE(WritePrivateProfileString(u"S", u"Other", u"\u4e2d\U0001F600", kIni));
    EXPECT_EQ(IniBytes(), "\xEF\xBB\xBF[S]\r\nName=caf\xC3\xA9\r\nOther=\xE4\xB8\xAD\xF0\x9F\x98\x80\r\n");
    EXPECT_EQ(Get(u"S", u"Other"), u"\u4e2d\U0001F600");
}

TEST_F(ProfileTest, TextThatWouldAddLinesOrNamesIsRefused)
{
    ASSERT_TRUE(WritePrivateProfileString(u"SETTING", u"LANG", u"en", kIni));
    const std::string before = IniBytes();
    EXPECT_EQ(WritePrivateProfileString(u"SETTING", u"LANG", u"en\r\n[LOG]\r\nLEVEL=0", kIni).code(),
              kErrorInvalidParameter);
    EXPECT_EQ(WritePrivateProfileString(u"SETTING", u"LANG", std::u16string(u"e\0n", 3), kIni).code(),
              kErrorInvalidParameter);
    EXPECT_EQ(WritePrivateProfileString(u"SETTING", u"A=B", u"x", kIni).code(), kErrorInvalidParameter);
    EXPECT_EQ(WritePrivateProfileString(u"A]B", u"K", u"x", kIni).code(), kErrorInvalidParameter);
    EXPECT_EQ(IniBytes(), before);
}

TEST_F(ProfileTest, ReadOnlyFileIsNotWritten)
{
    SetIni("[S]\r\nK=1\r\n");
    std::filesystem::permissions(sandbox().host(kIni), std::filesystem::perms::owner_read);
    EXPECT_EQ(WritePrivateProfileString(u"S", u"K", u"2", kIni).code(), kErrorAccessDenied);
    EXPECT_EQ(Get(u"S", u"K"), u"1");
}

TEST_F(ProfileTest, ConcurrentWritersLoseNothing)
{
    constexpr int kThreads = 4;
    constexpr int kKeysPerThread = 20;
    std::vector<std::thread> writers;
    std::vector<Status> failures(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([t, &failures] {
            for (int k = 0; k < kKeysPerThread; ++k) {
                const std::u16string key = u"K" + std::u16string(1, u'a' + t) + std::u16string(1, u'a' + k);
                if (Status status = WritePrivateProfileString(u"S", key, u"v", kIni); !status)
                    failures[t] = status;
            }
        });
    }
    for (auto& writer : writers)
        writer.join();
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_TRUE(failures[t].ok()) << "writer " << t << " failed with " << failures[t].code();
        for (int k = 0; k < kKeysPerThread; ++k) {
            const std::u16string key = u"K" + std::u16string(1, u'a' + t) + std::u16string(1, u'a' + k);
            EXPECT_EQ(Get(u"S", key), u"v");
        }
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(sandbox().driveRoot('C') + "/App"),
                            std::filesystem::directory_iterator{}),
              1); // no temporary files left
}

} // namespace
} // namespace platform
