#include "engine/web/secret.h"

#include "platform/random.h"

#include <array>
#include <cstdint>

namespace lockora::engine::web {

platform::Result<std::string> GenerateSecret()
{
    std::array<std::uint8_t, 32> bytes{};
    PLATFORM_TRY(platform::FillRandom(bytes.data(), bytes.size()));
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const std::uint8_t byte : bytes) {
        text.push_back(kHex[byte >> 4]);
        text.push_back(kHex[byte & 0xF]);
    }
    bytes.fill(0);
    return text;
}

bool SecretEquals(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    // Volatile keeps the compiler from turning the loop into an early exit.
    volatile unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        difference = difference | static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

} // namespace lockora::engine::web
