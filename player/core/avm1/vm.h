// The ActionScript 1/2 virtual machine: globals, property access, calls, the interpreter
// loop, timers and the entry points the engine's facade drives each frame. The facade owns
// the order of events (which clip runs what, when); the Vm runs what it is handed.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "player/core/avm1/actions.h"
#include "player/core/avm1/clip_actions.h"
#include "player/core/avm1/display_bridge.h"
#include "player/core/avm1/object.h"
#include "player/core/avm1/sound_bridge.h"
#include "player/core/avm1/value.h"

namespace avm1 {

struct Limits {
    uint64_t instructionsPerFrame = 5'000'000;
    double millisecondsPerFrame = 200; // Flash asked after 15 s; a saver cannot wait that long
    int maxCallDepth = 256;
    size_t memoryBytes = 64u << 20;
    size_t maxStack = 1u << 16;
    size_t maxStringBytes = 4u << 20;
};

enum class RunResult {
    Done,
    Abandoned,   // the frame's instruction or time budget ran out
    TooDeep,     // the recursion limit
    OutOfMemory, // the memory cap
    Malformed,   // the block could not be decoded whole; what decoded ran
    Thrown,      // an exception nobody caught
};

enum class Channel { Trace, Notice };

enum class ClipEvent {
    Load,
    EnterFrame,
    Unload,
    Data,
    MouseDown,
    MouseUp,
    MouseMove,
    KeyDown,
    KeyUp
};

class Vm {
  public:
    using Sink = std::function<void(Channel, const std::string&)>;
    using Clock = std::function<double()>; // milliseconds, monotonic

    Vm(DisplayBridge* display, int version, Limits limits = Limits());
    ~Vm();
    Vm(const Vm&) = delete;
    Vm& operator=(const Vm&) = delete;
    // A new accessor's own key for counting how deep it nests.
    uint32_t NewAccessorSerial() { return ++accessorSerial_; }

    // trace() lines and notices (blocked network, file or process requests) go here.
    void SetSink(Sink sink) { sink_ = std::move(sink); }
    void SetClock(Clock clock) { clock_ = std::move(clock); }
    // Wall time for Date, in ms since 1970 (UTC); tests fix it.
    void SetWallClock(Clock clock) { wall_ = std::move(clock); }
    void SetRandomSeed(uint64_t seed) { rng_ = seed ? seed : 1; }

    // ---- what the facade drives ----
    // Starts a frame: a fresh budget, then due setInterval/setTimeout callbacks.
    void BeginFrame();
    // Ends a frame: frees unreachable objects when enough garbage may have piled up.
    void EndFrame();
    void CollectGarbage(); // now, whatever the heap's growth
    // Frame actions, DoInitAction and onClipEvent blocks: run in clip's scope. The bytes
    // are decoded once and cached by address, so they must outlive the Vm (movie data).
    RunResult RunActions(ClipId clip, const uint8_t* data, size_t size);
    RunResult RunBlock(ClipId clip, const std::shared_ptr<const ActionBlock>& block);
    // An event for one clip: first its onClipEvent blocks for the event (the CLIPACTIONS
    // bytes the timeline kept for the placed object, if any; cached by address like frame
    // actions), then its method (onLoad, onEnterFrame, onUnload, onData...).
    RunResult DispatchClipEvent(ClipId clip, ClipEvent event, const uint8_t* clipActions = nullptr,
                                size_t clipActionsSize = 0);
    // A clip placed by the timeline or attachMovie with an export name: applies the class
    // registered with Object.registerClass (prototype and constructor).
    void InitClip(ClipId clip, const std::string& exportName);
    void OnClipRemoved(ClipId clip);
    // The object with the keyboard focus (0: none). A change tells Selection's listeners
    // (onSetFocus) and the objects themselves (onKillFocus, onSetFocus).
    ClipId focus() const { return focus_; }
    void SetFocus(ClipId clip);

    // ---- for built-ins and tests ----
    int version() const { return version_; }
    bool caseSensitive() const { return version_ >= 7; }
    Object* global() const { return global_; }
    DisplayBridge* display() const { return display_; }
    Heap& heap() { return heap_; }
    bool IsConstructing(const Value& self) const {
        return self.type == Type::Object && self.o->constructing;
    }
    // Whether the innermost running script function was called with `new` (ASnative 2,0).
    bool InConstructor() const { return !constructing_.empty() && constructing_.back(); }
    double Now();
    double WallNow();
    double Random(); // [0, 1)
    void Emit(Channel channel, const std::string& text);
    void Notice(const std::string& text) { Emit(Channel::Notice, text); }

