#include "platform/process.h"

#include <array>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace platform {

// The processes started and not yet reaped, shared with the reaper threads.
struct ChildProcesses::Table {
    std::mutex mutex;
    std::condition_variable ended;
    std::set<pid_t> running;
};

ChildProcesses::ChildProcesses() : table_(std::make_shared<Table>()) {}

ChildProcesses::~ChildProcesses() = default;

ProcessId ChildProcesses::Start(const std::vector<std::string>& argv)
{
    if (argv.empty())
        return 0;
    std::vector<char*> arguments;
    for (const auto& argument : argv)
        arguments.push_back(const_cast<char*>(argument.c_str()));
    arguments.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    if (::posix_spawn_file_actions_init(&actions) != 0)
        return 0;
    ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // Listening sockets and every other descriptor stay ours.
    ::posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    // The stop signals this program blocks are the child's own.
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    ::posix_spawnattr_setsigmask(&attributes, &none);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    pid_t pid = 0;
    std::unique_lock lock(table_->mutex);
    const int failed = ::posix_spawnp(&pid, arguments[0], &actions, &attributes, arguments.data(), environ);
    ::posix_spawnattr_destroy(&attributes);
    ::posix_spawn_file_actions_destroy(&actions);
    if (failed != 0)
        return 0;
    table_->running.insert(pid);
    lock.unlock();
    // Reaped whenever it ends, so it never lingers as a zombie; until then
    // its id cannot be reused, so Stop never signals a stranger.
    std::thread([pid, table = table_] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        std::lock_guard guard(table->mutex);
        table->running.erase(pid);
        table->ended.notify_all();
    }).detach();
    return pid;
}

void ChildProcesses::Stop(ProcessId process, std::chrono::milliseconds wait)
{
    std::unique_lock lock(table_->mutex);
    const auto pid = static_cast<pid_t>(process);
    if (pid <= 0 || pid != process || table_->running.count(pid) == 0)
        return;
    ::kill(pid, SIGTERM);
    table_->ended.wait_for(lock, wait, [&] { return table_->running.count(pid) == 0; });
}

bool ChildProcesses::Wait(ProcessId process, std::chrono::milliseconds wait)
{
    std::unique_lock lock(table_->mutex);
    const auto pid = static_cast<pid_t>(process);
    return table_->ended.wait_for(lock, wait, [&] { return table_->running.count(pid) == 0; });
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

std::vector<std::string> AppModeBrowsers()
{
    static constexpr std::array<const char*, 6> kChromiumFamily = {
        "chromium", "chromium-browser", "google-chrome", "google-chrome-stable", "microsoft-edge",
        "microsoft-edge-stable",
    };
    std::vector<std::string> found;
    for (const char* name : kChromiumFamily) {
        if (std::string program = FindProgram(name); !program.empty())
            found.push_back(std::move(program));
    }
    return found;
}

std::vector<std::string> DefaultBrowserOpener()
{
    std::string opener = FindProgram("xdg-open");
    if (opener.empty())
        return {};
    return {std::move(opener)};
}

} // namespace platform
