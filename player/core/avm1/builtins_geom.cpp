// flash.geom: Point, Rectangle, Matrix, ColorTransform and Transform (MovieClip.transform).
// The first four keep their figures as plain properties, as Flash 8's do, so scripts may
// read, set and enumerate them; Transform reaches its clip through the display bridge.
#include <cmath>

#include "player/core/avm1/builtins_flash8.h"

namespace avm1 {
namespace {

const double kPi = 3.14159265358979323846;

// ---- Point ----
Value PointCtor(Vm& vm, const Value& self, const Args& a) {
    if (!self.IsObject())
        return Value();
    SetNum(vm, self, "x", a.size() > 0 ? vm.ToNumber(a[0]) : 0);
    SetNum(vm, self, "y", a.size() > 1 ? vm.ToNumber(a[1]) : 0);
    return Value();
}
Value PointLength(Vm& vm, const Value& self, const Args&) {
    return Value::Num(std::hypot(Num(vm, self, "x"), Num(vm, self, "y")));
}
Value PointAdd(Vm& vm, const Value& self, const Args& a) {
    return NewPoint(vm, Num(vm, self, "x") + Num(vm, a[0], "x"),
                    Num(vm, self, "y") + Num(vm, a[0], "y"));
}
Value PointSubtract(Vm& vm, const Value& self, const Args& a) {
    return NewPoint(vm, Num(vm, self, "x") - Num(vm, a[0], "x"),
                    Num(vm, self, "y") - Num(vm, a[0], "y"));
}
Value PointClone(Vm& vm, const Value& self, const Args&) {
    return NewPoint(vm, Num(vm, self, "x"), Num(vm, self, "y"));
}
Value PointEquals(Vm& vm, const Value& self, const Args& a) {
    if (!a[0].IsObject())
        return Value::Bool(false);
    return Value::Bool(Num(vm, self, "x") == Num(vm, a[0], "x") &&
                       Num(vm, self, "y") == Num(vm, a[0], "y"));
}
Value PointNormalize(Vm& vm, const Value& self, const Args& a) {
    const double x = Num(vm, self, "x"), y = Num(vm, self, "y"), len = std::hypot(x, y);
    if (len > 0) {
        const double k = vm.ToNumber(a[0]) / len;
        SetNum(vm, self, "x", x * k);
        SetNum(vm, self, "y", y * k);
    }
    return Value();
}
Value PointOffset(Vm& vm, const Value& self, const Args& a) {
    SetNum(vm, self, "x", Num(vm, self, "x") + vm.ToNumber(a[0]));
    SetNum(vm, self, "y", Num(vm, self, "y") + vm.ToNumber(a[1]));
    return Value();
}
Value PointToString(Vm& vm, const Value& self, const Args&) {
    return Value::Str("(x=" + vm.ToString(vm.Get(self, "x")) +
                      ", y=" + vm.ToString(vm.Get(self, "y")) + ")");
}
Value PointDistance(Vm& vm, const Value&, const Args& a) {
    if (!a[0].IsObject() || !a[1].IsObject())
        return Value();
    return Value::Num(std::hypot(Num(vm, a[0], "x") - Num(vm, a[1], "x"),
                                 Num(vm, a[0], "y") - Num(vm, a[1], "y")));
}
Value PointInterpolate(Vm& vm, const Value&, const Args& a) {
    const double f = vm.ToNumber(a[2]);
    return NewPoint(vm, Num(vm, a[1], "x") + f * (Num(vm, a[0], "x") - Num(vm, a[1], "x")),
                    Num(vm, a[1], "y") + f * (Num(vm, a[0], "y") - Num(vm, a[1], "y")));
}
Value PointPolar(Vm& vm, const Value&, const Args& a) {
    const double len = vm.ToNumber(a[0]), angle = vm.ToNumber(a[1]);
    return NewPoint(vm, len * std::cos(angle), len * std::sin(angle));
}

// ---- Rectangle ----
struct Box {
    double x, y, w, h;
};
Box BoxOf(Vm& vm, const Value& v) {
    return Box{Num(vm, v, "x"), Num(vm, v, "y"), Num(vm, v, "width"), Num(vm, v, "height")};
}
void PutBox(Vm& vm, const Value& v, const Box& b) {
    SetNum(vm, v, "x", b.x);
    SetNum(vm, v, "y", b.y);
    SetNum(vm, v, "width", b.w);
    SetNum(vm, v, "height", b.h);
}
Value RectCtor(Vm& vm, const Value& self, const Args& a) {
    if (!self.IsObject())
        return Value();
    static const char* const names[] = {"x", "y", "width", "height"};
    for (size_t i = 0; i < 4; i++)
        vm.Set(self, names[i], a.size() > i ? a[i] : Value::Num(0));
    return Value();
}
Value RectLeft(Vm& vm, const Value& self, const Args&) {
    return vm.Get(self, "x");
}
Value RectSetLeft(Vm& vm, const Value& self, const Args& a) {
    const Box b = BoxOf(vm, self);
    const double v = vm.ToNumber(a[0]);
    SetNum(vm, self, "width", b.w + b.x - v);
    SetNum(vm, self, "x", v);
    return Value();
}
Value RectTop(Vm& vm, const Value& self, const Args&) {
    return vm.Get(self, "y");
}
Value RectSetTop(Vm& vm, const Value& self, const Args& a) {
    const Box b = BoxOf(vm, self);
    const double v = vm.ToNumber(a[0]);
    SetNum(vm, self, "height", b.h + b.y - v);
    SetNum(vm, self, "y", v);
    return Value();
}
Value RectRight(Vm& vm, const Value& self, const Args&) {
    const Box b = BoxOf(vm, self);
    return Value::Num(b.x + b.w);
}
Value RectSetRight(Vm& vm, const Value& self, const Args& a) {
    SetNum(vm, self, "width", vm.ToNumber(a[0]) - Num(vm, self, "x"));
    return Value();
}
Value RectBottom(Vm& vm, const Value& self, const Args&) {
    const Box b = BoxOf(vm, self);
    return Value::Num(b.y + b.h);
}
Value RectSetBottom(Vm& vm, const Value& self, const Args& a) {
    SetNum(vm, self, "height", vm.ToNumber(a[0]) - Num(vm, self, "y"));
    return Value();
}
Value RectTopLeft(Vm& vm, const Value& self, const Args&) {
    return NewPoint(vm, Num(vm, self, "x"), Num(vm, self, "y"));
}
Value RectSetTopLeft(Vm& vm, const Value& self, const Args& a) {
    const Value x = Value::Num(Num(vm, a[0], "x")), y = Value::Num(Num(vm, a[0], "y"));
    RectSetLeft(vm, self, Args{&x, 1});
    RectSetTop(vm, self, Args{&y, 1});
    return Value();
}
Value RectBottomRight(Vm& vm, const Value& self, const Args&) {
    const Box b = BoxOf(vm, self);
    return NewPoint(vm, b.x + b.w, b.y + b.h);
}
Value RectSize(Vm& vm, const Value& self, const Args&) {
    const Box b = BoxOf(vm, self);
    return NewPoint(vm, b.w, b.h);
}
Value RectSetSize(Vm& vm, const Value& self, const Args& a) {
    SetNum(vm, self, "width", Num(vm, a[0], "x"));
    SetNum(vm, self, "height", Num(vm, a[0], "y"));
    return Value();
}
Value RectClone(Vm& vm, const Value& self, const Args&) {
    const Box b = BoxOf(vm, self);
    return NewRect(vm, b.x, b.y, b.w, b.h);
}
bool BoxEmpty(const Box& b) {
    return !(b.w > 0) || !(b.h > 0);
}
Value RectIsEmpty(Vm& vm, const Value& self, const Args&) {
    return Value::Bool(BoxEmpty(BoxOf(vm, self)));
}
Value RectSetEmpty(Vm& vm, const Value& self, const Args&) {
    PutBox(vm, self, Box{0, 0, 0, 0});
    return Value();
}
bool BoxContains(const Box& b, double x, double y) {
    return x >= b.x && y >= b.y && x < b.x + b.w && y < b.y + b.h;
}
Value RectContains(Vm& vm, const Value& self, const Args& a) {
    return Value::Bool(BoxContains(BoxOf(vm, self), vm.ToNumber(a[0]), vm.ToNumber(a[1])));
}
Value RectContainsPoint(Vm& vm, const Value& self, const Args& a) {
    return Value::Bool(BoxContains(BoxOf(vm, self), Num(vm, a[0], "x"), Num(vm, a[0], "y")));
}
Value RectContainsRect(Vm& vm, const Value& self, const Args& a) {
    const Box b = BoxOf(vm, self), o = BoxOf(vm, a[0]);
    return Value::Bool(o.x >= b.x && o.y >= b.y && o.x + o.w <= b.x + b.w &&
                       o.y + o.h <= b.y + b.h);
}
Value RectEquals(Vm& vm, const Value& self, const Args& a) {
    if (!a[0].IsObject())
        return Value::Bool(false);
    const Box b = BoxOf(vm, self), o = BoxOf(vm, a[0]);
    return Value::Bool(b.x == o.x && b.y == o.y && b.w == o.w && b.h == o.h);
}
Value RectInflate(Vm& vm, const Value& self, const Args& a) {
    Box b = BoxOf(vm, self);
    const double dx = vm.ToNumber(a[0]), dy = vm.ToNumber(a[1]);
    PutBox(vm, self, Box{b.x - dx, b.y - dy, b.w + 2 * dx, b.h + 2 * dy});
    return Value();
}
Value RectInflatePoint(Vm& vm, const Value& self, const Args& a) {
    Box b = BoxOf(vm, self);
    const double dx = Num(vm, a[0], "x"), dy = Num(vm, a[0], "y");
    PutBox(vm, self, Box{b.x - dx, b.y - dy, b.w + 2 * dx, b.h + 2 * dy});
    return Value();
}
Value RectOffset(Vm& vm, const Value& self, const Args& a) {
    SetNum(vm, self, "x", Num(vm, self, "x") + vm.ToNumber(a[0]));
    SetNum(vm, self, "y", Num(vm, self, "y") + vm.ToNumber(a[1]));
    return Value();
}
Value RectOffsetPoint(Vm& vm, const Value& self, const Args& a) {
    SetNum(vm, self, "x", Num(vm, self, "x") + Num(vm, a[0], "x"));
    SetNum(vm, self, "y", Num(vm, self, "y") + Num(vm, a[0], "y"));
    return Value();
}
Value RectIntersection(Vm& vm, const Value& self, const Args& a) {
    const Box b = BoxOf(vm, self), o = BoxOf(vm, a[0]);
    const double x0 = std::max(b.x, o.x), y0 = std::max(b.y, o.y);
    const double x1 = std::min(b.x + b.w, o.x + o.w), y1 = std::min(b.y + b.h, o.y + o.h);
    if (BoxEmpty(b) || BoxEmpty(o) || !(x1 > x0) || !(y1 > y0))
        return NewRect(vm, 0, 0, 0, 0);
    return NewRect(vm, x0, y0, x1 - x0, y1 - y0);
}
Value RectIntersects(Vm& vm, const Value& self, const Args& a) {
    const Box b = BoxOf(vm, self), o = BoxOf(vm, a[0]);
    return Value::Bool(!BoxEmpty(b) && !BoxEmpty(o) &&
                       std::max(b.x, o.x) < std::min(b.x + b.w, o.x + o.w) &&
                       std::max(b.y, o.y) < std::min(b.y + b.h, o.y + o.h));
}
Value RectUnion(Vm& vm, const Value& self, const Args& a) {
    const Box b = BoxOf(vm, self), o = BoxOf(vm, a[0]);
    if (BoxEmpty(b))
        return NewRect(vm, o.x, o.y, o.w, o.h);
    if (BoxEmpty(o))
        return NewRect(vm, b.x, b.y, b.w, b.h);
    const double x0 = std::min(b.x, o.x), y0 = std::min(b.y, o.y);
    return NewRect(vm, x0, y0, std::max(b.x + b.w, o.x + o.w) - x0,
                   std::max(b.y + b.h, o.y + o.h) - y0);
}
Value RectToString(Vm& vm, const Value& self, const Args&) {
    return Value::Str("(x=" + vm.ToString(vm.Get(self, "x")) + ", y=" +
                      vm.ToString(vm.Get(self, "y")) + ", w=" + vm.ToString(vm.Get(self, "width")) +
                      ", h=" + vm.ToString(vm.Get(self, "height")) + ")");
}

// ---- Matrix ----
const char* const kMatrixNames[] = {"a", "b", "c", "d", "tx", "ty"};
Value MatrixCtor(Vm& vm, const Value& self, const Args& a) {
    if (!self.IsObject())
        return Value();
    if (a.size() == 0) {
        PutMatrix(vm, self, swf::Affine());
        return Value();
    }
    for (size_t i = 0; i < 6; i++)
        vm.Set(self, kMatrixNames[i], a[i]);
    return Value();
}
Value MatrixClone(Vm& vm, const Value& self, const Args&) {
    return NewMatrix(vm, MatrixOf(vm, self));
}
Value MatrixIdentity(Vm& vm, const Value& self, const Args&) {
    PutMatrix(vm, self, swf::Affine());
    return Value();
}
Value MatrixConcat(Vm& vm, const Value& self, const Args& a) {
    PutMatrix(vm, self, MatrixOf(vm, a[0]) * MatrixOf(vm, self));
    return Value();
}
Value MatrixInvert(Vm& vm, const Value& self, const Args&) {
    swf::Affine m = MatrixOf(vm, self), inv;
    if (!m.Invert(&inv)) {
        // Flash leaves a singular matrix's figures as their own inverse would be: zero
        // scale, with the translation negated.
        inv = swf::Affine();
        inv.a = inv.d = 0;
        inv.tx = -m.tx;
        inv.ty = -m.ty;
    }
    PutMatrix(vm, self, inv);
    return Value();
}
Value MatrixRotate(Vm& vm, const Value& self, const Args& a) {
    const double r = vm.ToNumber(a[0]);
    swf::Affine rot;
    rot.a = std::cos(r);
    rot.b = std::sin(r);
    rot.c = -rot.b;
    rot.d = rot.a;
    PutMatrix(vm, self, rot * MatrixOf(vm, self));
    return Value();
}
Value MatrixScale(Vm& vm, const Value& self, const Args& a) {
    swf::Affine s;
    s.a = vm.ToNumber(a[0]);
    s.d = vm.ToNumber(a[1]);
    PutMatrix(vm, self, s * MatrixOf(vm, self));
    return Value();
}
Value MatrixTranslate(Vm& vm, const Value& self, const Args& a) {
    swf::Affine m = MatrixOf(vm, self);
    m.tx += vm.ToNumber(a[0]);
    m.ty += vm.ToNumber(a[1]);
    PutMatrix(vm, self, m);
    return Value();
}
swf::Affine BoxMatrix(double sx, double sy, double r, double tx, double ty) {
    swf::Affine m;
    m.a = std::cos(r) * sx;
    m.b = std::sin(r) * sy;
    m.c = -std::sin(r) * sx;
    m.d = std::cos(r) * sy;
    m.tx = tx;
    m.ty = ty;
    return m;
}
Value MatrixCreateBox(Vm& vm, const Value& self, const Args& a) {
    PutMatrix(vm, self,
              BoxMatrix(vm.ToNumber(a[0]), vm.ToNumber(a[1]), a.size() > 2 ? vm.ToNumber(a[2]) : 0,
                        a.size() > 3 ? vm.ToNumber(a[3]) : 0,
                        a.size() > 4 ? vm.ToNumber(a[4]) : 0));
    return Value();
}
Value MatrixCreateGradientBox(Vm& vm, const Value& self, const Args& a) {
    const double w = vm.ToNumber(a[0]), h = vm.ToNumber(a[1]);
    const double r = a.size() > 2 ? vm.ToNumber(a[2]) : 0;
    const double tx = a.size() > 3 ? vm.ToNumber(a[3]) : 0,
                 ty = a.size() > 4 ? vm.ToNumber(a[4]) : 0;
    PutMatrix(vm, self, BoxMatrix(w / 1638.4, h / 1638.4, r, tx + w / 2, ty + h / 2));
    return Value();
}
Value MatrixTransformPoint(Vm& vm, const Value& self, const Args& a) {
    const swf::Point p =
        MatrixOf(vm, self).Apply(swf::Point{Num(vm, a[0], "x"), Num(vm, a[0], "y")});
    return NewPoint(vm, p.x, p.y);
}
Value MatrixDeltaTransformPoint(Vm& vm, const Value& self, const Args& a) {
    swf::Affine m = MatrixOf(vm, self);
    m.tx = m.ty = 0;
    const swf::Point p = m.Apply(swf::Point{Num(vm, a[0], "x"), Num(vm, a[0], "y")});
    return NewPoint(vm, p.x, p.y);
}
Value MatrixToString(Vm& vm, const Value& self, const Args&) {
    std::string s = "(";
    for (int i = 0; i < 6; i++)
        s += std::string(i ? ", " : "") + kMatrixNames[i] + "=" +
             vm.ToString(vm.Get(self, kMatrixNames[i]));
    return Value::Str(s + ")");
}

// ---- ColorTransform ----
const char* const kColorNames[] = {"redMultiplier",   "greenMultiplier", "blueMultiplier",
                                   "alphaMultiplier", "redOffset",       "greenOffset",
                                   "blueOffset",      "alphaOffset"};
Value ColorTransformCtor(Vm& vm, const Value& self, const Args& a) {
    if (!self.IsObject())
        return Value();
    for (size_t i = 0; i < 8; i++)
        SetNum(vm, self, kColorNames[i], a.size() > i ? vm.ToNumber(a[i]) : i < 4 ? 1 : 0);
    return Value();
}
Value ColorRgb(Vm& vm, const Value& self, const Args&) {
    auto part = [&](const char* n) { return uint32_t(ToInt32(Num(vm, self, n))) & 255; };
    return Value::Num(
        double(part("redOffset") << 16 | part("greenOffset") << 8 | part("blueOffset")));
}
Value ColorSetRgb(Vm& vm, const Value& self, const Args& a) {
    const uint32_t rgb = ToUint32(vm.ToNumber(a[0]));
    for (int i = 0; i < 3; i++)
        SetNum(vm, self, kColorNames[i], 0);
    SetNum(vm, self, "redOffset", (rgb >> 16) & 255);
    SetNum(vm, self, "greenOffset", (rgb >> 8) & 255);
    SetNum(vm, self, "blueOffset", rgb & 255);
    return Value();
}
Value ColorConcat(Vm& vm, const Value& self, const Args& a) {
    if (!a[0].IsObject())
        return Value();
    double m[8], o[8];
    for (int i = 0; i < 8; i++) {
        m[i] = Num(vm, self, kColorNames[i]);
        o[i] = Num(vm, a[0], kColorNames[i]);
    }
    for (int i = 0; i < 4; i++) {
        SetNum(vm, self, kColorNames[i + 4], m[i + 4] + m[i] * o[i + 4]);
        SetNum(vm, self, kColorNames[i], m[i] * o[i]);
    }
    return Value();
}
Value ColorTransformToString(Vm& vm, const Value& self, const Args&) {
    std::string s = "(";
    for (int i = 0; i < 8; i++)
        s += std::string(i ? ", " : "") + kColorNames[i] + "=" +
             vm.ToString(vm.Get(self, kColorNames[i]));
    return Value::Str(s + ")");
}

// ---- Transform ----
struct TransformData : TaggedHost<TransformData> {
    ClipId clip = 0;
    size_t Bytes() const override { return sizeof(*this); }
};
ClipId TransformClip(Vm& vm, const Value& self) {
    if (!self.IsObject() || !vm.display())
        return 0;
    auto* t = HostOf<TransformData>(self.o->host);
    return t ? t->clip : 0;
}
Value TransformCtor(Vm& vm, const Value& self, const Args& a) {
    if (!self.IsObject())
        return Value();
    auto t = std::make_shared<TransformData>();
    t->clip = vm.ClipOf(a[0]);
    self.o->host = t;
    return Value();
}
Value TransformMatrix(Vm& vm, const Value& self, const Args&) {
    ClipId c = TransformClip(vm, self);
    swf::Affine m;
    if (!c || !vm.display()->GetMatrix(c, &m))
        return Value();
    return NewMatrix(vm, m);
}
Value TransformSetMatrix(Vm& vm, const Value& self, const Args& a) {
    ClipId c = TransformClip(vm, self);
    if (c && a[0].IsObject())
        vm.display()->SetMatrix(c, MatrixOf(vm, a[0]));
    return Value();
}
Value TransformConcatenatedMatrix(Vm& vm, const Value& self, const Args&) {
    swf::Affine world;
    for (ClipId c = TransformClip(vm, self), n = 0; c && n < 256;
         c = vm.display()->Parent(c), n++) {
        swf::Affine m;
        if (vm.display()->GetMatrix(c, &m))
            world = m * world;
    }
    return NewMatrix(vm, world);
}
Value TransformColor(Vm& vm, const Value& self, const Args&) {
    ClipId c = TransformClip(vm, self);
    if (!c)
        return Value();
    return NewColorTransform(vm, vm.display()->GetColor(c));
}
Value TransformSetColor(Vm& vm, const Value& self, const Args& a) {
    ClipId c = TransformClip(vm, self);
    if (!c || !a[0].IsObject())
        return Value();
    ColorTransform t;
    double* fields[] = {&t.ra, &t.ga, &t.ba, &t.aa, &t.rb, &t.gb, &t.bb, &t.ab};
    for (int i = 0; i < 8; i++)
        *fields[i] = Num(vm, a[0], kColorNames[i]) * (i < 4 ? 100 : 1);
    vm.display()->SetColor(c, t);
    return Value();
}
Value TransformConcatenatedColor(Vm& vm, const Value& self, const Args&) {
    ColorTransform all;
    for (ClipId c = TransformClip(vm, self), n = 0; c && n < 256;
         c = vm.display()->Parent(c), n++) {
        const ColorTransform t = vm.display()->GetColor(c);
        all.rb = t.rb + t.ra / 100 * all.rb;
        all.gb = t.gb + t.ga / 100 * all.gb;
        all.bb = t.bb + t.ba / 100 * all.bb;
        all.ab = t.ab + t.aa / 100 * all.ab;
        all.ra *= t.ra / 100;
        all.ga *= t.ga / 100;
        all.ba *= t.ba / 100;
        all.aa *= t.aa / 100;
    }
    return NewColorTransform(vm, all);
}
Value TransformPixelBounds(Vm& vm, const Value& self, const Args&) {
    ClipId c = TransformClip(vm, self);
    if (!c)
        return Value();
    const Bounds b = vm.display()->GetBounds(c, 0);
    return NewRect(vm, b.xMin, b.yMin, b.xMax - b.xMin, b.yMax - b.yMin);
}

Value ClipScale9(Vm& vm, const Value& self, const Args&) {
    ClipId c = vm.ClipOf(self);
    Bounds b;
    if (!c || !vm.display()->GetScale9(c, &b))
        return Value();
    return NewRect(vm, b.xMin, b.yMin, b.xMax - b.xMin, b.yMax - b.yMin);
}
Value ClipSetScale9(Vm& vm, const Value& self, const Args& a) {
    ClipId c = vm.ClipOf(self);
    if (!c)
        return Value();
    if (!a[0].IsObject()) {
        vm.display()->SetScale9(c, nullptr);
        return Value();
    }
    const Box r = BoxOf(vm, a[0]);
    const Bounds b{r.x, r.y, r.x + r.w, r.y + r.h};
    if (std::isfinite(b.xMin) && std::isfinite(b.yMin) && std::isfinite(b.xMax) &&
        std::isfinite(b.yMax))
        vm.display()->SetScale9(c, &b);
    return Value();
}

Value ClipTransform(Vm& vm, const Value& self, const Args&) {
    if (!vm.ClipOf(self))
        return Value();
    return Construct(vm, "geom", "Transform", &self, 1);
}
Value ClipSetTransform(Vm& vm, const Value& self, const Args& a) {
    ClipId c = vm.ClipOf(self);
    if (!c || !a[0].IsObject())
        return Value();
    // Assigning a Transform copies its matrix and colours.
    Value m = vm.Get(a[0], "matrix"), cx = vm.Get(a[0], "colorTransform");
    if (m.IsObject())
        vm.display()->SetMatrix(c, MatrixOf(vm, m));
    if (cx.IsObject()) {
        Value t = Construct(vm, "geom", "Transform", &self, 1);
        TransformSetColor(vm, t, Args{&cx, 1});
    }
    return Value();
}

} // namespace

double Num(Vm& vm, const Value& o, const char* name) {
    return o.IsObject() ? vm.ToNumber(vm.Get(o, name)) : std::nan("");
}
void SetNum(Vm& vm, const Value& o, const char* name, double v) {
    vm.Set(o, name, Value::Num(v));
}
Value Construct(Vm& vm, const char* package, const char* name, const Value* args, size_t n) {
    Value flash = vm.Get(Value::Obj(vm.global()), "flash");
    Value pkg = flash.IsObject() ? vm.Get(flash, package) : Value();
    Value ctor = pkg.IsObject() ? vm.Get(pkg, name) : Value();
    return vm.Construct(ctor, args, n);
}
Value NewPoint(Vm& vm, double x, double y) {
    const Value args[] = {Value::Num(x), Value::Num(y)};
    return Construct(vm, "geom", "Point", args, 2);
}
Value NewRect(Vm& vm, double x, double y, double w, double h) {
    const Value args[] = {Value::Num(x), Value::Num(y), Value::Num(w), Value::Num(h)};
    return Construct(vm, "geom", "Rectangle", args, 4);
}
swf::Affine MatrixOf(Vm& vm, const Value& v) {
    swf::Affine m;
    if (!v.IsObject())
        return m;
    double* f[] = {&m.a, &m.b, &m.c, &m.d, &m.tx, &m.ty};
    for (int i = 0; i < 6; i++)
        *f[i] = Num(vm, v, kMatrixNames[i]);
    return m;
}
void PutMatrix(Vm& vm, const Value& v, const swf::Affine& m) {
    const double f[] = {m.a, m.b, m.c, m.d, m.tx, m.ty};
    for (int i = 0; i < 6; i++)
        SetNum(vm, v, kMatrixNames[i], f[i]);
}
Value NewMatrix(Vm& vm, const swf::Affine& m) {
    const Value args[] = {Value::Num(m.a), Value::Num(m.b),  Value::Num(m.c),
                          Value::Num(m.d), Value::Num(m.tx), Value::Num(m.ty)};
    return Construct(vm, "geom", "Matrix", args, 6);
}
Value NewColorTransform(Vm& vm, const ColorTransform& t) {
    const Value args[] = {Value::Num(t.ra / 100), Value::Num(t.ga / 100), Value::Num(t.ba / 100),
                          Value::Num(t.aa / 100), Value::Num(t.rb),       Value::Num(t.gb),
                          Value::Num(t.bb),       Value::Num(t.ab)};
    return Construct(vm, "geom", "ColorTransform", args, 8);
}
void Accessor(Vm& vm, Object* o, const char* name, NativeFn get, NativeFn set) {
    Object* g = vm.NewNative(get);
    Object* s = set ? vm.NewNative(set) : nullptr;
    Property& p = o->Put(name, Value(), false, kDontEnum);
    p.getter = g;
    p.setter = s;
}
Object* Package(Vm& vm, const char* name) {
    Value flash = vm.Get(Value::Obj(vm.global()), "flash");
    if (!flash.IsObject()) {
        flash = Value::Obj(vm.NewObject());
        vm.global()->Put("flash", flash, false, kDontEnum);
    }
    Value pkg = vm.Get(flash, name);
    if (!pkg.IsObject()) {
        pkg = Value::Obj(vm.NewObject());
        flash.o->Put(name, pkg, false);
    }
    return pkg.o;
}
Object* Class(Vm& vm, Object* package, const char* name, NativeFn ctor) {
    Object* proto = vm.NewObject();
    Object* c = vm.NewNative(ctor, proto);
    package->Put(name, Value::Obj(c), false);
    return proto;
}

void InstallGeom(Vm& vm) {
    Object* geom = Package(vm, "geom");
    Object* point = Class(vm, geom, "Point", PointCtor);
    Accessor(vm, point, "length", PointLength, nullptr);
    static const NativeMethod pointMethods[] = {
        {"add", PointAdd},           {"subtract", PointSubtract},   {"clone", PointClone},
        {"equals", PointEquals},     {"normalize", PointNormalize}, {"offset", PointOffset},
        {"toString", PointToString},
    };
    Methods(vm, point, pointMethods);
    Object* pointCtor = vm.Get(Value::Obj(geom), "Point").o;
    static const NativeMethod pointCtorMethods[] = {
        {"distance", PointDistance},
        {"interpolate", PointInterpolate},
        {"polar", PointPolar},
    };
    Methods(vm, pointCtor, pointCtorMethods);

    Object* rect = Class(vm, geom, "Rectangle", RectCtor);
    Accessor(vm, rect, "left", RectLeft, RectSetLeft);
    Accessor(vm, rect, "top", RectTop, RectSetTop);
    Accessor(vm, rect, "right", RectRight, RectSetRight);
    Accessor(vm, rect, "bottom", RectBottom, RectSetBottom);
    Accessor(vm, rect, "topLeft", RectTopLeft, RectSetTopLeft);
    Accessor(vm, rect, "bottomRight", RectBottomRight, nullptr);
    Accessor(vm, rect, "size", RectSize, RectSetSize);
    static const struct {
        const char* name;
        NativeFn fn;
    } rectMethods[] = {{"clone", RectClone},
                       {"isEmpty", RectIsEmpty},
                       {"setEmpty", RectSetEmpty},
                       {"contains", RectContains},
                       {"containsPoint", RectContainsPoint},
                       {"containsRectangle", RectContainsRect},
                       {"equals", RectEquals},
                       {"inflate", RectInflate},
                       {"inflatePoint", RectInflatePoint},
                       {"offset", RectOffset},
                       {"offsetPoint", RectOffsetPoint},
                       {"intersection", RectIntersection},
                       {"intersects", RectIntersects},
                       {"union", RectUnion},
                       {"toString", RectToString}};
    for (const auto& m : rectMethods)
        Method(vm, rect, m.name, m.fn);

    Object* matrix = Class(vm, geom, "Matrix", MatrixCtor);
    static const struct {
        const char* name;
        NativeFn fn;
    } matrixMethods[] = {{"clone", MatrixClone},
                         {"identity", MatrixIdentity},
                         {"concat", MatrixConcat},
                         {"invert", MatrixInvert},
                         {"rotate", MatrixRotate},
                         {"scale", MatrixScale},
                         {"translate", MatrixTranslate},
                         {"createBox", MatrixCreateBox},
                         {"createGradientBox", MatrixCreateGradientBox},
                         {"transformPoint", MatrixTransformPoint},
                         {"deltaTransformPoint", MatrixDeltaTransformPoint},
                         {"toString", MatrixToString}};
    for (const auto& m : matrixMethods)
        Method(vm, matrix, m.name, m.fn);

    Object* color = Class(vm, geom, "ColorTransform", ColorTransformCtor);
    Accessor(vm, color, "rgb", ColorRgb, ColorSetRgb);
    static const NativeMethod colorMethods[] = {{"concat", ColorConcat},
                                                {"toString", ColorTransformToString}};
    Methods(vm, color, colorMethods);

    Object* transform = Class(vm, geom, "Transform", TransformCtor);
    Accessor(vm, transform, "matrix", TransformMatrix, TransformSetMatrix);
    Accessor(vm, transform, "concatenatedMatrix", TransformConcatenatedMatrix, nullptr);
    Accessor(vm, transform, "colorTransform", TransformColor, TransformSetColor);
    Accessor(vm, transform, "concatenatedColorTransform", TransformConcatenatedColor, nullptr);
    Accessor(vm, transform, "pixelBounds", TransformPixelBounds, nullptr);

    if (Object* clip = vm.Proto(Kind::Clip))
        Accessor(vm, clip, "transform", ClipTransform, ClipSetTransform);
    if (Object* clip = vm.Proto(Kind::Clip))
        Accessor(vm, clip, "scale9Grid", ClipScale9, ClipSetScale9);
}

} // namespace avm1
