#include "engine/headless/headless_engine.h"

#include "platform/text.h"

#include <exception>
#include <utility>

namespace lockora::engine {

using bridge::ScriptValue;

bridge::ArchiveId HeadlessEngine::OpenArchive(std::span<const std::uint8_t> block)
{
    return archives_.Open(block);
}

std::optional<std::span<const std::uint8_t>> HeadlessEngine::GetArchiveItem(bridge::ArchiveId archive,
                                                                             std::u16string_view path)
{
    return archives_.Item(archive, path);
}

void HeadlessEngine::CloseArchive(bridge::ArchiveId archive)
{
    archives_.Close(archive);
}

bridge::WindowId HeadlessEngine::CreateMainWindow(bridge::EngineHost& host)
{
    std::lock_guard lock(mutex_);
    if (windowCreated_ || refuseWindow_)
        return 0;
    windowCreated_ = true;
    host_ = &host;
    return kWindowId;
}

bool HeadlessEngine::LoadFile(bridge::WindowId window, std::u16string_view url)
{
    if (HostOf(window) == nullptr)
        return false;
    PageLoad load{std::u16string(url), RequestData(url)};
    std::lock_guard lock(mutex_);
    loads_.push_back(std::move(load));
    return true;
}

void HeadlessEngine::DataReady(bridge::WindowId window, std::u16string_view uri, std::span<const std::uint8_t> bytes)
{
    std::lock_guard lock(mutex_);
    if (window == kWindowId && uri == requestUri_)
        served_.emplace(bytes.begin(), bytes.end());
}

void HeadlessEngine::ShowWindow(bridge::WindowId window)
{
    std::lock_guard lock(mutex_);
    if (window == kWindowId && WindowOpenLocked())
        shown_ = true;
}

bridge::PageCallResult HeadlessEngine::CallFunction(bridge::WindowId window, std::string_view name,
                                                    const ScriptValue& argument)
{
    PageFunction function;
    {
        std::lock_guard lock(mutex_);
        if (window != kWindowId || !WindowOpenLocked())
            return {false, ScriptValue()};
        const auto found = pageFunctions_.find(name);
        if (found == pageFunctions_.end())
            return {false, ScriptValue::ErrorString(u"no page function " + platform::Utf8ToUtf16(name))};
        // A copy, so the callable runs without the lock and other threads
        // can call at the same time.
        function = found->second;
    }
    try {
        return {true, function(argument)};
    } catch (const std::exception& error) {
        return {false, ScriptValue::ErrorString(platform::Utf8ToUtf16(error.what()))};
    }
}

int HeadlessEngine::RunMessageLoop()
{
    std::unique_lock lock(mutex_);
    while (WindowOpenLocked()) {
        wake_.wait(lock, [this] { return !tasks_.empty() || !WindowOpenLocked(); });
        if (!WindowOpenLocked())
            break;
        Task task = std::move(tasks_.front());
        tasks_.pop_front();
        lock.unlock();
        task();
        lock.lock();
    }
    return 0;
}

void HeadlessEngine::DefinePageFunction(std::string name, PageFunction function)
{
    std::lock_guard lock(mutex_);
    pageFunctions_.insert_or_assign(std::move(name), std::move(function));
}

std::optional<ScriptValue> HeadlessEngine::CallNative(std::string_view name, std::vector<ScriptValue> arguments)
{
    bridge::EngineHost* host = HostOf(kWindowId);
    if (host == nullptr)
        return std::nullopt;
    ScriptValue result;
    if (!host->OnScriptCall(kWindowId, name, arguments, result))
        return std::nullopt;
    return result;
}

HeadlessEngine::DataResult HeadlessEngine::RequestData(std::u16string_view uri)
{
    bridge::EngineHost* host = HostOf(kWindowId);
    if (host == nullptr)
        return {};
    {
        std::lock_guard lock(mutex_);
        requestUri_ = uri;
        served_.reset();
    }
    DataResult result;
    result.answer = host->OnDataRequest(kWindowId, std::u16string(uri));
    std::lock_guard lock(mutex_);
    result.bytes = std::exchange(served_, std::nullopt);
    requestUri_.clear();
    return result;
}

void HeadlessEngine::CloseWindow()
{
    bridge::EngineHost* host = nullptr;
    {
        std::lock_guard lock(mutex_);
        // Cleared first: the host may be gone once it has heard of the
        // destruction, and calls made meanwhile must find no window.
        host = std::exchange(host_, nullptr);
        shown_ = false;
    }
    wake_.notify_all();
    if (host != nullptr)
        host->OnWindowDestroyed(kWindowId);
}

void HeadlessEngine::PostTask(Task task)
{
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_all();
}

void HeadlessEngine::RefuseWindowCreation()
{
    std::lock_guard lock(mutex_);
    refuseWindow_ = true;
}

bool HeadlessEngine::IsWindowOpen() const
{
    std::lock_guard lock(mutex_);
    return WindowOpenLocked();
}

bool HeadlessEngine::IsShown() const
{
    std::lock_guard lock(mutex_);
    return shown_;
}

std::vector<HeadlessEngine::PageLoad> HeadlessEngine::Loads() const
{
    std::lock_guard lock(mutex_);
    return loads_;
}

bridge::EngineHost* HeadlessEngine::HostOf(bridge::WindowId window) const
{
    std::lock_guard lock(mutex_);
    return window == kWindowId ? host_ : nullptr;
}

} // namespace lockora::engine
