// Array: elements live in a vector; sort is a merge sort, safe with any comparator.
#include <cctype>
#include <cmath>

#include "player/core/avm1/vm.h"

namespace avm1 {
namespace {

constexpr size_t kMaxLength = 1u << 22;

Object* ThisArray(const Value& self) {
    return self.IsObject() && self.o->kind == Kind::Array ? self.o : nullptr;
}

size_t Rel(Vm& vm, const Value& v, size_t n, size_t fallback) {
    if (v.IsUndefined())
        return fallback;
    double d = vm.ToNumber(v);
    if (std::isnan(d))
        return 0;
    if (d < 0)
        d = std::max(0.0, double(n) + d);
    return d > double(n) ? n : size_t(d);
}

Value ArrayCtor(Vm& vm, const Value& self, const Args& a) {
    Object* arr = vm.IsConstructing(self) && self.o->kind == Kind::Array ? self.o : vm.NewArray();
    if (a.size() == 1 && a[0].IsNumber()) {
        double d = a[0].n;
        if (d >= 0 && d < double(kMaxLength))
            arr->elements.resize(size_t(d));
    } else {
        arr->elements.assign(a.v, a.v + a.size());
    }
    vm.heap().Charge(arr->elements.size() * sizeof(Value));
    return Value::Obj(arr);
}

Value Push(Vm& vm, const Value& self, const Args& a) {
    Object* arr = ThisArray(self);
    if (!arr)
        return Value();
    if (arr->elements.size() + a.size() <= kMaxLength) {
        arr->elements.insert(arr->elements.end(), a.v, a.v + a.size());
        vm.heap().Charge(a.size() * sizeof(Value));
    }
    return Value::Num(double(arr->elements.size()));
}
Value Pop(Vm&, const Value& self, const Args&) {
    Object* arr = ThisArray(self);
    if (!arr || arr->elements.empty())
        return Value();
    Value v = arr->elements.back();
    arr->elements.pop_back();
    return v;
}
Value Shift(Vm&, const Value& self, const Args&) {
    Object* arr = ThisArray(self);
    if (!arr || arr->elements.empty())
        return Value();
    Value v = arr->elements.front();
    arr->elements.erase(arr->elements.begin());
    return v;
}
Value Unshift(Vm& vm, const Value& self, const Args& a) {
    Object* arr = ThisArray(self);
    if (!arr)
        return Value();
    if (arr->elements.size() + a.size() <= kMaxLength) {
        arr->elements.insert(arr->elements.begin(), a.v, a.v + a.size());
        vm.heap().Charge(a.size() * sizeof(Value));
    }
    return Value::Num(double(arr->elements.size()));
}
Value Slice(Vm& vm, const Value& self, const Args& a) {
    Object* arr = ThisArray(self);
    if (!arr)
        return Value();
    size_t n = arr->elements.size();
    size_t from = Rel(vm, a[0], n, 0), to = Rel(vm, a[1], n, n);
    std::vector<Value> out;
    if (from < to)
        out.assign(arr->elements.begin() + long(from), arr->elements.begin() + long(to));
    return Value::Obj(vm.NewArray(std::move(out)));
}
Value Splice(Vm& vm, const Value& self, const Args& a) {
    Object* arr = ThisArray(self);
    if (!arr || a.size() == 0)
        return Value();
    size_t n = arr->elements.size();
    size_t from = Rel(vm, a[0], n, 0);
    size_t count = n - from;
    if (a.size() > 1) {
        double d = vm.ToNumber(a[1]);
        count = std::isnan(d) || d < 0 ? 0 : size_t(std::min(d, double(n - from)));
    }
    std::vector<Value> removed(arr->elements.begin() + long(from),
                               arr->elements.begin() + long(from + count));
    arr->elements.erase(arr->elements.begin() + long(from),
                        arr->elements.begin() + long(from + count));
    if (a.size() > 2 && arr->elements.size() + a.size() <= kMaxLength)
        arr->elements.insert(arr->elements.begin() + long(from), a.v + 2, a.v + a.size());
    return Value::Obj(vm.NewArray(std::move(removed)));
}
Value Concat(Vm& vm, const Value& self, const Args& a) {
    Object* arr = ThisArray(self);
    std::vector<Value> out;
    if (arr)
        out = arr->elements;
    for (size_t i = 0; i < a.size() && out.size() < kMaxLength; i++) {
        if (Object* other = ThisArray(a[i]))
            out.insert(out.end(), other->elements.begin(), other->elements.end());
        else
            out.push_back(a[i]);
    }
    if (out.size() > kMaxLength)
        out.resize(kMaxLength);
    vm.heap().Charge(out.size() * sizeof(Value));
    return Value::Obj(vm.NewArray(std::move(out)));
}
Value Join(Vm& vm, const Value& self, const Args& a) {
    Object* arr = ThisArray(self);
    if (!arr)
        return Value::Str("");
    std::string sep = a[0].IsUndefined() ? "," : vm.ToString(a[0]);
    std::string out;
    // A copy: toString of an element may change the array.
    std::vector<Value> items = arr->elements;
    vm.Work(items.size() * 16);
    for (size_t i = 0; i < items.size(); i++) {
        if (i)
            out += sep;
        // Elements that are undefined print empty, whatever the version.
        if (!items[i].IsNullish() || items[i].type == Type::Null)
            out += vm.ToString(items[i]);
        if (!vm.StringFits(out.size()) || vm.aborted())
            return Value::Str("");
    }
    vm.Work(out.size());
    vm.heap().Charge(out.size());
    return Value::Str(out);
}
Value ToStringFn(Vm& vm, const Value& self, const Args&) {
    Value comma = Value::Str(",");
    return Join(vm, self, Args{&comma, 1});
}
Value Reverse(Vm&, const Value& self, const Args&) {
    Object* arr = ThisArray(self);
    if (arr)
        std::reverse(arr->elements.begin(), arr->elements.end());
    return self;
}

enum SortFlag { kCaseInsensitive = 1, kDescending = 2, kUnique = 4, kIndexed = 8, kNumeric = 16 };

struct Sorter {
    Vm& vm;
    Value compare;
    int flags;
    std::string field; // sortOn
    int Cmp(const Value& x0, const Value& y0) {
        Value x = x0, y = y0;
        if (!field.empty()) {
            x = vm.Get(x0, field);
            y = vm.Get(y0, field);
        }
        int r;
        if (compare.IsObject()) {
            Value args[2] = {x, y};
            double d = vm.ToNumber(vm.Call(compare, Value(), args, 2));
            r = d < 0 ? -1 : d > 0 ? 1 : 0;
        } else if (flags & kNumeric) {
            double a = vm.ToNumber(x), b = vm.ToNumber(y);
            r = a < b ? -1 : a > b ? 1 : 0;
        } else {
            std::string a = vm.ToString(x), b = vm.ToString(y);
            if (flags & kCaseInsensitive) {
                for (char& c : a)
                    c = char(std::tolower(static_cast<unsigned char>(c)));
                for (char& c : b)
                    c = char(std::tolower(static_cast<unsigned char>(c)));
            }
            r = a < b ? -1 : a > b ? 1 : 0;
        }
        return (flags & kDescending) ? -r : r;
    }
};

Value SortWith(Vm& vm, Object* arr, Sorter& s) {
    const std::vector<Value>& el = arr->elements;
    std::vector<size_t> idx(el.size()), tmp(el.size());
    for (size_t i = 0; i < idx.size(); i++)
        idx[i] = i;
    bool duplicate = false;
    // Bottom-up merge sort over indexes: terminates whatever the comparator answers.
    for (size_t width = 1; width < idx.size() && !vm.aborted(); width *= 2) {
        for (size_t lo = 0; lo < idx.size(); lo += 2 * width) {
            size_t mid = std::min(lo + width, idx.size()),
                   hi = std::min(lo + 2 * width, idx.size());
            size_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi) {
                int c = vm.aborted() ? 0 : s.Cmp(el[idx[i]], el[idx[j]]);
                if (c == 0)
                    duplicate = true;
                tmp[k++] = c <= 0 ? idx[i++] : idx[j++];
            }
            while (i < mid)
                tmp[k++] = idx[i++];
            while (j < hi)
                tmp[k++] = idx[j++];
        }
        idx.swap(tmp);
    }
    if ((s.flags & kUnique) && duplicate)
        return Value::Num(0);
    if (s.flags & kIndexed) {
        std::vector<Value> out;
        for (size_t i : idx)
            out.push_back(Value::Num(double(i)));
        return Value::Obj(vm.NewArray(std::move(out)));
    }
    // The comparator may have resized the array; sort what is still there.
    std::vector<Value> sorted;
    for (size_t i : idx)
        if (i < arr->elements.size())
            sorted.push_back(arr->elements[i]);
    arr->elements = std::move(sorted);
    return Value::Obj(arr);
}

Value Sort(Vm& vm, const Value& self, const Args& a) {
    Object* arr = ThisArray(self);
    if (!arr)
        return Value();
    Sorter s{vm, Value(), 0, ""};
    size_t next = 0;
    if (a[0].IsObject() && a[0].o->kind == Kind::Function)
        s.compare = a[next++];
    if (a.size() > next)
        s.flags = int(ToUint32(vm.ToNumber(a[next])));
    return SortWith(vm, arr, s);
}
Value SortOn(Vm& vm, const Value& self, const Args& a) {
    Object* arr = ThisArray(self);
    if (!arr)
        return Value();
    Sorter s{vm, Value(), int(ToUint32(vm.ToNumber(a[1]))), vm.ToString(a[0])};
    return SortWith(vm, arr, s);
}

} // namespace

void InstallArray(Vm& vm) {
    Object* proto = vm.NewObject();
    vm.SetProto(Kind::Array, proto);
    Object* ctor = vm.NewNative(ArrayCtor, proto, Kind::Array);
    vm.global()->Put("Array", Value::Obj(ctor), false, kDontEnum);
    static const NativeMethod protoMethods[] = {
        {"push", Push},           {"pop", Pop},         {"shift", Shift},   {"unshift", Unshift},
        {"slice", Slice},         {"splice", Splice},   {"concat", Concat}, {"join", Join},
        {"toString", ToStringFn}, {"reverse", Reverse}, {"sort", Sort},     {"sortOn", SortOn},
    };
    Methods(vm, proto, protoMethods);
    Constant(vm, ctor, "CASEINSENSITIVE", Value::Num(1));
    Constant(vm, ctor, "DESCENDING", Value::Num(2));
    Constant(vm, ctor, "UNIQUESORT", Value::Num(4));
    Constant(vm, ctor, "RETURNINDEXEDARRAY", Value::Num(8));
    Constant(vm, ctor, "NUMERIC", Value::Num(16));
}

} // namespace avm1
