#include "bridge/script_value.h"

#include <gtest/gtest.h>

namespace lockora::bridge {
namespace {

TEST(ScriptValueTest, ArraysGrowWithUndefinedElementsWhenSetPastTheEnd)
{
    ScriptValue message;
    message.Set(2, ScriptValue::Int(7));
    ASSERT_TRUE(message.IsArray());
    EXPECT_EQ(message.Length(), 3u);
    EXPECT_TRUE(message.At(0).IsUndefined());
    EXPECT_EQ(message.At(2).GetInt(), 7);
    EXPECT_TRUE(message.At(99).IsUndefined());
}

TEST(ScriptValueTest, PlainTextConversion)
{
    EXPECT_EQ(ScriptValue().ToString(), u"");
    EXPECT_EQ(ScriptValue::Bool(true).ToString(), u"true");
    EXPECT_EQ(ScriptValue::Int(-42).ToString(), u"-42");
    EXPECT_EQ(ScriptValue::String(u"\u4e2d").ToString(), u"\u4e2d");
    EXPECT_EQ(ScriptValue::Array({ScriptValue::Int(1), ScriptValue::String(u"a")}).ToString(), u"1,a");
}

TEST(ScriptValueTest, ErrorStringsDifferFromPlainStrings)
{
    EXPECT_TRUE(ScriptValue::ErrorString(u"boom").IsErrorString());
    EXPECT_FALSE(ScriptValue::String(u"boom").IsErrorString());
    EXPECT_FALSE(ScriptValue::ErrorString(u"boom") == ScriptValue::String(u"boom"));
    EXPECT_EQ(ScriptValue::Int(3).GetString(), u"");
    EXPECT_EQ(ScriptValue::String(u"3").GetInt(), 0);
}

} // namespace
} // namespace lockora::bridge
