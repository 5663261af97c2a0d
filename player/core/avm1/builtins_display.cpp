// MovieClip, Color, Stage, Key and Mouse (TextField: builtins_text.cpp): every display effect goes
// through the DisplayBridge; Key and Mouse are present but inert (any input ends a screen saver).
#include <cmath>

#include "player/core/avm1/vm.h"

namespace avm1 {
namespace {

int ToDepth(Vm& vm, const Value& v) {
    double d = vm.ToNumber(v);
    return std::isfinite(d) ? ClampInt(d) : 0;
}

ClipId Self(Vm& vm, const Value& self) {
    return vm.display() ? vm.ClipOf(self) : 0;
}

// A clip named by an object or by a target path from the root.
ClipId ClipArg(Vm& vm, const Value& v) {
    if (v.IsObject())
        return vm.ClipOf(v);
    if (v.IsNullish())
        return 0;
    Object* o = vm.ResolveTarget(nullptr, vm.ToString(v));
    return o ? vm.ClipOf(Value::Obj(o)) : 0;
}

Value ClipValue(Vm& vm, ClipId c) {
    Object* o = vm.ClipObject(c);
    return o ? Value::Obj(o) : Value();
}

void CopyInit(Vm& vm, ClipId c, const Value& init) {
    if (!c || !init.IsObject())
        return;
    Object* o = vm.ClipObject(c);
    if (!o)
        return;
    for (const std::string& k : vm.Keys(init.o))
        vm.Set(Value::Obj(o), k, vm.Get(init, k));
}

Value Nav(Vm& vm, const Value& self, Navigation nav) {
    if (ClipId c = Self(vm, self))
        vm.display()->Navigate(c, nav, 0, "");
    return Value();
}
Value Play(Vm& vm, const Value& self, const Args&) {
    return Nav(vm, self, Navigation::Play);
}
Value Stop(Vm& vm, const Value& self, const Args&) {
    return Nav(vm, self, Navigation::Stop);
}
Value NextFrame(Vm& vm, const Value& self, const Args&) {
    Nav(vm, self, Navigation::NextFrame);
    return Nav(vm, self, Navigation::Stop);
}
Value PrevFrame(Vm& vm, const Value& self, const Args&) {
    Nav(vm, self, Navigation::PrevFrame);
    return Nav(vm, self, Navigation::Stop);
}
void Goto(Vm& vm, const Value& self, const Value& frame, bool play) {
    ClipId c = Self(vm, self);
    if (!c)
        return;
    double d = frame.IsString() ? StringToNumber(frame.s, vm.version()) : vm.ToNumber(frame);
    if (frame.IsString() && std::isnan(d))
        vm.display()->Navigate(c, Navigation::GotoLabel, 0, frame.s);
    else if (std::isfinite(d))
        vm.display()->Navigate(c, Navigation::GotoFrame, ToDepth(vm, Value::Num(d)), "");
    vm.display()->Navigate(c, play ? Navigation::Play : Navigation::Stop, 0, "");
}
Value GotoAndPlay(Vm& vm, const Value& self, const Args& a) {
    Goto(vm, self, a[a.size() > 1 ? 1 : 0], true);
    return Value();
}
Value GotoAndStop(Vm& vm, const Value& self, const Args& a) {
    Goto(vm, self, a[a.size() > 1 ? 1 : 0], false);
    return Value();
}

Value DuplicateMovieClip(Vm& vm, const Value& self, const Args& a) {
    ClipId c = Self(vm, self);
    if (!c)
        return Value();
    ClipId d = vm.display()->Duplicate(c, vm.ToString(a[0]), ToDepth(vm, a[1]));
    CopyInit(vm, d, a[2]);
    return ClipValue(vm, d);
}
Value AttachMovie(Vm& vm, const Value& self, const Args& a) {
    ClipId c = Self(vm, self);
    if (!c)
        return Value();
    std::string id = vm.ToString(a[0]);
    ClipId d = vm.display()->Attach(c, id, vm.ToString(a[1]), ToDepth(vm, a[2]));
    if (!d)
        return Value();
    CopyInit(vm, d, a[3]);
    vm.InitClip(d, id);
    return ClipValue(vm, d);
}
Value CreateEmptyMovieClip(Vm& vm, const Value& self, const Args& a) {
    ClipId c = Self(vm, self);
    if (!c)
        return Value();
    return ClipValue(vm, vm.display()->CreateEmpty(c, vm.ToString(a[0]), ToDepth(vm, a[1])));
}
Value CreateTextField(Vm& vm, const Value& self, const Args& a) {
    ClipId c = Self(vm, self);
    if (!c)
        return Value();
    Bounds box;
    box.xMin = vm.ToNumber(a[2]);
    box.yMin = vm.ToNumber(a[3]);
    box.xMax = box.xMin + vm.ToNumber(a[4]);
    box.yMax = box.yMin + vm.ToNumber(a[5]);
    return ClipValue(vm, vm.display()->CreateText(c, vm.ToString(a[0]), ToDepth(vm, a[1]), box));
}
Value RemoveMovieClip(Vm& vm, const Value& self, const Args&) {
    if (ClipId c = Self(vm, self))
        vm.display()->Remove(c);
    return Value();
}
Value SwapDepths(Vm& vm, const Value& self, const Args& a) {
    ClipId c = Self(vm, self);
    if (!c)
        return Value();
    if (ClipId other = vm.ClipOf(a[0])) {
        Value depth = vm.display()->Get(other, DisplayProp::Depth);
        vm.display()->SwapDepths(c, ToDepth(vm, depth));
    } else if (a[0].IsString() && std::isnan(StringToNumber(a[0].s, vm.version()))) {
        ClipId other2 = ClipArg(vm, Value::Str(a[0].s));
        if (other2)
            vm.display()->SwapDepths(c, ToDepth(vm, vm.display()->Get(other2, DisplayProp::Depth)));
    } else {
        vm.display()->SwapDepths(c, ToDepth(vm, a[0]));
    }
    return Value();
}
Value GetNextHighestDepth(Vm& vm, const Value& self, const Args&) {
    ClipId c = Self(vm, self);
    return c ? Value::Num(vm.display()->NextHighestDepth(c)) : Value();
}
Value GetInstanceAtDepth(Vm& vm, const Value& self, const Args& a) {
    ClipId c = Self(vm, self);
    return c ? ClipValue(vm, vm.display()->ChildAtDepth(c, ToDepth(vm, a[0]))) : Value();
}
Value GetDepth(Vm& vm, const Value& self, const Args&) {
    ClipId c = Self(vm, self);
    return c ? vm.display()->Get(c, DisplayProp::Depth) : Value();
}
Value GetBoundsFn(Vm& vm, const Value& self, const Args& a) {
    ClipId c = Self(vm, self);
    if (!c)
        return Value();
    ClipId space = a.size() > 0 ? ClipArg(vm, a[0]) : c;
    Bounds b = vm.display()->GetBounds(c, space);
    Object* o = vm.NewObject();
    vm.Set(Value::Obj(o), "xMin", Value::Num(b.xMin));
    vm.Set(Value::Obj(o), "xMax", Value::Num(b.xMax));
    vm.Set(Value::Obj(o), "yMin", Value::Num(b.yMin));
    vm.Set(Value::Obj(o), "yMax", Value::Num(b.yMax));
    return Value::Obj(o);
}
Value HitTest(Vm& vm, const Value& self, const Args& a) {
    ClipId c = Self(vm, self);
    if (!c)
        return Value::Bool(false);
    if (a.size() >= 2) {
        return Value::Bool(vm.display()->HitTestPoint(c, vm.ToNumber(a[0]), vm.ToNumber(a[1]),
                                                      ToBoolean(a[2], vm.version())));
    }
    ClipId other = ClipArg(vm, a[0]);
    if (!other)
        return Value::Bool(false);
    Bounds x = vm.display()->GetBounds(c, 0), y = vm.display()->GetBounds(other, 0);
    return Value::Bool(x.xMin <= y.xMax && y.xMin <= x.xMax && x.yMin <= y.yMax &&
                       y.yMin <= x.yMax);
}
Value Convert(Vm& vm, const Value& self, const Args& a, bool toStage) {
    ClipId c = Self(vm, self);
    if (!c || !a[0].IsObject())
        return Value();
    double x = vm.ToNumber(vm.Get(a[0], "x")), y = vm.ToNumber(vm.Get(a[0], "y"));
    vm.display()->Transform(c, x, y, toStage);
    vm.Set(a[0], "x", Value::Num(x));
    vm.Set(a[0], "y", Value::Num(y));
    return Value();
}
Value LocalToGlobal(Vm& vm, const Value& self, const Args& a) {
    return Convert(vm, self, a, true);
}
Value GlobalToLocal(Vm& vm, const Value& self, const Args& a) {
    return Convert(vm, self, a, false);
}

Value Draw(Vm& vm, const Value& self, const DrawCommand& cmd) {
    if (ClipId c = Self(vm, self))
        vm.display()->Draw(c, cmd);
    return Value();
}
uint32_t Rgb(Vm& vm, const Value& v) {
    return ToUint32(vm.ToNumber(v)) & 0xFFFFFF;
}
double Alpha(Vm& vm, const Value& v) {
    if (v.IsUndefined())
        return 100;
    double d = vm.ToNumber(v);
    return std::isnan(d) ? 100 : std::max(0.0, std::min(d, 100.0));
}
Value LineStyle(Vm& vm, const Value& self, const Args& a) {
    DrawCommand cmd;
    cmd.kind = DrawCommand::LineStyle;
    cmd.width = a[0].IsUndefined() ? -1 : vm.ToNumber(a[0]); // -1: no line
    cmd.rgb = Rgb(vm, a[1]);
    cmd.alpha = Alpha(vm, a[2]);
    return Draw(vm, self, cmd);
}
Value BeginFill(Vm& vm, const Value& self, const Args& a) {
    DrawCommand cmd;
    cmd.kind = DrawCommand::BeginFill;
    cmd.rgb = Rgb(vm, a[0]);
    cmd.alpha = Alpha(vm, a[1]);
    return Draw(vm, self, cmd);
}
Value BeginGradientFill(Vm& vm, const Value& self, const Args& a) {
    DrawCommand cmd;
    cmd.kind = DrawCommand::BeginGradientFill;
    cmd.radial = vm.ToString(a[0]) == "radial";
    auto list = [&](const Value& v, auto&& each) {
        if (v.IsObject() && v.o->kind == Kind::Array)
            for (size_t i = 0; i < v.o->elements.size() && i < 15; i++)
                each(v.o->elements[i]);
    };
    list(a[1], [&](const Value& v) { cmd.colors.push_back(Rgb(vm, v)); });
    list(a[2], [&](const Value& v) { cmd.alphas.push_back(Alpha(vm, v)); });
    list(a[3], [&](const Value& v) { cmd.ratios.push_back(vm.ToNumber(v)); });
    const Value& m = a[4];
    if (m.IsObject()) {
        if (vm.ToString(vm.Get(m, "matrixType")) == "box") {
            // The gradient square spans -819.2..819.2 pixels; the box scales and places it.
            double x = vm.ToNumber(vm.Get(m, "x")), y = vm.ToNumber(vm.Get(m, "y"));
            double w = vm.ToNumber(vm.Get(m, "w")), h = vm.ToNumber(vm.Get(m, "h"));
            double r = vm.ToNumber(vm.Get(m, "r"));
            double sx = w / 1638.4, sy = h / 1638.4;
            cmd.matrix[0] = sx * std::cos(r);
            cmd.matrix[1] = sx * std::sin(r);
            cmd.matrix[2] = -sy * std::sin(r);
            cmd.matrix[3] = sy * std::cos(r);
            cmd.matrix[4] = x + w / 2;
            cmd.matrix[5] = y + h / 2;
        } else {
            static const char* const names[] = {"a", "b", "c", "d", "tx", "ty"};
            // {a..ty} scales the same square as it stands (what Matrix.createGradientBox
            // gives), tx and ty in pixels.
            for (int i = 0; i < 6; i++)
                cmd.matrix[i] = vm.ToNumber(vm.Get(m, names[i]));
        }
    }
    return Draw(vm, self, cmd);
}
Value Point(Vm& vm, const Value& self, const Args& a, DrawCommand::Kind op) {
    DrawCommand cmd;
    cmd.kind = op;
    if (op == DrawCommand::CurveTo) {
        cmd.cx = vm.ToNumber(a[0]);
        cmd.cy = vm.ToNumber(a[1]);
        cmd.x = vm.ToNumber(a[2]);
        cmd.y = vm.ToNumber(a[3]);
        if (!std::isfinite(cmd.cx) || !std::isfinite(cmd.cy))
            return Value();
    } else {
        cmd.x = vm.ToNumber(a[0]);
        cmd.y = vm.ToNumber(a[1]);
    }
    if (!std::isfinite(cmd.x) || !std::isfinite(cmd.y))
        return Value();
    return Draw(vm, self, cmd);
}
Value MoveTo(Vm& vm, const Value& self, const Args& a) {
    return Point(vm, self, a, DrawCommand::MoveTo);
}
Value LineTo(Vm& vm, const Value& self, const Args& a) {
    return Point(vm, self, a, DrawCommand::LineTo);
}
Value CurveTo(Vm& vm, const Value& self, const Args& a) {
    return Point(vm, self, a, DrawCommand::CurveTo);
}
Value EndFill(Vm& vm, const Value& self, const Args&) {
    DrawCommand cmd;
    cmd.kind = DrawCommand::EndFill;
    return Draw(vm, self, cmd);
}
Value Clear(Vm& vm, const Value& self, const Args&) {
    DrawCommand cmd;
    cmd.kind = DrawCommand::Clear;
    return Draw(vm, self, cmd);
}
Value SetMask(Vm& vm, const Value& self, const Args& a) {
    if (ClipId c = Self(vm, self))
        vm.display()->SetMask(c, ClipArg(vm, a[0]));
    return Value();
}
Value Blocked(Vm& vm, const char* what, const Args& a) {
    vm.Notice(std::string(what) + " blocked: " + vm.ToString(a[0]));
    return Value::Bool(false);
}
Value GetURLMethod(Vm& vm, const Value&, const Args& a) {
    return Blocked(vm, "getURL", a);
}
Value LoadMovie(Vm& vm, const Value&, const Args& a) {
    return Blocked(vm, "loadMovie", a);
}
Value LoadVariables(Vm& vm, const Value&, const Args& a) {
    return Blocked(vm, "loadVariables", a);
}
Value Nothing(Vm&, const Value&, const Args&) {
    return Value();
}
Value False(Vm&, const Value&, const Args&) {
    return Value::Bool(false);
}
Value Zero(Vm&, const Value&, const Args&) {
    return Value::Num(0);
}
Value BytesTotal(Vm&, const Value&, const Args&) {
    return Value::Num(1);
}

// ---- Color ----
ClipId ColorTarget(Vm& vm, const Value& self) {
    if (!self.IsObject() || !vm.display())
        return 0;
    Property* p = self.o->Find("target", false);
    return p ? ClipArg(vm, p->value) : 0;
}
Value ColorCtor(Vm&, const Value& self, const Args& a) {
    if (self.IsObject())
        self.o->Put("target", a[0], false, kDontEnum);
    return self;
}
Value SetRGB(Vm& vm, const Value& self, const Args& a) {
    ClipId c = ColorTarget(vm, self);
    if (!c)
        return Value();
    uint32_t rgb = Rgb(vm, a[0]);
    ColorTransform t = vm.display()->GetColor(c);
    t.ra = t.ga = t.ba = 0;
    t.rb = (rgb >> 16) & 255;
    t.gb = (rgb >> 8) & 255;
    t.bb = rgb & 255;
    vm.display()->SetColor(c, t);
    return Value();
}
Value GetRGB(Vm& vm, const Value& self, const Args&) {
    ClipId c = ColorTarget(vm, self);
    if (!c)
        return Value();
    ColorTransform t = vm.display()->GetColor(c);
    auto part = [](double v) { return uint32_t(std::max(0.0, std::min(v, 255.0))); };
    return Value::Num(double(part(t.rb) << 16 | part(t.gb) << 8 | part(t.bb)));
}
Value SetTransform(Vm& vm, const Value& self, const Args& a) {
    ClipId c = ColorTarget(vm, self);
    if (!c || !a[0].IsObject())
        return Value();
    ColorTransform t = vm.display()->GetColor(c);
    double* fields[] = {&t.ra, &t.rb, &t.ga, &t.gb, &t.ba, &t.bb, &t.aa, &t.ab};
    static const char* const names[] = {"ra", "rb", "ga", "gb", "ba", "bb", "aa", "ab"};
    for (int i = 0; i < 8; i++) {
        if (vm.HasProperty(a[0].o, names[i])) {
            double d = vm.ToNumber(vm.Get(a[0], names[i]));
            if (std::isfinite(d))
                *fields[i] = d;
        }
    }
    vm.display()->SetColor(c, t);
    return Value();
}
Value GetTransform(Vm& vm, const Value& self, const Args&) {
    ClipId c = ColorTarget(vm, self);
    if (!c)
        return Value();
    ColorTransform t = vm.display()->GetColor(c);
    Object* o = vm.NewObject();
    const double fields[] = {t.ra, t.rb, t.ga, t.gb, t.ba, t.bb, t.aa, t.ab};
    static const char* const names[] = {"ra", "rb", "ga", "gb", "ba", "bb", "aa", "ab"};
    for (int i = 0; i < 8; i++)
        vm.Set(Value::Obj(o), names[i], Value::Num(fields[i]));
    return Value::Obj(o);
}

// ---- Stage ----
Value StageWidth(Vm& vm, const Value&, const Args&) {
    double w = 0, h = 0;
    if (vm.display())
        vm.display()->StageSize(w, h);
    return Value::Num(w);
}
Value StageHeight(Vm& vm, const Value&, const Args&) {
    double w = 0, h = 0;
    if (vm.display())
        vm.display()->StageSize(w, h);
    return Value::Num(h);
}

Object* NewClass(Vm& vm, const char* name, NativeFn ctor, Object* proto) {
    Object* c = vm.NewNative(ctor, proto);
    vm.global()->Put(name, Value::Obj(c), false, kDontEnum);
    return c;
}

} // namespace

void InstallDisplay(Vm& vm) {
    Object* clip = vm.NewObject();
    vm.SetProto(Kind::Clip, clip);
    NewClass(vm, "MovieClip", Nothing, clip);
    struct Entry {
        const char* name;
        NativeFn fn;
    };
    static const Entry clipMethods[] = {
        {"play", Play},
        {"stop", Stop},
        {"nextFrame", NextFrame},
        {"prevFrame", PrevFrame},
        {"gotoAndPlay", GotoAndPlay},
        {"gotoAndStop", GotoAndStop},
        {"duplicateMovieClip", DuplicateMovieClip},
        {"attachMovie", AttachMovie},
        {"createEmptyMovieClip", CreateEmptyMovieClip},
        {"createTextField", CreateTextField},
        {"removeMovieClip", RemoveMovieClip},
        {"swapDepths", SwapDepths},
        {"getNextHighestDepth", GetNextHighestDepth},
        {"getDepth", GetDepth},
        {"getInstanceAtDepth", GetInstanceAtDepth},
        {"getBounds", GetBoundsFn},
        {"getRect", GetBoundsFn},
        {"hitTest", HitTest},
        {"localToGlobal", LocalToGlobal},
        {"globalToLocal", GlobalToLocal},
        {"lineStyle", LineStyle},
        {"beginFill", BeginFill},
        {"beginGradientFill", BeginGradientFill},
        {"moveTo", MoveTo},
        {"lineTo", LineTo},
        {"curveTo", CurveTo},
        {"endFill", EndFill},
        {"clear", Clear},
        {"setMask", SetMask},
        {"getURL", GetURLMethod},
        {"loadMovie", LoadMovie},
        {"loadVariables", LoadVariables},
        {"unloadMovie", Nothing},
        {"startDrag", Nothing},
        {"stopDrag", Nothing},
        {"getBytesLoaded", BytesTotal},
        {"getBytesTotal", BytesTotal},
    };
    for (const Entry& e : clipMethods)
        Method(vm, clip, e.name, e.fn);

    // From version 6 a button is an object of its own class.
    Object* button = vm.NewObject();
    NewClass(vm, "Button", Nothing, button);
    Method(vm, button, "getDepth", GetDepth);

    Object* color = vm.NewObject();
    NewClass(vm, "Color", ColorCtor, color);
    static const NativeMethod colorMethods[] = {
        {"setRGB", SetRGB},
        {"getRGB", GetRGB},
        {"setTransform", SetTransform},
        {"getTransform", GetTransform},
    };
    Methods(vm, color, colorMethods);

    Object* stage = vm.NewObject();
    vm.global()->Put("Stage", Value::Obj(stage), false, kDontEnum);
    stage->Put("width", Value(), false, kDontEnum).getter = vm.NewNative(StageWidth);
    stage->Put("height", Value(), false, kDontEnum).getter = vm.NewNative(StageHeight);
    stage->Put("scaleMode", Value::Str("showAll"), false, kDontEnum);
    stage->Put("align", Value::Str(""), false, kDontEnum);
    stage->Put("showMenu", Value::Bool(true), false, kDontEnum); // Flash shows its menu by default
    static const NativeMethod stageMethods[] = {{"addListener", Nothing},
                                                {"removeListener", False}};
    Methods(vm, stage, stageMethods);

    Object* key = vm.NewObject();
    vm.global()->Put("Key", Value::Obj(key), false, kDontEnum);
    static const NativeMethod keyMethods[] = {
        {"isDown", False},  {"isToggled", False},     {"getCode", Zero},
        {"getAscii", Zero}, {"addListener", Nothing}, {"removeListener", False},
    };
    Methods(vm, key, keyMethods);
    static const struct {
        const char* name;
        int code;
    } keys[] = {{"BACKSPACE", 8}, {"TAB", 9},     {"ENTER", 13},    {"SHIFT", 16}, {"CONTROL", 17},
                {"CAPSLOCK", 20}, {"ESCAPE", 27}, {"SPACE", 32},    {"PGUP", 33},  {"PGDN", 34},
                {"END", 35},      {"HOME", 36},   {"LEFT", 37},     {"UP", 38},    {"RIGHT", 39},
                {"DOWN", 40},     {"INSERT", 45}, {"DELETEKEY", 46}};
    for (const auto& k : keys)
        Constant(vm, key, k.name, Value::Num(k.code));

    Object* mouse = vm.NewObject();
    vm.global()->Put("Mouse", Value::Obj(mouse), false, kDontEnum);
    static const NativeMethod mouseMethods[] = {
        {"show", Zero},
        {"hide", Zero},
        {"addListener", Nothing},
        {"removeListener", False},
    };
    Methods(vm, mouse, mouseMethods);
}

} // namespace avm1
