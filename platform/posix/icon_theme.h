// Icon files of the installed freedesktop icon themes, found without a
// toolkit: the themes' fixed-size PNG folders are indexed once per process.
#pragma once

#include <string>
#include <vector>

namespace platform::posix {

// PNG bytes of the first of `names` (in order) that Adwaita, hicolor or a
// pixmaps folder holds, in the size nearest to `pixels`; empty when none does.
std::string FindThemeIconPng(const std::vector<std::string>& names, int pixels);

} // namespace platform::posix
