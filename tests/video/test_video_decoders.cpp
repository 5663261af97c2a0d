// Our decoders held against ffmpeg's, frame by frame, on clips its own encoders and SWF muxer
// wrote; then seeks, loops and damaged input through the playback that placed videos use.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "player/core/video/h263.h"
#include "tests/video/video_clips.h"

namespace {

using videotest::Ffmpeg;
using videotest::Psnr;
std::string Temp(const std::string& name) {
    return ::testing::TempDir() + name;
}

struct Clip {
    const char* name;
    const char* encode; // ffmpeg's output options
    const char* source; // a size for testsrc, or a whole ffmpeg source
    int frames;
    const char* pixFmt; // what ffmpeg decodes to
    double minPsnr;
};

// H.263's inverse transform is only specified to an accuracy, so ours and ffmpeg's may
// differ by a level here and there; Screen Video is lossless and must match exactly.
const Clip kClips[] = {
    {"h263_cif", "-c:v flv1 -g 5", "176x144", 12, "yuv420p", 35},
    {"h263_odd_size", "-c:v flv1 -g 4", "100x60", 9, "yuv420p", 35},
    {"h263_long_gop_fine", "-c:v flv1 -g 100 -q:v 2", "128x96", 15, "yuv420p", 35},
    {"h263_coarse", "-c:v flv1 -q:v 31", "160x120", 6, "yuv420p", 35},
    // Fast motion: intra macroblocks with quantiser changes inside inter frames.
    {"h263_motion", "-c:v flv1 -q:v 5", "testsrc2=size=320x240", 8, "yuv420p", 35},
    {"h263_four_vectors", "-c:v flv1 -flags +mv4 -b:v 400k", "testsrc2=size=320x240", 8, "yuv420p",
     35},
    {"screen_video", "-c:v flashsv", "100x60", 4, "bgr24", 99},
    {"screen_video_partial_blocks", "-c:v flashsv -g 3", "200x130", 7, "bgr24", 99},
};

TEST(VideoDecoders, MatchFfmpegFrameByFrame) {
    if (!videotest::HaveFfmpeg()) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    for (const Clip& clip : kClips) {
        SCOPED_TRACE(clip.name);
        const std::string swfPath = Temp(std::string(clip.name) + ".swf");
        const std::string rawPath = Temp(std::string(clip.name) + ".raw");
        const std::string source = std::strchr(clip.source, '=') != nullptr
                                       ? clip.source
                                       : std::string("testsrc=size=") + clip.source;
        ASSERT_TRUE(Ffmpeg("-f lavfi -i " + source + ":rate=10 -frames:v " +
                           std::to_string(clip.frames) + " " + clip.encode + " -f swf " + swfPath));
        ASSERT_TRUE(
            Ffmpeg("-i " + swfPath + " -f rawvideo -pix_fmt " + clip.pixFmt + " " + rawPath));
        videotest::VideoMovie m;
        ASSERT_TRUE(m.Load(swfPath));
        const std::vector<uint8_t> ref = videotest::ReadAll(rawPath);
        std::unique_ptr<video::Decoder> d =
            video::MakeDecoder(m.stream->def.codec, m.stream->def.width, m.stream->def.height);
        ASSERT_TRUE(d);
        ASSERT_EQ(m.stream->frames.size(), size_t(clip.frames));
        double worst = 99;
        size_t offset = 0;
        for (const video::StreamFrame& f : m.stream->frames) {
            ASSERT_EQ(d->Decode(f.data, f.size), video::Status::Ok);
            const std::vector<uint8_t> ours = videotest::Raw(d->Current());
            ASSERT_LE(offset + ours.size(), ref.size());
            worst = std::min(worst, Psnr(ours.data(), ref.data() + offset, ours.size()));
            offset += ours.size();
        }
        EXPECT_EQ(offset, ref.size());
        EXPECT_GE(worst, clip.minPsnr);
        std::printf("[ psnr ] %-22s worst frame %.1f dB\n", clip.name, worst);
    }
}

// Screen Video 2: ffmpeg writes it only as FLV, which tools/flv2swf.py repacks into a
// movie without FLV's frame-type byte, so keyframes are told from the blocks. Lossless:
// held exactly, through palette and 15-bit pixels, changed bands and primed blocks.
TEST(VideoDecoders, ScreenVideo2MatchesFfmpegExactly) {
    if (!videotest::HaveFfmpeg()) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    struct Sv2 {
        const char* name;
        const char* source;
        int width, height, frames;
        const char* encode;
    };
    const Sv2 clips[] = {
        {"sv2_testsrc", "testsrc", 100, 60, 6, "-g 3"},
        {"sv2_motion", "testsrc2", 200, 130, 7, "-g 4"},
        {"sv2_one_block", "testsrc", 30, 20, 4, "-g 2"},
    };
    for (const Sv2& c : clips) {
        SCOPED_TRACE(c.name);
        const std::string base = Temp(c.name),
                          size = std::to_string(c.width) + "x" + std::to_string(c.height);
        ASSERT_TRUE(Ffmpeg("-f lavfi -i " + std::string(c.source) + "=size=" + size +
                           ":rate=10 -frames:v " + std::to_string(c.frames) + " -c:v flashsv2 " +
                           c.encode + " " + base + ".flv"));
        ASSERT_TRUE(Ffmpeg("-i " + base + ".flv -f rawvideo -pix_fmt bgr24 " + base + ".raw"));
        ASSERT_EQ(
            std::system(("python3 " FLICKWELL_TOOLS_DIR "/flv2swf.py " + base + ".flv " + base +
                         ".swf " + std::to_string(c.width) + " " + std::to_string(c.height))
                            .c_str()),
            0);
        const std::vector<uint8_t> ref = videotest::ReadAll(base + ".raw");
        videotest::VideoMovie m;
        ASSERT_TRUE(m.Load(base + ".swf"));
        ASSERT_EQ(m.stream->def.codec, 6);
        std::unique_ptr<video::Decoder> d = video::MakeDecoder(6, c.width, c.height);
        size_t offset = 0;
        int n = 0;
        for (const video::StreamFrame& f : m.stream->frames) {
            SCOPED_TRACE(n++);
            ASSERT_EQ(d->Decode(f.data, f.size), video::Status::Ok);
            const std::vector<uint8_t> ours = videotest::Raw(d->Current());
            ASSERT_LE(offset + ours.size(), ref.size());
            EXPECT_TRUE(std::equal(ours.begin(), ours.end(), ref.begin() + offset));
            offset += ours.size();
        }
        EXPECT_EQ(offset, ref.size());
        EXPECT_EQ(m.stream->keyframes.front(), 0u);
    }
}

} // namespace
