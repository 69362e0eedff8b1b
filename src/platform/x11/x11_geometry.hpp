// The arithmetic of the X11 platform, kept free of xcb so that it can be
// tested without a server: frame extents, struts and work areas, the two
// coordinate spaces, and where a window manager puts a configure request.
//
// Every rectangle here is in root-window coordinates (pixels, y downward)
// unless its name says otherwise.
#pragma once

#include "platform/geometry.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tilewise {

// Widths of the four sides of a frame, in the order of _NET_FRAME_EXTENTS and
// _GTK_FRAME_EXTENTS: left, right, top, bottom.
struct FrameExtents {
    double left = 0;
    double right = 0;
    double top = 0;
    double bottom = 0;

    // Reads a CARDINAL[4] property; anything shorter means no extents.
    static FrameExtents fromProperty(std::span<const std::uint32_t> values);
    friend bool operator==(const FrameExtents&, const FrameExtents&) = default;
};

// The frame the user sees: the client grown by the window manager's
// decorations and shrunk by the shadows a client-side-decorated window draws
// inside its own area.
Rect outerFrameFromClient(const Rect& client, const FrameExtents& wm, const FrameExtents& gtk);
// The inverse: the client rectangle that shows `outer` as its outer frame.
Rect clientFromOuterFrame(const Rect& outer, const FrameExtents& wm, const FrameExtents& gtk);
// Same conversions for sizes alone.
Size clientSizeFromOuterSize(const Size& outer, const FrameExtents& wm, const FrameExtents& gtk);

// X11 gravities (win_gravity in WM_NORMAL_HINTS, the low byte of a
// _NET_MOVERESIZE_WINDOW message).
enum class Gravity : int {
    NorthWest = 1,
    North = 2,
    NorthEast = 3,
    West = 4,
    Center = 5,
    East = 6,
    SouthWest = 7,
    South = 8,
    SouthEast = 9,
    Static = 10,
};
// Unknown values (0 is not a valid window gravity) read as NorthWest, the
// default of WM_NORMAL_HINTS.
Gravity gravityFromHint(int value);

// The x, y to put in a configure request so that a window manager which
// honours `gravity` places the client at `client`: the reference point of the
// requested rectangle must coincide with the same point of the frame
// (`client` grown by `wm`), except under static gravity, where the client
// itself stays put.
Point configureRequestPosition(const Rect& client, const FrameExtents& wm, Gravity gravity);

enum class Side { Left, Right, Top, Bottom };

// _NET_WM_STRUT_PARTIAL: space reserved along the edges of the whole root
// window, each side limited to a range along its edge (ends inclusive).
struct Strut {
    double left = 0, right = 0, top = 0, bottom = 0;
    double leftStartY = 0, leftEndY = 0;
    double rightStartY = 0, rightEndY = 0;
    double topStartX = 0, topEndX = 0;
    double bottomStartX = 0, bottomEndX = 0;

    // CARDINAL[12]; none when shorter.
    static std::optional<Strut> fromPartial(std::span<const std::uint32_t> values);
    // The older CARDINAL[4] _NET_WM_STRUT spans the whole edge.
    static std::optional<Strut> fromFull(std::span<const std::uint32_t> values, const Size& root);

    struct Reserved {
        Side side;
        Rect area;
    };
    // The root-window areas the strut keeps free of windows, one per side that
    // reserves anything.
    std::vector<Reserved> reservedAreas(const Size& root) const;
};

// A strut and the frame of the window that sets it.
struct StrutOwner {
    Strut strut;
    Rect frame;
};

// A mapped top-level window that belongs to no managed client.
struct UnmanagedWindow {
    Rect frame; // X border included
    double border = 0;
};

// The inputs from which a monitor's visible area is computed.
struct DesktopReservations {
    Size root;
    // Struts of the mapped managed windows, docks included.
    std::vector<StrutOwner> struts;
    // _NET_WORKAREA of the current desktop: one rectangle for all monitors.
    std::optional<Rect> workarea;
    // The window manager's own panels are among these. Only consulted where
    // the work area is cut deeper than the struts explain.
    std::vector<UnmanagedWindow> unmanaged;
};

// The work area that struts alone produce, as a window manager computes it:
// the root less the deepest strut on each side.
Rect workareaFromStruts(const Size& root, const std::vector<StrutOwner>& struts);

// Whether the work area is cut deeper than the struts explain on some side,
// that is whether the window manager draws a panel of its own.
bool workareaHasOwnPanel(const DesktopReservations& r);

// The monitor less the struts of the windows touching it, less the window
// manager's own panels. Struts count only on the monitors their window
// touches, so a panel on one monitor never takes space from another. A panel
// that the window manager announces only through the work area is found
// among the unmanaged windows on that side, and touches a monitor when its
// inside does (its X border may stick out onto the next monitor); if none is
// there, the work area edge is applied to every monitor it crosses, so that
// no panel is covered.
Rect visibleArea(const Rect& monitor, const DesktopReservations& r);

// The rectangle of `desktop` in a _NET_WORKAREA value (four numbers per
// desktop); none when the property does not cover it.
std::optional<Rect> workareaOfDesktop(std::span<const std::uint32_t> values, std::uint32_t desktop);

// Root coordinates against the two spaces of WindowAccess, both anchored on
// the primary monitor: window space is root coordinates shifted so that the
// primary monitor's top-left is (0, 0); screen space puts the primary's
// bottom-left at (0, 0) with y upward.
class CoordinateSpaces {
public:
    explicit CoordinateSpaces(const Rect& primaryMonitor) : primary_(primaryMonitor) {}

    Rect rootToWindow(const Rect& r) const;
    Rect windowToRoot(const Rect& r) const;
    Point windowToRoot(const Point& p) const;
    Rect rootToScreen(const Rect& r) const;
    Point rootToScreen(const Point& p) const;

private:
    Rect primary_;
};

// Area of the intersection of two rectangles; 0 when they do not overlap.
double overlapArea(const Rect& a, const Rect& b);

// Index of the monitor that holds the largest part of `frame`; none when it
// lies on no monitor. Ties go to the earlier monitor.
std::optional<std::size_t> monitorHoldingMost(const std::vector<Rect>& monitors, const Rect& frame);

} // namespace tilewise
