// Date in UTC: a saver has no business with the user's time zone rules, and the wall clock
// comes from the host so tests can fix it.
#include <cmath>
#include <cstdio>

#include "player/core/avm1/vm.h"

#include "player/core/swf/number_text.h"

namespace avm1 {
namespace {

constexpr double kMsPerDay = 86400000.0;

double DaysFromCivil(double y, double m, double d) {
    // m is 0-based and may be out of range: carry it into the year first.
    y += std::floor(m / 12);
    m = std::fmod(m, 12);
    if (m < 0)
        m += 12;
    long long yy = (long long)y - (m < 2 ? 1 : 0);
    long long era = (yy >= 0 ? yy : yy - 399) / 400;
    long long yoe = yy - era * 400;
    long long mp = ((long long)m + 10) % 12;
    long long doy = (153 * mp + 2) / 5;
    long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return double(era * 146097 + doe - 719468) + (d - 1);
}

struct Civil {
    double year, month, day, hours, minutes, seconds, ms, weekday;
};

Civil FromTime(double t) {
    double days = std::floor(t / kMsPerDay);
    double rest = t - days * kMsPerDay;
    long long z = (long long)days + 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    long long doe = z - era * 146097;
    long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long long mp = (5 * doy + 2) / 153;
    long long d = doy - (153 * mp + 2) / 5 + 1;
    long long m = mp < 10 ? mp + 3 : mp - 9;
    long long y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    Civil c;
    c.year = double(y);
    c.month = double(m - 1);
    c.day = double(d);
    c.hours = std::floor(rest / 3600000);
    c.minutes = std::floor(std::fmod(rest, 3600000) / 60000);
    c.seconds = std::floor(std::fmod(rest, 60000) / 1000);
    c.ms = std::fmod(rest, 1000);
    double wd = std::fmod(days + 4, 7);
    c.weekday = wd < 0 ? wd + 7 : wd;
    return c;
}

// Times beyond 100 million days either side of 1970 are invalid, as in ECMAScript.
constexpr double kMaxTime = 8.64e15;

double MakeTime(const Civil& c) {
    for (double f : {c.year, c.month, c.day, c.hours, c.minutes, c.seconds, c.ms})
        if (!std::isfinite(f) || std::fabs(f) > kMaxTime)
            return std::nan("");
    if (std::fabs(c.year) > 400000 || std::fabs(c.month) > 4800000 || std::fabs(c.day) > 1e9)
        return std::nan("");
    double t = DaysFromCivil(c.year, c.month, c.day) * kMsPerDay + c.hours * 3600000 +
               c.minutes * 60000 + c.seconds * 1000 + c.ms;
    return std::fabs(t) <= kMaxTime ? std::trunc(t) : std::nan("");
}

Object* ThisDate(const Value& self) {
    return self.IsObject() && self.o->kind == Kind::Date ? self.o : nullptr;
}

double TimeOf(const Value& self) {
    Object* d = ThisDate(self);
    double t = d && d->primitive.IsNumber() ? d->primitive.n : std::nan("");
    return std::fabs(t) <= kMaxTime ? t : std::nan("");
}

Value FromArgs(Vm& vm, const Args& a) {
    Civil c{};
    double* fields[] = {&c.year, &c.month, &c.day, &c.hours, &c.minutes, &c.seconds, &c.ms};
    c.day = 1;
    for (size_t i = 0; i < 7 && i < a.size(); i++)
        *fields[i] = vm.ToNumber(a[i]);
    if (c.year >= 0 && c.year <= 99)
        c.year += 1900;
    return Value::Num(MakeTime(c));
}

Value DateCtor(Vm& vm, const Value& self, const Args& a) {
    if (!vm.IsConstructing(self) || !ThisDate(self)) {
        Value now = Value::Num(vm.WallNow());
        Object* d = vm.NewObject(Kind::Date);
        d->primitive = now;
        return Value::Str(vm.ToString(Value::Obj(d)));
    }
    if (a.size() == 0)
        self.o->primitive = Value::Num(vm.WallNow());
    else if (a.size() == 1)
        self.o->primitive = Value::Num(vm.ToNumber(a[0]));
    else
        self.o->primitive = FromArgs(vm, a);
    return self;
}

Value DateUTC(Vm& vm, const Value&, const Args& a) {
    return FromArgs(vm, a);
}

enum Field { kYear, kMonth, kDay, kHours, kMinutes, kSeconds, kMs, kWeekday, kShortYear };

template <int F> Value Getter(Vm&, const Value& self, const Args&) {
    double t = TimeOf(self);
    if (std::isnan(t))
        return Value::Num(t);
    Civil c = FromTime(t);
    double v[] = {c.year,    c.month, c.day,     c.hours,      c.minutes,
                  c.seconds, c.ms,    c.weekday, c.year - 1900};
    return Value::Num(v[F]);
}

// setX(value, further fields...): each setter may also take the fields after its own.
template <int F> Value Setter(Vm& vm, const Value& self, const Args& a) {
    Object* d = ThisDate(self);
    if (!d)
        return Value();
    double t = TimeOf(self);
    Civil c = FromTime(std::isnan(t) ? 0 : t);
    double* fields[] = {&c.year, &c.month, &c.day, &c.hours, &c.minutes, &c.seconds, &c.ms};
    for (size_t i = 0; i < a.size() && F + i < 7; i++)
        *fields[F + i] = vm.ToNumber(a[i]);
    d->primitive = Value::Num(MakeTime(c));
    return d->primitive;
}

Value GetTime(Vm&, const Value& self, const Args&) {
    return Value::Num(TimeOf(self));
}
Value SetTime(Vm& vm, const Value& self, const Args& a) {
    Object* d = ThisDate(self);
    if (d)
        d->primitive = Value::Num(vm.ToNumber(a[0]));
    return Value::Num(TimeOf(self));
}
Value Zero(Vm&, const Value&, const Args&) {
    return Value::Num(0);
}
Value DateToString(Vm&, const Value& self, const Args&) {
    double t = TimeOf(self);
    if (std::isnan(t))
        return Value::Str("Invalid Date");
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    Civil c = FromTime(t);
    std::string out = std::string(days[int(c.weekday)]) + " " + months[int(c.month)] + " ";
    swf::AppendDecimal(out, int(c.day));
    out += ' ';
    swf::AppendDecimal(out, int(c.hours), 2);
    out += ':';
    swf::AppendDecimal(out, int(c.minutes), 2);
    out += ':';
    swf::AppendDecimal(out, int(c.seconds), 2);
    out += " GMT+0000 ";
    swf::AppendDecimal(out, int(c.year));
    return Value::Str(out);
}

} // namespace

void InstallDate(Vm& vm) {
    Object* proto = vm.NewObject();
    vm.SetProto(Kind::Date, proto);
    Object* ctor = vm.NewNative(DateCtor, proto, Kind::Date);
    vm.global()->Put("Date", Value::Obj(ctor), false, kDontEnum);
    Method(vm, ctor, "UTC", DateUTC);
    struct Entry {
        const char* name;
        NativeFn fn;
    };
    static const Entry entries[] = {
        {"getTime", GetTime},
        {"valueOf", GetTime},
        {"setTime", SetTime},
        {"toString", DateToString},
        {"getTimezoneOffset", Zero},
        {"getFullYear", Getter<kYear>},
        {"getYear", Getter<kShortYear>},
        {"getMonth", Getter<kMonth>},
        {"getDate", Getter<kDay>},
        {"getDay", Getter<kWeekday>},
        {"getHours", Getter<kHours>},
        {"getMinutes", Getter<kMinutes>},
        {"getSeconds", Getter<kSeconds>},
        {"getMilliseconds", Getter<kMs>},
        {"getUTCFullYear", Getter<kYear>},
        {"getUTCMonth", Getter<kMonth>},
        {"getUTCDate", Getter<kDay>},
        {"getUTCDay", Getter<kWeekday>},
        {"getUTCHours", Getter<kHours>},
        {"getUTCMinutes", Getter<kMinutes>},
        {"getUTCSeconds", Getter<kSeconds>},
        {"getUTCMilliseconds", Getter<kMs>},
        {"setFullYear", Setter<kYear>},
        {"setMonth", Setter<kMonth>},
        {"setDate", Setter<kDay>},
        {"setHours", Setter<kHours>},
        {"setMinutes", Setter<kMinutes>},
        {"setSeconds", Setter<kSeconds>},
        {"setMilliseconds", Setter<kMs>},
        {"setUTCFullYear", Setter<kYear>},
        {"setUTCMonth", Setter<kMonth>},
        {"setUTCDate", Setter<kDay>},
        {"setUTCHours", Setter<kHours>},
        {"setUTCMinutes", Setter<kMinutes>},
        {"setUTCSeconds", Setter<kSeconds>},
        {"setUTCMilliseconds", Setter<kMs>},
    };
    for (const Entry& e : entries)
        Method(vm, proto, e.name, e.fn);
}

} // namespace avm1
