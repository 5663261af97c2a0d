#include "player/core/avm2/value.h"

#include "player/core/swf/number_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace avm2 {

Value Value::Null() {
    Value v;
    v.type = Type::Null;
    return v;
}

Value Value::Bool(bool x) {
    return MakeBool(x);
}

Value Value::Num(double x) {
    return MakeNum(x);
}

Value Value::Str(const char* x) {
    return Str(Text(x));
}

std::string NumberToString(double d) {
    if (std::isnan(d))
        return "NaN";
    if (std::isinf(d))
        return d > 0 ? "Infinity" : "-Infinity";
    if (d == 0)
        return "0";
    if (std::fabs(d) < 1e21 && d == std::floor(d) && std::fabs(d) < 9007199254740992.0) {
        return swf::PrintFixed(d, 0);
    }
    // The fewest significant digits that read back exactly.
    std::string text;
    for (int precision = 1; precision <= 17; ++precision) {
        text = swf::PrintExponential(d, precision - 1);
        if (swf::ReadNumber(text.c_str()) == d)
            break;
    }
    // text: [-]D.DDDDe[+-]XX; gather digits and the exponent.
    std::string digits;
    const char* p = text.c_str();
    const bool negative = *p == '-';
    if (negative)
        ++p;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            digits += *p;
    const int exp10 = std::atoi(p + 1);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    const int k = int(digits.size()), n = exp10 + 1; // ECMAScript's k and n
    std::string out = negative ? "-" : "";
    if (k <= n && n <= 21) {
        out += digits + std::string(size_t(n - k), '0');
    } else if (0 < n && n <= 21) {
        out += digits.substr(0, size_t(n)) + "." + digits.substr(size_t(n));
    } else if (-6 < n && n <= 0) {
        out += "0." + std::string(size_t(-n), '0') + digits;
    } else {
        out += digits.substr(0, 1);
        if (k > 1)
            out += "." + digits.substr(1);
        out += n - 1 >= 0 ? "e+" : "e-";
        out += std::to_string(std::abs(n - 1));
    }
    return out;
}

std::string NumberToRadix(double d, int radix) {
    if (radix == 10 || std::isnan(d) || std::isinf(d))
        return NumberToString(d);
    const bool negative = d < 0;
    double v = std::floor(std::fabs(d));
    double frac = std::fabs(d) - v;
    std::string out;
    do {
        const int digit = int(std::fmod(v, radix));
        out.insert(out.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[digit]);
        v = std::floor(v / radix);
    } while (v >= 1 && out.size() < 1100);
    if (frac > 0) {
        out += '.';
        for (int i = 0; i < 20 && frac > 0; ++i) {
            frac *= radix;
            const int digit = int(frac);
            out += "0123456789abcdefghijklmnopqrstuvwxyz"[digit];
            frac -= digit;
        }
    }
    return negative ? "-" + out : out;
}

static bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

double StringToNumber(const std::string& s) {
    size_t i = 0, n = s.size();
    while (i < n && IsSpace(s[i]))
        i++;
    while (n > i && IsSpace(s[n - 1]))
        n--;
    if (i == n)
        return 0;
    bool negative = false;
    size_t k = i;
    if (s[k] == '+' || s[k] == '-') {
        negative = s[k] == '-';
        k++;
    }
    if (n - k > 2 && s[k] == '0' && (s[k + 1] == 'x' || s[k + 1] == 'X')) {
        double v = 0;
        for (size_t j = k + 2; j < n; j++) {
            const char c = s[j];
            const int d = (c >= '0' && c <= '9')   ? c - '0'
                          : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                          : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                   : -1;
            if (d < 0)
                return std::nan("");
            v = v * 16 + d;
        }
        return negative ? -v : v;
    }
    if (s.compare(k, n - k, "Infinity") == 0)
        return negative ? -INFINITY : INFINITY;
    // ReadNumber, like strtod, accepts more ("inf", "nan", hex floats): check the shape first.
    size_t digits = 0;
    while (k < n && s[k] >= '0' && s[k] <= '9')
        k++, digits++;
    if (k < n && s[k] == '.') {
        k++;
        while (k < n && s[k] >= '0' && s[k] <= '9')
            k++, digits++;
    }
    if (digits == 0)
        return std::nan("");
    if (k < n && (s[k] == 'e' || s[k] == 'E')) {
        k++;
        if (k < n && (s[k] == '+' || s[k] == '-'))
            k++;
        size_t e = 0;
        while (k < n && s[k] >= '0' && s[k] <= '9')
            k++, e++;
        if (e == 0)
            return std::nan("");
    }
    if (k != n)
        return std::nan("");
    return swf::ReadNumber(s.substr(i, n - i).c_str());
}

