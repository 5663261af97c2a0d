// JSON, Dictionary, ByteArray and flash.utils (timers, class names and lookups).
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "player/core/avm2/vm.h"
#include "player/core/swf/number_text.h"
#include "player/core/swf/reserve.h"

namespace avm2 {

void InstallRegExp(Vm& vm);
void InstallAmf(Vm& vm);
void AmfWrite(Vm& vm, const Value& v, std::vector<uint8_t>* out);
Value AmfRead(Vm& vm, const std::vector<uint8_t>& in, uint32_t* pos, bool amf0);
void InstallDate(Vm& vm);

namespace {

#define NATIVE(name) Value name(Vm& vm, const Value& self, Value* args, int argc)
#define UNUSED (void)vm, (void)self, (void)args, (void)argc

// ---- JSON ----
struct JsonReader {
    Vm& vm;
    const std::string& s;
    size_t i = 0;
    int depth = 0;
    bool ok = true;

    void Space() {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r'))
            ++i;
    }
    bool String(std::string* out) {
        ++i;
        while (i < s.size() && s[i] != '"') {
            char c = s[i++];
            if (uint8_t(c) < 0x20)
                return false;
            if (c == '\\') {
                if (i >= s.size())
                    return false;
                c = s[i++];
                switch (c) {
                case 'n':
                    *out += '\n';
                    break;
                case 't':
                    *out += '\t';
                    break;
                case 'r':
                    *out += '\r';
                    break;
                case 'b':
                    *out += '\b';
                    break;
                case 'f':
                    *out += '\f';
                    break;
                case 'u': {
                    if (i + 4 > s.size())
                        return false;
                    const uint32_t cp = uint32_t(std::strtoul(s.substr(i, 4).c_str(), nullptr, 16));
                    i += 4;
                    if (cp < 0x80) {
                        *out += char(cp);
                    } else if (cp < 0x800) {
                        *out += char(0xC0 | (cp >> 6));
                        *out += char(0x80 | (cp & 0x3F));
                    } else {
                        *out += char(0xE0 | (cp >> 12));
                        *out += char(0x80 | ((cp >> 6) & 0x3F));
                        *out += char(0x80 | (cp & 0x3F));
                    }
                    break;
                }
                case '"':
                case '\\':
                case '/':
                    *out += c;
                    break;
                default:
                    return false;
                }
            } else {
                *out += c;
            }
        }
        if (i >= s.size())
            return false;
        ++i;
        return true;
    }
    Value Parse() {
        Space();
        if (i >= s.size() || ++depth > 512) {
            ok = false;
            return Value();
        }
        Value r;
        const char c = s[i];
        if (c == '{') {
            ++i;
            Object* o = vm.NewObject();
            o->dyn.reset(new DynProps);
            Space();
            if (i < s.size() && s[i] == '}') {
                ++i;
            } else {
                while (ok) {
                    Space();
                    std::string key;
                    if (i >= s.size() || s[i] != '"' || !String(&key)) {
                        ok = false;
                        break;
                    }
                    Space();
                    if (i >= s.size() || s[i] != ':') {
                        ok = false;
                        break;
                    }
                    ++i;
                    const Value v = Parse();
                    o->dyn->Set(key, v);
                    Space();
                    if (i < s.size() && s[i] == ',') {
                        ++i;
                        continue;
                    }
                    if (i < s.size() && s[i] == '}') {
                        ++i;
                        break;
                    }
                    ok = false;
                }
            }
            r = Value::Obj(o);
        } else if (c == '[') {
            ++i;
            std::vector<Value> e;
            Space();
            if (i < s.size() && s[i] == ']') {
                ++i;
            } else {
                while (ok) {
                    e.push_back(Parse());
                    Space();
                    if (i < s.size() && s[i] == ',') {
                        ++i;
                        continue;
                    }
                    if (i < s.size() && s[i] == ']') {
                        ++i;
                        break;
                    }
                    ok = false;
                }
            }
            r = Value::Obj(vm.NewArray(std::move(e)));
        } else if (c == '"') {
            std::string str;
            ok = ok && String(&str);
            r = Value::Str(str);
        } else if (s.compare(i, 4, "true") == 0) {
            i += 4;
            r = Value::Bool(true);
        } else if (s.compare(i, 5, "false") == 0) {
            i += 5;
            r = Value::Bool(false);
        } else if (s.compare(i, 4, "null") == 0) {
            i += 4;
            r = Value::Null();
        } else if (c == '-' || std::isdigit(uint8_t(c))) {
            const size_t start = i;
            if (s[i] == '-')
                ++i;
            while (i < s.size() && (std::isdigit(uint8_t(s[i])) || s[i] == '.' || s[i] == 'e' ||
                                    s[i] == 'E' || s[i] == '+' || s[i] == '-'))
                ++i;
            const double d = StringToNumber(s.substr(start, i - start));
            ok = ok && !std::isnan(d);
            r = Value::Num(d);
        } else {
            ok = false;
        }
        --depth;
        return r;
    }
};

std::string Quote(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            if (c < 0x20) {
                out += "\\u";
                swf::AppendHex(out, c, 4, false);
            } else {
                out += char(c);
            }
        }
    }
    return out + "\"";
}

