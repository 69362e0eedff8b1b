#include "platform/x11/x11_hot_keys.hpp"

// xcb's XKB header names a field `explicit`, a keyword in C++.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-keysyms.h>

#include <algorithm>
#include <set>
#include <utility>

namespace tilewise {

namespace {

constexpr int carbonCommand = 256;
constexpr int carbonShift = 512;
constexpr int carbonOption = 2048;
constexpr int carbonControl = 4096;

constexpr std::uint16_t realModifiers = 0xff;

} // namespace

X11HotKeys::X11HotKeys(X11Connection& x, const X11KeyboardLayout* layout) : x_(x), layout_(layout)
{
    const xcb_setup_t* setup = xcb_get_setup(x_.xcb());
    minKeyCode_ = setup->min_keycode;
    maxKeyCode_ = setup->max_keycode;
    xkbFirstEvent_ = x_.xkbFirstEvent();
    if (layout_)
        return;
    readCoreLocks();
    // A keymap the layout could not read still changes; XKB-aware clients
    // hear of it only through XKB.
    if (xkbFirstEvent_) {
        const std::uint16_t events = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
        const std::uint16_t mapParts = XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS |
                                       XCB_XKB_MAP_PART_MODIFIER_MAP | XCB_XKB_MAP_PART_KEY_ACTIONS |
                                       XCB_XKB_MAP_PART_VIRTUAL_MODS | XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;
        xcb_xkb_select_events(x_.xcb(), XCB_XKB_ID_USE_CORE_KBD, events, 0, events, mapParts, mapParts,
                              nullptr);
    }
    x_.flush();
}

X11HotKeys::~X11HotKeys()
{
    if (!x_.ok())
        return;
    for (const auto& [id, g] : grabs_)
        ungrab(g);
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

std::uint16_t X11HotKeys::lockModifiers() const
{
    return layout_ ? layout_->lockModifiers() : coreLocks_;
}

std::optional<std::uint8_t> X11HotKeys::xKeyCode(int virtualKeyCode) const
{
    auto key = layout_ ? layout_->xKeyCode(virtualKeyCode) : evdevCodes_.xKeyCode(virtualKeyCode);
    if (!key || *key < minKeyCode_ || *key > maxKeyCode_)
        return std::nullopt;
    return key;
}

void X11HotKeys::readCoreLocks()
{
    // Without XKB there are no key actions to ask: the lock modifiers are
    // those whose keys type a lock symbol.
    coreLocks_ = 0;
    auto modCookie = xcb_get_modifier_mapping(x_.xcb());
    auto keyCookie =
        xcb_get_keyboard_mapping(x_.xcb(), minKeyCode_, std::uint8_t(maxKeyCode_ - minKeyCode_ + 1));
    auto map = x_.reply<xcb_get_modifier_mapping_reply_t>(modCookie);
    auto keys = x_.reply<xcb_get_keyboard_mapping_reply_t>(keyCookie);
    if (!map || !keys)
        return;
    static constexpr xcb_keysym_t lockSyms[] = {XKB_KEY_Caps_Lock,       XKB_KEY_Shift_Lock,
                                                XKB_KEY_Num_Lock,        XKB_KEY_Scroll_Lock,
                                                XKB_KEY_ISO_Level3_Lock, XKB_KEY_ISO_Level5_Lock};
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(keys.get());
    const int perKey = keys->keysyms_per_keycode;
    const int symCount = xcb_get_keyboard_mapping_keysyms_length(keys.get());
    auto typesLock = [&](xcb_keycode_t code) {
        if (code < minKeyCode_ || code > maxKeyCode_)
            return false;
        const int first = (code - minKeyCode_) * perKey;
        for (int i = first; i < first + perKey && i < symCount; ++i)
            if (std::find(std::begin(lockSyms), std::end(lockSyms), syms[i]) != std::end(lockSyms))
                return true;
        return false;
    };
    const xcb_keycode_t* modKeys = xcb_get_modifier_mapping_keycodes(map.get());
    const int perModifier = map->keycodes_per_modifier;
    for (int mod = 0; mod < 8; ++mod)
        for (int i = 0; i < perModifier; ++i)
            if (modKeys[mod * perModifier + i] != 0 && typesLock(modKeys[mod * perModifier + i]))
                coreLocks_ |= std::uint16_t(1u << mod);
    coreLocks_ &= std::uint16_t(~shortcutModifierBits);
}

std::vector<std::uint16_t> X11HotKeys::variants(const Grab& g)
{
    // X matches a grab's modifiers exactly: one grab per subset of the locks.
    std::vector<std::uint16_t> masks;
    std::uint16_t subset = 0;
    do {
        masks.push_back(std::uint16_t(g.xMods | subset));
        subset = std::uint16_t((subset - g.locks) & g.locks);
    } while (subset != 0);
    return masks;
}

void X11HotKeys::ungrab(const Grab& g)
{
    // A key code the keyboard no longer has holds no grab any more.
    if (g.xKey < minKeyCode_ || g.xKey > maxKeyCode_)
        return;
    // Ungrabbing leaves other clients' grabs of the same keys alone.
    for (std::uint16_t mods : variants(g))
        xcb_ungrab_key(x_.xcb(), g.xKey, x_.root(), mods);
}

std::vector<HotKeyStatus> X11HotKeys::registerHotKeys(const std::vector<HotKeyRequest>& requests)
{
    std::vector<HotKeyStatus> statuses(requests.size(), HotKeyStatus::rejected);
    // An id listed twice is made once, as its last request says.
    std::map<int, std::size_t> last;
    for (std::size_t i = 0; i < requests.size(); ++i)
        last[requests[i].id] = i;
    for (const auto& [id, i] : last) {
        if (auto it = grabs_.find(id); it != grabs_.end()) {
            ungrab(it->second);
            grabs_.erase(it);
        }
    }

    // Every grab of the batch is sent before any answer is awaited.
    struct Pending {
        std::size_t index;
        Grab grab;
        std::size_t firstCookie;
        std::size_t cookieCount;
    };
    std::vector<Pending> pending;
    std::vector<xcb_void_cookie_t> cookies;
    std::set<std::pair<std::uint8_t, std::uint16_t>> inUse;
    for (const auto& [id, g] : grabs_)
        inUse.emplace(g.xKey, g.xMods);
    const std::uint16_t locks = lockModifiers();
    for (std::size_t i = 0; i < requests.size(); ++i) {
        const HotKeyRequest& r = requests[i];
        if (last[r.id] != i)
            continue;
        std::optional<std::uint8_t> key = xKeyCode(r.carbonKeyCode);
        if (!key) {
            statuses[i] = HotKeyStatus::noSuchKey;
            continue;
        }
        Grab g{*key, xModifiers(r.carbonModifiers), locks};
        // Two ids on one X combination would share a grab that either could
        // release; the second one is refused as X refuses another client.
        if (!inUse.emplace(g.xKey, g.xMods).second) {
            statuses[i] = HotKeyStatus::taken;
            continue;
        }
        const std::vector<std::uint16_t> masks = variants(g);
        pending.push_back({i, g, cookies.size(), masks.size()});
        for (std::uint16_t mods : masks)
            cookies.push_back(xcb_grab_key_checked(x_.xcb(), 1, x_.root(), mods, g.xKey, XCB_GRAB_MODE_ASYNC,
                                                   XCB_GRAB_MODE_ASYNC));
    }

    std::vector<XPtr<xcb_generic_error_t>> errors = x_.check(cookies);
    for (const Pending& p : pending) {
        HotKeyStatus status = HotKeyStatus::held;
        for (std::size_t c = p.firstCookie; c < p.firstCookie + p.cookieCount; ++c) {
            if (!errors[c])
                continue;
            // BadAccess: another client holds it. Anything else is the
            // server's refusal; the service reports either.
            if (errors[c]->error_code == XCB_ACCESS)
                status = HotKeyStatus::taken;
            else if (status == HotKeyStatus::held)
                status = HotKeyStatus::rejected;
        }
        statuses[p.index] = status;
        // Half a grab would fire with some locks on and not others: all or
        // nothing.
        if (status == HotKeyStatus::held)
            grabs_[requests[p.index].id] = p.grab;
        else
            ungrab(p.grab);
    }
    for (std::size_t i = 0; i < requests.size(); ++i)
        statuses[i] = statuses[last[requests[i].id]];
    x_.flush();
    return statuses;
}

void X11HotKeys::unregisterHotKey(int id)
{
    auto it = grabs_.find(id);
    if (it == grabs_.end())
        return;
    ungrab(it->second);
    x_.flush();
    std::erase_if(pressed_, [id](const auto& entry) { return entry.second == id; });
    grabs_.erase(it);
}

bool X11HotKeys::applyPendingKeyboardChange()
{
    if (!stale_)
        return false;
    stale_ = false;
    ++keyboardChanges_;
    // With the key codes and locks they were made with: the new keymap may
    // put the keys elsewhere and lock other modifiers.
    for (const auto& [id, g] : grabs_)
        ungrab(g);
    grabs_.clear();
    if (!layout_)
        readCoreLocks();
    x_.flush();
    if (keyboardChangeHandler_)
        keyboardChangeHandler_();
    return true;
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
            // The grab that fired is the one whose combination remains once
            // its own lock modifiers are set aside.
            auto it = std::find_if(grabs_.begin(), grabs_.end(), [&key](const auto& entry) {
                const Grab& g = entry.second;
                return g.xKey == key.detail && (key.state & realModifiers & ~g.locks) == g.xMods;
            });
            if (it == grabs_.end())
                return false;
            id = it->first;
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
        stale_ |= reinterpret_cast<const xcb_mapping_notify_event_t&>(event).request != XCB_MAPPING_POINTER;
        return false;
    }
    if (xkbFirstEvent_ && type == *xkbFirstEvent_) {
        const std::uint8_t xkbType = reinterpret_cast<const xcb_xkb_map_notify_event_t&>(event).xkbType;
        if (xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY) {
            const auto& nk = reinterpret_cast<const xcb_xkb_new_keyboard_notify_event_t&>(event);
            if (layout_ && nk.deviceID != layout_->deviceId())
                return false;
            minKeyCode_ = nk.minKeyCode;
            maxKeyCode_ = nk.maxKeyCode;
            stale_ = true;
        } else if (xkbType == XCB_XKB_MAP_NOTIFY) {
            stale_ = true;
        }
    }
    return false;
}

} // namespace tilewise
