#include "web_fixture.h"

#include "platform/message_box.h"

namespace lockora::engine::web {
namespace {

using bridge::ScriptValue;
using nlohmann::json;

constexpr auto kBound = std::chrono::seconds(10);

bool IsInvoke(const json& message, std::string_view name)
{
    return message.value("type", "") == "invoke" && message.value("name", "") == name;
}

// Runs `call` on a worker thread; the test waits for it with a bound.
template <typename Call>
auto OnWorker(Call call)
{
    return std::async(std::launch::async, std::move(call));
}

TEST_F(WebEngineTest, AScriptCallRunsOnTheUiThreadAndAnswers)
{
    OpenPage();
    RunLoop();
    const auto sum = client->Call("Add", {{20, 22}});
    ASSERT_TRUE(sum.has_value());
    EXPECT_EQ((*sum)["value"], 42);
    const auto echoed = client->Call("Echo", {{"text", true, nullptr, {{"error", "flagged"}}}});
    ASSERT_TRUE(echoed.has_value());
    EXPECT_EQ((*echoed)["value"], json({"text", true, nullptr, {{"error", "flagged"}}}));
    for (const auto& thread : host.callThreads())
        EXPECT_EQ(thread, uiThread.load());
}

TEST_F(WebEngineTest, AnUnhandledNativeCallIsRejected)
{
    OpenPage();
    RunLoop();
    for (const auto& [name, args] : {std::pair<std::string, json>{"Nope", json::array()}, {"Add", json::array()},
                                     {"add", {{1, 2}}}, {"Fail", json::array()}}) {
        SCOPED_TRACE(name);
        const auto answer = client->Call(name, args);
        ASSERT_TRUE(answer.has_value());
        EXPECT_TRUE(answer->contains("error"));
        EXPECT_FALSE(answer->contains("value"));
    }
    // A native function that throws does not stop the loop.
    const auto sum = client->Call("Add", {{1, 2}});
    ASSERT_TRUE(sum.has_value());
    EXPECT_EQ((*sum)["value"], 3);
}

TEST_F(WebEngineTest, APageFunctionAnswersAWorkerThread)
{
    OpenPage();
    client->Define("Double", [](const json& argument) { return json(argument.get<int>() * 2); });
    client->Define("Broken", [](const json&) -> json { throw std::runtime_error("ReferenceError: x is not defined"); });
    RunLoop();

    auto value = OnWorker([&] { return engine->CallFunction(window, "Double", ScriptValue::Int(21)); });
    ASSERT_EQ(value.wait_for(kBound), std::future_status::ready);
    const bridge::PageCallResult doubled = value.get();
    EXPECT_TRUE(doubled.ok);
    EXPECT_EQ(doubled.value, ScriptValue::Int(42));

    auto error = OnWorker([&] { return engine->CallFunction(window, "Broken", ScriptValue()); });
    ASSERT_EQ(error.wait_for(kBound), std::future_status::ready);
    const bridge::PageCallResult broken = error.get();
    EXPECT_FALSE(broken.ok);
    EXPECT_TRUE(broken.value.IsErrorString());
    EXPECT_EQ(broken.value.GetString(), u"ReferenceError: x is not defined");
}

TEST_F(WebEngineTest, TheUiThreadServesNativeCallsWhileItWaitsForThePage)
{
    OpenPage();
    RunLoop();
    // CallPage runs on the UI thread and waits there for AskBack ...
    client->Send({{"type", "call"}, {"id", 500}, {"name", "CallPage"}, {"args", {"AskBack"}}});
    const auto invoke = client->WaitFor([](const json& m) { return IsInvoke(m, "AskBack"); });
    ASSERT_TRUE(invoke.has_value());
    // ... and the page's own native call in the meantime still runs.
    const auto echoed = client->Call("Echo", {"meanwhile"});
    ASSERT_TRUE(echoed.has_value());
    EXPECT_EQ((*echoed)["value"], "meanwhile");
    client->Send({{"type", "answer"}, {"id", (*invoke)["id"]}, {"value", 7}});
    const auto result = client->WaitFor([](const json& m) { return m.value("id", 0) == 500; });
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ((*result)["value"], 7);
}

TEST_F(WebEngineTest, SeveralWorkersGetTheirOwnAnswers)
{
    OpenPage();
    client->Define("Same", [](const json& argument) { return argument; });
    RunLoop();
    std::vector<std::future<bridge::PageCallResult>> calls;
    for (int i = 0; i < 16; ++i)
        calls.push_back(OnWorker([&, i] { return engine->CallFunction(window, "Same", ScriptValue::Int(i)); }));
    for (int i = 0; i < 16; ++i) {
        ASSERT_EQ(calls[i].wait_for(kBound), std::future_status::ready);
        EXPECT_EQ(calls[i].get().value, ScriptValue::Int(i));
    }
}

TEST_F(WebEngineTest, UiThreadCallsBeforeThePageIsReadyAreDeliveredInOrder)
{
    CreateEngine();
    // The test's thread is the UI thread until a loop runs elsewhere.
    for (int i = 1; i <= 3; ++i) {
        const auto result = engine->CallFunction(window, "ShowPathInfo", ScriptValue::Int(i));
        EXPECT_TRUE(result.ok);
        EXPECT_TRUE(result.value.IsUndefined());
    }
    ASSERT_EQ(client->Start(ShowWindow()), 200u);
    ASSERT_EQ(client->OpenSocket(), 101u);
    client->Ready();
    for (int i = 1; i <= 3; ++i) {
        const auto invoke = client->WaitFor([](const json& m) { return IsInvoke(m, "ShowPathInfo"); });
        ASSERT_TRUE(invoke.has_value());
        EXPECT_EQ((*invoke)["arg"], i);
    }
}

TEST_F(WebEngineTest, AWorkerWaitsForThePageToBeReady)
{
    CreateEngine();
    ASSERT_EQ(client->Start(ShowWindow()), 200u);
    ASSERT_EQ(client->OpenSocket(), 101u);
    client->Define("Late", [](const json&) { return json("answered"); });
    auto call = OnWorker([&] { return engine->CallFunction(window, "Late", ScriptValue()); });
    EXPECT_EQ(call.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    client->Ready();
    ASSERT_EQ(call.wait_for(kBound), std::future_status::ready);
    EXPECT_EQ(call.get().value, ScriptValue::String(u"answered"));
}

TEST_F(WebEngineTest, CallsReturnAtOnceOnceTheWindowIsGone)
{
    OpenPage();
    RunLoop();
    // A call that the page never answers is released by the close.
    auto pending = OnWorker([&] { return engine->CallFunction(window, "NeverAnswered", ScriptValue()); });
    ASSERT_TRUE(client->WaitFor([](const json& m) { return IsInvoke(m, "NeverAnswered"); }));
    client->Send({{"type", "close"}});
    ASSERT_EQ(loop.wait_for(kBound), std::future_status::ready);
    EXPECT_EQ(loop.get(), 0);
    EXPECT_EQ(host.destroyed.load(), 1);
    ASSERT_EQ(pending.wait_for(kBound), std::future_status::ready);
    EXPECT_TRUE(pending.get().value.IsUndefined());

    auto after = OnWorker([&] { return engine->CallFunction(window, "Anything", ScriptValue::Int(1)); });
    ASSERT_EQ(after.wait_for(kBound), std::future_status::ready);
    const auto result = after.get();
    EXPECT_TRUE(result.ok);
    EXPECT_TRUE(result.value.IsUndefined());
}

TEST_F(WebEngineTest, TheWindowIsGoneWhenItsPageDoesNotComeBack)
{
    OpenPage();
    RunLoop();
    client->CloseSocket();
    ASSERT_EQ(loop.wait_for(kBound), std::future_status::ready);
    EXPECT_EQ(loop.get(), 0);
    EXPECT_EQ(host.destroyed.load(), 1);
}

TEST_F(WebEngineTest, APageThatComesBackWithinTheGraceKeepsTheWindow)
{
    options.reconnectGrace = std::chrono::seconds(30);
    OpenPage();
    RunLoop();
    client->CloseSocket();
    ASSERT_EQ(client->OpenSocket(), 101u);
    client->Ready();
    client->Define("Back", [](const json&) { return json(1); });
    auto call = OnWorker([&] { return engine->CallFunction(window, "Back", ScriptValue()); });
    ASSERT_EQ(call.wait_for(kBound), std::future_status::ready);
    EXPECT_EQ(call.get().value, ScriptValue::Int(1));
    EXPECT_EQ(loop.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
}

TEST_F(WebEngineTest, LoadingAPageLaterNavigatesTheWindow)
{
    OpenPage();
    RunLoop();
    ASSERT_TRUE(engine->LoadFile(window, u"this://app/Other Page.html"));
    const auto navigate = client->WaitFor([](const json& m) { return m.value("type", "") == "navigate"; });
    ASSERT_TRUE(navigate.has_value());
    EXPECT_EQ((*navigate)["url"], "/app/Other%20Page.html");
    // A page that still announces the old address is sent on as well.
    client->Ready("/app/index.html");
    const auto again = client->WaitFor([](const json& m) { return m.value("type", "") == "navigate"; });
    ASSERT_TRUE(again.has_value());
    EXPECT_FALSE(engine->LoadFile(window, u"file:///etc/passwd"));
}

TEST_F(WebEngineTest, AMessageBoxWaitsForThePagesAnswer)
{
    OpenPage();
    client->Define("messageBox", [](const json& argument) {
        return json(argument[0] == "Replace it?" && argument[1] == "Lockora" && argument[2] == 0x24 ? 6 : 2);
    });
    RunLoop();
    auto answer = OnWorker([] { return platform::MessageBox(u"Replace it?", u"Lockora", platform::kMbYesNo | platform::kMbIconQuestion); });
    ASSERT_EQ(answer.wait_for(kBound), std::future_status::ready);
    EXPECT_EQ(answer.get(), platform::kIdYes);
}

TEST_F(WebEngineTest, AMessageBoxWithoutAPageIsAnsweredAtOnce)
{
    CreateEngine();
    // The UI thread, no page yet: nothing to wait for.
    EXPECT_EQ(platform::MessageBox(u"text", u"caption", platform::kMbOkCancel), platform::kIdOk);
}

TEST_F(WebEngineTest, ServicesListScanAndRename)
{
    lockora::testing::WriteHostFile(sandbox(), u"C:\\Data\\a.txt", "a");
    lockora::testing::WriteHostFile(sandbox(), u"C:\\Data\\b.xep", "b");
    OpenPage();
    RunLoop();
    auto service = [&](const std::string& op, json args) {
        static std::uint64_t id = 1000;
        const std::uint64_t mine = ++id;
        client->Send({{"type", "service"}, {"id", mine}, {"op", op}, {"args", std::move(args)}});
        return client->WaitFor([mine](const json& m) { return m.value("id", std::uint64_t{0}) == mine; });
    };
    const auto drives = service("list", {""});
    ASSERT_TRUE(drives.has_value());
#ifdef _WIN32
    // The machine's own drives: Wine adds Z:, its view of the host's /.
    ASSERT_GE((*drives)["value"].size(), 2u);
    EXPECT_EQ((*drives)["value"][0], json::array({"C:\\", 0}));
    EXPECT_EQ((*drives)["value"][1], json::array({"D:\\", 0}));
#else
    EXPECT_EQ((*drives)["value"], json::array({json::array({"C:\\", 0}), json::array({"D:\\", 0})}));
#endif

    const auto listing = service("list", {"C:\\Data"});
    ASSERT_TRUE(listing.has_value());
    ASSERT_EQ((*listing)["value"].size(), 2u);
    EXPECT_EQ((*listing)["value"][0][0], "a.txt");

    const auto scan = service("scan", {"C:/Data/*.xep"});
    ASSERT_TRUE(scan.has_value());
    EXPECT_EQ((*scan)["value"], json::array({json::array({"C:\\Data\\b.xep", 0x20})}));
    const auto missing = service("scan", {"C:\\Data\\gone.txt"});
    EXPECT_EQ((*missing)["value"], json::array());

    const auto renamed = service("rename", {"C:\\Data\\a.txt", "C:\\Data\\c.txt"});
    EXPECT_EQ((*renamed)["value"], true);
    const auto refused = service("rename", {"C:\\Data\\c.txt", "C:\\Data\\b.xep"});
    EXPECT_TRUE(refused->contains("error"));

    const auto launched = service("launch", {"file:///etc/passwd"});
    EXPECT_EQ((*launched)["value"], false);
    EXPECT_TRUE(runner.started().empty());
}

} // namespace
} // namespace lockora::engine::web
