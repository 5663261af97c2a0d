// VP6 and VP6 with alpha against ffmpeg: clips written by our test encoder
// (tools/vp6writer.py) as an FLV, which ffmpeg decodes, and as a SWF movie, which we decode;
// held frame by frame, then through the playback after seeks and loops, and with damage.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tests/video/video_clips.h"

namespace {

using videotest::Ffmpeg;
using videotest::Psnr;
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
    {"keyframes_only", 64, 48, 3, "gop=1 updates=0"},
    {"one_macroblock", 16, 16, 6, "gop=3"},
    {"odd_size_cropped", 99, 59, 6, "gop=3"},
    {"still_and_delta_modes", 80, 64, 8, "modes=0,2,1 gop=8 updates=0"},
    {"near_vectors", 80, 64, 8, "modes=2,3,4 gop=8"},
    {"golden_modes", 80, 64, 8, "modes=5,6,8,9,2 gop=8"},
    {"four_vectors", 80, 64, 8, "modes=7,2 gop=8"},
    {"all_modes_bilinear", 96, 80, 8, "filter=0 gop=8"},
    {"all_modes_adaptive_filter", 96, 80, 8, "filter=2 gop=8"},
    {"no_loop_filter", 96, 80, 6, "loop=0"},
    {"two_partitions", 96, 80, 6, "split=1"},
    {"no_filter_header", 64, 48, 6, "filter_header=0"},
    {"version_6", 64, 48, 6, "sub=6 q=40"},
    {"version_7_fine", 64, 48, 6, "sub=7 q=2"},
    {"coarse", 64, 48, 6, "q=63"},
    {"alpha", 64, 48, 6, "alpha=1 gop=3"},
    {"alpha_odd_size", 50, 30, 5, "alpha=1 split=1"},
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
            const double psnr = Psnr(ours.data(), ref.data() + offset, ours.size());
            EXPECT_GE(psnr, 40);
            worst = std::min(worst, psnr);
            offset += ours.size();
        }
        EXPECT_EQ(offset, ref.size());
        std::printf("[ psnr ] vp6 %-26s worst frame %.1f dB\n", clip.name, worst);
    }
}

} // namespace
