// ActionScript 3 display objects on the stage: what scripts draw with Graphics, objects
// they make and add (also ones drawn and nested before they were added), and placement
// they set later, checked where each lands on a 400 x 300 canvas; a clip's frames, scenes
// and gotos over a timeline of known scenes and labels; Timer counts and their ends; what
// a rewind keeps.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "player/core/avm2/display.h"
#include "player/core/engine.h"
#include "player/core/timeline/dictionary.h"
#include "player/core/timeline/display_list.h"

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
        {70, 93, 0x0000FF, 0x0000FF, "the pill's straight top"},
        {70, 147, 0x0000FF, 0x0000FF, "its straight bottom"},
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
        {160, 270, 0xFFFFFF, 0xFFFFFF, "no mark from a child's removal reaching the root"},
        {170, 40, 0x0000FF, 0x0000FF, "a white square tinted blue"},
        {210, 40, 0xFFFFFF, 0x0000FF, "the same stretched by its matrix"},
        {229, 40, 0xFFFFFF, 0x0000FF, "the stretched square's last column"},
        {230, 40, 0xFFFFFF, 0xFFFFFF, "just right of it"},
    };
    for (const auto& p : points) {
        EXPECT_EQ(p.first, first.At(p.x, p.y)) << p.what << " at first";
        EXPECT_EQ(p.later, later.At(p.x, p.y)) << p.what << " later";
    }
}

// One of our own movies (tests/engine/movies), playing, with the lines it traces.
struct Played {
    engine::Player player;
    std::vector<std::string> lines;
};
bool PlayOwn(const char* name, Played* p) {
    std::ifstream in(std::string(FLICKWELL_OWN_MOVIES_DIR "/") + name, std::ios::binary);
    const std::vector<uint8_t> movie(std::istreambuf_iterator<char>(in), {});
    p->player.SetTraceSink([p](const char* line) { p->lines.push_back(line); });
    if (p->player.Load(movie.data(), movie.size()) != engine::LoadStatus::Ok)
        return false;
    p->player.Play(0);
    return true;
}

// Text fields a script makes (tools/as3/ScriptText.hx): a boxed field sized by width and
// height, one taken off the stage and put back with its colours, and the text methods and
// formats traced a line each, as Flash Player prints them.
TEST(As3Display, ScriptTextFieldsReachTheStageAndKeepTheirFormats) {
    Played played;
    ASSERT_TRUE(PlayOwn("as3_text.swf", &played));
    engine::Player& player = played.player;
    const std::vector<std::string>& lines = played.lines;
    const Canvas first = Frame(player, 0), gone = Frame(player, 2), back = Frame(player, 4);
    const struct {
        int x, y;
        uint32_t first, gone, back;
        const char* what;
    } points[] = {
        {60, 30, 0x00FF00, 0x00FF00, 0x00FF00, "the boxed field's background"},
        {109, 49, 0x00FF00, 0x00FF00, 0x00FF00, "its last pixel inside the border"},
        {112, 30, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, "right of its 100-pixel width"},
        {60, 52, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, "below its 40-pixel height"},
        {225, 35, 0x0000FF, 0xFFFFFF, 0x0000FF, "a field removed and added again"},
        {249, 59, 0x0000FF, 0xFFFFFF, 0x0000FF, "its last pixel"},
        {251, 35, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, "right of it"},
    };
    for (const auto& p : points) {
        EXPECT_EQ(p.first, first.At(p.x, p.y)) << p.what << " at first";
        EXPECT_EQ(p.gone, gone.At(p.x, p.y)) << p.what << " while removed";
        EXPECT_EQ(p.back, back.At(p.x, p.y)) << p.what << " when back";
    }
    const char* want[] = {
        "11 true",                            // "\n" is kept as "\r"
        "true null false",                    // bold on a range; mixed reads null
        "Howdy/World! 12",                    // appendText, replaceText
        "16711680 16711680",                  // textColor colours every run
        "xy true false",                      // htmlText
        "Arial 30 1193046 true center false", // defaultTextFormat; unset keeps the old value
        "none dynamic false false true",
        "left input",
        "2008",   // autoSize not one of its names
        "2008",   // nor type
        "2006",   // a format read past the end
        "2006",   // nor set past it
        "246 45", // width is the box times the scale
    };
    ASSERT_EQ(sizeof(want) / sizeof(want[0]), lines.size());
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(want[i], lines[i]) << "line " << i + 1;
}

