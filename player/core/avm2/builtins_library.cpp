// Date, JSON, Dictionary, ByteArray and flash.utils (timers, class names and lookups).
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "player/core/avm2/vm.h"

namespace avm2 {

void InstallRegExp(Vm& vm);

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
    char buf[32];
    const int m = int(std::fabs(off) / 60000);
    std::snprintf(buf, sizeof buf, "GMT%c%02d%02d", off < 0 ? '-' : '+', m / 60, m % 60);
    return buf;
}
std::string Format(double t, int what) { // 0 full, 1 date, 2 time, 3 UTC
    if (std::isnan(t))
        return "Invalid Date";
    const double off = what == 3 ? 0 : Offset(t);
    const Fields f = Split(t + off);
    char buf[128];
    char year[24];
    std::snprintf(year, sizeof year, "%.0f", f.y);
    switch (what) {
    case 1:
        std::snprintf(buf, sizeof buf, "%s %s %d %s", kDays[int(f.wd)], kMonths[int(f.mo)],
                      int(f.d), year);
        break;
    case 2:
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d %s", int(f.h), int(f.mi), int(f.s),
                      Zone(off).c_str());
        break;
    case 3:
        std::snprintf(buf, sizeof buf, "%s %s %d %02d:%02d:%02d %s UTC", kDays[int(f.wd)],
                      kMonths[int(f.mo)], int(f.d), int(f.h), int(f.mi), int(f.s), year);
        break;
    default:
        std::snprintf(buf, sizeof buf, "%s %s %d %02d:%02d:%02d %s %s", kDays[int(f.wd)],
                      kMonths[int(f.mo)], int(f.d), int(f.h), int(f.mi), int(f.s),
                      Zone(off).c_str(), year);
        break;
    }
    return buf;
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

void InstallDate(Vm& vm) {
    ClassInfo* date = vm.DefineClass("", "Date", vm.objectClass, Kind::Date, DateCtor, DateCall);
    date->sealed = false;
    const struct {
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
    const struct {
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
    vm.AddMethod(date, "UTC", DateUTC, true);
    vm.AddMethod(date, "parse", DateParse, true);
}

// ---- JSON ----
struct JsonReader {
    Vm& vm;
    const std::string& s;
    size_t i = 0;
    int depth = 0;
    bool ok = true;

    void Space() {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r'))
            ++i;
    }
    bool String(std::string* out) {
        ++i;
        while (i < s.size() && s[i] != '"') {
            char c = s[i++];
            if (uint8_t(c) < 0x20)
                return false;
            if (c == '\\') {
                if (i >= s.size())
                    return false;
                c = s[i++];
                switch (c) {
                case 'n':
                    *out += '\n';
                    break;
                case 't':
                    *out += '\t';
                    break;
                case 'r':
                    *out += '\r';
                    break;
                case 'b':
                    *out += '\b';
                    break;
                case 'f':
                    *out += '\f';
                    break;
                case 'u': {
                    if (i + 4 > s.size())
                        return false;
                    const uint32_t cp = uint32_t(std::strtoul(s.substr(i, 4).c_str(), nullptr, 16));
                    i += 4;
                    if (cp < 0x80) {
                        *out += char(cp);
                    } else if (cp < 0x800) {
                        *out += char(0xC0 | (cp >> 6));
                        *out += char(0x80 | (cp & 0x3F));
                    } else {
                        *out += char(0xE0 | (cp >> 12));
                        *out += char(0x80 | ((cp >> 6) & 0x3F));
                        *out += char(0x80 | (cp & 0x3F));
                    }
                    break;
                }
                case '"':
                case '\\':
                case '/':
                    *out += c;
                    break;
                default:
                    return false;
                }
            } else {
                *out += c;
            }
        }
        if (i >= s.size())
            return false;
        ++i;
        return true;
    }
    Value Parse() {
        Space();
        if (i >= s.size() || ++depth > 512) {
            ok = false;
            return Value();
        }
        Value r;
        const char c = s[i];
        if (c == '{') {
            ++i;
            Object* o = vm.NewObject();
            o->dyn.reset(new DynProps);
            Space();
            if (i < s.size() && s[i] == '}') {
                ++i;
            } else {
                while (ok) {
                    Space();
                    std::string key;
                    if (i >= s.size() || s[i] != '"' || !String(&key)) {
                        ok = false;
                        break;
                    }
                    Space();
                    if (i >= s.size() || s[i] != ':') {
                        ok = false;
                        break;
                    }
                    ++i;
                    const Value v = Parse();
                    o->dyn->Set(key, v);
                    Space();
                    if (i < s.size() && s[i] == ',') {
                        ++i;
                        continue;
                    }
                    if (i < s.size() && s[i] == '}') {
                        ++i;
                        break;
                    }
                    ok = false;
                }
            }
            r = Value::Obj(o);
        } else if (c == '[') {
            ++i;
            std::vector<Value> e;
            Space();
            if (i < s.size() && s[i] == ']') {
                ++i;
            } else {
                while (ok) {
                    e.push_back(Parse());
                    Space();
                    if (i < s.size() && s[i] == ',') {
                        ++i;
                        continue;
                    }
                    if (i < s.size() && s[i] == ']') {
                        ++i;
                        break;
                    }
                    ok = false;
                }
            }
            r = Value::Obj(vm.NewArray(std::move(e)));
        } else if (c == '"') {
            std::string str;
            ok = ok && String(&str);
            r = Value::Str(str);
        } else if (s.compare(i, 4, "true") == 0) {
            i += 4;
            r = Value::Bool(true);
        } else if (s.compare(i, 5, "false") == 0) {
            i += 5;
            r = Value::Bool(false);
        } else if (s.compare(i, 4, "null") == 0) {
            i += 4;
            r = Value::Null();
        } else if (c == '-' || std::isdigit(uint8_t(c))) {
            const size_t start = i;
            if (s[i] == '-')
                ++i;
            while (i < s.size() && (std::isdigit(uint8_t(s[i])) || s[i] == '.' || s[i] == 'e' ||
                                    s[i] == 'E' || s[i] == '+' || s[i] == '-'))
                ++i;
            const double d = StringToNumber(s.substr(start, i - start));
            ok = ok && !std::isnan(d);
            r = Value::Num(d);
        } else {
            ok = false;
        }
        --depth;
        return r;
    }
};

std::string Quote(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += char(c);
            }
        }
    }
    return out + "\"";
}