    Object* NewObject(Kind kind = Kind::Plain); // with the kind's standard prototype
    Object* NewArray(std::vector<Value> elements = {});
    Object* NewNative(NativeFn fn, Object* proto = nullptr, Kind constructs = Kind::Plain);
    Object* ClipObject(ClipId clip); // the script object of a display object (made once)
    Object* Proto(Kind kind) const;
    void SetProto(Kind kind, Object* proto) { protos_[int(kind)] = proto; }
    Object* ProtoNamed(const std::string& name);

    Value Get(const Value& target, const std::string& name);
    void Set(const Value& target, const std::string& name, const Value& value);
    Value GetProp(Object* o, const std::string& name) { return Get(Value::Obj(o), name); }
    // The same by a literal name: the string is made here, not at each of the callers.
    Value Get(const Value& target, const char* name);
    void Set(const Value& target, const char* name, const Value& value);
    Value GetProp(Object* o, const char* name);
    bool HasProperty(Object* o, const std::string& name);
    bool Delete(Object* o, const std::string& name);
    std::vector<std::string> Keys(Object* o); // enumerable names, own and inherited

    Value Call(const Value& fn, const Value& self, const Value* args, size_t n,
               Object* home = nullptr);
    Value CallMethod(const Value& self, const std::string& name, const Value* args, size_t n);
    Value CallMethod(const Value& self, const char* name, const Value* args, size_t n);
    Value Construct(const Value& ctor, const Value* args, size_t n);
    bool InstanceOf(const Value& v, Object* ctor);

    double ToNumber(const Value& v);
    std::string ToString(const Value& v);
    Value ToPrimitive(const Value& v, bool preferString = false);
    std::string TypeOf(const Value& v);
    bool Equals(const Value& a, const Value& b);       // ==
    bool StrictEquals(const Value& a, const Value& b); // ===
    Value Less(const Value& a, const Value& b);        // undefined when NaN is involved
    Value Add(const Value& a, const Value& b);

    // Resolves "/a/b", "_root.a", "../b", "_level0", "" against base; null when absent.
    Object* ResolveTarget(Object* base, const std::string& path);
    std::string TargetPath(Object* clip);
    ClipId ClipOf(const Value& v) const; // the display object behind a value, or 0
    ClipId RootClip();

    // Stops the running script (budget, depth, memory, uncaught error).
    void Abort(RunResult why);
    bool aborted() const { return abort_ != RunResult::Done; }
    bool throwing() const { return throwing_; }
    void Throw(const Value& v) {
        throwing_ = true;
        thrown_ = v;
    }
    // Whether the frame's time and instruction budget still holds; long natives ask
    // between rows and stop (the script is abandoned) when it does not.
    bool WithinBudget() { return Budget(); }
    // Counts bytes about to be allocated against the memory cap; false (and the script
    // stops) when they would pass it.
    bool Reserve(size_t bytes);
    // A string capped to the limit (concatenation loops end at the cap).
    bool StringFits(size_t bytes);
    // Work a native does in proportion to its input (bytes scanned or made), counted against
    // the frame's budget so long loops of string calls reach the clock check promptly.
    void Work(size_t units);

    // Object.registerClass
    std::map<std::string, Object*> registeredClasses;
    // setInterval / setTimeout
    struct Timer {
        int id = 0;
        Value fn; // a function, or the object whose method is named
        std::string method;
        double interval = 0, due = 0;
        bool once = false;
        std::vector<Value> args;
    };
    int AddTimer(Timer t);
    bool RemoveTimer(int id);
    // In-memory SharedObject data by name.
    std::map<std::string, Object*> sharedObjects;
    // The movie's FileAttributes asked for network access: its sandbox is then
    // "localWithNetwork" instead of "localWithFile" (nothing is ever fetched either way).
    bool useNetwork = false;
    // A method called on self once the frame's scripts have run, as Flash delivers the
    // answer to a load or a dialog after the call that asked (onLoad(false), onCancel...).
    void Later(Object* self, std::string method, std::vector<Value> args = {});
    // Sound: the bridge to the mixer (none: sounds do nothing), and the Sound objects of
    // playing instances by handle, kept alive until their onSoundComplete.
    void SetSound(SoundBridge* sound) { sound_ = sound; }
    SoundBridge* sound() const { return sound_; }
    std::map<uint32_t, Object*> playingSounds;

    uint64_t instructionsRun() const { return totalInstructions_; }

  private:
    struct Frame;
    class Entry;
    friend struct Interp;
    friend void SoundCompleted(Vm& vm, uint32_t handle);

