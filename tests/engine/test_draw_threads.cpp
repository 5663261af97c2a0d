// A frame drawn in bands by several threads holds the very pixels one thread draws: every
// drawing feature, at canvas sizes whose rows split unevenly, over frames that move. Shapes'
// outlines kept from earlier frames draw what outlines made afresh draw. The thread pool
// runs every band once, and a band's failure reaches the caller.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "player/core/engine.h"
#include "player/core/render/band_pool.h"
#include "tools/render/device_font.h"

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The movie's first frames drawn with `threads` into a canvas that sits inside a larger
// surface (a margin of other pixels all round), all frames side by side; with `onlyLast`
// the earlier frames play without being drawn.
std::vector<uint32_t> Frames(const std::vector<uint8_t>& bytes, int threads, int width, int height,
                             int frames, bool onlyLast = false) {
    engine::Player player;
    flickwell::InstallDeviceFont(&player);
    player.SetDrawThreads(threads);
    EXPECT_EQ(player.Load(bytes.data(), bytes.size()), engine::LoadStatus::Ok);
    player.Play(0);
    const int stride = width + 5, rows = height + 6;
    std::vector<uint32_t> all;
    for (int f = 0; f < frames; ++f) {
        player.Tick(uint32_t(f) * player.FrameIntervalMs());
        if (onlyLast && f + 1 < frames) {
            continue;
        }
        std::vector<uint32_t> pixels(size_t(stride) * rows, 0x12345678u);
        player.Draw(engine::Surface{pixels.data(), stride, rows, stride},
                    engine::Box{2, 3, 2 + width, 3 + height});
        all.insert(all.end(), pixels.begin(), pixels.end());
    }
    return all;
}

struct Movie {
    const char* path;
    int frames;
};

const Movie kMovies[] = {
    {FLICKWELL_OWN_MOVIES_DIR "/shapes.swf", 1},
    {FLICKWELL_OWN_MOVIES_DIR "/motion.swf", 6}, // moved, turned, grown
    {FLICKWELL_OWN_MOVIES_DIR "/gradients.swf", 1},
    {FLICKWELL_OWN_MOVIES_DIR "/lines.swf", 1},
    {FLICKWELL_OWN_MOVIES_DIR "/scaled_lines.swf", 1},
    {FLICKWELL_OWN_MOVIES_DIR "/bitmaps.swf", 1},
    {FLICKWELL_OWN_MOVIES_DIR "/bitmaps2.swf", 1},
    {FLICKWELL_OWN_MOVIES_DIR "/display.swf", 3},     // clip-depth masks, morphs, buttons
    {FLICKWELL_OWN_MOVIES_DIR "/effects.swf", 1},     // colour transforms, blend modes
    {FLICKWELL_OWN_MOVIES_DIR "/script_mask.swf", 3}, // setMask
    {FLICKWELL_OWN_MOVIES_DIR "/drawing.swf", 2},     // script drawing
    {FLICKWELL_OWN_MOVIES_DIR "/text.swf", 1},
    {FLICKWELL_OWN_MOVIES_DIR "/edittext.swf", 1},       // fields clipped to their boxes
    {FLICKWELL_OWN_MOVIES_DIR "/fonts.swf", 1},          // device fonts
    {FLICKWELL_OWN_MOVIES_DIR "/flash8_filters.swf", 2}, // filters: drawn in one band
    {FLICKWELL_OWN_MOVIES_DIR "/flash8_scale9.swf", 1},
    {FLICKWELL_OWN_MOVIES_DIR "/flash8_linefill.swf", 1},
    {FLICKWELL_OWN_MOVIES_DIR "/flash8_transform.swf", 2},
    {FLICKWELL_MOVIES_DIR "/swf_definemorphshape_f15.swf", 4},
    {FLICKWELL_MOVIES_DIR "/avm1_mask_with_drawing.swf", 2},
    {FLICKWELL_VIDEO_MOVIES_DIR "/h263_160x120.swf", 3},
};

// Widths and heights: bands of unequal rows, a height just under two smallest bands (one
// band) and just over, and one row.
const int kSizes[][2] = {{333, 257}, {97, 31}, {101, 33}, {45, 1}};
const int kThreads[] = {2, 3, 7, 16};

TEST(DrawThreads, BandsDrawTheSamePixelsAsOneThread) {
    for (const Movie& movie : kMovies) {
        const std::vector<uint8_t> bytes = ReadFile(movie.path);
        ASSERT_FALSE(bytes.empty()) << movie.path;
        for (const auto& size : kSizes) {
            const std::vector<uint32_t> one = Frames(bytes, 1, size[0], size[1], movie.frames);
            for (int threads : kThreads) {
                SCOPED_TRACE(std::string(movie.path) + " at " + std::to_string(size[0]) + "x" +
                             std::to_string(size[1]) + " with " + std::to_string(threads) +
                             " threads");
                const std::vector<uint32_t> many =
                    Frames(bytes, threads, size[0], size[1], movie.frames);
                ASSERT_EQ(many.size(), one.size());
                size_t first = 0;
                while (first < one.size() && many[first] == one[first]) {
                    ++first;
                }
                if (first != one.size()) {
                    const size_t surface = size_t(size[0] + 5) * (size[1] + 6);
                    const size_t at = first % surface;
                    ADD_FAILURE() << "frame " << first / surface << " differs first at row "
                                  << int(at / (size[0] + 5)) - 3 << ", column "
                                  << int(at % (size[0] + 5)) - 2;
                }
            }
        }
    }
}

