// AMF3, the form ByteArray.writeObject and readObject keep values in (movies deep-copy objects
// through it), and class aliases (registerClassAlias) that let typed objects come back typed.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "player/core/avm2/vm.h"

namespace avm2 {

std::vector<uint8_t>* ByteArrayData(const Value& v);

namespace {

#define NATIVE(name) Value name(Vm& vm, const Value& self, Value* args, int argc)
#define UNUSED (void)vm, (void)self, (void)args, (void)argc

const int kMaxDepth = 256; // nesting, written or read

// The public, declared (sealed) members of a typed object's class: variables and accessors
// both read and written, by name as Flash lists them.
std::vector<std::string> SealedNames(const ClassInfo* c) {
    std::vector<std::string> out;
    for (const auto& e : c->inst.map)
        for (const Binding& b : e.second)
            if (b.ns == kPublicNs && (b.k == Binding::Slot || b.k == Binding::Const ||
                                      (b.k == Binding::Accessor && b.getter && b.setter)))
                out.push_back(e.first);
    std::sort(out.begin(), out.end());
    return out;
}

std::string AliasOf(Vm& vm, const ClassInfo* c) {
    for (const auto& a : vm.classAliases)
        if (a.second == c)
            return a.first;
    return std::string();
}

class Writer {
  public:
    Writer(Vm& vm, std::vector<uint8_t>& out) : vm_(vm), out_(out) {}

    void Value3(const Value& v, int depth) {
        if (vm_.throwing() || vm_.aborted() || !vm_.Step())
            return;
        if (depth > kMaxDepth) {
            vm_.ThrowError("Error", 1023, "Error #1023: Stack overflow occurred.");
            return;
        }
        switch (v.type) {
        case Type::Undefined:
            return Byte(0x00);
        case Type::Null:
            return Byte(0x01);
        case Type::Boolean:
            return Byte(v.b ? 0x03 : 0x02);
        case Type::Number:
            if (v.n == std::floor(v.n) && v.n >= -268435456.0 && v.n <= 268435455.0 &&
                !(v.n == 0 && std::signbit(v.n))) {
                Byte(0x04);
                return U29(uint32_t(int32_t(v.n)) & 0x1FFFFFFF);
            }
            Byte(0x05);
            return Double(v.n);
        case Type::String:
            Byte(0x06);
            return String(v.s);
        case Type::Object:
            return Object3(v, depth);
        }
    }

