// flash.events: Event and its kinds, EventDispatcher, and dispatch through the display tree
// with capture, target and bubble phases.
#include <algorithm>

#include "player/core/avm2/display.h"

namespace avm2 {

namespace {

#define NATIVE(name) Value name(Vm& vm, const Value& self, Value* args, int argc)
#define UNUSED (void)vm, (void)self, (void)args, (void)argc

EventData* EventOf(const Value& v) {
    return v.IsObject() && v.o->kind == Kind::Event ? static_cast<EventData*>(v.o->extra.get())
                                                    : nullptr;
}

std::string Str(Vm& vm, Value* args, int argc, int i) {
    return i < argc ? vm.ToString(args[i]) : std::string();
}

// ---- Event ----
NATIVE(EventCtor) {
    UNUSED;
    EventData* e = new EventData;
    self.o->extra.reset(e);
    e->type = Str(vm, args, argc, 0);
    e->bubbles = argc > 1 && ToBoolean(args[1]);
    e->cancelable = argc > 2 && ToBoolean(args[2]);
    return Value();
}
NATIVE(EventType) {
    UNUSED;
    EventData* e = EventOf(self);
    return e ? Value::Str(e->type) : Value::Null();
}
NATIVE(EventBubbles) {
    UNUSED;
    EventData* e = EventOf(self);
    return Value::Bool(e && e->bubbles);
}
NATIVE(EventCancelable) {
    UNUSED;
    EventData* e = EventOf(self);
    return Value::Bool(e && e->cancelable);
}
NATIVE(EventTarget) {
    UNUSED;
    EventData* e = EventOf(self);
    return e && !e->target.IsUndefined() ? e->target : Value::Null();
}
NATIVE(EventCurrentTarget) {
    UNUSED;
    EventData* e = EventOf(self);
    return e && !e->currentTarget.IsUndefined() ? e->currentTarget : Value::Null();
}
NATIVE(EventPhase) {
    UNUSED;
    EventData* e = EventOf(self);
    return Value::Num(e ? e->phase : 2);
}
NATIVE(EventStop) {
    UNUSED;
    if (EventData* e = EventOf(self))
        e->stop = true;
    return Value();
}
NATIVE(EventStopNow) {
    UNUSED;
    if (EventData* e = EventOf(self))
        e->stop = e->stopNow = true;
    return Value();
}
NATIVE(EventPrevent) {
    UNUSED;
    if (EventData* e = EventOf(self))
        if (e->cancelable)
            e->prevented = true;
    return Value();
}
NATIVE(EventIsPrevented) {
    UNUSED;
    EventData* e = EventOf(self);
    return Value::Bool(e && e->prevented);
}
NATIVE(EventClone) {
    UNUSED;
    EventData* e = EventOf(self);
    if (!e)
        return Value::Null();
    // A subclass that does not override clone gets an instance of the native class it
    // extends.
    ClassInfo* c = self.o->cls;
    while (c && c->super && vm.Builtin(c->name.c_str()) != c)
        c = c->super;
    Value a[3] = {Value::Str(e->type), Value::Bool(e->bubbles), Value::Bool(e->cancelable)};
    return vm.ConstructClass(c, a, 3);
}
NATIVE(EventToString) {
    UNUSED;
    EventData* e = EventOf(self);
    if (!e)
        return Value::Str("");
    const std::string cls = self.o->cls ? self.o->cls->name : "Event";
    return Value::Str("[" + cls + " type=\"" + e->type +
                      "\" bubbles=" + (e->bubbles ? "true" : "false") +
                      " cancelable=" + (e->cancelable ? "true" : "false") +
                      " eventPhase=" + std::to_string(e->phase) + "]");
}
NATIVE(EventFormat) {
    UNUSED;
    std::string s = "[" + Str(vm, args, argc, 0);
    for (int i = 1; i < argc; ++i) {
        const std::string name = vm.ToString(args[i]);
        const Value v = vm.Get(self, name);
        s += " " + name + "=" + (v.IsString() ? "\"" + v.s.get() + "\"" : vm.ToString(v));
    }
    return Value::Str(s + "]");
}

// ---- EventDispatcher ----
bool IsBroadcast(const std::string& type) {
    return type == "enterFrame" || type == "exitFrame" || type == "frameConstructed" ||
           type == "render" || type == "activate" || type == "deactivate";
}
NATIVE(AddListener) {
    UNUSED;
    DisplayData* d = DispatcherData(self);
    if (!d)
        return Value();
    if (argc < 2 || !args[1].IsObject())
        return vm.ThrowError("TypeError", 2007, ErrorText(2007, "listener"));
    const std::string type = vm.ToString(args[0]);
    Listener l;
    l.fn = args[1];
    l.capture = argc > 2 && ToBoolean(args[2]);
    l.priority = argc > 3 ? ClampInt(vm.ToNumber(args[3])) : 0;
    std::vector<Listener>& list = d->listeners[type];
    for (const Listener& x : list)
        if (x.capture == l.capture && vm.StrictEquals(x.fn, l.fn))
            return Value();
    if (list.size() > 100000)
        return Value();
    auto at = std::find_if(list.begin(), list.end(),
                           [&](const Listener& x) { return x.priority < l.priority; });
    list.insert(at, l);
    vm.heap().Account(self.o, sizeof(Listener));
    if (IsBroadcast(type)) {
        auto& b = vm.broadcast();
        if (std::find(b.begin(), b.end(), self.o) == b.end())
            b.push_back(self.o);
    }
    return Value();
}
NATIVE(RemoveListener) {
    UNUSED;
    DisplayData* d = DispatcherData(self);
    if (!d || argc < 2)
        return Value();
    auto it = d->listeners.find(vm.ToString(args[0]));
    if (it == d->listeners.end())
        return Value();
    const bool capture = argc > 2 && ToBoolean(args[2]);
    auto& list = it->second;
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].capture == capture && vm.StrictEquals(list[i].fn, args[1])) {
            list.erase(list.begin() + long(i));
            break;
        }
    return Value();
}
NATIVE(HasListener) {
    UNUSED;
    DisplayData* d = DispatcherData(self);
    if (!d)
        return Value::Bool(false);
    auto it = d->listeners.find(Str(vm, args, argc, 0));
    return Value::Bool(it != d->listeners.end() && !it->second.empty());
}

