#include "platform/system.h"

#include "platform/common/backend.h"
#include "platform/text.h"

#include <mutex>
#include <optional>

namespace platform {
namespace {

struct CommandLineHolder {
    std::mutex mutex;
    std::optional<std::vector<std::string>> arguments;
};

CommandLineHolder& Holder()
{
    static CommandLineHolder holder;
    return holder;
}

} // namespace

std::u16string CommandLineText()
{
    auto& holder = Holder();
    std::lock_guard lock(holder.mutex);
    if (!holder.arguments)
        return backend::SystemCommandLine();
    const std::vector<std::string>& arguments = *holder.arguments;
    std::u16string text;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i == 0) {
            text = Utf8ToUtf16(arguments[0]);
            continue;
        }
        text += u" \"";
        text += backend::ArgumentText(arguments[i]);
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
