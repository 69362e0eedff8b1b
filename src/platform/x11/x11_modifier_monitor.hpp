// Global modifier changes on X11, from XKB state notifications: every
// client hears of them, whichever window has the focus, without a grab.
#pragma once

#include "platform/modifier_monitor.hpp"
#include "platform/x11/x11_connection.hpp"
#include "platform/x11/x11_keyboard_layout.hpp"

#include <cstdint>
#include <optional>
#include <vector>

namespace tilewise {

class X11ModifierMonitor : public ModifierMonitor {
public:
    // The layout names the Fn key: the one its keymap has typing XF86Fn.
    X11ModifierMonitor(X11Connection& x, const X11KeyboardLayout& layout);

    MonitorId addMonitor(Handler handler) override;

    // Every event from the connection passes through here.
    void handleEvent(const xcb_generic_event_t& event);

    // Event modifier flags of an X modifier state.
    static std::uint64_t modifierFlags(std::uint16_t xMods, bool functionDown);

private:
    X11Connection& x_;
    const X11KeyboardLayout& layout_;
    std::optional<std::uint8_t> xkbFirstEvent_;
    std::vector<Handler> handlers_;
    bool functionDown_ = false;
};

} // namespace tilewise
