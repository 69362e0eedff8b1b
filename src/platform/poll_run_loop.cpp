#include "platform/poll_run_loop.hpp"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <limits>

namespace tilewise {

PollRunLoop::PollRunLoop() = default;

PollRunLoop::~PollRunLoop() = default;

void PollRunLoop::post(Task task)
{
    posted_.push_back(std::move(task));
}

RunLoop::TimerId PollRunLoop::addTimer(std::chrono::milliseconds interval, bool repeats, Task task)
{
    TimerId id = nextTimer_++;
    timers_[id] = Timer{nowMs() + interval.count(), interval.count(), repeats, std::move(task)};
    return id;
}

void PollRunLoop::cancelTimer(TimerId id)
{
    timers_.erase(id);
}

std::int64_t PollRunLoop::nowMs() const
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void PollRunLoop::watchFd(int fd, Handler onReadable)
{
    fds_[fd] = Watch{std::move(onReadable), POLLIN};
}

void PollRunLoop::setFdEvents(int fd, short events)
{
    if (auto it = fds_.find(fd); it != fds_.end())
        it->second.events = events;
}

void PollRunLoop::unwatchFd(int fd)
{
    fds_.erase(fd);
}

void PollRunLoop::addTurnHook(Handler hook)
{
    turnHooks_.push_back(std::move(hook));
}

void PollRunLoop::run()
{
    quit_ = false;
    while (!quit_)
        runOnce(std::chrono::hours(1));
}

void PollRunLoop::runOnce(std::chrono::milliseconds maxWait)
{
    std::int64_t wait = maxWait.count();
    if (!posted_.empty())
        wait = 0;
    const std::int64_t now = nowMs();
    for (const auto& [id, t] : timers_)
        wait = std::min(wait, std::max<std::int64_t>(0, t.due - now));
    wait = std::min<std::int64_t>(wait, std::numeric_limits<int>::max());

    std::vector<pollfd> pfds;
    pfds.reserve(fds_.size());
    for (const auto& [fd, watch] : fds_)
        pfds.push_back(pollfd{fd, watch.events, 0});
    int ready = poll(pfds.data(), pfds.size(), static_cast<int>(wait));
    if (ready > 0) {
        for (const pollfd& p : pfds) {
            if (!(p.revents & (p.events | POLLHUP | POLLERR)))
                continue;
            // A handler may unwatch another descriptor.
            auto it = fds_.find(p.fd);
            if (it != fds_.end()) {
                Handler h = it->second.handler;
                h();
            }
        }
    }
    fireDueTimers();
    runPosted();
    for (const Handler& hook : std::vector<Handler>(turnHooks_))
        hook();
}

void PollRunLoop::fireDueTimers()
{
    const std::int64_t now = nowMs();
    std::vector<TimerId> due;
    for (const auto& [id, t] : timers_)
        if (t.due <= now)
            due.push_back(id);
    std::sort(due.begin(), due.end(),
              [this](TimerId a, TimerId b) { return timers_[a].due < timers_[b].due; });
    for (TimerId id : due) {
        auto it = timers_.find(id); // an earlier task may have cancelled it
        if (it == timers_.end())
            continue;
        Task task = it->second.task;
        if (it->second.repeats)
            it->second.due = now + std::max<std::int64_t>(1, it->second.interval);
        else
            timers_.erase(it);
        task();
    }
}

void PollRunLoop::runPosted()
{
    // Work posted while these run waits for the next turn.
    std::deque<Task> batch;
    batch.swap(posted_);
    for (Task& t : batch)
        t();
}

} // namespace tilewise
