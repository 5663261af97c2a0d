// Conversions that may run script (valueOf, toString), typeof, equality, ordering and +.
#include <cmath>

#include "player/core/avm1/vm.h"
#include "player/core/swf/utf8.h"

namespace avm1 {

// ---- conversions ----

// valueOf's answer, which may still be an object; a movie clip is its own primitive, and an
// object with no valueOf (the bare _global) converts to undefined. The string hint calls
// toString instead.
Value Vm::ToPrimitive(const Value& v, bool preferString) {
    if (!v.IsObject())
        return v;
    if (preferString)
        return Value::Str(ToString(v));
    Object* o = v.o;
    if (o->kind == Kind::Clip || o->kind == Kind::Text)
        return v;
    Value fn = Get(v, "valueOf");
    if (!fn.IsObject() || !fn.o->IsFunction())
        return Value();
    return Call(fn, v, nullptr, 0);
}

double Vm::ToNumber(const Value& v) {
    if (v.type != Type::Object)
        return PrimitiveToNumber(v, version_);
    Value p = ToPrimitive(v);
    if (p.IsObject())
        return std::nan("");
    return PrimitiveToNumber(p, version_);
}

std::string Vm::ToString(const Value& v) {
    if (v.type != Type::Object)
        return PrimitiveToString(v, version_);
    Object* o = v.o;
    if ((o->kind == Kind::Clip || o->kind == Kind::Text) && o->clip)
        return TargetPath(o);
    Value fn = Get(v, "toString");
    if (fn.IsObject() && fn.o->IsFunction()) {
        Value r = Call(fn, v, nullptr, 0);
        if (r.IsString())
            return r.s;
    }
    // No toString, or one that answers something else.
    return o->kind == Kind::Function ? "[type Function]" : "[type Object]";
}

std::string Vm::TypeOf(const Value& v) {
    switch (v.type) {
    case Type::Undefined:
        return "undefined";
    case Type::Null:
        return "null";
    case Type::Boolean:
        return "boolean";
    case Type::Number:
        return "number";
    case Type::String:
        return "string";
    case Type::Object:
        if (v.o->kind == Kind::Function)
            return "function";
        // Buttons are clips to scripts but objects to typeof.
        if (v.o->kind == Kind::Clip &&
            !(v.o->clip && display_ && display_->KindOf(v.o->clip) == DisplayKind::Button))
            return "movieclip";
        return "object";
    }
    return "undefined";
}

bool Vm::StrictEquals(const Value& a, const Value& b) {
    if (a.type != b.type)
        return false;
    switch (a.type) {
    case Type::Undefined:
    case Type::Null:
        return true;
    case Type::Boolean:
        return a.b == b.b;
    case Type::Number:
        return a.n == b.n || (std::isnan(a.n) && std::isnan(b.n)); // Flash: NaN equals NaN
    case Type::String:
        return a.s.get() == b.s.get();
    case Type::Object:
        return a.o == b.o;
    }
    return false;
}

bool Vm::Equals(const Value& a, const Value& b) {
    if (version_ <= 5 && a.IsObject() && b.IsObject() && a.o != b.o) {
        // Flash 5 compares two objects by their values when both have one (boxed numbers).
        Value pa = ToPrimitive(a), pb = ToPrimitive(b);
        if (!pa.IsObject() && !pb.IsObject() && a.o->kind != Kind::Plain)
            return Equals(pa, pb);
        return false;
    }
    if (a.type == b.type)
        return StrictEquals(a, b);
    if (a.IsNullish() && b.IsNullish())
        return true;
    if (a.IsNullish() || b.IsNullish()) {
        // An object that converts to nothing (no valueOf or toString) equals undefined.
        const Value& other = a.IsNullish() ? b : a;
        return other.IsObject() && ToPrimitive(other).IsNullish();
    }
    if (a.type == Type::Number && b.type == Type::String)
        return a.n == StringToNumber(b.s, version_);
    if (a.type == Type::String && b.type == Type::Number)
        return StringToNumber(a.s, version_) == b.n;
    if (a.type == Type::Boolean)
        return Equals(Value::Num(a.b ? 1 : 0), b);
    if (b.type == Type::Boolean)
        return Equals(a, Value::Num(b.b ? 1 : 0));
    if (a.IsObject() && !b.IsObject()) {
        Value p = ToPrimitive(a);
        return !p.IsObject() && Equals(p, b);
    }
    if (b.IsObject() && !a.IsObject()) {
        Value p = ToPrimitive(b);
        return !p.IsObject() && Equals(a, p);
    }
    return false;
}

Value Vm::Less(const Value& a, const Value& b) {
    // An operand whose valueOf answers an object makes the comparison false at once; a clip
    // compares as NaN.
    auto answersObject = [](const Value& p) {
        return p.IsObject() && p.o->kind != Kind::Clip && p.o->kind != Kind::Text;
    };
    Value pa = ToPrimitive(a);
    if (answersObject(pa))
        return Value::Bool(false);
    Value pb = ToPrimitive(b);
    if (answersObject(pb))
        return Value::Bool(false);
    if (pa.IsString() && pb.IsString())
        return Value::Bool(swf::Utf8Compare(pa.s.get(), pb.s.get()) < 0);
    double x = ToNumber(pa), y = ToNumber(pb);
    if (std::isnan(x) || std::isnan(y))
        return Value();
    return Value::Bool(x < y);
}

Value Vm::Add(const Value& a, const Value& b) {
    // The right operand converts first, as in Flash; an operand whose valueOf answers an
    // object converts again from the start.
    Value pb = ToPrimitive(b);
    Value pa = ToPrimitive(a);
    if (pa.IsObject())
        pa = a;
    if (pb.IsObject())
        pb = b;
    if (pa.IsString() || pb.IsString()) {
        std::string s = ToString(pa);
        std::string t = ToString(pb);
        if (!StringFits(s.size() + t.size()))
            return Value::Str("");
        heap_.Charge(s.size() + t.size());
        return Value::Str(s + t);
    }
    double x = ToNumber(pa);
    return Value::Num(x + ToNumber(pb));
}

} // namespace avm1
