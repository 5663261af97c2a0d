// String: every index counts characters (code points of the UTF-8 text), arguments
// convert as Flash converts them (ToInt32, so 4294967297 is 1), and in Flash 5 a method
// given no arguments at all answers undefined.
#include <algorithm>
#include <cmath>

#include "player/core/avm1/vm.h"
#include "player/core/swf/utf8.h"

namespace avm1 {
namespace {

using Codes = std::vector<uint32_t>;

std::string ThisString(Vm& vm, const Value& self) {
    if (self.IsString())
        return self.s;
    if (self.IsObject() && self.o->kind == Kind::String)
        return self.o->primitive.s;
    return vm.ToString(self);
}
// The text as characters, with its decoding charged to the frame's work.
Codes ThisCodes(Vm& vm, const Value& self) {
    std::string s = ThisString(vm, self);
    vm.Work(s.size());
    return swf::Utf8Decode(s);
}
int32_t Int(Vm& vm, const Value& v) {
    return ToInt32(vm.ToNumber(v));
}
Value Text(Vm& vm, const Codes& c, int32_t from, int32_t to) {
    const int32_t n = int32_t(c.size());
    from = std::max(0, std::min(from, n));
    to = std::max(from, std::min(to, n));
    std::string out;
    for (int32_t i = from; i < to; i++)
        swf::Utf8Append(out, c[size_t(i)]);
    (void)vm;
    return Value::Str(std::move(out));
}
bool NoArgsInFlash5(Vm& vm, const Args& a) {
    return vm.version() <= 5 && a.size() == 0;
}
// First index >= from where pattern starts, or -1.
int32_t Find(const Codes& s, const Codes& p, int32_t from) {
    for (int32_t i = std::max(0, from); i + int32_t(p.size()) <= int32_t(s.size()); i++)
        if (std::equal(p.begin(), p.end(), s.begin() + i))
            return i;
    return -1;
}

Value StringCtor(Vm& vm, const Value& self, const Args& a) {
    Value v = Value::Str(a.size() > 0 ? vm.ToString(a[0]) : "");
    if (vm.IsConstructing(self)) {
        self.o->primitive = v;
        return self;
    }
    return v;
}
Value StringValueOf(Vm& vm, const Value& self, const Args&) {
    return Value::Str(ThisString(vm, self));
}
Value StringCharAt(Vm& vm, const Value& self, const Args& a) {
    Codes c = ThisCodes(vm, self);
    int32_t i = Int(vm, a[0]);
    return i >= 0 && i < int32_t(c.size()) ? Text(vm, c, i, i + 1) : Value::Str("");
}
Value StringCharCodeAt(Vm& vm, const Value& self, const Args& a) {
    Codes c = ThisCodes(vm, self);
    int32_t i = Int(vm, a[0]);
    if (i < 0)
        return Value::Num(std::nan(""));
    return Value::Num(i < int32_t(c.size()) ? double(c[size_t(i)]) : 0);
}
Value StringFromCharCode(Vm& vm, const Value&, const Args& a) {
    std::string out;
    for (size_t i = 0; i < a.size(); i++) {
        uint32_t c = ToUint32(vm.ToNumber(a[i])) & 0xFFFF;
        if (c == 0)
            break; // a NUL ends the string, as in Flash
        swf::Utf8Append(out, c);
        if (!vm.StringFits(out.size()))
            return Value::Str("");
    }
    return Value::Str(out);
}
Value StringIndexOf(Vm& vm, const Value& self, const Args& a) {
    if (NoArgsInFlash5(vm, a))
        return Value();
    Codes s = ThisCodes(vm, self);
    Codes p = swf::Utf8Decode(vm.ToString(a[0]));
    int32_t from = a.size() > 1 ? Int(vm, a[1]) : 0;
    if (from > int32_t(s.size()))
        return Value::Num(-1);
    return Value::Num(Find(s, p, from));
}
Value StringLastIndexOf(Vm& vm, const Value& self, const Args& a) {
    if (NoArgsInFlash5(vm, a))
        return Value();
    Codes s = ThisCodes(vm, self);
    Codes p = swf::Utf8Decode(vm.ToString(a[0]));
    int32_t from = a.size() > 1 && !a[1].IsUndefined() ? Int(vm, a[1]) : int32_t(s.size());
    if (from < 0)
        return Value::Num(-1);
    int32_t start = std::min(from, int32_t(s.size()) - int32_t(p.size()));
    for (int32_t i = start; i >= 0; i--)
        if (std::equal(p.begin(), p.end(), s.begin() + i))
            return Value::Num(i);
    return Value::Num(-1);
}
Value StringSubstr(Vm& vm, const Value& self, const Args& a) {
    if (NoArgsInFlash5(vm, a))
        return Value();
    Codes c = ThisCodes(vm, self);
    const int32_t n = int32_t(c.size());
    int32_t start = Int(vm, a[0]);
    if (start < 0)
        start = std::max(0, start + n);
    if (a[1].IsUndefined())
        return Text(vm, c, start, n);
    int32_t len = Int(vm, a[1]);
    if (len < 0) {
        // A negative length counts back from the end; reaching the end gives nothing.
        len += n;
        if (start + len >= n)
            return Value::Str("");
    }
    return Text(vm, c, start, int32_t(std::min<int64_t>(int64_t(start) + len, n)));
}
Value StringSubstring(Vm& vm, const Value& self, const Args& a) {
    if (NoArgsInFlash5(vm, a))
        return Value();
    Codes c = ThisCodes(vm, self);
    const int32_t n = int32_t(c.size());
    int32_t from = std::max(0, Int(vm, a[0]));
    int32_t to = a[1].IsUndefined() ? n : std::max(0, Int(vm, a[1]));
    if (from > to)
        std::swap(from, to);
    return Text(vm, c, from, to);
}
Value StringSlice(Vm& vm, const Value& self, const Args& a) {
    if (NoArgsInFlash5(vm, a))
        return Value();
    Codes c = ThisCodes(vm, self);
    const int32_t n = int32_t(c.size());
    auto at = [&](const Value& v, int32_t missing) {
        if (v.IsUndefined())
            return missing;
        int32_t i = Int(vm, v);
        return i < 0 ? std::max(0, i + n) : std::min(i, n);
    };
    return Text(vm, c, at(a[0], 0), at(a[1], n));
}
Value StringSplit(Vm& vm, const Value& self, const Args& a) {
    std::string s = ThisString(vm, self);
    vm.Work(s.size());
    // Flash 5 splits at commas when given no separator; later versions keep the string whole.
    const bool noSeparator = a[0].IsUndefined();
    std::string sep = noSeparator ? (vm.version() <= 5 ? "," : "") : vm.ToString(a[0]);
    size_t limit = SIZE_MAX;
    if (a.size() > 1 && !a[1].IsUndefined()) {
        double d = vm.ToNumber(a[1]);
        limit = d > 0 ? size_t(std::min(d, 4294967295.0)) : 0;
    }
    std::vector<Value> parts;
    auto add = [&](std::string part) {
        if (parts.size() >= limit)
            return false;
        vm.heap().Charge(sizeof(Value) + part.size());
        if (vm.heap().OverCap()) {
            vm.Abort(RunResult::OutOfMemory);
            return false;
        }
        parts.push_back(Value::Str(std::move(part)));
        return true;
    };
    if (noSeparator && vm.version() > 5) {
        add(s);
    } else if (sep.empty()) {
        if (vm.version() <= 5) {
            add(s);
        } else {
            for (size_t i = 0; i < s.size();) {
                size_t from = i;
                swf::Utf8Next(s, i);
                if (!add(s.substr(from, i - from)))
                    break;
            }
        }
    } else {
        for (size_t i = 0;;) {
            size_t j = s.find(sep, i);
            if (!add(s.substr(i, j == std::string::npos ? std::string::npos : j - i)) ||
                j == std::string::npos)
                break;
            i = j + sep.size();
        }
    }
    return Value::Obj(vm.NewArray(std::move(parts)));
}
Value StringCase(Vm& vm, const Value& self, bool upper) {
    std::string s = ThisString(vm, self);
    vm.Work(s.size());
    for (char& c : s) {
        if (upper && c >= 'a' && c <= 'z')
            c = char(c - 32);
        else if (!upper && c >= 'A' && c <= 'Z')
            c = char(c + 32);
    }
    return Value::Str(s);
}
Value StringUpper(Vm& vm, const Value& self, const Args&) {
    return StringCase(vm, self, true);
}
Value StringLower(Vm& vm, const Value& self, const Args&) {
    return StringCase(vm, self, false);
}
Value StringConcat(Vm& vm, const Value& self, const Args& a) {
    std::string s = ThisString(vm, self);
    for (size_t i = 0; i < a.size(); i++) {
        std::string t = vm.ToString(a[i]);
        if (!vm.StringFits(s.size() + t.size()))
            return Value::Str("");
        s += t;
    }
    vm.heap().Charge(s.size());
    return Value::Str(s);
}

} // namespace

void InstallString(Vm& vm) {
    Object* strProto = vm.NewObject();
    Object* string = vm.NewNative(StringCtor, strProto, Kind::String);
    vm.global()->Put("String", Value::Obj(string), false, kDontEnum);
    vm.SetProto(Kind::String, strProto);
    static const NativeMethod strProtoMethods[] = {
        {"valueOf", StringValueOf},   {"toString", StringValueOf},
        {"charAt", StringCharAt},     {"charCodeAt", StringCharCodeAt},
        {"indexOf", StringIndexOf},   {"lastIndexOf", StringLastIndexOf},
        {"substr", StringSubstr},     {"substring", StringSubstring},
        {"slice", StringSlice},       {"split", StringSplit},
        {"toUpperCase", StringUpper}, {"toLowerCase", StringLower},
        {"concat", StringConcat},
    };
    Methods(vm, strProto, strProtoMethods);
    Method(vm, string, "fromCharCode", StringFromCharCode);
}

} // namespace avm1
