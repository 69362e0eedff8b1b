#include "platform/memory/memory_workspace.hpp"

namespace tilewise {

class MemoryWorkspace::Observer : public WindowObserver {
public:
    Observer(MemoryWorkspace& owner, Pid pid, ObserverCallback callback)
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
        if (!owner_)
            return false;
        if (int& left = owner_->refusals_[pid_]; left > 0) {
            --left;
            return false;
        }
        notifications_.insert(n);
        return true;
    }
    void start() override { started_ = true; }
    void stop() override { started_ = false; }

    MemoryWorkspace* owner_; // null once the workspace is gone
    Pid pid_;
    ObserverCallback callback_;
    std::set<WindowNotification> notifications_;
    bool started_ = false;
};

MemoryWorkspace::~MemoryWorkspace()
{
    for (Observer* o : observers_)
        o->owner_ = nullptr;
}

std::unique_ptr<WindowObserver> MemoryWorkspace::createObserver(Pid pid, ObserverCallback callback)
{
    if (refuseCreate_)
        return nullptr;
    ++created_;
    return std::make_unique<Observer>(*this, pid, std::move(callback));
}

void MemoryWorkspace::activate(const std::optional<RunningApplication>& app)
{
    for (const ApplicationHandler& h : activated_)
        h(app);
}

void MemoryWorkspace::terminate(const std::optional<RunningApplication>& app)
{
    for (const ApplicationHandler& h : terminated_)
        h(app);
}

void MemoryWorkspace::destroyWindow(WindowId id)
{
    for (const auto& h : destroyed_)
        h(id);
}

void MemoryWorkspace::notify(Pid pid, const WindowElement& w, WindowNotification n)
{
    // Copied: a callback may create or drop observers.
    std::vector<Observer*> targets;
    for (Observer* o : observers_)
        if (o->pid_ == pid && o->started_ && o->notifications_.contains(n))
            targets.push_back(o);
    for (Observer* o : targets)
        if (observers_.contains(o))
            o->callback_(w, n);
}

int MemoryWorkspace::startedObservers(Pid pid) const
{
    int n = 0;
    for (const Observer* o : observers_)
        n += o->pid_ == pid && o->started_;
    return n;
}

} // namespace tilewise
