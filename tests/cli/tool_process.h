// lockora-xep as a process in a test's sandbox: a copy of the tool in
// C:\App (so its settings, config.ini and Log folder are the sandbox's, the
// same the in-process main window uses), the sandbox's drives and registry
// in its environment, and no controlling terminal unless a test gives it a
// pseudo-terminal.
#pragma once

#include "tests/support/sandbox.h"

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lockora::cli::testing {

inline constexpr std::chrono::seconds kProcessBound{60};

struct ToolRun {
    int status = -1; // exit status, 128 + signal when one ended it; -1 when it did not end in time
    std::string out;
    std::string err;
};

class ToolProcess {
public:
    explicit ToolProcess(const lockora::testing::Sandbox& sandbox);

    // Runs the tool in `folder` (a Windows path of the sandbox) with
    // standard input from /dev/null; `environment` adds to the sandbox's.
    ToolRun Run(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& environment = {},
                std::u16string_view folder = u"C:\\Data") const;

    // The child's environment and argv, for a test that starts it itself.
    std::vector<std::string> Environment(const std::map<std::string, std::string>& extra) const;
    std::vector<std::string> Argv(const std::vector<std::string>& arguments) const;
    const std::string& executable() const { return executable_; }

private:
    const lockora::testing::Sandbox& sandbox_;
    std::string executable_;
};

// A child on a pseudo-terminal, which is its controlling terminal and all
// three of its standard streams; the test plays the user.
class TerminalSession {
public:
    TerminalSession(const ToolProcess& tool, const std::vector<std::string>& arguments, const std::string& hostFolder,
                    const std::map<std::string, std::string>& environment = {});
    ~TerminalSession();
    TerminalSession(const TerminalSession&) = delete;
    TerminalSession& operator=(const TerminalSession&) = delete;

    // Reads until the screen output contains `text` (true) or the bound
    // passes or the child closes the terminal (false).
    bool WaitFor(std::string_view text);
    void Type(std::string_view text);
    // Reads the rest of the output and the exit status, as ToolRun has it.
    int Finish();

    const std::string& screen() const { return screen_; }
    int pid() const { return pid_; }

private:
    bool ReadSome(std::chrono::steady_clock::time_point deadline);

    int pid_ = -1;
    int master_ = -1;
    bool reaped_ = false;
    std::string screen_;
};

// A child that a test may kill at any moment, started as Run starts the
// tool (own session, no terminal, standard input from /dev/null) with its
// standard output and error in one pipe. Only this object signals it, by
// its own pid, and it is always reaped: the destructor kills it when it
// still runs.
class ChildProcess {
public:
    ChildProcess(std::vector<std::string> argv, std::vector<std::string> environment, const std::string& hostFolder);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Reads output until it holds `text` (true), or the bound passes or the
    // child closes its output (false).
    bool ReadUntil(std::string_view text, std::chrono::steady_clock::duration bound);
    // Waits up to `bound` for the child to end; its status as ToolRun has
    // it, or nothing while it still runs.
    std::optional<int> WaitExit(std::chrono::steady_clock::duration bound);
    // SIGKILL unless the child has ended; returns its status once reaped.
    int Kill();

    bool started() const { return pid_ > 0; }
    const std::string& output() const { return output_; }

private:
    int Reaped();

    int pid_ = -1;
    int pidfd_ = -1;
    int pipe_ = -1;
    std::optional<int> status_;
    std::string output_;
};

// Every file and folder below a host folder with its size and content hash,
// one line each, to tell whether a command wrote anything.
std::string TreeSnapshot(const std::string& hostFolder);

} // namespace lockora::cli::testing
