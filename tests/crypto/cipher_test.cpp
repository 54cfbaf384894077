#include "crypto/cipher.h"
#include "crypto/container_crc.h"
#include "crypto/progress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>

namespace lockora::crypto {
namespace {

TEST(KeyTableTest, EachWordIsThePreviousTimesTheKeyPlus256I)
{
    KeyTable table{};
    BuildKeyTable(3, table);
    EXPECT_EQ(table[0], 259u);
    EXPECT_EQ(table[1], 259u * 3 + 256);
    EXPECT_EQ(table[2], (259u * 3 + 256) * 3 + 512);

    // Wraps modulo 2^64.
    BuildKeyTable(0xFFFFFFFFFFFFFFFFull, table);
    EXPECT_EQ(table[0], 255u);
    EXPECT_EQ(table[1], 255u * 0xFFFFFFFFFFFFFFFFull + 256);
}

TEST(CipherWordsTest, OneWordFollowsTheFormula)
{
    KeyTable table{};
    BuildKeyTable(0x0123456789ABCDEFull, table);
    const std::uint64_t x = 0x1122334455667788ull;
    std::array<std::uint8_t, 16> in{};
    std::memcpy(in.data(), &x, 8); // this suite runs on little-endian hosts
    std::array<std::uint8_t, 16> out{};
    std::uint64_t counter = 10;
    CipherWords(Direction::Encrypt, table, in.data(), out.data(), 15, counter); // low bits ignored: one word
    EXPECT_EQ(counter, 11u);
    std::uint64_t y;
    std::memcpy(&y, out.data(), 8);
    EXPECT_EQ(y, (x ^ table[0]) + table[0] * 10);
    EXPECT_EQ(out[8], 0); // the second word was not touched

    counter = 10;
    CipherWords(Direction::Encrypt, table, in.data(), out.data(), 7, counter); // below a word: nothing
    EXPECT_EQ(counter, 10u);
}

TEST(CipherBytesTest, BytesUseTheLowBytesOfTheFirstKeyWordAndTheCounterModulo256)
{
    KeyTable table{};
    BuildKeyTable(0x0123456789ABCDEFull, table);
    const std::array<std::uint8_t, 7> in = {0, 1, 2, 0x80, 0xFE, 0xFF, 0x55};
    std::array<std::uint8_t, 7> out{};
    std::uint64_t counter = 254; // runs over 255 into 256, i.e. m = 0
    CipherBytes(Direction::Encrypt, table, in.data(), out.data(), 7, counter);
    EXPECT_EQ(counter, 261u);
    for (std::size_t j = 0; j < 7; ++j) {
        const auto k = static_cast<std::uint8_t>(table[0] >> (8 * j));
        const auto m = static_cast<std::uint8_t>(254 + j);
        EXPECT_EQ(out[j], static_cast<std::uint8_t>((in[j] ^ k) + k * m)) << j;
    }
    std::array<std::uint8_t, 7> back{};
    counter = 254;
    CipherBytes(Direction::Decrypt, table, out.data(), back.data(), 7, counter);
    EXPECT_EQ(back, in);
}

TEST(CipherWordsTest, DecryptInvertsEncryptInPlace)
{
    KeyTable table{};
    BuildKeyTable(0xDEADBEEFCAFEF00Dull, table);
    std::mt19937_64 random(7);
    std::array<std::uint8_t, kBlockSize> plain{};
    for (auto& byte : plain)
        byte = static_cast<std::uint8_t>(random());
    std::array<std::uint8_t, kBlockSize> buffer{};
    std::uint64_t counter = 0xFFFFFFFFFFFFFF00ull; // the counter wraps inside the chunk
    CipherWords(Direction::Encrypt, table, plain.data(), buffer.data(), kBlockSize, counter);
    EXPECT_NE(buffer, plain);
    counter = 0xFFFFFFFFFFFFFF00ull;
    CipherWords(Direction::Decrypt, table, buffer.data(), buffer.data(), kBlockSize, counter);
    EXPECT_EQ(buffer, plain);
}

TEST(CipherWordsTest, CipheringWithTheChecksumEqualsBothApart)
{
    KeyTable table{};
    BuildKeyTable(0x9E3779B97F4A7C15ull, table);
    std::mt19937_64 random(11);
    std::array<std::uint8_t, kBlockSize> plain{};
    for (auto& byte : plain)
        byte = static_cast<std::uint8_t>(random());

    // Below, at and around the striped runs of the checksum.
    for (std::size_t n : {0u, 8u, 1016u, 1024u, 1032u, 2040u, 2048u}) {
        std::array<std::uint8_t, kBlockSize> apart{};
        std::array<std::uint8_t, kBlockSize> fused{};
        std::uint64_t counterApart = 266;
        std::uint64_t counterFused = 266;
        std::uint32_t crcApart = 0x0BADF00D;
        std::uint32_t crcFused = 0x0BADF00D;
        ContainerCrcUpdate(crcApart, std::span(plain.data(), n));
        CipherWords(Direction::Encrypt, table, plain.data(), apart.data(), n, counterApart);
        CipherWordsWithCrc(Direction::Encrypt, table, plain.data(), fused.data(), n, counterFused, crcFused);
        EXPECT_EQ(fused, apart) << n;
        EXPECT_EQ(counterFused, counterApart) << n;
        EXPECT_EQ(crcFused, crcApart) << n;

        // Decrypting checksums the output, in place.
        counterFused = 266;
        crcFused = 0x0BADF00D;
        CipherWordsWithCrc(Direction::Decrypt, table, fused.data(), fused.data(), n, counterFused, crcFused);
        EXPECT_TRUE(std::equal(plain.begin(), plain.begin() + n, fused.begin())) << n;
        EXPECT_EQ(crcFused, crcApart) << n;
    }
}

TEST(ProgressPercentTest, IntegerDivisionWithTheLargeTotalRule)
{
    EXPECT_EQ(ProgressPercent(0, 0), 100);
    EXPECT_EQ(ProgressPercent(12345, 0), 100);
    EXPECT_EQ(ProgressPercent(500, 1000), 50);
    EXPECT_EQ(ProgressPercent(999, 1000), 99);
    EXPECT_EQ(ProgressPercent(1, 1342176), 0);
    EXPECT_EQ(ProgressPercent(1000000, 2000000), 50);
    // From 1,342,177 on the total is divided first: 1,342,177 / 100 = 13,421.
    EXPECT_EQ(ProgressPercent(13421, 1342177), 1);
    EXPECT_EQ(ProgressPercent(1342177, 1342177), 100);
    // Not clamped: a counter past its total goes above 100.
    EXPECT_EQ(ProgressPercent(2500, 2000), 125);
}

} // namespace
} // namespace lockora::crypto
