#include "platform/memory/manual_run_loop.hpp"

#include <algorithm>
#include <limits>

namespace tilewise {

void ManualRunLoop::post(Task task)
{
    tasks_.push_back(std::move(task));
}

RunLoop::TimerId ManualRunLoop::addTimer(std::chrono::milliseconds interval, bool repeats, Task task)
{
    TimerId id = nextId_++;
    timers_[id] = Timer{now_ + interval.count(), interval.count(), repeats, std::move(task)};
    return id;
}

void ManualRunLoop::cancelTimer(TimerId id)
{
    timers_.erase(id);
}

int ManualRunLoop::runPending()
{
    int ran = 0;
    while (!tasks_.empty()) {
        Task t = std::move(tasks_.front());
        tasks_.pop_front();
        t();
        ++ran;
    }
    return ran;
}

void ManualRunLoop::advance(std::chrono::milliseconds by)
{
    const std::int64_t end = now_ + by.count();
    runPending();
    for (;;) {
        TimerId next = 0;
        std::int64_t due = std::numeric_limits<std::int64_t>::max();
        for (const auto& [id, t] : timers_) {
            if (t.due < due) {
                due = t.due;
                next = id;
            }
        }
        if (next == 0 || due > end)
            break;
        now_ = due;
        Timer& t = timers_[next];
        Task task = t.task;
        // As the real loop does: the next firing counts from the moment this
        // one ran, so a late turn does not make the timer catch up.
        if (t.repeats)
            t.due = now_ + std::max<std::int64_t>(1, t.interval);
        else
            timers_.erase(next);
        task();
        runPending();
    }
    now_ = end;
}

} // namespace tilewise
