// What scripts draw: drawing calls turned into a shape and rendered under a clip's objects,
// checked at sample pixels on a small surface.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "player/core/render/renderer.h"

namespace {

const int kSize = 40;

// Calls in a compact form, ';' between them: C clear, S width rgb alpha (lineStyle,
// width -1 for none), F rgb alpha, G l|r a b c d tx ty rgb:alpha:ratio... (gradient),
// M x y, L x y, Q cx cy x y, E (endFill).
std::vector<timeline::DrawOp> Parse(const std::string& text) {
    std::vector<timeline::DrawOp> ops;
    std::string all = text;
    std::replace(all.begin(), all.end(), '\n', ';');
    std::istringstream calls(all);
    std::string call;
    while (std::getline(calls, call, ';')) {
        std::istringstream in(call);
        std::string k, hex;
        in >> k;
        timeline::DrawOp op;
        if (k == "C") {
            op.kind = timeline::DrawOp::Clear;
        } else if (k == "S") {
            op.kind = timeline::DrawOp::LineStyle;
            in >> op.width >> hex >> op.alpha;
        } else if (k == "F") {
            op.kind = timeline::DrawOp::BeginFill;
            in >> hex >> op.alpha;
        } else if (k == "G") {
            op.kind = timeline::DrawOp::BeginGradientFill;
            std::string type, stop;
            in >> type;
            op.radial = type == "r";
            for (double& m : op.matrix) {
                in >> m;
            }
            while (in >> stop) {
                char* end = nullptr;
                op.colors.push_back(uint32_t(std::strtoul(stop.c_str(), &end, 16)));
                op.alphas.push_back(std::strtod(end + 1, &end));
                op.ratios.push_back(std::strtod(end + 1, &end));
            }
        } else if (k == "M" || k == "L") {
            op.kind = k == "M" ? timeline::DrawOp::MoveTo : timeline::DrawOp::LineTo;
            in >> op.x >> op.y;
        } else if (k == "Q") {
            op.kind = timeline::DrawOp::CurveTo;
            in >> op.cx >> op.cy >> op.x >> op.y;
        } else if (k == "E") {
            op.kind = timeline::DrawOp::EndFill;
        } else {
            continue;
        }
        op.rgb = hex.empty() ? 0 : uint32_t(std::strtoul(hex.c_str(), nullptr, 16));
        ops.push_back(op);
    }
    return ops;
}

// Draws `root` on a white surface; pixels as 0xRRGGBB.
std::vector<uint32_t> Render(render::Renderer* renderer, const timeline::Clip& root,
                             int width = kSize, int height = kSize) {
    static const timeline::LoadedMovie movie;
    std::vector<uint32_t> pixels(size_t(width) * height, 0xFFFFFFFF);
    render::Canvas canvas;
    canvas.pixels = pixels.data();
    canvas.width = canvas.stride = width;
    canvas.height = height;
    render::Transform view;
    view.a = view.d = 1.0 / 20;
    renderer->Draw(movie, root, canvas, view, 1);
    for (uint32_t& p : pixels) {
        p &= 0xFFFFFF;
    }
    return pixels;
}

// "x y rrggbb" samples, ';' between them, each channel within 24 levels.
void ExpectPixels(const std::vector<uint32_t>& pixels, const std::string& samples,
                  const std::string& name, int width = kSize) {
    std::istringstream list(samples);
    std::string sample;
    while (std::getline(list, sample, ';')) {
        std::istringstream in(sample);
        int x = 0, y = 0;
        std::string hex;
        in >> x >> y >> hex;
        const uint32_t want = uint32_t(std::strtoul(hex.c_str(), nullptr, 16));
        const uint32_t got = pixels[size_t(y) * width + x];
        bool near = true;
        for (int s = 0; s < 24; s += 8) {
            near = near && std::abs(int((got >> s) & 255) - int((want >> s) & 255)) <= 24;
        }
        EXPECT_TRUE(near) << name << " at " << x << "," << y << ": " << std::hex << got
                          << " instead of " << want;
    }
}

std::unique_ptr<timeline::Drawing> Drawn(const std::string& calls) {
    std::unique_ptr<timeline::Drawing> d(new timeline::Drawing);
    for (const timeline::DrawOp& op : Parse(calls)) {
        d->Apply(op);
    }
    return d;
}

// A sprite whose drawing masks a sibling's, moved and tinted by its placement, as a script
// drawing a mask with createEmptyMovieClip and setMask would.
TEST(Drawing, ClipsDrawWithTheirTransformColourAndMasks) {
    timeline::Character sprite;
    sprite.kind = timeline::Kind::Sprite;
    timeline::Clip root;
    timeline::DisplayObject& mask = root.objects[1];
    mask.depth = 1;
    mask.clipDepth = 2;
    mask.character = &sprite;
    mask.clip.reset(new timeline::Clip);
    mask.clip->drawing = Drawn("F ffffff 100; M 0 0; L 20 0; L 20 20; L 0 20; E");
    mask.matrix.translateX = mask.matrix.translateY = 200; // 10 px
    timeline::DisplayObject& masked = root.objects[2];
    masked.depth = 2;
    masked.character = &sprite;
    masked.clip.reset(new timeline::Clip);
    masked.clip->drawing = Drawn("F ff0000 100; M 0 0; L 40 0; L 40 40; L 0 40; E");
    masked.cxform.mulR = 0;
    masked.cxform.addB = 255; // red becomes blue
    render::Renderer renderer;
    ExpectPixels(Render(&renderer, root), "20 20 0000ff; 5 5 ffffff; 35 35 ffffff", "mask");

    // A drawing changed in place is drawn anew, not from what was prepared before.
    masked.clip->drawing->Apply(Parse("C")[0]);
    for (const timeline::DrawOp& op : Parse("F 00ff00 100; M 0 0; L 40 0; L 40 40; L 0 40")) {
        masked.clip->drawing->Apply(op);
    }
    ExpectPixels(Render(&renderer, root), "20 20 00ffff; 5 5 ffffff", "redrawn");
}

// A one-row or one-column bitmap, black then white, for smoothing along one axis.
std::shared_ptr<const swf::Bitmap> BlackWhite(bool across) {
    auto b = std::make_shared<swf::Bitmap>();
    b->width = across ? 2 : 1;
    b->height = across ? 1 : 2;
    b->pixels = {0xFF000000u, 0xFFFFFFFFu};
    return b;
}

// One feature per row, drawn on a small canvas and checked at the pixels it decides.
TEST(Drawing, FeaturesAtTheirPixels) {
    timeline::Character sprite;
    sprite.kind = timeline::Kind::Sprite;
    auto child = [&sprite](timeline::Clip& root, uint16_t depth, const std::string& calls) {
        timeline::DisplayObject& o = root.objects[depth];
        o.depth = depth;
        o.character = &sprite;
        o.clip.reset(new timeline::Clip);
        o.clip->drawing = Drawn(calls);
        return &o;
    };
    auto bitmapFill = [](bool across, double a, double d) {
        timeline::DrawOp op;
        op.kind = timeline::DrawOp::BeginBitmapFill;
        op.bitmap = BlackWhite(across);
        op.matrix[0] = a;
        op.matrix[3] = d;
        op.smooth = true;
        return op;
    };
    const struct {
        const char* name;
        int width, height;
        std::function<void(timeline::Clip&)> build;
        const char* samples;
    } rows[] = {
        // Culling and clipping keep width and height apart.
        {"wide canvas", 60, 20,
         [&](timeline::Clip& r) {
             child(r, 1, "F 00ff00 100; M 45 5; L 55 5; L 55 15; L 45 15; E");
         },
         "50 10 00ff00; 40 10 ffffff; 59 19 ffffff"},
        {"tall canvas", 20, 60,
         [&](timeline::Clip& r) {
             child(r, 1, "F 00ff00 100; M 5 45; L 15 45; L 15 55; L 5 55; E");
         },
         "10 50 00ff00; 10 40 ffffff"},
        // A mask's own alpha does not thin what it shows.
        {"mask at alpha 0", kSize, kSize,
         [&](timeline::Clip& r) {
             timeline::DisplayObject* m =
                 child(r, 1, "F ffffff 100; M 10 10; L 30 10; L 30 30; L 10 30; E");
             m->clipDepth = 2;
             m->cxform.mulA = 0;
             child(r, 2, "F ff0000 100; M 0 0; L 40 0; L 40 40; L 0 40; E");
         },
         "20 20 ff0000; 5 5 ffffff; 35 35 ffffff"},
        // Negative multipliers subtract: 255 - 255, 255 - 0, 128 - 64.
        {"negative colour multipliers", kSize, kSize,
         [&](timeline::Clip& r) {
             timeline::DisplayObject* o =
                 child(r, 1, "F ff0080 100; M 0 0; L 40 0; L 40 40; L 0 40; E");
             o->cxform.mulR = o->cxform.mulG = -256;
             o->cxform.addR = o->cxform.addG = 255;
             o->cxform.mulB = -128;
             o->cxform.addB = 128;
         },
         "20 20 00ff40"},
        // A blurred L keeps both arms: the filter's bounds hold the whole shape.
        {"blurred L", kSize, kSize,
         [&](timeline::Clip& r) {
             timeline::DisplayObject* o =
                 child(r, 1, "F 0000ff 100; M 2 2; L 12 2; L 12 28; L 38 28; L 38 38; L 2 38; E");
             o->filters.emplace_back();
         },
         "7 7 0000ff; 33 33 0000ff; 7 33 0000ff; 25 15 ffffff; 38 20 ffffff"},
        // A bitmap stretched along one axis only is smoothed along it.
        {"bitmap stretched across", kSize, kSize,
         [&](timeline::Clip& r) {
             timeline::DisplayObject* o = child(r, 1, "");
             o->clip->drawing->Apply(bitmapFill(true, 20, 1));
             for (const timeline::DrawOp& op : Parse("M 0 0; L 40 0; L 40 40; L 0 40; E"))
                 o->clip->drawing->Apply(op);
         },
         "20 7 808080; 10 7 000000; 30 33 ffffff"},
        {"bitmap stretched down", kSize, kSize,
         [&](timeline::Clip& r) {
             timeline::DisplayObject* o = child(r, 1, "");
             o->clip->drawing->Apply(bitmapFill(false, 1, 20));
             for (const timeline::DrawOp& op : Parse("M 0 0; L 40 0; L 40 40; L 0 40; E"))
                 o->clip->drawing->Apply(op);
         },
         "7 20 808080; 7 10 000000; 33 30 ffffff"},
    };
    for (const auto& row : rows) {
        timeline::Clip root;
        row.build(root);
        render::Renderer renderer;
        ExpectPixels(Render(&renderer, root, row.width, row.height), row.samples, row.name,
                     row.width);
    }
}

TEST(Drawing, BoundsAndLimits) {
    // Line half widths and a curve's turning point count; a fill alone adds no margin.
    auto d = Drawn("S 10 000000 100; M 0 0; L 100 0; S -1; F 0 100; M 0 0; Q 50 100 100 0; E");
    const swf::Rect& b = d->Bounds();
    EXPECT_EQ(b.xMin, -100);
    EXPECT_EQ(b.xMax, 2100);
    EXPECT_EQ(b.yMin, -100);
    EXPECT_EQ(b.yMax, 1000);
    EXPECT_TRUE(Drawn("S 1 0 100; F 0 100; M 5 5; E; S -1")->Empty());
    // Nothing drawn hits nothing, not even where the pen moved to.
    EXPECT_FALSE(Drawn("S 1 0 100; F 0 100; M 5 5; E; S -1")->Contains(100, 100));
    EXPECT_FALSE(timeline::Drawing().Contains(0, 0));

    // Shape hit tests (twips): the hole of an even-odd fill, a curve's inside, a thick line;
    // the drawing's left edge (the line's round cap's tip) and top edge (the fill's) count.
    auto hit = Drawn("F 0 100; M 0 0; L 30 0; L 30 30; L 0 30; M 10 10; L 20 10; L 20 20; "
                     "L 10 20; E; F 0 100; M 40 30; Q 50 10 60 30; E; S 4 0 100; M 0 40; L 30 40");
    const int points[][3] = {{100, 100, 1}, {300, 300, 0}, {1000, 500, 1}, {1000, 420, 1},
                             {900, 250, 0}, {300, 830, 1}, {300, 850, 0},  {700, 700, 0},
                             {-40, 800, 1}, {-41, 800, 0}, {300, 0, 1},    {300, -1, 0}};
    for (const auto& p : points) {
        EXPECT_EQ(hit->Contains(p[0], p[1]), p[2] != 0) << p[0] << "," << p[1];
    }

    // Style calls that draw nothing leave no path behind, however many come.
    timeline::Drawing styled;
    const auto line = Parse("S 1 000000 100")[0], fill = Parse("F 0 100")[0];
    for (size_t i = 0; i < timeline::kMaxDrawingItems + 10; ++i)
        styled.Apply(i % 2 ? line : fill);
    EXPECT_TRUE(styled.Apply(Parse("M 0 0")[0]));
    EXPECT_TRUE(styled.Apply(Parse("L 10 10")[0])) << "style calls filled the drawing";

    // A drawing that never clears stops growing at its limit and still draws.
    timeline::Drawing full;
    full.Apply(Parse("S 1 000000 100")[0]);
    timeline::DrawOp to = Parse("L 1 1")[0];
    size_t accepted = 0;
    for (size_t i = 0; i < timeline::kMaxDrawingItems + 10; ++i) {
        to.x = double(i % 40);
        accepted += full.Apply(to) ? 1 : 0;
    }
    EXPECT_LT(accepted, timeline::kMaxDrawingItems);
    EXPECT_FALSE(full.Apply(to));
    ASSERT_NE(full.Shape(), nullptr);
    EXPECT_TRUE(full.Apply(Parse("C")[0]));
    EXPECT_TRUE(full.Empty());
}

} // namespace
