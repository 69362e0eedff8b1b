// Virtual desktops of an EWMH window manager. A window is carried to the
// adjacent desktop by asking the window manager, in one go, to put it there
// (_NET_WM_DESKTOP), to show that desktop (_NET_CURRENT_DESKTOP) and to
// activate it (_NET_ACTIVE_WINDOW); the move returns once the window manager
// has switched desktops. A window on all desktops counts as on the current
// one, and leaves the others when carried.
#pragma once

#include "platform/desktops.hpp"
#include "platform/x11/x11_connection.hpp"
#include "platform/x11/x11_view.hpp"

#include <chrono>
#include <cstdint>

namespace tilewise {

class X11Desktops : public Desktops {
public:
    // `view` is the window access's (X11WindowAccess::view()): the
    // supported atoms come from it.
    X11Desktops(X11Connection& x, X11View& view);
    ~X11Desktops() override;
    X11Desktops(const X11Desktops&) = delete;
    X11Desktops& operator=(const X11Desktops&) = delete;

    // _NET_SUPPORTED names the desktop count, the current desktop and the
    // window's desktop, and there are at least two desktops.
    bool canMoveWindows() override;
    // At the first or last desktop nothing is sent and none is returned.
    // Otherwise: a window that is gone, a window manager that names no
    // current desktop, or one that does not switch within the timeout.
    std::optional<std::string> moveToAdjacentDesktop(const WindowElement& window, bool next) override;

    // How long a move waits for the window manager to switch.
    void setTimeout(std::chrono::milliseconds t) { timeout_ = t; }

private:
    void handleEvent(const xcb_generic_event_t& e);
    // Asks for the desktop count where it may have changed since the last
    // read; collected by countNow().
    std::optional<xcb_get_property_cookie_t> requestCount();
    std::uint32_t countNow(const std::optional<xcb_get_property_cookie_t>& cookie);

    X11Connection& x_;
    X11View& view_;
    int observer_ = 0;
    // The desktop count, kept current by the root's property notifications.
    std::uint32_t count_ = 0;
    bool countStale_ = true;
    std::uint32_t countSince_ = 0;
    std::chrono::milliseconds timeout_{500};
};

} // namespace tilewise
