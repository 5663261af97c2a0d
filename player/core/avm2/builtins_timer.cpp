// flash.utils.Timer: ticks through the Vm's timers, counted, with its complete event once the
// repeat count is reached.
#include <cmath>

#include "player/core/avm2/display.h"

namespace avm2 {

namespace {

#define NATIVE(name) Value name(Vm& vm, const Value& self, Value* args, int argc)
#define UNUSED (void)vm, (void)self, (void)args, (void)argc

DisplayData* T(const Value& self) {
    return self.IsObject() ? DispatcherData(self) : nullptr;
}

bool ValidDelay(Vm& vm, double delay) {
    if (delay >= 0 && std::isfinite(delay))
        return true;
    vm.ThrowError("RangeError", 2066, "Error #2066: The Timer delay specified is out of range.");
    return false;
}

void Halt(Vm& vm, DisplayData* t) {
    if (t->timerId)
        vm.RemoveTimer(t->timerId);
    t->timerId = 0;
}

void Send(Vm& vm, Object* timer, const char* type) {
    Value a = Value::Str(type);
    const Value ev = vm.ConstructClass(vm.Builtin("TimerEvent"), &a, 1);
    if (!vm.throwing())
        DispatchEvent(vm, timer, ev);
}

NATIVE(TimerTick) {
    UNUSED;
    // `self` is the Timer (the Vm's timer passes its owner).
    DisplayData* t = T(self);
    if (!t || !t->timerId)
        return Value();
    if (t->timerCount < INT32_MAX)
        ++t->timerCount;
    t->timerTicking = true;
    Send(vm, self.o, "timer");
    t->timerTicking = false;
    // The listeners may have stopped it, or changed how often it repeats.
    if (t->timerId && t->timerRepeat > 0 && t->timerCount >= t->timerRepeat) {
        Halt(vm, t);
        Send(vm, self.o, "timerComplete");
    }
    return Value();
}

void Run(Vm& vm, Object* timer, DisplayData* t) {
    Vm::Timer x;
    x.fn = Value::Obj(vm.NewNativeFunction("tick", TimerTick));
    x.owner = timer;
    x.interval = std::max(1.0, t->timerDelay);
    x.due = vm.Now() + x.interval;
    t->timerId = vm.AddTimer(x);
}

NATIVE(TimerCtor) {
    UNUSED;
    DisplayData* t = T(self);
    const double delay = argc > 0 ? vm.ToNumber(args[0]) : 0;
    if (!t || !ValidDelay(vm, delay))
        return Value();
    t->timerDelay = delay;
    t->timerRepeat = argc > 1 ? ToInt32(vm.ToNumber(args[1])) : 0;
    return Value();
}
NATIVE(TimerStart) {
    UNUSED;
    DisplayData* t = T(self);
    if (t && !t->timerId)
        Run(vm, self.o, t);
    return Value();
}
NATIVE(TimerStop) {
    UNUSED;
    if (DisplayData* t = T(self))
        Halt(vm, t);
    return Value();
}
NATIVE(TimerReset) {
    UNUSED;
    if (DisplayData* t = T(self)) {
        Halt(vm, t);
        t->timerCount = 0;
    }
    return Value();
}
NATIVE(GetDelay) {
    UNUSED;
    DisplayData* t = T(self);
    return Value::Num(t ? t->timerDelay : 0);
}
// A running timer starts its wait again with the new delay.
NATIVE(SetDelay) {
    UNUSED;
    DisplayData* t = T(self);
    const double delay = vm.ToNumber(Arg(args, argc, 0));
    if (!t || !ValidDelay(vm, delay))
        return Value();
    t->timerDelay = delay;
    if (t->timerId) {
        Halt(vm, t);
        Run(vm, self.o, t);
    }
    return Value();
}
NATIVE(GetRepeat) {
    UNUSED;
    DisplayData* t = T(self);
    return Value::Num(t ? t->timerRepeat : 0);
}
// Lowered to the count already reached, it stops without the complete event, unless a
// listener of its tick lowered it.
NATIVE(SetRepeat) {
    UNUSED;
    DisplayData* t = T(self);
    if (!t)
        return Value();
    t->timerRepeat = ToInt32(vm.ToNumber(Arg(args, argc, 0)));
    if (t->timerRepeat > 0 && t->timerCount >= t->timerRepeat && !t->timerTicking)
        Halt(vm, t);
    return Value();
}
NATIVE(GetCount) {
    UNUSED;
    DisplayData* t = T(self);
    return Value::Num(t ? t->timerCount : 0);
}
NATIVE(GetRunning) {
    UNUSED;
    DisplayData* t = T(self);
    return Value::Bool(t && t->timerId);
}

} // namespace

void InstallTimer(Vm& vm, ClassInfo* dispatcher) {
    ClassInfo* timer =
        vm.DefineClass("flash.utils", "Timer", dispatcher, Kind::Dispatcher, TimerCtor);
    static const Native timerNatives[] = {
        Fn("start", TimerStart),
        Fn("stop", TimerStop),
        Fn("reset", TimerReset),
        Accessor("delay", GetDelay, SetDelay),
        Accessor("repeatCount", GetRepeat, SetRepeat),
        Accessor("currentCount", GetCount),
        Accessor("running", GetRunning),
    };
    vm.AddNatives(timer, timerNatives);
}

} // namespace avm2
