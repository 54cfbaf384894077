// Facts about the running process.
#pragma once

#include <string>

namespace platform {

// Full Windows-form path of the running executable (GetModuleFileName).
std::u16string ModuleFileName();

// Replaces the executable's path for the rest of the process, so that tests
// give every run its own folder for "config.ini", "Log" and the data folder.
void SetModuleFileName(std::u16string path);

} // namespace platform
