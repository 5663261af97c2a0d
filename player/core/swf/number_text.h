#pragma once

// Numbers to text and back, exactly as the C library's printf and strtod give them on a
// correctly rounding system (glibc; MinGW's own), in one place for the interpreters and
// text fields. The Windows programs then link neither the C library's formatting nor its
// reading of numbers (some 35 KB). Every result is exact: digits come from the double's
// whole decimal expansion, rounded half to even; text is read into the nearest double.
#include <cstdint>
#include <string>

namespace swf {

// printf's "%.*f", "%.*e" and "%.*g" of one double (precision from 0; non-finite values
// read "nan", "inf" and "-inf").
std::string PrintFixed(double d, int decimals);
std::string PrintExponential(double d, int precision);
std::string PrintGeneral(double d, int precision);

// strtod: leading white space, a sign, then a decimal or hexadecimal ("0x", binary exponent
// after 'p') number, "inf", "infinity" or "nan" in any case; *end (when given) is set past
// what was read, or to text when nothing was. Out of range gives infinity or zero.
double ReadNumber(const char* text, const char** end = nullptr);

// value in hexadecimal, at least digits long ("%0*X", "%0*x").
void AppendHex(std::string& out, uint32_t value, int digits, bool upper);
// value in decimal, at least digits long with leading zeros ("%0*d").
void AppendDecimal(std::string& out, long long value, int digits = 1);

} // namespace swf
