#include "platform/x11/x11_geometry.hpp"

#include <algorithm>

namespace tilewise {

FrameExtents FrameExtents::fromProperty(std::span<const std::uint32_t> values)
{
    if (values.size() < 4)
        return {};
    return FrameExtents{double(values[0]), double(values[1]), double(values[2]), double(values[3])};
}

Rect outerFrameFromClient(const Rect& client, const FrameExtents& wm, const FrameExtents& gtk)
{
    double left = wm.left - gtk.left;
    double right = wm.right - gtk.right;
    double top = wm.top - gtk.top;
    double bottom = wm.bottom - gtk.bottom;
    return Rect(client.x() - left, client.y() - top, client.width() + left + right,
                client.height() + top + bottom);
}

Rect clientFromOuterFrame(const Rect& outer, const FrameExtents& wm, const FrameExtents& gtk)
{
    double left = wm.left - gtk.left;
    double top = wm.top - gtk.top;
    return Rect(Point{outer.x() + left, outer.y() + top}, clientSizeFromOuterSize(outer.size, wm, gtk));
}

Size clientSizeFromOuterSize(const Size& outer, const FrameExtents& wm, const FrameExtents& gtk)
{
    return Size{outer.width - (wm.left - gtk.left) - (wm.right - gtk.right),
                outer.height - (wm.top - gtk.top) - (wm.bottom - gtk.bottom)};
}

Gravity gravityFromHint(int value)
{
    if (value < int(Gravity::NorthWest) || value > int(Gravity::Static))
        return Gravity::NorthWest;
    return Gravity(value);
}

Point configureRequestPosition(const Rect& client, const FrameExtents& wm, Gravity gravity)
{
    if (gravity == Gravity::Static)
        return client.origin;
    Rect frame = outerFrameFromClient(client, wm, FrameExtents{});
    double x = frame.x();
    double y = frame.y();
    switch (gravity) {
    case Gravity::North:
    case Gravity::Center:
    case Gravity::South:
        x = frame.x() + (frame.width() - client.width()) / 2;
        break;
    case Gravity::NorthEast:
    case Gravity::East:
    case Gravity::SouthEast:
        x = frame.maxX() - client.width();
        break;
    default:
        break;
    }
    switch (gravity) {
    case Gravity::West:
    case Gravity::Center:
    case Gravity::East:
        y = frame.y() + (frame.height() - client.height()) / 2;
        break;
    case Gravity::SouthWest:
    case Gravity::South:
    case Gravity::SouthEast:
        y = frame.maxY() - client.height();
        break;
    default:
        break;
    }
    return Point{x, y};
}

std::optional<Strut> Strut::fromPartial(std::span<const std::uint32_t> v)
{
    if (v.size() < 12)
        return std::nullopt;
    Strut s;
    s.left = v[0];
    s.right = v[1];
    s.top = v[2];
    s.bottom = v[3];
    s.leftStartY = v[4];
    s.leftEndY = v[5];
    s.rightStartY = v[6];
    s.rightEndY = v[7];
    s.topStartX = v[8];
    s.topEndX = v[9];
    s.bottomStartX = v[10];
    s.bottomEndX = v[11];
    return s;
}

std::optional<Strut> Strut::fromFull(std::span<const std::uint32_t> v, const Size& root)
{
    if (v.size() < 4)
        return std::nullopt;
    Strut s;
    s.left = v[0];
    s.right = v[1];
    s.top = v[2];
    s.bottom = v[3];
    s.leftEndY = s.rightEndY = root.height - 1;
    s.topEndX = s.bottomEndX = root.width - 1;
    return s;
}

std::vector<Strut::Reserved> Strut::reservedAreas(const Size& root) const
{
    // Ends are inclusive pixel indices; a range given backwards reserves nothing.
    auto span = [](double start, double end) { return std::max(0.0, end - start + 1); };
    std::vector<Reserved> areas;
    if (left > 0 && span(leftStartY, leftEndY) > 0)
        areas.push_back({Side::Left, Rect(0, leftStartY, left, span(leftStartY, leftEndY))});
    if (right > 0 && span(rightStartY, rightEndY) > 0)
        areas.push_back(
            {Side::Right, Rect(root.width - right, rightStartY, right, span(rightStartY, rightEndY))});
    if (top > 0 && span(topStartX, topEndX) > 0)
        areas.push_back({Side::Top, Rect(topStartX, 0, span(topStartX, topEndX), top)});
    if (bottom > 0 && span(bottomStartX, bottomEndX) > 0)
        areas.push_back(
            {Side::Bottom, Rect(bottomStartX, root.height - bottom, span(bottomStartX, bottomEndX), bottom)});
    return areas;
}

double overlapArea(const Rect& a, const Rect& b)
{
    double w = std::min(a.maxX(), b.maxX()) - std::max(a.minX(), b.minX());
    double h = std::min(a.maxY(), b.maxY()) - std::max(a.minY(), b.minY());
    return (w > 0 && h > 0) ? w * h : 0;
}

Rect workareaFromStruts(const Size& root, const std::vector<StrutOwner>& struts)
{
    double left = 0, right = 0, top = 0, bottom = 0;
    for (const StrutOwner& o : struts) {
        left = std::max(left, o.strut.left);
        right = std::max(right, o.strut.right);
        top = std::max(top, o.strut.top);
        bottom = std::max(bottom, o.strut.bottom);
    }
    return Rect(left, top, std::max(0.0, root.width - left - right),
                std::max(0.0, root.height - top - bottom));
}

namespace {

// The edges of a rectangle being cut down, kept as edges so that cuts from
// different sources simply take the deepest one.
struct Edges {
    double left, top, right, bottom;

