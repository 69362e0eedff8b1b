// Stored key codes reach the X key codes of the same physical keys through
// the keymap's key names, whatever numbering the keymap uses; the lock
// modifiers come from the keymap's actions. Keymaps are compiled from the
// system's XKB data: no server needed.
#include "platform/x11/x11_hot_keys.hpp"
#include "platform/x11/x11_keycodes.hpp"
#include "shortcuts/key_positions.hpp"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <memory>

namespace tilewise {
namespace {

struct KeymapFree {
    void operator()(xkb_keymap* k) const { xkb_keymap_unref(k); }
};
using Keymap = std::unique_ptr<xkb_keymap, KeymapFree>;

Keymap compile(const char* rules, const char* layout, const char* variant = "", const char* options = "")
{
    static xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    const xkb_rule_names names{rules, "pc105", layout, variant, options};
    return Keymap(xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
}

constexpr int keyF = 3, keyLeft = 123, keyRight = 124;

// The evdev keymap and the evdev fallback must agree on every key: a wrong
// key name or evdev code in the table shows here, as does a key whose
// release would not find its way back.
TEST(X11KeyCodes, EvdevKeymapAndFallbackAgree)
{
    Keymap keymap = compile("evdev", "us");
    ASSERT_TRUE(keymap);
    const X11KeyCodes byName = X11KeyCodes::fromKeymap(keymap.get());
    const X11KeyCodes evdev = X11KeyCodes::evdev();
    for (const KeyPosition& p : keyPositions()) {
        ASSERT_TRUE(byName.xKeyCode(p.keyCode)) << p.xkbName;
        EXPECT_EQ(byName.xKeyCode(p.keyCode), evdev.xKeyCode(p.keyCode)) << p.xkbName;
        EXPECT_EQ(byName.virtualKeyCode(*byName.xKeyCode(p.keyCode)), p.keyCode) << p.xkbName;
    }
    // Anchors: X key codes of an evdev keyboard.
    EXPECT_EQ(evdev.xKeyCode(keyF), 41);
    EXPECT_EQ(evdev.xKeyCode(keyLeft), 113);
    EXPECT_EQ(evdev.xKeyCode(122), 67); // F1
    EXPECT_EQ(evdev.xKeyCode(92), 81);  // keypad 9
    for (int v : {-1, 63, 128})
        EXPECT_FALSE(evdev.xKeyCode(v)) << v;
    EXPECT_FALSE(evdev.virtualKeyCode(8));
}

// Under xfree86 key codes the arrows are elsewhere; their names hold.
TEST(X11KeyCodes, XFree86KeymapMovesTheArrows)
{
    Keymap keymap = compile("base", "us");
    ASSERT_TRUE(keymap);
    const X11KeyCodes codes = X11KeyCodes::fromKeymap(keymap.get());
    EXPECT_EQ(codes.xKeyCode(keyLeft), 100);
    EXPECT_EQ(codes.xKeyCode(keyRight), 102);
    EXPECT_EQ(codes.xKeyCode(keyF), 41);
    EXPECT_EQ(codes.virtualKeyCode(100), keyLeft);
}

constexpr std::uint16_t lock = 0x02, mod2 = 0x10, mod3 = 0x20, mod5 = 0x80;

TEST(X11KeyCodes, LockModifiersFollowTheKeymapsActions)
{
    struct Case {
        const char* layout;
        const char* variant;
        const char* options;
        std::uint16_t locks;
    } cases[] = {
        {"us", "", "", lock | mod2},
        // Caps Lock made a Control: nothing locks Lock any more.
        {"us", "", "ctrl:nocaps", mod2},
        // The level-5 lock locks Num Lock's modifier from another key.
        {"de", "neo", "", lock | mod2},
        {"us", "", "lv5:lsgt_switch_lock", lock | mod2 | mod3},
        // A latch that locks when tapped twice is a lock too.
        {"us", "", "lv3:caps_switch_latch", mod2 | mod5},
        {"us,ru", "", "grp:alt_shift_toggle", lock | mod2},
    };
    for (const Case& c : cases) {
        Keymap keymap = compile("evdev", c.layout, c.variant, c.options);
        ASSERT_TRUE(keymap) << c.layout << " " << c.options;
        EXPECT_EQ(lockModifierBits(keymap.get()), c.locks) << c.layout << " " << c.variant << " " << c.options;
    }
}

TEST(X11KeyCodes, CarbonMaskToXBits)
{
    EXPECT_EQ(X11HotKeys::xModifiers(4096 | 2048), XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1);
    EXPECT_EQ(X11HotKeys::xModifiers(512 | 256), XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_4);
    // Caps Lock (1024) and anything else outside the four is not a modifier
    // of a combination.
    EXPECT_EQ(X11HotKeys::xModifiers(1024 | 1 | 128), 0);
}

} // namespace
} // namespace tilewise
