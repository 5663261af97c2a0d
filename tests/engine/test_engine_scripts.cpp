// Scripted movies through the whole engine: what they print (trace) frame by frame, held
// against Flash's order of events. Their pictures are in the rendering table.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "player/core/engine.h"

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
        // enterFrame (method and clip event) before the advance, a goto running only its
        // target's actions, stop holding the main timeline while clips go on.
        {"script_order", {"init f1 c1 load", "enter ef f2 c2", "enter ef f3 f4", "ef", "ef"}},
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
        // frame's properties read back; a drawing sizes its clip and is hit by its shape
        {"script_fields", {"a&b <i>& x true 255 65280 40 30 false true true"}},
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

} // namespace
