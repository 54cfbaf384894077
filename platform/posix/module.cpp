#include "platform/common/backend.h"
#include "platform/path.h"

#include <unistd.h>

namespace platform::backend {

std::u16string ExecutablePath()
{
    std::string buffer(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0)
        return {};
    buffer.resize(static_cast<std::size_t>(length));
    return ToWindowsPath(buffer).value_or(std::u16string{});
}

} // namespace platform::backend
