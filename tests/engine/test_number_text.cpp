// swf::Print* and swf::ReadNumber against the C library they stand in for (glibc rounds
// exactly, as MinGW's did): every digit and every bit must match.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "player/core/swf/number_text.h"

namespace {

// Every bit pattern is as likely, so subnormals, huge exponents, infinities and NaNs all come up.
double AnyDouble(std::mt19937_64& random) {
    uint64_t bits = random();
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

std::string C(const char* format, int precision, double d) {
    char buf[2048];
    std::snprintf(buf, sizeof buf, format, precision, d);
    return buf;
}

uint64_t Bits(double d) {
    uint64_t b;
    std::memcpy(&b, &d, sizeof b);
    return b;
}

void ExpectAllFormats(double d) {
    for (int p = 0; p <= 25; ++p) {
        ASSERT_EQ(swf::PrintFixed(d, p), C("%.*f", p, d)) << "%." << p << "f";
        ASSERT_EQ(swf::PrintExponential(d, p), C("%.*e", p, d)) << "%." << p << "e";
        ASSERT_EQ(swf::PrintGeneral(d, p), C("%.*g", p, d)) << "%." << p << "g";
    }
}

void ExpectRead(const std::string& text) {
    char* cEnd = nullptr;
    const double c = std::strtod(text.c_str(), &cEnd);
    const char* ours = nullptr;
    const double v = swf::ReadNumber(text.c_str(), &ours);
    if (std::isnan(c)) {
        EXPECT_TRUE(std::isnan(v)) << text;
    } else {
        EXPECT_EQ(Bits(v), Bits(c)) << text << ": " << v << " for " << c;
    }
    EXPECT_EQ(ours - text.c_str(), cEnd - text.c_str()) << text;
}

// Ties at the last kept digit (half to even), carries into a new digit, the ends of the
// range and the subnormals, zeros of both signs, large integers and small fractions.
TEST(NumberText, PrintsEdgesAsPrintf) {
    const double edges[] = {0.0,
                            -0.0,
                            0.5,
                            1.5,
                            2.5,
                            -2.5,
                            0.125,
                            0.375,
                            9.995,
                            9.5,
                            99.5,
                            999999.5,
                            0.1,
                            1.0 / 3,
                            4.35,
                            1e-7,
                            1.0000000000000002,
                            123456789.125,
                            1e15,
                            1e15 + 0.5,
                            1e21,
                            1e22,
                            9007199254740993.0,
                            123456789012345678901234567890.0,
                            DBL_MAX,
                            -DBL_MAX,
                            DBL_MIN,
                            std::numeric_limits<double>::denorm_min(),
                            3 * std::numeric_limits<double>::denorm_min(),
                            DBL_MIN - std::numeric_limits<double>::denorm_min(),
                            std::nextafter(1.0, 0.0),
                            std::nextafter(10.0, 20.0)};
    for (double d : edges) {
        SCOPED_TRACE(C("%.*g", 17, d));
        ExpectAllFormats(d);
    }
    for (int e = -330; e <= 310; ++e) { // every power of ten, each side of it
        const double ten = std::pow(10.0, e);
        for (double d : {ten, std::nextafter(ten, 0.0), std::nextafter(ten, HUGE_VAL)}) {
            SCOPED_TRACE(C("%.*g", 17, d));
            ExpectAllFormats(d);
        }
    }
}

TEST(NumberText, PrintsRandomDoublesAsPrintf) {
    std::mt19937_64 random(20261209);
    for (int i = 0; i < 4000; ++i) {
        double d = AnyDouble(random);
        if (!std::isfinite(d)) {
            continue;
        }
        SCOPED_TRACE(C("%.*g", 17, d));
        ExpectAllFormats(d);
        // Values of the size scripts print.
        ExpectAllFormats(double(int64_t(random() % 2000000) - 1000000) / 1024.0);
    }
}

TEST(NumberText, NonFiniteAsPrintfNamesThem) {
    EXPECT_EQ(swf::PrintFixed(HUGE_VAL, 2), "inf");
    EXPECT_EQ(swf::PrintExponential(-HUGE_VAL, 2), "-inf");
    EXPECT_EQ(swf::PrintGeneral(NAN, 2), "nan");
}

TEST(NumberText, ReadsAsStrtod) {
    const char* texts[] = {"0",
                           "-0",
                           "+1",
                           "1.",
                           ".5",
                           ".",
                           "-.",
                           "e5",
                           "1e",
                           "1e+",
                           "1e-2x",
                           "  \t\n12abc",
                           "0x",
                           "0xg",
                           "0x.8",
                           "0x1p-1074",
                           "0x1p-1075",
                           "0x1.8p-1075",
                           "0x1.fffffffffffffp1023",
                           "0x1.fffffffffffff8p1023",
                           "0X1P+3",
                           "0x123456789abcdef0123p0",
                           "inf",
                           "-Infinity",
                           "infinit",
                           "nan",
                           "NaN(12)",
                           "1e-400",
                           "1e400",
                           "1e99999999999",
                           "2.4703282292062327e-324",
                           "2.4703282292062328e-324",
                           "4.9406564584124654e-324",
                           "2.2250738585072011e-308",
                           "2.2250738585072014e-308",
                           "1.7976931348623157e308",
                           "1.7976931348623158e308",
                           "1.7976931348623159e308",
                           "9007199254740993",
                           "9007199254740995",
                           "9007199254740993.0000000000000000000000000001",
                           "0.1",
                           "000000000000000000000000000000000000000000001",
                           "0.000000000000000000000000000000001e33",
                           "123456789012345678901234567890e-20",
                           "1_000",
                           "1..2",
                           "--1",
                           "+-1"};
    for (const char* t : texts) {
        ExpectRead(t);
    }
}

// The exact midpoint between neighbouring doubles reads as the even one; a digit more, far
// past the 800 digits kept, tips it up; one less tips it down.
TEST(NumberText, ReadsMidpointsByEveryDigit) {
    if (LDBL_MANT_DIG < 64) {
        GTEST_SKIP() << "needs a long double that holds a midpoint";
    }
    const double bases[] = {
        1.0, 3.0 / 7, 1e300, 1e-300, DBL_MIN, 5e-324 * 12345, 9007199254740992.0};
    for (double d : bases) {
        const double next = std::nextafter(d, HUGE_VAL);
        const long double mid = (static_cast<long double>(d) + next) / 2;
        char buf[1400];
        std::snprintf(buf, sizeof buf, "%.1100Le", mid);
        std::string text = buf;
        const size_t e = text.find('e');
        std::string mantissa = text.substr(0, e), exponent = text.substr(e);
        while (mantissa.back() == '0') {
            mantissa.pop_back();
        }
        ExpectRead(mantissa + exponent);
        ExpectRead(mantissa + std::string(900, '0') + "1" + exponent);
        std::string less = mantissa;
        size_t last = less.size() - 1;
        less[last] = char(less[last] - 1);
        ExpectRead(less + std::string(900, '9') + exponent);
    }
}

TEST(NumberText, ReadsRandomTextAsStrtod) {
    std::mt19937_64 random(7);
    for (int i = 0; i < 20000; ++i) {
        double d = AnyDouble(random);
        if (std::isfinite(d)) {
            ExpectRead(C("%.*g", int(random() % 20) + 1, d));
        }
        std::string digits;
        for (int n = int(random() % 30) + 1; n > 0; --n) {
            digits += char('0' + random() % 10);
        }
        ExpectRead(digits + "e" + std::to_string(int(random() % 700) - 350));
    }
}

TEST(NumberText, AppendsIntegersAsPrintf) {
    struct Case {
        uint32_t value;
        int digits;
        bool upper;
        const char* wanted;
    } hex[] = {{0, 0, true, "0"},
               {0, 2, true, "00"},
               {0xAB, 2, true, "AB"},
               {0xABC, 2, false, "abc"},
               {0x1F, 4, false, "001f"},
               {0xFFFFFFFF, 1, true, "FFFFFFFF"},
               {0xFFFFFF, 6, true, "FFFFFF"}};
    for (const Case& c : hex) {
        std::string out = "#";
        swf::AppendHex(out, c.value, c.digits, c.upper);
        EXPECT_EQ(out, std::string("#") + c.wanted);
    }
    struct Decimal {
        long long value;
        int digits;
        const char* wanted; // digits counts without the sign
    } decimal[] = {{0, 1, "0"},
                   {0, 2, "00"},
                   {7, 2, "07"},
                   {10, 2, "10"},
                   {100, 2, "100"},
                   {-1, 1, "-1"},
                   {-5, 2, "-05"},
                   {-2026, 1, "-2026"},
                   {INT64_MAX, 1, "9223372036854775807"},
                   {INT64_MIN, 1, "-9223372036854775808"}};
    for (const Decimal& c : decimal) {
        std::string out = "x";
        swf::AppendDecimal(out, c.value, c.digits);
        EXPECT_EQ(out, std::string("x") + c.wanted);
    }
}

} // namespace
