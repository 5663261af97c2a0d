// flash.text.TextFormat: every property null until set, each coerced as Flash Player does
// (whole-number ones rounded half to even, out of range the lowest; colour as an int;
// alignment one of its names).
#include <cmath>

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

} // namespace

void InstallText(Vm& vm) {
    ClassInfo* format =
        vm.DefineClass("flash.text", "TextFormat", vm.objectClass, Kind::Other, TextFormatCtor);
    for (int i = 0; i < kCount; ++i)
        vm.AddGetter(format, kProps[i].name, All::get[i], All::set[i]);
}

} // namespace avm2
