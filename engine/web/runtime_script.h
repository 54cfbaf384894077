// The runtime script (runtime.js), embedded at build time.
#pragma once

#include <string_view>

namespace lockora::engine::web {

std::string_view EmbeddedRuntimeScript();

} // namespace lockora::engine::web
