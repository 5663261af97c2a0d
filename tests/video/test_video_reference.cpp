// Whole movies with video against the reference player's pictures (made once with
// ../shared/tools/ruffle-ref/render.sh; the movies were written by ffmpeg's SWF muxer, the
// VP6 ones by tools/vp6writer.py: `vp6_64x48 64 48 8 gop=4` and
// `vp6_alpha_64x48 64 48 6 gop=3 alpha=1`).
#include <gtest/gtest.h>

#include "player/core/engine.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb_image.h>
#undef STB_IMAGE_IMPLEMENTATION

#include "tests/engine/pictures.h"
#include "tests/video/video_clips.h"

namespace {

TEST(VideoReference, MatchesTheReferencePlayer) {
    struct Case {
        const char* movie;
        uint32_t frame; // 1-based, as render.sh counts
        double minContent;
    };
    const Case cases[] = {{"h263_160x120", 4, 0.99},
                          {"screen_160x120", 3, 0.99},
                          {"vp6_64x48", 6, 0.99},
                          {"vp6_alpha_64x48", 4, 0.99}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.movie);
        const std::string base = std::string(FLICKWELL_VIDEO_MOVIES_DIR "/") + c.movie;
        const std::vector<uint8_t> movie = videotest::ReadAll(base + ".swf");
        int w = 0, h = 0;
        const std::vector<uint32_t> ref = enginetest::LoadPicture(base + ".ruffle.png", &w, &h);
        ASSERT_FALSE(ref.empty());
        engine::Player player;
        ASSERT_EQ(player.Load(movie.data(), movie.size()), engine::LoadStatus::Ok);
        player.GoTo(c.frame - 1);
        std::vector<uint32_t> ours(size_t(w) * h);
        player.Draw(engine::Surface{ours.data(), w, h, w}, engine::Box{0, 0, w, h});
        for (uint32_t& p : ours) {
            p &= 0xFFFFFF;
        }
        EXPECT_GE(enginetest::ContentScore(ours, ref), c.minContent);
    }
}

} // namespace
