// The text of the settings file "FileUseSetting.dat".
//
// Ten CR LF lines: the seven flags as "0" or "1", iDelSel in signed decimal,
// uPwd in unsigned decimal and strBackDir. The path line holds one byte per
// character (Latin-1), as files written by earlier versions do. A path with a
// character above U+00FF cannot be written that way; its line is the UTF-8
// byte order mark followed by the path in UTF-8. The mark reads as "ï»¿" in
// Latin-1, which no real path starts with, so a Latin-1 line is never taken
// for UTF-8; a Latin-1 path that does start with it is written in the UTF-8
// form as well, so every path reads back unchanged.
#pragma once

#include "settings/settings_record.h"

#include <string>
#include <string_view>

namespace lockora::settings {

// The file's bytes for a record.
std::string FormatSettingsFile(const SettingsRecord& record);

// Reads the file's bytes into the record the way a text stream reads them:
// blanks (line ends included) before each of the nine numbers are skipped;
// the file ending before a number leaves it and every later field as they
// are; a bad token stops the reading but still sets its own field (a number
// other than 0 and 1 makes a flag true, a token without digits makes a flag
// false and a number 0). bReserved2 then becomes true, and strBackDir takes
// the line after the ninth number, or becomes empty when the reading stopped
// before it.
void ParseSettingsFile(std::string_view bytes, SettingsRecord& record);

} // namespace lockora::settings
