#include "engine/web/process_runner.h"

namespace lockora::engine::web {
namespace {

class SystemProcessRunner final : public ProcessRunner {
public:
    ProcessId Start(const std::vector<std::string>& argv) override { return children_.Start(argv); }
    void Stop(ProcessId process, std::chrono::milliseconds wait) override { children_.Stop(process, wait); }

private:
    platform::ChildProcesses children_;
};

} // namespace

std::unique_ptr<ProcessRunner> MakeSystemProcessRunner()
{
    return std::make_unique<SystemProcessRunner>();
}

} // namespace lockora::engine::web
