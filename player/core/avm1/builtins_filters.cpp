// flash.filters: every Flash 8 filter class with its properties clamped as Flash clamps
// them, clone(), MovieClip.filters (read back as copies, as in Flash) and blendMode. A
// filter's settings live in its host data; the renderer receives them as swf::Filter.
#include <algorithm>
#include <cmath>

#include "player/core/avm1/builtins_flash8.h"

namespace avm1 {
namespace {

using swf::FilterKind;

enum class T : uint8_t { Num, Int, Bool, Color, Alpha, Angle, Type, Mode, Array, Point, Map };

struct Field {
    const char* name;
    T type;
    double def, lo, hi;
};

// Each class's fields in its constructor's order.
struct ClassInfo {
    const char* name;
    FilterKind kind;
    std::vector<Field> fields;
};

const double kBig = 1e15;

const std::vector<ClassInfo>& Classes() {
    static const std::vector<ClassInfo> classes = {
        {"BlurFilter",
         FilterKind::Blur,
         {{"blurX", T::Num, 4, 0, 255},
          {"blurY", T::Num, 4, 0, 255},
          {"quality", T::Int, 1, 0, 15}}},
        {"DropShadowFilter",
         FilterKind::DropShadow,
         {{"distance", T::Num, 4, -kBig, kBig},
          {"angle", T::Angle, 45, 0, 0},
          {"color", T::Color, 0, 0, 0},
          {"alpha", T::Alpha, 1, 0, 1},
          {"blurX", T::Num, 4, 0, 255},
          {"blurY", T::Num, 4, 0, 255},
          {"strength", T::Num, 1, 0, 255},
          {"quality", T::Int, 1, 0, 15},
          {"inner", T::Bool, 0, 0, 0},
          {"knockout", T::Bool, 0, 0, 0},
          {"hideObject", T::Bool, 0, 0, 0}}},
        {"GlowFilter",
         FilterKind::Glow,
         {{"color", T::Color, 0xFF0000, 0, 0},
          {"alpha", T::Alpha, 1, 0, 1},
          {"blurX", T::Num, 6, 0, 255},
          {"blurY", T::Num, 6, 0, 255},
          {"strength", T::Num, 2, 0, 255},
          {"quality", T::Int, 1, 0, 15},
          {"inner", T::Bool, 0, 0, 0},
          {"knockout", T::Bool, 0, 0, 0}}},
        {"BevelFilter",
         FilterKind::Bevel,
         {{"distance", T::Num, 4, -kBig, kBig},
          {"angle", T::Angle, 45, 0, 0},
          {"highlightColor", T::Color, 0xFFFFFF, 0, 0},
          {"highlightAlpha", T::Alpha, 1, 0, 1},
          {"shadowColor", T::Color, 0, 0, 0},
          {"shadowAlpha", T::Alpha, 1, 0, 1},
          {"blurX", T::Num, 4, 0, 255},
          {"blurY", T::Num, 4, 0, 255},
          {"strength", T::Num, 1, 0, 255},
          {"quality", T::Int, 1, 0, 15},
          {"type", T::Type, 0, 0, 0},
          {"knockout", T::Bool, 0, 0, 0}}},
        {"GradientGlowFilter",
         FilterKind::GradientGlow,
         {{"distance", T::Num, 4, -kBig, kBig},
          {"angle", T::Angle, 45, 0, 0},
          {"colors", T::Array, 0, 0, 0},
          {"alphas", T::Array, 1, 0, 1},
          {"ratios", T::Array, 2, 0, 255},
          {"blurX", T::Num, 4, 0, 255},
          {"blurY", T::Num, 4, 0, 255},
          {"strength", T::Num, 1, 0, 255},
          {"quality", T::Int, 1, 0, 15},
          {"type", T::Type, 0, 0, 0},
          {"knockout", T::Bool, 0, 0, 0}}},
        {"GradientBevelFilter",
         FilterKind::GradientBevel,
         {{"distance", T::Num, 4, -kBig, kBig},
          {"angle", T::Angle, 45, 0, 0},
          {"colors", T::Array, 0, 0, 0},
          {"alphas", T::Array, 1, 0, 1},
          {"ratios", T::Array, 2, 0, 255},
          {"blurX", T::Num, 4, 0, 255},
          {"blurY", T::Num, 4, 0, 255},
          {"strength", T::Num, 1, 0, 255},
          {"quality", T::Int, 1, 0, 15},
          {"type", T::Type, 0, 0, 0},
          {"knockout", T::Bool, 0, 0, 0}}},
        {"ColorMatrixFilter", FilterKind::ColorMatrix, {{"matrix", T::Array, 3, 0, 0}}},
        {"ConvolutionFilter",
         FilterKind::Convolution,
         {{"matrixX", T::Int, 0, 0, 15},
          {"matrixY", T::Int, 0, 0, 15},
          {"matrix", T::Array, 4, 0, 0},
          {"divisor", T::Num, 1, -kBig, kBig},
          {"bias", T::Num, 0, -kBig, kBig},
          {"preserveAlpha", T::Bool, 1, 0, 0},
          {"clamp", T::Bool, 1, 0, 0},
          {"color", T::Color, 0, 0, 0},
          {"alpha", T::Alpha, 0, 0, 1}}},
        {"DisplacementMapFilter",
         FilterKind::DisplacementMap,
         {{"mapBitmap", T::Map, 0, 0, 0},
          {"mapPoint", T::Point, 0, 0, 0},
          {"componentX", T::Int, 0, 0, 15},
          {"componentY", T::Int, 0, 0, 15},
          {"scaleX", T::Num, 0, -65535, 65535},
          {"scaleY", T::Num, 0, -65535, 65535},
          {"mode", T::Mode, 0, 0, 0},
          {"color", T::Color, 0, 0, 0},
          {"alpha", T::Alpha, 0, 0, 1}}},
    };
    return classes;
}

const size_t kMaxFields = 12;
const size_t kMaxArray = 1024; // a colour matrix needs 20, a 15 x 15 kernel 225, ramps 16

struct FilterData : TaggedHost<FilterData> {
    int cls = 0;
    double num[kMaxFields] = {};
    std::string text[kMaxFields];
    std::vector<double> array[kMaxFields];
    render::ScriptBitmap map; // DisplacementMapFilter's, kept beside the script's object
    size_t Bytes() const override {
        size_t n = sizeof(*this);
        for (const auto& a : array)
            n += a.capacity() * sizeof(double);
        return n;
    }
};

FilterData* DataOf(const Value& v) {
    return v.IsObject() ? avm1::HostOf<FilterData>(v.o->host) : nullptr;
}

std::vector<double> DefaultArray(int which) {
    if (which == 3) { // the identity colour matrix
        std::vector<double> m(20, 0);
        m[0] = m[6] = m[12] = m[18] = 1;
        return m;
    }
    return {};
}

// Converts and clamps one value into field `i` of a filter.
void Store(Vm& vm, FilterData* d, size_t i, const Value& v) {
    const Field& f = Classes()[d->cls].fields[i];
    switch (f.type) {
    case T::Num:
    case T::Alpha: {
        const double n = vm.ToNumber(v);
        d->num[i] = std::isnan(n) ? f.lo : std::max(f.lo, std::min(f.hi, n));
        break;
    }
    case T::Int: {
        const double n = vm.ToNumber(v);
        d->num[i] = std::max(f.lo, std::min(f.hi, std::isfinite(n) ? std::trunc(n) : 0.0));
        break;
    }
    case T::Bool:
        d->num[i] = ToBoolean(vm.ToPrimitive(v), vm.version()) ? 1 : 0;
        break;
    case T::Color:
        d->num[i] = double(ToUint32(vm.ToNumber(v)) & 0xFFFFFF);
        break;
    case T::Angle: {
        const double n = vm.ToNumber(v);
        d->num[i] = std::isfinite(n) ? std::fmod(n, 360.0) : 0;
        break;
    }
    case T::Type: {
        const std::string s = vm.ToString(v);
        d->text[i] = s == "inner" || s == "outer" ? s : "full";
        break;
    }
    case T::Mode: {
        const std::string s = vm.ToString(v);
        d->text[i] = s == "clamp" || s == "ignore" || s == "color" ? s : "wrap";
        break;
    }
    case T::Array: {
        std::vector<double> out;
        if (v.IsObject() && v.o->kind == Kind::Array) {
            const size_t n = std::min(v.o->elements.size(), kMaxArray);
            for (size_t k = 0; k < n; k++) {
                double e = vm.ToNumber(v.o->elements[k]);
                if (f.def == 0) // colours
                    e = double(ToUint32(e) & 0xFFFFFF);
                else if (f.def == 1 || f.def == 2) // alphas, ratios
                    e = std::isnan(e) ? 0 : std::max(f.lo, std::min(f.hi, e));
                out.push_back(e);
            }
        }
        if (f.def == 3) { // a colour matrix keeps 20 entries
            std::vector<double> m = DefaultArray(3);
            if (!out.empty()) {
                m.assign(20, 0);
                std::copy_n(out.begin(), std::min<size_t>(20, out.size()), m.begin());
            }
            out = m;
        }
        d->array[i] = std::move(out);
        break;
    }
    case T::Point:
        d->num[i] = Num(vm, v, "x");
        d->text[i].clear();
        d->array[i] = {Num(vm, v, "x"), Num(vm, v, "y")};
        break;
    case T::Map:
        if (const render::ScriptBitmap* b = ScriptBitmapOf(v))
            d->map = *b;
        break;
    }
}

Value Load(Vm& vm, const Value& self, const FilterData* d, size_t i) {
    const Field& f = Classes()[d->cls].fields[i];
    switch (f.type) {
    case T::Bool:
        return Value::Bool(d->num[i] != 0);
    case T::Type:
    case T::Mode:
        return Value::Str(d->text[i]);
    case T::Array: {
        std::vector<Value> items;
        for (double e : d->array[i])
            items.push_back(Value::Num(e));
        return Value::Obj(vm.NewArray(std::move(items)));
    }
    case T::Point:
        return d->array[i].size() == 2 ? NewPoint(vm, d->array[i][0], d->array[i][1]) : Value();
    case T::Map:
        return vm.Get(self, "__mapBitmap");
    default:
        return Value::Num(d->num[i]);
    }
}

// One getter and setter per field slot: the slot is the template argument.
template <size_t I> Value GetField(Vm& vm, const Value& self, const Args&) {
    FilterData* d = DataOf(self);
    return d && I < Classes()[d->cls].fields.size() ? Load(vm, self, d, I) : Value();
}
template <size_t I> Value SetField(Vm& vm, const Value& self, const Args& a) {
    FilterData* d = DataOf(self);
    if (d && I < Classes()[d->cls].fields.size()) {
        Store(vm, d, I, a[0]);
        if (Classes()[d->cls].fields[I].type == T::Map)
            self.o->Put("__mapBitmap", a[0], vm.caseSensitive(), kDontEnum);
    }
    return Value();
}
template <size_t... I>
void Accessors(Vm& vm, Object* proto, const ClassInfo& info, std::index_sequence<I...>) {
    ((I < info.fields.size() ? Accessor(vm, proto, info.fields[I].name, GetField<I>, SetField<I>)
                             : void()),
     ...);
}

void Init(Vm& vm, const Value& self, int cls, const Args& a) {
    auto d = std::make_shared<FilterData>();
    d->cls = cls;
    const ClassInfo& info = Classes()[cls];
    for (size_t i = 0; i < info.fields.size(); i++) {
        const Field& f = info.fields[i];
        if (i < a.size() && !a[i].IsUndefined()) {
            Store(vm, d.get(), i, a[i]);
            if (f.type == T::Map)
                self.o->Put("__mapBitmap", a[i], vm.caseSensitive(), kDontEnum);
            continue;
        }
        if (f.type == T::Type)
            d->text[i] = "inner";
        else if (f.type == T::Mode)
            d->text[i] = "wrap";
        else if (f.type == T::Array)
            d->array[i] = DefaultArray(int(f.def));
        else if (f.type == T::Point)
            d->array[i] = {0, 0};
        else
            d->num[i] = f.def;
    }
    self.o->host = d;
}

template <int C> Value Ctor(Vm& vm, const Value& self, const Args& a) {
    if (self.IsObject())
        Init(vm, self, C, a);
    return Value();
}

Value Clone(Vm& vm, const Value& self, const Args&) {
    FilterData* d = DataOf(self);
    if (!d)
        return Value();
    Value copy = Construct(vm, "filters", Classes()[d->cls].name, nullptr, 0);
    if (DataOf(copy) != nullptr) {
        copy.o->host = std::make_shared<FilterData>(*d);
        Value map = vm.Get(self, "__mapBitmap");
        if (!map.IsUndefined())
            copy.o->Put("__mapBitmap", map, vm.caseSensitive(), kDontEnum);
    }
    return copy;
}

swf::Rgba Rgba(double rgb, double alpha) {
    const uint32_t c = uint32_t(rgb);
    return swf::Rgba{uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c),
                     uint8_t(std::lround(std::max(0.0, std::min(1.0, alpha)) * 255))};
}

// What the renderer draws for a filter object's settings.
swf::Filter ToSwf(const FilterData& d) {
    const ClassInfo& info = Classes()[d.cls];
    swf::Filter f;
    f.kind = info.kind;
    auto get = [&](const char* name) -> size_t {
        for (size_t i = 0; i < info.fields.size(); i++)
            if (std::string(info.fields[i].name) == name)
                return i;
        return kMaxFields;
    };
    auto num = [&](const char* name, double def) {
        const size_t i = get(name);
        return i < kMaxFields ? d.num[i] : def;
    };
    f.blurX = float(num("blurX", 0));
    f.blurY = float(num("blurY", 0));
    f.passes = int(num("quality", 1));
    f.strength = float(num("strength", 1));
    f.distance = float(num("distance", 0));
    f.angle = float(num("angle", 0) * 3.14159265358979323846 / 180);
    f.knockout = num("knockout", 0) != 0;
    f.inner = num("inner", 0) != 0;
    f.compositeSource = num("hideObject", 0) == 0;
    const size_t type = get("type");
    if (type < kMaxFields) {
        f.inner = d.text[type] == "inner";
        f.onTop = d.text[type] == "full";
    }
    switch (info.kind) {
    case FilterKind::DropShadow:
    case FilterKind::Glow:
        f.color = Rgba(num("color", 0), num("alpha", 1));
        break;
    case FilterKind::Bevel:
        f.color = Rgba(num("shadowColor", 0), num("shadowAlpha", 1));
        f.highlight = Rgba(num("highlightColor", 0), num("highlightAlpha", 1));
        break;
    case FilterKind::GradientGlow:
    case FilterKind::GradientBevel: {
        const auto &c = d.array[get("colors")], &al = d.array[get("alphas")],
                   &r = d.array[get("ratios")];
        const size_t n = std::min({c.size(), al.size(), r.size(), size_t(16)});
        for (size_t k = 0; k < n; k++)
            f.stops.push_back(swf::GradientStop{uint8_t(r[k]), Rgba(c[k], al[k])});
        if (n > 0)
            f.color = f.stops.back().color;
        break;
    }
    case FilterKind::ColorMatrix: {
        const auto& m = d.array[0];
        for (size_t k = 0; k < 20 && k < m.size(); k++)
            f.matrix[k] = float(m[k]);
        break;
    }
    case FilterKind::Convolution: {
        f.matrixX = int(num("matrixX", 0));
        f.matrixY = int(num("matrixY", 0));
        const auto& m = d.array[get("matrix")];
        f.kernel.assign(size_t(f.matrixX) * f.matrixY, 0);
        for (size_t k = 0; k < f.kernel.size() && k < m.size(); k++)
            f.kernel[k] = float(m[k]);
        f.divisor = float(num("divisor", 1));
        f.bias = float(num("bias", 0));
        f.preserveAlpha = num("preserveAlpha", 1) != 0;
        f.clamp = num("clamp", 1) != 0;
        f.fallback = Rgba(num("color", 0), num("alpha", 0));
        f.inner = f.knockout = false;
        f.compositeSource = true;
        break;
    }
    case FilterKind::DisplacementMap: {
        f.map = d.map.pixels;
        const auto& p = d.array[get("mapPoint")];
        f.mapX = p.size() == 2 && std::isfinite(p[0]) ? int(p[0]) : 0;
        f.mapY = p.size() == 2 && std::isfinite(p[1]) ? int(p[1]) : 0;
        f.componentX = int(num("componentX", 0));
        f.componentY = int(num("componentY", 0));
        f.scaleX = float(num("scaleX", 0));
        f.scaleY = float(num("scaleY", 0));
        const std::string& mode = d.text[get("mode")];
        f.mode = mode == "clamp"    ? swf::Filter::Edge::Clamp
                 : mode == "ignore" ? swf::Filter::Edge::Ignore
                 : mode == "color"  ? swf::Filter::Edge::Color
                                    : swf::Filter::Edge::Wrap;
        f.fallback = Rgba(num("color", 0), num("alpha", 0));
        f.inner = f.knockout = false;
        f.compositeSource = true;
        break;
    }
    default:
        break;
    }
    return f;
}

// A script object for a filter the timeline placed (PlaceObject3).
Value FromSwf(Vm& vm, const swf::Filter& f) {
    int cls = -1;
    for (size_t i = 0; i < Classes().size(); i++)
        if (Classes()[i].kind == f.kind)
            cls = int(i);
    if (cls < 0)
        return Value();
    Value v = Construct(vm, "filters", Classes()[cls].name, nullptr, 0);
    FilterData* d = DataOf(v);
    if (d == nullptr)
        return v;
    const ClassInfo& info = Classes()[cls];
    auto rgb = [](swf::Rgba c) { return double(uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b); };
    auto alpha = [](swf::Rgba c) { return c.a / 255.0; };
    for (size_t i = 0; i < info.fields.size(); i++) {
        const std::string name = info.fields[i].name;
        double* n = &d->num[i];
        if (name == "blurX")
            *n = f.blurX;
        else if (name == "blurY")
            *n = f.blurY;
        else if (name == "quality")
            *n = f.passes;
        else if (name == "strength")
            *n = f.strength;
        else if (name == "distance")
            *n = f.distance;
        else if (name == "angle")
            *n = std::fmod(f.angle * 180 / 3.14159265358979323846, 360.0);
        else if (name == "color" || name == "shadowColor")
            *n = rgb(f.kind == FilterKind::Convolution ? f.fallback : f.color);
        else if (name == "alpha" || name == "shadowAlpha")
            *n = alpha(f.kind == FilterKind::Convolution ? f.fallback : f.color);
        else if (name == "highlightColor")
            *n = rgb(f.highlight);
        else if (name == "highlightAlpha")
            *n = alpha(f.highlight);
        else if (name == "inner")
            *n = f.inner;
        else if (name == "knockout")
            *n = f.knockout;
        else if (name == "hideObject")
            *n = !f.compositeSource;
        else if (name == "type")
            d->text[i] = f.inner ? "inner" : f.onTop ? "full" : "outer";
        else if (name == "matrixX")
            *n = f.matrixX;
        else if (name == "matrixY")
            *n = f.matrixY;
        else if (name == "divisor")
            *n = f.divisor;
        else if (name == "bias")
            *n = f.bias;
        else if (name == "clamp")
            *n = f.clamp;
        else if (name == "preserveAlpha")
            *n = f.preserveAlpha;
        else if (name == "matrix" && f.kind == FilterKind::ColorMatrix)
            d->array[i].assign(f.matrix, f.matrix + 20);
        else if (name == "matrix")
            d->array[i].assign(f.kernel.begin(), f.kernel.end());
        else if (name == "colors" || name == "alphas" || name == "ratios") {
            d->array[i].clear();
            for (const swf::GradientStop& s : f.stops)
                d->array[i].push_back(name == "colors"   ? rgb(s.color)
                                      : name == "alphas" ? alpha(s.color)
                                                         : double(s.ratio));
        }
    }
    return v;
}

// ---- MovieClip.filters and blendMode ----
Value ClipFilters(Vm& vm, const Value& self, const Args&) {
    if (!vm.ClipOf(self))
        return Value();
    // Copies of what was assigned, so changing them changes nothing until assigned again.
    Value kept = self.IsObject() ? vm.Get(self, "__filters") : Value();
    std::vector<Value> out;
    if (kept.IsObject() && kept.o->kind == Kind::Array) {
        for (const Value& f : kept.o->elements)
            out.push_back(Clone(vm, f, Args()));
    } else {
        for (const swf::Filter& f : vm.display()->GetFilters(vm.ClipOf(self)))
            out.push_back(FromSwf(vm, f));
    }
    return Value::Obj(vm.NewArray(std::move(out)));
}
Value ClipSetFilters(Vm& vm, const Value& self, const Args& a) {
    ClipId c = vm.ClipOf(self);
    if (!c)
        return Value();
    std::vector<swf::Filter> filters;
    std::vector<Value> kept;
    if (a[0].IsObject() && a[0].o->kind == Kind::Array) {
        for (size_t i = 0; i < a[0].o->elements.size() && filters.size() < swf::kMaxFilters; i++) {
            const Value f = a[0].o->elements[i];
            if (FilterData* d = DataOf(f)) {
                filters.push_back(ToSwf(*d));
                kept.push_back(Clone(vm, f, Args()));
            }
        }
    }
    self.o->Put("__filters", Value::Obj(vm.NewArray(std::move(kept))), vm.caseSensitive(),
                kDontEnum);
    vm.display()->SetFilters(c, filters);
    return Value();
}

const char* const kBlendNames[] = {"normal",  "normal", "layer",      "multiply", "screen",
                                   "lighten", "darken", "difference", "add",      "subtract",
                                   "invert",  "alpha",  "erase",      "overlay",  "hardlight"};
constexpr int kBlendCount = int(sizeof kBlendNames / sizeof kBlendNames[0]);
Value ClipBlendMode(Vm& vm, const Value& self, const Args&) {
    ClipId c = vm.ClipOf(self);
    if (!c)
        return Value();
    const int mode = int(vm.display()->GetBlendMode(c));
    return Value::Str(mode >= 0 && mode < kBlendCount ? kBlendNames[mode] : "normal");
}
Value ClipSetBlendMode(Vm& vm, const Value& self, const Args& a) {
    ClipId c = vm.ClipOf(self);
    if (!c)
        return Value();
    int mode = -1;
    if (a[0].IsNumber()) {
        // Numbers name the format's modes (1 normal .. 14 hard light).
        const double n = a[0].n;
        mode = n >= 1 && n < kBlendCount ? int(n) : -1;
    } else {
        const std::string s = vm.ToString(a[0]);
        for (int i = 1; i < kBlendCount; i++)
            if (s == kBlendNames[i])
                mode = i;
    }
    if (mode >= 0)
        vm.display()->SetBlendMode(c, mode <= 1 ? swf::BlendMode::Normal : swf::BlendMode(mode));
    return Value();
}

} // namespace

