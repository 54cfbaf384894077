// Requests from outside to stop the program: SIGTERM, SIGINT (Ctrl-C) and
// SIGHUP here (a console's close on Windows).
#pragma once

#include "platform/native_handle.h"

#include <functional>
#include <thread>

namespace platform {

// Stop requests from outside while a command-line program works: Ctrl-C,
// SIGTERM or SIGHUP. While a guard lives, the first request only sets a flag
// that the program checks where it can stop cleanly; a second one ends the
// process at once. When the guard dies after a request, the request takes
// its ordinary effect, so the program's parent sees how it ended.
class StopRequestGuard {
public:
    StopRequestGuard();
    ~StopRequestGuard();
    StopRequestGuard(const StopRequestGuard&) = delete;
    StopRequestGuard& operator=(const StopRequestGuard&) = delete;

    bool Requested() const;
};

// For a program that ends by a callback: the first request calls `onStop`
// on a thread of the watch's own; a second one ends the process at once.
// BlockStopSignals must have run before any other thread started, so that
// no thread takes the signals' ordinary effect.
class StopRequestWatch {
public:
    static void BlockStopSignals();

    explicit StopRequestWatch(std::function<void()> onStop);
    // Stops watching; requests after that take their ordinary effect.
    ~StopRequestWatch();
    StopRequestWatch(const StopRequestWatch&) = delete;
    StopRequestWatch& operator=(const StopRequestWatch&) = delete;

private:
    NativeHandle requests_ = kNoHandle; // where the stop requests arrive
    NativeHandle wake_ = kNoHandle;     // ends the watching thread
    std::thread thread_;
};

} // namespace platform
