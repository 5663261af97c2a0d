// Property access: display properties through the bridge, array elements, getters and
// setters, prototype chains, child clips by name; and target paths.
#include <cmath>
#include <cstring>
#include <unordered_set>

#include "player/core/avm1/vm.h"
#include "player/core/swf/utf8.h"

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

// Prototype chains longer than this stop the script.
constexpr int kMaxProtoChain = 256;

// Arrays grow to at most this many elements; a larger index becomes a plain property.
constexpr size_t kMaxArrayLength = 1u << 22;

} // namespace

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
    case DisplayProp::Visible: {
        const bool shown = ToBoolean(Value::Num(ToNumber(v)), version_);
        display_->Set(clip, DisplayProp(index), Value::Bool(shown));
        // What is hidden loses the focus at once.
        if (!shown && clip == focus_)
            SetFocus(0);
        return;
    }
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
    for (Object* p = o; p; p = p->proto, guard++) {
        if (guard >= kMaxProtoChain) {
            // A cyclic or absurdly long chain stops the script, as Flash stops it.
            Notice("script stopped: a prototype chain is too long");
            Abort(RunResult::TooDeep);
            return false;
        }
        if (Property* pr = p->Find(name, cs)) {
            if (HiddenForVersion(pr->flags, version_))
                return false;
            if (holder)
                *holder = p;
            if (pr->getter && AccessorFree(p, name, pr->serial)) {
                out = CallAccessor(p, name, pr->serial, pr->getter, self, nullptr);
            } else {
                out = pr->value;
            }
            return true;
        }
    }
    return false;
}

Value Vm::Get(const Value& target, const char* name) {
    return Get(target, std::string(name));
}
void Vm::Set(const Value& target, const char* name, const Value& value) {
    Set(target, std::string(name), value);
}
Value Vm::GetProp(Object* o, const char* name) {
    return Get(Value::Obj(o), std::string(name));
}

Value Vm::Get(const Value& target, const std::string& name) {
    switch (target.type) {
    case Type::String:
        if (NameIs(name, "length", caseSensitive()))
            return Value::Num(double(swf::Utf8Length(target.s)));
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
            return Value::Num(double(swf::Utf8Length(o->primitive.s)));
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
        if (HiddenForVersion(pr->flags, version_))
            return Value();
        if (pr->getter && AccessorFree(o, name, pr->serial))
            return CallAccessor(o, name, pr->serial, pr->getter, target, nullptr);
        return pr->value;
    }
    if (o->kind == Kind::Clip && o->clip && display_) {
        ClipId child = display_->Child(o->clip, name, cs);
        if (child)
            return Value::Obj(ClipObject(child));
    }
    Value out;
    if (!Lookup(o->proto, name, target, out, nullptr) && !aborted())
        out = Resolve(o, name, target);
    return out;
}

// A name found nowhere goes to the first __resolve function up the chain; a plain object
// or a getter there ends the search, numbers and clips are passed over.
Value Vm::Resolve(Object* o, const std::string& name, const Value& self) {
    const bool cs = caseSensitive();
    int guard = 0;
    for (Object* p = o; p && guard < kMaxProtoChain; p = p->proto, guard++) {
        Property* pr = p->Find("__resolve", cs);
        if (!pr || HiddenForVersion(pr->flags, version_))
            continue;
        if (pr->getter || pr->setter)
            return Value();
        const Value& fn = pr->value;
        if (!fn.IsObject() || fn.o->kind == Kind::Clip || fn.o->kind == Kind::Text)
            continue;
        if (!fn.o->IsFunction())
            return Value();
        Value arg = Value::Str(name);
        return Call(fn, self, &arg, 1);
    }
    return Value();
}

// Getters, setters and watch callbacks nest at most kMaxAccessorDepth deep, as in Flash;
// deeper reads use the stored slot directly and deeper assignments through a prototype's
// setter are dropped. Counted per accessor where it is defined (each addProperty makes a
// new one): objects sharing a prototype's accessor share its count, and two properties
// whose setters assign each other nest kMaxAccessorDepth deep each.
std::string Vm::AccessorKey(Object* holder, const std::string& name, uint32_t serial) {
    std::string key(reinterpret_cast<const char*>(&holder), sizeof holder);
    key.append(reinterpret_cast<const char*>(&serial), sizeof serial);
    for (char c : name)
        key += caseSensitive() || c < 'A' || c > 'Z' ? c : char(c + 32);
    return key;
}

bool Vm::AccessorFree(Object* holder, const std::string& name, uint32_t serial) {
    if (accessorDepth_.empty())
        return true;
    auto it = accessorDepth_.find(AccessorKey(holder, name, serial));
    return it == accessorDepth_.end() || it->second < kMaxAccessorDepth;
}

