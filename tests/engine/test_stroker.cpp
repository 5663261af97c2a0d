// Lines as outlines: what a stroke covers is held against the region it stands for, found
// point by point (a strip along every segment, a disc, wedge or miter at every join, the
// caps), sampled 8 x 8 times a pixel. Every line style's corner is covered: caps, joins,
// the miter limit either side of it, reversals, closed runs, repeated points, dots,
// hairlines and strokes far wider than their segments, runs of one style that cross. A
// translucent line is as dark where it crosses itself as anywhere along it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "player/core/render/stroker.h"

namespace {

using namespace render;
using swf::Cap;
using swf::Join;

const int kSize = 64;

struct StrokeCase {
    const char* name;
    std::vector<std::vector<Point>> runs;
    bool closed;
    double halfWidth;
    Cap start, end;
    Join join;
    double miterLimit = 3;
    // The line runs back over itself near an edge: the layers' shares of an edge pixel add
    // there (a pixel's cells are summed before the fill rule), so such a pixel is only
    // held to show at least its share.
    bool folds = false;
};
void PrintTo(const StrokeCase& c, std::ostream* os) {
    *os << c.name;
}

double Cross(Point o, Point a, Point b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

// Inside a convex polygon, either winding.
bool InConvex(const std::vector<Point>& poly, Point p) {
    bool neg = false, pos = false;
    for (size_t i = 0; i < poly.size(); ++i) {
        const double c = Cross(poly[i], poly[(i + 1) % poly.size()], p);
        neg = neg || c < -1e-12;
        pos = pos || c > 1e-12;
    }
    return !(neg && pos);
}

// The region a line stands for, one point at a time.
bool InStroke(const StrokeCase& c, Point q) {
    const double hw = c.halfWidth;
    for (std::vector<Point> pts : c.runs) {
        std::vector<Point> unique;
        for (const Point& p : pts) {
            if (unique.empty() || p.x != unique.back().x || p.y != unique.back().y) {
                unique.push_back(p);
            }
        }
        pts = unique;
        if (c.closed && pts.size() > 1 && pts[0].x == pts.back().x && pts[0].y == pts.back().y) {
            pts.pop_back();
        }
        const size_t n = pts.size();
        auto near = [&](Point p) { return std::hypot(q.x - p.x, q.y - p.y) <= hw; };
        if (n == 1) {
            if ((c.start == Cap::Round && near(pts[0])) ||
                (c.start == Cap::Square && std::fabs(q.x - pts[0].x) <= hw &&
                 std::fabs(q.y - pts[0].y) <= hw)) {
                return true;
            }
            continue;
        }
        const size_t segments = c.closed ? n : n - 1;
        auto dir = [&](size_t i) {
            const Point a = pts[i % n], b = pts[(i + 1) % n];
            const double len = std::hypot(b.x - a.x, b.y - a.y);
            return Point{(b.x - a.x) / len, (b.y - a.y) / len};
        };
        for (size_t i = 0; i < segments; ++i) {
            const Point a = pts[i], b = pts[(i + 1) % n], d = dir(i);
            const double len = std::hypot(b.x - a.x, b.y - a.y);
            const double before = !c.closed && i == 0 && c.start == Cap::Square ? hw : 0;
            const double after = !c.closed && i + 1 == segments && c.end == Cap::Square ? hw : 0;
            const double t = (q.x - a.x) * d.x + (q.y - a.y) * d.y;
            const double s = (q.x - a.x) * -d.y + (q.y - a.y) * d.x;
            if (t >= -before && t <= len + after && std::fabs(s) <= hw) {
                return true;
            }
        }
        if (!c.closed && ((c.start == Cap::Round && near(pts[0])) ||
                          (c.end == Cap::Round && near(pts[n - 1])))) {
            return true;
        }
        for (size_t v = c.closed ? 0 : 1; v < (c.closed ? n : n - 1); ++v) {
            const Point p = pts[v], d0 = dir((v + segments - 1) % segments), d1 = dir(v);
            if (c.join == Join::Round) {
                if (near(p)) {
                    return true;
                }
                continue;
            }
            const double cross = d0.x * d1.y - d0.y * d1.x, dot = d0.x * d1.x + d0.y * d1.y;
            const double side = cross > 0 ? -1 : 1;
            const Point a{p.x - d0.y * hw * side, p.y + d0.x * hw * side};
            const Point b{p.x - d1.y * hw * side, p.y + d1.x * hw * side};
            std::vector<Point> wedge{p, a, b};
            const double cosHalf = std::sqrt((1 + dot) / 2);
            if (c.join == Join::Miter && cosHalf > 1e-9 && 1 / cosHalf <= c.miterLimit) {
                const Point tip{p.x + (a.x + b.x - 2 * p.x) / (1 + dot),
                                p.y + (a.y + b.y - 2 * p.y) / (1 + dot)};
                wedge = {p, a, tip, b};
            }
            if (InConvex(wedge, q)) {
                return true;
            }
        }
    }
    return false;
}

Outline Stroke(const StrokeCase& c) {
    StrokeStyle style;
    style.halfWidth = c.halfWidth;
    style.startCap = c.start;
    style.endCap = c.end;
    style.join = c.join;
    style.miterLimit = c.miterLimit;
    Outline outline;
    outline.closeRuns = true;
    for (const std::vector<Point>& run : c.runs) {
        StrokePolyline(run, c.closed, style, &outline);
    }
    return outline;
}

// Coverage (0..255) of the outline filled non-zero, on a canvas of kSize pixels square.
std::vector<uint8_t> Cover(const Outline& outline) {
    std::vector<uint8_t> coverage(kSize * kSize, 0);
    Canvas canvas;
    canvas.coverage = coverage.data();
    canvas.width = canvas.height = canvas.stride = kSize;
    Rasterizer ras;
    ras.Begin(canvas, true);
    ras.Add(outline, Transform());
    ras.Fill(canvas, SolidPaint(swf::Rgba{0, 0, 0, 255}, swf::ColorTransform()));
    return coverage;
}

class Strokes : public ::testing::TestWithParam<StrokeCase> {};

// Pixels deep inside the region are fully covered (no hole where pieces meet or a run
// crosses itself or another), pixels well clear of it untouched, edge pixels near their
// share, and the whole within 2% of the region's area.
TEST_P(Strokes, CoverTheRegionTheyStandFor) {
    const StrokeCase& c = GetParam();
    std::vector<double> expect(kSize * kSize, 0);
    double area = 0;
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            int in = 0;
            for (int sy = 0; sy < 8; ++sy) {
                for (int sx = 0; sx < 8; ++sx) {
                    in += InStroke(c, Point{x + (sx + 0.5) / 8, y + (sy + 0.5) / 8}) ? 1 : 0;
                }
            }
            expect[y * kSize + x] = in / 64.0;
            area += in / 64.0;
        }
    }
    ASSERT_GT(area, 0);
    const std::vector<uint8_t> got = Cover(Stroke(c));
    double sum = 0;
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            bool full = true, empty = true;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    const double e = nx < 0 || ny < 0 || nx >= kSize || ny >= kSize
                                         ? 0
                                         : expect[ny * kSize + nx];
                    full = full && e == 1;
                    empty = empty && e == 0;
                }
            }
            const int g = got[y * kSize + x];
            sum += g / 255.0;
            if (full) {
                ASSERT_EQ(g, 255) << "inside at " << x << "," << y;
            } else if (empty) {
                ASSERT_EQ(g, 0) << "outside at " << x << "," << y;
            } else {
                const double e = expect[y * kSize + x];
                ASSERT_GE(g / 255.0, e - 0.3) << "edge at " << x << "," << y;
                ASSERT_LE(g / 255.0, (c.folds ? 1 : e + 0.3)) << "edge at " << x << "," << y;
            }
        }
    }
    EXPECT_GE(sum, area * 0.98 - 1);
    EXPECT_LE(sum, area * (c.folds ? 1.2 : 1.02) + 1);
}

