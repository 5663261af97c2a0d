// The Video object scripts see for a placed video: its size, smoothing and deblocking, and
// clear(), which empties the picture until the next frame.
#include <gtest/gtest.h>

#include "player/core/engine.h"
#include "tests/engine/avm1_asm.h"
#include "tests/video/video_clips.h"

namespace {

// ffmpeg's movie with a DoAction before its first ShowFrame (an uncompressed movie's tags
// start after the 8-byte prefix, the rectangle and 4 bytes of rate and count), its video
// stream marked smoothed.
std::vector<uint8_t> WithScript(std::vector<uint8_t> movie, const std::vector<uint8_t>& code) {
    const size_t rect = (5 + 4 * (movie[8] >> 3) + 7) / 8;
    size_t pos = 8 + rect + 4;
    while (pos + 2 <= movie.size()) {
        const unsigned head = movie[pos] | movie[pos + 1] << 8;
        if (head >> 6 == 1) {
            break; // ShowFrame
        }
        size_t length = head & 63, header = 2;
        if (length == 63) {
            length = movie[pos + 2] | movie[pos + 3] << 8 | movie[pos + 4] << 16 |
                     uint32_t(movie[pos + 5]) << 24;
            header = 6;
        }
        if (head >> 6 == 60 && length >= 10) { // DefineVideoStream: flags after id, count, size
            movie[pos + header + 8] |= 1;
        }
        pos += header + length;
    }
    std::vector<uint8_t> tag = {0x3F, 0x03, 0, 0, 0, 0}; // DoAction, long form
    const uint32_t n = uint32_t(code.size() + 1);
    for (int k = 0; k < 4; ++k) {
        tag[2 + k] = uint8_t(n >> (8 * k));
    }
    tag.insert(tag.end(), code.begin(), code.end());
    tag.push_back(0); // ActionEnd
    movie.insert(movie.begin() + pos, tag.begin(), tag.end());
    const uint32_t length = uint32_t(movie.size());
    for (int k = 0; k < 4; ++k) {
        movie[4 + k] = uint8_t(length >> (8 * k));
    }
    return movie;
}

TEST(VideoScript, TheVideoObject) {
    if (!videotest::HaveFfmpeg()) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    const std::string path = ::testing::TempDir() + "script_video.swf";
    ASSERT_TRUE(videotest::Ffmpeg("-f lavfi -i testsrc=size=96x64:rate=10 -frames:v 3 -c:v flv1 "
                                  "-f swf " +
                                  path));
    const std::string get = "push 'video'; getvar; push ";
    std::string error;
    const std::vector<uint8_t> code = avm1test::Assemble(
        get + "'width'; getmember; trace;" + get + "'height'; getmember; trace;" + get +
            "'smoothing'; getmember; trace;" + get + "'smoothing' false; setmember;" + get +
            "'smoothing'; getmember; trace;" + get + "'deblocking' 2; setmember;" + get +
            "'deblocking'; getmember; trace;" + get + "'_width'; getmember; trace;" + get +
            "'attachVideo'; getmember; typeof; trace;" +
            "push 0 'video'; getvar; push 'clear'; callmethod; pop",
        &error);
    ASSERT_FALSE(code.empty()) << error;
    const std::vector<uint8_t> movie = WithScript(videotest::ReadAll(path), code);
    engine::Player player;
    std::vector<std::string> lines;
    player.SetTraceSink([&](const char* line) { lines.push_back(line); });
    ASSERT_EQ(player.Load(movie.data(), movie.size()), engine::LoadStatus::Ok); // runs frame 1
    const std::vector<std::string> expected = {"96", "64", "true", "false", "2", "96", "function"};
    EXPECT_EQ(lines, expected);
    // Cleared: the stage colour only, until the next frame brings a picture.
    const int w = 96, h = 64;
    std::vector<uint32_t> pixels(size_t(w) * h);
    auto painted = [&] {
        player.Draw(engine::Surface{pixels.data(), w, h, w}, engine::Box{0, 0, w, h});
        size_t n = 0;
        for (uint32_t p : pixels) {
            n += (p & 0xFFFFFF) != (player.Background() & 0xFFFFFF);
        }
        return n;
    };
    EXPECT_EQ(painted(), 0u);
    player.GoTo(1);
    EXPECT_GT(painted(), size_t(w) * h / 2);
}

} // namespace
