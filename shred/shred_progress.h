// Progress of the shredder: the percentage rule and the check that sends
// MSG_SET_DEL_PRGRRESS only when the percentage moves.
#pragma once

#include <cstdint>
#include <string_view>

namespace lockora::shred {

// The two overwrite passes of a file; an empty total reads as 50 during the
// first and 100 during the second.
enum class ShredPass : std::uint8_t { Ones, Zeros };

// Integer percentage of `done` out of `total`, never clamped: (done * 100)
// / total below 1,342,177, done / (total / 100) from there on (the product
// would outgrow the range the screens were built for).
std::int32_t ShredPercent(std::uint64_t done, std::uint64_t total, ShredPass pass);

// The progress of one pass over one file: starts from the percentage of the
// counter when the pass begins (0 for an empty total), so a pass reports
// nothing until the percentage moves.
class ShredProgress {
public:
    ShredProgress(std::u16string_view progressPath, std::uint64_t total, ShredPass pass, std::uint64_t done);

    // Called after every full block with the counter after the addition.
    void Check(std::uint64_t done);

private:
    std::u16string_view progressPath_;
    std::uint64_t total_;
    ShredPass pass_;
    std::int32_t reference_;
};

} // namespace lockora::shred
