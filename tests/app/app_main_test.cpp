#include "app/app_main.h"
#include "app/ui_archive.h"
#include "bridge/main_window.h"
#include "platform/folders.h"
#include "platform/mutex.h"
#include "platform/text.h"
#include "tests/app/app_fixture.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace lockora::app {
namespace {

using bridge::ScriptValue;

// What the program looked like when its message loop started.
struct LoopView {
    bool ran = false;
    bool shown = false;
    std::vector<std::u16string> pages;
    std::vector<ScriptValue> handedOver;
};

class AppMainTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        engine().DefinePageFunction("ShowPathInfo", [this](const ScriptValue& argument) {
            handedOver_.push_back(argument);
            return ScriptValue();
        });
    }

    // Runs AppMain with `commandLine`; the loop looks around, lets `duringLoop`
    // act as the page, closes the window and ends with `loopValue`.
    int Run(std::u16string commandLine, int loopValue = 0, const std::function<void()>& duringLoop = {})
    {
        g_commandLine = std::move(commandLine);
        return AppMain(engine(), UiArchiveBlock(), [&] {
            view_.ran = true;
            view_.shown = engine().IsShown();
            for (const auto& load : engine().Loads())
                view_.pages.push_back(load.url);
            view_.handedOver = handedOver_;
            if (duringLoop)
                duringLoop();
            engine().CloseWindow();
            engine().RunMessageLoop();
            return loopValue;
        });
    }

    // True when another process could take the guard now.
    static bool GuardIsFree()
    {
        auto probe = platform::NamedMutex::Create(kInstanceMutexName);
        return probe.ok() && probe->Owns();
    }

    static ScriptValue Start(std::u16string path, int isDir)
    {
        return ScriptValue::Array({ScriptValue::String(std::move(path)), ScriptValue::Int(isDir)});
    }

    LoopView view_;
    std::vector<ScriptValue> handedOver_;
};

TEST_F(AppMainTest, EmptyCommandLineOrABareVerbOpensTheMainScreenWithoutClaimingTheGuard)
{
    // "open" alone is what the desktop launcher passes when started from a menu.
    for (const std::u16string_view commandLine : {u"", u"open"}) {
        SCOPED_TRACE(platform::Utf16ToUtf8(commandLine));
        TearDown();
        SetUp();
        view_ = {};
        handedOver_.clear();
        bool freeDuringLoop = false;
        std::optional<ScriptValue> first;
        std::optional<ScriptValue> second;
        EXPECT_EQ(Run(std::u16string(commandLine), 0, [&] {
                      freeDuringLoop = GuardIsFree();
                      first = engine().CallNative("CheckProgramHadRun");
                      second = engine().CallNative("CheckProgramHadRun");
                  }),
                  0);
        ASSERT_TRUE(view_.ran);
        EXPECT_TRUE(view_.shown);
        EXPECT_EQ(view_.pages, std::vector<std::u16string>{u"this://app/index.html"});
        EXPECT_TRUE(view_.handedOver.empty());
        EXPECT_TRUE(freeDuringLoop);
        // The main screen claims it itself; a second claim finds it held by this process.
        EXPECT_EQ(first, ScriptValue::Int(0));
        EXPECT_EQ(second, ScriptValue::Int(0));
        EXPECT_FALSE(GuardIsFree());
    }
}

TEST_F(AppMainTest, EmptyCommandLineWithAnotherInstanceShowsTheMainScreenThatReportsIt)
{
    auto other = platform::NamedMutex::Create(kInstanceMutexName);
    ASSERT_TRUE(other.ok() && other->Owns());
    std::optional<ScriptValue> answer;
    EXPECT_EQ(Run(u"", 0, [&] { answer = engine().CallNative("CheckProgramHadRun"); }), 0);
    EXPECT_TRUE(view_.shown);
    EXPECT_EQ(view_.pages, std::vector<std::u16string>{u"this://app/index.html"});
    EXPECT_EQ(answer, ScriptValue::Int(1));
}

