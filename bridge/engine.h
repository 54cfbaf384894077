// The UI engine as the system uses it.
//
// The engine shows HTML pages from the UI archive in a window, hands every
// script call of a native function to the window's host, asks the host for
// the data behind page addresses, and calls page-script functions from any
// thread. engine/ implements it twice: the web engine (a browser window
// served over loopback) and the headless engine used by tests.
#pragma once

#include "bridge/script_value.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace lockora::bridge {

// A window of the engine; 0 is "no window".
using WindowId = std::uint32_t;
// An opened archive; 0 is "none".
using ArchiveId = std::uint32_t;

// How the host answers a data request.
enum class DataAnswer : std::uint8_t {
    Handled = 0, // served through DataReady, or left to the engine to load itself
    Discard = 1, // no such data
};

// The window's host: the host callback and the event handler together.
class EngineHost {
public:
    virtual ~EngineHost() = default;

    // The engine needs the data behind `uri` ("this://app/index.html"). The
    // host answers with Engine::DataReady before it returns, or discards the
    // request. May be called on any engine thread.
    virtual DataAnswer OnDataRequest(WindowId window, const std::u16string& uri) = 0;

    // Page script called the native function `name` with `arguments`. Runs on
    // the UI thread. Returns true when handled; `result` is then the value.
    virtual bool OnScriptCall(WindowId window, std::string_view name, std::span<const ScriptValue> arguments,
                              ScriptValue& result) = 0;

    // The engine has destroyed the window. Runs on the UI thread.
    virtual void OnWindowDestroyed(WindowId window) = 0;
};

// The outcome of a page-function call: the function's value, or `ok` false
// with an error string (a script error, or no such function).
struct PageCallResult {
    bool ok = false;
    ScriptValue value;
};

class Engine {
public:
    virtual ~Engine() = default;

    // The UI archive: a block of bytes in the executable. Item names are
    // relative paths; lookup ignores letter case; the bytes stay valid while
    // the archive is open.
    virtual ArchiveId OpenArchive(std::span<const std::uint8_t> block) = 0;
    virtual std::optional<std::span<const std::uint8_t>> GetArchiveItem(ArchiveId archive, std::u16string_view path) = 0;
    virtual void CloseArchive(ArchiveId archive) = 0;

    // Creates the main window, hidden; 0 when it cannot be created.
    virtual WindowId CreateMainWindow(EngineHost& host) = 0;
    // Loads the page at `url` into the window; before the window is shown the
    // page is remembered and shown with it. False when refused.
    virtual bool LoadFile(WindowId window, std::u16string_view url) = 0;
    // Answers a data request of OnDataRequest with its bytes.
    virtual void DataReady(WindowId window, std::u16string_view uri, std::span<const std::uint8_t> bytes) = 0;
    virtual void ShowWindow(WindowId window) = 0;

    // Calls the page's global function `name` with one argument and returns
    // its value. Callable from any thread; the caller waits for the page.
    // Once the window is gone the call returns undefined at once.
    virtual PageCallResult CallFunction(WindowId window, std::string_view name, const ScriptValue& argument) = 0;

    // Runs the UI thread's message loop until the window is gone; returns the
    // quit value.
    virtual int RunMessageLoop() = 0;
};

} // namespace lockora::bridge
