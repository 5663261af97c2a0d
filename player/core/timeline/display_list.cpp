#include "player/core/timeline/display_list.h"

#include <algorithm>
#include <map>
#include <set>
#include <string>

#include "player/core/timeline/stage_ops.h"

namespace timeline {

// What one call may still create: display objects beyond the stage's limit are not made,
// so sprites placing sprites cannot multiply without bound.
StageOps::StageOps(Stage& stage)
    : s(stage), budget(kMaxObjects - std::min(kMaxObjects, stage.byId_.size())) {}

bool StageOps::Spend() {
    if (budget == 0) {
        return false;
    }
    --budget;
    return true;
}

void StageOps::DiscardChildren(Clip& clip) {
    for (auto& entry : clip.objects) {
        Discard(entry.second);
    }
}

void StageOps::Discard(DisplayObject& o) {
    if (s.byId_.erase(o.id) == 0) {
        return; // never registered (or gone already)
    }
    Event(StageEvent::Removed, o.id, o.clipActions, o.clipActionsSize);
    s.changed_ = true;
    if (o.clip) {
        DiscardChildren(*o.clip);
    }
}

// The objects a button shows in its up state.
void StageOps::BuildButton(const swf::Button& button, const swf::ColorTransform& cx, Clip* clip,
                           int nesting) {
    for (const swf::ButtonRecord& r : button.records) {
        if (!(r.states & 1)) {
            continue;
        }
        const Character* c = Dict().Find(r.characterId);
        if (c == nullptr || !Spend()) {
            continue;
        }
        DisplayObject* o = PlaceNew(clip, r.depth, c, nesting, false, false);
        o->matrix = r.matrix;
        o->cxform = r.cxform.Then(cx);
        o->blend = static_cast<swf::BlendMode>(r.blendMode == 1 ? 0 : r.blendMode);
        o->filters = r.filters;
    }
}

void StageOps::Instantiate(DisplayObject* o, int nesting) {
    if (o->clip) {
        DiscardChildren(*o->clip);
        o->clip.reset();
    }
    o->video.reset();
    if (nesting >= kMaxNesting || o->character == nullptr) {
        return;
    }
    if (o->character->kind == Kind::Video) {
        o->video =
            std::make_shared<video::Playback>(o->character->video, s.movie_->videoMemory.get());
    } else if (o->character->kind == Kind::Sprite) {
        o->clip.reset(new Clip);
        o->clip->owner = o->id;
        o->clip->timeline = o->character->sprite.get();
        RunFrame(o->clip.get(), 0, nesting, true);
    } else if (o->character->kind == Kind::Button) {
        o->clip.reset(new Clip);
        o->clip->owner = o->id;
        if (!s.scriptedButtons_) {
            BuildButton(*o->character->button, o->character->buttonCxform, o->clip.get(), nesting);
        }
    }
}

DisplayObject* StageOps::PlaceNew(Clip* clip, uint16_t depth, const Character* ch, int nesting,
                                  bool byScript, bool named) {
    auto it = clip->objects.find(depth);
    if (it != clip->objects.end()) {
        Discard(it->second);
        clip->objects.erase(it);
    }
    DisplayObject fresh;
    fresh.id = s.nextId_++;
    fresh.parentId = clip->owner;
    fresh.depth = depth;
    fresh.character = ch;
    fresh.dynamic = byScript;
    if (ch->kind == Kind::EditText) {
        const swf::EditText& def = *ch->editText;
        fresh.field.reset(new TextFieldState);
        InitField(def,
                  def.hasFont && s.movie_ != nullptr ? s.movie_->dictionary.FindFont(def.fontId)
                                                     : nullptr,
                  s.movie_ != nullptr ? s.movie_->version : 8, fresh.field.get());
    }
    // Flash names the scriptable objects the timeline places without a name by a running
    // count, parents before what they hold.
    if (!byScript && !named &&
        (ch->kind == Kind::Sprite || ch->kind == Kind::EditText || ch->kind == Kind::Button)) {
        fresh.name = "instance" + std::to_string(++s.instances_);
    }
    DisplayObject* o = &clip->objects.emplace(depth, std::move(fresh)).first->second;
    s.byId_[o->id] = o;
    clip->namesStale = true;
    s.changed_ = true;
    Event(StageEvent::Placed, o->id);
    if (!s.events_.empty() && s.events_.back().id == o->id) {
        s.events_.back().byScript = byScript;
    }
    Instantiate(o, nesting + 1);
    return o;
}

void StageOps::Apply(const FrameCommand& c, Clip* clip, int nesting) {
    if (c.remove) {
        auto it = clip->objects.find(c.depth);
        if (it != clip->objects.end()) {
            Discard(it->second);
            clip->objects.erase(it);
            clip->namesStale = true;
        }
        return;
    }
    const swf::PlaceObject& p = c.place;
    auto it = clip->objects.find(p.depth);
    DisplayObject* o = nullptr;
    if (it == clip->objects.end() || !p.move) {
        if (!p.hasCharacter) {
            return; // a move of nothing
        }
        const Character* ch = Dict().Find(p.characterId);
        // The main timeline's own objects each cost a tag; what sprites make in turn is
        // what can multiply, so only that spends the budget.
        if (ch == nullptr || ch->kind == Kind::Font || clip->objects.size() >= kMaxObjectsPerList ||
            (nesting > 0 && !Spend())) {
            return;
        }
        o = PlaceNew(clip, p.depth, ch, nesting, false, p.hasName);
        o->placedFrame = clip->frame;
    } else {
        o = &it->second;
        if (p.hasCharacter) {
            const Character* ch = Dict().Find(p.characterId);
            if (ch != nullptr && ch != o->character && ch->kind != Kind::Font) {
                o->character = ch;
                o->placedFrame = clip->frame;
                Instantiate(o, nesting + 1);
            }
        }
    }
    // Once a script moved or recoloured an object, the timeline leaves those alone.
    if (p.hasMatrix && !o->scripted) {
        o->matrix = p.matrix;
        o->decomposed = false;
    }
    if (p.hasCxform && !o->scripted) {
        o->cxform = p.cxform;
    }
    if (p.hasRatio) {
        o->ratio = p.ratio;
    }
    if (p.hasName) {
        o->name = p.name;
        clip->namesStale = true;
    }
    if (p.hasClipDepth) {
        o->clipDepth = p.clipDepth;
    }
    if (p.hasFilters) {
        o->filters = p.filters;
    }
    if (p.hasBlend) {
        o->blend = p.blend;
    }
    if (p.clipActions != nullptr) {
        o->clipActions = p.clipActions;
        o->clipActionsSize = p.clipActionsSize;
    }
}

// DoInitAction blocks of the main timeline's frame, once per sprite definition.
void StageOps::QueueInit(Clip* clip, uint32_t frame) {
    if (clip->owner != kRootId) {
        return;
    }
    const std::vector<InitAction>& inits = s.movie_->initActions;
    for (size_t i = 0; i < inits.size(); ++i) {
        if (inits[i].frame == frame && !s.initDone_[i]) {
            s.initDone_[i] = true;
            Event(StageEvent::InitActions, kRootId, inits[i].actions.data, inits[i].actions.size);
        }
    }
}

namespace {

// What a goto over frames [from, to] meets: the placements a later command of the span
// removes or places over (passed over, so what they would make never appears, nor its
// events), and at each depth the placement that stands at `to` (frame, command, character).
struct GotoSpan {
    std::set<std::pair<uint32_t, size_t>> passed;
    std::map<uint16_t, std::pair<std::pair<uint32_t, size_t>, uint16_t>> standing;
};

GotoSpan ReadSpan(const std::vector<Frame>& frames, uint32_t from, uint32_t to) {
    GotoSpan span;
    for (uint32_t f = from; f <= to && f < frames.size(); ++f) {
        const std::vector<FrameCommand>& commands = frames[f].commands;
        for (size_t k = 0; k < commands.size(); ++k) {
            const FrameCommand& c = commands[k];
            const uint16_t depth = c.remove ? c.depth : c.place.depth;
            auto it = span.standing.find(depth);
            if (c.remove) {
                if (it != span.standing.end()) {
                    span.passed.insert(it->second.first);
                    span.standing.erase(it);
                }
            } else if (c.place.hasCharacter) {
                if (it != span.standing.end() && c.place.move &&
                    it->second.second == c.place.characterId) {
                    continue; // a move of what stands there
                }
                if (it != span.standing.end()) {
                    span.passed.insert(it->second.first);
                }
                span.standing[depth] = {{f, k}, c.place.characterId};
            }
        }
    }
    return span;
}

} // namespace

void StageOps::RunFrame(Clip* clip, uint32_t frame, int nesting, bool queueActions,
                        const std::set<std::pair<uint32_t, size_t>>* passed) {
    clip->frame = frame;
    QueueInit(clip, frame);
    if (clip->timeline == nullptr || frame >= clip->timeline->frames.size()) {
        return;
    }
    const Frame& f = clip->timeline->frames[frame];
    if (queueActions) {
        for (const swf::ActionBytes& a : f.actions) {
            Event(StageEvent::Actions, clip->owner, a.data, a.size);
        }
    }
    for (size_t k = 0; k < f.commands.size(); ++k) {
        if (passed == nullptr || passed->count({frame, k}) == 0) {
            Apply(f.commands[k], clip, nesting);
            s.changed_ = true;
        }
    }
}

// Back to `target` by way of the first frame. An object the timeline placed on or before
// the target that is still there was there at the target too, so it keeps running (the
// placement that made it only moves it back); so do the objects scripts made. Everything
// else goes, and the frames up to the target place it anew. Actions run for the target
// frame only when asked.
void StageOps::Rewind(Clip* clip, uint32_t target, int nesting, bool queueActions) {
    const std::vector<Frame>& frames = clip->timeline->frames;
    target = std::min<uint32_t>(target, frames.empty() ? 0 : uint32_t(frames.size() - 1));
    const GotoSpan span = ReadSpan(frames, 0, target);
    std::map<uint16_t, DisplayObject> old;
    old.swap(clip->objects);
    clip->namesStale = true;
    s.changed_ = true;
    std::map<uint16_t, uint32_t> kept; // depth -> the frame that placed the kept object
    for (auto it = old.begin(); it != old.end();) {
        auto at = span.standing.find(it->first);
        const bool byScript = it->first >= kScriptDepthBase;
        const bool stands = at != span.standing.end() && it->second.character != nullptr &&
                            it->second.character->id == at->second.second &&
                            it->second.placedFrame == at->second.first.first;
        if (!byScript && !stands) {
            ++it;
            continue;
        }
        auto placed = clip->objects.try_emplace(it->first, std::move(it->second));
        s.byId_[placed.first->second.id] = &placed.first->second;
        if (!byScript) {
            kept[it->first] = at->second.first.first;
        }
        it = old.erase(it);
    }
    for (auto& entry : old) {
        Discard(entry.second);
    }
    for (uint32_t f = 0; f <= target; ++f) {
        clip->frame = f;
        QueueInit(clip, f);
        if (f >= frames.size()) {
            continue;
        }
        if (queueActions && f == target) {
            for (const swf::ActionBytes& a : frames[f].actions) {
                Event(StageEvent::Actions, clip->owner, a.data, a.size);
            }
        }
        for (size_t n = 0; n < frames[f].commands.size(); ++n) {
            const FrameCommand& c = frames[f].commands[n];
            if (span.passed.count({f, n}) != 0) {
                continue;
            }
            const uint16_t depth = c.remove ? c.depth : c.place.depth;
            auto k = kept.find(depth);
            if (k == kept.end() || f > k->second) {
                Apply(c, clip, nesting);
                continue;
            }
            // Up to its own placement, the depth belongs to the kept object: what came before
            // it there never shows, and its placement puts it back as it was placed.
            if (f < k->second || c.remove || !c.place.hasCharacter) {
                continue;
            }
            // What its placement does not give it, it loses (filters a later frame set).
            clip->objects.at(depth).filters.clear();
            FrameCommand move = c;
            move.place.move = true;
            move.place.hasCharacter = false;
            Apply(move, clip, nesting);
        }
    }
    clip->frame = target;
}

void StageOps::AdvanceClip(Clip* clip, int nesting) {
    // The parent's frame first, then the children that were there before it.
    std::vector<uint32_t> children;
    for (auto& entry : clip->objects) {
        if (entry.second.clip) {
            children.push_back(entry.second.id);
        }
    }
    if (clip->skipAdvance) {
        clip->skipAdvance = false;
    } else if (clip->playing && clip->timeline != nullptr && clip->timeline->frameCount > 1) {
        if (clip->frame + 1 < clip->timeline->frameCount) {
            RunFrame(clip, clip->frame + 1, nesting, true);
        } else {
            Rewind(clip, 0, nesting, true);
        }
    }
    for (uint32_t id : children) {
        DisplayObject* o = s.Find(id);
        if (o != nullptr && o->clip) {
            AdvanceClip(o->clip.get(), nesting + 1);
        }
    }
}

// Only the target frame's actions run; frames passed on the way just build the list.
bool StageOps::GoTo(Clip* clip, uint32_t frame, int nesting) {
    if (clip->timeline == nullptr || frame == clip->frame || frame >= clip->timeline->frameCount) {
        return false;
    }
    if (frame < clip->frame) {
        Rewind(clip, frame, nesting, true);
        return true;
    }
    const GotoSpan span = ReadSpan(clip->timeline->frames, clip->frame + 1, frame);
    while (clip->frame < frame) {
        RunFrame(clip, clip->frame + 1, nesting, clip->frame + 1 == frame, &span.passed);
    }
    return true;
}

int StageOps::Nesting(uint32_t id) {
    int n = 0;
    for (DisplayObject* o = s.Find(id); o != nullptr && o->id != kRootId && n < kMaxNesting;
         o = s.Find(o->parentId)) {
        ++n;
    }
    return n;
}

void Stage::Reset(const LoadedMovie* movie) {
    movie_ = movie;
    root_ = DisplayObject();
    root_.id = kRootId;
    root_.clip.reset(new Clip);
    root_.clip->owner = kRootId;
    root_.clip->timeline = movie != nullptr ? &movie->main : nullptr;
    shelf_ = DisplayObject();
    shelf_.id = kShelfId;
    shelf_.clip.reset(new Clip);
    shelf_.clip->owner = kShelfId;
    byId_.clear();
    byId_[kRootId] = &root_;
    byId_[kShelfId] = &shelf_;
    nextId_ = kRootId + 1;
    instances_ = 0;
    events_.clear();
    initDone_.assign(movie != nullptr ? movie->initActions.size() : 0, false);
    made_.clear();
    scriptedButtons_ = false;
}

void Stage::Start() {
    if (movie_ == nullptr) {
        return;
    }
    StageOps ops(*this);
    ops.DiscardChildren(*root_.clip);
    root_.clip->objects.clear();
    ops.RunFrame(root_.clip.get(), 0, 0, true);
    changed_ = false; // the first frame is drawn anyway
}

bool Stage::Advance() {
    if (movie_ == nullptr) {
        return false;
    }
    StageOps ops(*this);
    ops.AdvanceClip(root_.clip.get(), 0);
    // What scripts keep off the lists plays on, out of the picture.
    const bool changed = TakeChanged();
    ops.AdvanceClip(shelf_.clip.get(), 0);
    changed_ = false;
    return changed;
}

void Stage::GoTo(uint32_t frame) {
    if (movie_ != nullptr) {
        GoTo(kRootId, frame);
    }
}

bool Stage::GoTo(uint32_t id, uint32_t frame) {
    Clip* clip = ClipOf(id);
    if (movie_ == nullptr || clip == nullptr) {
        return false;
    }
    StageOps ops(*this);
    return ops.GoTo(clip, frame, ops.Nesting(id));
}

bool Stage::TakeChanged() {
    const bool was = changed_;
    changed_ = false;
    return was;
}

std::vector<StageEvent> Stage::TakeEvents() {
    std::vector<StageEvent> out;
    out.swap(events_);
    return out;
}

DisplayObject* Stage::Find(uint32_t id) {
    auto it = byId_.find(id);
    return it == byId_.end() ? nullptr : it->second;
}

Clip* Stage::ClipOf(uint32_t id) {
    DisplayObject* o = Find(id);
    return o != nullptr ? o->clip.get() : nullptr;
}

} // namespace timeline
