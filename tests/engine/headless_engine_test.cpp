#include "engine/headless/headless_engine.h"

#include "test_archive_block.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace lockora::engine {
namespace {

using bridge::DataAnswer;
using bridge::ScriptValue;
using bridge::WindowId;

// A host that answers like the main window: archive items for
// "this://app/", two native functions, and a record of what it saw.
class RecordingHost : public bridge::EngineHost {
public:
    RecordingHost(HeadlessEngine& engine, bridge::ArchiveId archive) : engine_(engine), archive_(archive) {}

    DataAnswer OnDataRequest(WindowId window, const std::u16string& uri) override
    {
        const std::u16string_view prefix = u"this://app/";
        if (!uri.starts_with(prefix))
            return DataAnswer::Handled;
        const auto item = engine_.GetArchiveItem(archive_, std::u16string_view(uri).substr(prefix.size()));
        if (!item || item->empty())
            return DataAnswer::Discard;
        engine_.DataReady(window, uri, *item);
        return DataAnswer::Handled;
    }

    bool OnScriptCall(WindowId window, std::string_view name, std::span<const ScriptValue> arguments,
                      ScriptValue& result) override
    {
        calls.push_back({window, std::string(name), {arguments.begin(), arguments.end()}, std::this_thread::get_id()});
        if (name == "Sum" && arguments.size() == 2) {
            result = ScriptValue::Int(arguments[0].GetInt() + arguments[1].GetInt());
            return true;
        }
        if (name == "GetLang" && arguments.empty()) {
            result = ScriptValue::String(u"en");
            return true;
        }
        return false;
    }

    void OnWindowDestroyed(WindowId window) override { destroyed.push_back(window); }