struct JsonWriter {
    Vm& vm;
    Value replacer;
    std::vector<std::string> allow;
    std::string indent;
    std::vector<Object*> stack;

    bool Write(const Value& holder, const std::string& key, Value v, const std::string& pad,
               std::string* out) {
        if (v.IsObject()) {
            const Value fn = vm.Get(v, "toJSON");
            if (vm.throwing())
                return false;
            if (fn.IsObject() && fn.o->kind == Kind::Function) {
                Value k = Value::Str(key);
                v = vm.Call(fn, v, &k, 1);
            }
        }
        if (replacer.IsObject() && replacer.o->kind == Kind::Function) {
            Value a[2] = {Value::Str(key), v};
            v = vm.Call(replacer, holder, a, 2);
        }
        if (vm.throwing() || vm.aborted())
            return false;
        switch (v.type) {
        case Type::Null:
            *out += "null";
            return true;
        case Type::Boolean:
            *out += v.b ? "true" : "false";
            return true;
        case Type::Number:
            *out += std::isfinite(v.n) ? NumberToString(v.n) : "null";
            return true;
        case Type::String:
            *out += Quote(v.s);
            return true;
        case Type::Undefined:
            return false;
        case Type::Object:
            break;
        }
        Object* o = v.o;
        if (o->kind == Kind::Function)
            return false;
        for (Object* x : stack)
            if (x == o) {
                vm.ThrowError("TypeError", 1129,
                              "Error #1129: Cyclic structure cannot be converted to JSON string.");
                return false;
            }
        if (stack.size() > 256)
            return false;
        stack.push_back(o);
        const std::string inner = pad + indent;
        if (o->kind == Kind::Array || o->kind == Kind::Vector) {
            *out += '[';
            for (size_t i = 0; i < o->elems.size(); ++i) {
                if (i)
                    *out += ',';
                if (!indent.empty())
                    *out += "\n" + inner;
                if (!Write(v, std::to_string(i), o->elems[i], inner, out)) {
                    if (vm.throwing())
                        return false;
                    *out += "null";
                }
            }
            if (!indent.empty() && !o->elems.empty())
                *out += "\n" + pad;
            *out += ']';
        } else {
            *out += '{';
            bool first = true;
            std::vector<std::string> keys;
            if (!allow.empty()) {
                keys = allow;
            } else {
                // Sealed classes' public fields and getters, then dynamic properties.
                if (o->cls && o->kind != Kind::Class)
                    for (const auto& e : o->cls->inst.map)
                        for (const Binding& b : e.second)
                            if (b.ns == kPublicNs &&
                                (b.k == Binding::Slot || b.k == Binding::Const ||
                                 (b.k == Binding::Accessor && b.getter)))
                                keys.push_back(e.first);
                if (o->dyn)
                    for (const DynProps::Entry& e : o->dyn->entries)
                        if (e.live && e.enumerable)
                            keys.push_back(e.key);
            }
            for (const std::string& k : keys) {
                const Value item = vm.Get(v, k);
                if (vm.throwing())
                    return false;
                std::string part;
                if (!Write(v, k, item, inner, &part)) {
                    if (vm.throwing())
                        return false;
                    continue;
                }
                if (!first)
                    *out += ',';
                first = false;
                if (!indent.empty())
                    *out += "\n" + inner;
                *out += Quote(k) + (indent.empty() ? ":" : ": ") + part;
                if (!vm.StringFits(out->size()))
                    return false;
            }
            if (!indent.empty() && !first)
                *out += "\n" + pad;
            *out += '}';
        }
        stack.pop_back();
        return true;
    }
};

