#include "platform/message_box.h"

#include "platform/common/backend.h"

#include <array>
#include <mutex>

namespace platform {
namespace {

struct HandlerHolder {
    std::mutex mutex;
    MessageBoxHandler handler;
};

HandlerHolder& Holder()
{
    static HandlerHolder holder;
    return holder;
}

} // namespace

int DefaultMessageBoxButton(std::uint32_t type)
{
    // Buttons of each box type from left to right; unknown types show OK.
    static constexpr std::array<std::array<int, 3>, 7> kButtons{{
        {kIdOk, 0, 0},
        {kIdOk, kIdCancel, 0},
        {kIdAbort, kIdRetry, kIdIgnore},
        {kIdYes, kIdNo, kIdCancel},
        {kIdYes, kIdNo, 0},
        {kIdRetry, kIdCancel, 0},
        {kIdCancel, kIdTryAgain, kIdContinue},
    }};
    const std::uint32_t kind = type & kMbTypeMask;
    if (kind >= kButtons.size())
        return kIdOk;
    const auto& buttons = kButtons[kind];
    const std::uint32_t index = (type & kMbDefMask) >> 8;
    // A default beyond the last button falls back to the first, as Windows does.
    return index < buttons.size() && buttons[index] != 0 ? buttons[index] : buttons[0];
}

int MessageBox(const std::u16string& text, const std::u16string& caption, std::uint32_t type)
{
    MessageBoxHandler handler;
    {
        auto& holder = Holder();
        std::lock_guard lock(holder.mutex);
        handler = holder.handler;
    }
    // The handler blocks until the user answers, so it runs outside the lock.
    if (handler)
        return handler(text, caption, type);
    return backend::ShowSystemMessageBox(text, caption, type);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler)
{
    auto& holder = Holder();
    std::lock_guard lock(holder.mutex);
    auto previous = std::move(holder.handler);
    holder.handler = std::move(handler);
    return previous;
}

} // namespace platform
