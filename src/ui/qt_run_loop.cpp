#include "ui/qt_run_loop.hpp"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <poll.h>

namespace tilewise {

QtRunLoop::QtRunLoop() = default;

QtRunLoop::~QtRunLoop()
{
    for (auto& [id, timer] : timers_)
        delete timer;
    fds_.clear();
}

void QtRunLoop::post(Task task)
{
    posted_.push_back(std::move(task));
    if (postScheduled_)
        return;
    postScheduled_ = true;
    QTimer::singleShot(0, this, [this] { runPosted(); });
}

void QtRunLoop::runPosted()
{
    postScheduled_ = false;
    // What these tasks post runs on a later turn, as with the plain loop.
    std::deque<Task> now;
    now.swap(posted_);
    for (Task& task : now)
        task();
}

RunLoop::TimerId QtRunLoop::addTimer(std::chrono::milliseconds interval, bool repeats, Task task)
{
    const TimerId id = nextTimer_++;
    auto* timer = new QTimer(this);
    // Half-second polls and 0.1 s retries are meant as written.
    timer->setTimerType(Qt::PreciseTimer);
    timer->setSingleShot(!repeats);
    timer->setInterval(static_cast<int>(interval.count()));
    connect(timer, &QTimer::timeout, this, [this, id, repeats, task = std::move(task)] {
        if (!repeats)
            cancelTimer(id);
        task();
    });
    timers_[id] = timer;
    timer->start();
    return id;
}

void QtRunLoop::cancelTimer(TimerId id)
{
    auto it = timers_.find(id);
    if (it == timers_.end())
        return;
    it->second->stop();
    // It may be the timer whose timeout is running now.
    it->second->deleteLater();
    timers_.erase(it);
}

std::int64_t QtRunLoop::nowMs() const
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void QtRunLoop::watchFd(int fd, Handler onReady)
{
    auto watch = std::make_shared<Watch>();
    watch->handler = std::move(onReady);
    watch->read = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    watch->write = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    watch->write->setEnabled(false);
    // The handler may unwatch its own descriptor: it runs on a copy.
    auto fire = [weak = std::weak_ptr<Watch>(watch)] {
        if (std::shared_ptr<Watch> w = weak.lock()) {
            Handler h = w->handler;
            h();
        }
    };
    connect(watch->read.get(), &QSocketNotifier::activated, this, fire);
    connect(watch->write.get(), &QSocketNotifier::activated, this, fire);
    fds_[fd] = std::move(watch);
}

void QtRunLoop::setFdEvents(int fd, short events)
{
    auto it = fds_.find(fd);
    if (it == fds_.end())
        return;
    it->second->read->setEnabled((events & POLLIN) != 0);
    it->second->write->setEnabled((events & POLLOUT) != 0);
}

void QtRunLoop::unwatchFd(int fd)
{
    auto it = fds_.find(fd);
    if (it == fds_.end())
        return;
    // Deleting a notifier inside its own signal is not allowed.
    std::shared_ptr<Watch> watch = std::move(it->second);
    fds_.erase(it);
    watch->read->setEnabled(false);
    watch->write->setEnabled(false);
    watch->read.release()->deleteLater();
    watch->write.release()->deleteLater();
}

void QtRunLoop::addTurnHook(Handler hook)
{
    turnHooks_.push_back(std::move(hook));
    if (hooked_)
        return;
    hooked_ = true;
    // Qt's turn ends when it is about to wait.
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
            [this] { runTurnHooks(); });
}

void QtRunLoop::runTurnHooks()
{
    for (std::size_t i = 0; i < turnHooks_.size(); ++i)
        turnHooks_[i]();
}

void QtRunLoop::run()
{
    if (quitRequested_)
        return;
    QCoreApplication::exec();
}

void QtRunLoop::quit()
{
    quitRequested_ = true;
    QCoreApplication::quit();
}

} // namespace tilewise
