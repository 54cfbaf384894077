#include "bridge/notify.h"

#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace lockora::bridge {
namespace {

// The delivery is shared, so a notifying thread keeps the callable alive
// while another thread replaces it, and calls it without holding the lock.
struct DeliverySlot {
    std::mutex mutex;
    std::shared_ptr<const NotifyDelivery> delivery;
};

DeliverySlot& Slot()
{
    static DeliverySlot slot;
    return slot;
}

} // namespace

ScriptValue BuildNotifyMessage(std::int32_t msgId, std::u16string_view text, std::int32_t number)
{
    ScriptValue param;
    switch (msgId) {
    case MSG_SET_PRGRRESS:
    case MSG_SHOW_ERROR_INFO:
    case MSG_SET_DEL_PRGRRESS:
    case MSG_DENCRYPT_FAILED:
        param = ScriptValue::Array({ScriptValue::String(std::u16string(text)), ScriptValue::Int(number)});
        break;
    case MSG_ENCRYPT_FAILED:
    case MSG_ITEM_WRITTEN:
        param = ScriptValue::Array({ScriptValue::String(std::u16string(text))});
        break;
    case MSG_BACKUP_FILE_NAME_EXIST:
        param = ScriptValue::String(std::u16string(text));
        break;
    default:
        break;
    }
    return ScriptValue::Array({ScriptValue::Int(msgId), std::move(param)});
}

int NotifyUI(std::int32_t msgId, std::u16string_view text, std::int32_t number)
{
    std::shared_ptr<const NotifyDelivery> delivery;
    {
        auto& slot = Slot();
        std::lock_guard lock(slot.mutex);
        delivery = slot.delivery;
    }
    if (delivery)
        (*delivery)(BuildNotifyMessage(msgId, text, number));
    return 0;
}

NotifyDelivery InstallNotifyUI(NotifyDelivery delivery)
{
    std::shared_ptr<const NotifyDelivery> replacement;
    if (delivery)
        replacement = std::make_shared<const NotifyDelivery>(std::move(delivery));
    {
        auto& slot = Slot();
        std::lock_guard lock(slot.mutex);
        std::swap(slot.delivery, replacement);
    }
    return replacement ? *replacement : NotifyDelivery{};
}

} // namespace lockora::bridge