struct JsonWriter {
    Vm& vm;
    Value replacer;
    std::vector<std::string> allow;
    std::string indent;
    std::vector<Object*> stack;

    bool Write(const Value& holder, const std::string& key, Value v, const std::string& pad,
               std::string* out) {
        // Only a toJSON the object has: a sealed class without one is no error.
        if (v.IsObject() && vm.HasProperty(v, Name::Public("toJSON"))) {
            const Value fn = vm.Get(v, "toJSON");
            if (vm.throwing())
                return false;
            if (fn.IsObject() && fn.o->kind == Kind::Function) {
                Value k = Value::Str(key);
                v = vm.Call(fn, v, &k, 1);
            }
        }
        if (replacer.IsObject() && replacer.o->kind == Kind::Function) {
            Value a[2] = {Value::Str(key), v};
            v = vm.Call(replacer, holder, a, 2);
        }
        if (vm.throwing() || vm.aborted())
            return false;
        switch (v.type) {
        case Type::Null:
            *out += "null";
            return true;
        case Type::Boolean:
            *out += v.b ? "true" : "false";
            return true;
        case Type::Number:
            *out += std::isfinite(v.n) ? NumberToString(v.n) : "null";
            return true;
        case Type::String:
            *out += Quote(v.s);
            return true;
        case Type::Undefined:
            return false;
        case Type::Object:
            break;
        }
        Object* o = v.o;
        if (o->kind == Kind::Function)
            return false;
        for (Object* x : stack)
            if (x == o) {
                vm.ThrowError("TypeError", 1129,
                              "Error #1129: Cyclic structure cannot be converted to JSON string.");
                return false;
            }
        if (stack.size() > 256)
            return false;
        stack.push_back(o);
        const std::string inner = pad + indent;
        if (o->kind == Kind::Array || o->kind == Kind::Vector) {
            *out += '[';
            for (size_t i = 0; i < o->elems.size(); ++i) {
                if (i)
                    *out += ',';
                if (!indent.empty())
                    *out += "\n" + inner;
                if (!Write(v, std::to_string(i), o->elems[i], inner, out)) {
                    if (vm.throwing())
                        return false;
                    *out += "null";
                }
            }
            if (!indent.empty() && !o->elems.empty())
                *out += "\n" + pad;
            *out += ']';
        } else {
            *out += '{';
            bool first = true;
            std::vector<std::string> keys;
            if (!allow.empty()) {
                keys = allow;
            } else {
                // Sealed classes' public fields in slot order, then their getters (by name),
                // then dynamic properties.
                std::vector<std::pair<uint32_t, std::string>> fields;
                std::vector<std::string> getters;
                if (o->cls && o->kind != Kind::Class) {
                    for (const auto& e : o->cls->inst.map) {
                        for (const Binding& b : e.second) {
                            if (b.ns != kPublicNs)
                                continue;
                            if (b.k == Binding::Slot || b.k == Binding::Const)
                                fields.emplace_back(b.slot, e.first);
                            else if (b.k == Binding::Accessor && b.getter)
                                getters.push_back(e.first);
                        }
                    }
                }
                std::sort(fields.begin(), fields.end());
                std::sort(getters.begin(), getters.end());
                for (const auto& f : fields)
                    keys.push_back(f.second);
                keys.insert(keys.end(), getters.begin(), getters.end());
                if (o->dyn)
                    for (const DynProps::Entry& e : o->dyn->entries)
                        if (e.live && e.enumerable)
                            keys.push_back(e.key);
            }
            for (const std::string& k : keys) {
                const Value item = vm.Get(v, k);
                if (vm.throwing())
                    return false;
                std::string part;
                if (!Write(v, k, item, inner, &part)) {
                    if (vm.throwing())
                        return false;
                    continue;
                }
                if (!first)
                    *out += ',';
                first = false;
                if (!indent.empty())
                    *out += "\n" + inner;
                *out += Quote(k) + (indent.empty() ? ":" : ": ") + part;
                if (!vm.StringFits(out->size()))
                    return false;
            }
            if (!indent.empty() && !first)
                *out += "\n" + pad;
            *out += '}';
        }
        stack.pop_back();
        return true;
    }
};

