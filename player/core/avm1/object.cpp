#include "player/core/avm1/object.h"

namespace avm1 {

const Value& Args::operator[](size_t i) const {
    static const Value undefined;
    return i < n ? v[i] : undefined;
}

namespace {
std::string Lowered(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = char(c + 32);
    return out;
}
} // namespace

Property* Object::Find(const std::string& name, bool caseSensitive) {
    if (index_) {
        auto it = index_->find(Lowered(name));
        if (it == index_->end())
            return nullptr;
        Property& p = props[it->second];
        if (NamesEqual(p.name, name, caseSensitive))
            return &p;
        // Names differing only in case (version 7): scan.
    }
    for (Property& p : props)
        if (NamesEqual(p.name, name, caseSensitive))
            return &p;
    return nullptr;
}

Property& Object::Add(Property p) {
    props.push_back(std::move(p));
    if (index_)
        index_->emplace(Lowered(props.back().name), uint32_t(props.size() - 1));
    else if (props.size() >= kIndexFrom)
        Reindex();
    return props.back();
}

void Object::Reindex() {
    if (props.size() < kIndexFrom) {
        index_.reset();
        return;
    }
    index_ = std::make_unique<std::unordered_map<std::string, uint32_t>>();
    for (size_t i = 0; i < props.size(); i++)
        index_->emplace(Lowered(props[i].name), uint32_t(i));
}

Property& Object::Put(const char* name, Value value, bool caseSensitive, uint16_t flags) {
    return Put(std::string(name), std::move(value), caseSensitive, flags);
}

Property& Object::Put(const std::string& name, Value value, bool caseSensitive, uint16_t flags) {
    if (Property* p = Find(name, caseSensitive)) {
        p->value = std::move(value);
        return *p;
    }
    return Add(Property{name, std::move(value), nullptr, nullptr, flags});
}

bool Object::Remove(const std::string& name, bool caseSensitive) {
    for (size_t i = 0; i < props.size(); i++) {
        if (NamesEqual(props[i].name, name, caseSensitive)) {
            if (props[i].flags & kDontDelete)
                return false;
            props.erase(props.begin() + i);
            if (index_)
                Reindex();
            return true;
        }
    }
    return false;
}

size_t Object::Bytes() const {
    size_t n = sizeof(Object) + props.capacity() * sizeof(Property) +
               elements.capacity() * sizeof(Value) + primitive.s.size();
    for (const Property& p : props)
        n += p.name.capacity() + p.value.s.size();
    for (const Value& v : elements)
        n += v.s.size();
    if (code)
        n += sizeof(FunctionCode) + code->scope.capacity() * sizeof(Object*);
    if (host)
        n += host->Bytes();
    return n;
}

Heap::~Heap() {
    for (Object* o : objects_)
        delete o;
}

Object* Heap::New(Kind kind) {
    if (bytes_ > cap_)
        return nullptr;
    Object* o = new Object(kind);
    objects_.push_back(o);
    bytes_ += sizeof(Object) + 16;
    return o;
}

namespace {
void MarkValue(const Value& v, std::vector<Object*>& work) {
    if (v.type == Type::Object && v.o && !v.o->marked)
        work.push_back(v.o);
}
void MarkObject(Object* o, std::vector<Object*>& work) {
    if (o && !o->marked)
        work.push_back(o);
}
} // namespace

void Heap::Collect(const std::vector<Object*>& roots) {
    std::vector<Object*> work;
    for (Object* r : roots)
        MarkObject(r, work);
    // An explicit work list: long prototype or list chains never deepen the C++ stack.
    while (!work.empty()) {
        Object* o = work.back();
        work.pop_back();
        if (o->marked)
            continue;
        o->marked = true;
        MarkObject(o->proto, work);
        for (const Property& p : o->props) {
            MarkValue(p.value, work);
            MarkObject(p.getter, work);
            MarkObject(p.setter, work);
        }
        for (const Value& v : o->elements)
            MarkValue(v, work);
        MarkValue(o->primitive, work);
        for (Object* i : o->interfaces)
            MarkObject(i, work);
        MarkObject(o->superThis, work);
        if (o->watches) {
            for (const Watch& w : *o->watches) {
                MarkObject(w.callback, work);
                MarkValue(w.userData, work);
            }
        }
        MarkObject(o->superHome, work);
        if (o->code) {
            for (Object* s : o->code->scope)
                MarkObject(s, work);
            MarkObject(o->code->target, work);
        }
        if (o->host)
            o->host->Trace(work);
    }
    size_t kept = 0;
    bytes_ = 0;
    for (Object* o : objects_) {
        if (o->marked) {
            o->marked = false;
            bytes_ += o->Bytes() + 16;
            objects_[kept++] = o;
        } else {
            delete o;
        }
    }
    objects_.resize(kept);
}

} // namespace avm1
