// The ActionScript 3 virtual machine: loaded ABC blocks and their scripts, the class
// definitions (one application domain), property access by multiname, calls, the
// interpreter and the budgets. The engine's facade drives it frame by frame through
// `player/core/as3_host.*`; display objects reach the timeline through `TimelineBridge`.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "player/core/avm2/abc.h"
#include "player/core/render/bitmap_ops.h"
#include "player/core/render/text_layout.h"
#include "player/core/timeline/display_list.h"
#include "player/core/timeline/drawing.h"
#include "player/core/avm2/object.h"
#include "player/core/avm2/value.h"

namespace avm2 {

// Namespace ids carry their group in the low bits, so traits can match protected names
// without the Vm's tables.
enum NsGroup : int {
    kGroupPublic = 0,
    kGroupInternal = 1,
    kGroupProtected = 2,
    kGroupStaticProtected = 3,
    kGroupPrivate = 4,
    kGroupExplicit = 5,
};
inline int NsGroup(int id) {
    return id < 0 ? kGroupPublic : id & 7;
}
const int kAs3Ns = 8; // "http://adobe.com/AS3/2006/builtin", interned first

struct Limits {
    uint64_t instructionsPerFrame = 20'000'000;
    double millisecondsPerFrame = 300;
    int maxCallDepth = 200; // Flash's own limit is near this
    size_t memoryBytes = 128u << 20;
    size_t maxStack = 1u << 17;
    size_t maxStringBytes = 16u << 20;
    size_t maxElements = 1u << 24;
};

enum class RunResult { Done, Abandoned, TooDeep, OutOfMemory, Thrown };

enum class Channel { Trace, Notice };

// What display objects made from the movie's timelines ask of it. Frames are 1-based.
struct LoadedAbc;
struct Script;
class SoundPort;

// A display object's placement as scripts see it: pixels, scales as factors, degrees.
struct Placement {
    double x = 0, y = 0, scaleX = 1, scaleY = 1, rotation = 0, alpha = 1;
    bool visible = true;
    double mul[3] = {1, 1, 1}, add[4] = {0, 0, 0, 0}; // colour: red, green, blue (, alpha)
};

class TimelineBridge {
  public:
    virtual ~TimelineBridge() = default;
    // Objects on the stage: their placement read and set (setting makes an object the
    // script's: the timeline no longer moves it); an object scripts made put on the stage
    // on top of a parent's (its id, 0 when it cannot be) or taken off with what it holds;
    // what scripts draw into one. The defaults answer as if nothing were on a stage.
    virtual bool GetPlacement(uint32_t id, Placement* p) { return (void)id, (void)p, false; }
    virtual void SetPlacement(uint32_t id, const Placement& p) { (void)id, (void)p; }
    virtual uint32_t Realize(uint32_t parent, Object* obj) { return (void)parent, (void)obj, 0; }
    virtual void Unrealize(uint32_t id) { (void)id; }
    // A display object a script makes with `new`, before any of its constructor runs: one of
    // a class bound to a library symbol is given that symbol's first frame here (its
    // children made and set on it, constructed once its constructor calls `super()`), off
    // every list until added.
    virtual void Born(Object* obj) { (void)obj; }
    // An object's constructor reached DisplayObject's (or ended): the timeline's children
    // it holds are constructed now.
    virtual void BuildChildren(Object* obj) { (void)obj; }
    // The filters the timeline placed an object with.
    virtual std::vector<swf::Filter> PlacedFilters(uint32_t id) {
        return (void)id, std::vector<swf::Filter>();
    }
    // The name of the next display object made: "instance" and a count the timeline shares.
    virtual std::string NewInstanceName() { return std::string(); }
    // Whether instances of `c` come with a library symbol's frames.
    virtual bool HasSymbol(const ClassInfo* c) { return (void)c, false; }
    virtual void Draw(uint32_t id, const timeline::DrawOp& op) { (void)id, (void)op; }
    // A text field's state on the stage (null when `id` is none), changed in place by the
    // TextField library, which then calls TextFieldChanged (id 0 for a field off the stage):
    // the box follows autoSize. Metrics are the field's layout with the movie's fonts.
    virtual timeline::TextFieldState* TextField(uint32_t id) { return (void)id, nullptr; }
    virtual void TextFieldChanged(uint32_t id, timeline::TextFieldState& field) {
        (void)id, (void)field;
    }
    virtual render::FieldMetrics MeasureField(const timeline::TextFieldState& field) {
        return (void)field, render::FieldMetrics();
    }
    // Bitmaps: a copy of the movie's bitmap a class is bound to (false when none); a display
    // object drawn onto a bitmap through `m` (pixels); a shown Bitmap given other pixels.
    virtual bool LibraryBitmap(const ClassInfo* c, render::ScriptBitmap* out) {
        return (void)c, (void)out, false;
    }
    virtual void DrawOnto(uint32_t id, render::ScriptBitmap* target, const swf::Affine& m,
                          const swf::ColorTransform& cx, const render::IntRect& clip) {
        (void)id, (void)target, (void)m, (void)cx, (void)clip;
    }
    virtual void ShowBitmap(uint32_t id, const render::ScriptBitmap& b, bool smooth) {
        (void)id, (void)b, (void)smooth;
    }
    // The font a class is bound to (Font subclasses of the movie's fonts): false when none.
    virtual bool LibraryFont(const ClassInfo* c, std::string* name, bool* bold, bool* italic) {
        return (void)c, (void)name, (void)bold, (void)italic, false;
    }
    // What scripts set on how an object draws: filters, and its blend mode.
    virtual void SetFilters(uint32_t id, const std::vector<swf::Filter>& filters) {
        (void)id, (void)filters;
    }
    virtual void SetBlendMode(uint32_t id, swf::BlendMode mode) { (void)id, (void)mode; }
    // Objects of one parent trade the depths they hold so they draw in this order.
    virtual void Restack(const std::vector<uint32_t>& ids) { (void)ids; }
    virtual uint32_t CurrentFrame(uint32_t id) = 0;
    virtual uint32_t TotalFrames(uint32_t id) = 0;
    virtual bool Playing(uint32_t id) = 0;
    virtual void SetPlaying(uint32_t id, bool playing) = 0;
    virtual void Goto(uint32_t id, uint32_t frame) = 0;
    virtual int FrameOfLabel(uint32_t id, const std::string& label) = 0; // 0 when absent
    virtual std::string LabelOf(uint32_t id, uint32_t frame) = 0;        // the label at or before
    virtual std::vector<std::pair<std::string, uint32_t>> Labels(uint32_t id) = 0;
    // The object's bounds in its parent's pixels (xMin, yMin, xMax, yMax), or the stage's;
    // false if empty. Whether a stage point lies on what it shows.
    virtual bool Bounds(uint32_t id, double* box, bool onStage = false) {
        return (void)id, (void)box, (void)onStage, false;
    }
    virtual bool Hit(uint32_t id, double x, double y) { return (void)id, (void)x, (void)y, false; }
    // Scenes by name and first frame; none when the timeline has no scenes of its own.
    virtual std::vector<std::pair<std::string, uint32_t>> Scenes(uint32_t id) {
        return (void)id, std::vector<std::pair<std::string, uint32_t>>();
    }
};

// One native member of a built-in class. A class's members are a constant table walked
// by Vm::AddNatives in order: data in place of a call each, for some 700 members.
struct Native {
    enum How : uint8_t { Method, StaticMethod, Accessor, StaticAccessor, ProtoMethod };
    const char* name;
    NativeFn fn;  // the method, or the accessor's getter (nullptr: none)
    NativeFn set; // the accessor's setter (nullptr: none)
    How how;
};
constexpr Native Fn(const char* name, NativeFn fn) {
    return {name, fn, nullptr, Native::Method};
}
constexpr Native StaticFn(const char* name, NativeFn fn) {
    return {name, fn, nullptr, Native::StaticMethod};
}
constexpr Native Accessor(const char* name, NativeFn get, NativeFn set = nullptr) {
    return {name, get, set, Native::Accessor};
}
constexpr Native StaticAccessor(const char* name, NativeFn get, NativeFn set = nullptr) {
    return {name, get, set, Native::StaticAccessor};
}
constexpr Native ProtoFn(const char* name, NativeFn fn) { // on the prototype
    return {name, fn, nullptr, Native::ProtoMethod};
}

class Vm {
  public:
    using Sink = std::function<void(Channel, const std::string&)>;
    using Clock = std::function<double()>;

