// Script functions of the settings screens.
//
// The settings array: [0] bUserPwd, [1] bEptCanFgt, [2] bReserved1,
// [3] bReserved2, [4] bBackup, [5] bContextMenu, [6] bAsk (booleans),
// [7] iDelSel as unsigned decimal text, [8] strBackDir, [9] whether a
// program password is set (read only).
#pragma once

#include "bridge/script_value.h"
#include "settings/settings_holder.h"

#include <cstdint>

namespace lockora::settings {

// ChangeSettingInfo's result for an argument of fewer than nine elements,
// which changes nothing.
inline constexpr std::int32_t kSettingsArrayTooShort = 1;

// The ten-element settings array of the record.
bridge::ScriptValue GetSettingInfo(const SettingsHolder& settings);

// Takes the first nine elements: a flag (0-6) or iDelSel (7) changes only
// when its element is a boolean or an integer, so the text GetSettingInfo
// returns for iDelSel leaves it as it is; strBackDir (8) takes the element's
// text whatever its type. uPwd never changes here. Saves the record and
// returns 0; an argument of fewer than nine elements (or no array) changes
// and saves nothing and returns kSettingsArrayTooShort.
bridge::ScriptValue ChangeSettingInfo(SettingsHolder& settings, const bridge::ScriptValue& argument);

} // namespace lockora::settings
