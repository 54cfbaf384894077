#include "platform/power.h"

#include "platform/errors.h"

#include <cerrno>
#include <mutex>
#include <spawn.h>
#include <string>
#include <sys/wait.h>

extern char** environ;

namespace platform {
namespace {

const char* SystemctlVerb(PowerAction action)
{
    switch (action) {
    case PowerAction::Shutdown: return "poweroff";
    case PowerAction::Restart: return "reboot";
    case PowerAction::Hibernate: return "hibernate";
    case PowerAction::Sleep: return "suspend";
    }
    return "poweroff";
}

// systemctl only queues the job, so waiting for it is short; its exit status
// says whether the service manager accepted the request.
class SystemctlPowerController final : public PowerController {
public:
    Status Perform(PowerAction action) override
    {
        char program[] = "systemctl";
        std::string verb = SystemctlVerb(action);
        char* argv[] = {program, verb.data(), nullptr};
        pid_t child = 0;
        if (const int err = ::posix_spawnp(&child, program, nullptr, nullptr, argv, environ); err != 0)
            return Error(ErrorFromErrno(err));
        int status = 0;
        while (::waitpid(child, &status, 0) < 0) {
            if (errno != EINTR)
                return Error(ErrorFromErrno(errno));
        }
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            return Error(kErrorGenFailure);
        return Status::Success();
    }
};

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
        holder.controller = std::make_shared<SystemctlPowerController>();
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