    explicit Vm(Limits limits = Limits());
    ~Vm();
    Vm(const Vm&) = delete;
    Vm& operator=(const Vm&) = delete;

    void SetSink(Sink sink) { sink_ = std::move(sink); }
    void SetClock(Clock clock) { clock_ = std::move(clock); }
    void SetWallClock(Clock clock) { wall_ = std::move(clock); }
    void SetTimeline(TimelineBridge* t) { timeline_ = t; }
    TimelineBridge* timeline() const { return timeline_; }

    // ---- what the facade drives ----
    // A DoABC block: read and checked whole, its definitions added; unless lazy, its last
    // script runs now. A damaged block is refused with the reason and nothing of it runs.
    AbcStatus LoadAbc(const uint8_t* data, size_t size, bool lazy);
    void BeginFrame();
    void EndFrame();
    void CollectGarbage();
    // Due timers (setTimeout, setInterval, Timer objects).
    void RunTimers();
    // When the next timer falls due (infinity when none waits).
    double NextTimerDue() const;
    // The class named "pkg.Name" or "pkg::Name" (scripts run on demand); nullptr if none.
    ClassInfo* FindClass(const std::string& qualified);
    Value FindDefinition(const std::string& qualified);
    // The movie's public definitions, "pkg::Name", in the order their scripts came.
    std::vector<std::string> DefinitionNames() const;      // classes, functions, constants
    Value DefinitionOrError(const std::string& qualified); // the same, or a ReferenceError
    // new C(args) from the host; nullptr when it threw (reported).
    Object* ConstructFromHost(ClassInfo* c, Object* preset = nullptr);
    RunResult CallFromHost(const Value& fn, const Value& self, const Value* args, int argc);
    // Roots kept by the host (display objects it holds).
    std::function<void(Vm&)> markHost;
    // After everything reachable is marked and before the rest is freed: the host lets go
    // of what it held weakly (objects off every list that nothing reaches).
    std::function<void(Vm&)> sweepHost;
    void MarkValue(const Value& v) { Mark(v); }

