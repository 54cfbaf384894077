#include "tests/cli/tool_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace lockora::cli::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<long long>(0, left));
}

// 128 + the signal that ended a child, as a shell shows it, else its exit code.
int ExitStatus(int status)
{
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Waits for the child's exit until the deadline; kills it after that. The
// exit status (128 + the signal that ended it, as a shell shows it), or -1.
int Reap(int pid, Clock::time_point deadline)
{
    if (pid <= 0)
        return -1;
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    bool exited = true;
    if (pidfd >= 0) {
        pollfd wait{pidfd, POLLIN, 0};
        int ready = 0;
        do {
            ready = ::poll(&wait, 1, MillisecondsLeft(deadline));
        } while (ready < 0 && errno == EINTR);
        exited = ready > 0;
        ::close(pidfd);
    }
    if (!exited)
        ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return exited ? ExitStatus(status) : -1;
}

std::vector<char*> Pointers(std::vector<std::string>& texts)
{
    std::vector<char*> pointers;
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Starts argv[0] in `folder` with standard input from /dev/null, the given
// output descriptors and no controlling terminal (the tool must never wait
// for a user here); the child's id, or -1.
int StartWithoutTerminal(const std::vector<char*>& argv, const std::vector<char*>& envp, const std::string& folder,
                         int out, int err)
{
    const int pid = ::fork();
    if (pid == 0) {
        ::setsid();
        const int null = ::open("/dev/null", O_RDONLY);
        ::dup2(null, STDIN_FILENO);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(err, STDERR_FILENO);
        if (::chdir(folder.c_str()) == 0)
            ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    return pid;
}

} // namespace

ToolProcess::ToolProcess(const lockora::testing::Sandbox& sandbox) : sandbox_(sandbox)
{
    executable_ = sandbox.host(u"C:\\App\\lockora-xep");
    fs::copy_file(LOCKORA_XEP_EXECUTABLE, executable_, fs::copy_options::overwrite_existing);
    fs::create_directories(sandbox.host(u"C:\\Data"));
}

std::vector<std::string> ToolProcess::Environment(const std::map<std::string, std::string>& extra) const
{
    std::map<std::string, std::string> values;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text(*entry);
        const auto equals = text.find('=');
        if (equals != std::string::npos && !text.starts_with("LOCKORA_"))
            values[text.substr(0, equals)] = text.substr(equals + 1);
    }
    values["LOCKORA_DRIVES"] = "C=" + sandbox_.driveRoot('C') + ";D=" + sandbox_.driveRoot('D');
    values["LOCKORA_REGISTRY"] = sandbox_.registryFolder();
    values["LOCKORA_SYSTEM_DIR"] = sandbox_.host(u"C:\\Windows\\System32");
    values["XDG_RUNTIME_DIR"] = sandbox_.root() + "/run";
    values["HOME"] = sandbox_.root();
    values["XDG_DATA_HOME"] = sandbox_.root() + "/data";
    for (const auto& [name, value] : extra)
        values[name] = value;
    std::vector<std::string> environment;
    for (const auto& [name, value] : values)
        environment.push_back(name + "=" + value);
    return environment;
}

std::vector<std::string> ToolProcess::Argv(const std::vector<std::string>& arguments) const
{
    std::vector<std::string> argv{executable_};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return argv;
}

ToolRun ToolProcess::Run(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& environment,
                         std::u16string_view folder) const
{
    std::vector<std::string> argvTexts = Argv(arguments);
    std::vector<std::string> envTexts = Environment(environment);
    std::vector<char*> argv = Pointers(argvTexts);
    std::vector<char*> envp = Pointers(envTexts);
    const std::string workingFolder = sandbox_.host(folder);

    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0)
        return {};
    const int pid = StartWithoutTerminal(argv, envp, workingFolder, outPipe[1], errPipe[1]);
    ::close(outPipe[1]);
    ::close(errPipe[1]);

    ToolRun run;
    const auto deadline = Clock::now() + kProcessBound;
    pollfd streams[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&run.out, &run.err};
    int open = 2;
    while (open > 0 && Clock::now() < deadline) {
        if (::poll(streams, 2, MillisecondsLeft(deadline)) < 0 && errno != EINTR)
            break;
        for (int i = 0; i < 2; ++i) {
            if (streams[i].fd < 0 || streams[i].revents == 0)
                continue;
            char buffer[4096];
            const ssize_t got = ::read(streams[i].fd, buffer, sizeof(buffer));
            if (got > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                ::close(streams[i].fd);
                streams[i].fd = -1;
                --open;
            }
        }
    }
    for (pollfd& stream : streams) {
        if (stream.fd >= 0)
            ::close(stream.fd);
    }
    run.status = Reap(pid, deadline);
    return run;
}

