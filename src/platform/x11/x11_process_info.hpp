// What process and application a window belongs to: _NET_WM_PID, the
// executable behind it, and the desktop-file id or class it names.
#pragma once

#include "platform/window_access.hpp"
#include "platform/x11/x11_connection.hpp"

#include <optional>
#include <string>

namespace tilewise {

// The executable's name for a local process, else the window's class.
std::optional<std::string> processNameOf(Pid pid, const XProperty& machine, const XProperty& wmClass);

// The desktop-file id the window names (by _GTK_APPLICATION_ID,
// _KDE_NET_WM_DESKTOP_FILE or _BAMF_DESKTOP_FILE), else its class; none when
// neither.
std::optional<std::string> applicationIdOf(const XProperty& gtk, const XProperty& kde, const XProperty& bamf,
                                           const XProperty& wmClass);

} // namespace tilewise
