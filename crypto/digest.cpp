#include "crypto/digest.h"

#include "crypto/secure_zero.h"

namespace lockora::crypto {
namespace {

constexpr std::array<std::uint32_t, 64> kSine = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

constexpr std::array<int, 16> kShift = {7, 12, 17, 22, 5, 9, 14, 20, 4, 11, 16, 23, 6, 10, 15, 21};

std::uint32_t RotateLeft(std::uint32_t x, int n)
{
    return (x << n) | (x >> (32 - n));
}

struct Md5State {
    std::uint32_t a = 0x67452301;
    std::uint32_t b = 0xefcdab89;
    std::uint32_t c = 0x98badcfe;
    std::uint32_t d = 0x10325476;
};

void ProcessBlock(Md5State& state, const std::array<std::uint32_t, 16>& m)
{
    std::uint32_t a = state.a, b = state.b, c = state.c, d = state.d;
    for (int i = 0; i < 64; ++i) {
        std::uint32_t f;
        int g;
        switch (i / 16) {
        case 0: f = (b & c) | (~b & d); g = i; break;
        case 1: f = (d & b) | (~d & c); g = (5 * i + 1) % 16; break;
        case 2: f = b ^ c ^ d; g = (3 * i + 5) % 16; break;
        default: f = c ^ (b | ~d); g = (7 * i) % 16; break;
        }
        const std::uint32_t rotated = RotateLeft(a + f + kSine[i] + m[g], kShift[(i / 16) * 4 + i % 4]);
        a = d;
        d = c;
        c = b;
        b += rotated;
    }
    state.a += a;
    state.b += b;
    state.c += c;
    state.d += d;
}

// A byte as it enters its message word: sign-extended to 32 bits.
std::uint32_t SignExtended(std::uint8_t byte)
{
    return byte < 0x80 ? byte : (byte | 0xFFFFFF00u);
}

} // namespace

DigestText DigestHex(std::span<const std::uint8_t> bytes)
{
    const std::uint64_t length = bytes.size();
    const std::uint64_t blocks = (length + 8) / 64 + 1;
    Md5State state;
    std::array<std::uint32_t, 16> words{};
    WipeOnExit wipeWords(words);

    // Each block's words are packed on the fly: the OR of the sign-extended
    // message bytes that fall into the word, the padding bit and the length.
    for (std::uint64_t block = 0; block < blocks; ++block) {
        words.fill(0);
        for (std::uint64_t w = 0; w < 16; ++w) {
            const std::uint64_t wordIndex = block * 16 + w;
            for (std::uint64_t i = wordIndex * 4; i < wordIndex * 4 + 4 && i < length; ++i)
                words[w] |= SignExtended(bytes[i]) << (8 * (i % 4));
            if (wordIndex == length / 4)
                words[w] |= 0x80u << (8 * (length % 4));
            if (wordIndex == blocks * 16 - 2)
                words[w] = static_cast<std::uint32_t>(8 * length);
        }
        ProcessBlock(state, words);
    }

    static constexpr char kHex[] = "0123456789abcdef";
    DigestText text;
    std::size_t out = 0;
    for (std::uint32_t word : {state.a, state.b, state.c, state.d}) {
        for (int byte = 0; byte < 4; ++byte) {
            const std::uint32_t value = (word >> (8 * byte)) & 0xFF;
            text[out++] = kHex[value >> 4];
            text[out++] = kHex[value & 0xF];
        }
    }
    SecureZero(&state, sizeof(state));
    return text;
}

} // namespace lockora::crypto
