// Script objects and the heap that owns them. Every object lives in the Heap; a mark and
// sweep between scripts frees what the roots no longer reach, cycles included, and a byte
// cap makes allocation fail (the script is then abandoned) instead of growing without end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "player/core/avm1/actions.h"
#include "player/core/avm1/value.h"

namespace avm1 {

class Vm;
class Object;

// Arguments of a native function; reading past the end gives undefined.
struct Args {
    const Value* v = nullptr;
    size_t n = 0;
    const Value& operator[](size_t i) const;
    size_t size() const { return n; }
};

using NativeFn = Value (*)(Vm& vm, const Value& self, const Args& args);

enum class Kind : uint8_t {
    Plain,
    Function,
    Array,
    Boolean,
    Number,
    String,
    Date,
    Clip,       // a movie clip on the display list (through the display bridge)
    Text,       // a text field on the display list
    Super,      // the `super` of a method: a view of `this` from the next prototype up
    TextFormat, // its properties live in `elements`, one slot each, behind the prototype's
                // getters and setters
};

enum PropFlag : uint16_t { kDontEnum = 1, kDontDelete = 2, kReadOnly = 4 };

// ASSetPropFlags' version bits: a property carrying one is invisible to reads in movies
// older than the bit's version (it still enumerates, and an assignment replaces it).
inline bool HiddenForVersion(uint16_t flags, int version) {
    return ((flags & 0x0080) && version < 6) || ((flags & 0x0500) && version < 7) ||
           ((flags & 0x1000) && version < 8) || ((flags & 0x2000) && version < 9) ||
           ((flags & 0x4000) && version < 10);
}

struct Property {
    std::string name;
    Value value;
    Object* getter = nullptr; // addProperty
    Object* setter = nullptr;
    uint16_t flags = 0;
    // Each addProperty makes a new accessor, which nests on its own count (Vm::AccessorFree).
    uint32_t serial = 0;
};

// A function written in the movie: where its body is, how it takes its arguments, and the
// scope it closes over.
struct FunctionCode {
    std::shared_ptr<const ActionBlock> block;
    uint32_t begin = 0, end = 0;
    std::vector<std::string> params;
    std::vector<uint8_t> paramRegisters; // DefineFunction2 only; 0 = not in a register
    bool v2 = false;
    uint16_t flags = 0;
    uint8_t registerCount = 0;
    std::shared_ptr<const std::vector<std::string>> pool;
    std::vector<Object*> scope; // outermost first; _global is implied after it
    Object* target = nullptr;   // the clip whose timeline defined it
};

// State a built-in class keeps beside an object's properties (a bitmap's pixels, a filter's
// settings, an XML node's links): the collector follows its references and counts its bytes
// against the heap's cap. `tag`, where set, names the class, so a native method can tell
// its own state from another's.
class HostData {
  public:
    explicit HostData(const void* t = nullptr) : tag(t) {}
    virtual ~HostData() = default;
    virtual void Trace(std::vector<Object*>&) const {}
    virtual size_t Bytes() const = 0;
    const void* tag;
};

// Host data that HostOf finds again: its tag is its class's own (the engine is built
// without run-time type information).
template <class Self> struct TaggedHost : HostData {
    static constexpr char kTag = 0;
    TaggedHost() : HostData(&kTag) {}
};

// The object's host data as T when it is one, else null.
template <class T> T* HostOf(const std::shared_ptr<HostData>& host) {
    return host && host->tag == &TaggedHost<T>::kTag ? static_cast<T*>(host.get()) : nullptr;
}

// Object.watch: a callback that sees every assignment to one name before it lands.
struct Watch {
    std::string name;
    Object* callback = nullptr;
    Value userData;
};

class Object {
  public:
    explicit Object(Kind k) : kind(k) {}

    Kind kind;
    bool marked = false;
    bool constructing = false; // set while a native constructor fills a fresh object
    Object* proto = nullptr;
    std::vector<Property> props;

    std::vector<Value> elements;        // Array
    Value primitive;                    // Boolean / Number / String wrappers, Date's time
    uint32_t clip = 0;                  // Clip / Text: display object id
    NativeFn native = nullptr;          // Function written in C++
    Kind constructs = Kind::Plain;      // what `new` makes for a native constructor
    std::unique_ptr<FunctionCode> code; // Function written in the movie
    std::vector<Object*> interfaces;    // ImplementsOp, on a constructor's prototype
    Object* superThis = nullptr;        // Super
    Object* superHome = nullptr;        // Super: the prototype holding the running method
    std::shared_ptr<HostData> host;     // a built-in class's own state
    std::unique_ptr<std::vector<Watch>> watches;

    Property* Find(const std::string& name, bool caseSensitive);
    // Adds a property known to be absent.
    Property& Add(Property p);
    // Sets or adds an own data property, keeping flags of an existing one.
    Property& Put(const std::string& name, Value value, bool caseSensitive, uint16_t flags = 0);
    // The same by a literal name: the string is made here, not at each of the callers.
    Property& Put(const char* name, Value value, bool caseSensitive, uint16_t flags = 0);
    bool Remove(const std::string& name, bool caseSensitive);
    bool IsFunction() const { return kind == Kind::Function; }
    size_t Bytes() const;

  private:
    // Objects with many properties (prototypes, globals) find names through an index of
    // lower-cased names; small ones scan.
    static constexpr size_t kIndexFrom = 12;
    void Reindex();
    std::unique_ptr<std::unordered_map<std::string, uint32_t>> index_;
};

class Heap {
  public:
    explicit Heap(size_t capBytes) : cap_(capBytes) {}
    ~Heap();
    Heap(const Heap&) = delete;
    Heap& operator=(const Heap&) = delete;

    // Null once the cap is reached; the caller abandons the script.
    Object* New(Kind kind);
    // Growth of an existing object (properties, elements, strings) counted against the cap.
    void Charge(size_t bytes) { bytes_ += bytes; }
    bool OverCap() const { return bytes_ > cap_; }
    // Counts `bytes` about to be allocated, unless they would pass the cap (then false).
    bool Reserve(size_t bytes) {
        if (bytes > cap_ || bytes_ > cap_ - bytes)
            return false;
        bytes_ += bytes;
        return true;
    }
    size_t Bytes() const { return bytes_; }
    size_t Remaining() const { return bytes_ < cap_ ? cap_ - bytes_ : 0; }
    size_t Count() const { return objects_.size(); }

    // Frees everything not reachable from roots; recounts the bytes.
    void Collect(const std::vector<Object*>& roots);

  private:
    std::vector<Object*> objects_;
    size_t bytes_ = 0;
    size_t cap_;
};

} // namespace avm1
