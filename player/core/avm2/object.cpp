#include "player/core/avm2/object.h"

#include <algorithm>

#include "player/core/avm2/vm.h"

namespace avm2 {

bool Name::Has(int ns) const {
    if (anyNs)
        return true;
    if (!set)
        return single == ns;
    for (int x : *set)
        if (x == ns)
            return true;
    return false;
}

// Does a binding in namespace `ns` answer name `n`? Natives answer public and AS3 names;
// a protected member answers any protected namespace in the set, since a subclass asks
// with its own.
static bool Matches(int ns, const Name& n) {
    if (n.anyNs)
        return true;
    if (ns == kAnyNs)
        return n.Has(kPublicNs) || n.Has(kAs3Ns);
    const int group = NsGroup(ns);
    if (group == kGroupProtected || group == kGroupStaticProtected) {
        if (!n.set)
            return NsGroup(n.single) == group;
        for (int x : *n.set)
            if (NsGroup(x) == group)
                return true;
        return false;
    }
    return n.Has(ns);
}

const Binding* Traits::Find(const std::string& name, const Name& n) const {
    auto it = map.find(name);
    if (it == map.end())
        return nullptr;
    // A script's own binding (an override of a native method) comes before the native one;
    // of two a namespace set both matches, the subclass's (added later) wins, as in Flash.
    const Binding* native = nullptr;
    for (auto b_it = it->second.rbegin(); b_it != it->second.rend(); ++b_it)
        if (const Binding& b = *b_it; Matches(b.ns, n)) {
            if (b.ns != kAnyNs)
                return &b;
            native = &b; // the first native one added
        }
    return native;
}

const Binding* Traits::FindAny(const std::string& name) const {
    auto it = map.find(name);
    return it == map.end() || it->second.empty() ? nullptr : &it->second[0];
}

Binding* Traits::Add(const std::string& name, int ns) {
    std::vector<Binding>& list = map[name];
    // A binding declared again (an override, a subclass's own) moves last, where Find looks
    // first.
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].ns == ns) {
            std::rotate(list.begin() + long(i), list.begin() + long(i) + 1, list.end());
            return &list.back();
        }
    list.emplace_back();
    list.back().ns = ns;
    return &list.back();
}

bool ClassInfo::IsSubclassOf(const ClassInfo* other) const {
    for (const ClassInfo* c = this; c; c = c->super) {
        if (c == other)
            return true;
        for (const ClassInfo* i : c->interfaces)
            if (i == other || i->IsSubclassOf(other))
                return true;
    }
    return false;
}

Value* DynProps::Find(const std::string& key) {
    Entry* e = FindEntry(key);
    return e ? &e->value : nullptr;
}

DynProps::Entry* DynProps::FindEntry(const std::string& key) {
    if (entries.size() <= 8) {
        for (Entry& e : entries)
            if (e.live && e.key == key)
                return &e;
        return nullptr;
    }
    if (index.size() != entries.size()) {
        index.clear();
        for (uint32_t i = 0; i < entries.size(); ++i)
            if (entries[i].live)
                index[entries[i].key] = i;
    }
    auto it = index.find(key);
    return it == index.end() || !entries[it->second].live ? nullptr : &entries[it->second];
}

void DynProps::Set(const std::string& key, const Value& v, bool enumerable) {
    if (Entry* e = FindEntry(key)) {
        e->value = v;
        return;
    }
    if (!index.empty())
        index[key] = uint32_t(entries.size());
    entries.push_back(Entry{key, v, enumerable, true});
    if (!index.empty() && index.size() != entries.size())
        index.clear();
    ++live;
}

bool DynProps::Erase(const std::string& key) {
    Entry* e = FindEntry(key);
    if (!e)
        return false;
    e->live = false;
    e->value = Value();
    --live;
    if (live == 0) {
        entries.clear();
        index.clear();
    }
    return true;
}

Heap::~Heap() {
    for (Object* o : objects_)
        delete o;
}

Object* Heap::New(Kind k) {
    Object* o = new Object(k);
    o->bytes = sizeof(Object);
    used_ += o->bytes;
    objects_.push_back(o);
    return o;
}

void Heap::Account(Object* o, size_t bytes) {
    o->bytes += bytes;
    used_ += bytes;
}

void Heap::Sweep() {
    size_t keep = 0;
    for (Object* o : objects_) {
        if (o->marked) {
            o->marked = false;
            objects_[keep++] = o;
        } else {
            used_ -= o->bytes;
            delete o;
        }
    }
    objects_.resize(keep);
}

} // namespace avm2
