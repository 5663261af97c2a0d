// VP6 and VP6 with alpha against ffmpeg: clips written by our test encoder
// (tools/vp6writer.py) as an FLV, which ffmpeg decodes, and as a SWF movie, which we decode;
// held frame by frame to the bit, then through the playback after seeks and loops, and with
// damage.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "player/core/engine.h"
#include "tests/video/video_clips.h"

namespace {

using videotest::Ffmpeg;
using videotest::Psnr;
using videotest::Same;
using videotest::ShowsAfterFirst;
std::string Temp(const std::string& name) {
    return ::testing::TempDir() + name;
}

bool WriteClip(const std::string& base, int w, int h, int frames, const std::string& opts) {
    const std::string cmd = "python3 " FLICKWELL_TOOLS_DIR "/vp6writer.py " + base + " " +
                            std::to_string(w) + " " + std::to_string(h) + " " +
                            std::to_string(frames) + " " + opts;
    return std::system(cmd.c_str()) == 0;
}

// A picture as ffmpeg writes yuv420p or yuva420p: planes cropped to the shown size.
std::vector<uint8_t> Planes(const video::Picture& p, bool alpha) {
    std::vector<uint8_t> out = videotest::Raw(p);
    if (alpha) {
        const std::vector<uint8_t> a = videotest::Crop(p.a, p.stride, p.width, p.height);
        out.insert(out.end(), a.begin(), a.end());
    }
    return out;
}

struct Clip {
    const char* name;
    int width, height, frames;
    const char* opts; // the encoder's options
};

// Each clip turns one part of the format on: modes, filters, partitions, versions, sizes.
const Clip kClips[] = {
    {"keyframes_only", 64, 48, 3, "gop=1 updates=0 detail=8"},
    {"one_macroblock", 16, 16, 6, "gop=3"},
    {"odd_size_cropped", 99, 59, 6, "gop=3"},
    {"still_and_delta_modes", 80, 64, 8, "modes=0,2,1 gop=8 updates=0"},
    {"near_vectors", 80, 64, 8, "modes=2,3,4 gop=8"},
    {"golden_modes", 80, 64, 8, "modes=5,6,8,9,2 gop=8"},
    {"four_vectors", 80, 64, 8, "modes=7,2 gop=8"},
    {"all_modes_bilinear", 96, 80, 8, "filter=0 gop=8"},
    {"all_modes_adaptive_filter", 96, 80, 8, "filter=2 gop=8"},
    {"filter_set_8_on_frame_8", 48, 32, 10, "gop=10"},
    {"no_loop_filter", 96, 80, 6, "loop=0"},
    {"two_partitions", 96, 80, 6, "split=1 detail=8"},
    {"no_filter_header", 64, 48, 6, "filter_header=0"},
    {"huffman_tokens", 80, 64, 8, "huffman=1 gop=4 detail=8"},
    {"huffman_coarse", 64, 48, 6, "huffman=1 q=50 gop=3"},
    {"version_6", 64, 48, 6, "sub=6 q=12 detail=8"},
    {"version_7_fine", 64, 48, 6, "sub=7 q=2 detail=8"},
    {"coarse", 64, 48, 6, "q=63"},
    {"alpha", 64, 48, 6, "alpha=1 gop=3"},
    {"alpha_odd_size", 50, 30, 5, "alpha=1 split=1"},
    {"alpha_huffman", 32, 32, 4, "alpha=1 huffman=1"},
};

TEST(VideoVp6, MatchesFfmpegFrameByFrame) {
    if (!videotest::HaveFfmpeg()) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    for (const Clip& clip : kClips) {
        SCOPED_TRACE(clip.name);
        const std::string base = Temp(std::string("vp6_") + clip.name);
        const bool alpha = std::strstr(clip.opts, "alpha=1") != nullptr;
        ASSERT_TRUE(WriteClip(base, clip.width, clip.height, clip.frames, clip.opts));
        ASSERT_TRUE(Ffmpeg("-i " + base + ".flv -f rawvideo -pix_fmt " +
                           (alpha ? "yuva420p " : "yuv420p ") + base + ".raw"));
        const std::vector<uint8_t> ref = videotest::ReadAll(base + ".raw");
        videotest::VideoMovie m;
        ASSERT_TRUE(m.Load(base + ".swf"));
        std::unique_ptr<video::Decoder> d =
            video::MakeDecoder(m.stream->def.codec, m.stream->def.width, m.stream->def.height);
        ASSERT_TRUE(d);
        ASSERT_EQ(m.stream->frames.size(), size_t(clip.frames));
        double worst = 99;
        size_t offset = 0;
        int n = 0;
        for (const video::StreamFrame& f : m.stream->frames) {
            SCOPED_TRACE(n++);
            ASSERT_EQ(d->Decode(f.data, f.size), video::Status::Ok);
            const video::Picture& p = d->Current();
            ASSERT_EQ(p.width, clip.width);
            ASSERT_EQ(p.height, clip.height);
            const std::vector<uint8_t> ours = Planes(p, alpha);
            ASSERT_LE(offset + ours.size(), ref.size());
            // The format specifies every operation exactly, so ours and ffmpeg's agree to the
            // bit; a near miss (a rounding in a rare mode) would still pass 40 dB.
            const double psnr = Psnr(ours.data(), ref.data() + offset, ours.size());
            EXPECT_TRUE(std::equal(ours.begin(), ours.end(), ref.begin() + offset));
            worst = std::min(worst, psnr);
            offset += ours.size();
        }
        EXPECT_EQ(offset, ref.size());
        std::printf("[ psnr ] vp6 %-26s worst frame %.1f dB\n", clip.name, worst);
    }
}

// A 12-frame clip with alpha and a keyframe every 4, and its frames decoded in order.
struct Reference {
    videotest::VideoMovie movie;
    std::vector<swf::Bitmap> frames;
    bool Make() {
        const std::string base = Temp("vp6_playback");
        if (!WriteClip(base, 40, 24, 12, "alpha=1 gop=4") || !movie.Load(base + ".swf")) {
            return false;
        }
        return movie.DecodeAll(&frames);
    }
};

TEST(VideoVp6, SeeksLoopsAndDamage) {
    Reference ref;
    ASSERT_TRUE(ref.Make());
    ASSERT_EQ(ref.movie.stream->keyframes, (std::vector<uint32_t>{0, 4, 8}));
    // The alpha plane is the picture's coverage: some pixels clear, some opaque.
    const std::vector<uint32_t>& px = ref.frames[0].pixels;
    EXPECT_TRUE(std::any_of(px.begin(), px.end(), [](uint32_t p) { return p >> 24 == 255; }));
    EXPECT_TRUE(std::any_of(px.begin(), px.end(), [](uint32_t p) { return p >> 24 < 128; }));
    {
        video::Budget budget;
        video::Playback p(ref.movie.stream, &budget);
        const uint32_t order[] = {5, 2, 11, 0, 7, 3, 8, 1, 10, 40, 0, 1,
                                  2, 3, 4,  5, 6, 7, 8, 9, 10, 11, 0};
        for (uint32_t k : order) {
            SCOPED_TRACE(k);
            EXPECT_TRUE(Same(p.Show(k), ref.frames[std::min<uint32_t>(k, 11)]));
        }
    }
    std::vector<uint8_t> garbage(64, 0x5A);
    struct Case {
        const char* name;
        void (*damage)(video::Stream*, std::vector<uint8_t>*);
        uint32_t frame;
        int expect; // the reference frame shown, -1 nothing
    };
    const Case cases[] = {
        {"cut inter frame", [](video::Stream* s, std::vector<uint8_t>*) { s->frames[5].size /= 3; },
         6, 4},
        {"cut inter frame, next key",
         [](video::Stream* s, std::vector<uint8_t>*) { s->frames[5].size /= 3; }, 9, 9},
        {"cut keyframe", [](video::Stream* s, std::vector<uint8_t>*) { s->frames[4].size = 9; }, 6,
         3},
        {"garbage inter frame",
         [](video::Stream* s, std::vector<uint8_t>* g) {
             s->frames[2].data = g->data();
             s->frames[2].size = uint32_t(g->size());
         },
         3, 1},
        {"alpha offset past the end",
         [](video::Stream* s, std::vector<uint8_t>* g) {
             g->assign(s->frames[2].data, s->frames[2].data + s->frames[2].size);
             (*g)[0] = 0xFF;
             s->frames[2].data = g->data();
         },
         2, 1},
        {"empty frame", [](video::Stream* s, std::vector<uint8_t>*) { s->frames[1].size = 0; }, 1,
         0},
        {"missing keyframe", [](video::Stream* s, std::vector<uint8_t>*) { s->frames[0] = {}; }, 2,
         -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto s = std::make_shared<video::Stream>(*ref.movie.stream);
        std::vector<uint8_t> bytes = garbage;
        c.damage(s.get(), &bytes);
        EXPECT_TRUE(ShowsAfterFirst(s, c.frame, c.expect < 0 ? nullptr : &ref.frames[c.expect]));
    }
}

// Frame sizes: the coded macroblocks cropped to the declared box, a picture larger than
// declared shown cropped too (as Flash does), and the decoder's answers on bad headers.
TEST(VideoVp6, SizesAndHeaders) {
    const std::string base = Temp("vp6_sizes");
    ASSERT_TRUE(WriteClip(base, 40, 24, 2, "gop=2"));
    videotest::VideoMovie m;
    ASSERT_TRUE(m.Load(base + ".swf"));
    const video::StreamFrame key = m.stream->frames[0], inter = m.stream->frames[1];
    int w = 0, h = 0;
    ASSERT_TRUE(video::FrameSize(4, key.data, key.size, &w, &h));
    EXPECT_EQ(w, 48);
    EXPECT_EQ(h, 32);
    EXPECT_FALSE(video::FrameSize(4, inter.data, inter.size, &w, &h));
    struct Size {
        int declaredW, declaredH, shownW, shownH;
    };
    for (const Size& s : {Size{40, 24, 40, 24}, Size{20, 10, 20, 10}, Size{0, 0, 48, 32},
                          Size{48, 32, 48, 32}, Size{400, 300, 48, 32}}) {
        std::unique_ptr<video::Decoder> d = video::MakeDecoder(4, s.declaredW, s.declaredH);
        ASSERT_EQ(d->Decode(key.data, key.size), video::Status::Ok);
        EXPECT_EQ(d->Current().width, s.shownW);
        EXPECT_EQ(d->Current().height, s.shownH);
    }
    {
        // A keyframe of another size that is cut short leaves the last picture as it was.
        std::unique_ptr<video::Decoder> d = video::MakeDecoder(4, 0, 0);
        ASSERT_EQ(d->Decode(key.data, key.size), video::Status::Ok);
        const std::vector<uint8_t> before = videotest::Raw(d->Current());
        std::vector<uint8_t> other(key.data, key.data + key.size / 2);
        other[2] += 1; // one more macroblock row
        EXPECT_EQ(d->Decode(other.data(), other.size()), video::Status::Damaged);
        EXPECT_EQ(d->Current().height, 32);
        EXPECT_EQ(videotest::Raw(d->Current()), before);
    }
    std::vector<uint8_t> bytes(key.data, key.data + key.size);
    struct Case {
        const char* name;
        size_t at;
        uint8_t value;
        size_t size;
        video::Status expect;
    };
    const Case cases[] = {
        {"no macroblock rows", 2, 0, bytes.size(), video::Status::Damaged},
        {"no macroblock columns", 3, 0, bytes.size(), video::Status::Damaged},
        {"interlaced", 1, uint8_t(bytes[1] | 1), bytes.size(), video::Status::Unsupported},
        {"version 9", 1, uint8_t(9 << 3 | (bytes[1] & 7)), bytes.size(),
         video::Status::Unsupported},
        {"header only", 0, bytes[0], 6, video::Status::Damaged},
        {"cut in the middle", 0, bytes[0], bytes.size() / 3, video::Status::Damaged},
        {"inter frame first", 0, uint8_t(bytes[0] | 0x80), bytes.size(),
         video::Status::NeedKeyframe},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> b = bytes;
        b[c.at] = c.value;
        std::unique_ptr<video::Decoder> d = video::MakeDecoder(4, 40, 24);
        EXPECT_EQ(d->Decode(b.data(), c.size), c.expect);
    }
}

// The whole engine: our movie at a frame, after jumps back and forth, drawn as ffmpeg
// decodes that frame (within what the two colour conversions differ by).
TEST(VideoVp6, MoviesPlayThroughTheEngine) {
    if (!videotest::HaveFfmpeg()) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    const int w = 64, h = 48, frames = 8;
    const std::string base = Temp("vp6_engine");
    ASSERT_TRUE(WriteClip(base, w, h, frames, "gop=3"));
    ASSERT_TRUE(Ffmpeg("-i " + base + ".flv -f rawvideo -pix_fmt rgb24 " + base + ".rgb"));
    const std::vector<uint8_t> movie = videotest::ReadAll(base + ".swf");
    const std::vector<uint8_t> ref = videotest::ReadAll(base + ".rgb");
    ASSERT_EQ(ref.size(), size_t(w) * h * 3 * frames);
    engine::Player player;
    ASSERT_EQ(player.Load(movie.data(), movie.size()), engine::LoadStatus::Ok);
    std::vector<uint32_t> pixels(size_t(w) * h);
    for (uint32_t frame : {5u, 1u, 7u, 0u, 4u}) {
        SCOPED_TRACE(frame);
        player.GoTo(frame);
        player.Draw(engine::Surface{pixels.data(), w, h, w}, engine::Box{0, 0, w, h});
        std::vector<uint8_t> ours;
        for (uint32_t p : pixels) {
            ours.push_back(uint8_t(p >> 16));
            ours.push_back(uint8_t(p >> 8));
            ours.push_back(uint8_t(p));
        }
        EXPECT_GE(videotest::Psnr(ours.data(), ref.data() + size_t(frame) * w * h * 3, ours.size()),
                  30);
    }
}

} // namespace
