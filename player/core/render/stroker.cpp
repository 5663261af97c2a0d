#include "player/core/render/stroker.h"

#include <algorithm>
#include <cmath>

namespace render {

namespace {

const double kPi = 3.14159265358979323846;

// Turns at least this straight (cosine; about 14 degrees, a flattened curve) join by their
// miter point whatever the style: it differs from any join by far less than a pixel.
const double kGentle = 0.97;

// Chords a whole circle of radius r is drawn with.
int CircleSteps(double r) {
    return r < 35 ? static_cast<int>(r * 2.5) + 8 : 96;
}

// Points of an arc about c from c + v, turning by `angle` (radians), the end left out: the
// caller adds it. As many chords as a whole circle's share of the turn.
void Arc(Point c, Point v, double angle, double r, std::vector<Point>* pts) {
    const int steps =
        std::max(1, static_cast<int>(std::ceil(std::fabs(angle) / (2 * kPi) * CircleSteps(r))));
    for (int j = 1; j < steps; ++j) {
        const double a = angle * j / steps, cs = std::cos(a), sn = std::sin(a);
        pts->push_back(Point{c.x + v.x * cs - v.y * sn, c.y + v.x * sn + v.y * cs});
    }
}

// A dot, wound as the outlines below are (clockwise with y up), so that where it meets
// another run of its style the two add.
void Dot(Point c, const StrokeStyle& s, Outline* out) {
    const double hw = s.halfWidth;
    if (s.startCap == swf::Cap::Square) {
        out->Move(Point{c.x - hw, c.y - hw});
        out->Line(Point{c.x - hw, c.y + hw});
        out->Line(Point{c.x + hw, c.y + hw});
        out->Line(Point{c.x + hw, c.y - hw});
    } else if (s.startCap == swf::Cap::Round) {
        const int n = CircleSteps(hw);
        out->Move(Point{c.x + hw, c.y});
        for (int i = 1; i < n; ++i) {
            const double a = -2 * kPi * i / n;
            out->Line(Point{c.x + hw * std::cos(a), c.y + hw * std::sin(a)});
        }
    }
}

// One side of a run: the segments' edges offset by `sign` times the normal, joined. Each
// segment with its joins is a piece wound the same way, and the outline is their sum: where
// the offsets part (the outer side of a turn) the join's own edge goes between them; where
// they cross (the inner side), their crossing point when it lies within both segments'
// halves, else the way through the vertex, which adds a loop inside the pieces and changes
// nothing a non-zero fill draws. Stops once the side holds `room` points (give or take a
// join's): the outline keeps no more than that.
void Side(const std::vector<Point>& pts, const std::vector<Point>& dirs,
          const std::vector<double>& lens, bool closed, double sign, const StrokeStyle& s,
          size_t room, std::vector<Point>* side) {
    const double hw = s.halfWidth;
    const size_t n = pts.size();
    const size_t segments = dirs.size();
    auto offset = [&](Point p, Point d) {
        return Point{p.x - d.y * hw * sign, p.y + d.x * hw * sign};
    };
    // The vertex between segments `in` and `out`.
    auto join = [&](Point p, size_t in, size_t out) {
        const Point d0 = dirs[in], d1 = dirs[out];
        const double dot = d0.x * d1.x + d0.y * d1.y;
        const double cross = d0.x * d1.y - d0.y * d1.x;
        const Point o0 = offset(p, d0), o1 = offset(p, d1);
        // The outer side of a turn to the right (cross < 0) is the left (+1); a full
        // reversal turns by the left too.
        const bool outer = (cross > 0 ? -1.0 : 1.0) == sign;
        const Point tip{o0.x + o1.x - p.x, o0.y + o1.y - p.y}; // p + both offsets
        if (dot > -1 + 1e-9) {
            // Where the two offset lines cross: p + (offset0 + offset1) / (1 + cos).
            const Point cut{p.x + (tip.x - p.x) / (1 + dot), p.y + (tip.y - p.y) / (1 + dot)};
            if (outer) {
                const bool miter =
                    s.join == swf::Join::Miter && 1 / std::sqrt((1 + dot) / 2) <= s.miterLimit;
                if (dot > kGentle || miter) {
                    side->push_back(cut);
                    return;
                }
            } else if (hw * std::fabs(cross) / (1 + dot) <= 0.5 * std::min(lens[in], lens[out])) {
                side->push_back(cut);
                return;
            }
        }
        side->push_back(o0);
        if (!outer) {
            side->push_back(p);
        } else if (s.join == swf::Join::Round) {
            const double turn = std::atan2(std::fabs(cross), dot);
            Arc(p, Point{o0.x - p.x, o0.y - p.y}, sign > 0 ? -turn : turn, hw, side);
        }
        side->push_back(o1);
    };
    if (closed) {
        join(pts[0], segments - 1, 0);
    } else {
        Point start = pts[0];
        if (s.startCap == swf::Cap::Square) {
            start = Point{start.x - dirs[0].x * hw, start.y - dirs[0].y * hw};
        }
        side->push_back(offset(start, dirs[0]));
    }
    for (size_t i = 1; i + 1 < n && side->size() < room; ++i) {
        join(pts[i], i - 1, i);
    }
    if (!closed) {
        Point end = pts[n - 1];
        if (s.endCap == swf::Cap::Square) {
            end = Point{end.x + dirs[n - 2].x * hw, end.y + dirs[n - 2].y * hw};
        }
        side->push_back(offset(end, dirs[n - 2]));
    }
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
    if (closed && pts.size() > 1 && std::fabs(pts[0].x - pts.back().x) <= 1e-6 &&
        std::fabs(pts[0].y - pts.back().y) <= 1e-6) {
        pts.pop_back(); // the closing segment is implied
    }
    if (pts.size() == 1) {
        Dot(pts[0], s, out);
        return;
    }
    if (pts.empty()) {
        return;
    }
    const size_t n = pts.size();
    const size_t segments = closed ? n : n - 1;
    std::vector<Point> dirs(segments);
    std::vector<double> lens(segments);
    for (size_t i = 0; i < segments; ++i) {
        const Point a = pts[i], b = pts[(i + 1) % n];
        const double dx = b.x - a.x, dy = b.y - a.y;
        lens[i] = std::sqrt(dx * dx + dy * dy);
        dirs[i] = {dx / lens[i], dy / lens[i]};
    }
    // A closed run repeats its first point last, so that every segment ends at a vertex.
    if (closed) {
        pts.push_back(pts[0]);
    }
    const double hw = s.halfWidth;
    std::vector<Point> left, right;
    left.reserve(n + 8);
    right.reserve(n + 8);
    // Each side is held to the outline's room: a run of sharp round turns makes far more
    // points than it was given.
    const size_t room = out->room > out->points.size() ? out->room - out->points.size() : 0;
    Side(pts, dirs, lens, closed, 1, s, room, &left);
    Side(pts, dirs, lens, closed, -1, s, room, &right);
    if (closed) {
        // Two loops: the left side forward, the right side backward.
        out->Move(left[0]);
        for (size_t i = 1; i < left.size(); ++i) {
            out->Line(left[i]);
        }
        out->Move(right.back());
        for (size_t i = right.size() - 1; i-- > 0;) {
            out->Line(right[i]);
        }
        return;
    }
    // One loop: the left side, the end cap, the right side backward, the start cap.
    out->Move(left[0]);
    for (size_t i = 1; i < left.size(); ++i) {
        out->Line(left[i]);
    }
    std::vector<Point> cap;
    if (s.endCap == swf::Cap::Round) {
        const Point e = pts[n - 1];
        Arc(e, Point{left.back().x - e.x, left.back().y - e.y}, -kPi, hw, &cap);
        for (const Point& p : cap) {
            out->Line(p);
        }
    }
    for (size_t i = right.size(); i-- > 0;) {
        out->Line(right[i]);
    }
    if (s.startCap == swf::Cap::Round) {
        cap.clear();
        const Point b = pts[0];
        Arc(b, Point{right[0].x - b.x, right[0].y - b.y}, -kPi, hw, &cap);
        for (const Point& p : cap) {
            out->Line(p);
        }
    }
}

} // namespace render
