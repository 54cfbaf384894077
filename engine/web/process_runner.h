// Starting the browser and the default-browser helper as separate processes.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace lockora::engine::web {

using ProcessId = int;

class ProcessRunner {
public:
    virtual ~ProcessRunner() = default;
    // Starts argv[0] (searched in PATH) with the arguments and does not wait
    // for it; the started process, or 0 when it cannot be started.
    virtual ProcessId Start(const std::vector<std::string>& argv) = 0;
    // Asks a process this runner started to end (SIGTERM) unless it has
    // ended already, and waits up to `wait` for its end.
    virtual void Stop(ProcessId process, std::chrono::milliseconds wait) = 0;
};

// Real processes: standard output and error go to /dev/null, no descriptor
// of ours is inherited, and the process is reaped when it ends.
std::unique_ptr<ProcessRunner> MakeSystemProcessRunner();

// The full path of an executable program found in PATH, or "".
std::string FindProgram(const std::string& name);

} // namespace lockora::engine::web
