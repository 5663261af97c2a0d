// flash.filters: the filter classes as data a display object keeps, each with its
// constructor's parameters and defaults, and clone; what the renderer draws for one.
#include <cmath>

#include "player/core/avm2/display.h"

namespace avm2 {

namespace {

#define NATIVE(name) Value name(Vm& vm, const Value& self, Value* args, int argc)
#define UNUSED (void)vm, (void)self, (void)args, (void)argc

// Float is kept in single precision, Unit clamped to 0..1; Sized is an array of
// as many numbers as the two parameters before it multiply to, zeros where none was given.
enum class P : uint8_t { Number, Float, Unit, Flag, Text, Any, Identity, Sized };

struct Param {
    const char* name;
    P as;
    double number;
    const char* text;
};

struct FilterClass {
    const char* name;
    std::vector<Param> params;
};

const std::vector<FilterClass>& Classes() {
    static const std::vector<FilterClass> classes = {
        {"BlurFilter",
         {{"blurX", P::Number, 4, ""}, {"blurY", P::Number, 4, ""}, {"quality", P::Number, 1, ""}}},
        {"GlowFilter",
         {{"color", P::Number, 0xFF0000, ""},
          {"alpha", P::Number, 1, ""},
          {"blurX", P::Number, 6, ""},
          {"blurY", P::Number, 6, ""},
          {"strength", P::Number, 2, ""},
          {"quality", P::Number, 1, ""},
          {"inner", P::Flag, 0, ""},
          {"knockout", P::Flag, 0, ""}}},
        {"DropShadowFilter",
         {{"distance", P::Number, 4, ""},
          {"angle", P::Number, 45, ""},
          {"color", P::Number, 0, ""},
          {"alpha", P::Number, 1, ""},
          {"blurX", P::Number, 4, ""},
          {"blurY", P::Number, 4, ""},
          {"strength", P::Number, 1, ""},
          {"quality", P::Number, 1, ""},
          {"inner", P::Flag, 0, ""},
          {"knockout", P::Flag, 0, ""},
          {"hideObject", P::Flag, 0, ""}}},
        {"BevelFilter",
         {{"distance", P::Number, 4, ""},
          {"angle", P::Number, 45, ""},
          {"highlightColor", P::Number, 0xFFFFFF, ""},
          {"highlightAlpha", P::Number, 1, ""},
          {"shadowColor", P::Number, 0, ""},
          {"shadowAlpha", P::Number, 1, ""},
          {"blurX", P::Number, 4, ""},
          {"blurY", P::Number, 4, ""},
          {"strength", P::Number, 1, ""},
          {"quality", P::Number, 1, ""},
          {"type", P::Text, 0, "inner"},
          {"knockout", P::Flag, 0, ""}}},
        {"ColorMatrixFilter", {{"matrix", P::Identity, 0, ""}}},
        {"ConvolutionFilter",
         {{"matrixX", P::Number, 0, ""},
          {"matrixY", P::Number, 0, ""},
          {"matrix", P::Sized, 0, ""},
          {"divisor", P::Float, 1, ""},
          {"bias", P::Float, 0, ""},
          {"preserveAlpha", P::Flag, 1, ""},
          {"clamp", P::Flag, 1, ""},
          {"color", P::Number, 0, ""},
          {"alpha", P::Unit, 0, ""}}},
        {"GradientGlowFilter",
         {{"distance", P::Number, 4, ""},
          {"angle", P::Number, 45, ""},
          {"colors", P::Any, 0, ""},
          {"alphas", P::Any, 0, ""},
          {"ratios", P::Any, 0, ""},
          {"blurX", P::Number, 4, ""},
          {"blurY", P::Number, 4, ""},
          {"strength", P::Number, 1, ""},
          {"quality", P::Number, 1, ""},
          {"type", P::Text, 0, "inner"},
          {"knockout", P::Flag, 0, ""}}},
        {"DisplacementMapFilter",
         {{"mapBitmap", P::Any, 0, ""},
          {"mapPoint", P::Any, 0, ""},
          {"componentX", P::Number, 0, ""},
          {"componentY", P::Number, 0, ""},
          {"scaleX", P::Number, 0, ""},
          {"scaleY", P::Number, 0, ""},
          {"mode", P::Text, 0, "wrap"},
          {"color", P::Number, 0, ""},
          {"alpha", P::Number, 0, ""}}},
    };
    return classes;
}

const FilterClass* ClassOf(Vm& vm, const Value& self) {
    for (ClassInfo* c = self.IsObject() ? self.o->cls : nullptr; c; c = c->super)
        for (const FilterClass& f : Classes())
            if (c->name == f.name && vm.Builtin(f.name) == c)
                return &f;
    return nullptr;
}

Value IdentityMatrix(Vm& vm) {
    std::vector<Value> m;
    for (int i = 0; i < 20; ++i)
        m.push_back(Value::Num(i % 6 == 0 ? 1 : 0));
    return Value::Obj(vm.NewArray(std::move(m)));
}

// At most 15 by 15, as Flash takes them; the given numbers in single precision.
Value SizedArray(Vm& vm, const Value& given, const Value& columns, const Value& rows) {
    const double w = std::fmax(0, std::fmin(15, vm.ToNumber(columns)));
    const double h = std::fmax(0, std::fmin(15, vm.ToNumber(rows)));
    const size_t count = std::isnan(w) || std::isnan(h) ? 0 : size_t(w) * size_t(h);
    std::vector<Value> out(count, Value::Num(0));
    if (given.IsObject() && given.o->kind == Kind::Array)
        for (size_t i = 0; i < count && i < given.o->elems.size(); ++i)
            out[i] = Value::Num(double(float(vm.ToNumber(given.o->elems[i]))));
    return Value::Obj(vm.NewArray(std::move(out)));
}

NATIVE(FilterCtor) {
    UNUSED;
    const FilterClass* f = ClassOf(vm, self);
    for (size_t i = 0; f && i < f->params.size(); ++i) {
        const Param& p = f->params[i];
        const bool given = int(i) < argc && !args[i].IsUndefined();
        Value v;
        switch (p.as) {
        case P::Number:
            v = Value::Num(given ? vm.ToNumber(args[i]) : p.number);
            break;
        case P::Flag:
            v = Value::Bool(given ? ToBoolean(args[i]) : p.number != 0);
            break;
        case P::Text:
            v = Value::Str(given ? vm.ToString(args[i]) : std::string(p.text));
            break;
        case P::Any:
            v = given ? args[i] : Value::Null();
            break;
        case P::Identity:
            v = given && !args[i].IsNull() ? args[i] : IdentityMatrix(vm);
            break;
        case P::Float:
        case P::Unit: {
            double n = given ? vm.ToNumber(args[i]) : p.number;
            if (p.as == P::Unit)
                n = std::isnan(n) ? n : std::fmax(0, std::fmin(1, n));
            v = Value::Num(p.as == P::Float ? double(float(n)) : n);
            break;
        }
        case P::Sized:
            v = SizedArray(vm, given ? args[i] : Value(),
                           i >= 2 ? vm.Get(self, f->params[0].name) : Value(),
                           i >= 2 ? vm.Get(self, f->params[1].name) : Value());
            if (vm.throwing())
                return Value();
            break;
        }
        vm.Set(self, p.name, v);
    }
    return Value();
}

NATIVE(FilterClone) {
    UNUSED;
    const FilterClass* f = ClassOf(vm, self);
    if (!f)
        return vm.ConstructClass(vm.Builtin("BitmapFilter"), nullptr, 0);
    std::vector<Value> a;
    for (const Param& p : f->params)
        a.push_back(vm.Get(self, p.name));
    return vm.ConstructClass(vm.Builtin(f->name), a.data(), int(a.size()));
}

} // namespace

bool FilterToTag(Vm& vm, const Value& filter, swf::Filter* out) {
    const FilterClass* c = ClassOf(vm, filter);
    if (c == nullptr)
        return false;
    const std::string name = c->name;
    auto num = [&](const char* n) { return vm.ToNumber(vm.Get(filter, n)); };
    auto flag = [&](const char* n) { return ToBoolean(vm.Get(filter, n)); };
    auto rgba = [&](const char* rgb, const char* alpha) {
        const uint32_t v = uint32_t(ToInt32(num(rgb)));
        const double a = std::fmax(0, std::fmin(1, num(alpha)));
        return swf::Rgba{uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v),
                         uint8_t(std::lround(std::isnan(a) ? 0 : a * 255))};
    };
    auto list = [&](const char* n, size_t most) {
        std::vector<double> v;
        const Value a = vm.Get(filter, n);
        if (a.IsObject() && a.o->kind == Kind::Array)
            for (size_t i = 0; i < a.o->elems.size() && i < most; ++i)
                v.push_back(vm.ToNumber(a.o->elems[i]));
        return v;
    };
    swf::Filter f;
    const bool shadowed = name == "DropShadowFilter" || name == "BevelFilter" ||
                          name == "GradientGlowFilter" || name == "GradientBevelFilter";
    f.kind = name == "BlurFilter"            ? swf::FilterKind::Blur
             : name == "GlowFilter"          ? swf::FilterKind::Glow
             : name == "DropShadowFilter"    ? swf::FilterKind::DropShadow
             : name == "BevelFilter"         ? swf::FilterKind::Bevel
             : name == "GradientGlowFilter"  ? swf::FilterKind::GradientGlow
             : name == "GradientBevelFilter" ? swf::FilterKind::GradientBevel
             : name == "ColorMatrixFilter"   ? swf::FilterKind::ColorMatrix
             : name == "ConvolutionFilter"   ? swf::FilterKind::Convolution
                                             : swf::FilterKind::DisplacementMap;
    auto clampf = [](double v, double lo, double hi) {
        return float(std::isnan(v) ? lo : std::fmax(lo, std::fmin(hi, v)));
    };
    if (name != "ColorMatrixFilter" && name != "ConvolutionFilter" &&
        name != "DisplacementMapFilter") {
        f.blurX = clampf(num("blurX"), 0, 255);
        f.blurY = clampf(num("blurY"), 0, 255);
        f.passes = int(clampf(num("quality"), 0, 15));
    }
    if (name != "BlurFilter" && name != "ColorMatrixFilter" && name != "ConvolutionFilter" &&
        name != "DisplacementMapFilter") {
        f.strength = clampf(num("strength"), 0, 255);
        f.knockout = flag("knockout");
    }
    if (shadowed) {
        f.distance = clampf(num("distance"), -32768, 32767);
        f.angle = float(clampf(num("angle"), -1e6, 1e6) * 3.14159265358979323846 / 180);
    }
    if (name == "GlowFilter" || name == "DropShadowFilter") {
        f.color = rgba("color", "alpha");
        f.inner = flag("inner");
        f.compositeSource = name == "GlowFilter" || !flag("hideObject");
    } else if (name == "BevelFilter") {
        f.color = rgba("shadowColor", "shadowAlpha");
        f.highlight = rgba("highlightColor", "highlightAlpha");
    } else if (name == "GradientGlowFilter" || name == "GradientBevelFilter") {
        const auto colors = list("colors", 16), alphas = list("alphas", 16),
                   ratios = list("ratios", 16);
        for (size_t k = 0; k < colors.size() && k < alphas.size() && k < ratios.size(); ++k) {
            const uint32_t c = uint32_t(ToInt32(colors[k]));
            const double a = std::isnan(alphas[k]) ? 0 : std::fmax(0, std::fmin(1, alphas[k]));
            f.stops.push_back(
                swf::GradientStop{uint8_t(clampf(ratios[k], 0, 255)),
                                  swf::Rgba{uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c),
                                            uint8_t(std::lround(a * 255))}});
        }
        if (!f.stops.empty())
            f.color = f.stops.back().color;
    }
    if (shadowed && name != "DropShadowFilter") {
        const std::string type = vm.ToString(vm.Get(filter, "type"));
        f.inner = type == "inner";
        f.onTop = type == "full";
    }
    if (name == "ColorMatrixFilter") {
        const auto m = list("matrix", 20);
        for (size_t k = 0; k < m.size(); ++k)
            f.matrix[k] = std::isfinite(m[k]) ? float(m[k]) : 0;
    } else if (name == "ConvolutionFilter") {
        f.matrixX = int(clampf(num("matrixX"), 0, 15));
        f.matrixY = int(clampf(num("matrixY"), 0, 15));
        const auto m = list("matrix", 225);
        f.kernel.assign(size_t(f.matrixX) * f.matrixY, 0);
        for (size_t k = 0; k < f.kernel.size() && k < m.size(); ++k)
            f.kernel[k] = std::isfinite(m[k]) ? float(m[k]) : 0;
        f.divisor = float(num("divisor"));
        f.bias = float(num("bias"));
        f.preserveAlpha = flag("preserveAlpha");
        f.clamp = flag("clamp");
        f.fallback = rgba("color", "alpha");
    } else if (name == "DisplacementMapFilter") {
        const render::ScriptBitmap* map = BitmapDataOf(vm.Get(filter, "mapBitmap"));
        if (map == nullptr)
            return false;
        f.map = map->pixels;
        const Value at = vm.Get(filter, "mapPoint");
        f.mapX = at.IsObject() ? ToInt32(vm.ToNumber(vm.Get(at, "x"))) : 0;
        f.mapY = at.IsObject() ? ToInt32(vm.ToNumber(vm.Get(at, "y"))) : 0;
        f.componentX = ToInt32(num("componentX"));
        f.componentY = ToInt32(num("componentY"));
        f.scaleX = clampf(num("scaleX"), -65535, 65535);
        f.scaleY = clampf(num("scaleY"), -65535, 65535);
        const std::string mode = vm.ToString(vm.Get(filter, "mode"));
        f.mode = mode == "clamp"    ? swf::Filter::Edge::Clamp
                 : mode == "ignore" ? swf::Filter::Edge::Ignore
                 : mode == "color"  ? swf::Filter::Edge::Color
                                    : swf::Filter::Edge::Wrap;
        f.fallback = rgba("color", "alpha");
    }
    *out = std::move(f);
    return !vm.throwing();
}

