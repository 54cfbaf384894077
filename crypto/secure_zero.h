// Wiping secrets: passwords, keys, digests of passwords and the key table.
//
// A plain memset before a buffer dies is a dead store the compiler may drop;
// these wipes go through libsodium's sodium_memzero, which cannot be removed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace lockora::crypto {

void SecureZero(void* data, std::size_t size);

// Zeroes the whole buffer of the text (its capacity, not just its length)
// and leaves it empty.
void SecureClear(std::u16string& text);

// A byte buffer of fixed size that is wiped when it dies; move-only, so no
// stray copy of the secret is left behind.
class SecretBytes {
public:
    SecretBytes() = default;
    explicit SecretBytes(std::size_t size) : bytes_(size) {}
    SecretBytes(SecretBytes&&) noexcept = default;
    SecretBytes& operator=(SecretBytes&& other) noexcept;
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;
    ~SecretBytes();

    std::uint8_t* data() { return bytes_.data(); }
    const std::uint8_t* data() const { return bytes_.data(); }
    std::size_t size() const { return bytes_.size(); }
    std::span<const std::uint8_t> span() const { return bytes_; }
    std::uint8_t& operator[](std::size_t index) { return bytes_[index]; }

private:
    std::vector<std::uint8_t> bytes_;
};

// Wipes a local object (a key, a digest text, a word block) when the scope
// ends, whichever way it ends.
template <typename T>
class WipeOnExit {
public:
    explicit WipeOnExit(T& object) : object_(object) {}
    WipeOnExit(const WipeOnExit&) = delete;
    WipeOnExit& operator=(const WipeOnExit&) = delete;
    ~WipeOnExit() { SecureZero(&object_, sizeof(T)); }

private:
    T& object_;
};

} // namespace lockora::crypto