  private:
    void Byte(uint8_t b) { out_.push_back(b); }
    void U29(uint32_t v) {
        if (v < 0x80) {
            Byte(uint8_t(v));
        } else if (v < 0x4000) {
            Byte(uint8_t(0x80 | (v >> 7))), Byte(uint8_t(v & 0x7F));
        } else if (v < 0x200000) {
            Byte(uint8_t(0x80 | (v >> 14))), Byte(uint8_t(0x80 | ((v >> 7) & 0x7F)));
            Byte(uint8_t(v & 0x7F));
        } else {
            Byte(uint8_t(0x80 | (v >> 22))), Byte(uint8_t(0x80 | ((v >> 15) & 0x7F)));
            Byte(uint8_t(0x80 | ((v >> 8) & 0x7F))), Byte(uint8_t(v & 0xFF));
        }
    }
    void Double(double d) {
        uint64_t bits;
        std::memcpy(&bits, &d, 8);
        for (int i = 7; i >= 0; --i)
            Byte(uint8_t(bits >> (8 * i)));
    }
    void Int32(uint32_t v) {
        for (int i = 3; i >= 0; --i)
            Byte(uint8_t(v >> (8 * i)));
    }
    // A string by reference once written; the empty string is never referenced.
    void String(const std::string& s) {
        if (s.empty())
            return Byte(0x01);
        auto it = strings_.find(s);
        if (it != strings_.end())
            return U29(it->second << 1);
        const uint32_t n = uint32_t(strings_.size());
        strings_.emplace(s, n);
        U29(uint32_t(s.size() << 1) | 1);
        out_.insert(out_.end(), s.begin(), s.end());
    }
    bool Reference(Object* o) {
        auto it = objects_.find(o);
        if (it != objects_.end()) {
            U29(it->second << 1);
            return true;
        }
        const uint32_t n = uint32_t(objects_.size());
        objects_.emplace(o, n);
        return false;
    }
    void Object3(const Value& v, int depth) {
        Object* o = v.o;
        if (o->kind == Kind::Function || o->kind == Kind::Class)
            return Byte(0x00); // not written: read back as undefined
        if (o->kind == Kind::Date) {
            Byte(0x08);
            if (!Reference(o))
                U29(1), Double(o->num);
            return;
        }
        if (o->kind == Kind::ByteArray) {
            Byte(0x0C);
            if (!Reference(o)) {
                const std::vector<uint8_t>* d = ByteArrayData(v);
                U29(uint32_t((d ? d->size() : 0) << 1) | 1);
                if (d)
                    out_.insert(out_.end(), d->begin(), d->end());
            }
            return;
        }
        if (o->kind == Kind::Vector)
            return Vector3(o, depth);
        if (o->kind == Kind::Array) {
            Byte(0x09);
            if (Reference(o))
                return;
            U29(uint32_t(o->elems.size() << 1) | 1);
            if (o->dyn)
                for (const DynProps::Entry& e : o->dyn->entries)
                    if (e.live && e.enumerable) {
                        String(e.key);
                        Value3(e.value, depth + 1);
                    }
            Byte(0x01);
            for (const Value& e : o->elems)
                Value3(e.IsHole() ? Value() : e, depth + 1);
            return;
        }
        Byte(0x0A);
        if (Reference(o))
            return;
        ClassInfo* c = o->cls;
        const bool typed = c && c != vm_.objectClass;
        const std::vector<std::string> sealed = typed ? SealedNames(c) : std::vector<std::string>();
        const bool dynamic = !typed || !c->sealed;
        auto known = traits_.find(c);
        if (known != traits_.end()) {
            U29((known->second << 2) | 1);
        } else {
            traits_.emplace(c, uint32_t(traits_.size()));
            U29(uint32_t(sealed.size() << 4) | (dynamic ? 0x08 : 0) | 0x03);
            String(typed ? AliasOf(vm_, c) : std::string());
            for (const std::string& n : sealed)
                String(n);
        }
        for (const std::string& n : sealed)
            Value3(vm_.Get(v, n), depth + 1);
        if (dynamic && o->dyn)
            for (const DynProps::Entry& e : o->dyn->entries)
                if (e.live && e.enumerable) {
                    String(e.key);
                    Value3(e.value, depth + 1);
                }
        if (dynamic)
            Byte(0x01);
    }
    void Vector3(Object* o, int depth) {
        const SlotType t = o->cls->vectorType;
        Byte(t == SlotType::Int      ? 0x0D
             : t == SlotType::Uint   ? 0x0E
             : t == SlotType::Number ? 0x0F
                                     : 0x10);
        if (Reference(o))
            return;
        U29(uint32_t(o->elems.size() << 1) | 1);
        Byte(o->num != 0 ? 1 : 0); // fixed
        if (t == SlotType::Int || t == SlotType::Uint) {
            for (const Value& e : o->elems)
                Int32(uint32_t(int64_t(e.n)));
            return;
        }
        if (t == SlotType::Number) {
            for (const Value& e : o->elems)
                Double(e.n);
            return;
        }
        const ClassInfo* of = o->cls->vectorOf;
        String(of ? AliasOf(vm_, of) : std::string()); // a type goes by its alias, if any
        for (const Value& e : o->elems)
            Value3(e, depth + 1);
    }

    Vm& vm_;
    std::vector<uint8_t>& out_;
    std::map<std::string, uint32_t> strings_;
    std::map<Object*, uint32_t> objects_;
    std::map<const ClassInfo*, uint32_t> traits_;
};

class Reader {
  public:
    Reader(Vm& vm, const std::vector<uint8_t>& in, uint32_t pos) : vm_(vm), in_(in), pos_(pos) {}
    uint32_t pos() const { return pos_; }

