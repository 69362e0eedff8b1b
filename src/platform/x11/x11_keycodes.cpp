#include "platform/x11/x11_keycodes.hpp"

#include "shortcuts/key_positions.hpp"

#include <xkbcommon/xkbcommon.h>

#include <memory>
#include <string>

namespace tilewise {

namespace {

constexpr int evdevToXOffset = 8;

struct StateFree {
    void operator()(xkb_state* s) const { xkb_state_unref(s); }
};

} // namespace

void X11KeyCodes::add(int virtualKeyCode, unsigned xKeyCode)
{
    // X key codes are one byte; a keymap may name keys beyond that.
    if (xKeyCode < 8 || xKeyCode > 255)
        return;
    toX_[std::size_t(virtualKeyCode)] = std::uint8_t(xKeyCode);
    toVirtual_[xKeyCode] = std::int16_t(virtualKeyCode);
}

X11KeyCodes X11KeyCodes::fromKeymap(xkb_keymap* keymap)
{
    X11KeyCodes codes;
    for (const KeyPosition& p : keyPositions()) {
        xkb_keycode_t key = xkb_keymap_key_by_name(keymap, std::string(p.xkbName).c_str());
        if (key != XKB_KEYCODE_INVALID)
            codes.add(p.keyCode, key);
    }
    return codes;
}

X11KeyCodes X11KeyCodes::evdev()
{
    X11KeyCodes codes;
    for (const KeyPosition& p : keyPositions())
        codes.add(p.keyCode, unsigned(p.evdevCode + evdevToXOffset));
    return codes;
}

std::optional<std::uint8_t> X11KeyCodes::xKeyCode(int virtualKeyCode) const
{
    if (virtualKeyCode < 0 || virtualKeyCode >= int(toX_.size()) || toX_[std::size_t(virtualKeyCode)] == 0)
        return std::nullopt;
    return toX_[std::size_t(virtualKeyCode)];
}

std::optional<int> X11KeyCodes::virtualKeyCode(std::uint8_t xKeyCode) const
{
    if (toVirtual_[xKeyCode] < 0)
        return std::nullopt;
    return toVirtual_[xKeyCode];
}

std::uint16_t lockModifierBits(xkb_keymap* keymap)
{
    // X's real modifiers by name, whatever their indices in the keymap.
    static const char* const realNames[8] = {"Shift", "Lock", "Control", "Mod1", "Mod2", "Mod3", "Mod4", "Mod5"};
    xkb_mod_index_t realIndex[8];
    for (int bit = 0; bit < 8; ++bit)
        realIndex[bit] = xkb_keymap_mod_get_index(keymap, realNames[bit]);
    auto toX = [&](xkb_mod_mask_t mask) {
        std::uint16_t bits = 0;
        for (int bit = 0; bit < 8; ++bit)
            if (realIndex[bit] < 32 && (mask >> realIndex[bit]) & 1u)
                bits |= std::uint16_t(1u << bit);
        return bits;
    };

    std::unique_ptr<xkb_state, StateFree> state(xkb_state_new(keymap));
    if (!state)
        return 0;
    std::uint16_t locks = 0;
    const xkb_keycode_t last = xkb_keymap_max_keycode(keymap);
    for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap); key <= last; ++key) {
        const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(keymap, key);
        for (xkb_layout_index_t layout = 0; layout < layouts; ++layout) {
            const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap, key, layout);
            for (xkb_level_index_t level = 0; level < levels; ++level) {
                xkb_mod_mask_t masks[32];
                std::size_t count = xkb_keymap_key_get_mods_for_level(keymap, key, layout, level, masks, 32);
                // The first level is also reached with no modifier at all.
                if (count == 0 && level == 0)
                    masks[count++] = 0;
                for (std::size_t m = 0; m < count; ++m) {
                    xkb_state_update_mask(state.get(), masks[m], 0, 0, 0, 0, layout);
                    // Twice: a latch that locks when tapped twice locks too.
                    for (int tap = 0; tap < 2; ++tap) {
                        xkb_state_update_key(state.get(), key, XKB_KEY_DOWN);
                        xkb_state_update_key(state.get(), key, XKB_KEY_UP);
                        locks |= toX(xkb_state_serialize_mods(state.get(), XKB_STATE_MODS_LOCKED));
                    }
                    // A latch still waiting for its key would carry over to
                    // the next key: start again from a clean state.
                    if (xkb_state_serialize_mods(state.get(), XKB_STATE_MODS_LATCHED) != 0 ||
                        xkb_state_serialize_layout(state.get(), XKB_STATE_LAYOUT_LATCHED) != 0)
                        state.reset(xkb_state_new(keymap));
                    if (!state)
                        return std::uint16_t(locks & ~shortcutModifierBits);
                }
            }
        }
    }
    return std::uint16_t(locks & ~shortcutModifierBits);
}

} // namespace tilewise
