// Calls of page functions from any thread, and their answers.
//
// A call goes out over the WebSocket of the page that is ready, and the
// caller blocks until the page answers. The answer is resolved on the
// network thread, so a worker never waits for the UI thread; a UI-thread
// caller keeps running the UI queue while it waits. Before a page is ready,
// UI-thread calls are queued and delivered in order once it is (they return
// at once), and calls from other threads wait for it, at most `pageWait`.
// A call waits for its answer as long as its page's connection lives. Once
// the window is gone every call returns at once.
#pragma once

#include "bridge/engine.h"
#include "bridge/script_value.h"
#include "engine/web/task_queue.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace lockora::engine::web {

using ConnectionId = std::uint64_t;

enum class CallTarget : std::uint8_t {
    PageFunction,    // window[name] of the page
    RuntimeFunction, // a function of the engine's runtime (the message box)
};

class PageLink {
public:
    // `send` hands a message to a connection without blocking.
    using Send = std::function<void(ConnectionId, std::string)>;

    PageLink(TaskQueue& uiQueue, Send send, std::chrono::milliseconds pageWait);

    // The thread that runs the UI queue.
    void SetUiThread(std::thread::id id);
    bool OnUiThread() const;

    // Calls `name` with one argument and waits for the answer. Nothing when
    // the call was not delivered: the window is gone, or the caller is the UI
    // thread and no page is ready (a page function is then queued; a runtime
    // function is not).
    std::optional<bridge::PageCallResult> Call(std::string_view name, const bridge::ScriptValue& argument,
                                               CallTarget target);

    // The page on `connection` is ready: queued calls go out, waiting callers
    // proceed. False, and nothing changes, while another connection is the
    // ready page.
    bool OnPageReady(ConnectionId connection);
    // The page answered invocation `id` (ok with the value, or an error string).
    void OnAnswer(ConnectionId connection, std::uint64_t id, bridge::PageCallResult answer);
    // The connection is gone: its unanswered calls return undefined.
    void OnConnectionClosed(ConnectionId connection);
    // The ready page is being replaced by another; returns its connection.
    // Later calls wait (or queue) for the next page.
    std::optional<ConnectionId> Detach();
    // The window is gone: every waiting and later call returns at once.
    void OnWindowGone();

    bool IsGone() const;
    std::optional<ConnectionId> ReadyPage() const;

private:
    struct Slot {
        std::atomic<bool> done{false};
        bridge::PageCallResult result; // written before `done`
    };
    struct Pending {
        ConnectionId connection;
        std::shared_ptr<Slot> slot;
    };

    // Resolves a pending call; the caller holds the lock.
    void Resolve(std::map<std::uint64_t, Pending>::iterator at, bridge::PageCallResult result);
    std::string InvokeMessage(std::uint64_t id, std::string_view name, const bridge::ScriptValue& argument,
                              CallTarget target) const;

    TaskQueue& uiQueue_;
    Send send_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::thread::id uiThread_;
    std::chrono::milliseconds pageWait_;
    std::optional<ConnectionId> page_;
    bool gone_ = false;
    std::uint64_t nextId_ = 1;
    std::vector<std::string> queued_;
    std::map<std::uint64_t, Pending> pending_;
};

} // namespace lockora::engine::web
