// The program's single-threaded run loop: deferred work and timers.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace tilewise {

class RunLoop {
public:
    using Task = std::function<void()>;
    using TimerId = std::uint64_t;

    virtual ~RunLoop() = default;

    // Runs the task on a later turn of the loop, after the current work.
    virtual void post(Task task) = 0;
    // Runs the task after `interval`, again every `interval` when repeating.
    virtual TimerId addTimer(std::chrono::milliseconds interval, bool repeats, Task task) = 0;
    virtual void cancelTimer(TimerId id) = 0;
    // Monotonic milliseconds.
    virtual std::int64_t nowMs() const = 0;
};

} // namespace tilewise
