#include "player/core/avm1/vm.h"

#include "player/core/avm1/builtins_text.h"
#include "player/core/avm1/listeners.h"
#include "player/core/swf/reserve.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

namespace avm1 {

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
    global_ = heap_.New(Kind::Plain); // bare: no prototype, as in Flash
    InstallCore(*this);
    InstallArray(*this);
    InstallDate(*this);
    InstallDisplay(*this);
    InstallTextFormat(*this);
    InstallTextField(*this);
    InstallSandbox(*this);
    InstallXml(*this);
    InstallNet(*this);
    InstallSystem(*this);
    InstallSound(*this);
    InstallGeom(*this);
    InstallFilters(*this);
    InstallBitmap(*this);
    InstallVideo(*this);
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
    // A long string the system cannot give stops the script here, not at the reserve.
    if (bytes <= limits_.maxStringBytes && memory::Obtainable(bytes))
        return true;
    Abort(RunResult::OutOfMemory);
    return false;
}

void Vm::Work(size_t units) {
    // One instruction's worth per 64 bytes; the clock is read when a 1024 boundary passes.
    const uint64_t before = budgetUsed_;
    budgetUsed_ += units / 64;
    if ((before >> 10) != (budgetUsed_ >> 10) && running_ > 0)
        Budget();
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
        f->Put("prototype", Value::Obj(proto), false, kDontEnum | kDontDelete);
        proto->Put("constructor", Value::Obj(f), false, kDontEnum);
    }
    return f;
}

void Method(Vm& vm, Object* o, const char* name, NativeFn fn) {
    o->Put(name, Value::Obj(vm.NewNative(fn)), false, kDontEnum);
}

void Methods(Vm& vm, Object* o, const NativeMethod* methods, size_t count) {
    for (size_t i = 0; i < count; i++)
        Method(vm, o, methods[i].name, methods[i].fn);
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
    // Before version 6 a button is no object of its own: scripts reach its clip instead.
    if (k == DisplayKind::Button && version_ < 6) {
        const ClipId parent = display_->Parent(clip);
        return parent != clip && display_->KindOf(parent) != DisplayKind::Button
                   ? ClipObject(parent)
                   : nullptr;
    }
    Object* o = heap_.New(k == DisplayKind::Text ? Kind::Text : Kind::Clip);
    if (!o) {
        Abort(RunResult::OutOfMemory);
        return nullptr;
    }
    o->proto = k == DisplayKind::Video ? VideoPrototype(*this) : Proto(o->kind);
    if (k == DisplayKind::Button) {
        if (Object* button = ProtoNamed("Button"))
            o->proto = button;
    }
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

void Vm::SetFocus(ClipId clip) {
    const ClipId old = focus_;
    if (clip == old)
        return;
    focus_ = clip;
    auto object = [this](ClipId id) {
        Object* o = id ? ClipObject(id) : nullptr;
        return o != nullptr ? Value::Obj(o) : Value::Null();
    };
    const Value before = object(old), after = object(clip);
    if (before.IsObject())
        CallMethod(before, "onKillFocus", &after, 1);
    if (after.IsObject() && !aborted())
        CallMethod(after, "onSetFocus", &before, 1);
    const Value selection = GetProp(global_, "Selection");
    if (selection.IsObject() && !aborted()) {
        const Value args[] = {before, after};
        Broadcast(*this, selection.o, "onSetFocus", std::vector<Value>(args, args + 2));
    }
}

void Vm::OnClipRemoved(ClipId clip) {
    if (clip == focus_)
        focus_ = 0;
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
    Object* home = proto.IsObject() ? proto.o : nullptr;
    if (running_ > 0)
        Call(Value::Obj(it->second), Value::Obj(o), nullptr, 0, home);
    else
        CallFromHost(Value::Obj(it->second), Value::Obj(o), nullptr, 0, home);
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

bool Vm::Reserve(size_t bytes) {
    if (heap_.Reserve(bytes))
        return true;
    Abort(RunResult::OutOfMemory);
    return false;
}

bool Vm::Budget() {
    if (frameOver_)
        return false;
    // The system refused memory (the reserve took its place): the facade stops the movie.
    if (memory::Failures() != failuresAtEntry_) {
        frameOver_ = true;
        Abort(RunResult::OutOfMemory);
        return false;
    }
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
    if (running_ > 0)
        return; // a new frame cannot start inside a script
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
            if (t.method.empty())
                CallFromHost(t.fn, Value(), t.args.data(), t.args.size(), nullptr);
            else
                CallFromHost(Get(t.fn, t.method), t.fn, t.args.data(), t.args.size(), nullptr);
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
    for (const Deferred& d : later_) {
        roots.push_back(d.self);
        for (const Value& a : d.args)
            if (a.IsObject())
                roots.push_back(a.o);
    }
    for (auto& s : playingSounds)
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

void Vm::Later(Object* self, std::string method, std::vector<Value> args) {
    if (self && later_.size() < 1024)
        later_.push_back(Deferred{self, std::move(method), std::move(args)});
}

void Vm::EndFrame() {
    if (running_ > 0)
        return;
    // Answers queued during the frame; those they queue in turn wait for the next frame,
    // as do the rest once the frame's budget is spent.
    std::vector<Deferred> answers;
    answers.swap(later_);
    for (size_t i = 0; i < answers.size(); i++) {
        if (frameOver_) {
            later_.insert(later_.begin(), answers.begin() + long(i), answers.end());
            break;
        }
        const Deferred& d = answers[i];
        Value self = Value::Obj(d.self), fn;
        Object* holder = nullptr;
        if (Lookup(d.self, d.method, self, fn, &holder) && fn.IsObject())
            CallFromHost(fn, self, d.args.data(), d.args.size(), holder);
    }
    // Collect once the heap has grown by half what was live (and 256 KB) since the last
    // collection, is past half the cap, or a second's worth of frames has passed. Scripts
    // never see a collection mid-run, so garbage made within one frame counts to the cap.
    ++framesSinceCollect_;
    const size_t bytes = heap_.Bytes();
    const bool due = bytes >= liveAfterCollect_ + liveAfterCollect_ / 2 + (256u << 10) ||
                     bytes > limits_.memoryBytes / 2 || framesSinceCollect_ >= 60;
    if (!due)
        return;
    CollectGarbage();
}

void Vm::CollectGarbage() {
    if (running_ > 0)
        return; // the running scripts' stacks and frames are not roots
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
    RunResult r = CallFromHost(fn, self, nullptr, 0, holder);
    return first != RunResult::Done ? first : r;
}

} // namespace avm1
