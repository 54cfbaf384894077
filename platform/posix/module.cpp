#include "platform/path.h"
#include "platform/system.h"

#include <mutex>
#include <unistd.h>

namespace platform {
namespace {

struct ModuleHolder {
    std::mutex mutex;
    std::u16string overridden;
};

ModuleHolder& Holder()
{
    static ModuleHolder holder;
    return holder;
}

std::u16string ReadExecutablePath()
{
    std::string buffer(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0)
        return {};
    buffer.resize(static_cast<std::size_t>(length));
    return ToWindowsPath(buffer).value_or(std::u16string{});
}

} // namespace

std::u16string ModuleFileName()
{
    auto& holder = Holder();
    std::lock_guard lock(holder.mutex);
    if (!holder.overridden.empty())
        return holder.overridden;
    return ReadExecutablePath();
}

std::u16string ModuleDir()
{
    const std::u16string path = ModuleFileName();
    const auto separator = path.rfind(u'\\');
    return separator == std::u16string::npos ? std::u16string{} : path.substr(0, separator);
}

void SetModuleFileName(std::u16string path)
{
    auto& holder = Holder();
    std::lock_guard lock(holder.mutex);
    holder.overridden = std::move(path);
}

} // namespace platform
