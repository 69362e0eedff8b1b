#include "platform/workspace.hpp"

namespace tilewise {

class ObservingWorkspace::Observer : public WindowObserver {
public:
    Observer(ObservingWorkspace& owner, Pid pid, ObserverCallback callback)
        : owner_(&owner), pid_(pid), callback_(std::move(callback))
    {
        owner_->observers_.insert(this);
    }
    ~Observer() override
    {
        if (owner_)
            owner_->observers_.erase(this);
    }

    bool addNotification(WindowNotification n) override
    {
        if (!owner_ || !owner_->acceptNotification(pid_))
            return false;
        notifications_.insert(n);
        return true;
    }
    void start() override { started_ = true; }
    void stop() override { started_ = false; }

    ObservingWorkspace* owner_; // null once the workspace is gone
    Pid pid_;
    ObserverCallback callback_;
    std::set<WindowNotification> notifications_;
    bool started_ = false;
};

ObservingWorkspace::~ObservingWorkspace()
{
    for (Observer* o : observers_)
        o->owner_ = nullptr;
}

std::unique_ptr<WindowObserver> ObservingWorkspace::createObserver(Pid pid, ObserverCallback callback)
{
    if (!canObserve(pid))
        return nullptr;
    return std::make_unique<Observer>(*this, pid, std::move(callback));
}

int ObservingWorkspace::startedObservers(Pid pid) const
{
    int n = 0;
    for (const Observer* o : observers_)
        n += o->pid_ == pid && o->started_;
    return n;
}

// Copies of the handler lists throughout: a handler may add another.
void ObservingWorkspace::announceActivated(const std::optional<RunningApplication>& app)
{
    for (const ApplicationHandler& h : std::vector(activated_))
        h(app);
}

void ObservingWorkspace::announceTerminated(const std::optional<RunningApplication>& app)
{
    for (const ApplicationHandler& h : std::vector(terminated_))
        h(app);
}

void ObservingWorkspace::announceDestroyed(WindowId id)
{
    for (const auto& h : std::vector(destroyed_))
        h(id);
}

void ObservingWorkspace::notifyObservers(Pid pid, const WindowElement& w, WindowNotification n)
{
    std::vector<Observer*> targets;
    for (Observer* o : observers_)
        if (o->pid_ == pid && o->started_ && o->notifications_.contains(n))
            targets.push_back(o);
    for (Observer* o : targets) {
        // One callback may have dropped or stopped another.
        if (observers_.contains(o) && o->started_)
            o->callback_(w, n);
    }
}

} // namespace tilewise
