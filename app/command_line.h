// The command line: at most one verb and one quoted path, as the Explorer
// entries pass them ("encrypt "C:\Data\a.txt"").
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lockora::app {

// The command-line text without the program name; copied once by the entry.
extern std::u16string g_commandLine;

inline constexpr std::u16string_view kMainPage = u"this://app/index.html";

// The first page the verb at the start of `commandLine` selects, or nothing
// when no verb matches. The verbs are tested in order, letter case counting.
std::optional<std::u16string_view> VerbPage(std::u16string_view commandLine);

// Whether the command line is a verb with nothing to act on, as a desktop
// launcher started from a menu passes it ("open"): the program then starts
// as it does without a command line.
bool IsBareVerb(std::u16string_view commandLine);

// The path handed to the first page: the command line without a leading verb
// with the blanks and the opening quote after it, and without one closing
// quote at its very end. A verb without an opening quote stays in the text.
std::u16string HandedOverPath(std::u16string_view commandLine);

} // namespace lockora::app
