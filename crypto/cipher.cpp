#include "crypto/cipher.h"

#include "crypto/crc_tables.h"
#include "crypto/word_io.h"

namespace lockora::crypto {
namespace {

template <Direction D>
std::uint64_t TransformWord(std::uint64_t x, std::uint64_t k, std::uint64_t c)
{
    if constexpr (D == Direction::Encrypt)
        return (x ^ k) + k * c;
    else
        return (x - k * c) ^ k;
}

template <Direction D>
void TransformWords(const KeyTable& table, const std::uint8_t* in, std::uint8_t* out, std::size_t words,
                    std::uint64_t& counter)
{
    const std::uint64_t first = counter;
    for (std::size_t j = 0; j < words; ++j)
        StoreWord(TransformWord<D>(LoadWord(in + 8 * j), table[j], first + j), out + 8 * j);
    counter = first + words;
}

// Word j always uses T[j] and counter + j, so the words of the striped
// checksum runs can be transformed in the order the checksum visits them.
template <Direction D>
void TransformWordsWithCrc(const KeyTable& table, const std::uint8_t* in, std::uint8_t* out, std::size_t words,
                           std::uint64_t& counter, std::uint32_t& crc)
{
    using namespace crc_detail;
    constexpr std::size_t kStripeWords = kStripe / 8;
    constexpr std::size_t kRunWords = kStripedRun / 8;
    const std::uint64_t first = counter;
    std::uint32_t r = crc;
    std::size_t j = 0;
    for (; words - j >= kRunWords; j += kRunWords) {
        std::uint32_t regs[kStripes] = {r};
        for (std::size_t i = 0; i < kStripeWords; ++i) {
            for (std::size_t s = 0; s < kStripes; ++s) {
                const std::size_t w = j + s * kStripeWords + i;
                const std::uint64_t x = LoadWord(in + 8 * w);
                const std::uint64_t y = TransformWord<D>(x, table[w], first + w);
                StoreWord(y, out + 8 * w);
                regs[s] = Step8(regs[s], D == Direction::Encrypt ? x : y);
            }
        }
        r = JoinStripes(regs);
    }
    for (; j < words; ++j) {
        const std::uint64_t x = LoadWord(in + 8 * j);
        const std::uint64_t y = TransformWord<D>(x, table[j], first + j);
        StoreWord(y, out + 8 * j);
        r = Step8(r, D == Direction::Encrypt ? x : y);
    }
    counter = first + words;
    crc = r;
}

} // namespace

void BuildKeyTable(std::uint64_t key, KeyTable& table)
{
    table[0] = key + 256;
    for (std::uint64_t i = 1; i < table.size(); ++i)
        table[i] = table[i - 1] * key + 256 * i;
}

void CipherWords(Direction direction, const KeyTable& table, const std::uint8_t* in, std::uint8_t* out,
                 std::size_t n, std::uint64_t& counter)
{
    if (direction == Direction::Encrypt)
        TransformWords<Direction::Encrypt>(table, in, out, n / 8, counter);
    else
        TransformWords<Direction::Decrypt>(table, in, out, n / 8, counter);
}

void CipherWordsWithCrc(Direction direction, const KeyTable& table, const std::uint8_t* in, std::uint8_t* out,
                        std::size_t n, std::uint64_t& counter, std::uint32_t& crc)
{
    if (direction == Direction::Encrypt)
        TransformWordsWithCrc<Direction::Encrypt>(table, in, out, n / 8, counter, crc);
    else
        TransformWordsWithCrc<Direction::Decrypt>(table, in, out, n / 8, counter, crc);
}

void CipherBytes(Direction direction, const KeyTable& table, const std::uint8_t* in, std::uint8_t* out,
                 std::size_t n, std::uint64_t& counter)
{
    for (std::size_t j = 0; j < n; ++j, ++counter) {
        const auto k = static_cast<std::uint8_t>(table[0] >> (8 * j));
        const auto m = static_cast<std::uint8_t>(counter);
        const std::uint8_t x = in[j];
        out[j] = direction == Direction::Encrypt ? static_cast<std::uint8_t>((x ^ k) + k * m)
                                                 : static_cast<std::uint8_t>(static_cast<std::uint8_t>(x - k * m) ^ k);
    }
}

} // namespace lockora::crypto
