#include "player/core/as3_host.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "player/core/avm2/display.h"
#include "player/core/avm2/media.h"
#include "player/core/script_transform.h"
#include "player/core/timeline/bounds.h"

namespace engine {

namespace {
using avm2::Object;
using avm2::Value;

const uint16_t kTagSceneAndFrameLabels = 86;
// How many times in one frame the timers due may be run, however short their delays.
const int kTimerRounds = 64;
const double kInstructionsPerMs = 100000;

// Flash Player truncates a position to whole twips, toward zero; past the range (or NaN)
// it becomes the lowest.
int32_t As3Twips(double pixels) {
    const double t = pixels * 20;
    return t > -2147483649.0 && t < 2147483648.0 ? int32_t(t) : INT32_MIN;
}

uint32_t EncodedU32(swf::ByteReader& r) {
    uint32_t v = 0;
    for (int shift = 0; shift < 35 && r.Ok(); shift += 7) {
        const uint8_t b = r.U8();
        v |= uint32_t(b & 0x7f) << shift;
        if (!(b & 0x80))
            break;
    }
    return v;
}
} // namespace

As3Host::As3Host(timeline::Stage* stage, const timeline::LoadedMovie* movie, const swf::Movie& file,
                 double stageWidth, double stageHeight)
    : stage_(stage), movie_(movie), stageWidth_(stageWidth), stageHeight_(stageHeight),
      frameRate_(file.Header().frameRate / 256.0), swfVersion_(file.Header().version), since_(0) {
    vm_.reset(new avm2::Vm());
    vm_->SetTimeline(this);
    vm_->SetClock([this] { return Clock(); });
    vm_->SetSink([this](avm2::Channel channel, const std::string& line) {
        const Sink& sink = channel == avm2::Channel::Trace ? traces_ : notices_;
        if (sink)
            sink(line.c_str());
    });
    vm_->markHost = [this](avm2::Vm& vm) { MarkOnStage(vm); };
    vm_->sweepHost = [this](avm2::Vm&) { DropUnreached(); };
    // Script blocks and class bindings by the main timeline's frame they arrive on.
    swf::TagIterator it = file.Tags();
    swf::Tag tag;
    uint32_t frame = 0;
    while (it.Next(&tag)) {
        if (tag.code == swf::kTagShowFrame) {
            ++frame;
        } else if (tag.code == kTagDoAbc || tag.code == kTagDoAbc1) {
            Block b;
            b.frame = frame;
            b.abc = true;
            if (!AbcOfTag(tag, &b.data, &b.size, &b.lazy))
                continue;
            blocks_.push_back(b);
        } else if (tag.code == kTagFileAttributes && tag.length > 0) {
            useNetwork_ = (tag.body[0] & 1) != 0;
        } else if (tag.code == kTagSceneAndFrameLabels && scenes_.empty()) {
            // Each scene is at least two bytes, so the count is bounded by the tag.
            swf::ByteReader r(tag.body, tag.length);
            const uint32_t count = EncodedU32(r);
            for (uint32_t i = 0; i < count && r.Ok() && r.Remaining() >= 2; ++i) {
                const uint32_t offset = EncodedU32(r);
                std::string name = r.String();
                if (r.Ok())
                    scenes_.emplace_back(std::move(name), offset + 1);
            }
            const uint32_t labels = EncodedU32(r);
            for (uint32_t i = 0; i < labels && r.Ok() && r.Remaining() >= 2; ++i) {
                const uint32_t frame = EncodedU32(r);
                std::string name = r.String();
                if (r.Ok())
                    sceneLabels_.emplace_back(std::move(name), frame + 1);
            }
        } else if (tag.code == kTagSymbolClass) {
            Block b;
            b.frame = frame;
            b.data = tag.body;
            b.size = tag.length;
            blocks_.push_back(b);
        }
    }
}

As3Host::~As3Host() = default;

// Within a frame the clock moves with the work done, 1 ms for each kInstructionsPerMs
// instructions, not with the wall clock: a script timing a loop sees time pass, and what
// a movie traces does not depend on how busy the machine is.
double As3Host::Clock() {
    return now_ + double(vm_->instructionsRun() - since_) / kInstructionsPerMs;
}

void As3Host::LoadFrameBlocks(uint32_t frame) {
    while (nextBlock_ < blocks_.size() && blocks_[nextBlock_].frame <= frame) {
        const Block& b = blocks_[nextBlock_++];
        if (b.abc) {
            vm_->LoadAbc(b.data, b.size, b.lazy);
            if (vm_->throwing())
                if (traces_)
                    traces_(vm_->Report(vm_->TakeThrown()).c_str());
            continue;
        }
        swf::ByteReader r(b.data, b.size);
        const uint16_t count = r.U16();
        for (uint16_t i = 0; i < count && r.Ok(); ++i) {
            const uint16_t id = r.U16();
            const std::string name = r.String();
            if (!r.Ok())
                break;
            if (id == 0)
                documentClass_ = name;
            else
                symbols_[id] = name;
            symbolOf_.clear(); // a class looked up before may be bound now
        }
    }
}

// A script object for a timeline object, made without running its constructor.
Object* As3Host::MakeObject(uint32_t id) {
    timeline::DisplayObject* o = stage_->Find(id);
    if (o == nullptr || o->character == nullptr)
        return nullptr;
    avm2::Vm& vm = *vm_;
    avm2::ClassInfo* cls = nullptr;
    auto sym = symbols_.find(o->character->id);
    if (sym != symbols_.end()) {
        cls = vm.FindClass(sym->second);
        if (vm.throwing())
            vm.TakeThrown();
    }
    if (cls == nullptr) {
        const char* name = "Shape";
        switch (o->character->kind) {
        case timeline::Kind::Sprite:
            name = "MovieClip";
            break;
        case timeline::Kind::EditText:
            name = "TextField";
            break;
        case timeline::Kind::Button:
            name = "SimpleButton";
            break;
        case timeline::Kind::Bitmap:
            name = "Bitmap";
            break;
        case timeline::Kind::Morph:
            name = "MorphShape";
            break;
        case timeline::Kind::Text:
            name = "StaticText";
            break;
        case timeline::Kind::Video:
            name = "Video";
            break;
        default:
            break;
        }
        cls = vm.Builtin(name);
    }
    Object* obj = avm2::NewDisplayObject(vm, cls, id);
    avm2::DisplayData* d = avm2::DisplayOf(Value::Obj(obj));
    if (d) {
        d->name = o->name.empty() ? "instance" + std::to_string(++instances_) : o->name;
        d->character = o->character->id;
        d->x = o->matrix.translateX / 20.0;
        d->y = o->matrix.translateY / 20.0;
    }
    objects_[id] = obj;
    return obj;
}

// Placed objects get script objects: made, attached and named on their parent, then
// constructed, children before the clip that holds them.
void As3Host::TakeStageEvents() {
    avm2::Vm& vm = *vm_;
    for (int round = 0; round < 64 && (stage_->HasEvents() || !pending_.empty()); ++round) {
        std::vector<Object*> made;
        std::vector<timeline::StageEvent> events;
        events.swap(pending_);
        for (const timeline::StageEvent& e : stage_->TakeEvents())
            events.push_back(e);
        for (const timeline::StageEvent& e : events) {
            if (e.kind == timeline::StageEvent::Placed) {
                if (objects_.count(e.id) || stage_->Find(e.id) == nullptr)
                    continue;
                Object* obj = MakeObject(e.id);
                if (obj)
                    made.push_back(obj);
            } else if (e.kind == timeline::StageEvent::Removed) {
                auto it = objects_.find(e.id);
                if (it != objects_.end()) {
                    Object* obj = it->second;
                    avm2::DetachChild(vm, obj, true);
                    objects_.erase(e.id);
                    scriptFrame_.erase(e.id);
                    if (avm2::DisplayData* d = avm2::DisplayOf(Value::Obj(obj)))
                        d->timeline = 0;
                }
            }
        }
        Arrive(made);
    }
}

// New script objects for what the timeline placed, set on their parents at once. Each is
// constructed with what it holds: those a clip holds while its constructor reaches
// DisplayObject's (its `super()`), or one not made yet with that clip. The rest now, in
// the order they came.
void As3Host::Arrive(const std::vector<Object*>& made) {
    avm2::Vm& vm = *vm_;
    unbuilt_.insert(made.begin(), made.end());
    std::vector<Object*> now;
    for (Object* obj : made) {
        const timeline::DisplayObject* o = stage_->Find(avm2::DisplayOf(Value::Obj(obj))->timeline);
        auto parent = o != nullptr ? objects_.find(o->parentId) : objects_.end();
        if (parent == objects_.end()) {
            now.push_back(obj);
            continue;
        }
        avm2::AttachChild(vm, parent->second, obj, false);
        if (unbuilt_.count(parent->second))
            waiting_[parent->second].push_back(obj);
        else
            now.push_back(obj);
    }
    for (Object* obj : now)
        Build(obj);
}

// Its constructor (which builds what it holds), then, once it is whole, its name on its
// parent, and added (addedToStage only when the stage holds it): before its parent's own
// constructor goes on.
void As3Host::Build(Object* obj) {
    avm2::Vm& vm = *vm_;
    vm.ConstructFromHost(obj->cls, obj);
    BuildChildren(obj); // a constructor that never reached DisplayObject's
    const avm2::DisplayData* d = avm2::DisplayOf(Value::Obj(obj));
    const timeline::DisplayObject* o = d != nullptr ? stage_->Find(d->timeline) : nullptr;
    if (o != nullptr && !o->name.empty() && d->parent != nullptr) {
        vm.SetProperty(Value::Obj(d->parent), avm2::Name::Public(o->name), Value::Obj(obj));
        if (vm.throwing())
            vm.TakeThrown();
    }
    avm2::DispatchSimple(vm, obj, "added", true);
    if (d != nullptr && OnStage(d->timeline))
        avm2::DispatchSimple(vm, obj, "addedToStage", false);
}

void As3Host::BuildChildren(Object* obj) {
    unbuilt_.erase(obj);
    BuildStates(obj);
    auto it = waiting_.find(obj);
    if (it == waiting_.end())
        return;
    const std::vector<Object*> list = std::move(it->second);
    waiting_.erase(it);
    for (Object* k : list) {
        // Its constructor threw: what it holds stays as made, never constructed.
        if (vm_->throwing())
            unbuilt_.erase(k);
        else
            Build(k);
    }
}

// A button the timeline placed makes its four states from its records, within its
// constructor: each state one object, or a Sprite holding several at their depths. The up
// state hangs under the button and draws; the others wait off every list.
void As3Host::BuildStates(Object* obj) {
    avm2::Vm& vm = *vm_;
    avm2::DisplayData* d = avm2::DisplayOf(Value::Obj(obj));
    const timeline::DisplayObject* o = d != nullptr ? stage_->Find(d->timeline) : nullptr;
    if (o == nullptr || d->statesBuilt || o->character == nullptr ||
        o->character->kind != timeline::Kind::Button || !o->character->button)
        return;
    d->statesBuilt = true;
    const uint32_t buttonId = d->timeline;
    const swf::Button& button = *o->character->button;
    const swf::ColorTransform cx = o->character->buttonCxform;
    for (const timeline::StageEvent& e : stage_->TakeEvents())
        pending_.push_back(e);
    uint32_t ids[4] = {0, 0, 0, 0};
    std::vector<uint32_t> holders;
    for (int k = 0; k < 4; ++k) {
        std::vector<const swf::ButtonRecord*> records;
        for (const swf::ButtonRecord& r : button.records)
            if (r.states & (1 << k))
                records.push_back(&r);
        if (records.empty())
            continue;
        const uint32_t parent = k == 0 ? buttonId : timeline::kShelfId;
        const int depth = k == 0 ? 0 : stage_->FreeDepth(timeline::kShelfId);
        const uint32_t holder = records.size() > 1 ? stage_->CreateEmpty(parent, "", depth) : 0;
        if (holder != 0)
            holders.push_back(ids[k] = holder);
        for (const swf::ButtonRecord* r : records) {
            const timeline::Character* c = movie_->dictionary.Find(r->characterId);
            const uint32_t id =
                c == nullptr ? 0
                : holder != 0
                    ? stage_->Place(holder, c, "", int(r->depth) - timeline::kScriptDepthBase)
                : records.size() == 1 ? stage_->Place(parent, c, "", depth)
                                      : 0;
            timeline::DisplayObject* placed = stage_->Find(id);
            if (placed == nullptr)
                continue;
            placed->matrix = r->matrix;
            placed->cxform = r->cxform.Then(cx);
            placed->blend = static_cast<swf::BlendMode>(r->blendMode == 1 ? 0 : r->blendMode);
            placed->filters = r->filters;
            if (holder == 0)
                ids[k] = id;
        }
    }
    std::vector<timeline::StageEvent> frame;
    frame.swap(pending_);
    std::vector<Object*> made;
    for (const timeline::StageEvent& e : stage_->TakeEvents()) {
        if (e.kind != timeline::StageEvent::Placed || objects_.count(e.id))
            continue;
        Object* state = MakeObject(e.id);
        if (state == nullptr)
            continue;
        // What holds several records is a plain Sprite.
        if (std::find(holders.begin(), holders.end(), e.id) != holders.end()) {
            state->cls = vm.Builtin("Sprite");
            state->proto = state->cls->prototype;
        }
        made.push_back(state);
    }
    Arrive(made);
    frame.insert(frame.end(), pending_.begin(), pending_.end());
    pending_.swap(frame);
    for (int k = 0; k < 4; ++k) {
        auto it = ids[k] != 0 ? objects_.find(ids[k]) : objects_.end();
        if (it == objects_.end())
            continue;
        d->states[k] = Value::Obj(it->second);
        // The shown state hangs under the button, not among any children.
        if (k == 0) {
            auto& list = d->children;
            list.erase(std::remove(list.begin(), list.end(), it->second), list.end());
        }
    }
}

bool As3Host::OnStage(uint32_t id) const {
    const timeline::DisplayObject* o = stage_->Find(id);
    for (int n = 0; o != nullptr && n <= timeline::kMaxNesting * 4; ++n) {
        if (o->id == timeline::kRootId)
            return true;
        if (o->id == timeline::kShelfId)
            return false;
        o = stage_->Find(o->parentId);
    }
    return false;
}

// The stage's objects are held by the host; those off every list only while something
// reaches their script objects.
void As3Host::MarkOnStage(avm2::Vm& vm) {
    for (auto& e : objects_)
        if (OnStage(e.first))
            vm.MarkValue(Value::Obj(e.second));
}

// Off every list and reached by nothing: they stop playing and leave with all they hold.
void As3Host::DropUnreached() {
    for (auto it = unbuilt_.begin(); it != unbuilt_.end();)
        it = (*it)->marked ? std::next(it) : unbuilt_.erase(it);
    for (auto it = waiting_.begin(); it != waiting_.end();)
        it = it->first->marked ? std::next(it) : waiting_.erase(it);
    const timeline::Clip* shelf = stage_->ClipOf(timeline::kShelfId);
    if (shelf == nullptr)
        return;
    std::vector<uint32_t> drop;
    for (const auto& e : shelf->objects) {
        auto it = objects_.find(e.second.id);
        if (it == objects_.end() || !it->second->marked)
            drop.push_back(e.second.id);
    }
    for (uint32_t id : drop) {
        std::vector<uint32_t> gone{id};
        for (size_t i = 0; i < gone.size() && gone.size() < timeline::kMaxObjects * 2; ++i)
            if (const timeline::Clip* c = stage_->ClipOf(gone[i]))
                for (const auto& o : c->objects)
                    gone.push_back(o.second.id);
        for (uint32_t g : gone) {
            objects_.erase(g);
            scriptFrame_.erase(g);
        }
        stage_->Remove(id, true);
    }
}

void As3Host::FrameScripts() {
    // Clips whose frame changed since their script last ran, parents before children.
    std::vector<std::pair<uint32_t, Object*>> clips(objects_.begin(), objects_.end());
    std::sort(clips.begin(), clips.end(),
              [](const std::pair<uint32_t, Object*>& a, const std::pair<uint32_t, Object*>& b) {
                  return a.first < b.first;
              });
    for (auto& c : clips) {
        avm2::DisplayData* d = avm2::DisplayOf(Value::Obj(c.second));
        if (d == nullptr || d->frameScripts.empty())
            continue;
        timeline::Clip* clip = stage_->ClipOf(c.first);
        if (clip == nullptr)
            continue;
        auto ran = scriptFrame_.find(c.first);
        if (ran != scriptFrame_.end() && ran->second == clip->frame)
            continue;
        scriptFrame_[c.first] = clip->frame;
        // A goto the clip's own frame script asks for waits until that script is done.
        scripting_.push_back(c.first);
        avm2::RunFrameScript(*vm_, c.second, clip->frame);
        scripting_.pop_back();
        TakeStageEvents();
        auto queued = queuedGoto_.find(c.first);
        if (queued != queuedGoto_.end()) {
            const uint32_t frame = queued->second;
            queuedGoto_.erase(queued);
            Goto(c.first, frame);
        }
    }
}

void As3Host::Start() {
    avm2::Vm& vm = *vm_;
    now_ = 0;
    since_ = vm.instructionsRun();
    vm.BeginFrame();
    LoadFrameBlocks(0);
    Object* stageObj = avm2::StageObject(vm);
    vm.Set(Value::Obj(stageObj), "__width", Value::Num(stageWidth_));
    vm.Set(Value::Obj(stageObj), "__height", Value::Num(stageHeight_));
    vm.Set(Value::Obj(stageObj), "__frameRate", Value::Num(frameRate_));
    vm.Set(Value::Obj(stageObj), "__swfVersion", Value::Num(swfVersion_));
    vm.Set(Value::Obj(stageObj), "__useNetwork", Value::Bool(useNetwork_));
    vm.Set(Value::Obj(stageObj), "__fileBytes", Value::Num(double(fileBytes_)));
    // Without a class bound to the main timeline, Flash Player takes one bound to a
    // character the movie does not define.
    for (const auto& s : symbols_)
        if (documentClass_.empty() && movie_->dictionary.Find(s.first) == nullptr &&
            !avm2::IsLibrarySound(vm, s.first))
            documentClass_ = s.second;
    avm2::ClassInfo* doc = documentClass_.empty() ? nullptr : vm.FindClass(documentClass_);
    if (vm.throwing() && traces_)
        traces_(vm.Report(vm.TakeThrown()).c_str());
    if (doc == nullptr)
        doc = vm.Builtin("MovieClip");
    Object* root = avm2::NewDisplayObject(vm, doc, timeline::kRootId);
    if (avm2::DisplayData* d = avm2::DisplayOf(Value::Obj(root)))
        d->name = "root1";
    objects_[timeline::kRootId] = root;
    avm2::AttachChild(vm, stageObj, root, false);
    unbuilt_.insert(root);
    TakeStageEvents();
    vm.ConstructFromHost(doc, root);
    BuildChildren(root);
    if (!doc->IsSubclassOf(vm.Builtin("Sprite")) && traces_)
        traces_(("TypeError: Error #2023: Class " + doc->QualifiedName() +
                 "$ must inherit from Sprite to link to the root.")
                    .c_str());
    avm2::DispatchSimple(vm, root, "added", true);
    avm2::DispatchSimple(vm, root, "addedToStage", false);
    started_ = true;
    avm2::Broadcast(vm, "frameConstructed");
    FrameScripts();
    avm2::Broadcast(vm, "exitFrame");
    // A local file is there whole: its LoaderInfo tells init and complete after frame 1.
    const Value info = avm2::MovieLoaderInfo(vm, Value(), nullptr, 0);
    avm2::DispatchSimple(vm, info.o, "init", false);
    avm2::DispatchSimple(vm, info.o, "complete", false);
    vm.EndFrame();
}

bool As3Host::Frame(double nowMs) {
    avm2::Vm& vm = *vm_;
    vm.BeginFrame();
    // Timers fall due between frames: each runs at its own time, as the clock tells it.
    for (int round = 0; round < kTimerRounds && vm.NextTimerDue() <= nowMs && !vm.aborted();
         ++round) {
        now_ = std::max(now_, vm.NextTimerDue());
        since_ = vm.instructionsRun();
        vm.RunTimers();
    }
    now_ = nowMs;
    since_ = vm.instructionsRun();
    // The playheads move first; what leaves hears "removed" while its parent still tells
    // the frame it leaves, then enterFrame, then what arrives is made.
    for (const auto& o : objects_)
        if (const timeline::Clip* c = stage_->ClipOf(o.first))
            leaving_[o.first] = c->frame + 1;
    bool changed = stage_->Advance();
    // A clip that went back to its first frame tells that frame already.
    for (auto it = leaving_.begin(); it != leaving_.end();) {
        const timeline::Clip* c = stage_->ClipOf(it->first);
        it = c != nullptr && c->frame + 1 < it->second ? leaving_.erase(it) : std::next(it);
    }
    TakeRemovals();
    leaving_.clear();
    avm2::Broadcast(vm, "enterFrame");
    LoadFrameBlocks(stage_->Frame());
    TakeStageEvents();
    avm2::Broadcast(vm, "frameConstructed");
    FrameScripts();
    avm2::Broadcast(vm, "exitFrame");
    vm.EndFrame();
    // What waits off every list costs the stage's object budget, not much of the heap's:
    // once it has doubled, the collector looks for what nothing reaches.
    const timeline::Clip* shelf = stage_->ClipOf(timeline::kShelfId);
    const size_t shelved = shelf != nullptr ? shelf->objects.size() : 0;
    if (shelved > shelvedAfterCollect_ * 2 + 256) {
        vm.CollectGarbage();
        shelvedAfterCollect_ = shelf->objects.size();
    }
    changed = stage_->TakeChanged() || changed || touched_;
    touched_ = false;
    return changed;
}

void As3Host::RunEvents() {
    LoadFrameBlocks(stage_->Frame());
    TakeStageEvents();
    FrameScripts();
}

// Removed objects hear their event before what arrives is made; the rest waits.
void As3Host::TakeRemovals() {
    avm2::Vm& vm = *vm_;
    for (const timeline::StageEvent& e : stage_->TakeEvents()) {
        auto it = e.kind == timeline::StageEvent::Removed ? objects_.find(e.id) : objects_.end();
        if (it == objects_.end()) {
            pending_.push_back(e);
            continue;
        }
        Object* obj = it->second;
        objects_.erase(it);
        scriptFrame_.erase(e.id);
        avm2::DetachChild(vm, obj, true);
    }
}

uint32_t As3Host::CurrentFrame(uint32_t id) {
    auto left = leaving_.find(id);
    if (left != leaving_.end())
        return left->second;
    // A clip a script made of no symbol has no frame to be at.
    timeline::Clip* c = stage_->ClipOf(id);
    if (c == nullptr)
        return 1;
    const bool none = c->timeline == nullptr || c->timeline->frames.empty();
    return none && id != timeline::kRootId ? 0 : c->frame + 1;
}

uint32_t As3Host::TotalFrames(uint32_t id) {
    timeline::Clip* c = stage_->ClipOf(id);
    return c && c->timeline ? std::max<uint32_t>(1, c->timeline->frameCount) : 1;
}

bool As3Host::Playing(uint32_t id) {
    timeline::Clip* c = stage_->ClipOf(id);
    return c && c->playing;
}

void As3Host::SetPlaying(uint32_t id, bool playing) {
    if (timeline::Clip* c = stage_->ClipOf(id))
        c->playing = playing;
}

void As3Host::Goto(uint32_t id, uint32_t frame) {
    timeline::Clip* c = stage_->ClipOf(id);
    if (c == nullptr || frame == 0)
        return;
    if (std::find(scripting_.begin(), scripting_.end(), id) != scripting_.end()) {
        queuedGoto_[id] = frame; // a later goto in the same script replaces it
        return;
    }
    const bool playing = c->playing;
    const uint32_t from = c->frame;
    stage_->GoTo(id, frame - 1);
    if ((c = stage_->ClipOf(id)) != nullptr)
        c->playing = playing;
    if (c != nullptr && c->frame != from)
        scriptFrame_.erase(id); // the new frame's script runs, even one that ran before
    if (started_ && frame - 1 > from) {
        // Going forward, what leaves hears removed while the clip still tells the frame
        // it leaves; going back, the clip is on its new frame already.
        auto left = leaving_.find(id);
        const bool had = left != leaving_.end();
        const uint32_t before = had ? left->second : 0;
        leaving_[id] = from + 1;
        TakeRemovals();
        if (had)
            leaving_[id] = before;
        else
            leaving_.erase(id);
    }
    if (id == timeline::kRootId)
        LoadFrameBlocks(frame - 1);
    if (gotoDepth_ > 16)
        return;
    // The new frame's objects are made and its script runs before the goto returns.
    ++gotoDepth_;
    TakeStageEvents();
    avm2::Broadcast(*vm_, "frameConstructed");
    FrameScripts();
    avm2::Broadcast(*vm_, "exitFrame");
    --gotoDepth_;
}

int As3Host::FrameOfLabel(uint32_t id, const std::string& label) {
    timeline::Clip* c = stage_->ClipOf(id);
    if (c == nullptr || c->timeline == nullptr)
        return 0;
    for (size_t i = 0; i < c->timeline->frames.size(); ++i)
        if (c->timeline->frames[i].label == label)
            return int(i) + 1;
    return 0;
}

std::string As3Host::LabelOf(uint32_t id, uint32_t frame) {
    timeline::Clip* c = stage_->ClipOf(id);
    if (c == nullptr || c->timeline == nullptr)
        return std::string();
    for (uint32_t i = std::min<uint32_t>(frame, uint32_t(c->timeline->frames.size())); i-- > 0;)
        if (!c->timeline->frames[i].label.empty())
            return c->timeline->frames[i].label;
    return std::string();
}

std::vector<std::pair<std::string, uint32_t>> As3Host::Labels(uint32_t id) {
    // The main timeline's labels are those its scenes list, when it has them.
    if (id == timeline::kRootId && !scenes_.empty())
        return sceneLabels_;
    std::vector<std::pair<std::string, uint32_t>> out;
    timeline::Clip* c = stage_->ClipOf(id);
    if (c != nullptr && c->timeline != nullptr)
        for (size_t i = 0; i < c->timeline->frames.size(); ++i)
            if (!c->timeline->frames[i].label.empty())
                out.emplace_back(c->timeline->frames[i].label, uint32_t(i) + 1);
    return out;
}

bool As3Host::Hit(uint32_t id, double x, double y) {
    const timeline::DisplayObject* o = stage_->Find(id);
    return o != nullptr &&
           timeline::ObjectHit(
               *o, id == timeline::kRootId ? swf::Affine::From(o->matrix) : StageMatrix(*o), x * 20,
               y * 20);
}

std::vector<std::pair<std::string, uint32_t>> As3Host::Scenes(uint32_t id) {
    return id == timeline::kRootId ? scenes_ : std::vector<std::pair<std::string, uint32_t>>();
}

// Its own matrix, then each parent's up to the stage.
swf::Affine As3Host::StageMatrix(const timeline::DisplayObject& o) {
    swf::Affine m = swf::Affine::From(o.matrix);
    const timeline::DisplayObject* p = stage_->Find(o.parentId);
    for (int i = 0; p != nullptr && p->id != o.id && i < 256; ++i) {
        m = swf::Affine::From(p->matrix) * m;
        if (p->id == timeline::kRootId)
            break;
        p = stage_->Find(p->parentId);
    }
    return m;
}

bool As3Host::Bounds(uint32_t id, double* box, bool onStage) {
    const timeline::DisplayObject* o = stage_->Find(id);
    if (o == nullptr)
        return false;
    const swf::Box b = timeline::ObjectBounds(
        *o, onStage && id != timeline::kRootId ? StageMatrix(*o) : swf::Affine::From(o->matrix));
    box[0] = b.xMin / 20, box[1] = b.yMin / 20, box[2] = b.xMax / 20, box[3] = b.yMax / 20;
    return !b.empty;
}

bool As3Host::GetPlacement(uint32_t id, avm2::Placement* p) {
    timeline::DisplayObject* o = stage_->Find(id);
    if (o == nullptr)
        return false;
    Decompose(*o);
    p->x = o->matrix.translateX / 20.0;
    p->y = o->matrix.translateY / 20.0;
    p->scaleX = o->xScale / 100;
    p->scaleY = o->yScale / 100;
    p->rotation = o->rotation;
    p->alpha = o->cxform.mulA / 256.0;
    p->visible = o->visible;
    const swf::ColorTransform& c = o->cxform;
    p->mul[0] = c.mulR / 256.0, p->mul[1] = c.mulG / 256.0, p->mul[2] = c.mulB / 256.0;
    p->add[0] = c.addR, p->add[1] = c.addG, p->add[2] = c.addB, p->add[3] = c.addA;
    return true;
}

void As3Host::SetPlacement(uint32_t id, const avm2::Placement& p) {
    timeline::DisplayObject* o = stage_->Find(id);
    if (o == nullptr)
        return;
    o->matrix.translateX = As3Twips(p.x);
    o->matrix.translateY = As3Twips(p.y);
    Decompose(*o);
    o->xScale = p.scaleX * 100;
    o->yScale = p.scaleY * 100;
    o->rotation = p.rotation;
    Recompose(*o);
    auto fixed = [](double v) {
        return int16_t(std::isfinite(v) ? std::fmax(-32768, std::fmin(32767, std::round(v))) : 0);
    };
    swf::ColorTransform& c = o->cxform;
    c.mulR = fixed(p.mul[0] * 256), c.mulG = fixed(p.mul[1] * 256), c.mulB = fixed(p.mul[2] * 256);
    c.mulA = fixed(p.alpha * 256);
    c.addR = fixed(p.add[0]), c.addG = fixed(p.add[1]), c.addB = fixed(p.add[2]);
    c.addA = fixed(p.add[3]);
    o->visible = p.visible;
    touched_ = true;
}

// The library symbol a class is bound to. Bindings name classes as "package.Name";
// comparing names runs no script, where looking the class up could start its script here.
const timeline::Character* As3Host::SymbolOf(const avm2::ClassInfo* c) {
    if (c == nullptr)
        return nullptr;
    auto known = symbolOf_.find(c);
    if (known != symbolOf_.end())
        return known->second;
    const std::string name = c->uri.empty() ? c->name : c->uri + "." + c->name;
    const timeline::Character* found = nullptr;
    for (const auto& s : symbols_)
        if (s.second == name) {
            found = movie_->dictionary.Find(s.first);
            break;
        }
    symbolOf_[c] = found;
    return found;
}

bool As3Host::HasSymbol(const avm2::ClassInfo* c) {
    const timeline::Character* ch = SymbolOf(c);
    return ch != nullptr && ch->kind == timeline::Kind::Sprite;
}

// A script-made object goes on top of its parent's list: the library symbol its class is
// bound to, or an empty sprite that holds its drawing and children. One that has its
// timeline object already (off every list, or under another parent) moves there whole.
uint32_t As3Host::Realize(uint32_t parent, Object* obj) {
    avm2::DisplayData* d = avm2::DisplayOf(Value::Obj(obj));
    if (d != nullptr && d->timeline != 0) {
        if (const timeline::DisplayObject* o = stage_->Find(d->timeline)) {
            if (o->parentId == parent)
                return d->timeline;
            if (!stage_->Move(d->timeline, parent, stage_->NextHighestDepth(parent)))
                return 0;
            touched_ = true;
            return d->timeline;
        }
    }
    const timeline::Character* character = SymbolOf(obj->cls);
    // One the timeline placed comes back as the symbol it was placed as.
    if (character == nullptr && d != nullptr && d->character != 0)
        character = movie_->dictionary.Find(d->character);
    const int depth = stage_->NextHighestDepth(parent);
    avm2::DisplayData* field = d != nullptr && d->field ? d : nullptr;
    uint32_t id = 0;
    const render::ScriptBitmap* pixels = nullptr;
    bool smooth = false;
    if (character != nullptr)
        id = stage_->Place(parent, character, "", depth);
    else if (avm2::ShownBitmap(*vm_, Value::Obj(obj), &pixels, &smooth))
        id = bitmaps_.Attach(parent, pixels ? *pixels : render::ScriptBitmap(), depth, smooth);
    else if (field != nullptr)
        id = stage_->CreateText(parent, "", depth, field->field->bounds);
    else
        id = stage_->CreateEmpty(parent, "", depth);
    // A field a script made brings its state onto the stage.
    timeline::DisplayObject* placed = field != nullptr ? stage_->Find(id) : nullptr;
    if (placed != nullptr && placed->field) {
        *placed->field = std::move(*field->field);
        field->field.reset();
    }
    if (id != 0) {
        objects_[id] = obj;
        touched_ = true;
    }
    return id;
}

// Off its list, an object keeps its timeline object (its shape, its frames, what it holds)
// on the shelf, where it plays on until nothing reaches it.
void As3Host::Unrealize(uint32_t id) {
    if (id == timeline::kRootId || stage_->Find(id) == nullptr)
        return;
    touched_ = true;
    if (stage_->Move(id, timeline::kShelfId, stage_->FreeDepth(timeline::kShelfId)))
        return;
    // No room there: it leaves the timeline with what it holds, and is put back as its
    // symbol when added again.
    std::vector<uint32_t> gone{id};
    for (size_t i = 0; i < gone.size() && gone.size() < timeline::kMaxObjects * 2; ++i)
        if (const timeline::Clip* c = stage_->ClipOf(gone[i]))
            for (const auto& o : c->objects)
                gone.push_back(o.second.id);
    // A field keeps its text and formats off the stage, for when it is added again.
    timeline::DisplayObject* o = stage_->Find(id);
    auto obj = objects_.find(id);
    if (o != nullptr && o->field && obj != objects_.end())
        if (avm2::DisplayData* d = avm2::DisplayOf(Value::Obj(obj->second)))
            d->field.reset(new timeline::TextFieldState(std::move(*o->field)));
    if (!stage_->Remove(id, true))
        return;
    for (uint32_t g : gone) {
        auto it = objects_.find(g);
        if (it == objects_.end())
            continue;
        if (avm2::DisplayData* k = avm2::DisplayOf(Value::Obj(it->second)))
            k->timeline = 0;
        objects_.erase(it);
        scriptFrame_.erase(g);
    }
}

// Made by a script: one of a class bound to a library sprite (or button) holds that
// sprite's first frame (or the button's states) at once, off every list; what it holds is
// constructed when its constructor reaches DisplayObject's, and named on it.
void As3Host::Born(Object* obj) {
    const timeline::Character* character = SymbolOf(obj->cls);
    const bool button = character != nullptr && character->kind == timeline::Kind::Button;
    if (character == nullptr || (character->kind != timeline::Kind::Sprite && !button))
        return;
    avm2::DisplayData* d = avm2::DispatcherData(Value::Obj(obj));
    if (d == nullptr)
        return;
    d->isDisplay = d->scriptMade = true;
    d->isContainer = !button; // a button's states are built in its constructor
    d->name = NewInstanceName();
    // What the stage had to tell belongs to the frame; this object's arrivals are its own.
    for (const timeline::StageEvent& e : stage_->TakeEvents())
        pending_.push_back(e);
    const uint32_t id =
        stage_->Place(timeline::kShelfId, character, "", stage_->FreeDepth(timeline::kShelfId));
    if (id == 0)
        return;
    d->timeline = id;
    d->character = character->id;
    objects_[id] = obj;
    if (timeline::Clip* c = stage_->ClipOf(id))
        c->skipAdvance = true;
    unbuilt_.insert(obj); // what it holds waits for its constructor
    std::vector<timeline::StageEvent> frame;
    frame.swap(pending_);
    std::vector<Object*> made;
    for (const timeline::StageEvent& e : stage_->TakeEvents())
        if (e.kind == timeline::StageEvent::Placed && !objects_.count(e.id))
            if (Object* child = MakeObject(e.id))
                made.push_back(child);
    Arrive(made);
    frame.insert(frame.end(), pending_.begin(), pending_.end());
    pending_.swap(frame);
}

timeline::TextFieldState* As3Host::TextField(uint32_t id) {
    timeline::DisplayObject* o = stage_->Find(id);
    return o != nullptr ? o->field.get() : nullptr;
}

void As3Host::TextFieldChanged(uint32_t id, timeline::TextFieldState& field) {
    if (field.autoSize != 0)
        field.bounds = measure_.Box(field);
    touched_ = touched_ || id != 0;
}

render::FieldMetrics As3Host::MeasureField(const timeline::TextFieldState& field) {
    return measure_.Measure(field);
}

bool As3Host::LibraryBitmap(const avm2::ClassInfo* c, render::ScriptBitmap* out) {
    const timeline::Character* ch = SymbolOf(c);
    return ch != nullptr && ch->kind == timeline::Kind::Bitmap &&
           ScriptBitmaps::Copy(ch, render::kFlash10Bitmaps, out);
}

void As3Host::DrawOnto(uint32_t id, render::ScriptBitmap* target, const swf::Affine& m,
                       const swf::ColorTransform& cx, const render::IntRect& clip) {
    bitmaps_.DrawOnto(id, target, m, cx, clip);
}

void As3Host::ShowBitmap(uint32_t id, const render::ScriptBitmap& b, bool smooth) {
    touched_ = bitmaps_.Show(id, b, smooth) || touched_;
}

bool As3Host::LibraryFont(const avm2::ClassInfo* c, std::string* name, bool* bold, bool* italic) {
    if (c == nullptr)
        return false;
    const std::string wanted = c->uri.empty() ? c->name : c->uri + "." + c->name;
    for (const auto& s : symbols_)
        if (s.second == wanted)
            if (const swf::Font* f = movie_->dictionary.FindFont(s.first)) {
                *name = f->name, *bold = f->bold, *italic = f->italic;
                return true;
            }
    return false;
}

void As3Host::SetFilters(uint32_t id, const std::vector<swf::Filter>& filters) {
    if (timeline::DisplayObject* o = stage_->Find(id)) {
        o->filters = filters;
        touched_ = true;
    }
}

void As3Host::SetBlendMode(uint32_t id, swf::BlendMode mode) {
    if (timeline::DisplayObject* o = stage_->Find(id)) {
        o->blend = mode;
        touched_ = true;
    }
}

void As3Host::Draw(uint32_t id, const timeline::DrawOp& op) {
    timeline::Clip* clip = stage_->ClipOf(id);
    if (clip == nullptr)
        return;
    if (!clip->drawing)
        clip->drawing.reset(new timeline::Drawing);
    clip->drawing->Apply(op);
    touched_ = true;
}

void As3Host::Restack(const std::vector<uint32_t>& ids) {
    std::vector<uint16_t> depths;
    for (uint32_t id : ids)
        if (const timeline::DisplayObject* o = stage_->Find(id))
            depths.push_back(o->depth);
    if (depths.size() != ids.size())
        return;
    std::sort(depths.begin(), depths.end());
    for (size_t i = 0; i < ids.size(); ++i) {
        const timeline::DisplayObject* o = stage_->Find(ids[i]);
        if (o != nullptr && o->depth != depths[i] &&
            stage_->SwapDepths(ids[i], int(depths[i]) - timeline::kScriptDepthBase))
            touched_ = true;
    }
}

} // namespace engine