    struct Call {
        WindowId window;
        std::string name;
        std::vector<ScriptValue> arguments;
        std::thread::id thread;
    };
    // Touched on the UI thread only, as the host's callbacks are.
    std::vector<Call> calls;
    std::vector<WindowId> destroyed;

private:
    HeadlessEngine& engine_;
    bridge::ArchiveId archive_;
};

class HeadlessEngineTest : public ::testing::Test {
protected:
    HeadlessEngine engine_;
    bridge::ArchiveId archive_ = engine_.OpenArchive(testing::TestArchiveBlock());
    RecordingHost host_{engine_, archive_};
    WindowId window_ = engine_.CreateMainWindow(host_);
};

TEST_F(HeadlessEngineTest, OneWindowOnly)
{
    EXPECT_NE(archive_, 0u);
    EXPECT_NE(window_, 0u);
    RecordingHost other(engine_, archive_);
    EXPECT_EQ(engine_.CreateMainWindow(other), 0u);
    EXPECT_FALSE(engine_.IsShown());
    engine_.ShowWindow(window_);
    EXPECT_TRUE(engine_.IsShown());
}

TEST(HeadlessEngine, RefusedWindowLoadsNothingAndHasNoLoop)
{
    HeadlessEngine engine;
    RecordingHost host(engine, 0);
    engine.RefuseWindowCreation();
    EXPECT_EQ(engine.CreateMainWindow(host), 0u);
    EXPECT_FALSE(engine.LoadFile(0, u"this://app/index.html"));
    EXPECT_FALSE(engine.CallNative("GetLang").has_value());
    EXPECT_EQ(engine.RunMessageLoop(), 0); // returns at once: no window could end it
}

TEST_F(HeadlessEngineTest, LoadFileAsksTheHostForThePage)
{
    EXPECT_TRUE(engine_.LoadFile(window_, u"this://app/index.html"));
    EXPECT_TRUE(engine_.LoadFile(window_, u"this://app/missing.html"));
    const auto loads = engine_.Loads();
    ASSERT_EQ(loads.size(), 2u);
    EXPECT_EQ(loads[0].url, u"this://app/index.html");
    EXPECT_EQ(loads[0].data.answer, DataAnswer::Handled);
    ASSERT_TRUE(loads[0].data.bytes.has_value());
    EXPECT_EQ(std::string(loads[0].data.bytes->begin(), loads[0].data.bytes->end()),
              "<html><body>Index</body></html>\n");
    EXPECT_EQ(loads[1].data.answer, DataAnswer::Discard);
    EXPECT_FALSE(loads[1].data.bytes.has_value());
}

TEST_F(HeadlessEngineTest, DataRequestsOfThePage)
{
    const auto script = engine_.RequestData(u"this://app/tis/AsynMsgBox.tis");
    EXPECT_EQ(script.answer, DataAnswer::Handled);
    ASSERT_TRUE(script.bytes.has_value());
    EXPECT_EQ(std::string(script.bytes->begin(), script.bytes->end()), "function AsynMsgBox(text) { return text; }\n");

    const auto missing = engine_.RequestData(u"this://app/tis/jp.tis");
    EXPECT_EQ(missing.answer, DataAnswer::Discard);
    EXPECT_FALSE(missing.bytes.has_value());

    // Left to the engine: no data served.
    const auto other = engine_.RequestData(u"C:\\Pages\\a.html");
    EXPECT_EQ(other.answer, DataAnswer::Handled);
    EXPECT_FALSE(other.bytes.has_value());

    // Bytes for another address than the one requested are not taken as
    // the answer.
    engine_.DataReady(window_, u"this://app/index.html", testing::TestArchiveBlock());
    EXPECT_FALSE(engine_.RequestData(u"C:\\Pages\\a.html").bytes.has_value());
}

TEST_F(HeadlessEngineTest, NativeCallReachesTheHostAndReturnsItsValue)
{
    const auto result = engine_.CallNative("Sum", {ScriptValue::Int(2), ScriptValue::Int(40)});
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(*result, ScriptValue::Int(42));

    ASSERT_EQ(host_.calls.size(), 1u);
    EXPECT_EQ(host_.calls[0].window, window_);
    EXPECT_EQ(host_.calls[0].name, "Sum");
    EXPECT_EQ(host_.calls[0].arguments, (std::vector<ScriptValue>{ScriptValue::Int(2), ScriptValue::Int(40)}));
    EXPECT_EQ(host_.calls[0].thread, std::this_thread::get_id());

    EXPECT_EQ(engine_.CallNative("GetLang"), ScriptValue::String(u"en"));
}

TEST_F(HeadlessEngineTest, NativeCallTheHostDoesNotHandle)
{
    EXPECT_FALSE(engine_.CallNative("NoSuchFunction").has_value());
    EXPECT_FALSE(engine_.CallNative("getlang").has_value());
    EXPECT_FALSE(engine_.CallNative("GetLang", {ScriptValue::String(u"x")}).has_value());
    // Each still reached the host, which declined it.
    EXPECT_EQ(host_.calls.size(), 3u);
}

TEST_F(HeadlessEngineTest, PageFunctionCalledFromAWorkerThread)
{
    std::thread::id ranOn;
    engine_.DefinePageFunction("RefreshFileListInfo", [&](const ScriptValue& argument) {
        ranOn = std::this_thread::get_id();
        return ScriptValue::Int(static_cast<std::int32_t>(argument.Length()));
    });
    bridge::PageCallResult result;
    std::thread::id worker;
    std::thread thread([&] {
        worker = std::this_thread::get_id();
        result = engine_.CallFunction(window_, "RefreshFileListInfo",
                                      ScriptValue::Array({ScriptValue::Int(1), ScriptValue::Int(2)}));
    });
    thread.join();
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.value, ScriptValue::Int(2));
    EXPECT_EQ(ranOn, worker);
}

TEST_F(HeadlessEngineTest, PageFunctionsCalledFromManyThreadsAtOnce)
{
    std::atomic<int> calls{0};
    engine_.DefinePageFunction("BackupServiceCallUI", [&](const ScriptValue& message) {
        calls.fetch_add(1);
        return message.At(0);
    });
    constexpr int kThreads = 4;
    constexpr int kCallsEach = 200;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kCallsEach; ++i) {
                const auto result = engine_.CallFunction(window_, "BackupServiceCallUI",
                                                         ScriptValue::Array({ScriptValue::Int(t * 1000 + i)}));
                if (!result.ok || result.value != ScriptValue::Int(t * 1000 + i))
                    wrong.fetch_add(1);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(calls.load(), kThreads * kCallsEach);
    EXPECT_EQ(wrong.load(), 0);
}

