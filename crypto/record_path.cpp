#include "crypto/record_path.h"

#include "platform/text.h"

namespace lockora::crypto {
namespace {

bool IsForbiddenCharacter(char16_t c)
{
    switch (c) {
    case u':': case u'/': case u'*': case u'?': case u'"': case u'<': case u'>': case u'|':
        return true;
    default:
        return c < 0x20;
    }
}

bool EqualsAsciiNoCase(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (platform::AsciiToUpper(a[i]) != platform::AsciiToUpper(b[i]))
            return false;
    }
    return true;
}

// Windows opens a device for these names whatever extension follows them,
// and ignores blanks before the extension.
bool IsReservedDeviceName(std::u16string_view name)
{
    std::u16string_view base = name.substr(0, name.find(u'.'));
    while (!base.empty() && base.back() == u' ')
        base.remove_suffix(1);
    for (std::u16string_view device : {u"CON", u"PRN", u"AUX", u"NUL"}) {
        if (EqualsAsciiNoCase(base, device))
            return true;
    }
    if (base.size() != 4)
        return false;
    const std::u16string_view prefix = base.substr(0, 3);
    if (!EqualsAsciiNoCase(prefix, u"COM") && !EqualsAsciiNoCase(prefix, u"LPT"))
        return false;
    const char16_t digit = base[3];
    return (digit >= u'0' && digit <= u'9') || digit == u'\u00B9' || digit == u'\u00B2' || digit == u'\u00B3';
}

bool IsSafeName(std::u16string_view name)
{
    if (name.empty() || name == u"." || name == u"..")
        return false;
    if (name.back() == u'.' || name.back() == u' ')
        return false;
    for (char16_t c : name) {
        if (IsForbiddenCharacter(c))
            return false;
    }
    return !IsReservedDeviceName(name);
}

} // namespace

bool IsSafeRecordPath(std::u16string_view path)
{
    if (path.empty() || path[0] != u'\\')
        return false;
    path.remove_prefix(1);
    while (true) {
        const auto end = path.find(u'\\');
        if (!IsSafeName(path.substr(0, end)))
            return false;
        if (end == std::u16string_view::npos)
            return true;
        path.remove_prefix(end + 1);
    }
}

} // namespace lockora::crypto