NATIVE(JsonParse) {
    UNUSED;
    const std::string s = argc > 0 ? vm.ToString(args[0]) : "undefined";
    JsonReader r{vm, s};
    const Value v = r.Parse();
    r.Space();
    if (!r.ok || r.i != s.size())
        return vm.ThrowError("SyntaxError", 1132, "Error #1132: Invalid JSON parse input.");
    if (argc > 1 && args[1].IsObject() && args[1].o->kind == Kind::Function) {
        Value a[2] = {Value::Str(""), v};
        return vm.Call(args[1], Value::Null(), a, 2);
    }
    return v;
}
NATIVE(JsonStringify) {
    UNUSED;
    JsonWriter w{vm, Arg(args, argc, 1), {}, "", {}};
    // A replacer given must be a function, an array or null (undefined is refused too).
    if (argc > 1 && !args[1].IsNull() &&
        !(args[1].IsObject() &&
          (args[1].o->kind == Kind::Function || args[1].o->kind == Kind::Array)))
        return vm.ThrowError("TypeError", 1131,
                             "Error #1131: Replacer argument to JSON stringifier must be an array "
                             "or a two parameter function.");
    if (w.replacer.IsObject() && w.replacer.o->kind == Kind::Array)
        for (const Value& k : w.replacer.o->elems)
            w.allow.push_back(vm.ToString(k));
    if (argc > 2) {
        if (args[2].IsNumber())
            w.indent.assign(size_t(std::max(0, std::min(10, ClampInt(args[2].n)))), ' ');
        else if (args[2].IsString())
            w.indent = args[2].s.get().substr(0, 10);
    }
    std::string out;
    if (!w.Write(Value::Null(), "", Arg(args, argc, 0), "", &out))
        return vm.throwing() ? Value() : Value();
    return Value::Str(out);
}

// ---- Dictionary ----
struct DictData : Extra {
    std::vector<std::pair<Object*, Value>> entries; // object keys, in insertion order
    void Mark(Vm& vm) override {
        for (auto& e : entries) {
            vm.MarkValue(Value::Obj(e.first));
            vm.MarkValue(e.second);
        }
    }
};

NATIVE(DictionaryCtor) {
    UNUSED;
    self.o->extra.reset(new DictData);
    return Value();
}

