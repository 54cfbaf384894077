#include "platform/random.h"

#include "platform/win32/wide.h"

#include <algorithm>
#include <bcrypt.h>
#include <cstdint>
#include <limits>
#include <winternl.h>

namespace platform {

Status FillRandom(void* buffer, std::size_t length)
{
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    while (length > 0) {
        const ULONG part = static_cast<ULONG>(std::min<std::size_t>(length, std::numeric_limits<ULONG>::max()));
        const NTSTATUS status = ::BCryptGenRandom(nullptr, bytes, part, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
        if (!BCRYPT_SUCCESS(status))
            return Error(static_cast<ErrorCode>(::RtlNtStatusToDosError(status)));
        bytes += part;
        length -= part;
    }
    return {};
}

} // namespace platform
