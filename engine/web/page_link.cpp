#include "engine/web/page_link.h"

#include "engine/web/wire.h"

#include <utility>

namespace lockora::engine::web {

PageLink::PageLink(TaskQueue& uiQueue, Send send, std::chrono::milliseconds pageWait)
    : uiQueue_(uiQueue), send_(std::move(send)), pageWait_(pageWait)
{
    SetUiThread(std::this_thread::get_id());
}

void PageLink::SetUiThread(std::thread::id id)
{
    std::lock_guard lock(mutex_);
    uiThread_ = id;
}

bool PageLink::OnUiThread() const
{
    std::lock_guard lock(mutex_);
    return std::this_thread::get_id() == uiThread_;
}

std::string PageLink::InvokeMessage(std::uint64_t id, std::string_view name, const bridge::ScriptValue& argument,
                                    CallTarget target) const
{
    return Serialize({{"type", "invoke"},
                      {"id", id},
                      {"name", std::string(name)},
                      {"arg", ToJson(argument)},
                      {"runtime", target == CallTarget::RuntimeFunction}});
}

std::optional<bridge::PageCallResult> PageLink::Call(std::string_view name, const bridge::ScriptValue& argument,
                                                     CallTarget target)
{
    std::unique_lock lock(mutex_);
    const bool onUiThread = std::this_thread::get_id() == uiThread_;
    if (gone_)
        return std::nullopt;
    if (!page_) {
        if (onUiThread) {
            if (target == CallTarget::PageFunction)
                queued_.push_back(InvokeMessage(nextId_++, name, argument, target));
            return std::nullopt;
        }
        // No worker waits without end for a page that never comes.
        if (!changed_.wait_for(lock, pageWait_, [&] { return page_ || gone_; }) || gone_)
            return std::nullopt;
    }
    const std::uint64_t id = nextId_++;
    auto slot = std::make_shared<Slot>();
    pending_.emplace(id, Pending{*page_, slot});
    send_(*page_, InvokeMessage(id, name, argument, target));
    if (onUiThread) {
        lock.unlock();
        uiQueue_.RunUntil([&] { return slot->done.load(std::memory_order_acquire); });
        if (!slot->done.load(std::memory_order_acquire))
            return std::nullopt; // the loop quit first
    } else {
        changed_.wait(lock, [&] { return slot->done.load(std::memory_order_acquire); });
    }
    return std::move(slot->result);
}

void PageLink::Resolve(std::map<std::uint64_t, Pending>::iterator at, bridge::PageCallResult result)
{
    at->second.slot->result = std::move(result);
    at->second.slot->done.store(true, std::memory_order_release);
    pending_.erase(at);
}

bool PageLink::OnPageReady(ConnectionId connection)
{
    {
        std::lock_guard lock(mutex_);
        if (gone_)
            return true;
        if (page_ && *page_ != connection)
            return false;
        page_ = connection;
        for (auto& message : queued_)
            send_(connection, std::move(message));
        queued_.clear();
    }
    changed_.notify_all();
    return true;
}

void PageLink::OnAnswer(ConnectionId connection, std::uint64_t id, bridge::PageCallResult answer)
{
    {
        std::lock_guard lock(mutex_);
        const auto at = pending_.find(id);
        // Only the page that was asked may answer.
        if (at == pending_.end() || at->second.connection != connection)
            return;
        Resolve(at, std::move(answer));
    }
    changed_.notify_all();
    uiQueue_.Wake();
}

void PageLink::OnConnectionClosed(ConnectionId connection)
{
    {
        std::lock_guard lock(mutex_);
        if (page_ == connection)
            page_.reset();
        for (auto at = pending_.begin(); at != pending_.end();) {
            const auto next = std::next(at);
            if (at->second.connection == connection)
                Resolve(at, {true, {}});
            at = next;
        }
    }
    changed_.notify_all();
    uiQueue_.Wake();
}

std::optional<ConnectionId> PageLink::Detach()
{
    std::lock_guard lock(mutex_);
    return std::exchange(page_, std::nullopt);
}

void PageLink::OnWindowGone()
{
    {
        std::lock_guard lock(mutex_);
        gone_ = true;
        page_.reset();
        queued_.clear();
        while (!pending_.empty())
            Resolve(pending_.begin(), {true, {}});
    }
    changed_.notify_all();
    uiQueue_.Wake();
}

bool PageLink::IsGone() const
{
    std::lock_guard lock(mutex_);
    return gone_;
}

std::optional<ConnectionId> PageLink::ReadyPage() const
{
    std::lock_guard lock(mutex_);
    return page_;
}

} // namespace lockora::engine::web
