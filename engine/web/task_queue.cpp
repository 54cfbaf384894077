#include "engine/web/task_queue.h"

#include <utility>

namespace lockora::engine::web {

void TaskQueue::Post(Task task)
{
    {
        std::lock_guard lock(mutex_);
        if (quit_)
            return;
        tasks_.push_back(std::move(task));
    }
    wake_.notify_all();
}

void TaskQueue::PostAfter(Clock::duration delay, Task task)
{
    {
        std::lock_guard lock(mutex_);
        if (quit_)
            return;
        timers_.emplace(Clock::now() + delay, std::move(task));
    }
    wake_.notify_all();
}

TaskQueue::Task TaskQueue::Next(const std::function<bool()>* done)
{
    std::unique_lock lock(mutex_);
    for (;;) {
        if (quit_ || (done && (*done)()))
            return {};
        if (!timers_.empty() && timers_.begin()->first <= Clock::now()) {
            Task task = std::move(timers_.begin()->second);
            timers_.erase(timers_.begin());
            return task;
        }
        if (!tasks_.empty()) {
            Task task = std::move(tasks_.front());
            tasks_.pop_front();
            return task;
        }
        if (timers_.empty())
            wake_.wait(lock);
        else
            wake_.wait_until(lock, timers_.begin()->first);
    }
}

int TaskQueue::Run()
{
    while (Task task = Next(nullptr))
        task();
    std::lock_guard lock(mutex_);
    return quitValue_;
}

void TaskQueue::RunUntil(const std::function<bool()>& done)
{
    while (Task task = Next(&done))
        task();
}

void TaskQueue::Wake()
{
    // Taking the lock orders the waker's change before the waiter's check.
    { std::lock_guard lock(mutex_); }
    wake_.notify_all();
}

void TaskQueue::Quit(int value)
{
    // Dropped tasks are destroyed outside the lock: what they hold may post.
    std::deque<Task> dropped;
    std::multimap<Clock::time_point, Task> droppedTimers;
    {
        std::lock_guard lock(mutex_);
        if (!quit_) {
            quit_ = true;
            quitValue_ = value;
            dropped.swap(tasks_);
            droppedTimers.swap(timers_);
        }
    }
    wake_.notify_all();
}

bool TaskQueue::HasQuit() const
{
    std::lock_guard lock(mutex_);
    return quit_;
}

} // namespace lockora::engine::web
