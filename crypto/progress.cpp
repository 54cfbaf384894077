#include "crypto/progress.h"

namespace lockora::crypto {

std::int32_t ProgressPercent(std::uint64_t done, std::uint64_t total)
{
    if (total == 0)
        return 100;
    if (total < 1342177)
        return static_cast<std::int32_t>(done * 100 / total);
    return static_cast<std::int32_t>(done / (total / 100));
}

} // namespace lockora::crypto
