#include "layout/layout_geometry.hpp"

#include <algorithm>
#include <cmath>

namespace tilewise {

namespace {

using enum OperationType;

bool near(double a, double b)
{
    return std::fabs(a - b) < layoutTolerance;
}

// The learned minimum in the operation's dimension.
std::optional<double> learnedMinimumFor(OperationType op, const std::optional<Size>& learned)
{
    if (!learned)
        return std::nullopt;
    return isHorizontalClip(op) ? learned->width : learned->height;
}

// A clip the cycle moves on to must not undercut what the window insists on.
double clamped(double value, std::optional<double> minimum)
{
    if (minimum && value <= *minimum)
        return *minimum;
    return value;
}

bool touchesEdge(OperationType op, double current, double coordinate, const Rect& area)
{
    switch (op) {
    case Up:
        // One-sided: a window reaching above the visible top is at it too.
        return coordinate <= area.minY() + layoutTolerance;
    case Down:
        return near(current + coordinate, area.maxY());
    case Left:
        return coordinate <= area.minX() + layoutTolerance;
    case Right:
        return near(current + coordinate, area.maxX());
    default:
        return false;
    }
}

struct Span {
    double start;
    double length;
};

Span acceptedSpan(Span fraction, double low, double high, bool onFarEdge, std::optional<double> minimum,
                  std::optional<double> maximum)
{
    double length = fraction.length;
    // A maximum below one point is no limit anyone could mean.
    if (maximum && *maximum >= 1 && length > *maximum)
        length = *maximum;
    if (minimum && length < *minimum)
        length = *minimum;
    if (length == fraction.length)
        return fraction;
    double start = onFarEdge ? high - length : fraction.start;
    start = std::max(std::min(start, high - length), low);
    return {start, length};
}

} // namespace

bool isClipCycling(OperationType op)
{
    return op == Up || op == Down || op == Left || op == Right;
}

bool isHorizontalClip(OperationType op)
{
    return op == Left || op == Right;
}

bool isUsableArea(const Rect& area)
{
    return area.isFinite() && area.width() > 0 && area.height() > 0;
}

bool isWritableFrame(const Rect& frame)
{
    return frame.isFinite() && std::floor(frame.width()) >= 1 && std::floor(frame.height()) >= 1;
}

Rect fractionFrame(const FixedClipValue& fraction, const Rect& area)
{
    return Rect(area.x() + area.width() * fraction.position.x, area.y() + area.height() * fraction.position.y,
                area.width() * fraction.size.width, area.height() * fraction.size.height);
}

bool holdsFarEdge(double position, double length)
{
    return position > 1e-9 && position + length >= 1 - 1e-9;
}

Rect acceptedFractionFrame(const FixedClipValue& fraction, const Rect& area,
                           const std::optional<Size>& minimum, const std::optional<Size>& maximum)
{
    const Rect frame = fractionFrame(fraction, area);
    auto component = [](const std::optional<Size>& s, bool width) -> std::optional<double> {
        if (!s)
            return std::nullopt;
        return width ? s->width : s->height;
    };
    const Span x = acceptedSpan({frame.x(), frame.width()}, area.minX(), area.maxX(),
                                holdsFarEdge(fraction.position.x, fraction.size.width),
                                component(minimum, true), component(maximum, true));
    const Span y = acceptedSpan({frame.y(), frame.height()}, area.minY(), area.maxY(),
                                holdsFarEdge(fraction.position.y, fraction.size.height),
                                component(minimum, false), component(maximum, false));
    return Rect(x.start, y.start, x.length, y.length);
}

std::vector<double> clipLengths(const std::vector<Clip>& clips, double extent)
{
    std::vector<double> lengths;
    for (const Clip& clip : clips) {
        if (clip.denominator == 0)
            continue;
        // A stored clip above 1 counts as 1: no layout is larger than the
        // visible frame.
        const double length = std::min(clip.value(), 1.0) * extent;
        if (!std::isfinite(length) || length <= 0)
            continue;
        lengths.push_back(length);
    }
    return lengths;
}

double nextClipSize(OperationType op, const std::vector<double>& lengths, const Rect& area, double current,
                    double coordinate, const std::optional<Size>& learnedMinimum)
{
    if (lengths.empty())
        return current;
    const std::size_t n = lengths.size();
    const double first = lengths.front();
    const std::optional<double> minimum = learnedMinimumFor(op, learnedMinimum);

    // Away from the edge the cycle starts over; so does a window that has
    // shrunk as far as it will go.
    if (!touchesEdge(op, current, coordinate, area))
        return first;
    if (minimum && near(current, *minimum))
        return first;

    if (near(current, first))
        return clamped(lengths[1 % n], minimum);

    std::optional<std::size_t> candidate;
    if (first < current) {
        candidate = 0;
    } else {
        for (std::size_t k = 1; k < n; ++k) {
            if (near(current, lengths[k]))
                return clamped(lengths[(k + 1) % n], minimum);
            if (lengths[k] < current) {
                candidate = k;
                break;
            }
        }
    }
    if (!candidate)
        return first;

    const double length = lengths[*candidate];
    if (minimum && length < *minimum)
        return std::max(first, *minimum);
    return length;
}

double anchoredPosition(OperationType op, double length, const Rect& area)
{
    switch (op) {
    case Up:
        return area.minY();
    case Down:
        return area.maxY() - length;
    case Left:
        return area.minX();
    case Right:
        return area.maxX() - length;
    default:
        return 0;
    }
}

Rect clipTarget(OperationType op, const std::vector<double>& lengths, const Rect& area, const Rect& current,
                const std::optional<Size>& learnedMinimum)
{
    if (isHorizontalClip(op)) {
        const double width = nextClipSize(op, lengths, area, current.width(), current.x(), learnedMinimum);
        return Rect(anchoredPosition(op, width, area), current.y(), width, current.height());
    }
    const double height = nextClipSize(op, lengths, area, current.height(), current.y(), learnedMinimum);
    return Rect(current.x(), anchoredPosition(op, height, area), current.width(), height);
}

double movedCoordinate(OperationType move, double c, double length, double step, const Rect& area)
{
    // A window stepping toward an edge first stops flush with it, then goes
    // on until only the margin shows; stepping back from there lands it
    // flush again. Upward the visible top is the limit.
    switch (move) {
    case MoveUpward: {
        const double top = area.minY(), bottom = area.maxY();
        double n = c - step;
        if (near(bottom - visibleMargin, c))
            n += visibleMargin;
        if (near(n, top))
            n = top;
        if (n <= top)
            n = top;
        return n;
    }
    case MoveDownward: {
        const double bottom = area.maxY();
        double n = c + step;
        const double aligned = bottom - length;
        if (near(length + n, bottom))
            n = aligned;
        if (n - aligned > layoutTolerance && c - aligned < -layoutTolerance)
            n = aligned;
        if (n >= bottom - visibleMargin)
            n = bottom - visibleMargin;
        return n;
    }
    case MoveLeftward: {
        const double left = area.minX(), right = area.maxX();
        double n = c - step;
        if (near(right - visibleMargin, c))
            n += visibleMargin;
        if (near(n, left))
            n = left;
        if (n - left < -layoutTolerance && c - left > layoutTolerance)
            n = left;
        if (n <= left + visibleMargin - length)
            n = left + visibleMargin - length;
        return n;
    }
    case MoveRightward: {
        const double left = area.minX(), right = area.maxX();
        double n = c + step;
        if (near(length + c, left + visibleMargin))
            n -= visibleMargin;
        const double aligned = right - length;
        if (near(length + n, right))
            n = aligned;
        if (n - aligned > layoutTolerance && c - aligned < -layoutTolerance)
            n = aligned;
        if (n >= right - visibleMargin)
            n = right - visibleMargin;
        return n;
    }
    default:
        return c;
    }
}

Point cornerPosition(OperationType corner, Size size, const Rect& area)
{
    switch (corner) {
    case MoveTopRightCorner:
        return {area.maxX() - size.width, area.minY()};
    case MoveBottomLeftCorner:
        return {area.minX(), area.maxY() - size.height};
    case MoveBottomRightCorner:
        return {area.maxX() - size.width, area.maxY() - size.height};
    default:
        return {area.minX(), area.minY()};
    }
}

Point centeredPosition(bool exact, Size size, const Rect& area)
{
    const double x = area.minX() + area.width() * 0.5 - size.width * 0.5;
    const double y = area.minY() + (area.height() - size.height) * (exact ? 0.5 : 0.25);
    return {x, y};
}

std::optional<Rect> frameOnScreen(const Rect& frame, const Rect& source, const Rect& target)
{
    if (!isUsableArea(source) || !isUsableArea(target))
        return std::nullopt;
    return Rect(target.x() + target.width() * (frame.x() - source.x()) / source.width(),
                target.y() + target.height() * (frame.y() - source.y()) / source.height(),
                target.width() * (frame.width() / source.width()),
                target.height() * (frame.height() / source.height()));
}

} // namespace tilewise
