#include "bridge/function_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lockora::bridge {
namespace {

TEST(FunctionTableLookup, NamesAndCountsOfTheWholeTable)
{
    const auto table = NativeFunctionTable();
    ASSERT_EQ(table.size(), 27u);
    for (const auto& entry : table) {
        SCOPED_TRACE(std::string(entry.name));
        EXPECT_EQ(FindNativeFunction(entry.name, entry.argumentCount), entry.function);
        EXPECT_FALSE(FindNativeFunction(entry.name, entry.argumentCount + 1));
        if (entry.argumentCount > 0) {
            EXPECT_FALSE(FindNativeFunction(entry.name, entry.argumentCount - 1));
        }
    }
    EXPECT_EQ(FindNativeFunction("GetLang", 0), NativeFunction::GetLang);
    EXPECT_EQ(FindNativeFunction("SetLang", 1), NativeFunction::SetLang);
    EXPECT_EQ(FindNativeFunction("CheckProgramHadRun", 0), NativeFunction::CheckProgramHadRun);
    EXPECT_EQ(FindNativeFunction("GetAllPartitionInfo", 0), NativeFunction::GetAllPartitionInfo);
}

TEST(FunctionTableLookup, LetterCaseAndNearNamesAreNotFound)
{
    EXPECT_FALSE(FindNativeFunction("getlang", 0));
    EXPECT_FALSE(FindNativeFunction("GETLANG", 0));
    EXPECT_FALSE(FindNativeFunction("GetLan", 0));
    EXPECT_FALSE(FindNativeFunction("GetLangX", 0));
    EXPECT_FALSE(FindNativeFunction("", 0));
    EXPECT_FALSE(FindNativeFunction("GetAllPartitionInfoX", 0)); // longer than every name
    EXPECT_FALSE(FindNativeFunction(std::string_view("GetLang\0", 8), 0));
}

class FunctionTableDispatch : public ::testing::Test {
protected:
    FunctionTableDispatch()
    {
        table_.Bind(NativeFunction::GetLang, [this](const ScriptValue& argument) {
            seen_.push_back(argument);
            return ScriptValue::String(u"en");
        });
        table_.Bind(NativeFunction::SetLang, [this](const ScriptValue& argument) {
            seen_.push_back(argument);
            return ScriptValue::Int(0);
        });
    }

    FunctionTable table_;
    std::vector<ScriptValue> seen_;
};

TEST_F(FunctionTableDispatch, HandledCallGetsTheFirstArgumentAndSetsTheResult)
{
    ScriptValue result;
    ASSERT_TRUE(table_.Dispatch("GetLang", {}, result));
    EXPECT_EQ(result, ScriptValue::String(u"en"));

    const std::vector<ScriptValue> arguments{ScriptValue::String(u"zh")};
    ASSERT_TRUE(table_.Dispatch("SetLang", arguments, result));
    EXPECT_EQ(result, ScriptValue::Int(0));
    ASSERT_EQ(seen_.size(), 2u);
    EXPECT_TRUE(seen_[0].IsUndefined());
    EXPECT_EQ(seen_[1], ScriptValue::String(u"zh"));
}

TEST_F(FunctionTableDispatch, UnhandledCallsRunNothingAndLeaveTheResult)
{
    const ScriptValue untouched = ScriptValue::Int(77);
    ScriptValue result = untouched;
    const std::vector<ScriptValue> one{ScriptValue::String(u"x")};
    const std::vector<ScriptValue> two{ScriptValue::String(u"x"), ScriptValue::Int(1)};

    EXPECT_FALSE(table_.Dispatch("GetLang", one, result)); // view.GetLang("x")
    EXPECT_FALSE(table_.Dispatch("getlang", {}, result));  // view.getlang()
    EXPECT_FALSE(table_.Dispatch("SetLang", {}, result));
    EXPECT_FALSE(table_.Dispatch("SetLang", two, result));
    EXPECT_FALSE(table_.Dispatch("Unknown", {}, result));
    // In the table but not bound: no native code serves it.
    EXPECT_FALSE(table_.IsBound(NativeFunction::Is64BitOS));
    EXPECT_FALSE(table_.Dispatch("Is64BitOS", {}, result));

    EXPECT_EQ(result, untouched);
    EXPECT_TRUE(seen_.empty());
}

} // namespace
} // namespace lockora::bridge
