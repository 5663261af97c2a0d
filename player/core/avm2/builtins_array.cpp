// Array and Vector.<T>: one set of natives over an object's element list; a Vector coerces
// what it stores to its element type and may be fixed in length.
#include <algorithm>
#include <cmath>

#include "player/core/avm2/display.h"
#include "player/core/avm2/vm.h"
#include "player/core/swf/reserve.h"

namespace avm2 {

namespace {

#define NATIVE(name) Value name(Vm& vm, const Value& self, Value* args, int argc)
#define UNUSED (void)vm, (void)self, (void)args, (void)argc

Object* List(const Value& self) {
    return self.IsObject() && (self.o->kind == Kind::Array || self.o->kind == Kind::Vector)
               ? self.o
               : nullptr;
}

Value Store(Vm& vm, Object* o, const Value& v) {
    return o->kind == Kind::Vector ? vm.Coerce(v, o->cls->vectorType) : v.IsHole() ? Value() : v;
}

bool Fixed(Vm& vm, Object* o) {
    if (o->kind == Kind::Vector && o->num != 0) {
        vm.ThrowError("RangeError", 1126,
                      "Error #1126: Cannot change the length of a fixed Vector.");
        return true;
    }
    return false;
}

bool Grow(Vm& vm, Object* o, size_t more) {
    if (o->elems.size() + more > vm.limits().maxElements ||
        !memory::Growable(o->elems, o->elems.size() + more)) {
        vm.ThrowError("RangeError", 1000, "Error #1000: The system is out of memory.");
        vm.Abort(RunResult::OutOfMemory);
        return false;
    }
    vm.heap().Account(o, more * sizeof(Value));
    return true;
}

Object* Like(Vm& vm, Object* o, std::vector<Value> e) {
    if (o->kind == Kind::Vector) {
        Object* v = vm.NewInstance(o->cls);
        v->elems = std::move(e);
        return v;
    }
    return vm.NewArray(std::move(e));
}

int RelIndex(Vm& vm, Value* args, int argc, int i, double fallback, size_t size) {
    double d = i < argc && !args[i].IsUndefined() ? vm.ToNumber(args[i]) : fallback;
    if (std::isnan(d))
        d = 0;
    if (d < 0)
        d = std::max(0.0, double(size) + d);
    return int(std::min(d, double(size)));
}

NATIVE(ArrayCtor) {
    UNUSED;
    Object* o = self.o;
    if (argc == 1 && args[0].type == Type::Number) {
        const double n = args[0].n;
        if (n < 0 || n != std::floor(n) || n > 4294967295.0)
            return vm.ThrowError("RangeError", 1005,
                                 "Error #1005: Array index is not a positive integer (" +
                                     NumberToString(n) + ").");
        if (!Grow(vm, o, size_t(std::min(n, double(vm.limits().maxElements) + 1))))
            return Value();
        o->elems.resize(size_t(n), Value::Hole());
    } else {
        o->elems.assign(args, args + argc);
    }
    return Value();
}
NATIVE(ArrayCall) {
    UNUSED;
    Object* a = vm.NewArray();
    ArrayCtor(vm, Value::Obj(a), args, argc);
    return Value::Obj(a);
}
NATIVE(Length) {
    UNUSED;
    Object* o = List(self);
    return Value::Num(o ? double(o->elems.size()) : 0);
}
NATIVE(SetLength) {
    UNUSED;
    Object* o = List(self);
    if (!o || argc < 1)
        return Value();
    const double n = vm.ToNumber(args[0]);
    if (n < 0 || n != std::floor(n) || n > 4294967295.0)
        return vm.ThrowError("RangeError", 1005,
                             "Error #1005: Array index is not a positive integer (" +
                                 NumberToString(n) + ").");
    if (size_t(n) != o->elems.size() && Fixed(vm, o))
        return Value();
    if (n > o->elems.size() && !Grow(vm, o, size_t(n) - o->elems.size()))
        return Value();
    // A Vector of numbers grows with zeros; any other Vector (Boolean and String too) with null.
    Value fill = Value::Hole();
    if (o->kind == Kind::Vector) {
        const SlotType t = o->cls->vectorType;
        fill = t == SlotType::Int || t == SlotType::Uint || t == SlotType::Number ? Value::Num(0)
                                                                                  : Value::Null();
    }
    o->elems.resize(size_t(n), fill);
    return Value();
}
NATIVE(Push) {
    UNUSED;
    Object* o = List(self);
    if (!o || Fixed(vm, o) || !Grow(vm, o, size_t(argc)))
        return Value();
    for (int i = 0; i < argc; ++i)
        o->elems.push_back(Store(vm, o, args[i]));
    return Value::Num(double(o->elems.size()));
}
// What a Vector answers for undefined: 0 or NaN for number types, undefined for the rest.
Value Empty(Vm& vm, Object* o) {
    const bool numeric = o->kind == Kind::Vector && (o->cls->vectorType == SlotType::Int ||
                                                     o->cls->vectorType == SlotType::Uint ||
                                                     o->cls->vectorType == SlotType::Number);
    return numeric ? vm.Coerce(Value(), o->cls->vectorType) : Value();
}
NATIVE(Pop) {
    UNUSED;
    Object* o = List(self);
    if (o && o->elems.empty() && !Fixed(vm, o))
        return Empty(vm, o);
    if (!o || o->elems.empty() || Fixed(vm, o))
        return Value();
    Value v = o->elems.back();
    o->elems.pop_back();
    return v;
}
NATIVE(Shift) {
    UNUSED;
    Object* o = List(self);
    if (o && o->elems.empty() && !Fixed(vm, o))
        return Empty(vm, o);
    if (!o || o->elems.empty() || Fixed(vm, o))
        return Value();
    Value v = o->elems.front();
    o->elems.erase(o->elems.begin());
    return v;
}
NATIVE(Unshift) {
    UNUSED;
    Object* o = List(self);
    if (!o || Fixed(vm, o) || !Grow(vm, o, size_t(argc)))
        return Value();
    std::vector<Value> in;
    for (int i = 0; i < argc; ++i)
        in.push_back(Store(vm, o, args[i]));
    o->elems.insert(o->elems.begin(), in.begin(), in.end());
    return Value::Num(double(o->elems.size()));
}
NATIVE(Slice) {
    UNUSED;
    Object* o = List(self);
    if (!o)
        return Value();
    const int a = RelIndex(vm, args, argc, 0, 0, o->elems.size());
    const int b = RelIndex(vm, args, argc, 1, double(o->elems.size()), o->elems.size());
    std::vector<Value> e;
    if (b > a)
        e.assign(o->elems.begin() + a, o->elems.begin() + b);
    return Value::Obj(Like(vm, o, std::move(e)));
}
NATIVE(Splice) {
    UNUSED;
    Object* o = List(self);
    if (o && o->kind == Kind::Array && argc == 0)
        return Value();
    if (!o || argc == 0)
        return Value::Obj(o ? Like(vm, o, {}) : vm.NewArray());
    const int start = RelIndex(vm, args, argc, 0, 0, o->elems.size());
    // Flash moves and returns an Array's elements as read, so a hole from the start on
    // becomes what the prototype holds at its index.
    for (size_t k = size_t(start); o->kind == Kind::Array && k < o->elems.size(); ++k)
        if (o->elems[k].IsUndefined()) {
            if (!vm.Step())
                return Value();
            o->elems[k] = vm.GetProperty(self, Name::Public(std::to_string(k)));
        }
    double count = argc > 1 ? vm.ToNumber(args[1]) : double(o->elems.size() - size_t(start));
    // A Vector reads a negative count from its end, as slice does: splice(2, -3) on six
    // elements removes one.
    if (o->kind == Kind::Vector && count < 0)
        count = std::max(0.0, std::floor(count) + double(o->elems.size()) - start);
    if (std::isnan(count) || count < 0)
        count = 0;
    count = std::min(count, double(o->elems.size() - size_t(start)));
    if ((count != 0 || argc > 2) && Fixed(vm, o))
        return Value();
    std::vector<Value> removed(o->elems.begin() + start, o->elems.begin() + start + long(count));
    o->elems.erase(o->elems.begin() + start, o->elems.begin() + start + long(count));
    if (argc > 2) {
        if (!Grow(vm, o, size_t(argc - 2)))
            return Value();
        std::vector<Value> in;
        for (int i = 2; i < argc; ++i)
            in.push_back(Store(vm, o, args[i]));
        o->elems.insert(o->elems.begin() + start, in.begin(), in.end());
    }
    return Value::Obj(Like(vm, o, std::move(removed)));
}
NATIVE(Concat) {
    UNUSED;
    Object* o = List(self);
    if (!o)
        return Value();
    std::vector<Value> e = o->elems;
    for (int i = 0; i < argc; ++i) {
        if (Object* other = List(args[i]))
            e.insert(e.end(), other->elems.begin(), other->elems.end());
        else
            e.push_back(Store(vm, o, args[i]));
        if (e.size() > vm.limits().maxElements)
            return vm.ThrowError("RangeError", 1000, "Error #1000: The system is out of memory.");
    }
    return Value::Obj(Like(vm, o, std::move(e)));
}
NATIVE(Join) {
    UNUSED;
    Object* o = List(self);
    if (!o)
        return Value::Str("");
    const std::string sep = argc > 0 && !args[0].IsUndefined() ? vm.ToString(args[0]) : ",";
    std::string out;
    for (size_t i = 0; i < o->elems.size(); ++i) {
        if (i)
            out += sep;
        const Value& v = o->elems[i];
        if (!v.IsNullish() || (o->kind == Kind::Vector && v.IsNull())) // a Vector shows null
            out += vm.ToString(v);
        if (vm.throwing() || !vm.StringFits(out.size()))
            return Value();
    }
    return Value::Str(out);
}
NATIVE(ToStringA) {
    UNUSED;
    return Join(vm, self, nullptr, 0);
}
// Each element by its toLocaleString: Boolean and String have none of their own, so they
// print as Object's does.
NATIVE(ToLocaleStringA) {
    UNUSED;
    Object* o = List(self);
    if (!o)
        return Value::Str("");
    std::string out;
    for (size_t i = 0; i < o->elems.size(); ++i) {
        if (i)
            out += ',';
        const Value& v = o->elems[i];
        if (v.type == Type::Boolean || v.type == Type::String)
            out += v.type == Type::Boolean ? "[object Boolean]" : "[object String]";
        else if (!v.IsNullish())
            out += vm.ToString(v);
        if (vm.throwing() || !vm.StringFits(out.size()))
            return Value();
    }
    return Value::Str(out);
}
NATIVE(Reverse) {
    UNUSED;
    Object* o = List(self);
    if (o)
        std::reverse(o->elems.begin(), o->elems.end());
    return self;
}
NATIVE(IndexOf) {
    UNUSED;
    Object* o = List(self);
    if (!o)
        return Value::Num(-1);
    const Value x = Arg(args, argc, 0);
    const int from = RelIndex(vm, args, argc, 1, 0, o->elems.size());
    for (size_t i = size_t(from); i < o->elems.size(); ++i)
        if (vm.StrictEquals(o->elems[i], x))
            return Value::Num(double(i));
    return Value::Num(-1);
}
NATIVE(LastIndexOf) {
    UNUSED;
    Object* o = List(self);
    if (!o)
        return Value::Num(-1);
    const Value x = Arg(args, argc, 0);
    int from =
        argc > 1 ? RelIndex(vm, args, argc, 1, 0, o->elems.size()) : int(o->elems.size()) - 1;
    if (from >= int(o->elems.size()))
        from = int(o->elems.size()) - 1;
    for (int i = from; i >= 0; --i)
        if (vm.StrictEquals(o->elems[size_t(i)], x))
            return Value::Num(i);
    return Value::Num(-1);
}

enum Iter { kForEach, kMap, kFilter, kSome, kEvery };
Value Iterate(Vm& vm, const Value& self, Value* args, int argc, Iter kind) {
    Object* o = List(self);
    if (!o)
        return Value();
    const Value fn = Arg(args, argc, 0), thisArg = argc > 1 ? args[1] : Value::Null();
    std::vector<Value> out;
    for (size_t i = 0; i < o->elems.size(); ++i) {
        Value a[3] = {o->elems[i], Value::Num(double(i)), self};
        const Value r = vm.Call(fn, thisArg, a, 3);
        if (vm.throwing() || vm.aborted())
            return Value();
        switch (kind) {
        case kMap:
            out.push_back(Store(vm, o, r));
            break;
        case kFilter:
            if (ToBoolean(r))
                out.push_back(a[0]);
            break;
        case kSome:
            if (ToBoolean(r))
                return Value::Bool(true);
            break;
        case kEvery:
            if (!ToBoolean(r))
                return Value::Bool(false);
            break;
        default:
            break;
        }
    }
    switch (kind) {
    case kMap:
    case kFilter:
        return Value::Obj(Like(vm, o, std::move(out)));
    case kSome:
        return Value::Bool(false);
    case kEvery:
        return Value::Bool(true);
    default:
        return Value();
    }
}
NATIVE(ForEach) {
    return Iterate(vm, self, args, argc, kForEach);
}
NATIVE(Map) {
    return Iterate(vm, self, args, argc, kMap);
}
NATIVE(Filter) {
    return Iterate(vm, self, args, argc, kFilter);
}
NATIVE(Some) {
    return Iterate(vm, self, args, argc, kSome);
}
NATIVE(Every) {
    return Iterate(vm, self, args, argc, kEvery);
}

const int kCaseInsensitive = 1, kDescending = 2, kUnique = 4, kIndexed = 8, kNumeric = 16;

// Before SWF 11 Flash Player (32-bit) compares two small integers by the sign of their
// tagged difference, which wraps when they lie far apart: movies of that age see it.
bool WrapsLikeOldPlayer(double x, double y, bool old) {
    const double lo = -268435456.0, hi = 268435455.0; // what fits a tagged 29-bit integer
    auto small = [&](double v) {
        return v >= lo && v <= hi && v == std::floor(v) && !(v == 0 && std::signbit(v));
    };
    return old && small(x) && small(y);
}

// -1, 0, 1 by the sort options; undefined sorts last.
int Compare(Vm& vm, const Value& a, const Value& b, int options, const Value& fn, bool old) {
    if (fn.IsObject()) {
        Value x[2] = {a, b};
        const double r = vm.ToNumber(vm.Call(fn, Value::Null(), x, 2));
        return r < 0 ? -1 : r > 0 ? 1 : 0;
    }
    if (a.IsUndefined() || b.IsUndefined())
        return a.IsUndefined() == b.IsUndefined() ? 0 : a.IsUndefined() ? 1 : -1;
    int r;
    if (options & kNumeric) {
        const double x = vm.ToNumber(a), y = vm.ToNumber(b);
        if (WrapsLikeOldPlayer(x, y, old)) {
            const int32_t d = int32_t(uint32_t(int64_t(x) - int64_t(y)) << 3);
            r = d < 0 ? -1 : d > 0 ? 1 : 0;
        } else {
            r = x < y ? -1 : x > y ? 1 : 0;
        }
    } else {
        std::string x = vm.ToString(a), y = vm.ToString(b);
        if (options & kCaseInsensitive) {
            for (char& c : x)
                c = char(std::tolower(uint8_t(c)));
            for (char& c : y)
                c = char(std::tolower(uint8_t(c)));
        }
        r = x < y ? -1 : x > y ? 1 : 0;
    }
    return (options & kDescending) ? -r : r;
}

// Flash Player's own order of comparisons: a quicksort on the middle element, partitions of
// fewer than four sorted directly, the smaller side first. A comparator that is not
// consistent (random, say) then gives the same order Flash gives.
template <typename Cmp> void QuickSort(std::vector<size_t>& v, Cmp cmp, Vm& vm) {
    if (v.size() < 2)
        return;
    std::vector<std::pair<size_t, size_t>> todo{{0, v.size() - 1}};
    auto before = [&](size_t i, size_t j) { // true when v[i] belongs after v[j]
        return vm.Step() && !vm.throwing() && cmp(v[i], v[j]) > 0;
    };
    auto stop = [&] { return vm.throwing() || vm.aborted(); };
    while (!todo.empty() && !stop()) {
        size_t lo = todo.back().first, hi = todo.back().second;
        todo.pop_back();
        const size_t n = hi - lo + 1;
        if (n == 2) {
            if (before(lo, lo + 1))
                std::swap(v[lo], v[lo + 1]);
            continue;
        }
        if (n == 3) {
            if (before(lo, lo + 1))
                std::swap(v[lo], v[lo + 1]);
            if (before(lo + 1, lo + 2)) {
                std::swap(v[lo + 1], v[lo + 2]);
                if (before(lo, lo + 1))
                    std::swap(v[lo], v[lo + 1]);
            }
            continue;
        }
        if (n < 2)
            continue;
        std::swap(v[lo], v[lo + n / 2]);
        size_t left = lo, right = hi + 1;
        for (;;) {
            while (++left <= hi && vm.Step() && !stop() && cmp(v[left], v[lo]) <= 0) {
            }
            while (--right > lo && vm.Step() && !stop() && cmp(v[right], v[lo]) >= 0) {
            }
            if (right < left || stop())
                break;
            std::swap(v[left], v[right]);
        }
        if (stop())
            return;
        std::swap(v[lo], v[right]);
        // Between right and left lie only elements both scans passed, equal to the pivot:
        // Flash leaves them out of the upper partition.
        const bool lowerBigger = right - 1 - lo >= hi - right;
        const std::pair<size_t, size_t> lower{lo, right - 1}, upper{left, hi};
        // Pushed last is sorted first: the smaller partition.
        if (lowerBigger) {
            if (lo + 1 < right)
                todo.push_back(lower);
            if (left < hi)
                todo.push_back(upper);
        } else {
            if (left < hi)
                todo.push_back(upper);
            if (lo + 1 < right)
                todo.push_back(lower);
        }
    }
}

Value SortBy(Vm& vm, Object* o, const Value& fn, int options,
             const std::vector<std::vector<Value>>* keys, const std::vector<int>* keyOptions) {
    const bool old = vm.ToNumber(vm.Get(Value::Obj(StageObject(vm)), "__swfVersion")) < 11;
    // Undefined elements are never compared: they follow the others in their order.
    std::vector<size_t> order, after;
    for (size_t i = 0; i < o->elems.size(); ++i)
        (!keys && o->elems[i].IsUndefined() ? after : order).push_back(i);
    bool duplicate = false;
    QuickSort(
        order,
        [&](size_t x, size_t y) {
            int c = 0;
            if (keys) {
                for (size_t k = 0; k < keys->size() && c == 0; ++k)
                    c = Compare(vm, (*keys)[k][x], (*keys)[k][y], (*keyOptions)[k], Value(), old);
            } else {
                c = Compare(vm, o->elems[x], o->elems[y], options, fn, old);
            }
            if (c == 0)
                duplicate = true;
            return c;
        },
        vm);
    if (vm.throwing() || vm.aborted())
        return Value();
    order.insert(order.end(), after.begin(), after.end());
    if ((options & kUnique) && duplicate)
        return Value::Num(0);
    if (options & kIndexed) {
        std::vector<Value> idx;
        for (size_t i : order)
            idx.push_back(Value::Num(double(i)));
        return Value::Obj(vm.NewArray(std::move(idx)));
    }
    std::vector<Value> sorted;
    for (size_t i : order)
        sorted.push_back(o->elems[i]);
    o->elems = std::move(sorted);
    return Value::Obj(o);
}
NATIVE(Sort) {
    UNUSED;
    Object* o = List(self);
    if (!o)
        return Value();
    Value fn;
    int options = 0;
    for (int i = 0; i < argc; ++i) {
        if (args[i].IsObject() && args[i].o->kind == Kind::Function)
            fn = args[i];
        else if (args[i].IsNumber())
            options = int(args[i].n);
    }
    return SortBy(vm, o, fn, options, nullptr, nullptr);
}
NATIVE(SortOn) {
    UNUSED;
    Object* o = List(self);
    if (!o || argc < 1)
        return Value();
    std::vector<std::string> names;
    if (Object* list = List(args[0]))
        for (const Value& v : list->elems)
            names.push_back(vm.ToString(v));
    else
        names.push_back(vm.ToString(args[0]));
    std::vector<int> opts(names.size(), 0);
    if (argc > 1) {
        if (Object* list = List(args[1])) {
            for (size_t i = 0; i < opts.size() && i < list->elems.size(); ++i)
                opts[i] = ClampInt(vm.ToNumber(list->elems[i]));
        } else {
            const int x = ClampInt(vm.ToNumber(args[1]));
            for (int& v : opts)
                v = x;
        }
    }
    std::vector<std::vector<Value>> keys(names.size());
    for (size_t k = 0; k < names.size(); ++k)
        for (const Value& e : o->elems)
            keys[k].push_back(e.IsObject() ? vm.Get(e, names[k]) : Value());
    return SortBy(vm, o, Value(), opts.empty() ? 0 : opts[0], &keys, &opts);
}

// ---- Vector ----
NATIVE(VectorCtor) {
    UNUSED;
    Object* o = self.o;
    // The length is a uint: NaN (an Array given, say) is 0 and a fraction drops.
    double n = argc > 0 ? vm.ToNumber(args[0]) : 0;
    n = std::isnan(n) ? 0 : std::trunc(n);
    if (n < 0 || n > double(vm.limits().maxElements))
        return vm.ThrowError("RangeError", 1005,
                             "Error #1005: Array index is not a positive integer (" +
                                 NumberToString(n) + ").");
    if (!Grow(vm, o, size_t(n)))
        return Value();
    Value fill = vm.Coerce(Value(), o->cls->vectorType);
    if (o->cls->vectorType == SlotType::Any)
        fill = Value::Null();
    o->elems.assign(size_t(n), fill);
    o->num = argc > 1 && ToBoolean(args[1]) ? 1 : 0;
    return Value();
}
NATIVE(VectorCall) {
    UNUSED;
    return argc > 0 ? args[0] : Value::Null();
}
NATIVE(VectorFixed) {
    UNUSED;
    return Value::Bool(self.IsObject() && self.o->num != 0);
}
NATIVE(VectorSetFixed) {
    UNUSED;
    if (self.IsObject())
        self.o->num = argc > 0 && ToBoolean(args[0]) ? 1 : 0;
    return Value();
}

} // namespace

void InstallArray(Vm& vm) {
    ClassInfo* array =
        vm.DefineClass("", "Array", vm.objectClass, Kind::Array, ArrayCtor, ArrayCall);
    array->sealed = false;
    vm.arrayClass = array;
    ClassInfo* vector = vm.DefineClass("__AS3__.vec", "Vector", vm.objectClass, Kind::Vector,
                                       VectorCtor, VectorCall);
    vm.vectorClass = vector;
    static const struct {
        const char* name;
        NativeFn fn;
    } methods[] = {{"push", Push},
                   {"pop", Pop},
                   {"shift", Shift},
                   {"unshift", Unshift},
                   {"slice", Slice},
                   {"splice", Splice},
                   {"concat", Concat},
                   {"join", Join},
                   {"toString", ToStringA},
                   {"toLocaleString", ToLocaleStringA},
                   {"reverse", Reverse},
                   {"indexOf", IndexOf},
                   {"lastIndexOf", LastIndexOf},
                   {"forEach", ForEach},
                   {"map", Map},
                   {"filter", Filter},
                   {"some", Some},
                   {"every", Every},
                   {"sort", Sort},
                   {"sortOn", SortOn}};
    for (ClassInfo* c : {array, vector}) {
        vm.AddGetter(c, "length", Length, SetLength);
        for (const auto& m : methods) {
            vm.AddMethod(c, m.name, m.fn);
            vm.AddProtoMethod(c, m.name, m.fn);
        }
    }
    vm.AddGetter(vector, "fixed", VectorFixed, VectorSetFixed);
    static const struct {
        const char* name;
        double v;
    } constants[] = {{"CASEINSENSITIVE", 1},
                     {"DESCENDING", 2},
                     {"UNIQUESORT", 4},
                     {"RETURNINDEXEDARRAY", 8},
                     {"NUMERIC", 16}};
    for (const auto& k : constants)
        vm.AddConstant(array, k.name, Value::Num(k.v));
}

} // namespace avm2