bool FilterOf(const Value& v, swf::Filter* out) {
    const FilterData* d = DataOf(v);
    if (d == nullptr)
        return false;
    *out = ToSwf(*d);
    return true;
}

void InstallFilters(Vm& vm) {
    Object* pkg = Package(vm, "filters");
    Object* base =
        Class(vm, pkg, "BitmapFilter", [](Vm&, const Value&, const Args&) { return Value(); });
    Method(vm, base, "clone", Clone);
    using Fn = NativeFn;
    static const Fn ctors[] = {Ctor<0>, Ctor<1>, Ctor<2>, Ctor<3>, Ctor<4>,
                               Ctor<5>, Ctor<6>, Ctor<7>, Ctor<8>};
    for (int i = 0; i < int(Classes().size()); i++) {
        Object* proto = Class(vm, pkg, Classes()[i].name, ctors[i]);
        proto->proto = base;
        Accessors(vm, proto, Classes()[i], std::make_index_sequence<kMaxFields>());
    }
    if (Object* clip = vm.Proto(Kind::Clip)) {
        Accessor(vm, clip, "filters", ClipFilters, ClipSetFilters);
        Accessor(vm, clip, "blendMode", ClipBlendMode, ClipSetBlendMode);
        // Drawn the same either way here; kept so scripts read back what they set.
        clip->Put("cacheAsBitmap", Value::Bool(false), false, kDontEnum);
    }
    if (Object* text = vm.Proto(Kind::Text)) {
        Accessor(vm, text, "filters", ClipFilters, ClipSetFilters);
    }
    if (Object* button = vm.ProtoNamed("Button")) {
        Accessor(vm, button, "filters", ClipFilters, ClipSetFilters);
        Accessor(vm, button, "blendMode", ClipBlendMode, ClipSetBlendMode);
    }
}

} // namespace avm1
