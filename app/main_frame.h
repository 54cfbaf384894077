// The one main window: the engine window that shows the pages, the host of
// its data requests and script calls, and the owner of the settings record,
// the icon cache, the busy code and the native function table.
#pragma once

#include "bridge/engine.h"
#include "bridge/function_table.h"
#include "bridge/main_window.h"
#include "bridge/notify.h"
#include "browse/icon_cache.h"
#include "settings/settings_holder.h"

#include <atomic>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

namespace lockora::app {

class MainFrame final : public bridge::EngineHost, public bridge::MainWindow {
public:
    // Creates the engine window (hidden) and loads the settings, registers
    // itself as the main window, opens the diagnostic log with its start line
    // and installs the notification delivery. `archive` stays open while the
    // frame lives. UI thread.
    MainFrame(bridge::Engine& engine, bridge::ArchiveId archive);
    // Unregisters the frame and puts the previous notification delivery back.
    ~MainFrame() override;
    MainFrame(const MainFrame&) = delete;
    MainFrame& operator=(const MainFrame&) = delete;

    // Answers data requests and script calls from the first call on, then
    // loads `url`; false when the engine refuses it.
    bool LoadPage(std::u16string_view url);

    // 0 when the window could not be created or is gone.
    bridge::WindowId Window() const { return window_.load(std::memory_order_acquire); }

    browse::IconCache& Icons() { return icons_; }
    settings::SettingsHolder& Settings() { return settings_; }
    bridge::FunctionTable& Functions() { return functions_; }

    // Any thread. Undefined once the window is gone, without reaching the
    // engine; PageScriptError when the page function fails with a script error.
    bridge::ScriptValue CallPageFunction(std::string_view name, const bridge::ScriptValue& argument) override;

    // bridge::EngineHost
    bridge::DataAnswer OnDataRequest(bridge::WindowId window, const std::u16string& uri) override;
    bool OnScriptCall(bridge::WindowId window, std::string_view name, std::span<const bridge::ScriptValue> arguments,
                      bridge::ScriptValue& result) override;
    // Clears the window and saves the settings, once.
    void OnWindowDestroyed(bridge::WindowId window) override;

private:
    bridge::DataAnswer ServeArchiveItem(bridge::WindowId window, const std::u16string& uri);
    // The installed NotifyUI delivery, on the notifying thread.
    void DeliverNotification(const bridge::ScriptValue& message);

    bridge::Engine& engine_;
    const bridge::ArchiveId archive_;
    // Set by the first LoadPage; data requests come from engine threads.
    std::atomic<bool> bound_{false};
    std::atomic<bridge::WindowId> window_;
    browse::IconCache icons_;
    settings::SettingsHolder settings_; // loads on construction
    bridge::FunctionTable functions_;
    bridge::NotifyDelivery previousDelivery_;
    std::once_flag saved_;
};

} // namespace lockora::app
