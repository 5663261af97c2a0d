// Scripted movies through the whole engine: what they print (trace) frame by frame, held
// against Flash's order of events. Their pictures are in the rendering table.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "player/core/engine.h"
#include "tests/engine/avm1_asm.h"

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The trace lines of each frame, frame 1 being the one Load runs.
std::vector<std::string> TracePerFrame(const std::string& path, int frames) {
    engine::Player player;
    std::vector<std::string> lines(1);
    player.SetTraceSink([&](const char* line) {
        lines.back() += lines.back().empty() ? "" : " ";
        lines.back() += line;
    });
    const std::vector<uint8_t> movie = ReadFile(path);
    if (player.Load(movie.data(), movie.size()) != engine::LoadStatus::Ok) {
        return {};
    }
    player.Play(0);
    for (int f = 1; f < frames; ++f) {
        lines.emplace_back();
        player.Tick(f * player.FrameIntervalMs());
    }
    return lines;
}

TEST(EngineScripts, TraceOrder) {
    struct Case {
        const char* movie;
        std::vector<std::string> frames;
    };
    const Case cases[] = {
        // init actions before the frame's, a parent's frame before its new child's,
        // enterFrame (method, clip event, a clip in a button) before the advance, a goto
        // running only its target's actions, stop holding the main timeline while clips go on.
        {"script_order",
         {"init f1 c1 load", "enter ef b f2 c2", "enter ef b f3 f4", "ef b", "ef b"}},
        // unload after the removing script ("a" never runs its frame); a goto back runs
        // frame 1 again and places again what the timeline removed, while what the script
        // made stays (d._x is 7). Every "t" after the first is an attached box's frame.
        {"script_events",
         {"f1 after undefined t unload a t", "f2 unload t", "f3 f1 after 7 t unload a t", ""}},
        // a field bound to a variable shows it after the frame's scripts, and sets it
        {"script_text", {"", "hello set"}},
        // a timeline clip cannot be removed until swapped into the script depths
        {"script_depths", {"0 t 5 6 undefined"}},
        // an HTML field's text without markup, set literally; htmlText sets markup; the
        // frame's properties read back; a drawing sizes its clip and is hit by its shape; a
        // field's _x and _y count its box's corner
        {"script_fields", {"a&b <i>& x true 255 65280 40 30 false true true 5 3 7"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.movie);
        EXPECT_EQ(TracePerFrame(std::string(FLICKWELL_OWN_MOVIES_DIR "/") + c.movie + ".swf",
                                int(c.frames.size())),
                  c.frames);
    }
}

// A shared movie's output as the reference player's own test expects it: unnamed clips and
// fields numbered "instanceN", shapes answering as their parent, depths of each.
TEST(EngineScripts, InstanceNamesAndDepths) {
    const std::vector<std::string> lines =
        TracePerFrame(FLICKWELL_MOVIES_DIR "/avm1_movieclip_get_instance_at_depth.swf", 1);
    ASSERT_EQ(lines.size(), 1u);
    const char* const expected[] = {"//_root.getInstanceAtDepth(-16384) undefined",
                                    "(-16384).getDepth() undefined",
                                    "(-16383) _level0",
                                    "(-16383).getDepth() -16384",
                                    "(-16382) _level0.instance1",
                                    "(-16382).getDepth() -16382",
                                    "(-16381) undefined",
                                    "(-16380) _level0",
                                    "(-16379) _level0.instance2",
                                    "(-16379).getDepth() -16379",
                                    "(123) _level0.fromscript",
                                    "(123).getDepth() 123"};
    size_t at = 0;
    for (const char* e : expected) {
        at = lines[0].find(e, at);
        EXPECT_NE(at, std::string::npos) << e;
        if (at == std::string::npos) {
            return;
        }
    }
}

// Text movies from the shared recordings: what they print, line for line, as Flash Player
// printed it (TextFormat's conversions, markup read and written, autoSize's words,
// StyleSheet.transform). Movies whose lines depend on a font's measures are left out.
TEST(EngineScripts, TextMoviesTraceAsFlashDid) {
    const char* const movies[] = {
        "text_format_rounding_swf7", "text_format_rounding_swf8",
        "text_format_display",       "text_format_font_max_length",
        "edittext_html_color",       "edittext_html_entity",
        "edittext_autosize_setter",  "edittext_default_format_font_style",
        "edittext_html_align_swf8",  "stylesheet_transform",
    };
    for (const char* name : movies) {
        SCOPED_TRACE(name);
        const std::string base = std::string(FLICKWELL_MOVIES_DIR) + "/as2-traces/" + name;
        engine::Player player;
        std::string printed;
        player.SetTraceSink([&](const char* line) {
            printed += line;
            printed += "\n";
        });
        const std::vector<uint8_t> movie = ReadFile(base + ".swf");
        ASSERT_EQ(player.Load(movie.data(), movie.size()), engine::LoadStatus::Ok);
        const std::vector<uint8_t> expected = ReadFile(base + ".output.txt");
        std::string want(expected.begin(), expected.end());
        want.erase(std::remove(want.begin(), want.end(), '\r'), want.end());
        if (!want.empty() && want.back() != '\n') {
            want += "\n";
        }
        EXPECT_EQ(printed, want);
    }
}

// A one-frame movie (version 8, asking for the network) whose frame runs `actions`, with an
// empty sprite exported as "sym" for attachMovie.
std::vector<uint8_t> ScriptMovie(const std::vector<uint8_t>& actions) {
    std::vector<uint8_t> body;
    auto u16 = [&body](uint32_t v) {
        body.push_back(uint8_t(v));
        body.push_back(uint8_t(v >> 8));
    };
    auto tag = [&](uint32_t code, const std::vector<uint8_t>& data) {
        u16(code << 6 | 0x3F);
        u16(uint32_t(data.size()));
        u16(uint32_t(data.size() >> 16));
        body.insert(body.end(), data.begin(), data.end());
    };
    // RECT 0..4000 x 0..3000 twips in 13-bit fields, then 12 fps and one frame.
    const uint8_t stage[] = {0x68, 0x00, 0x1F, 0x40, 0x00, 0x05, 0xDC, 0x00, 0x00, 0x0C, 1, 0};
    body.insert(body.end(), stage, stage + sizeof stage);
    tag(69, {1, 0, 0, 0});                   // FileAttributes: UseNetwork
    tag(39, {1, 0, 1, 0, 0x40, 0, 0, 0});    // DefineSprite 1: ShowFrame, End
    tag(56, {1, 0, 1, 0, 's', 'y', 'm', 0}); // ExportAssets 1 as "sym"
    tag(12, actions);                        // DoAction
    tag(1, {});                              // ShowFrame
    tag(0, {});                              // End
    std::vector<uint8_t> swf = {'F', 'W', 'S', 8};
    const uint32_t size = uint32_t(body.size() + 8);
    for (int i = 0; i < 4; ++i)
        swf.push_back(uint8_t(size >> (8 * i)));
    swf.insert(swf.end(), body.begin(), body.end());
    return swf;
}

// What the interpreter's fake display cannot show: scripts through the whole engine.
TEST(EngineScripts, TheBridgeThroughTheWholeEngine) {
    const struct {
        const char* what;
        const char* code;
        const char* traces;
    } rows[] = {
        {"a registered class's constructor runs once",
         "push 'n' 0; setvar; func C() { push 'n'; push 'n'; getvar; inc; setvar }; "
         "push 'C'; getvar; push 'sym' 2 'Object'; getvar; push 'registerClass'; callmethod; "
         "pop; push 1 'a' 'sym' 3 '_root'; getvar; push 'attachMovie'; callmethod; pop; "
         "push 'n'; getvar; trace; push 'a'; getvar; push 'C'; getvar; instanceof; trace",
         "1 true"},
        {"_width and _height scale their own axis",
         "push 1 'c' 2 '_root'; getvar; push 'createEmptyMovieClip'; callmethod; store 1; pop; "
         "push 16711680 1 r:1 'beginFill'; callmethod; pop; push 0 0 2 r:1 'moveTo'; "
         "callmethod; pop; push 0 100 2 r:1 'lineTo'; callmethod; pop; push 50 100 2 r:1 "
         "'lineTo'; callmethod; pop; push 50 0 2 r:1 'lineTo'; callmethod; pop; push 0 r:1 "
         "'endFill'; callmethod; pop; push r:1 '_width' 200; setmember; push r:1 '_xscale'; "
         "getmember; trace; push r:1 '_yscale'; getmember; trace; push r:1 '_height' 25; "
         "setmember; push r:1 '_yscale'; getmember; trace; push r:1 '_width'; getmember; trace",
         "200 100 50 200"},
        {"a text field's _width and _height size its box, in its own scale",
         "push 20 100 0 0 1 'f' 6 '_root'; getvar; push 'createTextField'; callmethod; pop; "
         "push '_root'; getvar; push 'f'; getmember; store 1; pop; push r:1 '_xscale' 200; "
         "setmember; push r:1 '_width' 50; setmember; push r:1 '_xscale'; getmember; trace; "
         "push r:1 '_width'; getmember; trace; push r:1 '_height' 0.5; setmember; push r:1 "
         "'_height'; getmember; trace; push r:1 '_width' -5; setmember; push r:1 '_width'; "
         "getmember; trace",
         "200 50 0.5 0"},
        {"a colour transform's percentages read back",
         "push 1 'c' 2 '_root'; getvar; push 'createEmptyMovieClip'; callmethod; store 1; pop; "
         "push r:1 1 'Color'; new; store 2; pop; push 'ra' 100 'ga' -100 'ba' 100 'bb' 255 "
         "'aa' 50 5; object; push 1 r:2 'setTransform'; callmethod; pop; push 0 r:2 "
         "'getTransform'; callmethod; store 3; pop; push r:3 'ba'; getmember; trace; push r:3 "
         "'ga'; getmember; trace; push r:3 'bb'; getmember; trace; push r:3 'aa'; getmember; "
         "trace",
         "100 -100 255 50"},
        // A matrix set by script, then a new _xscale: the flip and the place stay, in pixels.
        {"a flipped clip keeps its flip and place when scaled",
         "push 1 'c' 2 '_root'; getvar; push 'createEmptyMovieClip'; callmethod; store 1; pop; "
         "push r:1 'transform'; getmember; push 'matrix' 40 30 -1 0 0 1 6 'flash'; getvar; "
         "push 'geom'; getmember; push 'Matrix'; newmethod; setmember; push r:1 '_xscale' 200; "
         "setmember; push r:1 'transform'; getmember; push 'matrix'; getmember; store 2; pop; "
         "push r:2 'a'; getmember; trace; push r:2 'c'; getmember; trace; push r:2 'd'; "
         "getmember; trace; push r:2 'tx'; getmember; trace; push r:2 'ty'; getmember; trace",
         "2 0 -1 30 40"},
        {"a movie asking for the network plays in its sandbox",
         "push 'System'; getvar; push 'security'; getmember; push 'sandboxType'; getmember; "
         "trace",
         "localWithNetwork"},
        // The old name is looked up first, so the clip's names were read before the rename.
        {"a renamed clip answers to its new name only",
         "push 1 'c' 2 '_root'; getvar; push 'createEmptyMovieClip'; callmethod; store 1; pop; "
         "push '_root'; getvar; push 'c'; getmember; trace; push r:1 '_name' 'd'; setmember; "
         "push '_root'; getvar; push 'd'; getmember; trace; push '_root'; getvar; push 'c'; "
         "getmember; trace",
         "_level0.c _level0.d undefined"},
        {"a bitmap clip is its bitmap's size",
         "push 1 'm' 2 '_root'; getvar; push 'createEmptyMovieClip'; callmethod; store 1; pop; "
         "push 1; push 20 30 2 'flash'; getvar; push 'display'; getmember; push 'BitmapData'; "
         "newmethod; push 2 r:1 'attachBitmap'; callmethod; pop; push r:1 '_width'; getmember; "
         "trace; push r:1 '_height'; getmember; trace",
         "30 20"},
    };
    for (const auto& row : rows) {
        std::string error;
        const std::vector<uint8_t> movie = ScriptMovie(avm1test::Assemble(row.code, &error));
        ASSERT_EQ(error, "") << row.what;
        engine::Player player;
        std::string printed;
        player.SetTraceSink([&](const char* line) {
            printed += printed.empty() ? "" : " ";
            printed += line;
        });
        ASSERT_EQ(player.Load(movie.data(), movie.size()), engine::LoadStatus::Ok) << row.what;
        EXPECT_EQ(printed, row.traces) << row.what;
    }
}

} // namespace