// Bitmaps a script makes and shows (tools/as3/ScriptBitmap.hx): a filled BitmapData in a
// Bitmap, a Bitmap given a sprite drawn off the stage after it was added, the movie's own
// bitmap bound to a class, scaled ten times and repeated as a fill; filters set before and
// after an object is added, a blend mode; and BitmapData's sizes at their limits.
TEST(As3Display, ScriptBitmapsShowTheirPixels) {
    Played played;
    ASSERT_TRUE(PlayOwn("as3_bitmap.swf", &played));
    engine::Player& player = played.player;
    const std::vector<std::string>& lines = played.lines;
    const Canvas c = Frame(player, 0);
    const struct {
        int x, y;
        uint32_t color;
        const char* what;
    } points[] = {
        {10, 10, 0x00FF00, "the pixel set green"},
        {11, 10, 0xFF0000, "the red fill beside it"},
        {59, 59, 0xFF0000, "the red half's last pixel"},
        {60, 30, 0x0000FF, "the blue rectangle filled over it"},
        {109, 59, 0x0000FF, "the bitmap's last pixel"},
        {110, 30, 0xFFFFFF, "right of the bitmap"},
        {35, 125, 0x00FF00, "a circle drawn off the stage, given to a Bitmap added before"},
        {12, 102, 0xFFFFFF, "its clear corner"},
        {189, 49, 0xFF0000, "the movie's bitmap scaled up: its red half"},
        {190, 10, 0x8080FF, "its half-clear blue half over white"},
        {230, 30, 0xFFFFFF, "right of it"},
        {195, 130, 0xFF0000, "the movie's bitmap repeated as a fill: the second tile's red"},
        {225, 110, 0x8080FF, "its last tile's blue"},
        {231, 110, 0xFFFFFF, "right of the filled rectangle"},
        {310, 110, 0x000000, "a square with a glow set after it was added"},
        {310, 97, 0x0000FF, "its glow above it"},
        {325, 210, 0xFF0000, "a red shadow ten pixels right of a square filtered before added"},
        {335, 210, 0xFFFFFF, "past the shadow"},
        {30, 30, 0x000000, "cyan multiplied over red"},
        {45, 30, 0xFF0000, "the red beside it"},
    };
    for (const auto& p : points) {
        const uint32_t got = c.At(p.x, p.y);
        for (int shift : {0, 8, 16})
            EXPECT_NEAR(int((p.color >> shift) & 255), int((got >> shift) & 255), 2)
                << p.what << std::hex << " got " << got;
    }
    const char* want[] = {
        "100 50 false 65280 4278190335 (x=0, y=0, w=100, h=50)",
        "4278255360 0",                 // a drawn circle's middle, its clear corner
        "8 4 4294901760",               // the class bound to the movie's bitmap
        "2500 (x=50, y=0, w=50, h=50)", // threshold's count, the colour's bounds
        "2015",                         // a disposed bitmap
        "multiply 2008",                // a blend mode it does not know
        "0x10 2015",
        "8191x1 made",
        "8192x1 2015",
        "4095x4097 made",
        "4096x4096 2015",
    };
    ASSERT_EQ(sizeof(want) / sizeof(want[0]), lines.size());
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(want[i], lines[i]) << "line " << i + 1;
}

// Fifteen frames in five scenes starting at 1, 6, 9, 11 and 14, with labels.
struct ScenedTimeline : avm2::TimelineBridge {
    uint32_t frame = 1;
    bool playing = true;
    std::vector<std::pair<std::string, uint32_t>> labels{
        {"frame4", 4}, {"frame3", 8}, {"2.1", 13}, {"2", 14}};
    uint32_t CurrentFrame(uint32_t) override { return frame; }
    uint32_t TotalFrames(uint32_t) override { return 15; }
    bool Playing(uint32_t) override { return playing; }
    void SetPlaying(uint32_t, bool p) override { playing = p; }
    void Goto(uint32_t, uint32_t f) override { frame = f; }
    int FrameOfLabel(uint32_t, const std::string&) override { return 0; }
    std::string LabelOf(uint32_t, uint32_t) override { return std::string(); }
    std::vector<std::pair<std::string, uint32_t>> Labels(uint32_t) override { return labels; }
    std::vector<std::pair<std::string, uint32_t>> Scenes(uint32_t) override {
        return {{"Scene 1", 1}, {"Scene 2", 6}, {"Scene 3", 9}, {"Scene 4", 11}, {"Scene 5", 14}};
    }
};

// The root clip of a movie with five scenes, as the script sees it.
class ScenedClip : public ::testing::Test {
  protected:
    ScenedClip() {
        vm.SetTimeline(&timeline);
        clip = avm2::Value::Obj(
            avm2::NewDisplayObject(vm, vm.Builtin("MovieClip"), timeline::kRootId));
    }
    avm2::Vm vm;
    ScenedTimeline timeline;
    avm2::Value clip;
};

TEST_F(ScenedClip, GotoReadsItsFrameArgumentAsFlashDoes) {
    using avm2::Value;
    const Value none;
    const struct {
        uint32_t from;
        Value frame, scene;
        uint32_t to; // the timeline's frame after, when no error
        int error;   // the error thrown, 0 if none
        const char* what;
    } cases[] = {
        {1, Value::Num(999), none, 15, 0, "past the end: the last frame"},
        {9, Value::Num(0), none, 8, 0, "frame 0 of a scene: the frame before it"},
        {1, Value::Num(0), none, 1, 0, "frame 0 of the first: the first"},
        {1, Value::Num(-2147483647.0), none, 1, 0, "the lowest that does not wrap"},
        {1, Value::Num(-2147483648.0), none, 15, 0, "the lowest wraps to the last"},
        {1, Value::Num(2147483648.0), none, 15, 0, "just over the int range"},
        {1, Value::Num(6), none, 6, 0, "a frame past scene 1 runs into scene 2"},
        {6, Value::Num(2), none, 7, 0, "numbers count from the current scene"},
        {1, Value::Str("3 "), none, 3, 0, "a string that reads as a number"},
        {1, Value::Str("2"), Value::Str("Scene 5"), 15, 0, "numeric strings beat labels"},
        {1, Value::Num(2.1), Value::Str("Scene 4"), 13, 0, "a fraction names a label"},
        {1, Value::Str("frame3"), none, 8, 0, "a label in another scene"},
        {1, Value::Str("frame3"), Value::Str("Scene 1"), 1, 2109, "not in the scene named"},
        {1, Value::Str("nowhere"), none, 1, 2109, "no such label"},
        {1, Value::Num(1), Value::Str("Scene 9"), 1, 2108, "no such scene"},
    };
    for (const auto& c : cases) {
        timeline.frame = c.from;
        Value args[2] = {c.frame, c.scene};
        vm.CallMethod(clip, "gotoAndStop", args, c.scene.IsUndefined() ? 1 : 2);
        const Value thrown = vm.throwing() ? vm.TakeThrown() : Value();
        EXPECT_EQ(c.error, thrown.IsUndefined() ? 0 : int(vm.ToNumber(vm.Get(thrown, "errorID"))))
            << c.what;
        EXPECT_EQ(c.to, timeline.frame) << c.what;
    }
}