TEST(DrawThreads, KeptOutlinesDrawAsFreshOnes) {
    // Each frame drawn after every frame before it (outlines kept from them, at other
    // scales and places) and drawn alone.
    for (const Movie& movie : kMovies) {
        SCOPED_TRACE(movie.path);
        const std::vector<uint8_t> bytes = ReadFile(movie.path);
        const std::vector<uint32_t> all = Frames(bytes, 1, 333, 257, movie.frames);
        const size_t frame = all.size() / size_t(movie.frames);
        for (int f = 1; f < movie.frames; ++f) {
            const std::vector<uint32_t> alone = Frames(bytes, 1, 333, 257, f + 1, true);
            ASSERT_EQ(alone.size(), frame);
            EXPECT_TRUE(std::equal(alone.begin(), alone.end(), all.begin() + f * frame))
                << "frame " << f;
        }
    }
}

TEST(BandPool, RunsEveryTaskOnceOnOneWorkerAtATime) {
    const int kCounts[][2] = {{1, 0}, {1, 5}, {2, 1}, {2, 2}, {3, 17}, {16, 100}, {16, 3}};
    for (const auto& c : kCounts) {
        SCOPED_TRACE(std::to_string(c[0]) + " threads, " + std::to_string(c[1]) + " tasks");
        render::BandPool pool;
        pool.SetThreads(c[0]);
        ASSERT_GE(pool.Threads(), 1);
        for (int round = 0; round < 3; ++round) { // the threads sleep and wake again
            std::vector<std::atomic<int>> runs(static_cast<size_t>(c[1]));
            std::vector<std::atomic<int>> busy(static_cast<size_t>(pool.Threads()));
            std::atomic<bool> overlap(false), outside(false);
            pool.Run(c[1], [&](int worker, int task) {
                if (worker < 0 || worker >= pool.Threads()) {
                    outside = true;
                    return;
                }
                if (busy[size_t(worker)]++ != 0) {
                    overlap = true;
                }
                ++runs[size_t(task)];
                --busy[size_t(worker)];
            });
            EXPECT_FALSE(overlap);
            EXPECT_FALSE(outside);
            for (const auto& r : runs) {
                EXPECT_EQ(r.load(), 1);
            }
        }
    }
}

TEST(BandPool, ThreadCountsHeldToTheirLimits) {
    const int kAsked[][2] = {{-3, 1}, {0, 1}, {1, 1}, {16, 16}, {17, 16}};
    for (const auto& a : kAsked) {
        render::BandPool pool;
        pool.SetThreads(a[0]);
        EXPECT_EQ(pool.Threads(), a[1]) << "asked for " << a[0];
    }
}

// Bands end where the work is shared evenly, every band keeping its least rows: work all at
// one end or in the middle, none at all, and as many bands as the rows allow.
TEST(BandPool, SplitRowsSharesTheWork) {
    struct Case {
        const char* what;
        std::vector<double> cost;
        int bands, minRows;
        std::vector<int> ends;
    };
    auto rows = [](std::initializer_list<std::pair<int, double>> runs) {
        std::vector<double> cost;
        for (const auto& r : runs) {
            cost.insert(cost.end(), size_t(r.first), r.second);
        }
        return cost;
    };
    const Case kCases[] = {
        {"even", rows({{64, 1}}), 2, 16, {32, 64}},
        {"all in the last rows", rows({{60, 0}, {4, 1}}), 2, 16, {48, 64}},
        {"all in the first row", rows({{1, 100}, {19, 0}}), 3, 4, {4, 8, 20}},
        {"none", rows({{50, 0}}), 3, 16, {16, 32, 50}},
        {"heavy middle", rows({{10, 1}, {10, 10}, {10, 1}}), 2, 1, {15, 30}},
        {"as many bands as rows allow", rows({{1, 100}, {31, 0}}), 2, 16, {16, 32}},
        {"one band", rows({{5, 3}}), 1, 1, {5}},
    };
    for (const Case& c : kCases) {
        const std::vector<int> ends = render::SplitRows(c.cost, c.bands, c.minRows);
        EXPECT_EQ(ends, c.ends) << c.what;
        for (size_t i = 0; i < ends.size(); ++i) {
            EXPECT_GE(ends[i] - (i == 0 ? 0 : ends[i - 1]), c.minRows) << c.what << ", band " << i;
        }
    }
}

} // namespace
