#include "platform/common/backend.h"
#include "platform/power.h"

#include "platform/errors.h"
#include "platform/posix/errno_error.h"

#include <cerrno>
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

} // namespace

namespace backend {

std::shared_ptr<PowerController> MakeSystemPowerController()
{
    return std::make_shared<SystemctlPowerController>();
}

} // namespace backend
} // namespace platform
