// Strings of the executable's version resource.
#pragma once

#include "bridge/script_value.h"

#include <string>
#include <string_view>

namespace lockora::system {

// Reads `key` ("FileVersion", "ProductVersion") from the version resource of
// `filePath`, or of the running executable when the path is empty, into
// `out`. False, with `out` unchanged, for an empty key, a file without
// version information or a key the resource does not hold.
bool GetVersionString(std::u16string_view filePath, std::u16string_view key, std::u16string& out);

// The executable's "FileVersion" text; empty when it has none.
bridge::ScriptValue GetProductVersion(const bridge::ScriptValue& unused = {});

} // namespace lockora::system
