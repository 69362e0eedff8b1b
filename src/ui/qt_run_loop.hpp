// The desktop program's run loop: Qt's event loop, with the X connection and
// the session bus watched by socket notifiers, all on the one thread.
#pragma once

#include "platform/event_loop.hpp"

#include <QObject>

#include <deque>
#include <map>
#include <memory>
#include <vector>

class QSocketNotifier;
class QTimer;

namespace tilewise {

class QtRunLoop : public QObject, public EventLoop {
public:
    // Needs the application object to exist.
    QtRunLoop();
    ~QtRunLoop() override;

    void post(Task task) override;
    TimerId addTimer(std::chrono::milliseconds interval, bool repeats, Task task) override;
    void cancelTimer(TimerId id) override;
    std::int64_t nowMs() const override;

    void watchFd(int fd, Handler onReady) override;
    void setFdEvents(int fd, short events) override;
    void unwatchFd(int fd) override;
    void addTurnHook(Handler hook) override;
    void run() override;
    void quit() override;

private:
    struct Watch {
        Handler handler;
        std::unique_ptr<QSocketNotifier> read;
        std::unique_ptr<QSocketNotifier> write;
    };
    void runPosted();
    void runTurnHooks();

    std::deque<Task> posted_;
    bool postScheduled_ = false;
    std::map<TimerId, QTimer*> timers_;
    TimerId nextTimer_ = 1;
    std::map<int, std::shared_ptr<Watch>> fds_;
    std::vector<Handler> turnHooks_;
    bool hooked_ = false;
    // A quit before the loop runs ends it at once.
    bool quitRequested_ = false;
};

} // namespace tilewise
