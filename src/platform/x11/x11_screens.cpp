#include "platform/x11/x11_screens.hpp"

#include <algorithm>
#include <cstdint>

namespace tilewise {

std::vector<Screen> screensOf(X11Connection& x, X11View& view)
{
    xcb_ewmh_connection_t& e = x.ewmh();
    const X11View::Root& root = view.root();
    const RootInfo& rootInfo = root.monitors;

    // The struts of the mapped managed windows, and their frames.
    DesktopReservations reservations;
    reservations.root = rootInfo.root;
    reservations.workarea = root.workarea;
    std::vector<Rect> clientFrames;
    for (const X11View::Window* w : view.clients()) {
        if (!w->viewable)
            continue;
        const Rect frame = w->geometry(x).wmFrame();
        clientFrames.push_back(frame);
        // The partial form wins where both are set, as the window manager reads it.
        std::optional<Strut> strut = Strut::fromPartial(w->property(e._NET_WM_STRUT_PARTIAL).cardinals());
        if (!strut)
            strut = Strut::fromFull(w->property(e._NET_WM_STRUT).cardinals(), rootInfo.root);
        if (strut)
            reservations.struts.push_back(StrutOwner{*strut, frame});
    }

    // Only where the window manager draws a panel of its own is it worth
    // looking at the windows that belong to no client.
    if (workareaHasOwnPanel(reservations)) {
        for (const X11View::Window* w : view.unmanagedTopLevels()) {
            if (!w->viewable || w->inputOnly)
                continue;
            // A window manager's frame around a client is not a panel.
            if (std::find(clientFrames.begin(), clientFrames.end(), w->client) != clientFrames.end())
                continue;
            reservations.unmanaged.push_back(UnmanagedWindow{w->client, w->border});
        }
    }

    std::vector<xcb_atom_t> names;
    for (auto& m : rootInfo.monitors)
        names.push_back(m.first);
    std::vector<std::string> monitorNames = x.atomNames(names);

    CoordinateSpaces spaces = rootInfo.spaces();
    std::vector<Screen> out;
    for (std::size_t i = 0; i < rootInfo.monitors.size(); ++i) {
        const auto& [name, rect] = rootInfo.monitors[i];
        Screen s;
        // The name atom stays the same for the same monitor across queries.
        s.id = name != XCB_ATOM_NONE ? name : x.root();
        s.frame = spaces.rootToScreen(rect);
        s.visibleFrame = spaces.rootToScreen(visibleArea(rect, reservations));
        s.localizedName = monitorNames[i];
        out.push_back(std::move(s));
    }
    return out;
}

} // namespace tilewise
