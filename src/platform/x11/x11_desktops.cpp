#include "platform/x11/x11_desktops.hpp"

#include "platform/x11/x11_window_reads.hpp"

namespace tilewise {

namespace {

// _NET_WM_DESKTOP of a window shown on every desktop.
constexpr std::uint32_t kAllDesktops = 0xFFFFFFFF;

const xcb_property_notify_event_t* propertyNotify(const xcb_generic_event_t& e)
{
    if ((e.response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
        return nullptr;
    return reinterpret_cast<const xcb_property_notify_event_t*>(&e);
}

} // namespace

X11Desktops::X11Desktops(X11Connection& x, X11View& view) : x_(x), view_(view)
{
    observer_ = x_.addEventObserver([this](const xcb_generic_event_t& e) { handleEvent(e); });
}

X11Desktops::~X11Desktops()
{
    x_.removeEventObserver(observer_);
}

void X11Desktops::handleEvent(const xcb_generic_event_t& e)
{
    const xcb_property_notify_event_t* p = propertyNotify(e);
    // A notification older than the last read is already in it.
    if (p && p->window == x_.root() && p->atom == x_.ewmh()._NET_NUMBER_OF_DESKTOPS &&
        std::int32_t(e.full_sequence - countSince_) >= 0)
        countStale_ = true;
}

std::optional<xcb_get_property_cookie_t> X11Desktops::requestCount()
{
    // What has arrived so far decides whether the count is still current.
    x_.eventMark();
    if (!countStale_)
        return std::nullopt;
    // Selected before the read, so that no change goes unseen after it.
    x_.selectInput(x_.root(), XCB_EVENT_MASK_PROPERTY_CHANGE);
    xcb_get_property_cookie_t cookie = x_.requestProperty(x_.root(), x_.ewmh()._NET_NUMBER_OF_DESKTOPS, 1);
    countSince_ = cookie.sequence;
    countStale_ = false;
    return cookie;
}

std::uint32_t X11Desktops::countNow(const std::optional<xcb_get_property_cookie_t>& cookie)
{
    if (cookie) {
        XProperty p = x_.property(*cookie);
        count_ = p.cardinals().empty() ? 0 : p.cardinals()[0];
    }
    return count_;
}

bool X11Desktops::canMoveWindows()
{
    auto cookie = requestCount();
    // Where the view reads the root again, the count travels with it.
    const std::vector<xcb_atom_t>& supported = view_.root().supported;
    const std::uint32_t count = countNow(cookie);
    const xcb_ewmh_connection_t& e = x_.ewmhAtoms();
    return contains(supported, e._NET_NUMBER_OF_DESKTOPS) && contains(supported, e._NET_CURRENT_DESKTOP) &&
           contains(supported, e._NET_WM_DESKTOP) && count > 1;
}

std::optional<std::string> X11Desktops::moveToAdjacentDesktop(const WindowElement& element, bool next)
{
    std::optional<xcb_window_t> window = windowOf(element);
    if (!window)
        return "no such window";
    xcb_ewmh_connection_t& e = x_.ewmh();
    // One batch: the count where it may have changed, the current desktop
    // and the window's.
    auto countCookie = requestCount();
    auto currentCookie = x_.requestProperty(x_.root(), e._NET_CURRENT_DESKTOP, 1);
    auto ownCookie = x_.requestProperty(*window, e._NET_WM_DESKTOP, 1);
    const std::uint32_t count = countNow(countCookie);
    XProperty current = x_.property(currentCookie);
    XProperty own = x_.property(ownCookie);
    if (!own.raw())
        return "the window is gone";
    if (current.cardinals().empty())
        return "the window manager names no current desktop";

    const std::uint32_t now = current.cardinals()[0];
    // A window without a desktop of its own is where the user sees it.
    std::uint32_t from = own.cardinals().empty() ? now : own.cardinals()[0];
    if (from == kAllDesktops)
        from = now;
    if (next ? from + 1 >= count : from == 0)
        return std::nullopt; // no wrapping at the ends
    const std::uint32_t target = next ? from + 1 : from - 1;

    // Where the window is carried to the desktop already shown, no switch
    // follows, and its own desktop's change is the answer to wait for.
    const bool switching = target != now;
    if (!switching)
        x_.selectInput(*window, XCB_EVENT_MASK_PROPERTY_CHANGE);
    const std::uint64_t mark = x_.eventMark();
    xcb_ewmh_request_change_wm_desktop(&e, x_.screenNumber(), *window, target,
                                       XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
    if (switching)
        xcb_ewmh_request_change_current_desktop(&e, x_.screenNumber(), target, XCB_CURRENT_TIME);
    xcb_ewmh_request_change_active_window(&e, x_.screenNumber(), *window, XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER,
                                          XCB_CURRENT_TIME, XCB_WINDOW_NONE);
    const xcb_window_t watched = switching ? x_.root() : *window;
    const xcb_atom_t atom = switching ? e._NET_CURRENT_DESKTOP : e._NET_WM_DESKTOP;
    const bool answered = x_.waitForEvent(
        [watched, atom](const xcb_generic_event_t& ev) {
            const xcb_property_notify_event_t* p = propertyNotify(ev);
            return p && p->window == watched && p->atom == atom && p->state == XCB_PROPERTY_NEW_VALUE;
        },
        timeout_, mark);
    if (!answered) {
        std::string why = "the window manager did not answer within ";
        why.append(std::to_string(timeout_.count())).append(" ms");
        return why;
    }
    return std::nullopt;
}

} // namespace tilewise
