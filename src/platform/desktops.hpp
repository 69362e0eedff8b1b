// Virtual desktops, as far as the layout engine carries windows between them.
#pragma once

#include "platform/window_access.hpp"

#include <optional>
#include <string>

namespace tilewise {

class Desktops {
public:
    virtual ~Desktops() = default;

    // Whether a window can be carried to another desktop: there is a screen,
    // and the window manager has desktops, more than one of them.
    virtual bool canMoveWindows() = 0;

    // Carries the window to the desktop after (or before) its own, switches
    // there and activates it. The desktops do not wrap: beyond the last or
    // the first there is nowhere to go, and nothing happens, which is not a
    // failure. Returns what went wrong, if anything.
    virtual std::optional<std::string> moveToAdjacentDesktop(const WindowElement& window, bool next) = 0;
};

} // namespace tilewise
