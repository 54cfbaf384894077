// Stop requests on Windows are console control events: Ctrl-C, Ctrl-Break,
// the console window closing, the user logging off or the system shutting
// down. Their ordinary effect is the end of the process with
// STATUS_CONTROL_C_EXIT.
#include "platform/stop_requests.h"

#include "platform/win32/handle.h"

#include <atomic>

namespace platform {
namespace {

constexpr UINT kControlCExit = 0xC000013A; // STATUS_CONTROL_C_EXIT

// Requests so far, and the event a watch waits on (null without a watch).
std::atomic<int> g_requests{0};
std::atomic<HANDLE> g_watchEvent{nullptr};

[[noreturn]] void EndByRequest()
{
    ::ExitProcess(kControlCExit);
}

BOOL WINAPI GuardHandler(DWORD)
{
    if (g_requests.fetch_add(1) == 0) {
        constexpr char kNote[] = "\nstopping after the current item; a second interrupt stops at once\n";
        DWORD written = 0;
        ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), kNote, sizeof(kNote) - 1, &written, nullptr);
        return TRUE;
    }
    EndByRequest();
}

BOOL WINAPI WatchHandler(DWORD)
{
    if (g_requests.fetch_add(1) != 0)
        EndByRequest();
    if (const HANDLE event = g_watchEvent.load())
        ::SetEvent(event);
    return TRUE;
}

} // namespace

StopRequestGuard::StopRequestGuard()
{
    g_requests.store(0);
    ::SetConsoleCtrlHandler(GuardHandler, TRUE);
}

StopRequestGuard::~StopRequestGuard()
{
    ::SetConsoleCtrlHandler(GuardHandler, FALSE);
    if (g_requests.exchange(0) != 0)
        EndByRequest();
}

bool StopRequestGuard::Requested() const
{
    return g_requests.load() != 0;
}

void StopRequestWatch::BlockStopSignals()
{
    // Control events arrive on a thread of their own; nothing to block.
}

StopRequestWatch::StopRequestWatch(std::function<void()> onStop)
{
    const HANDLE requests = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    const HANDLE wake = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    requests_ = requests ? win32::ToNative(requests) : kNoHandle;
    wake_ = wake ? win32::ToNative(wake) : kNoHandle;
    if (!requests || !wake)
        return;
    g_requests.store(0);
    g_watchEvent.store(requests);
    ::SetConsoleCtrlHandler(WatchHandler, TRUE);
    // onStop runs here rather than on the system's handler thread, which
    // the system ends when the handler returns for a closing console.
    thread_ = std::thread([requests, wake, onStop = std::move(onStop)] {
        const HANDLE events[2] = {requests, wake};
        while (::WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0) {
            if (onStop)
                onStop();
        }
    });
}

StopRequestWatch::~StopRequestWatch()
{
    ::SetConsoleCtrlHandler(WatchHandler, FALSE);
    g_watchEvent.store(nullptr);
    if (thread_.joinable()) {
        ::SetEvent(win32::AsHandle(wake_));
        thread_.join();
    }
    if (requests_ != kNoHandle)
        ::CloseHandle(win32::AsHandle(requests_));
    if (wake_ != kNoHandle)
        ::CloseHandle(win32::AsHandle(wake_));
}

} // namespace platform
