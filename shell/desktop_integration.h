// The counterpart of the Explorer entries on a Linux desktop: the launcher,
// the container type with its icon, and the verbs of Dolphin, Nemo, Thunar
// and Nautilus, installed for the user who runs the program.
#pragma once

#include <string>

namespace lockora::shell {

// Installs everything for the program at the host path `program` in the
// user's data folder
// ($XDG_DATA_HOME, else ~/.local/share) and Thunar's actions in the
// configuration folder ($XDG_CONFIG_HOME, else ~/.config), replacing what an
// earlier call installed, then rebuilds the user's MIME database, and the
// launchers' type cache where the user has one, when their tools are
// installed. True when every file was written; Windows has
// nothing to install beside the registry entries, so there it is true.
bool InstallDesktopIntegration(const std::string& program);

// Removes exactly what InstallDesktopIntegration installs, the databases it
// refreshed and the folders it left empty, and nothing of the user's.
void RemoveDesktopIntegration();

} // namespace lockora::shell
