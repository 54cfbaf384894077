#include "app/main_frame.h"
#include "app/ui_archive.h"
#include "bridge/function_table.h"
#include "platform/folders.h"
#include "tests/app/app_fixture.h"

#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lockora::app {
namespace {

using bridge::ScriptValue;

ScriptValue Paths(std::vector<std::u16string> paths)
{
    ScriptValue array = ScriptValue::Array();
    for (auto& path : paths)
        array.Append(ScriptValue::String(std::move(path)));
    return array;
}

ScriptValue Pair(ScriptValue first, ScriptValue second)
{
    return ScriptValue::Array({std::move(first), std::move(second)});
}

// Calls every native function by name, the way a page calls view.Name(...),
// against the real bindings of the main window.
class NativeFunctionsTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        frame_ = std::make_unique<MainFrame>(engine(), engine().OpenArchive(UiArchiveBlock()));
        frame_->LoadPage(u"this://app/index.html");
    }
    void TearDown() override
    {
        frame_.reset();
        AppTest::TearDown();
    }

    std::unique_ptr<MainFrame> frame_;
};

TEST_F(NativeFunctionsTest, WrongArgumentCountsAndLetterCaseAreNeverHandled)
{
    for (const auto& entry : bridge::NativeFunctionTable()) {
        const std::string name(entry.name);
        SCOPED_TRACE(name);
        const std::vector<ScriptValue> tooMany(entry.argumentCount + 1, ScriptValue::Int(0));
        EXPECT_FALSE(engine().CallNative(name, tooMany));
        if (entry.argumentCount == 1) {
            EXPECT_FALSE(engine().CallNative(name, {}));
        }

        std::string lower = name;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_FALSE(engine().CallNative(lower, std::vector<ScriptValue>(entry.argumentCount, ScriptValue::Int(0))));
    }
}

TEST_F(NativeFunctionsTest, FunctionsRunningOnTheUiThreadAnswerWithTheirValueShape)
{
    const auto call = [&](const std::string& name, std::optional<ScriptValue> argument = std::nullopt) {
        std::vector<ScriptValue> arguments;
        if (argument)
            arguments.push_back(*argument);
        return engine().CallNative(name, arguments);
    };

    EXPECT_TRUE(call("GetLang").value().IsString());
    EXPECT_EQ(call("SetLang", ScriptValue::String(u"zh")), ScriptValue::Int(0));
    EXPECT_EQ(call("GetLang"), ScriptValue::String(u"zh"));
    EXPECT_TRUE(call("Is64BitOS").value().IsBool());
    EXPECT_TRUE(call("GetOsVersion").value().IsInt());
    EXPECT_TRUE(call("GetProductVersion").value().IsString());
    EXPECT_EQ(call("IsDirectory", ScriptValue::String(u"C:\\Data")), ScriptValue::Bool(true));
    EXPECT_EQ(call("IsDirectory", ScriptValue::String(u"C:/Data/a.txt")), ScriptValue::Bool(false));
    EXPECT_EQ(call("GetPathAttr", ScriptValue::String(u"C:/Data/a.txt")), ScriptValue::Int(0x20));
    EXPECT_EQ(call("WriteHtmlLog", ScriptValue::String(u"page says hello")), ScriptValue::Int(0));
    EXPECT_EQ(call("PowerOperate", ScriptValue::Int(9)), ScriptValue::Int(-4));
    EXPECT_TRUE(sandbox().power().Actions().empty());

    const ScriptValue settings = call("GetSettingInfo").value();
    EXPECT_EQ(settings.Length(), 11u);
    EXPECT_EQ(call("ChangeSettingInfo", settings), ScriptValue::Int(0));
    EXPECT_EQ(call("SetSoftPassword", Pair(ScriptValue::String(u""), ScriptValue::String(u"secret1"))),
              ScriptValue::Int(0));
    EXPECT_EQ(call("GetSettingInfo").value().At(9), ScriptValue::Bool(true));

    EXPECT_EQ(call("AddContext", ScriptValue()), ScriptValue::Int(0));
    EXPECT_EQ(call("RemoveContext"), ScriptValue::Int(0));
    EXPECT_EQ(call("HidePath", ScriptValue()), ScriptValue::Int(0));
    EXPECT_EQ(call("ShowPath", Pair(ScriptValue(), Paths({}))), ScriptValue::Int(0));
    EXPECT_TRUE(call("GetAllPartitionInfo").value().IsArray());
    EXPECT_EQ(call("CheckProgramHadRun"), ScriptValue::Int(0));
}

TEST_F(NativeFunctionsTest, OperationsStartNothingWhileAnotherRuns)
{
    frame_->busyCode() = bridge::kDeleting;
    const ScriptValue request = Pair(ScriptValue::String(u"secret1"), Paths({u"C:\\Data\\a.txt"}));
    EXPECT_EQ(engine().CallNative("Encrypted", {request}), ScriptValue::Int(3));
    EXPECT_EQ(engine().CallNative("Decrypted", {request}), ScriptValue::Int(3));
    EXPECT_EQ(engine().CallNative("CompleteDelFile", {request}), ScriptValue::Int(3));
    EXPECT_EQ(engine().CallNative("FolderDisGuise", {Pair(ScriptValue::Int(0), Paths({u"C:\\Data"}))}),
              ScriptValue::Int(3));
    frame_->busyCode() = bridge::kIdle;

    // Nothing was touched while the deletion ran.
    EXPECT_EQ(lockora::testing::ReadHostFile(sandbox(), u"C:\\Data\\a.txt"), "a");
    EXPECT_TRUE(platform::IsDirectory(u"C:\\Data"));
}

} // namespace
} // namespace lockora::app
