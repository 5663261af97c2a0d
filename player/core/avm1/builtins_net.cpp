// LoadVars, MovieClipLoader, NetConnection, NetStream and LocalConnection, as an offline
// player answers them: nothing is ever read or fetched. Each request says so on the notice
// channel and then fails the way a missing file fails, with the events Flash sends, after
// the frame's scripts have run.
#include <cmath>
#include <cstdio>

#include "player/core/avm1/listeners.h"

namespace avm1 {

// ---- listeners ----

void MakeBroadcaster(Vm& vm, Object* o, bool hearsItself) {
    std::vector<Value> initial;
    if (hearsItself)
        initial.push_back(Value::Obj(o));
    o->Put("_listeners", Value::Obj(vm.NewArray(std::move(initial))), vm.caseSensitive(),
           kDontEnum);
}

namespace {

Object* ListenersOf(Vm& vm, const Value& self) {
    Value l = vm.Get(self, "_listeners");
    return l.IsObject() && l.o->kind == Kind::Array ? l.o : nullptr;
}

Value AddListener(Vm& vm, const Value& self, const Args& a) {
    Object* list = ListenersOf(vm, self);
    if (!list)
        return Value::Bool(false);
    for (const Value& v : list->elements)
        if (vm.StrictEquals(v, a[0]))
            return Value::Bool(true);
    if (list->elements.size() < 4096) {
        vm.heap().Charge(sizeof(Value));
        list->elements.push_back(a[0]);
    }
    return Value::Bool(true);
}
Value RemoveListener(Vm& vm, const Value& self, const Args& a) {
    Object* list = ListenersOf(vm, self);
    if (!list)
        return Value::Bool(false);
    for (size_t i = 0; i < list->elements.size(); i++) {
        if (vm.StrictEquals(list->elements[i], a[0])) {
            list->elements.erase(list->elements.begin() + long(i));
            return Value::Bool(true);
        }
    }
    return Value::Bool(false);
}
Value BroadcastMessage(Vm& vm, const Value& self, const Args& a) {
    if (!self.IsObject() || a.size() == 0)
        return Value();
    Broadcast(vm, self.o, vm.ToString(a[0]), std::vector<Value>(a.v + 1, a.v + a.size()));
    return Value();
}

// ---- AsBroadcaster, as Flash's own script library wrote it ----

// addListener: once only (removeListener first), at the end.
Value AsAddListener(Vm& vm, const Value& self, const Args& a) {
    vm.CallMethod(self, "removeListener", &a[0], 1);
    Object* list = ListenersOf(vm, self);
    if (list != nullptr && list->elements.size() < 4096 && !vm.aborted()) {
        vm.heap().Charge(sizeof(Value));
        list->elements.push_back(a[0]);
    }
    return Value::Bool(true);
}
// removeListener: the last equal (==) one.
Value AsRemoveListener(Vm& vm, const Value& self, const Args& a) {
    Object* list = ListenersOf(vm, self);
    if (list == nullptr)
        return Value::Bool(false);
    for (size_t i = list->elements.size(); i-- > 0;) {
        if (vm.Equals(list->elements[i], a[0])) {
            if (i < list->elements.size())
                list->elements.erase(list->elements.begin() + long(i));
            return Value::Bool(true);
        }
        if (vm.aborted() || i > list->elements.size())
            break;
    }
    return Value::Bool(false);
}
// broadcastMessage: true when some listener was told.
Value AsBroadcastMessage(Vm& vm, const Value& self, const Args& a) {
    if (!self.IsObject() || a.size() == 0)
        return Value();
    Object* list = ListenersOf(vm, self);
    if (list == nullptr)
        return Value();
    const std::vector<Value> listeners = list->elements;
    const std::string event = vm.ToString(a[0]);
    bool told = false;
    for (const Value& l : listeners) {
        if (vm.aborted())
            break;
        if (l.IsNullish())
            continue;
        told = true;
        vm.CallMethod(l, event, a.v + 1, a.size() - 1);
    }
    return told ? Value::Bool(true) : Value();
}
// initialize(o): the broadcaster's methods as AsBroadcaster holds them now, and no listeners.
Value AsInitialize(Vm& vm, const Value& self, const Args& a) {
    if (!a[0].IsObject())
        return Value();
    Object* o = a[0].o;
    const uint16_t hidden = kDontEnum | kDontDelete;
    o->Put("broadcastMessage", vm.Get(self, "broadcastMessage"), vm.caseSensitive(), hidden);
    o->Put("addListener", vm.Get(self, "addListener"), vm.caseSensitive(), hidden);
    o->Put("removeListener", vm.Get(self, "removeListener"), vm.caseSensitive(), hidden);
    vm.heap().Charge(sizeof(Object));
    o->Put("_listeners", Value::Obj(vm.NewArray()), vm.caseSensitive(), hidden);
    return Value();
}
Value AsConstruct(Vm&, const Value& self, const Args&) {
    return self;
}

} // namespace

void InstallAsBroadcaster(Vm& vm) {
    Object* ctor = vm.NewNative(AsConstruct, vm.NewObject());
    vm.global()->Put("AsBroadcaster", Value::Obj(ctor), false, kDontEnum);
    static const NativeMethod ctorMethods[] = {
        {"initialize", AsInitialize},
        {"addListener", AsAddListener},
        {"removeListener", AsRemoveListener},
        {"broadcastMessage", AsBroadcastMessage},
    };
    Methods(vm, ctor, ctorMethods);
}

void AddBroadcasterMethods(Vm& vm, Object* o) {
    static const NativeMethod oMethods[] = {
        {"addListener", AddListener},
        {"removeListener", RemoveListener},
        {"broadcastMessage", BroadcastMessage},
    };
    Methods(vm, o, oMethods);
}

void Broadcast(Vm& vm, Object* source, const std::string& event, const std::vector<Value>& args) {
    Object* list = ListenersOf(vm, Value::Obj(source));
    if (!list)
        return;
    // A copy: listeners may add or remove listeners while they are told.
    const std::vector<Value> listeners = list->elements;
    for (const Value& l : listeners) {
        if (vm.aborted())
            return;
        vm.CallMethod(l, event, args.data(), args.size());
    }
}

namespace {

Value Nothing(Vm&, const Value&, const Args&) {
    return Value();
}
Value False(Vm&, const Value&, const Args&) {
    return Value::Bool(false);
}
Value True(Vm&, const Value&, const Args&) {
    return Value::Bool(true);
}

Object* NewClass(Vm& vm, Object* where, const char* name, NativeFn ctor) {
    Object* proto = vm.NewObject();
    where->Put(name, Value::Obj(vm.NewNative(ctor, proto)), false, kDontEnum);
    return proto;
}

// A status object {code, level} as onStatus receives it.
Value Info(Vm& vm, const char* code, const char* level) {
    Object* o = vm.NewObject();
    vm.Set(Value::Obj(o), "code", Value::Str(code));
    vm.Set(Value::Obj(o), "level", Value::Str(level));
    return Value::Obj(o);
}

// ---- LoadVars ----

Value VarsToString(Vm& vm, const Value& self, const Args&) {
    if (!self.IsObject())
        return Value();
    std::string out;
    std::vector<std::string> keys = vm.Keys(self.o);
    for (size_t i = keys.size(); i-- > 0 && !vm.aborted();) { // for..in order
        if (!out.empty())
            out += '&';
        out += UrlEscape(keys[i]);
        out += '=';
        out += UrlEscape(vm.ToString(vm.Get(self, keys[i])));
        if (!vm.StringFits(out.size()))
            return Value();
    }
    return Value::Str(out);
}
Value Decode(Vm& vm, const Value& self, const Args& a) {
    if (!self.IsObject() || a.size() == 0)
        return Value();
    const std::string s = vm.ToString(a[0]);
    size_t start = 0;
    while (start <= s.size() && !vm.aborted()) {
        size_t end = s.find('&', start);
        if (end == std::string::npos)
            end = s.size();
        const std::string pair = s.substr(start, end - start);
        if (!pair.empty()) {
            size_t eq = pair.find('=');
            std::string name = UrlUnescape(pair.substr(0, eq));
            std::string value = eq == std::string::npos ? "" : UrlUnescape(pair.substr(eq + 1));
            vm.Set(self, name, Value::Str(std::move(value)));
        }
        start = end + 1;
    }
    return Value();
}
// Unlike XML, loaded turns true whether the data came or not.
Value VarsOnData(Vm& vm, const Value& self, const Args& a) {
    if (!self.IsObject())
        return Value();
    vm.Set(self, "loaded", Value::Bool(true));
    const bool ok = !a[0].IsNullish();
    if (ok)
        vm.CallMethod(self, "decode", &a[0], 1);
    Value arg = Value::Bool(ok);
    vm.CallMethod(self, "onLoad", &arg, 1);
    return Value();
}
// The answer to a request: what a missing file gives, once this frame's scripts are done.
void FailLater(Vm& vm, Object* target, const std::string& what, const Value& url) {
    vm.Notice(what + " blocked: " + vm.ToString(url));
    vm.Set(Value::Obj(target), "loaded", Value::Bool(false));
    vm.Later(target, "onData", {Value()});
}
Value VarsLoad(Vm& vm, const Value& self, const Args& a) {
    if (!self.IsObject() || a.size() == 0)
        return Value::Bool(false);
    FailLater(vm, self.o, "LoadVars.load", a[0]);
    return Value::Bool(true);
}
Value VarsSendAndLoad(Vm& vm, const Value& self, const Args& a) {
    if (!self.IsObject() || !a[1].IsObject())
        return Value::Bool(false);
    FailLater(vm, a[1].o, "LoadVars.sendAndLoad", a[0]);
    return Value::Bool(true);
}
Value VarsSend(Vm& vm, const Value&, const Args& a) {
    vm.Notice("LoadVars.send blocked: " + vm.ToString(a[0]));
    return Value::Bool(false);
}
Value BytesLoaded(Vm& vm, const Value& self, const Args&) {
    return vm.Get(self, "_bytesLoaded");
}
Value BytesTotal(Vm& vm, const Value& self, const Args&) {
    return vm.Get(self, "_bytesTotal");
}

// ---- MovieClipLoader ----

Value LoaderCtor(Vm& vm, const Value& self, const Args&) {
    if (self.IsObject())
        MakeBroadcaster(vm, self.o, true);
    return Value();
}
// A clip given as an object, a level number or a target path.
Value TargetClip(Vm& vm, const Value& t) {
    if (vm.ClipOf(t))
        return t;
    Object* root = vm.ClipObject(vm.RootClip());
    if (t.IsNumber())
        return t.n == 0 && root ? Value::Obj(root) : Value();
    if (t.IsString())
        if (Object* o = vm.ResolveTarget(root, t.s))
            return Value::Obj(o);
    return Value();
}
Value LoadClip(Vm& vm, const Value& self, const Args& a) {
    if (!self.IsObject() || a.size() < 2)
        return Value::Bool(false);
    Value target = TargetClip(vm, a[1]);
    vm.Notice("MovieClipLoader.loadClip blocked: " + vm.ToString(a[0]));
    if (target.IsUndefined())
        return Value::Bool(false);
    vm.Later(self.o, "broadcastMessage",
             {Value::Str("onLoadError"), target, Value::Str("URLNotFound"), Value::Num(0)});
    return Value::Bool(true);
}
Value GetProgress(Vm& vm, const Value&, const Args& a) {
    Value target = TargetClip(vm, a[0]);
    if (target.IsUndefined())
        return Value();
    Object* o = vm.NewObject();
    vm.Set(Value::Obj(o), "bytesLoaded", vm.CallMethod(target, "getBytesLoaded", nullptr, 0));
    vm.Set(Value::Obj(o), "bytesTotal", vm.CallMethod(target, "getBytesTotal", nullptr, 0));
    return Value::Obj(o);
}

// ---- NetConnection, NetStream ----

// connect(null) opens the local "connection" progressive video uses; a server cannot be
// reached.
Value Connect(Vm& vm, const Value& self, const Args& a) {
    if (!self.IsObject())
        return Value::Bool(false);
    const bool local = a[0].type == Type::Null;
    vm.Set(self, "isConnected", Value::Bool(local));
    if (local) {
        vm.Later(self.o, "onStatus", {Info(vm, "NetConnection.Connect.Success", "status")});
        return Value::Bool(true);
    }
    vm.Notice("NetConnection.connect blocked: " + vm.ToString(a[0]));
    vm.Later(self.o, "onStatus", {Info(vm, "NetConnection.Connect.Failed", "error")});
    return Value::Bool(false);
}
Value NetCall(Vm& vm, const Value&, const Args& a) {
    vm.Notice("NetConnection.call blocked: " + vm.ToString(a[0]));
    return Value();
}
Value NetClose(Vm& vm, const Value& self, const Args&) {
    vm.Set(self, "isConnected", Value::Bool(false));
    return Value();
}
Value StreamCtor(Vm& vm, const Value& self, const Args&) {
    if (!self.IsObject())
        return Value();
    static const char* const zero[] = {"time", "bytesLoaded", "bytesTotal", "bufferLength",
                                       "currentFps"};
    for (const char* name : zero)
        vm.Set(self, name, Value::Num(0));
    vm.Set(self, "bufferTime", Value::Num(0.1));
    return Value();
}
Value StreamPlay(Vm& vm, const Value& self, const Args& a) {
    if (!self.IsObject())
        return Value();
    vm.Notice("NetStream.play blocked: " + vm.ToString(a[0]));
    vm.Later(self.o, "onStatus", {Info(vm, "NetStream.Play.StreamNotFound", "error")});
    return Value();
}
Value SetBufferTime(Vm& vm, const Value& self, const Args& a) {
    double t = vm.ToNumber(a[0]);
    if (self.IsObject() && std::isfinite(t))
        vm.Set(self, "bufferTime", Value::Num(t));
    return Value();
}

// ---- LocalConnection: no other movie runs beside a screen saver ----

Value LcConnect(Vm& vm, const Value&, const Args& a) {
    vm.Notice("LocalConnection.connect blocked: " + vm.ToString(a[0]));
    return Value::Bool(a.size() > 0 && !a[0].IsNullish());
}
Value LcSend(Vm& vm, const Value& self, const Args& a) {
    if (!self.IsObject() || a.size() < 2)
        return Value::Bool(false);
    vm.Notice("LocalConnection.send blocked: " + vm.ToString(a[0]));
    vm.Later(self.o, "onStatus", {Info(vm, "", "error")});
    return Value::Bool(true);
}
Value LcDomain(Vm&, const Value&, const Args&) {
    return Value::Str("localhost");
}

} // namespace

void InstallNet(Vm& vm) {
    Object* g = vm.global();
    InstallAsBroadcaster(vm);
    Object* vars = NewClass(vm, g, "LoadVars", Nothing);
    vars->Put("contentType", Value::Str("application/x-www-form-urlencoded"), false,
              kDontEnum | kDontDelete);
    static const NativeMethod varsMethods[] = {
        {"load", VarsLoad},
        {"send", VarsSend},
        {"sendAndLoad", VarsSendAndLoad},
        {"decode", Decode},
        {"toString", VarsToString},
        {"onData", VarsOnData},
        {"onLoad", Nothing},
        {"getBytesLoaded", BytesLoaded},
        {"getBytesTotal", BytesTotal},
        {"addRequestHeader", Nothing},
    };
    Methods(vm, vars, varsMethods);

    Object* loader = NewClass(vm, g, "MovieClipLoader", LoaderCtor);
    AddBroadcasterMethods(vm, loader);
    static const NativeMethod loaderMethods[] = {
        {"loadClip", LoadClip},
        {"unloadClip", False},
        {"getProgress", GetProgress},
    };
    Methods(vm, loader, loaderMethods);

    Object* nc = NewClass(vm, g, "NetConnection", Nothing);
    static const NativeMethod ncMethods[] = {
        {"connect", Connect},
        {"call", NetCall},
        {"close", NetClose},
        {"addHeader", Nothing},
    };
    Methods(vm, nc, ncMethods);

    Object* ns = NewClass(vm, g, "NetStream", StreamCtor);
    static const NativeMethod nsMethods[] = {
        {"play", StreamPlay},
        {"pause", Nothing},
        {"seek", Nothing},
        {"close", Nothing},
        {"setBufferTime", SetBufferTime},
        {"attachAudio", Nothing},
        {"attachVideo", Nothing},
        {"publish", Nothing},
        {"receiveAudio", Nothing},
        {"receiveVideo", Nothing},
    };
    Methods(vm, ns, nsMethods);

    Object* lc = NewClass(vm, g, "LocalConnection", Nothing);
    static const NativeMethod lcMethods[] = {
        {"connect", LcConnect},
        {"send", LcSend},
        {"close", True},
        {"domain", LcDomain},
    };
    Methods(vm, lc, lcMethods);
}

} // namespace avm1