    Value Value3(int depth) {
        if (vm_.throwing() || vm_.aborted() || !vm_.Step())
            return Value();
        if (depth > kMaxDepth)
            return Fail();
        uint8_t marker;
        if (!Byte(&marker))
            return Value();
        switch (marker) {
        case 0x00:
            return Value();
        case 0x01:
            return Value::Null();
        case 0x02:
            return Value::Bool(false);
        case 0x03:
            return Value::Bool(true);
        case 0x04: {
            uint32_t v;
            if (!U29(&v))
                return Value();
            return Value::Num(double(int32_t(v << 3) >> 3)); // 29 bits, signed
        }
        case 0x05: {
            double d;
            return Double(&d) ? Value::Num(d) : Value();
        }
        case 0x06: {
            std::string s;
            return String(&s) ? Value::Str(s) : Value();
        }
        case 0x08:
            return Date();
        case 0x09:
            return Array(depth);
        case 0x0A:
            return Object3(depth);
        case 0x0C:
            return Bytes();
        case 0x0D:
        case 0x0E:
        case 0x0F:
        case 0x10:
            return Vector3(marker, depth);
        default:
            return Fail();
        }
    }

  private:
    Value Fail() {
        if (!vm_.throwing())
            vm_.ThrowError("RangeError", 2006, "Error #2006: The supplied index is out of bounds.");
        return Value();
    }
    bool Byte(uint8_t* b) {
        if (pos_ >= in_.size()) {
            vm_.ThrowError("EOFError", 2030, "Error #2030: End of file was encountered.");
            return false;
        }
        *b = in_[pos_++];
        return true;
    }
    bool U29(uint32_t* v) {
        *v = 0;
        uint8_t b = 0;
        for (int i = 0; i < 4; ++i) {
            if (!Byte(&b))
                return false;
            if (i == 3) {
                *v = (*v << 8) | b;
                return true;
            }
            *v = (*v << 7) | (b & 0x7F);
            if (!(b & 0x80))
                return true;
        }
        return true;
    }
    bool Double(double* d) {
        uint64_t bits = 0;
        uint8_t b;
        for (int i = 0; i < 8; ++i) {
            if (!Byte(&b))
                return false;
            bits = (bits << 8) | b;
        }
        std::memcpy(d, &bits, 8);
        return true;
    }
    bool Take(uint32_t n, std::string* s) {
        if (in_.size() - pos_ < n) {
            vm_.ThrowError("EOFError", 2030, "Error #2030: End of file was encountered.");
            return false;
        }
        s->assign(reinterpret_cast<const char*>(in_.data()) + pos_, n);
        pos_ += n;
        return true;
    }
    bool String(std::string* s) {
        uint32_t h;
        if (!U29(&h))
            return false;
        if (!(h & 1)) {
            if ((h >> 1) >= strings_.size())
                return Fail(), false;
            *s = strings_[h >> 1];
            return true;
        }
        if (!Take(h >> 1, s))
            return false;
        if (!s->empty())
            strings_.push_back(*s);
        return true;
    }
    // An object marker's header: a reference (returned in *ref) or an inline count.
    bool Header(uint32_t* inlineValue, Value* ref) {
        uint32_t h;
        if (!U29(&h))
            return false;
        if (!(h & 1)) {
            if ((h >> 1) >= objects_.size())
                return Fail(), false;
            *ref = objects_[h >> 1];
            return false;
        }
        *inlineValue = h >> 1;
        return true;
    }
    Value Date() {
        uint32_t n;
        Value ref;
        if (!Header(&n, &ref))
            return ref;
        double ms;
        if (!Double(&ms))
            return Value();
        Value a = Value::Num(ms);
        const Value d = vm_.ConstructClass(vm_.Builtin("Date"), &a, 1);
        objects_.push_back(d);
        return d;
    }
    Value Bytes() {
        uint32_t n;
        Value ref;
        if (!Header(&n, &ref))
            return ref;
        std::string s;
        if (!Take(n, &s))
            return Value();
        const Value b = vm_.ConstructClass(vm_.Builtin("ByteArray"), nullptr, 0);
        if (std::vector<uint8_t>* d = ByteArrayData(b)) {
            vm_.heap().Account(b.o, s.size());
            d->assign(s.begin(), s.end());
        }
        objects_.push_back(b);
        return b;
    }
    Value Array(int depth) {
        uint32_t n;
        Value ref;
        if (!Header(&n, &ref))
            return ref;
        if (n > in_.size() - pos_) // each element takes a byte at least
            return Fail();
        const Value a = Value::Obj(vm_.NewArray());
        objects_.push_back(a);
        // The named part comes first in the bytes, but index names among it land past the
        // dense part, so it is stored after.
        std::vector<std::pair<std::string, Value>> named;
        for (;;) {
            std::string key;
            if (!String(&key))
                return Value();
            if (key.empty())
                break;
            named.emplace_back(key, Value3(depth + 1));
            if (vm_.throwing())
                return Value();
        }
        std::vector<Value> elems;
        for (uint32_t i = 0; i < n && !vm_.throwing(); ++i)
            elems.push_back(Value3(depth + 1));
        vm_.heap().Account(a.o, elems.size() * sizeof(Value));
        a.o->elems = std::move(elems);
        for (const auto& p : named)
            vm_.Set(a, p.first, p.second);
        return a;
    }
    struct TraitsInfo {
        std::string alias;
        std::vector<std::string> sealed;
        bool dynamic = false;
    };
    Value Object3(int depth) {
        uint32_t h;
        Value ref;
        if (!Header(&h, &ref))
            return ref;
        TraitsInfo t;
        if (!(h & 1)) { // traits by reference
            if ((h >> 1) >= traits_.size())
                return Fail();
            t = traits_[h >> 1];
        } else if (h & 2) { // externalizable: not kept by this player
            return Fail();
        } else {
            t.dynamic = (h & 4) != 0;
            const uint32_t count = h >> 3;
            if (count > in_.size() - pos_ || !String(&t.alias))
                return Fail();
            for (uint32_t i = 0; i < count; ++i) {
                std::string n;
                if (!String(&n))
                    return Value();
                t.sealed.push_back(n);
            }
            traits_.push_back(t);
        }
        auto alias = vm_.classAliases.find(t.alias);
        const Value o = alias != vm_.classAliases.end() && !t.alias.empty()
                            ? vm_.ConstructClass(alias->second, nullptr, 0)
                            : Value::Obj(vm_.NewObject());
        if (vm_.throwing())
            return Value();
        objects_.push_back(o);
        for (const std::string& n : t.sealed) {
            const Value v = Value3(depth + 1);
            if (vm_.throwing())
                return Value();
            vm_.Set(o, n, v);
            // A member the class refuses is reported and skipped; the object still comes,
            // unless the error cannot be told (its toString fails: that error goes on).
            if (vm_.throwing() && !vm_.aborted()) {
                const std::string text = vm_.ToString(vm_.TakeThrown());
                if (vm_.throwing())
                    return Value();
                vm_.Trace(text);
            }
        }
        while (t.dynamic) {
            std::string key;
            if (!String(&key))
                return Value();
            if (key.empty())
                break;
            const Value v = Value3(depth + 1);
            if (vm_.throwing())
                return Value();
            vm_.Set(o, key, v);
        }
        return o;
    }
    Value Vector3(uint8_t marker, int depth) {
        uint32_t n;
        Value ref;
        if (!Header(&n, &ref))
            return ref;
        uint8_t fixed;
        if (!Byte(&fixed) || n > in_.size() - pos_)
            return Fail();
        ClassInfo* of = marker == 0x0D   ? vm_.intClass
                        : marker == 0x0E ? vm_.uintClass
                        : marker == 0x0F ? vm_.numberClass
                                         : nullptr;
        if (marker == 0x10) {
            std::string type;
            if (!String(&type))
                return Value();
            auto alias = vm_.classAliases.find(type);
            of = alias != vm_.classAliases.end() ? alias->second : vm_.objectClass;
        }
        const Value v = vm_.ConstructClass(vm_.VectorOf(of), nullptr, 0);
        if (vm_.throwing() || !v.IsObject())
            return Value();
        objects_.push_back(v);
        std::vector<Value> elems;
        for (uint32_t i = 0; i < n && !vm_.throwing(); ++i) {
            if (marker == 0x0D || marker == 0x0E) {
                std::string four;
                if (!Take(4, &four))
                    return Value();
                const uint32_t x = uint32_t(uint8_t(four[0])) << 24 |
                                   uint32_t(uint8_t(four[1])) << 16 |
                                   uint32_t(uint8_t(four[2])) << 8 | uint8_t(four[3]);
                elems.push_back(Value::Num(marker == 0x0D ? double(int32_t(x)) : double(x)));
            } else if (marker == 0x0F) {
                double d;
                if (!Double(&d))
                    return Value();
                elems.push_back(Value::Num(d));
            } else {
                elems.push_back(vm_.Coerce(Value3(depth + 1), v.o->cls->vectorType));
            }
        }
        vm_.heap().Account(v.o, elems.size() * sizeof(Value));
        v.o->elems = std::move(elems);
        v.o->num = fixed ? 1 : 0;
        return v;
    }

