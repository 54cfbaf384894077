#include "platform/shell.h"

#include "platform/common/backend.h"

#include <mutex>

namespace platform {
namespace {

struct LauncherHolder {
    std::mutex mutex;
    ShellOpenLauncher launcher;
};

LauncherHolder& Holder()
{
    static LauncherHolder holder;
    return holder;
}

} // namespace

namespace backend {

ShellOpenLauncher InstalledShellOpenLauncher()
{
    auto& holder = Holder();
    std::lock_guard lock(holder.mutex);
    return holder.launcher;
}

} // namespace backend

ShellOpenLauncher SetShellOpenLauncher(ShellOpenLauncher launcher)
{
    auto& holder = Holder();
    std::lock_guard lock(holder.mutex);
    auto previous = std::move(holder.launcher);
    holder.launcher = std::move(launcher);
    return previous;
}

} // namespace platform
