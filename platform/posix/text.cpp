#include "platform/text.h"

#include <cstdint>

namespace platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf16(std::u16string& out, char32_t cp)
{
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Decodes one UTF-8 sequence at `pos`; returns the code point and advances
// `pos`, or returns kReplacement and advances by one byte when malformed.
char32_t DecodeUtf8(std::string_view s, std::size_t& pos, bool& valid)
{
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(s[i]); };
    const std::uint8_t lead = byte(pos);
    valid = true;
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    int length = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, cp = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, cp = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, cp = lead & 0x07, minimum = 0x10000;
    } else {
        valid = false;
        ++pos;
        return kReplacement;
    }
    if (pos + length > s.size()) {
        valid = false;
        ++pos;
        return kReplacement;
    }
    for (int i = 1; i < length; ++i) {
        const std::uint8_t next = byte(pos + i);
        if ((next & 0xC0) != 0x80) {
            valid = false;
            ++pos;
            return kReplacement;
        }
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        valid = false;
        ++pos;
        return kReplacement;
    }
    pos += length;
    return cp;
}

// Decodes one UTF-16 code point; a lone surrogate gives kReplacement.
char32_t DecodeUtf16(std::u16string_view s, std::size_t& pos)
{
    const char16_t unit = s[pos++];
    if (unit >= 0xD800 && unit <= 0xDBFF && pos < s.size() && s[pos] >= 0xDC00 && s[pos] <= 0xDFFF)
        return 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (s[pos++] - 0xDC00);
    if (unit >= 0xD800 && unit <= 0xDFFF)
        return kReplacement;
    return unit;
}

} // namespace

std::u16string Utf8ToUtf16(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    bool valid = true;
    for (std::size_t pos = 0; pos < utf8.size();)
        AppendUtf16(out, DecodeUtf8(utf8, pos, valid));
    return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16)
{
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t pos = 0; pos < utf16.size();)
        AppendUtf8(out, DecodeUtf16(utf16, pos));
    return out;
}

bool IsValidUtf8(std::string_view bytes)
{
    bool valid = true;
    for (std::size_t pos = 0; pos < bytes.size() && valid;)
        DecodeUtf8(bytes, pos, valid);
    return valid;
}

std::wstring Utf16ToWide(std::u16string_view utf16)
{
    std::wstring out;
    out.reserve(utf16.size());
    for (std::size_t pos = 0; pos < utf16.size();)
        out.push_back(static_cast<wchar_t>(DecodeUtf16(utf16, pos)));
    return out;
}

std::u16string WideToUtf16(std::wstring_view wide)
{
    std::u16string out;
    out.reserve(wide.size());
    for (wchar_t c : wide) {
        const auto cp = static_cast<char32_t>(c);
        AppendUtf16(out, cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) ? kReplacement : cp);
    }
    return out;
}

char16_t AsciiToUpper(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
}

char16_t AsciiToLower(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 0x20) : c;
}

char16_t FoldUpper(char16_t c)
{
    if (c < 0x80)
        return AsciiToUpper(c);
    // Latin-1 lower-case letters, except the multiplication/division sign,
    // sharp s and y with diaeresis, which have no single-unit upper case here.
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return static_cast<char16_t>(c - 0x20);
    // Latin Extended-A: upper/lower pairs that start on an even code point,
    // except two runs that start on an odd one.
    if (c >= 0x100 && c <= 0x17E) {
        const bool oddPairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        const bool isLower = oddPairs ? (c % 2 == 0) : (c % 2 == 1);
        const bool unpaired = c == 0x131 || c == 0x138 || c == 0x149;
        return isLower && !unpaired ? static_cast<char16_t>(c - 1) : c;
    }
    // Greek and Cyrillic.
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2)
        return static_cast<char16_t>(c - 0x20);
    if (c >= 0x430 && c <= 0x44F)
        return static_cast<char16_t>(c - 0x20);
    if (c >= 0x450 && c <= 0x45F)
        return static_cast<char16_t>(c - 0x50);
    // Full-width Latin letters.
    if (c >= 0xFF41 && c <= 0xFF5A)
        return static_cast<char16_t>(c - 0x20);
    return c;
}

int CompareNoCase(std::u16string_view a, std::u16string_view b)
{
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t x = FoldUpper(a[i]);
        const char16_t y = FoldUpper(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b)
{
    return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

} // namespace platform