NATIVE(JsonParse) {
    UNUSED;
    const std::string s = argc > 0 ? vm.ToString(args[0]) : "undefined";
    JsonReader r{vm, s};
    const Value v = r.Parse();
    r.Space();
    if (!r.ok || r.i != s.size())
        return vm.ThrowError("SyntaxError", 1132, "Error #1132: Invalid JSON parse input.");
    if (argc > 1 && args[1].IsObject() && args[1].o->kind == Kind::Function) {
        Value a[2] = {Value::Str(""), v};
        return vm.Call(args[1], Value::Null(), a, 2);
    }
    return v;
}
NATIVE(JsonStringify) {
    UNUSED;
    JsonWriter w{vm, Arg(args, argc, 1), {}, "", {}};
    if (w.replacer.IsObject() && w.replacer.o->kind == Kind::Array)
        for (const Value& k : w.replacer.o->elems)
            w.allow.push_back(vm.ToString(k));
    if (argc > 2) {
        if (args[2].IsNumber())
            w.indent.assign(size_t(std::max(0, std::min(10, ClampInt(args[2].n)))), ' ');
        else if (args[2].IsString())
            w.indent = args[2].s.get().substr(0, 10);
    }
    std::string out;
    if (!w.Write(Value::Null(), "", Arg(args, argc, 0), "", &out))
        return vm.throwing() ? Value() : Value();
    return Value::Str(out);
}

// ---- Dictionary ----
struct DictData : Extra {
    std::vector<std::pair<Object*, Value>> entries; // object keys, in insertion order
    void Mark(Vm& vm) override {
        for (auto& e : entries) {
            vm.MarkValue(Value::Obj(e.first));
            vm.MarkValue(e.second);
        }
    }
};

NATIVE(DictionaryCtor) {
    UNUSED;
    self.o->extra.reset(new DictData);
    return Value();
}