    // ---- for built-ins ----
    Heap& heap() { return heap_; }
    const Limits& limits() const { return limits_; }
    double Now();
    double WallNow();
    double Random();
    void Emit(Channel c, const std::string& text);
    void Trace(const std::string& text) { Emit(Channel::Trace, text); }
    void Notice(const std::string& text) { Emit(Channel::Notice, text); }

    int InternNs(int group, const std::string& uri);
    // Builtin classes; `super` may be nullptr for Object.
    // Names are C strings: built-ins pass literals, which then make no string at every call.
    ClassInfo* DefineClass(const char* uri, const char* name, ClassInfo* super, Kind kind,
                           NativeFn ctor, NativeFn call = nullptr);
    void DefineFunction(const char* uri, const char* name, NativeFn fn);
    void DefineConstant(const char* uri, const char* name, const Value& v);
    Method* NativeMethod(const char* name, NativeFn fn);
    Method* AddMethod(ClassInfo* c, const char* name, NativeFn fn, bool isStatic = false);
    void AddConstant(ClassInfo* c, const char* name, const Value& v); // a static const slot
    void AddGetter(ClassInfo* c, const char* name, NativeFn get, NativeFn set = nullptr,
                   bool isStatic = false);
    void AddProtoMethod(ClassInfo* c, const char* name, NativeFn fn); // on the prototype
    void AddNatives(ClassInfo* c, const Native* natives, size_t count);
    template <size_t N> void AddNatives(ClassInfo* c, const Native (&natives)[N]) {
        AddNatives(c, natives, N);
    }
    ClassInfo* Builtin(const char* name) const; // builtin classes by local name

    Object* NewObject(); // a plain Object
    Object* NewArray(std::vector<Value> elements = {});
    Object* NewInstance(ClassInfo* c); // allocated, slots set, no constructor run
    Object* NewFunction(Method* m, ScopeRef scope, const Value& bound = Value());
    Object* NewNativeFunction(const char* name, NativeFn fn);
    Value NewError(const char* cls, int code, std::string_view message);
    // Makes a pending exception; returns undefined, which the caller hands back.
    Value ThrowError(const char* cls, int code, std::string_view message);
    Value Throw(const Value& v);
    bool throwing() const { return throwing_; }
    Value TakeThrown() {
        throwing_ = false;
        Value v = std::move(thrown_);
        thrown_ = Value();
        return v;
    }
    bool aborted() const { return abort_ != RunResult::Done; }
    void Abort(RunResult why);
    bool StringFits(size_t bytes);

