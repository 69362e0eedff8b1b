// What the desktop says about applications and their windows: activation
// and termination of applications, and per application an observer of its
// windows' focus, moves and resizes. Delivered on the run loop's thread,
// never from inside another call into the platform.
#pragma once

#include "platform/window_access.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>

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

} // namespace tilewise
