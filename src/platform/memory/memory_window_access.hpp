// An in-memory desktop: screens, windows, focus and trust that tests set up
// by hand and the engine acts on through WindowAccess.
//
// Applications are modelled only as far as the engine can observe them: a
// window may insist on a minimum and a maximum size (size writes are clamped
// to them), may state them as its size limits or not, may
// ignore a number of upcoming writes (a busy application), and may be off
// screen (minimised), which hides it from the window list.
#pragma once

#include "platform/window_access.hpp"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tilewise {

class MemoryWindowAccess : public WindowAccess {
public:
    struct WindowSetup {
        Pid pid = 1;
        WindowId id = 0;
        std::int32_t level = 0;
        std::optional<std::string> processName;
        Rect frame; // window space
        std::optional<Size> minimumSize;
        std::optional<Size> maximumSize;
        // Whether sizeLimits() reports the two (the window states its hints),
        // and whether writes are clamped to them (false: a window manager
        // that ignores the hints).
        bool statesLimits = false;
        bool enforcesLimits = true;
        // Like a terminal: sizes are rounded down to whole cells.
        std::optional<Size> sizeIncrement;
    };

    enum class WriteKind { Position, Size, Frame };
    // One call of writePosition, writeSize or writeFrame, with the floored
    // values the engine asked for (before any clamping by the application).
    struct Write {
        WindowElement window;
        WriteKind kind = WriteKind::Position;
        Point position;
        Size size;
        friend bool operator==(const Write&, const Write&) = default;
    };

    // --- Set-up -----------------------------------------------------------

    // Screens keep the order they are added in. The first screen added is
    // marked main until setMainScreen says otherwise.
    Screen addScreen(const Rect& frame, const Rect& visibleFrame, std::string name);
    void removeScreen(const Screen& screen);
    void setMainScreen(std::optional<Screen> screen);
    void setMouseLocation(Point p) { mouse_ = p; }

    // The new window goes in front of all others. An id of 0 gets a fresh id.
    WindowElement addWindow(const WindowSetup& setup);
    WindowElement addWindow(const Rect& frame, Pid pid = 1, WindowId id = 0);
    // The handle stays valid as a value but every operation on it fails quietly.
    void removeWindow(const WindowElement& w);
    // Focusing raises the window to the front, as window managers do on click.
    void setFocused(std::optional<WindowElement> w);
    void raise(const WindowElement& w);
    // A window that is off screen (minimised, another desktop) is absent
    // from the window list; it loses focus.
    void setOnScreen(const WindowElement& w, bool onScreen);
    // An unstated minimum, enforced: the engine learns it only by refusal.
    void setMinimumSize(const WindowElement& w, std::optional<Size> minimum);
    void setSizeLimits(const WindowElement& w, const SizeLimits& limits, bool enforced = true);
    void setSizeIncrement(const WindowElement& w, std::optional<Size> increment);
    // The user drags or resizes the window: no write is logged.
    void placeByUser(const WindowElement& w, const Rect& frame);
    // The next `count` writes to the window are logged but have no effect.
    void ignoreNextWrites(const WindowElement& w, int count);

    // The desktop starts trusted, with "org.example.editor" frontmost, so
    // that the engine may act until a test says otherwise.
    void setTrusted(bool trusted) { trusted_ = trusted; }
    void setFrontmostBundleIdentifier(std::optional<std::string> id) { frontmost_ = std::move(id); }

    const std::vector<Write>& writes() const { return writes_; }
    void clearWrites() { writes_.clear(); }

    // --- WindowAccess -------------------------------------------------------

    std::optional<WindowElement> focusedWindow() override;
    Point position(const WindowElement& w) override;
    Size size(const WindowElement& w) override;
    std::optional<Pid> processId(const WindowElement& w) override;
    std::vector<WindowInfo> windowList() override;
    std::vector<Screen> screens() override { return screens_; }
    std::optional<Screen> mainScreen() override;
    Point mouseLocation() override { return mouse_; }
    bool isProcessTrusted() override { return trusted_; }
    std::optional<std::string> frontmostBundleIdentifier() override { return frontmost_; }
    SizeLimits sizeLimits(const WindowElement& w) override;

protected:
    void writePosition(const WindowElement& w, Point p) override;
    void writeSize(const WindowElement& w, Size s) override;
    // One logged write, like a platform that moves and resizes in one request.
    void writeFrame(const WindowElement& w, const Rect& r) override;

private:
    struct Window {
        WindowSetup setup;
        bool onScreen = true;
        int writesToIgnore = 0;
    };

    Window* find(const WindowElement& w);
    // True when the write is to be dropped (stale handle or busy window).
    bool swallowsWrite(Window* window);
    static void applySize(Window& window, Size s);

    std::vector<Screen> screens_;
    std::optional<std::uint64_t> mainScreenId_;
    std::uint64_t nextScreenId_ = 1;
    Point mouse_;

    std::map<std::uint64_t, Window> windows_;
    std::vector<std::uint64_t> stacking_; // front to back
    std::uint64_t nextHandle_ = 1;
    std::optional<std::uint64_t> focused_;

    bool trusted_ = true;
    std::optional<std::string> frontmost_ = std::string("org.example.editor");
    std::vector<Write> writes_;
};

} // namespace tilewise
