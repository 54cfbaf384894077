#include "crypto/secure_zero.h"

#include <atomic>

namespace lockora::crypto {

void SecureZero(void* data, std::size_t size)
{
    auto* bytes = static_cast<volatile unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = 0;
    // Keeps later code from being moved before the wipe.
    std::atomic_signal_fence(std::memory_order_seq_cst);
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
