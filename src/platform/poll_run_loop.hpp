// The program's run loop: posted tasks, timers and ready file descriptors
// (the X connection, the session bus), on one thread, with poll(2).
#pragma once

#include "platform/run_loop.hpp"

#include <chrono>
#include <deque>
#include <functional>
#include <initializer_list>
#include <map>
#include <vector>

namespace tilewise {

class PollRunLoop : public RunLoop {
public:
    using Handler = std::function<void()>;

    PollRunLoop();
    ~PollRunLoop() override;
    PollRunLoop(const PollRunLoop&) = delete;
    PollRunLoop& operator=(const PollRunLoop&) = delete;

    void post(Task task) override;
    TimerId addTimer(std::chrono::milliseconds interval, bool repeats, Task task) override;
    void cancelTimer(TimerId id) override;
    std::int64_t nowMs() const override;

    // Calls `onReadable` whenever the descriptor has data.
    void watchFd(int fd, Handler onReadable);
    // What poll waits for on a watched descriptor: POLLIN (the default),
    // POLLOUT, or both. The handler runs on any of them, and on hang-up or
    // error. A connection with queued output asks for POLLOUT only then.
    void setFdEvents(int fd, short events);
    void unwatchFd(int fd);
    // Runs after every turn. A connection that reads ahead while it waits
    // for a reply holds events that never wake poll: this drains them.
    void addTurnHook(Handler hook);

    // Ends run() at the next turn when one of these signals arrives.
    void quitOnSignals(std::initializer_list<int> signals);

    // Turns until quit().
    void run();
    void quit() { quit_ = true; }
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
    int signalPipe_[2] = {-1, -1};
    bool quit_ = false;
};

} // namespace tilewise
