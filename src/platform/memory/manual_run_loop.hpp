// A run loop that tests step by hand, with a fake clock.
#pragma once

#include "platform/run_loop.hpp"

#include <deque>
#include <map>

namespace tilewise {

class ManualRunLoop : public RunLoop {
public:
    void post(Task task) override;
    TimerId addTimer(std::chrono::milliseconds interval, bool repeats, Task task) override;
    void cancelTimer(TimerId id) override;
    std::int64_t nowMs() const override { return now_; }

    // Runs posted tasks, including those they post, until none is left.
    // Returns how many ran.
    int runPending();
    // Moves the clock forward, firing due timers in time order and running
    // posted work after each.
    void advance(std::chrono::milliseconds by);
    std::size_t pendingCount() const { return tasks_.size(); }

private:
    struct Timer {
        std::int64_t due;
        std::int64_t interval;
        bool repeats;
        Task task;
    };
    std::deque<Task> tasks_;
    std::map<TimerId, Timer> timers_;
    TimerId nextId_ = 1;
    std::int64_t now_ = 0;
};

} // namespace tilewise
