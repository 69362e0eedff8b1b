// The batched reads that the X11 platform builds on: where a window is and
// what surrounds it, and the monitors. Each comes as a request half, sent
// with others, and a collect half, which waits for the replies.
#pragma once

#include "platform/window_access.hpp"
#include "platform/x11/x11_connection.hpp"
#include "platform/x11/x11_geometry.hpp"

#include <xcb/randr.h>

#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace tilewise {

// X11 coordinates are 16-bit; anything beyond would wrap on the wire.
inline constexpr double kCoordMin = -32768;
inline constexpr double kCoordMax = 32767;

// The client window of a handle; none for a handle that cannot be one.
std::optional<xcb_window_t> windowOf(const WindowElement& w);

bool contains(std::span<const std::uint32_t> atoms, xcb_atom_t a);

// Requests for where a window is and what surrounds it, sent together.
struct GeometryRequest {
    xcb_get_geometry_cookie_t geometry;
    xcb_translate_coordinates_cookie_t origin;
    xcb_get_property_cookie_t wmExtents;
    xcb_get_property_cookie_t gtkExtents;
};

struct ClientGeometry {
    Rect client;       // root coordinates, X border included
    double border = 0; // the X border's width
    FrameExtents wm;
    FrameExtents gtk;

    Rect outer() const { return outerFrameFromClient(client, wm, gtk); }
    // The frame the window manager draws, without the client's shadows
    // taken off: what its configure arithmetic works with.
    Rect wmFrame() const { return outerFrameFromClient(client, wm, FrameExtents{}); }
};

GeometryRequest requestGeometry(X11Connection& x, xcb_window_t w);
// Every reply is collected, even after a failure, so none is left behind.
std::optional<ClientGeometry> collectGeometry(X11Connection& x, const GeometryRequest& r);

struct MonitorRequest {
    std::optional<xcb_randr_get_monitors_cookie_t> monitors;
    xcb_get_geometry_cookie_t rootGeometry;
};

struct RootInfo {
    std::vector<std::pair<xcb_atom_t, Rect>> monitors; // primary first, never empty
    Size root;

    CoordinateSpaces spaces() const { return CoordinateSpaces(monitors.front().second); }
};

MonitorRequest requestMonitors(X11Connection& x);
RootInfo collectMonitors(X11Connection& x, const MonitorRequest& r);

} // namespace tilewise
