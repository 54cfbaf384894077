#include "browse/file_list_row.h"

#include "platform/text.h"

#include <algorithm>

namespace lockora::browse {

bridge::ScriptValue MakeRow(std::u16string name, std::u16string timeText, bridge::ScriptValue attributes,
                            std::u16string sizeText, std::int32_t kind)
{
    return bridge::ScriptValue::Array({
        bridge::ScriptValue::String(std::move(name)),
        bridge::ScriptValue::String(std::move(timeText)),
        std::move(attributes),
        bridge::ScriptValue::String(std::move(sizeText)),
        bridge::ScriptValue::Int(kind),
    });
}

std::u16string FileTimeText(platform::FileTime time)
{
    const auto text = platform::FormatFileTime(time);
    return text ? platform::Utf8ToUtf16(*text) : std::u16string(kInvalidTimeText);
}

std::u16string StrippedName(std::u16string_view path)
{
    const auto separator = path.rfind(u'\\');
    if (separator == std::u16string_view::npos || separator == 0)
        return std::u16string(path);
    return std::u16string(path.substr(separator + 1));
}

std::u16string WithBackslashes(std::u16string_view path)
{
    std::u16string converted(path);
    std::replace(converted.begin(), converted.end(), u'/', u'\\');
    return converted;
}

std::u16string LongPathForm(std::u16string_view path)
{
    constexpr std::u16string_view kPrefix = u"\\\\?\\";
    if (path.starts_with(kPrefix))
        return std::u16string(path);
    return std::u16string(kPrefix) + std::u16string(path);
}

std::u16string JoinPath(std::u16string_view folder, std::u16string_view name)
{
    std::u16string path(folder);
    if (path.empty() || path.back() != u'\\')
        path += u'\\';
    path += name;
    return path;
}

} // namespace lockora::browse
