#include "settings/language.h"

#include "platform/profile.h"
#include "platform/system.h"

namespace lockora::settings {
namespace {

// The code is read into a buffer of 259 units with its terminating NUL.
constexpr std::size_t kMaxLanguageUnits = 258;

} // namespace

std::u16string ConfigFilePath()
{
    return platform::ModuleDir() + u"\\config.ini";
}

bridge::ScriptValue GetLang()
{
    std::u16string code = platform::GetPrivateProfileString(u"SETTING", u"LANG", u"en", ConfigFilePath());
    if (code.size() > kMaxLanguageUnits)
        code.resize(kMaxLanguageUnits);
    return bridge::ScriptValue::String(std::move(code));
}

bridge::ScriptValue SetLang(const bridge::ScriptValue& argument)
{
    (void)platform::WritePrivateProfileString(u"SETTING", u"LANG", argument.ToString(), ConfigFilePath());
    return bridge::ScriptValue::Int(0);
}

} // namespace lockora::settings
