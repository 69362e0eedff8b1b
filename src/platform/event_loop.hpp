// The run loop a program turns: besides deferred work and timers, it
// watches the descriptors of its connections (the X server, the session
// bus). PollRunLoop is the plain one; the desktop program's is Qt's.
#pragma once

#include "platform/run_loop.hpp"

#include <functional>
#include <initializer_list>

namespace tilewise {

class EventLoop : public RunLoop {
public:
    using Handler = std::function<void()>;

    // Calls `onReady` whenever the descriptor has data.
    virtual void watchFd(int fd, Handler onReady) = 0;
    // What is waited for on a watched descriptor: POLLIN (the default),
    // POLLOUT, or both. The handler runs on any of them, and on hang-up or
    // error. A connection with queued output asks for POLLOUT only then.
    virtual void setFdEvents(int fd, short events) = 0;
    virtual void unwatchFd(int fd) = 0;
    // Runs after every turn, before the loop waits again. A connection that
    // reads ahead while it waits for a reply holds events that never wake
    // the loop: this drains them.
    virtual void addTurnHook(Handler hook) = 0;
    ~EventLoop() override;
    // Ends run() at the next turn when one of these signals arrives: the
    // handler writes to a pipe the loop watches. One loop per process.
    void quitOnSignals(std::initializer_list<int> signalNumbers);
    // Turns until quit().
    virtual void run() = 0;
    virtual void quit() = 0;

private:
    int signalPipe_[2] = {-1, -1};
};

} // namespace tilewise
