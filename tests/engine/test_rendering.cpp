// Pictures held against the reference player's: each movie drawn at a frame and scored as
// the project's compare tool scores it.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "player/core/engine.h"
#include "tools/render/device_font.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb_image.h>
#undef STB_IMAGE_IMPLEMENTATION

#include "tests/engine/pictures.h"

namespace {

struct Case {
    const char* dir; // "own" (tests/engine/movies) or "shared"
    const char* movie;
    int frame;
    double lowest; // content score accepted
};

// Our movies cover each feature group; the shared ones are the real movies without
// scripts, and those whose device text the packaged font draws; then scripted ones.
const Case kCases[] = {
    {"own", "shapes", 1, 0.97},
    {"own", "gradients", 1, 0.97},
    {"own", "lines", 1, 0.88},
    {"own", "bitmaps", 1, 0.97},
    {"own", "bitmaps2", 1, 0.97},
    {"own", "display", 3, 0.97},
    {"own", "text", 1, 0.93},
    {"own", "edittext", 1, 0.53},
    {"own", "fonts", 1, 0.97},
    {"own", "effects", 1, 0.95},
    {"own", "script_clips", 3, 0.97},
    {"own", "script_mask", 1, 0.95},
    {"own", "drawing", 1, 0.97},
    {"own", "flash8_bitmap", 1, 0.98},       // BitmapData: fills, noise, Perlin noise, fills
    {"own", "flash8_filters_tags", 1, 0.97}, // every filter the reference player draws
    {"own", "text_script", 1, 0.55},
    {"shared", "swf_definebits_jpegtables", 1, 0.97},
    {"shared", "swf_definebutton", 1, 0.97},
    {"shared", "swf_definefont2_edittext", 1, 0.90},
    {"shared", "swf_definemorphshape_f15", 15, 0.85},
    {"shared", "swf_definebutton2", 1, 0.95},
    {"shared", "visual_edittext_bounds_vs_position", 1, 0.97},
    {"shared", "swf_defineedittext", 1, 0.97},
    {"shared", "visual_edittext_border_basic", 1, 0.99}, // scripts colour two borders
    // scripted
    {"shared", "avm1_export_assets", 1, 0.97},
    {"shared", "shumway_timeline_as2_5", 1, 0.97},
    {"shared", "avm1_stage_object_properties_swf6", 1, 0.97},
    {"shared", "avm1_mask_with_drawing", 1, 0.97},
};

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string Dir(const Case& c) {
    return std::string(c.dir) == "own" ? FLICKWELL_OWN_MOVIES_DIR : FLICKWELL_MOVIES_DIR;
}

// Pixels as 0xRRGGBB.
std::vector<uint32_t> Render(const std::vector<uint8_t>& movie, int frame, int* w, int* h) {
    engine::Player player;
    if (player.Load(movie.data(), movie.size()) != engine::LoadStatus::Ok) {
        return {};
    }
    flickwell::InstallDeviceFont(&player);
    *w = player.StageWidthTwips() / 20;
    *h = player.StageHeightTwips() / 20;
    player.Play(0);
    for (int f = 1; f < frame; ++f) {
        player.Tick(f * player.FrameIntervalMs());
    }
    std::vector<uint32_t> pixels(size_t(*w) * *h);
    player.Draw(engine::Surface{pixels.data(), *w, *h, *w}, engine::Box{0, 0, *w, *h});
    for (uint32_t& p : pixels) {
        p &= 0xFFFFFF;
    }
    return pixels;
}

TEST(Rendering, MatchesReferencePictures) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.movie);
        const std::string base = Dir(c) + "/" + c.movie;
        int w = 0, h = 0;
        const std::vector<uint32_t> ours = Render(ReadFile(base + ".swf"), c.frame, &w, &h);
        ASSERT_FALSE(ours.empty());
        int rw = 0, rh = 0;
        const std::vector<uint32_t> ref = enginetest::LoadPicture(base + ".ruffle.png", &rw, &rh);
        ASSERT_FALSE(ref.empty());
        ASSERT_EQ(w, rw);
        ASSERT_EQ(h, rh);
        EXPECT_GE(enginetest::ContentScore(ours, ref), c.lowest);
    }
}

// LineStyle2's scale flags: through a threefold scale the flagged line keeps its three
// pixels while its unflagged twin grows to nine. (The reference player scales both, so
// this is held against the format rather than a picture.)
TEST(Rendering, NonScalingLinesKeepTheirWidth) {
    int w = 0, h = 0;
    const std::vector<uint32_t> pixels =
        Render(ReadFile(FLICKWELL_OWN_MOVIES_DIR "/scaled_lines.swf"), 1, &w, &h);
    ASSERT_EQ(w, 240);
    int blue = 0, red = 0;
    for (int y = 0; y < h; ++y) {
        const uint32_t p = pixels[size_t(y) * w + 100];
        blue += p == 0x0000B4u;
        red += p == 0xB40000u;
    }
    EXPECT_NEAR(blue, 3, 1);
    EXPECT_NEAR(red, 9, 1);
}

