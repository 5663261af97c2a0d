// Scan conversion: a region cut into many pieces covers exactly what it covers whole, however
// many cells its rows hold and however wide it reaches (an outline wider than a strip of
// cells holds is summed a row at a time), and an outline's work is held to the budget whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "player/core/render/rasterizer.h"

namespace {

using namespace render;

std::vector<uint8_t> Cover(int width, int height, const std::function<void(Rasterizer&)>& add,
                           bool nonZero) {
    std::vector<uint8_t> coverage(size_t(width) * height, 0);
    Canvas canvas;
    canvas.coverage = coverage.data();
    canvas.width = canvas.stride = width;
    canvas.height = height;
    Rasterizer ras;
    ras.Begin(canvas, nonZero);
    add(ras);
    ras.Fill(canvas, SolidPaint(swf::Rgba{0, 0, 0, 255}, swf::ColorTransform()));
    return coverage;
}

struct StripCase {
    const char* name;
    int strips; // each adds two cells or more to every row it crosses
    bool reversed;
    int width;       // of the canvas; the rectangle reaches across all but 8 pixels of it
    bool slanted;    // ends slanted: more cells in the top and bottom rows, which differ
    int height = 24; // the rectangle reaches down to 3.8 pixels above its bottom
};
void PrintTo(const StripCase& c, std::ostream* os) {
    *os << c.name;
}

class Strips : public ::testing::TestWithParam<StripCase> {};

// Abutting strips share their inner edges, whose cells cancel; what is left must be the
// whole rectangle's coverage, and only a row sorted by x sums each pixel's cells together.
TEST_P(Strips, CoverWhatTheWholeCovers) {
    const StripCase& c = GetParam();
    const int w = c.width, h = c.height;
    const double x0 = 3.3, x1 = w - 8.3, y0 = 2.6, y1 = h - 3.8;
    const std::vector<uint8_t> whole = Cover(
        w, h,
        [&](Rasterizer& r) {
            const double xy[8] = {x0, y0, x1, y0, x1, y1, x0, y1};
            r.Polygon(xy, 4);
        },
        false);
    const std::vector<uint8_t> pieces = Cover(
        w, h,
        [&](Rasterizer& r) {
            for (int k = 0; k < c.strips; ++k) {
                const int s = c.reversed ? c.strips - 1 - k : k;
                const double a = x0 + (x1 - x0) * s / c.strips;
                const double b = x0 + (x1 - x0) * (s + 1) / c.strips;
                // Slanted ends put a few cells of each piece in the top and bottom rows.
                const double xy[8] = {a, y0, b, y0 + 0.4, b, y1, a, y1 - 0.3};
                const double fixed[8] = {a, y0, b, y0, b, y1, a, y1};
                r.Polygon(c.slanted ? xy : fixed, 4);
            }
        },
        true);
    // The whole is what it should be: a middle row full inside, empty outside.
    for (int x = 0; x < w; ++x) {
        const uint8_t expect = x < 3 || x >= w - 8   ? 0
                               : x >= 4 && x < w - 9 ? 255
                                                     : whole[10 * w + x];
        ASSERT_EQ(whole[size_t(10) * w + x], expect) << "x " << x;
    }
    // Rows clear of slanted ends match the whole exactly.
    const int top = c.slanted ? 4 : 0, bottom = c.slanted ? h - 5 : h;
    for (int y = top; y < bottom; ++y) {
        for (int x = 0; x < w; ++x) {
            ASSERT_EQ(whole[size_t(y) * w + x], pieces[size_t(y) * w + x])
                << "x " << x << " y " << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cells, Strips,
                         ::testing::Values(StripCase{"one", 1, false, 120, false},
                                           StripCase{"eight", 8, false, 120, true},
                                           StripCase{"nine", 9, true, 120, true},
                                           // Rows of 24 and 26 cells, given backwards.
                                           StripCase{"twelveReversed", 12, true, 120, true},
                                           StripCase{"thirteenReversed", 13, true, 120, true},
                                           StripCase{"hundred", 100, false, 120, true},
                                           StripCase{"hundredReversed", 100, true, 120, false},
                                           // The whole far wider than its cells.
                                           StripCase{"wide", 100, true, 2000, false},
                                           // Wider than a strip of cells: a row at a time.
                                           StripCase{"wider", 100, false, 40000, true},
                                           // Two cells a row for each strip in 4097 rows:
                                           // over 2^20 cells, in many strips of rows.
                                           StripCase{"manyCells", 128, true, 240, false, 4102}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace

namespace {

// An outline whose work (16 a segment, 8 a pixel crossed on the canvas) would pass the
// budget is left out whole and counted; one that just fits is drawn. Off the canvas a
// segment crosses only the pixels along its edge.
TEST(RasterizerBudget, OutlinePastTheBudgetIsLeftOutWhole) {
    const struct {
        const char* name;
        double x0, y0, x1, y1; // a rectangle
        uint64_t cost;
    } cases[] = {
        {"inside", 5, 5, 15, 15, 4 * Rasterizer::kSegmentWork + 40 * Rasterizer::kCellWork},
        // Reaching 20 pixels past the right edge: only the part on the canvas counts.
        {"pastTheEdge", 30, 5, 60, 15, 4 * Rasterizer::kSegmentWork + 40 * Rasterizer::kCellWork},
    };
    for (const auto& c : cases) {
        for (uint64_t budget : {c.cost, c.cost - 1}) {
            SCOPED_TRACE(std::string(c.name) + (budget == c.cost ? " fits" : " passes"));
            std::vector<uint8_t> coverage(40 * 40, 0);
            Canvas canvas;
            canvas.coverage = coverage.data();
            canvas.width = canvas.height = canvas.stride = 40;
            Outline o;
            o.closeRuns = true;
            o.Move(Point{c.x0, c.y0});
            o.Line(Point{c.x1, c.y0});
            o.Line(Point{c.x1, c.y1});
            o.Line(Point{c.x0, c.y1});
            Rasterizer ras;
            ras.Begin(canvas, true);
            ras.ResetWork(budget);
            ras.Add(o, Transform());
            EXPECT_EQ(ras.Work(), c.cost);
            EXPECT_EQ(ras.Spent(), budget != c.cost);
            ras.Fill(canvas, SolidPaint(swf::Rgba{0, 0, 0, 255}, swf::ColorTransform()));
            const bool drawn = coverage[10 * 40 + 35] == 255 || coverage[10 * 40 + 10] == 255;
            EXPECT_EQ(drawn, budget == c.cost);
        }
    }
}

} // namespace

namespace {

// Closed loops (x, y pairs); an outline is the loops filled together.
using Loop = std::vector<double>;
using Outlines = std::vector<std::vector<Loop>>;

Loop Box(double x0, double y0, double x1, double y1) {
    return {x0, y0, x1, y0, x1, y1, x0, y1};
}
Loop Reversed(const Loop& l) {
    Loop r;
    for (size_t i = l.size(); i >= 2; i -= 2) {
        r.push_back(l[i - 2]);
        r.push_back(l[i - 1]);
    }
    return r;
}

// A mask of width x height holding the outlines, each begun and filled in turn by `ras`,
// drawn band by band between the rows in `cuts` (each band a canvas of its own rows).
std::vector<uint8_t> Mask(Rasterizer& ras, int width, int height, const Outlines& outlines,
                          bool nonZero, const std::vector<int>& cuts = {}) {
    std::vector<uint8_t> coverage(size_t(width) * height, 0);
    std::vector<int> ends = cuts;
    ends.push_back(height);
    int top = 0;
    for (int bottom : ends) {
        Canvas canvas;
        canvas.coverage = coverage.data() + size_t(top) * width;
        canvas.width = canvas.stride = width;
        canvas.height = height;
        canvas.top = top;
        canvas.bottom = bottom;
        for (const std::vector<Loop>& loops : outlines) {
            ras.Begin(canvas, nonZero);
            for (const Loop& l : loops) {
                ras.Polygon(l.data(), int(l.size() / 2));
            }
            ras.Fill(canvas, SolidPaint(swf::Rgba{0, 0, 0, 255}, swf::ColorTransform()));
        }
        top = bottom;
    }
    return coverage;
}
std::vector<uint8_t> Mask(int width, int height, const Outlines& outlines, bool nonZero,
                          const std::vector<int>& cuts = {}) {
    Rasterizer ras;
    return Mask(ras, width, height, outlines, nonZero, cuts);
}

// Coverage in quarters: a pixel a quarter, half, three quarters or wholly covered.
const uint8_t kQuarter = 64, kHalf = 128, kThreeQuarters = 191, kWhole = 255;

// The pixels at either end of a row: cells in the first and last columns, and in the column
// past the last where the clip box puts edges beyond the canvas, on narrow canvases one
// column apart and on the widest.
TEST(RasterizerRows, EndsOfTheCanvas) {
    // An edge at a column, or that many columns left of the canvas's right edge.
    struct Edge {
        double at;
        bool fromRight = false;
    };
    const auto right = [](double at) { return Edge{at, true}; };
    const struct {
        const char* name;
        Edge x0, x1; // a rectangle over rows 1 and 2
        uint8_t first, second, lastButOne, last;
    } cases[] = {
        {"beyondBothEdges", {-5}, {1e5}, kWhole, kWhole, kWhole, kWhole},
        {"onBothEdges", {0}, right(0), kWhole, kWhole, kWhole, kWhole},
        {"halfEdgePixels", {0.5}, right(0.5), kHalf, kWhole, kWhole, kHalf},
        {"quarterEdgePixels", {0.75}, right(0.75), kQuarter, kWhole, kWhole, kQuarter},
        {"threeQuarters", {0.25}, right(0.25), kThreeQuarters, kWhole, kWhole, kThreeQuarters},
        {"oneIn", {1}, right(1), 0, kWhole, kWhole, 0},
        {"lastPixelOnly", right(1), right(0), 0, 0, 0, kWhole},
        {"firstPixelOnly", {0}, {1}, kWhole, 0, 0, 0},
        {"lastHalfAndBeyond", right(0.5), {1e5}, 0, 0, 0, kHalf},
        {"firstHalfAndBeyond", {-7}, {0.5}, kHalf, 0, 0, 0},
    };
    for (int width : {64, 65, 16384}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " width " + std::to_string(width));
            const auto at = [&](Edge e) { return e.fromRight ? width - e.at : e.at; };
            const double x0 = at(c.x0), x1 = at(c.x1);
            for (bool nonZero : {false, true}) {
                const std::vector<uint8_t> m = Mask(width, 4, {{Box(x0, 1, x1, 3)}}, nonZero);
                for (int y : {1, 2}) {
                    const uint8_t* row = m.data() + size_t(y) * width;
                    EXPECT_EQ(row[0], c.first);
                    EXPECT_EQ(row[1], c.second);
                    EXPECT_EQ(row[width - 2], c.lastButOne);
                    EXPECT_EQ(row[width - 1], c.last);
                }
                for (int y : {0, 3}) {
                    EXPECT_EQ(m[size_t(y) * width], 0);
                    EXPECT_EQ(m[size_t(y) * width + width - 1], 0);
                }
            }
        }
    }
}

// Overlapping loops: non-zero fills where the windings do not cancel, even-odd where they
// are odd.
TEST(RasterizerRows, FillRules) {
    const Loop a = Box(2, 2, 12, 12), b = Box(7, 2, 17, 12), c = Box(5, 2, 10, 12);
    // Sampled in row 6: column 4 in a alone, 6 in a and c, 9 in all three, 14 in b alone.
    const struct {
        const char* name;
        std::vector<Loop> loops;
        bool nonZero;
        uint8_t at4, at6, at9, at14;
    } cases[] = {
        {"sameWayNonZero", {a, b}, true, kWhole, kWhole, kWhole, kWhole},
        {"sameWayEvenOdd", {a, b}, false, kWhole, kWhole, 0, kWhole},
        {"oppositeNonZero", {a, Reversed(b)}, true, kWhole, kWhole, 0, kWhole},
        {"oppositeEvenOdd", {a, Reversed(b)}, false, kWhole, kWhole, 0, kWhole},
        {"threeNonZero", {a, b, c}, true, kWhole, kWhole, kWhole, kWhole},
        {"threeEvenOdd", {a, b, c}, false, kWhole, 0, kWhole, kWhole},
        {"threeOneReversedNonZero", {a, Reversed(b), c}, true, kWhole, kWhole, kWhole, kWhole},
        {"twiceTheSameNonZero", {a, a}, true, kWhole, kWhole, kWhole, 0},
        {"twiceTheSameEvenOdd", {a, a}, false, 0, 0, 0, 0},
        // Windings far past one stay whole, or alternate, however many.
        {"manyTheSameNonZero", std::vector<Loop>(4096, a), true, kWhole, kWhole, kWhole, 0},
        {"manyTheSameEvenOdd", std::vector<Loop>(4096, a), false, 0, 0, 0, 0},
        {"oneMoreEvenOdd", std::vector<Loop>(4097, a), false, kWhole, kWhole, kWhole, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> m = Mask(20, 14, {c.loops}, c.nonZero);
        const uint8_t* row = m.data() + 6 * 20;
        EXPECT_EQ(row[4], c.at4);
        EXPECT_EQ(row[6], c.at6);
        EXPECT_EQ(row[9], c.at9);
        EXPECT_EQ(row[14], c.at14);
        EXPECT_EQ(row[1], 0);
        EXPECT_EQ(row[17], 0);
    }
}

// An outline within one row: its cells' areas alone make the coverage.
TEST(RasterizerRows, OutlineInOneRow) {
    const struct {
        const char* name;
        double y0, y1;
        uint8_t middle; // of row 5
    } cases[] = {
        {"wholeRow", 5, 6, kWhole},
        {"halfRow", 5.25, 5.75, kHalf},
        {"quarterRow", 5.5, 5.75, kQuarter},
        {"flat", 5.5, 5.5, 0},
        // Coverage rounds to the nearest quarter: an eighth and seven eighths are the edges.
        {"justUnderAnEighth", 5.5, 5.62, 0},
        {"justOverAnEighth", 5.5, 5.63, kQuarter},
        {"justUnderSevenEighths", 5, 5.87, kThreeQuarters},
        {"justOverSevenEighths", 5, 5.88, kWhole},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (bool nonZero : {false, true}) {
            const std::vector<uint8_t> m = Mask(16, 10, {{Box(2, c.y0, 12, c.y1)}}, nonZero);
            EXPECT_EQ(m[5 * 16 + 7], c.middle);
            EXPECT_EQ(m[5 * 16 + 1], 0);
            EXPECT_EQ(m[5 * 16 + 12], 0);
            EXPECT_EQ(m[4 * 16 + 7], 0);
            EXPECT_EQ(m[6 * 16 + 7], 0);
        }
    }
}

// A damaged shape's outline may not close: its coverage reaches the last cell its edges
// wrote, and no further along the row.
TEST(RasterizerRows, OpenOutlineStopsAtItsLastCell) {
    const struct {
        const char* name;
        double x;              // of one edge down rows 1 and 2
        uint8_t at5, at6, at7; // in row 1
    } cases[] = {
        {"halfwayAcross", 5.5, kHalf, kWhole, 0},
        {"onTheColumnsEdge", 5.0, kWhole, kWhole, 0},
        {"quarterIn", 5.25, kThreeQuarters, kWhole, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> coverage(16 * 4, 0);
        Canvas canvas;
        canvas.coverage = coverage.data();
        canvas.width = canvas.stride = 16;
        canvas.height = 4;
        Rasterizer ras;
        ras.Begin(canvas, true);
        ras.MoveTo(c.x, 1);
        ras.LineTo(c.x, 3);
        ras.Fill(canvas, SolidPaint(swf::Rgba{0, 0, 0, 255}, swf::ColorTransform()));
        const uint8_t* row = coverage.data() + 16;
        EXPECT_EQ(row[4], 0);
        EXPECT_EQ(row[5], c.at5);
        EXPECT_EQ(row[6], c.at6);
        EXPECT_EQ(row[7], c.at7);
        EXPECT_EQ(row[15], 0);
    }
}

// An outline drawn after others comes out as it does alone: nothing of theirs is left
// behind, whether they were filled, never filled, on a wider canvas or another rule.
TEST(RasterizerRows, EarlierOutlinesLeaveNothing) {
    const Loop later = Box(3.3, 2.6, 40.7, 9.2);
    const Loop slanted = {1.2, 0.4, 70.9, 3.7, 60.3, 11.6, 0.5, 8.8};
    const struct {
        const char* name;
        std::vector<Loop> earlier;
        int width; // of the earlier outline's canvas
        bool fill, nonZero;
    } cases[] = {
        {"filled", {slanted}, 72, true, true},
        {"sameCellsFilled", {later}, 72, true, false},
        {"sameCellsNeverFilled", {later}, 72, false, true},
        {"neverFilled", {slanted}, 72, false, true},
        {"widerCanvasFilled", {Box(0.5, 0.5, 299.5, 11.5)}, 300, true, false},
        {"widerCanvasNeverFilled", {Box(0.5, 0.5, 299.5, 11.5)}, 300, false, false},
        {"pastEveryEdgeNeverFilled", {Box(-9, -9, 400, 400)}, 72, false, true},
    };
    const std::vector<uint8_t> alone = Mask(72, 12, {{later}}, true);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> first(size_t(c.width) * 12, 0);
        Canvas canvas;
        canvas.coverage = first.data();
        canvas.width = canvas.stride = c.width;
        canvas.height = 12;
        Rasterizer ras;
        ras.Begin(canvas, c.nonZero);
        for (const Loop& l : c.earlier) {
            ras.Polygon(l.data(), int(l.size() / 2));
        }
        if (c.fill) {
            ras.Fill(canvas, SolidPaint(swf::Rgba{0, 0, 0, 255}, swf::ColorTransform()));
        }
        EXPECT_EQ(Mask(ras, 72, 12, {{later}}, true), alone);
    }
}

// An outline a thousand columns wide is summed 64 rows at a time: as tall as one strip, one
// row more, two strips and one row more, it comes out as each row does drawn alone.
TEST(RasterizerRows, StripsOfRowsMatchRowsAlone) {
    for (int rows : {63, 64, 65, 128, 129}) {
        SCOPED_TRACE("rows " + std::to_string(rows));
        const int w = 1002, h = rows + 1;
        const Loop slanted = {0.5, 0.3, 1000.5, 2.8, 900.2, rows - 0.4, 3.7, rows - 2.1};
        std::vector<int> each(size_t(h - 1));
        for (int y = 1; y < h; ++y) {
            each[size_t(y - 1)] = y;
        }
        const std::vector<uint8_t> whole = Mask(w, h, {{slanted}}, false);
        ASSERT_EQ(whole[size_t(rows / 2) * w + 500], kWhole);
        EXPECT_EQ(Mask(w, h, {{slanted}}, false, each), whole);
    }
}

// The widest canvas, 520 rows of an outline with a hole, comes out as it does when drawn in
// bands: rows either side of where the hole begins, and a band's own rows cut anywhere.
TEST(RasterizerRows, RunsOfRowsMatchBands) {
    const int w = 16384, h = 520;
    const Loop outer = {100.3, 10.2, 16300.7, 40.9, 16200.1, 510.4, 300.6, 480.3};
    const Loop inner = {5000.5, 200.25, 9000.75, 250.5, 8000.25, 300.75};
    const std::vector<uint8_t> whole = Mask(w, h, {{outer, inner}}, false);
    // Row 255 is full where row 254 is empty.
    ASSERT_EQ(whole[size_t(255) * w + 1000], kWhole);
    ASSERT_EQ(whole[size_t(254) * w + 7000], 0);
    const struct {
        const char* name;
        std::vector<int> cuts;
    } cases[] = {
        {"twoBands", {200}},
        {"rowsAroundTheRunsEdge", {254, 255, 256}},
        {"threeBands", {150, 300}},
        {"secondRunEdge", {255, 509, 510, 511}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> bands = Mask(w, h, {{outer, inner}}, false, c.cuts);
        for (int y = 0; y < h; ++y) {
            ASSERT_TRUE(std::equal(whole.begin() + ptrdiff_t(y) * w,
                                   whole.begin() + ptrdiff_t(y + 1) * w,
                                   bands.begin() + ptrdiff_t(y) * w))
                << "row " << y;
        }
    }
}

} // namespace

namespace {

// Two boxes side by side in one outline, a gap of uncovered columns between them: a row's
// span may run on over the gap (blending nothing there) or end at it, and either way the
// pixels must be those of the boxes drawn one at a time, the gap and everything around
// untouched. Gaps at the edges of eight columns (what one store gives) and of the long
// stretches that end a span, for a solid colour and a gradient.
TEST(RasterizerRows, GapsInARowBlendNothing) {
    const int w = 640, h = 6;
    swf::FillStyle ramp;
    ramp.kind = swf::FillKind::Linear;
    ramp.gradient.stops = {{0, swf::Rgba{200, 10, 10, 180}}, {255, swf::Rgba{10, 10, 200, 220}}};
    Paint gradient;
    ASSERT_TRUE(MakePaint(ramp, Transform{0.02, 0, 0, 0.02, 0, 0}, swf::ColorTransform(), nullptr,
                          &gradient));
    const Paint solid = SolidPaint(swf::Rgba{30, 160, 90, 200}, swf::ColorTransform());
    const auto draw = [&](const Paint& paint, const std::vector<Loop>& fills,
                          bool together) -> std::vector<uint32_t> {
        std::vector<uint32_t> pixels(size_t(w) * h, 0xFF405060u);
        Canvas canvas;
        canvas.pixels = pixels.data();
        canvas.width = canvas.stride = w;
        canvas.height = h;
        Rasterizer ras;
        for (size_t i = 0; i < fills.size(); ++i) {
            if (i == 0 || !together) {
                ras.Begin(canvas, false);
            }
            ras.Polygon(fills[i].data(), int(fills[i].size() / 2));
            if (i + 1 == fills.size() || !together) {
                ras.Fill(canvas, paint);
            }
        }
        return pixels;
    };
    for (int gap : {7, 8, 9, 31, 32, 33, 255, 256, 257}) {
        // Ends a quarter into a pixel, so that the columns beside the gap are partly covered.
        const double left = 10.25, mid = 40.25, right = mid + gap + 20;
        const std::vector<Loop> boxes = {Box(left, 1, mid, 5), Box(mid + gap, 1.5, right, 4.5)};
        for (const Paint* paint : {&solid, static_cast<const Paint*>(&gradient)}) {
            SCOPED_TRACE("gap " + std::to_string(gap) +
                         (paint == &solid ? ", solid" : ", gradient"));
            const std::vector<uint32_t> together = draw(*paint, boxes, true);
            EXPECT_EQ(together, draw(*paint, boxes, false));
            EXPECT_EQ(together[size_t(2) * w + 41 + gap / 2], 0xFF405060u); // the gap's middle
        }
    }
}

} // namespace
