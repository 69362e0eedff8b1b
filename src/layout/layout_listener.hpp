// The window tracker: what the engine remembers about windows between
// operations. It follows the activated applications' windows (focus, moves,
// resizes), keeps a short history of the focused windows, the pairs laid
// out together and, per window, the frames around the engine's operations.
// Nothing of it is persisted.
#pragma once

#include "layout/operation_type.hpp"
#include "platform/run_loop.hpp"
#include "platform/window_access.hpp"
#include "platform/workspace.hpp"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tilewise {

class DefaultsStore;

class LayoutListener {
public:
    struct LayoutRecord {
        // Carried over by every update; nothing sets it yet.
        std::optional<OperationType> action;
        // The frame read right after the latest operation on the window.
        std::optional<Rect> frame;
        // The frame before the current series of operations; Restore goes back to it.
        std::optional<Rect> originalFrame;
        friend bool operator==(const LayoutRecord&, const LayoutRecord&) = default;
    };

    // Registration is tried this often, this far apart, before an
    // application is given up until its next activation.
    static constexpr int registrationAttempts = 51;
    static constexpr std::chrono::milliseconds registrationInterval{100};

    // Without follow() the tracker only records around operations (a
    // one-shot command).
    LayoutListener(WindowAccess& access, const DefaultsStore& store);
    ~LayoutListener();
    LayoutListener(const LayoutListener&) = delete;
    LayoutListener& operator=(const LayoutListener&) = delete;

    // Follows application activation and termination from now on; an
    // application already running is followed from its next activation.
    // `panelIsKey` tells when the quick action panel holds the keyboard,
    // whose events must not enter the history.
    void follow(Workspace& workspace, RunLoop& loop, std::function<bool()> panelIsKey = {});
    bool following() const { return workspace_ != nullptr; }

    // Applications whose activation is not followed ("TilewiseExcludes").
    std::vector<std::string> ignoredApps() const;
    std::map<Pid, std::unique_ptr<WindowObserver>> observers;
    std::optional<Rect> last2layout;
    std::optional<Rect> last1Layout;
    std::optional<Rect> currentLayout;
    std::optional<Screen> lastScreen;
    std::optional<Screen> currentScreen;
    // The smallest width and height the window being worked on states or
    // has been seen to insist on; a component never learned holds the
    // sentinel -1000000.
    std::optional<Size> minSizeForCurrentWindow;
    std::optional<WindowId> lastWindowId;
    std::optional<WindowId> currentWindowId;
    // Both directions of every pair.
    std::map<WindowId, WindowId> pairs;
    std::map<WindowId, WindowElement> windowIdToElement;
    std::map<WindowId, Pid> windowIdToPid;
    std::map<WindowId, LayoutRecord> layoutRecords;

    void onAppActivated(const std::optional<RunningApplication>& app);
    void onAppTerminated(const std::optional<RunningApplication>& app);
    // A destroyed window: its id may come back on a new window, which must
    // not inherit its handle, pairs or frames.
    void onWindowDestroyed(WindowId id);
    void observerCallback(const WindowElement& element, WindowNotification notification);

    void focusChanged();
    void updateCurrentLayout();
    // Resizes the partner of a resized paired window.
    void pairLock(const WindowElement& resized);
    void breakPair(WindowId id);
    void removePairs(WindowId id);

    // Work on `w` begins: a minimum learned for another window is dropped,
    // and the minimum `w` states counts as learned; one learned for `w`
    // earlier stays where it is larger.
    void beginWorkOn(const WindowElement& w, const std::optional<Size>& statedMinimum);

    // Both ignore a window without an id.
    void recordBefore(const WindowElement& w, std::optional<WindowId> id);
    void recordAfter(const WindowElement& w, std::optional<WindowId> id);

private:
    struct Registration;
    void ensureObserver(const RunningApplication& app);
    void attemptRegistration(RunLoop::TimerId timer);

    WindowAccess& access_;
    const DefaultsStore& store_;
    Workspace* workspace_ = nullptr;
    RunLoop* loop_ = nullptr;
    std::function<bool()> panelIsKey_;
    std::optional<WindowElement> minSizeWindow_;
    std::map<RunLoop::TimerId, std::unique_ptr<Registration>> registrations_;
    // Partners the lock has just resized, with the frame written: their own
    // resize event is the echo of that write, not the user's.
    std::map<WindowId, Rect> lockWrites_;
};

} // namespace tilewise
