#include "platform/stop_requests.h"

#include <atomic>
#include <csignal>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace platform {
namespace {

// The signal of the first stop request, 0 before one.
std::atomic<int> g_stopSignal{0};

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void RecordStopRequest(int signal)
{
    int none = 0;
    if (g_stopSignal.compare_exchange_strong(none, signal)) {
        constexpr char kNote[] = "\nstopping after the current item; a second interrupt stops at once\n";
        [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, kNote, sizeof(kNote) - 1);
        ::signal(signal, SIG_DFL);
        return;
    }
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

sigset_t StopSignalSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : kStopSignals)
        sigaddset(&set, signal);
    return set;
}

// The ordinary effect of `signal`, which this thread has blocked.
[[noreturn]] void EndBySignal(int signal)
{
    ::signal(signal, SIG_DFL);
    const sigset_t set = StopSignalSet();
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(signal);
    ::_exit(128 + signal);
}

} // namespace

StopRequestGuard::StopRequestGuard()
{
    g_stopSignal.store(0);
    struct sigaction action {};
    action.sa_handler = RecordStopRequest;
    sigemptyset(&action.sa_mask);
    for (const int signal : kStopSignals)
        ::sigaction(signal, &action, nullptr);
}

StopRequestGuard::~StopRequestGuard()
{
    for (const int signal : kStopSignals)
        ::signal(signal, SIG_DFL);
    if (const int signal = g_stopSignal.exchange(0); signal != 0)
        ::raise(signal);
}

bool StopRequestGuard::Requested() const
{
    return g_stopSignal.load() != 0;
}

void StopRequestWatch::BlockStopSignals()
{
    const sigset_t set = StopSignalSet();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

StopRequestWatch::StopRequestWatch(std::function<void()> onStop)
{
    const sigset_t set = StopSignalSet();
    const int signals = ::signalfd(-1, &set, SFD_CLOEXEC);
    const int wake = ::eventfd(0, EFD_CLOEXEC);
    requests_ = signals;
    wake_ = wake;
    if (signals < 0 || wake < 0)
        return;
    thread_ = std::thread([signals, wake, onStop = std::move(onStop)] {
        bool asked = false;
        pollfd watched[2] = {{signals, POLLIN, 0}, {wake, POLLIN, 0}};
        while (true) {
            if (::poll(watched, 2, -1) < 0)
                continue;
            if (watched[1].revents != 0)
                return;
            signalfd_siginfo info{};
            if (::read(signals, &info, sizeof(info)) != static_cast<ssize_t>(sizeof(info)))
                continue;
            if (asked)
                EndBySignal(static_cast<int>(info.ssi_signo));
            asked = true;
            if (onStop)
                onStop();
        }
    });
}

StopRequestWatch::~StopRequestWatch()
{
    if (thread_.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(static_cast<int>(wake_), &one, sizeof(one));
        thread_.join();
    }
    if (requests_ != kNoHandle)
        ::close(static_cast<int>(requests_));
    if (wake_ != kNoHandle)
        ::close(static_cast<int>(wake_));
}

} // namespace platform
