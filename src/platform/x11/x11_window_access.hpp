// WindowAccess on an X server with an EWMH window manager.
//
// Frames are outer frames as the user sees them (decorations included, the
// shadows of client-side-decorated windows excluded); handles and window ids
// are client window ids; screens are RandR monitors, read once per operation.
// What is read comes from an X11View; see there for when it is read again.
#pragma once

#include "platform/window_access.hpp"
#include "platform/x11/x11_connection.hpp"
#include "platform/x11/x11_frame_write.hpp"
#include "platform/x11/x11_view.hpp"

#include <chrono>

namespace tilewise {

class X11WindowAccess : public WindowAccess {
public:
    // Levels reported in windowList(), from the EWMH state and type.
    static constexpr std::int32_t kLevelBelow = -1;     // _NET_WM_STATE_BELOW
    static constexpr std::int32_t kLevelNormal = 0;     // ordinary windows and dialogs
    static constexpr std::int32_t kLevelAbove = 3;      // _NET_WM_STATE_ABOVE, utility and toolbar windows
    static constexpr std::int32_t kLevelFullscreen = 8; // _NET_WM_STATE_FULLSCREEN, kept above panels

    explicit X11WindowAccess(X11Connection& connection);

    std::optional<WindowElement> focusedWindow() override;
    Point position(const WindowElement& w) override;
    Size size(const WindowElement& w) override;
    // One read of the outer frame instead of one for each half.
    Rect frame(const WindowElement& w) override;
    // From WM_NORMAL_HINTS, in one read.
    SizeLimits sizeLimits(const WindowElement& w) override;
    std::optional<Pid> processId(const WindowElement& w) override;
    // The client's own id, where the window list holds it.
    std::optional<WindowId> windowId(const WindowElement& w) override;
    std::vector<WindowInfo> windowList() override;
    std::vector<Screen> screens() override;
    std::optional<Screen> mainScreen() override;
    Point mouseLocation() override;
    bool isProcessTrusted() override;
    std::optional<std::string> frontmostBundleIdentifier() override;

    // The outer frame in window space; none when the window is gone.
    std::optional<Rect> readFrame(const WindowElement& w);

    // Keep what is read current from events instead of reading it again at
    // each call; see X11View.
    void followEvents() { view_.setFollowing(true); }
    // The monitors are read again at the next use.
    void newOperation() { view_.newOperation(); }
    // An operation may follow: the monitors are asked for ahead of it.
    void prefetchMonitors() { view_.prefetchMonitors(); }

    // What the reads come from, for the other services that follow the
    // same windows (application tracking, desktops).
    X11View& view() { return view_; }

    // How long a write waits for the window manager to apply it.
    void setWriteTimeout(std::chrono::milliseconds t) { writer_.setTimeout(t); }

protected:
    void writePosition(const WindowElement& w, Point p) override;
    void writeSize(const WindowElement& w, Size s) override;
    // Position and size in one request.
    void writeFrame(const WindowElement& w, const Rect& r) override;

private:
    std::optional<xcb_window_t> activeClient();
    std::optional<Rect> outerFrame(xcb_window_t window);

    X11Connection& x_;
    X11View view_;
    X11FrameWriter writer_;
};

} // namespace tilewise
