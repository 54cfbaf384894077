#include "crypto/container_crc.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string_view>
#include <vector>

namespace lockora::crypto {
namespace {

std::span<const std::uint8_t> Bytes(std::string_view text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// The checksum one byte per step, written from its definition: the table of
// the polynomial 0x04C11DB7 shifted left, the register shifted right.
std::uint32_t BytewiseUpdate(std::uint32_t reg, std::span<const std::uint8_t> bytes)
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t r = i << 24;
        for (int bit = 0; bit < 8; ++bit)
            r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
        table[i] = r;
    }
    EXPECT_EQ(table[1], 0x04C11DB7u);
    EXPECT_EQ(table[128], 0x690CE0EEu);
    EXPECT_EQ(table[255], 0xB1F740B4u);
    for (std::uint8_t b : bytes)
        reg = (reg >> 8) ^ table[(reg ^ b) & 0xFF];
    return reg;
}

TEST(ContainerCrcTest, CheckValues)
{
    EXPECT_EQ(ContainerCrc(Bytes("abc")), 0xD9D5C2DBu);
    EXPECT_EQ(ContainerCrc(Bytes("123456789")), 0x7EAD5C77u);
    EXPECT_EQ(ContainerCrc({}), 0x00000000u);
}

TEST(ContainerCrcTest, EightBytesPerStepEqualsOneByteAtATime)
{
    std::mt19937 random(20240601);
    std::vector<std::uint8_t> data(5000);
    for (auto& byte : data)
        byte = static_cast<std::uint8_t>(random());

    // Every length up to 70 from several starting offsets (alignment), and a
    // few long runs; the register is continued across calls as the engine
    // continues it chunk by chunk.
    for (std::size_t offset = 0; offset < 9; ++offset) {
        for (std::size_t length = 0; length <= 70; ++length) {
            const auto part = std::span(data).subspan(offset, length);
            std::uint32_t fast = 0x12345678;
            ContainerCrcUpdate(fast, part);
            ASSERT_EQ(fast, BytewiseUpdate(0x12345678, part)) << offset << " " << length;
        }
    }
    std::uint32_t fast = kCrcStart;
    std::uint32_t slow = kCrcStart;
    for (std::size_t chunk : {2048u, 3u, 1000u, 1949u, 1023u, 1024u, 1025u, 4103u}) {
        const auto part = std::span(data).first(chunk);
        ContainerCrcUpdate(fast, part);
        slow = BytewiseUpdate(slow, part);
        ASSERT_EQ(fast, slow) << chunk;
    }
}

} // namespace
} // namespace lockora::crypto
