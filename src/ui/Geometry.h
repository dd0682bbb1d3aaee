#pragma once
// Points and rectangles of the user interface, in pixels of the window they belong to.
#include <algorithm>
#include <cstdlib>

namespace velkor::ui {

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

struct Size {
    int width = 0;
    int height = 0;
    bool operator==(const Size&) const = default;
};

// Covers the pixels [x, x + width) × [y, y + height).
struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool operator==(const Rect&) const = default;

    bool IsEmpty() const { return width <= 0 || height <= 0; }
    int Right() const { return x + width; }
    int Bottom() const { return y + height; }
    bool Contains(Point p) const { return p.x >= x && p.x < Right() && p.y >= y && p.y < Bottom(); }
    // True when the two rectangles share at least one pixel.
    bool Intersects(const Rect& other) const {
        return !IsEmpty() && !other.IsEmpty() && x < other.Right() && other.x < Right() &&
               y < other.Bottom() && other.y < Bottom();
    }
    Rect Translated(int dx, int dy) const { return Rect{x + dx, y + dy, width, height}; }

    // The rectangle a drag from `a` to `b` sweeps, both corner pixels included, so
    // that a press and release on the same pixel still covers that pixel.
    static Rect FromCorners(Point a, Point b) {
        return Rect{std::min(a.x, b.x), std::min(a.y, b.y), std::abs(a.x - b.x) + 1, std::abs(a.y - b.y) + 1};
    }
};

} // namespace velkor::ui