TEST_F(HeadlessEngineTest, ScriptErrorsAndMissingFunctionsFail)
{
    engine_.DefinePageFunction("ShowPathInfo", [](const ScriptValue&) -> ScriptValue {
        throw std::runtime_error("ReferenceError: fileName is not defined");
    });
    const auto failed = engine_.CallFunction(window_, "ShowPathInfo", ScriptValue());
    EXPECT_FALSE(failed.ok);
    EXPECT_TRUE(failed.value.IsErrorString());
    EXPECT_EQ(failed.value.GetString(), u"ReferenceError: fileName is not defined");

    const auto missing = engine_.CallFunction(window_, "NotDefined", ScriptValue());
    EXPECT_FALSE(missing.ok);
    EXPECT_TRUE(missing.value.IsErrorString());
    EXPECT_NE(missing.value.GetString().find(u"NotDefined"), std::u16string::npos);

    // A call for another window finds no page.
    engine_.DefinePageFunction("Ok", [](const ScriptValue&) { return ScriptValue::Bool(true); });
    const auto wrongWindow = engine_.CallFunction(window_ + 1, "Ok", ScriptValue());
    EXPECT_FALSE(wrongWindow.ok);
    EXPECT_TRUE(wrongWindow.value.IsUndefined());
}

TEST_F(HeadlessEngineTest, AfterTheWindowClosesEveryCallReturnsAtOnce)
{
    int pageCalls = 0;
    engine_.DefinePageFunction("BackupServiceCallUI", [&](const ScriptValue&) {
        ++pageCalls;
        return ScriptValue::Int(1);
    });
    engine_.ShowWindow(window_);
    engine_.CloseWindow();

    EXPECT_EQ(host_.destroyed, std::vector<WindowId>{window_});
    EXPECT_FALSE(engine_.IsWindowOpen());
    EXPECT_FALSE(engine_.IsShown());

    const auto result = engine_.CallFunction(window_, "BackupServiceCallUI", ScriptValue::Int(11));
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.value.IsUndefined());
    EXPECT_EQ(pageCalls, 0);

    EXPECT_FALSE(engine_.CallNative("GetLang").has_value());
    EXPECT_TRUE(host_.calls.empty());
    EXPECT_FALSE(engine_.LoadFile(window_, u"this://app/index.html"));
    EXPECT_FALSE(engine_.RequestData(u"this://app/index.html").bytes.has_value());

    engine_.CloseWindow(); // already gone: the host hears of it once
    EXPECT_EQ(host_.destroyed.size(), 1u);
    EXPECT_EQ(engine_.RunMessageLoop(), 0);
}

// The flow of a long operation: a worker reports to the page, the page
// answers by calling native code (posted to the UI thread), and finally
// closes its window, which ends the loop.
TEST_F(HeadlessEngineTest, MessageLoopRunsPostedTasksUntilTheWindowCloses)
{
    engine_.DefinePageFunction("BackupServiceCallUI", [&](const ScriptValue& message) {
        const int id = message.At(0).GetInt();
        engine_.PostTask([this, id] {
            engine_.CallNative("Sum", {ScriptValue::Int(id), ScriptValue::Int(0)});
            if (id == 11)
                engine_.CloseWindow();
        });
        return ScriptValue();
    });
    std::thread worker([&] {
        for (int id : {2, 2, 11})
            engine_.CallFunction(window_, "BackupServiceCallUI", ScriptValue::Array({ScriptValue::Int(id)}));
    });

    EXPECT_EQ(engine_.RunMessageLoop(), 0);
    worker.join();

    ASSERT_EQ(host_.calls.size(), 3u);
    EXPECT_EQ(host_.calls[0].arguments[0], ScriptValue::Int(2));
    EXPECT_EQ(host_.calls[2].arguments[0], ScriptValue::Int(11));
    for (const auto& call : host_.calls)
        EXPECT_EQ(call.thread, std::this_thread::get_id());
    EXPECT_EQ(host_.destroyed.size(), 1u);
}

TEST_F(HeadlessEngineTest, TasksStillQueuedWhenTheWindowClosesDoNotRun)
{
    bool late = false;
    engine_.PostTask([this] { engine_.CloseWindow(); });
    engine_.PostTask([&] { late = true; });
    EXPECT_EQ(engine_.RunMessageLoop(), 0);
    EXPECT_FALSE(late);
}

} // namespace
} // namespace lockora::engine
