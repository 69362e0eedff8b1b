// Tells when the window manager moves the focus to another window: the
// root's _NET_ACTIVE_WINDOW changes. Follows the server's notifications, so
// nothing polls while the desktop is idle.
#pragma once

#include "platform/x11/x11_connection.hpp"

#include <functional>
#include <vector>

namespace tilewise {

class X11ActiveWindowMonitor {
public:
    explicit X11ActiveWindowMonitor(X11Connection& x);

    void addHandler(std::function<void()> handler) { handlers_.push_back(std::move(handler)); }

    // Every event from the connection passes through here.
    void handleEvent(const xcb_generic_event_t& event);

private:
    X11Connection& x_;
    std::vector<std::function<void()>> handlers_;
};

} // namespace tilewise
