// The stack machine: one method body's instructions, decoded and checked by the reader, run
// over a frame in the Vm's value stack (locals, scope stack, operands).
#include <cmath>

#include "player/core/avm2/vm.h"
#include "player/core/avm2/vm_internal.h"

namespace avm2 {

bool DictionaryGet(Vm& vm, Object* dict, const Value& key, Value* out);
bool DictionarySet(Vm& vm, Object* dict, const Value& key, const Value& v);
bool DictionaryDelete(Vm& vm, Object* dict, const Value& key);
void DictionaryKeys(Object* dict, std::vector<Value>* out);

struct Interp {
    Vm& vm;
    Method* m;
    LoadedAbc& abc;
    const AbcMethodBody& body;
    const ScopeRef& outer;
    Value* L = nullptr; // locals
    Value* S = nullptr; // scope stack
    Value* sp = nullptr;
    Value* stackBase = nullptr;
    uint32_t scopeDepth = 0;
    std::vector<uint8_t> withs;
    Object* self_ = nullptr; // `this` of an instance method

    // A name read or written on `this` binds as Flash's verifier binds it: to the variable
    // the method's own class sees, even where a subclass declares one of the same name.
    const Binding* Early(const Value& obj, const Name& n, bool hasKey) {
        if (hasKey || !m->owner || m->isStatic || !obj.IsObject() || obj.o != self_ ||
            obj.o->cls == m->owner || n.anyName || !obj.o->cls ||
            !obj.o->cls->IsSubclassOf(m->owner))
            return nullptr;
        const Binding* b = m->owner->inst.Find(n.local, n);
        return b && (b->k == Binding::Slot || b->k == Binding::Const) ? b : nullptr;
    }

    Interp(Vm& v, Method* method, const ScopeRef& o)
        : vm(v), m(method), abc(*method->loaded), body(*method->body), outer(o) {}

    // A multiname operand with its runtime parts popped. `key` holds a runtime name's value.
    bool ReadName(uint32_t index, Name& n, Value& key, bool& hasKey) {
        const LoadedAbc::Mn& mn = abc.mns[index];
        n = mn.name;
        hasKey = false;
        if (mn.rtName) {
            key = *--sp;
            hasKey = true;
            if (key.IsObject() && key.o->kind == Kind::Other && !key.o->str.empty()) {
                n.local = key.o->str; // a QName
            } else {
                n.local = key.type == Type::String ? key.s : Text(vm.ToString(key));
            }
            n.anyName = false;
        }
        if (mn.rtNs) {
            const Value ns = *--sp;
            if (!ns.IsObject() || ns.o->kind != Kind::Namespace) {
                vm.ThrowError("VerifyError", 1058,
                              "Error #1058: Illegal operand type: " + vm.ToString(ns) +
                                  " must be Namespace.");
                return false;
            }
            n.set = nullptr;
            n.anyNs = false;
            n.single = ns.IsObject() && ns.o->kind == Kind::Namespace ? int(ns.o->num) : kPublicNs;
        }
        return !vm.throwing_;
    }

    Value Get(const Value& obj, const Name& n, const Value& key, bool hasKey) {
        if (hasKey && obj.IsObject()) {
            Object* o = obj.o;
            if (key.type == Type::Number && (o->kind == Kind::Array || o->kind == Kind::Vector) &&
                key.n >= 0 && key.n == std::floor(key.n)) {
                if (key.n < double(o->elems.size()) &&
                    (o->kind == Kind::Vector || !o->elems[size_t(key.n)].IsUndefined()))
                    return o->elems[size_t(key.n)];
            }
            if (o->kind == Kind::Dictionary && key.IsObject()) {
                Value out;
                DictionaryGet(vm, o, key, &out);
                return out;
            }
        }
        return vm.GetProperty(obj, n);
    }

    void Set(const Value& obj, const Name& n, const Value& key, bool hasKey, const Value& v,
             bool init) {
        if (hasKey && obj.IsObject()) {
            Object* o = obj.o;
            if (key.type == Type::Number && o->kind == Kind::Array && key.n >= 0 &&
                key.n == std::floor(key.n) && key.n < double(o->elems.size())) {
                o->elems[size_t(key.n)] = v.IsHole() ? Value() : v;
                return;
            }
            if (o->kind == Kind::Dictionary && key.IsObject()) {
                DictionarySet(vm, o, key, v);
                return;
            }
        }
        vm.SetProperty(obj, n, v, init);
    }

    // The innermost scope object that has the name. The outermost scope, the script's global,
    // comes last and in Flash's order: its own traits, then any script's definition, then its
    // dynamic properties (a global named like a class does not hide the class).
    Value Find(const Name& n, bool strict, bool* found) {
        const size_t outerCount = outer ? outer->values.size() : 0;
        const Value* global = outerCount ? &outer->values[0] : scopeDepth ? &S[0] : nullptr;
        for (uint32_t i = scopeDepth; i-- > 0;)
            if (&S[i] != global && vm.HasProperty(S[i], n)) {
                *found = true;
                return S[i];
            }
        for (size_t i = outerCount; i-- > 1;)
            if (vm.HasProperty(outer->values[i], n)) {
                *found = true;
                return outer->values[i];
            }
        Object* holder = nullptr;
        if (global && global->IsObject() && vm.FindTrait(global->o, n, &holder)) {
            *found = true;
            return *global;
        }
        const Value g = vm.FindGlobal(n, strict, found);
        if (*found)
            return g;
        if (global && vm.HasProperty(*global, n)) {
            *found = true;
            return *global;
        }
        return strict ? g : GlobalScope();
    }

    Value GlobalScope() {
        if (outer && !outer->values.empty())
            return outer->values[0];
        return scopeDepth > 0 ? S[0] : Value::Obj(vm.globalObject);
    }

    ScopeRef Capture() {
        std::shared_ptr<Scope> s(new Scope);
        if (outer)
            *s = *outer;
        for (uint32_t i = 0; i < scopeDepth; ++i) {
            s->values.push_back(S[i]);
            s->with.push_back(withs[i]);
        }
        return s;
    }

    SlotType ReturnType() {
        if (m->ret < 0)
            m->ret = int8_t(vm.SlotTypeOf(abc, abc.f->methods[m->index].returnType));
        return SlotType(m->ret);
    }

