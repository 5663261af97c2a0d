// flash.geom: Point, Rectangle, Matrix and ColorTransform, their fields typed Numbers kept
// natively, with the edge rules Flash Player follows (an empty rectangle neither meets nor
// holds another; interpolate weighs the first point by f).
#include <algorithm>
#include <cmath>

#include "player/core/avm2/display.h"

namespace avm2 {

namespace {

#define NATIVE(name) Value name(Vm& vm, const Value& self, Value* args, int argc)
#define UNUSED (void)vm, (void)self, (void)args, (void)argc

struct Fields : Extra {
    double v[8] = {0, 0, 0, 0, 0, 0, 0, 0};
};

Fields* F(const Value& v) {
    if (!v.IsObject() || v.o->kind != Kind::Geom)
        return nullptr;
    if (!v.o->extra)
        v.o->extra.reset(new Fields);
    return static_cast<Fields*>(v.o->extra.get());
}
double Get(Vm& vm, const Value& v, int i, const char* name) {
    if (Fields* f = F(v))
        return f->v[i];
    return vm.ToNumber(vm.Get(v, name));
}
double Num(Vm& vm, Value* args, int argc, int i, double fallback) {
    return i < argc ? vm.ToNumber(args[i]) : fallback;
}

template <int I> NATIVE(GetField) {
    UNUSED;
    Fields* f = F(self);
    return Value::Num(f ? f->v[I] : 0);
}
template <int I> NATIVE(SetField) {
    UNUSED;
    if (Fields* f = F(self))
        f->v[I] = vm.ToNumber(Arg(args, argc, 0));
    return Value();
}
const NativeFn kGet[8] = {GetField<0>, GetField<1>, GetField<2>, GetField<3>,
                          GetField<4>, GetField<5>, GetField<6>, GetField<7>};
const NativeFn kSet[8] = {SetField<0>, SetField<1>, SetField<2>, SetField<3>,
                          SetField<4>, SetField<5>, SetField<6>, SetField<7>};

ClassInfo* GeomClass(Vm& vm, const char* name, NativeFn ctor,
                     std::initializer_list<const char*> fields) {
    ClassInfo* c = vm.DefineClass("flash.geom", name, vm.objectClass, Kind::Geom, ctor);
    int i = 0;
    for (const char* f : fields) {
        vm.AddGetter(c, f, kGet[i], kSet[i]);
        ++i;
    }
    return c;
}

Value Make(Vm& vm, const char* cls, std::initializer_list<double> values) {
    std::vector<Value> a;
    for (double v : values)
        a.push_back(Value::Num(v));
    return vm.ConstructClass(vm.Builtin(cls), a.data(), int(a.size()));
}
Value NewPoint(Vm& vm, double x, double y) {
    return Make(vm, "Point", {x, y});
}

// ---- Point: x, y ----
NATIVE(PointCtor) {
    UNUSED;
    Fields* f = F(self);
    f->v[0] = Num(vm, args, argc, 0, 0);
    f->v[1] = Num(vm, args, argc, 1, 0);
    return Value();
}
double PX(Vm& vm, const Value& p) {
    return Get(vm, p, 0, "x");
}
double PY(Vm& vm, const Value& p) {
    return Get(vm, p, 1, "y");
}
NATIVE(PointToString) {
    UNUSED;
    return Value::Str("(x=" + vm.ToString(Value::Num(PX(vm, self))) +
                      ", y=" + vm.ToString(Value::Num(PY(vm, self))) + ")");
}
NATIVE(PointLength) {
    UNUSED;
    return Value::Num(std::hypot(PX(vm, self), PY(vm, self)));
}
NATIVE(PointAdd) {
    UNUSED;
    const Value o = Arg(args, argc, 0);
    return NewPoint(vm, PX(vm, self) + PX(vm, o), PY(vm, self) + PY(vm, o));
}
NATIVE(PointSubtract) {
    UNUSED;
    const Value o = Arg(args, argc, 0);
    return NewPoint(vm, PX(vm, self) - PX(vm, o), PY(vm, self) - PY(vm, o));
}
NATIVE(PointClone) {
    UNUSED;
    return NewPoint(vm, PX(vm, self), PY(vm, self));
}
NATIVE(PointEquals) {
    UNUSED;
    const Value o = Arg(args, argc, 0);
    return Value::Bool(PX(vm, self) == PX(vm, o) && PY(vm, self) == PY(vm, o));
}
NATIVE(PointNormalize) {
    UNUSED;
    Fields* f = F(self);
    const double len = std::hypot(f->v[0], f->v[1]);
    if (len > 0) {
        const double k = Num(vm, args, argc, 0, 0) / len;
        f->v[0] *= k;
        f->v[1] *= k;
    }
    return Value();
}
NATIVE(PointOffset) {
    UNUSED;
    Fields* f = F(self);
    f->v[0] += Num(vm, args, argc, 0, 0);
    f->v[1] += Num(vm, args, argc, 1, 0);
    return Value();
}
NATIVE(PointSetTo) {
    UNUSED;
    Fields* f = F(self);
    f->v[0] = Num(vm, args, argc, 0, 0);
    f->v[1] = Num(vm, args, argc, 1, 0);
    return Value();
}
NATIVE(PointCopyFrom) {
    UNUSED;
    const Value o = Arg(args, argc, 0);
    Fields* f = F(self);
    f->v[0] = PX(vm, o);
    f->v[1] = PY(vm, o);
    return Value();
}
NATIVE(PointDistance) {
    UNUSED;
    const Value a = Arg(args, argc, 0), b = Arg(args, argc, 1);
    return Value::Num(std::hypot(PX(vm, a) - PX(vm, b), PY(vm, a) - PY(vm, b)));
}
NATIVE(PointInterpolate) {
    UNUSED;
    const Value a = Arg(args, argc, 0), b = Arg(args, argc, 1);
    const double f = Num(vm, args, argc, 2, 0);
    return NewPoint(vm, PX(vm, b) + f * (PX(vm, a) - PX(vm, b)),
                    PY(vm, b) + f * (PY(vm, a) - PY(vm, b)));
}
NATIVE(PointPolar) {
    UNUSED;
    const double len = Num(vm, args, argc, 0, 0), angle = Num(vm, args, argc, 1, 0);
    return NewPoint(vm, len * std::cos(angle), len * std::sin(angle));
}

// ---- Rectangle: x, y, width, height ----
struct R {
    double x, y, w, h;
    bool Empty() const { return w <= 0 || h <= 0; } // NaN sides are not empty
};
R RectOf(Vm& vm, const Value& v) {
    return R{Get(vm, v, 0, "x"), Get(vm, v, 1, "y"), Get(vm, v, 2, "width"),
             Get(vm, v, 3, "height")};
}
Value NewRect(Vm& vm, const R& r) {
    return Make(vm, "Rectangle", {r.x, r.y, r.w, r.h});
}
NATIVE(RectCtor) {
    UNUSED;
    Fields* f = F(self);
    for (int i = 0; i < 4; ++i)
        f->v[i] = Num(vm, args, argc, i, 0);
    return Value();
}
NATIVE(RectToString) {
    UNUSED;
    const R r = RectOf(vm, self);
    auto s = [&](double v) { return vm.ToString(Value::Num(v)); };
    return Value::Str("(x=" + s(r.x) + ", y=" + s(r.y) + ", w=" + s(r.w) + ", h=" + s(r.h) + ")");
}
NATIVE(RectLeft) {
    UNUSED;
    return Value::Num(F(self)->v[0]);
}
NATIVE(RectSetLeft) {
    UNUSED;
    Fields* f = F(self);
    const double v = Num(vm, args, argc, 0, 0);
    f->v[2] += f->v[0] - v;
    f->v[0] = v;
    return Value();
}
NATIVE(RectTop) {
    UNUSED;
    return Value::Num(F(self)->v[1]);
}
NATIVE(RectSetTop) {
    UNUSED;
    Fields* f = F(self);
    const double v = Num(vm, args, argc, 0, 0);
    f->v[3] += f->v[1] - v;
    f->v[1] = v;
    return Value();
}
NATIVE(RectRight) {
    UNUSED;
    return Value::Num(F(self)->v[0] + F(self)->v[2]);
}
NATIVE(RectSetRight) {
    UNUSED;
    F(self)->v[2] = Num(vm, args, argc, 0, 0) - F(self)->v[0];
    return Value();
}
NATIVE(RectBottom) {
    UNUSED;
    return Value::Num(F(self)->v[1] + F(self)->v[3]);
}
NATIVE(RectSetBottom) {
    UNUSED;
    F(self)->v[3] = Num(vm, args, argc, 0, 0) - F(self)->v[1];
    return Value();
}
NATIVE(RectTopLeft) {
    UNUSED;
    return NewPoint(vm, F(self)->v[0], F(self)->v[1]);
}
NATIVE(RectSetTopLeft) {
    UNUSED;
    const Value p = Arg(args, argc, 0);
    Fields* f = F(self);
    const double x = PX(vm, p), y = PY(vm, p);
    f->v[2] += f->v[0] - x;
    f->v[3] += f->v[1] - y;
    f->v[0] = x;
    f->v[1] = y;
    return Value();
}
NATIVE(RectBottomRight) {
    UNUSED;
    Fields* f = F(self);
    return NewPoint(vm, f->v[0] + f->v[2], f->v[1] + f->v[3]);
}
NATIVE(RectSetBottomRight) {
    UNUSED;
    const Value p = Arg(args, argc, 0);
    Fields* f = F(self);
    f->v[2] = PX(vm, p) - f->v[0];
    f->v[3] = PY(vm, p) - f->v[1];
    return Value();
}
NATIVE(RectSize) {
    UNUSED;
    return NewPoint(vm, F(self)->v[2], F(self)->v[3]);
}
NATIVE(RectSetSize) {
    UNUSED;
    const Value p = Arg(args, argc, 0);
    F(self)->v[2] = PX(vm, p);
    F(self)->v[3] = PY(vm, p);
    return Value();
}
NATIVE(RectClone) {
    UNUSED;
    return NewRect(vm, RectOf(vm, self));
}
NATIVE(RectIsEmpty) {
    UNUSED;
    return Value::Bool(RectOf(vm, self).Empty());
}
NATIVE(RectSetEmpty) {
    UNUSED;
    for (int i = 0; i < 4; ++i)
        F(self)->v[i] = 0;
    return Value();
}
bool Holds(const R& r, double x, double y) {
    return x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h;
}
NATIVE(RectContains) {
    UNUSED;
    return Value::Bool(
        Holds(RectOf(vm, self), Num(vm, args, argc, 0, 0), Num(vm, args, argc, 1, 0)));
}
NATIVE(RectContainsPoint) {
    UNUSED;
    const Value p = Arg(args, argc, 0);
    return Value::Bool(Holds(RectOf(vm, self), PX(vm, p), PY(vm, p)));
}
NATIVE(RectContainsRect) {
    UNUSED;
    const R a = RectOf(vm, self), b = RectOf(vm, Arg(args, argc, 0));
    if (b.Empty())
        return Value::Bool(false);
    const double ar = a.x + a.w, ab = a.y + a.h, br = b.x + b.w, bb = b.y + b.h;
    return Value::Bool(b.x >= a.x && b.y >= a.y && br <= ar && bb <= ab);
}
NATIVE(RectEquals) {
    UNUSED;
    const R a = RectOf(vm, self), b = RectOf(vm, Arg(args, argc, 0));
    return Value::Bool(a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h);
}
NATIVE(RectInflate) {
    UNUSED;
    Fields* f = F(self);
    const double dx = Num(vm, args, argc, 0, 0), dy = Num(vm, args, argc, 1, 0);
    f->v[0] -= dx, f->v[2] += 2 * dx, f->v[1] -= dy, f->v[3] += 2 * dy;
    return Value();
}
NATIVE(RectInflatePoint) {
    UNUSED;
    const Value p = Arg(args, argc, 0);
    Value a[2] = {Value::Num(PX(vm, p)), Value::Num(PY(vm, p))};
    return RectInflate(vm, self, a, 2);
}
NATIVE(RectOffset) {
    UNUSED;
    F(self)->v[0] += Num(vm, args, argc, 0, 0);
    F(self)->v[1] += Num(vm, args, argc, 1, 0);
    return Value();
}
NATIVE(RectOffsetPoint) {
    UNUSED;
    const Value p = Arg(args, argc, 0);
    F(self)->v[0] += PX(vm, p);
    F(self)->v[1] += PY(vm, p);
    return Value();
}
// As Math.min and Math.max: NaN wins.
double Min(double a, double b) {
    return std::isnan(a) || std::isnan(b) ? NAN : std::fmin(a, b);
}
double Max(double a, double b) {
    return std::isnan(a) || std::isnan(b) ? NAN : std::fmax(a, b);
}
bool Overlap(const R& a, const R& b, R* out) {
    if (a.Empty() || b.Empty())
        return false;
    const double x = Max(a.x, b.x), y = Max(a.y, b.y);
    const double r = Min(a.x + a.w, b.x + b.w), bo = Min(a.y + a.h, b.y + b.h);
    if (!(r > x) || !(bo > y))
        return false;
    *out = R{x, y, r - x, bo - y};
    return true;
}
NATIVE(RectIntersection) {
    UNUSED;
    R out{0, 0, 0, 0};
    Overlap(RectOf(vm, self), RectOf(vm, Arg(args, argc, 0)), &out);
    return NewRect(vm, out);
}
NATIVE(RectIntersects) {
    UNUSED;
    R out{0, 0, 0, 0};
    return Value::Bool(Overlap(RectOf(vm, self), RectOf(vm, Arg(args, argc, 0)), &out));
}
NATIVE(RectUnion) {
    UNUSED;
    const R a = RectOf(vm, self), b = RectOf(vm, Arg(args, argc, 0));
    if (a.Empty())
        return NewRect(vm, b);
    if (b.Empty())
        return NewRect(vm, a);
    const double x = Min(a.x, b.x), y = Min(a.y, b.y);
    const double r = Max(a.x + a.w, b.x + b.w), bo = Max(a.y + a.h, b.y + b.h);
    return NewRect(vm, R{x, y, r - x, bo - y});
}
NATIVE(RectSetTo) {
    UNUSED;
    for (int i = 0; i < 4; ++i)
        F(self)->v[i] = Num(vm, args, argc, i, 0);
    return Value();
}
NATIVE(RectCopyFrom) {
    UNUSED;
    const R r = RectOf(vm, Arg(args, argc, 0));
    Fields* f = F(self);
    f->v[0] = r.x, f->v[1] = r.y, f->v[2] = r.w, f->v[3] = r.h;
    return Value();
}

// ---- Matrix: a, b, c, d, tx, ty ----
NATIVE(MatrixCtor) {
    UNUSED;
    static const double defaults[] = {1, 0, 0, 1, 0, 0};
    for (int i = 0; i < 6; ++i)
        F(self)->v[i] = Num(vm, args, argc, i, defaults[i]);
    return Value();
}
NATIVE(MatrixToString) {
    UNUSED;
    std::string s = "(";
    static const char* const names[] = {"a", "b", "c", "d", "tx", "ty"};
    for (int i = 0; i < 6; ++i)
        s += std::string(i ? ", " : "") + names[i] + "=" + vm.ToString(Value::Num(F(self)->v[i]));
    return Value::Str(s + ")");
}
// self = self then m (m applied after).
void Then(double* s, const double* m) {
    const double a = s[0] * m[0] + s[1] * m[2], b = s[0] * m[1] + s[1] * m[3];
    const double c = s[2] * m[0] + s[3] * m[2], d = s[2] * m[1] + s[3] * m[3];
    const double tx = s[4] * m[0] + s[5] * m[2] + m[4], ty = s[4] * m[1] + s[5] * m[3] + m[5];
    s[0] = a, s[1] = b, s[2] = c, s[3] = d, s[4] = tx, s[5] = ty;
}
NATIVE(MatrixIdentity) {
    UNUSED;
    static const double id[] = {1, 0, 0, 1, 0, 0};
    std::copy(id, id + 6, F(self)->v);
    return Value();
}
NATIVE(MatrixClone) {
    UNUSED;
    const double* v = F(self)->v;
    return Make(vm, "Matrix", {v[0], v[1], v[2], v[3], v[4], v[5]});
}
NATIVE(MatrixConcat) {
    UNUSED;
    Fields* m = F(Arg(args, argc, 0));
    if (m)
        Then(F(self)->v, m->v);
    return Value();
}
NATIVE(MatrixTranslate) {
    UNUSED;
    F(self)->v[4] += Num(vm, args, argc, 0, 0);
    F(self)->v[5] += Num(vm, args, argc, 1, 0);
    return Value();
}
NATIVE(MatrixScale) {
    UNUSED;
    const double m[] = {Num(vm, args, argc, 0, 0), 0, 0, Num(vm, args, argc, 1, 0), 0, 0};
    Then(F(self)->v, m);
    return Value();
}
NATIVE(MatrixRotate) {
    UNUSED;
    const double r = Num(vm, args, argc, 0, 0);
    const double m[] = {std::cos(r), std::sin(r), -std::sin(r), std::cos(r), 0, 0};
    Then(F(self)->v, m);
    return Value();
}
NATIVE(MatrixInvert) {
    UNUSED;
    double* v = F(self)->v;
    const double det = v[0] * v[3] - v[1] * v[2];
    if (det == 0) {
        const double zero[] = {0, 0, 0, 0, -v[4], -v[5]};
        std::copy(zero, zero + 6, v);
        return Value();
    }
    const double a = v[3] / det, b = -v[1] / det, c = -v[2] / det, d = v[0] / det;
    const double tx = -(a * v[4] + c * v[5]), ty = -(b * v[4] + d * v[5]);
    v[0] = a, v[1] = b, v[2] = c, v[3] = d, v[4] = tx, v[5] = ty;
    return Value();
}
NATIVE(MatrixCreateBox) {
    UNUSED;
    const double sx = Num(vm, args, argc, 0, 0), sy = Num(vm, args, argc, 1, 0);
    const double r = Num(vm, args, argc, 2, 0);
    double* v = F(self)->v;
    v[0] = std::cos(r) * sx, v[1] = std::sin(r) * sy, v[2] = -std::sin(r) * sx;
    v[3] = std::cos(r) * sy, v[4] = Num(vm, args, argc, 3, 0), v[5] = Num(vm, args, argc, 4, 0);
    return Value();
}
NATIVE(MatrixCreateGradientBox) {
    UNUSED;
    const double w = Num(vm, args, argc, 0, 0), h = Num(vm, args, argc, 1, 0);
    Value a[5] = {Value::Num(w / 1638.4), Value::Num(h / 1638.4),
                  Value::Num(Num(vm, args, argc, 2, 0)),
                  Value::Num(Num(vm, args, argc, 3, 0) + w / 2),
                  Value::Num(Num(vm, args, argc, 4, 0) + h / 2)};
    return MatrixCreateBox(vm, self, a, 5);
}
NATIVE(MatrixTransformPoint) {
    UNUSED;
    const double* v = F(self)->v;
    const Value p = Arg(args, argc, 0);
    const double x = PX(vm, p), y = PY(vm, p);
    return NewPoint(vm, v[0] * x + v[2] * y + v[4], v[1] * x + v[3] * y + v[5]);
}
NATIVE(MatrixDeltaTransformPoint) {
    UNUSED;
    const double* v = F(self)->v;
    const Value p = Arg(args, argc, 0);
    const double x = PX(vm, p), y = PY(vm, p);
    return NewPoint(vm, v[0] * x + v[2] * y, v[1] * x + v[3] * y);
}
NATIVE(MatrixSetTo) {
    UNUSED;
    for (int i = 0; i < 6; ++i)
        F(self)->v[i] = Num(vm, args, argc, i, 0);
    return Value();
}
NATIVE(MatrixCopyFrom) {
    UNUSED;
    if (Fields* m = F(Arg(args, argc, 0)))
        std::copy(m->v, m->v + 6, F(self)->v);
    return Value();
}

// ---- ColorTransform: multipliers, then offsets ----
NATIVE(ColorTransformCtor) {
    UNUSED;
    static const double defaults[] = {1, 1, 1, 1, 0, 0, 0, 0};
    for (int i = 0; i < 8; ++i)
        F(self)->v[i] = Num(vm, args, argc, i, defaults[i]);
    return Value();
}
NATIVE(ColorTransformToString) {
    UNUSED;
    static const char* const names[] = {"redMultiplier",   "greenMultiplier", "blueMultiplier",
                                        "alphaMultiplier", "redOffset",       "greenOffset",
                                        "blueOffset",      "alphaOffset"};
    std::string s = "(";
    for (int i = 0; i < 8; ++i)
        s += std::string(i ? ", " : "") + names[i] + "=" + vm.ToString(Value::Num(F(self)->v[i]));
    return Value::Str(s + ")");
}
NATIVE(ColorTransformColor) {
    UNUSED;
    const double* v = F(self)->v;
    const uint32_t rgb = (uint32_t(ToInt32(v[4])) & 0xFF) << 16 |
                         (uint32_t(ToInt32(v[5])) & 0xFF) << 8 | (uint32_t(ToInt32(v[6])) & 0xFF);
    return Value::Num(rgb);
}
NATIVE(ColorTransformSetColor) {
    UNUSED;
    const uint32_t c = uint32_t(ToInt32(Num(vm, args, argc, 0, 0)));
    double* v = F(self)->v;
    v[0] = v[1] = v[2] = 0;
    v[4] = double((c >> 16) & 0xFF), v[5] = double((c >> 8) & 0xFF), v[6] = double(c & 0xFF);
    return Value();
}
NATIVE(ColorTransformConcat) {
    UNUSED;
    Fields* o = F(Arg(args, argc, 0));
    if (!o)
        return Value();
    double* v = F(self)->v;
    for (int i = 0; i < 4; ++i) {
        v[4 + i] += o->v[4 + i] * v[i];
        v[i] *= o->v[i];
    }
    return Value();
}

// ---- Transform: a display object's matrix and colours (no skew kept) ----
const double kPi = 3.14159265358979323846;
DisplayData* Owner(Vm& vm, const Value& self) {
    return ReadPlacement(vm, vm.Get(self, "__owner"));
}
NATIVE(TransformCtor) {
    UNUSED;
    vm.Set(self, "__owner", Arg(args, argc, 0));
    return Value();
}
NATIVE(TransformMatrix) {
    UNUSED;
    DisplayData* d = Owner(vm, self);
    if (!d)
        return Value::Null();
    // A rotation set to NaN leaves the matrix unturned.
    const double r = std::isfinite(d->rotation) ? d->rotation * kPi / 180 : 0;
    const double c = std::cos(r), s = std::sin(r);
    return Make(vm, "Matrix",
                {d->scaleX * c, d->scaleX * s, -d->scaleY * s, d->scaleY * c, d->x, d->y});
}
NATIVE(TransformSetMatrix) {
    UNUSED;
    DisplayData* d = Owner(vm, self);
    Fields* m = F(Arg(args, argc, 0));
    if (!d || !m)
        return Value();
    const double* v = m->v;
    d->scaleX = std::hypot(v[0], v[1]);
    d->scaleY = std::hypot(v[2], v[3]) * (v[0] * v[3] - v[1] * v[2] < 0 ? -1 : 1);
    d->rotation = std::atan2(v[1], v[0]) * 180 / kPi;
    d->x = WholeTwips(v[4]);
    d->y = WholeTwips(v[5]);
    WritePlacement(vm, d);
    return Value();
}
NATIVE(TransformColor) {
    UNUSED;
    DisplayData* d = Owner(vm, self);
    if (!d)
        return Value::Null();
    return Make(
        vm, "ColorTransform",
        {d->mul[0], d->mul[1], d->mul[2], d->alpha, d->add[0], d->add[1], d->add[2], d->add[3]});
}
NATIVE(TransformSetColor) {
    UNUSED;
    DisplayData* d = Owner(vm, self);
    Fields* c = F(Arg(args, argc, 0));
    if (!d || !c)
        return Value();
    std::copy(c->v, c->v + 3, d->mul);
    d->alpha = c->v[3];
    std::copy(c->v + 4, c->v + 8, d->add);
    WritePlacement(vm, d);
    return Value();
}

} // namespace

Value TransformOf(Vm& vm, const Value& self, Value* args, int argc) {
    UNUSED;
    Value owner = self;
    return vm.ConstructClass(vm.Builtin("Transform"), &owner, 1);
}
Value SetTransform(Vm& vm, const Value& self, Value* args, int argc) {
    UNUSED;
    const Value from = Arg(args, argc, 0);
    if (!from.IsObject())
        return vm.ThrowError("TypeError", 2007, ErrorText(2007, "transform"));
    const Value to = TransformOf(vm, self, nullptr, 0);
    Value m = vm.Get(from, "matrix"), c = vm.Get(from, "colorTransform");
    TransformSetMatrix(vm, to, &m, 1);
    TransformSetColor(vm, to, &c, 1);
    return Value();
}

void InstallGeom(Vm& vm) {
    ClassInfo* point = GeomClass(vm, "Point", PointCtor, {"x", "y"});
    static const Native pointNatives[] = {
        Fn("toString", PointToString),       Fn("add", PointAdd),
        Fn("subtract", PointSubtract),       Fn("clone", PointClone),
        Fn("equals", PointEquals),           Fn("normalize", PointNormalize),
        Fn("offset", PointOffset),           Fn("setTo", PointSetTo),
        Fn("copyFrom", PointCopyFrom),       Accessor("length", PointLength),
        StaticFn("distance", PointDistance), StaticFn("interpolate", PointInterpolate),
        StaticFn("polar", PointPolar),
    };
    vm.AddNatives(point, pointNatives);

    ClassInfo* rect = GeomClass(vm, "Rectangle", RectCtor, {"x", "y", "width", "height"});
    static const Native rectNatives[] = {
        Fn("toString", RectToString),
        Fn("clone", RectClone),
        Fn("isEmpty", RectIsEmpty),
        Fn("setEmpty", RectSetEmpty),
        Fn("contains", RectContains),
        Fn("containsPoint", RectContainsPoint),
        Fn("containsRect", RectContainsRect),
        Fn("equals", RectEquals),
        Fn("inflate", RectInflate),
        Fn("inflatePoint", RectInflatePoint),
        Fn("offset", RectOffset),
        Fn("offsetPoint", RectOffsetPoint),
        Fn("intersection", RectIntersection),
        Fn("intersects", RectIntersects),
        Fn("union", RectUnion),
        Fn("setTo", RectSetTo),
        Fn("copyFrom", RectCopyFrom),
        Accessor("left", RectLeft, RectSetLeft),
        Accessor("top", RectTop, RectSetTop),
        Accessor("right", RectRight, RectSetRight),
        Accessor("bottom", RectBottom, RectSetBottom),
        Accessor("topLeft", RectTopLeft, RectSetTopLeft),
        Accessor("bottomRight", RectBottomRight, RectSetBottomRight),
        Accessor("size", RectSize, RectSetSize),
    };
    vm.AddNatives(rect, rectNatives);

    ClassInfo* matrix = GeomClass(vm, "Matrix", MatrixCtor, {"a", "b", "c", "d", "tx", "ty"});
    static const Native matrixNatives[] = {
        Fn("toString", MatrixToString),
        Fn("identity", MatrixIdentity),
        Fn("clone", MatrixClone),
        Fn("concat", MatrixConcat),
        Fn("translate", MatrixTranslate),
        Fn("scale", MatrixScale),
        Fn("rotate", MatrixRotate),
        Fn("invert", MatrixInvert),
        Fn("createBox", MatrixCreateBox),
        Fn("createGradientBox", MatrixCreateGradientBox),
        Fn("transformPoint", MatrixTransformPoint),
        Fn("deltaTransformPoint", MatrixDeltaTransformPoint),
        Fn("setTo", MatrixSetTo),
        Fn("copyFrom", MatrixCopyFrom),
    };
    vm.AddNatives(matrix, matrixNatives);

    ClassInfo* ct =
        GeomClass(vm, "ColorTransform", ColorTransformCtor,
                  {"redMultiplier", "greenMultiplier", "blueMultiplier", "alphaMultiplier",
                   "redOffset", "greenOffset", "blueOffset", "alphaOffset"});
    static const Native ctNatives[] = {
        Fn("toString", ColorTransformToString),
        Fn("concat", ColorTransformConcat),
        Accessor("color", ColorTransformColor, ColorTransformSetColor),
    };
    vm.AddNatives(ct, ctNatives);

    ClassInfo* transform =
        vm.DefineClass("flash.geom", "Transform", vm.objectClass, Kind::Plain, TransformCtor);
    transform->sealed = false;
    static const Native transformNatives[] = {
        Accessor("matrix", TransformMatrix, TransformSetMatrix),
        Accessor("colorTransform", TransformColor, TransformSetColor)};
    vm.AddNatives(transform, transformNatives);
}

} // namespace avm2
