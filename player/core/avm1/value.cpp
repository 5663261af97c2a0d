#include "player/core/avm1/value.h"

#include "player/core/swf/number_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <algorithm>

namespace avm1 {

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
    return Str(std::string(x));
}

std::string UrlEscape(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (unsigned char c : s) {
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            out += char(c);
        } else {
            out += '%';
            swf::AppendHex(out, c, 2, true);
        }
    }
    return out;
}

std::string UrlUnescape(const std::string& s) {
    auto hex = [](char c) {
        return (c >= '0' && c <= '9')   ? c - '0'
               : (c >= 'a' && c <= 'f') ? c - 'a' + 10
               : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                        : -1;
    };
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); i++) {
        if (s[i] == '%' && i + 2 < s.size() && hex(s[i + 1]) >= 0 && hex(s[i + 2]) >= 0) {
            out += char(hex(s[i + 1]) * 16 + hex(s[i + 2]));
            i += 2;
        } else {
            out += s[i] == '+' ? ' ' : s[i];
        }
    }
    return out;
}

std::string NumberToString(double d) {
    if (std::isnan(d))
        return "NaN";
    if (std::isinf(d))
        return d > 0 ? "Infinity" : "-Infinity";
    if (d == 0)
        return "0";
    if (std::fabs(d) < 1e15 && d == std::floor(d)) {
        return swf::PrintFixed(d, 0);
    }
    std::string out = swf::PrintGeneral(d, 15);
    // "1e-07" reads "1e-7" as Flash writes it.
    size_t e = out.find('e');
    if (e != std::string::npos && e + 2 < out.size()) {
        size_t digits = e + 2;
        while (digits + 1 < out.size() && out[digits] == '0')
            out.erase(digits, 1);
    }
    return out;
}

static bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

double StringToNumber(const std::string& s, int version) {
    const double fail = version >= 5 ? std::nan("") : 0.0;
    size_t i = 0, n = s.size();
    while (i < n && IsSpace(s[i]))
        i++;
    if (i == n)
        return fail;
    // Hex is read from Flash 6 on; Flash 5 also refuses whitespace after the number.
    if (version >= 6 && n - i > 2 && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        double v = 0;
        for (size_t k = i + 2; k < n; k++) {
            char c = s[k];
            int d = (c >= '0' && c <= '9')   ? c - '0'
                    : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                    : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                             : -1;
            if (d < 0)
                return fail;
            v = v * 16 + d;
        }
        return v;
    }
    // ReadNumber, like strtod, accepts more ("inf", "nan", hex floats): check the shape first.
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
        return fail;
    if (k < n && (s[k] == 'e' || s[k] == 'E')) {
        size_t m = k + 1;
        if (m < n && (s[m] == '+' || s[m] == '-'))
            m++;
        size_t ed = 0;
        while (m < n && s[m] >= '0' && s[m] <= '9')
            m++, ed++;
        if (ed)
            k = m;
    }
    size_t end = k;
    while (k < n && IsSpace(s[k]) && version != 5)
        k++;
    if (k != n && version >= 5)
        return fail; // Flash 4 takes the number a string starts with
    return swf::ReadNumber(s.substr(i, end - i).c_str());
}

double PrimitiveToNumber(const Value& v, int version) {
    switch (v.type) {
    case Type::Undefined:
    case Type::Null:
        return version >= 7 ? std::nan("") : 0.0;
    case Type::Boolean:
        return v.b ? 1 : 0;
    case Type::Number:
        return v.n;
    case Type::String:
        return StringToNumber(v.s, version);
    case Type::Object:
        break;
    }
    return std::nan("");
}

std::string PrimitiveToString(const Value& v, int version) {
    switch (v.type) {
    case Type::Undefined:
        return version >= 7 ? "undefined" : "";
    case Type::Null:
        return "null";
    case Type::Boolean:
        if (version < 5)
            return v.b ? "1" : "0";
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

bool ToBoolean(const Value& v, int version) {
    switch (v.type) {
    case Type::Undefined:
    case Type::Null:
        return false;
    case Type::Boolean:
        return v.b;
    case Type::Number:
        return !std::isnan(v.n) && v.n != 0;
    case Type::String:
        // Version 7 follows ECMA (non-empty is true); before, the string's number decides.
        if (version >= 7)
            return !v.s.empty();
        {
            double d = StringToNumber(v.s, version);
            return !std::isnan(d) && d != 0;
        }
    case Type::Object:
        return true;
    }
    return false;
}

uint32_t ToUint32(double d) {
    if (!std::isfinite(d))
        return 0;
    d = std::trunc(d);
    d = std::fmod(d, 4294967296.0);
    if (d < 0)
        d += 4294967296.0;
    return static_cast<uint32_t>(d);
}

int ClampInt(double d) {
    if (std::isnan(d))
        return 0;
    return static_cast<int>(std::max(-2147483648.0, std::min(d, 2147483647.0)));
}

int32_t ToInt32(double d) {
    return static_cast<int32_t>(ToUint32(d));
}

static inline char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
}

bool NamesEqual(const std::string& a, const std::string& b, bool caseSensitive) {
    return NamesEqual(a, b.data(), b.size(), caseSensitive);
}

bool NamesEqual(const std::string& a, const char* b, size_t bLength, bool caseSensitive) {
    if (a.size() != bLength)
        return false;
    if (caseSensitive)
        return a.compare(0, bLength, b, bLength) == 0;
    for (size_t i = 0; i < bLength; i++)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

} // namespace avm1
