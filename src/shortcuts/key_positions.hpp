// The physical keys a stored key code can name. Each has its key name in the
// XKB keymap (which X and Wayland keymaps share, whatever their key numbers),
// its evdev code for keyboards without a keymap to ask, and its legend on a
// US keyboard, shown when no layout of the user's gives the key a character.
#pragma once

#include <span>
#include <string_view>

namespace tilewise {

struct KeyPosition {
    // The stored (virtual) key code.
    int keyCode;
    // Without the angle brackets: "AC01", "LEFT".
    std::string_view xkbName;
    int evdevCode;
    // UTF-8; lower-case for letters, a symbol for named keys.
    std::string_view legend;
};

std::span<const KeyPosition> keyPositions();
// None for a key code no key has.
const KeyPosition* keyPosition(int keyCode);
const KeyPosition* keyPositionByXkbName(std::string_view xkbName);

} // namespace tilewise
