#include "platform/terminal.h"

#include "platform/errors.h"
#include "platform/text.h"
#include "platform/win32/handle.h"

#include <cstdlib>
#include <optional>

namespace platform {
namespace {

using win32::AsHandle;

HANDLE StreamHandle(StandardStream stream)
{
    switch (stream) {
    case StandardStream::Input: return ::GetStdHandle(STD_INPUT_HANDLE);
    case StandardStream::Output: return ::GetStdHandle(STD_OUTPUT_HANDLE);
    default: return ::GetStdHandle(STD_ERROR_HANDLE);
    }
}

// Turns the echo off for its lifetime. The console keeps its modes when the
// process ends, so there is nothing to put back after Ctrl-C: the system
// restores the input mode it had before the program started.
class EchoOff {
public:
    explicit EchoOff(HANDLE input) : input_(input)
    {
        if (::GetConsoleMode(input_, &saved_))
            active_ = ::SetConsoleMode(input_, saved_ & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) != 0;
    }
    ~EchoOff()
    {
        if (active_)
            ::SetConsoleMode(input_, saved_);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    HANDLE input_;
    DWORD saved_ = 0;
    bool active_ = false;
};

} // namespace

bool IsTerminal(StandardStream stream)
{
    DWORD mode = 0;
    return ::GetConsoleMode(StreamHandle(stream), &mode) != 0;
}

void UseUtf8Console()
{
    ::SetConsoleOutputCP(CP_UTF8);
}

int TerminalColumns(StandardStream stream)
{
    CONSOLE_SCREEN_BUFFER_INFO information{};
    if (::GetConsoleScreenBufferInfo(StreamHandle(stream), &information)) {
        const int columns = information.srWindow.Right - information.srWindow.Left + 1;
        if (columns > 0)
            return columns;
    }
    return 80;
}

Result<Terminal> Terminal::Open()
{
    // The console's own input, whatever the standard input was redirected to.
    const HANDLE input = ::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
    if (input == INVALID_HANDLE_VALUE)
        return Error(kErrorInvalidHandle);
    return Terminal(win32::ToNative(input));
}

Terminal::Terminal(Terminal&& other) noexcept : handle_(std::exchange(other.handle_, kNoHandle)) {}

Terminal& Terminal::operator=(Terminal&& other) noexcept
{
    if (this != &other) {
        if (handle_ != kNoHandle)
            ::CloseHandle(AsHandle(handle_));
        handle_ = std::exchange(other.handle_, kNoHandle);
    }
    return *this;
}

Terminal::~Terminal()
{
    if (handle_ != kNoHandle)
        ::CloseHandle(AsHandle(handle_));
}

Status Terminal::Write(std::string_view text)
{
    const win32::UniqueHandle output(::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                                   nullptr));
    if (!output.valid())
        return win32::LastError();
    const std::wstring wide = win32::Wide(Utf8ToUtf16(text));
    DWORD written = 0;
    if (!::WriteConsoleW(output.get(), wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr))
        return win32::LastError();
    return {};
}

Status Terminal::Ask(std::string_view prompt, std::string& line, Echo echo)
{
    line.clear();
    line.reserve(kMaxTerminalLine + 1);
    std::optional<EchoOff> quiet;
    if (echo == Echo::Off)
        quiet.emplace(AsHandle(handle_));
    PLATFORM_TRY(Write(prompt));
    // Read one unit at a time, so that nothing of the secret lingers in a
    // buffer of ours beyond `line`; a pair of surrogates is joined.
    bool tooLong = false;
    wchar_t high = 0;
    while (true) {
        wchar_t unit = 0;
        DWORD read = 0;
        if (!::ReadConsoleW(AsHandle(handle_), &unit, 1, &read, nullptr))
            return win32::LastError();
        if (read == 0)
            return Error(kErrorHandleEof);
        if (unit == L'\n')
            break;
        if (unit == L'\r')
            continue;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            high = unit;
            continue;
        }
        const char16_t pair[2] = {static_cast<char16_t>(high), static_cast<char16_t>(unit)};
        const std::string bytes = high != 0 ? Utf16ToUtf8(std::u16string_view(pair, 2))
                                            : Utf16ToUtf8(std::u16string_view(pair + 1, 1));
        high = 0;
        if (line.size() + bytes.size() > kMaxTerminalLine)
            tooLong = true;
        else
            line += bytes;
    }
    if (echo == Echo::Off)
        PLATFORM_TRY(Write("\r\n"));
    if (tooLong)
        return Error(kErrorFilenameExcedRange);
    return {};
}

std::string TakeEnvironmentVariable(const char* name)
{
    const std::wstring wideName = win32::Wide(Utf8ToUtf16(name));
    std::string value;
    const DWORD size = ::GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (size > 0) {
        std::wstring text(size, L'\0');
        const DWORD length = ::GetEnvironmentVariableW(wideName.c_str(), text.data(), size);
        value = Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), length));
        volatile wchar_t* wipe = text.data();
        for (std::size_t i = 0; i < text.size(); ++i)
            wipe[i] = L'\0';
    }
    // Both the system's block and the C library's copy forget it.
    ::SetEnvironmentVariableW(wideName.c_str(), nullptr);
    ::_wputenv_s(wideName.c_str(), L"");
    return value;
}

} // namespace platform
