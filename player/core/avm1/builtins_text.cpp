// TextField: its properties are getters and setters on the prototype over the field's
// state on stage (DisplayBridge::TextField); formats go through TextFormat objects.
#include "player/core/avm1/builtins_text.h"

#include <cmath>

namespace avm1 {
namespace {

enum Prop {
    kText,
    kHtmlText,
    kHtml,
    kMultiline,
    kWordWrap,
    kPassword,
    kSelectable,
    kEmbedFonts,
    kCondenseWhite,
    kBorder,
    kBackground,
    kBorderColor,
    kBackgroundColor,
    kTextColor,
    kType,
    kAutoSize,
    kVariable,
    kMaxChars,
    kRestrict,
    kLength,
    kScroll,
    kMaxScroll,
    kHScroll,
    kMaxHScroll,
    kBottomScroll,
    kTextWidth,
    kTextHeight,
    kMouseWheelEnabled,
    kAntiAliasType,
    kGridFitType,
    kSharpness,
    kThickness,
    kPropCount
};

const char* const kNames[] = {
    "text",
    "htmlText",
    "html",
    "multiline",
    "wordWrap",
    "password",
    "selectable",
    "embedFonts",
    "condenseWhite",
    "border",
    "background",
    "borderColor",
    "backgroundColor",
    "textColor",
    "type",
    "autoSize",
    "variable",
    "maxChars",
    "restrict",
    "length",
    "scroll",
    "maxscroll",
    "hscroll",
    "maxhscroll",
    "bottomScroll",
    "textWidth",
    "textHeight",
    "mouseWheelEnabled",
    "antiAliasType",
    "gridFitType",
    "sharpness",
    "thickness",
};
static_assert(sizeof(kNames) / sizeof(kNames[0]) == kPropCount, "names");

const char* const kAutoSizes[] = {"none", "left", "right", "center"};
const char* const kGridFits[] = {"none", "pixel", "subpixel"};

struct Field {
    ClipId id = 0;
    timeline::TextFieldState* state = nullptr;
};

Field FieldOf(Vm& vm, const Value& self) {
    Field f;
    if (vm.display() && self.IsObject() && self.o->kind == Kind::Text) {
        f.id = vm.ClipOf(self);
        f.state = f.id ? vm.display()->TextField(f.id) : nullptr;
    }
    return f;
}

// Text that would take the field past the memory cap stops the script instead.
bool Afford(Vm& vm, size_t bytes) {
    vm.heap().Charge(bytes * sizeof(char32_t));
    if (vm.heap().OverCap()) {
        vm.Abort(RunResult::OutOfMemory);
        return false;
    }
    return true;
}

double Rgb(const Value& v, Vm& vm) {
    return double(ToUint32(vm.ToNumber(v)) & 0xFFFFFF);
}

template <int P> Value GetProp(Vm& vm, const Value& self, const Args&) {
    const Field f = FieldOf(vm, self);
    if (f.state == nullptr) {
        return Value();
    }
    timeline::TextFieldState& s = *f.state;
    switch (P) {
    case kText:
        return Value::Str(timeline::EncodeUtf8(s.doc.text()));
    case kHtmlText: {
        // A field given a style sheet answers its markup even when not set to HTML.
        const bool markup = s.html || vm.Get(self, "styleSheet").IsObject();
        return Value::Str(markup ? s.doc.ToHtml() : timeline::EncodeUtf8(s.doc.text()));
    }
    case kHtml:
        return Value::Bool(s.html);
    case kMultiline:
        return Value::Bool(s.multiline);
    case kWordWrap:
        return Value::Bool(s.wordWrap);
    case kPassword:
        return Value::Bool(s.password);
    case kSelectable:
        return Value::Bool(s.selectable);
    case kEmbedFonts:
        return Value::Bool(s.embedFonts);
    case kCondenseWhite:
        return Value::Bool(s.condenseWhite);
    case kBorder:
        return Value::Bool(s.border);
    case kBackground:
        return Value::Bool(s.background);
    case kBorderColor:
        return Value::Num(s.borderColor);
    case kBackgroundColor:
        return Value::Num(s.backgroundColor);
    case kTextColor: {
        const auto& spans = s.doc.spans();
        const uint32_t c =
            !spans.empty() ? spans.front().format.color : s.doc.defaultFormat().color.value_or(0);
        return Value::Num(c & 0xFFFFFF);
    }
    case kType:
        return Value::Str(s.editable ? "input" : "dynamic");
    case kAutoSize:
        return Value::Str(kAutoSizes[s.autoSize & 3]);
    case kVariable:
        return s.variable.empty() ? Value::Null() : Value::Str(s.variable);
    case kMaxChars:
        return s.maxChars > 0 ? Value::Num(s.maxChars) : Value::Null();
    case kRestrict:
        return s.restrict_.empty() ? Value::Null() : Value::Str(s.restrict_);
    case kLength:
        return Value::Num(double(s.doc.text().size()));
    case kScroll:
        return Value::Num(s.scroll);
    case kHScroll:
        return Value::Num(s.hscroll);
    case kMouseWheelEnabled:
        return Value::Bool(s.mouseWheelEnabled);
    case kAntiAliasType:
        return Value::Str(s.advancedAntiAlias ? "advanced" : "normal");
    case kGridFitType:
        return Value::Str(kGridFits[s.gridFit % 3]);
    case kSharpness:
        return Value::Num(s.sharpness);
    case kThickness:
        return Value::Num(s.thickness);
    default:
        break;
    }
    const TextMetrics m = vm.display()->MeasureField(s);
    switch (P) {
    case kMaxScroll:
        return Value::Num(m.maxScroll);
    case kMaxHScroll:
        return Value::Num(m.maxHScroll);
    case kBottomScroll:
        return Value::Num(std::min(m.lines, s.scroll + m.bottomScroll - 1));
    // Whole pixels, as Flash 8 and before report them.
    case kTextWidth:
        return Value::Num(std::floor(m.width));
    case kTextHeight:
        return Value::Num(std::floor(m.height));
    default:
        return Value();
    }
}

template <int P> Value SetProp(Vm& vm, const Value& self, const Args& a) {
    const Field f = FieldOf(vm, self);
    if (f.state == nullptr) {
        return Value();
    }
    timeline::TextFieldState& s = *f.state;
    const Value& v = a[0];
    const bool flag = ToBoolean(v, vm.version());
    bool textChanged = false;
    switch (P) {
    case kText: {
        const std::string t = vm.ToString(v);
        if (!Afford(vm, t.size())) {
            return Value();
        }
        s.doc.SetPlain(timeline::DecodeUtf8(t));
        textChanged = true;
        break;
    }
    case kHtmlText: {
        const std::string t = vm.ToString(v);
        if (!Afford(vm, t.size())) {
            return Value();
        }
        if (s.html) {
            s.doc.ParseHtml(t, s.multiline, s.condenseWhite, vm.version());
        } else {
            s.doc.SetPlain(timeline::DecodeUtf8(t));
        }
        textChanged = true;
        break;
    }
    case kHtml:
        if (s.html && !flag) {
            // A field leaving HTML forgets the alignment its markup gave new text.
            timeline::TextFormat left;
            left.align = 0;
            s.doc.SetDefaultFormat(left);
        }
        s.html = flag;
        break;
    case kMultiline:
        s.multiline = flag;
        break;
    case kWordWrap:
        s.wordWrap = flag;
        break;
    case kPassword:
        s.password = flag;
        break;
    case kSelectable:
        s.selectable = flag;
        break;
    case kEmbedFonts:
        s.embedFonts = flag;
        break;
    case kCondenseWhite:
        s.condenseWhite = flag;
        break;
    case kBorder:
        s.border = flag;
        break;
    case kBackground:
        s.background = flag;
        break;
    case kBorderColor:
        s.borderColor = uint32_t(Rgb(v, vm));
        break;
    case kBackgroundColor:
        s.backgroundColor = uint32_t(Rgb(v, vm));
        break;
    case kTextColor:
        s.doc.SetColor(uint32_t(Rgb(v, vm)));
        break;
    case kType: {
        const std::string t = vm.ToString(v);
        if (t == "input" || t == "dynamic") {
            s.editable = t == "input";
        }
        break;
    }
    case kAutoSize: {
        uint8_t mode = 0;
        if (v.type == Type::Boolean) {
            mode = v.b ? 1 : 0;
        } else {
            std::string t = vm.ToString(v);
            for (char& c : t) {
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            for (uint8_t k = 0; k < 4; ++k) {
                mode = t == kAutoSizes[k] ? k : mode;
            }
        }
        s.autoSize = mode;
        break;
    }
    case kVariable:
        s.variable = v.IsNullish() ? std::string() : vm.ToString(v);
        break;
    case kMaxChars: {
        const double d = vm.ToNumber(v);
        s.maxChars = std::isfinite(d) && d > 0 ? ClampInt(d) : 0;
        break;
    }
    case kRestrict:
        s.restrict_ = v.IsNullish() ? std::string() : vm.ToString(v);
        break;
    case kScroll:
    case kHScroll: {
        const double d = vm.ToNumber(v);
        if (!std::isfinite(d)) {
            break;
        }
        const TextMetrics m = vm.display()->MeasureField(s);
        if (P == kScroll) {
            // Flash wraps the value to 32 bits and keeps the line counted from 0, so the
            // lowest integer wraps again, to the last line.
            const int32_t line = int32_t(uint32_t(ToInt32(d)) - 1u);
            s.scroll = std::max(0, std::min(line, m.maxScroll - 1)) + 1;
        } else {
            s.hscroll = std::max(0, std::min(ClampInt(d), int(m.maxHScroll)));
        }
        break;
    }
    case kMouseWheelEnabled:
        s.mouseWheelEnabled = flag;
        break;
    case kAntiAliasType: {
        const std::string t = vm.ToString(v);
        if (t == "normal" || t == "advanced") {
            s.advancedAntiAlias = t == "advanced";
        }
        break;
    }
    case kGridFitType: {
        const std::string t = vm.ToString(v);
        for (uint8_t k = 0; k < 3; ++k) {
            s.gridFit = t == kGridFits[k] ? k : s.gridFit;
        }
        break;
    }
    case kSharpness:
    case kThickness: {
        const double d = vm.ToNumber(v);
        if (std::isfinite(d)) {
            (P == kSharpness ? s.sharpness : s.thickness) = d;
        }
        break;
    }
    default:
        return Value(); // read only
    }
    vm.display()->TextFieldChanged(f.id, textChanged);
    return Value();
}

template <int... P> struct Accessors {
    static void Install(Vm& vm, Object* proto) {
        static const NativeFn getters[] = {GetProp<P>...};
        static const NativeFn setters[] = {SetProp<P>...};
        for (size_t i = 0; i < sizeof...(P); ++i) {
            Property& p = proto->Put(kNames[i], Value(), false, kDontEnum);
            p.getter = vm.NewNative(getters[i]);
            p.setter = vm.NewNative(setters[i]);
        }
    }
};

// Index arguments as Flash reads them: negative and NaN are 0.
size_t Index(Vm& vm, const Value& v) {
    const double d = vm.ToNumber(v);
    return std::isfinite(d) && d > 0 ? size_t(std::min(d, 4e9)) : 0;
}

Value GetTextFormat(Vm& vm, const Value& self, const Args& a) {
    const Field f = FieldOf(vm, self);
    if (f.state == nullptr) {
        return Value();
    }
    size_t from = 0, to = f.state->doc.text().size();
    if (a.size() >= 2 && !a[0].IsUndefined() && !a[1].IsUndefined()) {
        from = Index(vm, a[0]);
        to = Index(vm, a[1]);
    } else if (a.size() >= 1 && !a[0].IsUndefined()) {
        from = Index(vm, a[0]);
        to = from + 1;
    }
    return FromTextFormat(vm, f.state->doc.GetFormat(from, to));
}

Value SetTextFormat(Vm& vm, const Value& self, const Args& a) {
    const Field f = FieldOf(vm, self);
    if (f.state == nullptr || a.size() == 0 || !a[a.size() - 1].IsObject()) {
        return Value();
    }
    const timeline::TextFormat tf = ToTextFormat(a[a.size() - 1]);
    size_t from = 0, to = f.state->doc.text().size();
    if (a.size() > 2) {
        from = Index(vm, a[0]);
        to = Index(vm, a[1]);
    } else if (a.size() > 1) {
        from = Index(vm, a[0]);
        to = from + 1;
    }
    f.state->doc.SetFormat(from, to, tf);
    vm.display()->TextFieldChanged(f.id, false);
    return Value();
}

Value GetNewTextFormat(Vm& vm, const Value& self, const Args&) {
    const Field f = FieldOf(vm, self);
    return f.state ? FromTextFormat(vm, f.state->doc.defaultFormat()) : Value();
}

Value SetNewTextFormat(Vm& vm, const Value& self, const Args& a) {
    const Field f = FieldOf(vm, self);
    if (f.state != nullptr && a[0].IsObject()) {
        f.state->doc.SetDefaultFormat(ToTextFormat(a[0]));
    }
    return Value();
}

Value ReplaceText(Vm& vm, const Value& self, const Args& a) {
    const Field f = FieldOf(vm, self);
    if (f.state == nullptr || a.size() < 3) {
        return Value();
    }
    const std::string t = vm.ToString(a[2]);
    if (!Afford(vm, t.size())) {
        return Value();
    }
    const size_t len = f.state->doc.text().size();
    const size_t from = std::min(Index(vm, a[0]), len), to = std::min(Index(vm, a[1]), len);
    f.state->doc.Replace(from, to, timeline::DecodeUtf8(t));
    vm.display()->TextFieldChanged(f.id, true);
    return Value();
}

// With no selection (nothing has focus in a screen saver), there is nothing to replace.
Value ReplaceSel(Vm&, const Value&, const Args&) {
    return Value();
}

Value RemoveTextField(Vm& vm, const Value& self, const Args&) {
    const Field f = FieldOf(vm, self);
    if (f.id) {
        vm.display()->Remove(f.id);
    }
    return Value();
}

Value GetDepth(Vm& vm, const Value& self, const Args&) {
    const Field f = FieldOf(vm, self);
    return f.id ? vm.display()->Get(f.id, DisplayProp::Depth) : Value();
}

Value FieldToString(Vm& vm, const Value& self, const Args&) {
    return Value::Str(self.IsObject() ? vm.TargetPath(self.o) : "");
}

Value FontList(Vm& vm, const Value&, const Args&) {
    return Value::Obj(
        vm.NewArray({Value::Str("_sans"), Value::Str("_serif"), Value::Str("_typewriter")}));
}

Value Nothing(Vm&, const Value&, const Args&) {
    return Value();
}

Value True(Vm&, const Value&, const Args&) {
    return Value::Bool(true);
}

// tabIndex keeps undefined, or a whole number: a field's as unsigned 32 bits, a clip's or
// button's as a signed one, with NaN and whatever lies outside it read as its lowest value.
Value GetTabIndex(Vm& vm, const Value& self, const Args&) {
    return self.IsObject() ? vm.Get(self, "__tabIndex") : Value();
}
template <bool Unsigned> Value SetTabIndex(Vm& vm, const Value& self, const Args& a) {
    if (!self.IsObject()) {
        return Value();
    }
    Value v;
    if (!a[0].IsUndefined()) {
        const double n = vm.ToNumber(a[0]);
        if (Unsigned) {
            v = Value::Num(double(ToUint32(n)));
        } else {
            const bool inside = n > -2147483649.0 && n < 2147483648.0;
            v = Value::Num(inside ? std::trunc(n) : -2147483648.0);
        }
    }
    self.o->Put("__tabIndex", v, false, kDontEnum);
    return Value();
}

} // namespace

void AddTabIndex(Vm& vm, Object* proto, bool enumerable, bool asUnsigned) {
    Property& p = proto->Put("tabIndex", Value(), false, enumerable ? 0 : kDontEnum);
    p.getter = vm.NewNative(GetTabIndex);
    p.setter = vm.NewNative(asUnsigned ? SetTabIndex<true> : SetTabIndex<false>);
}

void InstallTextField(Vm& vm) {
    Object* proto = vm.NewObject();
    vm.SetProto(Kind::Text, proto);
    Object* ctor = vm.NewNative(Nothing, proto);
    vm.global()->Put("TextField", Value::Obj(ctor), false, kDontEnum);
    Accessors<kText, kHtmlText, kHtml, kMultiline, kWordWrap, kPassword, kSelectable, kEmbedFonts,
              kCondenseWhite, kBorder, kBackground, kBorderColor, kBackgroundColor, kTextColor,
              kType, kAutoSize, kVariable, kMaxChars, kRestrict, kLength, kScroll, kMaxScroll,
              kHScroll, kMaxHScroll, kBottomScroll, kTextWidth, kTextHeight, kMouseWheelEnabled,
              kAntiAliasType, kGridFitType, kSharpness, kThickness>::Install(vm, proto);
    struct Entry {
        const char* name;
        NativeFn fn;
    };
    static const Entry methods[] = {
        {"getTextFormat", GetTextFormat},
        {"setTextFormat", SetTextFormat},
        {"getNewTextFormat", GetNewTextFormat},
        {"setNewTextFormat", SetNewTextFormat},
        {"replaceText", ReplaceText},
        {"replaceSel", ReplaceSel},
        {"removeTextField", RemoveTextField},
        {"getDepth", GetDepth},
        {"toString", FieldToString},
        {"addListener", True},
        {"removeListener", True},
    };
    for (const Entry& e : methods) {
        Method(vm, proto, e.name, e.fn);
    }
    Method(vm, ctor, "getFontList", FontList);
    InstallStyleSheet(vm, ctor);
    InstallTextSnapshot(vm);
    // Flash lists a field's and a button's tabIndex among their properties, not a clip's.
    AddTabIndex(vm, proto, true, true);
    if (Object* clip = vm.Proto(Kind::Clip)) {
        AddTabIndex(vm, clip, false, false);
    }
    if (Object* button = vm.ProtoNamed("Button")) {
        AddTabIndex(vm, button, true, false);
    }
}

} // namespace avm1
