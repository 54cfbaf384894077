// Per-run secrets of the web engine.
//
// The server can encrypt and shred files, so only the page it launched may
// use it: its tokens come from the system's random source and are compared in
// constant time, so neither their value nor their prefix leaks through timing.
#pragma once

#include "platform/result.h"

#include <string>
#include <string_view>

namespace lockora::engine::web {

// 32 random bytes (256 bits) from getrandom, as 64 lower-case hex digits.
platform::Result<std::string> GenerateSecret();

// Whether two texts are equal; the time taken depends only on their lengths.
bool SecretEquals(std::string_view a, std::string_view b);

} // namespace lockora::engine::web
