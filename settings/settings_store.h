// Loading and saving the settings record: the file "FileUseSetting.dat" in
// the data folder beside the executable is read when it opens, the registry
// otherwise; every save writes both.
//
// Loads and saves of all threads are serialised (the UI thread and a worker
// finishing its batch may save at the same time). The file is replaced
// atomically and written before the registry, so a process killed at any
// moment leaves a store that loads as the old record or as the new one: while
// the file is being replaced the registry still holds the old values, and the
// registry is only read when there is no file.
#pragma once

#include "settings/settings_record.h"

#include <string>

namespace lockora::settings {

// ModuleDir + "\Ombrix Lockora Sentinex\FileUseSetting.dat". Creates the data
// folder when it is missing (one level; a failure shows when the file is
// opened) and logs the path ("Setting file is %s").
std::u16string GetSettingFilePath();

// Fills the record from the file, or from the registry when the file cannot
// be opened (see settings_file.h and settings_registry.h). The choice of the
// strong format is kept apart from the ten lines of the file: as STRONG (0
// or 1) in the section SETTING of config.ini beside the executable, which
// wins, and as bStrong in the registry copy, read with the rest of it.
void LoadSettings(SettingsRecord& record);

// Writes the record to the file and to the registry. Failures are not
// reported: the record in memory stays as it is, and the next save tries
// again.
void SaveSettings(const SettingsRecord& record);

} // namespace lockora::settings
