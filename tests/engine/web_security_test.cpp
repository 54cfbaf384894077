#include "web_fixture.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <fstream>

namespace lockora::engine::web {
namespace {

using testing::RequestOptions;

std::string HostOf(std::uint16_t port)
{
    return "127.0.0.1:" + std::to_string(port);
}

TEST_F(WebEngineTest, RequestsWithoutTheSessionCookieAreRefused)
{
    CreateEngine();
    ASSERT_EQ(client->Start(ShowWindow()), 200u);
    EXPECT_EQ(client->Get("/app/index.html", RequestOptions().WithoutCookie()).status, 403u);
    EXPECT_EQ(client->Get("/engine/runtime.js", RequestOptions().WithoutCookie()).status, 403u);
    EXPECT_EQ(client->Get("/app/index.html", RequestOptions().WithCookie("lockora-" + std::to_string(engine->Port()) + "=00")).status,
              403u);
    EXPECT_EQ(client->OpenSocket(RequestOptions().WithoutCookie()), 403u);
    EXPECT_EQ(client->Get("/app/index.html").status, 200u);
}

TEST_F(WebEngineTest, OnlyTheExactHostIsServed)
{
    CreateEngine();
    ASSERT_EQ(client->Start(ShowWindow()), 200u);
    const std::string port = std::to_string(engine->Port());
    // Names and spellings that reach this server but are other origins to a
    // browser: DNS rebinding, "localhost", short and numeric forms.
    for (const std::string& host : {"localhost:" + port, "attacker.example:" + port, "127.1:" + port,
                                    "2130706433:" + port, "0x7f.0.0.1:" + port, "127.000.000.001:" + port,
                                    "[::ffff:127.0.0.1]:" + port, std::string("127.0.0.1"), std::string()}) {
        SCOPED_TRACE(host);
        EXPECT_EQ(client->Get("/app/index.html", RequestOptions().WithHost(host)).status, 403u);
        EXPECT_EQ(client->OpenSocket(RequestOptions().WithHost(host)), 403u);
    }
    EXPECT_EQ(client->Get("/app/index.html", RequestOptions().WithHost(HostOf(engine->Port()))).status, 200u);
}

TEST_F(WebEngineTest, SocketUpgradeNeedsTheServersOwnOrigin)
{
    CreateEngine();
    ASSERT_EQ(client->Start(ShowWindow()), 200u);
    const std::string port = std::to_string(engine->Port());
    const std::vector<std::string> origins = {"http://localhost:" + port, "http://attacker.example", "null",
                                              "https://127.0.0.1:" + port,
                                              "http://127.0.0.1:" + std::to_string(engine->Port() + 1),
                                              "http://127.0.0.1", "file://"};
    for (const std::string& origin : origins) {
        SCOPED_TRACE(origin);
        EXPECT_EQ(client->OpenSocket(RequestOptions().WithOrigin(origin)), 403u);
    }
    EXPECT_EQ(client->OpenSocket(RequestOptions().WithoutOrigin()), 403u);
    EXPECT_EQ(client->OpenSocket(), 101u);
}

TEST_F(WebEngineTest, PlainHttpServesOnlyGets)
{
    CreateEngine();
    ASSERT_EQ(client->Start(ShowWindow()), 200u);
    for (const std::string method : {"POST", "PUT", "DELETE", "OPTIONS"}) {
        SCOPED_TRACE(method);
        const auto reply = client->Get("/app/index.html", RequestOptions().WithMethod(method));
        EXPECT_EQ(reply.status, 405u);
        EXPECT_EQ(reply.headers.count("access-control-allow-origin"), 0u);
    }
}

TEST_F(WebEngineTest, TheStartAddressWorksExactlyOnce)
{
    CreateEngine();
    const std::string address = ShowWindow();
    ASSERT_TRUE(address.starts_with("http://" + HostOf(engine->Port()) + "/start/")) << address;

    // A wrong token is refused and does not spend the right one.
    EXPECT_EQ(client->Start("/start/" + std::string(64, '0')), 403u);
    const auto first = client->Get(address.substr(address.find("/start/")), RequestOptions().WithoutCookie());
    ASSERT_EQ(first.status, 200u);
    const std::string& setCookie = first.headers.at("set-cookie");
    EXPECT_NE(setCookie.find("HttpOnly"), std::string::npos);
    EXPECT_NE(setCookie.find("SameSite=Strict"), std::string::npos);
    // The page moves itself on with a script file: no inline script, no redirect.
    EXPECT_NE(first.body.find("data-next=\"/app/index.html\""), std::string::npos);
    EXPECT_NE(first.body.find("<script src=\"/engine/start.js\">"), std::string::npos);
    EXPECT_EQ(client->Get("/engine/start.js", RequestOptions().WithoutCookie()).status, 200u);

    EXPECT_EQ(client->Start(address), 403u);
    EXPECT_TRUE(client->Cookie().empty());
}

// The path of a "file://" address without its scheme: escapes undone and,
// before a drive letter, the leading "/" dropped ("/C:/a%20b" is "C:/a b").
std::string PathOfFileAddress(std::string_view address)
{
    std::string path;
    for (std::size_t i = 0; i < address.size(); ++i) {
        if (address[i] == '%' && i + 2 < address.size()) {
            path.push_back(static_cast<char>(std::stoi(std::string(address.substr(i + 1, 2)), nullptr, 16)));
            i += 2;
        } else {
            path.push_back(address[i]);
        }
    }
    if (path.size() >= 3 && path[0] == '/' && path[2] == ':')
        path.erase(0, 1);
    return path;
}

TEST_F(WebEngineTest, NoSecretReachesTheBrowsersCommandLine)
{
    options.browser = "/usr/bin/chromium";
    CreateEngine();
    engine->ShowWindow(window);
    const auto started = runner.started();
    ASSERT_EQ(started.size(), 1u);
    const std::vector<std::string>& argv = started[0];
    EXPECT_EQ(argv[0], "/usr/bin/chromium");

    std::string startFile;
    for (const auto& argument : argv) {
        if (argument.starts_with("--app=file://"))
            startFile = PathOfFileAddress(argument.substr(std::string_view("--app=file://").size()));
    }
    ASSERT_FALSE(startFile.empty());
#ifndef _WIN32
    // On Windows an access list naming the user alone guards them instead.
    struct stat file {};
    struct stat folder {};
    ASSERT_EQ(::stat(startFile.c_str(), &file), 0);
    ASSERT_EQ(::stat(std::filesystem::path(startFile).parent_path().c_str(), &folder), 0);
    EXPECT_EQ(file.st_mode & 0777, 0600u);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
#endif

    std::string page;
    {
        // Closed again before the engine removes the file (Windows keeps an open file).
        std::ifstream in(std::filesystem::path(std::u8string(startFile.begin(), startFile.end())));
        page.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const auto at = page.find("/start/");
    ASSERT_NE(at, std::string::npos);
    const std::string token = page.substr(at + 7, 64);
    ASSERT_EQ(client->Start(page.substr(at, 7 + 64)), 200u);
    const std::string secret = client->Cookie().substr(client->Cookie().find('=') + 1);
    ASSERT_EQ(secret.size(), 64u);

    for (const auto& argument : argv) {
        EXPECT_EQ(argument.find(token), std::string::npos) << argument;
        EXPECT_EQ(argument.find(secret), std::string::npos) << argument;
    }
    EXPECT_TRUE(printed.str().empty());

    // The browser started on the window's own profile ends with the engine,
    // before its run folder goes.
    EXPECT_TRUE(runner.stopped().empty());
    const std::string runFolder = std::filesystem::path(startFile).parent_path().string();
    engine.reset();
    EXPECT_EQ(runner.stopped(), std::vector<ProcessId>{100});
    EXPECT_FALSE(std::filesystem::exists(runFolder));
}

TEST_F(WebEngineTest, ABrowserTheWindowIsHandedToStays)
{
    options.browser = "firefox";
    CreateEngine();
    engine->ShowWindow(window);
    ASSERT_EQ(runner.started().size(), 1u);
    engine.reset();
    EXPECT_TRUE(runner.stopped().empty());
}

TEST_F(WebEngineTest, ArchiveItemsAreServedWhateverTheLetterCase)
{
    OpenPage();
    for (const std::string target : {"/app/tis/asynmsgbox.tis", "/app/TIS/AsynMsgBox.tis", "/app/tis/AsynMsgBox.tis?x=1"}) {
        SCOPED_TRACE(target);
        const auto reply = client->Get(target);
        EXPECT_EQ(reply.status, 200u);
        EXPECT_EQ(reply.headers.at("content-type"), "text/javascript; charset=utf-8");
        EXPECT_NE(reply.body.find("function AsynMsgBox"), std::string::npos);
    }
    EXPECT_EQ(client->Get("/app/tis/jp.tis").status, 404u);
    EXPECT_EQ(client->Get("/app/").status, 404u);
    EXPECT_EQ(client->Get("/app/%zz").status, 404u);
    EXPECT_EQ(client->Get("/elsewhere").status, 404u);
}

TEST_F(WebEngineTest, PagesCarryTheRuntimeAndAStrictPolicy)
{
    OpenPage();
    const auto page = client->Get("/app/index.html");
    ASSERT_EQ(page.status, 200u);
    EXPECT_TRUE(page.body.starts_with("<html><script src=\"/engine/runtime.js\"></script><body>Index</body></html>"));
    EXPECT_EQ(page.headers.at("x-content-type-options"), "nosniff");
    const std::string& policy = page.headers.at("content-security-policy");
    EXPECT_NE(policy.find("script-src 'self';"), std::string::npos) << policy;
    EXPECT_EQ(policy.find("unsafe-eval"), std::string::npos) << policy;
    EXPECT_EQ(page.headers.count("access-control-allow-origin"), 0u);

    const auto runtime = client->Get("/engine/runtime.js");
    EXPECT_EQ(runtime.status, 200u);
    EXPECT_NE(runtime.body.find("/engine/socket"), std::string::npos);
}

TEST_F(WebEngineTest, MalformedMessagesLeaveTheServerServing)
{
    OpenPage();
    RunLoop();
    const std::vector<std::string> malformed = {
        "", "{", "[]", "42", "null", "\"text\"", "{\"type\":7}", "{\"type\":\"call\"}",
        "{\"type\":\"call\",\"id\":-1,\"name\":\"Add\"}", "{\"type\":\"call\",\"id\":1,\"name\":\"Add\",\"args\":{}}",
        "{\"type\":\"answer\",\"id\":\"x\"}", "{\"type\":\"answer\",\"id\":99999,\"value\":1}",
        "{\"type\":\"service\",\"id\":1}", "{\"type\":\"service\",\"id\":1,\"op\":\"nope\"}",
        "{\"type\":\"unknown\"}", std::string(100000, '[') + std::string(100000, ']'),
        "{\"type\":\"call\",\"id\":1,\"name\":\"Echo\",\"args\":[1e400]}",
    };
    for (int i = 0; i < 1000; ++i)
        client->SendText(malformed[i % malformed.size()]);
    client->SendBinary(std::string("\x00\x01", 2));
    // Messages are read in order: the answer to this call comes after all.
    const auto sum = client->Call("Add", {{2, 3}});
    ASSERT_TRUE(sum.has_value());
    EXPECT_EQ((*sum)["value"], 5);
    EXPECT_TRUE(client->WaitFor([](const nlohmann::json& m) { return m.value("type", "") == "error"; },
                                std::chrono::seconds(0)));
    EXPECT_EQ(client->Get("/app/index.html").status, 200u);
}

TEST_F(WebEngineTest, AnOversizedOrBrokenFrameClosesOnlyItsSocket)
{
    options.limits.maxMessageBytes = 4096;
    options.reconnectGrace = std::chrono::seconds(30);
    OpenPage();
    RunLoop();
    const std::vector<std::string> fatal = {
        "{\"type\":\"call\",\"id\":1,\"name\":\"Echo\",\"args\":[\"" + std::string(8192, 'a') + "\"]}",
        "\xff\xfe{}", // a text frame must be UTF-8
    };
    for (const auto& frame : fatal) {
        client->SendText(frame);
        EXPECT_TRUE(client->WaitClosed());
        EXPECT_EQ(client->Get("/app/index.html").status, 200u);
        ASSERT_EQ(client->OpenSocket(), 101u);
        const auto echoed = client->Call("Echo", {"still here"});
        ASSERT_TRUE(echoed.has_value());
        EXPECT_EQ((*echoed)["value"], "still here");
    }
}

} // namespace
} // namespace lockora::engine::web
