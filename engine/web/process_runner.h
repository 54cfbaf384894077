// Starting the browser and the default-browser helper as separate processes.
#pragma once

#include "platform/process.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace lockora::engine::web {

using platform::ProcessId;

class ProcessRunner {
public:
    virtual ~ProcessRunner() = default;
    // Starts argv[0] (searched in PATH) with the arguments and does not wait
    // for it; the started process, or 0 when it cannot be started.
    virtual ProcessId Start(const std::vector<std::string>& argv) = 0;
    // Asks a process this runner started to end unless it has
    // ended already, and waits up to `wait` for its end.
    virtual void Stop(ProcessId process, std::chrono::milliseconds wait) = 0;
};

// Real processes, started through platform::ChildProcesses.
std::unique_ptr<ProcessRunner> MakeSystemProcessRunner();

} // namespace lockora::engine::web
