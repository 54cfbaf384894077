// Opening the window: a Chromium-family browser in app mode, else the
// default browser, else the address printed for the user.
//
// LOCKORA_BROWSER names the browser command to use, or "none": the address
// is then printed (machines without a display, tests) where it cannot leak:
// to a terminal, or to the stream a test hands in. Anywhere else (a desktop
// launcher sends standard output to the system journal) only the private
// start file is named.
// The browser is started on the private start file, never on an address
// that carries a secret, so no secret appears on a command line.
#pragma once

#include "engine/web/process_runner.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace lockora::engine::web {

struct WindowLaunch {
    std::string startFile;     // host path of the start file
    std::string startAddress;  // the one-time address, printed when no browser opens
    std::string profileFolder; // the browser's own profile
    int width = 0;
    int height = 0;
};

class BrowserLauncher {
public:
    // `setting` is LOCKORA_BROWSER's value (nothing when unset); `printAddress`
    // whether `out` may see the one-time address.
    BrowserLauncher(ProcessRunner& runner, std::ostream& out, std::optional<std::string> setting,
                    bool printAddress = true);

    void Launch(const WindowLaunch& launch);
    // Ends the browser that Launch started on the window's own profile, and
    // waits (a little) for it to go; a browser the window was handed to
    // (the default browser, any other named one) belongs to the user and
    // stays.
    void CloseOwnWindow();
    // Opens an http or https address in the default browser; false for any
    // other address or when nothing could open it.
    bool OpenWebAddress(const std::string& address);

    // The command line that opens the window, or nothing when the address is
    // to be printed.
    std::optional<std::vector<std::string>> Command(const WindowLaunch& launch) const;

private:
    ProcessRunner& runner_;
    std::ostream& out_;
    std::optional<std::string> setting_;
    bool printAddress_;
    ProcessId ownWindow_ = 0;
};

} // namespace lockora::engine::web
