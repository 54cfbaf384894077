#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <string>

namespace lockora::settings {
namespace {

// A record whose every field differs from the defaults, so that a test sees
// which fields a damaged file leaves alone.
SettingsRecord NonDefaultRecord()
{
    SettingsRecord record;
    record.bUserPwd = true;
    record.bEptCanFgt = true;
    record.bReserved1 = true;
    record.bReserved2 = false;
    record.bBackup = true;
    record.bContextMenu = true;
    record.bAsk = false;
    record.iDelSel = 2;
    record.uPwd = 0x0123456789ABCDEFull;
    record.strBackDir = u"D:/Old";
    return record;
}

TEST(SettingsFileTest, DefaultsAreTenLinesWithAnEmptyPath)
{
    EXPECT_EQ(FormatSettingsFile(SettingsRecord{}), "0\r\n0\r\n0\r\n1\r\n0\r\n0\r\n1\r\n0\r\n0\r\n\r\n");
}

TEST(SettingsFileTest, NumbersKeepTheirFullRange)
{
    SettingsRecord record;
    record.iDelSel = -7;
    record.uPwd = 18446744073709551615ull;
    record.strBackDir = u"D:/Backup";
    const std::string text = FormatSettingsFile(record);
    EXPECT_NE(text.find("\r\n-7\r\n18446744073709551615\r\nD:/Backup\r\n"), std::string::npos);

    SettingsRecord loaded = NonDefaultRecord();
    ParseSettingsFile(text, loaded);
    EXPECT_EQ(loaded, record);
}

TEST(SettingsFileTest, FiveLinesSetTheFirstFlagsOnly)
{
    SettingsRecord record = NonDefaultRecord();
    ParseSettingsFile("0\r\n0\r\n0\r\n0\r\n0\r\n", record);
    EXPECT_FALSE(record.bUserPwd);
    EXPECT_FALSE(record.bEptCanFgt);
    EXPECT_FALSE(record.bReserved1);
    EXPECT_TRUE(record.bReserved2); // forced by every load from the file
    EXPECT_FALSE(record.bBackup);
    EXPECT_TRUE(record.bContextMenu);
    EXPECT_FALSE(record.bAsk);
    EXPECT_EQ(record.iDelSel, 2);
    EXPECT_EQ(record.uPwd, 0x0123456789ABCDEFull);
    EXPECT_EQ(record.strBackDir, u"");
}

TEST(SettingsFileTest, FlagOtherThanZeroOrOneBecomesTrueAndStops)
{
    SettingsRecord record = NonDefaultRecord();
    record.bEptCanFgt = false;
    ParseSettingsFile("0\r\n2\r\n0\r\n1\r\n0\r\n0\r\n1\r\n0\r\n0\r\nD:/New\r\n", record);
    EXPECT_FALSE(record.bUserPwd);
    EXPECT_TRUE(record.bEptCanFgt);
    EXPECT_TRUE(record.bReserved1); // not read
    EXPECT_FALSE(record.bAsk);
    EXPECT_EQ(record.iDelSel, 2);
    EXPECT_EQ(record.uPwd, 0x0123456789ABCDEFull);
    EXPECT_EQ(record.strBackDir, u"");
}

TEST(SettingsFileTest, TokenWithoutDigitsClearsItsFieldAndStops)
{
    SettingsRecord record = NonDefaultRecord();
    ParseSettingsFile("1\r\n0\r\n1\r\n0\r\n1\r\n0\r\n1\r\nx\r\n5\r\nD:/New\r\n", record);
    EXPECT_TRUE(record.bUserPwd);
    EXPECT_FALSE(record.bEptCanFgt);
    EXPECT_TRUE(record.bReserved1);
    EXPECT_TRUE(record.bReserved2);
    EXPECT_TRUE(record.bBackup);
    EXPECT_FALSE(record.bContextMenu);
    EXPECT_TRUE(record.bAsk);
    EXPECT_EQ(record.iDelSel, 0);
    EXPECT_EQ(record.uPwd, 0x0123456789ABCDEFull);
    EXPECT_EQ(record.strBackDir, u"");

    record = NonDefaultRecord();
    ParseSettingsFile("x", record);
    EXPECT_FALSE(record.bUserPwd);
    EXPECT_TRUE(record.bEptCanFgt);
}

TEST(SettingsFileTest, LineBreaksBetweenNumbersCarryNoMeaning)
{
    SettingsRecord record;
    ParseSettingsFile("1 1\t0 0 1\n1 0 -1 42 trailing words\nC:/Path with  blanks \r\nignored\r\n", record);
    EXPECT_TRUE(record.bUserPwd);
    EXPECT_TRUE(record.bEptCanFgt);
    EXPECT_TRUE(record.bBackup);
    EXPECT_FALSE(record.bAsk);
    EXPECT_EQ(record.iDelSel, -1);
    EXPECT_EQ(record.uPwd, 42u);
    EXPECT_EQ(record.strBackDir, u"C:/Path with  blanks ");
}

TEST(SettingsFileTest, NumbersOutOfRangeStopTheReading)
{
    SettingsRecord record = NonDefaultRecord();
    ParseSettingsFile("0\n0\n0\n0\n0\n0\n0\n99999999999\n7\nD:/New\n", record);
    EXPECT_EQ(record.iDelSel, 2147483647);
    EXPECT_EQ(record.uPwd, 0x0123456789ABCDEFull);
    EXPECT_EQ(record.strBackDir, u"");

    record = NonDefaultRecord();
    ParseSettingsFile("0\n0\n0\n0\n0\n0\n0\n1\n-5\nD:/New\n", record);
    EXPECT_EQ(record.iDelSel, 1);
    EXPECT_EQ(record.uPwd, 0u); // no digits for an unsigned number
    EXPECT_EQ(record.strBackDir, u"");
}

TEST(SettingsFileTest, FileEndingAfterTheNumbersGivesAnEmptyPath)
{
    SettingsRecord record = NonDefaultRecord();
    ParseSettingsFile("0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n1\r\n9", record);
    EXPECT_EQ(record.uPwd, 9u);
    EXPECT_EQ(record.strBackDir, u"");
}

TEST(SettingsFileTest, Latin1PathOfEarlierFilesReadsBack)
{
    // "D:/Sauvegarde été" with one byte per character.
    SettingsRecord record;
    ParseSettingsFile("0\r\n0\r\n0\r\n1\r\n0\r\n0\r\n1\r\n0\r\n0\r\nD:/Sauvegarde \xE9t\xE9\r\n", record);
    EXPECT_EQ(record.strBackDir, u"D:/Sauvegarde \u00E9t\u00E9");
    EXPECT_EQ(FormatSettingsFile(record), "0\r\n0\r\n0\r\n1\r\n0\r\n0\r\n1\r\n0\r\n0\r\nD:/Sauvegarde \xE9t\xE9\r\n");
}

TEST(SettingsFileTest, PathsBeyondLatin1RoundTrip)
{
    for (const std::u16string& path : {std::u16string(u"D:/\u5907\u4EFD/\u6587\u4EF6"),
                                      std::u16string(u"\u00EF\u00BB\u00BFD:/Starts like the mark"),
                                      std::u16string(u"E:/\U0001F600 \u00E9")}) {
        SettingsRecord record;
        record.strBackDir = path;
        SettingsRecord loaded;
        ParseSettingsFile(FormatSettingsFile(record), loaded);
        EXPECT_EQ(loaded.strBackDir, path);
    }
}

TEST(SettingsFileTest, MarkWithoutValidUtf8IsLatin1)
{
    SettingsRecord record;
    ParseSettingsFile("0\n0\n0\n1\n0\n0\n1\n0\n0\n\xEF\xBB\xBF\xE9\n", record);
    EXPECT_EQ(record.strBackDir, u"\u00EF\u00BB\u00BF\u00E9");
}

} // namespace
} // namespace lockora::settings