// A turn of 150 degrees: its miter reaches 1 / sin(15 degrees) = 3.8637 half widths.
const std::vector<Point> kSharp{{8, 24}, {44, 24}, {44 - 36 * 0.8660254, 24 + 36 * 0.5}};
// A flattened circle: every turn gentle.
std::vector<Point> Circle(double cx, double cy, double r, int pieces) {
    std::vector<Point> pts;
    for (int i = 0; i <= pieces; ++i) {
        const double a = 2 * 3.14159265358979 * (i % pieces) / pieces;
        pts.push_back(Point{cx + r * std::cos(a), cy + r * std::sin(a)});
    }
    return pts;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Lines, Strokes, ::testing::Values(
    StrokeCase{"butt", {{{12, 20.3}, {50, 31.7}}}, false, 3, Cap::None, Cap::None, Join::Round},
    StrokeCase{"square", {{{12, 20.3}, {50, 31.7}}}, false, 3, Cap::Square, Cap::Square, Join::Round},
    StrokeCase{"round", {{{12, 20.3}, {50, 31.7}}}, false, 3, Cap::Round, Cap::Round, Join::Round},
    StrokeCase{"roundThenSquare", {{{12, 40}, {50, 14}}}, false, 5, Cap::Round, Cap::Square, Join::Round},
    StrokeCase{"rightMiter", {{{12, 12}, {48, 12}, {48, 50}}}, false, 4, Cap::None, Cap::None, Join::Miter},
    StrokeCase{"rightBevel", {{{12, 12}, {48, 12}, {48, 50}}}, false, 4, Cap::None, Cap::None, Join::Bevel},
    StrokeCase{"rightRound", {{{12, 50}, {12, 12}, {48, 12}}}, false, 4, Cap::Round, Cap::Round, Join::Round},
    // The miter limit either side of the turn's miter length.
    StrokeCase{"sharpMiterWithinLimit", {kSharp}, false, 2.5, Cap::None, Cap::None, Join::Miter, 3.87},
    StrokeCase{"sharpMiterPastLimit", {kSharp}, false, 2.5, Cap::None, Cap::None, Join::Miter, 3.86},
    StrokeCase{"sharpRound", {kSharp}, false, 2.5, Cap::Round, Cap::Round, Join::Round},
    // Back the way it came: a round join is half a disc, the others nothing.
    StrokeCase{"reversedRound", {{{10, 30}, {50, 30}, {20, 30}}}, false, 4, Cap::None, Cap::None, Join::Round},
    StrokeCase{"reversedMiter", {{{10, 30}, {50, 30}, {20, 30}}}, false, 4, Cap::Square, Cap::None, Join::Miter, 100},
    // Turns within 1e-9 of a full reversal (in cosine) are taken as one; a turn just past
    // that, by the way any turn is joined. Either way the picture is a reversal's.
    StrokeCase{"almostReversedRoundWithin", {{{10, 30}, {50, 30}, {20, 30.0009}}}, false, 4, Cap::None, Cap::None, Join::Round},
    StrokeCase{"almostReversedRoundPast", {{{10, 30}, {50, 30}, {20, 30.002}}}, false, 4, Cap::None, Cap::None, Join::Round},
    StrokeCase{"almostReversedMiterWithin", {{{10, 30}, {50, 30}, {20, 29.9991}}}, false, 4, Cap::Square, Cap::None, Join::Miter, 100},
    StrokeCase{"almostReversedMiterPast", {{{10, 30}, {50, 30}, {20, 29.998}}}, false, 4, Cap::Square, Cap::None, Join::Miter, 100},
    // A closed run ending within 1e-6 of its start closes there; one ending just further
    // off keeps the tiny last segment. Either way the corner is whole.
    StrokeCase{"closedEndsWithin", {{{12, 12}, {50, 12}, {50, 50}, {12, 50}, {12, 12.0000005}}}, true, 3, Cap::Round, Cap::Round, Join::Miter},
    StrokeCase{"closedEndsPast", {{{12, 12}, {50, 12}, {50, 50}, {12, 50}, {12, 12.000002}}}, true, 3, Cap::Round, Cap::Round, Join::Miter},
    StrokeCase{"closedEndsWithinRound", {{{12, 12}, {50, 12}, {50, 50}, {12, 50}, {12.0000005, 12}}}, true, 3, Cap::None, Cap::None, Join::Round},
    StrokeCase{"closedEndsPastRound", {{{12, 12}, {50, 12}, {50, 50}, {12, 50}, {12.000002, 12}}}, true, 3, Cap::None, Cap::None, Join::Round},
    StrokeCase{"closedSquare", {{{12, 12}, {50, 12}, {50, 50}, {12, 50}, {12, 12}}}, true, 3, Cap::Round, Cap::Round, Join::Miter},
    StrokeCase{"closedTriangleRound", {{{10, 50}, {32, 10}, {54, 50}, {10, 50}}}, true, 5, Cap::None, Cap::None, Join::Round},
    StrokeCase{"closedBackAndForth", {{{10, 30}, {50, 34}, {10, 30}}}, true, 3, Cap::None, Cap::None, Join::Bevel, 3, true},
    StrokeCase{"repeatedPoints", {{{12, 20}, {12, 20}, {30, 20}, {30, 20}, {30, 20}, {50, 44}, {50, 44}}}, false, 3, Cap::Square, Cap::Round, Join::Miter},
    StrokeCase{"dotRound", {{{30, 30}, {30, 30}}}, false, 6, Cap::Round, Cap::Round, Join::Round},
    StrokeCase{"dotSquare", {{{30.5, 30.25}}}, false, 6, Cap::Square, Cap::Square, Join::Round},
    StrokeCase{"hairline", {{{5, 7}, {59, 33}, {20, 58}}}, false, 0.5, Cap::Round, Cap::Round, Join::Round},
    StrokeCase{"hairlineMiter", {{{5, 7}, {59, 33}, {20, 58}}}, false, 0.5, Cap::None, Cap::None, Join::Miter},
    // Segments shorter than the width: the inner side goes through the vertices.
    StrokeCase{"wideZigzagRound", {{{20, 20}, {26, 40}, {32, 20}, {38, 40}, {44, 22}}}, false, 12, Cap::Round, Cap::Round, Join::Round},
    StrokeCase{"wideZigzagBevel", {{{20, 20}, {26, 40}, {32, 20}, {38, 40}, {44, 22}}}, false, 12, Cap::None, Cap::Square, Join::Bevel, 3, true},
    // A right turn whose inner offsets cross at the middle of both segments, and one with
    // segments a little shorter, which goes through the vertex.
    StrokeCase{"innerCrossingAtHalf", {{{20, 30}, {28, 30}, {28, 38}}}, false, 4, Cap::None, Cap::None, Join::Miter},
    StrokeCase{"innerCrossingPastHalf", {{{20, 30}, {27.9, 30}, {27.9, 37.9}}}, false, 4, Cap::None, Cap::None, Join::Miter},
    StrokeCase{"flattenedCircle", {Circle(32, 32, 20, 36)}, true, 3, Cap::None, Cap::None, Join::Round},
    // Wider than the circle it follows: the inner side folds over the middle.
    StrokeCase{"circleWiderThanItself", {Circle(32, 32, 6, 24)}, true, 9, Cap::None, Cap::None, Join::Round},
    StrokeCase{"selfCrossing", {{{10, 10}, {54, 54}, {54, 10}, {10, 54}}}, false, 3, Cap::Round, Cap::Square, Join::Bevel},
    StrokeCase{"runsCrossing", {{{6, 32}, {58, 32}}, {{32, 6}, {32, 58}}, {{44, 33.5}}, {{20, 20}, {20.5, 20}}}, false, 3, Cap::Round, Cap::Round, Join::Round},
    StrokeCase{"closedRunsCrossing", {{{10, 10}, {40, 10}, {40, 40}, {10, 40}, {10, 10}}, {{24, 24}, {54, 24}, {54, 54}, {24, 54}, {24, 24}}}, true, 2.5, Cap::None, Cap::None, Join::Miter}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// A translucent line drawn once: where it crosses itself, where its joins overlap its
// segments and where runs of its style cross, the pixel is what one layer of it gives.
TEST(Strokes, TranslucentLinesDoNotDarkenWhereTheyOverlap) {
    const struct {
        const char* name;
        StrokeCase stroke;
        Point overlap, single;
    } cases[] = {
        {"selfCrossing",
         {"",
          {{{10, 32}, {54, 32}, {54, 10}, {32, 10}, {32, 58}}},
          false,
          3,
          Cap::None,
          Cap::None,
          Join::Round},
         {32, 32},
         {44, 32}},
        {"sharpTurnInside",
         {"", {kSharp}, false, 4, Cap::None, Cap::None, Join::Round},
         {42, 26},
         {20, 24}},
        {"wideZigzag",
         {"",
          {{{20, 20}, {26, 40}, {32, 20}, {38, 40}}},
          false,
          10,
          Cap::None,
          Cap::None,
          Join::Miter},
         {29, 30},
         {17, 22}},
        {"runsCrossing",
         {"",
          {{{6, 32}, {58, 32}}, {{32, 6}, {32, 58}}},
          false,
          3,
          Cap::Round,
          Cap::Round,
          Join::Round},
         {32, 32},
         {32, 12}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint32_t> pixels(kSize * kSize, 0xFFFFFFFFu);
        Canvas canvas;
        canvas.pixels = pixels.data();
        canvas.width = canvas.height = canvas.stride = kSize;
        Rasterizer ras;
        ras.Begin(canvas, true);
        ras.Add(Stroke(c.stroke), Transform());
        ras.Fill(canvas, SolidPaint(swf::Rgba{200, 0, 0, 128}, swf::ColorTransform()));
        const uint32_t single = pixels[int(c.single.y) * kSize + int(c.single.x)];
        EXPECT_NE(single, 0xFFFFFFFFu);
        EXPECT_EQ(pixels[int(c.overlap.y) * kSize + int(c.overlap.x)], single);
    }
}

// The outline keeps to the points it is given room for, at the bound and past it.
TEST(Strokes, KeepToTheOutlinesRoom) {
    StrokeStyle style;
    style.halfWidth = 3;
    const std::vector<Point> zigzag{{0, 0}, {10, 10}, {20, 0}, {30, 10}, {40, 0}, {50, 10}};
    Outline whole;
    StrokePolyline(zigzag, false, style, &whole);
    for (size_t room : {size_t(0), size_t(1), whole.points.size() - 1, whole.points.size()}) {
        Outline o;
        o.room = room;
        StrokePolyline(zigzag, false, style, &o);
        EXPECT_EQ(o.points.size(), room);
    }
}

} // namespace
