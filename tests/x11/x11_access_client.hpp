// Plain xcb client windows for the X11WindowAccess tests, on a connection of
// their own, and the waits that go with them: for an event or for the window
// manager, always bounded, never a sleep.
#pragma once

#include "platform/geometry.hpp"
#include "platform/x11/x11_connection.hpp"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tilewise::x11test {

inline constexpr std::chrono::milliseconds kEventTimeout{3000};

struct WindowOptions {
    Rect geometry{100, 100, 400, 300};
    std::optional<Size> minSize{};
    std::optional<Size> resizeIncrement{};
    bool dock = false;
    // _NET_WM_STRUT_PARTIAL; the four-number _NET_WM_STRUT is set from its
    // first four values too, for window managers that know only that one.
    std::vector<std::uint32_t> strutPartial{};
    std::string wmClass = "tilewise-test";
    std::optional<std::string> gtkApplicationId{};
    bool setPid = true;
};

class TestClient {
public:
    // None when there is no display.
    static std::unique_ptr<TestClient> connect();
    ~TestClient();

    X11Connection& x() { return *x_; }
    xcb_connection_t* xcb() { return x_->xcb(); }

    // Creates a window and maps it; returns once the window manager has
    // managed and mapped it (for a dock: once the work area changed).
    // XCB_WINDOW_NONE when that did not happen in time.
    xcb_window_t createMapped(const WindowOptions& options);
    // Destroys the window; returns once the window manager let go of it.
    void destroy(xcb_window_t window);

    // Re-evaluates `condition` after each event this connection receives
    // until it holds; false when it still does not after `timeout`.
    // Every change waited for here comes as an event: a property of the root
    // or of one of our windows, or the structure of one of our windows.
    bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = kEventTimeout);

    // Sends an EWMH client message about `window` to the window manager.
    void sendToWindowManager(xcb_window_t window, xcb_atom_t type, std::vector<std::uint32_t> data);
    // Asks the window manager to activate `window` and waits until the
    // root's _NET_ACTIVE_WINDOW names it.
    bool activate(xcb_window_t window, std::chrono::milliseconds timeout = kEventTimeout);
    // Asks to add or remove states (_NET_WM_STATE) and waits until `first`
    // is there or gone.
    bool changeState(xcb_window_t window, bool add, xcb_atom_t first, xcb_atom_t second = XCB_ATOM_NONE);
    // Minimises the window, or sends it to another desktop, and waits until
    // it is no longer viewable.
    bool iconify(xcb_window_t window);
    bool moveToDesktop(xcb_window_t window, std::uint32_t desktop);
    // Runs `action` and waits until the root property changes.
    bool expectRootPropertyChange(const std::function<void()>& action, xcb_atom_t property);

    bool isViewable(xcb_window_t window);
    // The mapped top-level windows lying entirely inside `area` (root
    // coordinates), each with its X border width.
    std::vector<std::pair<Rect, double>> topLevelsWithin(const Rect& area);
    // Whether the frame of `top` is above the frame of `other` on the server.
    bool stackedAbove(xcb_window_t top, xcb_window_t other);
    bool isManaged(xcb_window_t window);
    // The client's geometry in root coordinates, as the server has it.
    std::optional<Rect> clientRootGeometry(xcb_window_t window);
    // The top-level window (the window manager's frame) holding `window`.
    xcb_window_t topLevel(xcb_window_t window);
    std::vector<std::uint32_t> rootCardinals(xcb_atom_t property);
    std::vector<std::uint32_t> cardinals(xcb_window_t window, xcb_atom_t property);
    std::string windowManagerName();
    xcb_atom_t atom(const std::string& name);

private:
    TestClient() = default;

    std::unique_ptr<X11Connection> x_;
    std::vector<xcb_window_t> windows_;
};

// Runs a command and returns its standard output; empty when it failed.
std::string runCommand(const std::string& command);

// What xwininfo reports for a window, border included: the oracle for the
// outer frame of a managed window.
std::optional<Rect> xwininfoFrame(xcb_window_t topLevel);

} // namespace tilewise::x11test
