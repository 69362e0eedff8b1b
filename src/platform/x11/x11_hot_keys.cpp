#include "platform/x11/x11_hot_keys.hpp"

#include "platform/diagnostics.hpp"
#include "platform/x11/x11_keycodes.hpp"

// xcb's XKB header names a field `explicit`, a keyword in C++.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <cstdio>

namespace tilewise {

namespace {

constexpr int carbonCommand = 256;
constexpr int carbonShift = 512;
constexpr int carbonOption = 2048;
constexpr int carbonControl = 4096;

constexpr std::uint16_t allModifiers = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_LOCK | XCB_MOD_MASK_CONTROL |
                                       XCB_MOD_MASK_1 | XCB_MOD_MASK_2 | XCB_MOD_MASK_3 | XCB_MOD_MASK_4 |
                                       XCB_MOD_MASK_5;

} // namespace

X11HotKeys::X11HotKeys(X11Connection& x) : x_(x)
{
    const xcb_setup_t* setup = xcb_get_setup(x_.xcb());
    minKeyCode_ = setup->min_keycode;
    maxKeyCode_ = setup->max_keycode;
    readModifierMapping();
    // A new keyboard (setxkbmap, a plugged-in device) may bring a new key code
    // range or move Num Lock; XKB-aware clients hear of it only through XKB.
    xkbFirstEvent_ = x_.xkbFirstEvent();
    if (xkbFirstEvent_) {
        const std::uint16_t events = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
        const std::uint16_t mapParts = XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS |
                                       XCB_XKB_MAP_PART_MODIFIER_MAP | XCB_XKB_MAP_PART_VIRTUAL_MODS;
        xcb_xkb_select_events(x_.xcb(), XCB_XKB_ID_USE_CORE_KBD, events, 0, events, mapParts, mapParts,
                              nullptr);
    }
    x_.flush();
}

X11HotKeys::~X11HotKeys()
{
    if (!x_.ok())
        return;
    for (auto& [id, hotKey] : hotKeys_)
        if (hotKey.grab.held)
            ungrab(hotKey.grab);
    x_.flush();
}

std::uint16_t X11HotKeys::xModifiers(int carbonModifiers)
{
    std::uint16_t mods = 0;
    if (carbonModifiers & carbonControl)
        mods |= XCB_MOD_MASK_CONTROL;
    if (carbonModifiers & carbonOption)
        mods |= XCB_MOD_MASK_1;
    if (carbonModifiers & carbonShift)
        mods |= XCB_MOD_MASK_SHIFT;
    if (carbonModifiers & carbonCommand)
        mods |= XCB_MOD_MASK_4;
    return mods;
}

void X11HotKeys::readModifierMapping()
{
    // Num Lock has no fixed modifier bit: it is the one whose keys include a
    // key that types Num_Lock.
    numLockMask_ = 0;
    auto modCookie = xcb_get_modifier_mapping(x_.xcb());
    auto keyCookie =
        xcb_get_keyboard_mapping(x_.xcb(), minKeyCode_, std::uint8_t(maxKeyCode_ - minKeyCode_ + 1));
    auto map = x_.reply<xcb_get_modifier_mapping_reply_t>(modCookie);
    auto keys = x_.reply<xcb_get_keyboard_mapping_reply_t>(keyCookie);
    if (!map || !keys)
        return;
    constexpr xcb_keysym_t numLockSym = 0xff7f;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(keys.get());
    const int perKey = keys->keysyms_per_keycode;
    const int symCount = xcb_get_keyboard_mapping_keysyms_length(keys.get());
    auto typesNumLock = [&](xcb_keycode_t code) {
        if (code < minKeyCode_ || code > maxKeyCode_)
            return false;
        const int first = (code - minKeyCode_) * perKey;
        for (int i = first; i < first + perKey && i < symCount; ++i)
            if (syms[i] == numLockSym)
                return true;
        return false;
    };
    const xcb_keycode_t* modKeys = xcb_get_modifier_mapping_keycodes(map.get());
    const int perModifier = map->keycodes_per_modifier;
    for (int mod = 0; mod < 8; ++mod)
        for (int i = 0; i < perModifier; ++i)
            if (modKeys[mod * perModifier + i] != 0 && typesNumLock(modKeys[mod * perModifier + i]))
                numLockMask_ = std::uint16_t(1u << mod);
}

std::vector<std::uint16_t> X11HotKeys::lockVariants(std::uint16_t mods) const
{
    std::vector<std::uint16_t> variants{mods, std::uint16_t(mods | XCB_MOD_MASK_LOCK)};
    if (numLockMask_ != 0 && numLockMask_ != XCB_MOD_MASK_LOCK) {
        variants.push_back(std::uint16_t(mods | numLockMask_));
        variants.push_back(std::uint16_t(mods | numLockMask_ | XCB_MOD_MASK_LOCK));
    }
    return variants;
}

std::optional<X11HotKeys::Grab> X11HotKeys::grabFor(int carbonKeyCode, int carbonModifiers) const
{
    auto key = xKeyCodeForVirtualKey(carbonKeyCode);
    if (!key || *key < minKeyCode_ || *key > maxKeyCode_)
        return std::nullopt;
    Grab g;
    g.xKey = *key;
    g.xMods = xModifiers(carbonModifiers);
    return g;
}

bool X11HotKeys::grab(Grab& g)
{
    std::vector<xcb_void_cookie_t> cookies;
    for (std::uint16_t mods : lockVariants(g.xMods))
        cookies.push_back(xcb_grab_key_checked(x_.xcb(), 1, x_.root(), mods, g.xKey, XCB_GRAB_MODE_ASYNC,
                                               XCB_GRAB_MODE_ASYNC));
    bool granted = true;
    for (xcb_void_cookie_t cookie : cookies) {
        if (XPtr<xcb_generic_error_t> error{xcb_request_check(x_.xcb(), cookie)}) {
            // BadAccess: another client holds the combination. Expected, and
            // the caller reports it; anything else is a fault worth a line.
            if (error->error_code != XCB_ACCESS)
                x_.handleError(*error);
            granted = false;
        }
    }
    // Half a grab would fire with Num Lock on but not off: all or nothing.
    // Ungrabbing a variant another client holds leaves theirs alone.
    if (!granted) {
        ungrab(g);
        x_.flush();
    }
    g.held = granted;
    return granted;
}

void X11HotKeys::ungrab(const Grab& g)
{
    for (std::uint16_t mods : lockVariants(g.xMods))
        xcb_ungrab_key(x_.xcb(), g.xKey, x_.root(), mods);
}

bool X11HotKeys::registerHotKey(int id, int carbonKeyCode, int carbonModifiers)
{
    unregisterHotKey(id);
    auto g = grabFor(carbonKeyCode, carbonModifiers);
    if (!g)
        return false;
    // Two ids on one X combination would share a grab that either could
    // release; the second one is refused as X would refuse another client.
    for (const auto& [otherId, other] : hotKeys_)
        if (other.grab.held && other.grab.xKey == g->xKey && other.grab.xMods == g->xMods)
            return false;
    if (!grab(*g))
        return false;
    hotKeys_[id] = HotKey{carbonKeyCode, carbonModifiers, *g};
    return true;
}

void X11HotKeys::unregisterHotKey(int id)
{
    auto it = hotKeys_.find(id);
    if (it == hotKeys_.end())
        return;
    if (it->second.grab.held) {
        ungrab(it->second.grab);
        x_.flush();
    }
    std::erase_if(pressed_, [id](const auto& entry) { return entry.second == id; });
    hotKeys_.erase(it);
}

void X11HotKeys::followMappingChange()
{
    ++mappingChanges_;
    pressed_.clear();
    // Release everything first, with the old Num Lock bit, then grab with the
    // new one: the grabs follow the physical keys into the new mapping.
    for (auto& [id, hotKey] : hotKeys_)
        if (hotKey.grab.held)
            ungrab(hotKey.grab);
    readModifierMapping();
    for (auto& [id, hotKey] : hotKeys_) {
        auto g = grabFor(hotKey.carbonKeyCode, hotKey.carbonModifiers);
        hotKey.grab = g.value_or(Grab{});
        if (g && !grab(hotKey.grab))
            diag::problemOnce("regrab " + std::to_string(hotKey.carbonKeyCode) + " " +
                                  std::to_string(hotKey.carbonModifiers),
                              "a shortcut (key code " + std::to_string(hotKey.carbonKeyCode) +
                                  ") could not be grabbed again after a keyboard change: another "
                                  "program holds it");
    }
}

bool X11HotKeys::handleEvent(const xcb_generic_event_t& event)
{
    const std::uint8_t type = event.response_type & 0x7f;
    if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
        const auto& key = reinterpret_cast<const xcb_key_press_event_t&>(event);
        if (key.event != x_.root())
            return false;
        const bool press = type == XCB_KEY_PRESS;
        int id = 0;
        if (press) {
            const std::uint16_t locks = std::uint16_t(XCB_MOD_MASK_LOCK | numLockMask_);
            const std::uint16_t mods = std::uint16_t(key.state & allModifiers & ~locks);
            for (const auto& [candidate, hotKey] : hotKeys_)
                if (hotKey.grab.held && hotKey.grab.xKey == key.detail && hotKey.grab.xMods == mods)
                    id = candidate;
            if (id == 0)
                return false;
            pressed_[key.detail] = id;
        } else {
            auto it = pressed_.find(key.detail);
            if (it == pressed_.end())
                return false;
            id = it->second;
            pressed_.erase(it);
        }
        if (handler_)
            handler_(id, press);
        return true;
    }
    if (type == XCB_MAPPING_NOTIFY) {
        const auto& mapping = reinterpret_cast<const xcb_mapping_notify_event_t&>(event);
        if (mapping.request == XCB_MAPPING_POINTER)
            return false;
        followMappingChange();
        return false;
    }
    if (xkbFirstEvent_ && type == *xkbFirstEvent_) {
        const std::uint8_t xkbType = reinterpret_cast<const xcb_xkb_map_notify_event_t&>(event).xkbType;
        if (xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY) {
            const auto& nk = reinterpret_cast<const xcb_xkb_new_keyboard_notify_event_t&>(event);
            minKeyCode_ = nk.minKeyCode;
            maxKeyCode_ = nk.maxKeyCode;
            followMappingChange();
        } else if (xkbType == XCB_XKB_MAP_NOTIFY) {
            followMappingChange();
        }
    }
    return false;
}

} // namespace tilewise