TerminalSession::TerminalSession(const ToolProcess& tool, const std::vector<std::string>& arguments,
                                 const std::string& hostFolder, const std::map<std::string, std::string>& environment)
{
    std::vector<std::string> argvTexts = tool.Argv(arguments);
    std::vector<std::string> envTexts = tool.Environment(environment);
    envTexts.push_back("TERM=dumb");
    std::vector<char*> argv = Pointers(argvTexts);
    std::vector<char*> envp = Pointers(envTexts);
    winsize size{};
    size.ws_col = 120;
    size.ws_row = 30;
    pid_ = ::forkpty(&master_, nullptr, nullptr, &size);
    if (pid_ == 0) {
        if (::chdir(hostFolder.c_str()) == 0)
            ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
}

TerminalSession::~TerminalSession()
{
    if (!reaped_)
        Reap(pid_, Clock::now());
    if (master_ >= 0)
        ::close(master_);
}

bool TerminalSession::ReadSome(Clock::time_point deadline)
{
    pollfd terminal{master_, POLLIN, 0};
    const int ready = ::poll(&terminal, 1, MillisecondsLeft(deadline));
    if (ready <= 0)
        return ready < 0 && errno == EINTR;
    char buffer[4096];
    const ssize_t got = ::read(master_, buffer, sizeof(buffer));
    if (got <= 0)
        return false; // EIO once the child has closed the terminal
    screen_.append(buffer, static_cast<std::size_t>(got));
    return true;
}

bool TerminalSession::WaitFor(std::string_view text)
{
    const auto deadline = Clock::now() + kProcessBound;
    while (screen_.find(text) == std::string::npos) {
        if (Clock::now() >= deadline || !ReadSome(deadline))
            return false;
    }
    return true;
}

void TerminalSession::Type(std::string_view text)
{
    EXPECT_EQ(::write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
}

int TerminalSession::Finish()
{
    const auto deadline = Clock::now() + kProcessBound;
    while (Clock::now() < deadline && ReadSome(deadline)) {
    }
    reaped_ = true;
    return Reap(pid_, deadline);
}

ChildProcess::ChildProcess(std::vector<std::string> argvTexts, std::vector<std::string> environment,
                           const std::string& hostFolder)
{
    std::vector<char*> argv = Pointers(argvTexts);
    std::vector<char*> envp = Pointers(environment);
    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0)
        return;
    const int pid = StartWithoutTerminal(argv, envp, hostFolder, output[1], output[1]);
    ::close(output[1]);
    pipe_ = output[0];
    if (pid > 0) {
        pid_ = pid;
        pidfd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
    }
}

ChildProcess::~ChildProcess()
{
    Kill();
    if (pidfd_ >= 0)
        ::close(pidfd_);
    if (pipe_ >= 0)
        ::close(pipe_);
}

bool ChildProcess::ReadUntil(std::string_view text, Clock::duration bound)
{
    const auto deadline = Clock::now() + bound;
    while (output_.find(text) == std::string::npos) {
        pollfd stream{pipe_, POLLIN, 0};
        const int ready = ::poll(&stream, 1, MillisecondsLeft(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        char buffer[4096];
        const ssize_t got = ::read(pipe_, buffer, sizeof(buffer));
        if (got <= 0)
            return false;
        output_.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
}

std::optional<int> ChildProcess::WaitExit(Clock::duration bound)
{
    if (status_ || pid_ <= 0)
        return status_.value_or(-1);
    // Without a pidfd (kernels before 5.3) the whole bound passes and the
    // caller's Kill tells whether the child had ended.
    pollfd exit{pidfd_, POLLIN, 0};
    const auto deadline = Clock::now() + bound;
    int ready = 0;
    do {
        ready = ::poll(&exit, 1, MillisecondsLeft(deadline));
    } while (ready < 0 && errno == EINTR);
    return ready > 0 ? std::optional<int>(Reaped()) : std::nullopt;
}

int ChildProcess::Kill()
{
    if (status_ || pid_ <= 0)
        return status_.value_or(-1);
    // pid_ is this object's own child, not yet reaped: the number cannot
    // belong to any other process.
    ::kill(pid_, SIGKILL);
    return Reaped();
}

int ChildProcess::Reaped()
{
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    status_ = ExitStatus(status);
    return *status_;
}

std::string TreeSnapshot(const std::string& hostFolder)
{
    std::vector<std::string> lines;
    for (const auto& entry : fs::recursive_directory_iterator(hostFolder)) {
        std::string line = fs::relative(entry.path(), hostFolder).string();
        if (entry.is_regular_file()) {
            std::ifstream in(entry.path(), std::ios::binary);
            std::ostringstream content;
            content << in.rdbuf();
            line += " " + std::to_string(std::hash<std::string>{}(content.str()));
        } else {
            line += "/";
        }
        lines.push_back(std::move(line));
    }
    std::sort(lines.begin(), lines.end());
    std::string snapshot;
    for (const std::string& line : lines)
        snapshot += line + "\n";
    return snapshot;
}

} // namespace lockora::cli::testing
