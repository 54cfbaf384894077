// The progress percentage of the encryption engine.
#pragma once

#include <cstdint>

namespace lockora::crypto {

// Integer percentage of `done` out of `total`, never clamped: 100 for an
// empty total; (done * 100) / total below 1,342,177; from there on the
// total is divided first, done / (total / 100), so large totals step in
// slightly uneven percentages exactly as the screens have always shown.
std::int32_t ProgressPercent(std::uint64_t done, std::uint64_t total);

} // namespace lockora::crypto
