// The ".hidden" file of a folder: one name per line, the names that Linux
// file managers (GNOME Files, Nemo, Caja, Dolphin) hide in that folder. The
// hidden attribute is mirrored there, so that an item hidden by the program
// is hidden on the desktop too.
#pragma once

#include "platform/result.h"

#include <string>
#include <string_view>

namespace platform::hostfs {

// Adds `name` to (or removes it from) the ".hidden" file of `folder` (host
// paths). Other names and their order stay as they were; the file is made
// when the first name comes and removed when the last one goes, and it is
// replaced atomically. Nothing is written when nothing changes. Errors: 5
// when the folder or the file cannot be written.
Status ListAsHidden(const std::string& folder, std::string_view name, bool hidden);

} // namespace platform::hostfs
