// Programs this one starts beside itself, such as the browser window, and
// the search for them.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

using ProcessId = std::int64_t;

// The processes started through one object. Each runs detached from ours:
// its standard streams go nowhere, it inherits no handle of ours, and it
// keeps running when this object goes.
class ChildProcesses {
public:
    ChildProcesses();
    ~ChildProcesses();
    ChildProcesses(const ChildProcesses&) = delete;
    ChildProcesses& operator=(const ChildProcesses&) = delete;

    // Starts argv[0] (a full path, or a name searched as FindProgram does)
    // with the arguments and does not wait for it; 0 when it cannot start.
    ProcessId Start(const std::vector<std::string>& argv);
    // Asks a process started here to end, unless it has ended already, and
    // waits up to `wait` for its end. Ids not started here are left alone.
    void Stop(ProcessId process, std::chrono::milliseconds wait);
    // Waits up to `wait` for a process started here to end; true when it
    // has ended (or is not one of ours), false when it still runs.
    bool Wait(ProcessId process, std::chrono::milliseconds wait);

private:
    struct Table;
    std::shared_ptr<Table> table_; // shared with waiters that may outlive us
};

// The full path of the program `name` found where the system looks for
// programs (PATH; on Windows also with ".exe"), or "" when there is none.
// A name with a folder in it is checked as it stands.
std::string FindProgram(const std::string& name);

// The installed browsers that can show a page as an app window (Chromium's
// --app), most preferred first, as full paths.
std::vector<std::string> AppModeBrowsers();

// The command that opens an address in the user's default browser, to be
// followed by the address; empty when the system has none.
std::vector<std::string> DefaultBrowserOpener();

} // namespace platform
