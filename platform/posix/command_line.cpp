#include "platform/common/backend.h"
#include "platform/path.h"
#include "platform/text.h"

namespace platform::backend {

// The entry stores argv; without it there is no command line to show.
std::u16string SystemCommandLine()
{
    return {};
}

// A host path that a drive maps is shown in Windows form; anything else
// (a relative name, an unmapped path) is passed on unchanged.
std::u16string ArgumentText(const std::string& argument)
{
    if (!argument.empty() && argument[0] == '/') {
        if (auto windows = ToWindowsPath(argument); windows.ok())
            return std::move(windows).value();
    }
    return Utf8ToUtf16(argument);
}

} // namespace platform::backend
