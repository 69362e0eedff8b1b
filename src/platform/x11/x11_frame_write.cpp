#include "platform/x11/x11_frame_write.hpp"

#include "platform/x11/x11_ewmh.hpp"
#include "platform/x11/x11_window_reads.hpp"

#include <xcb/xcb_icccm.h>

#include <algorithm>
#include <cmath>

namespace tilewise {

namespace {

// How long to wait for a window manager's configure notification when it
// cannot be asked for a round trip, and for a client to correct a size
// below its minimum.
constexpr std::chrono::milliseconds kConfigureNotifyWait{200};
// How long the first round trip through a window manager may take before we
// conclude that it does not answer for windows it does not manage.
constexpr std::chrono::milliseconds kProbeDetectionWait{100};
// How long a client's shadows must rest before a frame is computed with them.
constexpr std::chrono::milliseconds kShadowsSettle{100};

bool isSyntheticConfigureOf(const xcb_generic_event_t& ev, xcb_window_t window)
{
    return ev.response_type == (XCB_CONFIGURE_NOTIFY | 0x80) &&
           reinterpret_cast<const xcb_configure_notify_event_t&>(ev).window == window;
}

// Root position and client size, X border included, as a synthetic
// configure notification states them.
Rect geometryOf(const xcb_generic_event_t& ev)
{
    auto& c = reinterpret_cast<const xcb_configure_notify_event_t&>(ev);
    return Rect(c.x, c.y, c.width + 2.0 * c.border_width, c.height + 2.0 * c.border_width);
}

} // namespace

struct X11FrameWriter::ClientState {
    ClientGeometry geometry;
    std::vector<xcb_atom_t> state;
    Gravity gravity = Gravity::NorthWest;
    // The client's minimum size, X border included, where it states one.
    std::optional<Size> minimum;
};

std::optional<X11FrameWriter::ClientState> X11FrameWriter::readClient(xcb_window_t window)
{
    const X11View::Window* w = view_.window(window);
    if (!w)
        return std::nullopt;
    ClientState s;
    s.geometry = w->geometry(x_);
    auto state = w->property(x_.ewmh()._NET_WM_STATE).cardinals();
    s.state.assign(state.begin(), state.end());
    const XProperty& hints = w->property(XCB_ATOM_WM_NORMAL_HINTS);
    xcb_size_hints_t sizeHints{};
    if (hints.raw() && xcb_icccm_get_wm_size_hints_from_reply(&sizeHints, hints.raw())) {
        if (sizeHints.flags & XCB_ICCCM_SIZE_HINT_P_WIN_GRAVITY)
            s.gravity = gravityFromHint(int(sizeHints.win_gravity));
        if (sizeHints.flags & XCB_ICCCM_SIZE_HINT_P_MIN_SIZE)
            s.minimum = Size{double(sizeHints.min_width), double(sizeHints.min_height)};
    }
    return s;
}

X11FrameWriter::HeldStates X11FrameWriter::heldStates(const ClientState& state)
{
    xcb_ewmh_connection_t& e = x_.ewmh();
    HeldStates held;
    held.maximized = contains(state.state, e._NET_WM_STATE_MAXIMIZED_VERT) ||
                     contains(state.state, e._NET_WM_STATE_MAXIMIZED_HORZ);
    held.fullscreen = contains(state.state, e._NET_WM_STATE_FULLSCREEN);
    return held;
}

void X11FrameWriter::changeStates(xcb_window_t window, const ClientState& state, bool add)
{
    xcb_ewmh_connection_t& e = x_.ewmh();
    // Each direction of maximization as the window held it.
    xcb_atom_t vert =
        contains(state.state, e._NET_WM_STATE_MAXIMIZED_VERT) ? e._NET_WM_STATE_MAXIMIZED_VERT : 0;
    xcb_atom_t horz =
        contains(state.state, e._NET_WM_STATE_MAXIMIZED_HORZ) ? e._NET_WM_STATE_MAXIMIZED_HORZ : 0;
    if (vert || horz)
        requestStateChange(x_, window, add, vert ? vert : horz, vert ? horz : xcb_atom_t(XCB_ATOM_NONE));
    if (contains(state.state, e._NET_WM_STATE_FULLSCREEN))
        requestStateChange(x_, window, add, e._NET_WM_STATE_FULLSCREEN, XCB_ATOM_NONE);
}

bool X11FrameWriter::leaveHeldStates(xcb_window_t window, const ClientState& state, bool canProbe,
                                     xcb_window_t wmCheck)
{
    if (!heldStates(state).any())
        return false;
    // A client that draws its own shadows takes them off while it fills the
    // screen and puts them back once it no longer does, each a moment after
    // the window manager's answer (and the first may still be on its way):
    // the frame is computed once they have settled.
    const X11View::Window* w = view_.window(window);
    if (!w)
        return false; // gone: the write that follows finds nothing either
    const XProperty& shadows = w->property(x_.atoms().gtkFrameExtents);
    const bool drawsShadows = shadows.exists();
    const bool shadowsOff = FrameExtents::fromProperty(shadows.cardinals()) == FrameExtents{};
    std::uint64_t mark = x_.eventMark();
    changeStates(window, state, false);
    const Rect held = state.geometry.client;
    waitForWindowManager(window, wmCheck, canProbe, mark,
                         [&held](const Rect& now) { return now.size != held.size; });
    if (drawsShadows) {
        const xcb_atom_t atom = x_.atoms().gtkFrameExtents;
        auto isShadowChange = [window, atom](const xcb_generic_event_t& ev) {
            if ((ev.response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
                return false;
            auto& p = reinterpret_cast<const xcb_property_notify_event_t&>(ev);
            return p.window == window && p.atom == atom;
        };
        // Off now: they come back within the write's bound. On: a change
        // under way shows within a short one. Then until they rest.
        std::chrono::milliseconds wait = shadowsOff ? timeout_ : kShadowsSettle;
        for (int changes = 0; changes < 4 && x_.waitForEvent(isShadowChange, wait, mark); ++changes) {
            mark = x_.eventMark();
            wait = kShadowsSettle;
        }
    }
    return true;
}

void X11FrameWriter::waitForWindowManager(xcb_window_t window, xcb_window_t wmCheck, bool canProbe,
                                          std::uint64_t mark, const std::function<bool(const Rect&)>& answers)
{
    if (canProbe) {
        auto known = probeAnswered_.find(wmCheck);
        if (known == probeAnswered_.end() || known->second) {
            // A window manager that answers does so at once; finding out
            // that one does not should not cost the whole write timeout.
            bool answered = x_.windowManagerBarrier(
                known == probeAnswered_.end() ? std::min(timeout_, kProbeDetectionWait) : timeout_);
            if (known == probeAnswered_.end())
                probeAnswered_[wmCheck] = answered;
            if (answered)
                return;
        }
    }
    // Otherwise the synthetic ConfigureNotify that a window manager sends
    // after it configured a client is the sign. Several may be under way
    // for earlier work on the same window, so only one that shows what was
    // asked for ends the wait early; a refusal ends it at the short bound.
    x_.waitForEvent(
        [window, &answers](const xcb_generic_event_t& ev) {
            return isSyntheticConfigureOf(ev, window) && answers(geometryOf(ev));
        },
        std::min(timeout_, kConfigureNotifyWait), mark);
    x_.sync();
}

std::optional<Size> X11FrameWriter::waitForConfigured(xcb_window_t window, xcb_window_t wmCheck,
                                                      const Rect& before, const Rect& sent,
                                                      std::uint64_t mark, std::chrono::milliseconds timeout)
{
    auto known = sendsSynthetic_.find(wmCheck);
    const bool realEnds = known == sendsSynthetic_.end() || !known->second;
    std::optional<Size> applied;
    bool resized = false;
    // Notifications of earlier work may still come in; they show the
    // geometry from before the write, and are passed over.
    auto isSynthetic = [&](const xcb_generic_event_t& ev) {
        if (!isSyntheticConfigureOf(ev, window))
            return false;
        Rect now = geometryOf(ev);
        if (now != sent && now == before)
            return false;
        applied = now.size;
        return true;
    };
    bool shown = false;
    x_.waitForEvent(
        [&](const xcb_generic_event_t& ev) {
            // Where the events show the window exactly where it was sent,
            // the window manager is done, whatever it sends or not after.
            if (const X11View::Window* w = view_.known(window); w && w->client == sent) {
                applied = sent.size;
                shown = true;
                return true;
            }
            if (ev.response_type != XCB_CONFIGURE_NOTIFY)
                return isSynthetic(ev);
            auto& c = reinterpret_cast<const xcb_configure_notify_event_t&>(ev);
            Rect now = geometryOf(ev);
            if (c.window != window || now.size == before.size)
                return false;
            // The server's own notification of a resize: some window
            // managers send nothing more, others a synthetic one once the
            // frame is in place too.
            resized = true;
            if (realEnds)
                applied = now.size;
            return realEnds;
        },
        timeout, mark);
    if (resized && !shown && known == sendsSynthetic_.end()) {
        // Learned once: one that sends it does so right after.
        sendsSynthetic_[wmCheck] = x_.waitForEvent(isSynthetic, std::min(timeout, kProbeDetectionWait), mark);
    }
    return applied;
}

void X11FrameWriter::write(xcb_window_t window, std::optional<Point> position, std::optional<Size> size)
{
    // A frame computed from a division by zero must not reach the window.
    if ((position && !(std::isfinite(position->x) && std::isfinite(position->y))) ||
        (size && !(std::isfinite(size->width) && std::isfinite(size->height))))
        return;

    view_.beginRead();
    std::optional<ClientState> state = readClient(window);
    if (!state)
        return; // gone
    const X11View::Root& root = view_.root();
    // Read with the root: the window manager may have been replaced.
    const bool canMoveResize = contains(root.supported, x_.ewmh()._NET_MOVERESIZE_WINDOW);
    const bool canProbe = contains(root.supported, x_.ewmh()._NET_REQUEST_FRAME_EXTENTS);
    const xcb_window_t wmCheck = root.wmCheck;
    const CoordinateSpaces spaces = root.monitors.spaces();
    std::vector<Rect> monitors;
    for (const auto& m : root.monitors.monitors)
        monitors.push_back(m.second);

    // A frame placed on another monitor for a window held maximized or full
    // screen takes the state along; writing that frame again changes nothing
    // while the state holds (the engine may check its work a turn later).
    const HeldStates held = heldStates(*state);
    auto carried = carriedAcross_.find(window);
    if (carried != carriedAcross_.end()) {
        const bool same = position && size && carried->second == Rect(*position, *size);
        if (same && held.any())
            return;
        carriedAcross_.erase(carried);
    }
    bool carry = false;
    if (held.any() && position && size) {
        const Rect targetRoot = spaces.windowToRoot(Rect(*position, *size));
        const auto from = monitorHoldingMost(monitors, state->geometry.outer());
        const auto to = monitorHoldingMost(monitors, targetRoot);
        carry = from && to && *from != *to;
    }
    const ClientState before = *state;
    // What is not given stays as the user sees it, not as the window comes
    // back from the state.
    if (held.any()) {
        const Rect shown = spaces.rootToWindow(before.geometry.outer());
        position = position.value_or(shown.origin);
        size = size.value_or(shown.size);
    }
    if (leaveHeldStates(window, *state, canProbe, wmCheck)) {
        // Leaving the state restores the old frame and may bring the borders back.
        view_.beginRead();
        state = readClient(window);
        if (!state)
            return;
    }

    configure(window, *state, position, size, canMoveResize, canProbe, wmCheck, spaces);
    if (before.state != state->state) {
        // Shadows put back later than waited for: once more with them.
        std::optional<ClientState> now = readClient(window);
        if (now && now->geometry.gtk != state->geometry.gtk)
            configure(window, *now, position, size, canMoveResize, canProbe, wmCheck, spaces);
    }
    if (carry) {
        const std::uint64_t mark = x_.eventMark();
        changeStates(window, before, true);
        waitForWindowManager(window, wmCheck, canProbe, mark, [](const Rect&) { return true; });
        carriedAcross_[window] = Rect(*position, *size);
    }
}

void X11FrameWriter::configure(xcb_window_t window, const ClientState& state, std::optional<Point> position,
                               std::optional<Size> size, bool canMoveResize, bool canProbe,
                               xcb_window_t wmCheck, const CoordinateSpaces& spaces)
{
    const ClientGeometry& g = state.geometry;
    Rect target = g.client;
    if (position) {
        Rect outer = g.outer();
        outer.origin = spaces.windowToRoot(*position);
        target.origin = clientFromOuterFrame(outer, g.wm, g.gtk).origin;
    }
    if (size)
        target.size = clientSizeFromOuterSize(*size, g.wm, g.gtk);
    auto coord = [](double v) { return std::int32_t(std::clamp(std::round(v), kCoordMin, kCoordMax)); };
    auto extent = [](double v) { return std::uint32_t(std::clamp(std::round(v), 1.0, kCoordMax)); };

    // What goes on the wire: X coordinates are 16-bit, sizes at least 1.
    const Rect sent(coord(target.x()), coord(target.y()), extent(target.width()), extent(target.height()));
    const bool changes = sent != g.client;

    const std::uint64_t mark = x_.eventMark();
    if (canMoveResize) {
        // Every field is flagged; those not asked for carry the current geometry.
        requestMoveResize(x_, window, Point{sent.x() - g.wm.left, sent.y() - g.wm.top}, sent.size);
    } else {
        // A configure request is placed by the window's own gravity; only
        // what was asked for is flagged, the rest staying as that gravity has it.
        std::uint16_t mask = 0;
        std::uint32_t values[4];
        int n = 0;
        if (position) {
            Point p = configureRequestPosition(sent, g.wm, state.gravity);
            mask |= XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y;
            values[n++] = std::uint32_t(coord(p.x));
            values[n++] = std::uint32_t(coord(p.y));
        }
        if (size) {
            mask |= XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT;
            values[n++] = std::uint32_t(sent.width());
            values[n++] = std::uint32_t(sent.height());
        }
        xcb_configure_window(x_.xcb(), window, mask, values);
    }
    auto answers = [&sent](const Rect& now) { return now == sent; };
    if (!changes) {
        // Nothing to configure: a window manager may well stay silent, so
        // only a round trip through it tells that it is done.
        waitForWindowManager(window, wmCheck, canProbe, mark, answers);
        return;
    }
    // A window manager answers each configuration of a client with a
    // synthetic configure notification once it is done, whether it
    // applied what was asked or something else.
    std::optional<Size> applied = waitForConfigured(window, wmCheck, g.client, sent, mark, timeout_);
    // A client below its minimum, let through by the window manager, may
    // correct its size itself; the read that follows should see that.
    if (applied && state.minimum &&
        (applied->width < state.minimum->width || applied->height < state.minimum->height)) {
        Rect now(sent.origin, *applied);
        waitForConfigured(window, wmCheck, now, Rect(sent.origin, *state.minimum), x_.eventMark(),
                          std::min(timeout_, kConfigureNotifyWait));
    }
}

} // namespace tilewise
