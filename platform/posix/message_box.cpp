#include "platform/common/backend.h"
#include "platform/message_box.h"
#include "platform/text.h"

#include <cerrno>
#include <unistd.h>

namespace platform::backend {

// Without a page the box is reported on standard error and answered with its
// default button. The whole line goes out in one write, so that boxes from
// several threads never interleave on the terminal.
int ShowSystemMessageBox(const std::u16string& text, const std::u16string& caption, std::uint32_t type)
{
    const std::string line = Utf16ToUtf8(caption) + ": " + Utf16ToUtf8(text) + "\n";
    std::size_t written = 0;
    while (written < line.size()) {
        const ssize_t count = ::write(STDERR_FILENO, line.data() + written, line.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break; // nowhere to report to; the answer does not depend on it
        written += static_cast<std::size_t>(count);
    }
    return DefaultMessageBoxButton(type);
}

} // namespace platform::backend