    // Property access.
    Value GetProperty(const Value& obj, const Name& n);
    void SetProperty(const Value& obj, const Name& n, const Value& v, bool init = false);
    bool HasProperty(const Value& obj, const Name& n);
    bool DeleteProperty(const Value& obj, const Name& n);
    Value Get(const Value& obj, const std::string& name) {
        return GetProperty(obj, Name::Public(name));
    }
    void Set(const Value& obj, const std::string& name, const Value& v) {
        SetProperty(obj, Name::Public(name), v);
    }
    // The same by a literal name: the name is made here, not at each of the callers.
    Value Get(const Value& obj, const char* name);
    void Set(const Value& obj, const char* name, const Value& v);
    Value CallProperty(const Value& obj, const Name& n, Value* args, int argc);
    Value CallMethod(const Value& obj, const char* name, Value* args, int argc) {
        return CallProperty(obj, Name::Public(name), args, argc);
    }
    Value Call(const Value& fn, const Value& self, Value* args, int argc);
    Value Construct(const Value& ctor, Value* args, int argc);
    Value ConstructClass(ClassInfo* c, Value* args, int argc, Object* preset = nullptr);
    Value Invoke(Method* m, const Value& self, Value* args, int argc, const ScopeRef& scope);
    // The scope a class's method runs in: its class's, without the class for a static one.
    static ScopeRef ScopeOf(const Method* m) {
        return !m->owner ? nullptr : m->isStatic ? m->owner->staticScope : m->owner->scope;
    }
    bool IsInstance(const Value& v, const ClassInfo* c);
    ClassInfo* ClassOf(const Value& v); // a primitive's class too
    // Enumeration for for-in and JSON: names in order, and the object's own values.
    void EnumerableNames(Object* o, std::vector<Value>* out);

    // Conversions that may run script.
    double ToNumber(const Value& v);
    std::string ToString(const Value& v);
    Value ToPrimitive(const Value& v, bool preferString = false);
    bool Equals(const Value& a, const Value& b);
    bool StrictEquals(const Value& a, const Value& b);
    Value Less(const Value& a, const Value& b); // undefined when NaN meets
    Value Add(const Value& a, const Value& b);
    std::string TypeOf(const Value& v);
    Value Coerce(const Value& v, SlotType t);
    Value CoerceTo(const Value& v, ClassInfo* c); // TypeError when it is not one
    std::string DescribeForError(const Value& v);

    // Vector.<T>
    ClassInfo* VectorOf(ClassInfo* element);
    // Timers
    struct Timer {
        int id = 0;
        Value fn;
        double interval = 0, due = 0;
        bool once = false;
        std::vector<Value> args;
        Object* owner = nullptr; // a flash.utils.Timer
    };
    int AddTimer(Timer t);
    bool RemoveTimer(int id);
    // flash.media: the engine's sounds (none: silence), the channels playing by handle (kept
    // alive while they play, as Flash keeps them), SoundMixer.bufferTime.
    void SetSound(SoundPort* port) { sound_ = port; }
    SoundPort* sound() const { return sound_; }
    std::map<uint32_t, Object*>& soundChannels() { return soundChannels_; }
    int32_t soundBufferTime = 1000;
    // Broadcast events (enterFrame, frameConstructed, exitFrame): dispatchers listening.
    std::vector<Object*>& broadcast() { return broadcast_; }

    ClassInfo* objectClass = nullptr;
    ClassInfo* functionClass = nullptr;
    ClassInfo* proxyClass = nullptr; // flash.utils.Proxy
    int proxyNs = 0;                 // the flash_proxy namespace
    // A name as the QName a Proxy's hooks receive; whether an object's class is a Proxy
    // subclass; one flash_proxy hook called on it (IllegalOperationError when missing).
    Value QNameValue(const Name& n);
    bool IsProxy(const Object* o) const;
    Value ProxyHook(Object* o, const char* hook, Value* args, int argc);
    ClassInfo* classClass = nullptr;
    std::map<std::string, ClassInfo*> classAliases; // registerClassAlias
    int defaultObjectEncoding = 3;                  // ByteArray's, 0 or 3
    ClassInfo* arrayClass = nullptr;
    ClassInfo* stringClass = nullptr;
    ClassInfo* numberClass = nullptr;
    ClassInfo* intClass = nullptr;
    ClassInfo* uintClass = nullptr;
    ClassInfo* booleanClass = nullptr;
    ClassInfo* vectorClass = nullptr;
    ClassInfo* namespaceClass = nullptr;
    Object* globalObject = nullptr; // builtins' global (trace, Math...)
    uint64_t instructionsRun() const { return totalInstructions_; }
    // The running methods as Error.getStackTrace lists them, innermost first.
    std::string StackTrace() const;
    // An uncaught error as Flash reports it: its text, then, for an Error, where it was made.
    std::string Report(const Value& thrown);
    // Natives whose work grows with input count each step like an instruction.
    bool Step() { return Budget(); }

  private:
    friend struct Interp;