    Vm& vm_;
    const std::vector<uint8_t>& in_;
    uint32_t pos_;
    std::vector<std::string> strings_;
    std::vector<Value> objects_;
    std::vector<TraitsInfo> traits_;
};

// AMF0, the older form, read when a ByteArray's objectEncoding is 0.
class Reader0 {
  public:
    Reader0(Vm& vm, const std::vector<uint8_t>& in, uint32_t pos) : vm_(vm), in_(in), pos_(pos) {}
    uint32_t pos() const { return pos_; }

    Value Value0(int depth) {
        if (vm_.throwing() || vm_.aborted() || !vm_.Step())
            return Value();
        if (depth > kMaxDepth)
            return Fail();
        uint32_t marker;
        if (!Int(1, &marker))
            return Value();
        switch (marker) {
        case 0x00: {
            double d;
            return Double(&d) ? Value::Num(d) : Value();
        }
        case 0x01: {
            uint32_t b;
            return Int(1, &b) ? Value::Bool(b != 0) : Value();
        }
        case 0x02:
        case 0x0C: {
            std::string s;
            return String(marker == 0x02 ? 2 : 4, &s) ? Value::Str(s) : Value();
        }
        case 0x03:
            return Props(Value::Obj(vm_.NewObject()), depth);
        case 0x05:
            return Value::Null();
        case 0x06:
            return Value();
        case 0x07: {
            uint32_t i;
            if (!Int(2, &i))
                return Value();
            return i < objects_.size() ? objects_[i] : Fail();
        }
        case 0x08: {
            uint32_t count;
            if (!Int(4, &count))
                return Value();
            return Props(Value::Obj(vm_.NewArray()), depth);
        }
        case 0x0A: {
            uint32_t n;
            if (!Int(4, &n) || n > in_.size() - pos_)
                return Fail();
            const Value a = Value::Obj(vm_.NewArray());
            objects_.push_back(a);
            std::vector<Value> elems;
            for (uint32_t i = 0; i < n && !vm_.throwing(); ++i)
                elems.push_back(Value0(depth + 1));
            vm_.heap().Account(a.o, elems.size() * sizeof(Value));
            a.o->elems = std::move(elems);
            return a;
        }
        case 0x0B: {
            double ms;
            uint32_t zone;
            if (!Double(&ms) || !Int(2, &zone))
                return Value();
            Value a = Value::Num(ms);
            return vm_.ConstructClass(vm_.Builtin("Date"), &a, 1);
        }
        case 0x10: {
            std::string alias;
            if (!String(2, &alias))
                return Value();
            auto it = vm_.classAliases.find(alias);
            const Value o = it != vm_.classAliases.end()
                                ? vm_.ConstructClass(it->second, nullptr, 0)
                                : Value::Obj(vm_.NewObject());
            return vm_.throwing() ? Value() : Props(o, depth);
        }
        case 0x11: { // the rest in AMF3
            Reader r3(vm_, in_, pos_);
            const Value v = r3.Value3(depth + 1);
            pos_ = r3.pos();
            return v;
        }
        default:
            return Fail();
        }
    }

