#include "folders/base64.h"

#include <cstdint>

namespace lockora::folders {
namespace {

constexpr std::u16string_view kAlphabet = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

} // namespace

std::u16string EncodeBase64(std::string_view bytes)
{
    std::u16string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t group = static_cast<unsigned char>(bytes[i]) << 16 |
                                    static_cast<unsigned char>(bytes[i + 1]) << 8 |
                                    static_cast<unsigned char>(bytes[i + 2]);
        text += kAlphabet[group >> 18];
        text += kAlphabet[(group >> 12) & 0x3F];
        text += kAlphabet[(group >> 6) & 0x3F];
        text += kAlphabet[group & 0x3F];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest == 0)
        return text;
    std::uint32_t group = static_cast<unsigned char>(bytes[i]) << 16;
    if (rest == 2)
        group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    text += kAlphabet[group >> 18];
    text += kAlphabet[(group >> 12) & 0x3F];
    text += rest == 2 ? kAlphabet[(group >> 6) & 0x3F] : u'=';
    text += u'=';
    return text;
}

} // namespace lockora::folders
