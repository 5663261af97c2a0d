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

enum class Bitmap { Decodes, Refused, None };

struct Finding {
    const char* movie;
    Bitmap bitmap;
};

const Finding kFindings[] = {
    // A damaged Huffman table makes the scan take more bits than its data holds; the
    // decoder goes on with zeros, and its bit count must not drive a shift past 31.
    {"jpeg_scan_runs_out.swf", Bitmap::Decodes},
    // A component names a quantisation table no segment defines: the decoder would scale
    // by uninitialised memory.
    {"jpeg_undefined_quantiser.swf", Bitmap::Refused},
    // A sequential scan whose spectral range ends at 0 still decodes with its AC table,
    // here one never defined.
    {"jpeg_undefined_ac_table.swf", Bitmap::Refused},
    // DC differences that add up past 16 bits, scaled by a 16-bit quantiser, overflow an
    // int in the decoder; such a scan is refused.
    {"jpeg_dc_overflow.swf", Bitmap::Refused},
    // Frame 1 places twice at one depth; going back to it must not leave the object the
    // rewind kept, and then dropped, reachable by its id.
    {"rewind_same_depth_twice.swf", Bitmap::None},
};

TEST(FuzzFindings, PlayAndDecodeTheirBitmapsAsStated) {
    for (const Finding& finding : kFindings) {
        SCOPED_TRACE(finding.movie);
        std::ifstream in(std::string(FLICKWELL_FUZZ_FINDINGS_DIR "/") + finding.movie,
                         std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        if (finding.bitmap != Bitmap::None) {
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
            EXPECT_EQ(swf::ReadBitmap(tag, {}, &bitmap), finding.bitmap == Bitmap::Decodes);
        }

        engine::Player player;
        ASSERT_EQ(player.Load(bytes.data(), bytes.size()), engine::LoadStatus::Ok);
        std::vector<uint32_t> pixels(32 * 24);
        player.Play(0);
        const engine::Surface surface{pixels.data(), 32, 24, 32};
        for (uint32_t frame = 0; frame < 4; ++frame) {
            player.Tick(frame * player.FrameIntervalMs());
            player.Draw(surface, engine::Box{0, 0, 32, 24});
        }
        player.GoTo(0);
        player.Draw(surface, engine::Box{0, 0, 32, 24});
    }
}

} // namespace
