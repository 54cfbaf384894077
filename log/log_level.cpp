#include "log/log_level.h"

#include "platform/profile.h"

#include <cstdint>

namespace lockora::logging {

int ReadLogLevel(std::u16string_view configFile)
{
    // 3 stands for "missing": it is above every valid level.
    const std::uint32_t stored = platform::GetPrivateProfileInt(u"LOG", u"LEVEL", 3, configFile);
    if (stored <= kLevelDebug)
        return static_cast<int>(stored);
    // A failed write (read-only folder) is ignored: the level is 2 for this
    // run either way, and the next start tries again.
    (void)platform::WritePrivateProfileString(u"LOG", u"LEVEL", u"2", configFile);
    return kLevelDebug;
}

} // namespace lockora::logging
