#include "platform/common/backend.h"
#include "platform/errors.h"
#include "platform/path.h"
#include "platform/posix/parent_folder.h"
#include "platform/shell.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace platform {
namespace {

// xdg-open ends at once when a desktop launcher takes the item over, but
// runs the application in its own process when it falls back to a plain
// command. Past this wait the launch counts as handed over.
constexpr std::chrono::seconds kLaunchWait{3};

// Exit codes of xdg-open.
constexpr int kXdgOpenFileNotFound = 2;

struct LaunchOutcome {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    int status = 0;
};

int ResultOfExit(int status)
{
    if (!WIFEXITED(status))
        return kShellErrorNoAssociation;
    switch (WEXITSTATUS(status)) {
    case 0:
        return kShellOpenSucceeded;
    case kXdgOpenFileNotFound:
        return kShellErrorFileNotFound;
    default:
        return kShellErrorNoAssociation; // no tool or no application for the type
    }
}

int LaunchWithXdgOpen(const std::string& hostPath)
{
    char program[] = "xdg-open";
    std::string argument = hostPath;
    char* argv[] = {program, argument.data(), nullptr};
    pid_t child = 0;
    if (::posix_spawnp(&child, program, nullptr, nullptr, argv, environ) != 0)
        return kShellErrorNoAssociation;

    // A waiter thread reaps the child whenever it ends, so a launch that
    // outlives the wait leaves no zombie behind.
    auto outcome = std::make_shared<LaunchOutcome>();
    std::thread([child, outcome] {
        int status = 0;
        pid_t reaped = 0;
        while ((reaped = ::waitpid(child, &status, 0)) < 0 && errno == EINTR) {
        }
        std::lock_guard lock(outcome->mutex);
        outcome->done = true;
        // A child reaped elsewhere (SIGCHLD ignored) was launched all the same.
        outcome->status = reaped == child ? status : 0;
        outcome->finished.notify_all();
    }).detach();

    std::unique_lock lock(outcome->mutex);
    if (!outcome->finished.wait_for(lock, kLaunchWait, [&] { return outcome->done; }))
        return kShellOpenSucceeded;
    return ResultOfExit(outcome->status);
}

int UnreachableItemResult(int err, const std::string& hostPath)
{
    if (err == EACCES)
        return kShellErrorAccessDenied;
    if (err == ENOENT && posix::ParentFolderExists(hostPath))
        return kShellErrorFileNotFound;
    return kShellErrorPathNotFound;
}

} // namespace

int ShellOpen(std::u16string_view path)
{
    auto host = ToHostPath(path);
    if (!host)
        return host.code() == kErrorPathNotFound ? kShellErrorPathNotFound : kShellErrorFileNotFound;
    struct stat status {};
    if (::stat(host->c_str(), &status) != 0)
        return UnreachableItemResult(errno, *host);
    if (const ShellOpenLauncher launcher = backend::InstalledShellOpenLauncher())
        return launcher(*host);
    return LaunchWithXdgOpen(*host);
}

} // namespace platform
