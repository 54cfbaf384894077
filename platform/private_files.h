// Files of the program's own that other users of the machine must not read,
// such as a page's start file and a browser profile. Paths here are host
// paths in UTF-8 (the program's own folders, never the user's documents).
#pragma once

#include "platform/result.h"

#include <string>
#include <string_view>

namespace platform {

// Makes a new folder that only the user can enter, named `prefix` and a
// random part, and returns its path. On POSIX it is made with mode 0700
// under $XDG_RUNTIME_DIR, else $TMPDIR, else /tmp; on Windows under
// %LOCALAPPDATA%\Temp with an access list that names the user alone.
Result<std::string> CreatePrivateFolder(std::string_view prefix);

// Creates the new file `path` with `bytes`, readable and writable by the
// user alone; 80 when something of that name exists already.
Status CreatePrivateFile(const std::string& path, std::string_view bytes);

// Removes a folder and everything below it, as far as it can: a program
// still writing there may keep some of it.
void RemoveFolderTree(const std::string& path);

// The path as a "file://" address, every byte outside the unreserved set
// escaped ("C:\a b" on Windows becomes "file:///C:/a%20b").
std::string FileUrl(std::string_view path);

} // namespace platform