TEST_F(AppMainTest, VerbsChooseTheFirstPageAndHandThePathOver)
{
    const struct {
        std::u16string commandLine;
        std::u16string page;
        ScriptValue start;
    } cases[] = {
        {u"encrypt \"C:\\Data\\a.txt\"", u"this://app/operation-encrypt.html", Start(u"C:\\Data\\a.txt", 0)},
        {u"decrypt \"C:\\Data\\a.txt\"", u"this://app/operation-decrypt.html", Start(u"C:\\Data\\a.txt", 0)},
        {u"remove \"C:\\Data\"", u"this://app/operation-delete.html", Start(u"C:\\Data", 1)},
        {u"open \"C:\\Data\\a.txt.xep\"", u"this://app/index.html", Start(u"C:\\Data\\a.txt.xep", 0)},
        // Without the opening quote the verb stays in the text.
        {u"encrypt C:\\Data\\a.txt", u"this://app/operation-encrypt.html", Start(u"encrypt C:\\Data\\a.txt", 0)},
        // "^encrypt" matches "encryption"; only the final quote goes.
        {u"encryption \"C:\\Data\\a.txt\"", u"this://app/operation-encrypt.html",
         Start(u"encryption \"C:\\Data\\a.txt", 0)},
        // A closing quote followed by a blank stays with the blank.
        {u"encrypt \"C:\\Data\\a.txt\" ", u"this://app/operation-encrypt.html", Start(u"C:\\Data\\a.txt\" ", 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::Utf16ToUtf8(c.commandLine));
        TearDown();
        SetUp();
        view_ = {};
        handedOver_.clear();
        EXPECT_EQ(Run(c.commandLine), 0);
        EXPECT_TRUE(view_.shown);
        EXPECT_EQ(view_.pages, std::vector<std::u16string>{c.page});
        ASSERT_EQ(view_.handedOver.size(), 1u);
        EXPECT_EQ(view_.handedOver[0], c.start);
        EXPECT_FALSE(GuardIsFree());
    }
}

TEST_F(AppMainTest, CapitalisedVerbOpensTheMainScreenWithoutAPathButClaimsTheGuard)
{
    EXPECT_EQ(Run(u"Encrypt \"C:\\Data\\a.txt\""), 0);
    EXPECT_EQ(view_.pages, std::vector<std::u16string>{u"this://app/index.html"});
    EXPECT_TRUE(view_.handedOver.empty());
    EXPECT_TRUE(view_.shown);
    EXPECT_FALSE(GuardIsFree());
}

TEST_F(AppMainTest, CommandLineWithAnotherInstanceEndsWithOneAndShowsNothing)
{
    auto other = platform::NamedMutex::Create(kInstanceMutexName);
    ASSERT_TRUE(other.ok() && other->Owns());
    EXPECT_EQ(Run(u"encrypt \"C:\\Data\\a.txt\""), kExitOtherInstance);
    EXPECT_FALSE(view_.ran);
    EXPECT_FALSE(engine().IsShown());
    EXPECT_TRUE(engine().Loads().empty());
    EXPECT_TRUE(handedOver_.empty());
    // The guard stays with the other instance.
    other->Close();
    EXPECT_TRUE(GuardIsFree());
}

TEST_F(AppMainTest, TheLoopValueIsTheExitCodeAndTheLogFolderExists)
{
    EXPECT_EQ(Run(u"", 7), 7);
    EXPECT_TRUE(platform::IsDirectory(u"C:\\App\\Log"));
}

TEST_F(AppMainTest, LogFolderThatCannotBeCreatedDoesNotStopTheStart)
{
    // A file where the folder should be.
    lockora::testing::WriteHostFile(sandbox(), u"C:\\App\\Log", "not a folder");
    EXPECT_EQ(Run(u"", 3), 3);
    EXPECT_TRUE(view_.shown);
}

TEST_F(AppMainTest, WindowThatCannotBeCreatedEndsWithoutALoop)
{
    engine().RefuseWindowCreation();
    EXPECT_EQ(Run(u"encrypt \"C:\\Data\\a.txt\""), kExitEngineMissing);
    EXPECT_FALSE(view_.ran);
    EXPECT_FALSE(engine().IsShown());
}

TEST_F(AppMainTest, ScriptErrorInShowPathInfoDoesNotStopTheStart)
{
    engine().DefinePageFunction("ShowPathInfo", [](const ScriptValue&) -> ScriptValue {
        throw std::runtime_error("ShowPathInfo broke");
    });
    EXPECT_EQ(Run(u"remove \"C:\\Data\"", 5), 5);
    EXPECT_TRUE(view_.shown);
    EXPECT_EQ(view_.pages, std::vector<std::u16string>{u"this://app/operation-delete.html"});
}

TEST_F(AppMainTest, MainWindowIsRegisteredWhileTheProgramRuns)
{
    bridge::MainWindow* during = nullptr;
    Run(u"", 0, [&] { during = bridge::MainWindow::Get(); });
    EXPECT_NE(during, nullptr);
    EXPECT_EQ(bridge::MainWindow::Get(), nullptr);
}

} // namespace
} // namespace lockora::app
