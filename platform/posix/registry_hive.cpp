#include "platform/posix/registry_hive.h"

#include "platform/errors.h"
#include "platform/text.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace platform::registry {
namespace {

constexpr std::string_view kHeader = "LOCKORA REGISTRY Version 1";
constexpr std::string_view kDwordTag = "dword:";
constexpr std::string_view kQwordTag = "hex(b):";

std::string Escape(std::u16string_view text, bool inKeyPath)
{
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        switch (c) {
        case u'\\': out += "\\\\"; continue;
        case u'"': out += "\\\""; continue;
        case u'\n': out += "\\n"; continue;
        case u'\r': out += "\\r"; continue;
        case u'\t': out += "\\t"; continue;
        default: break;
        }
        if (inKeyPath && c == u']') {
            out += "\\]";
        } else if (c >= 0x20 && c < 0x7F) {
            out.push_back(static_cast<char>(c));
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%04x", static_cast<unsigned>(c));
            out += hex;
        }
    }
    return out;
}

std::optional<unsigned> HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<unsigned>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return static_cast<unsigned>(c - 'A' + 10);
    return std::nullopt;
}

// Reads escaped text from `line` up to the unescaped `terminator` and moves
// `line` past it.
std::optional<std::u16string> Unescape(std::string_view& line, char terminator)
{
    std::u16string text;
    for (std::size_t pos = 0; pos < line.size(); ++pos) {
        const char c = line[pos];
        if (c == terminator) {
            line.remove_prefix(pos + 1);
            return text;
        }
        if (c < 0x20 || c > 0x7E)
            return std::nullopt;
        if (c != '\\') {
            text.push_back(static_cast<char16_t>(c));
            continue;
        }
        if (++pos == line.size())
            return std::nullopt;
        switch (const char escaped = line[pos]) {
        case 'n': text.push_back(u'\n'); break;
        case 'r': text.push_back(u'\r'); break;
        case 't': text.push_back(u'\t'); break;
        case 'x': {
            // One to four hex digits, as hand-written files may have them.
            unsigned unit = 0;
            std::size_t digits = 0;
            while (digits < 4 && pos + 1 < line.size()) {
                const auto digit = HexDigit(line[pos + 1]);
                if (!digit)
                    break;
                unit = unit * 16 + *digit;
                ++pos;
                ++digits;
            }
            if (digits == 0)
                return std::nullopt;
            text.push_back(static_cast<char16_t>(unit));
            break;
        }
        default:
            if (escaped < 0x20 || escaped > 0x7E)
                return std::nullopt;
            text.push_back(static_cast<char16_t>(escaped));
            break;
        }
    }
    return std::nullopt;
}

std::string FormatValue(const RegistryValue& value)
{
    char buffer[16];
    switch (value.type) {
    case RegistryType::Dword:
        std::snprintf(buffer, sizeof buffer, "%08x", static_cast<unsigned>(value.number));
        return std::string(kDwordTag) + buffer;
    case RegistryType::Qword: {
        // Little-endian bytes, the value's layout in the Windows registry.
        std::string out(kQwordTag);
        for (int i = 0; i < 8; ++i) {
            std::snprintf(buffer, sizeof buffer, i ? ",%02x" : "%02x", static_cast<unsigned>((value.number >> (8 * i)) & 0xFF));
            out += buffer;
        }
        return out;
    }
    case RegistryType::Sz:
        break;
    }
    return "\"" + Escape(value.text, false) + "\"";
}

std::optional<std::uint64_t> ParseHex(std::string_view digits)
{
    if (digits.empty() || digits.size() > 16)
        return std::nullopt;
    std::uint64_t number = 0;
    for (char c : digits) {
        const auto digit = HexDigit(c);
        if (!digit)
            return std::nullopt;
        number = number * 16 + *digit;
    }
    return number;
}

std::optional<RegistryValue> ParseValueData(std::string_view data)
{
    if (data.starts_with('"')) {
        data.remove_prefix(1);
        auto text = Unescape(data, '"');
        if (!text || !data.empty())
            return std::nullopt;
        return RegistryValue::String(std::move(*text));
    }
    if (data.starts_with(kDwordTag)) {
        data.remove_prefix(kDwordTag.size());
        const auto number = ParseHex(data);
        if (!number || data.size() > 8)
            return std::nullopt;
        return RegistryValue::Dword(static_cast<std::uint32_t>(*number));
    }
    if (data.starts_with(kQwordTag)) {
        data.remove_prefix(kQwordTag.size());
        // Exactly eight bytes "xx,xx,...".
        if (data.size() != 8 * 3 - 1)
            return std::nullopt;
        std::uint64_t number = 0;
        for (int i = 0; i < 8; ++i) {
            if (i > 0 && data[static_cast<std::size_t>(i) * 3 - 1] != ',')
                return std::nullopt;
            const auto byte = ParseHex(data.substr(static_cast<std::size_t>(i) * 3, 2));
            if (!byte)
                return std::nullopt;
            number |= *byte << (8 * i);
        }
        return RegistryValue::Qword(number);
    }
    return std::nullopt;
}

