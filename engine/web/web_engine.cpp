#include "engine/web/web_engine.h"

#include "engine/web/page_content.h"
#include "engine/web/runtime_script.h"
#include "engine/web/runtime_services.h"
#include "engine/web/wire.h"
#include "platform/terminal.h"
#include "platform/text.h"

#include <cstdlib>
#include <iostream>
#include <utility>

namespace lockora::engine::web {
namespace {

constexpr bridge::WindowId kMainWindow = 1;
constexpr std::u16string_view kAppScheme = u"this://app/";

// The data request being answered on this thread: DataReady fills it.
struct DataCapture {
    const std::u16string* uri = nullptr;
    std::optional<std::string> bytes;
};
thread_local DataCapture* t_capture = nullptr;

using nlohmann::json;

std::optional<std::string> StringField(const json& message, const char* key)
{
    const auto at = message.find(key);
    if (at == message.end() || !at->is_string())
        return std::nullopt;
    return at->get<std::string>();
}

std::optional<std::uint64_t> IdField(const json& message)
{
    const auto at = message.find("id");
    if (at == message.end() || !at->is_number_unsigned())
        return std::nullopt;
    return at->get<std::uint64_t>();
}

// "this://app/a b.html" as the server path "/app/a%20b.html"; nothing for
// another scheme.
std::optional<std::string> ServerPath(std::u16string_view url)
{
    if (!url.starts_with(kAppScheme))
        return std::nullopt;
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string path = "/app/";
    for (const char c : platform::Utf16ToUtf8(url.substr(kAppScheme.size()))) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte > 0x20 && byte < 0x7F && c != '%' && c != '"' && c != '#' && c != '?' && c != '\\') {
            path.push_back(c);
        } else {
            path.push_back('%');
            path.push_back(kHex[byte >> 4]);
            path.push_back(kHex[byte & 0xF]);
        }
    }
    return path;
}

std::optional<std::string> BrowserSetting()
{
    const char* setting = std::getenv("LOCKORA_BROWSER");
    return setting ? std::optional<std::string>(setting) : std::nullopt;
}

// The data request behind a server path ("/app/a%20b.html").
std::u16string ItemUri(std::string_view serverPath)
{
    const auto item = PercentDecode(serverPath.substr(std::string_view("/app/").size()));
    return std::u16string(kAppScheme) + platform::Utf8ToUtf16(item.value_or(""));
}

bool SamePage(std::string_view a, std::string_view b)
{
    // Archive lookup ignores letter case, so the page's address does too.
    return platform::EqualsNoCase(platform::Utf8ToUtf16(a), platform::Utf8ToUtf16(b));
}

// The one-time address may be printed to a stream a caller hands in, or to
// standard output when that is a terminal; a desktop launcher sends it to
// the system journal otherwise.
bool PrintsAddress(const WebEngineOptions& options)
{
    return options.out != nullptr || platform::IsTerminal(platform::StandardStream::Output);
}

} // namespace

platform::Result<std::unique_ptr<WebEngine>> WebEngine::Create(WebEngineOptions options)
{
    auto server = WebServer::Listen(options.limits);
    PLATFORM_TRY(server);
    auto gate = SessionGate::Create((*server)->Port());
    PLATFORM_TRY(gate);
    std::unique_ptr<WebEngine> engine(
        new WebEngine(std::move(options), std::move(server).value(), std::move(gate).value()));
    engine->server_->Start(*engine);
    return engine;
}

WebEngine::WebEngine(WebEngineOptions options, std::unique_ptr<WebServer> server, SessionGate gate)
    : options_(std::move(options)), ownRunner_(options_.processRunner ? nullptr : MakeSystemProcessRunner()),
      launcher_(options_.processRunner ? *options_.processRunner : *ownRunner_,
                options_.out ? *options_.out : std::cout, options_.browser ? options_.browser : BrowserSetting(),
                PrintsAddress(options_)),
      link_(uiQueue_,
            [this](ConnectionId connection, std::string message) { server_->Send(connection, std::move(message)); },
            options_.pageWait),
      gate_(std::move(gate)), port_(server->Port()), router_(gate_, *this, port_),
      server_(std::move(server))
{
    previousMessageBox_ = platform::SetMessageBoxHandler(
        [this](const std::u16string& text, const std::u16string& caption, std::uint32_t type) {
            return ShowMessageBox(text, caption, type);
        });
}

WebEngine::~WebEngine()
{
    // Before the run folder with its profile goes.
    launcher_.CloseOwnWindow();
    platform::SetMessageBoxHandler(std::move(previousMessageBox_));
    // Nobody may wait for a page that will never answer.
    link_.OnWindowGone();
    server_.reset();
}

// ---- archive ----

bridge::ArchiveId WebEngine::OpenArchive(std::span<const std::uint8_t> block)
{
    return archives_.Open(block);
}

