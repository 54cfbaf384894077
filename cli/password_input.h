// Where lockora-xep takes the password from: --password-file, then
// LOCKORA_PASSWORD, then the terminal. Never from an argument.
#pragma once

#include <optional>
#include <string>

namespace lockora::cli {

// The screens' shortest password, in UTF-16 units.
inline constexpr std::size_t kMinPasswordLength = 6;

// A password as the engine takes it; wiped when it dies.
class Password {
public:
    Password() = default;
    explicit Password(std::u16string text) : text_(std::move(text)) {}
    Password(Password&& other) noexcept;
    Password& operator=(Password&& other) noexcept;
    Password(const Password&) = delete;
    Password& operator=(const Password&) = delete;
    ~Password();

    const std::u16string& text() const { return text_; }

private:
    std::u16string text_;
};

enum class PasswordUse : std::uint8_t {
    Create, // a new container: asked twice, at least kMinPasswordLength units
    Open,   // an existing container
};

struct PasswordFailure {
    int exitCode = 1; // 2 when there is no source at all, or the file cannot be read
    std::string message;
};

struct PasswordRead {
    std::optional<Password> password;
    PasswordFailure failure; // when there is no password
};

// `passwordFile` is the host path of --password-file, if given.
PasswordRead ReadPassword(PasswordUse use, const std::optional<std::string>& passwordFile);

} // namespace lockora::cli
