#include "platform/x11/x11_screens.hpp"

#include "platform/x11/x11_window_reads.hpp"

#include <algorithm>
#include <cstdint>
#include <unordered_set>

namespace tilewise {

std::vector<Screen> readScreens(X11Connection& x)
{
    xcb_ewmh_connection_t& e = x.ewmh();
    MonitorRequest monitorRequest = requestMonitors(x);
    auto clientsCookie = x.requestProperty(x.root(), e._NET_CLIENT_LIST, UINT32_MAX / 4);
    auto workareaCookie = x.requestProperty(x.root(), e._NET_WORKAREA, UINT32_MAX / 4);
    auto desktopCookie = x.requestProperty(x.root(), e._NET_CURRENT_DESKTOP, 1);
    auto treeCookie = xcb_query_tree(x.xcb(), x.root());

    RootInfo rootInfo = collectMonitors(x, monitorRequest);
    XProperty clients = x.property(clientsCookie);
    XProperty workarea = x.property(workareaCookie);
    XProperty desktop = x.property(desktopCookie);
    auto tree = x.reply<xcb_query_tree_reply_t>(treeCookie);

    // The struts of the mapped managed windows, and their frames.
    struct ClientRequest {
        xcb_window_t window;
        xcb_get_window_attributes_cookie_t attributes;
        xcb_get_property_cookie_t partial, full;
        GeometryRequest geometry;
    };
    std::vector<ClientRequest> requests;
    for (xcb_window_t w : clients.cardinals()) {
        requests.push_back(ClientRequest{w, xcb_get_window_attributes(x.xcb(), w),
                                         x.requestProperty(w, e._NET_WM_STRUT_PARTIAL, 12),
                                         x.requestProperty(w, e._NET_WM_STRUT, 4), requestGeometry(x, w)});
    }
    std::vector<xcb_atom_t> names;
    for (auto& m : rootInfo.monitors)
        names.push_back(m.first);
    std::vector<std::string> monitorNames = x.atomNames(names);

    DesktopReservations reservations;
    reservations.root = rootInfo.root;
    std::unordered_set<xcb_window_t> clientIds;
    std::vector<Rect> clientFrames;
    for (const ClientRequest& r : requests) {
        auto attributes = x.reply<xcb_get_window_attributes_reply_t>(r.attributes);
        XProperty partial = x.property(r.partial);
        XProperty full = x.property(r.full);
        std::optional<ClientGeometry> geometry = collectGeometry(x, r.geometry);
        clientIds.insert(r.window);
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE || !geometry)
            continue;
        clientFrames.push_back(geometry->wmFrame());
        // The partial form wins where both are set, as the window manager reads it.
        std::optional<Strut> strut = Strut::fromPartial(partial.cardinals());
        if (!strut)
            strut = Strut::fromFull(full.cardinals(), rootInfo.root);
        if (strut)
            reservations.struts.push_back(StrutOwner{*strut, geometry->wmFrame()});
    }
    std::uint32_t currentDesktop = desktop.cardinals().empty() ? 0 : desktop.cardinals()[0];
    reservations.workarea = workareaOfDesktop(workarea.cardinals(), currentDesktop);

    // Only where the window manager draws a panel of its own is it worth
    // looking at the windows that belong to no client.
    if (tree && workareaHasOwnPanel(reservations)) {
        struct ChildRequest {
            xcb_window_t window;
            xcb_get_window_attributes_cookie_t attributes;
            xcb_get_geometry_cookie_t geometry;
        };
        std::vector<ChildRequest> children;
        xcb_window_t* ids = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
            if (!clientIds.contains(ids[i]))
                children.push_back(ChildRequest{ids[i], xcb_get_window_attributes(x.xcb(), ids[i]),
                                                xcb_get_geometry(x.xcb(), ids[i])});
        }
        for (const ChildRequest& c : children) {
            auto attributes = x.reply<xcb_get_window_attributes_reply_t>(c.attributes);
            auto geometry = x.reply<xcb_get_geometry_reply_t>(c.geometry);
            if (!attributes || !geometry || attributes->map_state != XCB_MAP_STATE_VIEWABLE ||
                attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY)
                continue;
            double bw = geometry->border_width;
            Rect r(geometry->x, geometry->y, geometry->width + 2 * bw, geometry->height + 2 * bw);
            // A window manager's frame around a client is not a panel.
            if (std::find(clientFrames.begin(), clientFrames.end(), r) != clientFrames.end())
                continue;
            reservations.unmanaged.push_back(UnmanagedWindow{r, bw});
        }
    }

    CoordinateSpaces spaces(rootInfo.monitors.front().second);
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