TEST_F(ScenedClip, ScenesNumberFramesAndLabelsFromTheirStart) {
    using avm2::Value;
    const struct {
        uint32_t frame;
        double current;
        const char *scene, *label, *labels;
        uint32_t afterNext;
    } cases[] = {
        {1, 1, "Scene 1", "null", "frame4@4", 6},
        {5, 5, "Scene 1", "frame4", "frame4@4", 6},
        {6, 1, "Scene 2", "null", "frame3@3", 9},
        {8, 3, "Scene 2", "frame3", "frame3@3", 9},
        {13, 3, "Scene 4", "2.1", "2.1@3", 14},
        {15, 2, "Scene 5", "2", "2@1", 14}, // the last scene: back to its start
    };
    for (const auto& c : cases) {
        timeline.frame = c.frame;
        EXPECT_EQ(c.current, vm.ToNumber(vm.Get(clip, "currentFrame"))) << c.frame;
        const Value scene = vm.Get(clip, "currentScene");
        EXPECT_EQ(c.scene, vm.ToString(vm.Get(scene, "name"))) << c.frame;
        EXPECT_EQ(c.label, vm.ToString(vm.Get(clip, "currentLabel"))) << c.frame;
        std::string labels;
        const Value list = vm.Get(clip, "currentLabels");
        for (int i = 0; i < int(vm.ToNumber(vm.Get(list, "length"))); ++i) {
            const Value l = vm.Get(list, std::to_string(i));
            labels += vm.ToString(vm.Get(l, "name")) + "@" + vm.ToString(vm.Get(l, "frame"));
        }
        EXPECT_EQ(c.labels, labels) << c.frame;
        vm.CallMethod(clip, "nextScene", nullptr, 0);
        EXPECT_EQ(c.afterNext, timeline.frame) << c.frame;
    }
}

// nextFrame and prevFrame step within the whole timeline and stop it, at its ends too.
TEST_F(ScenedClip, StepsStopTheClip) {
    const struct {
        uint32_t from;
        const char* method;
        uint32_t to;
    } cases[] = {{1, "nextFrame", 2}, {5, "nextFrame", 6}, {15, "nextFrame", 15},
                 {6, "prevFrame", 5}, {2, "prevFrame", 1}, {1, "prevFrame", 1}};
    for (const auto& c : cases) {
        timeline.frame = c.from;
        timeline.playing = true;
        vm.CallMethod(clip, c.method, nullptr, 0);
        EXPECT_EQ(c.to, timeline.frame) << c.method << " from " << c.from;
        EXPECT_FALSE(timeline.playing) << c.method << " from " << c.from;
    }
}

// A red 100 x 50 rectangle drawn in a shape at x = 10, added to `sprite`; gives the shape.
avm2::Value AddRectangleShape(avm2::Vm& vm, const avm2::Value& sprite) {
    using avm2::Value;
    const Value shape = vm.ConstructClass(vm.Builtin("Shape"), nullptr, 0);
    const Value g = vm.Get(shape, "graphics");
    Value fill = Value::Num(0xFF0000);
    vm.CallMethod(g, "beginFill", &fill, 1);
    Value rect[4] = {Value::Num(0), Value::Num(0), Value::Num(100), Value::Num(50)};
    vm.CallMethod(g, "drawRect", rect, 4);
    vm.Set(shape, "x", Value::Num(10));
    Value child = shape;
    vm.CallMethod(sprite, "addChild", &child, 1);
    return shape;
}

// Off the stage, width and height are the bounds of what an object and its children draw;
// setting one scales to it, and an empty object stays as it is.
TEST(As3Display, WidthAndHeightFollowWhatIsDrawn) {
    using avm2::Value;
    avm2::Vm vm;
    const Value sprite = vm.ConstructClass(vm.Builtin("Sprite"), nullptr, 0);
    Value n = Value::Num(200);
    vm.Set(sprite, "width", n);
    EXPECT_EQ(0, vm.ToNumber(vm.Get(sprite, "width"))) << "empty: nothing to scale";
    EXPECT_EQ(1, vm.ToNumber(vm.Get(sprite, "scaleX"))) << "empty: scale kept";
    AddRectangleShape(vm, sprite);
    const struct {
        const char* set;
        double to, width, height, scaleX;
    } cases[] = {
        {nullptr, 0, 100, 50, 1},   // the child's rectangle, wherever it lies
        {"width", 200, 200, 50, 2}, // scaled to it
        {"height", 25, 200, 25, 2}, // the other axis alone
        {"width", 0, 0, 25, 0},     // down to nothing
        {"width", 100, 0, 25, 0},   // and nothing to scale back from
    };
    for (const auto& c : cases) {
        if (c.set)
            vm.Set(sprite, c.set, Value::Num(c.to));
        EXPECT_NEAR(c.width, vm.ToNumber(vm.Get(sprite, "width")), 1e-9) << c.set << c.to;
        EXPECT_NEAR(c.height, vm.ToNumber(vm.Get(sprite, "height")), 1e-9) << c.set << c.to;
        EXPECT_NEAR(c.scaleX, vm.ToNumber(vm.Get(sprite, "scaleX")), 1e-9) << c.set << c.to;
    }
}

// Positions are whole twips, truncated toward zero; out of range they become the lowest.
TEST(As3Display, PositionsAreWholeTwips) {
    using avm2::Value;
    avm2::Vm vm;
    const Value sprite = vm.ConstructClass(vm.Builtin("Sprite"), nullptr, 0);
    const struct {
        double set, get;
    } cases[] = {
        {10.123, 10.1},
        {-1.5 + 1 / 60.0, -1.45},
        {0.049, 0},
        {-0.049, 0},
        {107374182.35, 107374182.35},
        {107374182.4, -107374182.4},
        {-107374182.4, -107374182.4},
        {-107374182.45, -107374182.4},
        {NAN, -107374182.4},
    };
    for (const auto& c : cases)
        for (const char* axis : {"x", "y"}) {
            vm.Set(sprite, axis, Value::Num(c.set));
            EXPECT_DOUBLE_EQ(c.get, vm.ToNumber(vm.Get(sprite, axis))) << axis << " " << c.set;
        }
}

