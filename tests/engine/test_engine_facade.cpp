// What a host relies on: a refused movie leaves the player empty and black, a loaded one
// reports its stage and colour, and drawing touches only the viewport.
#include <gtest/gtest.h>

#include <algorithm>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "player/core/engine.h"

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TEST(EngineFacade, RefusedMovieLeavesPlayerEmpty) {
    engine::Player player;
    const std::vector<uint8_t> movie = ReadFile(FLICKWELL_MOVIES_DIR "/swf_definebutton.swf");
    ASSERT_EQ(player.Load(movie.data(), movie.size()), engine::LoadStatus::Ok);
    const uint8_t junk[] = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0};
    EXPECT_EQ(player.Load(junk, sizeof junk), engine::LoadStatus::BadSignature);
    EXPECT_FALSE(player.Loaded());
    EXPECT_EQ(player.Background(), 0u);
    EXPECT_EQ(player.FrameCount(), 0u);
    // A host goes on asking and driving an empty player (its window stays black).
    engine::Player never;
    for (engine::Player* p : {&player, &never}) {
        p->Play(0);
        p->Tick(100);
        p->GoTo(2);
        EXPECT_EQ(p->CurrentFrame(), 0u);
        // Its sound is silence, exactly as many stereo frames as asked for.
        std::vector<int16_t> out(2 * 64 + 8, 7);
        p->MixSound(out.data(), 64);
        EXPECT_EQ(std::count(out.begin(), out.begin() + 128, 0), 128);
        EXPECT_EQ(std::count(out.begin() + 128, out.end(), 7), 8);
    }
}

// Bytes after the End tag are padding: a background colour there does not colour the
// stage, and a tag cut short there does not make the movie a truncated one.
TEST(EngineFacade, WhatFollowsTheEndTagCountsForNothing) {
    engine::Player player;
    std::vector<std::string> notices;
    player.SetNoticeSink([&](const char* line) { notices.push_back(line); });
    const std::vector<uint8_t> movie = ReadFile(FLICKWELL_OWN_MOVIES_DIR "/after_end.swf");
    ASSERT_EQ(player.Load(movie.data(), movie.size()), engine::LoadStatus::Ok);
    EXPECT_EQ(player.Background(), 0xFFFFFFu) << "white, as a movie without a colour is";
    EXPECT_EQ(player.FrameCount(), 1u);
    EXPECT_TRUE(notices.empty()) << notices.front();
}

TEST(EngineFacade, DrawsOnlyInsideViewport) {
    engine::Player player;
    const std::vector<uint8_t> movie = ReadFile(FLICKWELL_MOVIES_DIR "/swf_definebutton.swf");
    ASSERT_EQ(player.Load(movie.data(), movie.size()), engine::LoadStatus::Ok);
    EXPECT_EQ(player.StageWidthTwips(), 550 * 20);
    EXPECT_EQ(player.StageHeightTwips(), 400 * 20);
    std::vector<uint32_t> pixels(8 * 4, 0x12345678u);
    engine::Surface surface{pixels.data(), 8, 4, 8};
    player.Draw(surface, engine::Box{2, 1, 6, 3});
    EXPECT_EQ(pixels[0], 0x12345678u);
    EXPECT_EQ(pixels[1 * 8 + 2] >> 24, 0xFFu);
    EXPECT_EQ(pixels[3 * 8 + 7], 0x12345678u);
}

// The stage keeps its aspect, centred in a viewport of another shape, and scaled to fit;
// the root's blue rectangle (10, 10)-(110, 60) of the 400 x 300 stage shows where it lands.
TEST(EngineFacade, FitsTheStageCentredInTheViewport) {
    engine::Player player;
    const std::vector<uint8_t> movie = ReadFile(FLICKWELL_OWN_MOVIES_DIR "/as3_drawing.swf");
    ASSERT_EQ(player.Load(movie.data(), movie.size()), engine::LoadStatus::Ok);
    player.Play(0);
    player.Tick(0);
    const struct {
        int width, height;
        engine::Box viewport;
        int blueX, blueY, whiteX, whiteY; // just inside and just outside the rectangle
    } cases[] = {
        {800, 300, {0, 0, 800, 300}, 212, 12, 208, 12},    // wider: bands left and right
        {400, 600, {0, 0, 400, 600}, 12, 162, 12, 158},    // taller: bands above and below
        {1000, 300, {100, 0, 900, 300}, 312, 12, 308, 12}, // a viewport off the corner
        {800, 600, {0, 0, 800, 600}, 22, 22, 18, 18},      // twice the size
        {1000, 700, {0, 100, 800, 700}, 22, 122, 18, 118}, // scaled and moved down
    };
    for (const auto& c : cases) {
        std::vector<uint32_t> pixels(size_t(c.width) * c.height, 0);
        player.Draw(engine::Surface{pixels.data(), c.width, c.height, c.width}, c.viewport);
        auto at = [&](int x, int y) { return pixels[size_t(y) * c.width + x] & 0xFFFFFFu; };
        EXPECT_EQ(at(c.blueX, c.blueY), 0x0000FFu) << c.width << "x" << c.height;
        EXPECT_EQ(at(c.whiteX, c.whiteY), 0xFFFFFFu) << c.width << "x" << c.height;
    }
}

// A host repaints only when Tick says the picture may have changed: a still movie costs
// nothing once drawn, an animated one changes every frame.
TEST(EngineFacade, TickReportsChangeOnlyWhenTheFrameDiffers) {
    struct Case {
        const char* path;
        bool changes;
    };
    const Case cases[] = {{FLICKWELL_MOVIES_DIR "/swf_definebutton.swf", false},
                          {FLICKWELL_OWN_MOVIES_DIR "/display.swf", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        engine::Player player;
        const std::vector<uint8_t> movie = ReadFile(c.path);
        ASSERT_EQ(player.Load(movie.data(), movie.size()), engine::LoadStatus::Ok);
        std::vector<uint32_t> pixels(16 * 16);
        const engine::Surface surface{pixels.data(), 16, 16, 16};
        player.Play(0);
        EXPECT_TRUE(player.Tick(0)); // never drawn yet
        player.Draw(surface, engine::Box{0, 0, 16, 16});
        EXPECT_FALSE(player.Tick(player.FrameIntervalMs() - 1));
        EXPECT_EQ(player.Tick(player.FrameIntervalMs()), c.changes);
    }
}

} // namespace
