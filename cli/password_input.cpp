#include "cli/password_input.h"

#include "crypto/secure_zero.h"
#include "platform/terminal.h"
#include "platform/text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace lockora::cli {
namespace {

// Wipes a narrow secret over its whole buffer when the scope ends.
class NarrowSecret {
public:
    NarrowSecret() { text.reserve(platform::kMaxTerminalLine + 1); }
    ~NarrowSecret() { crypto::SecureZero(text.data(), text.capacity()); }
    NarrowSecret(const NarrowSecret&) = delete;
    NarrowSecret& operator=(const NarrowSecret&) = delete;

    std::string text;
};

std::optional<PasswordFailure> ReadFirstLine(const std::string& path, NarrowSecret& secret)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return PasswordFailure{2, "cannot read the password file " + path + ": " + std::strerror(errno)};
    // Unbuffered, so no copy of the secret is left in a stdio buffer.
    std::setvbuf(file, nullptr, _IONBF, 0);
    int c = 0;
    while ((c = std::fgetc(file)) != EOF && c != '\n') {
        if (secret.text.size() == platform::kMaxTerminalLine) {
            std::fclose(file);
            return PasswordFailure{1, "the first line of " + path + " is too long for a password"};
        }
        secret.text.push_back(static_cast<char>(c));
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        return PasswordFailure{2, "cannot read the password file " + path};
    if (!secret.text.empty() && secret.text.back() == '\r')
        secret.text.pop_back();
    return std::nullopt;
}

std::optional<PasswordFailure> AskTerminal(PasswordUse use, NarrowSecret& secret)
{
    auto terminal = platform::Terminal::Open();
    if (!terminal)
        return PasswordFailure{2, "no password: there is no terminal to ask on; "
                                  "use --password-file FILE or LOCKORA_PASSWORD"};
    const auto ask = [&](std::string_view prompt, NarrowSecret& into) -> std::optional<PasswordFailure> {
        if (!terminal->Ask(prompt, into.text, platform::Echo::Off))
            return PasswordFailure{1, "no password was entered"};
        return std::nullopt;
    };
    if (use == PasswordUse::Open)
        return ask("Password: ", secret);
    if (auto failed = ask("Set a password: ", secret))
        return failed;
    NarrowSecret again;
    if (auto failed = ask("Confirm the password: ", again))
        return failed;
    if (again.text != secret.text)
        return PasswordFailure{1, "Passwords do not match."};
    return std::nullopt;
}

} // namespace

Password::Password(Password&& other) noexcept : text_(std::move(other.text_))
{
    crypto::SecureClear(other.text_);
}

Password& Password::operator=(Password&& other) noexcept
{
    if (this != &other) {
        crypto::SecureClear(text_);
        text_ = std::move(other.text_);
        crypto::SecureClear(other.text_);
    }
    return *this;
}

Password::~Password()
{
    crypto::SecureClear(text_);
}

PasswordRead ReadPassword(PasswordUse use, const std::optional<std::string>& passwordFile)
{
    NarrowSecret secret;
    std::optional<PasswordFailure> failure;
    if (passwordFile) {
        failure = ReadFirstLine(*passwordFile, secret);
    } else {
        std::string fromEnvironment = platform::TakeEnvironmentVariable("LOCKORA_PASSWORD");
        if (!fromEnvironment.empty()) {
            secret.text.assign(fromEnvironment, 0, platform::kMaxTerminalLine);
            crypto::SecureZero(fromEnvironment.data(), fromEnvironment.capacity());
        } else {
            failure = AskTerminal(use, secret);
        }
    }
    if (failure)
        return {std::nullopt, std::move(*failure)};

    if (!platform::IsValidUtf8(secret.text))
        return {std::nullopt, {1, "the password is not valid UTF-8 text"}};
    Password password(platform::Utf8ToUtf16(secret.text));
    if (use == PasswordUse::Create && password.text().size() < kMinPasswordLength)
        return {std::nullopt, {1, "The password must contain at least 6 characters!"}};
    return {std::move(password), {}};
}

} // namespace lockora::cli