// Matrix methods against products worked by hand: concat applies its argument after,
// scale and rotate too; invert undoes; a singular matrix inverts to its moved-back origin.
TEST(As3Display, MatrixMethodsComposeInFlashOrder) {
    using avm2::Value;
    avm2::Vm vm;
    auto matrix = [&](double a, double b, double c, double d, double tx, double ty) {
        Value v[6] = {Value::Num(a), Value::Num(b),  Value::Num(c),
                      Value::Num(d), Value::Num(tx), Value::Num(ty)};
        return vm.ConstructClass(vm.Builtin("Matrix"), v, 6);
    };
    const struct {
        const char* method;
        double args[6];
        int argc;
        const char* after;
    } cases[] = {
        {"translate", {5, -5}, 2, "(a=2, b=0, c=0, d=4, tx=15, ty=15)"},
        {"scale", {2, 0.5}, 2, "(a=4, b=0, c=0, d=2, tx=20, ty=10)"},
        {"concat", {0, 1, -1, 0, 1, 2}, 6, "(a=0, b=2, c=-4, d=0, tx=-19, ty=12)"},
        {"invert", {}, 0, "(a=0.5, b=0, c=0, d=0.25, tx=-5, ty=-5)"},
        {"createBox", {2, 3, 0, 7, 8}, 5, "(a=2, b=0, c=0, d=3, tx=7, ty=8)"},
        {"createGradientBox",
         {100, 50, 0, 10, 20},
         5,
         "(a=0.06103515625, b=0, c=0, d=0.030517578125, tx=60, ty=45)"},
        {"setTo", {1, 2, 2, 4, 3, 4}, 6, "(a=1, b=2, c=2, d=4, tx=3, ty=4)"},
    };
    for (const auto& c : cases) {
        const Value m = matrix(2, 0, 0, 4, 10, 20);
        Value args[6];
        for (int i = 0; i < c.argc; ++i)
            args[i] = Value::Num(c.args[i]);
        if (std::string(c.method) == "concat") {
            args[0] = matrix(c.args[0], c.args[1], c.args[2], c.args[3], c.args[4], c.args[5]);
            vm.CallMethod(m, "concat", args, 1);
        } else {
            vm.CallMethod(m, c.method, args, c.argc);
        }
        EXPECT_EQ(c.after, vm.ToString(m)) << c.method;
    }
    // A singular matrix: nothing to undo but its offset.
    const Value flat = matrix(1, 2, 2, 4, 3, 4);
    vm.CallMethod(flat, "invert", nullptr, 0);
    EXPECT_EQ("(a=0, b=0, c=0, d=0, tx=-3, ty=-4)", vm.ToString(flat));
    Value point[2] = {Value::Num(1), Value::Num(1)};
    const Value p = vm.ConstructClass(vm.Builtin("Point"), point, 2);
    Value arg = p;
    EXPECT_EQ("(x=12, y=24)",
              vm.ToString(vm.CallMethod(matrix(2, 0, 0, 4, 10, 20), "transformPoint", &arg, 1)));
    EXPECT_EQ("(x=2, y=4)", vm.ToString(vm.CallMethod(matrix(2, 0, 0, 4, 10, 20),
                                                      "deltaTransformPoint", &arg, 1)));
}

// A Timer's listener: traces "timer N" or "complete N" and, on the tick `changeAt`, does
// what the case asks of the timer it hears.
struct TimerCase {
    int32_t repeat;
    int changeAt;
    const char* change; // "stop", "repeat=N" (in the listener), or nullptr
    const char* heard;  // what the listeners traced, over ten ticks' time
};
const TimerCase* g_timerCase = nullptr;

avm2::Value HearTimer(avm2::Vm& vm, const avm2::Value&, avm2::Value* args, int) {
    using avm2::Value;
    const Value timer = vm.Get(args[0], "target");
    const int count = int(vm.ToNumber(vm.Get(timer, "currentCount")));
    vm.Trace(vm.ToString(vm.Get(args[0], "type")) + " " + std::to_string(count));
    const std::string change = g_timerCase->change ? g_timerCase->change : "";
    if (count == g_timerCase->changeAt && vm.ToString(vm.Get(args[0], "type")) == "timer") {
        if (change == "stop")
            vm.CallMethod(timer, "stop", nullptr, 0);
        else if (change.compare(0, 7, "repeat=") == 0)
            vm.Set(timer, "repeatCount", Value::Num(std::atoi(change.c_str() + 7)));
    }
    return Value();
}

TEST(As3Display, TimersCompleteWhenTheirCountIsReachedAfterTheTick) {
    using avm2::Value;
    const TimerCase cases[] = {
        {2, 0, nullptr, "timer 1,timer 2,timerComplete 2"},
        {1, 0, nullptr, "timer 1,timerComplete 1"},
        {0, 0, nullptr, "timer 1,timer 2,timer 3,timer 4,timer 5,timer 6,timer 7,timer 8"},
        {2, 2, "repeat=4", "timer 1,timer 2,timer 3,timer 4,timerComplete 4"},
        {0, 3, "repeat=3", "timer 1,timer 2,timer 3,timerComplete 3"},
        {5, 3, "repeat=1", "timer 1,timer 2,timer 3,timerComplete 3"},
        {5, 2, "stop", "timer 1,timer 2"},
        {2, 2, "stop", "timer 1,timer 2"},
    };
    for (const auto& c : cases) {
        g_timerCase = &c;
        double now = 0;
        std::string heard;
        avm2::Vm vm;
        vm.SetClock([&now] { return now; });
        vm.SetSink([&heard](avm2::Channel, const std::string& s) {
            heard += (heard.empty() ? "" : ",") + s;
        });
        Value args[2] = {Value::Num(10), Value::Num(c.repeat)};
        const Value timer = vm.ConstructClass(vm.Builtin("Timer"), args, 2);
        Value listen[2] = {Value::Str("timer"), Value::Obj(vm.NewNativeFunction("l", HearTimer))};
        vm.CallMethod(timer, "addEventListener", listen, 2);
        listen[0] = Value::Str("timerComplete");
        vm.CallMethod(timer, "addEventListener", listen, 2);
        vm.CallMethod(timer, "start", nullptr, 0);
        for (now = 10; now <= 80; now += 10)
            vm.RunTimers();
        EXPECT_EQ(c.heard, heard) << c.repeat << " " << (c.change ? c.change : "");
        EXPECT_FALSE(vm.throwing());
    }
}

