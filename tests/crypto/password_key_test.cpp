#include "crypto/digest.h"
#include "crypto/password_key.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace lockora::crypto {
namespace {

std::string Hex(std::string_view bytes)
{
    const DigestText digest = DigestHex({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
    return {digest.begin(), digest.end()};
}

TEST(DigestHexTest, AsciiGivesTheOrdinaryMd5)
{
    // RFC 1321's test suite.
    EXPECT_EQ(Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
    // 55 and 56 bytes: the length words fall into the first or a second block.
    EXPECT_EQ(Hex(std::string(55, 'x')), "04364420e25c512fd958a70738aa8f72");
    EXPECT_EQ(Hex(std::string(56, 'x')), "668a72d5ba17f08e62dabcafad6db14b");
}

TEST(DigestHexTest, HighBytesAreSignExtendedIntoTheirWord)
{
    // Expected values: MD5 from Python's hashlib, the variant from the digest
    // of tests/crypto/data/make_expected.py, written from the packing rule.
    // 0xE9 as byte 0 of its word sets bits 8-31, covering the "1" after it.
    EXPECT_EQ(Hex("\xE9" "1"), "9a5c27db97d6f2fcabc7a47a6265ee22");
    EXPECT_NE(Hex("\xE9" "1"), "d38a886c7ef8be42e0464a2da3747c9f"); // MD5
    // Alone, its extension covers the padding bit's place.
    EXPECT_EQ(Hex("\xE9"), "1683bcd2fc370865c8ef13f78f44fd63");
    // As the last byte of its word the extension is shifted out of the word:
    // the ordinary MD5.
    EXPECT_EQ(Hex("abc\xE9"), "30c1017acf10729925d7eac51268dbf3");
}

TEST(PasswordKeyTest, KeyIsTheHighDigitOfEachDigestByte)
{
    DigestText digest{};
    const std::string text = "0f1e2d3c4b5a69788796a5b4c3d2e1f0";
    std::copy(text.begin(), text.end(), digest.begin());
    EXPECT_EQ(KeyFromDigest(digest), 0x0123456789abcdefull);
}

TEST(PasswordKeyTest, AsciiPasswordsUseMd5AndItsHexAgain)
{
    // MD5("secret") = 5ebe2294ecd0e0f08eab7690d2a6ee69
    EXPECT_EQ(PasswordKey(u"secret"), 0x5b29edef8a79dae6ull);
    // MD5("5ebe2294ecd0e0f08eab7690d2a6ee69") = 7022cd14c42ff272619d6beacdc9ffde
    EXPECT_EQ(PasswordCheck(u"secret"), 0x72c1c2f7696eccfdull);
    const auto both = DerivePasswordValues(u"secret");
    EXPECT_EQ(both.key, PasswordKey(u"secret"));
    EXPECT_EQ(both.check, PasswordCheck(u"secret"));
}

TEST(PasswordKeyTest, OnlyTheLowByteOfEachUnitCounts)
{
    // U+4E2D and U+592D share the low byte 0x2D; a surrogate pair is two units.
    EXPECT_EQ(PasswordKey(u"\u4e2d"), PasswordKey(u"\u592d"));
    EXPECT_EQ(PasswordKey(u"\u4e2d"), PasswordKey(u"-"));
    EXPECT_NE(PasswordKey(u"\u4e2d"), PasswordKey(u"\u4e2e"));
    const SecretBytes narrow = NarrowPassword(u"A\u00e9\U0001F600");
    ASSERT_EQ(narrow.size(), 4u);
    EXPECT_EQ(narrow.span()[0], 0x41);
    EXPECT_EQ(narrow.span()[1], 0xE9);
    EXPECT_EQ(narrow.span()[2], 0x3D); // D83D
    EXPECT_EQ(narrow.span()[3], 0x00); // DE00
}

} // namespace
} // namespace lockora::crypto
