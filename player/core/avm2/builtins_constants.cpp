// The classes that only name the strings and numbers Flash's API takes (StageScaleMode,
// BlendMode, Keyboard and the like), which compiled movies read as static properties; and
// flash.ui's Mouse and ContextMenu, which a screen saver, with no pointer or menu of its
// own to show, answers as doing nothing.
#include <initializer_list>
#include <string>

#include "player/core/avm2/display.h"

namespace avm2 {

namespace {

#define NATIVE(name) Value name(Vm& vm, const Value& self, Value* args, int argc)
#define UNUSED (void)vm, (void)self, (void)args, (void)argc

// The tables are static constants: data, not code that builds them at every start.
struct Named {
    const char* name;
    const char* text; // null: `number` instead
    double number;
};
constexpr Named S(const char* name, const char* text) {
    return Named{name, text, 0};
}
constexpr Named N(const char* name, double number) {
    return Named{name, nullptr, number};
}

struct Names {
    const char* uri;
    const char* cls;
    std::initializer_list<Named> names;
};

void Define(Vm& vm, const Names& n) {
    ClassInfo* c = vm.DefineClass(n.uri, n.cls, vm.objectClass, Kind::Plain, nullptr);
    for (const Named& k : n.names)
        vm.AddConstant(c, k.name, k.text ? Value::Str(k.text) : Value::Num(k.number));
}

void DefineNames(Vm& vm) {
    static const Names all[] = {
        {"flash.display",
         "StageScaleMode",
         {S("EXACT_FIT", "exactFit"), S("NO_BORDER", "noBorder"), S("NO_SCALE", "noScale"),
          S("SHOW_ALL", "showAll")}},
        {"flash.display",
         "StageAlign",
         {S("BOTTOM", "B"), S("BOTTOM_LEFT", "BL"), S("BOTTOM_RIGHT", "BR"), S("LEFT", "L"),
          S("RIGHT", "R"), S("TOP", "T"), S("TOP_LEFT", "TL"), S("TOP_RIGHT", "TR")}},
        {"flash.display",
         "StageQuality",
         {S("BEST", "best"), S("HIGH", "high"), S("LOW", "low"), S("MEDIUM", "medium"),
          S("HIGH_8X8", "8x8"), S("HIGH_8X8_LINEAR", "8x8linear"), S("HIGH_16X16", "16x16"),
          S("HIGH_16X16_LINEAR", "16x16linear")}},
        {"flash.display",
         "StageDisplayState",
         {S("FULL_SCREEN", "fullScreen"), S("FULL_SCREEN_INTERACTIVE", "fullScreenInteractive"),
          S("NORMAL", "normal")}},
        {"flash.display",
         "BlendMode",
         {S("ADD", "add"), S("ALPHA", "alpha"), S("DARKEN", "darken"),
          S("DIFFERENCE", "difference"), S("ERASE", "erase"), S("HARDLIGHT", "hardlight"),
          S("INVERT", "invert"), S("LAYER", "layer"), S("LIGHTEN", "lighten"),
          S("MULTIPLY", "multiply"), S("NORMAL", "normal"), S("OVERLAY", "overlay"),
          S("SCREEN", "screen"), S("SHADER", "shader"), S("SUBTRACT", "subtract")}},
        {"flash.display",
         "LineScaleMode",
         {S("HORIZONTAL", "horizontal"), S("NONE", "none"), S("NORMAL", "normal"),
          S("VERTICAL", "vertical")}},
        {"flash.display",
         "CapsStyle",
         {S("NONE", "none"), S("ROUND", "round"), S("SQUARE", "square")}},
        {"flash.display",
         "JointStyle",
         {S("BEVEL", "bevel"), S("MITER", "miter"), S("ROUND", "round")}},
        {"flash.display", "GradientType", {S("LINEAR", "linear"), S("RADIAL", "radial")}},
        {"flash.display",
         "SpreadMethod",
         {S("PAD", "pad"), S("REFLECT", "reflect"), S("REPEAT", "repeat")}},
        {"flash.display", "InterpolationMethod", {S("LINEAR_RGB", "linearRGB"), S("RGB", "rgb")}},
        {"flash.display",
         "PixelSnapping",
         {S("ALWAYS", "always"), S("AUTO", "auto"), S("NEVER", "never")}},
        {"flash.display",
         "BitmapDataChannel",
         {N("ALPHA", 8), N("BLUE", 4), N("GREEN", 2), N("RED", 1)}},
        {"flash.display",
         "GraphicsPathCommand",
         {N("NO_OP", 0), N("MOVE_TO", 1), N("LINE_TO", 2), N("CURVE_TO", 3), N("WIDE_MOVE_TO", 4),
          N("WIDE_LINE_TO", 5), N("CUBIC_CURVE_TO", 6)}},
        {"flash.display",
         "GraphicsPathWinding",
         {S("EVEN_ODD", "evenOdd"), S("NON_ZERO", "nonZero")}},
        {"flash.display",
         "TriangleCulling",
         {S("NEGATIVE", "negative"), S("NONE", "none"), S("POSITIVE", "positive")}},
        {"flash.display",
         "ColorCorrection",
         {S("DEFAULT", "default"), S("OFF", "off"), S("ON", "on")}},
        {"flash.display",
         "ColorCorrectionSupport",
         {S("DEFAULT_OFF", "defaultOff"), S("DEFAULT_ON", "defaultOn"),
          S("UNSUPPORTED", "unsupported")}},
        {"flash.display", "ActionScriptVersion", {N("ACTIONSCRIPT2", 2), N("ACTIONSCRIPT3", 3)}},
        {"flash.display",
         "SWFVersion",
         {N("FLASH1", 1), N("FLASH2", 2), N("FLASH3", 3), N("FLASH4", 4), N("FLASH5", 5),
          N("FLASH6", 6), N("FLASH7", 7), N("FLASH8", 8), N("FLASH9", 9), N("FLASH10", 10),
          N("FLASH11", 11)}},
        {"flash.display",
         "StageAspectRatio",
         {S("ANY", "any"), S("LANDSCAPE", "landscape"), S("PORTRAIT", "portrait")}},
        {"flash.display",
         "StageOrientation",
         {S("DEFAULT", "default"), S("ROTATED_LEFT", "rotatedLeft"),
          S("ROTATED_RIGHT", "rotatedRight"), S("UNKNOWN", "unknown"),
          S("UPSIDE_DOWN", "upsideDown")}},
        {"flash.filters", "BitmapFilterQuality", {N("HIGH", 3), N("LOW", 1), N("MEDIUM", 2)}},
        {"flash.filters",
         "BitmapFilterType",
         {S("FULL", "full"), S("INNER", "inner"), S("OUTER", "outer")}},
        {"flash.filters",
         "DisplacementMapFilterMode",
         {S("CLAMP", "clamp"), S("COLOR", "color"), S("IGNORE", "ignore"), S("WRAP", "wrap")}},
        {"flash.text",
         "TextFieldAutoSize",
         {S("CENTER", "center"), S("LEFT", "left"), S("NONE", "none"), S("RIGHT", "right")}},
        {"flash.text", "TextFieldType", {S("DYNAMIC", "dynamic"), S("INPUT", "input")}},
        {"flash.text",
         "TextFormatAlign",
         {S("CENTER", "center"), S("END", "end"), S("JUSTIFY", "justify"), S("LEFT", "left"),
          S("RIGHT", "right"), S("START", "start")}},
        {"flash.text", "TextFormatDisplay", {S("BLOCK", "block"), S("INLINE", "inline")}},
        {"flash.text", "AntiAliasType", {S("ADVANCED", "advanced"), S("NORMAL", "normal")}},
        {"flash.text",
         "GridFitType",
         {S("NONE", "none"), S("PIXEL", "pixel"), S("SUBPIXEL", "subpixel")}},
        {"flash.text", "TextColorType", {S("DARK_COLOR", "dark"), S("LIGHT_COLOR", "light")}},
        {"flash.text",
         "TextDisplayMode",
         {S("CRT", "crt"), S("DEFAULT", "default"), S("LCD", "lcd")}},
        {"flash.text",
         "FontStyle",
         {S("BOLD", "bold"), S("BOLD_ITALIC", "boldItalic"), S("ITALIC", "italic"),
          S("REGULAR", "regular")}},
        {"flash.text",
         "FontType",
         {S("DEVICE", "device"), S("EMBEDDED", "embedded"), S("EMBEDDED_CFF", "embeddedCFF")}},
        {"flash.ui",
         "MouseCursor",
         {S("ARROW", "arrow"), S("AUTO", "auto"), S("BUTTON", "button"), S("HAND", "hand"),
          S("IBEAM", "ibeam")}},
        {"flash.events",
         "EventPhase",
         {N("AT_TARGET", 2), N("BUBBLING_PHASE", 3), N("CAPTURING_PHASE", 1)}},
        {"flash.net", "URLRequestMethod", {S("GET", "GET"), S("POST", "POST")}},
        {"flash.utils",
         "CompressionAlgorithm",
         {S("DEFLATE", "deflate"), S("LZMA", "lzma"), S("ZLIB", "zlib")}},
        {"flash.net",
         "URLLoaderDataFormat",
         {S("BINARY", "binary"), S("TEXT", "text"), S("VARIABLES", "variables")}},
    };
    for (const Names& n : all)
        Define(vm, n);
}

// Key codes as Flash Player on Windows reports them.
void DefineKeyboard(Vm& vm) {
    ClassInfo* keys = vm.DefineClass("flash.ui", "Keyboard", vm.objectClass, Kind::Plain, nullptr);
    for (char c = 'A'; c <= 'Z'; ++c)
        vm.AddConstant(keys, std::string(1, c).c_str(), Value::Num(c));
    for (int d = 0; d <= 9; ++d) {
        vm.AddConstant(keys, ("NUMBER_" + std::to_string(d)).c_str(), Value::Num(48 + d));
        vm.AddConstant(keys, ("NUMPAD_" + std::to_string(d)).c_str(), Value::Num(96 + d));
    }
    for (int f = 1; f <= 15; ++f)
        vm.AddConstant(keys, ("F" + std::to_string(f)).c_str(), Value::Num(111 + f));
    static const Named named[] = {N("BACKSPACE", 8),
                                  N("TAB", 9),
                                  N("ENTER", 13),
                                  N("COMMAND", 15),
                                  N("SHIFT", 16),
                                  N("CONTROL", 17),
                                  N("ALTERNATE", 18),
                                  N("CAPS_LOCK", 20),
                                  N("NUMPAD", 21),
                                  N("ESCAPE", 27),
                                  N("SPACE", 32),
                                  N("PAGE_UP", 33),
                                  N("PAGE_DOWN", 34),
                                  N("END", 35),
                                  N("HOME", 36),
                                  N("LEFT", 37),
                                  N("UP", 38),
                                  N("RIGHT", 39),
                                  N("DOWN", 40),
                                  N("INSERT", 45),
                                  N("DELETE", 46),
                                  N("NUMPAD_MULTIPLY", 106),
                                  N("NUMPAD_ADD", 107),
                                  N("NUMPAD_ENTER", 108),
                                  N("NUMPAD_SUBTRACT", 109),
                                  N("NUMPAD_DECIMAL", 110),
                                  N("NUMPAD_DIVIDE", 111),
                                  N("SEMICOLON", 186),
                                  N("EQUAL", 187),
                                  N("COMMA", 188),
                                  N("MINUS", 189),
                                  N("PERIOD", 190),
                                  N("SLASH", 191),
                                  N("BACKQUOTE", 192),
                                  N("LEFTBRACKET", 219),
                                  N("BACKSLASH", 220),
                                  N("RIGHTBRACKET", 221),
                                  N("QUOTE", 222)};
    for (const Named& k : named)
        vm.AddConstant(keys, k.name, Value::Num(k.number));
    auto off = [](Vm&, const Value&, Value*, int) { return Value::Bool(false); };
    static const Native keysNatives[] = {
        StaticAccessor("capsLock", off),
        StaticAccessor("numLock", off),
        StaticFn("isAccessible", off),
    };
    vm.AddNatives(keys, keysNatives);
}

NATIVE(Auto) {
    UNUSED;
    return Value::Str("auto");
}

// A menu keeps what scripts put in it; no menu is ever shown.
NATIVE(ContextMenuCtor) {
    UNUSED;
    const Value items = Value::Obj(vm.NewArray());
    vm.SetProperty(self, Name::Public("customItems"), items);
    const Value builtIn = vm.ConstructClass(vm.Builtin("ContextMenuBuiltInItems"), nullptr, 0);
    vm.SetProperty(self, Name::Public("builtInItems"), builtIn);
    return Value();
}
NATIVE(HideBuiltInItems) {
    UNUSED;
    const Value items = vm.Get(self, "builtInItems");
    if (items.IsObject())
        for (const char* k :
             {"forwardAndBack", "loop", "play", "print", "quality", "rewind", "save", "zoom"})
            vm.SetProperty(items, Name::Public(k), Value::Bool(false));
    return Value();
}
NATIVE(BuiltInItemsCtor) {
    UNUSED;
    for (const char* k :
         {"forwardAndBack", "loop", "play", "print", "quality", "rewind", "save", "zoom"})
        vm.SetProperty(self, Name::Public(k), Value::Bool(true));
    return Value();
}
NATIVE(MenuItemCtor) {
    UNUSED;
    static const char* const names[] = {"caption", "separatorBefore", "enabled", "visible"};
    const Value given[] = {
        Value::Str(vm.ToString(Arg(args, argc, 0))), Value::Bool(argc > 1 && ToBoolean(args[1])),
        Value::Bool(argc <= 2 || ToBoolean(args[2])), Value::Bool(argc <= 3 || ToBoolean(args[3]))};
    for (int i = 0; i < 4; ++i)
        vm.SetProperty(self, Name::Public(names[i]), given[i]);
    return Value();
}
NATIVE(OfflineNavigate) {
    UNUSED;
    vm.Notice("a movie asked to open a web page; a screen saver opens none");
    return Value();
}

} // namespace

namespace answer {
NATIVE(Nothing) {
    UNUSED;
    return Value();
}
NATIVE(False) {
    UNUSED;
    return Value::Bool(false);
}
NATIVE(True) {
    UNUSED;
    return Value::Bool(true);
}
NATIVE(Null) {
    UNUSED;
    return Value::Null();
}
NATIVE(EmptyArray) {
    UNUSED;
    return Value::Obj(vm.NewArray());
}
} // namespace answer

void InstallNames(Vm& vm, ClassInfo* dispatcher) {
    DefineNames(vm);
    DefineKeyboard(vm);
    ClassInfo* mouse = vm.DefineClass("flash.ui", "Mouse", vm.objectClass, Kind::Plain, nullptr);
    static const Native mouseNatives[] = {
        StaticFn("hide", answer::Nothing),
        StaticFn("show", answer::Nothing),
        StaticAccessor("cursor", Auto, answer::Nothing),
        StaticAccessor("supportsCursor", answer::True),
        StaticFn("registerCursor", answer::Nothing),
    };
    vm.AddNatives(mouse, mouseNatives);

    ClassInfo* menu =
        vm.DefineClass("flash.ui", "ContextMenu", dispatcher, Kind::Dispatcher, ContextMenuCtor);
    menu->sealed = false;
    vm.AddMethod(menu, "hideBuiltInItems", HideBuiltInItems);
    ClassInfo* builtIn = vm.DefineClass("flash.ui", "ContextMenuBuiltInItems", vm.objectClass,
                                        Kind::Plain, BuiltInItemsCtor);
    builtIn->sealed = false;
    ClassInfo* item =
        vm.DefineClass("flash.ui", "ContextMenuItem", dispatcher, Kind::Dispatcher, MenuItemCtor);
    item->sealed = false;
    // What a movie may make without using: the settings of loads and what a screen reader
    // would say, kept as given; there is no camera or microphone to get.
    for (const auto& plain : {std::make_pair("flash.system", "LoaderContext"),
                              std::make_pair("flash.net", "URLVariables"),
                              std::make_pair("flash.accessibility", "AccessibilityProperties")}) {
        ClassInfo* c =
            vm.DefineClass(plain.first, plain.second, vm.objectClass, Kind::Plain, answer::Nothing);
        c->sealed = false;
    }
    for (const char* device : {"Camera", "Microphone"}) {
        ClassInfo* c = vm.DefineClass("flash.media", device, dispatcher, Kind::Dispatcher, nullptr);
        vm.AddMethod(c, device[0] == 'C' ? "getCamera" : "getMicrophone", answer::Null, true);
        vm.AddGetter(c, "names", answer::EmptyArray, nullptr, true);
    }
    vm.DefineFunction("flash.net", "navigateToURL", OfflineNavigate);
    vm.DefineFunction("flash.net", "sendToURL", OfflineNavigate);
}

} // namespace avm2
