// The one interface through which the engine reaches windows and screens.
//
// Two coordinate spaces are in use. Screen space: origin at the bottom-left
// of the primary screen, y upward (screen frames, visible frames, the mouse).
// Window space: origin at the top-left of the primary screen, y downward
// (window positions, window-list frames). Sizes are the same in both.
//
// Failures are not errors: reads fall back to (0, 0), none or the empty list,
// writes to a window that is gone have no effect.
#pragma once

#include "platform/geometry.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tilewise {

using WindowId = std::uint32_t;
using Pid = std::int32_t;

// An opaque handle to one window of another application. It may outlive the
// window; every operation on a stale handle fails quietly.
struct WindowElement {
    std::uint64_t handle = 0;
    friend bool operator==(const WindowElement&, const WindowElement&) = default;
};

// A display. Screens compare by identity (`id`), not by geometry, so a screen
// read again later is still the same screen.
struct Screen {
    std::uint64_t id = 0;
    Rect frame;        // screen space
    Rect visibleFrame; // screen space, less panels and docks
    std::string localizedName;

    friend bool operator==(const Screen& a, const Screen& b) { return a.id == b.id; }
};

// The sizes a window accepts, as outer frames (decorations included); each
// bound none where the window states none.
struct SizeLimits {
    std::optional<Size> minimum;
    std::optional<Size> maximum;
    friend bool operator==(const SizeLimits&, const SizeLimits&) = default;
};

struct WindowInfo {
    WindowId id = 0;
    std::int32_t level = 0;
    Rect frame; // window space
    Pid pid = 0;
    std::optional<std::string> processName;
};

class WindowAccess {
public:
    virtual ~WindowAccess() = default;

    virtual std::optional<WindowElement> focusedWindow() = 0;
    // Top-left corner in window space; (0, 0) when the read fails.
    virtual Point position(const WindowElement& w) = 0;
    // (0, 0) when the read fails.
    virtual Size size(const WindowElement& w) = 0;
    // Position first, then size. A platform that reads both at once may
    // answer in one read; the result must equal the two reads.
    virtual Rect frame(const WindowElement& w);

    // Writes floor(x), floor(y). Not retried; read back to learn the result.
    void setPosition(const WindowElement& w, Point p);
    // Writes floor(width), floor(height). The application may clamp it.
    void setSize(const WindowElement& w, Size s);
    // Both at once, floored; a platform that can write them in one request
    // does, so the window never shows the new position at the old size.
    void setFrame(const WindowElement& w, const Rect& r);
    // What the window itself says it accepts; nothing known by default.
    virtual SizeLimits sizeLimits(const WindowElement&) { return {}; }

    virtual std::optional<Pid> processId(const WindowElement& w) = 0;
    // On-screen windows, front to back.
    virtual std::vector<WindowInfo> windowList() = 0;
    // The first window-list record, front to back, with the element's process
    // id and exactly its frame; none when no record matches. A platform whose
    // handles carry the window's id may answer without the list.
    virtual std::optional<WindowId> windowId(const WindowElement& w);

    // The platform's order; the first is the screen with the menu bar / panel.
    virtual std::vector<Screen> screens() = 0;
    // The screen holding the window that has keyboard focus.
    virtual std::optional<Screen> mainScreen() = 0;
    // Top edge of the primary screen (the first screen at origin (0, 0), else
    // the first screen) in screen space; 0 with no screen.
    double primaryScreenMaxY();
    virtual Point mouseLocation() = 0;
    // The first screen whose frame contains the mouse, edges included.
    std::optional<Screen> screenUnderMouse();

    virtual bool isProcessTrusted() = 0;
    virtual std::optional<std::string> frontmostBundleIdentifier() = 0;

protected:
    // Called with already floored values.
    virtual void writePosition(const WindowElement& w, Point p) = 0;
    virtual void writeSize(const WindowElement& w, Size s) = 0;
    // Position, then size, unless the platform has one request for both.
    virtual void writeFrame(const WindowElement& w, const Rect& r)
    {
        writePosition(w, r.origin);
        writeSize(w, r.size);
    }
};

// Window-space rectangle of a screen-space rectangle, given primaryScreenMaxY().
inline Rect toWindowSpace(const Rect& screenRect, double primaryMaxY)
{
    return Rect(screenRect.x(), primaryMaxY - (screenRect.y() + screenRect.height()), screenRect.width(),
                screenRect.height());
}

} // namespace tilewise

template <>
struct std::hash<tilewise::WindowElement> {
    std::size_t operator()(const tilewise::WindowElement& w) const noexcept
    {
        return std::hash<std::uint64_t>{}(w.handle);
    }
};