// ---- ByteArray ----
struct Bytes : Extra {
    // Bytes hold no values.
    std::vector<uint8_t> data;
    uint32_t position = 0;
    bool little = false;
};
Bytes* BytesOf(const Value& v) {
    return v.IsObject() && v.o->kind == Kind::ByteArray ? static_cast<Bytes*>(v.o->extra.get())
                                                        : nullptr;
}
NATIVE(ByteArrayCtor) {
    UNUSED;
    self.o->extra.reset(new Bytes);
    return Value();
}
bool Need(Vm& vm, Bytes* b, uint32_t n) {
    if (b->position > b->data.size() || b->data.size() - b->position < n) {
        vm.ThrowError("EOFError", 2030, "Error #2030: End of file was encountered.");
        return false;
    }
    return true;
}
void Put(Vm& vm, Bytes* b, const uint8_t* p, size_t n) {
    if (size_t(b->position) + n > (64u << 20)) {
        vm.ThrowError("MemoryError", 1000, "Error #1000: The system is out of memory.");
        return;
    }
    if (b->position + n > b->data.size())
        b->data.resize(b->position + n);
    std::memcpy(b->data.data() + b->position, p, n);
    b->position += uint32_t(n);
}
void PutInt(Vm& vm, Bytes* b, uint64_t v, int n) {
    uint8_t buf[8];
    for (int i = 0; i < n; ++i)
        buf[b->little ? i : n - 1 - i] = uint8_t(v >> (8 * i));
    Put(vm, b, buf, size_t(n));
}
uint64_t GetInt(Bytes* b, int n) {
    uint64_t v = 0;
    for (int i = 0; i < n; ++i)
        v |= uint64_t(b->data[b->position + size_t(b->little ? i : n - 1 - i)]) << (8 * i);
    b->position += uint32_t(n);
    return v;
}
NATIVE(BaLength) {
    UNUSED;
    Bytes* b = BytesOf(self);
    return Value::Num(b ? double(b->data.size()) : 0);
}
NATIVE(BaSetLength) {
    UNUSED;
    Bytes* b = BytesOf(self);
    const uint32_t n = ToUint32(vm.ToNumber(Arg(args, argc, 0)));
    if (b && n <= (64u << 20)) {
        b->data.resize(n);
        if (b->position > n)
            b->position = n;
    }
    return Value();
}
NATIVE(BaPosition) {
    UNUSED;
    Bytes* b = BytesOf(self);
    return Value::Num(b ? b->position : 0);
}
NATIVE(BaSetPosition) {
    UNUSED;
    if (Bytes* b = BytesOf(self))
        b->position = ToUint32(vm.ToNumber(Arg(args, argc, 0)));
    return Value();
}
NATIVE(BaAvailable) {
    UNUSED;
    Bytes* b = BytesOf(self);
    return Value::Num(b && b->position < b->data.size() ? double(b->data.size() - b->position) : 0);
}
NATIVE(BaEndian) {
    UNUSED;
    Bytes* b = BytesOf(self);
    return Value::Str(b && b->little ? "littleEndian" : "bigEndian");
}
NATIVE(BaSetEndian) {
    UNUSED;
    if (Bytes* b = BytesOf(self))
        b->little = vm.ToString(Arg(args, argc, 0)) == "littleEndian";
    return Value();
}
template <int N, bool Signed> Value BaRead(Vm& vm, const Value& self, Value* args, int argc) {
    UNUSED;
    Bytes* b = BytesOf(self);
    if (!b || !Need(vm, b, N))
        return Value();
    const uint64_t v = GetInt(b, N);
    if (!Signed)
        return Value::Num(double(v));
    const int shift = 64 - 8 * N;
    return Value::Num(double(int64_t(v << shift) >> shift));
}
template <int N> Value BaWrite(Vm& vm, const Value& self, Value* args, int argc) {
    UNUSED;
    if (Bytes* b = BytesOf(self))
        PutInt(vm, b, uint64_t(uint32_t(ToInt32(vm.ToNumber(Arg(args, argc, 0))))), N);
    return Value();
}
NATIVE(BaReadBoolean) {
    UNUSED;
    Bytes* b = BytesOf(self);
    if (!b || !Need(vm, b, 1))
        return Value();
    return Value::Bool(GetInt(b, 1) != 0);
}
NATIVE(BaWriteBoolean) {
    UNUSED;
    if (Bytes* b = BytesOf(self))
        PutInt(vm, b, ToBoolean(Arg(args, argc, 0)) ? 1 : 0, 1);
    return Value();
}
NATIVE(BaReadDouble) {
    UNUSED;
    Bytes* b = BytesOf(self);
    if (!b || !Need(vm, b, 8))
        return Value();
    const uint64_t v = GetInt(b, 8);
    double d;
    std::memcpy(&d, &v, 8);
    return Value::Num(d);
}
NATIVE(BaWriteDouble) {
    UNUSED;
    if (Bytes* b = BytesOf(self)) {
        const double d = vm.ToNumber(Arg(args, argc, 0));
        uint64_t v;
        std::memcpy(&v, &d, 8);
        PutInt(vm, b, v, 8);
    }
    return Value();
}
NATIVE(BaReadFloat) {
    UNUSED;
    Bytes* b = BytesOf(self);
    if (!b || !Need(vm, b, 4))
        return Value();
    const uint32_t v = uint32_t(GetInt(b, 4));
    float f;
    std::memcpy(&f, &v, 4);
    return Value::Num(f);
}
NATIVE(BaWriteFloat) {
    UNUSED;
    if (Bytes* b = BytesOf(self)) {
        const float f = float(vm.ToNumber(Arg(args, argc, 0)));
        uint32_t v;
        std::memcpy(&v, &f, 4);
        PutInt(vm, b, v, 4);
    }
    return Value();
}
NATIVE(BaWriteUTFBytes) {
    UNUSED;
    if (Bytes* b = BytesOf(self)) {
        const std::string s = vm.ToString(Arg(args, argc, 0));
        Put(vm, b, reinterpret_cast<const uint8_t*>(s.data()), s.size());
    }
    return Value();
}
NATIVE(BaWriteUTF) {
    UNUSED;
    if (Bytes* b = BytesOf(self)) {
        const std::string s = vm.ToString(Arg(args, argc, 0));
        if (s.size() > 65535)
            return vm.ThrowError("RangeError", 2006,
                                 "Error #2006: The supplied index is out of bounds.");
        PutInt(vm, b, s.size(), 2);
        Put(vm, b, reinterpret_cast<const uint8_t*>(s.data()), s.size());
    }
    return Value();
}
NATIVE(BaReadUTFBytes) {
    UNUSED;
    Bytes* b = BytesOf(self);
    const uint32_t n = ToUint32(vm.ToNumber(Arg(args, argc, 0)));
    if (!b || !Need(vm, b, n))
        return Value();
    std::string s(reinterpret_cast<const char*>(b->data.data() + b->position), n);
    b->position += n;
    const size_t z = s.find('\0');
    return Value::Str(z == std::string::npos ? s : s.substr(0, z));
}
NATIVE(BaReadUTF) {
    UNUSED;
    Bytes* b = BytesOf(self);
    if (!b || !Need(vm, b, 2))
        return Value();
    Value n = Value::Num(double(GetInt(b, 2)));
    return BaReadUTFBytes(vm, self, &n, 1);
}
NATIVE(BaWriteBytes) {
    UNUSED;
    Bytes* b = BytesOf(self);
    Bytes* src = BytesOf(Arg(args, argc, 0));
    if (!b || !src)
        return Value();
    const uint32_t off = argc > 1 ? ToUint32(vm.ToNumber(args[1])) : 0;
    uint32_t len = argc > 2 ? ToUint32(vm.ToNumber(args[2])) : 0;
    if (off > src->data.size())
        return vm.ThrowError("RangeError", 2006,
                             "Error #2006: The supplied index is out of bounds.");
    if (len == 0 || len > src->data.size() - off)
        len = uint32_t(src->data.size() - off);
    const std::vector<uint8_t> copy(src->data.begin() + off, src->data.begin() + off + len);
    Put(vm, b, copy.data(), copy.size());
    return Value();
}
NATIVE(BaReadBytes) {
    UNUSED;
    Bytes* b = BytesOf(self);
    Bytes* dst = BytesOf(Arg(args, argc, 0));
    if (!b || !dst)
        return Value();
    const uint32_t off = argc > 1 ? ToUint32(vm.ToNumber(args[1])) : 0;
    uint32_t len = argc > 2 ? ToUint32(vm.ToNumber(args[2])) : 0;
    if (len == 0)
        len = b->position < b->data.size() ? uint32_t(b->data.size() - b->position) : 0;
    if (!Need(vm, b, len))
        return Value();
    const uint32_t keep = dst->position;
    dst->position = off;
    Put(vm, dst, b->data.data() + b->position, len);
    dst->position = keep;
    b->position += len;
    return Value();
}
NATIVE(BaClear) {
    UNUSED;
    if (Bytes* b = BytesOf(self)) {
        b->data.clear();
        b->position = 0;
    }
    return Value();
}
NATIVE(BaToString) {
    UNUSED;
    Bytes* b = BytesOf(self);
    if (!b)
        return Value::Str("");
    size_t start =
        b->data.size() >= 3 && b->data[0] == 0xEF && b->data[1] == 0xBB && b->data[2] == 0xBF ? 3
                                                                                              : 0;
    return Value::Str(std::string(b->data.begin() + long(start), b->data.end()));
}