  private:
    Value Fail() {
        if (!vm_.throwing())
            vm_.ThrowError("RangeError", 2006, "Error #2006: The supplied index is out of bounds.");
        return Value();
    }
    bool Int(int n, uint32_t* v) {
        if (in_.size() - pos_ < uint32_t(n)) {
            vm_.ThrowError("EOFError", 2030, "Error #2030: End of file was encountered.");
            return false;
        }
        *v = 0;
        for (int i = 0; i < n; ++i)
            *v = (*v << 8) | in_[pos_++];
        return true;
    }
    bool Double(double* d) {
        uint32_t hi, lo;
        if (!Int(4, &hi) || !Int(4, &lo))
            return false;
        const uint64_t bits = uint64_t(hi) << 32 | lo;
        std::memcpy(d, &bits, 8);
        return true;
    }
    bool String(int width, std::string* s) {
        uint32_t n;
        if (!Int(width, &n))
            return false;
        if (in_.size() - pos_ < n) {
            vm_.ThrowError("EOFError", 2030, "Error #2030: End of file was encountered.");
            return false;
        }
        s->assign(reinterpret_cast<const char*>(in_.data()) + pos_, n);
        pos_ += n;
        return true;
    }
    // Named values up to an empty name and the end marker (9).
    Value Props(const Value& o, int depth) {
        objects_.push_back(o);
        for (;;) {
            std::string key;
            if (!String(2, &key))
                return Value();
            if (key.empty()) {
                uint32_t end;
                if (!Int(1, &end))
                    return Value();
                if (end == 0x09)
                    return o;
                return Fail();
            }
            const Value v = Value0(depth + 1);
            if (vm_.throwing())
                return Value();
            vm_.Set(o, key, v);
            if (vm_.throwing())
                return Value();
        }
    }

