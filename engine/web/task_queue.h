// The UI thread's message loop: a queue of tasks run one at a time.
//
// Other threads post work to it; the thread that runs the loop executes the
// tasks in order. A UI-thread caller that must wait for another thread (a
// page-function call, a message box) keeps running posted tasks meanwhile,
// as a modal loop does, so a page that calls native code while it answers
// does not deadlock.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

namespace lockora::engine::web {

class TaskQueue {
public:
    using Task = std::function<void()>;
    using Clock = std::chrono::steady_clock;

    void Post(Task task);
    // Runs `task` once `delay` has passed (before later-due tasks).
    void PostAfter(Clock::duration delay, Task task);

    // Runs tasks until Quit; returns the quit value.
    int Run();
    // Runs tasks until `done` holds or the loop quits. `done` is checked
    // under the queue's lock whenever a task ends or Wake is called.
    void RunUntil(const std::function<bool()>& done);
    // Makes a waiting RunUntil check its condition again.
    void Wake();

    // Ends the loop; tasks still queued are dropped.
    void Quit(int value);
    bool HasQuit() const;

private:
    // The next task to run, or an empty one when the loop should stop
    // (quit, or `done` holds).
    Task Next(const std::function<bool()>* done);

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Task> tasks_;
    std::multimap<Clock::time_point, Task> timers_;
    bool quit_ = false;
    int quitValue_ = 0;
};

} // namespace lockora::engine::web
