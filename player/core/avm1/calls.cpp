// Calling functions and methods, constructing objects, instanceof.
#include "player/core/avm1/vm.h"

namespace avm1 {

// ---- calls ----

Value Vm::Call(const Value& fn, const Value& self, const Value* args, size_t n, Object* home) {
    if (!fn.IsObject() || fn.o->kind != Kind::Function || aborted())
        return Value();
    if (depth_ >= limits_.maxCallDepth) {
        Abort(RunResult::TooDeep);
        return Value();
    }
    depth_++;
    Value result;
    if (fn.o->native) {
        result = fn.o->native(*this, self, Args{args, n});
    } else if (fn.o->code) {
        result = CallScript(fn.o, self, args, n, home);
    }
    depth_--;
    return result;
}

Value Vm::CallMethod(const Value& self, const char* name, const Value* args, size_t n) {
    return CallMethod(self, std::string(name), args, n);
}

Value Vm::CallMethod(const Value& self, const std::string& name, const Value* args, size_t n) {
    if (self.IsObject() && self.o->kind == Kind::Super) {
        Object* s = self.o;
        if (!s->superHome)
            return Value();
        Object* holder = nullptr;
        Value fn;
        if (name.empty()) {
            // super(...) runs the parent class's constructor on `this`.
            Lookup(s->superHome, "__constructor__", Value::Obj(s->superThis), fn, nullptr);
            return Call(fn, Value::Obj(s->superThis), args, n, s->superHome->proto);
        }
        Lookup(s->superHome->proto, name, Value::Obj(s->superThis), fn, &holder);
        return Call(fn, Value::Obj(s->superThis), args, n, holder);
    }
    if (self.IsObject()) {
        // The prototype holding the method becomes its home, where `super` starts from.
        Object* holder = nullptr;
        int guard = 0;
        for (Object* p = self.o; p && guard < 256 && !holder; p = p->proto, guard++)
            if (p->Find(name, caseSensitive()))
                holder = p;
        return Call(Get(self, name), self, args, n, holder);
    }
    return Call(Get(self, name), self, args, n);
}

Value Vm::Construct(const Value& ctor, const Value* args, size_t n) {
    if (!ctor.IsObject() || ctor.o->kind != Kind::Function)
        return Value();
    Object* c = ctor.o;
    Value protoV = GetProp(c, "prototype");
    Object* o = NewObject(c->native ? c->constructs : Kind::Plain);
    if (protoV.IsObject())
        o->proto = protoV.o;
    o->Put("__constructor__", ctor, caseSensitive(), kDontEnum);
    if (version_ < 7)
        o->Put("constructor", ctor, caseSensitive(), kDontEnum);
    if (c->native) {
        o->constructing = true;
        Value r = Call(ctor, Value::Obj(o), args, n);
        o->constructing = false;
        // Native constructors may hand back another object (new Object(x), new Array...).
        return r.IsObject() ? r : Value::Obj(o);
    }
    constructNext_ = true;
    Call(ctor, Value::Obj(o), args, n, protoV.IsObject() ? protoV.o : nullptr);
    constructNext_ = false;
    return Value::Obj(o);
}

bool Vm::InstanceOf(const Value& v, Object* ctor) {
    if (!v.IsObject() || !ctor)
        return false;
    Value protoV = GetProp(ctor, "prototype");
    if (!protoV.IsObject())
        return false;
    int guard = 0;
    for (Object* p = v.o->proto; p && guard < 256; p = p->proto, guard++) {
        if (p == protoV.o)
            return true;
        for (Object* i : p->interfaces)
            if (i == ctor)
                return true;
    }
    return false;
}

} // namespace avm1