// ---- ByteArray ----
struct Bytes : Extra {
    // Bytes hold no values.
    std::vector<uint8_t> data;
    uint32_t position = 0;
    bool little = false;
    uint8_t encoding = 3; // objectEncoding: AMF0 or AMF3
};
Bytes* BytesOf(const Value& v) {
    return v.IsObject() && v.o->kind == Kind::ByteArray ? static_cast<Bytes*>(v.o->extra.get())
                                                        : nullptr;
}
NATIVE(ByteArrayCtor) {
    UNUSED;
    self.o->extra.reset(new Bytes);
    static_cast<Bytes*>(self.o->extra.get())->encoding = uint8_t(vm.defaultObjectEncoding);
    return Value();
}
bool Need(Vm& vm, Bytes* b, uint32_t n) {
    if (b->position > b->data.size() || b->data.size() - b->position < n) {
        vm.ThrowError("EOFError", 2030, "Error #2030: End of file was encountered.");
        return false;
    }
    return true;
}
// A byte array grows to what a script asks: a refusal by the system is Flash's MemoryError
// here, so that a large request never falls to the memory reserve.
bool Grow(Vm& vm, Bytes* b, size_t n) {
    if (!memory::Growable(b->data, n)) {
        vm.ThrowError("MemoryError", 1000, "Error #1000: The system is out of memory.");
        return false;
    }
    b->data.resize(n);
    return true;
}
void Put(Vm& vm, Bytes* b, const uint8_t* p, size_t n) {
    if (size_t(b->position) + n > (64u << 20)) {
        vm.ThrowError("MemoryError", 1000, "Error #1000: The system is out of memory.");
        return;
    }
    if (b->position + n > b->data.size() && !Grow(vm, b, b->position + n))
        return;
    std::memcpy(b->data.data() + b->position, p, n);
    b->position += uint32_t(n);
}
void PutInt(Vm& vm, Bytes* b, uint64_t v, int n) {
    uint8_t buf[8];
    for (int i = 0; i < n; ++i)
        buf[b->little ? i : n - 1 - i] = uint8_t(v >> (8 * i));
    Put(vm, b, buf, size_t(n));
}
uint64_t GetInt(Bytes* b, int n) {
    uint64_t v = 0;
    for (int i = 0; i < n; ++i)
        v |= uint64_t(b->data[b->position + size_t(b->little ? i : n - 1 - i)]) << (8 * i);
    b->position += uint32_t(n);
    return v;
}
NATIVE(BaLength) {
    UNUSED;
    Bytes* b = BytesOf(self);
    return Value::Num(b ? double(b->data.size()) : 0);
}
NATIVE(BaSetLength) {
    UNUSED;
    Bytes* b = BytesOf(self);
    const uint32_t n = ToUint32(vm.ToNumber(Arg(args, argc, 0)));
    if (b && n <= (64u << 20) && Grow(vm, b, n)) {
        if (b->position > n)
            b->position = n;
    }
    return Value();
}
NATIVE(BaPosition) {
    UNUSED;
    Bytes* b = BytesOf(self);
    return Value::Num(b ? b->position : 0);
}
NATIVE(BaSetPosition) {
    UNUSED;
    if (Bytes* b = BytesOf(self))
        b->position = ToUint32(vm.ToNumber(Arg(args, argc, 0)));
    return Value();
}
NATIVE(BaAvailable) {
    UNUSED;
    Bytes* b = BytesOf(self);
    return Value::Num(b && b->position < b->data.size() ? double(b->data.size() - b->position) : 0);
}
NATIVE(BaEndian) {
    UNUSED;
    Bytes* b = BytesOf(self);
    return Value::Str(b && b->little ? "littleEndian" : "bigEndian");
}
NATIVE(BaSetEndian) {
    UNUSED;
    if (Bytes* b = BytesOf(self))
        b->little = vm.ToString(Arg(args, argc, 0)) == "littleEndian";
    return Value();
}
template <int N, bool Signed> Value BaRead(Vm& vm, const Value& self, Value* args, int argc) {
    UNUSED;
    Bytes* b = BytesOf(self);
    if (!b || !Need(vm, b, N))
        return Value();
    const uint64_t v = GetInt(b, N);
    if (!Signed)
        return Value::Num(double(v));
    const int shift = 64 - 8 * N;
    return Value::Num(double(int64_t(v << shift) >> shift));
}
template <int N> Value BaWrite(Vm& vm, const Value& self, Value* args, int argc) {
    UNUSED;
    if (Bytes* b = BytesOf(self))
        PutInt(vm, b, uint64_t(uint32_t(ToInt32(vm.ToNumber(Arg(args, argc, 0))))), N);
    return Value();
}
NATIVE(BaReadBoolean) {
    UNUSED;
    Bytes* b = BytesOf(self);
    if (!b || !Need(vm, b, 1))
        return Value();
    return Value::Bool(GetInt(b, 1) != 0);
}
NATIVE(BaWriteBoolean) {
    UNUSED;
    if (Bytes* b = BytesOf(self))
        PutInt(vm, b, ToBoolean(Arg(args, argc, 0)) ? 1 : 0, 1);
    return Value();
}
NATIVE(BaReadDouble) {
    UNUSED;
    Bytes* b = BytesOf(self);
    if (!b || !Need(vm, b, 8))
        return Value();
    const uint64_t v = GetInt(b, 8);
    double d;
    std::memcpy(&d, &v, 8);
    return Value::Num(d);
}
NATIVE(BaWriteDouble) {
    UNUSED;
    if (Bytes* b = BytesOf(self)) {
        const double d = vm.ToNumber(Arg(args, argc, 0));
        uint64_t v;
        std::memcpy(&v, &d, 8);
        PutInt(vm, b, v, 8);
    }
    return Value();
}
NATIVE(BaReadFloat) {
    UNUSED;
    Bytes* b = BytesOf(self);
    if (!b || !Need(vm, b, 4))
        return Value();
    const uint32_t v = uint32_t(GetInt(b, 4));
    float f;
    std::memcpy(&f, &v, 4);
    return Value::Num(f);
}
NATIVE(BaWriteFloat) {
    UNUSED;
    if (Bytes* b = BytesOf(self)) {
        const float f = float(vm.ToNumber(Arg(args, argc, 0)));
        uint32_t v;
        std::memcpy(&v, &f, 4);
        PutInt(vm, b, v, 4);
    }
    return Value();
}
NATIVE(BaWriteUTFBytes) {
    UNUSED;
    if (Bytes* b = BytesOf(self)) {
        const std::string s = vm.ToString(Arg(args, argc, 0));
        Put(vm, b, reinterpret_cast<const uint8_t*>(s.data()), s.size());
    }
    return Value();
}
NATIVE(BaWriteUTF) {
    UNUSED;
    if (Bytes* b = BytesOf(self)) {
        const std::string s = vm.ToString(Arg(args, argc, 0));
        if (s.size() > 65535)
            return vm.ThrowError("RangeError", 2006,
                                 "Error #2006: The supplied index is out of bounds.");
        PutInt(vm, b, s.size(), 2);
        Put(vm, b, reinterpret_cast<const uint8_t*>(s.data()), s.size());
    }
    return Value();
}
NATIVE(BaReadUTFBytes) {
    UNUSED;
    Bytes* b = BytesOf(self);
    const uint32_t n = ToUint32(vm.ToNumber(Arg(args, argc, 0)));
    if (!b || !Need(vm, b, n))
        return Value();
    std::string s(reinterpret_cast<const char*>(b->data.data() + b->position), n);
    b->position += n;
    if (s.compare(0, 3, "\xEF\xBB\xBF") == 0) // a byte order mark is not text
        s.erase(0, 3);
    const size_t z = s.find('\0');
    return Value::Str(z == std::string::npos ? s : s.substr(0, z));
}
// flash.crypto.generateRandomBytes(n): 1 to 1024 bytes.
NATIVE(GenerateRandomBytes) {
    UNUSED;
    const double n = vm.ToNumber(Arg(args, argc, 0));
    if (!(n >= 1 && n <= 1024))
        return vm.ThrowError("RangeError", 2004, "Error #2004: One of the parameters is invalid.");
    const Value ba = vm.ConstructClass(vm.Builtin("ByteArray"), nullptr, 0);
    Bytes* b = BytesOf(ba);
    if (!b)
        return Value();
    vm.heap().Account(ba.o, size_t(n));
    for (int i = 0; i < int(n); ++i)
        b->data.push_back(uint8_t(vm.Random() * 256));
    return ba;
}
NATIVE(BaReadUTF) {
    UNUSED;
    Bytes* b = BytesOf(self);
    if (!b || !Need(vm, b, 2))
        return Value();
    Value n = Value::Num(double(GetInt(b, 2)));
    return BaReadUTFBytes(vm, self, &n, 1);
}
NATIVE(BaWriteBytes) {
    UNUSED;
    Bytes* b = BytesOf(self);
    Bytes* src = BytesOf(Arg(args, argc, 0));
    if (!b || !src)
        return Value();
    const uint32_t off = argc > 1 ? ToUint32(vm.ToNumber(args[1])) : 0;
    uint32_t len = argc > 2 ? ToUint32(vm.ToNumber(args[2])) : 0;
    if (off > src->data.size())
        return vm.ThrowError("RangeError", 2006,
                             "Error #2006: The supplied index is out of bounds.");
    if (len == 0 || len > src->data.size() - off)
        len = uint32_t(src->data.size() - off);
    const std::vector<uint8_t> copy(src->data.begin() + off, src->data.begin() + off + len);
    Put(vm, b, copy.data(), copy.size());
    return Value();
}
NATIVE(BaReadBytes) {
    UNUSED;
    Bytes* b = BytesOf(self);
    Bytes* dst = BytesOf(Arg(args, argc, 0));
    if (!b || !dst)
        return Value();
    const uint32_t off = argc > 1 ? ToUint32(vm.ToNumber(args[1])) : 0;
    uint32_t len = argc > 2 ? ToUint32(vm.ToNumber(args[2])) : 0;
    if (len == 0)
        len = b->position < b->data.size() ? uint32_t(b->data.size() - b->position) : 0;
    if (!Need(vm, b, len))
        return Value();
    const uint32_t keep = dst->position;
    dst->position = off;
    Put(vm, dst, b->data.data() + b->position, len);
    dst->position = keep;
    b->position += len;
    return Value();
}
NATIVE(BaClear) {
    UNUSED;
    if (Bytes* b = BytesOf(self)) {
        b->data.clear();
        b->position = 0;
    }
    return Value();
}
// Written in AMF3 (under AMF0, behind its switch marker); read in the encoding set.
NATIVE(BaWriteObject) {
    UNUSED;
    Bytes* b = BytesOf(self);
    if (!b)
        return Value();
    std::vector<uint8_t> out;
    if (b->encoding == 0)
        out.push_back(0x11); // AMF0's switch to AMF3, so it reads back either way
    AmfWrite(vm, argc > 0 ? args[0] : Value(), &out);
    if (!vm.throwing() && !out.empty()) {
        vm.heap().Account(self.o, out.size());
        Put(vm, b, out.data(), out.size());
    }
    return Value();
}
NATIVE(BaReadObject) {
    UNUSED;
    Bytes* b = BytesOf(self);
    if (!b || !Need(vm, b, 1))
        return Value();
    uint32_t pos = b->position;
    const Value v = AmfRead(vm, b->data, &pos, b->encoding == 0);
    b->position = pos;
    return v;
}
NATIVE(BaObjectEncoding) {
    UNUSED;
    Bytes* b = BytesOf(self);
    return Value::Num(b ? b->encoding : 3);
}
// Only 0 and 3 are encodings; anything else leaves it as it is.
NATIVE(BaSetObjectEncoding) {
    UNUSED;
    Bytes* b = BytesOf(self);
    const double e = argc > 0 ? vm.ToNumber(args[0]) : 3;
    if (b && (e == 0 || e == 3))
        b->encoding = uint8_t(e);
    return Value();
}
NATIVE(BaDefaultEncoding) {
    UNUSED;
    return Value::Num(vm.defaultObjectEncoding);
}
NATIVE(BaSetDefaultEncoding) {
    UNUSED;
    const double e = argc > 0 ? vm.ToNumber(args[0]) : 3;
    if (e == 0 || e == 3)
        vm.defaultObjectEncoding = int(e);
    return Value();
}
NATIVE(BaToString) {
    UNUSED;
    Bytes* b = BytesOf(self);
    if (!b)
        return Value::Str("");
    size_t start =
        b->data.size() >= 3 && b->data[0] == 0xEF && b->data[1] == 0xBB && b->data[2] == 0xBF ? 3
                                                                                              : 0;
    return Value::Str(std::string(b->data.begin() + long(start), b->data.end()));
}

