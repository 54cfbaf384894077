// The web engine's parts that need no server: secrets, page content, the
// wire format, the task queue and the browser command.
#include "engine/web/browser_launcher.h"
#include "engine/web/page_content.h"
#include "engine/web/request_router.h"
#include "engine/web/secret.h"
#include "engine/web/session_gate.h"
#include "engine/web/task_queue.h"
#include "engine/web/wire.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <thread>
#include <vector>

namespace lockora::engine::web {
namespace {

using bridge::ScriptValue;
using nlohmann::json;

TEST(WebSecret, IsLongHexAndNewEveryTime)
{
    std::set<std::string> seen;
    for (int i = 0; i < 8; ++i) {
        auto secret = GenerateSecret();
        ASSERT_TRUE(secret.ok());
        EXPECT_EQ(secret->size(), 64u);
        EXPECT_EQ(secret->find_first_not_of("0123456789abcdef"), std::string::npos);
        seen.insert(*secret);
    }
    EXPECT_EQ(seen.size(), 8u);
    EXPECT_TRUE(SecretEquals("abc", "abc"));
    EXPECT_FALSE(SecretEquals("abc", "abd"));
    EXPECT_FALSE(SecretEquals("abc", "abcd"));
    EXPECT_FALSE(SecretEquals("", "a"));
}

TEST(WebSessionGate, FindsItsCookieAmongOthers)
{
    auto gate = SessionGate::Create(4242);
    ASSERT_TRUE(gate.ok());
    const std::string setCookie = gate->SetCookieValue();
    const std::string mine = setCookie.substr(0, setCookie.find(';'));
    EXPECT_TRUE(mine.starts_with("lockora-4242="));
    EXPECT_TRUE(gate->IsAuthorised(mine));
    EXPECT_TRUE(gate->IsAuthorised("a=1; " + mine + "; b=2"));
    // A cookie of the same name planted by another local page does not hide ours.
    EXPECT_TRUE(gate->IsAuthorised("lockora-4242=planted; " + mine));
    EXPECT_FALSE(gate->IsAuthorised("lockora-4242=planted"));
    EXPECT_FALSE(gate->IsAuthorised("lockora-4243=" + mine.substr(mine.find('=') + 1)));
    EXPECT_FALSE(gate->IsAuthorised(""));
}

TEST(WebPageContent, RuntimeGoesBeforeEveryPageScript)
{
    const std::string tag = "<script src=\"/engine/runtime.js\"></script>";
    EXPECT_EQ(InjectRuntimeScript("<html><HEAD lang=x><script src=a.js></script></head></html>"),
              "<html><HEAD lang=x>" + tag + "<script src=a.js></script></head></html>");
    EXPECT_EQ(InjectRuntimeScript("<!DOCTYPE html><header></header><script></script>"),
              "<!DOCTYPE html>" + tag + "<header></header><script></script>");
    EXPECT_EQ(InjectRuntimeScript("<Html>x</Html>"), "<Html>" + tag + "x</Html>");
    EXPECT_EQ(InjectRuntimeScript("\xEF\xBB\xBFplain"), "\xEF\xBB\xBF" + tag + "plain");
    EXPECT_EQ(InjectRuntimeScript(""), tag);
}

TEST(WebPageContent, ContentTypesByExtension)
{
    EXPECT_EQ(ContentTypeFor("tis/base.tis"), "text/javascript; charset=utf-8");
    EXPECT_EQ(ContentTypeFor("Index.HTML"), "text/html; charset=utf-8");
    EXPECT_EQ(ContentTypeFor("css/font-awesome.inc.htm"), "text/html; charset=utf-8");
    EXPECT_EQ(ContentTypeFor("image/logo.PNG"), "image/png");
    EXPECT_EQ(ContentTypeFor("css.d/noextension"), "application/octet-stream");
    EXPECT_EQ(ContentTypeFor("archive.xep"), "application/octet-stream");
}

TEST(WebPageContent, WindowSizeFromThePage)
{
    EXPECT_EQ(RequestedWindowSize("<meta name=\"window-size\" content=\"600x250\">").width, 600);
    EXPECT_EQ(RequestedWindowSize("<META content=\"600x210\" NAME=\"window-size\">").height, 210);
    EXPECT_EQ(RequestedWindowSize("<html></html>").width, 680);
    EXPECT_EQ(RequestedWindowSize("<meta name=\"window-size\" content=\"0x99999\">").height, 500);
    EXPECT_EQ(RequestedWindowSize("<meta name=\"window-size\"> <p content=\"300x300\">").width, 680);
}

TEST(WebPageContent, PercentDecoding)
{
    EXPECT_EQ(PercentDecode("a%20b%2Fc"), "a b/c");
    EXPECT_FALSE(PercentDecode("a%2").has_value());
    EXPECT_FALSE(PercentDecode("%zz").has_value());
    EXPECT_FALSE(PercentDecode("a%00b").has_value());
}

TEST(WebWire, ValuesRoundTrip)
{
    const ScriptValue value = ScriptValue::Array({ScriptValue(), ScriptValue::Bool(true), ScriptValue::Int(-7),
                                                  ScriptValue::String(u"\u00e9\U0001F600"),
                                                  ScriptValue::ErrorString(u"boom"),
                                                  ScriptValue::Array({ScriptValue::Int(1)})});
    const json wire = ToJson(value);
    EXPECT_EQ(wire, json::parse(R"([null,true,-7,"\u00e9\ud83d\ude00",{"error":"boom"},[1]])"));
    EXPECT_EQ(FromJson(wire), value);
}

TEST(WebWire, NumbersOutsideIntAndObjectsAreUndefined)
{
    EXPECT_EQ(FromJson(json(2.9)), ScriptValue::Int(2));
    EXPECT_EQ(FromJson(json(-2147483648LL)), ScriptValue::Int(-2147483647 - 1));
    EXPECT_TRUE(FromJson(json(2147483648LL)).IsUndefined());
    EXPECT_TRUE(FromJson(json(1e300)).IsUndefined());
    EXPECT_TRUE(FromJson(json::object({{"a", 1}})).IsUndefined());
    EXPECT_TRUE(FromJson(json::object({{"error", 1}})).IsUndefined());
}

TEST(WebWire, MessagesMustBeShallowObjects)
{
    EXPECT_TRUE(ParseMessage(R"({"type":"ready"})").has_value());
    EXPECT_FALSE(ParseMessage("[1]").has_value());
    EXPECT_FALSE(ParseMessage("{").has_value());
    const std::string deep = "{\"a\":" + std::string(kMaxMessageDepth, '[') + std::string(kMaxMessageDepth, ']') + "}";
    EXPECT_FALSE(ParseMessage(deep).has_value());
    // Brackets inside strings do not count.
    EXPECT_TRUE(ParseMessage("{\"a\":\"" + std::string(1000, '[') + "\\\"\"}").has_value());
}

TEST(WebTaskQueue, RunsTasksInOrderAndTimersWhenDue)
{
    TaskQueue queue;
    std::vector<int> order;
    queue.PostAfter(std::chrono::milliseconds(20), [&] {
        order.push_back(3);
        queue.Quit(7);
    });
    queue.Post([&] { order.push_back(1); });
    queue.Post([&] { order.push_back(2); });
    EXPECT_EQ(queue.Run(), 7);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    queue.Post([&] { order.push_back(4); });
    EXPECT_TRUE(queue.HasQuit());
}

TEST(WebTaskQueue, RunUntilServesPostsFromOtherThreads)
{
    TaskQueue queue;
    std::atomic<bool> done{false};
    int ran = 0;
    std::thread other([&] {
        queue.Post([&] { ++ran; });
        queue.Post([&] { done = true; });
    });
    queue.RunUntil([&] { return done.load(); });
    other.join();
    EXPECT_EQ(ran, 1);
}

class NullRunner : public ProcessRunner {
public:
    ProcessId Start(const std::vector<std::string>&) override { return 0; }
    void Stop(ProcessId, std::chrono::milliseconds) override {}
};

TEST(WebBrowserLauncher, CommandsByTheSetting)
{
    NullRunner runner;
    std::ostringstream out;
    const WindowLaunch launch{"/run/x y/start.html", "http://127.0.0.1:1/start/t", "/run/x y/profile", 600, 250};

    EXPECT_FALSE(BrowserLauncher(runner, out, std::string("none")).Command(launch).has_value());
    const auto app = BrowserLauncher(runner, out, std::string("google-chrome --incognito")).Command(launch);
    ASSERT_TRUE(app.has_value());
    EXPECT_EQ((*app)[0], "google-chrome");
    EXPECT_EQ((*app)[1], "--incognito");
    EXPECT_EQ((*app)[2], "--app=file:///run/x%20y/start.html");
    EXPECT_EQ((*app)[4], "--window-size=600,250");
    const auto other = BrowserLauncher(runner, out, std::string("firefox")).Command(launch);
    ASSERT_TRUE(other.has_value());
    EXPECT_EQ(*other, (std::vector<std::string>{"firefox", "file:///run/x%20y/start.html"}));

    // Nothing started: the address is printed for the user, where it may be
    // (a terminal); elsewhere only the private start file is named.
    BrowserLauncher(runner, out, std::string("firefox")).Launch(launch);
    EXPECT_EQ(out.str(), "http://127.0.0.1:1/start/t\n");
    std::ostringstream journal;
    BrowserLauncher(runner, journal, std::string("firefox"), false).Launch(launch);
    EXPECT_EQ(journal.str(), "Open file:///run/x%20y/start.html in a browser\n");
    EXPECT_FALSE(BrowserLauncher(runner, out, std::nullopt).OpenWebAddress("javascript:alert(1)"));
}

} // namespace
} // namespace lockora::engine::web
