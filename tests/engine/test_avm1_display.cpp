// Scripts driving the display list through the bridge: properties, paths, navigation,
// clip creation, drawing, colour, text, and the events the facade dispatches.
#include <cctype>

#include "tests/engine/avm1_harness.h"

namespace {

using avm1::DisplayProp;
using avm1test::Harness;

struct DisplayCase {
    const char* name;
    const char* code;
    const char* expected; // trace lines
    const char* log;      // what the display was asked, joined by |
};

const DisplayCase kCases[] = {
    {"properties by index, member and path",
     "push '' 0 15; setprop; push '' 0; getprop; trace; push 'ball'; getvar; push '_X' 20; "
     "setmember; push 'ball'; getvar; push '_x'; getmember; trace; push '/ball:_y' 5; setvar; "
     "push 'ball._y'; getvar; trace; "
     "push 'ball'; getvar; push '_alpha' 'nonsense'; setmember; push 'ball' 6; getprop; trace; "
     "push 'ball'; getvar; targetpath; trace; push 'ball' 11; getprop; trace",
     "15|20|5|100|_level0.ball|/ball", ""},
    {"property indexes at their ends",
     "push 'ball' 0; getprop; typeof; trace; push 'ball' 21; getprop; typeof; trace; "
     "push 'ball' 22; getprop; trace; push 'ball' -1; getprop; trace; push 'ball' 22 7; setprop; "
     "push 'ball' -1 7; setprop; push 'ball' 0; getprop; trace",
     "number|number|undefined|undefined|0", ""},
    {"navigation",
     "push 5; goto2 1; gotoframe 2; gotolabel 'intro'; settarget 'ball'; stop; "
     "settarget ''; play; push 'end' 1 'ball'; getvar; push 'gotoAndStop'; "
     "callmethod",
     "", ":goto 5|:play|:goto 3|:stop|:label intro|:stop|ball:stop|:play|ball:label end|ball:stop"},
    {"duplicate keeps properties and takes its init object's",
     "push 'ball'; getvar; push '_x' 33; setmember; push 'k' 7 1; object; push 5 'ball2' 3 "
     "'ball'; getvar; push 'duplicateMovieClip'; callmethod; push '_name'; getmember; trace; "
     "push 'ball2'; getvar; push '_x'; getmember; trace; push 'ball2'; getvar; push 'k'; "
     "getmember; trace",
     "ball2|33|7", ""},
    {"attachMovie applies the registered class",
     "func Bug() { push 'this'; getvar; push 'kind' 'bug'; setmember }; "
     "push 'Bug'; getvar; push 'bugSymbol' 2 'Object'; getvar; push 'registerClass'; "
     "callmethod; pop; push 3 'b1' 'bugSymbol' 3 '_root'; getvar; push 'attachMovie'; "
     "callmethod; pop; push 'b1'; getvar; push 'kind'; getmember; trace; push 'b1'; getvar; "
     "push 'Bug'; getvar; instanceof; trace; push 4 'x' 'missing' 3 '_root'; getvar; "
     "push 'attachMovie'; callmethod; trace",
     "bug|true|undefined", ""},
    {"drawing",
     "push 10 'canvas' 2 '_root'; getvar; push 'createEmptyMovieClip'; callmethod; store 1; "
     "pop; push 50 0xFF0000 2 r:1 'beginFill'; callmethod; pop; push 0 0 2 r:1 'moveTo'; "
     "callmethod; pop; push 0 10 2 r:1 'lineTo'; callmethod; pop; push 0 r:1 'endFill'; "
     "callmethod; pop; push 0 r:1 'clear'; callmethod",
     "",
     "canvas:beginFill 16711680/50|canvas:moveTo 0,0|canvas:lineTo 10,0|canvas:endFill|"
     "canvas:clear"},
    // setTransform without an object leaves the colour.
    {"color and text",
     "push 'ball'; getvar; push 1 'Color'; new; store 1; pop; push 0x336699 1 r:1 'setRGB'; "
     "callmethod; pop; push 0 r:1 'setTransform'; callmethod; pop; push 0 r:1 'getRGB'; "
     "callmethod; trace; "
     "push 20 100 0 0 20 'label' 6 '_root'; getvar; push 'createTextField'; callmethod; pop; "
     "push 'label'; getvar; push 'text' 'hi'; setmember; push 'label.text'; getvar; trace; "
     "push 'label'; getvar; push 'type' 'input'; setmember; push 'label.type'; getvar; trace; "
     "push 'label'; getvar; push 'type' 'dynamic'; setmember; push 'label.type'; getvar; trace",
     "3368601|hi|input|dynamic", ""},
    {"a text field's method borrowed by a clip leaves it",
     "push 'ball'; getvar; push 'rm' 'TextField'; getvar; push 'prototype'; getmember; "
     "push 'removeTextField'; getmember; setmember; push 0 'ball'; getvar; push 'rm'; "
     "callmethod; pop; push 'ball'; getvar; typeof; trace",
     "movieclip", ""},
    // A range's ends, one index, and a format over a mixed range.
    {"text formats by range",
     "push 20 100 0 0 20 'label' 6 '_root'; getvar; push 'createTextField'; callmethod; pop; "
     "push 'label'; getvar; push 'text' 'abcd'; setmember; push 'f' 0 'TextFormat'; new; "
     "setvar; push 'f'; getvar; push 'bold' true; setmember; push 'f'; getvar; push 3 1 3 "
     "'label'; getvar; push 'setTextFormat'; callmethod; pop; "
     "push 0 1 'label'; getvar; push 'getTextFormat'; callmethod; push 'bold'; getmember; trace; "
     "push 1 1 'label'; getvar; push 'getTextFormat'; callmethod; push 'bold'; getmember; trace; "
     "push 2 1 'label'; getvar; push 'getTextFormat'; callmethod; push 'bold'; getmember; trace; "
     "push 3 1 'label'; getvar; push 'getTextFormat'; callmethod; push 'bold'; getmember; trace; "
     "push 3 1 2 'label'; getvar; push 'getTextFormat'; callmethod; push 'bold'; getmember; trace; "
     "push 2 0 2 'label'; getvar; push 'getTextFormat'; callmethod; push 'bold'; getmember; trace; "
     "push 'f'; getvar; push 3 2 'label'; getvar; push 'setTextFormat'; callmethod; pop; "
     "push 3 1 'label'; getvar; push 'getTextFormat'; callmethod; push 'bold'; getmember; trace",
     "false|true|true|false|true|null|true", ""},
    {"depths, hit test and coordinates",
     "push 0 '_root'; getvar; push 'getNextHighestDepth'; callmethod; trace; "
     "push 1 1 '_root'; getvar; push 'getInstanceAtDepth'; callmethod; trace; "
     "push 7 1 'ball'; getvar; push 'swapDepths'; callmethod; pop; push 0 'ball'; getvar; "
     "push 'getDepth'; callmethod; trace; push 'ball'; getvar; push '_x' 20; setmember; "
     "push 5 25 2 'ball'; getvar; push 'hitTest'; callmethod; trace; "
     "push 'p' 'x' 1 'y' 2 2; object; setvar; push 'p'; getvar; push 1 'ball'; getvar; "
     "push 'localToGlobal'; callmethod; pop; push 'p'; getvar; push 'x'; getmember; trace",
     "2|_level0.ball|7|true|21", ""},
    {"stage size, inert keys and mouse",
     "push 'Stage'; getvar; push 'width'; getmember; trace; "
     "push 'Stage'; getvar; push 'showMenu'; getmember; trace; push 37 1 'Key'; getvar; "
     "push 'isDown'; callmethod; trace; push 0 'Mouse'; getvar; push 'hide'; callmethod; trace; "
     "push 'Key'; getvar; push 'BACKSPACE'; getmember; trace",
     "550|true|false|0|8", ""},
    // The parent's colour applies after the child's, channel by channel: red offset 4 + 50%
    // of 20 and 50% of 50%, green 8 + 25% of 20, blue 12 + 20%, alpha 16 + 80%.
    {"colour transforms concatenate",
     "push 'rb' 4 'ra' 50 'gb' 8 'ga' 25 'bb' 12 'ba' 20 'ab' 16 'aa' 80 8; object; push 1 "
     "'_root'; getvar; push 1 'Color'; new; push 'setTransform'; callmethod; pop; "
     "push 'rb' 20 'ra' 50 'gb' 20 'ga' 40 'bb' 20 'ba' 50 'ab' 20 'aa' 50 8; object; push 1 "
     "'ball'; getvar; push 1 'Color'; new; push 'setTransform'; callmethod; pop; "
     "push 'ball'; getvar; push 'transform'; getmember; push 'concatenatedColorTransform'; "
     "getmember; store 1; pop; push r:1 'redOffset'; getmember; trace; push r:1 "
     "'redMultiplier'; getmember; trace; push r:1 'greenOffset'; getmember; trace; push r:1 "
     "'greenMultiplier'; getmember; trace; push r:1 'blueOffset'; getmember; trace; push r:1 "
     "'blueMultiplier'; getmember; trace; push r:1 'alphaOffset'; getmember; trace; push r:1 "
     "'alphaMultiplier'; getmember; trace",
     "14|0.25|13|0.1|16|0.1|32|0.4", ""},
    // 'ball' shows "Hello" and "World" as static text: a search from each end, either case;
    // line ends only between texts; a snapshot of nothing has no text.
    {"text snapshot",
     "push 0 'ball'; getvar; push 'getTextSnapshot'; callmethod; store 1; pop; "
     "push 0 r:1 'getCount'; callmethod; trace; "
     "push true 'WORLD' 0 3 r:1 'findText'; callmethod; trace; "
     "push false 'WORLD' 0 3 r:1 'findText'; callmethod; trace; "
     "push false 'o' 5 3 r:1 'findText'; callmethod; trace; "
     "push false 'o' 9 3 r:1 'findText'; callmethod; trace; "
     "push false 'd' 10 3 r:1 'findText'; callmethod; trace; "
     "push true 9 3 3 r:1 'getText'; callmethod; trace; "
     "push true 5 4 3 r:1 'getText'; callmethod; trace; "
     "push 0 'TextSnapshot'; new; store 2; pop; push 0 r:2 'getCount'; callmethod; trace; "
     "push 1 0 2 r:2 'getText'; callmethod; trace",
     "10|-1|5|6|-1|-1|lo\nWorl|o|undefined|undefined", ""},
    // Blend modes by number (1 to 14) or name; anything else leaves the mode as it was.
    {"blend modes by number and name",
     "push 'ball'; getvar; push 'blendMode' 14; setmember; push 'ball.blendMode'; getvar; "
     "trace; push 'ball'; getvar; push 'blendMode' 15; setmember; push 'ball.blendMode'; "
     "getvar; trace; push 'ball'; getvar; push 'blendMode' 'layer'; setmember; "
     "push 'ball.blendMode'; getvar; trace; push 'ball'; getvar; push 'blendMode' 0; "
     "setmember; push 'ball.blendMode'; getvar; trace; push 'ball'; getvar; "
     "push 'blendMode' 'hardlight'; setmember; push 'ball'; getvar; push 'blendMode' 'nope'; "
     "setmember; push 'ball.blendMode'; getvar; trace; push 'ball'; getvar; "
     "push 'blendMode' 1; setmember; push 'ball.blendMode'; getvar; trace",
     "hardlight|hardlight|layer|layer|hardlight|normal", ""},
    {"maxChars leaves restrict alone",
     "push 20 100 0 0 20 'label' 6 '_root'; getvar; push 'createTextField'; callmethod; pop; "
     "push 'label'; getvar; push 'maxChars' 5; setmember; push 'label.maxChars'; getvar; "
     "trace; push 'label.restrict'; getvar; trace",
     "5|null", ""},
    // A clip takes the focus only when it asks for it; hiding it takes the focus away, and
    // Selection's listeners hear each change with the old and new objects.
    {"focus",
     "push 'l' 0; object; setvar; func f(a, b) { push 'a'; getvar; push ' > '; add2; "
     "push 'b'; getvar; add2; trace }; push 'l'; getvar; push 'onSetFocus'; push 'f'; "
     "getvar; setmember; push 'l'; getvar; push 1 'Selection'; getvar; push 'addListener'; "
     "callmethod; pop; push 'ball'; getvar; push 1 'Selection'; getvar; push 'setFocus'; "
     "callmethod; trace; push 'ball'; getvar; push 'focusEnabled' true; setmember; "
     "push 'ball'; getvar; push 1 'Selection'; getvar; push 'setFocus'; callmethod; trace; "
     "push 0 'Selection'; getvar; push 'getFocus'; callmethod; trace; "
     "push 'ball'; getvar; push '_visible' false; setmember; "
     "push 0 'Selection'; getvar; push 'getFocus'; callmethod; trace; "
     "push 'ball'; getvar; push '_visible' true; setmember; "
     "push '_level0.ball' 1 'Selection'; getvar; push 'setFocus'; callmethod; pop; "
     "push undef 1 'Selection'; getvar; push 'setFocus'; callmethod; trace",
     "false|null > _level0.ball|true|_level0.ball|_level0.ball > null|null|"
     "null > _level0.ball|_level0.ball > null|true",
     ""},
    {"removed clip answers undefined",
     "push 'ball'; getvar; store 1; pop; push 0 r:1 'removeMovieClip'; callmethod; pop; "
     "push r:1 '_x'; getmember; trace; push 'ball'; getvar; trace",
     "undefined|undefined", ""},
};

class Display : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(Display, Script) {
    const DisplayCase& c = GetParam();
    Harness h;
    const avm1::ClipId ball = h.display.NewClip(1, "ball", 1);
    h.display.staticTexts[ball] = {U"Hello", U"World"};
    h.Run(c.code);
    EXPECT_EQ(h.Traces(), c.expected) << c.name;
    if (*c.log) {
        std::string log;
        for (const std::string& l : h.display.log)
            log += (log.empty() ? "" : "|") + l;
        EXPECT_EQ(log, c.log) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Scripts, Display, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<DisplayCase>& info) {
                             std::string n = info.param.name;
                             for (char& ch : n)
                                 if (!isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return n;
                         });

// The facade's side of events: clip actions run in the clip's scope, then onEnterFrame.
TEST(DisplayEvents, ClipActionsAndHandlersRunInTheClip) {
    Harness h;
    avm1::ClipId ball = h.display.NewClip(1, "ball", 1);
    h.Run("push 'ball'; getvar; push 'onEnterFrame'; func () { push 'this'; getvar; "
          "push '_x'; push 'this'; getvar; push '_x'; getmember; push 2; add2; setmember }; "
          "setmember");
    for (int frame = 0; frame < 3; frame++) {
        h.vm.BeginFrame();
        EXPECT_EQ(h.Run("push '_y'; push '_y'; getvar; inc; setvar", ball), avm1::RunResult::Done);
        EXPECT_EQ(h.vm.DispatchClipEvent(ball, avm1::ClipEvent::EnterFrame), avm1::RunResult::Done);
        h.vm.EndFrame();
    }
    EXPECT_EQ(h.display.clips[ball].props[int(DisplayProp::X)], 6);
    EXPECT_EQ(h.display.clips[ball].props[int(DisplayProp::Y)], 3);
    // A clip without the handler, and a clip that is gone, are quietly skipped.
    EXPECT_EQ(h.vm.DispatchClipEvent(1, avm1::ClipEvent::Unload), avm1::RunResult::Done);
    EXPECT_EQ(h.vm.DispatchClipEvent(999, avm1::ClipEvent::Load), avm1::RunResult::Done);
}

// A facade that runs a frame's actions at once when a script navigates gets a nested run
// that leaves the outer script's stack alone.
TEST(DisplayEvents, ActionsRunFromInsideABridgeCallNest) {
    Harness h;
    std::vector<uint8_t> inner =
        avm1test::Assemble("push 'junk' 'inner'; trace; push 1 'x'; throw");
    h.display.onNavigate = [&](avm1::ClipId) {
        h.display.onNavigate = nullptr;
        EXPECT_EQ(h.vm.RunActions(1, inner.data(), inner.size()), avm1::RunResult::Thrown);
    };
    EXPECT_EQ(h.Run("push 'before' 3; goto2 0; trace; push 'after'; trace"), avm1::RunResult::Done);
    EXPECT_EQ(h.Traces(), "inner|before|after");
}

// onClipEvent blocks as PlaceObject2 carries them run before the clip's method.
TEST(DisplayEvents, ClipEventBlocksRunBeforeTheMethod) {
    Harness h;
    avm1::ClipId ball = h.display.NewClip(1, "ball", 1);
    auto u32 = [](std::vector<uint8_t>& out, uint32_t v) {
        for (int i = 0; i < 4; i++)
            out.push_back(uint8_t(v >> (8 * i)));
    };
    std::vector<uint8_t> clipActions = {0, 0};
    u32(clipActions, avm1::kEventLoad | avm1::kEventEnterFrame);
    for (auto [events, code] :
         {std::pair<uint32_t, const char*>{avm1::kEventLoad, "push 'load'; trace"},
          {avm1::kEventEnterFrame, "push 'clip'; trace"}}) {
        std::vector<uint8_t> actions = avm1test::Assemble(code);
        actions.push_back(0);
        u32(clipActions, events);
        u32(clipActions, uint32_t(actions.size()));
        clipActions.insert(clipActions.end(), actions.begin(), actions.end());
    }
    u32(clipActions, 0);
    h.Run("push 'ball'; getvar; push 'onEnterFrame'; func () { push 'method'; trace }; setmember");
    h.vm.DispatchClipEvent(ball, avm1::ClipEvent::Load, clipActions.data(), clipActions.size());
    h.vm.DispatchClipEvent(ball, avm1::ClipEvent::EnterFrame, clipActions.data(),
                           clipActions.size());
    EXPECT_EQ(h.Traces(), "load|clip|method");
    // Cut short anywhere, the record list stops without reading past the end.
    for (size_t n = 0; n < clipActions.size(); n++)
        avm1::DecodeClipActions(clipActions.data(), n, 7);
}

} // namespace
