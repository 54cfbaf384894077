// Context-menu entries for files and folders and the ".xep" file type,
// registered under the classes root.
//
// Each entry runs the executable with one command word and the chosen item:
// "\"<exe>\" encrypt \"%1\"". Removal takes the verbs away but keeps ".xep"
// and the type's default icon, so containers keep their icon.
#pragma once

#include "bridge/script_value.h"

#include <string>
#include <string_view>

namespace lockora::shell {

// The file type that ".xep" points to.
inline constexpr std::u16string_view kContainerType = u"mmeptfile";
inline constexpr std::u16string_view kContainerExtension = u".xep";

// The executable as the registered commands name it: its path in double
// quotes.
std::u16string QuotedExecutable();

// Writes every key and value, in order; stops at the first failure and
// leaves what was written. True when everything was written.
bool RegisterContextMenu();

// Deletes the command and verb keys of every entry; failures (keys that do
// not exist, among them) are ignored.
void UnregisterContextMenu();

// Script function: registers the entries and installs their desktop
// counterparts; the argument is not read, the outcome not returned. Returns 0.
bridge::ScriptValue AddContext(const bridge::ScriptValue& unused = {});

// Script function: removes the entries and their desktop counterparts.
// Returns 0.
bridge::ScriptValue RemoveContext(const bridge::ScriptValue& unused = {});

} // namespace lockora::shell