    void InstallBuiltins();
    RunResult Run(Object* clip, const std::shared_ptr<const ActionBlock>& block, uint32_t begin,
                  uint32_t end);
    Value Execute(Frame& f);
    uint32_t RunRange(Frame& f, uint32_t pc, uint32_t lo, uint32_t hi);
    bool Step(Frame& f, uint32_t& pc, uint32_t lo, uint32_t hi);
    Value CallScript(Object* fn, const Value& self, const Value* args, size_t n, Object* home);
    RunResult CallFromHost(const Value& fn, const Value& self, const Value* args, size_t n,
                           Object* home);
    bool Lookup(Object* o, const std::string& name, const Value& self, Value& out, Object** holder);
    // `holder`, when given, is set to the scope object the name was found on (null when it
    // came from elsewhere): a function called by name runs with it as `this`.
    Value GetVariable(Frame& f, const std::string& name, Object** holder = nullptr);
    Value Resolve(Object* o, const std::string& name, const Value& self);
    std::string AccessorKey(Object* holder, const std::string& name, uint32_t serial);
    bool AccessorFree(Object* holder, const std::string& name, uint32_t serial = 0);
    Value CallAccessor(Object* holder, const std::string& name, uint32_t serial, Object* fn,
                       const Value& self, const Value* args, size_t n = 1);
    bool Watched(Object* o, const std::string& name, const Value& value, Value& out);
    void SetVariable(Frame& f, const std::string& name, const Value& v);
    bool Budget();
    Value DisplayGet(ClipId clip, int index);
    void DisplaySet(ClipId clip, int index, const Value& v);
    std::vector<Object*> Roots();

    DisplayBridge* display_;
    SoundBridge* sound_ = nullptr;
    Object spare_{Kind::Plain};
    int version_;
    Limits limits_;
    Heap heap_;
    Sink sink_;
    Clock clock_, wall_;
    double start_ = 0;
    uint64_t rng_ = 0x9E3779B97F4A7C15ull;

    Object* global_ = nullptr;
    std::unordered_map<int, Object*> protos_; // by Kind
    std::unordered_map<ClipId, Object*> clips_;
    std::map<std::pair<const void*, size_t>, std::shared_ptr<const ActionBlock>> decoded_;
    std::map<std::pair<const void*, size_t>, std::vector<ClipActionHandler>> clipHandlers_;
    std::vector<Value> stack_;
    std::vector<Timer> timers_;
    int nextTimer_ = 1;
    struct Deferred {
        Object* self;
        std::string method;
        std::vector<Value> args;
    };
    std::vector<Deferred> later_;

    int depth_ = 0;
    bool constructNext_ = false;     // the next script call is a construction
    std::vector<bool> constructing_; // one per running script function
    std::unordered_map<std::string, int> accessorDepth_;
    static constexpr int kMaxAccessorDepth = 65;
    uint32_t accessorSerial_ = 0;
    ClipId focus_ = 0;
    int running_ = 0; // scripts started by the host and not finished
    RunResult abort_ = RunResult::Done;
    bool throwing_ = false;
    Value thrown_;
    uint64_t budgetUsed_ = 0, totalInstructions_ = 0;
    uint32_t failuresAtEntry_ = 0; // memory::Failures() when the outermost script began
    size_t liveAfterCollect_ = 0;
    int framesSinceCollect_ = 0;
    double frameStart_ = 0;
    bool frameOver_ = false; // budget spent: nothing more runs until BeginFrame
};

// Built-in installers, one per file.
void InstallCore(Vm& vm); // Object, Function, Boolean, Number, String, Math, globals
void InstallString(Vm& vm);
void InstallArray(Vm& vm);
void InstallDate(Vm& vm);
void InstallDisplay(Vm& vm); // MovieClip, TextField, Color, Stage, Key, Mouse
void InstallSandbox(Vm& vm); // SharedObject, LocalConnection, timers
void InstallXml(Vm& vm);     // XML, XMLNode
void InstallNet(Vm& vm);     // LoadVars, MovieClipLoader, NetConnection, NetStream, loaders
void InstallSystem(Vm& vm);  // System, ExternalInterface, FileReference and other services
void InstallSound(Vm& vm);   // Sound
// A sound started by a Sound object ended by itself: its onSoundComplete runs.
void SoundCompleted(Vm& vm, uint32_t handle);
void InstallGeom(Vm& vm);    // flash.geom, MovieClip.transform
void InstallFilters(Vm& vm); // flash.filters, MovieClip.filters, blendMode
void InstallBitmap(Vm& vm);  // flash.display.BitmapData, attachBitmap, beginBitmapFill
void InstallVideo(Vm& vm);   // Video
Object* VideoPrototype(Vm& vm);

// Helper for installers: a method on an object, not enumerable.
void Method(Vm& vm, Object* o, const char* name, NativeFn fn);
// An object's methods as one constant table, added in order: data in place of a call each.
struct NativeMethod {
    const char* name;
    NativeFn fn;
};
void Methods(Vm& vm, Object* o, const NativeMethod* methods, size_t count);
template <size_t N> void Methods(Vm& vm, Object* o, const NativeMethod (&methods)[N]) {
    Methods(vm, o, methods, N);
}
void Constant(Vm& vm, Object* o, const char* name, Value v);

} // namespace avm1
