// Profile-string (INI) files with the Windows semantics of
// GetPrivateProfileString, WritePrivateProfileString and GetPrivateProfileInt.
//
// Section and key names are compared without case (the first of duplicates
// wins); blanks around names and values are trimmed; one pair of outer quotes
// is stripped from a value on reading. A write adds a missing section at the
// end of the file and a missing key at the end of its section, with CR LF
// line ends, keeps every other line as it was, and replaces the file
// atomically. The first write creates the file (3 when its folder is missing).
#pragma once

#include "platform/result.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// The value of key in section, or `defaultValue` when the file, the section
// or the key is missing.
std::u16string GetPrivateProfileString(std::u16string_view section, std::u16string_view key,
                                       std::u16string_view defaultValue, std::u16string_view file);

// Reads as Windows does: empty or missing gives the default; otherwise an
// optional sign and the leading digits, wrapping modulo 2^32 ("3abc" is 3,
// "x" is 0, "-1" is 4294967295).
std::uint32_t GetPrivateProfileInt(std::u16string_view section, std::u16string_view key,
                                   std::int32_t defaultValue, std::u16string_view file);

// Writes key=value into section, creating what is missing.
Status WritePrivateProfileString(std::u16string_view section, std::u16string_view key,
                                 std::u16string_view value, std::u16string_view file);

} // namespace platform
