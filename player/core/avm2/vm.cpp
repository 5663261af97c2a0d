#include "player/core/avm2/vm.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cmath>

#include "player/core/avm2/media.h"
#include "player/core/avm2/vm_internal.h"
#include "player/core/swf/reserve.h"

namespace avm2 {

std::string ErrorText(int code, std::string_view av, std::string_view bv, std::string_view cv) {
    const std::string a(av), b(bv), c(cv);
    std::string t;
    switch (code) {
    case 1001:
        t = "The method " + a + " is not implemented.";
        break;
    case 1006:
        t = a + " is not a function.";
        break;
    case 1007:
        t = "Instantiation attempted on a non-constructor.";
        break;
    case 1009:
        t = "Cannot access a property or method of a null object reference.";
        break;
    case 1010:
        t = "A term is undefined and has no properties.";
        break;
    case 1014:
        t = "Class " + a + " could not be found.";
        break;
    case 1023:
        t = "Stack overflow occurred.";
        break;
    case 1034:
        t = "Type Coercion failed: cannot convert " + a + " to " + b + ".";
        break;
    case 1037:
        t = "Cannot assign to a method " + a + " on " + b + ".";
        break;
    case 1040:
        t = "The right-hand side of instanceof must be a class or function.";
        break;
    case 1041:
        t = "The right-hand side of operator must be a class.";
        break;
    case 1056:
        t = "Cannot create property " + a + " on " + b + ".";
        break;
    case 1063:
        t = "Argument count mismatch on " + a + ". Expected " + b + ", got " + c + ".";
        break;
    case 1065:
        t = "Variable " + a + " is not defined.";
        break;
    case 1069:
        t = "Property " + a + " not found on " + b + " and there is no default value.";
        break;
    case 1070:
        t = "Method " + a + " not found on " + b;
        break;
    case 1074:
        t = "Illegal write to read-only property " + a + " on " + b + ".";
        break;
    case 1077:
        t = "Illegal read of write-only property " + a + " on " + b + ".";
        break;
    case 1112:
        t = "Argument count mismatch on class coercion.  Expected 1, got " + a + ".";
        break;
    case 1115:
        t = a + " is not a constructor.";
        break;
    case 1123:
        t = "Filter operator not supported on type " + a + ".";
        break;
    case 1125:
        t = "The index " + a + " is out of range " + b + ".";
        break;
    case 1126:
        t = "Cannot change the length of a fixed Vector.";
        break;
    case 2007:
        t = "Parameter " + a + " must be non-null.";
        break;
    case 2025:
        t = "The supplied DisplayObject must be a child of the caller.";
        break;
    case 2006:
        t = "The supplied index is out of bounds.";
        break;
    default:
        t = a;
        break;
    }
    return "Error #" + std::to_string(code) + ": " + t;
}

Vm::Vm(Limits limits) : limits_(limits), heap_(limits.memoryBytes) {
    InternNs(kGroupPublic, "");
    InternNs(kGroupPublic, "http://adobe.com/AS3/2006/builtin");
    stack_.resize(limits_.maxStack);
    globalObject = heap_.New(Kind::Global);
    globalObject->own = &globalTraits_;
    InstallBuiltins();
}

Vm::~Vm() = default;

int Vm::InternNs(int group, const std::string& uri) {
    if (group == kGroupPrivate)
        return ((nextNs_++) << 3) | group;
    auto key = std::make_pair(group, uri);
    auto it = nsIds_.find(key);
    if (it != nsIds_.end())
        return it->second;
    const int id = ((nextNs_++) << 3) | group;
    nsIds_[key] = id;
    return id;
}

double Vm::Now() {
    return clock_ ? clock_() : 0;
}

// The time budget counts real time, whatever clock the scripts are shown.
static double SteadyMs() {
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double Vm::WallNow() {
    if (wall_)
        return wall_();
    return double(std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::system_clock::now().time_since_epoch())
                      .count());
}

double Vm::Random() {
    rng_ ^= rng_ << 13;
    rng_ ^= rng_ >> 7;
    rng_ ^= rng_ << 17;
    return double(rng_ >> 11) / 9007199254740992.0;
}

void Vm::Emit(Channel c, const std::string& text) {
    if (sink_)
        sink_(c, text);
}

void Vm::Abort(RunResult why) {
    if (abort_ == RunResult::Done)
        abort_ = why;
}

bool Vm::StringFits(size_t bytes) {
    // A long string the system cannot give is Flash's out-of-memory error, not the reserve's.
    if (bytes <= limits_.maxStringBytes && memory::Obtainable(bytes))
        return true;
    ThrowError("Error", 1000, "The system is out of memory.");
    return false;
}

bool Vm::Budget() {
    if (frameOver_ || abort_ != RunResult::Done)
        return false;
    ++totalInstructions_;
    if (++budgetUsed_ > limits_.instructionsPerFrame) {
        frameOver_ = true;
        Abort(RunResult::Abandoned);
        return false;
    }
    if ((budgetUsed_ & 4095) == 0) {
        if (SteadyMs() - frameStart_ > limits_.millisecondsPerFrame) {
            frameOver_ = true;
            Abort(RunResult::Abandoned);
            return false;
        }
        // Natives hold objects the collector cannot see: no collection mid-script. A
        // refusal by the system (the reserve took its place) stops the movie at the facade.
        if (heap_.OverCap() || memory::Failures() != failuresAtFrame_) {
            Abort(RunResult::OutOfMemory);
            return false;
        }
    }
    return true;
}

void Vm::BeginFrame() {
    budgetUsed_ = 0;
    frameOver_ = false;
    frameStart_ = SteadyMs();
    failuresAtFrame_ = memory::Failures();
    abort_ = RunResult::Done;
}

void Vm::EndFrame() {
    enums_.clear();
    if (heap_.Used() > liveAfterCollect_ * 2 + (4u << 20))
        CollectGarbage();
}

// ---- definitions ----

ClassInfo* Vm::DefineClass(const char* uri, const char* name, ClassInfo* super, Kind kind,
                           NativeFn ctor, NativeFn call) {
    classes_.emplace_back(new ClassInfo);
    ClassInfo* c = classes_.back().get();
    c->name = name;
    c->uri = uri;
    c->super = super;
    c->kind = super && kind == Kind::Plain ? super->kind : kind;
    c->call = call;
    if (super) {
        c->inst = super->inst;
    }
    c->iinit = NativeMethod(name, ctor);
    c->iinit->owner = c;
    // The class object and its prototype.
    Object* obj = heap_.New(Kind::Class);
    obj->info = c;
    obj->own = &c->stat;
    obj->cls = classClass;
    obj->proto = classClass ? classClass->prototype : nullptr;
    c->object = obj;
    Object* proto = heap_.New(Kind::Plain);
    proto->cls = objectClass;
    proto->proto = super ? super->prototype : nullptr;
    c->prototype = proto;
    proto->dyn.reset(new DynProps);
    proto->dyn->Set("constructor", Value::Obj(obj), false);
    DefineConstant(uri, name, Value::Obj(obj));
    builtins_[c->name] = c;
    if (*uri)
        builtins_[c->uri + "::" + c->name] = c;
    return c;
}

void Vm::DefineFunction(const char* uri, const char* name, NativeFn fn) {
    DefineConstant(uri, name, Value::Obj(NewNativeFunction(name, fn)));
}

void Vm::DefineConstant(const char* uri, const char* name, const Value& v) {
    Binding* b = globalTraits_.Add(name, InternNs(kGroupPublic, uri));
    b->k = Binding::Const;
    b->slot = uint32_t(globalTraits_.slots.size());
    SlotInit init;
    init.slot = b->slot;
    init.value = v;
    globalTraits_.slots.push_back(init);
    if (globalObject) // the global object itself is made after the first classes
        globalObject->slots.push_back(v);
}

void Vm::AddConstant(ClassInfo* c, const char* name, const Value& v) {
    Binding* b = c->stat.Add(name, kAnyNs);
    b->k = Binding::Const;
    b->slot = uint32_t(c->stat.slots.size());
    SlotInit init;
    init.slot = b->slot;
    init.value = v;
    c->stat.slots.push_back(init);
    c->object->slots.push_back(v);
}

Method* Vm::NativeMethod(const char* name, NativeFn fn) {
    methods_.emplace_back(new Method);
    Method* m = methods_.back().get();
    m->native = fn;
    m->name = name;
    return m;
}

Method* Vm::AddMethod(ClassInfo* c, const char* name, NativeFn fn, bool isStatic) {
    Binding* b = (isStatic ? c->stat : c->inst).Add(name, kAnyNs);
    b->k = Binding::Method;
    b->method = NativeMethod(name, fn);
    b->method->owner = c;
    b->method->isStatic = isStatic;
    return b->method;
}

void Vm::AddGetter(ClassInfo* c, const char* name, NativeFn get, NativeFn set, bool isStatic) {
    Binding* b = (isStatic ? c->stat : c->inst).Add(name, kAnyNs);
    b->k = Binding::Accessor;
    b->getter = get ? NativeMethod(name, get) : nullptr;
    b->setter = set ? NativeMethod(name, set) : nullptr;
    if (b->getter)
        b->getter->owner = c;
    if (b->setter)
        b->setter->owner = c;
}

void Vm::AddProtoMethod(ClassInfo* c, const char* name, NativeFn fn) {
    c->prototype->dyn->Set(name, Value::Obj(NewNativeFunction(name, fn)), false);
}

static const Value kUndefinedArg;

const Value& Arg(Value* args, int argc, int i) {
    return i < argc ? args[i] : kUndefinedArg;
}

Value Vm::Get(const Value& obj, const char* name) {
    return GetProperty(obj, Name::Public(name));
}

void Vm::Set(const Value& obj, const char* name, const Value& v) {
    SetProperty(obj, Name::Public(name), v);
}

void Vm::AddNatives(ClassInfo* c, const Native* natives, size_t count) {
    for (const Native* n = natives; n != natives + count; ++n) {
        switch (n->how) {
        case Native::Method:
        case Native::StaticMethod:
            AddMethod(c, n->name, n->fn, n->how == Native::StaticMethod);
            break;
        case Native::Accessor:
        case Native::StaticAccessor:
            AddGetter(c, n->name, n->fn, n->set, n->how == Native::StaticAccessor);
            break;
        case Native::ProtoMethod:
            AddProtoMethod(c, n->name, n->fn);
            break;
        }
    }
}

ClassInfo* Vm::Builtin(const char* name) const {
    auto it = builtins_.find(name);
    return it == builtins_.end() ? nullptr : it->second;
}

Object* Vm::NewObject() {
    return NewInstance(objectClass);
}

Object* Vm::NewArray(std::vector<Value> elements) {
    Object* a = NewInstance(arrayClass);
    heap_.Account(a, elements.size() * sizeof(Value));
    a->elems = std::move(elements);
    return a;
}

Object* Vm::NewInstance(ClassInfo* c) {
    Object* o = heap_.New(c->kind);
    o->cls = c;
    o->proto = c->prototype;
    o->dynamicProps = !c->sealed;
    InitSlots(o, c->inst);
    return o;
}

void Vm::InitSlots(Object* o, const Traits& t) {
    if (t.slots.empty())
        return;
    o->slots.resize(t.slots.size());
    for (size_t i = 0; i < t.slots.size(); ++i)
        o->slots[i] = t.slots[i].value;
    heap_.Account(o, t.slots.size() * sizeof(Value));
}

Object* Vm::NewFunction(Method* m, ScopeRef scope, const Value& bound) {
    Object* f = heap_.New(Kind::Function);
    f->cls = functionClass;
    f->proto = functionClass ? functionClass->prototype : nullptr;
    f->method = m;
    f->scope = std::move(scope);
    f->bound = bound;
    return f;
}

Object* Vm::NewNativeFunction(const char* name, NativeFn fn) {
    return NewFunction(NativeMethod(name, fn), nullptr);
}

Value Vm::NewError(const char* cls, int code, std::string_view message) {
    ClassInfo* c = Builtin(cls);
    if (!c)
        c = Builtin("Error");
    Value args[2] = {Value::Str(std::string(message)), Value::Num(code)};
    return ConstructClass(c, args, 2);
}

Value Vm::ThrowError(const char* cls, int code, std::string_view message) {
    if (throwing_)
        return Value();
    return Throw(NewError(cls, code, message));
}

Value Vm::Throw(const Value& v) {
    throwing_ = true;
    thrown_ = v;
    return Value();
}

// ---- loading ----

AbcStatus Vm::LoadAbc(const uint8_t* data, size_t size, bool lazy) {
    std::unique_ptr<LoadedAbc> abc(new LoadedAbc);
    abc->f.reset(new AbcFile);
    size_t where = 0;
    const AbcStatus status = ReadAbc(data, size, abc->f.get(), &where);
    if (status != AbcStatus::Ok) {
        Notice(std::string("ActionScript 3 block refused: ") + AbcStatusText(status) + " at byte " +
               std::to_string(where));
        return status;
    }
    const AbcFile& f = *abc->f;
    for (const std::string& s : f.strings)
        abc->strings.emplace_back(s);
    abc->ns.resize(f.namespaces.size(), kPublicNs);
    for (size_t i = 1; i < f.namespaces.size(); ++i) {
        const AbcNamespace& n = f.namespaces[i];
        int group = kGroupPublic;
        switch (n.kind) {
        case kNsPrivate:
            group = kGroupPrivate;
            break;
        case kNsInternal:
            group = kGroupInternal;
            break;
        case kNsProtected:
            group = kGroupProtected;
            break;
        case kNsStaticProtected:
            group = kGroupStaticProtected;
            break;
        case kNsExplicit:
            group = kGroupExplicit;
            break;
        default:
            break;
        }
        abc->ns[i] = InternNs(group, f.strings[n.name]);
    }
    abc->sets.resize(f.nsSets.size());
    for (size_t i = 0; i < f.nsSets.size(); ++i)
        for (uint32_t n : f.nsSets[i])
            abc->sets[i].push_back(abc->ns[n]);
    abc->mns.resize(f.multinames.size());
    for (size_t i = 0; i < f.multinames.size(); ++i) {
        const AbcMultiname& m = f.multinames[i];
        LoadedAbc::Mn& r = abc->mns[i];
        r.kind = m.kind;
        r.rtName = m.RuntimeName();
        r.rtNs = m.RuntimeNs();
        r.name.attribute = m.Attribute();
        if (m.kind == kTypeName) {
            r.name = abc->mns[m.base].name;
            continue;
        }
        r.name.local = abc->strings[m.name];
        r.name.anyName = m.name == 0 && !r.rtName;
        if (m.kind == kQName || m.kind == kQNameA) {
            r.name.single = abc->ns[m.ns];
            r.name.anyNs = m.ns == 0;
        } else if (m.kind == kMultiname || m.kind == kMultinameA || m.kind == kMultinameL ||
                   m.kind == kMultinameLA) {
            r.name.set = &abc->sets[m.nsSet];
        }
    }
    abc->methods.resize(f.methods.size(), nullptr);
    abc->classes.resize(f.instances.size(), nullptr);
    LoadedAbc* loaded = abc.get();
    abcs_.push_back(std::move(abc));
    Script* last = nullptr;
    for (uint32_t i = 0; i < f.scripts.size(); ++i) {
        scripts_.emplace_back(new Script);
        Script* s = scripts_.back().get();
        s->abc = loaded;
        s->index = i;
        s->global = heap_.New(Kind::Global);
        s->global->cls = objectClass;
        s->global->proto = objectClass->prototype;
        LinkTraits(*loaded, f.scripts[i].traits, &s->traits, nullptr, false, 0);
        s->global->own = &s->traits;
        InitSlots(s->global, s->traits);
        for (const AbcTrait& t : f.scripts[i].traits) {
            const LoadedAbc::Mn& mn = loaded->mns[t.name];
            defs_[mn.name.local].emplace_back(mn.name.single, s);
        }
        last = s;
    }
    if (!lazy && last)
        EnsureScript(last);
    return AbcStatus::Ok;
}

Method* Vm::MethodOf(LoadedAbc& abc, uint32_t index) {
    if (abc.methods[index])
        return abc.methods[index];
    methods_.emplace_back(new Method);
    Method* m = methods_.back().get();
    m->abc = abc.f.get();
    m->loaded = &abc;
    m->index = index;
    const AbcMethod& am = abc.f->methods[index];
    m->body = am.body >= 0 ? &abc.f->bodies[size_t(am.body)] : nullptr;
    m->name = abc.f->strings[am.name];
    abc.methods[index] = m;
    return m;
}

Value Vm::ConstValue(const LoadedAbc& abc, uint8_t kind, uint32_t index) {
    const AbcFile& f = *abc.f;
    switch (kind) {
    case kCInt:
        return Value::Num(f.ints[index]);
    case kCUInt:
        return Value::Num(f.uints[index]);
    case kCDouble:
        return Value::Num(f.doubles[index]);
    case kCUtf8:
        return Value::Str(abc.strings[index]);
    case kCTrue:
        return Value::Bool(true);
    case kCFalse:
        return Value::Bool(false);
    case kCNull:
        return Value::Null();
    case kCUndefined:
        return Value();
    default: {
        Object* ns = heap_.New(Kind::Namespace);
        ns->cls = namespaceClass;
        ns->proto = namespaceClass ? namespaceClass->prototype : nullptr;
        ns->str = abc.strings[f.namespaces[index].name];
        ns->num = abc.ns[index];
        return Value::Obj(ns);
    }
    }
}

SlotType Vm::SlotTypeOf(const LoadedAbc& abc, uint32_t typeName) {
    if (typeName == 0)
        return SlotType::Any;
    const LoadedAbc::Mn& mn = abc.mns[typeName];
    if (mn.kind == kTypeName || mn.rtName || mn.rtNs)
        return SlotType::Object;
    const std::string& n = mn.name.local;
    const bool pub = mn.name.single == kPublicNs || mn.name.HasPublic();
    if (!pub)
        return SlotType::Object;
    if (n == "int")
        return SlotType::Int;
    if (n == "uint")
        return SlotType::Uint;
    if (n == "Number")
        return SlotType::Number;
    if (n == "Boolean")
        return SlotType::Boolean;
    if (n == "String")
        return SlotType::String;
    return SlotType::Object; // Object too: it holds undefined as null
}

// A trait's method as a stack trace names it: the class, "$" when static, a namespace's uri
// only when it is a user namespace, then the name.
std::string Vm::FrameName(const LoadedAbc& abc, const ClassInfo* owner, bool isStatic,
                          uint32_t multiname, const char* accessor) {
    const AbcMultiname& mn = abc.f->multinames[multiname];
    std::string ns;
    if (mn.ns < abc.f->namespaces.size()) {
        const AbcNamespace& n = abc.f->namespaces[mn.ns];
        if (n.kind == kNsNamespace && !abc.f->strings[n.name].empty())
            ns = abc.f->strings[n.name] + "::";
    }
    std::string out = owner ? owner->QualifiedName() + (isStatic ? "$/" : "/") : std::string();
    return out + accessor + ns + abc.f->strings[mn.name];
}

std::string Vm::Report(const Value& thrown) {
    const std::string text = ToString(thrown);
    if (thrown.IsObject() && thrown.o->kind == Kind::Error)
        return text + thrown.o->str.get();
    return text;
}

std::string Vm::StackTrace() const {
    std::string out;
    for (size_t i = frames_.size(); i-- > 0;) {
        const Method* m = frames_[i];
        out += "\n\tat " +
               (m->frame.empty() ? "MethodInfo-" + std::to_string(m->index) : m->frame) + "()";
    }
    return out;
}

void Vm::LinkTraits(LoadedAbc& abc, const std::vector<AbcTrait>& src, Traits* out, ClassInfo* owner,
                    bool isStatic, uint32_t baseSlots) {
    for (const AbcTrait& t : src) {
        const LoadedAbc::Mn& mn = abc.mns[t.name];
        const std::string& name = mn.name.local;
        int ns = mn.name.single;
        // An override in a subclass's protected namespace replaces the base's binding.
        if (NsGroup(ns) == kGroupProtected || NsGroup(ns) == kGroupStaticProtected) {
            auto it = out->map.find(name);
            if (it != out->map.end())
                for (Binding& b : it->second)
                    if (NsGroup(b.ns) == NsGroup(ns))
                        ns = b.ns;
        }
        switch (t.kind) {
        case kTraitSlot:
        case kTraitConst:
        case kTraitClass:
        case kTraitFunction: {
            Binding* b = out->Add(name, ns);
            b->k = t.kind == kTraitConst ? Binding::Const : Binding::Slot;
            uint32_t slot;
            if (t.slotId == 0 || t.slotId > 1u << 16) {
                slot = uint32_t(out->slots.size());
            } else {
                slot = t.slotId - 1;
                if (slot < baseSlots)
                    slot += baseSlots;
            }
            if (slot >= out->slots.size())
                out->slots.resize(slot + 1);
            b->slot = slot;
            SlotInit& init = out->slots[slot];
            init.slot = slot;
            init.abc = abc.f.get();
            if (t.kind == kTraitSlot || t.kind == kTraitConst) {
                init.typeName = t.type;
                init.type = SlotTypeOf(abc, t.type);
                b->type = init.type;
                if (t.index != 0) {
                    init.value = Coerce(ConstValue(abc, t.valueKind, t.index), init.type);
                } else {
                    switch (init.type) {
                    case SlotType::Int:
                    case SlotType::Uint:
                        init.value = Value::Num(0);
                        break;
                    case SlotType::Number:
                        init.value = Value::Num(std::nan(""));
                        break;
                    case SlotType::Boolean:
                        init.value = Value::Bool(false);
                        break;
                    case SlotType::String:
                    case SlotType::Object:
                        init.value = Value::Null();
                        break;
                    case SlotType::Any:
                        init.value = t.type == 0 ? Value() : Value::Null();
                        break;
                    }
                }
            } else if (t.kind == kTraitFunction) {
                init.value = Value::Obj(NewFunction(MethodOf(abc, t.index), nullptr));
            } else {
                init.value = Value::Null();
                init.type = SlotType::Object;
            }
            break;
        }
        case kTraitMethod: {
            Binding* b = out->Add(name, ns);
            b->k = Binding::Method;
            b->method = MethodOf(abc, t.index);
            b->method->owner = owner;
            b->method->isStatic = isStatic;
            if (owner)
                b->method->name = owner->name + "/" + name;
            b->method->frame = FrameName(abc, owner, isStatic, t.name, "");
            break;
        }
        case kTraitGetter:
        case kTraitSetter: {
            Binding* b = out->Add(name, ns);
            if (b->k != Binding::Accessor) {
                b->k = Binding::Accessor;
                b->method = nullptr;
            }
            Method* m = MethodOf(abc, t.index);
            m->owner = owner;
            m->isStatic = isStatic;
            m->frame =
                FrameName(abc, owner, isStatic, t.name, t.kind == kTraitGetter ? "get " : "set ");
            (t.kind == kTraitGetter ? b->getter : b->setter) = m;
            break;
        }
        default:
            break;
        }
    }
}

bool Vm::EnsureScript(Script* s) {
    if (s->state != 0)
        return true;
    s->state = 1;
    Method* init = MethodOf(*s->abc, s->abc->f->scripts[s->index].init);
    init->frame = "global$init";
    std::shared_ptr<Scope> scope(new Scope);
    scope->values.push_back(Value::Obj(s->global));
    scope->with.push_back(0);
    Invoke(init, Value::Obj(s->global), nullptr, 0, nullptr);
    s->state = 2;
    if (throwing_) {
        return false;
    }
    return true;
}

Script* Vm::FindScript(const Name& n, std::string* local) {
    auto it = defs_.find(n.local);
    if (it == defs_.end())
        return nullptr;
    for (auto& d : it->second) {
        if (n.Has(d.first) || (n.anyNs)) {
            *local = n.local;
            return d.second;
        }
    }
    return nullptr;
}

Value Vm::FindGlobal(const Name& n, bool strict, bool* found) {
    *found = true;
    if (!n.anyName) {
        const Binding* b = globalTraits_.Find(n.local, n);
        if (b)
            return Value::Obj(globalObject);
        std::string local;
        if (Script* s = FindScript(n, &local)) {
            EnsureScript(s);
            return Value::Obj(s->global);
        }
    }
    *found = false;
    (void)strict;
    return Value::Obj(globalObject);
}

Value Vm::FindDefinition(const std::string& qualified) {
    // Vector.<T>, with or without its package, T named any way a definition may be.
    const std::string vec = "Vector.<";
    const size_t at = qualified.compare(0, 13, "__AS3__.vec::") == 0 ? 13 : 0;
    if (qualified.compare(at, vec.size(), vec) == 0 && qualified.back() == '>' &&
        qualified.size() < 1024) {
        const std::string inner =
            qualified.substr(at + vec.size(), qualified.size() - at - vec.size() - 1);
        if (inner == "*")
            return Value::Obj(VectorOf(nullptr)->object);
        const Value t = FindDefinition(inner);
        if (throwing_ || !t.IsObject() || t.o->kind != Kind::Class)
            return Value();
        return Value::Obj(VectorOf(t.o->info)->object);
    }
    std::string uri, name = qualified;
    size_t cut = qualified.rfind("::");
    if (cut != std::string::npos) {
        uri = qualified.substr(0, cut);
        name = qualified.substr(cut + 2);
    } else if ((cut = qualified.rfind('.')) != std::string::npos) {
        uri = qualified.substr(0, cut);
        name = qualified.substr(cut + 1);
    }
    Name n;
    n.local = name;
    n.single = InternNs(kGroupPublic, uri);
    bool found = false;
    const Value holder = FindGlobal(n, true, &found);
    if (!found)
        return Value();
    return GetProperty(holder, n);
}

std::vector<std::string> Vm::DefinitionNames() const {
    std::vector<std::string> out;
    for (const auto& s : scripts_) {
        const AbcFile& f = *s->abc->f;
        for (const AbcTrait& t : f.scripts[s->index].traits) {
            const AbcMultiname& mn = f.multinames[t.name];
            if (mn.ns >= f.namespaces.size() || f.namespaces[mn.ns].kind != kNsPackage)
                continue;
            const std::string& uri = f.strings[f.namespaces[mn.ns].name];
            out.push_back(uri.empty() ? f.strings[mn.name] : uri + "::" + f.strings[mn.name]);
        }
    }
    return out;
}

Value Vm::DefinitionOrError(const std::string& qualified) {
    const Value v = FindDefinition(qualified);
    if (throwing_ || !v.IsUndefined())
        return throwing_ ? Value() : v;
    return ThrowError("ReferenceError", 1065,
                      "Error #1065: Variable " + qualified + " is not defined.");
}

ClassInfo* Vm::FindClass(const std::string& qualified) {
    const Value v = FindDefinition(qualified);
    if (throwing_)
        return nullptr;
    return v.IsObject() && v.o->kind == Kind::Class ? v.o->info : nullptr;
}

ClassInfo* Vm::ResolveClass(const LoadedAbc& abcConst, uint32_t multiname) {
    LoadedAbc& abc = const_cast<LoadedAbc&>(abcConst);
    if (multiname == 0)
        return nullptr;
    LoadedAbc::Mn& mn = abc.mns[multiname];
    if (mn.resolved)
        return mn.cls;
    const AbcMultiname& am = abc.f->multinames[multiname];
    if (am.kind == kTypeName) {
        ClassInfo* base = ResolveClass(abc, am.base);
        ClassInfo* param = am.params.empty() ? nullptr : ResolveClass(abc, am.params[0]);
        mn.cls = base == vectorClass ? VectorOf(param) : base;
        mn.resolved = mn.cls != nullptr;
        return mn.cls;
    }
    if (mn.name.local.get() == "*" || mn.rtName || mn.rtNs)
        return nullptr;
    bool found = false;
    const Value holder = FindGlobal(mn.name, true, &found);
    if (!found)
        return nullptr;
    const Value v = GetProperty(holder, mn.name);
    if (v.IsObject() && v.o->kind == Kind::Class) {
        mn.cls = v.o->info;
        mn.resolved = true;
    }
    return mn.cls;
}

// A call through an interface type names the method in the interface's namespace: the class
// answers it with its public method of that name.
void Vm::BindInterfaceNames(ClassInfo* c, const ClassInfo* from, int depth) {
    if (depth > 32)
        return;
    for (const ClassInfo* i : from->interfaces) {
        for (const auto& entry : i->inst.map) {
            const Binding* pub = c->inst.Find(entry.first, Name::Public(entry.first));
            if (!pub)
                continue;
            const Binding copy = *pub;
            for (const Binding& b : entry.second) {
                if (b.ns != kPublicNs) { // replaces what a base class bound, for overrides
                    Binding* added = c->inst.Add(entry.first, b.ns);
                    *added = copy;
                    added->ns = b.ns;
                }
            }
        }
        BindInterfaceNames(c, i, depth + 1);
    }
}

ClassInfo* Vm::NewClass(LoadedAbc& abc, uint32_t index, ClassInfo* super, const ScopeRef& scope) {
    const AbcInstance& ai = abc.f->instances[index];
    const AbcClass& ac = abc.f->classes[index];
    classes_.emplace_back(new ClassInfo);
    ClassInfo* c = classes_.back().get();
    const LoadedAbc::Mn& mn = abc.mns[ai.name];
    c->name = mn.name.local;
    for (auto& e : nsIds_)
        if (e.second == mn.name.single)
            c->uri = e.first.second;
    // A class private to its file is named after the file's namespace ("Test.as$38").
    const AbcMultiname& am = abc.f->multinames[ai.name];
    if (am.kind == kQName && am.ns < abc.f->namespaces.size() &&
        abc.f->namespaces[am.ns].kind == kNsPrivate)
        c->uri = abc.f->strings[abc.f->namespaces[am.ns].name];
    c->super = super;
    c->kind = super ? super->kind : Kind::Plain;
    c->sealed = (ai.flags & 1) != 0;
    c->isFinal = (ai.flags & 2) != 0;
    c->isInterface = (ai.flags & 4) != 0;
    if (ai.flags & 8)
        c->protectedNs = abc.ns[ai.protectedNs];
    for (uint32_t i : ai.interfaces) {
        if (ClassInfo* x = ResolveClass(abc, i))
            c->interfaces.push_back(x);
        else
            c->pendingInterfaces.push_back(i);
    }
    c->pendingAbc = &abc;
    abc.classes[index] = c;
    Object* obj = heap_.New(Kind::Class);
    obj->info = c;
    obj->own = &c->stat;
    obj->cls = classClass;
    obj->proto = classClass->prototype;
    c->object = obj;
    std::shared_ptr<Scope> outer(new Scope);
    if (scope)
        *outer = *scope;
    c->staticScope = outer;
    std::shared_ptr<Scope> s(new Scope(*outer));
    s->values.push_back(Value::Obj(obj));
    s->with.push_back(0);
    c->scope = s;
    Object* proto = heap_.New(Kind::Plain);
    proto->cls = objectClass;
    proto->proto = super ? super->prototype : objectClass->prototype;
    proto->dyn.reset(new DynProps);
    proto->dyn->Set("constructor", Value::Obj(obj), false);
    c->prototype = proto;
    if (super)
        c->inst = super->inst;
    LinkTraits(abc, ai.traits, &c->inst, c, false, super ? uint32_t(super->inst.slots.size()) : 0);
    LinkTraits(abc, ac.traits, &c->stat, c, true, 0);
    if (!c->isInterface)
        for (const ClassInfo* k = c; k; k = k->super)
            BindInterfaceNames(c, k, 0);
    c->iinit = MethodOf(abc, ai.iinit);
    c->iinit->owner = c;
    c->iinit->name = c->name;
    c->iinit->frame = c->QualifiedName();
    c->cinit = MethodOf(abc, ac.cinit);
    c->cinit->owner = c;
    c->cinit->isStatic = true;
    c->cinit->frame = c->QualifiedName() + "$cinit";
    InitSlots(obj, c->stat);
    Invoke(c->cinit, Value::Obj(obj), nullptr, 0, c->staticScope);
    return c;
}

// ---- timers ----

int Vm::AddTimer(Timer t) {
    if (timers_.size() >= 10000)
        return 0;
    t.id = nextTimer_++;
    timers_.push_back(std::move(t));
    return timers_.back().id;
}

bool Vm::RemoveTimer(int id) {
    for (size_t i = 0; i < timers_.size(); ++i) {
        if (timers_[i].id == id) {
            timers_.erase(timers_.begin() + long(i));
            return true;
        }
    }
    return false;
}

double Vm::NextTimerDue() const {
    double due = HUGE_VAL;
    for (const Timer& t : timers_)
        due = std::min(due, t.due);
    return due;
}

void Vm::RunTimers() {
    const double now = Now();
    // Each due timer once per frame, in the order they fall due.
    std::vector<int> due;
    for (const Timer& t : timers_)
        if (t.due <= now)
            due.push_back(t.id);
    for (int id : due) {
        Timer* t = nullptr;
        for (Timer& x : timers_)
            if (x.id == id)
                t = &x;
        if (!t)
            continue;
        Timer copy = *t;
        if (copy.once)
            RemoveTimer(id);
        else
            t->due = std::max(t->due + t->interval, now);
        std::vector<Value> args = copy.args;
        CallFromHost(copy.fn, copy.owner ? Value::Obj(copy.owner) : Value::Null(),
                     args.empty() ? nullptr : args.data(), int(args.size()));
    }
}

RunResult Vm::CallFromHost(const Value& fn, const Value& self, const Value* args, int argc) {
    if (frameOver_)
        return RunResult::Abandoned;
    abort_ = RunResult::Done;
    std::vector<Value> a(args, args + argc);
    Call(fn, self, a.empty() ? nullptr : a.data(), argc);
    RunResult r = abort_;
    if (throwing_) {
        const Value e = TakeThrown();
        const std::string text = Report(e);
        throwing_ = false;
        Trace(text);
        r = RunResult::Thrown;
    }
    if (abort_ != RunResult::Done && abort_ != RunResult::Thrown) {
        Notice("a script was stopped: " + std::string(abort_ == RunResult::Abandoned ? "too long"
                                                      : abort_ == RunResult::TooDeep
                                                          ? "too deep"
                                                          : "out of memory"));
    }
    if (abort_ != RunResult::Abandoned)
        abort_ = RunResult::Done;
    return r;
}

Object* Vm::ConstructFromHost(ClassInfo* c, Object* preset) {
    if (frameOver_)
        return nullptr;
    abort_ = RunResult::Done;
    const Value v = ConstructClass(c, nullptr, 0, preset);
    if (throwing_) {
        const Value e = TakeThrown();
        Trace(Report(e));
    }
    if (abort_ != RunResult::Abandoned)
        abort_ = RunResult::Done;
    return v.IsObject() ? v.o : preset;
}

// ---- garbage ----

void Vm::Mark(const Value& v) {
    if (v.type == Type::Object)
        MarkObject(v.o);
}

void Vm::MarkScope(const ScopeRef& s) {
    if (s)
        for (const Value& v : s->values)
            Mark(v);
}

void Vm::MarkClass(ClassInfo* c) {
    if (!c)
        return;
    MarkObject(c->object);
    MarkObject(c->prototype);
}

// One grey stack serves the whole collection: marking is reached from hundreds of roots (every
// class, the host's objects), and a stack per root cost an allocation each.
void Vm::MarkObject(Object* root) {
    if (!root || root->marked)
        return;
    grey_.push_back(root);
    if (marking_)
        return; // the loop below, further up, takes it
    marking_ = true;
    while (!grey_.empty()) {
        Object* o = grey_.back();
        grey_.pop_back();
        if (!o || o->marked)
            continue;
        o->marked = true;
        auto push = [&](const Value& v) {
            if (v.type == Type::Object && !v.o->marked)
                grey_.push_back(v.o);
        };
        grey_.push_back(o->proto);
        for (const Value& v : o->slots)
            push(v);
        for (const Value& v : o->elems)
            push(v);
        if (o->dyn)
            for (const DynProps::Entry& e : o->dyn->entries)
                push(e.value);
        push(o->bound);
        if (o->scope)
            for (const Value& v : o->scope->values)
                push(v);
        if (o->info) {
            grey_.push_back(o->info->prototype);
            if (o->info->scope)
                for (const Value& v : o->info->scope->values)
                    push(v);
        }
        if (o->cls) {
            grey_.push_back(o->cls->object);
        }
        if (o->extra)
            o->extra->Mark(*this);
    }
    marking_ = false;
}

void Vm::CollectGarbage() {
    MarkObject(globalObject);
    for (auto& c : classes_) {
        MarkObject(c->object);
        MarkObject(c->prototype);
        MarkScope(c->scope);
        for (const SlotInit& s : c->inst.slots)
            Mark(s.value);
    }
    for (auto& s : scripts_)
        MarkObject(s->global);
    // Only the frames in use: every frame clears its values as it returns, and the stack is
    // sized for the deepest recursion allowed, far more than a collection should walk.
    for (size_t i = 0; i < top_ && i < stack_.size(); ++i)
        Mark(stack_[i]);
    for (const Timer& t : timers_) {
        Mark(t.fn);
        MarkObject(t.owner);
        for (const Value& v : t.args)
            Mark(v);
    }
    for (Object* o : broadcast_)
        MarkObject(o);
    for (const auto& c : soundChannels_)
        MarkObject(c.second);
    Mark(thrown_);
    if (markHost)
        markHost(*this);
    if (sweepHost)
        sweepHost(*this);
    heap_.Sweep();
    liveAfterCollect_ = heap_.Used();
    if (grey_.capacity() > 65536)
        std::vector<Object*>().swap(grey_); // a rare large graph does not keep its stack
}

void Vm::InstallBuiltins() {
    InstallCore(*this);
    InstallArray(*this);
    InstallLibrary(*this);
    InstallProxy(*this);
    InstallDisplay(*this);
    InstallMedia(*this);
    // A call through IEventDispatcher's namespace finds the dispatcher's own methods.
    ClassInfo* dispatcher = Builtin("EventDispatcher");
    const int ns = InternNs(kGroupPublic, "flash.events:IEventDispatcher");
    for (const auto& c : classes_) {
        if (!dispatcher || !c->IsSubclassOf(dispatcher))
            continue;
        for (const char* name : {"addEventListener", "dispatchEvent", "hasEventListener",
                                 "removeEventListener", "willTrigger"}) {
            const Binding* b = c->inst.FindAny(name);
            if (!b || b->k != Binding::Method)
                continue;
            Binding copy = *b; // the native binding stays for public names
            copy.ns = ns;
            *c->inst.Add(name, ns) = copy;
        }
    }
}

} // namespace avm2
