#include "log/thread_number.h"

#include <atomic>

namespace lockora::logging {

std::uint32_t CurrentThreadNumber()
{
    static std::atomic<std::uint32_t> next{1};
    thread_local const std::uint32_t number = next.fetch_add(1, std::memory_order_relaxed);
    return number;
}

} // namespace lockora::logging
