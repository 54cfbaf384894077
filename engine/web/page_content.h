// What the server does to the bytes of archive items: their content type and
// the runtime script put into every HTML page.
#pragma once

#include <string>
#include <string_view>

namespace lockora::engine::web {

// Address of the engine's runtime script.
inline constexpr std::string_view kRuntimeScriptPath = "/engine/runtime.js";

// Content type by the item's extension, letter case ignored. ".tis" holds
// page script and is served as JavaScript; unknown kinds are plain bytes.
std::string_view ContentTypeFor(std::string_view itemPath);

bool IsHtml(std::string_view contentType);

// The page with a script element for the runtime script placed before every
// script of the page: right after the opening head tag, else after the
// opening html tag or the doctype, else at the very start.
std::string InjectRuntimeScript(std::string_view html);

struct WindowSize {
    int width = 680;
    int height = 500;
};

// The window size a page asks for with <meta name="window-size"
// content="600x250">; the main screen's size when it asks for none.
WindowSize RequestedWindowSize(std::string_view html);

// Text made safe for an HTML attribute value in double quotes.
std::string EscapeAttribute(std::string_view text);

} // namespace lockora::engine::web
