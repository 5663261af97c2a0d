#include "player/core/avm1/vm.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

namespace avm1 {
namespace {

const char* const kDisplayNames[] = {
    "_x",           "_y",           "_xscale",       "_yscale",       "_currentframe",
    "_totalframes", "_alpha",       "_visible",      "_width",        "_height",
    "_rotation",    "_target",      "_framesloaded", "_name",         "_droptarget",
    "_url",         "_highquality", "_focusrect",    "_soundbuftime", "_quality",
    "_xmouse",      "_ymouse",
};
constexpr int kDisplayCount = sizeof(kDisplayNames) / sizeof(kDisplayNames[0]);

int DisplayIndex(const std::string& name) {
    if (name.size() < 2 || name.size() > 14 || name[0] != '_')
        return -1;
    static size_t lengths[kDisplayCount];
    if (!lengths[0])
        for (int i = 0; i < kDisplayCount; i++)
            lengths[i] = std::strlen(kDisplayNames[i]);
    for (int i = 0; i < kDisplayCount; i++)
        if (lengths[i] == name.size() && NamesEqual(name, kDisplayNames[i], lengths[i], false))
            return i;
    return -1;
}

bool ArrayIndex(const std::string& name, size_t& index) {
    if (name.empty() || name.size() > 9)
        return false;
    size_t v = 0;
    for (char c : name) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + size_t(c - '0');
    }
    if (name.size() > 1 && name[0] == '0')
        return false;
    index = v;
    return true;
}

// Arrays grow to at most this many elements; a larger index becomes a plain property.
constexpr size_t kMaxArrayLength = 1u << 22;

size_t Utf8Length(const std::string& s) {
    size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80)
            n++;
    return n;
}

} // namespace

