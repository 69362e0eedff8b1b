#include "platform/x11/x11_ewmh.hpp"

#include "platform/x11/x11_window_reads.hpp"

#include <algorithm>
#include <cmath>

namespace tilewise {

bool X11Connection::windowManagerRunning()
{
    XProperty check = property(requestProperty(root(), ewmh_._NET_SUPPORTING_WM_CHECK, 1));
    if (check.cardinals().empty() || check.cardinals()[0] == XCB_WINDOW_NONE)
        return false;
    xcb_window_t wm = check.cardinals()[0];
    // A stale property from a window manager that died names a window that
    // is gone or no longer points to itself.
    XProperty self = property(requestProperty(wm, ewmh_._NET_SUPPORTING_WM_CHECK, 1));
    return !self.cardinals().empty() && self.cardinals()[0] == wm;
}

std::vector<xcb_atom_t> X11Connection::supportedAtoms()
{
    XProperty p = property(requestProperty(root(), ewmh_._NET_SUPPORTED, 4096));
    auto v = p.cardinals();
    return std::vector<xcb_atom_t>(v.begin(), v.end());
}

xcb_window_t X11Connection::probeWindow()
{
    if (probe_ != XCB_WINDOW_NONE)
        return probe_;
    probe_ = xcb_generate_id(conn_);
    // Never mapped, so no window manager manages it; it only carries the
    // _NET_FRAME_EXTENTS answers of windowManagerBarrier().
    std::uint32_t values[] = {XCB_EVENT_MASK_PROPERTY_CHANGE};
    xcb_create_window(conn_, XCB_COPY_FROM_PARENT, probe_, root(), -100, -100, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, values);
    selected_[probe_] = values[0];
    return probe_;
}

bool X11Connection::windowManagerBarrier(std::chrono::milliseconds timeout)
{
    xcb_window_t probe = probeWindow();
    xcb_ewmh_request_frame_extents(&ewmh_, screenNumber_, probe);
    const xcb_atom_t extents = ewmh_._NET_FRAME_EXTENTS;
    return waitForEvent(
        [probe, extents](const xcb_generic_event_t& e) {
            if ((e.response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
                return false;
            auto& p = reinterpret_cast<const xcb_property_notify_event_t&>(e);
            return p.window == probe && p.atom == extents && p.state == XCB_PROPERTY_NEW_VALUE;
        },
        timeout);
}

void requestMoveResize(X11Connection& x, xcb_window_t window, Point frameCorner, Size clientSize)
{
    auto coord = [](double v) {
        return std::uint32_t(std::int32_t(std::clamp(std::round(v), kCoordMin, kCoordMax)));
    };
    xcb_client_message_event_t msg{};
    msg.response_type = XCB_CLIENT_MESSAGE;
    msg.format = 32;
    msg.window = window;
    msg.type = x.ewmh()._NET_MOVERESIZE_WINDOW;
    msg.data.data32[0] = int(Gravity::NorthWest) | (2u << 12) | // source: a pager or similar tool
                         XCB_EWMH_MOVERESIZE_WINDOW_X | XCB_EWMH_MOVERESIZE_WINDOW_Y |
                         XCB_EWMH_MOVERESIZE_WINDOW_WIDTH | XCB_EWMH_MOVERESIZE_WINDOW_HEIGHT;
    msg.data.data32[1] = coord(frameCorner.x);
    msg.data.data32[2] = coord(frameCorner.y);
    msg.data.data32[3] = std::uint32_t(clientSize.width);
    msg.data.data32[4] = std::uint32_t(clientSize.height);
    xcb_send_event(x.xcb(), 0, x.root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&msg));
}

void requestStateChange(X11Connection& x, xcb_window_t window, bool add, xcb_atom_t first, xcb_atom_t second)
{
    xcb_ewmh_request_change_wm_state(&x.ewmh(), x.screenNumber(), window,
                                     add ? XCB_EWMH_WM_STATE_ADD : XCB_EWMH_WM_STATE_REMOVE, first,
                                     second, XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
}

} // namespace tilewise
