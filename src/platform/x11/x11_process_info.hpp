// What process and application a window belongs to: _NET_WM_PID, the
// executable behind it, and the desktop-file id or class it names.
#pragma once

#include "platform/window_access.hpp"
#include "platform/x11/x11_connection.hpp"

#include <optional>
#include <string>

namespace tilewise {

// The window's process id; 0 for a live window that names none, none when
// the window is gone.
std::optional<Pid> readProcessId(X11Connection& x, xcb_window_t window);

// The executable's name for a local process, else the window's class.
std::optional<std::string> processNameOf(Pid pid, const XProperty& machine, const XProperty& wmClass);

// The desktop-file id the window names, else its class; none when neither.
std::optional<std::string> readApplicationId(X11Connection& x, xcb_window_t window);

} // namespace tilewise
