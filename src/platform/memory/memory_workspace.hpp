// Applications and window events that tests send by hand.
#pragma once

#include "platform/workspace.hpp"

#include <map>

namespace tilewise {

class MemoryWorkspace : public ObservingWorkspace {
public:
    std::unique_ptr<WindowObserver> createObserver(Pid pid, ObserverCallback callback) override
    {
        std::unique_ptr<WindowObserver> o = ObservingWorkspace::createObserver(pid, std::move(callback));
        created_ += o != nullptr;
        return o;
    }

    void activate(const std::optional<RunningApplication>& app) { announceActivated(app); }
    void terminate(const std::optional<RunningApplication>& app) { announceTerminated(app); }
    void destroyWindow(WindowId id) { announceDestroyed(id); }
    void notify(Pid pid, const WindowElement& w, WindowNotification n) { notifyObservers(pid, w, n); }

    // The next `count` notifications asked for `pid` are refused.
    void refuseRegistrations(Pid pid, int count) { refusals_[pid] = count; }
    void refuseObservers(bool refuse) { refuseCreate_ = refuse; }
    int observersCreated() const { return created_; }

protected:
    bool canObserve(Pid) override { return !refuseCreate_; }
    bool acceptNotification(Pid pid) override
    {
        int& left = refusals_[pid];
        if (left <= 0)
            return true;
        --left;
        return false;
    }

private:
    std::map<Pid, int> refusals_;
    bool refuseCreate_ = false;
    int created_ = 0;
};

} // namespace tilewise
