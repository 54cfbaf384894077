#include "app/command_line.h"

#include "platform/text.h"

#include <array>
#include <regex>

namespace lockora::app {

std::u16string g_commandLine;

namespace {

struct Verb {
    const wchar_t* test;
    std::u16string_view page;
};

// libstdc++ has no char16_t regex; the patterns are ASCII, so matching the
// wide form gives the same results.
constexpr std::array<Verb, 4> kVerbs{{
    {L"^encrypt", u"this://app/operation-encrypt.html"},
    {L"^decrypt", u"this://app/operation-decrypt.html"},
    {L"^remove", u"this://app/operation-delete.html"},
    {L"^open", kMainPage},
}};

} // namespace

std::optional<std::u16string_view> VerbPage(std::u16string_view commandLine)
{
    const std::wstring text = platform::Utf16ToWide(commandLine);
    for (const Verb& verb : kVerbs) {
        if (std::regex_search(text, std::wregex(verb.test, std::regex::ECMAScript)))
            return verb.page;
    }
    return std::nullopt;
}

bool IsBareVerb(std::u16string_view commandLine)
{
    while (!commandLine.empty() && commandLine.back() == u' ')
        commandLine.remove_suffix(1);
    for (const std::u16string_view verb : {u"encrypt", u"decrypt", u"remove", u"open"}) {
        if (commandLine == verb)
            return true;
    }
    return false;
}

std::u16string HandedOverPath(std::u16string_view commandLine)
{
    static const std::wregex kVerbAndQuotes(LR"(^(remove|encrypt|decrypt|open)\s*"|"$)", std::regex::ECMAScript);
    return platform::WideToUtf16(std::regex_replace(platform::Utf16ToWide(commandLine), kVerbAndQuotes, L""));
}

} // namespace lockora::app
