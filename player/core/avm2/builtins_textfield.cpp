// flash.text.TextField over the field state the ActionScript 1/2 runtime also uses: a field
// the timeline placed is read and changed on the stage; one a script made keeps its own state
// until it is added, and takes it back when removed. Text is counted against the heap.
#include <algorithm>
#include <cmath>
#include <utility>

#include "player/core/avm2/display.h"

namespace avm2 {

namespace {

#define NATIVE(name) Value name(Vm& vm, const Value& self, Value* args, int argc)
#define UNUSED (void)vm, (void)self, (void)args, (void)argc

const char* const kAutoSizes[] = {"none", "left", "right", "center"};
const char* const kGridFits[] = {"none", "pixel", "subpixel"};
const int kVersion = 10; // markup as Flash Player 10 and later reads it

struct Field {
    uint32_t id = 0; // on the stage; 0 while the script holds it
    timeline::TextFieldState* s = nullptr;
};

// A field made by `new TextField()`: 100 pixels square, Times New Roman 12, black, dynamic.
std::unique_ptr<timeline::TextFieldState> NewField() {
    swf::EditText def;
    def.color = swf::Rgba{0, 0, 0, 255};
    def.hasColor = true;
    def.bounds = swf::Rect{0, 2000, 0, 2000};
    def.readOnly = true;
    std::unique_ptr<timeline::TextFieldState> s(new timeline::TextFieldState);
    timeline::InitField(def, nullptr, kVersion, s.get());
    return s;
}

Field FieldOf(Vm& vm, const Value& self) {
    Field f;
    DisplayData* d = DisplayOf(self);
    if (d == nullptr || !self.o->cls->IsSubclassOf(vm.Builtin("TextField")))
        return f;
    if (d->timeline != 0 && vm.timeline() != nullptr)
        if ((f.s = vm.timeline()->TextField(d->timeline)) != nullptr) {
            f.id = d->timeline;
            return f;
        }
    if (!d->field)
        d->field = NewField();
    f.s = d->field.get();
    return f;
}

void Changed(Vm& vm, const Field& f) {
    if (vm.timeline() != nullptr)
        vm.timeline()->TextFieldChanged(f.id, *f.s);
}

render::FieldMetrics Measure(Vm& vm, const Field& f) {
    return vm.timeline() != nullptr ? vm.timeline()->MeasureField(*f.s) : render::FieldMetrics();
}

// The heap is charged for the most text the field has held, so a field rewritten every
// frame costs once and a hostile one stops at the cap.
bool Afford(Vm& vm, const Value& self, size_t chars) {
    const size_t bytes = chars * sizeof(char32_t);
    if (bytes > self.o->bytes)
        vm.heap().Account(self.o, bytes - self.o->bytes);
    if (vm.heap().OverCap()) {
        vm.Abort(RunResult::OutOfMemory);
        return false;
    }
    return true;
}

bool SetText(Vm& vm, const Value& self, const Field& f, const std::string& text, bool html) {
    if (!vm.StringFits(text.size()) || !Afford(vm, self, text.size()))
        return false;
    if (html)
        f.s->doc.ParseHtml(text, f.s->multiline, f.s->condenseWhite, kVersion);
    else
        f.s->doc.SetPlain(timeline::DecodeUtf8(text));
    Changed(vm, f);
    return true;
}

// One of `names`, else ArgumentError #2008 naming the parameter; -1 when refused.
int OneOf(Vm& vm, const Value& v, const char* const* names, int count, const char* param) {
    const std::string s = vm.ToString(v);
    for (int k = 0; k < count; ++k)
        if (s == names[k])
            return k;
    vm.ThrowError("ArgumentError", 2008,
                  std::string("Error #2008: Parameter ") + param +
                      " must be one of the accepted values.");
    return -1;
}

enum Prop {
    kText,
    kHtmlText,
    kLength,
    kTextColor,
    kAutoSize,
    kType,
    kWordWrap,
    kMultiline,
    kSelectable,
    kBorder,
    kBorderColor,
    kBackground,
    kBackgroundColor,
    kEmbedFonts,
    kCondenseWhite,
    kPassword,
    kMaxChars,
    kRestrict,
    kAntiAlias,
    kGridFit,
    kSharpness,
    kThickness,
    kMouseWheel,
    kScrollH,
    kScrollV,
    kTextWidth,
    kTextHeight,
    kNumLines,
    kMaxScrollV,
    kMaxScrollH,
    kBottomScrollV,
    kWidth,
    kHeight,
    kPropCount
};

const char* const kNames[] = {"text",
                              "htmlText",
                              "length",
                              "textColor",
                              "autoSize",
                              "type",
                              "wordWrap",
                              "multiline",
                              "selectable",
                              "border",
                              "borderColor",
                              "background",
                              "backgroundColor",
                              "embedFonts",
                              "condenseWhite",
                              "displayAsPassword",
                              "maxChars",
                              "restrict",
                              "antiAliasType",
                              "gridFitType",
                              "sharpness",
                              "thickness",
                              "mouseWheelEnabled",
                              "scrollH",
                              "scrollV",
                              "textWidth",
                              "textHeight",
                              "numLines",
                              "maxScrollV",
                              "maxScrollH",
                              "bottomScrollV",
                              "width",
                              "height"};
static_assert(sizeof(kNames) / sizeof(kNames[0]) == kPropCount, "a name per property");

double Pixels(int32_t twips) {
    return twips / 20.0;
}

template <int P> NATIVE(GetProp) {
    UNUSED;
    const Field f = FieldOf(vm, self);
    if (f.s == nullptr)
        return Value();
    const timeline::TextFieldState& s = *f.s;
    switch (P) {
    case kText:
        return Value::Str(timeline::EncodeUtf8(s.doc.text()));
    case kHtmlText:
        return Value::Str(s.doc.ToHtml());
    case kLength:
        return Value::Num(double(s.doc.text().size()));
    case kTextColor: {
        const auto& spans = s.doc.spans();
        return Value::Num(double((!spans.empty() ? spans.front().format.color
                                                 : s.doc.defaultFormat().color.value_or(0)) &
                                 0xFFFFFF));
    }
    case kAutoSize:
        return Value::Str(kAutoSizes[s.autoSize & 3]);
    case kType:
        return Value::Str(s.editable ? "input" : "dynamic");
    case kWordWrap:
        return Value::Bool(s.wordWrap);
    case kMultiline:
        return Value::Bool(s.multiline);
    case kSelectable:
        return Value::Bool(s.selectable);
    case kBorder:
        return Value::Bool(s.border);
    case kBorderColor:
        return Value::Num(s.borderColor);
    case kBackground:
        return Value::Bool(s.background);
    case kBackgroundColor:
        return Value::Num(s.backgroundColor);
    case kEmbedFonts:
        return Value::Bool(s.embedFonts);
    case kCondenseWhite:
        return Value::Bool(s.condenseWhite);
    case kPassword:
        return Value::Bool(s.password);
    case kMaxChars:
        return Value::Num(s.maxChars);
    case kRestrict:
        return s.restrict_.empty() ? Value::Null() : Value::Str(s.restrict_);
    case kAntiAlias:
        return Value::Str(s.advancedAntiAlias ? "advanced" : "normal");
    case kGridFit:
        return Value::Str(kGridFits[s.gridFit % 3]);
    case kSharpness:
        return Value::Num(s.sharpness);
    case kThickness:
        return Value::Num(s.thickness);
    case kMouseWheel:
        return Value::Bool(s.mouseWheelEnabled);
    case kScrollH:
        return Value::Num(s.hscroll);
    case kScrollV:
        return Value::Num(s.scroll);
    case kWidth:
    case kHeight: {
        const DisplayData* d = DisplayOf(self);
        const double scale = d ? std::fabs(P == kWidth ? d->scaleX : d->scaleY) : 1;
        return Value::Num(scale * (P == kWidth ? Pixels(s.bounds.xMax - s.bounds.xMin)
                                               : Pixels(s.bounds.yMax - s.bounds.yMin)));
    }
    default:
        break;
    }
    const render::FieldMetrics m = Measure(vm, f);
    switch (P) {
    case kTextWidth:
        return Value::Num(m.width);
    case kTextHeight:
        return Value::Num(m.height);
    case kNumLines:
        return Value::Num(m.lines);
    case kMaxScrollV:
        return Value::Num(m.maxScroll);
    case kMaxScrollH:
        return Value::Num(m.maxHScroll);
    default:
        return Value::Num(std::min(m.lines, s.scroll + m.bottomScroll - 1));
    }
}

template <int P> NATIVE(SetProp) {
    UNUSED;
    const Field f = FieldOf(vm, self);
    if (f.s == nullptr)
        return Value();
    timeline::TextFieldState& s = *f.s;
    const Value v = Arg(args, argc, 0);
    const bool flag = ToBoolean(v);
    switch (P) {
    case kText:
    case kHtmlText:
        SetText(vm, self, f, vm.ToString(v), P == kHtmlText);
        return Value();
    case kTextColor:
        s.doc.SetColor(uint32_t(ToInt32(vm.ToNumber(v))) & 0xFFFFFF);
        break;
    case kAutoSize: {
        const int k = OneOf(vm, v, kAutoSizes, 4, "autoSize");
        if (k < 0)
            return Value();
        s.autoSize = uint8_t(k);
        break;
    }
    case kType: {
        static const char* const types[] = {"dynamic", "input"};
        const int k = OneOf(vm, v, types, 2, "type");
        if (k < 0)
            return Value();
        s.editable = k == 1;
        break;
    }
    case kWordWrap:
        s.wordWrap = flag;
        break;
    case kMultiline:
        s.multiline = flag;
        break;
    case kSelectable:
        s.selectable = flag;
        break;
    case kBorder:
        s.border = flag;
        break;
    case kBorderColor:
        s.borderColor = uint32_t(ToInt32(vm.ToNumber(v))) & 0xFFFFFF;
        break;
    case kBackground:
        s.background = flag;
        break;
    case kBackgroundColor:
        s.backgroundColor = uint32_t(ToInt32(vm.ToNumber(v))) & 0xFFFFFF;
        break;
    case kEmbedFonts:
        s.embedFonts = flag;
        break;
    case kCondenseWhite:
        s.condenseWhite = flag;
        break;
    case kPassword:
        s.password = flag;
        break;
    case kMaxChars:
        s.maxChars = std::max(0, ToInt32(vm.ToNumber(v)));
        break;
    case kRestrict:
        s.restrict_ = v.IsNullish() ? std::string() : vm.ToString(v);
        break;
    case kAntiAlias: {
        static const char* const kinds[] = {"normal", "advanced"};
        const int k = OneOf(vm, v, kinds, 2, "antiAliasType");
        if (k < 0)
            return Value();
        s.advancedAntiAlias = k == 1;
        break;
    }
    case kGridFit: {
        const int k = OneOf(vm, v, kGridFits, 3, "gridFitType");
        if (k < 0)
            return Value();
        s.gridFit = uint8_t(k);
        break;
    }
    case kSharpness:
    case kThickness: {
        const double d = vm.ToNumber(v);
        if (std::isfinite(d))
            (P == kSharpness ? s.sharpness : s.thickness) = d;
        break;
    }
    case kMouseWheel:
        s.mouseWheelEnabled = flag;
        break;
    case kScrollH:
    case kScrollV: {
        const render::FieldMetrics m = Measure(vm, f);
        const int32_t want = ToInt32(vm.ToNumber(v));
        if (P == kScrollV)
            s.scroll = std::max(1, std::min(want, m.maxScroll));
        else
            s.hscroll = std::max(0, std::min(want, int32_t(m.maxHScroll)));
        break;
    }
    case kWidth:
    case kHeight: {
        // A field's size is its box, not a scale: what it shows is laid out anew.
        const DisplayData* d = DisplayOf(self);
        const double scale = d ? std::fabs(P == kWidth ? d->scaleX : d->scaleY) : 1;
        const double want = vm.ToNumber(v);
        if (!(scale > 0) || !std::isfinite(want))
            return Value();
        const int32_t twips = int32_t(std::max(0.0, std::min(std::round(want * 20 / scale), 1e7)));
        if (P == kWidth)
            s.bounds.xMax = s.bounds.xMin + twips;
        else
            s.bounds.yMax = s.bounds.yMin + twips;
        break;
    }
    default:
        return Value(); // read only
    }
    Changed(vm, f);
    return Value();
}

template <int... P> struct Accessors {
    static void Install(Vm& vm, ClassInfo* c) {
        static const NativeFn getters[] = {GetProp<P>...};
        static const NativeFn setters[] = {SetProp<P>...};
        for (size_t i = 0; i < sizeof...(P); ++i)
            vm.AddGetter(c, kNames[i], getters[i], setters[i]);
    }
};
template <size_t... I> Accessors<int(I)...> MakeAccessors(std::index_sequence<I...>);
using All = decltype(MakeAccessors(std::make_index_sequence<kPropCount>()));

// A character range as TextField's methods take it: -1 for the whole text, an end of -1 for
// the one character at the start.
bool Range(Vm& vm, const Field& f, Value* args, int argc, int first, size_t* from, size_t* to) {
    const size_t n = f.s->doc.text().size();
    const int32_t b = argc > first ? ToInt32(vm.ToNumber(args[first])) : -1;
    const int32_t e = argc > first + 1 ? ToInt32(vm.ToNumber(args[first + 1])) : -1;
    *from = b < 0 ? 0 : size_t(b);
    *to = b < 0 ? n : e < 0 ? *from + 1 : size_t(e);
    if (*from > n || *to > n || *from > *to) {
        vm.ThrowError("RangeError", 2006, "Error #2006: The supplied index is out of bounds.");
        return false;
    }
    return true;
}

NATIVE(GetTextFormat) {
    UNUSED;
    const Field f = FieldOf(vm, self);
    size_t from, to;
    if (f.s == nullptr || !Range(vm, f, args, argc, 0, &from, &to))
        return Value::Null();
    return FromFieldFormat(vm, f.s->doc.GetFormat(from, to));
}

NATIVE(SetTextFormat) {
    UNUSED;
    const Field f = FieldOf(vm, self);
    const Value format = Arg(args, argc, 0);
    size_t from, to;
    if (f.s == nullptr || !format.IsObject() || !Range(vm, f, args, argc, 1, &from, &to))
        return Value();
    if (from < to)
        f.s->doc.SetFormat(from, to, ToFieldFormat(vm, format));
    Changed(vm, f);
    return Value();
}

NATIVE(GetDefaultFormat) {
    UNUSED;
    const Field f = FieldOf(vm, self);
    return f.s ? FromFieldFormat(vm, f.s->doc.defaultFormat()) : Value::Null();
}

NATIVE(SetDefaultFormat) {
    UNUSED;
    const Field f = FieldOf(vm, self);
    const Value format = Arg(args, argc, 0);
    if (f.s != nullptr && format.IsObject())
        f.s->doc.SetDefaultFormat(ToFieldFormat(vm, format));
    return Value();
}

NATIVE(AppendText) {
    UNUSED;
    const Field f = FieldOf(vm, self);
    if (f.s == nullptr)
        return Value();
    const std::u32string more = timeline::DecodeUtf8(vm.ToString(Arg(args, argc, 0)));
    const size_t end = f.s->doc.text().size();
    if (Afford(vm, self, end + more.size())) {
        f.s->doc.Replace(end, end, more);
        Changed(vm, f);
    }
    return Value();
}

NATIVE(ReplaceText) {
    UNUSED;
    const Field f = FieldOf(vm, self);
    size_t from, to;
    if (f.s == nullptr || argc < 3 || !Range(vm, f, args, argc, 0, &from, &to))
        return Value();
    const std::u32string with = timeline::DecodeUtf8(vm.ToString(args[2]));
    if (Afford(vm, self, f.s->doc.text().size() + with.size())) {
        f.s->doc.Replace(from, to, with);
        Changed(vm, f);
    }
    return Value();
}

NATIVE(GetLineText) {
    UNUSED;
    const Field f = FieldOf(vm, self);
    if (f.s == nullptr)
        return Value::Str("");
    // Paragraphs stand for lines: a field that wraps breaks them further.
    const std::u32string& t = f.s->doc.text();
    int32_t line = ToInt32(vm.ToNumber(Arg(args, argc, 0)));
    size_t start = 0;
    while (line > 0 && start <= t.size()) {
        const size_t end = t.find(U'\r', start);
        if (end == std::u32string::npos)
            break;
        start = end + 1;
        --line;
    }
    if (line != 0 || start > t.size())
        return vm.ThrowError("RangeError", 2006,
                             "Error #2006: The supplied index is out of bounds.");
    const size_t end = t.find(U'\r', start);
    return Value::Str(
        timeline::EncodeUtf8(t.substr(start, end == std::u32string::npos ? end : end - start + 1)));
}

// Lines are laid out as the field's first one for now: its ascent and descent, the text's
// width.
NATIVE(GetLineMetrics) {
    UNUSED;
    const Field f = FieldOf(vm, self);
    if (f.s == nullptr)
        return Value::Null();
    const render::FieldMetrics m = Measure(vm, f);
    const int32_t line = ToInt32(vm.ToNumber(Arg(args, argc, 0)));
    if (line < 0 || line >= m.lines)
        return vm.ThrowError("RangeError", 2006,
                             "Error #2006: The supplied index is out of bounds.");
    Value v[6] = {Value::Num(2),        Value::Num(m.width),   Value::Num(m.ascent + m.descent),
                  Value::Num(m.ascent), Value::Num(m.descent), Value::Num(0)};
    return vm.ConstructClass(vm.Builtin("TextLineMetrics"), v, 6);
}

NATIVE(LineMetricsCtor) {
    UNUSED;
    static const char* const names[] = {"x", "width", "height", "ascent", "descent", "leading"};
    for (int i = 0; i < 6; ++i)
        vm.SetProperty(self, Name::Public(names[i]), Value::Num(vm.ToNumber(Arg(args, argc, i))));
    return Value();
}

// A Font: one bound to the movie's font names it; others name none. Registering changes
// nothing, since every font the movie holds is already there to draw with.
struct FontExtra : TaggedExtra<FontExtra> {
    Value name = Value::Null(), style = Value::Null(), type = Value::Null();
    void Mark(Vm& vm) override { vm.MarkValue(name), vm.MarkValue(style), vm.MarkValue(type); }
};
FontExtra* FontOf(const Value& v) {
    return v.IsObject() ? ExtraOf<FontExtra>(v.o->extra) : nullptr;
}
NATIVE(FontCtor) {
    UNUSED;
    auto* e = new FontExtra;
    self.o->extra.reset(e);
    std::string name;
    bool bold = false, italic = false;
    if (vm.timeline() != nullptr &&
        vm.timeline()->LibraryFont(self.o->cls, &name, &bold, &italic)) {
        e->name = Value::Str(name);
        e->style = Value::Str(bold && italic ? "boldItalic"
                              : bold         ? "bold"
                              : italic       ? "italic"
                                             : "regular");
        e->type = Value::Str("embedded");
    }
    return Value();
}
template <int I> NATIVE(FontField) {
    UNUSED;
    const FontExtra* e = FontOf(self);
    return e == nullptr ? Value::Null() : I == 0 ? e->name : I == 1 ? e->style : e->type;
}
NATIVE(HasGlyphs) {
    UNUSED;
    return Value::Bool(FontOf(self) != nullptr);
}

NATIVE(TextFieldCtor) {
    UNUSED;
    const Value made = DisplayCtor(vm, self, args, argc);
    FieldOf(vm, self);
    return made;
}

} // namespace

void InstallTextField(Vm& vm, ClassInfo* interactive) {
    ClassInfo* c =
        vm.DefineClass("flash.text", "TextField", interactive, Kind::Dispatcher, TextFieldCtor);
    All::Install(vm, c);
    // Left open: properties not kept yet (styleSheet and such) must not throw when set.
    c->sealed = false;
    static const Native cNatives[] = {
        Accessor("defaultTextFormat", GetDefaultFormat, SetDefaultFormat),
        Fn("getTextFormat", GetTextFormat),
        Fn("setTextFormat", SetTextFormat),
        Fn("appendText", AppendText),
        Fn("replaceText", ReplaceText),
        Fn("getLineText", GetLineText),
        Fn("getLineMetrics", GetLineMetrics),
    };
    vm.AddNatives(c, cNatives);
    ClassInfo* metrics = vm.DefineClass("flash.text", "TextLineMetrics", vm.objectClass,
                                        Kind::Plain, LineMetricsCtor);
    metrics->sealed = false;
    ClassInfo* font = vm.DefineClass("flash.text", "Font", vm.objectClass, Kind::Plain, FontCtor);
    static const Native fontNatives[] = {
        Accessor("fontName", FontField<0>),        Accessor("fontStyle", FontField<1>),
        Accessor("fontType", FontField<2>),        Fn("hasGlyphs", HasGlyphs),
        StaticFn("registerFont", answer::Nothing), StaticFn("enumerateFonts", answer::EmptyArray),
    };
    vm.AddNatives(font, fontNatives);
}

} // namespace avm2
