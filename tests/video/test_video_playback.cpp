// The playback placed videos use: any frame on demand after seeks and loops gives the
// picture decoding in order gives; damaged input shows what it can and stays in budget;
// and whole movies written by ffmpeg play through the engine as ffmpeg decodes them.
#include <gtest/gtest.h>

#include <algorithm>

#include "player/core/engine.h"
#include "player/core/video/h263.h"
#include "tests/video/video_clips.h"

namespace {

using videotest::Ffmpeg;
using videotest::Same;
using videotest::ShowsAfterFirst;
std::string Temp(const std::string& name) {
    return ::testing::TempDir() + name;
}

// A 12-frame H.263 clip with a keyframe every 4, and its frames decoded in order.
struct Reference {
    videotest::VideoMovie movie;
    std::vector<swf::Bitmap> frames;
    bool Make(const std::string& size = "96x64", int count = 12) {
        const std::string path = Temp("playback_" + size + ".swf");
        if (!Ffmpeg("-f lavfi -i testsrc=size=" + size + ":rate=10 -frames:v " +
                    std::to_string(count) + " -c:v flv1 -g 4 -f swf " + path) ||
            !movie.Load(path)) {
            return false;
        }
        return movie.DecodeAll(&frames);
    }
};

TEST(VideoPlayback, SeeksAndLoopsGiveTheFramesInOrder) {
    if (!videotest::HaveFfmpeg()) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    Reference ref;
    ASSERT_TRUE(ref.Make());
    EXPECT_EQ(ref.movie.stream->keyframes, (std::vector<uint32_t>{0, 4, 8}));
    video::Budget budget;
    video::Playback p(ref.movie.stream, &budget);
    p.SetDeblocking(1);
    // Forward within a group, back across keyframes, repeats, past the end, two loops.
    const uint32_t order[] = {5, 2, 11, 11, 0,  7,  3, 8, 1, 10, 6, 40, 0, 1, 2, 3, 4,  5,
                              6, 7, 8,  9,  10, 11, 0, 1, 2, 3,  4, 5,  6, 7, 8, 9, 10, 11};
    for (uint32_t k : order) {
        SCOPED_TRACE(k);
        EXPECT_TRUE(Same(p.Show(k), ref.frames[std::min<uint32_t>(k, 11)]));
    }
    EXPECT_GT(budget.Used(), 0u);
}

TEST(VideoPlayback, DamagedInputShowsWhatItCan) {
    if (!videotest::HaveFfmpeg()) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    Reference ref;
    ASSERT_TRUE(ref.Make());
    const video::Stream& good = *ref.movie.stream;
    std::vector<uint8_t> garbage(64, 0x5A);
    struct Case {
        const char* name;
        void (*damage)(video::Stream*, const std::vector<uint8_t>&);
        uint32_t frame;
        int expect; // the reference frame shown, -1 nothing
    };
    const Case cases[] = {
        // A cut inter frame keeps the last good picture until the next keyframe.
        {"cut inter frame",
         [](video::Stream* s, const std::vector<uint8_t>&) { s->frames[5].size /= 3; }, 6, 4},
        {"cut inter frame, next key",
         [](video::Stream* s, const std::vector<uint8_t>&) { s->frames[5].size /= 3; }, 9, 9},
        // A keyframe that does not decode: the group before it stays up.
        {"cut keyframe",
         [](video::Stream* s, const std::vector<uint8_t>&) { s->frames[4].size /= 3; }, 6, 3},
        {"garbage inter frame",
         [](video::Stream* s, const std::vector<uint8_t>& g) {
             s->frames[2].data = g.data();
             s->frames[2].size = uint32_t(g.size());
         },
         3, 1},
        {"frame missing", [](video::Stream* s, const std::vector<uint8_t>&) { s->frames[2] = {}; },
         3, 1},
        // Pictures larger than the declared box, and codecs we do not know: nothing.
        {"larger than declared",
         [](video::Stream* s, const std::vector<uint8_t>&) {
             s->def.width = 32;
             s->def.height = 16;
         },
         0, -1},
        {"unknown codec", [](video::Stream* s, const std::vector<uint8_t>&) { s->def.codec = 9; },
         0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto s = std::make_shared<video::Stream>(good);
        c.damage(s.get(), garbage);
        EXPECT_TRUE(ShowsAfterFirst(s, c.frame, c.expect < 0 ? nullptr : &ref.frames[c.expect], 1));
    }
}

// Whether the shown picture is smoothed across its 8x8 blocks: a script's level first, then
// the stream's declared flag, then, for H.263 only, the flag in the frame's own header.
TEST(VideoPlayback, DeblockingFollowsScriptThenStreamThenFrame) {
    if (!videotest::HaveFfmpeg()) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    Reference ref;
    ASSERT_TRUE(ref.Make());
    const video::StreamFrame& key = ref.movie.stream->frames[0];
    const struct {
        bool frameFlag;
        uint8_t declared; // the stream's: 0 as the frame says, 1 off, 2 on
        int script;       // 0 as the stream says, 1 off, 2 on
        bool smoothed;
    } rows[] = {
        {false, 0, 0, false}, {true, 0, 0, true},  {false, 2, 0, true}, {true, 1, 0, false},
        {true, 0, 1, false},  {false, 0, 2, true}, {false, 1, 2, true}, {true, 2, 1, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << "frame " << r.frameFlag << ", stream " << int(r.declared)
                                        << ", script " << r.script);
        // The flag follows the picture type; a 96x64 picture gives its size in 8-bit fields.
        std::vector<uint8_t> bytes(key.data, key.data + key.size);
        const size_t bit = 17 + 5 + 8 + 3 + 16 + 2;
        bytes[bit / 8] =
            uint8_t((bytes[bit / 8] & ~(0x80 >> bit % 8)) | (r.frameFlag ? 0x80 >> bit % 8 : 0));
        video::H263Header header;
        size_t used = 0;
        ASSERT_TRUE(video::ReadH263Header(bytes.data(), bytes.size(), &header, &used));
        ASSERT_EQ(header.deblocking, r.frameFlag);
        auto s = std::make_shared<video::Stream>(*ref.movie.stream);
        s->frames[0].data = bytes.data();
        s->def.deblocking = r.declared;
        video::H263Decoder decoder(96, 64);
        ASSERT_EQ(decoder.Decode(bytes.data(), bytes.size()), video::Status::Ok);
        swf::Bitmap plain, smoothed;
        video::ToBitmap(decoder.Current(), false, &plain);
        video::ToBitmap(decoder.Current(), true, &smoothed);
        ASSERT_NE(plain.pixels, smoothed.pixels);
        EXPECT_TRUE(ShowsAfterFirst(s, 0, r.smoothed ? &smoothed : &plain, r.script));
    }
}

TEST(VideoPlayback, ThousandsOfKeyframesAndPlacementsStayInBudget) {
    if (!videotest::HaveFfmpeg()) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    Reference ref;
    ASSERT_TRUE(ref.Make("320x240", 1));
    auto s = std::make_shared<video::Stream>();
    s->def = ref.movie.stream->def;
    s->def.frameCount = 60000;
    for (uint16_t n = 0; n < 60000; ++n) {
        const video::StreamFrame& f = ref.movie.stream->frames[0];
        s->Add(swf::VideoFrameTag{0, n, f.data, f.size});
    }
    ASSERT_EQ(s->keyframes.size(), 60000u);
    // Room for two playbacks: the third shows nothing until one goes.
    const size_t one = video::MakeDecoder(2, 320, 240)->BytesFor(320, 240) + 320 * 240 * 4;
    video::Budget budget(2 * one + one / 2);
    std::vector<std::unique_ptr<video::Playback>> placed;
    for (int i = 0; i < 3; ++i) {
        placed.emplace_back(new video::Playback(s, &budget));
        placed.back()->SetDeblocking(1);
    }
    EXPECT_TRUE(Same(placed[0]->Show(59999), ref.frames[0]));
    EXPECT_TRUE(Same(placed[1]->Show(30000), ref.frames[0]));
    EXPECT_EQ(placed[2]->Show(1), nullptr);
    EXPECT_LE(budget.Used(), 2 * one + one / 2);
    placed[0].reset();
    EXPECT_TRUE(Same(placed[2]->Show(2), ref.frames[0]));
}

// A playback needs its decoder's memory and the picture's RGBA pixels: a budget of exactly
// that shows the frame, one byte less nothing.
TEST(VideoPlayback, ABudgetOfExactlyItsNeedIsEnough) {
    if (!videotest::HaveFfmpeg()) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    Reference ref;
    ASSERT_TRUE(ref.Make("320x240", 1));
    const size_t need = video::MakeDecoder(2, 320, 240)->BytesFor(320, 240) + 320 * 240 * 4;
    for (const size_t limit : {need - 1, need}) {
        video::Budget budget(limit);
        video::Playback p(ref.movie.stream, &budget);
        p.SetDeblocking(1);
        const swf::Bitmap* shown = p.Show(0);
        EXPECT_EQ(shown != nullptr, limit == need) << limit;
        EXPECT_TRUE(shown == nullptr || Same(shown, ref.frames[0])) << limit;
        EXPECT_EQ(budget.Used(), limit == need ? need : 0u) << limit;
    }
}

// The whole engine: ffmpeg's movie at a frame, after a jump back and forth, drawn as ffmpeg
// decodes that frame (within what the two colour conversions differ by).
TEST(VideoPlayback, MoviesPlayThroughTheEngine) {
    if (!videotest::HaveFfmpeg()) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    struct Case {
        const char* name;
        const char* encode;
        double minPsnr;
    };
    const Case cases[] = {{"engine_h263", "-c:v flv1 -g 4 -q:v 2", 30},
                          {"engine_screen", "-c:v flashsv -g 3", 40}};
    const int w = 128, h = 96, frames = 10;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Temp(std::string(c.name) + ".swf");
        const std::string raw = Temp(std::string(c.name) + ".rgb");
        ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc=size=128x96:rate=10 -frames:v 10 " +
                           std::string(c.encode) + " -f swf " + path));
        ASSERT_TRUE(Ffmpeg("-i " + path + " -f rawvideo -pix_fmt rgb24 " + raw));
        const std::vector<uint8_t> movie = videotest::ReadAll(path);
        const std::vector<uint8_t> ref = videotest::ReadAll(raw);
        ASSERT_EQ(ref.size(), size_t(w) * h * 3 * frames);
        engine::Player player;
        ASSERT_EQ(player.Load(movie.data(), movie.size()), engine::LoadStatus::Ok);
        std::vector<uint32_t> pixels(size_t(w) * h);
        for (uint32_t frame : {6u, 2u, 9u, 0u, 5u}) {
            SCOPED_TRACE(frame);
            player.GoTo(frame);
            ASSERT_EQ(player.CurrentFrame(), frame);
            player.Draw(engine::Surface{pixels.data(), w, h, w}, engine::Box{0, 0, w, h});
            std::vector<uint8_t> ours;
            for (uint32_t p : pixels) {
                ours.push_back(uint8_t(p >> 16));
                ours.push_back(uint8_t(p >> 8));
                ours.push_back(uint8_t(p));
            }
            EXPECT_GE(
                videotest::Psnr(ours.data(), ref.data() + size_t(frame) * w * h * 3, ours.size()),
                c.minPsnr);
        }
    }
}

} // namespace
