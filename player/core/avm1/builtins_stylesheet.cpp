// TextField.StyleSheet: styles kept as the script gave them (in `_css`) and as the
// TextFormats they turn into (in `_styles`), a CSS reader, and `transform`, which maps CSS
// properties onto a TextFormat as Flash Player does.
#include <cctype>
#include <cmath>

#include "player/core/avm1/builtins_text.h"

namespace avm1 {
namespace {

// A CSS sheet larger than this is refused rather than read.
const size_t kMaxCss = 1u << 20;

Value ShallowCopy(Vm& vm, const Value& v) {
    if (!v.IsObject()) {
        return Value::Null();
    }
    Object* copy = vm.NewObject();
    if (copy == nullptr) {
        return Value::Null();
    }
    for (const std::string& k : vm.Keys(v.o)) {
        vm.Set(Value::Obj(copy), k, vm.Get(v, k));
    }
    return Value::Obj(copy);
}

Object* Table(Vm& vm, const Value& self, const char* name) {
    Value t = vm.Get(self, name);
    if (!t.IsObject()) {
        t = Value::Obj(vm.NewArray());
        vm.Set(self, name, t);
    }
    return t.IsObject() ? t.o : nullptr;
}

// parseInt's reading of a CSS length ("12px"), as a 32-bit integer.
int32_t Length(Vm& vm, const Value& v) {
    const Value n = vm.CallMethod(Value::Obj(vm.global()), "parseInt", &v, 1);
    return ToInt32(vm.ToNumber(n));
}

std::string Lower(std::string s) {
    for (char& c : s) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

std::string Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r\n");
    const size_t b = s.find_last_not_of(" \t\r\n");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

// "Arial, 'Times New Roman', sans-serif" as Flash names the faces.
std::string FontList(const std::string& css) {
    std::string out;
    size_t at = 0;
    while (at <= css.size()) {
        size_t comma = css.find(',', at);
        comma = comma == std::string::npos ? css.size() : comma;
        // Flash drops the spaces before a face, not those after it.
        std::string face = css.substr(at, comma - at);
        face = face.substr(std::min(face.size(), face.find_first_not_of(" \t\r\n")));
        if (face.size() >= 2 && (face[0] == '"' || face[0] == '\'') && face.back() == face[0]) {
            face = face.substr(1, face.size() - 2);
        }
        const std::string lower = Lower(face);
        face = lower == "sans-serif"                     ? "_sans"
               : lower == "serif"                        ? "_serif"
               : lower == "mono" || lower == "monospace" ? "_typewriter"
                                                         : face;
        if (!face.empty()) {
            out += (out.empty() ? "" : ",") + face;
        }
        at = comma + 1;
    }
    return out;
}

Value Transform(Vm& vm, const Value&, const Args& a) {
    if (a.size() == 0 || a[0].IsNullish()) {
        return Value::Null();
    }
    timeline::TextFormat f;
    f.kerning = false;
    const char* display = "block";
    if (a[0].IsObject()) {
        const Value& s = a[0];
        auto style = [&](const char* name, Value* out) {
            *out = vm.Get(s, name);
            return !out->IsUndefined();
        };
        Value v;
        if (style("color", &v) && v.IsString()) {
            const std::string c = v.s;
            if (c.size() == 7 && c[0] == '#' &&
                c.find_first_not_of("0123456789abcdefABCDEF", 1) == std::string::npos) {
                f.color = uint32_t(std::strtoul(c.c_str() + 1, nullptr, 16));
            }
        }
        if (style("display", &v)) {
            const std::string d = vm.ToString(v);
            display = d == "none" ? "none" : d == "inline" ? "inline" : "block";
        }
        if (style("fontFamily", &v) && ToBoolean(v, vm.version())) {
            f.font = FontList(vm.ToString(v));
        }
        if (style("fontSize", &v)) {
            const int32_t size = Length(vm, v);
            if (size > 0) {
                f.size = double(size);
            }
        }
        const std::string fontStyle = vm.ToString(vm.Get(s, "fontStyle"));
        if (fontStyle == "normal" || fontStyle == "italic") {
            f.italic = fontStyle == "italic";
        }
        const std::string weight = vm.ToString(vm.Get(s, "fontWeight"));
        if (weight == "normal" || weight == "bold") {
            f.bold = weight == "bold";
        }
        if (style("kerning", &v)) {
            f.kerning = (v.IsString() && v.s.get() == "true") || Length(vm, v) != 0;
        }
        if (style("leading", &v) && ToBoolean(v, vm.version())) {
            f.leading = double(Length(vm, v));
        }
        if (style("letterSpacing", &v) && ToBoolean(v, vm.version())) {
            f.letterSpacing =
                vm.ToNumber(vm.CallMethod(Value::Obj(vm.global()), "parseInt", &v, 1));
        }
        if (style("marginLeft", &v) && ToBoolean(v, vm.version())) {
            f.leftMargin = double(std::max(0, Length(vm, v)));
        }
        if (style("marginRight", &v) && ToBoolean(v, vm.version())) {
            f.rightMargin = double(std::max(0, Length(vm, v)));
        }
        if (style("textAlign", &v)) {
            const std::string al = Lower(vm.ToString(v));
            static const char* const names[] = {"left", "right", "center", "justify"};
            for (uint8_t k = 0; k < 4; ++k) {
                if (al == names[k]) {
                    f.align = k;
                }
            }
        }
        if (style("textDecoration", &v)) {
            const std::string d = vm.ToString(v);
            if (d == "none" || d == "underline") {
                f.underline = d == "underline";
            }
        }
        if (style("textIndent", &v) && ToBoolean(v, vm.version())) {
            f.indent = double(Length(vm, v));
        }
    }
    return FromTextFormat(vm, f, display);
}

Value SetStyle(Vm& vm, const Value& self, const Args& a) {
    if (!self.IsObject()) {
        return Value();
    }
    Object* css = Table(vm, self, "_css");
    Object* styles = Table(vm, self, "_styles");
    if (css == nullptr || styles == nullptr) {
        return Value();
    }
    const std::string name = vm.ToString(a[0]);
    vm.Set(Value::Obj(css), name, ShallowCopy(vm, a[1]));
    const Value copy = ShallowCopy(vm, a[1]);
    vm.Set(Value::Obj(styles), name, vm.CallMethod(self, "transform", &copy, 1));
    return Value();
}

Value GetStyle(Vm& vm, const Value& self, const Args& a) {
    const Value css = vm.Get(self, "_css");
    return css.IsObject() ? ShallowCopy(vm, vm.Get(css, vm.ToString(a[0]))) : Value::Null();
}

Value GetStyleNames(Vm& vm, const Value& self, const Args&) {
    std::vector<Value> names;
    const Value css = vm.Get(self, "_css");
    if (css.IsObject()) {
        for (const std::string& k : vm.Keys(css.o)) {
            names.push_back(Value::Str(k));
        }
    }
    return Value::Obj(vm.NewArray(std::move(names)));
}

Value Clear(Vm& vm, const Value& self, const Args&) {
    vm.Set(self, "_styles", Value::Obj(vm.NewArray()));
    vm.Set(self, "_css", Value::Obj(vm.NewArray()));
    return Value();
}

// "a, b { color: #FF0000; font-size: 12px } /* note */": each selector's properties, dashes
// turned into camel case; false when a block is left open.
Value ParseCss(Vm& vm, const Value& self, const Args& a) {
    const std::string css = vm.ToString(a[0]);
    if (css.size() > kMaxCss) {
        return Value::Bool(false);
    }
    std::string text;
    for (size_t i = 0; i < css.size(); ++i) {
        if (css.compare(i, 2, "/*") == 0) {
            const size_t end = css.find("*/", i + 2);
            if (end == std::string::npos) {
                return Value::Bool(false);
            }
            i = end + 1;
            continue;
        }
        text += css[i];
    }
    for (size_t at = 0; at < text.size();) {
        const size_t open = text.find('{', at);
        if (open == std::string::npos) {
            if (!Trim(text.substr(at)).empty()) {
                return Value::Bool(false);
            }
            break;
        }
        const size_t close = text.find('}', open);
        if (close == std::string::npos) {
            return Value::Bool(false);
        }
        Object* props = vm.NewObject();
        if (props == nullptr) {
            return Value::Bool(false);
        }
        const std::string body = text.substr(open + 1, close - open - 1);
        for (size_t p = 0; p < body.size();) {
            size_t semi = body.find(';', p);
            semi = semi == std::string::npos ? body.size() : semi;
            const std::string decl = body.substr(p, semi - p);
            const size_t colon = decl.find(':');
            if (colon != std::string::npos) {
                std::string key = Trim(decl.substr(0, colon)), camel;
                for (size_t k = 0; k < key.size(); ++k) {
                    if (key[k] == '-' && k + 1 < key.size()) {
                        camel +=
                            static_cast<char>(std::toupper(static_cast<unsigned char>(key[++k])));
                    } else {
                        camel += key[k];
                    }
                }
                vm.Set(Value::Obj(props), camel, Value::Str(Trim(decl.substr(colon + 1))));
            }
            p = semi + 1;
        }
        const std::string selectors = text.substr(at, open - at);
        for (size_t s = 0; s <= selectors.size();) {
            size_t comma = selectors.find(',', s);
            comma = comma == std::string::npos ? selectors.size() : comma;
            const std::string name = Trim(selectors.substr(s, comma - s));
            if (!name.empty()) {
                const Value args[] = {Value::Str(name), Value::Obj(props)};
                SetStyle(vm, self, Args{args, 2});
            }
            s = comma + 1;
        }
        at = close + 1;
    }
    return Value::Bool(true);
}

Value Refuse(Vm&, const Value&, const Args&) {
    return Value::Bool(false); // no file or network is reached
}

Value Construct(Vm&, const Value& self, const Args&) {
    return self;
}

} // namespace

void InstallStyleSheet(Vm& vm, Object* textField) {
    Object* proto = vm.NewObject();
    Object* ctor = vm.NewNative(Construct, proto);
    textField->Put("StyleSheet", Value::Obj(ctor), false, kDontEnum);
    struct Entry {
        const char* name;
        NativeFn fn;
    };
    static const Entry methods[] = {
        {"setStyle", SetStyle}, {"getStyle", GetStyle},   {"getStyleNames", GetStyleNames},
        {"clear", Clear},       {"transform", Transform}, {"parseCSS", ParseCss},
        {"parse", ParseCss},    {"load", Refuse},
    };
    for (const Entry& e : methods) {
        Method(vm, proto, e.name, e.fn);
    }
}

} // namespace avm1
