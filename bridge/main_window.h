// What the script functions and the workers need of the one main window:
// the busy code of the long operations and the call of a page function.
//
// MainFrame (app/) implements it and registers itself once during its
// construction; tests register their own. Subsystems reach it through
// MainWindow::Get(), the way the workers reach g_mainFrame, so nothing below
// app/ includes app/.
#pragma once

#include "bridge/script_value.h"

#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace lockora::bridge {

// Busy codes of the long operations (`busyCode`).
enum BusyCode : std::int32_t {
    kIdle = 0,
    kEncrypting = 1,
    kDecrypting = 2,
    kDeleting = 3,
};

// A page function failed with a script error; what() is its error text.
class PageScriptError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class MainWindow {
public:
    virtual ~MainWindow() = default;

    // Calls the global page function `name` of the main window's page with
    // one argument and returns its value. Callable from any thread; returns
    // undefined once the window is gone. Throws PageScriptError when the
    // page function fails with a script error.
    virtual ScriptValue CallPageFunction(std::string_view name, const ScriptValue& argument) = 0;

    // 0 idle, 1 encrypting, 2 decrypting, 3 deleting. Set by the starting
    // script function on the UI thread, cleared by the worker before it sends
    // its finish message.
    std::atomic<std::int32_t>& busyCode() { return busyCode_; }

    // The registered main window (g_mainFrame); nullptr before registration.
    static MainWindow* Get();
    // Registers the main window; tests register their own and clear it again.
    static void Register(MainWindow* window);

private:
    std::atomic<std::int32_t> busyCode_{kIdle};
};

} // namespace lockora::bridge