// Calls the listeners of one object for one phase.
void Deliver(Vm& vm, Object* at, const Value& event, EventData* e, bool capture) {
    DisplayData* d = DispatcherData(Value::Obj(at));
    if (!d)
        return;
    auto it = d->listeners.find(e->type);
    if (it == d->listeners.end())
        return;
    const std::vector<Listener> list = it->second; // listeners may change while called
    e->currentTarget = Value::Obj(at);
    for (const Listener& l : list) {
        if (l.capture != capture)
            continue;
        Value arg = event;
        vm.Call(l.fn, Value::Null(), &arg, 1);
        if (vm.throwing()) {
            // An uncaught error in a listener is reported and the dispatch goes on.
            const Value err = vm.TakeThrown();
            vm.Trace(vm.Report(err));
        }
        if (e->stopNow || vm.aborted())
            break;
    }
}

bool Dispatch(Vm& vm, Object* target, const Value& event) {
    EventData* e = EventOf(event);
    if (!e)
        return false;
    if (!e->target.IsUndefined() && !e->target.IsNull()) {
        // Dispatched again: a clone goes out instead, as Flash does.
        const Value copy = vm.CallMethod(event, "clone", nullptr, 0);
        if (vm.throwing())
            return false;
        if (!EventOf(copy)) {
            vm.ThrowError("TypeError", 2007, ErrorText(2007, "event"));
            return false;
        }
        return Dispatch(vm, target, copy);
    }
    std::vector<Object*> path; // ancestors, nearest first
    DisplayData* d = DispatcherData(Value::Obj(target));
    for (Object* p = d ? d->parent : nullptr; p && path.size() < 10000;
         p = DispatcherData(Value::Obj(p))->parent)
        path.push_back(p);
    // With nobody listening on the way the event is left untouched, its target unset.
    bool heard = false;
    for (size_t i = 0; i <= path.size() && !heard; ++i) {
        DisplayData* at = i < path.size() ? DispatcherData(Value::Obj(path[i])) : d;
        if (!at)
            continue;
        auto it = at->listeners.find(e->type);
        heard = it != at->listeners.end() && !it->second.empty();
    }
    if (!heard)
        return true;
    e->target = Value::Obj(target);
    e->phase = 1;
    for (size_t i = path.size(); i-- > 0 && !e->stop;)
        Deliver(vm, path[i], event, e, true);
    if (!e->stop) {
        e->phase = 2;
        Deliver(vm, target, event, e, false);
    }
    if (e->bubbles) {
        e->phase = 3;
        for (size_t i = 0; i < path.size() && !e->stop; ++i)
            Deliver(vm, path[i], event, e, false);
    }
    return !e->prevented;
}

