// BitmapData's pixel operations at their edges: rectangles partly off the bitmap, zero
// sizes, negative offsets, the 2880 limit, copies onto themselves, and the noise
// generators' first values as Flash gives them.
#include <gtest/gtest.h>

#include "player/core/render/bitmap_ops.h"

namespace {

using render::IntRect;
using render::ScriptBitmap;

ScriptBitmap Make(int w, int h, uint32_t argb, bool transparent = true) {
    ScriptBitmap b;
    EXPECT_TRUE(render::MakeScriptBitmap(w, h, transparent, argb, &b));
    return b;
}

uint32_t Get(const ScriptBitmap& b, int x, int y) {
    return render::FromStored(b.At(x, y));
}

int Count(const ScriptBitmap& b, uint32_t argb) {
    int n = 0;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            n += Get(b, x, y) == argb;
    return n;
}

TEST(BitmapOps, SizeLimitIsFlash8s) {
    const struct {
        double w, h;
        bool ok;
    } rows[] = {{1, 1, true},   {2880, 2880, true}, {2881, 1, false}, {1, 2881, false},
                {0, 10, false}, {10, 0, false},     {-1, 5, false},   {0.5, 5, false}};
    for (const auto& r : rows)
        EXPECT_EQ(render::ScriptBitmapSizeAllowed(r.w, r.h), r.ok) << r.w << "x" << r.h;
}

TEST(BitmapOps, StoredColoursRoundTrip) {
    const struct {
        uint32_t in, out;
        bool transparent;
    } rows[] = {{0xFF123456, 0xFF123456, true},
                {0x00FFFFFF, 0x00000000, true}, // nothing survives alpha 0
                {0x80FF0000, 0x80FF0000, true},
                {0x40FFFFFF, 0x40FFFFFF, true},
                {0x00123456, 0xFF123456, false}}; // an opaque bitmap ignores alpha
    for (const auto& r : rows)
        EXPECT_EQ(render::FromStored(render::ToStored(r.in, r.transparent)), r.out)
            << std::hex << r.in;
}

TEST(BitmapOps, FillRectClipsToTheBitmap) {
    const struct {
        IntRect r;
        int filled;
    } rows[] = {{{0, 0, 10, 10}, 100}, {{-5, -5, 10, 10}, 25},       {{8, 8, 10, 10}, 4},
                {{3, 3, 0, 5}, 0},     {{3, 3, -4, 5}, 0},           {{10, 0, 5, 5}, 0},
                {{-20, -20, 5, 5}, 0}, {{2147483000, 0, 2000, 2}, 0}};
    for (const auto& r : rows) {
        ScriptBitmap b = Make(10, 10, 0);
        render::FillRect(&b, r.r, 0xFFFF0000);
        EXPECT_EQ(Count(b, 0xFFFF0000), r.filled) << r.r.x << "," << r.r.y;
    }
}

TEST(BitmapOps, CopyPixelsClipsSourceAndDestination) {
    const struct {
        IntRect r;
        int dx, dy, copied;
    } rows[] = {{{0, 0, 4, 4}, 0, 0, 16},  {{0, 0, 4, 4}, 8, 8, 4}, {{0, 0, 4, 4}, -2, -2, 4},
                {{-2, -2, 4, 4}, 0, 0, 4}, {{2, 2, 4, 4}, 0, 0, 4}, {{0, 0, 0, 4}, 0, 0, 0},
                {{0, 0, 4, 4}, 10, 0, 0},  {{0, 0, 4, 4}, -4, 0, 0}};
    for (const auto& r : rows) {
        ScriptBitmap src = Make(4, 4, 0xFF00FF00), dst = Make(10, 10, 0);
        render::CopyPixels(&dst, src, r.r, r.dx, r.dy, false);
        EXPECT_EQ(Count(dst, 0xFF00FF00), r.copied) << r.r.x << " to " << r.dx << "," << r.dy;
    }
}

TEST(BitmapOps, CopyOntoItselfOverlapping) {
    ScriptBitmap b = Make(6, 1, 0);
    for (int x = 0; x < 6; ++x)
        b.At(x, 0) = render::ToStored(0xFF000000u | uint32_t(x), true);
    render::CopyPixels(&b, b, IntRect{0, 0, 4, 1}, 2, 0, false);
    const uint32_t want[] = {0, 1, 0, 1, 2, 3};
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(Get(b, x, 0) & 255, want[x]) << x;
}

TEST(BitmapOps, ScrollMovesAndKeepsWhatIsUncovered) {
    ScriptBitmap b = Make(4, 1, 0);
    for (int x = 0; x < 4; ++x)
        b.At(x, 0) = render::ToStored(0xFF000000u | uint32_t(x + 1), true);
    render::Scroll(&b, -1, 0);
    const uint32_t want[] = {2, 3, 4, 4};
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(Get(b, x, 0) & 255, want[x]) << x;
    render::Scroll(&b, 10, 0); // past the bitmap: nothing moves
    EXPECT_EQ(Get(b, 0, 0) & 255, 2u);
}

TEST(BitmapOps, FloodFillStopsAtOtherColours) {
    ScriptBitmap b = Make(5, 5, 0xFFFFFFFF);
    render::FillRect(&b, IntRect{2, 0, 1, 5}, 0xFF000000); // a wall
    EXPECT_TRUE(render::FloodFill(&b, 0, 0, 0xFFFF0000, nullptr));
    EXPECT_EQ(Count(b, 0xFFFF0000), 10);
    EXPECT_FALSE(render::FloodFill(&b, 0, 0, 0xFFFF0000, nullptr)); // the same colour
    EXPECT_FALSE(render::FloodFill(&b, -1, 0, 0xFF00FF00, nullptr));
    EXPECT_FALSE(render::FloodFill(&b, 5, 0, 0xFF00FF00, nullptr));
}

TEST(BitmapOps, ThresholdCountsAndCopies) {
    ScriptBitmap src = Make(4, 1, 0);
    for (int x = 0; x < 4; ++x)
        src.At(x, 0) = render::ToStored(0xFF000000u | uint32_t(x * 0x40), true);
    const struct {
        render::Compare test;
        uint32_t threshold;
        int hits;
    } rows[] = {{render::Compare::Less, 0x80, 2},    {render::Compare::LessEqual, 0x80, 3},
                {render::Compare::Greater, 0x80, 1}, {render::Compare::GreaterEqual, 0, 4},
                {render::Compare::Equal, 0x40, 1},   {render::Compare::NotEqual, 0x40, 3}};
    for (const auto& r : rows) {
        ScriptBitmap dst = Make(4, 1, 0);
        EXPECT_EQ(render::Threshold(&dst, src, IntRect{0, 0, 4, 1}, 0, 0, r.test, r.threshold,
                                    0xFFFF0000, 0xFF, true, nullptr),
                  r.hits);
        EXPECT_EQ(Count(dst, 0xFFFF0000), r.hits);
    }
}

TEST(BitmapOps, ColorBoundsAndCompare) {
    ScriptBitmap b = Make(10, 8, 0xFFFFFFFF);
    render::FillRect(&b, IntRect{2, 3, 4, 2}, 0xFF0000FF);
    const IntRect r = render::ColorBounds(b, 0xFFFFFFFF, 0xFF0000FF, true);
    EXPECT_EQ(r.x, 2);
    EXPECT_EQ(r.y, 3);
    EXPECT_EQ(r.w, 4);
    EXPECT_EQ(r.h, 2);
    EXPECT_TRUE(render::ColorBounds(b, 0xFFFFFFFF, 0xFF00FF00, true).Empty());
    ScriptBitmap diff;
    EXPECT_EQ(render::CompareBitmaps(b, b, &diff), 0);
    EXPECT_EQ(render::CompareBitmaps(b, Make(9, 8, 0), &diff), -3);
    EXPECT_EQ(render::CompareBitmaps(b, Make(10, 7, 0), &diff), -4);
    EXPECT_EQ(render::CompareBitmaps(b, Make(10, 8, 0xFFFFFF00), &diff), 1);
    EXPECT_EQ(Get(diff, 0, 0), 0xFF0000FFu); // 0xFF - 0x00 in blue
}

// Flash's noise uses the minimal standard generator: with seed 1 its first values are
// 16807 and 282475249, so the first grey pixel is 16807 % 256 = 0x A7.
TEST(BitmapOps, NoiseFollowsTheMinimalStandardGenerator) {
    ScriptBitmap b = Make(2, 1, 0, false);
    render::Noise(&b, 1, 0, 255, 7, true);
    EXPECT_EQ(Get(b, 0, 0), 0xFF000000u | 0xA7A7A7u);
    EXPECT_EQ(Get(b, 1, 0) & 255, 282475249u % 256);
    // Seeds at and below 0 start from 1 - seed.
    ScriptBitmap c = Make(1, 1, 0, false);
    render::Noise(&c, 0, 0, 255, 7, true);
    EXPECT_EQ(Get(c, 0, 0), Get(b, 0, 0));
}

TEST(BitmapOps, PerlinNoiseStopsWhenTheBudgetEnds) {
    ScriptBitmap b = Make(64, 64, 0xFF000000, false);
    int rows = 0;
    render::PerlinNoise(&b, 10, 10, 2, 1, false, true, 7, false, {},
                        [&rows] { return ++rows < 5; });
    EXPECT_EQ(rows, 5);
    EXPECT_NE(Get(b, 10, 3), 0xFF000000u);  // the rows done changed
    EXPECT_EQ(Get(b, 10, 40), 0xFF000000u); // the rest did not
}

// Perlin noise's seeds at and below 0 also start from 1 - seed.
TEST(BitmapOps, PerlinNoiseSeedsAtAndBelowZero) {
    const int pairs[][2] = {{0, 1}, {-5, 6}};
    for (const auto& p : pairs) {
        ScriptBitmap a = Make(8, 8, 0xFF000000, false), b = Make(8, 8, 0xFF000000, false);
        render::PerlinNoise(&a, 4, 4, 1, p[0], false, true, 7, false, {}, [] { return true; });
        render::PerlinNoise(&b, 4, 4, 1, p[1], false, true, 7, false, {}, [] { return true; });
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                ASSERT_EQ(Get(a, x, y), Get(b, x, y)) << p[0] << " at " << x << "," << y;
    }
}

TEST(BitmapOps, MergeAndPaletteMap) {
    ScriptBitmap dst = Make(1, 1, 0xFF000000), src = Make(1, 1, 0xFFFFFFFF);
    const int half[4] = {128, 0, 256, 256};
    render::Merge(&dst, src, IntRect{0, 0, 1, 1}, 0, 0, half);
    EXPECT_EQ(Get(dst, 0, 0), 0xFF7F00FFu);
    uint32_t red[256];
    for (int i = 0; i < 256; ++i)
        red[i] = uint32_t(255 - i) << 16;
    const uint32_t* tables[4] = {red, nullptr, nullptr, nullptr};
    render::PaletteMap(&dst, dst, IntRect{0, 0, 1, 1}, 0, 0, tables);
    EXPECT_EQ(Get(dst, 0, 0), 0xFF8000FFu);
}

} // namespace

