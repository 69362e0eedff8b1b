#include "platform/x11/x11_active_window_monitor.hpp"

namespace tilewise {

X11ActiveWindowMonitor::X11ActiveWindowMonitor(X11Connection& x) : x_(x)
{
    x_.selectInput(x_.root(), XCB_EVENT_MASK_PROPERTY_CHANGE);
    x_.flush();
}

void X11ActiveWindowMonitor::handleEvent(const xcb_generic_event_t& event)
{
    if ((event.response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
        return;
    const auto& notify = reinterpret_cast<const xcb_property_notify_event_t&>(event);
    if (notify.window != x_.root() || notify.atom != x_.ewmh()._NET_ACTIVE_WINDOW)
        return;
    // A snapshot: a handler may add another.
    for (const auto& handler : std::vector<std::function<void()>>(handlers_))
        handler();
}

} // namespace tilewise
