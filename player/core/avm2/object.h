// The object model: objects with slots, dynamic properties and a native payload; traits
// (named bindings qualified by namespace); methods (bytecode or native); classes; scope
// chains; and the heap, collected between frames with a byte cap.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "player/core/avm2/abc.h"
#include "player/core/avm2/value.h"

namespace avm2 {

class Vm;
struct ClassInfo;
struct LoadedAbc;
struct Method;

using NativeFn = Value (*)(Vm& vm, const Value& self, Value* args, int argc);

enum class Kind : uint8_t {
    Plain,
    Function,
    Class,
    Array,
    Vector,
    Date,
    RegExp,
    Error,
    ByteArray,
    Dictionary,
    Global,
    Activation,
    Namespace,
    Boxed, // new Number / String / Boolean
    QName, // str: the local name, bound: the uri (null for any)
    Event,
    Dispatcher, // EventDispatcher and everything built on it
    Timer,
    Geom,
    Other,
};

// Namespace ids: interned by kind and URI; private ones are unique per ABC entry.
const int kPublicNs = 0;
const int kAnyNs = -1; // native bindings: match public and AS3

struct Scope;
using ScopeRef = std::shared_ptr<const Scope>;

// A runtime name: the local part and the namespaces it may be in.
struct Name {
    Text local;
    const std::vector<int>* set = nullptr; // nullptr: `single`
    int single = kPublicNs;
    bool anyName = false, anyNs = false, attribute = false;
    bool Has(int ns) const;
    bool HasPublic() const { return Has(kPublicNs); }
    static Name Public(Text local) {
        Name n;
        n.local = std::move(local);
        return n;
    }
};

enum class SlotType : uint8_t { Any, Int, Uint, Number, Boolean, String, Object };

struct Binding {
    enum K : uint8_t { Slot, Const, Method, Accessor } k = Slot;
    int ns = kPublicNs;
    SlotType type = SlotType::Any;
    uint32_t slot = 0;
    avm2::Method* method = nullptr; // Method
    avm2::Method* getter = nullptr; // Accessor
    avm2::Method* setter = nullptr;
};

struct SlotInit {
    uint32_t slot = 0;
    SlotType type = SlotType::Any;
    Value value;
    const AbcFile* abc = nullptr; // for class types of slots
    uint32_t typeName = 0;
    int classIndex = -1; // class traits: filled when the class is made
};

struct Traits {
    std::unordered_map<std::string, std::vector<Binding>> map;
    std::vector<SlotInit> slots; // by slot index
    const Binding* Find(const std::string& name, const Name& n) const;
    const Binding* FindAny(const std::string& name) const; // any namespace
    Binding* Add(const std::string& name, int ns);         // replaces a binding of the same ns
};

struct Method {
    const AbcFile* abc = nullptr;
    LoadedAbc* loaded = nullptr;
    uint32_t index = 0;
    int8_t ret = -1; // SlotType of the return type, once known
    const AbcMethodBody* body = nullptr;
    NativeFn native = nullptr;
    std::string name;
    ClassInfo* owner = nullptr; // the class whose trait it is (super calls)
    std::unique_ptr<Traits> activation;
    bool isStatic = false;
    uint8_t length = 0;    // a native's declared parameter count (Function.length)
    std::string frame;     // as a stack trace names it: "pkg::Class/get name", "Class$cinit"
    int8_t associated = 0; // 1 when its uses of other methods check out, -1 when not
};

struct Scope {
    std::vector<Value> values;
    std::vector<uint8_t> with; // per value: a with scope
};

struct ClassInfo {
    std::string name, uri; // local name and package
    Object* object = nullptr;
    ClassInfo* super = nullptr;
    Traits inst, stat;
    Method* iinit = nullptr;
    Method* cinit = nullptr;
    NativeFn call = nullptr; // the class called as a function: String(x), int(x)
    Kind kind = Kind::Plain; // what its instances carry
    bool sealed = true, isFinal = false, isInterface = false;
    std::vector<ClassInfo*> interfaces;
    // Interfaces not yet defined when the class was (a class may come before the interfaces
    // it implements): resolved when an instance test first needs them.
    std::vector<uint32_t> pendingInterfaces;
    LoadedAbc* pendingAbc = nullptr;
    Object* prototype = nullptr;
    // Instance methods see the scope at newclass, then the class; the class initialiser and
    // static methods only the scope at newclass (a static method of a class with a `trace`
    // finds the global one, as Haxe's flash.Lib.trace relies on).
    ScopeRef scope, staticScope;
    int protectedNs = -2;
    ClassInfo* vectorOf = nullptr; // Vector.<T>: T (nullptr for *)
    bool isVector = false;
    SlotType vectorType = SlotType::Any;
    std::string QualifiedName() const { return uri.empty() ? name : uri + "::" + name; }
    bool IsSubclassOf(const ClassInfo* other) const;
};

// Insertion-ordered dynamic properties.
struct DynProps {
    struct Entry {
        std::string key;
        Value value;
        bool enumerable = true;
        bool live = true;
    };
    std::vector<Entry> entries;
    std::unordered_map<std::string, uint32_t> index;
    size_t live = 0;
    Value* Find(const std::string& key);
    Entry* FindEntry(const std::string& key);
    void Set(const std::string& key, const Value& v, bool enumerable = true);
    bool Erase(const std::string& key);
};

// What display objects, events and other native classes keep beside their slots.
struct Extra {
    explicit Extra(const void* t = nullptr) : tag(t) {}
    virtual ~Extra() = default;
    virtual void Mark(Vm& vm) { (void)vm; }
    const void* tag; // whose payload it is, for those looked up by it (TaggedExtra)
};

// A payload that ExtraOf finds again: its tag is its class's own (the engine is built
// without run-time type information).
template <class Self> struct TaggedExtra : Extra {
    static constexpr char kTag = 0;
    TaggedExtra() : Extra(&kTag) {}
};

// The payload as T when it is one, else null.
template <class T> T* ExtraOf(const std::unique_ptr<Extra>& extra) {
    return extra && extra->tag == &TaggedExtra<T>::kTag ? static_cast<T*>(extra.get()) : nullptr;
}

struct Object {
    explicit Object(Kind k) : kind(k) {}
    Kind kind;
    bool marked = false;
    bool dynamicProps = true; // instances of sealed classes refuse new properties
    ClassInfo* cls = nullptr;
    Object* proto = nullptr;
    const Traits* own = nullptr; // class statics, script globals, activations
    std::vector<Value> slots;
    std::unique_ptr<DynProps> dyn;
    // Payloads
    std::vector<Value> elems;  // Array, Vector, arguments
    double num = 0;            // Date, boxed numbers
    Text str;                  // RegExp source, boxed strings, Namespace uri
    Method* method = nullptr;  // Function
    ScopeRef scope;            // Function: captured scope
    Value bound;               // Function: a method closure's this; QName: the uri
    ClassInfo* info = nullptr; // Class: what it describes
    std::unique_ptr<Extra> extra;
    size_t bytes = 0; // counted against the heap's cap
};

class Heap {
  public:
    explicit Heap(size_t cap) : cap_(cap) {}
    ~Heap();
    Object* New(Kind k);
    void Account(Object* o, size_t bytes); // payload growth
    bool OverCap() const { return used_ > cap_; }
    size_t Used() const { return used_; }
    size_t Count() const { return objects_.size(); }
    // Frees every object not marked, then clears the marks.
    void Sweep();
    std::vector<Object*>& objects() { return objects_; }

  private:
    std::vector<Object*> objects_;
    size_t used_ = 0, cap_;
};

} // namespace avm2
