#include "platform/system.h"

#include "platform/common/backend.h"

#include <mutex>

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

} // namespace

std::u16string ModuleFileName()
{
    auto& holder = Holder();
    std::lock_guard lock(holder.mutex);
    if (!holder.overridden.empty())
        return holder.overridden;
    return backend::ExecutablePath();
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
