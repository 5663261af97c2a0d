// The drawing layer's small pieces at their edges: the scale9 map as the clip shrinks past
// its unscaled ends, blend modes onto a single pixel, a displacement map across each edge,
// and the gradient bevel's ramp between close stops.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "player/core/render/filters.h"
#include "player/core/render/scale9.h"

namespace {

// A 1000-twip square with its grid 100 in from each side, seen through a scale.
TEST(Scale9Map, EndsKeepTheirSizeUntilTheyNoLongerFit) {
    const struct {
        double scale, gridLo, gridHi, in, out;
    } rows[] = {
        {2, 100, 900, 0, 0},
        {2, 100, 900, 100, 50},
        {2, 100, 900, 500, 500},
        {2, 100, 900, 900, 950},
        {2, 100, 900, 1000, 1000},
        {2, 100, 900, 50, 25},
        // At 0.2 the ends just fill the clip: the grid's lines meet in the middle.
        {0.2, 100, 900, 50, 250},
        {0.2, 100, 900, 100, 500},
        {0.2, 100, 900, 950, 750},
        // Below it the ends no longer fit: the clip scales evenly, nothing moves.
        {0.19, 100, 900, 50, 50},
        {0.19, 100, 900, 100, 100},
        {0.19, 100, 900, 950, 950},
        // A grid with no middle cuts nothing.
        {2, 500, 500, 100, 100},
        {2, 500, 500, 900, 900},
    };
    for (const auto& r : rows) {
        const swf::Rect bounds{0, 1000, 0, 1000};
        const swf::Rect grid{int32_t(r.gridLo), int32_t(r.gridHi), int32_t(r.gridLo),
                             int32_t(r.gridHi)};
        const render::Scale9Map map(bounds, grid, r.scale, r.scale);
        const swf::Point p = map.Apply(r.in, r.in);
        EXPECT_NEAR(p.x, r.out, 1e-6) << "scale " << r.scale << " at " << r.in;
        EXPECT_NEAR(p.y, r.out, 1e-6) << "scale " << r.scale << " at " << r.in;
    }
}

uint32_t BlendOne(swf::BlendMode mode, uint32_t under, uint32_t over) {
    uint32_t canvasPixel = under, layerPixel = over;
    render::Canvas canvas, layer;
    canvas.pixels = &canvasPixel;
    layer.pixels = &layerPixel;
    canvas.width = canvas.height = canvas.stride = 1;
    layer.width = layer.height = layer.stride = 1;
    render::Composite(layer, render::PixelBox{0, 0, 1, 1}, mode, canvas);
    return canvasPixel;
}

// Premultiplied pixels: an opaque grey under, a half-clear or opaque one over.
TEST(Composite, BlendModesOnOnePixel) {
    using swf::BlendMode;
    const struct {
        BlendMode mode;
        uint32_t under, over, out;
    } rows[] = {
        {BlendMode::Alpha, 0xFF808080, 0x80404040, 0x80404040}, // keeps the source's alpha
        {BlendMode::Erase, 0xFF808080, 0x80404040, 0x7F404040}, // keeps the rest
        {BlendMode::Alpha, 0xFF808080, 0xFF000000, 0xFF808080},
        {BlendMode::Erase, 0xFF808080, 0xFF000000, 0x00000000},
        {BlendMode::Add, 0xFF808080, 0xFF404040, 0xFFC0C0C0},
        {BlendMode::Add, 0xFF808080, 0xFF909090, 0xFFFFFFFF}, // saturates
        {BlendMode::Subtract, 0xFF808080, 0xFF404040, 0xFF404040},
        {BlendMode::Subtract, 0xFF808080, 0xFF909090, 0xFF000000}, // stops at black
    };
    for (const auto& r : rows)
        EXPECT_EQ(BlendOne(r.mode, r.under, r.over), r.out)
            << int(r.mode) << " " << std::hex << r.under << " " << r.over;
}

// A row (or column) of four pixels, each moved one place by a displacement map: the pixel
// moved in from just inside the edge is the source's own, the one from just outside is what
// the edge mode says.
TEST(Displacement, OnePlaceAcrossEachEdge) {
    using Edge = swf::Filter::Edge;
    const int kFallback = -1;
    const struct {
        bool vertical;
        uint8_t mapValue; // 64 moves one back, 192 one on, at a scale of 4
        Edge mode;
        int from[4]; // the source pixel each ends up with
    } rows[] = {
        {false, 64, Edge::Color, {kFallback, 0, 1, 2}},
        {false, 64, Edge::Ignore, {0, 0, 1, 2}},
        {false, 64, Edge::Clamp, {0, 0, 1, 2}},
        {false, 64, Edge::Wrap, {3, 0, 1, 2}},
        {false, 192, Edge::Color, {1, 2, 3, kFallback}},
        {false, 192, Edge::Ignore, {1, 2, 3, 3}},
        {false, 192, Edge::Wrap, {1, 2, 3, 0}},
        {true, 64, Edge::Color, {kFallback, 0, 1, 2}},
        {true, 64, Edge::Ignore, {0, 0, 1, 2}},
        {true, 192, Edge::Color, {1, 2, 3, kFallback}},
        {true, 192, Edge::Wrap, {1, 2, 3, 0}},
    };
    for (const auto& r : rows) {
        uint32_t pixels[4];
        for (int i = 0; i < 4; ++i)
            pixels[i] = 0xFF000000u | uint32_t(i + 1);
        render::Canvas layer;
        layer.pixels = pixels;
        layer.width = r.vertical ? 1 : 4;
        layer.height = r.vertical ? 4 : 1;
        layer.stride = layer.width;
        auto map = std::make_shared<swf::Bitmap>();
        map->width = layer.width;
        map->height = layer.height;
        map->pixels.assign(4, 0xFF000000u | uint32_t(r.mapValue) << 16);
        swf::Filter f;
        f.kind = swf::FilterKind::DisplacementMap;
        f.map = map;
        f.componentX = r.vertical ? 0 : 1;
        f.componentY = r.vertical ? 1 : 0;
        f.scaleX = f.scaleY = 4;
        f.mode = r.mode;
        f.fallback = swf::Rgba{255, 0, 0, 255};
        render::PixelBox box{0, 0, layer.width, layer.height};
        render::ApplyFilters({f}, 1, &layer, &box);
        for (int i = 0; i < 4; ++i) {
            const uint32_t want =
                r.from[i] == kFallback ? 0xFFFF0000u : 0xFF000000u | uint32_t(r.from[i] + 1);
            EXPECT_EQ(pixels[i], want) << (r.vertical ? "column" : "row") << " map "
                                       << int(r.mapValue) << " mode " << int(r.mode) << " at " << i;
        }
    }
}

// A full gradient bevel with no distance sits at the ramp's middle (128) everywhere: the
// colour there between stops just below, at and just above it.
TEST(GradientBevel, RampAtItsMiddle) {
    const struct {
        std::vector<std::pair<uint8_t, uint8_t>> stops; // ratio, red
        uint8_t red;
    } rows[] = {
        {{{0, 0}, {255, 255}}, 128},
        {{{127, 0}, {129, 200}}, 100},
        {{{128, 40}, {255, 200}}, 40},           // at the first stop
        {{{0, 0}, {128, 200}}, 200},             // at the last stop
        {{{0, 0}, {127, 50}, {255, 250}}, 52},   // just past a stop
        {{{0, 0}, {128, 100}, {128, 200}}, 100}, // two stops at one place: the first
        {{{0, 90}}, 90},                         // a single stop
    };
    for (const auto& r : rows) {
        uint32_t pixel = 0xFF000000;
        render::Canvas layer;
        layer.pixels = &pixel;
        layer.width = layer.height = layer.stride = 1;
        swf::Filter f;
        f.kind = swf::FilterKind::GradientBevel;
        f.blurX = f.blurY = 0;
        f.distance = 0;
        f.knockout = true;
        f.onTop = true;
        for (const auto& s : r.stops)
            f.stops.push_back(swf::GradientStop{s.first, swf::Rgba{s.second, 0, 0, 255}});
        render::PixelBox box{0, 0, 1, 1};
        render::ApplyFilters({f}, 1, &layer, &box);
        EXPECT_EQ(pixel, 0xFF000000u | uint32_t(r.red) << 16)
            << r.stops.size() << " stops from " << int(r.stops[0].first);
    }
}

} // namespace
