#include "player/core/render/stroker.h"

#include <algorithm>
#include <cmath>

namespace render {

namespace {

const double kPi = 3.14159265358979323846;

// Emits a polygon wound counter-clockwise in device space, whatever its given order.
void Emit(std::vector<double>* xy, Outline* out) {
    const int n = static_cast<int>(xy->size() / 2);
    double area = 0;
    for (int i = 0; i < n; ++i) {
        const int j = (i + 1) % n;
        area += (*xy)[i * 2] * (*xy)[j * 2 + 1] - (*xy)[j * 2] * (*xy)[i * 2 + 1];
    }
    if (area < 0) {
        for (int i = 0, j = n - 1; i < j; ++i, --j) {
            std::swap((*xy)[i * 2], (*xy)[j * 2]);
            std::swap((*xy)[i * 2 + 1], (*xy)[j * 2 + 1]);
        }
    }
    if (n >= 3) {
        out->Move(Point{(*xy)[0], (*xy)[1]});
        for (int i = 1; i < n; ++i) {
            out->Line(Point{(*xy)[i * 2], (*xy)[i * 2 + 1]});
        }
    }
    xy->clear();
}

void Disc(Point c, double r, Outline* out, std::vector<double>* xy) {
    const int n = r < 35 ? static_cast<int>(r * 2.5) + 8 : 96;
    for (int i = 0; i < n; ++i) {
        const double a = 2 * kPi * i / n;
        xy->push_back(c.x + r * std::cos(a));
        xy->push_back(c.y + r * std::sin(a));
    }
    Emit(xy, out);
}

void Join(Point p, Point d0, Point d1, const StrokeStyle& s, Outline* out,
          std::vector<double>* xy) {
    const double hw = s.halfWidth;
    // Nearly straight on (a flattened curve): a bevel differs from any join by far less
    // than a pixel and costs three edges instead of a disc.
    const bool gentle = d0.x * d1.x + d0.y * d1.y > 0.97;
    if (s.join == swf::Join::Round && !gentle) {
        Disc(p, hw, out, xy);
        return;
    }
    // Normals of the incoming and outgoing segments; the outer side is where they part.
    const Point n0{-d0.y * hw, d0.x * hw}, n1{-d1.y * hw, d1.x * hw};
    const double cross = d0.x * d1.y - d0.y * d1.x;
    const double side = cross > 0 ? -1 : 1;
    const Point a{p.x + n0.x * side, p.y + n0.y * side};
    const Point b{p.x + n1.x * side, p.y + n1.y * side};
    if (s.join == swf::Join::Miter && !gentle) {
        const double cosHalf = std::sqrt(std::max(0.0, (1 + d0.x * d1.x + d0.y * d1.y) / 2));
        if (cosHalf > 1e-6 && 1 / cosHalf <= s.miterLimit) {
            const Point m{(n0.x + n1.x) * side, (n0.y + n1.y) * side};
            const double len = std::sqrt(m.x * m.x + m.y * m.y);
            if (len > 1e-9) {
                const double reach = hw / cosHalf;
                *xy = {p.x, p.y, a.x, a.y, p.x + m.x / len * reach, p.y + m.y / len * reach,
                       b.x, b.y};
                Emit(xy, out);
                return;
            }
        }
    }
    *xy = {p.x, p.y, a.x, a.y, b.x, b.y};
    Emit(xy, out);
}

} // namespace

void StrokePolyline(const std::vector<Point>& in, bool closed, const StrokeStyle& s, Outline* out) {
    // Drop repeated points; a dot still gets its caps.
    std::vector<Point> pts;
    pts.reserve(in.size());
    for (const Point& p : in) {
        if (pts.empty() || std::fabs(p.x - pts.back().x) > 1e-6 ||
            std::fabs(p.y - pts.back().y) > 1e-6) {
            pts.push_back(p);
        }
    }
    std::vector<double> xy;
    const double hw = s.halfWidth;
    if (pts.size() == 1) {
        if (s.startCap == swf::Cap::Round) {
            Disc(pts[0], hw, out, &xy);
        } else if (s.startCap == swf::Cap::Square) {
            xy = {pts[0].x - hw, pts[0].y - hw, pts[0].x + hw, pts[0].y - hw,
                  pts[0].x + hw, pts[0].y + hw, pts[0].x - hw, pts[0].y + hw};
            Emit(&xy, out);
        }
        return;
    }
    const size_t n = pts.size();
    std::vector<Point> dirs(n - 1);
    for (size_t i = 0; i + 1 < n; ++i) {
        const double dx = pts[i + 1].x - pts[i].x, dy = pts[i + 1].y - pts[i].y;
        const double len = std::sqrt(dx * dx + dy * dy);
        dirs[i] = {dx / len, dy / len};
    }
    for (size_t i = 0; i + 1 < n; ++i) {
        Point a = pts[i], b = pts[i + 1];
        const Point d = dirs[i];
        if (!closed && i == 0 && s.startCap == swf::Cap::Square) {
            a = {a.x - d.x * hw, a.y - d.y * hw};
        }
        if (!closed && i + 2 == n && s.endCap == swf::Cap::Square) {
            b = {b.x + d.x * hw, b.y + d.y * hw};
        }
        const double nx = -d.y * hw, ny = d.x * hw;
        xy = {a.x + nx, a.y + ny, b.x + nx, b.y + ny, b.x - nx, b.y - ny, a.x - nx, a.y - ny};
        Emit(&xy, out);
    }
    for (size_t i = 1; i + 1 < n; ++i) {
        Join(pts[i], dirs[i - 1], dirs[i], s, out, &xy);
    }
    if (closed) {
        Join(pts[0], dirs[n - 2], dirs[0], s, out, &xy);
        return;
    }
    if (s.startCap == swf::Cap::Round) {
        Disc(pts[0], hw, out, &xy);
    }
    if (s.endCap == swf::Cap::Round) {
        Disc(pts[n - 1], hw, out, &xy);
    }
}

} // namespace render
