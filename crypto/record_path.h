// Which relative paths a folder container may hold.
//
// A record path is "\" followed by names separated by "\". The reader refuses
// every path that could leave the output folder or name something other than
// a plain file or folder, and the writer refuses to store one, so that every
// container written here can be restored.
#pragma once

#include <string_view>

namespace lockora::crypto {

// False when the path is empty, does not start with exactly one "\", is
// drive- or UNC-qualified, holds ":" (drive or alternate data stream), "/",
// a control character or another character a Windows name cannot hold, or
// has a name that is empty, ".", "..", ends in a dot or a blank, or is a
// reserved device name (CON, PRN, AUX, NUL, COM0-9, LPT0-9, with or without
// an extension, in any letter case).
bool IsSafeRecordPath(std::u16string_view path);

} // namespace lockora::crypto
