// Text conversions of the whole program, in one place.
//
// Native text is UTF-16 (std::u16string). Narrow text is UTF-8, which stands
// in for the "ANSI code page" wherever the system converts to narrow text.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// UTF-8 to UTF-16. An invalid byte sequence becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);

// UTF-16 to UTF-8. A lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

// Whether the bytes are well-formed UTF-8 (no overlongs, no surrogates).
bool IsValidUtf8(std::string_view bytes);

// UTF-16 to and from the wide strings that std::wregex needs (UTF-32 here).
std::wstring Utf16ToWide(std::u16string_view utf16);
std::u16string WideToUtf16(std::wstring_view wide);

// ASCII-only case folding, as the system's case-insensitive names need.
char16_t AsciiToUpper(char16_t c);
char16_t AsciiToLower(char16_t c);

// Case-insensitive comparison of UTF-16 text: ASCII letters and the Latin-1,
// Greek and Cyrillic letters fold to upper case, as the file system and the
// registry compare names.
int CompareNoCase(std::u16string_view a, std::u16string_view b);
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);
char16_t FoldUpper(char16_t c);

} // namespace platform
