#include "platform/x11/x11_window_reads.hpp"

#include <algorithm>
#include <climits>

namespace tilewise {

std::optional<xcb_window_t> windowOf(const WindowElement& w)
{
    if (w.handle == 0 || w.handle > UINT32_MAX)
        return std::nullopt;
    return xcb_window_t(w.handle);
}

bool contains(std::span<const std::uint32_t> atoms, xcb_atom_t a)
{
    return std::find(atoms.begin(), atoms.end(), a) != atoms.end();
}

GeometryRequest requestGeometry(X11Connection& x, xcb_window_t w)
{
    return GeometryRequest{
        xcb_get_geometry(x.xcb(), w),
        xcb_translate_coordinates(x.xcb(), w, x.root(), 0, 0),
        x.requestProperty(w, x.ewmh()._NET_FRAME_EXTENTS, 4),
        x.requestProperty(w, x.atoms().gtkFrameExtents, 4),
    };
}

std::optional<ClientGeometry> collectGeometry(X11Connection& x, const GeometryRequest& r)
{
    auto geometry = x.reply<xcb_get_geometry_reply_t>(r.geometry);
    auto origin = x.reply<xcb_translate_coordinates_reply_t>(r.origin);
    XProperty wm = x.property(r.wmExtents);
    XProperty gtk = x.property(r.gtkExtents);
    if (!geometry || !origin)
        return std::nullopt;
    double bw = geometry->border_width;
    ClientGeometry g;
    // TranslateCoordinates gives the origin inside the border, and in root
    // coordinates, whereas GetGeometry is relative to the window manager's frame.
    g.client =
        Rect(origin->dst_x - bw, origin->dst_y - bw, geometry->width + 2 * bw, geometry->height + 2 * bw);
    g.border = bw;
    g.wm = FrameExtents::fromProperty(wm.cardinals());
    g.gtk = FrameExtents::fromProperty(gtk.cardinals());
    return g;
}

MonitorRequest requestMonitors(X11Connection& x)
{
    MonitorRequest r;
    // Asked at each use: `xrandr --setmonitor` changes monitors without an event.
    if (x.hasMonitors())
        r.monitors = xcb_randr_get_monitors(x.xcb(), x.root(), 1);
    r.rootGeometry = xcb_get_geometry(x.xcb(), x.root());
    return r;
}

RootInfo collectMonitors(X11Connection& x, const MonitorRequest& r)
{
    RootInfo info;
    XPtr<xcb_randr_get_monitors_reply_t> reply;
    if (r.monitors)
        reply = x.reply<xcb_randr_get_monitors_reply_t>(*r.monitors);
    auto rootGeometry = x.reply<xcb_get_geometry_reply_t>(r.rootGeometry);
    if (rootGeometry)
        info.root = Size{double(rootGeometry->width), double(rootGeometry->height)};
    if (reply) {
        for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem;
             xcb_randr_monitor_info_next(&it)) {
            const xcb_randr_monitor_info_t& m = *it.data;
            if (m.width == 0 || m.height == 0)
                continue;
            std::pair<xcb_atom_t, Rect> entry{m.name, Rect(m.x, m.y, m.width, m.height)};
            if (m.primary)
                info.monitors.insert(info.monitors.begin(), entry);
            else
                info.monitors.push_back(entry);
        }
    }
    if (info.monitors.empty())
        info.monitors.emplace_back(XCB_ATOM_NONE, Rect(Point{0, 0}, info.root));
    return info;
}

} // namespace tilewise
