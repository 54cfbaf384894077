// The terminal of a command-line program: whether an output stream is one,
// its width, and the controlling terminal for prompts and secrets.
//
// Prompts go to the controlling terminal rather than to the standard
// streams, so that a password is asked for even while the output is piped,
// and is never read from a pipe that was meant for data.
#pragma once

#include "platform/native_handle.h"
#include "platform/result.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

enum class StandardStream : std::uint8_t { Input, Output, Error };

bool IsTerminal(StandardStream stream);

// Lets UTF-8 text written to the standard streams show as such on a
// console: a Windows console shows its own code page otherwise. Elsewhere
// terminals take UTF-8 already and nothing changes.
void UseUtf8Console();

// Columns of the terminal behind `stream`; 80 when it is none or does not say.
int TerminalColumns(StandardStream stream);

// Whether a line is shown while it is typed.
enum class Echo : std::uint8_t { On, Off };

// Longest line ReadLine takes, in bytes.
inline constexpr std::size_t kMaxTerminalLine = 4095;

class Terminal {
public:
    // The controlling terminal; fails (6) when the process has none, as
    // under cron, a service manager or a test runner that detached it.
    static Result<Terminal> Open();

    Terminal(Terminal&& other) noexcept;
    Terminal& operator=(Terminal&& other) noexcept;
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;
    ~Terminal();

    // Shows `prompt` and reads one line into `line`, without its line end.
    // `line` keeps its buffer (reserved once, never reallocated), so a secret
    // read into it can be wiped by its owner. With Echo::Off the echo goes
    // off before the prompt shows (so nothing typed after it is lost or
    // shown) and comes back afterwards, also when the program is interrupted
    // while it waits. 38 at the end of input; 206 for a line over
    // kMaxTerminalLine bytes.
    Status Ask(std::string_view prompt, std::string& line, Echo echo);

private:
    explicit Terminal(NativeHandle handle) : handle_(handle) {}
    Status Write(std::string_view text);
    NativeHandle handle_ = kNoHandle;
};

// Reads an environment variable and removes it from the process, wiping
// its text where the process keeps it, so that a secret handed over in the
// environment does not stay readable for the rest of the run. The caller
// wipes the returned text when done. Empty when the variable is not set.
std::string TakeEnvironmentVariable(const char* name);

} // namespace platform