// ---- flash.utils ----
NATIVE(GetTimer) {
    UNUSED;
    return Value::Num(std::floor(vm.Now()));
}
Value AddTimer(Vm& vm, Value* args, int argc, bool once) {
    if (argc < 1 || !args[0].IsObject())
        return Value::Num(0);
    Vm::Timer t;
    t.fn = args[0];
    t.interval = argc > 1 ? std::max(1.0, vm.ToNumber(args[1])) : 1;
    if (std::isnan(t.interval))
        t.interval = 1;
    t.due = vm.Now() + t.interval;
    t.once = once;
    for (int i = 2; i < argc; ++i)
        t.args.push_back(args[i]);
    return Value::Num(vm.AddTimer(std::move(t)));
}
NATIVE(SetTimeout) {
    UNUSED;
    return AddTimer(vm, args, argc, true);
}
NATIVE(SetInterval) {
    UNUSED;
    return AddTimer(vm, args, argc, false);
}
NATIVE(ClearTimer) {
    UNUSED;
    vm.RemoveTimer(ClampInt(vm.ToNumber(Arg(args, argc, 0))));
    return Value();
}
std::string QualifiedName(Vm& vm, const Value& v) {
    if (v.IsNullish())
        return v.IsUndefined() ? "void" : "null";
    ClassInfo* c = v.IsObject() && v.o->kind == Kind::Class ? v.o->info : vm.ClassOf(v);
    if (v.IsObject() && v.o->kind == Kind::Function)
        return "builtin.as$0::MethodClosure";
    return c ? c->QualifiedName() : "Object";
}
NATIVE(GetQualifiedClassName) {
    UNUSED;
    return Value::Str(QualifiedName(vm, Arg(args, argc, 0)));
}
NATIVE(GetQualifiedSuperclassName) {
    UNUSED;
    const Value v = Arg(args, argc, 0);
    ClassInfo* c = v.IsObject() && v.o->kind == Kind::Class ? v.o->info : vm.ClassOf(v);
    if (c == vm.intClass || c == vm.uintClass)
        c = vm.numberClass;
    if (!c || !c->super)
        return Value::Null();
    return Value::Str(c->super->QualifiedName());
}
NATIVE(GetDefinitionByName) {
    UNUSED;
    const std::string name = vm.ToString(Arg(args, argc, 0));
    const Value v = vm.FindDefinition(name);
    if (vm.throwing())
        return Value();
    if (v.IsUndefined())
        return vm.ThrowError("ReferenceError", 1065,
                             "Error #1065: Variable " + name + " is not defined.");
    return v;
}

} // namespace

