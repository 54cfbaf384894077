// The start of the program once the engine is there: log folder, UI archive,
// main window, first page chosen by the command line, message loop.
#pragma once

#include "bridge/engine.h"

#include <cstdint>
#include <functional>
#include <span>

namespace lockora::app {

// Exit codes besides the message loop's value.
inline constexpr int kExitEngineMissing = -1;
inline constexpr int kExitOtherInstance = 1;

// Runs the program on `engine` with the UI archive `uiArchive` and the
// command line in g_commandLine; `runMessageLoop` runs the engine's loop and
// returns its quit value, which becomes the exit code. With a command line
// and another instance running, returns kExitOtherInstance at once, without a
// page. When the engine cannot create the window there is nothing that could
// end a loop: returns kExitEngineMissing without running it.
int AppMain(bridge::Engine& engine, std::span<const std::uint8_t> uiArchive, const std::function<int()>& runMessageLoop);

} // namespace lockora::app
