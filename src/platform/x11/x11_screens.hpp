// Screens and what narrows them: RandR monitors, the struts of docks and
// panels, the work area, and panels the window manager draws itself.
#pragma once

#include "platform/window_access.hpp"
#include "platform/x11/x11_connection.hpp"
#include "platform/x11/x11_view.hpp"

#include <vector>

namespace tilewise {

// The monitors, primary first, each with its visible frame, from what the
// view holds.
std::vector<Screen> screensOf(X11Connection& x, X11View& view);

} // namespace tilewise