bool DictionaryGet(Vm& vm, Object* dict, const Value& key, Value* out) {
    (void)vm;
    DictData* d = static_cast<DictData*>(dict->extra.get());
    if (d)
        for (auto& e : d->entries)
            if (e.first == key.o) {
                *out = e.second;
                return true;
            }
    return false;
}
bool DictionarySet(Vm& vm, Object* dict, const Value& key, const Value& v) {
    DictData* d = static_cast<DictData*>(dict->extra.get());
    if (!d)
        return false;
    for (auto& e : d->entries)
        if (e.first == key.o) {
            e.second = v;
            return true;
        }
    vm.heap().Account(dict, sizeof(Value) * 2);
    d->entries.emplace_back(key.o, v);
    return true;
}
bool DictionaryDelete(Vm& vm, Object* dict, const Value& key) {
    (void)vm;
    DictData* d = static_cast<DictData*>(dict->extra.get());
    if (d)
        for (size_t i = 0; i < d->entries.size(); ++i)
            if (d->entries[i].first == key.o) {
                d->entries.erase(d->entries.begin() + long(i));
                return true;
            }
    return false;
}
void DictionaryKeys(Object* dict, std::vector<Value>* out) {
    DictData* d = static_cast<DictData*>(dict->extra.get());
    if (d)
        for (auto& e : d->entries)
            out->push_back(Value::Obj(e.first));
}
void InstallLibrary(Vm& vm) {
    InstallDate(vm);
    InstallRegExp(vm);
    ClassInfo* json = vm.DefineClass("", "JSON", vm.objectClass, Kind::Plain, nullptr);
    vm.AddMethod(json, "parse", JsonParse, true);
    vm.AddMethod(json, "stringify", JsonStringify, true);

    ClassInfo* dict = vm.DefineClass("flash.utils", "Dictionary", vm.objectClass, Kind::Dictionary,
                                     DictionaryCtor);
    dict->sealed = false;

    // Endian: the two names ByteArray.endian takes.
    ClassInfo* endian =
        vm.DefineClass("flash.utils", "Endian", vm.objectClass, Kind::Plain, nullptr);
    for (const char* name : {"BIG_ENDIAN", "LITTLE_ENDIAN"}) {
        Binding* b = endian->stat.Add(name, kAnyNs);
        b->k = Binding::Const;
        b->slot = uint32_t(endian->stat.slots.size());
        SlotInit init;
        init.slot = b->slot;
        init.value = Value::Str(name[0] == 'B' ? "bigEndian" : "littleEndian");
        endian->stat.slots.push_back(init);
        endian->object->slots.push_back(init.value);
    }

    ClassInfo* ba =
        vm.DefineClass("flash.utils", "ByteArray", vm.objectClass, Kind::ByteArray, ByteArrayCtor);
    vm.AddGetter(ba, "length", BaLength, BaSetLength);
    vm.AddGetter(ba, "position", BaPosition, BaSetPosition);
    vm.AddGetter(ba, "bytesAvailable", BaAvailable);
    vm.AddGetter(ba, "endian", BaEndian, BaSetEndian);
    const struct {
        const char* name;
        NativeFn fn;
    } methods[] = {{"readByte", BaRead<1, true>},
                   {"readUnsignedByte", BaRead<1, false>},
                   {"readShort", BaRead<2, true>},
                   {"readUnsignedShort", BaRead<2, false>},
                   {"readInt", BaRead<4, true>},
                   {"readUnsignedInt", BaRead<4, false>},
                   {"writeByte", BaWrite<1>},
                   {"writeShort", BaWrite<2>},
                   {"writeInt", BaWrite<4>},
                   {"writeUnsignedInt", BaWrite<4>},
                   {"readBoolean", BaReadBoolean},
                   {"writeBoolean", BaWriteBoolean},
                   {"readDouble", BaReadDouble},
                   {"writeDouble", BaWriteDouble},
                   {"readFloat", BaReadFloat},
                   {"writeFloat", BaWriteFloat},
                   {"readUTF", BaReadUTF},
                   {"writeUTF", BaWriteUTF},
                   {"readUTFBytes", BaReadUTFBytes},
                   {"writeUTFBytes", BaWriteUTFBytes},
                   {"readMultiByte", BaReadUTFBytes},
                   {"writeBytes", BaWriteBytes},
                   {"readBytes", BaReadBytes},
                   {"clear", BaClear},
                   {"toString", BaToString}};
    for (const auto& m : methods)
        vm.AddMethod(ba, m.name, m.fn);

    vm.DefineFunction("flash.utils", "getTimer", GetTimer);
    vm.DefineFunction("flash.utils", "setTimeout", SetTimeout);
    vm.DefineFunction("flash.utils", "setInterval", SetInterval);
    vm.DefineFunction("flash.utils", "clearTimeout", ClearTimer);
    vm.DefineFunction("flash.utils", "clearInterval", ClearTimer);
    vm.DefineFunction("flash.utils", "getQualifiedClassName", GetQualifiedClassName);
    vm.DefineFunction("flash.utils", "getQualifiedSuperclassName", GetQualifiedSuperclassName);
    vm.DefineFunction("flash.utils", "getDefinitionByName", GetDefinitionByName);
    // The same functions under the VM's own package, as some compilers name them.
    vm.DefineFunction("avmplus", "getQualifiedClassName", GetQualifiedClassName);
    vm.DefineFunction("avmplus", "getQualifiedSuperclassName", GetQualifiedSuperclassName);
}

} // namespace avm2
