#include "engine/web/process_runner.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace lockora::engine::web {
namespace {

class SystemProcessRunner final : public ProcessRunner {
public:
    bool Start(const std::vector<std::string>& argv) override
    {
        if (argv.empty())
            return false;
        std::vector<char*> arguments;
        for (const auto& argument : argv)
            arguments.push_back(const_cast<char*>(argument.c_str()));
        arguments.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        if (::posix_spawn_file_actions_init(&actions) != 0)
            return false;
        ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        // The listening socket and every other descriptor stay ours.
        ::posix_spawn_file_actions_addclosefrom_np(&actions, 3);
        pid_t pid = 0;
        const int failed = ::posix_spawnp(&pid, arguments[0], &actions, nullptr, arguments.data(), environ);
        ::posix_spawn_file_actions_destroy(&actions);
        if (failed != 0)
            return false;
        // Reaped whenever it ends, so it never lingers as a zombie.
        std::thread([pid] {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
        return true;
    }
};

} // namespace

std::unique_ptr<ProcessRunner> MakeSystemProcessRunner()
{
    return std::make_unique<SystemProcessRunner>();
}

std::string FindProgram(const std::string& name)
{
    if (name.find('/') != std::string::npos)
        return ::access(name.c_str(), X_OK) == 0 ? name : std::string();
    const char* path = std::getenv("PATH");
    std::string_view folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (!folders.empty()) {
        const auto end = folders.find(':');
        const std::string_view folder = folders.substr(0, end);
        folders = end == std::string_view::npos ? std::string_view{} : folders.substr(end + 1);
        if (folder.empty())
            continue;
        std::string candidate = std::string(folder) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

} // namespace lockora::engine::web
