// The debug privilege, enabled once while the main window is built.
#pragma once

namespace lockora::system {

// Enables "SeDebugPrivilege" for the process; false when the privilege is
// unknown or cannot be enabled. Callers ignore the result.
bool EnableDebugPrivilege();

} // namespace lockora::system
