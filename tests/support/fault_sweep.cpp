#include "tests/support/fault_sweep.h"

#include "platform/file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace lockora::testing {

// Far above the operations of any item a test makes.
constexpr std::uint64_t kCaseBound = 5000;

bool RunWithNthOperationFailing(std::uint64_t n, platform::ErrorCode code, const std::function<void()>& operation)
{
    platform::testing::ResetFileOperationCount();
    platform::testing::FailNthFileOperation(n, code);
    operation();
    const bool fired = platform::testing::FileOperationCount() >= n;
    platform::testing::ResetFileOperationCount();
    return fired;
}

std::uint64_t SweepFaults(std::string_view name, const std::function<bool(std::uint64_t n)>& runCase)
{
    std::uint64_t n = 1;
    for (; n < kCaseBound; ++n) {
        SCOPED_TRACE("failing operation " + std::to_string(n));
        if (!runCase(n) || ::testing::Test::HasFailure())
            break;
    }
    EXPECT_LT(n, kCaseBound) << "the operation never ended";
    const std::uint64_t cases = n - 1;
    std::printf("fault sweep: %.*s: %llu cases\n", static_cast<int>(name.size()), name.data(),
                static_cast<unsigned long long>(cases));
    return cases;
}

} // namespace lockora::testing