    explicit Edges(const Rect& r) : left(r.minX()), top(r.minY()), right(r.maxX()), bottom(r.maxY()) {}

    // Moves `side` inward to `to` when that is deeper than where it is.
    void cut(Side side, double to)
    {
        switch (side) {
        case Side::Left:
            left = std::max(left, to);
            break;
        case Side::Right:
            right = std::min(right, to);
            break;
        case Side::Top:
            top = std::max(top, to);
            break;
        case Side::Bottom:
            bottom = std::min(bottom, to);
            break;
        }
    }

    // Cuts so that `area` no longer overlaps, from `side`.
    void exclude(Side side, const Rect& area)
    {
        switch (side) {
        case Side::Left:
            cut(side, area.maxX());
            break;
        case Side::Right:
            cut(side, area.minX());
            break;
        case Side::Top:
            cut(side, area.maxY());
            break;
        case Side::Bottom:
            cut(side, area.minY());
            break;
        }
    }

    Rect rect() const
    {
        // Cuts from opposite sides that meet leave an empty area, never a
        // negative size.
        double w = std::max(0.0, right - left);
        double h = std::max(0.0, bottom - top);
        return Rect(left, top, w, h);
    }
};

bool contains(const Rect& outer, const Rect& inner)
{
    return inner.minX() >= outer.minX() && inner.maxX() <= outer.maxX() && inner.minY() >= outer.minY() &&
           inner.maxY() <= outer.maxY();
}

// Whether `f` is a panel along `side` of the root that reaches into `band`
// without lying wholly inside it: anchored to the root's edge there and
// within the root's half on that side. Some window managers announce less
// of their panel in the work area than they show (icewm with several
// monitors).
bool anchoredInto(const Rect& f, Side side, const Rect& band, const Size& root)
{
    if (overlapArea(f, band) <= 0)
        return false;
    switch (side) {
    case Side::Left:
        return f.minX() <= 0 && f.maxX() <= root.width / 2;
    case Side::Right:
        return f.maxX() >= root.width && f.minX() >= root.width / 2;
    case Side::Top:
        return f.minY() <= 0 && f.maxY() <= root.height / 2;
    case Side::Bottom:
        return f.maxY() >= root.height && f.minY() >= root.height / 2;
    }
    return false;
}

// Cuts `edges` of `monitor` for the window manager's own panel on `side`, which
// the work area announces by `waEdge` and `band` (the root beyond that edge).
void cutForOwnPanel(Edges& edges, const Rect& monitor, Side side, double waEdge, const Rect& band,
                    const Size& root, const std::vector<UnmanagedWindow>& unmanaged)
{
    bool found = false;
    for (const UnmanagedWindow& w : unmanaged) {
        const Rect& f = w.frame;
        if (f.width() <= 0 || f.height() <= 0 || !(contains(band, f) || anchoredInto(f, side, band, root)))
            continue;
        found = true;
        Rect inside(f.x() + w.border, f.y() + w.border, f.width() - 2 * w.border, f.height() - 2 * w.border);
        if (overlapArea(inside, monitor) > 0)
            edges.exclude(side, f);
    }
    if (found)
        return;
    // The panel is not to be seen (hidden, or drawn inside another window):
    // give up the space on every monitor the edge crosses rather than risk
    // covering it.
    bool crosses = (side == Side::Left || side == Side::Right)
                       ? (waEdge > monitor.minX() && waEdge < monitor.maxX())
                       : (waEdge > monitor.minY() && waEdge < monitor.maxY());
    if (crosses)
        edges.cut(side, waEdge);
}

} // namespace

bool workareaHasOwnPanel(const DesktopReservations& r)
{
    if (!r.workarea)
        return false;
    Rect s = workareaFromStruts(r.root, r.struts);
    const Rect& wa = *r.workarea;
    return wa.minX() > s.minX() || wa.minY() > s.minY() || wa.maxX() < s.maxX() || wa.maxY() < s.maxY();
}

Rect visibleArea(const Rect& monitor, const DesktopReservations& r)
{
    Edges edges(monitor);

    for (const StrutOwner& owner : r.struts) {
        // A panel reserves space on the monitors it is on, not on every
        // monitor its strut, measured from the root's edge, happens to cross.
        if (overlapArea(owner.frame, monitor) <= 0)
            continue;
        for (const Strut::Reserved& reserved : owner.strut.reservedAreas(r.root)) {
            if (overlapArea(reserved.area, monitor) > 0)
                edges.exclude(reserved.side, reserved.area);
        }
    }

    if (r.workarea) {
        const Rect& wa = *r.workarea;
        const Size& root = r.root;
        Rect s = workareaFromStruts(root, r.struts);
        if (wa.minX() > s.minX())
            cutForOwnPanel(edges, monitor, Side::Left, wa.minX(), Rect(0, 0, wa.minX(), root.height), root,
                           r.unmanaged);
        if (wa.maxX() < s.maxX())
            cutForOwnPanel(edges, monitor, Side::Right, wa.maxX(),
                           Rect(wa.maxX(), 0, root.width - wa.maxX(), root.height), root, r.unmanaged);
        if (wa.minY() > s.minY())
            cutForOwnPanel(edges, monitor, Side::Top, wa.minY(), Rect(0, 0, root.width, wa.minY()), root,
                           r.unmanaged);
        if (wa.maxY() < s.maxY())
            cutForOwnPanel(edges, monitor, Side::Bottom, wa.maxY(),
                           Rect(0, wa.maxY(), root.width, root.height - wa.maxY()), root, r.unmanaged);
    }
    return edges.rect();
}

std::optional<Rect> workareaOfDesktop(std::span<const std::uint32_t> values, std::uint32_t desktop)
{
    std::size_t at = std::size_t(desktop) * 4;
    if (values.size() < at + 4)
        return std::nullopt;
    return Rect(double(values[at]), double(values[at + 1]), double(values[at + 2]), double(values[at + 3]));
}

Rect CoordinateSpaces::rootToWindow(const Rect& r) const
{
    return Rect(r.x() - primary_.x(), r.y() - primary_.y(), r.width(), r.height());
}

Rect CoordinateSpaces::windowToRoot(const Rect& r) const
{
    return Rect(windowToRoot(r.origin), r.size);
}

Point CoordinateSpaces::windowToRoot(const Point& p) const
{
    return Point{p.x + primary_.x(), p.y + primary_.y()};
}

Rect CoordinateSpaces::rootToScreen(const Rect& r) const
{
    return Rect(r.x() - primary_.x(), primary_.maxY() - r.maxY(), r.width(), r.height());
}

Point CoordinateSpaces::rootToScreen(const Point& p) const
{
    return Point{p.x - primary_.x(), primary_.maxY() - p.y};
}

std::optional<std::size_t> monitorHoldingMost(const std::vector<Rect>& monitors, const Rect& frame)
{
    std::optional<std::size_t> best;
    double bestArea = 0;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        double a = overlapArea(monitors[i], frame);
        if (a > bestArea) {
            bestArea = a;
            best = i;
        }
    }
    return best;
}

} // namespace tilewise
