// ActionScript 3 display objects on the stage: what scripts draw with Graphics, objects
// they make and add (also ones drawn and nested before they were added), and placement
// they set later, checked where each lands on a 400 x 300 canvas.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "player/core/engine.h"

namespace {

struct Canvas {
    std::vector<uint32_t> pixels = std::vector<uint32_t>(400 * 300, 0);
    uint32_t At(int x, int y) const { return pixels[size_t(y) * 400 + size_t(x)] & 0xFFFFFF; }
};

Canvas Frame(engine::Player& player, uint32_t frame) {
    player.Tick(frame * player.FrameIntervalMs());
    Canvas c;
    player.Draw(engine::Surface{c.pixels.data(), 400, 300, 400}, engine::Box{0, 0, 400, 300});
    return c;
}

TEST(As3Display, ScriptDrawingsAndPlacementReachTheStage) {
    std::ifstream in(FLICKWELL_OWN_MOVIES_DIR "/as3_drawing.swf", std::ios::binary);
    const std::vector<uint8_t> movie(std::istreambuf_iterator<char>(in), {});
    engine::Player player;
    ASSERT_EQ(engine::LoadStatus::Ok, player.Load(movie.data(), movie.size()));
    player.Play(0);
    const Canvas first = Frame(player, 0), later = Frame(player, 3);
    const struct {
        int x, y;
        uint32_t first, later;
        const char* what;
    } points[] = {
        {60, 35, 0x0000FF, 0x0000FF, "the root's own rectangle"},
        {111, 35, 0xFFFFFF, 0xFFFFFF, "just right of it"},
        {70, 120, 0x0000FF, 0x0000FF, "a pill with half-circle ends"},
        {15, 100, 0xFFFFFF, 0xFFFFFF, "outside its upper left curve"},
        {200, 150, 0xFF8080, 0xFFFFFF, "a half-clear circle, hidden later"},
        {200, 189, 0xFF8080, 0xFFFFFF, "the circle's bottom edge inside"},
        {200, 192, 0xFFFFFF, 0xFFFFFF, "below the circle"},
        {330, 50, 0xFFFF00, 0xFFFFFF, "a square drawn before it was added"},
        {330, 230, 0xFFFFFF, 0xFFFF00, "the same square moved down"},
        {301, 50, 0x00AA00, 0xFFFFFF, "its outline"},
        {300, 20, 0xFFFFFF, 0xFFFFFF, "its rounded corner left clear"},
        {65, 245, 0xFF0000, 0x00FF00, "added below, then brought to the top"},
        {30, 210, 0xFF0000, 0xFF0000, "the lower square alone"},
        {100, 280, 0x00FF00, 0x00FF00, "the upper square alone"},
    };
    for (const auto& p : points) {
        EXPECT_EQ(p.first, first.At(p.x, p.y)) << p.what << " at first";
        EXPECT_EQ(p.later, later.At(p.x, p.y)) << p.what << " later";
    }
}

} // namespace