void FormatKey(const HiveKey& key, std::u16string_view path, std::string& out)
{
    // The root needs a section only for values of its own.
    if (!path.empty() || !key.values.empty()) {
        out += "\n[";
        out += Escape(path, true);
        out += "]\n";
        for (const auto& value : key.values) {
            out += value.name.empty() ? "@" : "\"" + Escape(value.name, false) + "\"";
            out += "=" + FormatValue(value.value) + "\n";
        }
    }
    for (const auto& subkey : key.subkeys) {
        std::u16string subPath(path);
        if (!subPath.empty())
            subPath.push_back(u'\\');
        subPath += subkey.name;
        FormatKey(subkey, subPath, out);
    }
}

HiveKey& FindOrAddPath(HiveKey& root, const std::vector<std::u16string>& pieces)
{
    HiveKey* key = &root;
    for (const auto& piece : pieces) {
        HiveKey* next = FindSubkey(*key, piece);
        key = next ? next : &AddSubkey(*key, piece);
    }
    return *key;
}

// Applies one line below the header to the hive; `current` is the key of
// the last section.
bool ParseLine(std::string_view line, HiveKey& root, HiveKey*& current)
{
    if (line.empty() || line.front() == ';')
        return true;
    if (line.front() == '[') {
        line.remove_prefix(1);
        const auto path = Unescape(line, ']');
        if (!path || !line.empty())
            return false;
        const auto pieces = SplitKeyPath(*path);
        if (!pieces)
            return false;
        current = &FindOrAddPath(root, *pieces);
        return true;
    }
    if (!current)
        return false;

    std::u16string name;
    if (line.front() == '@') {
        line.remove_prefix(1);
    } else if (line.front() == '"') {
        line.remove_prefix(1);
        auto quoted = Unescape(line, '"');
        if (!quoted)
            return false;
        name = std::move(*quoted);
    } else {
        return false;
    }
    if (!line.starts_with('=') || !CheckValueName(name).ok())
        return false;
    const auto value = ParseValueData(line.substr(1));
    if (!value)
        return false;
    SetValue(*current, name, *value);
    return true;
}

} // namespace

Result<std::vector<std::u16string>> SplitKeyPath(std::u16string_view path)
{
    std::vector<std::u16string> pieces;
    if (path.empty())
        return pieces;
    std::size_t pos = 0;
    for (;;) {
        const auto end = std::min(path.find(u'\\', pos), path.size());
        const std::u16string_view piece = path.substr(pos, end - pos);
        if (piece.empty())
            return Error(kErrorBadPathname);
        if (piece.size() > kMaxKeyNameUnits || piece.find(u'\0') != std::u16string_view::npos)
            return Error(kErrorInvalidParameter);
        pieces.emplace_back(piece);
        if (end == path.size())
            return pieces;
        pos = end + 1;
    }
}

Status CheckValueName(std::u16string_view name)
{
    if (name.size() > kMaxValueNameUnits || name.find(u'\0') != std::u16string_view::npos)
        return Error(kErrorInvalidParameter);
    return Status::Success();
}

Status CheckValue(const RegistryValue& value)
{
    switch (value.type) {
    case RegistryType::Sz:
    case RegistryType::Qword:
        return Status::Success();
    case RegistryType::Dword:
        return value.number <= 0xFFFFFFFFu ? Status::Success() : Status(Error(kErrorInvalidParameter));
    }
    return Error(kErrorInvalidParameter);
}

HiveKey* FindSubkey(HiveKey& parent, std::u16string_view name)
{
    for (auto& subkey : parent.subkeys) {
        if (EqualsNoCase(subkey.name, name))
            return &subkey;
    }
    return nullptr;
}

HiveKey* FindKey(HiveKey& root, const std::vector<std::u16string>& pieces)
{
    HiveKey* key = &root;
    for (const auto& piece : pieces) {
        key = FindSubkey(*key, piece);
        if (!key)
            return nullptr;
    }
    return key;
}

HiveKey& AddSubkey(HiveKey& parent, std::u16string name)
{
    const auto place = std::find_if(parent.subkeys.begin(), parent.subkeys.end(),
                                    [&](const HiveKey& subkey) { return CompareNoCase(subkey.name, name) > 0; });
    return *parent.subkeys.insert(place, HiveKey{std::move(name), {}, {}});
}

HiveValue* FindValue(HiveKey& key, std::u16string_view name)
{
    for (auto& value : key.values) {
        if (EqualsNoCase(value.name, name))
            return &value;
    }
    return nullptr;
}

bool SetValue(HiveKey& key, std::u16string_view name, const RegistryValue& value)
{
    if (HiveValue* existing = FindValue(key, name)) {
        if (existing->value == value)
            return false;
        existing->value = value;
        return true;
    }
    key.values.push_back({std::u16string(name), value});
    return true;
}

std::string FormatHive(const HiveKey& root, std::string_view hiveName)
{
    std::string out(kHeader);
    out += "\n;; ";
    out += hiveName;
    out += "\n";
    FormatKey(root, {}, out);
    return out;
}

Result<HiveKey> ParseHive(std::string_view text)
{
    HiveKey root;
    HiveKey* current = nullptr;
    bool header = true;
    while (!text.empty()) {
        const auto end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (header) {
            if (line != kHeader)
                return Error(kErrorBadlyFormattedRegistryFile);
            header = false;
            continue;
        }
        if (!ParseLine(line, root, current))
            return Error(kErrorBadlyFormattedRegistryFile);
    }
    if (header)
        return Error(kErrorBadlyFormattedRegistryFile);
    return root;
}

} // namespace platform::registry
