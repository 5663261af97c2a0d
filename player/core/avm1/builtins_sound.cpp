// Sound: scripts start, stop and shape the movie's exported sounds through the sound
// bridge. A Sound made for a clip governs that clip's sounds; one made without governs the
// whole movie. loadSound would fetch from the network: refused, with a note.
#include <cmath>

#include "player/core/avm1/vm.h"

namespace avm1 {
namespace {

// Hidden state of a Sound object: its clip, the attached sound's id, its playing handle.
const char kTarget[] = "$target";
const char kSound[] = "$sound";
const char kHandle[] = "$handle";

double Hidden(const Value& self, const char* name) {
    if (!self.IsObject())
        return 0;
    Property* p = self.o->Find(name, false);
    return p && p->value.type == Type::Number ? p->value.n : 0;
}

void SetHidden(const Value& self, const char* name, double v) {
    if (self.IsObject())
        self.o->Put(name, Value::Num(v), false, kDontEnum);
}

ClipId Owner(Vm& vm, const Value& self) {
    if (!self.IsObject())
        return 0;
    Property* p = self.o->Find(kTarget, false);
    if (!p || p->value.IsNullish())
        return 0;
    if (p->value.IsObject())
        return vm.ClipOf(p->value);
    Object* o = vm.ResolveTarget(nullptr, vm.ToString(p->value));
    return o ? vm.ClipOf(Value::Obj(o)) : 0;
}

Value Ctor(Vm&, const Value& self, const Args& a) {
    if (self.IsObject())
        self.o->Put(kTarget, a[0], false, kDontEnum);
    return self;
}

Value AttachSound(Vm& vm, const Value& self, const Args& a) {
    if (vm.sound())
        SetHidden(self, kSound, vm.sound()->FindSound(vm.ToString(a[0])));
    return Value();
}

Value Start(Vm& vm, const Value& self, const Args& a) {
    const uint32_t id = uint32_t(Hidden(self, kSound));
    if (!vm.sound() || id == 0 || !self.IsObject())
        return Value();
    double offset = a.size() > 0 ? vm.ToNumber(a[0]) : 0;
    double loops = a.size() > 1 ? vm.ToNumber(a[1]) : 1;
    offset = std::isfinite(offset) && offset > 0 ? std::min(offset, 86400.0) : 0;
    loops = std::isfinite(loops) && loops >= 1 ? std::min(loops, 65535.0) : 1;
    const uint32_t handle = vm.sound()->StartSound(Owner(vm, self), id, offset, int(loops));
    if (handle != 0) {
        SetHidden(self, kHandle, handle);
        // One handle per object is watched for onSoundComplete; the newest wins.
        for (auto it = vm.playingSounds.begin(); it != vm.playingSounds.end();) {
            it = it->second == self.o ? vm.playingSounds.erase(it) : std::next(it);
        }
        vm.playingSounds[handle] = self.o;
    }
    return Value();
}

Value Stop(Vm& vm, const Value& self, const Args& a) {
    if (!vm.sound())
        return Value();
    uint32_t id = 0;
    if (a.size() > 0 && !a[0].IsNullish()) {
        id = vm.sound()->FindSound(vm.ToString(a[0]));
        if (id == 0)
            return Value();
    }
    vm.sound()->StopSounds(Owner(vm, self), id);
    return Value();
}

Value GetVolume(Vm& vm, const Value& self, const Args&) {
    return Value::Num(vm.sound() ? vm.sound()->GetVolume(Owner(vm, self)) : 100);
}

Value SetVolume(Vm& vm, const Value& self, const Args& a) {
    const double v = vm.ToNumber(a[0]);
    if (vm.sound() && std::isfinite(v))
        vm.sound()->SetVolume(Owner(vm, self), std::trunc(v));
    return Value();
}

Value GetPan(Vm& vm, const Value& self, const Args&) {
    if (!vm.sound())
        return Value::Num(0);
    const SoundTransform t = vm.sound()->GetSoundTransform(Owner(vm, self));
    return Value::Num(t.rr - t.ll);
}

// Panning right quiets the left speaker, and the other way round.
Value SetPan(Vm& vm, const Value& self, const Args& a) {
    double pan = vm.ToNumber(a[0]);
    if (!vm.sound() || !std::isfinite(pan))
        return Value();
    pan = std::max(-100.0, std::min(100.0, std::trunc(pan)));
    SoundTransform t;
    t.ll = pan > 0 ? 100 - pan : 100;
    t.rr = pan < 0 ? 100 + pan : 100;
    vm.sound()->SetSoundTransform(Owner(vm, self), t);
    return Value();
}

Value GetTransform(Vm& vm, const Value& self, const Args&) {
    const SoundTransform t =
        vm.sound() ? vm.sound()->GetSoundTransform(Owner(vm, self)) : SoundTransform();
    Object* o = vm.NewObject();
    o->Put("ll", Value::Num(t.ll), false);
    o->Put("lr", Value::Num(t.lr), false);
    o->Put("rl", Value::Num(t.rl), false);
    o->Put("rr", Value::Num(t.rr), false);
    return Value::Obj(o);
}

// Only the parts the object names change.
Value SetTransform(Vm& vm, const Value& self, const Args& a) {
    if (!vm.sound() || !a[0].IsObject())
        return Value();
    const ClipId owner = Owner(vm, self);
    SoundTransform t = vm.sound()->GetSoundTransform(owner);
    double* parts[4] = {&t.ll, &t.lr, &t.rl, &t.rr};
    static const char* const names[4] = {"ll", "lr", "rl", "rr"};
    for (int i = 0; i < 4; i++) {
        if (!vm.HasProperty(a[0].o, names[i]))
            continue;
        const double v = vm.ToNumber(vm.GetProp(a[0].o, names[i]));
        if (std::isfinite(v))
            *parts[i] = std::max(-10000.0, std::min(10000.0, v));
    }
    vm.sound()->SetSoundTransform(owner, t);
    return Value();
}

Value Position(Vm& vm, const Value& self, const Args&) {
    const uint32_t handle = uint32_t(Hidden(self, kHandle));
    return Value::Num(vm.sound() && handle ? std::floor(vm.sound()->PositionMs(handle)) : 0);
}

Value Duration(Vm& vm, const Value& self, const Args&) {
    const uint32_t id = uint32_t(Hidden(self, kSound));
    return Value::Num(vm.sound() && id ? std::floor(vm.sound()->DurationMs(id)) : 0);
}

Value LoadSound(Vm& vm, const Value&, const Args& a) {
    vm.Notice("Sound.loadSound(" + vm.ToString(a[0]) + ") refused: the player works offline");
    return Value();
}

Value StopAllSounds(Vm& vm, const Value&, const Args&) {
    if (vm.sound())
        vm.sound()->StopSounds(0, 0);
    return Value();
}

} // namespace

void SoundCompleted(Vm& vm, uint32_t handle) {
    auto it = vm.playingSounds.find(handle);
    if (it == vm.playingSounds.end())
        return;
    Object* o = it->second;
    vm.playingSounds.erase(it);
    const Value fn = vm.Get(Value::Obj(o), "onSoundComplete");
    if (fn.IsObject() && fn.o->IsFunction())
        vm.CallFromHost(fn, Value::Obj(o), nullptr, 0, nullptr);
}

void InstallSound(Vm& vm) {
    Object* proto = vm.NewObject();
    Object* ctor = vm.NewNative(Ctor, proto);
    vm.global()->Put("Sound", Value::Obj(ctor), false, kDontEnum);
    static const struct {
        const char* name;
        NativeFn fn;
    } methods[] = {{"attachSound", AttachSound},
                   {"start", Start},
                   {"stop", Stop},
                   {"getVolume", GetVolume},
                   {"setVolume", SetVolume},
                   {"getPan", GetPan},
                   {"setPan", SetPan},
                   {"getTransform", GetTransform},
                   {"setTransform", SetTransform},
                   {"loadSound", LoadSound}};
    for (const auto& m : methods)
        Method(vm, proto, m.name, m.fn);
    proto->Put("position", Value(), false, kDontEnum).getter = vm.NewNative(Position);
    proto->Put("duration", Value(), false, kDontEnum).getter = vm.NewNative(Duration);
    Method(vm, vm.global(), "stopAllSounds", StopAllSounds);
}

} // namespace avm1