double PrimitiveToNumber(const Value& v) {
    switch (v.type) {
    case Type::Undefined:
        return std::nan("");
    case Type::Null:
        return 0;
    case Type::Boolean:
        return v.b ? 1 : 0;
    case Type::Number:
        return v.n;
    case Type::String:
        return StringToNumber(v.s);
    case Type::Object:
        break;
    }
    return std::nan("");
}

std::string PrimitiveToString(const Value& v) {
    switch (v.type) {
    case Type::Undefined:
        return "undefined";
    case Type::Null:
        return "null";
    case Type::Boolean:
        return v.b ? "true" : "false";
    case Type::Number:
        return NumberToString(v.n);
    case Type::String:
        return v.s;
    case Type::Object:
        break;
    }
    return "[object Object]";
}

bool ToBoolean(const Value& v) {
    switch (v.type) {
    case Type::Undefined:
    case Type::Null:
        return false;
    case Type::Boolean:
        return v.b;
    case Type::Number:
        return !std::isnan(v.n) && v.n != 0;
    case Type::String:
        return !v.s.empty();
    case Type::Object:
        return true;
    }
    return false;
}

int32_t ToInt32(double d) {
    if (std::isnan(d) || std::isinf(d))
        return 0;
    if (d >= -2147483648.0 && d <= 2147483647.0)
        return int32_t(d);
    double m = std::fmod(std::trunc(d), 4294967296.0);
    if (m < 0)
        m += 4294967296.0;
    return int32_t(uint32_t(m));
}

uint32_t ToUint32(double d) {
    return uint32_t(ToInt32(d));
}

int ClampInt(double d) {
    if (std::isnan(d))
        return 0;
    if (d > 2147483647.0)
        return 2147483647;
    if (d < -2147483648.0)
        return -2147483647 - 1;
    return int(d);
}

bool IsIndex(const std::string& s, uint32_t* index) {
    if (s.empty() || s.size() > 10 || (s.size() > 1 && s[0] == '0'))
        return false;
    uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + uint64_t(c - '0');
    }
    if (v >= 0xFFFFFFFFull)
        return false;
    *index = uint32_t(v);
    return true;
}

namespace {
// The UTF-16 units of the character whose UTF-8 starts at s[i] (a surrogate kept in its
// three-byte form is one unit); the second is 0 for a character of one unit.
std::pair<uint32_t, uint32_t> UnitsAt(const std::string& s, size_t i) {
    const uint8_t c = uint8_t(s[i]);
    auto more = [&](size_t k) { return i + k < s.size() ? uint8_t(s[i + k]) & 63u : 0u; };
    uint32_t cp = c;
    if (c >= 0xF0)
        cp = ((c & 7u) << 18) | (more(1) << 12) | (more(2) << 6) | more(3);
    else if (c >= 0xE0)
        cp = ((c & 15u) << 12) | (more(1) << 6) | more(2);
    else if (c >= 0xC0)
        cp = ((c & 31u) << 6) | more(1);
    if (cp < 0x10000)
        return {cp, 0};
    cp -= 0x10000;
    return {0xD800 + (cp >> 10), 0xDC00 + (cp & 0x3FF)};
}
} // namespace

bool Utf16Less(const std::string& a, const std::string& b) {
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i])
        ++i;
    if (i == a.size() || i == b.size())
        return a.size() < b.size() && i == a.size();
    // Back to the start of the character the strings first differ in.
    while (i > 0 && (uint8_t(a[i]) & 0xC0) == 0x80)
        --i;
    return UnitsAt(a, i) < UnitsAt(b, i);
}

} // namespace avm2
