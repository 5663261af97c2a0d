// The system's outlines handed to the engine for device-font text: in 1024ths of the em,
// y down from the baseline, closed, with an advance; a space has only the advance.
#include <gtest/gtest.h>

#include <algorithm>

#include "player/control/system_glyphs.h"

namespace {

TEST(SystemGlyphs, OutlinesInEmUnitsYDownClosedAndSpacesWithOnlyAnAdvance) {
    SystemGlyphs glyphs;
    engine::DeviceGlyph a;
    ASSERT_TRUE(glyphs.Glyph("_sans", false, false, 'A', &a));
    ASSERT_FALSE(a.edges.empty());
    EXPECT_GT(a.advance, 300);
    EXPECT_LT(a.advance, 1024);
    int top = 0, bottom = -1024;
    for (const engine::GlyphEdge& e : a.edges) {
        top = std::min({top, e.y0, e.y1});
        bottom = std::max({bottom, e.y0, e.y1});
    }
    EXPECT_LT(top, -500) << "a capital stands above the baseline, y down";
    EXPECT_GT(top, -1024);
    EXPECT_GE(bottom, -5);
    EXPECT_LE(bottom, 5);
    // Each contour ends where it began: every end point is some edge's start.
    for (const engine::GlyphEdge& e : a.edges) {
        bool continued = false;
        for (const engine::GlyphEdge& next : a.edges) {
            continued = continued || (next.x0 == e.x1 && next.y0 == e.y1);
        }
        EXPECT_TRUE(continued) << e.x1 << "," << e.y1;
    }

    engine::DeviceGlyph space;
    ASSERT_TRUE(glyphs.Glyph("Arial", false, false, ' ', &space));
    EXPECT_TRUE(space.edges.empty());
    EXPECT_GT(space.advance, 0);
    EXPECT_FALSE(glyphs.Glyph("_sans", false, false, 0x1F600, &space)); // beyond UTF-16 units
}

} // namespace
