// Object, Function, Class, Boolean, Number, int, uint, String, Math, Namespace, the Error
// family and the global functions.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "player/core/avm2/case_map.h"
#include "player/core/avm2/vm.h"
#include "player/core/avm2/vm_internal.h"
#include "player/core/swf/number_text.h"
#include "player/core/swf/utf8.h"

namespace avm2 {

std::string RegExpReplace(Vm& vm, const std::string& s, const Value& pattern, const Value& with);
Value RegExpMatch(Vm& vm, const std::string& s, const Value& pattern);
int RegExpSearch(Vm& vm, const std::string& s, const Value& pattern);
Value RegExpSplit(Vm& vm, const std::string& s, const Value& pattern, uint32_t limit);

namespace {

#define NATIVE(name) Value name(Vm& vm, const Value& self, Value* args, int argc)
#define UNUSED (void)vm, (void)self, (void)args, (void)argc

double Num(Vm& vm, Value* args, int argc, int i, double fallback = std::nan("")) {
    return i < argc ? vm.ToNumber(args[i]) : fallback;
}

std::string Str(Vm& vm, Value* args, int argc, int i, const char* fallback = "undefined") {
    return i < argc ? vm.ToString(args[i]) : std::string(fallback);
}

// ---- Object ----
NATIVE(ObjectCtor) {
    UNUSED;
    return Value();
}
NATIVE(ObjectCall) {
    UNUSED;
    if (argc > 0 && !args[0].IsNullish())
        return args[0];
    return Value::Obj(vm.NewObject());
}
NATIVE(ObjectHasOwn) {
    UNUSED;
    const std::string name = Str(vm, args, argc, 0);
    if (self.IsObject()) {
        Object* o = self.o;
        uint32_t i;
        if ((o->kind == Kind::Array || o->kind == Kind::Vector) && IsIndex(name, &i))
            return Value::Bool(i < o->elems.size() && !o->elems[i].IsHole());
        if (o->dyn && o->dyn->Find(name))
            return Value::Bool(true);
        Name n = Name::Public(name);
        if (o->own && o->own->Find(name, n))
            return Value::Bool(true);
        if (o->kind != Kind::Class && o->cls) {
            const Binding* b = o->cls->inst.Find(name, n);
            return Value::Bool(b &&
                               (b->k == Binding::Slot || b->k == Binding::Const ||
                                b->k == Binding::Accessor || b->k == Binding::Method) &&
                               (b->ns != kAnyNs || b->k != Binding::Method));
        }
        return Value::Bool(false);
    }
    if (self.IsString() && name == "length")
        return Value::Bool(true);
    return Value::Bool(false);
}
NATIVE(ObjectIsEnumerable) {
    UNUSED;
    const std::string name = Str(vm, args, argc, 0);
    if (!self.IsObject())
        return Value::Bool(false);
    uint32_t i;
    if ((self.o->kind == Kind::Array || self.o->kind == Kind::Vector) && IsIndex(name, &i))
        return Value::Bool(i < self.o->elems.size() && !self.o->elems[i].IsHole());
    DynProps::Entry* e = self.o->dyn ? self.o->dyn->FindEntry(name) : nullptr;
    return Value::Bool(e && e->enumerable);
}
NATIVE(ObjectSetEnumerable) {
    UNUSED;
    // A Dictionary's keys stay enumerable in Flash whatever is asked.
    if (self.IsObject() && self.o->dyn && self.o->kind != Kind::Dictionary)
        if (DynProps::Entry* e = self.o->dyn->FindEntry(Str(vm, args, argc, 0)))
            e->enumerable = argc > 1 ? ToBoolean(args[1]) : true;
    return Value();
}
NATIVE(ObjectIsPrototypeOf) {
    UNUSED;
    if (!self.IsObject() || argc < 1 || !args[0].IsObject())
        return Value::Bool(false);
    for (Object* p = args[0].o->proto; p; p = p->proto)
        if (p == self.o)
            return Value::Bool(true);
    return Value::Bool(false);
}
NATIVE(ObjectToString) {
    UNUSED;
    if (self.IsObject()) {
        if (self.o->kind == Kind::Class)
            return Value::Str("[class " + self.o->info->name + "]");
        if (self.o->kind == Kind::Function)
            return Value::Str("function Function() {}");
        if (self.o->kind == Kind::Global)
            return Value::Str("[object global]");
        ClassInfo* c = self.o->cls;
        // A prototype object names the class it belongs to.
        if (self.o->dyn && !self.o->cls) {
        }
        return Value::Str("[object " + (c ? c->name : std::string("Object")) + "]");
    }
    if (self.IsNullish())
        return Value::Str("[object global]");
    return Value::Str(vm.ToString(self));
}
NATIVE(ObjectValueOf) {
    UNUSED;
    return self;
}

// ---- Function ----
NATIVE(FunctionEmpty) {
    UNUSED;
    return Value();
}
// new Function() and Function(): an empty function (Flash compiles no source text).
NATIVE(FunctionMake) {
    UNUSED;
    return Value::Obj(vm.NewNativeFunction("Function", FunctionEmpty));
}
NATIVE(FunctionCall) {
    UNUSED;
    const Value thisArg = argc > 0 ? args[0] : Value();
    return vm.Call(self, thisArg, argc > 1 ? args + 1 : nullptr, argc > 1 ? argc - 1 : 0);
}
NATIVE(FunctionApply) {
    UNUSED;
    const Value thisArg = argc > 0 ? args[0] : Value();
    std::vector<Value> list;
    if (argc > 1 && args[1].IsObject()) {
        Object* a = args[1].o;
        list = a->elems;
        // Arrays keep no holes apart from undefined, so an undefined element reads through
        // the prototype chain as a hole would.
        for (size_t i = 0; i < list.size(); ++i) {
            if (list[i].IsUndefined() && a->proto && a->proto->dyn) {
                if (const Value* v = a->proto->dyn->Find(std::to_string(i)))
                    list[i] = *v;
            }
        }
    }
    return vm.Call(self, thisArg, list.empty() ? nullptr : list.data(), int(list.size()));
}
NATIVE(FunctionLength) {
    UNUSED;
    if (self.IsObject() && self.o->method && self.o->method->abc)
        return Value::Num(
            double(self.o->method->abc->methods[self.o->method->index].paramTypes.size()));
    if (self.IsObject() && self.o->method)
        return Value::Num(self.o->method->length);
    return Value::Num(0);
}
NATIVE(FunctionToString) {
    UNUSED;
    return Value::Str("function Function() {}");
}

// ---- Class ----
NATIVE(ClassPrototype) {
    UNUSED;
    if (self.IsObject() && self.o->kind == Kind::Class)
        return Value::Obj(self.o->info->prototype);
    return Value();
}

// ---- Boolean ----
NATIVE(BooleanCall) {
    UNUSED;
    return Value::Bool(argc > 0 && ToBoolean(args[0]));
}
NATIVE(BooleanToString) {
    UNUSED;
    if (self.type != Type::Boolean)
        return vm.ThrowError("TypeError", 1004,
                             "Error #1004: Method Boolean.prototype.toString was invoked on an "
                             "incompatible object.");
    return Value::Str(self.b ? "true" : "false");
}
NATIVE(PrimitiveValueOf) {
    UNUSED;
    return self;
}

// ---- Number, int, uint ----
NATIVE(NumberCall) {
    UNUSED;
    return Value::Num(argc > 0 ? vm.ToNumber(args[0]) : 0);
}
NATIVE(IntCall) {
    UNUSED;
    return Value::Num(argc > 0 ? ToInt32(vm.ToNumber(args[0])) : 0);
}
NATIVE(UintCall) {
    UNUSED;
    return Value::Num(argc > 0 ? ToUint32(vm.ToNumber(args[0])) : 0);
}
NATIVE(NumberToStringM) {
    UNUSED;
    const double d = vm.ToNumber(self);
    const int radix = argc > 0 && !args[0].IsUndefined() ? ClampInt(vm.ToNumber(args[0])) : 10;
    if (radix < 2 || radix > 36)
        return vm.ThrowError("RangeError", 1003,
                             "Error #1003: The radix argument must be between 2 and 36; got " +
                                 std::to_string(radix) + ".");
    return Value::Str(NumberToRadix(d, radix));
}
NATIVE(NumberToFixed) {
    UNUSED;
    const double d = vm.ToNumber(self);
    const int digits = ClampInt(Num(vm, args, argc, 0, 0));
    if (digits < 0 || digits > 20)
        return vm.ThrowError("RangeError", 1002,
                             "Error #1002: Number.toFixed has a range of 0 to 20. Value supplied " +
                                 std::to_string(digits) + " is not valid.");
    if (std::isnan(d) || std::isinf(d) || std::fabs(d) >= 1e21)
        return Value::Str(NumberToString(d));
    std::string s = swf::PrintFixed(d, digits);
    if (s == "-0" ||
        (s.size() > 1 && s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos))
        s = s.substr(1);
    return Value::Str(s);
}
NATIVE(NumberToPrecision) {
    UNUSED;
    const double d = vm.ToNumber(self);
    if (argc < 1 || args[0].IsUndefined())
        return Value::Str(NumberToString(d));
    const int p = ClampInt(vm.ToNumber(args[0]));
    if (p < 1 || p > 21)
        return vm.ThrowError(
            "RangeError", 1002,
            "Error #1002: Number.toPrecision has a range of 1 to 21. Value supplied " +
                std::to_string(p) + " is not valid.");
    if (std::isnan(d) || std::isinf(d))
        return Value::Str(NumberToString(d));
    const int e = d == 0 ? 0 : int(std::floor(std::log10(std::fabs(d))));
    if (e < -6 || e >= p) {
        const std::string s = swf::PrintExponential(d, p - 1);
        const size_t at = s.find('e');
        std::string mant = s.substr(0, at), ex = s.substr(at + 1);
        const int ev = std::atoi(ex.c_str());
        return Value::Str(mant + "e" + (ev < 0 ? "-" : "+") + std::to_string(std::abs(ev)));
    }
    return Value::Str(swf::PrintFixed(d, std::max(0, p - 1 - e)));
}
NATIVE(NumberToExponential) {
    UNUSED;
    const double d = vm.ToNumber(self);
    const int digits = ClampInt(Num(vm, args, argc, 0, 0));
    const std::string s = swf::PrintExponential(d, std::max(0, std::min(20, digits)));
    const size_t at = s.find('e');
    const int ev = std::atoi(s.c_str() + at + 1);
    return Value::Str(s.substr(0, at) + "e" + (ev < 0 ? "-" : "+") + std::to_string(std::abs(ev)));
}

// ---- String ----
NATIVE(StringCall) {
    UNUSED;
    return Value::Str(argc > 0 ? vm.ToString(args[0]) : std::string());
}
std::string This(Vm& vm, const Value& self) {
    return self.type == Type::String ? self.s.get() : vm.ToString(self);
}
// Only a missing argument takes the default: an undefined one is NaN, so 0.
int Index(Vm& vm, Value* args, int argc, int i, int fallback, int size) {
    double d = i < argc ? vm.ToNumber(args[i]) : fallback;
    if (std::isnan(d))
        d = 0;
    if (d < 0)
        d = 0;
    if (d > size)
        d = size;
    return int(d);
}
// Positions count UTF-16 code units, as Flash's strings do; text is kept as UTF-8.
std::u16string Units(const std::string& s) {
    std::u16string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const uint8_t c = uint8_t(s[i]);
        uint32_t cp = c;
        size_t len = 1;
        if (c >= 0xF0 && i + 3 < s.size()) {
            cp = ((c & 7u) << 18) | ((uint8_t(s[i + 1]) & 63u) << 12) |
                 ((uint8_t(s[i + 2]) & 63u) << 6) | (uint8_t(s[i + 3]) & 63u);
            len = 4;
        } else if (c >= 0xE0 && i + 2 < s.size()) {
            cp = ((c & 15u) << 12) | ((uint8_t(s[i + 1]) & 63u) << 6) | (uint8_t(s[i + 2]) & 63u);
            len = 3;
        } else if (c >= 0xC0 && i + 1 < s.size()) {
            cp = ((c & 31u) << 6) | (uint8_t(s[i + 1]) & 63u);
            len = 2;
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += char16_t(0xD800 + (cp >> 10));
            out += char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            out += char16_t(cp);
        }
    }
    return out;
}
std::string Utf8(const std::u16string& u, size_t from = 0, size_t count = std::u16string::npos) {
    std::string out;
    const size_t end = count == std::u16string::npos ? u.size() : std::min(u.size(), from + count);
    for (size_t i = from; i < end; ++i) {
        uint32_t c = u[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < end && u[i + 1] >= 0xDC00 && u[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (u[i + 1] - 0xDC00);
            ++i;
        }
        swf::Utf8Append(out, c, true);
    }
    return out;
}
bool Ascii(const std::string& s) {
    for (char c : s)
        if (uint8_t(c) >= 0x80)
            return false;
    return true;
}
NATIVE(StringLength) {
    UNUSED;
    const std::string s = This(vm, self);
    return Value::Num(double(Ascii(s) ? s.size() : Units(s).size()));
}
NATIVE(StringCharAt) {
    UNUSED;
    const std::u16string s = Units(This(vm, self));
    double i = Num(vm, args, argc, 0, 0);
    if (std::isnan(i))
        i = 0;
    if (i < 0 || i >= double(s.size()))
        return Value::Str("");
    return Value::Str(Utf8(s, size_t(i), 1));
}
NATIVE(StringCharCodeAt) {
    UNUSED;
    const std::u16string s = Units(This(vm, self));
    double i = Num(vm, args, argc, 0, 0);
    if (std::isnan(i))
        i = 0;
    if (i < 0 || i >= double(s.size()))
        return Value::Num(std::nan(""));
    return Value::Num(s[size_t(i)]);
}
// indexOf(null) and indexOf(undefined) find nothing: the String parameter holds them as null.
NATIVE(StringIndexOf) {
    UNUSED;
    if (argc > 0 && args[0].IsNullish())
        return Value::Num(-1);
    const std::u16string s = Units(This(vm, self)), t = Units(Str(vm, args, argc, 0));
    const int from = Index(vm, args, argc, 1, 0, int(s.size()));
    const size_t at = s.find(t, size_t(from));
    return Value::Num(at == std::u16string::npos ? -1 : double(at));
}
NATIVE(StringLastIndexOf) {
    UNUSED;
    if (argc > 0 && args[0].IsNullish())
        return Value::Num(-1);
    const std::u16string s = Units(This(vm, self)), t = Units(Str(vm, args, argc, 0));
    double d = argc > 1 && !args[1].IsUndefined() ? vm.ToNumber(args[1]) : INFINITY;
    if (std::isnan(d))
        d = INFINITY;
    if (d < 0)
        return Value::Num(t.empty() ? 0 : -1);
    const size_t from = d >= double(s.size()) ? s.size() : size_t(d);
    const size_t at = s.rfind(t, from);
    return Value::Num(at == std::u16string::npos ? -1 : double(at));
}
NATIVE(StringSubstring) {
    UNUSED;
    const std::u16string s = Units(This(vm, self));
    int a = Index(vm, args, argc, 0, 0, int(s.size()));
    int b = Index(vm, args, argc, 1, int(s.size()), int(s.size()));
    if (a > b)
        std::swap(a, b);
    return Value::Str(Utf8(s, size_t(a), size_t(b - a)));
}
int Relative(Vm& vm, Value* args, int argc, int i, int fallback, int size) {
    double d = i < argc ? vm.ToNumber(args[i]) : fallback;
    if (std::isnan(d))
        d = 0;
    if (d < 0)
        d = std::max(0.0, size + d);
    return int(std::min(d, double(size)));
}
NATIVE(StringSlice) {
    UNUSED;
    const std::u16string s = Units(This(vm, self));
    const int a = Relative(vm, args, argc, 0, 0, int(s.size()));
    const int b = Relative(vm, args, argc, 1, int(s.size()), int(s.size()));
    return Value::Str(b > a ? Utf8(s, size_t(a), size_t(b - a)) : std::string());
}
NATIVE(StringSubstr) {
    UNUSED;
    const std::u16string s = Units(This(vm, self));
    const int a = Relative(vm, args, argc, 0, 0, int(s.size()));
    double len = argc > 1 ? vm.ToNumber(args[1]) : double(s.size());
    if (std::isnan(len))
        len = 0;
    len = std::min(std::max(len, 0.0), double(s.size()) - a);
    return Value::Str(Utf8(s, size_t(a), size_t(len)));
}
// Each UTF-16 unit through Flash's one-to-one case table.
Value MapCase(Vm& vm, const Value& self, uint32_t (*map)(uint32_t)) {
    std::string s = This(vm, self);
    if (Ascii(s)) {
        for (char& c : s)
            c = char(map(uint8_t(c)));
        return Value::Str(s);
    }
    std::u16string u = Units(s);
    for (char16_t& c : u)
        c = char16_t(map(c));
    return Value::Str(Utf8(u));
}
NATIVE(StringUpper) {
    UNUSED;
    return MapCase(vm, self, ToUpperCase);
}
NATIVE(StringLower) {
    UNUSED;
    return MapCase(vm, self, ToLowerCase);
}
NATIVE(StringConcat) {
    UNUSED;
    std::string s = This(vm, self);
    for (int i = 0; i < argc; ++i)
        s += vm.ToString(args[i]);
    return Value::Str(s);
}
NATIVE(StringSplit) {
    UNUSED;
    const std::string s = This(vm, self);
    const uint32_t limit =
        argc > 1 && !args[1].IsUndefined() ? ToUint32(vm.ToNumber(args[1])) : 0xFFFFFFFFu;
    if (argc > 0 && args[0].IsObject() && args[0].o->kind == Kind::RegExp)
        return RegExpSplit(vm, s, args[0], limit);
    std::vector<Value> out;
    if (argc == 0 || args[0].IsUndefined()) {
        out.push_back(Value::Str(s));
    } else {
        const std::string sep = vm.ToString(args[0]);
        if (sep.empty()) {
            for (size_t i = 0; i < s.size() && out.size() < limit; ++i)
                out.push_back(Value::Str(s.substr(i, 1)));
        } else {
            size_t at = 0;
            while (out.size() < limit) {
                const size_t next = s.find(sep, at);
                out.push_back(Value::Str(
                    s.substr(at, next == std::string::npos ? std::string::npos : next - at)));
                if (next == std::string::npos)
                    break;
                at = next + sep.size();
            }
        }
    }
    return Value::Obj(vm.NewArray(std::move(out)));
}
NATIVE(StringReplace) {
    UNUSED;
    return Value::Str(RegExpReplace(vm, This(vm, self), Arg(args, argc, 0), Arg(args, argc, 1)));
}
NATIVE(StringMatch) {
    UNUSED;
    return RegExpMatch(vm, This(vm, self), Arg(args, argc, 0));
}
NATIVE(StringSearch) {
    UNUSED;
    return Value::Num(RegExpSearch(vm, This(vm, self), Arg(args, argc, 0)));
}
// The difference of the first UTF-16 units that differ, else of the lengths.
NATIVE(StringLocaleCompare) {
    UNUSED;
    const std::u16string a = Units(This(vm, self)), b = Units(Str(vm, args, argc, 0));
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (a[i] != b[i])
            return Value::Num(double(a[i]) - double(b[i]));
    return Value::Num(double(a.size()) - double(b.size()));
}
NATIVE(StringToString) {
    UNUSED;
    return Value::Str(This(vm, self));
}
NATIVE(StringFromCharCode) {
    UNUSED;
    std::string s;
    for (int i = 0; i < argc; ++i)
        swf::Utf8Append(s, ToUint32(vm.ToNumber(args[i])) & 0xFFFF, true);
    return Value::Str(s);
}

// ---- Math ----
#define MATH1(name, expr)                                                                          \
    NATIVE(name) {                                                                                 \
        UNUSED;                                                                                    \
        const double x = Num(vm, args, argc, 0);                                                   \
        return Value::Num(expr);                                                                   \
    }
MATH1(MathAbs, std::fabs(x))
MATH1(MathAcos, std::acos(x))
MATH1(MathAsin, std::asin(x))
MATH1(MathAtan, std::atan(x))
MATH1(MathCeil, std::ceil(x))
MATH1(MathCos, std::cos(x))
MATH1(MathExp, std::exp(x))
MATH1(MathFloor, std::floor(x))
MATH1(MathLog, std::log(x))
MATH1(MathRound, std::floor(x + 0.5))
MATH1(MathSin, std::sin(x))
MATH1(MathSqrt, std::sqrt(x))
MATH1(MathTan, std::tan(x))
NATIVE(MathAtan2) {
    UNUSED;
    return Value::Num(std::atan2(Num(vm, args, argc, 0), Num(vm, args, argc, 1)));
}
NATIVE(MathPow) {
    UNUSED;
    const double x = Num(vm, args, argc, 0), y = Num(vm, args, argc, 1);
    if (std::isnan(y) || (std::fabs(x) == 1 && std::isinf(y)))
        return Value::Num(std::nan(""));
    return Value::Num(std::pow(x, y));
}
NATIVE(MathMax) {
    UNUSED;
    double r = -INFINITY;
    for (int i = 0; i < argc; ++i) {
        const double x = vm.ToNumber(args[i]);
        if (std::isnan(x))
            return Value::Num(x);
        if (x > r || (x == 0 && r == 0 && !std::signbit(x)))
            r = x;
    }
    return Value::Num(r);
}
NATIVE(MathMin) {
    UNUSED;
    double r = INFINITY;
    for (int i = 0; i < argc; ++i) {
        const double x = vm.ToNumber(args[i]);
        if (std::isnan(x))
            return Value::Num(x);
        if (x < r || (x == 0 && r == 0 && std::signbit(x)))
            r = x;
    }
    return Value::Num(r);
}
NATIVE(MathRandom) {
    UNUSED;
    return Value::Num(vm.Random());
}

// ---- Error ----
NATIVE(ErrorCtor) {
    UNUSED;
    if (!self.IsObject())
        return Value();
    Object* o = self.o;
    const Value msg = argc > 0 ? args[0] : Value::Str("");
    vm.Set(self, "message", msg.IsUndefined() ? Value::Str("") : Value::Str(vm.ToString(msg)));
    o->num = argc > 1 ? vm.ToNumber(args[1]) : 0;
    // The stack where the error was made, for getStackTrace and an uncaught error's report.
    std::string where = vm.StackTrace();
    vm.heap().Account(o, where.size());
    o->str = Text(std::move(where));
    return Value();
}
// DRMManagerError(message, errorID, subErrorID): the sub-error rides in the payload's
// one element.
NATIVE(DrmErrorCtor) {
    ErrorCtor(vm, self, args, argc);
    if (self.IsObject() && !vm.throwing())
        self.o->elems.assign(1, Value::Num(argc > 2 ? vm.ToNumber(args[2]) : 0));
    return Value();
}
NATIVE(DrmErrorSubId) {
    UNUSED;
    return self.IsObject() && !self.o->elems.empty() ? self.o->elems[0] : Value::Num(0);
}
NATIVE(DrmErrorToString) {
    UNUSED;
    if (!self.IsObject())
        return Value::Str("");
    const std::string msg = vm.ToString(vm.Get(self, "message"));
    return Value::Str("DRMManagerError: '" + msg + "', error ID:'" + NumberToString(self.o->num) +
                      "', subErrorID:'" + vm.ToString(DrmErrorSubId(vm, self, args, argc)) + "'");
}
NATIVE(ErrorCall) {
    UNUSED;
    return vm.ConstructClass(vm.Builtin("Error"), args, argc);
}
NATIVE(ErrorToString) {
    UNUSED;
    const std::string name = vm.ToString(vm.Get(self, "name"));
    const std::string msg = vm.ToString(vm.Get(self, "message"));
    return Value::Str(msg.empty() ? name : name + ": " + msg);
}
NATIVE(ErrorId) {
    UNUSED;
    return Value::Num(self.IsObject() ? self.o->num : 0);
}
NATIVE(ErrorStack) {
    UNUSED;
    const Value s = ErrorToString(vm, self, args, argc);
    return Value::Str(vm.ToString(s) + (self.IsObject() ? self.o->str.get() : std::string()));
}

// ---- Namespace ----
NATIVE(NamespaceUri) {
    UNUSED;
    return Value::Str(self.IsObject() ? self.o->str : Text());
}

// ---- globals ----
// The log's text: a surrogate pair split over two 3-byte forms is joined into one code point,
// a lone surrogate shows as U+FFFD, a carriage return as a line break of its own.
std::string LogText(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    auto surrogate = [&](size_t i) -> uint32_t {
        if (i + 2 >= s.size() || uint8_t(s[i]) != 0xED || (uint8_t(s[i + 1]) & 0xE0) != 0xA0)
            return 0;
        return 0xD000u | (uint32_t(uint8_t(s[i + 1]) & 0x3F) << 6) | (uint8_t(s[i + 2]) & 0x3F);
    };
    for (size_t i = 0; i < s.size(); ++i) {
        const uint32_t hi = surrogate(i);
        if (!hi) {
            out += s[i] == '\r' ? '\n' : s[i];
            continue;
        }
        const uint32_t lo = surrogate(i + 3);
        if (hi < 0xDC00 && lo >= 0xDC00) {
            swf::Utf8Append(out, 0x10000 + ((hi - 0xD800) << 10) + (lo - 0xDC00));
            i += 5;
        } else {
            out += "\xEF\xBF\xBD";
            i += 2;
        }
    }
    return out;
}
NATIVE(Trace) {
    UNUSED;
    std::string line;
    for (int i = 0; i < argc; ++i) {
        if (i)
            line += ' ';
        line += vm.ToString(args[i]);
        if (vm.throwing())
            return Value();
    }
    vm.Trace(LogText(line));
    return Value();
}
NATIVE(IsNaNFn) {
    UNUSED;
    return Value::Bool(std::isnan(Num(vm, args, argc, 0)));
}
NATIVE(IsFiniteFn) {
    UNUSED;
    return Value::Bool(std::isfinite(Num(vm, args, argc, 0)));
}
NATIVE(ParseInt) {
    UNUSED;
    const std::string s = Str(vm, args, argc, 0);
    int radix = argc > 1 ? ClampInt(vm.ToNumber(args[1])) : 0;
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r'))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        negative = s[i++] == '-';
    if ((radix == 0 || radix == 16) && i + 1 < s.size() && s[i] == '0' &&
        (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        radix = 16;
        i += 2;
    }
    if (radix == 0)
        radix = 10;
    if (radix < 2 || radix > 36)
        return Value::Num(std::nan(""));
    double v = 0;
    bool any = false;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        const int d = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'a' && c <= 'z' ? c - 'a' + 10
                      : c >= 'A' && c <= 'Z' ? c - 'A' + 10
                                             : 99;
        if (d >= radix)
            break;
        v = v * radix + d;
        any = true;
    }
    if (!any)
        return Value::Num(std::nan(""));
    return Value::Num(negative ? -v : v);
}
NATIVE(ParseFloat) {
    UNUSED;
    const std::string s = Str(vm, args, argc, 0);
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r'))
        ++i;
    // The longest prefix that reads as a number.
    for (size_t end = s.size(); end > i; --end) {
        const std::string part = s.substr(i, end - i);
        const char last = part.back();
        if (last == 'e' || last == 'E' || last == '+' || (last == '-' && part.size() > 1))
            continue;
        if (part.find('x') != std::string::npos || part.find('X') != std::string::npos)
            continue;
        const double d = StringToNumber(part);
        if (!std::isnan(d))
            return Value::Num(d);
    }
    return Value::Num(std::nan(""));
}
std::string Escape(const std::string& s, const char* keep) {
    std::string out;
    for (unsigned char c : s) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            (c && std::strchr(keep, c))) {
            out += char(c);
        } else {
            out += '%';
            swf::AppendHex(out, c, 2, true);
        }
    }
    return out;
}
// escape() works on UTF-16 units: %XX below 256, %uXXXX above.
NATIVE(EscapeFn) {
    UNUSED;
    const std::u16string u = Units(Str(vm, args, argc, 0));
    std::string out;
    for (char16_t c : u) {
        if (c < 128 && (std::isalnum(c) || std::strchr("@-_.*+/", char(c)))) {
            out += char(c);
            continue;
        }
        out += c < 256 ? "%" : "%u";
        swf::AppendHex(out, c, c < 256 ? 2 : 4, true);
    }
    return Value::Str(out);
}
int HexDigit(char16_t c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
}
// The value of `count` hex digits at u[at], or -1.
int HexAt(const std::u16string& u, size_t at, int count) {
    int v = 0;
    for (int k = 0; k < count; ++k) {
        if (at + size_t(k) >= u.size() || HexDigit(u[at + size_t(k)]) < 0)
            return -1;
        v = v * 16 + HexDigit(u[at + size_t(k)]);
    }
    return v;
}
NATIVE(Unescape) {
    UNUSED;
    const std::u16string u = Units(Str(vm, args, argc, 0));
    std::u16string out;
    for (size_t i = 0; i < u.size(); ++i) {
        int v;
        if (u[i] == '%' && i + 1 < u.size() && u[i + 1] == 'u' && (v = HexAt(u, i + 2, 4)) >= 0) {
            out += char16_t(v);
            i += 5;
        } else if (u[i] == '%' && (v = HexAt(u, i + 1, 2)) >= 0) {
            out += char16_t(v);
            i += 2;
        } else {
            out += u[i];
        }
    }
    return Value::Str(Utf8(out));
}
// escapeMultiByte: the text's UTF-8 bytes (a lone surrogate as U+FFFD) up to the first U+0000,
// each byte but a letter or digit as %XX.
NATIVE(EscapeMultiByte) {
    UNUSED;
    const std::u16string u = Units(argc > 0 ? vm.ToString(args[0]) : "undefined");
    std::string bytes, out;
    for (size_t i = 0; i < u.size() && u[i] != 0; ++i) {
        uint32_t cp = u[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < u.size() && u[i + 1] >= 0xDC00 &&
            u[i + 1] < 0xE000)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (u[++i] - 0xDC00);
        swf::Utf8Append(bytes, cp); // a lone half becomes U+FFFD
    }
    for (unsigned char c : bytes) {
        if (std::isalnum(c)) {
            out += char(c);
        } else {
            out += '%';
            swf::AppendHex(out, c, 2, true);
        }
    }
    return Value::Str(out);
}
// unescapeMultiByte: %XX gives a byte, a bad sequence after % is dropped (two characters, or
// three when only the first is a hex digit), U+0000 outside one ends the text; the bytes read
// as UTF-8, a byte that does not fit as its Latin-1 character, a lone half kept.
NATIVE(UnescapeMultiByte) {
    UNUSED;
    const std::u16string u = Units(argc > 0 ? vm.ToString(args[0]) : "undefined");
    std::string bytes;
    for (size_t i = 0; i < u.size() && u[i] != 0;) {
        if (u[i] == '%') {
            const int v = HexAt(u, i + 1, 2);
            if (v >= 0)
                bytes += char(v);
            i += HexAt(u, i + 1, 1) >= 0 ? 3 : 2;
            continue;
        }
        uint32_t cp = u[i++];
        if (cp >= 0xD800 && cp < 0xDC00 && i < u.size() && u[i] >= 0xDC00 && u[i] < 0xE000)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (u[i++] - 0xDC00);
        swf::Utf8Append(bytes, cp);
    }
    std::string out;
    for (size_t i = 0; i < bytes.size();) {
        size_t next = i;
        const uint32_t cp = swf::Utf8Next(bytes, next);
        const bool loneHalf = cp == 0xED && next == i + 1 && i + 2 < bytes.size() &&
                              (uint8_t(bytes[i + 1]) & 0xE0) == 0xA0 &&
                              (uint8_t(bytes[i + 2]) & 0xC0) == 0x80;
        if (loneHalf) {
            out.append(bytes, i, 3);
            i += 3;
        } else {
            swf::Utf8Append(out, cp, true);
            i = next;
        }
    }
    return Value::Str(out);
}
NATIVE(EncodeUriComponent) {
    UNUSED;
    return Value::Str(Escape(Str(vm, args, argc, 0), "-_.!~*'()"));
}
NATIVE(EncodeUri) {
    UNUSED;
    return Value::Str(Escape(Str(vm, args, argc, 0), "-_.!~*'();/?:@&=+$,#"));
}
NATIVE(DecodeUri) {
    UNUSED;
    const std::string s = Str(vm, args, argc, 0);
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(uint8_t(s[i + 1])) &&
            std::isxdigit(uint8_t(s[i + 2]))) {
            out += char(std::strtol(s.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return Value::Str(out);
}

ClassInfo* ErrorClass(Vm& vm, const char* uri, const char* name, ClassInfo* base) {
    ClassInfo* c = vm.DefineClass(uri, name, base, Kind::Error, ErrorCtor, ErrorCall);
    c->sealed = false;
    // flash.errors instances keep Error's name; only their prototype carries their own.
    const char* shown = std::strcmp(uri, "flash.errors") == 0 ? "Error" : name;
    const Binding* b = c->inst.FindAny("name");
    if (b)
        c->inst.slots[b->slot].value = Value::Str(shown);
    c->prototype->dyn->Set("name", Value::Str(name), false);
    c->prototype->dyn->Set("message", Value::Str(""), false);
    return c;
}

} // namespace

void InstallCore(Vm& vm) {
    ClassInfo* object = vm.DefineClass("", "Object", nullptr, Kind::Plain, ObjectCtor, ObjectCall);
    object->sealed = false;
    vm.objectClass = object;
    object->prototype->cls = nullptr;
    ClassInfo* cls = vm.DefineClass("", "Class", object, Kind::Plain, ObjectCtor);
    vm.classClass = cls;
    ClassInfo* fn = vm.DefineClass("", "Function", object, Kind::Plain, ObjectCtor, FunctionMake);
    fn->sealed = false;
    vm.functionClass = fn;
    // The first classes were made before Class and Object existed.
    for (ClassInfo* c : {object, cls, fn}) {
        c->object->cls = cls;
        c->object->proto = cls->prototype;
        c->prototype->cls = object;
    }
    fn->prototype->cls = fn; // Function.prototype is itself a function
    vm.AddGetter(cls, "prototype", ClassPrototype);
    static const Native objectNatives[] = {
        ProtoFn("hasOwnProperty", ObjectHasOwn),
        ProtoFn("propertyIsEnumerable", ObjectIsEnumerable),
        ProtoFn("setPropertyIsEnumerable", ObjectSetEnumerable),
        ProtoFn("isPrototypeOf", ObjectIsPrototypeOf),
        ProtoFn("toString", ObjectToString),
        ProtoFn("toLocaleString", ObjectToString),
        ProtoFn("valueOf", ObjectValueOf),
    };
    vm.AddNatives(object, objectNatives);
    // Function objects were made before Function: fix the natives' prototypes now.
    for (Object* o : vm.heap().objects())
        if (o->kind == Kind::Function) {
            o->cls = fn;
            o->proto = fn->prototype;
        }
    static const Native fnNatives[] = {
        ProtoFn("call", FunctionCall),
        ProtoFn("apply", FunctionApply),
        ProtoFn("toString", FunctionToString),
        Accessor("length", FunctionLength),
        Fn("call", FunctionCall),
        Fn("apply", FunctionApply),
    };
    vm.AddNatives(fn, fnNatives);

    ClassInfo* boolean =
        vm.DefineClass("", "Boolean", object, Kind::Boxed, ObjectCtor, BooleanCall);
    vm.booleanClass = boolean;
    static const Native booleanNatives[] = {Fn("toString", BooleanToString),
                                            Fn("valueOf", PrimitiveValueOf)};
    vm.AddNatives(boolean, booleanNatives);

    ClassInfo* number = vm.DefineClass("", "Number", object, Kind::Boxed, ObjectCtor, NumberCall);
    ClassInfo* integer = vm.DefineClass("", "int", object, Kind::Boxed, ObjectCtor, IntCall);
    ClassInfo* uinteger = vm.DefineClass("", "uint", object, Kind::Boxed, ObjectCtor, UintCall);
    vm.numberClass = number;
    vm.intClass = integer;
    vm.uintClass = uinteger;
    for (ClassInfo* c : {number, integer, uinteger}) {
        static const Native cNatives[] = {
            Fn("toString", NumberToStringM),      Fn("toFixed", NumberToFixed),
            Fn("toPrecision", NumberToPrecision), Fn("toExponential", NumberToExponential),
            Fn("valueOf", PrimitiveValueOf),      ProtoFn("toString", NumberToStringM),
        };
        vm.AddNatives(c, cNatives);
    }
    auto constant = [&](ClassInfo* c, const char* name, double v) {
        vm.AddConstant(c, name, Value::Num(v));
    };
    constant(number, "MAX_VALUE", 1.7976931348623157e308);
    constant(number, "MIN_VALUE", 4.9406564584124654e-324);
    constant(number, "NaN", std::nan(""));
    constant(number, "POSITIVE_INFINITY", INFINITY);
    constant(number, "NEGATIVE_INFINITY", -INFINITY);
    constant(integer, "MAX_VALUE", 2147483647.0);
    constant(integer, "MIN_VALUE", -2147483648.0);
    constant(uinteger, "MAX_VALUE", 4294967295.0);
    constant(uinteger, "MIN_VALUE", 0);

    ClassInfo* string = vm.DefineClass("", "String", object, Kind::Boxed, ObjectCtor, StringCall);
    vm.stringClass = string;
    vm.AddGetter(string, "length", StringLength);
    static const struct {
        const char* name;
        NativeFn fn;
    } strings[] = {{"charAt", StringCharAt},
                   {"charCodeAt", StringCharCodeAt},
                   {"indexOf", StringIndexOf},
                   {"lastIndexOf", StringLastIndexOf},
                   {"substring", StringSubstring},
                   {"substr", StringSubstr},
                   {"slice", StringSlice},
                   {"toUpperCase", StringUpper},
                   {"toLowerCase", StringLower},
                   {"toLocaleUpperCase", StringUpper},
                   {"toLocaleLowerCase", StringLower},
                   {"concat", StringConcat},
                   {"split", StringSplit},
                   {"replace", StringReplace},
                   {"match", StringMatch},
                   {"search", StringSearch},
                   {"localeCompare", StringLocaleCompare},
                   {"toString", StringToString},
                   {"valueOf", StringToString}};
    for (const auto& s : strings) {
        vm.AddMethod(string, s.name, s.fn);
        vm.AddProtoMethod(string, s.name, s.fn);
    }
    vm.AddMethod(string, "fromCharCode", StringFromCharCode, true);

    ClassInfo* math = vm.DefineClass("", "Math", object, Kind::Plain, ObjectCtor);
    static const struct {
        const char* name;
        NativeFn fn;
    } maths[] = {{"abs", MathAbs},     {"acos", MathAcos},   {"asin", MathAsin},
                 {"atan", MathAtan},   {"ceil", MathCeil},   {"cos", MathCos},
                 {"exp", MathExp},     {"floor", MathFloor}, {"log", MathLog},
                 {"round", MathRound}, {"sin", MathSin},     {"sqrt", MathSqrt},
                 {"tan", MathTan},     {"atan2", MathAtan2}, {"pow", MathPow},
                 {"max", MathMax},     {"min", MathMin},     {"random", MathRandom}};
    for (const auto& f : maths)
        vm.AddMethod(math, f.name, f.fn, true);
    constant(math, "E", 2.718281828459045);
    constant(math, "LN10", 2.302585092994046);
    constant(math, "LN2", 0.6931471805599453);
    constant(math, "LOG10E", 0.4342944819032518);
    constant(math, "LOG2E", 1.4426950408889634);
    constant(math, "PI", 3.141592653589793);
    constant(math, "SQRT1_2", 0.7071067811865476);
    constant(math, "SQRT2", 1.4142135623730951);

    ClassInfo* ns = vm.DefineClass("", "Namespace", object, Kind::Namespace, ObjectCtor);
    vm.namespaceClass = ns;
    static const Native nsNatives[] = {Accessor("uri", NamespaceUri), Fn("toString", NamespaceUri)};
    vm.AddNatives(ns, nsNatives);

    // Error: message and name are slots, so subclasses and scripts set them like fields.
    ClassInfo* error = vm.DefineClass("", "Error", object, Kind::Error, ErrorCtor, ErrorCall);
    error->sealed = false;
    for (const char* field : {"message", "name"}) {
        Binding* b = error->inst.Add(field, kAnyNs);
        b->k = Binding::Slot;
        b->slot = uint32_t(error->inst.slots.size());
        SlotInit init;
        init.slot = b->slot;
        init.value = Value::Str(field[0] == 'n' ? "Error" : "");
        error->inst.slots.push_back(init);
    }
    error->prototype->dyn->Set("name", Value::Str("Error"), false);
    error->prototype->dyn->Set("message", Value::Str(""), false);
    static const Native errorNatives[] = {
        Accessor("errorID", ErrorId),
        Fn("toString", ErrorToString),
        ProtoFn("toString", ErrorToString),
        Fn("getStackTrace", ErrorStack),
    };
    vm.AddNatives(error, errorNatives);
    static const char* const coreErrors[] = {"DefinitionError", "EvalError",         "RangeError",
                                             "ReferenceError",  "SecurityError",     "SyntaxError",
                                             "TypeError",       "URIError",          "VerifyError",
                                             "ArgumentError",   "UninitializedError"};
    for (const char* name : coreErrors)
        ErrorClass(vm, "", name, error);
    static const char* const flashErrors[] = {"IOError",
                                              "IllegalOperationError",
                                              "MemoryError",
                                              "StackOverflowError",
                                              "ScriptTimeoutError",
                                              "InvalidSWFError"};
    for (const char* name : flashErrors)
        ErrorClass(vm, "flash.errors", name, error);
    ErrorClass(vm, "flash.errors", "EOFError", vm.Builtin("IOError"));
    ClassInfo* drm = ErrorClass(vm, "flash.errors", "DRMManagerError", error);
    drm->iinit->native = DrmErrorCtor;
    drm->prototype->dyn->Set("name", Value(), false); // Flash's prototype has no name
    static const Native drmNatives[] = {Accessor("subErrorID", DrmErrorSubId),
                                        Fn("toString", DrmErrorToString)};
    vm.AddNatives(drm, drmNatives);

    vm.DefineFunction("", "trace", Trace);
    vm.DefineFunction("", "isNaN", IsNaNFn);
    vm.DefineFunction("", "isFinite", IsFiniteFn);
    vm.DefineFunction("", "parseInt", ParseInt);
    vm.DefineFunction("", "parseFloat", ParseFloat);
    vm.DefineFunction("", "escape", EscapeFn);
    vm.DefineFunction("", "unescape", Unescape);
    vm.DefineFunction("", "encodeURIComponent", EncodeUriComponent);
    vm.DefineFunction("", "encodeURI", EncodeUri);
    vm.DefineFunction("", "decodeURIComponent", DecodeUri);
    vm.DefineFunction("", "decodeURI", DecodeUri);
    vm.DefineFunction("flash.utils", "escapeMultiByte", EscapeMultiByte);
    vm.DefineFunction("flash.utils", "unescapeMultiByte", UnescapeMultiByte);
    vm.DefineConstant("", "NaN", Value::Num(std::nan("")));
    vm.DefineConstant("", "Infinity", Value::Num(INFINITY));
    vm.DefineConstant("", "undefined", Value());
}

} // namespace avm2
