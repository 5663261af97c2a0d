// Property access by multiname, calls, construction, instance tests and the conversions
// that may run script.
#include <cmath>

#include "player/core/avm2/vm.h"
#include "player/core/avm2/vm_internal.h"
#include "player/core/swf/reserve.h"

namespace avm2 {

Value ByteArrayAt(Object* o, uint32_t index);
void ByteArrayPut(Vm& vm, Object* o, uint32_t index, const Value& v);

namespace {

std::string Dotted(const ClassInfo* c) {
    return c->uri.empty() ? c->name : c->uri + "." + c->name;
}

bool IsArrayLike(const Object* o) {
    return o->kind == Kind::Array || o->kind == Kind::Vector;
}

// The element index a name stands for, when it is one.
bool ElementIndex(const Name& n, uint32_t* index) {
    return !n.anyName && !n.attribute && n.HasPublic() && IsIndex(n.local, index);
}

} // namespace

ClassInfo* Vm::ClassOf(const Value& v) {
    switch (v.type) {
    case Type::Number:
        if (v.n == std::floor(v.n) && v.n >= -2147483648.0 && v.n <= 2147483647.0 &&
            !(v.n == 0 && std::signbit(v.n)))
            return intClass;
        return numberClass;
    case Type::String:
        return stringClass;
    case Type::Boolean:
        return booleanClass;
    case Type::Object:
        return v.o->kind == Kind::Class ? classClass : v.o->cls;
    default:
        return nullptr;
    }
}

std::string Vm::DescribeForError(const Value& v) {
    if (v.IsObject() && v.o->kind == Kind::Class)
        return Dotted(v.o->info) + "$";
    if (v.IsObject() && v.o->kind == Kind::Activation && !v.o->str.empty())
        return v.o->str; // a catch scope goes by its variable's name
    ClassInfo* c = ClassOf(v);
    if (c == intClass)
        c = numberClass;
    return c ? Dotted(c) : PrimitiveToString(v);
}

const Binding* Vm::FindTrait(Object* o, const Name& n, Object** holder) {
    if (n.anyName)
        return nullptr;
    *holder = o;
    if (o->own)
        if (const Binding* b = o->own->Find(n.local, n))
            return b;
    if (o->cls)
        return o->cls->inst.Find(n.local, n);
    return nullptr;
}

Value Vm::GetBinding(const Value& self, Object* holder, const Binding& b) {
    switch (b.k) {
    case Binding::Slot:
    case Binding::Const:
        return holder && b.slot < holder->slots.size() ? holder->slots[b.slot] : Value();
    case Binding::Method:
        return Value::Obj(NewFunction(b.method, ScopeOf(b.method), self));
    case Binding::Accessor:
        if (!b.getter)
            return ThrowError("ReferenceError", 1077, ErrorText(1077, "", DescribeForError(self)));
        return Invoke(b.getter, self, nullptr, 0, ScopeOf(b.getter));
    }
    return Value();
}

bool Vm::SetBinding(const Value& self, Object* holder, const Binding& b, const Value& v, bool init,
                    const Name& n) {
    switch (b.k) {
    case Binding::Const:
        if (!init) {
            ThrowError("ReferenceError", 1074, ErrorText(1074, n.local, DescribeForError(self)));
            return false;
        }
        // fallthrough
    case Binding::Slot:
        if (holder && b.slot < holder->slots.size() && b.type == SlotType::Object &&
            !v.IsNullish()) {
            // A slot typed with a class takes only its instances.
            if (ClassInfo* c = SlotClass(holder, b.slot)) {
                const Value x = CoerceTo(v, c);
                if (throwing_)
                    return false;
                holder->slots[b.slot] = x;
                return true;
            }
        }
        if (holder && b.slot < holder->slots.size())
            holder->slots[b.slot] =
                b.type == SlotType::Any || b.type == SlotType::Object
                    ? (b.type == SlotType::Object && v.IsUndefined() ? Value::Null() : v)
                    : Coerce(v, b.type);
        return true;
    case Binding::Method:
        ThrowError("ReferenceError", 1037, ErrorText(1037, n.local, DescribeForError(self)));
        return false;
    case Binding::Accessor: {
        if (!b.setter) {
            ThrowError("ReferenceError", 1074, ErrorText(1074, n.local, DescribeForError(self)));
            return false;
        }
        Value arg = v;
        Invoke(b.setter, self, &arg, 1, ScopeOf(b.setter));
        return true;
    }
    }
    return false;
}

ClassInfo* Vm::SlotClass(Object* holder, uint32_t slot) {
    const Traits* t = holder->own ? holder->own : holder->cls ? &holder->cls->inst : nullptr;
    if (!t || slot >= t->slots.size() || !t->slots[slot].abc || !t->slots[slot].typeName)
        return nullptr;
    const SlotInit& init = t->slots[slot];
    for (const auto& loaded : abcs_)
        if (loaded->f.get() == init.abc)
            return ResolveClass(*loaded, init.typeName);
    return nullptr;
}

Value Vm::GetProperty(const Value& obj, const Name& n) {
    switch (obj.type) {
    case Type::Undefined:
        return ThrowError("TypeError", 1010, ErrorText(1010));
    case Type::Null:
        return ThrowError("TypeError", 1009, ErrorText(1009));
    case Type::Object:
        break;
    default: {
        ClassInfo* c = ClassOf(obj);
        if (c == intClass)
            c = numberClass;
        if (const Binding* b = c->inst.Find(n.local, n))
            return GetBinding(obj, nullptr, *b);
        if (obj.type == Type::String) {
            uint32_t i;
            if (ElementIndex(n, &i)) // "abc"[1]
                return i < obj.s.size() ? Value::Str(obj.s.get().substr(i, 1)) : Value();
        }
        if (n.HasPublic())
            for (Object* p = c->prototype; p; p = p->proto)
                if (p->dyn)
                    if (Value* v = p->dyn->Find(n.local))
                        return *v;
        return ThrowError("ReferenceError", 1069, ErrorText(1069, n.local, DescribeForError(obj)));
    }
    }
    Object* o = obj.o;
    uint32_t index;
    if (o->kind == Kind::ByteArray && ElementIndex(n, &index))
        return ByteArrayAt(o, index);
    if (IsArrayLike(o) && ElementIndex(n, &index)) {
        if (index < o->elems.size() && (!o->elems[index].IsUndefined() || o->kind == Kind::Vector))
            return o->elems[index];
        if (o->kind == Kind::Vector)
            return ThrowError(
                "RangeError", 1125,
                ErrorText(1125, std::to_string(index), std::to_string(o->elems.size())));
        for (Object* p = o->proto; p; p = p->proto)
            if (p->dyn)
                if (Value* v = p->dyn->Find(n.local))
                    return *v;
        return Value();
    }
    Object* holder = nullptr;
    if (const Binding* b = FindTrait(o, n, &holder))
        return GetBinding(obj, holder, *b);
    if (IsProxy(o)) {
        Value q = QNameValue(n);
        return ProxyHook(o, "getProperty", &q, 1);
    }
    if (n.HasPublic() && !n.anyName) {
        for (Object* p = o; p; p = p->proto)
            if (p->dyn)
                if (Value* v = p->dyn->Find(n.local))
                    return *v;
        if (o->kind == Kind::Function && n.local.get() == "prototype") {
            Object* proto = NewObject();
            proto->dyn.reset(new DynProps);
            proto->dyn->Set("constructor", obj, false);
            if (!o->dyn)
                o->dyn.reset(new DynProps);
            o->dyn->Set("prototype", Value::Obj(proto), false);
            return Value::Obj(proto);
        }
    }
    if (!o->dynamicProps && o->kind != Kind::Class)
        return ThrowError("ReferenceError", 1069, ErrorText(1069, n.local, DescribeForError(obj)));
    return Value();
}

void Vm::SetProperty(const Value& obj, const Name& n, const Value& v, bool init) {
    switch (obj.type) {
    case Type::Undefined:
        ThrowError("TypeError", 1010, ErrorText(1010));
        return;
    case Type::Null:
        ThrowError("TypeError", 1009, ErrorText(1009));
        return;
    case Type::Object:
        break;
    default: {
        ClassInfo* c = ClassOf(obj);
        if (c == intClass)
            c = numberClass;
        if (const Binding* b = c->inst.Find(n.local, n)) {
            SetBinding(obj, nullptr, *b, v, init, n);
            return;
        }
        ThrowError("ReferenceError", 1056, ErrorText(1056, n.local, DescribeForError(obj)));
        return;
    }
    }
    Object* o = obj.o;
    uint32_t index;
    if (o->kind == Kind::ByteArray && ElementIndex(n, &index)) {
        ByteArrayPut(*this, o, index, v);
        return;
    }
    if (IsArrayLike(o) && ElementIndex(n, &index)) {
        if (o->kind == Kind::Vector) {
            const bool fixed = o->num != 0;
            if (index > o->elems.size() || (index == o->elems.size() && fixed)) {
                ThrowError("RangeError", 1125,
                           ErrorText(1125, std::to_string(index), std::to_string(o->elems.size())));
                return;
            }
            const Value e = Coerce(v, o->cls->vectorType);
            if (index == o->elems.size()) {
                heap_.Account(o, sizeof(Value));
                o->elems.push_back(e);
            } else {
                o->elems[index] = e;
            }
            return;
        }
        if (index >= o->elems.size()) {
            if (index >= limits_.maxElements || !memory::Growable(o->elems, size_t(index) + 1)) {
                ThrowError("RangeError", 1000, "The system is out of memory.");
                Abort(RunResult::OutOfMemory);
                return;
            }
            heap_.Account(o, (index + 1 - o->elems.size()) * sizeof(Value));
            o->elems.resize(index + 1, o->kind == Kind::Array ? Value::Hole() : Value());
        }
        o->elems[index] = v.IsHole() ? Value() : v;
        return;
    }
    Object* holder = nullptr;
    if (const Binding* b = FindTrait(o, n, &holder)) {
        SetBinding(obj, holder, *b, v, init, n);
        return;
    }
    if (IsProxy(o)) {
        Value a[2] = {QNameValue(n), v};
        ProxyHook(o, "setProperty", a, 2);
        return;
    }
    if ((o->dynamicProps || o->kind == Kind::Global) && n.HasPublic() && !n.anyName) {
        if (!o->dyn)
            o->dyn.reset(new DynProps);
        if (!o->dyn->Find(n.local))
            heap_.Account(o, n.local.size() + sizeof(DynProps::Entry));
        o->dyn->Set(n.local, v);
        return;
    }
    ThrowError("ReferenceError", 1056, ErrorText(1056, n.local, DescribeForError(obj)));
}

bool Vm::HasProperty(const Value& obj, const Name& n) {
    if (obj.type != Type::Object) {
        ClassInfo* c = ClassOf(obj);
        if (!c)
            return false;
        if (c->inst.Find(n.local, n) != nullptr)
            return true;
        // Every number, int or not, reads Number's prototype.
        Object* proto = obj.IsNumber() && numberClass ? numberClass->prototype : c->prototype;
        if (n.HasPublic())
            for (Object* p = proto; p; p = p->proto)
                if (p->dyn && p->dyn->Find(n.local))
                    return true;
        return false;
    }
    Object* o = obj.o;
    uint32_t index;
    if (IsArrayLike(o) && ElementIndex(n, &index))
        return index < o->elems.size() && !o->elems[index].IsHole();
    Object* holder;
    if (FindTrait(o, n, &holder))
        return true;
    if (n.HasPublic())
        for (Object* p = o; p; p = p->proto)
            if (p->dyn && p->dyn->Find(n.local))
                return true;
    return false;
}

bool Vm::DeleteProperty(const Value& obj, const Name& n) {
    if (obj.type != Type::Object)
        return false;
    Object* o = obj.o;
    uint32_t index;
    if (IsArrayLike(o) && ElementIndex(n, &index)) {
        if (o->kind == Kind::Array && index < o->elems.size())
            o->elems[index] = Value::Hole();
        return true; // a Vector keeps its element but answers true
    }
    Object* holder;
    if (FindTrait(o, n, &holder))
        return false;
    if (IsProxy(o)) {
        Value q = QNameValue(n);
        return ToBoolean(ProxyHook(o, "deleteProperty", &q, 1));
    }
    return o->dyn && o->dyn->Erase(n.local);
}

void Vm::EnumerableNames(Object* o, std::vector<Value>* out) {
    if (o->kind == Kind::Namespace) { // a Namespace lists its two properties
        out->push_back(Value::Str("uri"));
        out->push_back(Value::Str("prefix"));
    }
    if (IsArrayLike(o))
        for (size_t i = 0; i < o->elems.size(); ++i)
            if (!o->elems[i].IsHole())
                out->push_back(Value::Num(double(i))); // an index enumerates as an int
    if (o->dyn)
        for (const DynProps::Entry& e : o->dyn->entries)
            if (e.live && e.enumerable)
                out->push_back(Value::Str(e.key));
    // Then what the prototype chain adds, unless a nearer object has the name.
    int depth = 0;
    for (Object* p = o->proto; p && depth < 64; p = p->proto, ++depth) {
        if (!p->dyn || p->dyn->live == 0)
            continue;
        for (const DynProps::Entry& e : p->dyn->entries) {
            if (!e.live || !e.enumerable)
                continue;
            bool seen = o->dyn && o->dyn->Find(e.key);
            for (Object* q = o->proto; q != p && !seen; q = q->proto)
                seen = q->dyn && q->dyn->Find(e.key);
            if (!seen)
                out->push_back(Value::Str(e.key));
        }
    }
}

// ---- calls ----

Value Vm::CallProperty(const Value& obj, const Name& n, Value* args, int argc) {
    if (obj.type == Type::Object) {
        Object* holder;
        const Binding* b = FindTrait(obj.o, n, &holder);
        if (b && b->k == Binding::Method)
            return Invoke(b->method, obj, args, argc, ScopeOf(b->method));
        if (!b && IsProxy(obj.o)) {
            // callProperty(name, ...args), its arguments counted against the stack's room
            if (argc > 255)
                return ThrowError("RangeError", 1000, "Error #1000: The system is out of memory.");
            std::vector<Value> a(size_t(argc) + 1);
            a[0] = QNameValue(n);
            std::copy(args, args + argc, a.begin() + 1);
            return ProxyHook(obj.o, "callProperty", a.data(), argc + 1);
        }
    } else if (!obj.IsNullish()) {
        ClassInfo* c = ClassOf(obj);
        if (c == intClass)
            c = numberClass;
        if (const Binding* b = c->inst.Find(n.local, n))
            if (b->k == Binding::Method)
                return Invoke(b->method, obj, args, argc, nullptr);
    }
    const Value fn = GetProperty(obj, n);
    if (throwing_)
        return Value();
    if (!fn.IsObject() || (fn.o->kind != Kind::Function && fn.o->kind != Kind::Class))
        return ThrowError("TypeError", 1006,
                          ErrorText(1006, n.local.empty() ? "value" : n.local.get()));
    return Call(fn, obj.type == Type::Object && obj.o->kind == Kind::Global ? Value::Null() : obj,
                args, argc);
}

Value Vm::Call(const Value& fn, const Value& self, Value* args, int argc) {
    if (fn.IsObject()) {
        Object* f = fn.o;
        if (f->kind == Kind::Function && f->method) {
            Value receiver = f->bound.IsUndefined() ? self : f->bound;
            // A closure called without a receiver (a listener, a callback) has its script's
            // global as `this`, as in ECMAScript: its body may push `this` as a scope.
            if (receiver.IsNullish() && !f->method->native && f->scope && !f->scope->values.empty())
                receiver = f->scope->values[0];
            return Invoke(f->method, receiver, args, argc, f->scope);
        }
        if (f->kind == Kind::Class) {
            // Vector.<T>(list): a new Vector of the list's elements, unless it is one already.
            if (f->info->isVector && argc == 1 && args[0].IsObject() &&
                (args[0].o->kind == Kind::Array || args[0].o->kind == Kind::Vector) &&
                args[0].o->cls != f->info) {
                const Value v = ConstructClass(f->info, nullptr, 0);
                if (throwing_ || !v.IsObject())
                    return Value();
                std::vector<Value> elems;
                const SlotType t = f->info->vectorType;
                for (const Value& e : args[0].o->elems) // undefined is null in a Vector of objects
                    elems.push_back(e.IsUndefined() && (t == SlotType::Object || t == SlotType::Any)
                                        ? Value::Null()
                                        : Coerce(e, t));
                heap_.Account(v.o, elems.size() * sizeof(Value));
                v.o->elems = std::move(elems);
                return v;
            }
            if (f->info->call)
                return f->info->call(*this, self, args, argc);
            if (argc != 1)
                return ThrowError("ArgumentError", 1112, ErrorText(1112, std::to_string(argc)));
            return CoerceTo(args[0], f->info);
        }
    }
    return ThrowError("TypeError", 1006, ErrorText(1006, "value"));
}

Value Vm::Invoke(Method* m, const Value& self, Value* args, int argc, const ScopeRef& scope) {
    if (abort_ != RunResult::Done)
        return Value();
    // The stack overflow error is built with a little room past the limit, since its own
    // constructor runs as a call; running out of that room too only returns.
    if (depth_ >= limits_.maxCallDepth + (overflowing_ ? 16 : 0)) {
        if (!overflowing_) {
            overflowing_ = true;
            ThrowError("Error", 1023, ErrorText(1023));
            overflowing_ = false;
        }
        return Value();
    }
    ++depth_;
    Value r;
    if (m->native) {
        r = m->native(*this, self, args, argc);
    } else if (!m->body) {
        ThrowError("VerifyError", 1001, ErrorText(1001, m->name + "()"));
    } else if (m->body->badPool) {
        ThrowError("VerifyError", 1032,
                   "Error #1032: Cpool index " + std::to_string(m->body->badPoolIndex) +
                       " is out of range " + std::to_string(m->body->badPoolSize) + ".");
    } else {
        frames_.push_back(m);
        r = RunBody(m, self, args, argc, scope);
        frames_.pop_back();
    }
    --depth_;
    return r;
}

Value Vm::ConstructClass(ClassInfo* c, Value* args, int argc, Object* preset) {
    if ((c->kind == Kind::Boxed || c == functionClass) && c->call)
        return c->call(*this, Value(), args, argc);
    if (c->isInterface)
        return ThrowError("VerifyError", 1001, ErrorText(1001, c->name + "()"));
    Object* o = preset ? preset : NewInstance(c);
    // A movie's own display class may be bound to a library symbol, whose first frame it
    // holds before its constructor runs.
    const bool born =
        !preset && timeline_ && c->kind == Kind::Dispatcher && c->iinit && !c->iinit->native;
    if (born)
        timeline_->Born(o);
    if (preset && preset->cls != c) {
        preset->cls = c;
        preset->proto = c->prototype;
        preset->dynamicProps = !c->sealed;
        InitSlots(preset, c->inst);
    }
    Invoke(c->iinit, Value::Obj(o), args, argc, c->scope);
    if (born)
        timeline_->BuildChildren(o);
    return Value::Obj(o);
}

Value Vm::Construct(const Value& ctor, Value* args, int argc) {
    if (ctor.IsObject()) {
        if (ctor.o->kind == Kind::Class)
            return ConstructClass(ctor.o->info, args, argc);
        if (ctor.o->kind == Kind::Function && ctor.o->method) {
            const Value proto = Get(ctor, "prototype");
            Object* o = NewObject();
            if (proto.IsObject())
                o->proto = proto.o;
            const Value r = Invoke(ctor.o->method, Value::Obj(o), args, argc, ctor.o->scope);
            return r.IsObject() ? r : Value::Obj(o);
        }
    }
    return ThrowError("TypeError", 1007, ErrorText(1007));
}

void Vm::ResolveInterfaces(ClassInfo* c, int depth) {
    if (depth > 32)
        return;
    for (; c; c = c->super) {
        if (!c->pendingInterfaces.empty() && c->pendingAbc) {
            std::vector<uint32_t> left;
            for (uint32_t i : c->pendingInterfaces) {
                ClassInfo* x = ResolveClass(*c->pendingAbc, i);
                if (!x)
                    left.push_back(i);
                else if (!x->IsSubclassOf(
                             c)) // never a circle, which instance tests would walk forever
                    c->interfaces.push_back(x);
            }
            c->pendingInterfaces.swap(left);
        }
        for (ClassInfo* i : c->interfaces)
            ResolveInterfaces(i, depth + 1);
    }
}

bool Vm::IsInstance(const Value& v, const ClassInfo* c) {
    if (!c)
        return !v.IsNullish();
    if (c == objectClass)
        return !v.IsNullish();
    if (v.type == Type::Number) {
        if (c == numberClass)
            return true;
        if (c == intClass)
            return v.n == double(ToInt32(v.n)) && !(v.n == 0 && std::signbit(v.n) && false);
        if (c == uintClass)
            return v.n == double(ToUint32(v.n));
        return false;
    }
    ClassInfo* k = ClassOf(v);
    if (k && c->isInterface)
        ResolveInterfaces(k, 0);
    if (k && c->isVector && !c->vectorOf && k->isVector)
        return true; // every Vector.<T> is a Vector.<*>
    return k && k->IsSubclassOf(c);
}

// ---- conversions ----

Value Vm::ToPrimitive(const Value& v, bool preferString) {
    if (v.type != Type::Object)
        return v;
    Object* o = v.o;
    if (o->kind == Kind::Date)
        preferString = true;
    const char* order[2] = {"valueOf", "toString"};
    if (preferString)
        std::swap(order[0], order[1]);
    for (const char* name : order) {
        const Value fn = GetProperty(v, Name::Public(name));
        if (throwing_)
            return Value();
        if (fn.IsObject() && fn.o->kind == Kind::Function) {
            const Value r = Call(fn, v, nullptr, 0);
            if (throwing_)
                return Value();
            if (r.type != Type::Object)
                return r;
        }
    }
    ThrowError("TypeError", 1050,
               "Error #1050: Cannot convert " + DescribeForError(v) + " to primitive.");
    return Value();
}

double Vm::ToNumber(const Value& v) {
    if (v.type == Type::Number)
        return v.n;
    if (v.type != Type::Object)
        return PrimitiveToNumber(v);
    return PrimitiveToNumber(ToPrimitive(v));
}

std::string Vm::ToString(const Value& v) {
    if (v.type == Type::String)
        return v.s;
    if (v.type != Type::Object)
        return PrimitiveToString(v);
    if (v.o->kind == Kind::Class)
        return "[class " + v.o->info->name + "]";
    return PrimitiveToString(ToPrimitive(v, true));
}

std::string Vm::TypeOf(const Value& v) {
    switch (v.type) {
    case Type::Undefined:
        return "undefined";
    case Type::Null:
        return "object";
    case Type::Boolean:
        return "boolean";
    case Type::Number:
        return "number";
    case Type::String:
        return "string";
    case Type::Object:
        return v.o->kind == Kind::Function ? "function" : "object";
    }
    return "object";
}

bool Vm::StrictEquals(const Value& a, const Value& b) {
    if (a.type != b.type)
        return false;
    switch (a.type) {
    case Type::Undefined:
    case Type::Null:
        return true;
    case Type::Boolean:
        return a.b == b.b;
    case Type::Number:
        return a.n == b.n;
    case Type::String:
        return a.s == b.s;
    case Type::Object:
        if (a.o->kind == Kind::Function && b.o->kind == Kind::Function && a.o != b.o)
            return a.o->method == b.o->method && a.o->bound.IsObject() && b.o->bound.IsObject() &&
                   a.o->bound.o == b.o->bound.o && !a.o->method->native;
        return a.o == b.o;
    }
    return false;
}

bool Vm::Equals(const Value& a, const Value& b) {
    if (a.type == b.type)
        return StrictEquals(a, b);
    if (a.IsNullish() && b.IsNullish())
        return true;
    if (a.IsNullish() || b.IsNullish())
        return false;
    if (a.type == Type::Object && b.type == Type::Object)
        return a.o == b.o;
    if (a.type == Type::Object)
        return Equals(ToPrimitive(a), b);
    if (b.type == Type::Object)
        return Equals(a, ToPrimitive(b));
    if (a.type == Type::String && b.type == Type::String)
        return a.s == b.s;
    return PrimitiveToNumber(a) == PrimitiveToNumber(b);
}

Value Vm::Less(const Value& a0, const Value& b0) {
    const Value a = ToPrimitive(a0), b = ToPrimitive(b0);
    if (a.type == Type::String && b.type == Type::String)
        return Value::Bool(Utf16Less(a.s.get(), b.s.get()));
    const double x = PrimitiveToNumber(a), y = PrimitiveToNumber(b);
    if (std::isnan(x) || std::isnan(y))
        return Value();
    return Value::Bool(x < y);
}

Value Vm::Add(const Value& a0, const Value& b0) {
    if (a0.type == Type::Number && b0.type == Type::Number)
        return Value::Num(a0.n + b0.n);
    const Value a = ToPrimitive(a0), b = ToPrimitive(b0);
    if (throwing_)
        return Value();
    if (a.type == Type::String || b.type == Type::String) {
        const std::string x = PrimitiveToString(a), y = PrimitiveToString(b);
        if (!StringFits(x.size() + y.size()))
            return Value();
        return Value::Str(x + y);
    }
    return Value::Num(PrimitiveToNumber(a) + PrimitiveToNumber(b));
}

Value Vm::Coerce(const Value& v, SlotType t) {
    switch (t) {
    case SlotType::Any:
        return v;
    case SlotType::Int:
        return Value::Num(ToInt32(v.type == Type::Number ? v.n : ToNumber(v)));
    case SlotType::Uint:
        return Value::Num(ToUint32(v.type == Type::Number ? v.n : ToNumber(v)));
    case SlotType::Number:
        return v.type == Type::Number ? v : Value::Num(ToNumber(v));
    case SlotType::Boolean:
        return Value::Bool(ToBoolean(v));
    case SlotType::String:
        return v.IsNullish() ? Value::Null() : v.type == Type::String ? v : Value::Str(ToString(v));
    case SlotType::Object:
        return v.IsUndefined() ? Value::Null() : v;
    }
    return v;
}

Value Vm::CoerceTo(const Value& v, ClassInfo* c) {
    if (!c)
        return v;
    if (c == intClass)
        return Coerce(v, SlotType::Int);
    if (c == uintClass)
        return Coerce(v, SlotType::Uint);
    if (c == numberClass)
        return Coerce(v, SlotType::Number);
    if (c == booleanClass)
        return Coerce(v, SlotType::Boolean);
    if (c == stringClass)
        return Coerce(v, SlotType::String);
    if (v.IsNullish())
        return Value::Null();
    if (c == objectClass || IsInstance(v, c))
        return v;
    // The value's class goes by its qualified name ("pkg::Name"), the target by its dotted one.
    ClassInfo* from = v.IsObject() && v.o->kind != Kind::Class ? ClassOf(v) : nullptr;
    std::string what = from           ? from->QualifiedName()
                       : v.IsObject() ? DescribeForError(v)
                       : v.IsString() ? "\"" + v.s.get() + "\""
                                      : PrimitiveToString(v);
    if (v.IsObject() && v.o->kind != Kind::Class)
        what += "@00000000000"; // Flash prints an address here
    return ThrowError("TypeError", 1034, ErrorText(1034, what, Dotted(c)));
}

ClassInfo* Vm::VectorOf(ClassInfo* element) {
    auto it = vectors_.find(element);
    if (it != vectors_.end())
        return it->second;
    const std::string name =
        "Vector.<" + (element ? element->QualifiedName() : std::string("*")) + ">";
    ClassInfo* base = vectorClass;
    classes_.emplace_back(new ClassInfo(*base));
    ClassInfo* c = classes_.back().get();
    c->name = name;
    c->uri = "__AS3__.vec";
    c->vectorOf = element;
    c->isVector = true;
    c->vectorType = element == intClass       ? SlotType::Int
                    : element == uintClass    ? SlotType::Uint
                    : element == numberClass  ? SlotType::Number
                    : element == booleanClass ? SlotType::Boolean
                    : element == stringClass  ? SlotType::String
                    : element                 ? SlotType::Object
                                              : SlotType::Any;
    Object* obj = heap_.New(Kind::Class);
    obj->info = c;
    obj->own = &c->stat;
    obj->cls = classClass;
    obj->proto = classClass->prototype;
    c->object = obj;
    c->super = objectClass;
    vectors_[element] = c;
    return c;
}

} // namespace avm2
