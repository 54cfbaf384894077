// The pages' language, kept as "LANG" of section "SETTING" in config.ini
// beside the executable.
#pragma once

#include "bridge/script_value.h"

#include <string>

namespace lockora::settings {

// ModuleDir + "\config.ini".
std::u16string ConfigFilePath();

// The stored language code (at most 258 characters), "en" when none is
// stored or the file cannot be read.
bridge::ScriptValue GetLang();

// Stores the argument's text as the language code and returns 0; a failed
// write is not reported (the choice then lasts for this run's pages only).
bridge::ScriptValue SetLang(const bridge::ScriptValue& argument);

} // namespace lockora::settings
