#include "platform/common/file_faults.h"

#include "platform/file.h"

#include <atomic>
#include <utility>

namespace platform {
namespace {

// Counting starts with the first reset or injection, so a process that
// never asks pays one relaxed load per operation.
std::atomic<bool> g_counting{false};
std::atomic<std::uint64_t> g_operations{0};
std::atomic<std::uint64_t> g_failAt{0}; // operation number that fails; 0 = none
std::atomic<ErrorCode> g_failCode{0};
std::atomic<std::uint64_t> g_corruptAt{0}; // operation number whose read is damaged; 0 = none
// Whether the operation this thread is running is the one to damage.
thread_local bool t_corruptThisOperation = false;

} // namespace

namespace faults {

Status CountFileOperation()
{
    t_corruptThisOperation = false;
    if (!g_counting.load(std::memory_order_relaxed)) [[likely]]
        return {};
    const std::uint64_t number = g_operations.fetch_add(1, std::memory_order_acq_rel) + 1;
    std::uint64_t corruptAt = number;
    t_corruptThisOperation = g_corruptAt.compare_exchange_strong(corruptAt, 0, std::memory_order_acq_rel);
    std::uint64_t failAt = number;
    if (g_failAt.compare_exchange_strong(failAt, 0, std::memory_order_acq_rel))
        return Error(g_failCode.load(std::memory_order_acquire));
    return {};
}

void DamageIfChosen(void* buffer, std::uint32_t read)
{
    if (std::exchange(t_corruptThisOperation, false) && read > 0)
        static_cast<std::uint8_t*>(buffer)[0] ^= 0x01;
}

} // namespace faults

namespace testing {

void FailNthFileOperation(std::uint64_t n, ErrorCode code)
{
    g_failCode.store(code, std::memory_order_release);
    g_failAt.store(n == 0 ? 0 : g_operations.load(std::memory_order_acquire) + n, std::memory_order_release);
    g_counting.store(true, std::memory_order_release);
}

void CorruptNthFileOperation(std::uint64_t n)
{
    g_corruptAt.store(n == 0 ? 0 : g_operations.load(std::memory_order_acquire) + n, std::memory_order_release);
    g_counting.store(true, std::memory_order_release);
}

std::uint64_t FileOperationCount()
{
    return g_operations.load(std::memory_order_acquire);
}

void ResetFileOperationCount()
{
    g_operations.store(0, std::memory_order_release);
    g_failAt.store(0, std::memory_order_release);
    g_corruptAt.store(0, std::memory_order_release);
    g_counting.store(true, std::memory_order_release);
}

} // namespace testing
} // namespace platform
