#include "crypto/password_key.h"

namespace lockora::crypto {
namespace {

std::uint64_t HexDigitValue(char c)
{
    return c <= '9' ? static_cast<std::uint64_t>(c - '0') : static_cast<std::uint64_t>(c - 'a' + 10);
}

DigestText PasswordDigest(std::u16string_view password)
{
    const SecretBytes narrow = NarrowPassword(password);
    return DigestHex(narrow.span());
}

std::uint64_t CheckFromDigest(const DigestText& digest)
{
    DigestText second = DigestHex(std::span(reinterpret_cast<const std::uint8_t*>(digest.data()), digest.size()));
    WipeOnExit wipe(second);
    return KeyFromDigest(second);
}

} // namespace

SecretBytes NarrowPassword(std::u16string_view password)
{
    SecretBytes bytes(password.size());
    for (std::size_t i = 0; i < password.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(password[i] & 0xFF);
    return bytes;
}

std::uint64_t KeyFromDigest(const DigestText& digest)
{
    std::uint64_t key = 0;
    for (std::size_t i = 0; i < 16; ++i)
        key = key * 16 + HexDigitValue(digest[2 * i]);
    return key;
}

std::uint64_t PasswordKey(std::u16string_view password)
{
    DigestText digest = PasswordDigest(password);
    WipeOnExit wipe(digest);
    return KeyFromDigest(digest);
}

std::uint64_t PasswordCheck(std::u16string_view password)
{
    DigestText digest = PasswordDigest(password);
    WipeOnExit wipe(digest);
    return CheckFromDigest(digest);
}

PasswordValues DerivePasswordValues(std::u16string_view password)
{
    DigestText digest = PasswordDigest(password);
    WipeOnExit wipe(digest);
    return {KeyFromDigest(digest), CheckFromDigest(digest)};
}

} // namespace lockora::crypto