// Lowered to the count reached between ticks, the repeat count stops the timer quietly;
// a delay must be a finite number not below zero, at construction and when set.
TEST(As3Display, TimerRepeatAndDelayEdges) {
    using avm2::Value;
    avm2::Vm vm;
    double now = 0;
    vm.SetClock([&now] { return now; });
    Value args[2] = {Value::Num(10), Value::Num(0)};
    const Value timer = vm.ConstructClass(vm.Builtin("Timer"), args, 2);
    vm.CallMethod(timer, "start", nullptr, 0);
    for (now = 10; now <= 30; now += 10)
        vm.RunTimers();
    vm.Set(timer, "repeatCount", Value::Num(4));
    EXPECT_TRUE(ToBoolean(vm.Get(timer, "running"))) << "4 is not reached at 3";
    vm.Set(timer, "repeatCount", Value::Num(3));
    EXPECT_FALSE(ToBoolean(vm.Get(timer, "running"))) << "3 is reached";
    const struct {
        double delay;
        bool refused;
    } delays[] = {{0, false},    {-0.0, false}, {-1e-9, true},   {-1, true},
                  {1e15, false}, {NAN, true},   {INFINITY, true}};
    for (const auto& d : delays) {
        Value a = Value::Num(d.delay);
        vm.ConstructClass(vm.Builtin("Timer"), &a, 1);
        const Value made = vm.throwing() ? vm.TakeThrown() : Value();
        vm.Set(timer, "delay", a);
        const Value set = vm.throwing() ? vm.TakeThrown() : Value();
        for (const Value& e : {made, set})
            EXPECT_EQ(d.refused ? 2066 : 0,
                      e.IsUndefined() ? 0 : int(vm.ToNumber(vm.Get(e, "errorID"))))
                << d.delay;
    }
}

// A call through IEventDispatcher names the method in the interface's namespace.
TEST(As3Display, DispatcherMethodsAnswerThroughTheirInterface) {
    using avm2::Value;
    avm2::Vm vm;
    const Value clip = vm.ConstructClass(vm.Builtin("MovieClip"), nullptr, 0);
    avm2::Name name = avm2::Name::Public("dispatchEvent");
    name.single = vm.InternNs(avm2::kGroupPublic, "flash.events:IEventDispatcher");
    Value ev = Value::Str("x");
    ev = vm.ConstructClass(vm.Builtin("Event"), &ev, 1);
    EXPECT_TRUE(ToBoolean(vm.CallProperty(clip, name, &ev, 1)));
    EXPECT_FALSE(vm.throwing());
}

// Three frames over one empty sprite (character 1): frame 1 places it at depth 1 as "a",
// frame 2 does what `second` holds there, frame 3 nothing.
std::vector<uint8_t> ThreeFrames(const std::vector<uint8_t>& second) {
    std::vector<uint8_t> body = {0x68, 0x00, 0x1F, 0x40, 0x00, 0x05, 0xDC, 0x00, 0x00, 0x0C, 3, 0};
    auto tag = [&body](uint32_t code, const std::vector<uint8_t>& data) {
        const uint32_t head = code << 6 | 0x3F, size = uint32_t(data.size());
        for (uint32_t v : {head & 0xFF, head >> 8, size & 0xFF, size >> 8 & 0xFF, 0u, 0u})
            body.push_back(uint8_t(v));
        body.insert(body.end(), data.begin(), data.end());
    };
    tag(39, {1, 0, 1, 0, 0x40, 0, 0, 0}); // DefineSprite 1: ShowFrame, End
    tag(26, {0x22, 1, 0, 1, 0, 'a', 0});  // PlaceObject2 depth 1, char 1, "a"
    tag(1, {});
    // Second frame: the commands given, as whole tags (code, then body).
    for (size_t i = 0; i + 1 < second.size();) {
        const uint8_t code = second[i], size = second[i + 1];
        tag(code, std::vector<uint8_t>(second.begin() + long(i) + 2,
                                       second.begin() + long(i) + 2 + size));
        i += 2 + size;
    }
    tag(1, {});
    tag(1, {});
    tag(0, {});
    std::vector<uint8_t> swf = {'F', 'W', 'S', 9};
    const uint32_t size = uint32_t(body.size() + 8);
    for (int i = 0; i < 4; ++i)
        swf.push_back(uint8_t(size >> (8 * i)));
    swf.insert(swf.end(), body.begin(), body.end());
    return swf;
}

// ThreeFrames read and loaded, kept together since the loaded timeline points into both.
struct ThreeFrameMovie {
    explicit ThreeFrameMovie(const std::vector<uint8_t>& second) : file(ThreeFrames(second)) {
        read = swf::ReadMovie(file.data(), file.size(), &movie) == swf::ReadStatus::Ok;
        if (read)
            timeline::LoadMovie(movie, &loaded);
    }
    std::vector<uint8_t> file;
    swf::Movie movie;
    timeline::LoadedMovie loaded;
    bool read = false;
};

