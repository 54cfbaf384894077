#include "system/version_strings.h"

#include "platform/system.h"
#include "platform/version.h"

namespace lockora::system {

bool GetVersionString(std::u16string_view filePath, std::u16string_view key, std::u16string& out)
{
    if (key.empty())
        return false;
    const std::u16string file = filePath.empty() ? platform::ModuleFileName() : std::u16string(filePath);
    auto value = platform::FileVersionString(file, key);
    if (!value)
        return false;
    out = std::move(*value);
    return true;
}

bridge::ScriptValue GetProductVersion(const bridge::ScriptValue&)
{
    std::u16string version;
    GetVersionString({}, u"FileVersion", version);
    return bridge::ScriptValue::String(std::move(version));
}

} // namespace lockora::system