    void InstallBuiltins();
    Script* FindScript(const Name& n, std::string* local);
    bool EnsureScript(Script* s);
    Value FindGlobal(const Name& n, bool strict, bool* found);
    Value RunBody(Method* m, const Value& self, Value* args, int argc, const ScopeRef& scope);
    std::string FrameName(const LoadedAbc& abc, const ClassInfo* owner, bool isStatic,
                          uint32_t multiname, const char* accessor);
    void LinkTraits(LoadedAbc& abc, const std::vector<AbcTrait>& src, Traits* out, ClassInfo* owner,
                    bool isStatic, uint32_t baseSlots);
    Method* MethodOf(LoadedAbc& abc, uint32_t index);
    ClassInfo* NewClass(LoadedAbc& abc, uint32_t index, ClassInfo* super, const ScopeRef& scope);
    Value ConstValue(const LoadedAbc& abc, uint8_t kind, uint32_t index);
    SlotType SlotTypeOf(const LoadedAbc& abc, uint32_t typeName);
    ClassInfo* ResolveClass(const LoadedAbc& abc, uint32_t multiname);
    void InitSlots(Object* o, const Traits& t);
    Value GetBinding(const Value& self, Object* holder, const Binding& b);
    void ResolveInterfaces(ClassInfo* c, int depth);
    void BindInterfaceNames(ClassInfo* c, const ClassInfo* from, int depth);
    ClassInfo* SlotClass(Object* holder, uint32_t slot); // a slot's class type, if any
    bool SetBinding(const Value& self, Object* holder, const Binding& b, const Value& v, bool init,
                    const Name& n);
    const Binding* FindTrait(Object* o, const Name& n, Object** holder);
    bool Budget();
    void Mark(const Value& v);
    void MarkObject(Object* o);
    void MarkScope(const ScopeRef& s);
    void MarkClass(ClassInfo* c);

    Limits limits_;
    Heap heap_;
    Sink sink_;
    Clock clock_, wall_;
    TimelineBridge* timeline_ = nullptr;
    uint64_t rng_ = 0x9E3779B97F4A7C15ull;

    std::map<std::pair<int, std::string>, int> nsIds_;
    int nextNs_ = 0;
    std::vector<std::unique_ptr<LoadedAbc>> abcs_;
    std::vector<std::unique_ptr<Script>> scripts_;
    std::vector<std::unique_ptr<ClassInfo>> classes_;
    std::vector<std::unique_ptr<Method>> methods_;
    std::unordered_map<std::string, std::vector<std::pair<int, Script*>>> defs_;
    std::unordered_map<std::string, ClassInfo*> builtins_;
    std::map<ClassInfo*, ClassInfo*> vectors_;
    Traits globalTraits_;

    std::vector<const Method*> frames_; // the methods running, outermost first
    std::vector<Value> stack_;
    size_t top_ = 0;                                        // first free entry of stack_
    std::unordered_map<Object*, std::vector<Value>> enums_; // for-in snapshots
    std::map<std::pair<const void*, uint32_t>, std::unique_ptr<Traits>> catchTraits_;
    std::vector<Timer> timers_;
    int nextTimer_ = 1;
    std::vector<Object*> broadcast_;
    SoundPort* sound_ = nullptr;
    std::map<uint32_t, Object*> soundChannels_;
    int depth_ = 0;
    bool overflowing_ = false; // building the stack overflow error
    RunResult abort_ = RunResult::Done;
    bool throwing_ = false;
    Value thrown_;
    uint64_t budgetUsed_ = 0, totalInstructions_ = 0;
    uint32_t failuresAtFrame_ = 0; // memory::Failures() when the frame began
    double frameStart_ = 0;
    bool frameOver_ = false;
    size_t liveAfterCollect_ = 0;
    std::vector<Object*> grey_; // objects marked but not yet scanned
    bool marking_ = false;
};

// Built-in installers, one per file.
void InstallCore(Vm& vm);    // Object, Function, Class, Boolean, Number, int, uint, String,
                             // Math, Error family, Namespace, globals
void InstallArray(Vm& vm);   // Array, Vector
void InstallLibrary(Vm& vm); // Date, RegExp, JSON, Dictionary, ByteArray, flash.utils
void InstallDisplay(Vm& vm); // flash.events, flash.display, flash.geom, flash.text, system
void InstallProxy(Vm& vm);   // QName, flash.utils.Proxy

// Error texts Flash prints, by number: "Error #1009: ...". Views, so that the literals and
// the omitted parts of some 200 callers make no string each.
std::string ErrorText(int code, std::string_view a = {}, std::string_view b = {},
                      std::string_view c = {});

// Natives' arguments, undefined past the last; by reference, so that no caller makes and
// drops a copy.
const Value& Arg(Value* args, int argc, int i);

} // namespace avm2
