// The registry copy of the settings: key "SOFTWARE\Ombrix\Ombrix Lockora
// Sentinex" under HKEY_LOCAL_MACHINE with one value per field (bReserved1
// and bReserved2 have none).
#pragma once

#include "settings/settings_record.h"

namespace lockora::settings {

inline constexpr char16_t kSettingsKey[] = u"SOFTWARE\\Ombrix\\Ombrix Lockora Sentinex";

// Fills the record from the key, creating the key when it is missing. A value
// that is missing or cannot be read as its field is written with the field's
// current value, so a first run leaves the defaults in the registry: a flag
// or iDelSel that is not a REG_DWORD, a uPwd that is a REG_SZ, a strBackDir
// that is not a REG_SZ. A backup path of any length is taken. When the key
// cannot be created the record is left as it is.
void LoadSettingsFromRegistry(SettingsRecord& record);

// Writes the eight values; failures are not reported.
void SaveSettingsToRegistry(const SettingsRecord& record);

} // namespace lockora::settings