namespace {

// Each channel on its own through colourTransform, at and past either end of its range.
TEST(BitmapOps, ColorTransformEachChannel) {
    const struct {
        int channel; // red, green, blue
        double mul, add;
        uint32_t out;
    } rows[] = {
        {0, 1, 0, 0xFF804020},    {0, 0.5, 0, 0xFF404020}, {1, 1, 191, 0xFF80FF20},
        {1, 1, 192, 0xFF80FF20},  {2, 1, -32, 0xFF804000}, {2, 1, -33, 0xFF804000},
        {2, 0.99, 0, 0xFF80401F}, // rounds down
    };
    for (const auto& r : rows) {
        ScriptBitmap b = Make(2, 1, 0xFF804020);
        render::ColorMix mix;
        mix.mul[r.channel] = r.mul;
        mix.add[r.channel] = r.add;
        render::ColorTransformRect(&b, IntRect{0, 0, 1, 1}, mix);
        EXPECT_EQ(Get(b, 0, 0), r.out) << r.channel << " " << r.mul << " " << r.add;
        EXPECT_EQ(Get(b, 1, 0), 0xFF804020u) << "outside the rectangle";
    }
}

} // namespace

namespace {

// merge: each channel mixed by its own multiplier, at either end, between, and held to 0-256
// past them; the other channels left as they were.
TEST(BitmapOps, MergeEachChannel) {
    const struct {
        int mult[4]; // red, green, blue, alpha
        uint32_t dst, src, out;
    } rows[] = {
        {{256, 0, 0, 0}, 0xFF102030, 0xFF80C0E0, 0xFF802030},
        {{0, 0, 0, 0}, 0xFF102030, 0xFF80C0E0, 0xFF102030},
        {{128, 0, 0, 0}, 0xFF102030, 0xFF80C0E0, 0xFF482030},
        {{257, 0, 0, 0}, 0xFF102030, 0xFF80C0E0, 0xFF802030},
        {{-1, 0, 0, 0}, 0xFF102030, 0xFF80C0E0, 0xFF102030},
        {{0, 256, 0, 0}, 0xFF102030, 0xFF80C0E0, 0xFF10C030},
        {{0, 64, 0, 0}, 0xFF102030, 0xFF80C0E0, 0xFF104830},
        {{0, 0, 256, 0}, 0xFF102030, 0xFF80C0E0, 0xFF1020E0},
        {{0, 0, 0, 256}, 0x40FFFFFF, 0xFFFFFFFF, 0xFFFFFFFF},
        {{0, 0, 0, 128}, 0x40FFFFFF, 0xFFFFFFFF, 0x9FFFFFFF},
        {{0, 0, 0, 0}, 0x40FFFFFF, 0xFFFFFFFF, 0x40FFFFFF},
    };
    for (const auto& r : rows) {
        ScriptBitmap dst = Make(2, 1, r.dst), src = Make(1, 1, r.src);
        render::Merge(&dst, src, IntRect{0, 0, 1, 1}, 0, 0, r.mult);
        EXPECT_EQ(Get(dst, 0, 0), r.out)
            << std::hex << r.dst << " by " << std::dec << r.mult[0] << "," << r.mult[1] << ","
            << r.mult[2] << "," << r.mult[3];
        EXPECT_EQ(Get(dst, 1, 0), r.dst) << "the pixel beside the rectangle";
    }
}

// copyPixels: a translucent source replaces what it covers unless its alpha is merged, when
// what lay under it shows through; an opaque source's alpha merges to a plain copy.
TEST(BitmapOps, CopyPixelsMergesAlphaOnlyWhenAsked) {
    const struct {
        uint32_t src;
        bool srcTransparent, mergeAlpha, showsThrough;
    } rows[] = {
        {0x80FF0000, true, false, false},
        {0x80FF0000, true, true, true},
        {0xFF00FF00, false, true, false},
        {0xFF00FF00, false, false, false},
    };
    for (const auto& r : rows) {
        ScriptBitmap dst = Make(2, 1, 0xFF0000FF), src = Make(1, 1, r.src, r.srcTransparent);
        render::CopyPixels(&dst, src, IntRect{0, 0, 1, 1}, 0, 0, r.mergeAlpha);
        const uint32_t p = Get(dst, 0, 0);
        if (r.showsThrough) {
            EXPECT_GT(p >> 24, r.src >> 24) << "under it, opaque blue";
            EXPECT_GT(p & 255, 0u) << "blue shows through";
            EXPECT_GT((p >> 16) & 255, 0u) << "the red over it";
        } else {
            EXPECT_EQ(p, r.src) << std::hex << r.src << (r.mergeAlpha ? " merged" : "");
        }
        EXPECT_EQ(Get(dst, 1, 0), 0xFF0000FFu) << "the pixel beside the rectangle";
    }
}

// noise: each channel asked for gets the range (one value here, so the pixel is known), the
// rest 0; alpha only on a transparent bitmap, else opaque; gray puts one value in all three;
// the range held to 0-255.
TEST(BitmapOps, NoiseWritesTheChannelsAskedFor) {
    const struct {
        int channels, low, high;
        bool transparent, gray;
        uint32_t out;
    } rows[] = {
        {1, 0x40, 0x40, false, false, 0xFF400000}, {2, 0x40, 0x40, false, false, 0xFF004000},
        {4, 0x40, 0x40, false, false, 0xFF000040}, {7, 0x40, 0x40, false, false, 0xFF404040},
        {8, 0x40, 0x40, true, false, 0x40000000},  {8, 0x40, 0x40, false, false, 0xFF000000},
        {1, 0x40, 0x40, false, true, 0xFF404040},  {15, 300, 300, true, false, 0xFFFFFFFF},
        {7, -1, -1, false, false, 0xFF000000},     {7, 0x40, 0x40, true, false, 0xFF404040},
    };
    for (const auto& r : rows) {
        ScriptBitmap b = Make(2, 1, 0x12345678, r.transparent);
        render::Noise(&b, 5, r.low, r.high, r.channels, r.gray);
        for (int x = 0; x < 2; ++x) {
            EXPECT_EQ(Get(b, x, 0), r.out)
                << "channels " << r.channels << ", " << r.low << "-" << r.high
                << (r.transparent ? ", transparent" : "") << (r.gray ? ", gray" : "");
        }
    }
}

// compare: colours that differ give their differences, wrapped, opaque; alpha alone gives
// white at the alpha's difference; the result keeps its transparency either way.
TEST(BitmapOps, CompareGivesDifferences) {
    const struct {
        uint32_t a, b, diff;
    } rows[] = {
        {0xFF102030, 0xFF204030, 0xFFF0E000},
        {0xFF204030, 0xFF102030, 0xFF102000},
        {0xFFFFFFFF, 0x80FFFFFF, 0x7FFFFFFF},
        {0x80FFFFFF, 0xFFFFFFFF, 0x81FFFFFF},
    };
    for (const auto& r : rows) {
        ScriptBitmap diff;
        ASSERT_EQ(render::CompareBitmaps(Make(1, 1, r.a), Make(1, 1, r.b), &diff), 1)
            << std::hex << r.a << " against " << r.b;
        EXPECT_EQ(Get(diff, 0, 0), r.diff) << std::hex << r.a << " against " << r.b;
        EXPECT_TRUE(diff.transparent);
    }
}

} // namespace
