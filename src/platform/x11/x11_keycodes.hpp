// Stored virtual key codes name physical key positions; an X keymap names
// the same positions by XKB key name ("AC01", "LEFT"), whatever numbers its
// key codes have (evdev, xfree86). These are the bridge between the two, and
// the modifiers a keymap's keys can lock, which a shortcut must ignore.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

struct xkb_keymap;

namespace tilewise {

class X11KeyCodes {
public:
    // Through the keymap's key names (aliases included).
    static X11KeyCodes fromKeymap(xkb_keymap* keymap);
    // For servers without XKB: X numbers keys by the kernel's evdev codes
    // plus 8.
    static X11KeyCodes evdev();

    // None for a key code no key has, or a position this keyboard lacks.
    std::optional<std::uint8_t> xKeyCode(int virtualKeyCode) const;
    std::optional<int> virtualKeyCode(std::uint8_t xKeyCode) const;

private:
    void add(int virtualKeyCode, unsigned xKeyCode);

    // 0 and -1 are "none".
    std::array<std::uint8_t, 128> toX_{};
    std::array<std::int16_t, 256> toVirtual_ = [] {
        std::array<std::int16_t, 256> a{};
        a.fill(-1);
        return a;
    }();
};

// The X modifiers of a shortcut (Shift, Control, Mod1, Mod4): never locks.
inline constexpr std::uint16_t shortcutModifierBits = 0x01 | 0x04 | 0x08 | 0x40;

// The X modifier bits some key of the keymap locks (Caps Lock, Num Lock, a
// level lock...), found by pressing every key at every level in an xkbcommon
// state: the keymap's own actions say it, whatever the key's symbol. Never
// a shortcut modifier.
std::uint16_t lockModifierBits(xkb_keymap* keymap);

} // namespace tilewise
