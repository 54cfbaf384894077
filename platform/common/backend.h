// What each backend supplies to the shared parts of the platform layer.
#pragma once

#include "platform/power.h"
#include "platform/shell.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform::backend {

// Shows a message box with no handler installed and returns the answer.
int ShowSystemMessageBox(const std::u16string& text, const std::u16string& caption, std::uint32_t type);

// The controller that really acts on the machine.
std::shared_ptr<PowerController> MakeSystemPowerController();

// Whether one name of a path fits the file system's limit on name length.
bool NameFitsFileSystem(std::u16string_view name);

// The launcher a test installed for ShellOpen, or an empty one.
ShellOpenLauncher InstalledShellOpenLauncher();

// The running executable's full path, as the system names it.
std::u16string ExecutablePath();

// The command-line text the system gave the process, without the program
// name; used when the entry stored no arguments.
std::u16string SystemCommandLine();

// A stored argument after the first as the command-line text shows it.
std::u16string ArgumentText(const std::string& argument);

} // namespace platform::backend
