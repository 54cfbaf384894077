// The drive list shown at the top level of a work screen.
#pragma once

#include "bridge/script_value.h"

namespace lockora::browse {

class IconCache;

// One row per logical drive, in the drive table's order: [drive name ("C:"),
// last-write time text, the shell's type name, size, 0]. A drive whose
// status cannot be read shows the time of 1 January 1970 and size 0; a time
// without a local date shows an empty text.
bridge::ScriptValue GetAllPartitionInfo(IconCache& icons);

} // namespace lockora::browse
