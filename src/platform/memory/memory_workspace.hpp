// Applications and window events that tests send by hand.
#pragma once

#include "platform/workspace.hpp"

#include <map>
#include <set>
#include <vector>

namespace tilewise {

class MemoryWorkspace : public Workspace {
public:
    MemoryWorkspace() = default;
    // Observers may outlive it; they then deliver nothing.
    ~MemoryWorkspace() override;
    MemoryWorkspace(const MemoryWorkspace&) = delete;
    MemoryWorkspace& operator=(const MemoryWorkspace&) = delete;

    void onApplicationActivated(ApplicationHandler handler) override
    {
        activated_.push_back(std::move(handler));
    }
    void onApplicationTerminated(ApplicationHandler handler) override
    {
        terminated_.push_back(std::move(handler));
    }
    void onWindowDestroyed(std::function<void(WindowId)> handler) override
    {
        destroyed_.push_back(std::move(handler));
    }
    std::unique_ptr<WindowObserver> createObserver(Pid pid, ObserverCallback callback) override;

    void activate(const std::optional<RunningApplication>& app);
    void terminate(const std::optional<RunningApplication>& app);
    void destroyWindow(WindowId id);
    // Delivers to every started observer of `pid` that registered `n`.
    void notify(Pid pid, const WindowElement& w, WindowNotification n);

    // The next `count` registrations for `pid` are refused.
    void refuseRegistrations(Pid pid, int count) { refusals_[pid] = count; }
    void refuseObservers(bool refuse) { refuseCreate_ = refuse; }
    int observersCreated() const { return created_; }
    int startedObservers(Pid pid) const;

private:
    class Observer;
    std::vector<ApplicationHandler> activated_;
    std::vector<ApplicationHandler> terminated_;
    std::vector<std::function<void(WindowId)>> destroyed_;
    std::set<Observer*> observers_;
    std::map<Pid, int> refusals_;
    bool refuseCreate_ = false;
    int created_ = 0;
};

} // namespace tilewise
