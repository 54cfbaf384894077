#include "platform/common/backend.h"
#include "platform/win32/wide.h"

namespace platform::backend {

// Before the page is up (or after it has gone) the system's own box shows.
int ShowSystemMessageBox(const std::u16string& text, const std::u16string& caption, std::uint32_t type)
{
    return ::MessageBoxW(nullptr, win32::Wide(text).c_str(), win32::Wide(caption).c_str(), type | MB_SETFOREGROUND);
}

} // namespace platform::backend