std::optional<std::span<const std::uint8_t>> WebEngine::GetArchiveItem(bridge::ArchiveId archive,
                                                                      std::u16string_view path)
{
    return archives_.Item(archive, path);
}

void WebEngine::CloseArchive(bridge::ArchiveId archive)
{
    archives_.Close(archive);
}

// ---- window ----

bridge::WindowId WebEngine::CreateMainWindow(bridge::EngineHost& host)
{
    bridge::EngineHost* expected = nullptr;
    return host_.compare_exchange_strong(expected, &host) ? kMainWindow : 0;
}

bool WebEngine::LoadFile(bridge::WindowId window, std::u16string_view url)
{
    if (window != kMainWindow || !host_.load())
        return false;
    auto path = ServerPath(url);
    if (!path)
        return false;
    bool shown = false;
    {
        std::lock_guard lock(mutex_);
        if (gone_)
            return false;
        pagePath_ = *path;
        shown = shown_;
    }
    // A shown window navigates; calls made from now on wait for the new page.
    if (shown) {
        if (const auto old = link_.Detach())
            server_->Send(*old, Serialize({{"type", "navigate"}, {"url", *path}}));
    }
    return true;
}

void WebEngine::DataReady(bridge::WindowId window, std::u16string_view uri, std::span<const std::uint8_t> bytes)
{
    if (window != kMainWindow || !t_capture || *t_capture->uri != uri)
        return;
    t_capture->bytes.emplace(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void WebEngine::ShowWindow(bridge::WindowId window)
{
    std::string page;
    {
        std::lock_guard lock(mutex_);
        if (window != kMainWindow || shown_ || gone_)
            return;
        shown_ = true;
        page = pagePath_;
    }
    WindowLaunch launch;
    launch.startAddress = router_.StartAddress();
    if (const auto html = ReadItem(ItemUri(page))) {
        const WindowSize size = RequestedWindowSize(*html);
        launch.width = size.width;
        launch.height = size.height;
    } else {
        launch.width = WindowSize{}.width;
        launch.height = WindowSize{}.height;
    }
    auto folder = RunFolder::Create();
    if (folder.ok()) {
        runFolder_.emplace(std::move(folder).value());
        auto startFile = runFolder_->WriteStartFile(launch.startAddress);
        if (startFile.ok()) {
            launch.startFile = std::move(startFile).value();
            launch.profileFolder = runFolder_->ProfileFolder();
            launcher_.Launch(launch);
            return;
        }
    }
    // No private start file: nothing may be launched on the address itself.
    std::ostream& out = options_.out ? *options_.out : std::cout;
    if (PrintsAddress(options_))
        out << launch.startAddress << std::endl;
    else
        out << "The window cannot be opened: no private start file could be written" << std::endl;
}

bridge::PageCallResult WebEngine::CallFunction(bridge::WindowId window, std::string_view name,
                                               const bridge::ScriptValue& argument)
{
    if (window != kMainWindow)
        return {true, {}};
    auto answer = link_.Call(name, argument, CallTarget::PageFunction);
    return answer ? std::move(*answer) : bridge::PageCallResult{true, {}};
}

int WebEngine::RunMessageLoop()
{
    link_.SetUiThread(std::this_thread::get_id());
    return uiQueue_.Run();
}

void WebEngine::WindowGone()
{
    {
        std::lock_guard lock(mutex_);
        if (gone_)
            return;
        gone_ = true;
    }
    link_.OnWindowGone();
    uiQueue_.Post([this] {
        if (auto* host = host_.load())
            host->OnWindowDestroyed(kMainWindow);
        uiQueue_.Quit(0);
    });
}

int WebEngine::ShowMessageBox(const std::u16string& text, const std::u16string& caption, std::uint32_t type)
{
    const bridge::ScriptValue argument = bridge::ScriptValue::Array(
        {bridge::ScriptValue::String(text), bridge::ScriptValue::String(caption),
         bridge::ScriptValue::Int(static_cast<std::int32_t>(type))});
    const auto answer = link_.Call("messageBox", argument, CallTarget::RuntimeFunction);
    if (answer && answer->ok && answer->value.IsInt())
        return answer->value.GetInt();
    // No page to show it on: logged and answered as Enter would.
    std::cerr << platform::Utf16ToUtf8(caption) << ": " << platform::Utf16ToUtf8(text) << std::endl;
    return platform::DefaultMessageBoxButton(type);
}

// ---- pages ----

std::optional<std::string> WebEngine::ReadItem(const std::u16string& uri)
{
    auto* host = host_.load();
    if (!host)
        return std::nullopt;
    DataCapture capture{&uri, std::nullopt};
    t_capture = &capture;
    const bridge::DataAnswer answer = host->OnDataRequest(kMainWindow, uri);
    t_capture = nullptr;
    // "Handled" without data leaves the load to the engine, which has no
    // other source: the item is missing either way.
    if (answer == bridge::DataAnswer::Discard)
        return std::nullopt;
    return std::move(capture.bytes);
}

std::string WebEngine::CurrentPagePath()
{
    std::lock_guard lock(mutex_);
    return pagePath_;
}

std::string_view WebEngine::RuntimeScript()
{
    return EmbeddedRuntimeScript();
}

// ---- network ----

RouteDecision WebEngine::Route(const HttpRequest& request)
{
    return router_.Route(request);
}

void WebEngine::OnSocketOpened(ConnectionId connection)
{
    std::lock_guard lock(mutex_);
    sockets_.insert(connection);
    ++socketGeneration_;
}

void WebEngine::OnSocketClosed(ConnectionId connection)
{
    link_.OnConnectionClosed(connection);
    std::lock_guard lock(mutex_);
    sockets_.erase(connection);
    if (!sockets_.empty() || gone_)
        return;
    // A page that navigates closes its socket before the next page opens
    // one; only a window without any socket for the whole grace is gone.
    const std::uint64_t generation = ++socketGeneration_;
    uiQueue_.PostAfter(options_.reconnectGrace, [this, generation] {
        {
            std::lock_guard lock(mutex_);
            if (generation != socketGeneration_)
                return;
        }
        WindowGone();
    });
}

void WebEngine::OnPageReady(ConnectionId connection, const std::string& page)
{
    std::string expected;
    {
        std::lock_guard lock(mutex_);
        expected = pagePath_;
    }
    // A page that loaded before the window moved on is sent on, not used.
    if (!SamePage(page, expected)) {
        server_->Send(connection, Serialize({{"type", "navigate"}, {"url", expected}}));
        return;
    }
    // The window's page is the first that said ready; another socket of the
    // same session (a second tab, say) would take the page's calls away.
    if (!link_.OnPageReady(connection))
        server_->Close(connection);
}

void WebEngine::SendError(ConnectionId connection, std::optional<std::uint64_t> id, std::string_view text)
{
    json message{{"type", "error"}, {"message", std::string(text)}};
    if (id)
        message["id"] = *id;
    server_->Send(connection, Serialize(message));
}

void WebEngine::OnSocketMessage(ConnectionId connection, std::string text, bool isText)
{
    if (!isText) {
        SendError(connection, std::nullopt, "binary messages are not accepted");
        return;
    }
    const auto message = ParseMessage(text);
    if (!message) {
        SendError(connection, std::nullopt, "malformed message");
        return;
    }
    const auto type = StringField(*message, "type");
    const auto id = IdField(*message);
    if (type == "ready") {
        OnPageReady(connection, StringField(*message, "page").value_or(""));
    } else if (type == "call") {
        const auto name = StringField(*message, "name");
        const auto args = message->find("args");
        const bool argsValid = args == message->end() || args->is_array();
        if (!id || !name || !argsValid) {
            SendError(connection, id, "malformed call");
            return;
        }
        std::vector<bridge::ScriptValue> arguments;
        if (args != message->end()) {
            for (const auto& argument : *args)
                arguments.push_back(FromJson(argument));
        }
        uiQueue_.Post([this, connection, id = *id, name = *name, arguments = std::move(arguments)] {
            RunScriptCall(connection, id, name, arguments);
        });
    } else if (type == "answer") {
        if (!id) {
            SendError(connection, std::nullopt, "malformed answer");
            return;
        }
        if (const auto error = StringField(*message, "error"))
            link_.OnAnswer(connection, *id, {false, bridge::ScriptValue::ErrorString(platform::Utf8ToUtf16(*error))});
        else
            link_.OnAnswer(connection, *id, {true, FromJson(message->value("value", json()))});
    } else if (type == "service") {
        const auto op = StringField(*message, "op");
        if (!id || !op) {
            SendError(connection, id, "malformed service request");
            return;
        }
        json args = message->value("args", json::array());
        uiQueue_.Post([this, connection, id = *id, op = *op, args = std::move(args)] {
            json answer = RunService(op, args, launcher_);
            answer["type"] = "result";
            answer["id"] = id;
            server_->Send(connection, Serialize(answer));
        });
    } else if (type == "close") {
        WindowGone();
    } else {
        SendError(connection, id, "unknown message type");
    }
}

void WebEngine::RunScriptCall(ConnectionId connection, std::uint64_t id, const std::string& name,
                              const std::vector<bridge::ScriptValue>& arguments)
{
    json answer{{"type", "result"}, {"id", id}};
    auto* host = host_.load();
    bridge::ScriptValue result;
    try {
        if (host && host->OnScriptCall(kMainWindow, name, arguments, result))
            answer["value"] = ToJson(result);
        else
            answer["error"] = "no native function " + name + " with " + std::to_string(arguments.size()) +
                              " argument(s)";
    } catch (const std::exception& error) {
        // A failing native function answers the page; the loop goes on.
        answer["error"] = error.what();
    }
    server_->Send(connection, Serialize(answer));
}

} // namespace lockora::engine::web
