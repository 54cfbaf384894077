#include "platform/terminal.h"

#include "platform/errors.h"
#include "platform/posix/errno_error.h"
#include "platform/posix/host_io.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace platform {
namespace {

int StreamDescriptor(StandardStream stream)
{
    switch (stream) {
    case StandardStream::Input:
        return STDIN_FILENO;
    case StandardStream::Output:
        return STDOUT_FILENO;
    default:
        return STDERR_FILENO;
    }
}

// The settings to put back when a signal ends the program while the echo
// is off. Only one secret is read at a time.
struct EchoGuardState {
    std::atomic<int> fd{-1};
    termios saved{};
};

EchoGuardState& GuardState()
{
    static EchoGuardState state;
    return state;
}

constexpr int kRestoreSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP};

extern "C" void RestoreEchoAndReraise(int signal)
{
    EchoGuardState& state = GuardState();
    const int fd = state.fd.exchange(-1);
    if (fd >= 0)
        ::tcsetattr(fd, TCSAFLUSH, &state.saved);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// Turns the echo off for its lifetime; a signal that ends the program on
// the way puts the terminal back first.
class EchoOff {
public:
    explicit EchoOff(int fd)
    {
        EchoGuardState& state = GuardState();
        if (::tcgetattr(fd, &state.saved) != 0)
            return;
        termios quiet = state.saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        struct sigaction action {};
        action.sa_handler = RestoreEchoAndReraise;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < std::size(kRestoreSignals); ++i)
            ::sigaction(kRestoreSignals[i], &action, &previous_[i]);
        state.fd.store(fd);
        if (::tcsetattr(fd, TCSAFLUSH, &quiet) != 0) {
            Restore();
            return;
        }
        active_ = true;
    }
    ~EchoOff()
    {
        if (active_)
            Restore();
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    void Restore()
    {
        EchoGuardState& state = GuardState();
        if (const int fd = state.fd.exchange(-1); fd >= 0)
            ::tcsetattr(fd, TCSANOW, &state.saved);
        for (std::size_t i = 0; i < std::size(kRestoreSignals); ++i)
            ::sigaction(kRestoreSignals[i], &previous_[i], nullptr);
    }

    bool active_ = false;
    struct sigaction previous_[std::size(kRestoreSignals)] {};
};

} // namespace

bool IsTerminal(StandardStream stream)
{
    return ::isatty(StreamDescriptor(stream)) == 1;
}

void UseUtf8Console() {}

int TerminalColumns(StandardStream stream)
{
    winsize size{};
    if (::ioctl(StreamDescriptor(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

Result<Terminal> Terminal::Open()
{
    const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return Error(kErrorInvalidHandle);
    return Terminal(fd);
}

Terminal::Terminal(Terminal&& other) noexcept : handle_(std::exchange(other.handle_, kNoHandle)) {}

Terminal& Terminal::operator=(Terminal&& other) noexcept
{
    if (this != &other) {
        if (handle_ != kNoHandle)
            ::close(static_cast<int>(handle_));
        handle_ = std::exchange(other.handle_, kNoHandle);
    }
    return *this;
}

Terminal::~Terminal()
{
    if (handle_ != kNoHandle)
        ::close(static_cast<int>(handle_));
}

Status Terminal::Write(std::string_view text)
{
    return hostfs::WriteAll(static_cast<int>(handle_), text);
}

Status Terminal::Ask(std::string_view prompt, std::string& line, Echo echo)
{
    line.clear();
    line.reserve(kMaxTerminalLine + 1);
    std::optional<EchoOff> quiet;
    if (echo == Echo::Off)
        quiet.emplace(static_cast<int>(handle_));
    PLATFORM_TRY(Write(prompt));
    bool tooLong = false;
    while (true) {
        char c = 0;
        const ssize_t got = hostfs::RetryOnEintr([&] { return ::read(static_cast<int>(handle_), &c, 1); });
        if (got < 0)
            return Error(ErrorFromErrno(errno));
        if (got == 0)
            return Error(kErrorHandleEof);
        if (c == '\n')
            break;
        if (line.size() == kMaxTerminalLine)
            tooLong = true;
        else
            line.push_back(c);
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (tooLong)
        return Error(kErrorFilenameExcedRange);
    return {};
}

std::string TakeEnvironmentVariable(const char* name)
{
    const std::size_t nameLength = std::strlen(name);
    std::string value;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, name, nameLength) != 0 || (*entry)[nameLength] != '=')
            continue;
        char* text = *entry + nameLength + 1;
        const std::size_t length = std::strlen(text);
        value.assign(text, length);
        // The initial environment is what /proc/<pid>/environ shows.
        volatile char* wipe = text;
        for (std::size_t i = 0; i < length; ++i)
            wipe[i] = '\0';
        break;
    }
    ::unsetenv(name);
    return value;
}

} // namespace platform
