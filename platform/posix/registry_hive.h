// One registry hive in memory and its text form.
//
// The text is ASCII: a header line, then one section per key ("[A\\B]")
// followed by its values ("name"="text", "name"=dword:0000002a,
// "name"=hex(b):2a,00,00,00,00,00,00,00; "@" is the default value). Inside
// quotes and key paths, \\ \" \n \r \t and \] stand for themselves, and every
// other UTF-16 unit outside printable ASCII is written as \x with four hex
// digits, so lone surrogates and NUL survive unchanged.
#pragma once

#include "platform/registry.h"
#include "platform/result.h"

#include <string>
#include <string_view>
#include <vector>

namespace platform::registry {

struct HiveValue {
    std::u16string name;
    RegistryValue value;
};

struct HiveKey {
    std::u16string name;
    std::vector<HiveValue> values; // in the order they were created
    std::vector<HiveKey> subkeys;  // ordered without case
};

// The pieces of a key path; the empty path is the root. 161 for an empty
// piece, 87 for NUL or a piece over kMaxKeyNameUnits.
Result<std::vector<std::u16string>> SplitKeyPath(std::u16string_view path);

// 87 for NUL or a name over kMaxValueNameUnits.
Status CheckValueName(std::u16string_view name);

// 87 for a type this store does not keep or a REG_DWORD over 32 bits.
Status CheckValue(const RegistryValue& value);

HiveKey* FindSubkey(HiveKey& parent, std::u16string_view name);
// The key at `pieces` below `root`, or nullptr.
HiveKey* FindKey(HiveKey& root, const std::vector<std::u16string>& pieces);
// Adds a subkey in its sorted place and returns it. Invalidates pointers to
// the parent's other subkeys.
HiveKey& AddSubkey(HiveKey& parent, std::u16string name);

HiveValue* FindValue(HiveKey& key, std::u16string_view name);
// Sets a value; an existing name keeps its case. False when the key already
// held exactly this value.
bool SetValue(HiveKey& key, std::u16string_view name, const RegistryValue& value);

// The hive's text; `hiveName` goes into the header comment.
std::string FormatHive(const HiveKey& root, std::string_view hiveName);

// Parses the text of FormatHive; 1010 for anything else.
Result<HiveKey> ParseHive(std::string_view text);

} // namespace platform::registry