// ---- flash.utils ----
NATIVE(GetTimer) {
    UNUSED;
    return Value::Num(std::floor(vm.Now()));
}
Value AddTimer(Vm& vm, Value* args, int argc, bool once) {
    if (argc < 1 || !args[0].IsObject())
        return Value::Num(0);
    Vm::Timer t;
    t.fn = args[0];
    t.interval = argc > 1 ? std::max(1.0, vm.ToNumber(args[1])) : 1;
    if (std::isnan(t.interval))
        t.interval = 1;
    t.due = vm.Now() + t.interval;
    t.once = once;
    for (int i = 2; i < argc; ++i)
        t.args.push_back(args[i]);
    return Value::Num(vm.AddTimer(std::move(t)));
}
NATIVE(SetTimeout) {
    UNUSED;
    return AddTimer(vm, args, argc, true);
}
NATIVE(SetInterval) {
    UNUSED;
    return AddTimer(vm, args, argc, false);
}
NATIVE(ClearTimer) {
    UNUSED;
    vm.RemoveTimer(ClampInt(vm.ToNumber(Arg(args, argc, 0))));
    return Value();
}
std::string QualifiedName(Vm& vm, const Value& v) {
    if (v.IsNullish())
        return v.IsUndefined() ? "void" : "null";
    ClassInfo* c = v.IsObject() && v.o->kind == Kind::Class ? v.o->info : vm.ClassOf(v);
    if (v.IsObject() && v.o->kind == Kind::Function)
        return "builtin.as$0::MethodClosure";
    return c ? c->QualifiedName() : "Object";
}
NATIVE(GetQualifiedClassName) {
    UNUSED;
    return Value::Str(QualifiedName(vm, Arg(args, argc, 0)));
}
NATIVE(GetQualifiedSuperclassName) {
    UNUSED;
    const Value v = Arg(args, argc, 0);
    ClassInfo* c = v.IsObject() && v.o->kind == Kind::Class ? v.o->info : vm.ClassOf(v);
    if (c == vm.intClass || c == vm.uintClass)
        c = vm.numberClass;
    if (!c || !c->super)
        return Value::Null();
    return Value::Str(c->super->QualifiedName());
}
NATIVE(GetDefinitionByName) {
    UNUSED;
    return vm.DefinitionOrError(vm.ToString(Arg(args, argc, 0)));
}

} // namespace