    // A loop starting at index 0 takes a fresh snapshot, so it sees deletions and additions
    // made since an earlier loop over the same object.
    const std::vector<Value>& Names(Object* o, bool fresh = false) {
        auto it = vm.enums_.find(o);
        if (it != vm.enums_.end()) {
            if (!fresh)
                return it->second;
            vm.enums_.erase(it);
        }
        std::vector<Value>& names = vm.enums_[o];
        if (o->kind == Kind::Dictionary)
            DictionaryKeys(o, &names);
        vm.EnumerableNames(o, &names);
        return names;
    }

    Value Run(const Value& self, Value* args, int argc);
    bool Associations();
    bool Args(const Value& self, Value* args, int argc);
    Traits* CatchTraits(uint32_t index);
    Traits* ActivationTraits();
};

Traits* Interp::CatchTraits(uint32_t index) {
    auto key = std::make_pair(static_cast<const void*>(&body), index);
    auto it = vm.catchTraits_.find(key);
    if (it != vm.catchTraits_.end())
        return it->second.get();
    std::unique_ptr<Traits> t(new Traits);
    const AbcException& e = body.exceptions[index];
    if (e.name != 0) {
        const LoadedAbc::Mn& mn = abc.mns[e.name];
        Binding* b = t->Add(mn.name.local, mn.name.single);
        b->k = Binding::Slot;
        b->slot = 0;
        t->slots.resize(1);
        // The caught value's type, so assigning to the variable coerces as for any slot.
        b->type = vm.SlotTypeOf(abc, e.type);
        t->slots[0].type = b->type;
        t->slots[0].abc = abc.f.get();
        t->slots[0].typeName = e.type;
    }
    Traits* raw = t.get();
    vm.catchTraits_[key] = std::move(t);
    return raw;
}

Traits* Interp::ActivationTraits() {
    if (!m->activation) {
        m->activation.reset(new Traits);
        vm.LinkTraits(abc, body.traits, m->activation.get(), nullptr, false, 0);
    }
    return m->activation.get();
}

bool Interp::Args(const Value& self, Value* args, int argc) {
    const AbcMethod& am = abc.f->methods[m->index];
    const int params = int(am.paramTypes.size());
    const int optional = int(am.optional.size());
    // Only class methods count their arguments; a plain function, or one taking a rest
    // array, takes too few too (the missing ones undefined).
    if ((argc < params - optional && !(am.flags & kNeedRest) && m->owner) ||
        (argc > params && !(am.flags & (kNeedRest | kNeedArguments)) && m->owner)) {
        std::string name = m->name.empty() ? "Function/<anonymous>" : m->name;
        vm.ThrowError("ArgumentError", 1063,
                      ErrorText(1063, name + "()", std::to_string(params), std::to_string(argc)));
        return false;
    }
    if (body.localCount > 0)
        L[0] = self;
    if (body.localCount < uint32_t(params) + 1)
        return true; // a body without room for its parameters gets none
    for (int i = 0; i < params; ++i) {
        Value v;
        if (i < argc) {
            v = args[i];
        } else if (i >= params - optional) {
            const AbcConst& c = am.optional[size_t(i - (params - optional))];
            v = vm.ConstValue(abc, c.kind, c.index);
        }
        const SlotType t = vm.SlotTypeOf(abc, am.paramTypes[size_t(i)]);
        L[i + 1] = t == SlotType::Object ? v : vm.Coerce(v, t);
        if (t == SlotType::Object && am.paramTypes[size_t(i)] != 0 && !v.IsNullish()) {
            if (ClassInfo* c = vm.ResolveClass(abc, am.paramTypes[size_t(i)])) {
                L[i + 1] = vm.CoerceTo(v, c);
                if (vm.throwing_)
                    return false;
            }
        } else if (t == SlotType::Object && v.IsUndefined()) {
            L[i + 1] = Value::Null();
        }
    }
    if ((am.flags & (kNeedRest | kNeedArguments)) && uint32_t(params) + 1 < body.localCount) {
        std::vector<Value> rest;
        const int from = (am.flags & kNeedRest) ? params : 0;
        for (int i = from; i < argc; ++i)
            rest.push_back(args[i]);
        Object* list = vm.NewArray(std::move(rest));
        L[params + 1] = Value::Obj(list);
        if (!(am.flags & kNeedRest)) {
            // arguments.callee: a function of this method over the caller's scope, not
            // enumerable, so for-in sees only the arguments.
            list->dyn.reset(new DynProps);
            list->dyn->Set("callee", Value::Obj(vm.NewFunction(m, outer)), false);
        }
    }
    return true;
}

Value Vm::RunBody(Method* m, const Value& self, Value* args, int argc, const ScopeRef& scope) {
    Interp in(*this, m, scope);
    return in.Run(self, args, argc);
}

// A method body is one class's method or one function, never both: Flash refuses a body that
// makes a function of a class's method, or calls as a class's method one that is none.
bool Interp::Associations() {
    for (const AbcInstruction& ins : body.code) {
        if (ins.op != 0x40 && ins.op != 0x44)
            continue;
        const Method* f = vm.MethodOf(abc, uint32_t(ins.a));
        if (ins.op == 0x40 ? f->owner != nullptr : f->owner == nullptr)
            return false;
    }
    return true;
}

Value Interp::Run(const Value& self, Value* args, int argc) {
    if (m->associated == 0)
        m->associated = Associations() ? 1 : -1;
    if (m->associated < 0)
        return vm.ThrowError("VerifyError", 1107,
                             "Error #1107: The ABC data is corrupt, attempt to read out of "
                             "bounds.");
    const size_t need = size_t(body.localCount) + body.maxScope + body.maxStack + 2;
    const size_t base = vm.top_;
    if (need > vm.stack_.size() - base) {
        return vm.ThrowError("Error", 1023, ErrorText(1023));
    }
    vm.top_ += need;
    self_ = self.IsObject() ? self.o : nullptr;
    L = &vm.stack_[base];
    S = L + body.localCount;
    stackBase = S + body.maxScope;
    sp = stackBase;
    Value* const stackEnd = stackBase + body.maxStack + 2; // the frame's end
    withs.assign(body.maxScope, 0);
    Value result;
    const AbcInstruction* code = body.code.data();
    const uint32_t count = uint32_t(body.code.size());
    uint32_t pc = 0;
    if (!Args(self, args, argc))
        goto done;
    while (pc < count) {
        if (!vm.Budget())
            goto done;
        {
            const uint32_t at = pc;
            const AbcInstruction& ins = code[pc++];
            // Room for the deepest push of any instruction; a body that lies about its
            // stack is stopped rather than allowed past its frame.
            if (sp >= stackEnd || sp < stackBase) {
                vm.ThrowError("VerifyError", 1030, "Error #1030: Stack depth is unbalanced.");
                goto done;
            }
#define POP() (*--sp)
#define PUSH(v) (*sp++ = (v))
#define NEED(k)                                                                                    \
    if (sp - stackBase < (k)) {                                                                    \
        vm.ThrowError("VerifyError", 1024, "Error #1024: Stack underflow occurred.");              \
        goto done;                                                                                 \
    }
            switch (ins.op) {
            case 0x02: // nop
            case 0x01:
            case 0x09: // label
            case 0x06: // dxns
            case 0xEF:
            case 0xF0:
            case 0xF1:
            case 0xF2:
            case 0xF3:
                break;
            case 0x07: // dxnslate
                NEED(1);
                --sp;
                break;
            case 0x03: // throw
                NEED(1);
                vm.Throw(POP());
                break;
            case 0x04:   // getsuper
            case 0x05: { // setsuper
                Value v;
                if (ins.op == 0x05) {
                    NEED(1);
                    v = POP();
                }
                Name n;
                Value key;
                bool hasKey;
                if (!ReadName(uint32_t(ins.a), n, key, hasKey))
                    break;
                NEED(1);
                const Value obj = POP();
                ClassInfo* base = m->owner ? m->owner->super : nullptr;
                const Binding* b = base ? base->inst.Find(n.local, n) : nullptr;
                if (ins.op == 0x04) {
                    PUSH(b ? vm.GetBinding(obj, obj.IsObject() ? obj.o : nullptr, *b)
                           : vm.GetProperty(obj, n));
                } else if (b) {
                    // Through super, a constant or a getter alone is left as it is, silently.
                    const bool readOnly =
                        b->k == Binding::Const || (b->k == Binding::Accessor && !b->setter);
                    if (!readOnly)
                        vm.SetBinding(obj, obj.IsObject() ? obj.o : nullptr, *b, v, false, n);
                } else {
                    vm.SetProperty(obj, n, v);
                }
                break;
            }
            case 0x08:
                L[ins.a] = Value();
                break;
            case 0x0C:
            case 0x0D:
            case 0x0E:
            case 0x0F:
            case 0x15:
            case 0x16:
            case 0x17:
            case 0x18: {
                NEED(2);
                const Value b = POP(), a = POP();
                bool r;
                if (a.type == Type::Number && b.type == Type::Number) {
                    switch (ins.op) {
                    case 0x0C:
                        r = !(a.n < b.n);
                        break;
                    case 0x0D:
                        r = !(a.n <= b.n);
                        break;
                    case 0x0E:
                        r = !(a.n > b.n);
                        break;
                    case 0x0F:
                        r = !(a.n >= b.n);
                        break;
                    case 0x15:
                        r = a.n < b.n;
                        break;
                    case 0x16:
                        r = a.n <= b.n;
                        break;
                    case 0x17:
                        r = a.n > b.n;
                        break;
                    default:
                        r = a.n >= b.n;
                        break;
                    }
                } else {
                    Value x;
                    switch (ins.op) {
                    case 0x0C:
                        x = vm.Less(a, b);
                        r = !(x.type == Type::Boolean && x.b);
                        break;
                    case 0x0D:
                        x = vm.Less(b, a);
                        r = !(x.type == Type::Boolean && !x.b);
                        break;
                    case 0x0E:
                        x = vm.Less(b, a);
                        r = !(x.type == Type::Boolean && x.b);
                        break;
                    case 0x0F:
                        x = vm.Less(a, b);
                        r = !(x.type == Type::Boolean && !x.b);
                        break;
                    case 0x15:
                        x = vm.Less(a, b);
                        r = x.type == Type::Boolean && x.b;
                        break;
                    case 0x16:
                        x = vm.Less(b, a);
                        r = x.type == Type::Boolean && !x.b;
                        break;
                    case 0x17:
                        x = vm.Less(b, a);
                        r = x.type == Type::Boolean && x.b;
                        break;
                    default:
                        x = vm.Less(a, b);
                        r = x.type == Type::Boolean && !x.b;
                        break;
                    }
                }
                if (r)
                    pc = uint32_t(ins.a);
                break;
            }
            case 0x10:
                pc = uint32_t(ins.a);
                break;
            case 0x11:
            case 0x12: {
                NEED(1);
                const bool t = ToBoolean(POP());
                if (t == (ins.op == 0x11))
                    pc = uint32_t(ins.a);
                break;
            }
            case 0x13:
            case 0x14:
            case 0x19:
            case 0x1A: {
                NEED(2);
                const Value b = POP(), a = POP();
                bool eq = ins.op <= 0x14 ? vm.Equals(a, b) : vm.StrictEquals(a, b);
                if (eq == (ins.op == 0x13 || ins.op == 0x19))
                    pc = uint32_t(ins.a);
                break;
            }
            case 0x1B: { // lookupswitch
                NEED(1);
                const double d = vm.ToNumber(POP());
                const int cases = ins.b; // case offsets, the default not counted
                const int idx = d >= 0 && d == std::floor(d) && d < cases ? int(d) : -1;
                pc = body.switchTargets[ins.switchAt + uint32_t(idx + 1)];
                break;
            }
            case 0x1C:   // pushwith
            case 0x30: { // pushscope
                NEED(1);
                const Value v = POP();
                if (v.IsNullish()) {
                    vm.ThrowError("TypeError", 1009, ErrorText(1009));
                    break;
                }
                if (scopeDepth >= body.maxScope) {
                    vm.ThrowError("VerifyError", 1017,
                                  "Error #1017: Scope stack overflow occurred.");
                    goto done;
                }
                withs[scopeDepth] = ins.op == 0x1C;
                S[scopeDepth++] = v;
                break;
            }
            case 0x1D:
                if (scopeDepth == 0) {
                    vm.ThrowError("VerifyError", 1018,
                                  "Error #1018: Scope stack underflow occurred.");
                    goto done;
                }
                S[--scopeDepth] = Value();
                break;
            case 0x1E:   // nextname
            case 0x23: { // nextvalue
                NEED(2);
                const Value idx = POP(), obj = POP();
                Value r;
                if (obj.IsObject()) {
                    const std::vector<Value>& names = Names(obj.o);
                    const double i = vm.ToNumber(idx) - 1;
                    if (i >= 0 && i < double(names.size())) {
                        const Value& k = names[size_t(i)];
                        if (ins.op == 0x1E) {
                            r = k;
                        } else if (obj.o->kind == Kind::Dictionary && k.IsObject()) {
                            DictionaryGet(vm, obj.o, k, &r);
                        } else if (obj.o->kind == Kind::Vector) { // no holes: i is the index
                            r = size_t(i) < obj.o->elems.size() ? obj.o->elems[size_t(i)]
                                                                : vm.Get(obj, vm.ToString(k));
                        } else {
                            r = vm.Get(obj, vm.ToString(k));
                        }
                    }
                }
                PUSH(r);
                break;
            }
            case 0x1F: { // hasnext
                NEED(2);
                const Value idx = POP(), obj = POP();
                double next = 0;
                if (obj.IsObject()) {
                    const double i = vm.ToNumber(idx);
                    if (i < double(Names(obj.o, i == 0).size()))
                        next = i + 1;
                }
                PUSH(MakeNum(next));
                break;
            }
            case 0x32: { // hasnext2
                Value& obj = L[ins.a];
                Value& idx = L[ins.b];
                bool more = false;
                if (obj.IsObject()) {
                    const double i = vm.ToNumber(idx);
                    if (i < double(Names(obj.o, i == 0).size())) {
                        idx = MakeNum(i + 1);
                        more = true;
                    }
                }
                if (!more) {
                    obj = Value::Null();
                    idx = MakeNum(0);
                }
                PUSH(MakeBool(more));
                break;
            }
            case 0x20:
                PUSH(Value::Null());
                break;
            case 0x21:
                PUSH(Value());
                break;
            case 0x24:
                PUSH(MakeNum(ins.a));
                break;
            case 0x25:
                PUSH(MakeNum(int16_t(uint16_t(ins.a))));
                break;
            case 0x26:
                PUSH(MakeBool(true));
                break;
            case 0x27:
                PUSH(MakeBool(false));
                break;
            case 0x28:
                PUSH(MakeNum(std::nan("")));
                break;
            case 0x29:
                NEED(1);
                --sp;
                *sp = Value();
                break;
            case 0x2A:
                NEED(1);
                *sp = sp[-1];
                ++sp;
                break;
            case 0x2B:
                NEED(2);
                std::swap(sp[-1], sp[-2]);
                break;
            case 0x2C:
                PUSH(Value::Str(abc.strings[uint32_t(ins.a)]));
                break;
            case 0x2D:
                PUSH(MakeNum(abc.f->ints[uint32_t(ins.a)]));
                break;
            case 0x2E:
                PUSH(MakeNum(abc.f->uints[uint32_t(ins.a)]));
                break;
            case 0x2F:
                PUSH(MakeNum(abc.f->doubles[uint32_t(ins.a)]));
                break;
            case 0x31:
                PUSH(vm.ConstValue(abc, kNsNamespace, uint32_t(ins.a)));
                break;
            case 0x35:
            case 0x36:
            case 0x37:
            case 0x38:
            case 0x39: // domain memory reads
                NEED(1);
                sp[-1] = MakeNum(0);
                vm.ThrowError("RangeError", 1506, "Error #1506: The specified range is invalid.");
                break;
            case 0x3A:
            case 0x3B:
            case 0x3C:
            case 0x3D:
            case 0x3E:
                NEED(2);
                sp -= 2;
                vm.ThrowError("RangeError", 1506, "Error #1506: The specified range is invalid.");
                break;
            case 0x40: { // newfunction
                Method* fm = vm.MethodOf(abc, uint32_t(ins.a));
                PUSH(Value::Obj(vm.NewFunction(fm, Capture())));
                break;
            }
            case 0x41: { // call
                NEED(ins.a + 2);
                Value* a = sp - ins.a;
                const Value r = vm.Call(a[-2], a[-1], a, ins.a);
                sp = a - 2;
                PUSH(r);
                for (Value* p = sp; p < a + ins.a; ++p)
                    *p = Value();
                break;
            }
            case 0x42: { // construct
                NEED(ins.a + 1);
                Value* a = sp - ins.a;
                const Value r = vm.Construct(a[-1], a, ins.a);
                sp = a - 1;
                PUSH(r);
                break;
            }
            case 0x43: // callmethod: by dispatch id, which nothing here keeps
                vm.ThrowError("VerifyError", 1051, "Error #1051: Illegal early binding access.");
                goto done;
            case 0x44: { // callstatic
                NEED(ins.b + 1);
                Value* a = sp - ins.b;
                Method* f = vm.MethodOf(abc, uint32_t(ins.a));
                // The receiver must be of the method's class.
                if (f->owner && !f->isStatic && !vm.IsInstance(a[-1], f->owner)) {
                    vm.CoerceTo(a[-1], f->owner);
                    if (vm.throwing_)
                        break;
                }
                const Value r = vm.Invoke(f, a[-1], a, ins.b, outer);
                sp = a - 1;
                PUSH(r);
                break;
            }
            case 0x45:   // callsuper
            case 0x4E: { // callsupervoid
                NEED(ins.b);
                Value* a = sp - ins.b;
                std::vector<Value> args(a, a + ins.b);
                sp = a;
                Name n;
                Value key;
                bool hasKey;
                if (!ReadName(uint32_t(ins.a), n, key, hasKey))
                    break;
                NEED(1);
                const Value obj = POP();
                ClassInfo* base = m->owner ? m->owner->super : nullptr;
                const Binding* b = base ? base->inst.Find(n.local, n) : nullptr;
                Value r;
                if (!b && base) {
                    vm.ThrowError("ReferenceError", 1070,
                                  ErrorText(1070, n.local, vm.DescribeForError(obj)));
                } else if (b && b->k == Binding::Method) {
                    r = vm.Invoke(b->method, obj, args.data(), ins.b, vm.ScopeOf(b->method));
                } else {
                    const Value fn = b ? vm.GetBinding(obj, obj.IsObject() ? obj.o : nullptr, *b)
                                       : vm.GetProperty(obj, n);
                    if (!vm.throwing_)
                        r = vm.Call(fn, obj, args.data(), ins.b);
                }
                if (ins.op == 0x45)
                    PUSH(r);
                break;
            }
            case 0x46:   // callproperty
            case 0x4C:   // callproplex
            case 0x4F:   // callpropvoid
            case 0x4A: { // constructprop
                NEED(ins.b);
                Value* a = sp - ins.b;
                Value args[8];
                std::vector<Value> many;
                Value* argv = args;
                if (ins.b > 8) {
                    many.assign(a, a + ins.b);
                    argv = many.data();
                } else {
                    for (int i = 0; i < ins.b; ++i)
                        args[i] = a[i];
                }
                for (Value* p = a; p < sp; ++p)
                    *p = Value();
                sp = a;
                Name n;
                Value key;
                bool hasKey;
                if (!ReadName(uint32_t(ins.a), n, key, hasKey))
                    break;
                NEED(1);
                const Value obj = POP();
                Value r;
                if (ins.op == 0x4A) {
                    // A primitive without the property is no constructor (1007), not a
                    // missing property (1069).
                    const bool primitive = !obj.IsObject() && !obj.IsNullish();
                    const Value ctor =
                        primitive && !vm.HasProperty(obj, n) ? Value() : Get(obj, n, key, hasKey);
                    if (!vm.throwing_) {
                        if (!ctor.IsObject())
                            vm.ThrowError("TypeError", 1007, ErrorText(1007));
                        else
                            r = vm.Construct(ctor, argv, ins.b);
                    }
                } else if (ins.op == 0x4C) {
                    const Value fn = Get(obj, n, key, hasKey);
                    if (!vm.throwing_)
                        r = vm.Call(fn, Value::Null(), argv, ins.b);
                } else if (hasKey && obj.IsObject() &&
                           (obj.o->kind == Kind::Dictionary || obj.o->kind == Kind::Array)) {
                    const Value fn = Get(obj, n, key, hasKey);
                    if (!vm.throwing_)
                        r = vm.Call(fn, obj, argv, ins.b);
                } else {
                    r = vm.CallProperty(obj, n, argv, ins.b);
                }
                if (ins.op != 0x4F)
                    PUSH(r);
                break;
            }
            case 0x47:
                result = Value();
                goto done;
            case 0x48:
                NEED(1);
                result = POP();
                {
                    const SlotType t = ReturnType();
                    if (t == SlotType::Object) {
                        ClassInfo* c = vm.ResolveClass(abc, abc.f->methods[m->index].returnType);
                        if (c && !vm.throwing_)
                            result = vm.CoerceTo(result, c);
                        else if (result.IsUndefined())
                            result = Value::Null();
                    } else if (t != SlotType::Any) {
                        result = vm.Coerce(result, t);
                    }
                }
                if (vm.throwing_) { // the method's own handlers may catch a failed coercion
                    result = Value();
                    break;
                }
                goto done;
            case 0x49: { // constructsuper
                NEED(ins.a + 1);
                Value* a = sp - ins.a;
                std::vector<Value> args(a, a + ins.a);
                const Value obj = a[-1];
                sp = a - 1;
                if (obj.IsNullish()) {
                    vm.ThrowError("TypeError", obj.IsNull() ? 1009 : 1010,
                                  ErrorText(obj.IsNull() ? 1009 : 1010));
                    break;
                }
                ClassInfo* base = m->owner ? m->owner->super : nullptr;
                if (base && base->iinit)
                    vm.Invoke(base->iinit, obj, args.data(), ins.a, base->scope);
                break;
            }
            case 0x50:
                NEED(1);
                sp[-1] = MakeNum((ToInt32(vm.ToNumber(sp[-1])) & 1) ? -1 : 0);
                break;
            case 0x51:
                NEED(1);
                sp[-1] = MakeNum(int8_t(ToInt32(vm.ToNumber(sp[-1]))));
                break;
            case 0x52:
                NEED(1);
                sp[-1] = MakeNum(int16_t(ToInt32(vm.ToNumber(sp[-1]))));
                break;
            case 0x53: { // applytype
                NEED(ins.a + 1);
                ClassInfo* param = nullptr;
                if (ins.a >= 1 && sp[-ins.a].IsObject() && sp[-ins.a].o->kind == Kind::Class)
                    param = sp[-ins.a].o->info;
                sp -= ins.a;
                const Value base = POP();
                if (base.IsObject() && base.o->kind == Kind::Class &&
                    base.o->info == vm.vectorClass)
                    PUSH(Value::Obj(vm.VectorOf(param)->object));
                else
                    PUSH(base);
                break;
            }
            case 0x55: { // newobject
                NEED(2 * ins.a);
                Object* o = vm.NewObject();
                o->dyn.reset(new DynProps);
                Value* a = sp - 2 * ins.a;
                for (int i = 0; i < ins.a; ++i)
                    o->dyn->Set(vm.ToString(a[2 * i]), a[2 * i + 1]);
                vm.heap().Account(o, size_t(ins.a) * sizeof(DynProps::Entry));
                sp = a;
                PUSH(Value::Obj(o));
                break;
            }
            case 0x56: { // newarray
                NEED(ins.a);
                Value* a = sp - ins.a;
                std::vector<Value> e(a, sp);
                sp = a;
                PUSH(Value::Obj(vm.NewArray(std::move(e))));
                break;
            }
            case 0x57: { // newactivation
                Object* o = vm.heap().New(Kind::Activation);
                o->own = ActivationTraits();
                vm.InitSlots(o, *o->own);
                PUSH(Value::Obj(o));
                break;
            }
            case 0x58: { // newclass
                NEED(1);
                const Value base = POP();
                ClassInfo* super =
                    base.IsObject() && base.o->kind == Kind::Class ? base.o->info : nullptr;
                // The base given must be the class the definition names: a value that is no
                // class fails as a coercion, null as a null reference, another class verifies
                // wrong. (Interfaces name none and get null.)
                if (abc.f->instances[size_t(ins.a)].superName != 0) {
                    if (base.IsNullish()) {
                        vm.ThrowError("TypeError", 1009, ErrorText(1009));
                        break;
                    }
                    if (!super) {
                        vm.CoerceTo(base, vm.classClass);
                        break;
                    }
                    ClassInfo* named =
                        vm.ResolveClass(abc, abc.f->instances[size_t(ins.a)].superName);
                    if (vm.throwing_)
                        break;
                    if (named && named != super) {
                        vm.ThrowError("VerifyError", 1108,
                                      "Error #1108: The OP_newclass opcode was used with the "
                                      "incorrect base class.");
                        break;
                    }
                }
                ClassInfo* c = vm.NewClass(abc, uint32_t(ins.a), super, Capture());
                PUSH(Value::Obj(c->object));
                break;
            }
            case 0x59: { // getdescendants: XML is not run yet
                Name n;
                Value key;
                bool hasKey;
                if (!ReadName(uint32_t(ins.a), n, key, hasKey))
                    break;
                NEED(1);
                const Value obj = POP();
                vm.ThrowError("TypeError", 1016,
                              "Error #1016: Descendants operator (..) not supported on type " +
                                  vm.DescribeForError(obj) + ".");
                break;
            }
            case 0x5A: { // newcatch
                Object* o = vm.heap().New(Kind::Activation);
                o->own = CatchTraits(uint32_t(ins.a));
                o->dynamicProps = false; // sealed, no prototype: only the caught name
                if (const AbcException& e = body.exceptions[size_t(ins.a)]; e.name != 0)
                    o->str = abc.mns[e.name].name.local;
                o->slots.resize(o->own->slots.size());
                PUSH(Value::Obj(o));
                break;
            }
            case 0x5D:
            case 0x5E:
            case 0x5F:
            case 0x60: {
                Name n;
                Value key;
                bool hasKey;
                if (!ReadName(uint32_t(ins.a), n, key, hasKey))
                    break;
                bool found = false;
                Value holder;
                if (ins.op == 0x5F) {
                    holder = vm.FindGlobal(n, true, &found);
                } else {
                    holder = Find(n, ins.op != 0x5E, &found);
                }
                if (!found && ins.op != 0x5E && ins.op != 0x5F) {
                    vm.ThrowError("ReferenceError", 1065, ErrorText(1065, n.local));
                    break;
                }
                if (vm.throwing_)
                    break;
                if (ins.op == 0x60)
                    PUSH(vm.GetProperty(holder, n));
                else
                    PUSH(holder);
                break;
            }
            case 0x61:   // setproperty
            case 0x68: { // initproperty
                NEED(1);
                const Value v = POP();
                Name n;
                Value key;
                bool hasKey;
                if (!ReadName(uint32_t(ins.a), n, key, hasKey))
                    break;
                NEED(1);
                const Value obj = POP();
                if (const Binding* b = Early(obj, n, hasKey))
                    vm.SetBinding(obj, obj.o, *b, v, ins.op == 0x68, n);
                else
                    Set(obj, n, key, hasKey, v, ins.op == 0x68);
                break;
            }
            case 0x62:
                PUSH(L[ins.a]);
                break;
            case 0x63:
                NEED(1);
                L[ins.a] = POP();
                break;
            case 0x64:
                PUSH(GlobalScope());
                break;
            case 0x65:
                if (uint32_t(ins.a) >= scopeDepth) {
                    vm.ThrowError("VerifyError", 1019,
                                  "Error #1019: Getscopeobject is out of bounds.");
                    goto done;
                }
                PUSH(S[ins.a]);
                break;
            case 0x66: { // getproperty
                Name n;
                Value key;
                bool hasKey;
                if (!ReadName(uint32_t(ins.a), n, key, hasKey))
                    break;
                NEED(1);
                if (const Binding* b = Early(sp[-1], n, hasKey))
                    sp[-1] = vm.GetBinding(sp[-1], sp[-1].o, *b);
                else
                    sp[-1] = Get(sp[-1], n, key, hasKey);
                break;
            }
            case 0x67:
                if (!outer || uint32_t(ins.a) >= outer->values.size()) {
                    vm.ThrowError("VerifyError", 1019,
                                  "Error #1019: Getscopeobject is out of bounds.");
                    goto done;
                }
                PUSH(outer->values[size_t(ins.a)]);
                break;
            case 0x6A: { // deleteproperty
                Name n;
                Value key;
                bool hasKey;
                if (!ReadName(uint32_t(ins.a), n, key, hasKey))
                    break;
                NEED(1);
                const Value obj = sp[-1];
                if (hasKey && obj.IsObject() && obj.o->kind == Kind::Dictionary && key.IsObject())
                    sp[-1] = MakeBool(DictionaryDelete(vm, obj.o, key));
                else
                    sp[-1] = MakeBool(vm.DeleteProperty(obj, n));
                break;
            }
            case 0x6C:   // getslot
            case 0x6E: { // getglobalslot
                Value obj;
                if (ins.op == 0x6C) {
                    NEED(1);
                    obj = POP();
                } else {
                    obj = GlobalScope();
                }
                if (!obj.IsObject()) {
                    vm.ThrowError("TypeError", obj.type == Type::Undefined ? 1010 : 1009,
                                  ErrorText(obj.type == Type::Undefined ? 1010 : 1009));
                    break;
                }
                const uint32_t s = uint32_t(ins.a) - 1;
                PUSH(s < obj.o->slots.size() ? obj.o->slots[s] : Value());
                break;
            }
            case 0x6D:
            case 0x6F: {
                NEED(1);
                const Value v = POP();
                Value obj;
                if (ins.op == 0x6D) {
                    NEED(1);
                    obj = POP();
                } else {
                    obj = GlobalScope();
                }
                if (!obj.IsObject()) {
                    vm.ThrowError("TypeError", 1009, ErrorText(1009));
                    break;
                }
                const uint32_t s = uint32_t(ins.a) - 1;
                if (s < obj.o->slots.size()) {
                    const Traits* t = obj.o->own   ? obj.o->own
                                      : obj.o->cls ? &obj.o->cls->inst
                                                   : nullptr;
                    const SlotType type =
                        t && s < t->slots.size() ? t->slots[s].type : SlotType::Any;
                    if (type == SlotType::Object && !v.IsNullish()) {
                        if (ClassInfo* c = vm.SlotClass(obj.o, s)) {
                            const Value x = vm.CoerceTo(v, c);
                            if (!vm.throwing_)
                                obj.o->slots[s] = x;
                            break;
                        }
                    }
                    obj.o->slots[s] = type == SlotType::Object
                                          ? (v.IsUndefined() ? Value::Null() : v)
                                          : vm.Coerce(v, type);
                }
                break;
            }
            case 0x70: // convert_s
            case 0x85: // coerce_s
                NEED(1);
                if (ins.op == 0x85 && sp[-1].IsNullish())
                    sp[-1] = Value::Null();
                else if (sp[-1].type != Type::String)
                    sp[-1] = Value::Str(vm.ToString(sp[-1]));
                break;
            case 0x71: // esc_xelem
            case 0x72:
                NEED(1);
                sp[-1] = Value::Str(vm.ToString(sp[-1]));
                break;
            case 0x73:
            case 0x83:
                NEED(1);
                sp[-1] = MakeNum(ToInt32(vm.ToNumber(sp[-1])));
                break;
            case 0x74:
            case 0x88:
                NEED(1);
                sp[-1] = MakeNum(ToUint32(vm.ToNumber(sp[-1])));
                break;
            case 0x75:
            case 0x84:
                NEED(1);
                if (sp[-1].type != Type::Number)
                    sp[-1] = MakeNum(vm.ToNumber(sp[-1]));
                break;
            case 0x76:
            case 0x81:
                NEED(1);
                sp[-1] = MakeBool(ToBoolean(sp[-1]));
                break;
            case 0x77: // convert_o
                NEED(1);
                if (sp[-1].IsNullish())
                    vm.ThrowError("TypeError", sp[-1].IsUndefined() ? 1010 : 1009,
                                  ErrorText(sp[-1].IsUndefined() ? 1010 : 1009));
                break;
            case 0x78: // checkfilter
                NEED(1);
                vm.ThrowError("TypeError", 1123, ErrorText(1123, vm.DescribeForError(sp[-1])));
                break;
            case 0x80: { // coerce
                NEED(1);
                const LoadedAbc::Mn& mn = abc.mns[uint32_t(ins.a)];
                if (mn.kind != kTypeName && mn.name.local.get() == "*")
                    break;
                ClassInfo* c = vm.ResolveClass(abc, uint32_t(ins.a));
                if (vm.throwing_)
                    break;
                if (c)
                    sp[-1] = vm.CoerceTo(sp[-1], c);
                else if (sp[-1].IsUndefined())
                    sp[-1] = Value::Null();
                break;
            }
            case 0x82: // coerce_a
                break;
            case 0x89: // coerce_o
                NEED(1);
                if (sp[-1].IsUndefined())
                    sp[-1] = Value::Null();
                break;
            case 0x86:   // astype
            case 0xB2: { // istype
                NEED(1);
                ClassInfo* c = vm.ResolveClass(abc, uint32_t(ins.a));
                if (vm.throwing_)
                    break;
                const bool is = vm.IsInstance(sp[-1], c);
                if (ins.op == 0xB2)
                    sp[-1] = MakeBool(is);
                else if (!is)
                    sp[-1] = Value::Null();
                break;
            }
            case 0x87:   // astypelate
            case 0xB3: { // istypelate
                NEED(2);
                const Value t = POP();
                if (!t.IsObject() || t.o->kind != Kind::Class) {
                    vm.ThrowError("TypeError", 1041, ErrorText(1041));
                    break;
                }
                const bool is = vm.IsInstance(sp[-1], t.o->info);
                if (ins.op == 0xB3)
                    sp[-1] = MakeBool(is);
                else if (!is)
                    sp[-1] = Value::Null();
                break;
            }
            case 0x90:
                NEED(1);
                sp[-1] = MakeNum(-vm.ToNumber(sp[-1]));
                break;
            case 0x91:
                NEED(1);
                sp[-1] = MakeNum(vm.ToNumber(sp[-1]) + 1);
                break;
            case 0x93:
                NEED(1);
                sp[-1] = MakeNum(vm.ToNumber(sp[-1]) - 1);
                break;
            case 0x92:
                L[ins.a] = MakeNum(vm.ToNumber(L[ins.a]) + 1);
                break;
            case 0x94:
                L[ins.a] = MakeNum(vm.ToNumber(L[ins.a]) - 1);
                break;
            case 0xC2:
                L[ins.a] = MakeNum(double(int32_t(uint32_t(ToInt32(vm.ToNumber(L[ins.a]))) + 1u)));
                break;
            case 0xC3:
                L[ins.a] = MakeNum(double(int32_t(uint32_t(ToInt32(vm.ToNumber(L[ins.a]))) - 1u)));
                break;
            case 0xC0:
                NEED(1);
                sp[-1] = MakeNum(double(int32_t(uint32_t(ToInt32(vm.ToNumber(sp[-1]))) + 1u)));
                break;
            case 0xC1:
                NEED(1);
                sp[-1] = MakeNum(double(int32_t(uint32_t(ToInt32(vm.ToNumber(sp[-1]))) - 1u)));
                break;
            case 0xC4:
                NEED(1);
                sp[-1] = MakeNum(double(int32_t(0u - uint32_t(ToInt32(vm.ToNumber(sp[-1]))))));
                break;
            case 0x95:
                NEED(1);
                sp[-1] = Value::Str(vm.TypeOf(sp[-1]));
                break;
            case 0x96:
                NEED(1);
                sp[-1] = MakeBool(!ToBoolean(sp[-1]));
                break;
            case 0x97:
                NEED(1);
                sp[-1] = MakeNum(~ToInt32(vm.ToNumber(sp[-1])));
                break;
            case 0xA0: {
                NEED(2);
                const Value b = POP();
                if (sp[-1].type == Type::Number && b.type == Type::Number)
                    sp[-1].n += b.n;
                else
                    sp[-1] = vm.Add(sp[-1], b);
                break;
            }
            case 0xA1:
            case 0xA2:
            case 0xA3:
            case 0xA4: {
                NEED(2);
                const Value bv = POP();
                const double b = bv.type == Type::Number ? bv.n : vm.ToNumber(bv);
                const double a = sp[-1].type == Type::Number ? sp[-1].n : vm.ToNumber(sp[-1]);
                double r;
                switch (ins.op) {
                case 0xA1:
                    r = a - b;
                    break;
                case 0xA2:
                    r = a * b;
                    break;
                case 0xA3:
                    r = a / b;
                    break;
                default:
                    r = std::fmod(a, b);
                    break;
                }
                sp[-1] = MakeNum(r);
                break;
            }
            case 0xA5:
            case 0xA6:
            case 0xA7:
            case 0xA8:
            case 0xA9:
            case 0xAA:
            case 0xC5:
            case 0xC6:
            case 0xC7: {
                NEED(2);
                const Value bv = POP();
                const int32_t b = ToInt32(vm.ToNumber(bv));
                const int32_t a = ToInt32(vm.ToNumber(sp[-1]));
                double r;
                switch (ins.op) {
                case 0xA5:
                    r = double(int32_t(uint32_t(a) << (b & 31)));
                    break;
                case 0xA6:
                    r = double(a >> (b & 31));
                    break;
                case 0xA7:
                    r = double(uint32_t(a) >> (b & 31));
                    break;
                case 0xA8:
                    r = double(a & b);
                    break;
                case 0xA9:
                    r = double(a | b);
                    break;
                case 0xAA:
                    r = double(a ^ b);
                    break;
                case 0xC5:
                    r = double(int32_t(uint32_t(a) + uint32_t(b)));
                    break;
                case 0xC6:
                    r = double(int32_t(uint32_t(a) - uint32_t(b)));
                    break;
                default:
                    r = double(int32_t(uint32_t(a) * uint32_t(b)));
                    break;
                }
                sp[-1] = MakeNum(r);
                break;
            }
            case 0xAB:
            case 0xAC: {
                NEED(2);
                const Value b = POP();
                sp[-1] =
                    MakeBool(ins.op == 0xAB ? vm.Equals(sp[-1], b) : vm.StrictEquals(sp[-1], b));
                break;
            }
            case 0xAD:
            case 0xAE:
            case 0xAF:
            case 0xB0: {
                NEED(2);
                const Value b = POP(), a = sp[-1];
                bool r;
                if (a.type == Type::Number && b.type == Type::Number) {
                    r = ins.op == 0xAD   ? a.n < b.n
                        : ins.op == 0xAE ? a.n <= b.n
                        : ins.op == 0xAF ? a.n > b.n
                                         : a.n >= b.n;
                } else {
                    Value x;
                    switch (ins.op) {
                    case 0xAD:
                        x = vm.Less(a, b);
                        r = x.type == Type::Boolean && x.b;
                        break;
                    case 0xAE:
                        x = vm.Less(b, a);
                        r = x.type == Type::Boolean && !x.b;
                        break;
                    case 0xAF:
                        x = vm.Less(b, a);
                        r = x.type == Type::Boolean && x.b;
                        break;
                    default:
                        x = vm.Less(a, b);
                        r = x.type == Type::Boolean && !x.b;
                        break;
                    }
                }
                sp[-1] = MakeBool(r);
                break;
            }
            case 0xB1: { // instanceof
                NEED(2);
                const Value t = POP(), v = sp[-1];
                bool r = false;
                if (t.IsObject() && t.o->kind == Kind::Class && !v.IsObject()) {
                    r = !v.IsNullish() && vm.IsInstance(v, t.o->info) && !t.o->info->isInterface;
                } else if (t.IsObject() &&
                           (t.o->kind == Kind::Function || t.o->kind == Kind::Class)) {
                    // An object is an instance of what has its prototype on its chain.
                    const Value proto = t.o->kind == Kind::Class ? Value::Obj(t.o->info->prototype)
                                                                 : vm.Get(t, "prototype");
                    if (v.IsObject() && proto.IsObject())
                        for (Object* p = v.o->proto; p; p = p->proto)
                            if (p == proto.o)
                                r = true;
                } else {
                    vm.ThrowError("TypeError", 1040, ErrorText(1040));
                }
                sp[-1] = MakeBool(r);
                break;
            }
            case 0xB4: { // in
                NEED(2);
                const Value obj = POP(), key = sp[-1];
                if (obj.IsObject() && obj.o->kind == Kind::Dictionary && key.IsObject()) {
                    Value out;
                    sp[-1] = MakeBool(DictionaryGet(vm, obj.o, key, &out));
                } else if (obj.IsNullish()) {
                    vm.ThrowError("TypeError", 1009, ErrorText(1009));
                } else if (obj.IsObject() && vm.IsProxy(obj.o)) {
                    Value name = Value::Str(vm.ToString(key)); // a QName as "uri::name"
                    sp[-1] = MakeBool(ToBoolean(vm.ProxyHook(obj.o, "hasProperty", &name, 1)));
                } else {
                    sp[-1] = MakeBool(vm.HasProperty(obj, Name::Public(vm.ToString(key))));
                }
                break;
            }
            case 0xD0:
            case 0xD1:
            case 0xD2:
            case 0xD3:
                if (uint32_t(ins.op - 0xD0) >= body.localCount) {
                    vm.ThrowError("VerifyError", 1025,
                                  "Error #1025: An invalid register was accessed.");
                    goto done;
                }
                PUSH(L[ins.op - 0xD0]);
                break;
            case 0xD4:
            case 0xD5:
            case 0xD6:
            case 0xD7:
                NEED(1);
                if (uint32_t(ins.op - 0xD4) >= body.localCount) {
                    vm.ThrowError("VerifyError", 1025,
                                  "Error #1025: An invalid register was accessed.");
                    goto done;
                }
                L[ins.op - 0xD4] = POP();
                break;
            default:
                vm.ThrowError("VerifyError", 1011, "Error #1011: Method contained illegal opcode.");
                goto done;
            }
#undef POP
#undef PUSH
#undef NEED
            if (vm.throwing_) {
                if (vm.aborted())
                    goto done;
                const AbcException* handler = nullptr;
                for (const AbcException& e : body.exceptions) {
                    if (at < e.from || at >= e.to)
                        continue;
                    if (e.type != 0) {
                        // Resolving may run a script's initialiser: not while throwing.
                        const Value pending = vm.TakeThrown();
                        ClassInfo* c = vm.ResolveClass(abc, e.type);
                        vm.TakeThrown();
                        vm.Throw(pending);
                        if (c && !vm.IsInstance(pending, c))
                            continue;
                    }
                    handler = &e;
                    break;
                }
                if (!handler)
                    goto done;
                for (Value* p = stackBase; p < sp; ++p)
                    *p = Value();
                sp = stackBase;
                for (uint32_t i = 0; i < scopeDepth; ++i)
                    S[i] = Value();
                scopeDepth = 0;
                *sp++ = vm.TakeThrown();
                pc = handler->target;
            }
        }
    }
done:
    for (Value* p = L; p < L + need && p < &vm.stack_[0] + vm.stack_.size(); ++p)
        *p = Value();
    vm.top_ = base;
    return result;
}

} // namespace avm2
