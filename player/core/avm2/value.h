// A script value of ActionScript 3 and the primitive conversions (ECMAScript 3 as Flash
// Player 9 and later apply them). Conversions that may run script (valueOf, toString of an
// object) live in the Vm.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace avm2 {

struct Object;

enum class Type : uint8_t { Undefined, Null, Boolean, Number, String, Object };

// An immutable shared string: values are copied on every stack operation, so a string is
// one pointer with a count (scripts run on one thread).
class Text {
  public:
    Text() = default;
    Text(std::string s) { // NOLINT: converts implicitly, like the std::string it holds
        if (!s.empty())
            p_ = new Rep{std::move(s), 1};
    }
    Text(const char* s) : Text(std::string(s)) {} // NOLINT
    Text(const Text& o) : p_(o.p_) {
        if (p_)
            p_->refs++;
    }
    Text(Text&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    Text& operator=(Text o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~Text() {
        if (p_ && --p_->refs == 0)
            delete p_;
    }
    const std::string& get() const { return p_ ? p_->text : Empty(); }
    operator const std::string&() const { return get(); }
    operator std::string_view() const { return get(); }
    size_t size() const { return p_ ? p_->text.size() : 0; }
    bool empty() const { return !p_; }
    bool operator==(const Text& o) const { return p_ == o.p_ || get() == o.get(); }

  private:
    struct Rep {
        std::string text;
        uint32_t refs;
    };
    static const std::string& Empty() {
        static const std::string empty;
        return empty;
    }
    Rep* p_ = nullptr;
};

struct Value {
    Type type = Type::Undefined;
    bool b = false;
    double n = 0;
    Text s;
    Object* o = nullptr;

    static Value Undefined() { return Value(); }
    // An Array's missing element: undefined, but not listed by for-in nor owned.
    static Value Hole() {
        Value v;
        v.b = true;
        return v;
    }
    // Out of line: a call is smaller than the value's fields set at each of some 700
    // callers. The interpreters' loops make theirs in place (MakeNum, MakeBool).
    [[gnu::noinline]] static Value Null();
    [[gnu::noinline]] static Value Bool(bool x);
    [[gnu::noinline]] static Value Num(double x);
    static Value Str(Text x) {
        Value v;
        v.type = Type::String;
        v.s = std::move(x);
        return v;
    }
    static Value Str(const char* x); // a literal: the string is made there, not at each caller
    static Value Obj(Object* x) {
        Value v;
        if (!x) {
            v.type = Type::Null;
            return v;
        }
        v.type = Type::Object;
        v.o = x;
        return v;
    }
    bool IsUndefined() const { return type == Type::Undefined; }
    bool IsHole() const { return type == Type::Undefined && b; }
    bool IsNull() const { return type == Type::Null; }
    bool IsNullish() const { return type == Type::Undefined || type == Type::Null; }
    bool IsObject() const { return type == Type::Object; }
    bool IsString() const { return type == Type::String; }
    bool IsNumber() const { return type == Type::Number; }
};

// Numbers and booleans made in place, for the interpreter's loop, which makes them at every
// step; other callers share Value's out-of-line Num and Bool.
inline Value MakeNum(double x) {
    Value v;
    v.type = Type::Number;
    v.n = x;
    return v;
}
inline Value MakeBool(bool x) {
    Value v;
    v.type = Type::Boolean;
    v.b = x;
    return v;
}

// Shortest decimal that reads back as the same double, in ECMAScript's layout.
std::string NumberToString(double d);
std::string NumberToRadix(double d, int radix);
// ECMAScript ToNumber of a string: trimmed decimal, "0x" hex, Infinity; else NaN.
double StringToNumber(const std::string& s);
double PrimitiveToNumber(const Value& v);
std::string PrimitiveToString(const Value& v);
bool ToBoolean(const Value& v);
int32_t ToInt32(double d);
uint32_t ToUint32(double d);
// A number as a count or index: NaN is 0, the rest clamped to int.
int ClampInt(double d);
// Orders two strings as Flash does, by their UTF-16 units.
bool Utf16Less(const std::string& a, const std::string& b);
// True when s is a canonical array index ("0", "17", not "01" or "1.0").
bool IsIndex(const std::string& s, uint32_t* index);

} // namespace avm2