Value Vm::CallAccessor(Object* holder, const std::string& name, uint32_t serial, Object* fn,
                       const Value& self, const Value* args, size_t n) {
    const std::string key = AccessorKey(holder, name, serial);
    accessorDepth_[key]++;
    Value r = Call(Value::Obj(fn), self, args, args ? n : 0);
    auto it = accessorDepth_.find(key);
    if (it != accessorDepth_.end() && --it->second <= 0)
        accessorDepth_.erase(it);
    return r;
}

// A watched name: the callback decides the value that lands.
bool Vm::Watched(Object* o, const std::string& name, const Value& value, Value& out) {
    if (!o->watches) {
        return false;
    }
    const bool cs = caseSensitive();
    // A watch nests on the same count as the object's own accessor of that name.
    const Property* own = o->Find(name, cs);
    const uint32_t serial = own != nullptr ? own->serial : 0;
    if (!AccessorFree(o, name, serial))
        return false;
    for (const Watch& w : *o->watches) {
        if (!NamesEqual(w.name, name, cs))
            continue;
        // The old value is the stored one; a getter is not asked.
        Value old;
        int guard = 0;
        for (Object* p = o; p && guard < kMaxProtoChain; p = p->proto, guard++) {
            if (Property* pr = p->Find(name, cs)) {
                old = pr->value;
                break;
            }
        }
        Value args[4] = {Value::Str(w.name), old, value, w.userData};
        out = CallAccessor(o, name, serial, w.callback, Value::Obj(o), args, 4);
        return true;
    }
    return false;
}

void Vm::Set(const Value& target, const std::string& name, const Value& assigned) {
    if (target.type != Type::Object)
        return;
    Object* o = target.o;
    const bool cs = caseSensitive();
    Value watchedValue;
    const bool watched = Watched(o, name, assigned, watchedValue);
    if (aborted())
        return;
    const Value& value = watched ? watchedValue : assigned;
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
                if (n > o->elements.size()) {
                    // Counted before it is made: a length past the cap stops the script.
                    heap_.Charge((n - o->elements.size()) * sizeof(Value));
                    if (heap_.OverCap()) {
                        Abort(RunResult::OutOfMemory);
                        return;
                    }
                }
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
        if (HiddenForVersion(pr->flags, version_)) {
            // The hidden property gives way to a plain one.
            *pr = Property{pr->name, value, nullptr, nullptr, 0};
            return;
        }
        if (pr->setter && AccessorFree(o, name, pr->serial)) {
            // The value lands in the accessor's slot once its setter is done: what a read
            // nested too deep finds.
            const uint32_t serial = pr->serial;
            CallAccessor(o, name, serial, pr->setter, target, &value);
            Property* after = o->Find(name, cs);
            if (after != nullptr && after->serial == serial && serial != 0) {
                heap_.Charge(value.s.size());
                after->value = value;
            }
            return;
        }
        if ((pr->getter && AccessorFree(o, name, pr->serial)) || (pr->flags & kReadOnly))
            return;
        heap_.Charge(value.s.size());
        pr->value = value;
        return;
    }
    // A setter further up the chain (addProperty on a prototype) takes the assignment.
    int guard = 0;
    for (Object* p = o->proto; p && guard < 256; p = p->proto, guard++) {
        if (Property* pr = p->Find(name, cs)) {
            if (pr->setter && !HiddenForVersion(pr->flags, version_)) {
                // Nested too deep, the assignment is dropped.
                if (AccessorFree(p, name, pr->serial)) {
                    CallAccessor(p, name, pr->serial, pr->setter, target, &value);
                }
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
    // Names already met, folded as the version compares them: linear in the names listed.
    std::unordered_set<std::string> seen;
    const bool cs = caseSensitive();
    auto fold = [cs](const std::string& s) {
        std::string f = s;
        if (!cs)
            for (char& c : f)
                c = c >= 'A' && c <= 'Z' ? char(c + 32) : c;
        return f;
    };
    int guard = 0;
    for (Object* p = o; p && guard < 256; p = p->proto, guard++) {
        if (p->kind == Kind::Array && p == o)
            for (size_t i = 0; i < p->elements.size(); i++)
                out.push_back(std::to_string(i));
        for (const Property& pr : p->props) {
            if (!seen.insert(fold(pr.name)).second)
                continue;
            if (!(pr.flags & kDontEnum))
                out.push_back(pr.name);
        }
    }
    return out;
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

} // namespace avm1
