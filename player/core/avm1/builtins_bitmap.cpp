// flash.display.BitmapData and what clips do with one (attachBitmap, beginBitmapFill): a
// thin binding over render/bitmap_ops, which ActionScript 3 shares. Pixels count against
// the heap's cap before they are made; long operations stop when the frame's budget ends.
#include <cmath>

#include "player/core/avm1/builtins_flash8.h"

namespace avm1 {
namespace {

using render::IntRect;
using render::ScriptBitmap;

struct BitmapHost : TaggedHost<BitmapHost> {
    ScriptBitmap bitmap;
    size_t Bytes() const override {
        return sizeof(*this) + (bitmap.pixels ? bitmap.pixels->pixels.capacity() * 4 : 0);
    }
};

BitmapHost* HostOf(const Value& v) {
    return v.IsObject() ? avm1::HostOf<BitmapHost>(v.o->host) : nullptr;
}

// Makes `self` hold a bitmap of the given size, counted against the cap first.
bool Allocate(Vm& vm, const Value& self, int w, int h, bool transparent, uint32_t fill) {
    if (!vm.Reserve(size_t(w) * h * 4 + sizeof(BitmapHost)))
        return false;
    auto host = std::make_shared<BitmapHost>();
    if (!render::MakeScriptBitmap(w, h, transparent, fill, &host->bitmap))
        return false;
    self.o->host = host;
    return true;
}

// A new BitmapData holding `b`, whose pixels the caller reserved before making them.
Value Make(Vm& vm, const ScriptBitmap& b) {
    Value out = Construct(vm, "display", "BitmapData", nullptr, 0);
    if (out.IsObject()) {
        auto host = std::make_shared<BitmapHost>();
        host->bitmap = b;
        out.o->host = host;
    }
    return out;
}

int Int(Vm& vm, const Value& v) {
    return ClampInt(vm.ToNumber(v));
}
uint32_t Color(Vm& vm, const Value& v) {
    return ToUint32(vm.ToNumber(v));
}
IntRect RectArg(Vm& vm, const Value& v) {
    if (!v.IsObject())
        return IntRect();
    return IntRect{ClampInt(Num(vm, v, "x")), ClampInt(Num(vm, v, "y")),
                   ClampInt(Num(vm, v, "width")), ClampInt(Num(vm, v, "height"))};
}
void PointArg(Vm& vm, const Value& v, int* x, int* y) {
    *x = v.IsObject() ? ClampInt(Num(vm, v, "x")) : 0;
    *y = v.IsObject() ? ClampInt(Num(vm, v, "y")) : 0;
}
render::KeepGoing Budget(Vm& vm) {
    return [&vm]() { return vm.WithinBudget(); };
}

// A method body runs on a live bitmap; a disposed or never-made one answers -1, as Flash's.
#define BITMAP_SELF                                                                                \
    ScriptBitmap* self_ = ScriptBitmapOf(self);                                                    \
    if (self_ == nullptr)                                                                          \
        return Value::Num(-1);                                                                     \
    ScriptBitmap& b = *self_;

Value Ctor(Vm& vm, const Value& self, const Args& a) {
    if (!self.IsObject() || a.size() == 0)
        return Value();
    const double w = vm.ToNumber(a[0]), h = vm.ToNumber(a[1]);
    if (!render::ScriptBitmapSizeAllowed(std::trunc(w), std::trunc(h)))
        return Value(); // refused: the object answers as a disposed bitmap
    const bool transparent = a.size() > 2 ? ToBoolean(vm.ToPrimitive(a[2]), vm.version()) : true;
    const uint32_t fill = a.size() > 3 ? Color(vm, a[3]) : 0xFFFFFFFFu;
    Allocate(vm, self, int(w), int(h), transparent, fill);
    return Value();
}

Value Width(Vm&, const Value& self, const Args&) {
    BITMAP_SELF
    return Value::Num(b.Width());
}
Value Height(Vm&, const Value& self, const Args&) {
    BITMAP_SELF
    return Value::Num(b.Height());
}
Value Transparent(Vm&, const Value& self, const Args&) {
    BITMAP_SELF
    return Value::Bool(b.transparent);
}
Value Rectangle(Vm& vm, const Value& self, const Args&) {
    BITMAP_SELF
    return NewRect(vm, 0, 0, b.Width(), b.Height());
}

bool Inside(const ScriptBitmap& b, int x, int y) {
    return x >= 0 && y >= 0 && x < b.Width() && y < b.Height();
}
Value GetPixel(Vm& vm, const Value& self, const Args& a) {
    BITMAP_SELF
    const int x = Int(vm, a[0]), y = Int(vm, a[1]);
    return Value::Num(Inside(b, x, y) ? render::FromStored(b.At(x, y)) & 0xFFFFFF : 0);
}
Value GetPixel32(Vm& vm, const Value& self, const Args& a) {
    BITMAP_SELF
    const int x = Int(vm, a[0]), y = Int(vm, a[1]);
    return Value::Num(Inside(b, x, y) ? int32_t(render::FromStored(b.At(x, y))) : 0);
}
Value SetPixel(Vm& vm, const Value& self, const Args& a) {
    BITMAP_SELF
    const int x = Int(vm, a[0]), y = Int(vm, a[1]);
    if (Inside(b, x, y)) {
        // The pixel keeps its alpha.
        const uint32_t alpha = render::FromStored(b.At(x, y)) & 0xFF000000u;
        b.At(x, y) = render::ToStored(alpha | (Color(vm, a[2]) & 0xFFFFFF), b.transparent);
    }
    return Value();
}
Value SetPixel32(Vm& vm, const Value& self, const Args& a) {
    BITMAP_SELF
    const int x = Int(vm, a[0]), y = Int(vm, a[1]);
    if (Inside(b, x, y))
        b.At(x, y) = render::ToStored(Color(vm, a[2]), b.transparent);
    return Value();
}
Value FillRect(Vm& vm, const Value& self, const Args& a) {
    BITMAP_SELF
    render::FillRect(&b, RectArg(vm, a[0]), Color(vm, a[1]));
    return Value();
}
Value Clone(Vm& vm, const Value& self, const Args&) {
    BITMAP_SELF
    if (!vm.Reserve(size_t(b.Width()) * b.Height() * 4))
        return Value();
    ScriptBitmap copy = b;
    copy.pixels = std::make_shared<swf::Bitmap>(*b.pixels);
    return Make(vm, copy);
}
Value Dispose(Vm&, const Value& self, const Args&) {
    if (BitmapHost* h = HostOf(self)) {
        // What shows the bitmap shows nothing from now on.
        if (h->bitmap.pixels) {
            h->bitmap.pixels->width = h->bitmap.pixels->height = 0;
            h->bitmap.pixels->pixels.clear();
            h->bitmap.pixels->pixels.shrink_to_fit();
        }
        h->bitmap.pixels.reset();
    }
    return Value();
}
Value CopyPixels(Vm& vm, const Value& self, const Args& a) {
    BITMAP_SELF
    const ScriptBitmap* src = ScriptBitmapOf(a[0]);
    if (src == nullptr)
        return Value();
    int dx, dy;
    PointArg(vm, a[2], &dx, &dy);
    const bool merge = a.size() > 5 && ToBoolean(vm.ToPrimitive(a[5]), vm.version());
    render::CopyPixels(&b, *src, RectArg(vm, a[1]), dx, dy, merge);
    return Value();
}
Value CopyChannel(Vm& vm, const Value& self, const Args& a) {
    BITMAP_SELF
    const ScriptBitmap* src = ScriptBitmapOf(a[0]);
    if (src == nullptr)
        return Value();
    int dx, dy;
    PointArg(vm, a[2], &dx, &dy);
    render::CopyChannel(&b, *src, RectArg(vm, a[1]), dx, dy, Int(vm, a[3]), Int(vm, a[4]));
    return Value();
}
Value ColorTransformFn(Vm& vm, const Value& self, const Args& a) {
    BITMAP_SELF
    if (!a[1].IsObject())
        return Value();
    render::ColorMix mix;
    static const char* const names[] = {"redMultiplier",   "greenMultiplier", "blueMultiplier",
                                        "alphaMultiplier", "redOffset",       "greenOffset",
                                        "blueOffset",      "alphaOffset"};
    for (int i = 0; i < 4; i++) {
        mix.mul[i] = Num(vm, a[1], names[i]);
        mix.add[i] = Num(vm, a[1], names[i + 4]);
        if (!std::isfinite(mix.mul[i]))
            mix.mul[i] = 0;
        if (!std::isfinite(mix.add[i]))
            mix.add[i] = 0;
    }
    render::ColorTransformRect(&b, RectArg(vm, a[0]), mix);
    return Value();
}
Value Noise(Vm& vm, const Value& self, const Args& a) {
    BITMAP_SELF
    render::Noise(&b, ToInt32(vm.ToNumber(a[0])), a.size() > 1 ? Int(vm, a[1]) : 0,
                  a.size() > 2 ? Int(vm, a[2]) : 255, a.size() > 3 ? Int(vm, a[3]) : 7,
                  a.size() > 4 && ToBoolean(vm.ToPrimitive(a[4]), vm.version()));
    return Value();
}
Value PerlinNoise(Vm& vm, const Value& self, const Args& a) {
    BITMAP_SELF
    auto flag = [&](size_t i) {
        return a.size() > i && ToBoolean(vm.ToPrimitive(a[i]), vm.version());
    };
    const int octaves = std::max(0, std::min(Int(vm, a[2]), 32));
    std::vector<swf::Point> offsets;
    if (a.size() > 8 && a[8].IsObject() && a[8].o->kind == Kind::Array)
        for (size_t i = 0; i < a[8].o->elements.size() && i < size_t(octaves); i++) {
            const Value& p = a[8].o->elements[i];
            offsets.push_back(swf::Point{Num(vm, p, "x"), Num(vm, p, "y")});
        }
    double baseX = vm.ToNumber(a[0]), baseY = vm.ToNumber(a[1]);
    baseX = std::isfinite(baseX) ? baseX : 0;
    baseY = std::isfinite(baseY) ? baseY : 0;
    render::PerlinNoise(&b, baseX, baseY, octaves, ToInt32(vm.ToNumber(a[3])), flag(4), flag(5),
                        a.size() > 6 ? Int(vm, a[6]) : 7, flag(7), offsets, Budget(vm));
    return Value();
}
Value PixelDissolve(Vm& vm, const Value& self, const Args& a) {
    BITMAP_SELF
    const ScriptBitmap* src = ScriptBitmapOf(a[0]);
    if (src == nullptr)
        return Value::Num(0);
    int dx, dy;
    PointArg(vm, a[2], &dx, &dy);
    return Value::Num(render::PixelDissolve(&b, *src, RectArg(vm, a[1]), dx, dy,
                                            ToInt32(vm.ToNumber(a[3])), Int(vm, a[4]),
                                            Color(vm, a[5])));
}
Value Threshold(Vm& vm, const Value& self, const Args& a) {
    BITMAP_SELF
    const ScriptBitmap* src = ScriptBitmapOf(a[0]);
    if (src == nullptr)
        return Value::Num(0);
    int dx, dy;
    PointArg(vm, a[2], &dx, &dy);
    const std::string op = vm.ToString(a[3]);
    render::Compare test;
    if (op == "<")
        test = render::Compare::Less;
    else if (op == "<=")
        test = render::Compare::LessEqual;
    else if (op == ">")
        test = render::Compare::Greater;
    else if (op == ">=")
        test = render::Compare::GreaterEqual;
    else if (op == "==")
        test = render::Compare::Equal;
    else if (op == "!=")
        test = render::Compare::NotEqual;
    else
        return Value::Num(0);
    return Value::Num(render::Threshold(
        &b, *src, RectArg(vm, a[1]), dx, dy, test, Color(vm, a[4]), Color(vm, a[5]),
        a.size() > 6 ? Color(vm, a[6]) : 0xFFFFFFFFu,
        a.size() > 7 && ToBoolean(vm.ToPrimitive(a[7]), vm.version()), Budget(vm)));
}
Value FloodFill(Vm& vm, const Value& self, const Args& a) {
    BITMAP_SELF
    render::FloodFill(&b, Int(vm, a[0]), Int(vm, a[1]), Color(vm, a[2]), Budget(vm));
    return Value();
}
Value Scroll(Vm& vm, const Value& self, const Args& a) {
    BITMAP_SELF
    render::Scroll(&b, Int(vm, a[0]), Int(vm, a[1]));
    return Value();
}
Value GetColorBoundsRect(Vm& vm, const Value& self, const Args& a) {
    BITMAP_SELF
    const bool find = a.size() < 3 || ToBoolean(vm.ToPrimitive(a[2]), vm.version());
    const IntRect r = render::ColorBounds(b, Color(vm, a[0]), Color(vm, a[1]), find);
    return NewRect(vm, r.x, r.y, r.w, r.h);
}
Value CompareFn(Vm& vm, const Value& self, const Args& a) {
    BITMAP_SELF
    const ScriptBitmap* other = ScriptBitmapOf(a[0]);
    if (other == nullptr)
        return Value::Num(a[0].IsObject() && HostOf(a[0]) ? -2 : -1);
    if (other == &b)
        return Value::Num(0);
    if (other->Width() == b.Width() && other->Height() == b.Height() &&
        !vm.Reserve(size_t(b.Width()) * b.Height() * 4))
        return Value();
    ScriptBitmap diff;
    const int r = render::CompareBitmaps(b, *other, &diff);
    return r == 1 ? Make(vm, diff) : Value::Num(r);
}
Value Merge(Vm& vm, const Value& self, const Args& a) {
    BITMAP_SELF
    const ScriptBitmap* src = ScriptBitmapOf(a[0]);
    if (src == nullptr)
        return Value();
    int dx, dy;
    PointArg(vm, a[2], &dx, &dy);
    const int mult[4] = {Int(vm, a[3]), Int(vm, a[4]), Int(vm, a[5]), Int(vm, a[6])};
    render::Merge(&b, *src, RectArg(vm, a[1]), dx, dy, mult);
    return Value();
}
Value PaletteMap(Vm& vm, const Value& self, const Args& a) {
    BITMAP_SELF
    const ScriptBitmap* src = ScriptBitmapOf(a[0]);
    if (src == nullptr)
        return Value();
    int dx, dy;
    PointArg(vm, a[2], &dx, &dy);
    std::vector<uint32_t> tables[4];
    const uint32_t* use[4] = {};
    for (int k = 0; k < 4; k++) {
        const Value& t = a[3 + k];
        if (!t.IsObject() || t.o->kind != Kind::Array)
            continue;
        tables[k].assign(256, 0);
        for (size_t i = 0; i < 256 && i < t.o->elements.size(); i++)
            tables[k][i] = Color(vm, t.o->elements[i]);
        use[k] = tables[k].data();
    }
    render::PaletteMap(&b, *src, RectArg(vm, a[1]), dx, dy, use);
    return Value();
}
Value HitTest(Vm& vm, const Value& self, const Args& a) {
    BITMAP_SELF
    int fx, fy;
    PointArg(vm, a[0], &fx, &fy);
    const int alpha = Int(vm, a[1]);
    const Value& second = a[2];
    if (const ScriptBitmap* other = ScriptBitmapOf(second)) {
        int sx, sy;
        PointArg(vm, a[3], &sx, &sy);
        return Value::Bool(
            render::HitBitmap(b, fx, fy, alpha, *other, sx, sy, a.size() > 4 ? Int(vm, a[4]) : 1));
    }
    if (!second.IsObject())
        return Value::Bool(false);
    if (vm.HasProperty(second.o, "width")) {
        return Value::Bool(render::HitRect(b, fx, fy, alpha, RectArg(vm, second)));
    }
    int px, py;
    PointArg(vm, second, &px, &py);
    return Value::Bool(render::HitRect(b, fx, fy, alpha, IntRect{px, py, 1, 1}));
}
Value ApplyFilterFn(Vm& vm, const Value& self, const Args& a) {
    BITMAP_SELF
    const ScriptBitmap* src = ScriptBitmapOf(a[0]);
    swf::Filter f;
    if (src == nullptr || !FilterOf(a[3], &f))
        return Value::Num(-1);
    int dx, dy;
    PointArg(vm, a[2], &dx, &dy);
    // The source may be this bitmap: filter a copy.
    ScriptBitmap copy = *src;
    copy.pixels = std::make_shared<swf::Bitmap>(*src->pixels);
    render::ApplyFilter(&b, copy, RectArg(vm, a[1]), dx, dy, f);
    return Value::Num(0);
}
Value GenerateFilterRect(Vm& vm, const Value& self, const Args& a) {
    if (ScriptBitmapOf(self) == nullptr)
        return Value::Num(-1);
    const IntRect r = RectArg(vm, a[0]);
    swf::Filter f;
    if (!FilterOf(a[1], &f))
        return NewRect(vm, r.x, r.y, r.w, r.h);
    const double bx = f.kind == swf::FilterKind::ColorMatrix ? 0 : f.blurX,
                 by = f.kind == swf::FilterKind::ColorMatrix ? 0 : f.blurY;
    const int grow = std::max(1, f.passes);
    const int ex = int(std::ceil(bx / 2)) * grow, ey = int(std::ceil(by / 2)) * grow;
    return NewRect(vm, r.x - ex, r.y - ey, r.w + 2 * ex, r.h + 2 * ey);
}
Value Draw(Vm& vm, const Value& self, const Args& a) {
    BITMAP_SELF
    const swf::Affine m = a[1].IsObject() ? MatrixOf(vm, a[1]) : swf::Affine();
    swf::ColorTransform cx;
    if (a[2].IsObject()) {
        auto mul = [&](const char* n) {
            return int16_t(
                std::max(-32768.0, std::min(32767.0, std::round(Num(vm, a[2], n) * 256))));
        };
        auto add = [&](const char* n) {
            return int16_t(std::max(-32768.0, std::min(32767.0, std::round(Num(vm, a[2], n)))));
        };
        cx.mulR = mul("redMultiplier");
        cx.mulG = mul("greenMultiplier");
        cx.mulB = mul("blueMultiplier");
        cx.mulA = mul("alphaMultiplier");
        cx.addR = add("redOffset");
        cx.addG = add("greenOffset");
        cx.addB = add("blueOffset");
        cx.addA = add("alphaOffset");
    }
    IntRect clip{0, 0, b.Width(), b.Height()};
    if (a[4].IsObject())
        clip = RectArg(vm, a[4]);
    const bool smooth = a.size() > 5 && ToBoolean(vm.ToPrimitive(a[5]), vm.version());
    if (const ScriptBitmap* src = ScriptBitmapOf(a[0])) {
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
    if (ClipId c = vm.ClipOf(a[0]))
        vm.display()->DrawOnto(c, &b, m, cx, clip, smooth);
    return Value();
}

Value LoadBitmap(Vm& vm, const Value&, const Args& a) {
    render::ScriptBitmap b;
    // The bridge copies only what Flash 8 allows (2880 a side), then the copy is counted.
    if (!vm.display() || !vm.display()->LoadBitmap(vm.ToString(a[0]), &b))
        return Value();
    if (!vm.Reserve(size_t(b.Width()) * b.Height() * 4))
        return Value();
    return Make(vm, b);
}

// ---- MovieClip ----
Value AttachBitmap(Vm& vm, const Value& self, const Args& a) {
    ClipId c = vm.ClipOf(self);
    const ScriptBitmap* b = ScriptBitmapOf(a[0]);
    if (!c || b == nullptr)
        return Value();
    const bool smooth = a.size() > 3 && ToBoolean(vm.ToPrimitive(a[3]), vm.version());
    vm.display()->AttachBitmap(c, *b, Int(vm, a[1]), smooth);
    return Value();
}
Value BeginBitmapFill(Vm& vm, const Value& self, const Args& a) {
    ClipId c = vm.ClipOf(self);
    const ScriptBitmap* b = ScriptBitmapOf(a[0]);
    if (!c || b == nullptr)
        return Value();
    DrawCommand op;
    op.kind = DrawCommand::BeginBitmapFill;
    op.bitmap = b->pixels;
    const swf::Affine m = a[1].IsObject() ? MatrixOf(vm, a[1]) : swf::Affine();
    const double f[] = {m.a, m.b, m.c, m.d, m.tx, m.ty};
    for (int i = 0; i < 6; i++)
        op.matrix[i] = std::isfinite(f[i]) ? f[i] : 0;
    op.repeat = a.size() < 3 || ToBoolean(vm.ToPrimitive(a[2]), vm.version());
    op.smooth = a.size() > 3 && ToBoolean(vm.ToPrimitive(a[3]), vm.version());
    vm.display()->Draw(c, op);
    return Value();
}

} // namespace

ScriptBitmap* ScriptBitmapOf(const Value& v) {
    BitmapHost* h = HostOf(v);
    return h != nullptr && h->bitmap.pixels ? &h->bitmap : nullptr;
}

void InstallBitmap(Vm& vm) {
    Object* pkg = Package(vm, "display");
    Object* proto = Class(vm, pkg, "BitmapData", Ctor);
    Accessor(vm, proto, "width", Width, nullptr);
    Accessor(vm, proto, "height", Height, nullptr);
    Accessor(vm, proto, "transparent", Transparent, nullptr);
    Accessor(vm, proto, "rectangle", Rectangle, nullptr);
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
                   {"colorTransform", ColorTransformFn},
                   {"noise", Noise},
                   {"perlinNoise", PerlinNoise},
                   {"pixelDissolve", PixelDissolve},
                   {"threshold", Threshold},
                   {"floodFill", FloodFill},
                   {"scroll", Scroll},
                   {"getColorBoundsRect", GetColorBoundsRect},
                   {"compare", CompareFn},
                   {"merge", Merge},
                   {"paletteMap", PaletteMap},
                   {"hitTest", HitTest},
                   {"applyFilter", ApplyFilterFn},
                   {"generateFilterRect", GenerateFilterRect},
                   {"draw", Draw}};
    for (const auto& m : methods)
        Method(vm, proto, m.name, m.fn);
    Method(vm, vm.Get(Value::Obj(pkg), "BitmapData").o, "loadBitmap", LoadBitmap);
    if (Object* clip = vm.Proto(Kind::Clip)) {
        static const NativeMethod clipMethods[] = {{"attachBitmap", AttachBitmap},
                                                   {"beginBitmapFill", BeginBitmapFill}};
        Methods(vm, clip, clipMethods);
    }
}

} // namespace avm1
