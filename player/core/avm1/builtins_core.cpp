// Object, Function, Boolean, Number, String, Math and the global functions.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "player/core/avm1/vm.h"

#include "player/core/swf/number_text.h"

namespace avm1 {
namespace {

Value Undef() {
    return Value();
}

// ---- Object ----
Value ObjectCtor(Vm& vm, const Value& self, const Args& a) {
    if (a.size() > 0 && a[0].IsObject())
        return a[0];
    // Object(primitive) boxes it, as new Number/String/Boolean would.
    const Value& v = a[0];
    if (v.IsNumber() || v.IsString() || v.type == Type::Boolean) {
        Object* box = vm.NewObject(v.IsNumber()   ? Kind::Number
                                   : v.IsString() ? Kind::String
                                                  : Kind::Boolean);
        if (box)
            box->primitive = v;
        return box ? Value::Obj(box) : Value();
    }
    if (vm.IsConstructing(self))
        return self;
    return Value::Obj(vm.NewObject());
}
Value ObjectToString(Vm&, const Value& self, const Args&) {
    if (self.IsObject() && self.o->kind == Kind::Function)
        return Value::Str("[type Function]");
    return Value::Str("[object Object]");
}
Value ObjectValueOf(Vm&, const Value& self, const Args&) {
    return self;
}
Value ObjectHasOwn(Vm& vm, const Value& self, const Args& a) {
    if (!self.IsObject())
        return Value::Bool(false);
    std::string name = vm.ToString(a[0]);
    if (self.o->kind == Kind::Array) {
        double d = StringToNumber(name, vm.version());
        if (d >= 0 && d < double(self.o->elements.size()) && d == std::floor(d))
            return Value::Bool(true);
    }
    return Value::Bool(self.o->Find(name, vm.caseSensitive()) != nullptr);
}
Value ObjectAddProperty(Vm& vm, const Value& self, const Args& a) {
    if (!self.IsObject() || !a[1].IsObject() || a[1].o->kind != Kind::Function)
        return Value::Bool(false);
    std::string name = vm.ToString(a[0]);
    if (name.empty())
        return Value::Bool(false);
    // A data property keeps its value under the new accessors (watch reports it).
    Property* existing = self.o->Find(name, vm.caseSensitive());
    Property& p = existing ? *existing : self.o->Put(name, Value(), vm.caseSensitive());
    p.getter = a[1].o;
    p.setter = a[2].IsObject() && a[2].o->kind == Kind::Function ? a[2].o : nullptr;
    p.serial = vm.NewAccessorSerial();
    return Value::Bool(true);
}
Value ObjectIsPrototypeOf(Vm&, const Value& self, const Args& a) {
    if (!self.IsObject() || !a[0].IsObject())
        return Value::Bool(false);
    int guard = 0;
    for (Object* p = a[0].o->proto; p && guard < 256; p = p->proto, guard++)
        if (p == self.o)
            return Value::Bool(true);
    return Value::Bool(false);
}
Value ObjectIsEnumerable(Vm& vm, const Value& self, const Args& a) {
    if (!self.IsObject())
        return Value::Bool(false);
    Property* p = self.o->Find(vm.ToString(a[0]), vm.caseSensitive());
    return Value::Bool(p && !(p->flags & kDontEnum));
}
Value ObjectRegisterClass(Vm& vm, const Value&, const Args& a) {
    std::string name = vm.ToString(a[0]);
    if (a[1].IsObject() && a[1].o->kind == Kind::Function)
        vm.registeredClasses[name] = a[1].o;
    else
        vm.registeredClasses.erase(name);
    return Value::Bool(true);
}
Value ObjectWatch(Vm& vm, const Value& self, const Args& a) {
    if (!self.IsObject() || a.size() < 2 || !a[1].IsObject() || !a[1].o->IsFunction())
        return Value::Bool(false);
    Object* o = self.o;
    std::string name = vm.ToString(a[0]);
    if (!o->watches)
        o->watches = std::make_unique<std::vector<Watch>>();
    for (Watch& w : *o->watches) {
        if (NamesEqual(w.name, name, vm.caseSensitive())) {
            w.callback = a[1].o;
            w.userData = a[2];
            return Value::Bool(true);
        }
    }
    if (o->watches->size() >= 1024)
        return Value::Bool(false);
    vm.heap().Charge(sizeof(Watch) + name.size());
    o->watches->push_back(Watch{name, a[1].o, a[2]});
    return Value::Bool(true);
}
Value ObjectUnwatch(Vm& vm, const Value& self, const Args& a) {
    if (!self.IsObject() || !self.o->watches)
        return Value::Bool(false);
    std::vector<Watch>& list = *self.o->watches;
    std::string name = vm.ToString(a[0]);
    for (size_t i = 0; i < list.size(); i++) {
        if (NamesEqual(list[i].name, name, vm.caseSensitive())) {
            list.erase(list.begin() + long(i));
            return Value::Bool(true);
        }
    }
    return Value::Bool(false);
}

// ASSetPropFlags(object, names or null, set, clear)
Value SetPropFlags(Vm& vm, const Value&, const Args& a) {
    if (!a[0].IsObject())
        return Undef();
    Object* o = a[0].o;
    std::vector<std::string> names;
    bool all = a[1].IsNullish();
    if (a[1].IsObject() && a[1].o->kind == Kind::Array) {
        for (const Value& v : a[1].o->elements)
            names.push_back(vm.ToString(v));
    } else if (!all) {
        std::string list = vm.ToString(a[1]);
        size_t i = 0;
        while (i <= list.size()) {
            size_t j = list.find(',', i);
            if (j == std::string::npos)
                j = list.size();
            names.push_back(list.substr(i, j - i));
            i = j + 1;
        }
    }
    uint16_t set = uint16_t(ToUint32(vm.ToNumber(a[2])) & 0x7FFF);
    uint16_t clear = uint16_t(ToUint32(vm.ToNumber(a[3])) & 0x7FFF);
    for (Property& p : o->props) {
        bool hit = all;
        for (const std::string& n : names)
            hit = hit || NamesEqual(n, p.name, vm.caseSensitive());
        if (hit)
            p.flags = uint16_t((p.flags & ~clear) | set);
    }
    return Undef();
}

// ---- Function ----
Value FunctionCtor(Vm&, const Value& self, const Args&) {
    return self;
}
// call and apply with no `this` run the function on _global.
Value ThisArg(Vm& vm, const Value& v) {
    return v.IsNullish() ? Value::Obj(vm.global()) : v;
}
Value FunctionCall(Vm& vm, const Value& self, const Args& a) {
    return vm.Call(self, ThisArg(vm, a[0]), a.size() > 1 ? a.v + 1 : nullptr,
                   a.size() > 1 ? a.size() - 1 : 0);
}
Value FunctionApply(Vm& vm, const Value& self, const Args& a) {
    std::vector<Value> list;
    if (a[1].IsObject() && a[1].o->kind == Kind::Array) {
        list = a[1].o->elements;
    } else if (a[1].IsObject()) {
        // Any object with a length serves as the argument list.
        double n = vm.ToNumber(vm.Get(a[1], "length"));
        for (size_t i = 0; n > 0 && i < n && i < 65536; i++)
            list.push_back(vm.Get(a[1], std::to_string(i)));
    }
    return vm.Call(self, ThisArg(vm, a[0]), list.data(), list.size());
}

// ---- Boolean ----
Value BooleanCtor(Vm& vm, const Value& self, const Args& a) {
    Value v = Value::Bool(a.size() > 0 && ToBoolean(a[0], vm.version()));
    if (vm.IsConstructing(self)) {
        self.o->primitive = v;
        return self;
    }
    return a.size() > 0 ? v : Value(); // Boolean() converts nothing
}
Value BooleanValueOf(Vm&, const Value& self, const Args&) {
    if (self.IsObject() && self.o->kind == Kind::Boolean)
        return self.o->primitive;
    return self.type == Type::Boolean ? self : Value::Bool(false);
}
Value BooleanToString(Vm& vm, const Value& self, const Args& a) {
    return Value::Str(PrimitiveToString(BooleanValueOf(vm, self, a), 5));
}

// ---- Number ----
Value NumberCtor(Vm& vm, const Value& self, const Args& a) {
    Value v = Value::Num(a.size() > 0 ? vm.ToNumber(a[0]) : 0);
    if (vm.IsConstructing(self)) {
        self.o->primitive = v;
        return self;
    }
    return v;
}
double ThisNumber(Vm& vm, const Value& self) {
    if (self.IsObject() && self.o->kind == Kind::Number)
        return self.o->primitive.n;
    return self.IsNumber() ? self.n : vm.ToNumber(self);
}
Value NumberValueOf(Vm& vm, const Value& self, const Args&) {
    return Value::Num(ThisNumber(vm, self));
}
Value NumberToStringFn(Vm& vm, const Value& self, const Args& a) {
    double d = ThisNumber(vm, self);
    int radix = a[0].IsUndefined() ? 10 : ClampInt(vm.ToNumber(a[0]));
    if (radix < 2 || radix > 36 || radix == 10 || !std::isfinite(d))
        return Value::Str(NumberToString(d));
    // Other radixes print the integer part, as Flash does.
    bool neg = d < 0;
    double v = std::floor(std::fabs(d));
    std::string out;
    do {
        int digit = int(std::fmod(v, radix));
        out.insert(out.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[digit]);
        v = std::floor(v / radix);
    } while (v > 0 && out.size() < 1100);
    return Value::Str(neg ? "-" + out : out);
}

// ---- Math ----
template <double (*F)(double)> Value Math1(Vm& vm, const Value&, const Args& a) {
    return Value::Num(F(vm.ToNumber(a[0])));
}
double Round(double d) {
    return std::floor(d + 0.5);
}
Value MathAtan2(Vm& vm, const Value&, const Args& a) {
    return Value::Num(std::atan2(vm.ToNumber(a[0]), vm.ToNumber(a[1])));
}
Value MathPow(Vm& vm, const Value&, const Args& a) {
    return Value::Num(std::pow(vm.ToNumber(a[0]), vm.ToNumber(a[1])));
}
Value MathMin(Vm& vm, const Value&, const Args& a) {
    if (a.size() == 0)
        return Value::Num(INFINITY);
    double r = vm.ToNumber(a[0]);
    for (size_t i = 1; i < a.size(); i++) {
        double d = vm.ToNumber(a[i]);
        r = (std::isnan(r) || std::isnan(d)) ? std::nan("") : std::min(r, d);
    }
    return Value::Num(r);
}
Value MathMax(Vm& vm, const Value&, const Args& a) {
    if (a.size() == 0)
        return Value::Num(-INFINITY);
    double r = vm.ToNumber(a[0]);
    for (size_t i = 1; i < a.size(); i++) {
        double d = vm.ToNumber(a[i]);
        r = (std::isnan(r) || std::isnan(d)) ? std::nan("") : std::max(r, d);
    }
    return Value::Num(r);
}
Value MathRandom(Vm& vm, const Value&, const Args&) {
    return Value::Num(vm.Random());
}

// ---- globals ----
Value ParseInt(Vm& vm, const Value&, const Args& a) {
    std::string s = vm.ToString(a[0]);
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r'))
        i++;
    bool neg = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        neg = s[i++] == '-';
    int radix = a[1].IsUndefined() ? 0 : ClampInt(vm.ToNumber(a[1]));
    if (radix == 0) {
        radix = 10;
        if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
            radix = 16;
            i += 2;
        } else if (i + 1 < s.size() && s[i] == '0') {
            radix = 8; // Flash reads a leading zero as octal
        }
    } else if (radix == 16 && i + 1 < s.size() && s[i] == '0' &&
               (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        i += 2;
    }
    if (radix < 2 || radix > 36)
        return Value::Num(std::nan(""));
    double v = 0;
    size_t digits = 0;
    for (; i < s.size(); i++, digits++) {
        char c = s[i];
        int d = (c >= '0' && c <= '9')   ? c - '0'
                : (c >= 'a' && c <= 'z') ? c - 'a' + 10
                : (c >= 'A' && c <= 'Z') ? c - 'A' + 10
                                         : 99;
        if (d >= radix)
            break;
        v = v * radix + d;
    }
    if (!digits)
        return Value::Num(std::nan(""));
    return Value::Num(neg ? -v : v);
}
Value ParseFloat(Vm& vm, const Value&, const Args& a) {
    std::string s = vm.ToString(a[0]);
    vm.Work(s.size());
    // The longest prefix shaped like a decimal number, found in one pass.
    size_t i = 0, n = s.size();
    while (i < n && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r')))
        i++;
    size_t k = i;
    if (k < n && (s[k] == '+' || s[k] == '-'))
        k++;
    size_t digits = 0;
    while (k < n && s[k] >= '0' && s[k] <= '9')
        k++, digits++;
    if (k < n && s[k] == '.') {
        k++;
        while (k < n && s[k] >= '0' && s[k] <= '9')
            k++, digits++;
    }
    if (!digits)
        return Value::Num(std::nan(""));
    if (k < n && (s[k] == 'e' || s[k] == 'E')) {
        size_t m = k + 1;
        if (m < n && (s[m] == '+' || s[m] == '-'))
            m++;
        size_t e = m;
        while (m < n && s[m] >= '0' && s[m] <= '9')
            m++;
        if (m > e)
            k = m;
    }
    return Value::Num(swf::ReadNumber(s.substr(i, k - i).c_str()));
}
// With no argument these test NaN, not the number undefined converts to.
Value IsNaN(Vm& vm, const Value&, const Args& a) {
    return Value::Bool(a.size() == 0 || std::isnan(vm.ToNumber(a[0])));
}
Value IsFinite(Vm& vm, const Value&, const Args& a) {
    return Value::Bool(a.size() > 0 && std::isfinite(vm.ToNumber(a[0])));
}
// ASnative(table, index): Flash's native functions by number. Only ASnew (2, 0), which
// tells whether the running function was called with `new`, is one scripts call directly.
Value AsNew(Vm& vm, const Value&, const Args&) {
    return Value::Bool(vm.InConstructor());
}
Value AsNative(Vm& vm, const Value&, const Args& a) {
    if (vm.ToNumber(a[0]) == 2 && vm.ToNumber(a[1]) == 0)
        return Value::Obj(vm.NewNative(AsNew));
    return Value();
}
Value Escape(Vm& vm, const Value&, const Args& a) {
    const std::string s = vm.ToString(a[0]);
    vm.Work(s.size() * 3);
    if (!vm.StringFits(s.size() * 3))
        return Value::Str("");
    return Value::Str(UrlEscape(s));
}
Value Unescape(Vm& vm, const Value&, const Args& a) {
    const std::string s = vm.ToString(a[0]);
    vm.Work(s.size());
    return Value::Str(UrlUnescape(s));
}
Value GetTimer(Vm& vm, const Value&, const Args&) {
    return Value::Num(std::floor(vm.Now()));
}
Value Nothing(Vm&, const Value&, const Args&) {
    return Value();
}

Object* Class(Vm& vm, const char* name, NativeFn ctor, Object* proto, Kind constructs) {
    Object* c = vm.NewNative(ctor, proto, constructs);
    vm.global()->Put(name, Value::Obj(c), false, kDontEnum);
    return c;
}

// Error: a message (the prototype's "Error" until one is given) and a name.
Value ErrorCtor(Vm& vm, const Value& self, const Args& a) {
    if (self.IsObject() && a.size() > 0 && !a[0].IsUndefined())
        self.o->Put("message", a[0], vm.caseSensitive());
    return self;
}
Value ErrorToString(Vm& vm, const Value& self, const Args&) {
    return Value::Str(vm.ToString(vm.Get(self, "message")));
}

} // namespace

void InstallCore(Vm& vm) {
    Object* g = vm.global();
    Object* objectProto = vm.Proto(Kind::Plain);
    Object* functionProto = vm.Proto(Kind::Function);

    Object* object = Class(vm, "Object", ObjectCtor, objectProto, Kind::Plain);
    static const NativeMethod objectProtoMethods[] = {
        {"toString", ObjectToString},
        {"toLocaleString", ObjectToString},
        {"valueOf", ObjectValueOf},
        {"hasOwnProperty", ObjectHasOwn},
        {"addProperty", ObjectAddProperty},
        {"isPrototypeOf", ObjectIsPrototypeOf},
        {"isPropertyEnumerable", ObjectIsEnumerable},
        {"watch", ObjectWatch},
        {"unwatch", ObjectUnwatch},
    };
    Methods(vm, objectProto, objectProtoMethods);
    Method(vm, object, "registerClass", ObjectRegisterClass);

    Class(vm, "Function", FunctionCtor, functionProto, Kind::Plain);
    static const NativeMethod functionProtoMethods[] = {{"call", FunctionCall},
                                                        {"apply", FunctionApply}};
    Methods(vm, functionProto, functionProtoMethods);

    Object* boolProto = vm.NewObject();
    Class(vm, "Boolean", BooleanCtor, boolProto, Kind::Boolean);
    vm.SetProto(Kind::Boolean, boolProto);
    static const NativeMethod boolProtoMethods[] = {{"valueOf", BooleanValueOf},
                                                    {"toString", BooleanToString}};
    Methods(vm, boolProto, boolProtoMethods);

    Object* numProto = vm.NewObject();
    Object* number = Class(vm, "Number", NumberCtor, numProto, Kind::Number);
    vm.SetProto(Kind::Number, numProto);
    static const NativeMethod numProtoMethods[] = {{"valueOf", NumberValueOf},
                                                   {"toString", NumberToStringFn}};
    Methods(vm, numProto, numProtoMethods);
    Constant(vm, number, "MAX_VALUE", Value::Num(1.7976931348623158e308));
    Constant(vm, number, "MIN_VALUE", Value::Num(4.9406564584124654e-324));
    Constant(vm, number, "NaN", Value::Num(std::nan("")));
    Constant(vm, number, "POSITIVE_INFINITY", Value::Num(INFINITY));
    Constant(vm, number, "NEGATIVE_INFINITY", Value::Num(-INFINITY));

    InstallString(vm);

    Object* errorProto = vm.NewObject();
    Class(vm, "Error", ErrorCtor, errorProto, Kind::Plain);
    errorProto->Put("message", Value::Str("Error"), false, kDontEnum);
    errorProto->Put("name", Value::Str("Error"), false, kDontEnum);
    Method(vm, errorProto, "toString", ErrorToString);

    Object* math = vm.NewObject();
    g->Put("Math", Value::Obj(math), false, kDontEnum);
    static const NativeMethod mathMethods[] = {
        {"abs", Math1<std::fabs>},  {"acos", Math1<std::acos>},
        {"asin", Math1<std::asin>}, {"atan", Math1<std::atan>},
        {"ceil", Math1<std::ceil>}, {"cos", Math1<std::cos>},
        {"exp", Math1<std::exp>},   {"floor", Math1<std::floor>},
        {"log", Math1<std::log>},   {"round", Math1<Round>},
        {"sin", Math1<std::sin>},   {"sqrt", Math1<std::sqrt>},
        {"tan", Math1<std::tan>},   {"atan2", MathAtan2},
        {"pow", MathPow},           {"min", MathMin},
        {"max", MathMax},           {"random", MathRandom},
    };
    Methods(vm, math, mathMethods);
    Constant(vm, math, "PI", Value::Num(3.141592653589793));
    Constant(vm, math, "E", Value::Num(2.718281828459045));
    Constant(vm, math, "LN2", Value::Num(0.6931471805599453));
    Constant(vm, math, "LN10", Value::Num(2.302585092994046));
    Constant(vm, math, "LOG2E", Value::Num(1.4426950408889634));
    Constant(vm, math, "LOG10E", Value::Num(0.4342944819032518));
    Constant(vm, math, "SQRT1_2", Value::Num(0.7071067811865476));
    Constant(vm, math, "SQRT2", Value::Num(1.4142135623730951));

    static const NativeMethod gMethods[] = {
        {"parseInt", ParseInt},        {"parseFloat", ParseFloat}, {"isNaN", IsNaN},
        {"isFinite", IsFinite},        {"ASnative", AsNative},     {"escape", Escape},
        {"unescape", Unescape},        {"getTimer", GetTimer},     {"ASSetPropFlags", SetPropFlags},
        {"updateAfterEvent", Nothing},
    };
    Methods(vm, g, gMethods);
    if (vm.version() >= 5) { // Flash 4 has neither name
        g->Put("NaN", Value::Num(std::nan("")), false, kDontEnum);
        g->Put("Infinity", Value::Num(INFINITY), false, kDontEnum);
    }
}

} // namespace avm1
