// Timers, SharedObject in memory, and fscommand, which only says on the debug channel what
// was asked.
#include <cmath>

#include "player/core/avm1/vm.h"

namespace avm1 {
namespace {

Value AddTimer(Vm& vm, const Args& a, bool once) {
    Vm::Timer t;
    size_t next;
    if (a[0].IsObject() && a[0].o->kind == Kind::Function) {
        t.fn = a[0];
        next = 1;
    } else if (a[0].IsObject()) {
        t.fn = a[0];
        t.method = vm.ToString(a[1]);
        next = 2;
    } else {
        return Value();
    }
    double ms = vm.ToNumber(a[next]);
    t.interval = std::isfinite(ms) ? std::min(ms, 1e9) : 0;
    t.once = once;
    for (size_t i = next + 1; i < a.size() && i < 64; i++)
        t.args.push_back(a[i]);
    int id = vm.AddTimer(std::move(t));
    return id ? Value::Num(id) : Value();
}
Value SetInterval(Vm& vm, const Value&, const Args& a) {
    return AddTimer(vm, a, false);
}
Value SetTimeout(Vm& vm, const Value&, const Args& a) {
    return AddTimer(vm, a, true);
}
Value ClearTimer(Vm& vm, const Value&, const Args& a) {
    double id = vm.ToNumber(a[0]);
    if (id >= 1 && id < 2147483647.0)
        vm.RemoveTimer(int(id));
    return Value();
}

Value GetLocal(Vm& vm, const Value&, const Args& a) {
    std::string name = vm.ToString(a[0]);
    // Characters Flash refuses in a shared object's name.
    if (name.find_first_of("~%&\\;:\"',<>?#") != std::string::npos)
        return Value::Null();
    auto it = vm.sharedObjects.find(name);
    if (it != vm.sharedObjects.end())
        return Value::Obj(it->second);
    if (vm.sharedObjects.size() >= 64)
        return Value::Null();
    Value proto = vm.GetProp(vm.global(), "SharedObject");
    Object* so = vm.NewObject();
    if (proto.IsObject()) {
        Value p = vm.GetProp(proto.o, "prototype");
        if (p.IsObject())
            so->proto = p.o;
    }
    so->Put("data", Value::Obj(vm.NewObject()), vm.caseSensitive(), kDontDelete);
    vm.sharedObjects[name] = so;
    return Value::Obj(so);
}
Value True(Vm&, const Value&, const Args&) {
    return Value::Bool(true);
}
Value Zero(Vm&, const Value&, const Args&) {
    return Value::Num(0);
}
Value Self(Vm&, const Value& self, const Args&) {
    return self;
}
Value ClearShared(Vm& vm, const Value& self, const Args&) {
    if (self.IsObject())
        self.o->Put("data", Value::Obj(vm.NewObject()), vm.caseSensitive(), kDontDelete);
    return Value();
}

template <const char* What> Value Blocked(Vm& vm, const Value&, const Args& a) {
    vm.Notice(std::string(What) + " blocked: " + vm.ToString(a[0]));
    return Value::Bool(false);
}
constexpr char kFscommand[] = "fscommand";

Object* NewClass(Vm& vm, const char* name, NativeFn ctor) {
    Object* proto = vm.NewObject();
    Object* c = vm.NewNative(ctor, proto);
    vm.global()->Put(name, Value::Obj(c), false, kDontEnum);
    return proto;
}

} // namespace

void InstallSandbox(Vm& vm) {
    Object* g = vm.global();
    static const NativeMethod gMethods[] = {
        {"setInterval", SetInterval},       {"clearInterval", ClearTimer},
        {"setTimeout", SetTimeout},         {"clearTimeout", ClearTimer},
        {"fscommand", Blocked<kFscommand>},
    };
    Methods(vm, g, gMethods);

    Object* so = NewClass(vm, "SharedObject", Self);
    static const NativeMethod soMethods[] = {
        {"flush", True},
        {"clear", ClearShared},
        {"getSize", Zero},
        {"close", Self},
    };
    Methods(vm, so, soMethods);
    Value soCtor = vm.GetProp(g, "SharedObject");
    Method(vm, soCtor.o, "getLocal", GetLocal);
}

} // namespace avm1