// A shape cut short, a bitmap too large to decode, a sprite that places itself at 200
// depths and bitmap fills naming no bitmap: the damaged definitions are skipped, the bomb
// stops at the object limit, and the intact square still shows.
TEST(Rendering, DamagedDefinitionsLeaveTheRestPlaying) {
    int w = 0, h = 0;
    const std::vector<uint32_t> pixels =
        Render(ReadFile(FLICKWELL_OWN_MOVIES_DIR "/damaged.swf"), 2, &w, &h);
    ASSERT_EQ(w, 240);
    EXPECT_EQ(pixels[size_t(60) * w + 60], 0x00A000u);
}

// A button's colour transform tints what it shows; a transform tag naming no button,
// holding no transform or cut short changes nothing.
TEST(Rendering, ButtonColourTransform) {
    int w = 0, h = 0;
    const std::vector<uint32_t> pixels =
        Render(ReadFile(FLICKWELL_OWN_MOVIES_DIR "/button_cxform.swf"), 1, &w, &h);
    ASSERT_EQ(w, 190);
    EXPECT_EQ(pixels[size_t(35) * w + 35], 0x0000C8u) << "tinted";
    EXPECT_EQ(pixels[size_t(35) * w + 95], 0xDC0000u) << "as drawn";
    EXPECT_EQ(pixels[size_t(35) * w + 155], 0xDC0000u) << "cut short";
}

// Text pixels a whole-picture score cannot see: an underline along its run, glyphs cut at
// the field's edge, and accented and Cyrillic letters drawn rather than left out.
TEST(Rendering, TextPixelsOneByOne) {
    int w = 0, h = 0;
    const std::vector<uint32_t> pixels =
        Render(ReadFile(FLICKWELL_OWN_MOVIES_DIR "/text_pixels.swf"), 1, &w, &h);
    ASSERT_EQ(w, 120);
    auto ink = [&](int x, int y) { return (pixels[size_t(y) * w + x] & 0xFF) < 0x80; };
    auto inkIn = [&](int x0, int y0, int x1, int y1) {
        int n = 0;
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                n += ink(x, y);
            }
        }
        return n;
    };
    // The underline: one row below "ab" inked across both letters.
    int longest = 0;
    for (int y = 10; y < 34; ++y) {
        int run = 0;
        for (int x = 10; x < 60; ++x) {
            run = ink(x, y) ? run + 1 : 0;
            longest = std::max(longest, run);
        }
    }
    EXPECT_GE(longest, 14);
    // W after W up to the box's right side (x = 50), nothing past it.
    EXPECT_GT(inkIn(12, 40, 50, 64), 40);
    EXPECT_EQ(inkIn(52, 40, 100, 64), 0);
    // "e", its accented twin with more ink, and a Cyrillic capital.
    const int plain = inkIn(10, 70, 38, 94), accented = inkIn(40, 70, 68, 94);
    EXPECT_GT(plain, 5);
    EXPECT_GT(accented, plain);
    EXPECT_GT(inkIn(70, 70, 98, 94), plain);
}

} // namespace

// ---- Flash 8, pixel by pixel where a whole-picture score cannot see a local fault ----

uint32_t Channel(uint32_t p, int shift) {
    return (p >> shift) & 255;
}

// Filters assigned by script (flash8_filters.swf): a blurred L keeps its wide arm and
// spreads past its bounds; a drop shadow lies down-right; a gradient glow takes its ramp's
// colours outside the shape; difference blends only where the object is; an erasing child
// clears its layer, not the stage.
TEST(Rendering, ScriptFiltersAndBlendModes) {
    int w = 0, h = 0;
    const std::vector<uint32_t> p =
        Render(ReadFile(FLICKWELL_OWN_MOVIES_DIR "/flash8_filters.swf"), 1, &w, &h);
    ASSERT_EQ(w, 240);
    auto at = [&](int x, int y) { return p[size_t(y) * w + x]; };
    EXPECT_GT(Channel(at(35, 17), 16), 180u) << "the blurred wide arm";
    EXPECT_LT(Channel(at(35, 17), 8), 160u);
    EXPECT_LT(Channel(at(43, 17), 8), 250u) << "the blur reaches past the shape's box";
    EXPECT_EQ(at(60, 60), 0xFFFFFFu) << "and not far";
    const uint32_t shadow = at(102, 20);
    EXPECT_LT(Channel(shadow, 16), 200u) << "the drop shadow, down and right";
    EXPECT_LT(Channel(shadow, 0), 200u) << "in black, not the shape's blue";
    const uint32_t ramp = at(41, 77);
    EXPECT_GT(Channel(ramp, 16), 200u) << "the gradient glow outside the shape";
    EXPECT_GT(Channel(ramp, 8), Channel(ramp, 0) + 20) << "towards its yellow end";
    EXPECT_EQ(at(150, 150), 0x28AA3Cu) << "the bar outside the multiplied L";
    EXPECT_NEAR(int(Channel(at(185, 155), 8)), 90, 3) << "difference of blue on green";
    EXPECT_NEAR(int(Channel(at(205, 145), 16)), 215, 3) << "difference of blue on white";
    EXPECT_EQ(at(108, 153), 0xFFFFFFu) << "erased from its layer down to the stage";
    EXPECT_EQ(at(125, 160), 0x28AA3Cu) << "the layer beside what was erased";
}

