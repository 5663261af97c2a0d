// flash.display.BitmapData and Bitmap: a thin binding over render/bitmap_ops, the pixel
// operations the ActionScript 1/2 runtime binds too. A class bound to one of the movie's
// bitmaps starts with its pixels; a Bitmap shows its BitmapData's pixels as they change.
// Pixels count against the heap's cap before they are made; long operations stop when the
// frame's budget ends.
#include <algorithm>
#include <cmath>

#include "player/core/avm2/display.h"

namespace avm2 {

namespace {

#define NATIVE(name) Value name(Vm& vm, const Value& self, Value* args, int argc)
#define UNUSED (void)vm, (void)self, (void)args, (void)argc

using render::IntRect;
using render::ScriptBitmap;

struct BitmapExtra : TaggedExtra<BitmapExtra> {
    ScriptBitmap bitmap;
};

ScriptBitmap* BitmapOf(const Value& v) {
    if (!v.IsObject() || !v.o->extra)
        return nullptr;
    auto* e = ExtraOf<BitmapExtra>(v.o->extra);
    return e != nullptr && e->bitmap.pixels ? &e->bitmap : nullptr;
}

// Counts the pixels of `b` against the heap, then gives them to `self`.
bool Adopt(Vm& vm, const Value& self, const ScriptBitmap& b) {
    vm.heap().Account(self.o, size_t(b.Width()) * b.Height() * 4);
    if (vm.heap().OverCap()) {
        vm.Abort(RunResult::OutOfMemory);
        return false;
    }
    auto* e = new BitmapExtra;
    e->bitmap = b;
    self.o->extra.reset(e);
    return true;
}

bool Fits(Vm& vm, double w, double h) {
    const double bytes = w * h * 4;
    if (vm.heap().Used() + bytes > vm.limits().memoryBytes) {
        vm.Abort(RunResult::OutOfMemory);
        return false;
    }
    return true;
}

Value Invalid(Vm& vm) {
    return vm.ThrowError("ArgumentError", 2015, "Error #2015: Invalid BitmapData.");
}

int Int(Vm& vm, const Value& v) {
    return ToInt32(vm.ToNumber(v));
}
uint32_t Color(Vm& vm, const Value& v) {
    return uint32_t(ToInt32(vm.ToNumber(v)));
}
double Num(Vm& vm, const Value& o, const char* name) {
    return vm.ToNumber(vm.Get(o, name));
}
IntRect RectArg(Vm& vm, const Value& v) {
    if (!v.IsObject())
        return IntRect();
    return IntRect{ToInt32(Num(vm, v, "x")), ToInt32(Num(vm, v, "y")), ToInt32(Num(vm, v, "width")),
                   ToInt32(Num(vm, v, "height"))};
}
void PointArg(Vm& vm, const Value& v, int* x, int* y) {
    *x = v.IsObject() ? ToInt32(Num(vm, v, "x")) : 0;
    *y = v.IsObject() ? ToInt32(Num(vm, v, "y")) : 0;
}
swf::Affine MatrixArg(Vm& vm, const Value& v) {
    swf::Affine m;
    if (v.IsObject()) {
        m.a = Num(vm, v, "a"), m.b = Num(vm, v, "b"), m.c = Num(vm, v, "c");
        m.d = Num(vm, v, "d"), m.tx = Num(vm, v, "tx"), m.ty = Num(vm, v, "ty");
    }
    return m;
}
const char* const kMix[] = {"redMultiplier", "greenMultiplier", "blueMultiplier", "alphaMultiplier",
                            "redOffset",     "greenOffset",     "blueOffset",     "alphaOffset"};
render::KeepGoing Budget(Vm& vm) {
    return [&vm]() { return vm.Step(); };
}
Value NewRect(Vm& vm, const IntRect& r) {
    Value v[4] = {Value::Num(r.x), Value::Num(r.y), Value::Num(r.w), Value::Num(r.h)};
    return vm.ConstructClass(vm.Builtin("Rectangle"), v, 4);
}
Value Make(Vm& vm, const ScriptBitmap& b) {
    const Value out = Value::Obj(vm.NewInstance(vm.Builtin("BitmapData")));
    Adopt(vm, out, b);
    return out;
}

// A method body runs on a live bitmap; a disposed one throws as Flash's does.
#define BITMAP_SELF                                                                                \
    ScriptBitmap* self_ = BitmapOf(self);                                                          \
    if (self_ == nullptr)                                                                          \
        return Invalid(vm);                                                                        \
    ScriptBitmap& b = *self_;
#define SOURCE(i)                                                                                  \
    const ScriptBitmap* src = BitmapOf(Arg(args, argc, i));                                        \
    if (src == nullptr)                                                                            \
        return vm.ThrowError("TypeError", 2007,                                                    \
                             "Error #2007: Parameter sourceBitmapData must be non-null.");

NATIVE(Ctor) {
    UNUSED;
    ScriptBitmap b;
    // A class bound to one of the movie's bitmaps starts as a copy of it.
    if (vm.timeline() != nullptr && vm.timeline()->LibraryBitmap(self.o->cls, &b)) {
        if (Fits(vm, b.Width(), b.Height()))
            Adopt(vm, self, b);
        return Value();
    }
    const double w = std::trunc(vm.ToNumber(Arg(args, argc, 0)));
    const double h = std::trunc(vm.ToNumber(Arg(args, argc, 1)));
    if (!render::ScriptBitmapSizeAllowed(w, h, render::kFlash10Bitmaps))
        return Invalid(vm);
    const bool transparent = argc > 2 ? ToBoolean(args[2]) : true;
    const uint32_t fill = argc > 3 ? Color(vm, args[3]) : 0xFFFFFFFFu;
    if (Fits(vm, w, h) &&
        render::MakeScriptBitmap(int(w), int(h), transparent, fill, &b, render::kFlash10Bitmaps))
        Adopt(vm, self, b);
    return Value();
}

NATIVE(Width) {
    UNUSED;
    BITMAP_SELF
    return Value::Num(b.Width());
}
NATIVE(Height) {
    UNUSED;
    BITMAP_SELF
    return Value::Num(b.Height());
}
NATIVE(Transparent) {
    UNUSED;
    BITMAP_SELF
    return Value::Bool(b.transparent);
}
NATIVE(Rect) {
    UNUSED;
    BITMAP_SELF
    return NewRect(vm, IntRect{0, 0, b.Width(), b.Height()});
}
bool Inside(const ScriptBitmap& b, int x, int y) {
    return x >= 0 && y >= 0 && x < b.Width() && y < b.Height();
}
NATIVE(GetPixel) {
    UNUSED;
    BITMAP_SELF
    const int x = Int(vm, Arg(args, argc, 0)), y = Int(vm, Arg(args, argc, 1));
    return Value::Num(Inside(b, x, y) ? render::FromStored(b.At(x, y)) & 0xFFFFFF : 0);
}
NATIVE(GetPixel32) {
    UNUSED;
    BITMAP_SELF
    const int x = Int(vm, Arg(args, argc, 0)), y = Int(vm, Arg(args, argc, 1));
    return Value::Num(Inside(b, x, y) ? double(render::FromStored(b.At(x, y))) : 0);
}
NATIVE(SetPixel) {
    UNUSED;
    BITMAP_SELF
    const int x = Int(vm, Arg(args, argc, 0)), y = Int(vm, Arg(args, argc, 1));
    if (Inside(b, x, y)) {
        // The pixel keeps its alpha.
        const uint32_t alpha = render::FromStored(b.At(x, y)) & 0xFF000000u;
        b.At(x, y) =
            render::ToStored(alpha | (Color(vm, Arg(args, argc, 2)) & 0xFFFFFF), b.transparent);
    }
    return Value();
}
NATIVE(SetPixel32) {
    UNUSED;
    BITMAP_SELF
    const int x = Int(vm, Arg(args, argc, 0)), y = Int(vm, Arg(args, argc, 1));
    if (Inside(b, x, y))
        b.At(x, y) = render::ToStored(Color(vm, Arg(args, argc, 2)), b.transparent);
    return Value();
}
NATIVE(FillRect) {
    UNUSED;
    BITMAP_SELF
    render::FillRect(&b, RectArg(vm, Arg(args, argc, 0)), Color(vm, Arg(args, argc, 1)));
    return Value();
}
NATIVE(Clone) {
    UNUSED;
    BITMAP_SELF
    if (!Fits(vm, b.Width(), b.Height()))
        return Value::Null();
    ScriptBitmap copy = b;
    copy.pixels = std::make_shared<swf::Bitmap>(*b.pixels);
    return Make(vm, copy);
}
NATIVE(Dispose) {
    UNUSED;
    if (ScriptBitmap* b = BitmapOf(self)) {
        // What shows the bitmap shows nothing from now on.
        b->pixels->width = b->pixels->height = 0;
        b->pixels->pixels.clear();
        b->pixels->pixels.shrink_to_fit();
        b->pixels.reset();
    }
    return Value();
}
NATIVE(CopyPixels) {
    UNUSED;
    BITMAP_SELF
    SOURCE(0)
    int dx, dy;
    PointArg(vm, Arg(args, argc, 2), &dx, &dy);
    const bool merge = argc > 5 && ToBoolean(args[5]);
    render::CopyPixels(&b, *src, RectArg(vm, Arg(args, argc, 1)), dx, dy, merge);
    return Value();
}
NATIVE(CopyChannel) {
    UNUSED;
    BITMAP_SELF
    SOURCE(0)
    int dx, dy;
    PointArg(vm, Arg(args, argc, 2), &dx, &dy);
    render::CopyChannel(&b, *src, RectArg(vm, Arg(args, argc, 1)), dx, dy,
                        Int(vm, Arg(args, argc, 3)), Int(vm, Arg(args, argc, 4)));
    return Value();
}
NATIVE(ColorTransform) {
    UNUSED;
    BITMAP_SELF
    const Value ct = Arg(args, argc, 1);
    if (!ct.IsObject())
        return Value();
    render::ColorMix mix;
    for (int i = 0; i < 4; i++) {
        mix.mul[i] = Num(vm, ct, kMix[i]);
        mix.add[i] = Num(vm, ct, kMix[i + 4]);
        mix.mul[i] = std::isfinite(mix.mul[i]) ? mix.mul[i] : 0;
        mix.add[i] = std::isfinite(mix.add[i]) ? mix.add[i] : 0;
    }
    render::ColorTransformRect(&b, RectArg(vm, Arg(args, argc, 0)), mix);
    return Value();
}
NATIVE(Noise) {
    UNUSED;
    BITMAP_SELF
    render::Noise(&b, Int(vm, Arg(args, argc, 0)), argc > 1 ? Int(vm, args[1]) & 255 : 0,
                  argc > 2 ? Int(vm, args[2]) & 255 : 255, argc > 3 ? Int(vm, args[3]) : 7,
                  argc > 4 && ToBoolean(args[4]));
    return Value();
}
NATIVE(PerlinNoise) {
    UNUSED;
    BITMAP_SELF
    std::vector<swf::Point> offsets;
    const Value list = Arg(args, argc, 8);
    if (list.IsObject()) {
        const double n = vm.ToNumber(vm.Get(list, "length"));
        for (uint32_t i = 0; i < n && i < 256 && !vm.throwing(); ++i) {
            const Value p = vm.Get(list, std::to_string(i));
            offsets.push_back(p.IsObject() ? swf::Point{Num(vm, p, "x"), Num(vm, p, "y")}
                                           : swf::Point{0, 0});
        }
    }
    const int octaves = std::min(std::max(Int(vm, Arg(args, argc, 2)), 0), 64);
    render::PerlinNoise(&b, vm.ToNumber(Arg(args, argc, 0)), vm.ToNumber(Arg(args, argc, 1)),
                        octaves, Int(vm, Arg(args, argc, 3)), ToBoolean(Arg(args, argc, 4)),
                        ToBoolean(Arg(args, argc, 5)), argc > 6 ? Int(vm, args[6]) : 7,
                        argc > 7 && ToBoolean(args[7]), offsets, Budget(vm));
    return Value();
}
NATIVE(Threshold) {
    UNUSED;
    BITMAP_SELF
    SOURCE(0)
    int dx, dy;
    PointArg(vm, Arg(args, argc, 2), &dx, &dy);
    static const char* const ops[] = {"<", "<=", ">", ">=", "==", "!="};
    // A String parameter: undefined arrives as null.
    if (Arg(args, argc, 3).IsNullish())
        return vm.ThrowError("TypeError", 2007,
                             "Error #2007: Parameter operation must be non-null.");
    const std::string op = vm.ToString(Arg(args, argc, 3));
    int which = -1;
    for (int k = 0; k < 6; ++k)
        which = op == ops[k] ? k : which;
    if (which < 0)
        return vm.ThrowError("ArgumentError", 2005,
                             "Error #2005: Parameter 3 is of the incorrect type. Should be type "
                             "Operation.");
    const int n = render::Threshold(
        &b, *src, RectArg(vm, Arg(args, argc, 1)), dx, dy, render::Compare(which),
        Color(vm, Arg(args, argc, 4)), argc > 5 ? Color(vm, args[5]) : 0,
        argc > 6 ? Color(vm, args[6]) : 0xFFFFFFFFu, argc > 7 && ToBoolean(args[7]), Budget(vm));
    return Value::Num(n);
}
NATIVE(FloodFill) {
    UNUSED;
    BITMAP_SELF
    render::FloodFill(&b, Int(vm, Arg(args, argc, 0)), Int(vm, Arg(args, argc, 1)),
                      Color(vm, Arg(args, argc, 2)), Budget(vm));
    return Value();
}
NATIVE(Scroll) {
    UNUSED;
    BITMAP_SELF
    render::Scroll(&b, Int(vm, Arg(args, argc, 0)), Int(vm, Arg(args, argc, 1)));
    return Value();
}
NATIVE(PixelDissolve) {
    UNUSED;
    BITMAP_SELF
    SOURCE(0)
    int dx, dy;
    PointArg(vm, Arg(args, argc, 2), &dx, &dy);
    return Value::Num(render::PixelDissolve(
        &b, *src, RectArg(vm, Arg(args, argc, 1)), dx, dy, argc > 3 ? Int(vm, args[3]) : 0,
        argc > 4 ? Int(vm, args[4]) : 0, argc > 5 ? Color(vm, args[5]) : 0));
}
NATIVE(ColorBounds) {
    UNUSED;
    BITMAP_SELF
    return NewRect(vm, render::ColorBounds(b, Color(vm, Arg(args, argc, 0)),
                                           Color(vm, Arg(args, argc, 1)),
                                           argc <= 2 || ToBoolean(args[2])));
}
NATIVE(Merge) {
    UNUSED;
    BITMAP_SELF
    SOURCE(0)
    int dx, dy;
    PointArg(vm, Arg(args, argc, 2), &dx, &dy);
    int mult[4];
    for (int i = 0; i < 4; ++i)
        mult[i] = std::min(std::max(Int(vm, Arg(args, argc, 3 + i)), 0), 256);
    render::Merge(&b, *src, RectArg(vm, Arg(args, argc, 1)), dx, dy, mult);
    return Value();
}
NATIVE(Draw) {
    UNUSED;
    BITMAP_SELF
    const Value source = Arg(args, argc, 0);
    const swf::Affine m = MatrixArg(vm, Arg(args, argc, 1));
    swf::ColorTransform cx;
    const Value ct = Arg(args, argc, 2);
    if (ct.IsObject()) {
        int16_t* fields[] = {&cx.mulR, &cx.mulG, &cx.mulB, &cx.mulA,
                             &cx.addR, &cx.addG, &cx.addB, &cx.addA};
        for (int i = 0; i < 8; ++i) {
            const double v = Num(vm, ct, kMix[i]) * (i < 4 ? 256 : 1);
            *fields[i] = int16_t(std::max(-32768.0, std::min(32767.0, std::round(v))));
        }
    }
    IntRect clip{0, 0, b.Width(), b.Height()};
    if (Arg(args, argc, 4).IsObject())
        clip = RectArg(vm, args[4]);
    const bool smooth = argc > 5 && ToBoolean(args[5]);
    if (const ScriptBitmap* src = BitmapOf(source)) {
        render::Transform shift;
        ScriptBitmap copy = *src;
        if (src->pixels == b.pixels)
            copy.pixels = std::make_shared<swf::Bitmap>(*src->pixels);
        const render::Canvas canvas = render::CanvasOver(&b, clip, &shift);
        render::DrawBitmap(*copy.pixels, shift * m, cx, smooth, canvas);
        if (!b.transparent)
            for (uint32_t& p : b.pixels->pixels)
                p |= 0xFF000000u;
        return Value();
    }
    const DisplayData* d = DisplayOf(source);
    if (d == nullptr || !d->isDisplay)
        return vm.ThrowError("TypeError", 2007, "Error #2007: Parameter source must be non-null.");
    TimelineBridge* t = vm.timeline();
    if (t != nullptr)
        WhileRealized(vm, source.o, [&](uint32_t id) { t->DrawOnto(id, &b, m, cx, clip); });
    return Value();
}

// ---- Bitmap ----
void Show(Vm& vm, DisplayData* d) {
    const ScriptBitmap* b = BitmapOf(d->bitmapData);
    if (d->timeline != 0 && vm.timeline() != nullptr && b != nullptr)
        vm.timeline()->ShowBitmap(d->timeline, *b, d->smoothing);
}

NATIVE(BitmapCtor) {
    UNUSED;
    const Value made = DisplayCtor(vm, self, args, argc);
    DisplayData* d = DisplayOf(self);
    if (d == nullptr || vm.throwing())
        return made;
    d->bitmapData = BitmapOf(Arg(args, argc, 0)) ? args[0] : Value::Null();
    d->smoothing = argc > 2 && ToBoolean(args[2]);
    // A Bitmap class bound to one of the movie's bitmaps shows a copy of it.
    ScriptBitmap b;
    if (d->bitmapData.IsNull() && vm.timeline() != nullptr &&
        vm.timeline()->LibraryBitmap(self.o->cls, &b) && Fits(vm, b.Width(), b.Height())) {
        const Value data = Value::Obj(vm.NewInstance(vm.Builtin("BitmapData")));
        if (Adopt(vm, data, b))
            d->bitmapData = data;
    }
    return made;
}
NATIVE(GetBitmapData) {
    UNUSED;
    const DisplayData* d = DisplayOf(self);
    return d != nullptr && !d->bitmapData.IsNullish() ? d->bitmapData : Value::Null();
}
NATIVE(SetBitmapData) {
    UNUSED;
    if (DisplayData* d = DisplayOf(self)) {
        d->bitmapData = BitmapOf(Arg(args, argc, 0)) ? args[0] : Value::Null();
        Show(vm, d);
    }
    return Value();
}
NATIVE(GetSmoothing) {
    UNUSED;
    const DisplayData* d = DisplayOf(self);
    return Value::Bool(d != nullptr && d->smoothing);
}
NATIVE(SetSmoothing) {
    UNUSED;
    if (DisplayData* d = DisplayOf(self)) {
        d->smoothing = ToBoolean(Arg(args, argc, 0));
        Show(vm, d);
    }
    return Value();
}
NATIVE(PixelSnapping) {
    UNUSED;
    return Value::Str("auto");
}

} // namespace

const render::ScriptBitmap* BitmapDataOf(const Value& v) {
    return BitmapOf(v);
}

bool ShownBitmap(Vm& vm, const Value& object, const render::ScriptBitmap** shown, bool* smooth) {
    const DisplayData* d = DisplayOf(object);
    if (d == nullptr || !object.o->cls->IsSubclassOf(vm.Builtin("Bitmap")))
        return false;
    *smooth = d->smoothing;
    *shown = BitmapOf(d->bitmapData);
    return true;
}

void InstallBitmaps(Vm& vm, ClassInfo* display) {
    ClassInfo* data =
        vm.DefineClass("flash.display", "BitmapData", vm.objectClass, Kind::Plain, Ctor);
    static const Native dataNatives[] = {
        Accessor("width", Width),
        Accessor("height", Height),
        Accessor("transparent", Transparent),
        Accessor("rect", Rect),
    };
    vm.AddNatives(data, dataNatives);
    static const struct {
        const char* name;
        NativeFn fn;
    } methods[] = {{"getPixel", GetPixel},
                   {"getPixel32", GetPixel32},
                   {"setPixel", SetPixel},
                   {"setPixel32", SetPixel32},
                   {"fillRect", FillRect},
                   {"clone", Clone},
                   {"dispose", Dispose},
                   {"copyPixels", CopyPixels},
                   {"copyChannel", CopyChannel},
                   {"colorTransform", ColorTransform},
                   {"noise", Noise},
                   {"perlinNoise", PerlinNoise},
                   {"pixelDissolve", PixelDissolve},
                   {"threshold", Threshold},
                   {"floodFill", FloodFill},
                   {"scroll", Scroll},
                   {"getColorBoundsRect", ColorBounds},
                   {"merge", Merge},
                   {"draw", Draw},
                   {"lock", answer::Nothing},
                   {"unlock", answer::Nothing}};
    for (const auto& m : methods)
        vm.AddMethod(data, m.name, m.fn);

    ClassInfo* bitmap =
        vm.DefineClass("flash.display", "Bitmap", display, Kind::Dispatcher, BitmapCtor);
    static const Native bitmapNatives[] = {
        Accessor("bitmapData", GetBitmapData, SetBitmapData),
        Accessor("smoothing", GetSmoothing, SetSmoothing),
        Accessor("pixelSnapping", PixelSnapping, answer::Nothing),
    };
    vm.AddNatives(bitmap, bitmapNatives);
}

} // namespace avm2
