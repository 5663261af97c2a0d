// flash.display.Graphics: the drawing calls of a Sprite, Shape or MovieClip, turned into the
// timeline's drawing operations. The owner keeps them, so an object drawn before it is put
// on the stage draws once it is there.
#include <cmath>

#include "player/core/avm2/display.h"

namespace avm2 {

namespace {

#define NATIVE(name) Value name(Vm& vm, const Value& self, Value* args, int argc)
#define UNUSED (void)vm, (void)self, (void)args, (void)argc

using timeline::DrawOp;

struct GraphicsData : TaggedExtra<GraphicsData> {
    Object* owner = nullptr;
    void Mark(Vm& vm) override { vm.MarkValue(Value::Obj(owner)); }
};

Object* OwnerOf(const Value& self) {
    if (!self.IsObject() || self.o->kind != Kind::Other || !self.o->extra)
        return nullptr;
    GraphicsData* g = ExtraOf<GraphicsData>(self.o->extra);
    return g ? g->owner : nullptr;
}

double Num(Vm& vm, Value* args, int argc, int i, double otherwise) {
    return i < argc && !args[i].IsUndefined() ? vm.ToNumber(args[i]) : otherwise;
}

bool Draw(Vm& vm, const Value& self, const DrawOp& op) {
    Object* owner = OwnerOf(self);
    return owner && DrawInto(vm, owner, op);
}

DrawOp Op(DrawOp::Kind kind, double x = 0, double y = 0) {
    DrawOp op;
    op.kind = kind;
    op.x = x, op.y = y;
    return op;
}

void Curve(Vm& vm, const Value& self, double cx, double cy, double x, double y) {
    DrawOp op = Op(DrawOp::CurveTo, x, y);
    op.cx = cx, op.cy = cy;
    Draw(vm, self, op);
}

// A quarter of an ellipse around (cx, cy) from angle `from` (radians), in two curves of
// 45 degrees each, their control points where the tangents meet.
void Arc(Vm& vm, const Value& self, double cx, double cy, double rx, double ry, double from) {
    const double step = std::atan(1.0), reach = 1 / std::cos(step / 2);
    for (int i = 1; i <= 2; ++i) {
        const double a = from + step * i, mid = a - step / 2;
        Curve(vm, self, cx + rx * reach * std::cos(mid), cy + ry * reach * std::sin(mid),
              cx + rx * std::cos(a), cy + ry * std::sin(a));
    }
}

NATIVE(Clear) {
    UNUSED;
    Draw(vm, self, Op(DrawOp::Clear));
    return Value();
}

NATIVE(BeginFill) {
    UNUSED;
    DrawOp op = Op(DrawOp::BeginFill);
    op.rgb = ToUint32(vm.ToNumber(Arg(args, argc, 0))) & 0xFFFFFF;
    op.alpha = std::fmax(0, std::fmin(1, Num(vm, args, argc, 1, 1))) * 100;
    Draw(vm, self, op);
    return Value();
}

NATIVE(BeginGradientFill) {
    UNUSED;
    DrawOp op = Op(DrawOp::BeginGradientFill);
    op.radial = vm.ToString(Arg(args, argc, 0)) == "radial";
    const Value colors = Arg(args, argc, 1), alphas = Arg(args, argc, 2),
                ratios = Arg(args, argc, 3), m = Arg(args, argc, 4);
    if (!colors.IsObject() || !alphas.IsObject() || !ratios.IsObject())
        return Value();
    // Flash draws at most 15 stops.
    const double count = std::fmin(15, vm.ToNumber(vm.Get(colors, "length")));
    for (int i = 0; i < count; ++i) {
        const std::string at = std::to_string(i);
        op.colors.push_back(ToUint32(vm.ToNumber(vm.Get(colors, at))) & 0xFFFFFF);
        op.alphas.push_back(std::fmax(0, std::fmin(1, vm.ToNumber(vm.Get(alphas, at)))) * 100);
        op.ratios.push_back(std::fmax(0, std::fmin(255, vm.ToNumber(vm.Get(ratios, at)))));
    }
    if (m.IsObject()) {
        static const char* const names[] = {"a", "b", "c", "d", "tx", "ty"};
        for (int i = 0; i < 6; ++i)
            op.matrix[i] = vm.ToNumber(vm.Get(m, names[i]));
    }
    Draw(vm, self, op);
    return Value();
}

NATIVE(BeginBitmapFill) {
    UNUSED;
    const render::ScriptBitmap* b = BitmapDataOf(Arg(args, argc, 0));
    if (b == nullptr)
        return vm.ThrowError("TypeError", 2007, "Error #2007: Parameter bitmap must be non-null.");
    DrawOp op = Op(DrawOp::BeginBitmapFill);
    op.bitmap = b->pixels;
    const Value m = Arg(args, argc, 1);
    if (m.IsObject()) {
        static const char* const names[] = {"a", "b", "c", "d", "tx", "ty"};
        for (int i = 0; i < 6; ++i) {
            const double v = vm.ToNumber(vm.Get(m, names[i]));
            op.matrix[i] = std::isfinite(v) ? v : 0;
        }
    }
    op.repeat = argc < 3 || ToBoolean(args[2]);
    op.smooth = argc > 3 && ToBoolean(args[3]);
    Draw(vm, self, op);
    return Value();
}

NATIVE(EndFill) {
    UNUSED;
    Draw(vm, self, Op(DrawOp::EndFill));
    return Value();
}

NATIVE(LineStyle) {
    UNUSED;
    DrawOp op = Op(DrawOp::LineStyle);
    const double width = Num(vm, args, argc, 0, NAN);
    op.width = std::isnan(width) ? -1 : std::fmax(0, std::fmin(255, width));
    op.rgb = ToUint32(vm.ToNumber(Arg(args, argc, 1))) & 0xFFFFFF;
    op.alpha = std::fmax(0, std::fmin(1, Num(vm, args, argc, 2, 1))) * 100;
    Draw(vm, self, op);
    return Value();
}

NATIVE(MoveTo) {
    UNUSED;
    Draw(vm, self, Op(DrawOp::MoveTo, Num(vm, args, argc, 0, 0), Num(vm, args, argc, 1, 0)));
    return Value();
}

NATIVE(LineTo) {
    UNUSED;
    Draw(vm, self, Op(DrawOp::LineTo, Num(vm, args, argc, 0, 0), Num(vm, args, argc, 1, 0)));
    return Value();
}

NATIVE(CurveTo) {
    UNUSED;
    Curve(vm, self, Num(vm, args, argc, 0, 0), Num(vm, args, argc, 1, 0), Num(vm, args, argc, 2, 0),
          Num(vm, args, argc, 3, 0));
    return Value();
}

// A cubic as two quadratics, split at its middle; each half's control point is where a
// quadratic best follows that half: (3 (c1 + c2) - (start + end)) / 4.
NATIVE(CubicCurveTo) {
    UNUSED;
    DisplayData* d = DisplayOf(Value::Obj(OwnerOf(self)));
    double p[8] = {0, 0}; // start, control 1, control 2, end; x then y
    if (d) {
        for (auto it = d->drawing.rbegin(); it != d->drawing.rend(); ++it)
            if (it->kind == DrawOp::MoveTo || it->kind == DrawOp::LineTo ||
                it->kind == DrawOp::CurveTo) {
                p[0] = it->x, p[1] = it->y;
                break;
            }
    }
    for (int i = 0; i < 6; ++i)
        p[2 + i] = Num(vm, args, argc, i, 0);
    double half[2][8];
    for (int k = 0; k < 2; ++k) {
        const double a = p[k], b = p[2 + k], c = p[4 + k], e = p[6 + k];
        const double ab = (a + b) / 2, bc = (b + c) / 2, ce = (c + e) / 2;
        const double abc = (ab + bc) / 2, bce = (bc + ce) / 2, m = (abc + bce) / 2;
        const double first[4] = {a, ab, abc, m}, second[4] = {m, bce, ce, e};
        for (int i = 0; i < 4; ++i)
            half[0][2 * i + k] = first[i], half[1][2 * i + k] = second[i];
    }
    for (const double* h : half) {
        const double cx = (3 * (h[2] + h[4]) - (h[0] + h[6])) / 4;
        const double cy = (3 * (h[3] + h[5]) - (h[1] + h[7])) / 4;
        Curve(vm, self, cx, cy, h[6], h[7]);
    }
    return Value();
}

NATIVE(Unsupported) {
    UNUSED;
    return Value();
}

NATIVE(DrawRect) {
    UNUSED;
    const double x = Num(vm, args, argc, 0, 0), y = Num(vm, args, argc, 1, 0);
    const double w = Num(vm, args, argc, 2, 0), h = Num(vm, args, argc, 3, 0);
    Draw(vm, self, Op(DrawOp::MoveTo, x, y));
    Draw(vm, self, Op(DrawOp::LineTo, x + w, y));
    Draw(vm, self, Op(DrawOp::LineTo, x + w, y + h));
    Draw(vm, self, Op(DrawOp::LineTo, x, y + h));
    Draw(vm, self, Op(DrawOp::LineTo, x, y));
    return Value();
}

void Ellipse(Vm& vm, const Value& self, double x, double y, double w, double h) {
    const double rx = w / 2, ry = h / 2, cx = x + rx, cy = y + ry, quarter = 2 * std::atan(1.0);
    Draw(vm, self, Op(DrawOp::MoveTo, cx + rx, cy));
    for (int q = 0; q < 4; ++q)
        Arc(vm, self, cx, cy, rx, ry, q * quarter);
}

NATIVE(DrawCircle) {
    UNUSED;
    const double r = Num(vm, args, argc, 2, 0);
    Ellipse(vm, self, Num(vm, args, argc, 0, 0) - r, Num(vm, args, argc, 1, 0) - r, 2 * r, 2 * r);
    return Value();
}

NATIVE(DrawEllipse) {
    UNUSED;
    Ellipse(vm, self, Num(vm, args, argc, 0, 0), Num(vm, args, argc, 1, 0),
            Num(vm, args, argc, 2, 0), Num(vm, args, argc, 3, 0));
    return Value();
}

NATIVE(DrawRoundRect) {
    UNUSED;
    const double x = Num(vm, args, argc, 0, 0), y = Num(vm, args, argc, 1, 0);
    const double w = Num(vm, args, argc, 2, 0), h = Num(vm, args, argc, 3, 0);
    const double ew = Num(vm, args, argc, 4, 0), eh = Num(vm, args, argc, 5, ew);
    const double rx = std::fmin(std::fabs(w) / 2, ew / 2), ry = std::fmin(std::fabs(h) / 2, eh / 2);
    if (!(rx > 0 && ry > 0)) {
        DrawRect(vm, self, args, argc);
        return Value();
    }
    const double quarter = 2 * std::atan(1.0);
    // Clockwise from the right edge's top, each corner a quarter ellipse.
    Draw(vm, self, Op(DrawOp::MoveTo, x + w, y + ry));
    Draw(vm, self, Op(DrawOp::LineTo, x + w, y + h - ry));
    Arc(vm, self, x + w - rx, y + h - ry, rx, ry, 0);
    Draw(vm, self, Op(DrawOp::LineTo, x + rx, y + h));
    Arc(vm, self, x + rx, y + h - ry, rx, ry, quarter);
    Draw(vm, self, Op(DrawOp::LineTo, x, y + ry));
    Arc(vm, self, x + rx, y + ry, rx, ry, 2 * quarter);
    Draw(vm, self, Op(DrawOp::LineTo, x + w - rx, y));
    Arc(vm, self, x + w - rx, y + ry, rx, ry, 3 * quarter);
    return Value();
}

NATIVE(GraphicsCtor) {
    UNUSED;
    return vm.ThrowError("ArgumentError", 2012,
                         "Error #2012: Graphics class cannot be instantiated.");
}

NATIVE(GetGraphics) {
    UNUSED;
    DisplayData* d = DisplayOf(self);
    if (!d)
        return Value::Null();
    if (!d->graphics.IsObject()) {
        Object* g = vm.NewInstance(vm.Builtin("Graphics"));
        GraphicsData* data = new GraphicsData;
        data->owner = self.o;
        g->kind = Kind::Other;
        g->extra.reset(data);
        d->graphics = Value::Obj(g);
    }
    return d->graphics;
}

} // namespace

bool DrawInto(Vm& vm, Object* owner, const DrawOp& op) {
    DisplayData* d = DisplayOf(Value::Obj(owner));
    if (!d)
        return false;
    if (op.kind == DrawOp::Clear) {
        d->drawing.clear();
    } else {
        if (d->drawing.size() >= timeline::kMaxDrawingItems)
            return false;
        d->drawing.push_back(op);
        vm.heap().Account(owner, sizeof(DrawOp) + op.colors.size() * 20);
    }
    if (d->timeline && vm.timeline())
        vm.timeline()->Draw(d->timeline, op);
    return true;
}

void InstallGraphics(Vm& vm, ClassInfo* display) {
    ClassInfo* object = vm.Builtin("Object");
    ClassInfo* graphics =
        vm.DefineClass("flash.display", "Graphics", object, Kind::Other, GraphicsCtor);
    static const struct {
        const char* name;
        NativeFn fn;
    } methods[] = {{"clear", Clear},
                   {"beginFill", BeginFill},
                   {"beginGradientFill", BeginGradientFill},
                   {"endFill", EndFill},
                   {"lineStyle", LineStyle},
                   {"moveTo", MoveTo},
                   {"lineTo", LineTo},
                   {"curveTo", CurveTo},
                   {"drawRect", DrawRect},
                   {"drawCircle", DrawCircle},
                   {"drawEllipse", DrawEllipse},
                   {"drawRoundRect", DrawRoundRect},
                   {"cubicCurveTo", CubicCurveTo},
                   {"beginBitmapFill", BeginBitmapFill},
                   // Not drawn yet; the rest of the drawing is.
                   {"lineGradientStyle", Unsupported},
                   {"drawPath", Unsupported}};
    for (const auto& m : methods)
        vm.AddMethod(graphics, m.name, m.fn);
    vm.AddGetter(display, "graphics", GetGraphics);
}

} // namespace avm2
