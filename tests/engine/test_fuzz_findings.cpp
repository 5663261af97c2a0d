// Movies the fuzzer found breaking the engine, minimised into fuzz/: each loads, plays and
// draws, and its bitmap decodes or is refused as stated. The fuzz script replays them under
// AddressSanitizer and UndefinedBehaviorSanitizer too, which is where some of them bite.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "player/core/engine.h"
#include "player/core/swf/bitmaps.h"
#include "player/core/swf/movie_reader.h"

namespace {

struct Finding {
    const char* movie;
    bool bitmapDecodes;
};

const Finding kFindings[] = {
    // A damaged Huffman table makes the scan take more bits than its data holds; the
    // decoder goes on with zeros, and its bit count must not drive a shift past 31.
    {"jpeg_scan_runs_out.swf", true},
    // A component names a quantisation table no segment defines: the decoder would scale
    // by uninitialised memory.
    {"jpeg_undefined_quantiser.swf", false},
    // A sequential scan whose spectral range ends at 0 still decodes with its AC table,
    // here one never defined.
    {"jpeg_undefined_ac_table.swf", false},
    // DC differences that add up past 16 bits, scaled by a 16-bit quantiser, overflow an
    // int in the decoder; such a scan is refused.
    {"jpeg_dc_overflow.swf", false},
};

TEST(FuzzFindings, PlayAndDecodeTheirBitmapsAsStated) {
    for (const Finding& finding : kFindings) {
        SCOPED_TRACE(finding.movie);
        std::ifstream in(std::string(FLICKWELL_FUZZ_FINDINGS_DIR "/") + finding.movie,
                         std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        swf::Movie movie;
        ASSERT_EQ(swf::ReadMovie(bytes.data(), bytes.size(), &movie), swf::ReadStatus::Ok);
        swf::TagIterator tags = movie.Tags();
        swf::Tag tag;
        bool found = false;
        while (!found && tags.Next(&tag)) {
            found = tag.code == 6 || tag.code == 21 || tag.code == 35;
        }
        ASSERT_TRUE(found);
        swf::Bitmap bitmap;
        EXPECT_EQ(swf::ReadBitmap(tag, {}, &bitmap), finding.bitmapDecodes);

        engine::Player player;
        ASSERT_EQ(player.Load(bytes.data(), bytes.size()), engine::LoadStatus::Ok);
        std::vector<uint32_t> pixels(32 * 24);
        player.Play(0);
        for (uint32_t frame = 0; frame < 3; ++frame) {
            player.Tick(frame * player.FrameIntervalMs());
            player.Draw(engine::Surface{pixels.data(), 32, 24, 32}, engine::Box{0, 0, 32, 24});
        }
    }
}

} // namespace
