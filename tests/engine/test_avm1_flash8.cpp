// Flash 8's classes as scripts see them: BitmapData's size limit and memory, filters'
// clamped properties and copies, and flash.geom's arithmetic and strings.
#include <sstream>

#include "tests/engine/avm1_harness.h"

namespace {

using avm1::RunResult;
using avm1test::Harness;

// `new flash.<pkg>.<cls>(args)` left on the stack; args are pushed as written, last first.
std::string New(const std::string& pkg, const std::string& cls, const std::string& argsReversed,
                int n) {
    return (n ? "push " + argsReversed + "; " : "") + "push " + std::to_string(n) +
           " 'flash'; getvar; push '" + pkg + "'; getmember; push '" + cls + "'; newmethod";
}

struct Case {
    const char* name;
    std::string code;
    const char* traces;
};

// A red pixel beside a blue one, displaced one pixel right by an all-red map in `mode`
// (fallback green): the blue pixel's source lies past the edge. Traces that pixel.
std::string DisplacedPastTheEdge(const std::string& mode) {
    return "push 'b'; " + New("display", "BitmapData", "16711680 false 1 2", 4) +
           "; setvar; push 255 0 1 3 'b'; getvar; push 'setPixel'; callmethod; pop; "
           "push 'm'; " +
           New("display", "BitmapData", "16711680 false 1 2", 4) + "; setvar; push 'p'; " +
           New("geom", "Point", "0 0", 2) + "; setvar; push 'f'; " +
           New("filters", "DisplacementMapFilter",
               "1 65280 '" + mode + "' 0 4 1 1 'p'; getvar; push 'm'; getvar", 9) +
           "; setvar; push 'f'; getvar; push 'p'; getvar; push 'b'; getvar; push 'rectangle'; "
           "getmember; push 'b'; getvar; push 4 'b'; getvar; push 'applyFilter'; callmethod; "
           "pop; push 0 1 2 'b'; getvar; push 'getPixel'; callmethod; trace";
}

TEST(Flash8, ScriptsSeeWhatFlash8Shows) {
    const Case cases[] = {
        {"largest bitmap",
         New("display", "BitmapData", "2880 2880", 2) + "; push 'width'; getmember; trace", "2880"},
        {"one pixel too wide",
         New("display", "BitmapData", "10 2881", 2) + "; push 'width'; getmember; trace", "-1"},
        {"no pixel", New("display", "BitmapData", "0 10", 2) + "; push 'height'; getmember; trace",
         "-1"},
        {"getPixel32 is signed",
         "push 'b'; " + New("display", "BitmapData", "-65536 false 4 4", 4) +
             "; setvar; push 1 1 2 'b'; getvar; push 'getPixel32'; callmethod; trace",
         "-65536"},
        {"off the bitmap reads 0",
         "push 'b'; " + New("display", "BitmapData", "4 4", 2) +
             "; setvar; push -1 0 2 'b'; getvar; push 'getPixel'; callmethod; trace",
         "0"},
        {"disposed answers -1",
         "push 'b'; " + New("display", "BitmapData", "4 4", 2) +
             "; setvar; push 0 'b'; getvar; push 'dispose'; callmethod; pop; "
             "push 'b'; getvar; push 'width'; getmember; trace",
         "-1"},
        {"compare with a disposed bitmap, then with no bitmap",
         "push 'b'; " + New("display", "BitmapData", "4 4", 2) + "; setvar; push 'c'; " +
             New("display", "BitmapData", "4 4", 2) +
             "; setvar; push 0 'c'; getvar; push 'dispose'; callmethod; pop; "
             "push 'c'; getvar; push 1 'b'; getvar; push 'compare'; callmethod; trace; "
             "push 5 1 'b'; getvar; push 'compare'; callmethod; trace",
         "-2|-1"},
        {"blur clamps",
         "push 'f'; " + New("filters", "BlurFilter", "20 -5 300", 3) +
             "; setvar; push 'f'; getvar; push 'blurX'; getmember; trace; "
             "push 'f'; getvar; push 'blurY'; getmember; trace; "
             "push 'f'; getvar; push 'quality'; getmember; trace",
         "255|0|15"},
        {"glow colour and alpha",
         "push 'f'; " + New("filters", "GlowFilter", "2 -16777216", 2) +
             "; setvar; push 'f'; getvar; push 'color'; getmember; trace; "
             "push 'f'; getvar; push 'alpha'; getmember; trace",
         "0|1"},
        {"bevel type",
         "push 'f'; " + New("filters", "BevelFilter", "'sideways' 1 1 1 1 1 1 1 1 1 4 4", 12) +
             "; setvar; push 'f'; getvar; push 'type'; getmember; trace",
         "full"},
        {"gradient alphas and ratios clamp",
         "push 'f'; " + New("filters", "GradientGlowFilter", "", 0) +
             "; setvar; push 'f'; getvar; push 'alphas' 0.5 -1 2 3; array; setmember; "
             "push 'f'; getvar; push 'ratios' 0 300 -5 3; array; setmember; "
             "push 'f'; getvar; push 'alphas'; getmember; trace; "
             "push 'f'; getvar; push 'ratios'; getmember; trace",
         "1,0,0.5|0,255,0"},
        {"clone is a copy",
         "push 'f'; " + New("filters", "BlurFilter", "", 0) +
             "; setvar; push 'g'; push 0 'f'; getvar; push 'clone'; callmethod; setvar; "
             "push 'g'; getvar; push 'blurX' 9; setmember; "
             "push 'f'; getvar; push 'blurX'; getmember; trace; "
             "push 'g'; getvar; push 'blurX'; getmember; trace",
         "4|9"},
        {"copyChannel takes red into blue",
         "push 'b'; " + New("display", "BitmapData", "16711680 false 2 2", 4) +
             "; setvar; push 'c'; " + New("display", "BitmapData", "0 false 2 2", 4) +
             "; setvar; push 4 1; " + New("geom", "Point", "0 0", 2) +
             "; push 'b'; getvar; push 'rectangle'; getmember; push 'b'; getvar; push 5 'c'; "
             "getvar; push 'copyChannel'; callmethod; pop; push 1 1 2 'c'; getvar; "
             "push 'getPixel'; callmethod; trace",
         "255"},
        {"point",
         "push 'p'; " + New("geom", "Point", "4 3", 2) +
             "; setvar; push 'p'; getvar; push 'length'; getmember; trace; "
             "push 0 'p'; getvar; push 'toString'; callmethod; trace",
         "5|(x=3, y=4)"},
        {"rectangle",
         "push 'r'; " + New("geom", "Rectangle", "40 30 20 10", 4) +
             "; setvar; push 'r'; getvar; push 'right'; getmember; trace; "
             "push 'r'; getvar; push 'left' 0; setmember; "
             "push 0 'r'; getvar; push 'toString'; callmethod; trace",
         "40|(x=0, y=20, w=40, h=40)"},
        {"matrix",
         "push 'm'; " + New("geom", "Matrix", "", 0) +
             "; setvar; push 3 2 2 'm'; getvar; push 'scale'; callmethod; pop; "
             "push 5 1 2 'm'; getvar; push 'translate'; callmethod; pop; "
             "push 0 'm'; getvar; push 'invert'; callmethod; pop; "
             "push 0 'm'; getvar; push 'toString'; callmethod; trace",
         "(a=0.5, b=0, c=0, d=0.333333333333333, tx=-0.5, ty=-1.66666666666667)"},
        {"colour transform",
         "push 'c'; " + New("geom", "ColorTransform", "", 0) +
             "; setvar; push 'c'; getvar; push 'rgb' 1193046; setmember; "
             "push 'c'; getvar; push 'redOffset'; getmember; trace; "
             "push 'c'; getvar; push 'redMultiplier'; getmember; trace",
         "18|0"},
        // Each octave's offset moves where the noise is read: the pixel at 0 shows what
        // the pixel at 2 shows without it.
        {"perlinNoise offsets",
         "push 'b'; " + New("display", "BitmapData", "false 1 4", 3) + "; setvar; push 'c'; " +
             New("display", "BitmapData", "false 1 4", 3) + "; setvar; " +
             New("geom", "Point", "0 2", 2) +
             "; push 1; array; push true 7 true false 7 1 4 4 9 'b'; getvar; "
             "push 'perlinNoise'; callmethod; pop; push true 7 true false 7 1 4 4 8 'c'; "
             "getvar; push 'perlinNoise'; callmethod; pop; push 0 0 2 'b'; getvar; "
             "push 'getPixel'; callmethod; push 0 2 2 'c'; getvar; push 'getPixel'; callmethod; "
             "eq2; trace; push 0 0 2 'b'; getvar; push 'getPixel'; callmethod; push 0 0 2 'c'; "
             "getvar; push 'getPixel'; callmethod; eq2; trace",
         "true|false"},
        {"displacement wraps", DisplacedPastTheEdge("wrap"), "16711680"},
        {"displacement falls back to its colour", DisplacedPastTheEdge("color"), "65280"},
    };
    for (const Case& c : cases) {
        Harness h(8);
        EXPECT_EQ(h.Run(c.code), RunResult::Done) << c.name;
        EXPECT_EQ(h.Traces(), c.traces) << c.name;
    }
}

// Each filter property: its default, then what one assignment leaves (clamped, wrapped,
// masked or named as Flash does); an empty `set` only reads the default.
struct FilterProp {
    const char* cls;
    const char* prop;
    const char* byDefault;
    const char* set;
    const char* after;
};

const FilterProp kFilterProps[] = {
    {"BlurFilter", "blurX", "4", "300", "255"},
    {"BlurFilter", "blurY", "4", "-5", "0"},
    {"BlurFilter", "quality", "1", "16", "15"},
    {"BlurFilter", "quality", "1", "2.9", "2"},
    {"BlurFilter", "blurX", "4", "'x'", "0"},
    {"DropShadowFilter", "distance", "4", "-7", "-7"},
    {"DropShadowFilter", "angle", "45", "405", "45"},
    {"DropShadowFilter", "color", "0", "33489151", "16711935"},
    {"DropShadowFilter", "alpha", "1", "2", "1"},
    {"DropShadowFilter", "alpha", "1", "-1", "0"},
    {"DropShadowFilter", "blurX", "4", "", ""},
    {"DropShadowFilter", "blurY", "4", "", ""},
    {"DropShadowFilter", "strength", "1", "256", "255"},
    {"DropShadowFilter", "quality", "1", "-1", "0"},
    {"DropShadowFilter", "inner", "false", "1", "true"},
    {"DropShadowFilter", "knockout", "false", "'x'", "true"},
    {"DropShadowFilter", "hideObject", "false", "", ""},
    {"GlowFilter", "color", "16711680", "", ""},
    {"GlowFilter", "alpha", "1", "0.5", "0.5"},
    {"GlowFilter", "blurX", "6", "", ""},
    {"GlowFilter", "blurY", "6", "", ""},
    {"GlowFilter", "strength", "2", "", ""},
    {"GlowFilter", "quality", "1", "", ""},
    {"GlowFilter", "inner", "false", "", ""},
    {"GlowFilter", "knockout", "false", "", ""},
    {"BevelFilter", "distance", "4", "", ""},
    {"BevelFilter", "angle", "45", "-90", "-90"},
    {"BevelFilter", "highlightColor", "16777215", "", ""},
    {"BevelFilter", "highlightAlpha", "1", "", ""},
    {"BevelFilter", "shadowColor", "0", "", ""},
    {"BevelFilter", "shadowAlpha", "1", "", ""},
    {"BevelFilter", "strength", "1", "256", "255"},
    {"BevelFilter", "type", "inner", "'outer'", "outer"},
    {"BevelFilter", "type", "inner", "'full'", "full"},
    {"GradientGlowFilter", "distance", "4", "", ""},
    {"GradientGlowFilter", "angle", "45", "", ""},
    {"GradientGlowFilter", "strength", "1", "", ""},
    {"GradientGlowFilter", "blurY", "4", "256", "255"},
    {"GradientGlowFilter", "type", "inner", "'inner'", "inner"},
    {"GradientBevelFilter", "distance", "4", "", ""},
    {"GradientBevelFilter", "blurX", "4", "", ""},
    {"GradientBevelFilter", "quality", "1", "", ""},
    {"ConvolutionFilter", "matrixX", "0", "16", "15"},
    {"ConvolutionFilter", "matrixY", "0", "3.5", "3"},
    {"ConvolutionFilter", "divisor", "1", "", ""},
    {"ConvolutionFilter", "bias", "0", "-2", "-2"},
    {"ConvolutionFilter", "preserveAlpha", "true", "0", "false"},
    {"ConvolutionFilter", "clamp", "true", "", ""},
    {"ConvolutionFilter", "alpha", "0", "5", "1"},
    {"DisplacementMapFilter", "componentX", "0", "16", "15"},
    {"DisplacementMapFilter", "componentY", "0", "", ""},
    {"DisplacementMapFilter", "scaleX", "0", "70000", "65535"},
    {"DisplacementMapFilter", "scaleY", "0", "-70000", "-65535"},
    {"DisplacementMapFilter", "mode", "wrap", "'clamp'", "clamp"},
    {"DisplacementMapFilter", "mode", "wrap", "'ignore'", "ignore"},
    {"DisplacementMapFilter", "mode", "wrap", "'color'", "color"},
    {"DisplacementMapFilter", "mode", "wrap", "'CLAMP'", "wrap"},
    {"DisplacementMapFilter", "alpha", "0", "", ""},
};

TEST(Flash8, FilterPropertiesDefaultAndClamp) {
    for (const FilterProp& p : kFilterProps) {
        Harness h(8);
        const std::string read =
            "push 'f'; getvar; push '" + std::string(p.prop) + "'; getmember; trace; ";
        std::string code = "push 'f'; " + New("filters", p.cls, "", 0) + "; setvar; " + read;
        if (*p.set)
            code += "push 'f'; getvar; push '" + std::string(p.prop) + "' " + p.set +
                    "; setmember; " + read;
        h.Run(code);
        EXPECT_EQ(h.Traces(), std::string(p.byDefault) + (*p.set ? "|" : "") + p.after)
            << p.cls << "." << p.prop << " = " << p.set;
    }
}

// flash.geom: a method of r:1, built from `self`'s constructor arguments (call order), with
// its arguments' code; the trace shows the result, or r:1 as text when `after` is set.
struct GeomCall {
    const char* cls;
    const char* self;
    std::string args; // code pushing the arguments, last first, and their count
    const char* method;
    const char* expected;
    bool after = false;
};

std::string Geom(const std::string& cls, const std::string& args) {
    std::vector<std::string> items;
    std::stringstream in(args);
    for (std::string item; in >> item;)
        items.insert(items.begin(), item);
    std::string reversed;
    for (const std::string& item : items)
        reversed += (reversed.empty() ? "" : " ") + item;
    return New("geom", cls, reversed, int(items.size()));
}

TEST(Flash8, GeometryMethods) {
    const std::string rect = Geom("Rectangle", "5 5 10 10") + "; push 1";
    const GeomCall calls[] = {
        {"Rectangle", "0 0 10 10", "push 0 0 2", "contains", "true"},
        {"Rectangle", "0 0 10 10", "push 5 10 2", "contains", "false"},
        {"Rectangle", "0 0 10 10", "push 10 5 2", "contains", "false"},
        {"Rectangle", "0 0 10 10", "push 9.5 9.5 2", "contains", "true"},
        {"Rectangle", "0 0 10 10", "push 5 -0.5 2", "contains", "false"},
        {"Rectangle", "0 0 10 10", "push -0.5 5 2", "contains", "false"},
        {"Rectangle", "0 0 10 10", Geom("Point", "10 9.5") + "; push 1", "containsPoint", "false"},
        {"Rectangle", "0 0 10 10", Geom("Rectangle", "0 0 10 10") + "; push 1", "containsRectangle",
         "true"},
        {"Rectangle", "0 0 10 10", Geom("Rectangle", "1 1 10 9") + "; push 1", "containsRectangle",
         "false"},
        {"Rectangle", "0 0 10 10", Geom("Rectangle", "0 1 10 9") + "; push 1", "containsRectangle",
         "true"},
        {"Rectangle", "0 0 10 10", rect, "intersects", "true"},
        {"Rectangle", "0 0 10 10", Geom("Rectangle", "10 0 5 5") + "; push 1", "intersects",
         "false"},
        {"Rectangle", "0 0 10 10", rect, "intersection", "(x=5, y=5, w=5, h=5)"},
        {"Rectangle", "0 0 10 10", Geom("Rectangle", "20 0 5 5") + "; push 1", "intersection",
         "(x=0, y=0, w=0, h=0)"},
        {"Rectangle", "0 0 10 10", Geom("Rectangle", "20 30 5 5") + "; push 1", "union",
         "(x=0, y=0, w=25, h=35)"},
        {"Rectangle", "0 0 10 10", "push 3 2 2", "inflate", "(x=-2, y=-3, w=14, h=16)", true},
        {"Rectangle", "0 0 10 10", Geom("Point", "2 3") + "; push 1", "inflatePoint",
         "(x=-2, y=-3, w=14, h=16)", true},
        {"Rectangle", "0 0 10 10", "push 2 1 2", "offset", "(x=1, y=2, w=10, h=10)", true},
        {"Rectangle", "0 0 10 10", "push 0", "isEmpty", "false"},
        {"Rectangle", "0 0 0 10", "push 0", "isEmpty", "true"},
        {"Rectangle", "0 0 10 -1", "push 0", "isEmpty", "true"},
        {"Rectangle", "0 0 10 10", Geom("Rectangle", "0 0 10 9") + "; push 1", "equals", "false"},
        {"Rectangle", "0 0 10 10", Geom("Rectangle", "0 0 10 10") + "; push 1", "equals", "true"},
        {"Point", "3 4", Geom("Point", "1 1") + "; push 1", "subtract", "(x=2, y=3)"},
        {"Point", "3 4", Geom("Point", "1 1") + "; push 1", "add", "(x=4, y=5)"},
        {"Point", "3 4", "push 10 1", "normalize", "(x=6, y=8)", true},
        {"Point", "3 4", Geom("Point", "3 4") + "; push 1", "equals", "true"},
        {"Point", "3 4", Geom("Point", "4 3") + "; push 1", "equals", "false"},
        {"Matrix", "1 0 0 1 5 7", Geom("Point", "1 2") + "; push 1", "transformPoint",
         "(x=6, y=9)"},
        {"Matrix", "2 0 0 3 5 7", Geom("Point", "1 2") + "; push 1", "deltaTransformPoint",
         "(x=2, y=6)"},
        {"Matrix", "1 2 3 4 5 6", Geom("Point", "1 1") + "; push 1", "transformPoint",
         "(x=9, y=12)"},
        {"Matrix", "2 0 0 3 0 0", Geom("Matrix", "1 0 0 1 10 20") + "; push 1", "concat",
         "(a=2, b=0, c=0, d=3, tx=10, ty=20)", true},
        {"Matrix", "1 0 0 1 10 20", Geom("Matrix", "2 0 0 3 0 0") + "; push 1", "concat",
         "(a=2, b=0, c=0, d=3, tx=20, ty=60)", true},
        {"Matrix", "", "push 5 4 0 3 2 5", "createBox", "(a=2, b=0, c=0, d=3, tx=4, ty=5)", true},
        {"Matrix", "", "push 20 10 0 50 100 5", "createGradientBox",
         "(a=0.06103515625, b=0, c=0, d=0.030517578125, tx=60, ty=45)", true},
        {"Matrix", "1 0 0 1 0 0", "push 3 2 2", "scale", "(a=2, b=0, c=0, d=3, tx=0, ty=0)", true},
        {"ColorTransform", "2 1 1 1 10 0 0 0",
         Geom("ColorTransform", "0.5 1 1 1 4 0 0 0") + "; push 1", "concat",
         "(redMultiplier=1, greenMultiplier=1, blueMultiplier=1, alphaMultiplier=1, "
         "redOffset=18, greenOffset=0, blueOffset=0, alphaOffset=0)",
         true},
    };
    for (const GeomCall& c : calls) {
        Harness h(8);
        std::string code = Geom(c.cls, c.self) + "; store 1; pop; " + c.args + " r:1 '" + c.method +
                           "'; callmethod; ";
        code += c.after ? "pop; push 0 r:1 'toString'; callmethod; trace" : "trace";
        h.Run(code);
        EXPECT_EQ(h.Traces(), c.expected) << c.cls << "(" << c.self << ")." << c.method;
    }
    // The statics, with arguments in an order that matters.
    Harness h(8);
    const std::string point = "push 'flash'; getvar; push 'geom'; getmember; push 'Point'; "
                              "getmember; push '";
    h.Run(Geom("Point", "3 4") + "; " + Geom("Point", "0 0") + "; push 2; " + point +
          "distance'; callmethod; trace; push 0.25; " + Geom("Point", "10 20") + "; " +
          Geom("Point", "0 0") + "; push 3; " + point +
          "interpolate'; callmethod; trace; push 0 2 2; " + point + "polar'; callmethod; trace");
    EXPECT_EQ(h.Traces(), "5|(x=7.5, y=15)|(x=2, y=0)");
}

// Bitmaps count against the memory cap before they exist: a loop keeping big bitmaps
// stops at the cap instead of taking the machine's memory.
TEST(Flash8, BitmapsCountAgainstTheMemoryCap) {
    avm1::Limits limits;
    limits.memoryBytes = 64u << 20;
    Harness h(8, limits);
    const std::string code =
        "push 'a' 0; array; setvar; L: " + New("display", "BitmapData", "2000 2000", 2) +
        "; push 1 'a'; getvar; push 'push'; callmethod; pop; jump L";
    EXPECT_EQ(h.Run(code), RunResult::OutOfMemory);
    EXPECT_LE(h.vm.heap().Bytes(), size_t(80u << 20));
}

// Long natives give up when the frame's time runs out.
TEST(Flash8, PerlinNoiseChecksTheTimeBudget) {
    Harness h(8);
    const std::string code = "push 'b'; " + New("display", "BitmapData", "2000 2000", 2) +
                             "; setvar; L: push 7 1 8 100 100 5 'b'; getvar; "
                             "push 'perlinNoise'; callmethod; pop; jump L";
    h.vm.SetClock([&h] { return h.now += 5; });
    EXPECT_EQ(h.Run(code), RunResult::Abandoned);
}

} // namespace
