#include "player/core/swf/geometry.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "player/core/swf/records.h"

namespace swf {

namespace {

double DistanceSquared(double x, double y, double x0, double y0, double x1, double y1) {
    const double dx = x1 - x0, dy = y1 - y0, len = dx * dx + dy * dy;
    const double t =
        len > 0 ? std::max(0.0, std::min(1.0, ((x - x0) * dx + (y - y0) * dy) / len)) : 0;
    const double ex = x0 + t * dx - x, ey = y0 + t * dy - y;
    return ex * ex + ey * ey;
}

} // namespace

Affine Affine::From(const Matrix& m) {
    Affine t;
    t.a = m.scaleX / 65536.0;
    t.b = m.rotateSkew0 / 65536.0;
    t.c = m.rotateSkew1 / 65536.0;
    t.d = m.scaleY / 65536.0;
    t.tx = m.translateX;
    t.ty = m.translateY;
    return t;
}

Affine Affine::operator*(const Affine& i) const {
    Affine t;
    t.a = a * i.a + c * i.b;
    t.b = b * i.a + d * i.b;
    t.c = a * i.c + c * i.d;
    t.d = b * i.c + d * i.d;
    t.tx = a * i.tx + c * i.ty + tx;
    t.ty = b * i.tx + d * i.ty + ty;
    return t;
}

bool Affine::Invert(Affine* out) const {
    const double det = a * d - b * c;
    if (!std::isfinite(det) || std::fabs(det) < 1e-12) {
        return false;
    }
    Affine t;
    t.a = d / det;
    t.b = -b / det;
    t.c = -c / det;
    t.d = a / det;
    t.tx = -(t.a * tx + t.c * ty);
    t.ty = -(t.b * tx + t.d * ty);
    *out = t;
    return true;
}

void Affine::SplitTurn(Affine* shape, Affine* place) const {
    *shape = Affine{a, b, c, d, 0, 0};
    *place = Affine{1, 0, 0, 1, tx, ty};
    const double r = std::sqrt(a * a + b * b);
    if ((b == 0 && c == 0) || !(r > 1e-9 && r < 1e9)) {
        return;
    }
    // Turned back by the first axis's angle the map is upper triangular: a, c and d below.
    const double unit = std::ldexp(1.0, std::ilogb(r) - 10);
    const auto rounded = [unit](double v) { return unit * std::floor(v / unit + 0.5); };
    const Affine own{rounded(r), 0, rounded((a * c + b * d) / r), rounded((a * d - b * c) / r),
                     0,          0};
    Affine back;
    if (own.d == 0 || !std::isfinite(own.c) || !own.Invert(&back)) {
        return; // thinner than the rounding: built as it stands
    }
    *shape = own;
    *place = Affine{a, b, c, d, 0, 0} * back;
    place->tx = tx;
    place->ty = ty;
}

double Affine::Scale() const {
    return std::sqrt(std::fabs(a * d - b * c));
}

void Box::Add(double x, double y) {
    if (empty) {
        xMin = xMax = x;
        yMin = yMax = y;
        empty = false;
        return;
    }
    xMin = std::min(xMin, x);
    yMin = std::min(yMin, y);
    xMax = std::max(xMax, x);
    yMax = std::max(yMax, y);
}

void Box::Add(const Box& o) {
    if (!o.empty) {
        Add(o.xMin, o.yMin);
        Add(o.xMax, o.yMax);
    }
}

void Box::AddRect(const Rect& r, const Affine& m) {
    const double xs[2] = {double(r.xMin), double(r.xMax)}, ys[2] = {double(r.yMin), double(r.yMax)};
    for (int i = 0; i < 4; ++i) {
        double x, y;
        m.Apply(xs[i & 1], ys[i >> 1], &x, &y);
        Add(x, y);
    }
}

bool ShapeContains(const Shape& shape, double x, double y) {
    for (const StyleGroup& g : shape.groups) {
        // A style's region is bounded by the edges with that style on either side: count
        // their crossings (even-odd); an edge with the style on both sides crosses twice.
        std::vector<uint8_t> inside(g.fills.size() + 1, 0);
        for (const Edge& e : g.edges) {
            bool hit = false;
            ForEachSegment(e, [&](double x0, double y0, double x1, double y1) {
                if ((e.fill0 != 0 || e.fill1 != 0) && (y0 > y) != (y1 > y) &&
                    x < x0 + (y - y0) * (x1 - x0) / (y1 - y0)) {
                    if (e.fill0 < inside.size()) {
                        inside[e.fill0] ^= 1;
                    }
                    if (e.fill1 < inside.size()) {
                        inside[e.fill1] ^= 1;
                    }
                }
                if (e.line != 0 && e.line <= g.lines.size()) {
                    const double half = std::max(10.0, g.lines[e.line - 1].width / 2.0);
                    hit = hit || DistanceSquared(x, y, x0, y0, x1, y1) <= half * half;
                }
            });
            if (hit) {
                return true;
            }
        }
        for (size_t s = 1; s < inside.size(); ++s) {
            if (inside[s] != 0) {
                return true;
            }
        }
    }
    return false;
}

} // namespace swf
