#include "platform/profile.h"
#include "settings/language.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

#include <string>

namespace lockora::settings {
namespace {

using bridge::ScriptValue;

class LanguageTest : public testing::SandboxTest {};

TEST_F(LanguageTest, MissingFileGivesEnglishAndWritesNothing)
{
    EXPECT_EQ(ConfigFilePath(), u"C:\\App\\config.ini");
    EXPECT_EQ(GetLang(), ScriptValue::String(u"en"));
    EXPECT_EQ(testing::ReadHostFile(sandbox(), u"C:\\App\\config.ini"), "");
}

TEST_F(LanguageTest, ChoiceIsStoredBesideTheLogLevel)
{
    ASSERT_TRUE(platform::WritePrivateProfileString(u"LOG", u"LEVEL", u"2", ConfigFilePath()).ok());
    EXPECT_EQ(SetLang(ScriptValue::String(u"zh")), ScriptValue::Int(0));
    EXPECT_EQ(GetLang(), ScriptValue::String(u"zh"));
    EXPECT_EQ(testing::ReadHostFile(sandbox(), u"C:\\App\\config.ini"),
              "[LOG]\r\nLEVEL=2\r\n[SETTING]\r\nLANG=zh\r\n");
}

TEST_F(LanguageTest, AnyValueIsStoredAsItsText)
{
    EXPECT_EQ(SetLang(ScriptValue::Int(5)), ScriptValue::Int(0));
    EXPECT_EQ(GetLang(), ScriptValue::String(u"5"));
}

TEST_F(LanguageTest, LongCodeIsCutToTheReadBuffer)
{
    EXPECT_EQ(SetLang(ScriptValue::String(std::u16string(300, u'a'))), ScriptValue::Int(0));
    EXPECT_EQ(GetLang(), ScriptValue::String(std::u16string(258, u'a')));
}

TEST_F(LanguageTest, FailedWriteIsNotReported)
{
    // A folder in the file's place cannot be written.
    testing::WriteHostFile(sandbox(), u"C:\\App\\config.ini\\x", "");
    EXPECT_EQ(SetLang(ScriptValue::String(u"zh")), ScriptValue::Int(0));
    EXPECT_EQ(GetLang(), ScriptValue::String(u"en"));
}

} // namespace
} // namespace lockora::settings