// Back on an earlier frame, an object survives when the placement that made it stands at
// that frame: back on frame 1, one a later frame put at the same depth, even of the same
// character, is made anew, and one kept loses the filters a later frame gave it; back on
// frame 2, whatever frame 2 left there is kept as frame 2 left it.
TEST(As3Display, ARewindKeepsWhatStandsAtItsTarget) {
    const struct {
        std::vector<uint8_t> second; // tags: code, size, body
        bool keptOnFirst;
        const char* nameOnSecond;
        const char* what;
    } cases[] = {
        {{}, true, "a", "left alone"},
        {{26, 3, 0x01, 1, 0}, true, "a", "moved"},
        {{26, 6, 0x21, 1, 0, 'b', 0}, true, "b", "renamed in place"},
        {{28, 2, 1, 0, 26, 7, 0x22, 1, 0, 1, 0, 'b', 0}, false, "b", "removed and placed again"},
        {{26, 7, 0x22, 1, 0, 1, 0, 'b', 0}, false, "b", "placed over without removal"},
        {{70, 15, 0x01, 0x01, 1, 0, 1, 1, 0, 0, 4, 0, 0, 0, 4, 0, 8},
         true,
         "a",
         "blurred: kept, unblurred"},
    };
    for (const auto& c : cases) {
        const ThreeFrameMovie m(c.second);
        ASSERT_TRUE(m.read) << c.what;
        for (uint32_t target : {0u, 1u}) {
            timeline::Stage stage;
            stage.Reset(&m.loaded);
            stage.Start();
            stage.Advance();
            stage.Advance();
            const timeline::DisplayObject* was = &stage.ClipOf(timeline::kRootId)->objects.at(1);
            const uint32_t before = was->id;
            const bool blurred = !was->filters.empty();
            stage.GoTo(target);
            const timeline::DisplayObject& now = stage.ClipOf(timeline::kRootId)->objects.at(1);
            EXPECT_EQ(target == 1 || c.keptOnFirst, now.id == before) << c.what << " " << target;
            EXPECT_EQ(target == 1 ? c.nameOnSecond : "a", now.name) << c.what << " " << target;
            EXPECT_EQ(target == 1 && blurred, !now.filters.empty()) << c.what << " " << target;
        }
    }
}

// A goto makes only what stands at its target: an object a frame on the way places and a
// later command of the span removes or places over is never made, nor heard of.
TEST(As3Display, AGotoPassesOverWhatItsSpanTakesAway) {
    const struct {
        std::vector<uint8_t> second;
        int placed; // objects the goto from frame 1 to frame 2 makes
        const char* what;
    } cases[] = {
        {{26, 7, 0x22, 2, 0, 1, 0, 'c', 0}, 1, "placed and standing"},
        {{26, 7, 0x22, 2, 0, 1, 0, 'c', 0, 28, 2, 2, 0}, 0, "placed, then removed"},
        {{26, 7, 0x22, 2, 0, 1, 0, 'c', 0, 26, 7, 0x22, 2, 0, 1, 0, 'd', 0}, 1, "placed over"},
        {{26, 7, 0x22, 2, 0, 1, 0, 'c', 0, 26, 3, 0x01, 2, 0}, 1, "placed, then moved"},
    };
    for (const auto& c : cases) {
        const ThreeFrameMovie m(c.second);
        ASSERT_TRUE(m.read) << c.what;
        timeline::Stage stage;
        stage.Reset(&m.loaded);
        stage.Start();
        stage.TakeEvents();
        stage.GoTo(1);
        int placed = 0;
        for (const timeline::StageEvent& e : stage.TakeEvents())
            placed += e.kind == timeline::StageEvent::Placed ? 1 : 0;
        EXPECT_EQ(c.placed, placed) << c.what;
        EXPECT_EQ(c.placed == 1, stage.ClipOf(timeline::kRootId)->objects.count(2) == 1) << c.what;
    }
}

// Moving an object between lists (on and off the shelf that holds what scripts keep off
// every list) keeps the object itself, and is refused for the root, the shelf, a parent
// inside the object, an unknown parent and a depth held by what holds the object.
TEST(As3Display, MovesKeepTheObjectAndRefuseWhatWouldBreakTheTree) {
    const ThreeFrameMovie m({});
    ASSERT_TRUE(m.read);
    const uint32_t root = timeline::kRootId, shelf = timeline::kShelfId;
    enum Parent { Root, Shelf, Itself, Unknown };
    const struct {
        bool throughShelf; // moved onto the shelf first
        bool moveRoot, moveShelf;
        Parent to;
        int depth;
        bool moved;
        const char* what;
    } cases[] = {
        {false, false, false, Shelf, 0, true, "onto the shelf"},
        {true, false, false, Root, 5, true, "back from the shelf"},
        {true, false, false, Shelf, 0, true, "where it is already"},
        {false, true, false, Shelf, 0, false, "the root"},
        {false, false, true, Root, 0, false, "the shelf"},
        {false, false, false, Itself, 0, false, "into itself"},
        {false, false, false, Unknown, 0, false, "under no object"},
        {false, false, false, Root, -16385, false, "below the lowest depth"},
    };
    for (const auto& c : cases) {
        timeline::Stage stage;
        stage.Reset(&m.loaded);
        stage.Start();
        const uint32_t a = stage.ClipOf(root)->objects.at(1).id;
        const timeline::DisplayObject* was = stage.Find(a);
        if (c.throughShelf) {
            ASSERT_TRUE(stage.Move(a, shelf, stage.FreeDepth(shelf))) << c.what;
        }
        const uint32_t id = c.moveRoot ? root : c.moveShelf ? shelf : a;
        const uint32_t to = c.to == Root ? root : c.to == Shelf ? shelf : c.to == Itself ? a : 999;
        EXPECT_EQ(c.moved, stage.Move(id, to, c.depth)) << c.what;
        EXPECT_EQ(was, stage.Find(a)) << c.what;
        if (c.moved && !c.moveRoot && !c.moveShelf) {
            EXPECT_EQ(to, stage.Find(a)->parentId) << c.what;
            EXPECT_EQ(timeline::kScriptDepthBase + c.depth, stage.Find(a)->depth) << c.what;
        }
    }
    // The shelf's lowest free depth fills gaps; a depth taken by the object's own holder
    // is refused.
    timeline::Stage stage;
    stage.Reset(&m.loaded);
    stage.Start();
    const uint32_t a = stage.ClipOf(root)->objects.at(1).id;
    EXPECT_EQ(0, stage.FreeDepth(shelf));
    ASSERT_TRUE(stage.Move(a, shelf, 1));
    EXPECT_EQ(0, stage.FreeDepth(shelf));
    const uint32_t b = stage.CreateEmpty(shelf, "b", 0);
    ASSERT_NE(0u, b);
    EXPECT_EQ(2, stage.FreeDepth(shelf));
    const uint32_t inner = stage.CreateEmpty(b, "inner", 0);
    ASSERT_NE(0u, inner);
    EXPECT_FALSE(stage.Move(inner, shelf, 0)) << "onto its own holder's depth";
    EXPECT_TRUE(stage.Move(inner, shelf, 2));
    EXPECT_EQ(3, stage.FreeDepth(shelf));
}