NATIVE(DispatchEventN) {
    UNUSED;
    if (argc < 1 || !EventOf(args[0]))
        return vm.ThrowError("TypeError", 2007, ErrorText(2007, "event"));
    return Value::Bool(Dispatch(vm, self.o, args[0]));
}

ClassInfo* Events(Vm& vm, const char* name, ClassInfo* base,
                  std::initializer_list<std::pair<const char*, const char*>> constants) {
    ClassInfo* c = vm.DefineClass("flash.events", name, base, Kind::Event, EventCtor);
    for (const auto& k : constants)
        vm.AddConstant(c, k.first, Value::Str(k.second));
    return c;
}

} // namespace

DisplayData* DispatcherData(const Value& v) {
    if (!v.IsObject() || v.o->kind != Kind::Dispatcher)
        return nullptr;
    if (!v.o->extra) {
        DisplayData* d = new DisplayData;
        d->self = v.o;
        v.o->extra.reset(d);
    }
    return static_cast<DisplayData*>(v.o->extra.get());
}

Value DispatcherCtor(Vm& vm, const Value& self, Value* args, int argc) {
    UNUSED;
    DispatcherData(self);
    return Value();
}

bool DispatchEvent(Vm& vm, Object* target, const Value& event) {
    return Dispatch(vm, target, event);
}

void DispatchSimple(Vm& vm, Object* target, const char* type, bool bubbles) {
    // Nobody listening anywhere on the path: no event object is made.
    bool any = false;
    for (Object* p = target; p && !any;) {
        DisplayData* d = DispatcherData(Value::Obj(p));
        if (!d)
            break;
        auto it = d->listeners.find(type);
        // Ancestors count even when the event does not bubble: they may listen in capture.
        any = it != d->listeners.end() && !it->second.empty();
        p = d->parent;
    }
    if (!any)
        return;
    Value a[2] = {Value::Str(type), Value::Bool(bubbles)};
    const Value ev = vm.ConstructClass(vm.Builtin("Event"), a, 2);
    Dispatch(vm, target, ev);
}

void Broadcast(Vm& vm, const char* type) {
    const std::vector<Object*> list = vm.broadcast();
    Value a = Value::Str(type);
    for (Object* o : list) {
        DisplayData* d = DispatcherData(Value::Obj(o));
        if (!d)
            continue;
        auto it = d->listeners.find(type);
        if (it == d->listeners.end() || it->second.empty())
            continue;
        const Value ev = vm.ConstructClass(vm.Builtin("Event"), &a, 1);
        Dispatch(vm, o, ev);
        if (vm.aborted())
            return;
    }
}

