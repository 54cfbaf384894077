#include "shred/shred_progress.h"

#include "bridge/notify.h"

namespace lockora::shred {

std::int32_t ShredPercent(std::uint64_t done, std::uint64_t total, ShredPass pass)
{
    if (total == 0)
        return pass == ShredPass::Ones ? 50 : 100;
    if (total < 1342177)
        return static_cast<std::int32_t>(done * 100 / total);
    return static_cast<std::int32_t>(done / (total / 100));
}

ShredProgress::ShredProgress(std::u16string_view progressPath, std::uint64_t total, ShredPass pass, std::uint64_t done)
    : progressPath_(progressPath), total_(total), pass_(pass),
      reference_(total == 0 ? 0 : ShredPercent(done, total, pass))
{
}

void ShredProgress::Check(std::uint64_t done)
{
    const std::int32_t percent = ShredPercent(done, total_, pass_);
    if (percent == reference_)
        return;
    bridge::NotifyUI(bridge::MSG_SET_DEL_PRGRRESS, progressPath_, percent);
    reference_ = percent;
}

} // namespace lockora::shred
