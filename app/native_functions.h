// Binds the native function table to the functions of the subsystems that
// own them.
#pragma once

namespace lockora::app {

class MainFrame;

// Binds every function of the table; those that need the main window's
// state (the settings record) reach it through `frame`.
void BindNativeFunctions(MainFrame& frame);

} // namespace lockora::app
