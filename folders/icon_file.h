// Icon files (.ico) built from PNG images, the form in which the shell's
// icons are handed to the pages.
#pragma once

#include <string>
#include <string_view>

namespace lockora::folders {

// An icon file with one image, stored as the PNG itself (icon files accept
// PNG images since Windows Vista). The size in the directory entry comes
// from the PNG header. Empty when `png` is not a PNG image.
std::string IconFileFromPng(std::string_view png);

} // namespace lockora::folders
