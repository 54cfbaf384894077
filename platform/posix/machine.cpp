#include "platform/errors.h"
#include "platform/system.h"

#include <string_view>
#include <sys/utsname.h>

namespace platform {

std::uint16_t NativeProcessorArchitecture()
{
    // The kernel's machine name describes the hardware, whatever this build
    // was compiled for.
    struct utsname names {};
    if (::uname(&names) != 0)
        return kProcessorArchitectureUnknown;
    const std::string_view machine = names.machine;
    if (machine == "x86_64" || machine == "amd64")
        return kProcessorArchitectureAmd64;
    if (machine == "aarch64" || machine == "arm64")
        return kProcessorArchitectureArm64;
    if (machine == "ia64")
        return kProcessorArchitectureIa64;
    if (machine.size() == 4 && machine[0] == 'i' && machine.substr(2) == "86")
        return kProcessorArchitectureIntel;
    if (machine.starts_with("arm"))
        return kProcessorArchitectureArm;
    return kProcessorArchitectureUnknown;
}

Result<NtVersionNumbers> GetNtVersionNumbers()
{
    return Error(kErrorProcNotFound);
}

} // namespace platform
