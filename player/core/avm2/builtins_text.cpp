// flash.text.TextFormat: every property null until set, each coerced as Flash Player does
// (whole-number ones rounded half to even, out of range the lowest; colour as an int;
// alignment one of its names).
#include <cmath>
#include <optional>

#include "player/core/avm2/display.h"

namespace avm2 {

namespace {

#define NATIVE(name) Value name(Vm& vm, const Value& self, Value* args, int argc)
#define UNUSED (void)vm, (void)self, (void)args, (void)argc

enum class As : uint8_t { Text, Whole, Color, Flag, Align, Number, Stops };

const struct {
    const char* name;
    As as;
} kProps[] = {{"font", As::Text},        {"size", As::Whole},           {"color", As::Color},
              {"bold", As::Flag},        {"italic", As::Flag},          {"underline", As::Flag},
              {"url", As::Text},         {"target", As::Text},          {"align", As::Align},
              {"leftMargin", As::Whole}, {"rightMargin", As::Whole},    {"indent", As::Whole},
              {"leading", As::Whole},    {"blockIndent", As::Whole},    {"bullet", As::Flag},
              {"kerning", As::Flag},     {"letterSpacing", As::Number}, {"tabStops", As::Stops}};
const int kCount = int(sizeof(kProps) / sizeof(kProps[0]));

struct Format : Extra {
    Value v[kCount];
    Format() {
        for (Value& x : v)
            x = Value::Null();
    }
    void Mark(Vm& vm) override {
        for (const Value& x : v)
            vm.MarkValue(x);
    }
};

Format* FormatOf(Vm& vm, const Value& self) {
    if (!self.IsObject() || !self.o->cls || !self.o->cls->IsSubclassOf(vm.Builtin("TextFormat")))
        return nullptr;
    if (!self.o->extra)
        self.o->extra.reset(new Format);
    return static_cast<Format*>(self.o->extra.get());
}

// As the processor rounds by default: half to even; NaN and out of range the lowest.
double Whole(double d) {
    const double r = std::nearbyint(d);
    return r >= -2147483648.0 && r <= 2147483647.0 ? r : -2147483648.0;
}

// The value a property takes; false with an error thrown when it refuses it.
bool Coerce(Vm& vm, As as, const Value& in, Value* out) {
    if (in.IsNullish()) {
        *out = Value::Null();
        return true;
    }
    switch (as) {
    case As::Text:
        *out = Value::Str(vm.ToString(in));
        break;
    case As::Whole:
        *out = Value::Num(Whole(vm.ToNumber(in)));
        break;
    case As::Color:
        *out = Value::Num(ToInt32(vm.ToNumber(in)));
        break;
    case As::Flag:
        *out = Value::Bool(ToBoolean(in));
        break;
    case As::Number:
        *out = Value::Num(vm.ToNumber(in));
        break;
    case As::Align: {
        const std::string s = vm.ToString(in);
        if (s != "left" && s != "center" && s != "right" && s != "justify" && s != "start" &&
            s != "end") {
            vm.ThrowError("ArgumentError", 2008,
                          "Error #2008: Parameter align must be one of the accepted values.");
            return false;
        }
        *out = Value::Str(s);
        break;
    }
    case As::Stops: {
        std::vector<Value> stops;
        const double n = vm.ToNumber(vm.Get(in, "length"));
        for (uint32_t i = 0; i < n && i < 10000 && !vm.throwing(); ++i)
            stops.push_back(Value::Num(Whole(vm.ToNumber(vm.Get(in, std::to_string(i))))));
        *out = Value::Obj(vm.NewArray(std::move(stops)));
        break;
    }
    }
    return !vm.throwing();
}

template <int I> NATIVE(GetProp) {
    UNUSED;
    Format* f = FormatOf(vm, self);
    return f ? f->v[I] : Value::Null();
}
template <int I> NATIVE(SetProp) {
    UNUSED;
    Value v;
    if (Format* f = FormatOf(vm, self))
        if (Coerce(vm, kProps[I].as, Arg(args, argc, 0), &v))
            f->v[I] = v;
    return Value();
}
template <int... I> struct Accessors {
    static constexpr NativeFn get[] = {GetProp<I>...};
    static constexpr NativeFn set[] = {SetProp<I>...};
};
using All = Accessors<0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17>;
static_assert(sizeof(All::get) / sizeof(All::get[0]) == kCount, "one accessor per property");

// The constructor's arguments set the first thirteen properties in their order.
NATIVE(TextFormatCtor) {
    UNUSED;
    Format* f = FormatOf(vm, self);
    for (int i = 0; i < argc && i < 13 && f; ++i) {
        Value v;
        if (!Coerce(vm, kProps[i].as, args[i], &v))
            return Value();
        f->v[i] = v;
    }
    return Value();
}

const char* const kAligns[] = {"left", "right", "center", "justify"};

} // namespace

timeline::TextFormat ToFieldFormat(Vm& vm, const Value& format) {
    timeline::TextFormat t;
    const Format* f = FormatOf(vm, format);
    if (f == nullptr)
        return t;
    auto number = [&](int i) -> std::optional<double> {
        return f->v[i].IsNullish() ? std::nullopt : std::optional<double>(vm.ToNumber(f->v[i]));
    };
    auto flag = [&](int i) -> std::optional<bool> {
        return f->v[i].IsNullish() ? std::nullopt : std::optional<bool>(ToBoolean(f->v[i]));
    };
    auto text = [&](int i) -> std::optional<std::string> {
        return f->v[i].IsNullish() ? std::nullopt
                                   : std::optional<std::string>(vm.ToString(f->v[i]));
    };
    t.font = text(0);
    t.size = number(1);
    if (!f->v[2].IsNullish())
        t.color = uint32_t(ToInt32(vm.ToNumber(f->v[2]))) & 0xFFFFFF;
    t.bold = flag(3);
    t.italic = flag(4);
    t.underline = flag(5);
    t.url = text(6);
    t.target = text(7);
    if (!f->v[8].IsNullish()) {
        // "start" and "end" are left and right in a left-to-right field.
        const std::string a = vm.ToString(f->v[8]);
        for (uint8_t k = 0; k < 4; ++k)
            if (a == kAligns[k])
                t.align = k;
        if (a == "start" || a == "end")
            t.align = a == "end" ? 1 : 0;
    }
    t.leftMargin = number(9);
    t.rightMargin = number(10);
    t.indent = number(11);
    t.leading = number(12);
    t.blockIndent = number(13);
    t.bullet = flag(14);
    t.kerning = flag(15);
    t.letterSpacing = number(16);
    if (f->v[17].IsObject()) {
        std::vector<double> stops;
        const double n = vm.ToNumber(vm.Get(f->v[17], "length"));
        for (uint32_t i = 0; i < n && i < timeline::kMaxTabStops && !vm.throwing(); ++i)
            stops.push_back(vm.ToNumber(vm.Get(f->v[17], std::to_string(i))));
        t.tabStops = std::move(stops);
    }
    return t;
}

Value FromFieldFormat(Vm& vm, const timeline::TextFormat& t) {
    const Value out = vm.ConstructClass(vm.Builtin("TextFormat"), nullptr, 0);
    Format* f = FormatOf(vm, out);
    if (f == nullptr)
        return out;
    auto number = [](const std::optional<double>& d) { return d ? Value::Num(*d) : Value::Null(); };
    auto flag = [](const std::optional<bool>& b) { return b ? Value::Bool(*b) : Value::Null(); };
    auto text = [](const std::optional<std::string>& s) {
        return s ? Value::Str(*s) : Value::Null();
    };
    f->v[0] = text(t.font);
    f->v[1] = number(t.size);
    f->v[2] = t.color ? Value::Num(double(*t.color & 0xFFFFFF)) : Value::Null();
    f->v[3] = flag(t.bold);
    f->v[4] = flag(t.italic);
    f->v[5] = flag(t.underline);
    f->v[6] = text(t.url);
    f->v[7] = text(t.target);
    f->v[8] = t.align ? Value::Str(kAligns[*t.align & 3]) : Value::Null();
    f->v[9] = number(t.leftMargin);
    f->v[10] = number(t.rightMargin);
    f->v[11] = number(t.indent);
    f->v[12] = number(t.leading);
    f->v[13] = number(t.blockIndent);
    f->v[14] = flag(t.bullet);
    f->v[15] = flag(t.kerning);
    f->v[16] = number(t.letterSpacing);
    if (t.tabStops) {
        std::vector<Value> stops;
        for (double d : *t.tabStops)
            stops.push_back(Value::Num(d));
        f->v[17] = Value::Obj(vm.NewArray(std::move(stops)));
    }
    return out;
}

void InstallText(Vm& vm) {
    ClassInfo* format =
        vm.DefineClass("flash.text", "TextFormat", vm.objectClass, Kind::Other, TextFormatCtor);
    for (int i = 0; i < kCount; ++i)
        vm.AddGetter(format, kProps[i].name, All::get[i], All::set[i]);
}

} // namespace avm2
