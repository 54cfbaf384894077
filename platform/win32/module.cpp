#include "platform/common/backend.h"
#include "platform/text.h"
#include "platform/win32/wide.h"

#include <string>

namespace platform::backend {

std::u16string ExecutablePath()
{
    std::wstring buffer(MAX_PATH, L'\0');
    while (true) {
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        // A full buffer means the name was cut.
        if (length < buffer.size())
            return win32::FromWide(buffer.c_str());
        buffer.resize(buffer.size() * 2);
    }
}

std::u16string SystemCommandLine()
{
    // What wWinMain receives: the program name (quoted or not) and the blanks
    // after it cut off.
    std::u16string_view line = reinterpret_cast<const char16_t*>(::GetCommandLineW());
    std::size_t end = 0;
    if (!line.empty() && line[0] == u'"') {
        end = line.find(u'"', 1);
        end = end == std::u16string_view::npos ? line.size() : end + 1;
    } else {
        while (end < line.size() && line[end] != u' ' && line[end] != u'\t')
            ++end;
    }
    while (end < line.size() && (line[end] == u' ' || line[end] == u'\t'))
        ++end;
    return std::u16string(line.substr(end));
}

std::u16string ArgumentText(const std::string& argument)
{
    return Utf8ToUtf16(argument);
}

} // namespace platform::backend
