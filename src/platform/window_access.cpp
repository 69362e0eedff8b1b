#include "platform/window_access.hpp"

#include <cmath>

namespace tilewise {

Rect WindowAccess::frame(const WindowElement& w)
{
    Point p = position(w);
    Size s = size(w);
    return Rect(p, s);
}

void WindowAccess::setPosition(const WindowElement& w, Point p)
{
    writePosition(w, Point{std::floor(p.x), std::floor(p.y)});
}

void WindowAccess::setSize(const WindowElement& w, Size s)
{
    writeSize(w, Size{std::floor(s.width), std::floor(s.height)});
}

void WindowAccess::setFrame(const WindowElement& w, const Rect& r)
{
    writeFrame(w, Rect(std::floor(r.x()), std::floor(r.y()), std::floor(r.width()), std::floor(r.height())));
}

std::optional<WindowId> WindowAccess::windowId(const WindowElement& w)
{
    std::optional<Pid> pid = processId(w);
    if (!pid)
        return std::nullopt;
    Rect f = frame(w);
    for (const WindowInfo& info : windowList()) {
        if (info.pid == *pid && info.frame == f)
            return info.id;
    }
    return std::nullopt;
}

double WindowAccess::primaryScreenMaxY()
{
    std::vector<Screen> all = screens();
    if (all.empty())
        return 0;
    const Screen* primary = &all.front();
    for (const Screen& s : all) {
        if (s.frame.origin == Point{0, 0}) {
            primary = &s;
            break;
        }
    }
    return primary->frame.y() + primary->frame.height();
}

std::optional<Screen> WindowAccess::screenUnderMouse()
{
    Point m = mouseLocation();
    for (const Screen& s : screens()) {
        const Rect& f = s.frame;
        if (m.x >= f.minX() && m.x <= f.maxX() && m.y >= f.minY() && m.y <= f.maxY())
            return s;
    }
    return std::nullopt;
}

} // namespace tilewise
