// Stored virtual key codes name physical key positions; X names the same
// positions by the kernel's evdev codes, offset by 8. This table is the
// bridge, so a shortcut keeps its physical key whatever the layout.
#pragma once

#include <cstdint>
#include <optional>

namespace tilewise {

// The X key code of a virtual key code, or none for a key this table does not
// know (or one without an X key code, such as Fn on most keyboards).
std::optional<std::uint8_t> xKeyCodeForVirtualKey(int virtualKeyCode);
// The virtual key code of an X key code, or none.
std::optional<int> virtualKeyForXKeyCode(std::uint8_t xKeyCode);

// X numbers keys by the kernel's evdev codes plus 8.
constexpr int evdevToXOffset = 8;

} // namespace tilewise
