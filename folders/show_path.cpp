#include "folders/show_path.h"

#include "platform/attributes.h"

namespace lockora::folders {

bridge::ScriptValue ShowPath(const bridge::ScriptValue& param)
{
    for (const bridge::ScriptValue& element : param.At(1).Elements()) {
        const std::u16string path = element.ToString();
        const auto attributes = platform::GetFileAttributes(path);
        if (!attributes.ok())
            continue;
        (void)platform::SetFileAttributes(path,
                                          *attributes & ~(platform::kAttrHidden | platform::kAttrNotContentIndexed));
    }
    return bridge::ScriptValue::Int(0);
}

bridge::ScriptValue HidePath(const bridge::ScriptValue&)
{
    return bridge::ScriptValue::Int(0);
}

} // namespace lockora::folders
