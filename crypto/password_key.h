// From a typed password to the 64-bit key and the 64-bit check value.
//
// All are pure functions of the text, callable from any thread: the program
// password functions derive keys on the UI thread while a worker encrypts.
#pragma once

#include "crypto/digest.h"
#include "crypto/secure_zero.h"

#include <cstdint>
#include <string_view>

namespace lockora::crypto {

// One byte per UTF-16 unit: its low 8 bits. No code-page conversion, so a
// character above U+00FF keeps only its low byte.
SecretBytes NarrowPassword(std::u16string_view password);

// The high hexadecimal digit of each of the 16 digest bytes, the first as
// the most significant digit of the key.
std::uint64_t KeyFromDigest(const DigestText& digest);

// KeyFromDigest(DigestHex(NarrowPassword(password))).
std::uint64_t PasswordKey(std::u16string_view password);

// KeyFromDigest(DigestHex(d)), where d is the 32 characters of
// DigestHex(NarrowPassword(password)): the value stored in containers
// written without the recovery flag.
std::uint64_t PasswordCheck(std::u16string_view password);

// Both values from one digest of the password.
struct PasswordValues {
    std::uint64_t key = 0;
    std::uint64_t check = 0;
};
PasswordValues DerivePasswordValues(std::u16string_view password);

} // namespace lockora::crypto
