// Geometry in points, double precision, shared by every subsystem.
#pragma once

#include <cmath>
#include <ostream>
#include <string>

namespace tilewise {

struct Point {
    double x = 0;
    double y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    double width = 0;
    double height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    Point origin;
    Size size;

    Rect() = default;
    Rect(Point o, Size s) : origin(o), size(s) {}
    Rect(double x, double y, double w, double h) : origin{x, y}, size{w, h} {}

    double x() const { return origin.x; }
    double y() const { return origin.y; }
    double width() const { return size.width; }
    double height() const { return size.height; }
    double minX() const { return origin.x; }
    double minY() const { return origin.y; }
    double maxX() const { return origin.x + size.width; }
    double maxY() const { return origin.y + size.height; }

    bool isFinite() const
    {
        return std::isfinite(origin.x) && std::isfinite(origin.y) && std::isfinite(size.width) &&
               std::isfinite(size.height);
    }

    friend bool operator==(const Rect&, const Rect&) = default;
};

// "(0.0, 25.0, 720.0, 875.0)": the form of every rectangle in diagnostic lines.
std::string describe(const Rect& r);
// A number in its default decimal form: 720.0, 437.5, 291.6666666666667.
std::string describeNumber(double v);

std::ostream& operator<<(std::ostream& os, const Point& p);
std::ostream& operator<<(std::ostream& os, const Size& s);
std::ostream& operator<<(std::ostream& os, const Rect& r);

} // namespace tilewise
