#include "platform/geometry.hpp"

#include <cstdio>
#include <sstream>

namespace tilewise {

std::string describeNumber(double v)
{
    if (std::isfinite(v) && v == std::floor(v) && std::fabs(v) < 1e15) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.1f", v);
        return buf;
    }
    // Shortest text that reads back as the same double.
    char buf[32];
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(buf, sizeof buf, "%.*g", precision, v);
        if (std::strtod(buf, nullptr) == v)
            break;
    }
    return buf;
}

std::string describe(const Rect& r)
{
    // Appended piece by piece: GCC 12 at -O2 and above reports a false
    // -Wrestrict on "(" + std::string&&.
    std::string text = "(";
    for (double v : {r.x(), r.y(), r.width(), r.height()}) {
        if (text.size() > 1)
            text += ", ";
        text += describeNumber(v);
    }
    text += ')';
    return text;
}

std::ostream& operator<<(std::ostream& os, const Point& p)
{
    return os << "(" << describeNumber(p.x) << ", " << describeNumber(p.y) << ")";
}

std::ostream& operator<<(std::ostream& os, const Size& s)
{
    return os << "(" << describeNumber(s.width) << ", " << describeNumber(s.height) << ")";
}

std::ostream& operator<<(std::ostream& os, const Rect& r)
{
    return os << describe(r);
}

} // namespace tilewise
