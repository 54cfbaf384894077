#include "platform/path.h"

#include "platform/common/backend.h"
#include "platform/common/name_rules.h"
#include "platform/errors.h"
#include "platform/text.h"

namespace platform {
namespace {

bool IsSeparator(char16_t c)
{
    return c == u'\\' || c == u'/';
}

} // namespace

std::u16string WindowsPath::ToString() const
{
    std::u16string text{drive, u':', u'\\'};
    for (std::size_t i = 0; i < components.size(); ++i) {
        if (i > 0)
            text.push_back(u'\\');
        text += components[i];
    }
    return text;
}

Result<WindowsPath> ParseWindowsPath(std::u16string_view path)
{
    if (path.size() > kMaxPathUnits)
        return Error(kErrorFilenameExcedRange);
    if (path.find(u'\0') != std::u16string_view::npos)
        return Error(kErrorInvalidName);
    if (path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) && (path[2] == u'?' || path[2] == u'.') && IsSeparator(path[3]))
        path.remove_prefix(4);
    if (path.size() < 2 || path[1] != u':')
        return Error(kErrorPathNotFound); // empty, relative, UNC or rooted without a drive
    const char16_t drive = AsciiToUpper(path[0]);
    if (drive < u'A' || drive > u'Z')
        return Error(kErrorInvalidName);
    if (path.size() > 2 && !IsSeparator(path[2]))
        return Error(kErrorPathNotFound); // drive-relative ("C:name")

    WindowsPath parsed;
    parsed.drive = drive;
    std::size_t pos = 2;
    while (pos < path.size()) {
        while (pos < path.size() && IsSeparator(path[pos]))
            ++pos;
        std::size_t end = pos;
        while (end < path.size() && !IsSeparator(path[end]))
            ++end;
        const std::u16string_view name = path.substr(pos, end - pos);
        pos = end;
        if (name.empty() || name == u".")
            continue;
        if (name == u"..") {
            if (!parsed.components.empty())
                parsed.components.pop_back();
            continue;
        }
        for (char16_t c : name) {
            if (IsForbiddenInWindowsName(c))
                return Error(kErrorInvalidName);
        }
        if (!backend::NameFitsFileSystem(name))
            return Error(kErrorFilenameExcedRange);
        parsed.components.emplace_back(name);
    }
    return parsed;
}

} // namespace platform
