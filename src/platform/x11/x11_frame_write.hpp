// Writing a window's frame: one request to the window manager for position
// and size together, then waiting until it has applied it, so that the read
// right after sees the result.
#pragma once

#include "platform/geometry.hpp"
#include "platform/x11/x11_connection.hpp"
#include "platform/x11/x11_geometry.hpp"
#include "platform/x11/x11_view.hpp"

#include <chrono>
#include <functional>
#include <optional>
#include <unordered_map>

namespace tilewise {

class X11FrameWriter {
public:
    X11FrameWriter(X11Connection& x, X11View& view) : x_(x), view_(view) {}

    // Moves and/or resizes the client `window` so that its outer frame shows
    // at `position` (window space) with `size`; what is not given stays.
    // Returns once the window manager has answered, or after the timeout.
    void write(xcb_window_t window, std::optional<Point> position, std::optional<Size> size);

    // How long a write waits for the window manager to apply it.
    void setTimeout(std::chrono::milliseconds t) { timeout_ = t; }

private:
    struct ClientState;

    std::optional<ClientState> readClient(xcb_window_t window);
    struct HeldStates {
        bool maximized = false;
        bool fullscreen = false;
        bool any() const { return maximized || fullscreen; }
    };
    HeldStates heldStates(const ClientState& state);
    // Asks the window manager to remove or add again the maximized and
    // full-screen states that `state` holds.
    void changeStates(xcb_window_t window, const ClientState& state, bool add);
    // Releases those states and waits until the window manager and the
    // client are done with it; false when none was held.
    bool leaveHeldStates(xcb_window_t window, const ClientState& state, bool canProbe, xcb_window_t wmCheck);
    void configure(xcb_window_t window, const ClientState& state, std::optional<Point> position,
                   std::optional<Size> size, bool canMoveResize, bool canProbe, xcb_window_t wmCheck,
                   const CoordinateSpaces& spaces);
    // Waits until the window manager has handled what was sent since `mark`.
    // Without a round trip through it, a synthetic configure notification
    // for `window` whose geometry (root position and client size) satisfies
    // `answers` is the sign, within a short bound.
    void waitForWindowManager(xcb_window_t window, xcb_window_t wmCheck, bool canProbe, std::uint64_t mark,
                              const std::function<bool(const Rect&)>& answers);
    // Waits, from `mark` on, for the configure notification with which the
    // window manager tells that it applied a configuration of `window`
    // other than `before` (root geometry, X border included), `sent` being
    // what was asked. The client size it shows; none on timeout.
    std::optional<Size> waitForConfigured(xcb_window_t window, xcb_window_t wmCheck, const Rect& before,
                                          const Rect& sent, std::uint64_t mark,
                                          std::chrono::milliseconds timeout);

    X11Connection& x_;
    X11View& view_;
    std::chrono::milliseconds timeout_{500};
    // Whether the window manager (by its check window) answers a frame
    // extents request for a window it does not manage. Learned at the first
    // write, so that one that does not costs a single timeout, not one per write.
    std::unordered_map<xcb_window_t, bool> probeAnswered_;
    // Whether the window manager follows the server's notification of a
    // resize with a synthetic one, learned at the first resize.
    std::unordered_map<xcb_window_t, bool> sendsSynthetic_;
    // Frames (window space) written to windows whose maximized or
    // full-screen state was carried to another monitor.
    std::unordered_map<xcb_window_t, Rect> carriedAcross_;
};

} // namespace tilewise
