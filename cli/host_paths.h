// Paths as a Linux user types them, and as the program's engine takes them.
#pragma once

#include "platform/result.h"

#include <string>
#include <string_view>

namespace lockora::cli {

// A relative or absolute host path, made absolute against the current
// folder (without following links, as a shell does) and turned into the
// program's Windows form through the drive table. 3 when no drive maps it.
platform::Result<std::u16string> ToProgramPath(std::string_view typed);

// How to print `item`, a name in the folder of the path the user typed as
// `typed`: that folder as typed, followed by the item's host name. So
// "docs/a.txt" gives "docs/a.txt.xep" and "/srv/x/" gives "/srv/x.xep";
// after "." or ".." the item's whole host path.
std::string DisplayBeside(std::string_view typed, std::u16string_view item);

} // namespace lockora::cli