Value FilterOfTag(Vm& vm, const swf::Filter& f) {
    auto num = [](double v) { return Value::Num(v); };
    auto rgb = [](const swf::Rgba& c) { return Value::Num(double(c.r << 16 | c.g << 8 | c.b)); };
    auto alpha = [](const swf::Rgba& c) { return Value::Num(c.a / 255.0); };
    const double degrees = f.angle * 180 / 3.141592653589793;
    std::vector<Value> a;
    const char* cls = nullptr;
    switch (f.kind) {
    case swf::FilterKind::Blur:
        cls = "BlurFilter", a = {num(f.blurX), num(f.blurY), num(f.passes)};
        break;
    case swf::FilterKind::Glow:
        cls = "GlowFilter";
        a = {rgb(f.color),    alpha(f.color), num(f.blurX),         num(f.blurY),
             num(f.strength), num(f.passes),  Value::Bool(f.inner), Value::Bool(f.knockout)};
        break;
    case swf::FilterKind::DropShadow:
        cls = "DropShadowFilter";
        a = {num(f.distance),
             degrees == 0 ? num(0) : num(degrees),
             rgb(f.color),
             alpha(f.color),
             num(f.blurX),
             num(f.blurY),
             num(f.strength),
             num(f.passes),
             Value::Bool(f.inner),
             Value::Bool(f.knockout),
             Value::Bool(!f.compositeSource)};
        break;
    case swf::FilterKind::ColorMatrix: {
        cls = "ColorMatrixFilter";
        std::vector<Value> m;
        for (float v : f.matrix)
            m.push_back(num(v));
        a = {Value::Obj(vm.NewArray(std::move(m)))};
        break;
    }
    default:
        return Value::Null();
    }
    return vm.ConstructClass(vm.Builtin(cls), a.data(), int(a.size()));
}

void InstallFilters(Vm& vm) {
    ClassInfo* base =
        vm.DefineClass("flash.filters", "BitmapFilter", vm.objectClass, Kind::Plain, FilterCtor);
    vm.AddMethod(base, "clone", FilterClone);
    for (const FilterClass& f : Classes())
        vm.DefineClass("flash.filters", f.name, base, Kind::Plain, FilterCtor)->sealed = false;
}

} // namespace avm2
