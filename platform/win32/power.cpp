#include "platform/common/backend.h"
#include "platform/errors.h"
#include "platform/win32/wide.h"

#include <powrprof.h>

namespace platform {
namespace {

// The caller has enabled the shutdown privilege, as the system asks of
// every program that ends a session.
class SystemPowerController final : public PowerController {
public:
    Status Perform(PowerAction action) override
    {
        constexpr DWORD kReason = SHTDN_REASON_MAJOR_APPLICATION | SHTDN_REASON_FLAG_PLANNED;
        switch (action) {
        case PowerAction::Shutdown:
            return Done(::ExitWindowsEx(EWX_SHUTDOWN | EWX_POWEROFF, kReason));
        case PowerAction::Restart:
            return Done(::ExitWindowsEx(EWX_REBOOT, kReason));
        case PowerAction::Hibernate:
            return Done(::SetSuspendState(TRUE, FALSE, FALSE));
        case PowerAction::Sleep:
            return Done(::SetSuspendState(FALSE, FALSE, FALSE));
        }
        return Error(kErrorInvalidParameter);
    }

private:
    static Status Done(BOOL succeeded)
    {
        if (!succeeded)
            return win32::LastError();
        return {};
    }
};

} // namespace

namespace backend {

std::shared_ptr<PowerController> MakeSystemPowerController()
{
    return std::make_shared<SystemPowerController>();
}

} // namespace backend
} // namespace platform
