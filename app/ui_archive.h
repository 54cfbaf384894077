// The UI archive: the pages, scripts and style sheets of ui/, packed at
// build time into a block linked into the program.
#pragma once

#include <cstdint>
#include <span>

namespace lockora::app {

std::span<const std::uint8_t> UiArchiveBlock();

} // namespace lockora::app
