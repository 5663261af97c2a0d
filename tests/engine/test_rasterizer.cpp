// Scan conversion: a region cut into many pieces covers exactly what it covers whole, however
// many cells its rows hold and however wide it reaches (the cells' sort takes another path
// when the outline is far wider than its cells could fill; spans pass 32767 pixels), and an
// outline's work is held to the budget whole.
#include <gtest/gtest.h>

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

INSTANTIATE_TEST_SUITE_P(CellSorts, Strips,
                         ::testing::Values(StripCase{"one", 1, false, 120, false},
                                           StripCase{"eight", 8, false, 120, true},
                                           StripCase{"nine", 9, true, 120, true},
                                           // Rows of 24 cells, sorted by insertion, and
                                           // of 26, by std::sort, each given backwards.
                                           StripCase{"twelveReversed", 12, true, 120, true},
                                           StripCase{"thirteenReversed", 13, true, 120, true},
                                           StripCase{"hundred", 100, false, 120, true},
                                           StripCase{"hundredReversed", 100, true, 120, false},
                                           // The whole far wider than its cells.
                                           StripCase{"wide", 100, true, 2000, false},
                                           // Spans past 32767 pixels.
                                           StripCase{"wider", 100, false, 40000, true},
                                           // Two cells a row for each strip in 4097 rows:
                                           // over 2^20 cells, in many of the cells' blocks.
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
            ras.Add(o, 0, 0);
            EXPECT_EQ(ras.Work(), c.cost);
            EXPECT_EQ(ras.Spent(), budget != c.cost);
            ras.Fill(canvas, SolidPaint(swf::Rgba{0, 0, 0, 255}, swf::ColorTransform()));
            const bool drawn = coverage[10 * 40 + 35] == 255 || coverage[10 * 40 + 10] == 255;
            EXPECT_EQ(drawn, budget == c.cost);
        }
    }
}

} // namespace
