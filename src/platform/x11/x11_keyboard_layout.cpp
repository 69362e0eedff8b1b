#include "platform/x11/x11_keyboard_layout.hpp"

#include "platform/diagnostics.hpp"

// xcb's XKB header names a field `explicit`, a keyword in C++.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>

namespace tilewise {

namespace {

struct StateFree {
    void operator()(xkb_state* s) const { xkb_state_unref(s); }
};

} // namespace

std::unique_ptr<X11KeyboardLayout> X11KeyboardLayout::create(X11Connection& x, std::string* error)
{
    auto fail = [&](const char* why) -> std::unique_ptr<X11KeyboardLayout> {
        if (error)
            *error = why;
        return nullptr;
    };
    auto firstEvent = x.xkbFirstEvent();
    if (!firstEvent)
        return fail("the X server has no XKB extension");
    std::unique_ptr<X11KeyboardLayout> layout(new X11KeyboardLayout(x, *firstEvent));
    layout->context_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!layout->context_)
        return fail("cannot create an xkbcommon context");
    layout->deviceId_ = xkb_x11_get_core_keyboard_device_id(x.xcb());
    if (layout->deviceId_ < 0 || !layout->readKeymap())
        return fail("cannot read the keymap of the core keyboard");
    layout->readGroup();

    // Keymap and group changes: the group comes with state notifications,
    // which carry every state change; only their group part matters here.
    const std::uint16_t events = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY |
                                 XCB_XKB_EVENT_TYPE_STATE_NOTIFY;
    const std::uint16_t mapParts = XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS |
                                   XCB_XKB_MAP_PART_MODIFIER_MAP | XCB_XKB_MAP_PART_KEY_ACTIONS |
                                   XCB_XKB_MAP_PART_VIRTUAL_MODS | XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;
    xcb_xkb_select_events(x.xcb(), XCB_XKB_ID_USE_CORE_KBD, events, 0, events, mapParts, mapParts, nullptr);
    x.flush();
    return layout;
}

X11KeyboardLayout::X11KeyboardLayout(X11Connection& x, std::uint8_t xkbFirstEvent)
    : x_(x), xkbFirstEvent_(xkbFirstEvent)
{
}

X11KeyboardLayout::~X11KeyboardLayout()
{
    xkb_keymap_unref(keymap_);
    xkb_context_unref(context_);
}

bool X11KeyboardLayout::readKeymap()
{
    xkb_keymap* fresh =
        xkb_x11_keymap_new_from_device(context_, x_.xcb(), deviceId_, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!fresh)
        return false;
    xkb_keymap_unref(keymap_);
    keymap_ = fresh;
    ++keymapReads_;
    keyCodes_ = X11KeyCodes::fromKeymap(keymap_);
    lockModifiers_ = lockModifierBits(keymap_);
    return true;
}

void X11KeyboardLayout::readGroup()
{
    auto state = x_.reply<xcb_xkb_get_state_reply_t>(xcb_xkb_get_state(x_.xcb(), XCB_XKB_ID_USE_CORE_KBD));
    if (state)
        group_ = state->group;
}

void X11KeyboardLayout::handleEvent(const xcb_generic_event_t& event)
{
    const std::uint8_t type = event.response_type & 0x7f;
    if (type == XCB_MAPPING_NOTIFY) {
        stale_ |= reinterpret_cast<const xcb_mapping_notify_event_t&>(event).request != XCB_MAPPING_POINTER;
        return;
    }
    if (type != xkbFirstEvent_)
        return;
    switch (reinterpret_cast<const xcb_xkb_map_notify_event_t&>(event).xkbType) {
    case XCB_XKB_NEW_KEYBOARD_NOTIFY:
        stale_ |= reinterpret_cast<const xcb_xkb_new_keyboard_notify_event_t&>(event).deviceID == deviceId_;
        return;
    case XCB_XKB_MAP_NOTIFY:
        stale_ = true;
        return;
    case XCB_XKB_STATE_NOTIFY: {
        const auto& s = reinterpret_cast<const xcb_xkb_state_notify_event_t&>(event);
        if (s.deviceID == deviceId_ && (s.changed & XCB_XKB_STATE_PART_GROUP_STATE))
            group_ = s.group;
        return;
    }
    default:
        return;
    }
}

bool X11KeyboardLayout::refresh()
{
    if (!stale_)
        return false;
    stale_ = false;
    // A keymap that cannot be read keeps the last one: stale text beats none.
    if (!readKeymap()) {
        diag::problem("cannot read the new keymap; keeping the previous one");
        return false;
    }
    readGroup();
    return true;
}

int X11KeyboardLayout::groupCount() const
{
    return int(xkb_keymap_num_layouts(keymap_));
}

std::optional<std::string> X11KeyboardLayout::translate(int group, int keyCode, int modifierState) const
{
    auto xKey = xKeyCode(keyCode);
    if (!xKey || group < 0 || group >= groupCount())
        return std::nullopt;
    std::unique_ptr<xkb_state, StateFree> state(xkb_state_new(keymap_));
    if (!state)
        return std::nullopt;
    xkb_mod_mask_t mods = 0;
    auto add = [&](const char* name) {
        xkb_mod_index_t index = xkb_keymap_mod_get_index(keymap_, name);
        if (index != XKB_MOD_INVALID)
            mods |= xkb_mod_mask_t(1) << index;
    };
    if (modifierState & shiftState)
        add(XKB_MOD_NAME_SHIFT);
    // Option picks a key's other characters; on X that is the third level,
    // which the usual keymaps put on Mod5.
    if (modifierState & optionState)
        add("Mod5");
    xkb_state_update_mask(state.get(), mods, 0, 0, 0, 0, xkb_layout_index_t(group));
    char buffer[64];
    int length = xkb_state_key_get_utf8(state.get(), *xKey, buffer, sizeof buffer);
    if (length > 0 && std::size_t(length) < sizeof buffer)
        return std::string(buffer, std::size_t(length));
    // Arrow keys type nothing; show them as arrows rather than as a key
    // without text. Dead keys type nothing by themselves either.
    switch (xkb_state_key_get_one_sym(state.get(), *xKey)) {
    case XKB_KEY_Left:
        return "\u2190";
    case XKB_KEY_Up:
        return "\u2191";
    case XKB_KEY_Right:
        return "\u2192";
    case XKB_KEY_Down:
        return "\u2193";
    default:
        return std::nullopt;
    }
}

std::optional<std::uint8_t> X11KeyboardLayout::keyForKeysym(std::uint32_t keysym) const
{
    const xkb_keycode_t last = std::min<xkb_keycode_t>(xkb_keymap_max_keycode(keymap_), 255);
    for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap_); key <= last; ++key) {
        const xkb_keysym_t* syms = nullptr;
        int count = xkb_keymap_key_get_syms_by_level(keymap_, key, 0, 0, &syms);
        for (int i = 0; i < count; ++i)
            if (syms[i] == keysym)
                return std::uint8_t(key);
    }
    return std::nullopt;
}

} // namespace tilewise