Vm::Vm(DisplayBridge* display, int version, Limits limits)
    : display_(display), version_(version), limits_(limits), heap_(limits.memoryBytes) {
    clock_ = [] {
        using namespace std::chrono;
        return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
    };
    wall_ = [] {
        using namespace std::chrono;
        return double(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
    };
    start_ = clock_();
    stack_.reserve(256);
    InstallBuiltins();
}

Vm::~Vm() = default;

void Vm::InstallBuiltins() {
    // Object.prototype and Function.prototype first: every other object hangs off them.
    Object* objectProto = heap_.New(Kind::Plain);
    Object* functionProto = heap_.New(Kind::Plain);
    functionProto->proto = objectProto;
    protos_[int(Kind::Plain)] = objectProto;
    protos_[int(Kind::Function)] = functionProto;
    global_ = heap_.New(Kind::Plain);
    global_->proto = objectProto;
    InstallCore(*this);
    InstallArray(*this);
    InstallDate(*this);
    InstallDisplay(*this);
    InstallSandbox(*this);
}

Object* Vm::Proto(Kind kind) const {
    auto it = protos_.find(int(kind));
    return it == protos_.end() ? protos_.at(int(Kind::Plain)) : it->second;
}

Object* Vm::ProtoNamed(const std::string& name) {
    Value ctor = GetProp(global_, name);
    if (!ctor.IsObject())
        return nullptr;
    Value p = GetProp(ctor.o, "prototype");
    return p.IsObject() ? p.o : nullptr;
}

double Vm::Now() {
    return clock_() - start_;
}
double Vm::WallNow() {
    return wall_();
}

double Vm::Random() {
    // xorshift64*: fast, and repeatable under a fixed seed.
    rng_ ^= rng_ >> 12;
    rng_ ^= rng_ << 25;
    rng_ ^= rng_ >> 27;
    uint64_t r = rng_ * 0x2545F4914F6CDD1Dull;
    return double(r >> 11) * (1.0 / 9007199254740992.0);
}

void Vm::Emit(Channel channel, const std::string& text) {
    if (sink_)
        sink_(channel, text);
}

bool Vm::StringFits(size_t bytes) {
    if (bytes <= limits_.maxStringBytes)
        return true;
    Abort(RunResult::OutOfMemory);
    return false;
}

void Vm::Abort(RunResult why) {
    if (abort_ == RunResult::Done)
        abort_ = why;
}

// ---- objects ----

Object* Vm::NewObject(Kind kind) {
    Object* o = heap_.New(kind);
    if (!o) {
        Abort(RunResult::OutOfMemory);
        // A throwaway object keeps callers simple; the script stops at the next step.
        spare_ = Object(kind);
        return &spare_;
    }
    o->proto = Proto(kind);
    return o;
}

Object* Vm::NewArray(std::vector<Value> elements) {
    Object* a = NewObject(Kind::Array);
    heap_.Charge(elements.size() * sizeof(Value));
    a->elements = std::move(elements);
    return a;
}

Object* Vm::NewNative(NativeFn fn, Object* proto, Kind constructs) {
    Object* f = NewObject(Kind::Function);
    f->native = fn;
    f->constructs = constructs;
    if (proto) {
        f->Put("prototype", Value::Obj(proto), false, kDontEnum);
        proto->Put("constructor", Value::Obj(f), false, kDontEnum);
    }
    return f;
}

void Method(Vm& vm, Object* o, const char* name, NativeFn fn) {
    o->Put(name, Value::Obj(vm.NewNative(fn)), false, kDontEnum);
}

void Constant(Vm&, Object* o, const char* name, Value v) {
    o->Put(name, std::move(v), false, kDontEnum | kDontDelete | kReadOnly);
}

ClipId Vm::RootClip() {
    return display_ ? display_->Root() : 0;
}

Object* Vm::ClipObject(ClipId clip) {
    if (!clip || !display_)
        return nullptr;
    auto it = clips_.find(clip);
    if (it != clips_.end())
        return it->second;
    DisplayKind k = display_->KindOf(clip);
    if (k == DisplayKind::None)
        return nullptr;
    Object* o = heap_.New(k == DisplayKind::Text ? Kind::Text : Kind::Clip);
    if (!o) {
        Abort(RunResult::OutOfMemory);
        return nullptr;
    }
    o->proto = Proto(o->kind);
    o->clip = clip;
    clips_[clip] = o;
    return o;
}

ClipId Vm::ClipOf(const Value& v) const {
    if (v.type != Type::Object)
        return 0;
    if (v.o->kind == Kind::Clip || v.o->kind == Kind::Text)
        return v.o->clip;
    return 0;
}

void Vm::OnClipRemoved(ClipId clip) {
    auto it = clips_.find(clip);
    if (it == clips_.end())
        return;
    it->second->clip = 0;
    clips_.erase(it);
}

void Vm::InitClip(ClipId clip, const std::string& exportName) {
    auto it = registeredClasses.find(exportName);
    Object* o = ClipObject(clip);
    if (it == registeredClasses.end() || !o || !it->second)
        return;
    Value proto = GetProp(it->second, "prototype");
    if (proto.IsObject())
        o->proto = proto.o;
    o->Put("__constructor__", Value::Obj(it->second), caseSensitive(), kDontEnum);
    // From the facade this starts a script of its own; from attachMovie it is a call inside
    // the running script, which keeps its depth and its budget.
    const bool top = depth_ == 0;
    if (top) {
        abort_ = RunResult::Done;
        throwing_ = false;
    }
    Call(Value::Obj(it->second), Value::Obj(o), nullptr, 0, proto.IsObject() ? proto.o : nullptr);
    if (top) {
        abort_ = RunResult::Done;
        throwing_ = false;
    }
}

// ---- display properties ----

Value Vm::DisplayGet(ClipId clip, int index) {
    if (!clip || !display_ || index < 0 || index >= int(DisplayProp::Count))
        return Value();
    if (index == int(DisplayProp::Target)) {
        Object* o = ClipObject(clip);
        std::string path;
        for (ClipId c = clip; c && c != RootClip(); c = display_->Parent(c)) {
            Value name = display_->Get(c, DisplayProp::Name);
            path = "/" + PrimitiveToString(name, version_) + path;
        }
        (void)o;
        return Value::Str(path.empty() ? "/" : path);
    }
    return display_->Get(clip, DisplayProp(index));
}

void Vm::DisplaySet(ClipId clip, int index, const Value& v) {
    if (!clip || !display_ || index < 0 || index >= kDisplayCount)
        return;
    switch (DisplayProp(index)) {
    case DisplayProp::Name:
    case DisplayProp::Quality:
        display_->Set(clip, DisplayProp(index), Value::Str(ToString(v)));
        return;
    case DisplayProp::Visible:
        display_->Set(clip, DisplayProp(index),
                      Value::Bool(ToBoolean(Value::Num(ToNumber(v)), version_)));
        return;
    case DisplayProp::CurrentFrame:
    case DisplayProp::TotalFrames:
    case DisplayProp::Target:
    case DisplayProp::FramesLoaded:
    case DisplayProp::DropTarget:
    case DisplayProp::Url:
    case DisplayProp::XMouse:
    case DisplayProp::YMouse:
        return; // read-only
    default: {
        double d = ToNumber(v);
        if (std::isnan(d))
            return; // Flash leaves the property as it was
        display_->Set(clip, DisplayProp(index), Value::Num(d));
    }
    }
}

// ---- property access ----

bool Vm::Lookup(Object* o, const std::string& name, const Value& self, Value& out,
                Object** holder) {
    const bool cs = caseSensitive();
    int guard = 0;
    for (Object* p = o; p && guard < 256; p = p->proto, guard++) {
        if (Property* pr = p->Find(name, cs)) {
            if (holder)
                *holder = p;
            if (pr->getter) {
                Object* getter = pr->getter;
                out = Call(Value::Obj(getter), self, nullptr, 0);
            } else {
                out = pr->value;
            }
            return true;
        }
    }
    return false;
}

Value Vm::Get(const Value& target, const std::string& name) {
    switch (target.type) {
    case Type::String:
        if (NameIs(name, "length", caseSensitive()))
            return Value::Num(double(version_ >= 6 ? Utf8Length(target.s) : target.s.size()));
        {
            Value out;
            Lookup(Proto(Kind::String), name, target, out, nullptr);
            return out;
        }
    case Type::Number:
    case Type::Boolean: {
        Value out;
        Lookup(Proto(target.type == Type::Number ? Kind::Number : Kind::Boolean), name, target, out,
               nullptr);
        return out;
    }
    case Type::Object:
        break;
    default:
        return Value();
    }
    Object* o = target.o;
    const bool cs = caseSensitive();
    if (NameIs(name, "__proto__", cs))
        return o->proto ? Value::Obj(o->proto) : Value();
    switch (o->kind) {
    case Kind::Array: {
        size_t i;
        if (ArrayIndex(name, i))
            return i < o->elements.size() ? o->elements[i] : Value();
        if (NameIs(name, "length", cs))
            return Value::Num(double(o->elements.size()));
        break;
    }
    case Kind::String:
        if (NameIs(name, "length", cs))
            return Value::Num(double(Utf8Length(o->primitive.s)));
        break;
    case Kind::Clip:
    case Kind::Text: {
        int index = DisplayIndex(name);
        if (index >= 0)
            return DisplayGet(o->clip, index);
        if (o->clip && display_) {
            if (NameIs(name, "_parent", false)) {
                Object* p = ClipObject(display_->Parent(o->clip));
                return p ? Value::Obj(p) : Value();
            }
            if (NameIs(name, "_root", false) || NameIs(name, "_level0", false))
                return Value::Obj(ClipObject(RootClip()));
            if (o->kind == Kind::Text && (NameIs(name, "text", cs) || NameIs(name, "htmlText", cs)))
                return Value::Str(display_->GetText(o->clip));
        }
        break;
    }
    case Kind::Super: {
        Value out;
        if (o->superHome)
            Lookup(o->superHome->proto, name, Value::Obj(o->superThis), out, nullptr);
        return out;
    }
    default:
        break;
    }
    if (Property* pr = o->Find(name, cs)) {
        if (pr->getter)
            return Call(Value::Obj(pr->getter), target, nullptr, 0);
        return pr->value;
    }
    if (o->kind == Kind::Clip && o->clip && display_) {
        ClipId child = display_->Child(o->clip, name, cs);
        if (child)
            return Value::Obj(ClipObject(child));
    }
    Value out;
    Lookup(o->proto, name, target, out, nullptr);
    return out;
}

void Vm::Set(const Value& target, const std::string& name, const Value& value) {
    if (target.type != Type::Object)
        return;
    Object* o = target.o;
    const bool cs = caseSensitive();
    if (NameIs(name, "__proto__", cs)) {
        o->proto = value.IsObject() ? value.o : nullptr;
        return;
    }
    switch (o->kind) {
    case Kind::Array: {
        size_t i;
        if (ArrayIndex(name, i) && i < kMaxArrayLength) {
            if (i >= o->elements.size()) {
                heap_.Charge((i + 1 - o->elements.size()) * sizeof(Value));
                if (heap_.OverCap()) {
                    Abort(RunResult::OutOfMemory);
                    return;
                }
                o->elements.resize(i + 1);
            }
            o->elements[i] = value;
            return;
        }
        if (NameIs(name, "length", cs)) {
            double d = ToNumber(value);
            if (d >= 0 && d < double(kMaxArrayLength)) {
                size_t n = size_t(d);
                if (n > o->elements.size())
                    heap_.Charge((n - o->elements.size()) * sizeof(Value));
                o->elements.resize(n);
            }
            return;
        }
        break;
    }
    case Kind::Clip:
    case Kind::Text: {
        int index = DisplayIndex(name);
        if (index >= 0) {
            DisplaySet(o->clip, index, value);
            return;
        }
        if (o->kind == Kind::Text && o->clip && display_ &&
            (NameIs(name, "text", cs) || NameIs(name, "htmlText", cs))) {
            display_->SetText(o->clip, ToString(value));
            return;
        }
        break;
    }
    case Kind::Super:
        if (o->superThis)
            Set(Value::Obj(o->superThis), name, value);
        return;
    default:
        break;
    }
    if (Property* pr = o->Find(name, cs)) {
        if (pr->setter) {
            Call(Value::Obj(pr->setter), target, &value, 1);
            return;
        }
        if (pr->getter || (pr->flags & kReadOnly))
            return;
        heap_.Charge(value.s.size());
        pr->value = value;
        return;
    }
    // A setter further up the chain (addProperty on a prototype) takes the assignment.
    int guard = 0;
    for (Object* p = o->proto; p && guard < 256; p = p->proto, guard++) {
        if (Property* pr = p->Find(name, cs)) {
            if (pr->setter) {
                Call(Value::Obj(pr->setter), target, &value, 1);
                return;
            }
            break;
        }
    }
    heap_.Charge(sizeof(Property) + name.size() + value.s.size());
    if (heap_.OverCap()) {
        Abort(RunResult::OutOfMemory);
        return;
    }
    o->Add(Property{name, value, nullptr, nullptr, 0});
}

bool Vm::HasProperty(Object* o, const std::string& name) {
    const bool cs = caseSensitive();
    if (o->kind == Kind::Clip || o->kind == Kind::Text) {
        if (DisplayIndex(name) >= 0)
            return true;
    }
    if (o->kind == Kind::Array) {
        size_t i;
        if (ArrayIndex(name, i))
            return i < o->elements.size();
        if (NameIs(name, "length", cs))
            return true;
    }
    int guard = 0;
    for (Object* p = o; p && guard < 256; p = p->proto, guard++)
        if (p->Find(name, cs))
            return true;
    if (o->kind == Kind::Clip && o->clip && display_)
        return display_->Child(o->clip, name, cs) != 0;
    return false;
}

bool Vm::Delete(Object* o, const std::string& name) {
    if (o->kind == Kind::Array) {
        size_t i;
        if (ArrayIndex(name, i) && i < o->elements.size()) {
            o->elements[i] = Value();
            return true;
        }
    }
    return o->Remove(name, caseSensitive());
}

std::vector<std::string> Vm::Keys(Object* o) {
    std::vector<std::string> out;
    std::vector<std::string> seen;
    int guard = 0;
    for (Object* p = o; p && guard < 256; p = p->proto, guard++) {
        if (p->kind == Kind::Array && p == o)
            for (size_t i = 0; i < p->elements.size(); i++)
                out.push_back(std::to_string(i));
        for (const Property& pr : p->props) {
            bool dup = false;
            for (const std::string& s : seen)
                if (NamesEqual(s, pr.name, caseSensitive()))
                    dup = true;
            if (dup)
                continue;
            seen.push_back(pr.name);
            if (!(pr.flags & kDontEnum))
                out.push_back(pr.name);
        }
    }
    return out;
}

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
    Call(ctor, Value::Obj(o), args, n, protoV.IsObject() ? protoV.o : nullptr);
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

// ---- conversions ----

Value Vm::ToPrimitive(const Value& v, bool preferString) {
    if (!v.IsObject())
        return v;
    Object* o = v.o;
    if (o->kind == Kind::Super)
        return Value();
    const bool date = o->kind == Kind::Date;
    const char* first = (preferString || date) ? "toString" : "valueOf";
    const char* second = (preferString || date) ? "valueOf" : "toString";
    Value r = CallMethod(v, first, nullptr, 0);
    if (!r.IsObject() && !(r.IsUndefined() && !HasProperty(o, first)))
        return r;
    r = CallMethod(v, second, nullptr, 0);
    if (!r.IsObject() && !r.IsUndefined())
        return r;
    if (o->kind == Kind::Function)
        return Value::Str("[type Function]");
    if (o->kind == Kind::Clip || o->kind == Kind::Text)
        return Value::Str(TargetPath(o));
    return Value::Str("[object Object]");
}

double Vm::ToNumber(const Value& v) {
    if (v.type != Type::Object)
        return PrimitiveToNumber(v, version_);
    Value p = ToPrimitive(v);
    if (p.IsObject())
        return std::nan("");
    return PrimitiveToNumber(p, version_);
}

std::string Vm::ToString(const Value& v) {
    if (v.type != Type::Object)
        return PrimitiveToString(v, version_);
    Value p = ToPrimitive(v, true);
    return PrimitiveToString(p, version_);
}

std::string Vm::TypeOf(const Value& v) {
    switch (v.type) {
    case Type::Undefined:
        return "undefined";
    case Type::Null:
        return "null";
    case Type::Boolean:
        return "boolean";
    case Type::Number:
        return "number";
    case Type::String:
        return "string";
    case Type::Object:
        if (v.o->kind == Kind::Function)
            return "function";
        if (v.o->kind == Kind::Clip)
            return "movieclip";
        return "object";
    }
    return "undefined";
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
        return a.s.get() == b.s.get();
    case Type::Object:
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
    if (a.type == Type::Number && b.type == Type::String)
        return a.n == StringToNumber(b.s, version_);
    if (a.type == Type::String && b.type == Type::Number)
        return StringToNumber(a.s, version_) == b.n;
    if (a.type == Type::Boolean)
        return Equals(Value::Num(a.b ? 1 : 0), b);
    if (b.type == Type::Boolean)
        return Equals(a, Value::Num(b.b ? 1 : 0));
    if (a.IsObject() && !b.IsObject()) {
        Value p = ToPrimitive(a);
        return !p.IsObject() && Equals(p, b);
    }
    if (b.IsObject() && !a.IsObject()) {
        Value p = ToPrimitive(b);
        return !p.IsObject() && Equals(a, p);
    }
    return false;
}

Value Vm::Less(const Value& a, const Value& b) {
    Value pa = ToPrimitive(a), pb = ToPrimitive(b);
    if (pa.IsString() && pb.IsString())
        return Value::Bool(pa.s.get() < pb.s.get());
    double x = ToNumber(pa), y = ToNumber(pb);
    if (std::isnan(x) || std::isnan(y))
        return Value();
    return Value::Bool(x < y);
}

Value Vm::Add(const Value& a, const Value& b) {
    Value pa = ToPrimitive(a), pb = ToPrimitive(b);
    if (pa.IsString() || pb.IsString()) {
        std::string s = ToString(pa);
        std::string t = ToString(pb);
        if (!StringFits(s.size() + t.size()))
            return Value::Str("");
        heap_.Charge(s.size() + t.size());
        return Value::Str(s + t);
    }
    return Value::Num(ToNumber(pa) + ToNumber(pb));
}

// ---- paths ----

std::string Vm::TargetPath(Object* clip) {
    if (!clip || !clip->clip || !display_)
        return "";
    std::string path;
    ClipId root = RootClip();
    int guard = 0;
    for (ClipId c = clip->clip; c && c != root && guard < 1000; c = display_->Parent(c), guard++)
        path = "." + PrimitiveToString(display_->Get(c, DisplayProp::Name), version_) + path;
    return "_level0" + path;
}

Object* Vm::ResolveTarget(Object* base, const std::string& path) {
    Object* root = ClipObject(RootClip());
    if (!base)
        base = root;
    if (path.empty())
        return base;
    Object* cur = base;
    size_t i = 0;
    const bool slash = path.find('/') != std::string::npos;
    if (slash && path[0] == '/') {
        cur = root;
        i = 1;
    }
    const char sep = slash ? '/' : '.';
    while (i <= path.size() && cur) {
        size_t j = path.find(sep, i);
        if (j == std::string::npos)
            j = path.size();
        std::string part = path.substr(i, j - i);
        i = j + 1;
        if (part.empty())
            continue;
        if (part == ".." || NameIs(part, "_parent", false)) {
            ClipId c = ClipOf(Value::Obj(cur));
            cur = c && display_ ? ClipObject(display_->Parent(c)) : nullptr;
        } else if (NameIs(part, "_root", false) || NameIs(part, "_level0", false)) {
            cur = root;
        } else if (part == "this" || part == ".") {
            // stays
        } else if (NameIs(part, "_global", false)) {
            cur = global_;
        } else {
            Value v = Get(Value::Obj(cur), part);
            cur = v.IsObject() ? v.o : nullptr;
        }
    }
    return cur;
}

// ---- timers and frames ----

int Vm::AddTimer(Timer t) {
    if (timers_.size() >= 1024)
        return 0;
    t.id = nextTimer_++;
    if (t.interval < 1)
        t.interval = 1;
    t.due = Now() + t.interval;
    timers_.push_back(std::move(t));
    return timers_.back().id;
}

bool Vm::RemoveTimer(int id) {
    for (size_t i = 0; i < timers_.size(); i++) {
        if (timers_[i].id == id) {
            timers_.erase(timers_.begin() + i);
            return true;
        }
    }
    return false;
}

bool Vm::Budget() {
    if (frameOver_)
        return false;
    if (budgetUsed_ > limits_.instructionsPerFrame ||
        clock_() - frameStart_ > limits_.millisecondsPerFrame) {
        frameOver_ = true;
        Abort(RunResult::Abandoned);
        Notice("script abandoned: it ran past the frame's budget");
        return false;
    }
    return true;
}

void Vm::BeginFrame() {
    budgetUsed_ = 0;
    frameOver_ = false;
    frameStart_ = clock_();
    const double now = Now();
    std::vector<int> ids;
    for (const Timer& t : timers_)
        ids.push_back(t.id);
    for (int id : ids) {
        // A callback may clear timers, so each is looked up again.
        for (int fired = 0; fired < 8; fired++) {
            auto it = std::find_if(timers_.begin(), timers_.end(),
                                   [id](const Timer& t) { return t.id == id; });
            if (it == timers_.end() || it->due > now)
                break;
            Timer t = *it;
            it->due += it->interval;
            if (it->due <= now - 8 * it->interval)
                it->due = now + it->interval; // far behind: skip ahead rather than burst
            if (t.once)
                timers_.erase(it);
            depth_ = 0;
            abort_ = RunResult::Done;
            throwing_ = false;
            stack_.clear();
            if (t.method.empty())
                Call(t.fn, Value(), t.args.data(), t.args.size());
            else
                CallMethod(t.fn, t.method, t.args.data(), t.args.size());
            if (frameOver_)
                return;
        }
    }
}

std::vector<Object*> Vm::Roots() {
    std::vector<Object*> roots{global_};
    for (auto& p : protos_)
        roots.push_back(p.second);
    for (auto& c : clips_)
        roots.push_back(c.second);
    for (auto& r : registeredClasses)
        roots.push_back(r.second);
    for (auto& s : sharedObjects)
        roots.push_back(s.second);
    for (const Timer& t : timers_) {
        if (t.fn.IsObject())
            roots.push_back(t.fn.o);
        for (const Value& a : t.args)
            if (a.IsObject())
                roots.push_back(a.o);
    }
    return roots;
}

void Vm::EndFrame() {
    // Collect once the heap has grown by half what was live (and 256 KB) since the last
    // collection, or a second's worth of frames has passed.
    ++framesSinceCollect_;
    if (depth_ != 0 || (heap_.Bytes() < liveAfterCollect_ + liveAfterCollect_ / 2 + (256u << 10) &&
                        framesSinceCollect_ < 60))
        return;
    CollectGarbage();
}

void Vm::CollectGarbage() {
    // The stand-in handed out when the cap was reached lives outside the heap: it must not
    // keep pointers to objects the sweep may free.
    spare_ = Object(Kind::Plain);
    heap_.Collect(Roots());
    spare_.marked = false;
    liveAfterCollect_ = heap_.Bytes();
    framesSinceCollect_ = 0;
}

RunResult Vm::RunActions(ClipId clip, const uint8_t* data, size_t size) {
    auto key = std::make_pair(static_cast<const void*>(data), size);
    auto it = decoded_.find(key);
    if (it == decoded_.end())
        it = decoded_.emplace(key, DecodeActions(data, size, version_)).first;
    return RunBlock(clip, it->second);
}

RunResult Vm::RunBlock(ClipId clip, const std::shared_ptr<const ActionBlock>& block) {
    Object* o = clip ? ClipObject(clip) : nullptr;
    if (clip && !o)
        return RunResult::Done;
    RunResult r = Run(o, block, 0, uint32_t(block->code.size()));
    if (r == RunResult::Done && block->status != DecodeStatus::Ok)
        return RunResult::Malformed;
    return r;
}

RunResult Vm::DispatchClipEvent(ClipId clip, ClipEvent event, const uint8_t* clipActions,
                                size_t clipActionsSize) {
    static const char* const names[] = {"onLoad",      "onEnterFrame", "onUnload",
                                        "onData",      "onMouseDown",  "onMouseUp",
                                        "onMouseMove", "onKeyDown",    "onKeyUp"};
    static const uint32_t bits[] = {kEventLoad,      kEventEnterFrame, kEventUnload,
                                    kEventData,      kEventMouseDown,  kEventMouseUp,
                                    kEventMouseMove, kEventKeyDown,    kEventKeyUp};
    Object* o = ClipObject(clip);
    if (!o || frameOver_)
        return frameOver_ ? RunResult::Abandoned : RunResult::Done;
    RunResult first = RunResult::Done;
    if (clipActions && clipActionsSize) {
        auto key = std::make_pair(static_cast<const void*>(clipActions), clipActionsSize);
        auto it = clipHandlers_.find(key);
        if (it == clipHandlers_.end())
            it = clipHandlers_
                     .emplace(key, DecodeClipActions(clipActions, clipActionsSize, version_))
                     .first;
        for (const ClipActionHandler& h : it->second) {
            if (!(h.events & bits[int(event)]))
                continue;
            RunResult r = Run(o, h.block, 0, uint32_t(h.block->code.size()));
            if (first == RunResult::Done)
                first = r;
            if (frameOver_ || !o->clip)
                return first;
        }
    }
    Value self = Value::Obj(o);
    Object* holder = nullptr;
    Value fn;
    if (!Lookup(o, names[int(event)], self, fn, &holder) || !fn.IsObject())
        return first;
    depth_ = 0;
    abort_ = RunResult::Done;
    throwing_ = false;
    stack_.clear();
    Call(fn, self, nullptr, 0, holder);
    RunResult r = abort_;
    if (r == RunResult::Done && throwing_)
        r = RunResult::Thrown;
    abort_ = RunResult::Done;
    throwing_ = false;
    return first != RunResult::Done ? first : r;
}

} // namespace avm1
