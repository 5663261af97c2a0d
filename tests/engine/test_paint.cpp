// Gradient ramps kept per drawing thread: whatever the cache holds, a paint's ramp is the one
// made fresh for its gradient and colour transform, however keys share a slot or differ in
// one field only.
#include <gtest/gtest.h>

#include <vector>

#include "player/core/render/paint.h"

namespace {

using namespace render;

swf::FillStyle Gradient(int seed) {
    swf::FillStyle f;
    f.kind = swf::FillKind::Radial;
    f.gradient.stops = {
        {0, swf::Rgba{uint8_t(seed), uint8_t(seed * 7), uint8_t(seed * 13), uint8_t(255 - seed)}},
        {uint8_t(100 + seed % 100), swf::Rgba{10, 20, 30, 200}},
        {255, swf::Rgba{uint8_t(seed * 3), 0, 90, uint8_t(seed % 3 == 0 ? 255 : 128)}}};
    return f;
}

std::vector<uint32_t> Fresh(const swf::FillStyle& f, const swf::ColorTransform& cx) {
    Paint p;
    EXPECT_TRUE(MakePaint(f, Transform(), cx, nullptr, &p));
    return std::vector<uint32_t>(p.Ramp(), p.Ramp() + 256);
}

std::vector<uint32_t> Cached(RampCache* cache, const swf::FillStyle& f,
                             const swf::ColorTransform& cx) {
    Paint p;
    EXPECT_TRUE(MakePaint(f, Transform(), cx, nullptr, &p, cache));
    return std::vector<uint32_t>(p.Ramp(), p.Ramp() + 256);
}

// Keys one field apart, asked for in turn: each gets its own ramp.
TEST(RampCache, KeysOneFieldApartKeepTheirOwnRamps) {
    const swf::FillStyle base = Gradient(5);
    swf::ColorTransform none;
    std::vector<std::pair<swf::FillStyle, swf::ColorTransform>> keys{{base, none}};
    swf::FillStyle f = base;
    f.gradient.stops[1].color.a = 201; // one stop's alpha
    keys.push_back({f, none});
    f = base;
    f.gradient.stops[1].ratio = 106; // one stop's place
    keys.push_back({f, none});
    f = base;
    f.gradient.linearRgb = true;
    keys.push_back({f, none});
    f = base;
    f.gradient.stops.pop_back(); // one stop fewer
    keys.push_back({f, none});
    swf::ColorTransform cx;
    cx.mulG = 255;
    keys.push_back({base, cx});
    cx = swf::ColorTransform();
    cx.addA = -1;
    keys.push_back({base, cx});
    RampCache cache;
    for (int round = 0; round < 3; ++round) {
        for (size_t i = 0; i < keys.size(); ++i) {
            ASSERT_EQ(Cached(&cache, keys[i].first, keys[i].second),
                      Fresh(keys[i].first, keys[i].second))
                << "key " << i << ", round " << round;
        }
    }
}

// More keys than the cache has slots: each gradient under a dozen colour transforms (two
// fields apart) and in both colour spaces, asked for twice. Keys share slots, among them
// keys with the same stops, and each answer is still the key's own ramp.
TEST(RampCache, MoreKeysThanSlots) {
    RampCache cache;
    for (int round = 0; round < 2; ++round) {
        uint32_t seed = 1;
        for (int key = 0; key < 3000; ++key) {
            seed = seed * 1103515245u + 12345u;
            swf::FillStyle f = Gradient(key / 24);
            f.gradient.linearRgb = key / 12 % 2 == 1;
            swf::ColorTransform cx;
            cx.mulR = int16_t(200 + (seed >> 16) % 56);
            cx.addA = int16_t(-int((seed >> 8) % 40));
            ASSERT_EQ(Cached(&cache, f, cx), Fresh(f, cx)) << "key " << key << ", round " << round;
        }
    }
}

// A frame's few hundred gradients, alike but for one field each (stops' places and alphas
// the same throughout, as in many movies): asked for again, nearly all are kept.
TEST(RampCache, KeepsAFramesGradients) {
    const struct {
        const char* what;
        void (*vary)(int key, swf::FillStyle* f, swf::ColorTransform* cx);
    } kCases[] = {
        {"red",
         [](int k, swf::FillStyle* f, swf::ColorTransform*) {
             f->gradient.stops[0].color.r = uint8_t(k);
             f->gradient.stops[2].color.r = uint8_t(k >> 8 << 5);
         }},
        {"blue",
         [](int k, swf::FillStyle* f, swf::ColorTransform*) {
             f->gradient.stops[1].color.b = uint8_t(k);
             f->gradient.stops[0].color.g = uint8_t(k >> 8);
         }},
        {"colour transform",
         [](int k, swf::FillStyle*, swf::ColorTransform* cx) { cx->addG = int16_t(k); }},
    };
    const int kKeys = 300;
    for (const auto& c : kCases) {
        RampCache cache;
        for (int round = 0; round < 2; ++round) {
            for (int key = 0; key < kKeys; ++key) {
                swf::FillStyle f = Gradient(0);
                swf::ColorTransform cx;
                c.vary(key, &f, &cx);
                Cached(&cache, f, cx);
            }
        }
        EXPECT_LE(cache.Builds(), kKeys + kKeys / 10) << c.what;
    }
}

} // namespace
