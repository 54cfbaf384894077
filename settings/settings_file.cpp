#include "settings/settings_file.h"

#include "platform/text.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>

namespace lockora::settings {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

std::string Latin1Bytes(std::u16string_view text)
{
    std::string bytes;
    bytes.reserve(text.size());
    for (const char16_t c : text)
        bytes.push_back(static_cast<char>(static_cast<unsigned char>(c)));
    return bytes;
}

std::string EncodePathLine(std::u16string_view path)
{
    const bool fitsLatin1 = std::all_of(path.begin(), path.end(), [](char16_t c) { return c <= 0xFF; });
    if (fitsLatin1) {
        std::string bytes = Latin1Bytes(path);
        if (!bytes.starts_with(kUtf8Mark))
            return bytes;
    }
    return std::string(kUtf8Mark) + platform::Utf16ToUtf8(path);
}

std::u16string DecodePathLine(std::string_view line)
{
    if (line.starts_with(kUtf8Mark) && platform::IsValidUtf8(line.substr(kUtf8Mark.size())))
        return platform::Utf8ToUtf16(line.substr(kUtf8Mark.size()));
    std::u16string path;
    path.reserve(line.size());
    for (const char c : line)
        path.push_back(static_cast<unsigned char>(c));
    return path;
}

// The file as a text-mode stream sees it: CR LF read as LF.
std::string TextModeBytes(std::string_view bytes)
{
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            continue;
        text.push_back(bytes[i]);
    }
    return text;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A decimal number as a stream's number extraction takes it: an optional
// sign and the digits that follow; whatever comes next is left for the next
// read.
struct NumberToken {
    bool hasDigits = false;
    bool negative = false;
    bool overflow = false; // the magnitude does not fit 64 bits
    std::uint64_t magnitude = 0;
};

// How a field came out of its token.
enum class TokenResult { Good, Bad, End };

class TextReader {
public:
    explicit TextReader(std::string text) : text_(std::move(text)) {}

    // Skips blanks; false when the text ends first.
    bool SkipBlanks()
    {
        while (pos_ < text_.size() && IsBlank(text_[pos_]))
            ++pos_;
        return pos_ < text_.size();
    }

    NumberToken ReadNumber(bool signedNumber)
    {
        NumberToken token;
        if (pos_ < text_.size() && (text_[pos_] == '+' || (signedNumber && text_[pos_] == '-'))) {
            token.negative = text_[pos_] == '-';
            ++pos_;
        }
        constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
        for (; pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9'; ++pos_) {
            const auto digit = static_cast<std::uint64_t>(text_[pos_] - '0');
            token.hasDigits = true;
            if (token.magnitude > (kMax - digit) / 10)
                token.overflow = true;
            else
                token.magnitude = token.magnitude * 10 + digit;
        }
        return token;
    }

    // The line after the current one, without its line break; nothing when
    // the text ends first.
    std::optional<std::string_view> NextLine()
    {
        const std::size_t lineEnd = text_.find('\n', pos_);
        if (lineEnd == std::string::npos)
            return std::nullopt;
        const std::string_view rest = std::string_view(text_).substr(lineEnd + 1);
        return rest.substr(0, rest.find('\n'));
    }

private:
    std::string text_;
    std::size_t pos_ = 0;
};

TokenResult ReadFlag(TextReader& reader, bool& flag)
{
    if (!reader.SkipBlanks())
        return TokenResult::End;
    const NumberToken token = reader.ReadNumber(true);
    if (!token.hasDigits) {
        flag = false;
        return TokenResult::Bad;
    }
    if (!token.overflow && token.magnitude == 0) {
        flag = false;
        return TokenResult::Good;
    }
    flag = true;
    return !token.overflow && token.magnitude == 1 && !token.negative ? TokenResult::Good : TokenResult::Bad;
}

TokenResult ReadInt32(TextReader& reader, std::int32_t& number)
{
    if (!reader.SkipBlanks())
        return TokenResult::End;
    const NumberToken token = reader.ReadNumber(true);
    if (!token.hasDigits) {
        number = 0;
        return TokenResult::Bad;
    }
    // Out of range takes the nearest limit, as a stream does.
    constexpr std::uint64_t kMaxPositive = std::numeric_limits<std::int32_t>::max();
    if (token.negative) {
        if (token.overflow || token.magnitude > kMaxPositive + 1) {
            number = std::numeric_limits<std::int32_t>::min();
            return TokenResult::Bad;
        }
        number = static_cast<std::int32_t>(-static_cast<std::int64_t>(token.magnitude));
        return TokenResult::Good;
    }
    if (token.overflow || token.magnitude > kMaxPositive) {
        number = std::numeric_limits<std::int32_t>::max();
        return TokenResult::Bad;
    }
    number = static_cast<std::int32_t>(token.magnitude);
    return TokenResult::Good;
}

TokenResult ReadUint64(TextReader& reader, std::uint64_t& number)
{
    if (!reader.SkipBlanks())
        return TokenResult::End;
    // A minus sign is no part of an unsigned number: "-1" has no digits.
    const NumberToken token = reader.ReadNumber(false);
    if (!token.hasDigits) {
        number = 0;
        return TokenResult::Bad;
    }
    if (token.overflow) {
        number = std::numeric_limits<std::uint64_t>::max();
        return TokenResult::Bad;
    }
    number = token.magnitude;
    return TokenResult::Good;
}

} // namespace

std::string FormatSettingsFile(const SettingsRecord& record)
{
    std::string text;
    for (const bool flag : {record.bUserPwd, record.bEptCanFgt, record.bReserved1, record.bReserved2,
                            record.bBackup, record.bContextMenu, record.bAsk}) {
        text += flag ? "1" : "0";
        text += kLineEnd;
    }
    text += std::to_string(record.iDelSel);
    text += kLineEnd;
    text += std::to_string(record.uPwd);
    text += kLineEnd;
    text += EncodePathLine(record.strBackDir);
    text += kLineEnd;
    return text;
}

void ParseSettingsFile(std::string_view bytes, SettingsRecord& record)
{
    TextReader reader(TextModeBytes(bytes));
    bool* const flags[] = {&record.bUserPwd, &record.bEptCanFgt, &record.bReserved1, &record.bReserved2,
                           &record.bBackup,  &record.bContextMenu, &record.bAsk};
    bool complete = true;
    for (bool* flag : flags) {
        if (ReadFlag(reader, *flag) != TokenResult::Good) {
            complete = false;
            break;
        }
    }
    complete = complete && ReadInt32(reader, record.iDelSel) == TokenResult::Good &&
               ReadUint64(reader, record.uPwd) == TokenResult::Good;

    record.bReserved2 = true;
    // The rest of uPwd's line is skipped; the path is the whole line after it.
    const std::optional<std::string_view> pathLine = complete ? reader.NextLine() : std::nullopt;
    record.strBackDir = pathLine ? DecodePathLine(*pathLine) : std::u16string();
}

} // namespace lockora::settings
