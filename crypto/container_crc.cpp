#include "crypto/container_crc.h"

#include "crypto/crc_tables.h"
#include "crypto/word_io.h"

namespace lockora::crypto {

using namespace crc_detail;

void ContainerCrcUpdate(std::uint32_t& reg, std::span<const std::uint8_t> bytes)
{
    std::uint32_t r = reg;
    const std::uint8_t* p = bytes.data();
    std::size_t n = bytes.size();
    for (; n >= kStripedRun; n -= kStripedRun, p += kStripedRun) {
        std::uint32_t regs[kStripes] = {r};
        for (std::size_t i = 0; i < kStripe; i += 8) {
            for (std::size_t s = 0; s < kStripes; ++s)
                regs[s] = Step8(regs[s], LoadWord(p + s * kStripe + i));
        }
        r = JoinStripes(regs);
    }
    for (; n >= 8; n -= 8, p += 8)
        r = Step8(r, LoadWord(p));
    for (; n > 0; --n, ++p)
        r = Step1(r, *p);
    reg = r;
}

std::uint32_t ContainerCrc(std::span<const std::uint8_t> bytes)
{
    std::uint32_t reg = kCrcStart;
    ContainerCrcUpdate(reg, bytes);
    return ~reg;
}

} // namespace lockora::crypto
