// What the desktop says about applications and their windows: activation
// and termination of applications, and per application an observer of its
// windows' focus, moves and resizes. Delivered on the run loop's thread,
// never from inside another call into the platform.
#pragma once

#include "platform/window_access.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tilewise {

struct RunningApplication {
    Pid processIdentifier = 0;
    std::optional<std::string> bundleIdentifier;
    std::optional<std::string> localizedName;
};

enum class WindowNotification { FocusedWindowChanged, WindowResized, WindowMoved };

// One application's window events. Registration may be refused while the
// application is starting; the caller retries with a new observer.
class WindowObserver {
public:
    virtual ~WindowObserver() = default;
    // False when the platform refuses; notifications added earlier stay.
    virtual bool addNotification(WindowNotification n) = 0;
    // Events are delivered from start() until stop() or destruction.
    virtual void start() = 0;
    virtual void stop() = 0;
};

class Workspace {
public:
    // The application may be unknown (none), as a notification without one.
    using ApplicationHandler = std::function<void(const std::optional<RunningApplication>&)>;
    using ObserverCallback = std::function<void(const WindowElement&, WindowNotification)>;

    virtual ~Workspace() = default;

    virtual void onApplicationActivated(ApplicationHandler handler) = 0;
    virtual void onApplicationTerminated(ApplicationHandler handler) = 0;
    // A window that is gone for good: the platform may give its id to a new
    // window, which must not inherit anything of the old one.
    virtual void onWindowDestroyed(std::function<void(WindowId)> handler) = 0;

    // Null when the platform cannot observe the process now.
    virtual std::unique_ptr<WindowObserver> createObserver(Pid pid, ObserverCallback callback) = 0;
};

// What every platform's workspace keeps: the handlers, and the observers
// by process, which may outlive it (they then hear nothing).
class ObservingWorkspace : public Workspace {
public:
    ObservingWorkspace() = default;
    ~ObservingWorkspace() override;
    ObservingWorkspace(const ObservingWorkspace&) = delete;
    ObservingWorkspace& operator=(const ObservingWorkspace&) = delete;

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
    // Null where canObserve() says no.
    std::unique_ptr<WindowObserver> createObserver(Pid pid, ObserverCallback callback) override;

    // Observers of the process that are started.
    int startedObservers(Pid pid) const;

protected:
    void announceActivated(const std::optional<RunningApplication>& app);
    void announceTerminated(const std::optional<RunningApplication>& app);
    void announceDestroyed(WindowId id);
    // To every started observer of `pid` that registered `n`.
    void notifyObservers(Pid pid, const WindowElement& w, WindowNotification n);

    virtual bool canObserve(Pid) { return true; }
    // False refuses one notification of a registration (an application
    // still starting).
    virtual bool acceptNotification(Pid) { return true; }

private:
    class Observer;
    std::vector<ApplicationHandler> activated_;
    std::vector<ApplicationHandler> terminated_;
    std::vector<std::function<void(WindowId)>> destroyed_;
    std::set<Observer*> observers_;
};

} // namespace tilewise
