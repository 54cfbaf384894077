// Shutting down, restarting, hibernating and suspending the machine.
//
// Every action goes through the process-wide power controller. The default
// one asks the service manager (`systemctl poweroff|reboot|hibernate|
// suspend`); tests install a recorder so that nothing is ever run.
#pragma once

#include "platform/result.h"

#include <memory>

namespace platform {

enum class PowerAction {
    Shutdown,
    Restart,
    Hibernate,
    Sleep,
};

class PowerController {
public:
    virtual ~PowerController() = default;
    // Requests the action; the machine may go down before this returns.
    virtual Status Perform(PowerAction action) = 0;
};

// Requests the action from the installed controller. Callable from any thread.
Status PerformPowerAction(PowerAction action);

// Installs a controller (nullptr restores the default) and returns the
// previous one, so that tests can put it back.
std::shared_ptr<PowerController> SetPowerController(std::shared_ptr<PowerController> controller);

} // namespace platform