// The first frame of one of the shared 550 x 400 trace movies; empty when it is not there.
std::vector<uint32_t> SharedFirstFrame(const char* name) {
    std::ifstream in(std::string(FLICKWELL_MOVIES_DIR "/as3-traces/") + name + ".swf",
                     std::ios::binary);
    const std::vector<uint8_t> movie(std::istreambuf_iterator<char>(in), {});
    engine::Player player;
    if (movie.empty())
        return {};
    std::vector<uint32_t> pixels(550 * 400, 0);
    if (player.Load(movie.data(), movie.size()) != engine::LoadStatus::Ok) {
        ADD_FAILURE() << name << " does not load";
        return pixels;
    }
    player.Play(0);
    player.Draw(engine::Surface{pixels.data(), 550, 400, 550}, engine::Box{0, 0, 550, 400});
    return pixels;
}

// An object the timeline placed, once a script removes it, is no longer drawn (the shared
// movie removes the middle of three squares on its first frame).
TEST(As3Display, AChildTheTimelinePlacedLeavesThePictureWhenRemoved) {
    const std::vector<uint32_t> pixels = SharedFirstFrame("displayobjectcontainer_removechild");
    if (pixels.empty())
        GTEST_SKIP() << "no shared movies";
    auto at = [&](int x, int y) { return pixels[size_t(y) * 550 + size_t(x)] & 0xFFFFFF; };
    EXPECT_EQ(0xFFFFFFu, at(225, 80)) << "where the removed square was";
    EXPECT_NE(0xFFFFFFu, at(80, 200)) << "the square left of it stays";
    EXPECT_NE(0xFFFFFFu, at(250, 250)) << "the square below it stays";
}

// A library symbol made with `new` (tools/as3/Symbols.hx) holds its first frame's
// children, named on it, once its constructor has called super(); off every list a child
// goes to another frame and the whole measures as drawn, also once taken off again; added,
// it draws as it was left. A library button made so has its states and draws its up state.
TEST(As3Display, ASymbolMadeByNewHoldsItsFirstFrameAtOnce) {
    Played played;
    ASSERT_TRUE(PlayOwn("as3_symbols.swf", &played));
    engine::Player& player = played.player;
    const std::vector<std::string>& lines = played.lines;
    const Canvas c = Frame(player, 0);
    const struct {
        const char* line;
        const char* what;
    } traces[] = {
        {"built true 2", "its named child set within super()"},
        {"1 90 40 true", "child's frame and the whole's size, off every list"},
        {"2 inner true", "the child sent to its second frame"},
        {"built true 2", "a second one"},
        {"90 (x=0, y=0, w=90, h=40) true", "added and removed again: its shape stays"},
        {"2 true", "added: on the stage as it was left"},
        {"[object Shape] [object Sprite] [object Shape] [object Shape] false 40",
         "a library button's states: one record each, two in a Sprite; the shown one's width"},
    };
    ASSERT_EQ(std::size(traces), lines.size());
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(traces[i].line, lines[i]) << traces[i].what;
    const struct {
        int x, y;
        uint32_t rgb;
        const char* what;
    } points[] = {
        {20, 120, 0xFF0000, "the child on its second frame"},
        {70, 120, 0x0000FF, "the square beside it"},
        {89, 139, 0x0000FF, "the square's last pixel"},
        {90, 120, 0xFFFFFF, "right of the square"},
        {20, 20, 0xFFFFFF, "nothing where it was made"},
        {220, 20, 0xFFFFFF, "nothing of the one taken off again"},
        {220, 120, 0xFF0000, "the button's up state"},
        {260, 120, 0xFFFFFF, "none of its over state"},
    };
    for (const auto& p : points)
        EXPECT_EQ(p.rgb, c.At(p.x, p.y)) << p.what;
    // Two hundred made and dropped on each of 58 frames, far past the stage's objects: those
    // nothing reaches leave, so the one added on frame 60 draws.
    for (uint32_t f = 1; f < 61; ++f)
        player.Tick(f * player.FrameIntervalMs());
    const Canvas later = Frame(player, 61);
    EXPECT_NE(0xFFFFFFu, later.At(320, 220)) << "the last one's child, on either frame";
    EXPECT_EQ(0x0000FFu, later.At(370, 220)) << "the last one's square";
}

// A button the timeline placed draws its up state, which its script object now builds
// from the button's records (the shared movie's up state: a black box, a scribble beside).
TEST(As3Display, ATimelineButtonDrawsItsUpState) {
    const std::vector<uint32_t> pixels = SharedFirstFrame("simplebutton_structure");
    if (pixels.empty())
        GTEST_SKIP() << "no shared movies";
    auto at = [&](int x, int y) { return pixels[size_t(y) * 550 + size_t(x)] & 0xFFFFFF; };
    EXPECT_EQ(0x000000u, at(200, 172)) << "inside the box";
    EXPECT_EQ(0xFFFFFFu, at(200, 140)) << "above it";
    EXPECT_EQ(0x000000u, at(140, 270)) << "the scribble";
}

