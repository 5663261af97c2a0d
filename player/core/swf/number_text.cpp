#include "player/core/swf/number_text.h"

#include <cmath>
#include <cstring>

namespace swf {

namespace {

// --- Unsigned integers of up to kLimbs 32-bit limbs, least significant first ----------

// The largest is a reading's numerator or denominator: 800 kept digits scaled by 10^1125
// at most (about 3800 bits); a double's whole expansion needs under 2600.
constexpr int kLimbs = 130;

struct Big {
    uint32_t limb[kLimbs];
    int size = 0; // limbs in use; the top one is not zero

    explicit Big(uint64_t v = 0) {
        while (v != 0) {
            limb[size++] = uint32_t(v);
            v >>= 32;
        }
    }
    bool Zero() const { return size == 0; }
};

void MulAdd(Big& b, uint32_t factor, uint32_t add) {
    uint64_t carry = add;
    for (int i = 0; i < b.size; ++i) {
        carry += uint64_t(b.limb[i]) * factor;
        b.limb[i] = uint32_t(carry);
        carry >>= 32;
    }
    if (carry != 0 && b.size < kLimbs) {
        b.limb[b.size++] = uint32_t(carry);
    }
}

void MulPow(Big& b, uint32_t base, int power) {
    // The largest power of the base that fits a limb, then the rest one by one.
    uint32_t chunk = base;
    int per = 1;
    while (uint64_t(chunk) * base <= 0xFFFFFFFFu) {
        chunk *= base;
        ++per;
    }
    for (; power >= per; power -= per) {
        MulAdd(b, chunk, 0);
    }
    for (; power > 0; --power) {
        MulAdd(b, base, 0);
    }
}

int BitLength(const Big& b) {
    if (b.Zero()) {
        return 0;
    }
    int bits = (b.size - 1) * 32;
    for (uint32_t top = b.limb[b.size - 1]; top != 0; top >>= 1) {
        ++bits;
    }
    return bits;
}

void ShiftLeft(Big& b, int bits) {
    if (b.Zero() || bits <= 0) {
        return;
    }
    const int limbs = bits / 32, rest = bits % 32;
    int size = b.size + limbs + 1;
    if (size > kLimbs) {
        size = kLimbs; // never reached: every caller stays within the bound above
    }
    for (int i = size - 1; i >= 0; --i) {
        const int from = i - limbs;
        uint32_t v = 0;
        if (from >= 0 && from < b.size) {
            v = b.limb[from] << rest;
        }
        if (rest != 0 && from - 1 >= 0 && from - 1 < b.size) {
            v |= b.limb[from - 1] >> (32 - rest);
        }
        b.limb[i] = v;
    }
    b.size = size;
    while (b.size > 0 && b.limb[b.size - 1] == 0) {
        --b.size;
    }
}

void ShiftRightOne(Big& b) {
    for (int i = 0; i < b.size; ++i) {
        b.limb[i] = (b.limb[i] >> 1) | (i + 1 < b.size ? b.limb[i + 1] << 31 : 0);
    }
    while (b.size > 0 && b.limb[b.size - 1] == 0) {
        --b.size;
    }
}

int Compare(const Big& a, const Big& b) {
    if (a.size != b.size) {
        return a.size < b.size ? -1 : 1;
    }
    for (int i = a.size - 1; i >= 0; --i) {
        if (a.limb[i] != b.limb[i]) {
            return a.limb[i] < b.limb[i] ? -1 : 1;
        }
    }
    return 0;
}

void Subtract(Big& a, const Big& b) { // a >= b
    int64_t borrow = 0;
    for (int i = 0; i < a.size; ++i) {
        int64_t v = int64_t(a.limb[i]) - (i < b.size ? b.limb[i] : 0) - borrow;
        borrow = v < 0;
        a.limb[i] = uint32_t(v + (borrow << 32));
    }
    while (a.size > 0 && a.limb[a.size - 1] == 0) {
        --a.size;
    }
}

uint32_t DivideSmall(Big& b, uint32_t divisor) { // returns the remainder
    uint64_t rest = 0;
    for (int i = b.size - 1; i >= 0; --i) {
        rest = rest << 32 | b.limb[i];
        b.limb[i] = uint32_t(rest / divisor);
        rest %= divisor;
    }
    while (b.size > 0 && b.limb[b.size - 1] == 0) {
        --b.size;
    }
    return uint32_t(rest);
}

std::string DecimalDigits(Big b) {
    std::string reversed;
    while (!b.Zero()) {
        uint32_t chunk = DivideSmall(b, 1000000000u);
        for (int i = 0; i < 9; ++i) {
            reversed += char('0' + chunk % 10);
            chunk /= 10;
        }
    }
    while (!reversed.empty() && reversed.back() == '0') {
        reversed.pop_back();
    }
    return std::string(reversed.rbegin(), reversed.rend());
}

// --- A double's exact decimal expansion, and its rounding ------------------------------

// |d| = 0.digits x 10^point; digits has no leading or trailing zero (empty for zero).
struct Decimal {
    std::string digits;
    int point = 0;
};

Decimal Expand(double d) {
    int exponent = 0;
    const double fraction = std::frexp(std::fabs(d), &exponent); // [0.5, 1) x 2^exponent
    Decimal out;
    if (fraction == 0) {
        return out;
    }
    // |d| = mantissa x 2^power, the mantissa a whole number below 2^53.
    uint64_t mantissa = uint64_t(std::ldexp(fraction, 53));
    int power = exponent - 53;
    for (; power < 0 && (mantissa & 1) == 0; ++power) {
        mantissa >>= 1;
    }
    Big b(mantissa);
    if (power >= 0) {
        ShiftLeft(b, power);
    } else {
        MulPow(b, 5, -power); // mantissa / 2^k = mantissa x 5^k / 10^k
    }
    out.digits = DecimalDigits(b);
    out.point = int(out.digits.size()) + (power < 0 ? power : 0);
    while (out.digits.back() == '0') {
        out.digits.pop_back();
    }
    return out;
}

// Keeps the first keep digits (keep may be 0 or less: nothing kept), rounding the rest
// half to even; a carry past the first digit moves the point.
void Round(Decimal& x, int keep) {
    if (keep >= int(x.digits.size())) {
        return;
    }
    bool up = false;
    if (keep >= 0) {
        const char next = x.digits[size_t(keep)];
        const bool more = x.digits.find_first_not_of('0', size_t(keep) + 1) != std::string::npos;
        const bool odd = keep > 0 && (x.digits[size_t(keep) - 1] - '0') % 2 == 1;
        up = next > '5' || (next == '5' && (more || odd));
        x.digits.resize(size_t(keep));
    } else {
        x.digits.clear();
    }
    if (up) {
        int i = keep - 1;
        for (; i >= 0 && x.digits[size_t(i)] == '9'; --i) {
            x.digits[size_t(i)] = '0';
        }
        if (i < 0) {
            x.digits.insert(x.digits.begin(), '1');
            ++x.point;
        } else {
            ++x.digits[size_t(i)];
        }
    }
    while (!x.digits.empty() && x.digits.back() == '0') {
        x.digits.pop_back();
    }
    if (x.digits.empty()) {
        x.point = 0;
    }
}

char DigitAt(const Decimal& x, int i) { // the i-th digit, zeros past the end
    return i >= 0 && i < int(x.digits.size()) ? x.digits[size_t(i)] : '0';
}

bool NonFinite(double d, std::string* out) {
    if (std::isnan(d)) {
        *out = "nan";
    } else if (std::isinf(d)) {
        *out = d > 0 ? "inf" : "-inf";
    } else {
        return false;
    }
    return true;
}

std::string FixedOf(const Decimal& x, bool negative, int decimals) {
    std::string out = negative ? "-" : "";
    if (x.point <= 0) {
        out += '0';
    } else {
        for (int i = 0; i < x.point; ++i) {
            out += DigitAt(x, i);
        }
    }
    if (decimals > 0) {
        out += '.';
        for (int i = 0; i < decimals; ++i) {
            out += DigitAt(x, x.point + i);
        }
    }
    return out;
}

// d.ddd, then e and a signed exponent of at least two digits.
std::string ExponentialOf(const Decimal& x, bool negative, int decimals) {
    std::string out = negative ? "-" : "";
    out += DigitAt(x, 0);
    if (decimals > 0) {
        out += '.';
        for (int i = 1; i <= decimals; ++i) {
            out += DigitAt(x, i);
        }
    }
    const int exponent = x.digits.empty() ? 0 : x.point - 1;
    out += exponent < 0 ? "e-" : "e+";
    AppendDecimal(out, exponent < 0 ? -exponent : exponent, 2);
    return out;
}

// --- Reading --------------------------------------------------------------------------

// mantissa x 2^power, with sticky set when nonzero bits lie below the mantissa, rounded
// half to even to the nearest double (subnormal, zero or infinity included).
double Nearest(uint64_t mantissa, int power, bool sticky) {
    auto bitLength = [](uint64_t m) {
        int bits = 0;
        for (; m != 0; m >>= 1) {
            ++bits;
        }
        return bits;
    };
    if (mantissa == 0) {
        return 0.0;
    }
    // The weight of the result's lowest bit: 53 bits of precision, none below 2^-1074.
    int lowest = power + bitLength(mantissa) - 53;
    if (lowest < -1074) {
        lowest = -1074;
    }
    const int drop = lowest - power;
    uint64_t kept = 0;
    if (drop <= 0) {
        kept = mantissa << -drop; // 53 bits or fewer: exact
    } else if (drop <= 64) {
        const uint64_t rest = drop == 64 ? mantissa : mantissa & ((uint64_t(1) << drop) - 1);
        const uint64_t half = uint64_t(1) << (drop - 1);
        kept = drop == 64 ? 0 : mantissa >> drop;
        if (rest > half || (rest == half && (sticky || (kept & 1) != 0))) {
            ++kept;
        }
    } // else below half the smallest step: zero
    if (kept != 0 && lowest + bitLength(kept) > 1024) {
        return HUGE_VAL;
    }
    return std::ldexp(double(kept), lowest); // exact: kept has at most 53 bits
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool StartsWith(const char* p, const char* word) { // ignoring case
    for (; *word != '\0'; ++p, ++word) {
        if ((*p | 0x20) != *word) {
            return false;
        }
    }
    return true;
}

int HexValue(char c) {
    const char lower = char(c | 0x20);
    return c >= '0' && c <= '9' ? c - '0' : lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

// An exponent's digits after 'e' or 'p', with its sign; none read when no digit follows.
bool ReadExponent(const char*& p, long& exponent) {
    const char* q = p + 1;
    const bool negative = *q == '-';
    if (*q == '+' || *q == '-') {
        ++q;
    }
    if (*q < '0' || *q > '9') {
        return false;
    }
    long value = 0;
    for (; *q >= '0' && *q <= '9'; ++q) {
        if (value < 100000000) {
            value = value * 10 + (*q - '0'); // beyond, every result is zero or infinity
        }
    }
    exponent = negative ? -value : value;
    p = q;
    return true;
}

double ReadHex(const char*& p) {
    uint64_t mantissa = 0;
    long power = 0;
    bool sticky = false, fraction = false;
    for (;; ++p) {
        if (*p == '.' && !fraction) {
            fraction = true;
            continue;
        }
        const int v = HexValue(*p);
        if (v < 0) {
            break;
        }
        if (mantissa >> 56 == 0) {
            mantissa = mantissa << 4 | uint64_t(v);
            power -= fraction ? 4 : 0;
        } else {
            sticky = sticky || v != 0;
            power += fraction ? 0 : 4;
        }
    }
    long exponent = 0;
    if ((*p | 0x20) == 'p' && ReadExponent(p, exponent)) {
        power += exponent;
    }
    if (power > 4000) {
        return mantissa == 0 ? 0.0 : HUGE_VAL;
    }
    if (power < -4000) {
        return 0.0;
    }
    return Nearest(mantissa, int(power), sticky);
}

// The decimal digits read, at most kKept of them; a digit past those that is not zero
// becomes one more digit 1 (so that a tie between two doubles is told from more).
constexpr int kKept = 800;

double ReadDecimal(const std::string& digits, long exponent) {
    // value = digits x 10^exponent, digits without leading zeros
    const long magnitude = long(digits.size()) + exponent;
    if (digits.empty()) {
        return 0.0;
    }
    if (magnitude > 310) {
        return HUGE_VAL;
    }
    if (magnitude < -325) {
        return 0.0;
    }
    Big num, den(1);
    for (size_t i = 0; i < digits.size();) {
        uint32_t chunk = 0, scale = 1;
        for (int k = 0; k < 9 && i < digits.size(); ++k, ++i) {
            chunk = chunk * 10 + uint32_t(digits[i] - '0');
            scale *= 10;
        }
        MulAdd(num, scale, chunk);
    }
    if (exponent >= 0) {
        MulPow(num, 10, int(exponent));
    } else {
        MulPow(den, 10, int(-exponent));
    }
    // A quotient of 56 or 57 bits: num x 2^shift / den.
    const int shift = 56 - (BitLength(num) - BitLength(den));
    if (shift > 0) {
        ShiftLeft(num, shift);
    } else {
        ShiftLeft(den, -shift);
    }
    const int steps = BitLength(num) - BitLength(den);
    Big part = den;
    ShiftLeft(part, steps);
    uint64_t quotient = 0;
    for (int i = steps; i >= 0; --i) {
        quotient <<= 1;
        if (Compare(num, part) >= 0) {
            Subtract(num, part);
            quotient |= 1;
        }
        ShiftRightOne(part);
    }
    return Nearest(quotient, -shift, !num.Zero());
}

} // namespace

std::string PrintFixed(double d, int decimals) {
    std::string out;
    if (NonFinite(d, &out)) {
        return out;
    }
    Decimal x = Expand(d);
    Round(x, x.point + decimals);
    return FixedOf(x, std::signbit(d), decimals);
}

std::string PrintExponential(double d, int precision) {
    std::string out;
    if (NonFinite(d, &out)) {
        return out;
    }
    Decimal x = Expand(d);
    Round(x, precision + 1);
    return ExponentialOf(x, std::signbit(d), precision);
}

std::string PrintGeneral(double d, int precision) {
    std::string out;
    if (NonFinite(d, &out)) {
        return out;
    }
    const int p = precision == 0 ? 1 : precision;
    Decimal x = Expand(d);
    Round(x, p);
    const int exponent = x.digits.empty() ? 0 : x.point - 1;
    // Trailing zeros go, and the point with them.
    if (exponent < -4 || exponent >= p) {
        out = ExponentialOf(x, std::signbit(d), p - 1);
        const size_t e = out.find('e');
        size_t cut = e;
        if (out.find('.') < e) {
            while (out[cut - 1] == '0') {
                --cut;
            }
            if (out[cut - 1] == '.') {
                --cut;
            }
        }
        return out.erase(cut, e - cut);
    }
    out = FixedOf(x, std::signbit(d), p - 1 - exponent);
    if (out.find('.') != std::string::npos) {
        while (out.back() == '0') {
            out.pop_back();
        }
        if (out.back() == '.') {
            out.pop_back();
        }
    }
    return out;
}

double ReadNumber(const char* text, const char** end) {
    const char* p = text;
    while (IsSpace(*p)) {
        ++p;
    }
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') {
        ++p;
    }
    double value = 0;
    const char* stop = text; // nothing read
    if (StartsWith(p, "inf")) {
        value = HUGE_VAL;
        stop = p + (StartsWith(p, "infinity") ? 8 : 3);
    } else if (StartsWith(p, "nan")) {
        value = NAN;
        stop = p + 3;
        if (*stop == '(') { // "nan(chars)": letters, digits and underscores
            const char* q = stop + 1;
            while ((*q >= '0' && *q <= '9') || ((*q | 0x20) >= 'a' && (*q | 0x20) <= 'z') ||
                   *q == '_') {
                ++q;
            }
            if (*q == ')') {
                stop = q + 1;
            }
        }
    } else if (*p == '0' && (p[1] | 0x20) == 'x' &&
               (HexValue(p[2]) >= 0 || (p[2] == '.' && HexValue(p[3]) >= 0))) {
        p += 2;
        value = ReadHex(p);
        stop = p;
    } else {
        std::string digits;
        long exponent = 0;
        bool any = false, fraction = false, dropped = false;
        for (;; ++p) {
            if (*p == '.' && !fraction) {
                fraction = true;
                continue;
            }
            if (*p < '0' || *p > '9') {
                break;
            }
            any = true;
            if (digits.empty() && *p == '0') {
                exponent -= fraction ? 1 : 0;
                continue;
            }
            if (int(digits.size()) < kKept) {
                digits += *p;
                exponent -= fraction ? 1 : 0;
            } else {
                dropped = dropped || *p != '0';
                exponent += fraction ? 0 : 1;
            }
        }
        if (any) {
            long e = 0;
            if ((*p | 0x20) == 'e' && ReadExponent(p, e)) {
                exponent += e;
            }
            stop = p;
            if (dropped) {
                digits += '1';
                --exponent;
            }
            while (!digits.empty() && digits.back() == '0') {
                digits.pop_back();
                ++exponent;
            }
            value = ReadDecimal(digits, exponent);
        }
    }
    if (end != nullptr) {
        *end = stop;
    }
    return negative && stop != text ? -value : value;
}

void AppendHex(std::string& out, uint32_t value, int digits, bool upper) {
    const char* names = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char buf[8];
    int n = 0;
    do {
        buf[n++] = names[value & 15];
        value >>= 4;
    } while (value != 0);
    for (int i = n; i < digits; ++i) {
        out += '0';
    }
    while (n > 0) {
        out += buf[--n];
    }
}

void AppendDecimal(std::string& out, long long value, int digits) {
    unsigned long long v = value < 0 ? 0 - (unsigned long long)value : (unsigned long long)value;
    char buf[20];
    int n = 0;
    do {
        buf[n++] = char('0' + v % 10);
        v /= 10;
    } while (v != 0);
    if (value < 0) {
        out += '-';
    }
    for (int i = n; i < digits; ++i) {
        out += '0';
    }
    while (n > 0) {
        out += buf[--n];
    }
}

} // namespace swf
