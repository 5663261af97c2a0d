// Scan conversion: a region cut into many pieces covers exactly what it covers whole, however
// many cells its rows hold (the row sort takes different paths by count).
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "player/core/render/rasterizer.h"

namespace {

using namespace render;

const int kW = 120, kH = 24;

std::vector<uint8_t> Cover(const std::function<void(Rasterizer&)>& add, bool nonZero) {
    std::vector<uint8_t> coverage(size_t(kW) * kH, 0);
    Canvas canvas;
    canvas.coverage = coverage.data();
    canvas.width = canvas.stride = kW;
    canvas.height = kH;
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
};
void PrintTo(const StripCase& c, std::ostream* os) {
    *os << c.name;
}

class Strips : public ::testing::TestWithParam<StripCase> {};

// Abutting strips share their inner edges, whose cells cancel; what is left must be the
// whole rectangle's coverage, and only a row sorted by x sums each pixel's cells together.
TEST_P(Strips, CoverWhatTheWholeCovers) {
    const StripCase& c = GetParam();
    const double x0 = 3.3, x1 = 111.7, y0 = 2.6, y1 = 20.2;
    const std::vector<uint8_t> whole = Cover(
        [&](Rasterizer& r) {
            const double xy[8] = {x0, y0, x1, y0, x1, y1, x0, y1};
            r.Polygon(xy, 4);
        },
        false);
    const std::vector<uint8_t> pieces = Cover(
        [&](Rasterizer& r) {
            for (int k = 0; k < c.strips; ++k) {
                const int s = c.reversed ? c.strips - 1 - k : k;
                const double a = x0 + (x1 - x0) * s / c.strips;
                const double b = x0 + (x1 - x0) * (s + 1) / c.strips;
                // Slanted ends put a few cells of each piece in the top and bottom rows.
                const double xy[8] = {a, y0, b, y0 + 0.4, b, y1, a, y1 - 0.3};
                const double fixed[8] = {a, y0, b, y0, b, y1, a, y1};
                r.Polygon(c.strips == 1 ? fixed : xy, 4);
            }
        },
        true);
    if (c.strips == 1) {
        EXPECT_EQ(whole, pieces);
        return;
    }
    // Rows clear of the slanted ends match the whole exactly.
    for (int y = 4; y < 19; ++y) {
        for (int x = 0; x < kW; ++x) {
            ASSERT_EQ(whole[size_t(y) * kW + x], pieces[size_t(y) * kW + x])
                << "x " << x << " y " << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(RowSorts, Strips,
                         ::testing::Values(StripCase{"one", 1, false}, StripCase{"eight", 8, false},
                                           StripCase{"nine", 9, true},
                                           StripCase{"sixtyfour", 64, false},
                                           StripCase{"sixtyfive", 65, true},
                                           StripCase{"many", 100, false}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