ClassInfo* InstallEvents(Vm& vm) {
    ClassInfo* object = vm.objectClass;
    // Event's type names; the natives below come before its subclasses, which copy them.
    static const std::initializer_list<std::pair<const char*, const char*>> eventTypes = {
        {"ENTER_FRAME", "enterFrame"},
        {"EXIT_FRAME", "exitFrame"},
        {"FRAME_CONSTRUCTED", "frameConstructed"},
        {"ADDED", "added"},
        {"ADDED_TO_STAGE", "addedToStage"},
        {"REMOVED", "removed"},
        {"REMOVED_FROM_STAGE", "removedFromStage"},
        {"COMPLETE", "complete"},
        {"CHANGE", "change"},
        {"INIT", "init"},
        {"RENDER", "render"},
        {"RESIZE", "resize"},
        {"ACTIVATE", "activate"},
        {"DEACTIVATE", "deactivate"},
        {"OPEN", "open"},
        {"CLOSE", "close"},
        {"SELECT", "select"},
        {"CANCEL", "cancel"},
        {"UNLOAD", "unload"},
        {"SCROLL", "scroll"},
        {"TAB_CHILDREN_CHANGE", "tabChildrenChange"},
        {"FULLSCREEN", "fullScreen"},
        {"SOUND_COMPLETE", "soundComplete"},
        {"MOUSE_LEAVE", "mouseLeave"},
        {"CONNECT", "connect"},
        {"ID3", "id3"}};
    ClassInfo* event = Events(vm, "Event", object, eventTypes);
    event->sealed = true;
    static const Native eventNatives[] = {
        Accessor("type", EventType),
        Accessor("bubbles", EventBubbles),
        Accessor("cancelable", EventCancelable),
        Accessor("target", EventTarget),
        Accessor("currentTarget", EventCurrentTarget),
        Accessor("eventPhase", EventPhase),
        Fn("stopPropagation", EventStop),
        Fn("stopImmediatePropagation", EventStopNow),
        Fn("preventDefault", EventPrevent),
        Fn("isDefaultPrevented", EventIsPrevented),
        Fn("clone", EventClone),
        Fn("toString", EventToString),
        Fn("formatToString", EventFormat),
    };
    vm.AddNatives(event, eventNatives);
    // The event classes that add only their type names, each after the class it extends.
    static const struct {
        const char* name;
        const char* base;
        std::initializer_list<std::pair<const char*, const char*>> types;
    } subclasses[] = {
        {"TimerEvent", "Event", {{"TIMER", "timer"}, {"TIMER_COMPLETE", "timerComplete"}}},
        {"MouseEvent",
         "Event",
         {{"CLICK", "click"},
          {"DOUBLE_CLICK", "doubleClick"},
          {"MOUSE_DOWN", "mouseDown"},
          {"MOUSE_UP", "mouseUp"},
          {"MOUSE_MOVE", "mouseMove"},
          {"MOUSE_OVER", "mouseOver"},
          {"MOUSE_OUT", "mouseOut"},
          {"ROLL_OVER", "rollOver"},
          {"ROLL_OUT", "rollOut"},
          {"MOUSE_WHEEL", "mouseWheel"},
          {"RIGHT_CLICK", "rightClick"}}},
        {"KeyboardEvent", "Event", {{"KEY_DOWN", "keyDown"}, {"KEY_UP", "keyUp"}}},
        {"FocusEvent", "Event", {{"FOCUS_IN", "focusIn"}, {"FOCUS_OUT", "focusOut"}}},
        {"TextEvent", "Event", {{"LINK", "link"}, {"TEXT_INPUT", "textInput"}}},
        {"ErrorEvent", "TextEvent", {{"ERROR", "error"}}},
        {"IOErrorEvent", "ErrorEvent", {{"IO_ERROR", "ioError"}}},
        {"SecurityErrorEvent", "ErrorEvent", {{"SECURITY_ERROR", "securityError"}}},
        {"AsyncErrorEvent", "ErrorEvent", {{"ASYNC_ERROR", "asyncError"}}},
        {"ProgressEvent", "Event", {{"PROGRESS", "progress"}, {"SOCKET_DATA", "socketData"}}},
        {"HTTPStatusEvent", "Event", {{"HTTP_STATUS", "httpStatus"}}},
        {"StatusEvent", "Event", {{"STATUS", "status"}}},
        {"NetStatusEvent", "Event", {{"NET_STATUS", "netStatus"}}},
        {"FullScreenEvent", "Event", {{"FULL_SCREEN", "fullScreen"}}},
        {"ContextMenuEvent",
         "Event",
         {{"MENU_ITEM_SELECT", "menuItemSelect"}, {"MENU_SELECT", "menuSelect"}}},
        {"ActivityEvent", "Event", {{"ACTIVITY", "activity"}}},
        {"DataEvent",
         "TextEvent",
         {{"DATA", "data"}, {"UPLOAD_COMPLETE_DATA", "uploadCompleteData"}}},
    };
    for (const auto& k : subclasses)
        Events(vm, k.name, vm.Builtin(k.base), k.types);

    ClassInfo* dispatcher =
        vm.DefineClass("flash.events", "EventDispatcher", object, Kind::Dispatcher, DispatcherCtor);
    ClassInfo* iface =
        vm.DefineClass("flash.events", "IEventDispatcher", object, Kind::Plain, nullptr);
    iface->isInterface = true;
    dispatcher->interfaces.push_back(iface);
    // A call through the interface type names the method in the interface's namespace; the
    // interface lists them so that a script's class implementing it answers too.
    const int ns = vm.InternNs(kGroupPublic, "flash.events:IEventDispatcher");
    const std::pair<const char*, NativeFn> methods[] = {{"addEventListener", AddListener},
                                                        {"removeEventListener", RemoveListener},
                                                        {"hasEventListener", HasListener},
                                                        {"willTrigger", HasListener},
                                                        {"dispatchEvent", DispatchEventN}};
    for (const auto& m : methods) {
        vm.AddMethod(dispatcher, m.first, m.second);
        Binding named = *dispatcher->inst.FindAny(m.first);
        named.ns = ns;
        *dispatcher->inst.Add(m.first, ns) = named;
        *iface->inst.Add(m.first, ns) = named;
    }
    return dispatcher;
}

} // namespace avm2
