#include "platform/random.h"

#include "platform/posix/errno_error.h"

#include <cerrno>
#include <cstdint>
#include <sys/random.h>

namespace platform {

Status FillRandom(void* buffer, std::size_t length)
{
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    std::size_t filled = 0;
    while (filled < length) {
        const ssize_t got = ::getrandom(bytes + filled, length - filled, 0);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return Error(ErrorFromErrno(errno));
        }
        filled += static_cast<std::size_t>(got);
    }
    return {};
}

} // namespace platform
