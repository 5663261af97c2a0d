// Date: ECMAScript's day arithmetic, local time through the C library's zone, the string
// forms Flash prints and the ones Date.parse reads.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "player/core/avm2/vm.h"

#include "player/core/swf/number_text.h"

namespace avm2 {

namespace {

#define NATIVE(name) Value name(Vm& vm, const Value& self, Value* args, int argc)
#define UNUSED (void)vm, (void)self, (void)args, (void)argc

// ---- Date (ECMAScript's day arithmetic; local time through the C library's zone) ----
const double kDay = 86400000.0;

double Day(double t) {
    return std::floor(t / kDay);
}
double DaysFromCivil(double y, double m, double d) { // m 0-based
    y += std::floor(m / 12);
    m = std::fmod(m, 12);
    if (m < 0)
        m += 12;
    const double yy = m < 2 ? y - 1 : y;
    const double era = std::floor(yy / 400);
    const double yoe = yy - era * 400;
    const double mp = std::fmod(m + 10, 12);
    const double doy = std::floor((153 * mp + 2) / 5) + d - 1;
    const double doe = yoe * 365 + std::floor(yoe / 4) - std::floor(yoe / 100) + doy;
    return era * 146097 + doe - 719468;
}
void CivilFromDays(double z, double* y, double* m, double* d) {
    z += 719468;
    const double era = std::floor(z / 146097);
    const double doe = z - era * 146097;
    const double yoe = std::floor(
        (doe - std::floor(doe / 1460) + std::floor(doe / 36524) - std::floor(doe / 146096)) / 365);
    const double doy = doe - (365 * yoe + std::floor(yoe / 4) - std::floor(yoe / 100));
    const double mp = std::floor((5 * doy + 2) / 153);
    *d = doy - std::floor((153 * mp + 2) / 5) + 1;
    *m = mp < 10 ? mp + 2 : mp - 10;
    *y = yoe + era * 400 + (*m < 2 ? 1 : 0);
}
double MakeTime(double y, double mo, double d, double h, double mi, double s, double ms) {
    if (!std::isfinite(y) || !std::isfinite(mo) || !std::isfinite(d) || !std::isfinite(h) ||
        !std::isfinite(mi) || !std::isfinite(s) || !std::isfinite(ms))
        return std::nan("");
    return DaysFromCivil(std::trunc(y), std::trunc(mo), 1) * kDay + (std::trunc(d) - 1) * kDay +
           std::trunc(h) * 3600000 + std::trunc(mi) * 60000 + std::trunc(s) * 1000 + std::trunc(ms);
}
// Local time offset (ms) at UTC time t, from the C library's zone.
double Offset(double t) {
    if (!std::isfinite(t))
        return 0;
    std::time_t secs = std::time_t(std::floor(t / 1000));
    std::tm* g = std::gmtime(&secs);
    if (!g)
        return 0;
    std::tm gm = *g;
    std::tm* l = std::localtime(&secs);
    if (!l)
        return 0;
    std::tm lt = *l;
    const double ld = DaysFromCivil(lt.tm_year + 1900, lt.tm_mon, lt.tm_mday);
    const double gd = DaysFromCivil(gm.tm_year + 1900, gm.tm_mon, gm.tm_mday);
    return ((ld - gd) * 86400 + (lt.tm_hour - gm.tm_hour) * 3600 + (lt.tm_min - gm.tm_min) * 60) *
           1000.0;
}
double TimeClip(double t) {
    return std::isfinite(t) && std::fabs(t) <= 8.64e15 ? std::trunc(t) + 0.0 : std::nan("");
}

struct Fields {
    double y, mo, d, h, mi, s, ms, wd;
};
Fields Split(double t) {
    Fields f;
    const double day = Day(t);
    CivilFromDays(day, &f.y, &f.mo, &f.d);
    double rest = t - day * kDay;
    f.h = std::floor(rest / 3600000);
    rest -= f.h * 3600000;
    f.mi = std::floor(rest / 60000);
    rest -= f.mi * 60000;
    f.s = std::floor(rest / 1000);
    f.ms = rest - f.s * 1000;
    f.wd = std::fmod(day + 4, 7);
    if (f.wd < 0)
        f.wd += 7;
    return f;
}

double& TimeOf(const Value& self) {
    static double dummy;
    dummy = std::nan("");
    return self.IsObject() && self.o->kind == Kind::Date ? self.o->num : dummy;
}

NATIVE(DateCtor) {
    UNUSED;
    double t;
    if (argc == 0) {
        t = std::floor(vm.WallNow());
    } else if (argc == 1) {
        // Only a string is parsed: an object converts as a number, even when its valueOf
        // gives a string.
        const Value v = args[0].IsObject() && args[0].o->kind == Kind::Date
                            ? Value::Num(args[0].o->num)
                            : args[0];
        if (v.IsString()) {
            Value s = v;
            t = vm.ToNumber(vm.CallMethod(Value::Obj(vm.Builtin("Date")->object), "parse", &s, 1));
        } else {
            t = vm.ToNumber(v);
        }
    } else {
        double f[7] = {0, 0, 1, 0, 0, 0, 0};
        for (int i = 0; i < argc && i < 7; ++i)
            f[i] = vm.ToNumber(args[i]);
        if (f[0] >= 0 && f[0] <= 99 && f[0] == std::floor(f[0]))
            f[0] += 1900;
        const double local = MakeTime(f[0], f[1], f[2], f[3], f[4], f[5], f[6]);
        t = local - Offset(local - Offset(local));
    }
    self.o->num = TimeClip(t);
    return Value();
}
NATIVE(DateCall) {
    UNUSED;
    Object* d = vm.NewInstance(vm.Builtin("Date"));
    DateCtor(vm, Value::Obj(d), nullptr, 0);
    return Value::Str(vm.ToString(Value::Obj(d)));
}
const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
std::string Zone(double off) {
    const int m = int(std::fabs(off) / 60000);
    std::string out = off < 0 ? "GMT-" : "GMT+";
    swf::AppendDecimal(out, m / 60, 2);
    swf::AppendDecimal(out, m % 60, 2);
    return out;
}
// "h:mm:ss" as hh:mm:ss, two digits each.
std::string Clock(const Fields& f) {
    std::string out;
    swf::AppendDecimal(out, int(f.h), 2);
    out += ':';
    swf::AppendDecimal(out, int(f.mi), 2);
    out += ':';
    swf::AppendDecimal(out, int(f.s), 2);
    return out;
}
std::string Format(double t, int what) { // 0 full, 1 date, 2 time, 3 UTC
    if (std::isnan(t))
        return "Invalid Date";
    const double off = what == 3 ? 0 : Offset(t);
    const Fields f = Split(t + off);
    const std::string year = swf::PrintFixed(f.y, 0);
    if (what == 2)
        return Clock(f) + " " + Zone(off);
    std::string day = std::string(kDays[int(f.wd)]) + " " + kMonths[int(f.mo)] + " ";
    swf::AppendDecimal(day, int(f.d));
    switch (what) {
    case 1:
        return day + " " + year;
    case 3:
        return day + " " + Clock(f) + " " + year + " UTC";
    default:
        return day + " " + Clock(f) + " " + Zone(off) + " " + year;
    }
}
NATIVE(DateToString) {
    UNUSED;
    return Value::Str(Format(TimeOf(self), 0));
}
NATIVE(DateToDateString) {
    UNUSED;
    return Value::Str(Format(TimeOf(self), 1));
}
NATIVE(DateToTimeString) {
    UNUSED;
    return Value::Str(Format(TimeOf(self), 2));
}
NATIVE(DateToUTCString) {
    UNUSED;
    return Value::Str(Format(TimeOf(self), 3));
}
NATIVE(DateGetTime) {
    UNUSED;
    return Value::Num(TimeOf(self));
}
NATIVE(DateSetTime) {
    UNUSED;
    double& t = TimeOf(self);
    t = TimeClip(argc > 0 ? vm.ToNumber(args[0]) : std::nan(""));
    return Value::Num(t);
}
NATIVE(DateOffset) {
    UNUSED;
    const double t = TimeOf(self);
    return Value::Num(std::isnan(t) ? t : -Offset(t) / 60000);
}

// Field getters and setters share one table: index into Fields, local or UTC.
template <int Field, bool Utc> Value GetField(Vm& vm, const Value& self, Value* args, int argc) {
    UNUSED;
    const double t = TimeOf(self);
    if (std::isnan(t))
        return Value::Num(t);
    const Fields f = Split(Utc ? t : t + Offset(t));
    const double v[] = {f.y, f.mo, f.d, f.h, f.mi, f.s, f.ms, f.wd};
    return Value::Num(v[Field]);
}
template <int Field, bool Utc> Value SetField(Vm& vm, const Value& self, Value* args, int argc) {
    double& t = TimeOf(self);
    // Setting the year of an invalid date starts from 1 January 1970, 00:00 in its own zone.
    const bool fresh = std::isnan(t) && Field == 0;
    const double base = fresh ? 0 : t;
    const double off = Utc ? 0 : Offset(base);
    const Fields f = Split(fresh ? 0 : base + off);
    double v[] = {f.y, f.mo, f.d, f.h, f.mi, f.s, f.ms};
    // setFullYear(y, m, d), setHours(h, m, s, ms)...: later arguments set the next fields.
    for (int i = 0; i < argc && Field + i < 7; ++i) {
        if (Field == 0 && i > 2)
            break;
        v[Field + i] = vm.ToNumber(args[i]);
    }
    if (argc == 0)
        v[Field] = std::nan("");
    double r = MakeTime(v[0], v[1], v[2], v[3], v[4], v[5], v[6]);
    if (!Utc)
        r -= Offset(r - off);
    t = TimeClip(r);
    return Value::Num(t);
}
NATIVE(DateUTC) {
    UNUSED;
    double f[7] = {0, 0, 1, 0, 0, 0, 0};
    for (int i = 0; i < argc && i < 7; ++i)
        f[i] = vm.ToNumber(args[i]);
    if (f[0] >= 0 && f[0] <= 99 && f[0] == std::floor(f[0]))
        f[0] += 1900;
    return Value::Num(TimeClip(MakeTime(f[0], f[1], f[2], f[3], f[4], f[5], f[6])));
}
// Date.parse reads whitespace-separated items, each one of: a date ("M/D/Y", "Y/M/D" with a
// four-digit year first, "Mon/D/Y"), a time ("H:M" or "H:M:S"), a day name (ignored), a
// month name (the last one counts), "GMT"/"UTC" with an optional "+HHMM"/"-HHMM", "AM"/"PM",
// or a number: a year from 70 on (70-99 meaning 19xx), else the day. A field given twice,
// an unknown word, or a missing year, month or day makes NaN.
struct ParsedDate {
    double y = -1, mo = -1, d = -1, h = -1, mi = 0, s = 0, zone = std::nan("");
    int half = 0; // 1 AM, 2 PM
};
// A word naming what `abbrev` abbreviates: its first three letters, any case.
bool Names(const std::string& w, const char* abbrev) {
    if (w.size() < 3 || w.size() > 9)
        return false;
    for (int i = 0; i < 3; ++i)
        if (std::tolower(uint8_t(w[size_t(i)])) != std::tolower(uint8_t(abbrev[i])))
            return false;
    return true;
}
int MonthOf(const std::string& w) {
    for (int m = 0; m < 12; ++m)
        if (Names(w, kMonths[m]))
            return m;
    return -1;
}
bool DayName(const std::string& w) {
    for (const char* d : kDays)
        if (Names(w, d))
            return true;
    return false;
}
// Splits "a<sep>b<sep>c" into up to 3 parts; false when there are more.
bool SplitParts(const std::string& item, char sep, std::vector<std::string>* parts) {
    size_t from = 0;
    for (;;) {
        const size_t at = item.find(sep, from);
        parts->push_back(
            item.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos || parts->size() > 3)
            return parts->size() <= 3;
        from = at + 1;
    }
}
bool Digits(const std::string& s, size_t maxLen, double* out) {
    if (s.empty() || s.size() > maxLen)
        return false;
    double v = 0;
    for (char c : s) {
        if (!std::isdigit(uint8_t(c)))
            return false;
        v = v * 10 + (c - '0');
    }
    *out = v;
    return true;
}
bool ParseItem(const std::string& item, ParsedDate* p) {
    std::vector<std::string> parts;
    if (item.find('/') != std::string::npos) {
        double a, b, c;
        if (!SplitParts(item, '/', &parts) || parts.size() != 3 || p->y >= 0 || p->d >= 0 ||
            !Digits(parts[1], 2, &b) || !Digits(parts[2], 4, &c))
            return false;
        const int month = MonthOf(parts[0]);
        if (month >= 0) { // Mon/D/Y
            p->mo = month, p->d = b, p->y = c;
        } else if (!Digits(parts[0], 4, &a)) {
            return false;
        } else if (parts[0].size() == 4) { // Y/M/D
            p->y = a, p->mo = b - 1, p->d = c;
        } else { // M/D/Y
            p->mo = a - 1, p->d = b, p->y = c;
        }
        return true;
    }
    if (item.find(':') != std::string::npos) {
        double h, m, sec = 0;
        if (!SplitParts(item, ':', &parts) || parts.size() < 2 || p->h >= 0 ||
            !Digits(parts[0], 2, &h) || !Digits(parts[1], 2, &m) ||
            (parts.size() == 3 && !Digits(parts[2], 2, &sec)))
            return false;
        p->h = h, p->mi = m, p->s = sec;
        return true;
    }
    double n;
    if (Digits(item, 9, &n)) {
        if (n >= 70) {
            if (p->y >= 0)
                return false;
            p->y = n < 100 ? n + 1900 : n;
        } else {
            if (p->d >= 0)
                return false;
            p->d = n;
        }
        return true;
    }
    std::string w = item;
    for (char& c : w)
        c = char(std::tolower(uint8_t(c)));
    if (w.compare(0, 3, "gmt") == 0 || w.compare(0, 3, "utc") == 0) {
        double hhmm = 0;
        if (!std::isnan(p->zone) ||
            (w.size() > 3 && ((w[3] != '+' && w[3] != '-') || !Digits(w.substr(4), 4, &hhmm))))
            return false;
        const double minutes = std::floor(hhmm / 100) * 60 + std::fmod(hhmm, 100);
        p->zone = (w.size() > 3 && w[3] == '-' ? -minutes : minutes) * 60000.0;
        return true;
    }
    if (w == "am" || w == "pm") {
        p->half = w == "am" ? 1 : 2;
        return true;
    }
    const int month = MonthOf(w);
    if (month >= 0) {
        p->mo = month;
        return true;
    }
    return DayName(w);
}
NATIVE(DateParse) {
    UNUSED;
    const std::string s = argc > 0 ? vm.ToString(args[0]) : "";
    const double nan = std::nan("");
    ParsedDate p;
    for (size_t i = 0; i < s.size();) {
        if (std::isspace(uint8_t(s[i])) || s[i] == ',') {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < s.size() && !std::isspace(uint8_t(s[end])) && s[end] != ',')
            ++end;
        if (!ParseItem(s.substr(i, end - i), &p))
            return Value::Num(nan);
        i = end;
    }
    if (p.y < 0 || p.mo < 0 || p.d < 0)
        return Value::Num(nan);
    double h = p.h < 0 ? 0 : p.h;
    if (p.half == 2 && h < 12)
        h += 12;
    if (p.half == 1 && h == 12)
        h = 0;
    double t = MakeTime(p.y, p.mo, p.d, h, p.mi, p.s, 0);
    t = std::isnan(p.zone) ? t - Offset(t) : t - p.zone;
    return Value::Num(TimeClip(t));
}
NATIVE(DateValueOf) {
    UNUSED;
    return Value::Num(TimeOf(self));
}

} // namespace

void InstallDate(Vm& vm) {
    ClassInfo* date = vm.DefineClass("", "Date", vm.objectClass, Kind::Date, DateCtor, DateCall);
    date->sealed = false;
    static const struct {
        const char* name;
        NativeFn fn;
    } methods[] = {{"toString", DateToString},
                   {"toDateString", DateToDateString},
                   {"toTimeString", DateToTimeString},
                   {"toUTCString", DateToUTCString},
                   {"toLocaleString", DateToString},
                   {"toLocaleDateString", DateToDateString},
                   {"toLocaleTimeString", DateToTimeString},
                   {"getTime", DateGetTime},
                   {"setTime", DateSetTime},
                   {"valueOf", DateValueOf},
                   {"getTimezoneOffset", DateOffset},
                   {"getFullYear", GetField<0, false>},
                   {"getMonth", GetField<1, false>},
                   {"getDate", GetField<2, false>},
                   {"getHours", GetField<3, false>},
                   {"getMinutes", GetField<4, false>},
                   {"getSeconds", GetField<5, false>},
                   {"getMilliseconds", GetField<6, false>},
                   {"getDay", GetField<7, false>},
                   {"getUTCFullYear", GetField<0, true>},
                   {"getUTCMonth", GetField<1, true>},
                   {"getUTCDate", GetField<2, true>},
                   {"getUTCHours", GetField<3, true>},
                   {"getUTCMinutes", GetField<4, true>},
                   {"getUTCSeconds", GetField<5, true>},
                   {"getUTCMilliseconds", GetField<6, true>},
                   {"getUTCDay", GetField<7, true>},
                   {"setFullYear", SetField<0, false>},
                   {"setMonth", SetField<1, false>},
                   {"setDate", SetField<2, false>},
                   {"setHours", SetField<3, false>},
                   {"setMinutes", SetField<4, false>},
                   {"setSeconds", SetField<5, false>},
                   {"setMilliseconds", SetField<6, false>},
                   {"setUTCFullYear", SetField<0, true>},
                   {"setUTCMonth", SetField<1, true>},
                   {"setUTCDate", SetField<2, true>},
                   {"setUTCHours", SetField<3, true>},
                   {"setUTCMinutes", SetField<4, true>},
                   {"setUTCSeconds", SetField<5, true>},
                   {"setUTCMilliseconds", SetField<6, true>}};
    for (const auto& m : methods) {
        vm.AddMethod(date, m.name, m.fn);
        vm.AddProtoMethod(date, m.name, m.fn);
    }
    static const struct {
        const char* name;
        NativeFn get, set;
    } props[] = {{"fullYear", GetField<0, false>, SetField<0, false>},
                 {"month", GetField<1, false>, SetField<1, false>},
                 {"date", GetField<2, false>, SetField<2, false>},
                 {"hours", GetField<3, false>, SetField<3, false>},
                 {"minutes", GetField<4, false>, SetField<4, false>},
                 {"seconds", GetField<5, false>, SetField<5, false>},
                 {"milliseconds", GetField<6, false>, SetField<6, false>},
                 {"day", GetField<7, false>, nullptr},
                 {"fullYearUTC", GetField<0, true>, SetField<0, true>},
                 {"monthUTC", GetField<1, true>, SetField<1, true>},
                 {"dateUTC", GetField<2, true>, SetField<2, true>},
                 {"hoursUTC", GetField<3, true>, SetField<3, true>},
                 {"minutesUTC", GetField<4, true>, SetField<4, true>},
                 {"secondsUTC", GetField<5, true>, SetField<5, true>},
                 {"millisecondsUTC", GetField<6, true>, SetField<6, true>},
                 {"dayUTC", GetField<7, true>, nullptr},
                 {"time", DateGetTime, DateSetTime},
                 {"timezoneOffset", DateOffset, nullptr}};
    for (const auto& p : props)
        vm.AddGetter(date, p.name, p.get, p.set);
    static const Native dateNatives[] = {StaticFn("UTC", DateUTC), StaticFn("parse", DateParse)};
    vm.AddNatives(date, dateNatives);
}

} // namespace avm2
