// A main window for tests: it records every page-function call (name and
// argument, in order), answers them with undefined or a test's responder,
// and lets a test wait for the call it expects, with a bound.
#pragma once

#include "bridge/main_window.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace lockora::testing {

struct PageCall {
    std::string name;
    bridge::ScriptValue argument;
};

class RecordingMainWindow final : public bridge::MainWindow {
public:
    using Responder = std::function<bridge::ScriptValue(const bridge::ScriptValue&)>;

    // Registers itself as the main window; the destructor unregisters it.
    RecordingMainWindow();
    ~RecordingMainWindow() override;
    RecordingMainWindow(const RecordingMainWindow&) = delete;
    RecordingMainWindow& operator=(const RecordingMainWindow&) = delete;

    bridge::ScriptValue CallPageFunction(std::string_view name, const bridge::ScriptValue& argument) override;

    // Answers calls of `name` with the responder (it may throw PageScriptError).
    void Respond(const std::string& name, Responder responder);

    std::vector<PageCall> Calls() const;
    // Only the arguments of calls of `name`.
    std::vector<bridge::ScriptValue> CallsOf(const std::string& name) const;

    // Waits until `done` holds for the calls so far; false after `timeout`.
    bool WaitFor(const std::function<bool(const std::vector<PageCall>&)>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Waits for a call of `name` whose argument's element 0 is the int `id`
    // (a notification such as [11]); false after `timeout`.
    bool WaitForMessage(const std::string& name, std::int32_t id,
                        std::chrono::milliseconds timeout = std::chrono::seconds(20));

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<PageCall> calls_;
    std::map<std::string, Responder> responders_;
};

} // namespace lockora::testing
