#include "platform/text.h"

#include "platform/win32/wide.h"

#include <limits>

namespace platform {
namespace {

// wchar_t is UTF-16 here, so the system's wide strings are our own.
const wchar_t* Wide(std::u16string_view text)
{
    return reinterpret_cast<const wchar_t*>(text.data());
}

int Length(std::size_t size)
{
    return size > static_cast<std::size_t>(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max()
                                                                            : static_cast<int>(size);
}

} // namespace

std::u16string Utf8ToUtf16(std::string_view utf8)
{
    // Without MB_ERR_INVALID_CHARS an invalid sequence becomes U+FFFD.
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), Length(utf8.size()), nullptr, 0);
    std::u16string utf16(static_cast<std::size_t>(length), u'\0');
    if (length > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), Length(utf8.size()), reinterpret_cast<wchar_t*>(utf16.data()),
                              length);
    return utf16;
}

std::string Utf16ToUtf8(std::u16string_view utf16)
{
    // A lone surrogate becomes U+FFFD.
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, Wide(utf16), Length(utf16.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    if (length > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, Wide(utf16), Length(utf16.size()), utf8.data(), length, nullptr, nullptr);
    return utf8;
}

bool IsValidUtf8(std::string_view bytes)
{
    return bytes.empty() ||
           ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), Length(bytes.size()), nullptr, 0) > 0;
}

std::wstring Utf16ToWide(std::u16string_view utf16)
{
    return std::wstring(Wide(utf16), utf16.size());
}

std::u16string WideToUtf16(std::wstring_view wide)
{
    return std::u16string(reinterpret_cast<const char16_t*>(wide.data()), wide.size());
}

char16_t AsciiToUpper(char16_t c)
{
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

char16_t AsciiToLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// The file system's own upper-case table, as names compare on it.
char16_t FoldUpper(char16_t c)
{
    wchar_t folded = static_cast<wchar_t>(c);
    ::CharUpperBuffW(&folded, 1);
    return static_cast<char16_t>(folded);
}

int CompareNoCase(std::u16string_view a, std::u16string_view b)
{
    const int order = ::CompareStringOrdinal(Wide(a), Length(a.size()), Wide(b), Length(b.size()), TRUE);
    return order == CSTR_LESS_THAN ? -1 : order == CSTR_GREATER_THAN ? 1 : 0;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b)
{
    return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

} // namespace platform
