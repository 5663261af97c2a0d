// A script value and the conversions between primitive kinds. Conversions that may call
// script (an object's valueOf or toString) live in Vm; these are the primitive rules, which
// differ between movie versions.
#pragma once

#include <cstdint>
#include <string>

namespace avm1 {

class Object;

enum class Type : uint8_t { Undefined, Null, Boolean, Number, String, Object };

// An immutable shared string: values are copied and moved on every stack operation, so a
// string is one pointer with a count (scripts run on one thread).
class Text {
  public:
    Text() = default;
    Text(std::string s) { // NOLINT: converts implicitly, like the std::string it holds
        if (!s.empty())
            p_ = new Rep{std::move(s), 1};
    }
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
    size_t size() const { return p_ ? p_->text.size() : 0; }
    bool empty() const { return !p_; }
    char operator[](size_t i) const { return p_->text[i]; }

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
    // Out of line: a call is smaller than the value's fields set at each of some 700
    // callers. The interpreters' loops make theirs in place (MakeNum, MakeBool).
    [[gnu::noinline]] static Value Null();
    [[gnu::noinline]] static Value Bool(bool x);
    [[gnu::noinline]] static Value Num(double x);
    static Value Str(std::string x) {
        Value v;
        v.type = Type::String;
        v.s = std::move(x);
        return v;
    }
    static Value Str(const char* x); // a literal: the string is made there, not at each caller
    static Value Obj(Object* x) {
        if (!x)
            return Null();
        Value v;
        v.type = Type::Object;
        v.o = x;
        return v;
    }
    bool IsUndefined() const { return type == Type::Undefined; }
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

// Flash prints numbers with 15 significant digits.
// URL form encoding as LoadVars and escape() write it: letters and digits stay, every
// other byte becomes %XX; decoding also turns '+' into a space and keeps a '%' that no
// two hex digits follow.
std::string UrlEscape(const std::string& s);
std::string UrlUnescape(const std::string& s);
std::string NumberToString(double d);
// Numeric value of a string: decimal, optional sign, exponent, "0x" hex; anything else NaN.
// Below version 5 a string that is not a number counts as 0.
double StringToNumber(const std::string& s, int version);
// Primitive to number / string / boolean under the movie's version rules. Objects are not
// handled here (Vm::ToNumber etc. call valueOf first).
double PrimitiveToNumber(const Value& v, int version);
std::string PrimitiveToString(const Value& v, int version);
bool ToBoolean(const Value& v, int version);
// A number as an int for counts, radixes and frames: NaN is 0, the rest clamped.
int ClampInt(double d);
// ECMA ToInt32 / ToUint32 of a number.
int32_t ToInt32(double d);
uint32_t ToUint32(double d);
// Case-insensitive (ASCII) equality used for names in movies below version 7.
bool NamesEqual(const std::string& a, const std::string& b, bool caseSensitive);
// The same against a literal, without making a string of it.
bool NamesEqual(const std::string& a, const char* b, size_t bLength, bool caseSensitive);
template <size_t N> bool NameIs(const std::string& a, const char (&b)[N], bool caseSensitive) {
    return a.size() == N - 1 && NamesEqual(a, b, N - 1, caseSensitive);
}

} // namespace avm1
