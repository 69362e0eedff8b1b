#include "layout/pair_geometry.hpp"

#include "settings/defaults_store.hpp"
#include "settings/storage.hpp"

#include <algorithm>
#include <cmath>

namespace tilewise {

namespace {

// Containment and overlap allow for applications' rounding.
constexpr double cutTolerance = 2.0;

bool near(double a, double b, double within)
{
    return std::fabs(a - b) < within;
}

} // namespace

std::optional<Rect> partnerFrame(const Rect& area, const Size& screenSize, const Rect& f,
                                 const PairSettings& settings)
{
    const double top = area.minY(), bottom = area.maxY(), left = area.minX(), right = area.maxX();
    // An edge beyond the screen's edge counts as touching it.
    const bool atTop = top > f.minY() || near(f.minY(), top, pairEdgeReach);
    const bool atBottom = bottom < f.maxY() || near(f.maxY(), bottom, pairEdgeReach);
    const bool atLeft = left > f.minX() || near(f.minX(), left, pairEdgeReach);
    const bool atRight = right < f.maxX() || near(f.maxX(), right, pairEdgeReach);
    const int count = int(atTop) + int(atBottom) + int(atLeft) + int(atRight);

    if (count == 3) {
        // The partner fills the one free side, if there is room worth it.
        if (!atTop)
            return f.minY() - top < pairEdgeReach
                       ? std::nullopt
                       : std::optional(Rect(left, top, area.width(), f.minY() - top));
        if (!atBottom)
            return bottom - f.maxY() < pairEdgeReach
                       ? std::nullopt
                       : std::optional(Rect(left, f.maxY(), area.width(), bottom - f.maxY()));
        if (!atLeft)
            return f.minX() - left < pairEdgeReach
                       ? std::nullopt
                       : std::optional(Rect(left, top, f.minX() - left, area.height()));
        return right - f.maxX() < pairEdgeReach
                   ? std::nullopt
                   : std::optional(Rect(f.maxX(), top, right - f.maxX(), area.height()));
    }
    if (count != 2 || !settings.smartPairMode)
        return std::nullopt;
    // Only a corner gives a partner: beside it on a landscape screen, above
    // or below it on a portrait one.
    if (atTop == atBottom)
        return std::nullopt;
    const bool maximize = settings.sizing == SmartPairModeSizing::maximize;
    if (screenSize.height < screenSize.width) {
        const double x = atLeft ? f.maxX() : left;
        const double width = atLeft ? right - f.maxX() : f.minX() - left;
        if (atTop) {
            const double h = maximize ? bottom : f.maxY();
            return Rect(x, top, width, h - top);
        }
        const double y0 = maximize ? top : f.minY();
        return Rect(x, y0, width, bottom - y0);
    }
    const double y = atTop ? f.maxY() : top;
    const double height = atTop ? bottom - f.maxY() : f.minY() - top;
    if (atLeft) {
        const double w = maximize ? right : f.maxX();
        return Rect(left, y, w - left, height);
    }
    const double x0 = maximize ? left : f.minX();
    return Rect(x0, y, right - x0, height);
}

std::vector<Rect> subtractRect(const std::vector<Rect>& list, const Rect& c)
{
    std::vector<Rect> out;
    for (const Rect& r : list) {
        const bool inside = (r.minX() > c.minX() || near(c.minX(), r.minX(), cutTolerance)) &&
                            (r.minY() > c.minY() || near(c.minY(), r.minY(), cutTolerance)) &&
                            (r.maxX() < c.maxX() || near(c.maxX(), r.maxX(), cutTolerance)) &&
                            (r.maxY() < c.maxY() || near(c.maxY(), r.maxY(), cutTolerance));
        if (inside)
            continue;
        const bool apart = r.maxX() - cutTolerance < c.minX() || c.maxX() < r.minX() + cutTolerance ||
                           r.maxY() - cutTolerance < c.minY() || c.maxY() < r.minY() + cutTolerance;
        if (apart) {
            out.push_back(r);
            continue;
        }
        const double mx = std::max(r.minX(), c.minX());
        const double my = std::max(r.minY(), c.minY());
        const Rect pieces[] = {
            Rect(r.minX(), r.minY(), c.minX() - r.minX(), c.minY() - r.minY()),
            Rect(mx, r.minY(), c.maxX() - mx, c.minY() - r.minY()),
            Rect(c.maxX(), r.minY(), r.maxX() - c.maxX(), c.minY() - r.minY()),
            Rect(r.minX(), my, c.minX() - r.minX(), c.maxY() - my),
            Rect(c.maxX(), my, r.maxX() - c.maxX(), c.maxY() - my),
            Rect(r.minX(), c.maxY(), c.minX() - r.minX(), r.maxY() - c.maxY()),
            Rect(mx, c.maxY(), c.maxX() - mx, r.maxY() - c.maxY()),
            Rect(c.maxX(), c.maxY(), r.maxX() - c.maxX(), r.maxY() - c.maxY()),
        };
        for (const Rect& p : pieces) {
            if (p.width() >= pairEdgeReach && p.height() >= pairEdgeReach)
                out.push_back(p);
        }
    }
    return out;
}

std::vector<Rect> mergeRects(const std::vector<Rect>& list)
{
    if (list.size() < 2)
        return list;
    std::vector<Rect> out;
    Rect a = list.front();
    for (std::size_t i = 1; i < list.size(); ++i) {
        const Rect& r = list[i];
        if (near(a.minX(), r.minX(), pairEdgeReach) && near(a.width(), r.width(), pairEdgeReach)) {
            // One above the other.
            const double y = std::min(a.minY(), r.minY());
            a = Rect(std::max(a.minX(), r.minX()), y, std::min(a.width(), r.width()),
                     std::max(a.maxY(), r.maxY()) - y);
        } else if (near(a.minY(), r.minY(), pairEdgeReach) && near(a.height(), r.height(), pairEdgeReach)) {
            // Side by side.
            const double x = std::min(a.minX(), r.minX());
            a = Rect(x, std::max(a.minY(), r.minY()), std::max(a.maxX(), r.maxX()) - x,
                     std::min(a.height(), r.height()));
        } else {
            out.push_back(r);
        }
    }
    out.push_back(a);
    return out;
}

std::optional<Rect> partnerFrame(const Screen& screen, double primaryMaxY, const Rect& first,
                                 const PairSettings& settings)
{
    return partnerFrame(toWindowSpace(screen.visibleFrame, primaryMaxY), screen.frame.size, first, settings);
}

PairSettings pairSettings(const DefaultsStore& store)
{
    PairSettings s;
    s.smartPairMode =
        !store.contains(settings_keys::smartPairMode) || store.boolValue(settings_keys::smartPairMode);
    if (std::optional<std::string> raw = store.stringValue(settings_keys::smartPairModeSizing))
        s.sizing = smartPairModeSizingFromRaw(*raw).value_or(SmartPairModeSizing::maximize);
    return s;
}

} // namespace tilewise
