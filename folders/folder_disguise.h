// Folder disguise: a folder gets one of the disguise suffixes appended to its
// name, and GetDirIcon renders how the shell shows each disguise.
#pragma once

#include "bridge/script_value.h"

#include <cstdint>

namespace lockora::folders {

// The result of a disguise request in which every rename succeeded; each
// failed rename adds 1.
inline constexpr std::int32_t kDisguiseComplete = 100;

// Script function: param is [index, [folderPath, ...]]. While an
// encryption, decryption or deletion runs, returns its busy code and renames
// nothing. Otherwise renames each folder to its path followed by suffix
// `index` and returns 100 plus the number of failed renames. An index that
// is not an int counts as 0; one outside the table fails every path. Runs
// on the UI thread.
bridge::ScriptValue FolderDisGuise(const bridge::ScriptValue& param);

// Script function: twelve rows [suffix, icon], in table order; icon is the
// Base64 text of the small shell icon of a folder carrying the suffix, saved
// as an icon file, or "" when the shell has none. The folders it asks about
// are created in the current directory and removed again.
bridge::ScriptValue GetDirIcon(const bridge::ScriptValue& unused = {});

} // namespace lockora::folders
