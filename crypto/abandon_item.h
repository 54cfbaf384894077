// Abandoning the current encrypt or decrypt item.
//
// Inside an item every input/output failure ends the item with one of a few
// fixed texts. It is thrown from wherever the failure happens (deep inside a
// folder walk, too); the item operation catches it, closes its handles,
// removes what it wrote, and the batch goes on with the next item.
#pragma once

#include "platform/result.h"

#include <exception>
#include <string>
#include <string_view>

namespace lockora::crypto {

inline constexpr std::string_view kReadFileError = "ReadFile Error";
inline constexpr std::string_view kWriteFileError = "WriteFile Error";
inline constexpr std::string_view kCreateFileError = "CreateFile Error";
inline constexpr std::string_view kCreateDirectoryError = "CreateDirectory Error";
inline constexpr std::string_view kErrorData = "Error data";

class AbandonItem : public std::exception {
public:
    // `code` is the Windows error behind the failure, 0 for bad data.
    AbandonItem(std::string_view reason, platform::ErrorCode code) : reason_(reason), code_(code) {}

    const char* what() const noexcept override { return reason_.c_str(); }
    const std::string& reason() const { return reason_; }
    platform::ErrorCode code() const { return code_; }

private:
    std::string reason_;
    platform::ErrorCode code_;
};

} // namespace lockora::crypto