    Vm& vm_;
    const std::vector<uint8_t>& in_;
    uint32_t pos_;
    std::vector<Value> objects_;
};

NATIVE(RegisterClassAlias) {
    UNUSED;
    if (argc < 2 || args[0].IsNullish() || args[1].IsNullish())
        return vm.ThrowError(
            "TypeError", 2007,
            "Error #2007: Parameter " +
                std::string(argc < 1 || args[0].IsNullish() ? "aliasName" : "classObject") +
                " must be non-null.");
    if (args[1].IsObject() && args[1].o->kind == Kind::Class)
        vm.classAliases[vm.ToString(args[0])] = args[1].o->info;
    return Value();
}
NATIVE(GetClassByAlias) {
    UNUSED;
    const std::string name = argc > 0 ? vm.ToString(args[0]) : "undefined";
    auto it = vm.classAliases.find(name);
    if (it == vm.classAliases.end())
        return vm.ThrowError("ReferenceError", 1014,
                             "Error #1014: Class " + name + " could not be found.");
    return Value::Obj(it->second->object);
}

} // namespace

void AmfWrite(Vm& vm, const Value& v, std::vector<uint8_t>* out) {
    Writer(vm, *out).Value3(v, 0);
}

Value AmfRead(Vm& vm, const std::vector<uint8_t>& in, uint32_t* pos, bool amf0) {
    if (amf0) {
        Reader0 r(vm, in, *pos);
        const Value v = r.Value0(0);
        *pos = r.pos();
        return v;
    }
    Reader r(vm, in, *pos);
    const Value v = r.Value3(0);
    *pos = r.pos();
    return v;
}

void InstallAmf(Vm& vm) {
    ClassInfo* enc =
        vm.DefineClass("flash.net", "ObjectEncoding", vm.objectClass, Kind::Plain, nullptr);
    vm.AddConstant(enc, "AMF0", Value::Num(0));
    vm.AddConstant(enc, "AMF3", Value::Num(3));
    vm.AddConstant(enc, "DEFAULT", Value::Num(3));
    vm.DefineFunction("flash.net", "registerClassAlias", RegisterClassAlias);
    vm.DefineFunction("flash.net", "getClassByAlias", GetClassByAlias);
}

} // namespace avm2