// byteArray[i]: the byte, or undefined past the end; a write past the end grows the array.
Value ByteArrayAt(Object* o, uint32_t index) {
    const Bytes* b = static_cast<const Bytes*>(o->extra.get());
    return b && index < b->data.size() ? Value::Num(b->data[index]) : Value();
}
void ByteArrayPut(Vm& vm, Object* o, uint32_t index, const Value& v) {
    Bytes* b = static_cast<Bytes*>(o->extra.get());
    const double x = vm.ToNumber(v);
    if (!b || vm.throwing())
        return;
    if (index >= b->data.size()) {
        if (index >= vm.limits().maxElements) {
            vm.ThrowError("RangeError", 1000, "Error #1000: The system is out of memory.");
            vm.Abort(RunResult::OutOfMemory);
            return;
        }
        vm.heap().Account(o, index + 1 - b->data.size());
        if (!Grow(vm, b, size_t(index) + 1))
            return;
    }
    b->data[index] = uint8_t(ToInt32(x) & 0xFF);
}

std::vector<uint8_t>* ByteArrayData(const Value& v) {
    Bytes* b = BytesOf(v);
    return b ? &b->data : nullptr;
}

// Floats at the array's position in its byte order, as writeFloat writes each.
void ByteArrayWriteFloats(Vm& vm, const Value& v, const float* f, size_t n) {
    Bytes* b = BytesOf(v);
    for (size_t i = 0; b && i < n && !vm.throwing(); ++i) {
        uint32_t x;
        std::memcpy(&x, &f[i], 4);
        PutInt(vm, b, x, 4);
    }
}

