// lockora-xep as a process in a test's sandbox: a copy of the tool in
// C:\App (so its settings, config.ini and Log folder are the sandbox's, the
// same the in-process main window uses), the sandbox's drives and registry
// in its environment, and no controlling terminal unless a test gives it a
// pseudo-terminal.
#pragma once

#include "tests/support/sandbox.h"

#include <chrono>
#include <map>
#include <string>
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

// Every file and folder below a host folder with its size and content hash,
// one line each, to tell whether a command wrote anything.
std::string TreeSnapshot(const std::string& hostFolder);

} // namespace lockora::cli::testing
