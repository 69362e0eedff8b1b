// Screens and what narrows them: RandR monitors, the struts of docks and
// panels, the work area, and panels the window manager draws itself.
#pragma once

#include "platform/window_access.hpp"
#include "platform/x11/x11_connection.hpp"

#include <vector>

namespace tilewise {

// The monitors, primary first, each with its visible frame; read at each
// call, in a fixed number of round trips.
std::vector<Screen> readScreens(X11Connection& x);

} // namespace tilewise
