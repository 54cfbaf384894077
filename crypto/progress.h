// The progress percentage of the encryption engine.
#pragma once

#include <cstdint>

namespace lockora::crypto {

// Integer percentage of `done` out of `total`, never clamped: 100 for an
// empty total; (done * 100) / total below 1,342,177; above that
// done / (total / 100), so the product cannot overflow the 32-bit arithmetic
// the value was designed around.
std::int32_t ProgressPercent(std::uint64_t done, std::uint64_t total);

} // namespace lockora::crypto
