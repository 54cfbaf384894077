#include "platform/power.h"

#include "platform/common/backend.h"

#include <mutex>

namespace platform {
namespace {

struct ControllerHolder {
    std::mutex mutex;
    std::shared_ptr<PowerController> controller;
};

ControllerHolder& Holder()
{
    static ControllerHolder holder;
    return holder;
}

std::shared_ptr<PowerController> Installed()
{
    auto& holder = Holder();
    std::lock_guard lock(holder.mutex);
    if (!holder.controller)
        holder.controller = backend::MakeSystemPowerController();
    return holder.controller;
}

} // namespace

Status PerformPowerAction(PowerAction action)
{
    // The controller runs outside the lock: a recorder may be swapped while
    // an action is in flight without blocking either side.
    return Installed()->Perform(action);
}

std::shared_ptr<PowerController> SetPowerController(std::shared_ptr<PowerController> controller)
{
    auto& holder = Holder();
    std::lock_guard lock(holder.mutex);
    auto previous = std::move(holder.controller);
    holder.controller = std::move(controller);
    return previous;
}

} // namespace platform
