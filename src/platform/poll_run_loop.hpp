// The program's run loop: posted tasks, timers and ready file descriptors
// (the X connection, the session bus), on one thread, with poll(2).
#pragma once

#include "platform/event_loop.hpp"

#include <chrono>
#include <deque>
#include <functional>
#include <initializer_list>
#include <map>
#include <vector>

namespace tilewise {

class PollRunLoop : public EventLoop {
public:
    PollRunLoop();
    ~PollRunLoop() override;
    PollRunLoop(const PollRunLoop&) = delete;
    PollRunLoop& operator=(const PollRunLoop&) = delete;

    void post(Task task) override;
    TimerId addTimer(std::chrono::milliseconds interval, bool repeats, Task task) override;
    void cancelTimer(TimerId id) override;
    std::int64_t nowMs() const override;

    void watchFd(int fd, Handler onReadable) override;
    void setFdEvents(int fd, short events) override;
    void unwatchFd(int fd) override;
    void addTurnHook(Handler hook) override;
    void run() override;
    void quit() override { quit_ = true; }
    // One turn: waits at most `maxWait` (less when a timer is due or work is
    // posted), then handles what is ready.
    void runOnce(std::chrono::milliseconds maxWait);

private:
    struct Timer {
        std::int64_t due;
        std::int64_t interval;
        bool repeats;
        Task task;
    };

    void fireDueTimers();
    void runPosted();

    std::deque<Task> posted_;
    std::map<TimerId, Timer> timers_;
    TimerId nextTimer_ = 1;
    struct Watch {
        Handler handler;
        short events;
    };
    std::map<int, Watch> fds_;
    std::vector<Handler> turnHooks_;
    bool quit_ = false;
};

} // namespace tilewise
