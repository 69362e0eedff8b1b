#include "platform/x11/x11_modifier_monitor.hpp"

// xcb's XKB header names a field `explicit`, a keyword in C++.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon.h>

namespace tilewise {

namespace {

constexpr std::uint64_t capsLockFlag = 1ull << 16;
constexpr std::uint64_t shiftFlag = 1ull << 17;
constexpr std::uint64_t controlFlag = 1ull << 18;
constexpr std::uint64_t optionFlag = 1ull << 19;
constexpr std::uint64_t commandFlag = 1ull << 20;
constexpr std::uint64_t functionFlag = 1ull << 23;
constexpr int fnKeyCode = 63;
// A key the physical table does not know: not any real key's code.
constexpr int unknownKeyCode = -1;

constexpr std::uint16_t modifierParts = XCB_XKB_STATE_PART_MODIFIER_STATE | XCB_XKB_STATE_PART_MODIFIER_BASE |
                                        XCB_XKB_STATE_PART_MODIFIER_LATCH | XCB_XKB_STATE_PART_MODIFIER_LOCK;

} // namespace

X11ModifierMonitor::X11ModifierMonitor(X11Connection& x, const X11KeyboardLayout& layout)
    : x_(x), layout_(layout), xkbFirstEvent_(x.xkbFirstEvent())
{
    if (!xkbFirstEvent_)
        return;
    const std::uint16_t events = XCB_XKB_EVENT_TYPE_STATE_NOTIFY;
    xcb_xkb_select_events(x_.xcb(), XCB_XKB_ID_USE_CORE_KBD, events, 0, events, 0, 0, nullptr);
    x_.flush();
}

ModifierMonitor::MonitorId X11ModifierMonitor::addMonitor(Handler handler)
{
    handlers_.push_back(std::move(handler));
    return static_cast<MonitorId>(handlers_.size());
}

std::uint64_t X11ModifierMonitor::modifierFlags(std::uint16_t xMods, bool functionDown)
{
    std::uint64_t flags = 0;
    if (xMods & XCB_MOD_MASK_LOCK)
        flags |= capsLockFlag;
    if (xMods & XCB_MOD_MASK_SHIFT)
        flags |= shiftFlag;
    if (xMods & XCB_MOD_MASK_CONTROL)
        flags |= controlFlag;
    if (xMods & XCB_MOD_MASK_1)
        flags |= optionFlag;
    if (xMods & XCB_MOD_MASK_4)
        flags |= commandFlag;
    if (functionDown)
        flags |= functionFlag;
    return flags;
}

void X11ModifierMonitor::handleEvent(const xcb_generic_event_t& event)
{
    if (!xkbFirstEvent_ || (event.response_type & 0x7f) != *xkbFirstEvent_)
        return;
    const auto& s = reinterpret_cast<const xcb_xkb_state_notify_event_t&>(event);
    if (s.xkbType != XCB_XKB_STATE_NOTIFY)
        return;
    // Fn changes no X state unless the keymap makes it a modifier; when it
    // does, its press and release arrive here like the others'.
    const std::optional<std::uint8_t> fnKey = layout_.keyForKeysym(XKB_KEY_XF86Fn);
    const bool isFn = fnKey && s.keycode == *fnKey;
    if (!isFn && !(s.changed & modifierParts))
        return;
    if (isFn && s.eventType == XCB_KEY_PRESS)
        functionDown_ = true;
    else if (isFn && s.eventType == XCB_KEY_RELEASE)
        functionDown_ = false;

    ModifierEvent e;
    e.keyCode = isFn ? fnKeyCode : layout_.virtualKeyCode(s.keycode).value_or(unknownKeyCode);
    e.modifierFlags = modifierFlags(s.mods, functionDown_);
    for (const Handler& handler : handlers_)
        handler(e);
}

} // namespace tilewise
