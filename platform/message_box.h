// Message boxes with the shape of the Windows call.
//
// The UI engine installs a handler that shows the box over the page and
// blocks the calling thread until the user answers. Without a handler the box
// is written to standard error and answered with OK at once.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// Buttons and icons (the MB_ flags of the Windows call).
inline constexpr std::uint32_t kMbOk = 0x0;
inline constexpr std::uint32_t kMbOkCancel = 0x1;
inline constexpr std::uint32_t kMbYesNo = 0x4;
inline constexpr std::uint32_t kMbIconError = 0x10;
inline constexpr std::uint32_t kMbIconQuestion = 0x20;
inline constexpr std::uint32_t kMbIconWarning = 0x30;
inline constexpr std::uint32_t kMbIconInformation = 0x40;

// Answers (the ID values of the Windows call).
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

using MessageBoxHandler = std::function<int(const std::u16string& text, const std::u16string& caption, std::uint32_t type)>;

// Shows a box and returns the button pressed. Callable from any thread.
int MessageBox(const std::u16string& text, const std::u16string& caption, std::uint32_t type);

// Installs the handler (an empty one restores the default); returns the
// previous one so that tests can restore it.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

} // namespace platform
