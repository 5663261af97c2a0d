// What scripts draw: drawing calls turned into a shape and rendered under a clip's objects,
// checked at sample pixels on a small surface.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
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
                  const std::string& name) {
    std::istringstream list(samples);
    std::string sample;
    while (std::getline(list, sample, ';')) {
        std::istringstream in(sample);
        int x = 0, y = 0;
        std::string hex;
        in >> x >> y >> hex;
        const uint32_t want = uint32_t(std::strtoul(hex.c_str(), nullptr, 16));
        const uint32_t got = pixels[size_t(y) * kSize + x];
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

TEST(Drawing, BoundsAndLimits) {
    // Line half widths and a curve's turning point count; a fill alone adds no margin.
    auto d = Drawn("S 10 000000 100; M 0 0; L 100 0; S -1; F 0 100; M 0 0; Q 50 100 100 0; E");
    const swf::Rect& b = d->Bounds();
    EXPECT_EQ(b.xMin, -100);
    EXPECT_EQ(b.xMax, 2100);
    EXPECT_EQ(b.yMin, -100);
    EXPECT_EQ(b.yMax, 1000);
    EXPECT_TRUE(Drawn("S 1 0 100; F 0 100; M 5 5; E; S -1")->Empty());

    // Shape hit tests (twips): the hole of an even-odd fill, a curve's inside, a thick line.
    auto hit = Drawn("F 0 100; M 0 0; L 30 0; L 30 30; L 0 30; M 10 10; L 20 10; L 20 20; "
                     "L 10 20; E; F 0 100; M 40 30; Q 50 10 60 30; E; S 4 0 100; M 0 40; L 30 40");
    const int points[][3] = {{100, 100, 1}, {300, 300, 0}, {1000, 500, 1}, {1000, 420, 1},
                             {900, 250, 0}, {300, 830, 1}, {300, 850, 0},  {700, 700, 0}};
    for (const auto& p : points) {
        EXPECT_EQ(hit->Contains(p[0], p[1]), p[2] != 0) << p[0] << "," << p[1];
    }

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
