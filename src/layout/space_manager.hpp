// Carries a window to the adjacent virtual desktop. The move is made of
// requests to the window manager that must not meet modifier keys the user
// still holds from the hot key: while any is held, the request waits, and
// the release of the last one runs it.
#pragma once

#include "platform/desktops.hpp"
#include "platform/modifier_monitor.hpp"
#include "platform/window_access.hpp"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string_view>

namespace tilewise {

class SpaceManager {
public:
    enum class SpaceDirection { prev = 0, next = 1 };

    // The modifier flags (as in ModifierEvent) of the hot key press being
    // handled; none when the request comes from elsewhere (command line, bus).
    using CurrentEvent = std::function<std::optional<std::uint64_t>()>;

    // Installs the release check on `monitor`, which cannot remove it again:
    // this object lives as long as the monitor does.
    SpaceManager(Desktops& desktops, ModifierMonitor& monitor, CurrentEvent currentEvent);
    SpaceManager(const SpaceManager&) = delete;
    SpaceManager& operator=(const SpaceManager&) = delete;

    // Runs the move now, or keeps it for the release of the modifiers; a
    // newer request replaces a waiting one.
    void move(const WindowElement& window, SpaceDirection direction);
    // The move itself.
    void moveToSpace(const WindowElement& window, SpaceDirection direction);

    // Whether the flags hold a modifier other than caps lock, numeric pad
    // and function.
    static bool hasModifiers(std::uint64_t flags);

    // The move waiting for the modifiers to be released.
    std::optional<WindowElement> currentElement;
    std::optional<SpaceDirection> currentEvent;

private:
    void releaseCheck(const ModifierEvent& event);
    // "SpaceManager: " and each item followed by one space.
    static void log(std::initializer_list<std::string_view> items);

    Desktops& desktops_;
    CurrentEvent currentEventFlags_;
};

} // namespace tilewise
