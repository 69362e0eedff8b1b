// Requests to an EWMH window manager, made as a pager would. The members of
// X11Connection that talk to the window manager (windowManagerRunning,
// supportedAtoms, windowManagerBarrier) are defined with these.
#pragma once

#include "platform/geometry.hpp"
#include "platform/x11/x11_connection.hpp"

namespace tilewise {

// _NET_MOVERESIZE_WINDOW with every field flagged, under north-west gravity:
// `frameCorner` places the corner of the window manager's frame, `clientSize`
// is the client's. Fields not meant to change must carry the current
// geometry: some window managers fill an unflagged size from their frame, not
// the client, and the window would grow by its title bar at each move.
void requestMoveResize(X11Connection& x, xcb_window_t window, Point frameCorner, Size clientSize);

// _NET_WM_STATE removal or addition of one or two states (`second` may be none).
void requestStateChange(X11Connection& x, xcb_window_t window, bool add, xcb_atom_t first, xcb_atom_t second);

} // namespace tilewise