// MovieClip.transform on a stage wider than tall (flash8_transform.swf): a skewed matrix,
// a negative red multiplier with an offset, and a mask at alpha 0 that still masks.
TEST(Rendering, TransformNegativeMultipliersAndInvisibleMask) {
    int w = 0, h = 0;
    const std::vector<uint32_t> p =
        Render(ReadFile(FLICKWELL_OWN_MOVIES_DIR "/flash8_transform.swf"), 1, &w, &h);
    ASSERT_EQ(w, 300);
    ASSERT_EQ(h, 90);
    auto at = [&](int x, int y) { return p[size_t(y) * w + x]; };
    const struct {
        int x, y;
        uint32_t rgb;
        const char* what;
    } rows[] = {{30, 42, 0xC83C1E, "skewed square, middle"},
                {52, 28, 0xC83C1E, "pushed right by the skew at the top"},
                {8, 55, 0xC83C1E, "pulled left at the bottom"},
                {12, 12, 0xFFFFFF, "where the unskewed square would be"},
                {90, 30, 0x373C37, "red -1 x 200 + 255, green kept, blue 0.5 x 30 + 40"},
                {220, 30, 0xC83C1E, "inside the invisible mask"},
                {220, 17, 0xFFFFFF, "outside it"}};
    for (const auto& r : rows) {
        const uint32_t got = at(r.x, r.y);
        for (int s = 0; s < 24; s += 8) {
            EXPECT_NEAR(int(Channel(got, s)), int(Channel(r.rgb, s)), 8) << r.what;
        }
    }
}

// A 4 x 4 checker attached with smoothing and stretched 8 x 4 (flash8_bitmap.swf) keeps
// its smoothing along the stretched axis: greys between the cells.
TEST(Rendering, StretchedBitmapKeepsItsSmoothing) {
    int w = 0, h = 0;
    const std::vector<uint32_t> p =
        Render(ReadFile(FLICKWELL_OWN_MOVIES_DIR "/flash8_bitmap.swf"), 1, &w, &h);
    ASSERT_EQ(w, 240);
    int greys = 0;
    for (int x = 12; x < 40; ++x) {
        const uint32_t v = Channel(p[size_t(74) * w + x], 0);
        greys += v > 40 && v < 215;
    }
    EXPECT_GE(greys, 4);
    EXPECT_GT(Channel(p[size_t(74) * w + 12], 0), 245u) << "a white cell's own middle";
}

// scale9Grid (flash8_scale9.swf): a 100-pixel square with a 10-pixel frame scaled 2 x 0.5
// keeps its frame 10 pixels wide on every side; a red square in a sprite inside it is
// scaled as it stands, to 90..130 x 30..40.
TEST(Rendering, Scale9GridKeepsTheFrame) {
    int w = 0, h = 0;
    const std::vector<uint32_t> p =
        Render(ReadFile(FLICKWELL_OWN_MOVIES_DIR "/flash8_scale9.swf"), 1, &w, &h);
    ASSERT_EQ(w, 240);
    const struct {
        int x, y;
        uint32_t rgb;
    } rows[] = {{15, 35, 0x000000},  {25, 35, 0xFFFFFF},  {100, 15, 0x000000}, {100, 25, 0xFFFFFF},
                {205, 35, 0x000000}, {195, 35, 0xFFFFFF}, {100, 55, 0x000000}, {100, 65, 0xFFFFFF},
                {129, 35, 0xFF0000}, {131, 35, 0xFFFFFF}};
    for (const auto& r : rows) {
        EXPECT_EQ(p[size_t(r.y) * w + r.x], r.rgb) << r.x << "," << r.y;
    }
}

// A line filled with a repeating two-pixel bitmap (flash8_linefill.swf): the bitmap's
// colours along the line, its width 30 pixels, nothing past its ends.
TEST(Rendering, BitmapFilledLine) {
    int w = 0, h = 0;
    const std::vector<uint32_t> p =
        Render(ReadFile(FLICKWELL_OWN_MOVIES_DIR "/flash8_linefill.swf"), 1, &w, &h);
    ASSERT_EQ(w, 240);
    const struct {
        int x, y;
        uint32_t rgb;
    } rows[] = {{30, 30, 0xDC0000}, {70, 30, 0x0000DC}, {120, 30, 0xDC0000},
                {30, 17, 0xDC0000}, {30, 10, 0xFFFFFF}, {5, 30, 0xFFFFFF}};
    for (const auto& r : rows) {
        EXPECT_EQ(p[size_t(r.y) * w + r.x], r.rgb) << r.x << "," << r.y;
    }
}
