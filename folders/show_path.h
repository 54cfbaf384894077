// Making items visible at once, and the accepted but inactive HidePath.
#pragma once

#include "bridge/script_value.h"

namespace lockora::folders {

// Script function: param is [anything, [path, ...]]. Clears hidden and
// not-content-indexed on each path itself (folders are not entered); a
// failure is ignored. Returns 0; runs on the UI thread.
bridge::ScriptValue ShowPath(const bridge::ScriptValue& param);

// Script function: hiding goes through SetAttributes; this one changes
// nothing and returns 0.
bridge::ScriptValue HidePath(const bridge::ScriptValue& unused = {});

} // namespace lockora::folders
