// The engine without network or browser, for tests of everything that
// crosses the script bridge.
//
// It has one window and plays the page's part on the test's command: tests
// define page functions as C++ callables, call native functions by name and
// arguments as a page script would, request data as the page's links would,
// and close the window as the page does when it closes itself.
//
// Threads: the thread that drives the page side (CallNative, RequestData,
// LoadFile, CloseWindow) is the UI thread, either the test's own thread or
// the one running RunMessageLoop. CallFunction and PostTask may come from any
// thread. A page function runs on the thread that calls it, which waits for
// its answer as a caller of the real engine waits for the page; a callable
// that wants to call native code posts that call with PostTask, because a
// page's native calls run on the UI thread.
#pragma once

#include "bridge/engine.h"
#include "engine/archive_table.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lockora::engine {

class HeadlessEngine final : public bridge::Engine {
public:
    // A page-script function. One that throws reports a script error whose
    // text is the exception's message.
    using PageFunction = std::function<bridge::ScriptValue(const bridge::ScriptValue& argument)>;
    using Task = std::function<void()>;

    // How the host answered a data request.
    struct DataResult {
        bridge::DataAnswer answer = bridge::DataAnswer::Discard;
        std::optional<std::vector<std::uint8_t>> bytes; // what it served through DataReady
    };
    struct PageLoad {
        std::u16string url;
        DataResult data;
    };

    bridge::ArchiveId OpenArchive(std::span<const std::uint8_t> block) override;
    std::optional<std::span<const std::uint8_t>> GetArchiveItem(bridge::ArchiveId archive,
                                                                std::u16string_view path) override;
    void CloseArchive(bridge::ArchiveId archive) override;

    // The one window; 0 for any later call, or once creation is refused.
    bridge::WindowId CreateMainWindow(bridge::EngineHost& host) override;
    // Records the URL and asks the host for the page's data; false when the
    // window does not exist or is gone.
    bool LoadFile(bridge::WindowId window, std::u16string_view url) override;
    void DataReady(bridge::WindowId window, std::u16string_view uri, std::span<const std::uint8_t> bytes) override;
    void ShowWindow(bridge::WindowId window) override;
    bridge::PageCallResult CallFunction(bridge::WindowId window, std::string_view name,
                                const bridge::ScriptValue& argument) override;
    // Runs posted tasks in order until the window is gone (at once when there
    // is none); returns 0. Tasks still queued then are not run.
    int RunMessageLoop() override;

    // The page side.
    void DefinePageFunction(std::string name, PageFunction function);
    // Calls the native function `name` as the page's view would: the host's
    // value, or nullopt when the host does not handle the call or there is no
    // window.
    std::optional<bridge::ScriptValue> CallNative(std::string_view name,
                                                  std::vector<bridge::ScriptValue> arguments = {});
    // A data request of the page (a linked script or image).
    DataResult RequestData(std::u16string_view uri);
    // The page closes its window: later calls find no window, the host hears
    // OnWindowDestroyed once, and the message loop ends.
    void CloseWindow();
    void PostTask(Task task);
    // Makes CreateMainWindow fail, as when the engine cannot make a window.
    void RefuseWindowCreation();

    // What the host did.
    bool IsWindowOpen() const;
    bool IsShown() const;
    std::vector<PageLoad> Loads() const;

private:
    bool WindowOpenLocked() const { return host_ != nullptr; }
    // The host of `window` when it is this engine's open window.
    bridge::EngineHost* HostOf(bridge::WindowId window) const;

    static constexpr bridge::WindowId kWindowId = 1;

    ArchiveTable archives_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool windowCreated_ = false;
    bridge::EngineHost* host_ = nullptr; // null before creation and once the window is gone
    bool refuseWindow_ = false;
    bool shown_ = false;
    std::vector<PageLoad> loads_;
    std::map<std::string, PageFunction, std::less<>> pageFunctions_;
    std::deque<Task> tasks_;
    // The data request in progress and what DataReady served for it.
    std::u16string requestUri_;
    std::optional<std::vector<std::uint8_t>> served_;
};

} // namespace lockora::engine
