// The engine's one geometry: points, outline pieces (straight or quadratic), affine maps,
// boxes, and the point tests shapes answer. Everything above (records, timeline bounds,
// the renderer, the script bridge) uses these types rather than its own.
#pragma once

#include <cstdint>

namespace swf {

struct Matrix;
struct Rect;
struct Shape;

struct Point {
    double x = 0, y = 0;
};

// One piece of an outline in twips (or a glyph's units); a straight piece keeps its
// control point on its midpoint.
struct Curve {
    int32_t x0 = 0, y0 = 0, cx = 0, cy = 0, x1 = 0, y1 = 0;
    bool curved = false;
};

// An affine map: x' = a*x + c*y + tx, y' = b*x + d*y + ty.
struct Affine {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
    static Affine From(const Matrix& m);
    Affine operator*(const Affine& inner) const; // this after inner
    bool Invert(Affine* out) const;
    void Apply(double x, double y, double* ox, double* oy) const {
        *ox = a * x + c * y + tx;
        *oy = b * x + d * y + ty;
    }
    Point Apply(Point p) const { return Point{a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
    double Scale() const; // the geometric mean of the axis scales
    // This map as `place` after `shape`, where `shape` has no turn and no translation and its
    // entries are rounded to a thousandth of its size: maps that differ by a turn alone (or
    // by the wobble of their 16.16 entries) share one `shape`, and `place` turns it back
    // exactly. A map with no turn, or too thin to part, is its own `shape`.
    void SplitTurn(Affine* shape, Affine* place) const;
};

// A box in doubles; empty until something is added.
struct Box {
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    bool empty = true;
    void Add(double x, double y);
    void Add(const Box& other);
    // The rectangle's four corners as `m` maps them.
    void AddRect(const Rect& r, const Affine& m);
    bool Contains(double x, double y) const {
        return !empty && x >= xMin && x <= xMax && y >= yMin && y <= yMax;
    }
};

// Calls segment(x0, y0, x1, y1) for the straight pieces of a curve (16 for a curve).
template <typename F> void ForEachSegment(const Curve& e, F segment) {
    const int n = e.curved ? 16 : 1;
    double px = e.x0, py = e.y0;
    for (int i = 1; i <= n; ++i) {
        const double t = double(i) / n, s = 1 - t;
        const double x = e.curved ? s * s * e.x0 + 2 * s * t * e.cx + t * t * e.x1 : e.x1;
        const double y = e.curved ? s * s * e.y0 + 2 * s * t * e.cy + t * t * e.y1 : e.y1;
        segment(px, py, x, y);
        px = x;
        py = y;
    }
}

// Whether a point (the shape's twips) lies in one of its fills or on one of its lines (a
// hairline counts as one pixel wide): what a shape hit test asks.
bool ShapeContains(const Shape& shape, double x, double y);

} // namespace swf
