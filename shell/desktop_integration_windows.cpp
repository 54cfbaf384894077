#include "shell/desktop_integration.h"

namespace lockora::shell {

// Explorer reads the verbs, the file type and its icon from the registry
// entries alone.
bool InstallDesktopIntegration(const std::string&)
{
    return true;
}

void RemoveDesktopIntegration() {}

} // namespace lockora::shell
