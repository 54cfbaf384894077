// The web engine: the UI engine shown in a browser window.
//
// Pages come from the host's data requests over a loopback HTTP server;
// script calls travel both ways over a WebSocket; the main thread runs the
// engine's task queue, on which every script call of a native function runs.
#pragma once

#include "bridge/engine.h"
#include "engine/archive_table.h"
#include "engine/web/browser_launcher.h"
#include "engine/web/page_link.h"
#include "engine/web/request_router.h"
#include "engine/web/run_folder.h"
#include "engine/web/session_gate.h"
#include "engine/web/task_queue.h"
#include "engine/web/web_server.h"
#include "platform/message_box.h"
#include "platform/result.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <set>
#include <string>

namespace lockora::engine::web {

struct WebEngineOptions {
    // Starts the browser; real processes when null.
    ProcessRunner* processRunner = nullptr;
    // Stands for LOCKORA_BROWSER when set.
    std::optional<std::string> browser;
    // Where the start address is printed when no browser opens; standard
    // output when null.
    std::ostream* out = nullptr;
    // How long the window may be without a connection (a page navigating)
    // before it counts as closed.
    std::chrono::milliseconds reconnectGrace{3000};
    // How long a call from a worker waits for a page to be ready before it
    // gives up.
    std::chrono::milliseconds pageWait{30000};
    WebServer::Limits limits;
};

class WebEngine final : public bridge::Engine, private PageSource, private WebServer::Delegate {
public:
    // Starts the server on 127.0.0.1 and installs the message-box handler;
    // fails when no loopback port or no random source is available.
    static platform::Result<std::unique_ptr<WebEngine>> Create(WebEngineOptions options = {});
    ~WebEngine() override;
    WebEngine(const WebEngine&) = delete;
    WebEngine& operator=(const WebEngine&) = delete;

    std::uint16_t Port() const { return port_; }

    bridge::ArchiveId OpenArchive(std::span<const std::uint8_t> block) override;
    std::optional<std::span<const std::uint8_t>> GetArchiveItem(bridge::ArchiveId archive,
                                                               std::u16string_view path) override;
    void CloseArchive(bridge::ArchiveId archive) override;

    bridge::WindowId CreateMainWindow(bridge::EngineHost& host) override;
    bool LoadFile(bridge::WindowId window, std::u16string_view url) override;
    void DataReady(bridge::WindowId window, std::u16string_view uri, std::span<const std::uint8_t> bytes) override;
    void ShowWindow(bridge::WindowId window) override;
    bridge::PageCallResult CallFunction(bridge::WindowId window, std::string_view name,
                                        const bridge::ScriptValue& argument) override;
    int RunMessageLoop() override;

    // Ends the window as if the user had closed it: the host hears
    // OnWindowDestroyed and the message loop ends. Callable from any thread
    // (a request to stop the program).
    void RequestClose() { WindowGone(); }

private:
    WebEngine(WebEngineOptions options, std::unique_ptr<WebServer> server, SessionGate gate);

    // PageSource, on the network thread (and the UI thread for the window size).
    std::optional<std::string> ReadItem(const std::u16string& uri) override;
    std::string CurrentPagePath() override;
    std::string_view RuntimeScript() override;

    // WebServer::Delegate, on the network thread.
    RouteDecision Route(const HttpRequest& request) override;
    void OnSocketOpened(ConnectionId connection) override;
    void OnSocketMessage(ConnectionId connection, std::string message, bool text) override;
    void OnSocketClosed(ConnectionId connection) override;

    void OnPageReady(ConnectionId connection, const std::string& page);
    // On the UI thread.
    void RunScriptCall(ConnectionId connection, std::uint64_t id, const std::string& name,
                       const std::vector<bridge::ScriptValue>& arguments);
    void SendError(ConnectionId connection, std::optional<std::uint64_t> id, std::string_view text);
    // The window is gone: calls return at once and the loop ends. Any thread.
    void WindowGone();
    int ShowMessageBox(const std::u16string& text, const std::u16string& caption, std::uint32_t type);

    WebEngineOptions options_;
    std::unique_ptr<ProcessRunner> ownRunner_;
    BrowserLauncher launcher_;
    TaskQueue uiQueue_;
    PageLink link_;
    SessionGate gate_;
    std::uint16_t port_;
    RequestRouter router_;
    std::optional<RunFolder> runFolder_;
    ArchiveTable archives_;
    std::atomic<bridge::EngineHost*> host_{nullptr};
    platform::MessageBoxHandler previousMessageBox_;

    std::mutex mutex_; // guards the members below
    std::string pagePath_ = "/app/index.html";
    bool shown_ = false;
    bool gone_ = false;
    std::set<ConnectionId> sockets_;
    std::uint64_t socketGeneration_ = 0; // changes whenever a socket opens or the last one closes

    // Last, so that it is destroyed (and its thread stopped) first.
    std::unique_ptr<WebServer> server_;
};

} // namespace lockora::engine::web
