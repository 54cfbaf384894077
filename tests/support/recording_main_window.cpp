#include "tests/support/recording_main_window.h"

namespace lockora::testing {

RecordingMainWindow::RecordingMainWindow()
{
    bridge::MainWindow::Register(this);
}

RecordingMainWindow::~RecordingMainWindow()
{
    bridge::MainWindow::Register(nullptr);
}

bridge::ScriptValue RecordingMainWindow::CallPageFunction(std::string_view name, const bridge::ScriptValue& argument)
{
    Responder responder;
    {
        std::lock_guard lock(mutex_);
        calls_.push_back({std::string(name), argument});
        if (const auto it = responders_.find(std::string(name)); it != responders_.end())
            responder = it->second;
        // Notified under the lock: a waiter may destroy this object as soon
        // as it sees the call, so nothing of it may be touched after unlocking.
        changed_.notify_all();
    }
    return responder ? responder(argument) : bridge::ScriptValue();
}

void RecordingMainWindow::Respond(const std::string& name, Responder responder)
{
    std::lock_guard lock(mutex_);
    responders_[name] = std::move(responder);
}

std::vector<PageCall> RecordingMainWindow::Calls() const
{
    std::lock_guard lock(mutex_);
    return calls_;
}

std::vector<bridge::ScriptValue> RecordingMainWindow::CallsOf(const std::string& name) const
{
    std::lock_guard lock(mutex_);
    std::vector<bridge::ScriptValue> arguments;
    for (const auto& call : calls_) {
        if (call.name == name)
            arguments.push_back(call.argument);
    }
    return arguments;
}

bool RecordingMainWindow::WaitFor(const std::function<bool(const std::vector<PageCall>&)>& done,
                                  std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return done(calls_); });
}

bool RecordingMainWindow::WaitForMessage(const std::string& name, std::int32_t id, std::chrono::milliseconds timeout)
{
    return WaitFor(
        [&](const std::vector<PageCall>& calls) {
            for (const auto& call : calls) {
                if (call.name == name && call.argument.At(0).IsInt() && call.argument.At(0).GetInt() == id)
                    return true;
            }
            return false;
        },
        timeout);
}

} // namespace lockora::testing