bool DictionaryGet(Vm& vm, Object* dict, const Value& key, Value* out) {
    (void)vm;
    DictData* d = static_cast<DictData*>(dict->extra.get());
    if (d)
        for (auto& e : d->entries)
            if (e.first == key.o) {
                *out = e.second;
                return true;
            }
    return false;
}
bool DictionarySet(Vm& vm, Object* dict, const Value& key, const Value& v) {
    DictData* d = static_cast<DictData*>(dict->extra.get());
    if (!d)
        return false;
    for (auto& e : d->entries)
        if (e.first == key.o) {
            e.second = v;
            return true;
        }
    vm.heap().Account(dict, sizeof(Value) * 2);
    d->entries.emplace_back(key.o, v);
    return true;
}
bool DictionaryDelete(Vm& vm, Object* dict, const Value& key) {
    (void)vm;
    DictData* d = static_cast<DictData*>(dict->extra.get());
    if (d)
        for (size_t i = 0; i < d->entries.size(); ++i)
            if (d->entries[i].first == key.o) {
                d->entries.erase(d->entries.begin() + long(i));
                return true;
            }
    return false;
}
void DictionaryKeys(Object* dict, std::vector<Value>* out) {
    DictData* d = static_cast<DictData*>(dict->extra.get());
    if (d)
        for (auto& e : d->entries)
            out->push_back(Value::Obj(e.first));
}
// flash.trace.Trace: a release player keeps no trace level nor listener.
NATIVE(TraceLevel) {
    UNUSED;
    return Value::Num(0);
}
NATIVE(TraceListener) {
    UNUSED;
    return Value::Null();
}
NATIVE(TraceIgnore) {
    UNUSED;
    return Value();
}
void InstallTrace(Vm& vm) {
    ClassInfo* t = vm.DefineClass("flash.trace", "Trace", vm.objectClass, Kind::Plain, nullptr);
    const std::pair<const char*, int> constants[] = {{"OFF", 0},
                                                     {"METHODS", 1},
                                                     {"METHODS_WITH_ARGS", 2},
                                                     {"METHODS_AND_LINES", 3},
                                                     {"METHODS_AND_LINES_WITH_ARGS", 4},
                                                     {"FILE", 1},
                                                     {"LISTENER", 2}};
    for (const auto& c : constants)
        vm.AddConstant(t, c.first, Value::Num(c.second));
    vm.AddMethod(t, "getLevel", TraceLevel, true)->length = 1;
    vm.AddMethod(t, "getListener", TraceListener, true)->length = 0;
    vm.AddMethod(t, "setLevel", TraceIgnore, true)->length = 2;
    vm.AddMethod(t, "setListener", TraceIgnore, true)->length = 1;
}

