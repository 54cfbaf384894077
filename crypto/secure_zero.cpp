#include "crypto/secure_zero.h"

#include <sodium.h>

namespace lockora::crypto {

void SecureZero(void* data, std::size_t size)
{
    // A wipe the compiler may not drop, at memset's speed: the run buffers
    // are megabytes.
    sodium_memzero(data, size);
}

void SecureClear(std::u16string& text)
{
    text.resize(text.capacity());
    SecureZero(text.data(), text.size() * sizeof(char16_t));
    text.clear();
}

SecretBytes& SecretBytes::operator=(SecretBytes&& other) noexcept
{
    if (this != &other) {
        SecureZero(bytes_.data(), bytes_.size());
        bytes_ = std::move(other.bytes_);
    }
    return *this;
}

SecretBytes::~SecretBytes()
{
    SecureZero(bytes_.data(), bytes_.size());
}

} // namespace lockora::crypto
