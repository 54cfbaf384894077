// What a profile-string write may hold.
#pragma once

#include <string_view>

namespace platform {

// A line end, NUL, "]" in a section name or "=" in a key name would let the
// written text change the structure of the file (add sections or keys of its
// own), so such text is refused.
inline bool IsWritableProfileText(std::u16string_view section, std::u16string_view key, std::u16string_view value)
{
    const auto hasLineBreakOrNul = [](std::u16string_view text) {
        return text.find_first_of(std::u16string_view(u"\r\n\0", 3)) != std::u16string_view::npos;
    };
    return !hasLineBreakOrNul(section) && !hasLineBreakOrNul(key) && !hasLineBreakOrNul(value) &&
           section.find(u']') == std::u16string_view::npos && key.find(u'=') == std::u16string_view::npos;
}

} // namespace platform
