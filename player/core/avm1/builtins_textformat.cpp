// TextFormat: each property is a getter and setter on the prototype over a slot of the
// object, converting as Flash Player converts (the constructor truncates numbers; the
// setters round half to even from version 8 and truncate before, where margins, indent and
// leading cannot go below zero).
#include <cmath>

#include "player/core/avm1/builtins_text.h"

namespace avm1 {
namespace {

enum class Conv { String, Rounded, Margin, Color, Bool, Align, TabStops, Plain, Display };

struct SlotInfo {
    const char* name;
    Conv conv;
};

// In the constructor's argument order first.
const SlotInfo kSlots[] = {
    {"font", Conv::String},       {"size", Conv::Rounded},        {"color", Conv::Color},
    {"bold", Conv::Bool},         {"italic", Conv::Bool},         {"underline", Conv::Bool},
    {"url", Conv::String},        {"target", Conv::String},       {"align", Conv::Align},
    {"leftMargin", Conv::Margin}, {"rightMargin", Conv::Margin},  {"indent", Conv::Rounded},
    {"leading", Conv::Rounded},   {"blockIndent", Conv::Rounded}, {"tabStops", Conv::TabStops},
    {"bullet", Conv::Bool},       {"kerning", Conv::Bool},        {"letterSpacing", Conv::Plain},
    {"display", Conv::Display},
};
enum Slot {
    kFont,
    kSize,
    kColor,
    kBold,
    kItalic,
    kUnderline,
    kUrl,
    kTarget,
    kAlign,
    kLeftMargin,
    kRightMargin,
    kIndent,
    kLeading,
    kBlockIndent,
    kTabStops,
    kBullet,
    kKerning,
    kLetterSpacing,
    kDisplay,
    kSlotCount
};
static_assert(sizeof(kSlots) / sizeof(kSlots[0]) == kSlotCount, "slots");

const char* const kAligns[] = {"left", "right", "center", "justify"};

double RoundHalfEven(double d) {
    if (!std::isfinite(d)) {
        return d;
    }
    const double r = std::round(d);
    return std::fabs(d - std::trunc(d)) == 0.5 ? 2 * std::round(d / 2) : r;
}

bool IsFormat(const Value& v) {
    return v.IsObject() && v.o->kind == Kind::TextFormat && v.o->elements.size() == kSlotCount;
}

// A number as the constructor (truncating) or a setter of this version takes it.
double Whole(Vm& vm, const Value& v, bool ctor) {
    const double d = vm.ToNumber(v);
    return ctor || vm.version() < 8 ? std::trunc(d) : RoundHalfEven(d);
}

void Store(Vm& vm, Object* o, int slot, const Value& v, bool ctor) {
    Value& out = o->elements[slot];
    const Conv conv = kSlots[slot].conv;
    if (conv == Conv::Display) {
        const std::string s = v.IsString() ? v.s.get() : std::string();
        out = Value::Str(s == "inline" || s == "none" ? s : "block");
        return;
    }
    if (v.IsNullish()) {
        if (conv != Conv::Align) {
            out = Value::Null();
        }
        return;
    }
    switch (conv) {
    case Conv::String: {
        std::string text = vm.ToString(v);
        if (slot == kFont) {
            // Flash keeps 64 characters of a face name.
            const std::u32string codes = timeline::DecodeUtf8(text, 64);
            text = timeline::EncodeUtf8(codes);
        }
        out = Value::Str(text);
        break;
    }
    case Conv::Rounded: {
        double d = Whole(vm, v, ctor);
        if (!ctor && vm.version() < 8 && slot != kSize) {
            d = std::max(0.0, d);
        }
        out = Value::Num(d);
        break;
    }
    case Conv::Margin: {
        const double d = Whole(vm, v, ctor);
        out = Value::Num(ctor ? d : std::max(0.0, d));
        break;
    }
    case Conv::Color:
        out = Value::Num(double(ToUint32(vm.ToNumber(v))));
        break;
    case Conv::Bool:
        out = Value::Bool(ToBoolean(v, vm.version()));
        break;
    case Conv::Plain:
        out = Value::Num(vm.ToNumber(v));
        break;
    case Conv::Align: {
        std::string s = vm.ToString(v);
        for (char& c : s) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        for (const char* a : kAligns) {
            if (s == a) {
                out = Value::Str(a);
            }
        }
        break;
    }
    case Conv::TabStops: {
        if (!v.IsObject()) {
            out = Value::Null();
            break;
        }
        std::vector<Value> stops;
        const double n = vm.ToNumber(vm.Get(v, "length"));
        for (size_t i = 0; std::isfinite(n) && i < n && i < timeline::kMaxTabStops; ++i) {
            stops.push_back(Value::Num(Whole(vm, vm.Get(v, std::to_string(i)), ctor)));
        }
        out = Value::Obj(vm.NewArray(std::move(stops)));
        break;
    }
    case Conv::Display:
        break;
    }
}

template <int S> Value GetSlot(Vm& vm, const Value& self, const Args&) {
    if (!IsFormat(self)) {
        return Value();
    }
    const Value& v = self.o->elements[S];
    if (S == kTabStops && v.IsObject()) {
        return Value::Obj(vm.NewArray(v.o->elements)); // a copy: changing it changes nothing
    }
    return v;
}

template <int S> Value SetSlot(Vm& vm, const Value& self, const Args& a) {
    if (IsFormat(self)) {
        Store(vm, self.o, S, a[0], false);
    }
    return Value();
}

template <int... S> struct Accessors {
    static void Install(Vm& vm, Object* proto) {
        static const NativeFn getters[] = {GetSlot<S>...};
        static const NativeFn setters[] = {SetSlot<S>...};
        for (size_t i = 0; i < sizeof...(S); ++i) {
            Property& p = proto->Put(kSlots[i].name, Value(), false, 0);
            p.getter = vm.NewNative(getters[i]);
            p.setter = vm.NewNative(setters[i]);
        }
    }
};

Value Construct(Vm& vm, const Value& self, const Args& a) {
    if (!self.IsObject() || self.o->kind != Kind::TextFormat) {
        return Value();
    }
    self.o->elements.assign(kSlotCount, Value::Null());
    self.o->elements[kDisplay] = Value::Str("block");
    for (int s = 0; s <= kLeading; ++s) {
        Store(vm, self.o, s, a[size_t(s)], true);
    }
    return Value();
}

// getTextExtent: the text laid out on one line (or wrapped to `width`) in this format.
Value GetTextExtent(Vm& vm, const Value& self, const Args& a) {
    Object* o = vm.NewObject();
    if (!IsFormat(self)) {
        return Value::Obj(o);
    }
    const std::string text = vm.ToString(a[0]);
    const double width = a.size() > 1 ? vm.ToNumber(a[1]) : -1;
    TextMetrics m;
    if (vm.display()) {
        timeline::TextFieldState field;
        swf::EditText def;
        def.readOnly = true;
        def.bounds = swf::Rect{0, width >= 0 ? int32_t(std::min(width, 1e6) * 20) : 0, 0, 0};
        timeline::InitField(def, nullptr, vm.version(), &field);
        field.autoSize = 1;
        field.wordWrap = width >= 0;
        field.doc.SetDefaultFormat(ToTextFormat(self));
        field.doc.SetPlain(timeline::DecodeUtf8(text));
        m = vm.display()->MeasureField(field);
    }
    vm.Set(Value::Obj(o), "ascent", Value::Num(m.ascent));
    vm.Set(Value::Obj(o), "descent", Value::Num(m.descent));
    vm.Set(Value::Obj(o), "width", Value::Num(std::floor(m.width)));
    vm.Set(Value::Obj(o), "height", Value::Num(std::floor(m.height)));
    vm.Set(Value::Obj(o), "textFieldHeight", Value::Num(m.boxHeight));
    vm.Set(Value::Obj(o), "textFieldWidth", Value::Num(m.boxWidth));
    return Value::Obj(o);
}

} // namespace

timeline::TextFormat ToTextFormat(const Value& v) {
    timeline::TextFormat f;
    if (!IsFormat(v)) {
        return f;
    }
    const std::vector<Value>& s = v.o->elements;
    auto str = [&](int k) -> std::optional<std::string> {
        return s[k].IsString() ? std::optional<std::string>(s[k].s.get()) : std::nullopt;
    };
    auto num = [&](int k) -> std::optional<double> {
        return s[k].type == Type::Number && std::isfinite(s[k].n) ? std::optional<double>(s[k].n)
                                                                  : std::nullopt;
    };
    auto flag = [&](int k) -> std::optional<bool> {
        return s[k].type == Type::Boolean ? std::optional<bool>(s[k].b) : std::nullopt;
    };
    f.font = str(kFont);
    f.url = str(kUrl);
    f.target = str(kTarget);
    f.size = num(kSize);
    f.leftMargin = num(kLeftMargin);
    f.rightMargin = num(kRightMargin);
    f.indent = num(kIndent);
    f.blockIndent = num(kBlockIndent);
    f.leading = num(kLeading);
    f.letterSpacing = num(kLetterSpacing);
    if (s[kColor].type == Type::Number) {
        f.color = ToUint32(s[kColor].n);
    }
    if (s[kAlign].IsString()) {
        for (uint8_t k = 0; k < 4; ++k) {
            if (s[kAlign].s.get() == kAligns[k]) {
                f.align = k;
            }
        }
    }
    f.bold = flag(kBold);
    f.italic = flag(kItalic);
    f.underline = flag(kUnderline);
    f.kerning = flag(kKerning);
    f.bullet = flag(kBullet);
    if (s[kTabStops].IsObject()) {
        std::vector<double> stops;
        for (const Value& e : s[kTabStops].o->elements) {
            stops.push_back(e.type == Type::Number ? e.n : 0);
        }
        f.tabStops = stops;
    }
    return f;
}

Value FromTextFormat(Vm& vm, const timeline::TextFormat& f, const char* display) {
    Object* o = vm.NewObject(Kind::TextFormat);
    if (o == nullptr) {
        return Value();
    }
    o->elements.assign(kSlotCount, Value::Null());
    o->elements[kDisplay] = Value::Str(display);
    auto str = [&](int k, const std::optional<std::string>& v) {
        if (v) {
            o->elements[k] = Value::Str(*v);
        }
    };
    auto num = [&](int k, const std::optional<double>& v) {
        if (v) {
            o->elements[k] = Value::Num(*v);
        }
    };
    auto flag = [&](int k, const std::optional<bool>& v) {
        if (v) {
            o->elements[k] = Value::Bool(*v);
        }
    };
    str(kFont, f.font);
    str(kUrl, f.url);
    str(kTarget, f.target);
    num(kSize, f.size);
    num(kLeftMargin, f.leftMargin);
    num(kRightMargin, f.rightMargin);
    num(kIndent, f.indent);
    num(kBlockIndent, f.blockIndent);
    num(kLeading, f.leading);
    num(kLetterSpacing, f.letterSpacing);
    if (f.color) {
        o->elements[kColor] = Value::Num(double(*f.color));
    }
    if (f.align) {
        o->elements[kAlign] = Value::Str(kAligns[*f.align & 3]);
    }
    flag(kBold, f.bold);
    flag(kItalic, f.italic);
    flag(kUnderline, f.underline);
    flag(kKerning, f.kerning);
    flag(kBullet, f.bullet);
    if (f.tabStops) {
        std::vector<Value> stops;
        for (double d : *f.tabStops) {
            stops.push_back(Value::Num(d));
        }
        o->elements[kTabStops] = Value::Obj(vm.NewArray(std::move(stops)));
    }
    return Value::Obj(o);
}

void InstallTextFormat(Vm& vm) {
    Object* proto = vm.NewObject();
    vm.SetProto(Kind::TextFormat, proto);
    Object* ctor = vm.NewNative(Construct, proto, Kind::TextFormat);
    vm.global()->Put("TextFormat", Value::Obj(ctor), false, kDontEnum);
    Accessors<kFont, kSize, kColor, kBold, kItalic, kUnderline, kUrl, kTarget, kAlign, kLeftMargin,
              kRightMargin, kIndent, kLeading, kBlockIndent, kTabStops, kBullet, kKerning,
              kLetterSpacing, kDisplay>::Install(vm, proto);
    Method(vm, proto, "getTextExtent", GetTextExtent);
}

} // namespace avm1
