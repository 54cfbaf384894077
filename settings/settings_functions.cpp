#include "settings/settings_functions.h"

#include "platform/text.h"

#include <string>

namespace lockora::settings {
namespace {

constexpr std::size_t kChangedElements = 9;

bool IsNumberLike(const bridge::ScriptValue& value)
{
    return value.IsBool() || value.IsInt();
}

} // namespace

bridge::ScriptValue GetSettingInfo(const SettingsHolder& settings)
{
    const SettingsRecord record = settings.Snapshot();
    using bridge::ScriptValue;
    // iDelSel as "%u": a negative value shows as its 32-bit two's complement.
    const std::string delSel = std::to_string(static_cast<std::uint32_t>(record.iDelSel));
    return ScriptValue::Array({
        ScriptValue::Bool(record.bUserPwd),
        ScriptValue::Bool(record.bEptCanFgt),
        ScriptValue::Bool(record.bReserved1),
        ScriptValue::Bool(record.bReserved2),
        ScriptValue::Bool(record.bBackup),
        ScriptValue::Bool(record.bContextMenu),
        ScriptValue::Bool(record.bAsk),
        ScriptValue::String(platform::Utf8ToUtf16(delSel)),
        ScriptValue::String(record.strBackDir),
        ScriptValue::Bool(record.uPwd != 0),
        ScriptValue::Bool(record.bStrong),
    });
}

bridge::ScriptValue ChangeSettingInfo(SettingsHolder& settings, const bridge::ScriptValue& argument)
{
    // Missing elements would read as undefined and clear the backup folder;
    // the screens always send nine or ten, so a shorter array is refused.
    if (argument.Length() < kChangedElements)
        return bridge::ScriptValue::Int(kSettingsArrayTooShort);

    settings.Update([&argument](SettingsRecord& record) {
        bool* const flags[] = {&record.bUserPwd, &record.bEptCanFgt,   &record.bReserved1, &record.bReserved2,
                               &record.bBackup,  &record.bContextMenu, &record.bAsk};
        for (std::size_t index = 0; index < std::size(flags); ++index) {
            if (IsNumberLike(argument.At(index)))
                *flags[index] = argument.At(index).GetInt() != 0;
        }
        if (IsNumberLike(argument.At(7)))
            record.iDelSel = argument.At(7).GetInt();
        record.strBackDir = argument.At(8).ToString();
        // Arrays of nine or ten elements leave the format choice alone.
        if (IsNumberLike(argument.At(10)))
            record.bStrong = argument.At(10).GetInt() != 0;
    });
    settings.Save();
    return bridge::ScriptValue::Int(0);
}

} // namespace lockora::settings
