#include "platform/path.h"
#include "platform/system.h"
#include "platform/text.h"

#include <mutex>

namespace platform {
namespace {

struct CommandLineHolder {
    std::mutex mutex;
    std::vector<std::string> arguments;
};

CommandLineHolder& Holder()
{
    static CommandLineHolder holder;
    return holder;
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

} // namespace

std::u16string CommandLineText()
{
    auto& holder = Holder();
    std::lock_guard lock(holder.mutex);
    std::u16string text;
    for (std::size_t i = 0; i < holder.arguments.size(); ++i) {
        if (i == 0) {
            text = Utf8ToUtf16(holder.arguments[0]);
            continue;
        }
        text += u" \"";
        text += ArgumentText(holder.arguments[i]);
        text += u'"';
    }
    return text;
}

void SetCommandLineArguments(std::vector<std::string> arguments)
{
    auto& holder = Holder();
    std::lock_guard lock(holder.mutex);
    holder.arguments = std::move(arguments);
}

} // namespace platform