void InstallLibrary(Vm& vm) {
    InstallTrace(vm);
    InstallDate(vm);
    InstallRegExp(vm);
    ClassInfo* json = vm.DefineClass("", "JSON", vm.objectClass, Kind::Plain, nullptr);
    static const Native jsonNatives[] = {StaticFn("parse", JsonParse),
                                         StaticFn("stringify", JsonStringify)};
    vm.AddNatives(json, jsonNatives);

    ClassInfo* dict = vm.DefineClass("flash.utils", "Dictionary", vm.objectClass, Kind::Dictionary,
                                     DictionaryCtor);
    dict->sealed = false;

    // Endian: the two names ByteArray.endian takes.
    ClassInfo* endian =
        vm.DefineClass("flash.utils", "Endian", vm.objectClass, Kind::Plain, nullptr);
    vm.AddConstant(endian, "BIG_ENDIAN", Value::Str("bigEndian"));
    vm.AddConstant(endian, "LITTLE_ENDIAN", Value::Str("littleEndian"));

    ClassInfo* ba =
        vm.DefineClass("flash.utils", "ByteArray", vm.objectClass, Kind::ByteArray, ByteArrayCtor);
    static const Native baNatives[] = {
        Accessor("length", BaLength, BaSetLength),
        Accessor("position", BaPosition, BaSetPosition),
        Accessor("bytesAvailable", BaAvailable),
        Accessor("endian", BaEndian, BaSetEndian),
    };
    vm.AddNatives(ba, baNatives);
    static const struct {
        const char* name;
        NativeFn fn;
    } methods[] = {{"readByte", BaRead<1, true>},
                   {"readUnsignedByte", BaRead<1, false>},
                   {"readShort", BaRead<2, true>},
                   {"readUnsignedShort", BaRead<2, false>},
                   {"readInt", BaRead<4, true>},
                   {"readUnsignedInt", BaRead<4, false>},
                   {"writeByte", BaWrite<1>},
                   {"writeShort", BaWrite<2>},
                   {"writeInt", BaWrite<4>},
                   {"writeUnsignedInt", BaWrite<4>},
                   {"readBoolean", BaReadBoolean},
                   {"writeBoolean", BaWriteBoolean},
                   {"readDouble", BaReadDouble},
                   {"writeDouble", BaWriteDouble},
                   {"readFloat", BaReadFloat},
                   {"writeFloat", BaWriteFloat},
                   {"readUTF", BaReadUTF},
                   {"writeUTF", BaWriteUTF},
                   {"readUTFBytes", BaReadUTFBytes},
                   {"writeUTFBytes", BaWriteUTFBytes},
                   {"readMultiByte", BaReadUTFBytes},
                   {"writeBytes", BaWriteBytes},
                   {"readBytes", BaReadBytes},
                   {"clear", BaClear},
                   {"writeObject", BaWriteObject},
                   {"readObject", BaReadObject},
                   {"toString", BaToString}};
    for (const auto& m : methods)
        vm.AddMethod(ba, m.name, m.fn);
    static const Native baNatives2[] = {
        Accessor("objectEncoding", BaObjectEncoding, BaSetObjectEncoding),
        StaticAccessor("defaultObjectEncoding", BaDefaultEncoding, BaSetDefaultEncoding)};
    vm.AddNatives(ba, baNatives2);
    InstallAmf(vm);

    vm.DefineFunction("flash.utils", "getTimer", GetTimer);
    vm.DefineFunction("flash.crypto", "generateRandomBytes", GenerateRandomBytes);
    vm.DefineFunction("flash.utils", "setTimeout", SetTimeout);
    vm.DefineFunction("flash.utils", "setInterval", SetInterval);
    vm.DefineFunction("flash.utils", "clearTimeout", ClearTimer);
    vm.DefineFunction("flash.utils", "clearInterval", ClearTimer);
    vm.DefineFunction("flash.utils", "getQualifiedClassName", GetQualifiedClassName);
    vm.DefineFunction("flash.utils", "getQualifiedSuperclassName", GetQualifiedSuperclassName);
    vm.DefineFunction("flash.utils", "getDefinitionByName", GetDefinitionByName);
    // The same functions under the VM's own package, as some compilers name them.
    vm.DefineFunction("avmplus", "getQualifiedClassName", GetQualifiedClassName);
    vm.DefineFunction("avmplus", "getQualifiedSuperclassName", GetQualifiedSuperclassName);
}

} // namespace avm2
