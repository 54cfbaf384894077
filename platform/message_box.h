// Message boxes with the shape of the Windows call.
//
// The UI engine installs a handler that shows the box over the page and
// blocks the calling thread until the user answers. Without a handler the box
// is written to standard error and answered at once with its default button,
// as if Enter were pressed: the first button (OK, YES, ...) unless a
// kMbDefButton flag names another.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// Buttons and icons (the MB_ flags of the Windows call).
inline constexpr std::uint32_t kMbOk = 0x0;
inline constexpr std::uint32_t kMbOkCancel = 0x1;
inline constexpr std::uint32_t kMbAbortRetryIgnore = 0x2;
inline constexpr std::uint32_t kMbYesNoCancel = 0x3;
inline constexpr std::uint32_t kMbYesNo = 0x4;
inline constexpr std::uint32_t kMbRetryCancel = 0x5;
inline constexpr std::uint32_t kMbCancelTryContinue = 0x6;
inline constexpr std::uint32_t kMbTypeMask = 0xF;
inline constexpr std::uint32_t kMbIconError = 0x10;
inline constexpr std::uint32_t kMbIconQuestion = 0x20;
inline constexpr std::uint32_t kMbIconWarning = 0x30;
inline constexpr std::uint32_t kMbIconInformation = 0x40;
inline constexpr std::uint32_t kMbDefButton2 = 0x100;
inline constexpr std::uint32_t kMbDefButton3 = 0x200;
inline constexpr std::uint32_t kMbDefMask = 0xF00;

// Answers (the ID values of the Windows call).
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdAbort = 3;
inline constexpr int kIdRetry = 4;
inline constexpr int kIdIgnore = 5;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;
inline constexpr int kIdTryAgain = 10;
inline constexpr int kIdContinue = 11;

using MessageBoxHandler = std::function<int(const std::u16string& text, const std::u16string& caption, std::uint32_t type)>;

// Shows a box and returns the button pressed. Callable from any thread.
int MessageBox(const std::u16string& text, const std::u16string& caption, std::uint32_t type);

// The button that Enter presses on a box of this type.
int DefaultMessageBoxButton(std::uint32_t type);

// Installs the handler (an empty one restores the default); returns the
// previous one so that tests can restore it.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

} // namespace platform
