#include "platform/profile.h"

#include "platform/common/profile_rules.h"
#include "platform/errors.h"
#include "platform/path.h"
#include "platform/posix/host_file.h"
#include "platform/text.h"

#include <optional>
#include <vector>

namespace platform {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kNewLine = "\r\n";

bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f' || c == u'\r' || c == u'\n';
}

template <typename Char>
std::basic_string_view<Char> Trim(std::basic_string_view<Char> text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// One line of the file and the line end that followed it (empty for a last
// line without one), so that untouched lines are written back unchanged.
struct ProfileLine {
    std::string_view text;
    std::string_view ending;
};

std::vector<ProfileLine> SplitLines(std::string_view body)
{
    std::vector<ProfileLine> lines;
    std::size_t pos = 0;
    while (pos < body.size()) {
        const auto end = body.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            lines.push_back({body.substr(pos), {}});
            break;
        }
        const std::size_t endLength = body.compare(end, 2, kNewLine) == 0 ? 2 : 1;
        lines.push_back({body.substr(pos, end - pos), body.substr(end, endLength)});
        pos = end + endLength;
    }
    return lines;
}

enum class LineKind { Blank, Section, Entry };

struct ParsedLine {
    LineKind kind = LineKind::Blank;
    std::string_view name;                 // section or key name, trimmed
    std::optional<std::string_view> value; // trimmed; none for a line without "="
};

ParsedLine ParseLine(std::string_view text)
{
    const auto trimmed = Trim(text);
    if (trimmed.empty())
        return {};
    if (trimmed.front() == '[') {
        // Whatever follows the closing bracket is ignored.
        if (const auto close = trimmed.find_last_of(']'); close != std::string_view::npos)
            return {LineKind::Section, Trim(trimmed.substr(1, close - 1)), std::nullopt};
    }
    const auto equals = trimmed.find('=');
    if (equals == std::string_view::npos)
        return {LineKind::Entry, trimmed, std::nullopt};
    return {LineKind::Entry, Trim(trimmed.substr(0, equals)), Trim(trimmed.substr(equals + 1))};
}

// Where a key is, or where it would go.
struct Location {
    std::optional<std::size_t> section; // header line of the first matching section
    std::optional<std::size_t> key;     // first matching key line in that section
    std::size_t lastContent = 0;        // last non-blank line of the section
};

Location Locate(const std::vector<ProfileLine>& lines, std::u16string_view section, std::u16string_view key)
{
    Location where;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const ParsedLine line = ParseLine(lines[i].text);
        if (line.kind == LineKind::Section) {
            // Only the first section of a name counts.
            if (where.section)
                break;
            if (EqualsNoCase(Utf8ToUtf16(line.name), section)) {
                where.section = i;
                where.lastContent = i;
            }
            continue;
        }
        if (!where.section || line.kind == LineKind::Blank)
            continue;
        where.lastContent = i;
        if (!where.key && EqualsNoCase(Utf8ToUtf16(line.name), key))
            where.key = i;
    }
    return where;
}

std::string_view WithoutBom(std::string_view content)
{
    if (content.starts_with(kUtf8Bom))
        content.remove_prefix(kUtf8Bom.size());
    return content;
}

std::string_view WithoutOuterQuotes(std::string_view value)
{
    if (value.size() >= 2 && value.front() == value.back() && (value.front() == '"' || value.front() == '\''))
        return value.substr(1, value.size() - 2);
    return value;
}

// The value as stored, or nothing when the file, section or key (or its
// "=") is missing.
std::optional<std::string> ReadValue(std::u16string_view section, std::u16string_view key, std::u16string_view file)
{
    const auto host = ToHostPath(file);
    if (!host)
        return std::nullopt;
    const auto content = hostio::ReadWholeFile(*host);
    if (!content)
        return std::nullopt;
    const auto lines = SplitLines(WithoutBom(*content));
    const Location where = Locate(lines, Trim(section), Trim(key));
    if (!where.key)
        return std::nullopt;
    const auto value = ParseLine(lines[*where.key].text).value;
    if (!value)
        return std::nullopt;
    return std::string(WithoutOuterQuotes(*value));
}

std::string WithValue(std::string_view content, std::u16string_view section, std::u16string_view key,
                      std::u16string_view value)
{
    const std::string_view body = WithoutBom(content);
    const auto lines = SplitLines(body);
    const Location where = Locate(lines, section, key);
    const std::string valueText = Utf16ToUtf8(value);

    std::string updated(content.substr(0, content.size() - body.size()));
    if (!where.section) {
        updated += body;
        if (!lines.empty() && lines.back().ending.empty())
            updated += kNewLine;
        updated += "[" + Utf16ToUtf8(section) + "]" + std::string(kNewLine);
        updated += Utf16ToUtf8(key) + "=" + valueText + std::string(kNewLine);
        return updated;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (where.key && i == *where.key) {
            // The key keeps the spelling it has in the file.
            updated += std::string(ParseLine(lines[i].text).name) + "=" + valueText;
            updated += lines[i].ending;
            continue;
        }
        updated += lines[i].text;
        if (!where.key && i == where.lastContent) {
            updated += lines[i].ending.empty() ? kNewLine : lines[i].ending;
            updated += Utf16ToUtf8(key) + "=" + valueText + std::string(kNewLine);
            continue;
        }
        updated += lines[i].ending;
    }
    return updated;
}

} // namespace

std::u16string GetPrivateProfileString(std::u16string_view section, std::u16string_view key,
                                       std::u16string_view defaultValue, std::u16string_view file)
{
    if (const auto value = ReadValue(section, key, file))
        return Utf8ToUtf16(*value);
    return std::u16string(defaultValue);
}

std::uint32_t GetPrivateProfileInt(std::u16string_view section, std::u16string_view key, std::int32_t defaultValue,
                                   std::u16string_view file)
{
    const auto value = ReadValue(section, key, file);
    if (!value || value->empty())
        return static_cast<std::uint32_t>(defaultValue);
    std::string_view digits = *value;
    const bool negative = digits.front() == '-';
    if (negative || digits.front() == '+')
        digits.remove_prefix(1);
    // Unsigned arithmetic wraps modulo 2^32, as the Windows reader does.
    std::uint32_t number = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            break;
        number = number * 10u + static_cast<std::uint32_t>(c - '0');
    }
    return negative ? 0u - number : number;
}

Status WritePrivateProfileString(std::u16string_view section, std::u16string_view key, std::u16string_view value,
                                 std::u16string_view file)
{
    section = Trim(section);
    key = Trim(key);
    if (!IsWritableProfileText(section, key, value))
        return Error(kErrorInvalidParameter);
    const auto host = ToHostPath(file);
    if (!host)
        return host.error();

    // Every writer of a file in this folder holds the folder's lock from its
    // read to its rename, so concurrent writes (threads or processes) are
    // applied one after the other and none is lost.
    const auto lock = hostio::ExclusiveLock::OnFolder(hostio::ParentFolder(*host));
    if (!lock)
        return lock.error();
    auto content = hostio::ReadWholeFile(*host);
    if (!content && content.code() != kErrorFileNotFound)
        return content.error();
    hostio::RemoveStaleTemporaries(*host);

    const bool existed = content.ok();
    const std::string current = existed ? std::move(content).value() : std::string();
    const std::string updated = WithValue(current, section, key, value);
    if (existed && updated == current)
        return Status::Success();
    return hostio::ReplaceFileAtomically(*host, updated);
}

} // namespace platform