// A SimpleButton's states take display objects or null (anything else is refused and the
// state kept); its constructor sets them in order; the up state, the one shown, hangs
// under the button and the one it replaces leaves it; its flags start as Flash's.
TEST(As3Display, ButtonStatesHoldDisplayObjectsOnly) {
    using avm2::Value;
    avm2::Vm vm;
    const char* states[] = {"upState", "overState", "downState", "hitTestState"};
    auto sprite = [&vm] { return vm.ConstructClass(vm.Builtin("Sprite"), nullptr, 0); };
    enum Given { ASprite, Null, Number, Plain };
    const struct {
        Given given;
        bool refused;
    } cases[] = {{ASprite, false}, {Null, false}, {Number, true}, {Plain, true}};
    for (const char* state : states) {
        for (const auto& c : cases) {
            const Value button = vm.ConstructClass(vm.Builtin("SimpleButton"), nullptr, 0);
            const Value before = sprite();
            vm.Set(button, state, before);
            const Value given = c.given == ASprite  ? sprite()
                                : c.given == Null   ? Value::Null()
                                : c.given == Number ? Value::Num(5)
                                                    : Value::Obj(vm.NewObject());
            vm.Set(button, state, given);
            const Value thrown = vm.throwing() ? vm.TakeThrown() : Value();
            const std::string what = std::string(state) + " " + std::to_string(int(c.given));
            EXPECT_EQ(c.refused ? 1034 : 0,
                      thrown.IsUndefined() ? 0 : int(vm.ToNumber(vm.Get(thrown, "errorID"))))
                << what;
            const Value now = vm.Get(button, state);
            const Value want = c.refused ? before : given;
            EXPECT_TRUE(want.IsNull() ? now.IsNull() : now.IsObject() && now.o == want.o) << what;
            // Only the shown state hangs under the button.
            const bool up = std::string(state) == "upState";
            if (now.IsObject()) {
                const Value parent = vm.Get(now, "parent");
                EXPECT_EQ(up, parent.IsObject() && parent.o == button.o) << what;
            }
            if (up && !c.refused) {
                EXPECT_TRUE(vm.Get(before, "parent").IsNull()) << what << ": the replaced one";
            }
        }
    }
    Value four[4] = {sprite(), sprite(), sprite(), sprite()};
    const Value made = vm.ConstructClass(vm.Builtin("SimpleButton"), four, 4);
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(four[k].o, vm.Get(made, states[k]).o) << states[k];
    const struct {
        const char* flag;
        bool initially;
    } flags[] = {
        {"enabled", true}, {"useHandCursor", true}, {"trackAsMenu", false}, {"mouseEnabled", true}};
    for (const auto& f : flags) {
        EXPECT_EQ(f.initially, avm2::ToBoolean(vm.Get(made, f.flag))) << f.flag;
        vm.Set(made, f.flag, Value::Bool(!f.initially));
        EXPECT_EQ(!f.initially, avm2::ToBoolean(vm.Get(made, f.flag))) << f.flag;
    }
}

// A Video's size: zero on either side gives the default on both; negative sides, an area
// of 2^29 or more, or a side past the twips' range are refused.
TEST(As3Display, VideoSizesAtTheirEdges) {
    using avm2::Value;
    avm2::Vm vm;
    const Value none;
    const struct {
        Value w, h;
        int argc;
        double width, height; // -1: refused with error 2006
    } cases[] = {
        {none, none, 0, 320, 240},
        {none, Value::Num(100), 2, 320, 240},
        {Value::Num(0), Value::Num(100), 2, 320, 240},
        {Value::Num(1.9), none, 1, 1, 240},
        {Value::Num(-0.5), none, 1, 320, 240},
        {Value::Num(-1), Value::Num(0), 2, -1, -1},
        {Value::Num(0x100000), none, 1, 0x100000, 240},
        {Value::Num(0x200000), Value::Num(255), 2, 0x200000, 255},
        {Value::Num(0x200000), Value::Num(256), 2, -1, -1},
        {Value::Num(0x4000000), Value::Num(1), 2, 0x4000000, 1},
        {Value::Num(0x7FFFFFF), Value::Num(1), 2, -1, -1},
    };
    for (const auto& c : cases) {
        Value args[2] = {c.w, c.h};
        const Value v = vm.ConstructClass(vm.Builtin("Video"), args, c.argc);
        const Value thrown = vm.throwing() ? vm.TakeThrown() : Value();
        const std::string what = vm.ToString(c.w) + " " + vm.ToString(c.h);
        if (c.width < 0) {
            EXPECT_EQ(2006, thrown.IsUndefined() ? 0 : int(vm.ToNumber(vm.Get(thrown, "errorID"))))
                << what;
            continue;
        }
        EXPECT_TRUE(thrown.IsUndefined()) << what;
        EXPECT_EQ(c.width, vm.ToNumber(vm.Get(v, "width"))) << what;
        EXPECT_EQ(c.height, vm.ToNumber(vm.Get(v, "height"))) << what;
    }
}

// getBounds in an object's own space, its parent's, and the stage's (off the stage, the
// space its placement maps into).
TEST(As3Display, BoundsInTheSpaceAsked) {
    using avm2::Value;
    avm2::Vm vm;
    const Value sprite = vm.ConstructClass(vm.Builtin("Sprite"), nullptr, 0);
    const Value empty = vm.ConstructClass(vm.Builtin("Sprite"), nullptr, 0);
    const Value shape = AddRectangleShape(vm, sprite);
    vm.Set(sprite, "x", Value::Num(5));
    vm.Set(sprite, "y", Value::Num(7));
    vm.Set(sprite, "scaleX", Value::Num(2));
    const struct {
        Value of, in;
        const char* box;
    } cases[] = {
        {sprite, sprite, "(x=10, y=0, w=100, h=50)"},
        {shape, sprite, "(x=10, y=0, w=100, h=50)"},
        {shape, shape, "(x=0, y=0, w=100, h=50)"},
        {sprite, Value::Null(), "(x=25, y=7, w=200, h=50)"},
        {empty, empty, "(x=0, y=0, w=0, h=0)"},
    };
    for (const auto& c : cases) {
        Value in = c.in;
        EXPECT_EQ(c.box, vm.ToString(vm.CallMethod(c.of, "getBounds", &in, 1))) << c.box;
    }
}

} // namespace
