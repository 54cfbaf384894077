// Strings of an executable's version resource (GetFileVersionInfo and
// VerQueryValue "\StringFileInfo\<language>\<key>").
//
// Only the running executable carries them here: they are embedded at build
// time from the project version.
#pragma once

#include "platform/errors.h"
#include "platform/result.h"

#include <string>
#include <string_view>

namespace platform {


// The value of `key` ("FileVersion", "ProductVersion"; letter case ignored)
// in the version resource of `filePath`; an empty path means the running
// executable. Errors: 87 for an empty key, 1813 for a file without version
// information, 1814 for a key the resource does not hold.
Result<std::u16string> FileVersionString(std::u16string_view filePath, std::u16string_view key);

} // namespace platform
