// Results of the OS layer: a value or a Windows error code.
//
// Every fallible call of platform/ returns Result<T> (or Status for calls
// without a value). The error carries the Windows error code the original
// system would have seen from GetLastError, so callers above the layer can
// compare codes and hand their texts to the pages unchanged.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <variant>

namespace platform {

using ErrorCode = std::uint32_t;

class Error {
public:
    constexpr explicit Error(ErrorCode code) : code_(code) {}
    constexpr ErrorCode code() const { return code_; }
    // English system message text of the code ("Access is denied.").
    std::u16string message() const;
    friend constexpr bool operator==(Error, Error) = default;

private:
    ErrorCode code_;
};

template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : state_(std::in_place_index<1>, error) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & { return checked(); }
    const T& value() const& { return const_cast<Result*>(this)->checked(); }
    T&& value() && { return std::move(checked()); }
    T* operator->() { return &checked(); }
    const T* operator->() const { return &const_cast<Result*>(this)->checked(); }
    T& operator*() & { return checked(); }
    const T& operator*() const& { return const_cast<Result*>(this)->checked(); }

    // 0 (ERROR_SUCCESS) when the result holds a value.
    ErrorCode code() const { return ok() ? 0 : std::get<1>(state_).code(); }
    Error error() const { return ok() ? Error(0) : std::get<1>(state_); }

    T value_or(T fallback) const& { return ok() ? std::get<0>(state_) : std::move(fallback); }

private:
    T& checked()
    {
        // Reading the value of a failed result is a programming error.
        if (!ok())
            std::abort();
        return std::get<0>(state_);
    }

    std::variant<T, Error> state_;
};

// Outcome of a call without a value: success, or a Windows error code.
class [[nodiscard]] Status {
public:
    Status() = default;
    Status(Error error) : code_(error.code()) {}
    static Status Success() { return {}; }

    bool ok() const { return code_ == 0; }
    explicit operator bool() const { return ok(); }
    ErrorCode code() const { return code_; }
    Error error() const { return Error(code_); }

private:
    ErrorCode code_ = 0;
};

} // namespace platform

// Propagates a failure of `expr` (a Result or a Status) to the caller, which
// must itself return a Result or a Status; keeps call sequences linear.
#define PLATFORM_TRY(expr)                                                   \
    do {                                                                     \
        if (auto&& platform_try_result_ = (expr); !platform_try_result_.ok()) \
            return platform_try_result_.error();                             \
    } while (false)
