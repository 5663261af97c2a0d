#include "player/core/timeline/display_list.h"

#include <algorithm>

namespace timeline {

namespace {

// What one frame's work may still create: display objects beyond the stage's limit are
// not made, so sprites placing sprites cannot multiply without bound.
struct Context {
    const Dictionary& dict;
    size_t budget;
    bool Spend() {
        if (budget == 0) {
            return false;
        }
        --budget;
        return true;
    }
};

size_t CountObjects(const Clip& clip) {
    size_t n = clip.objects.size();
    for (const auto& entry : clip.objects) {
        if (entry.second.clip) {
            n += CountObjects(*entry.second.clip);
        }
    }
    return n;
}

void Instantiate(Context& ctx, DisplayObject* o, int nesting);

// The objects a button shows in its up state.
void BuildButton(Context& ctx, const swf::Button& button, const swf::ColorTransform& cx, Clip* clip,
                 int nesting) {
    for (const swf::ButtonRecord& r : button.records) {
        if (!(r.states & 1)) {
            continue;
        }
        const Character* c = ctx.dict.Find(r.characterId);
        if (c == nullptr || !ctx.Spend()) {
            continue;
        }
        DisplayObject o;
        o.depth = r.depth;
        o.character = c;
        o.matrix = r.matrix;
        o.cxform = r.cxform.Then(cx);
        o.blend = static_cast<swf::BlendMode>(r.blendMode == 1 ? 0 : r.blendMode);
        o.filters = r.filters;
        Instantiate(ctx, &o, nesting + 1);
        clip->objects[r.depth] = std::move(o);
    }
}

void RunFrame(Context& ctx, Clip* clip, uint32_t frame, int nesting, bool* changed);

void Instantiate(Context& ctx, DisplayObject* o, int nesting) {
    o->clip.reset();
    if (nesting >= kMaxNesting || o->character == nullptr) {
        return;
    }
    if (o->character->kind == Kind::Sprite) {
        o->clip.reset(new Clip);
        o->clip->timeline = o->character->sprite.get();
        bool changed = false;
        RunFrame(ctx, o->clip.get(), 0, nesting, &changed);
    } else if (o->character->kind == Kind::Button) {
        o->clip.reset(new Clip);
        BuildButton(ctx, *o->character->button, o->character->buttonCxform, o->clip.get(), nesting);
    }
}

void Apply(Context& ctx, const FrameCommand& c, Clip* clip, int nesting) {
    if (c.remove) {
        clip->objects.erase(c.depth);
        return;
    }
    const swf::PlaceObject& p = c.place;
    auto it = clip->objects.find(p.depth);
    DisplayObject* o = nullptr;
    if (it == clip->objects.end() || !p.move) {
        if (!p.hasCharacter) {
            return; // a move of nothing
        }
        const Character* ch = ctx.dict.Find(p.characterId);
        // The main timeline's own objects each cost a tag; what sprites make in turn is
        // what can multiply, so only that spends the budget.
        if (ch == nullptr || ch->kind == Kind::Font || clip->objects.size() >= kMaxObjectsPerList ||
            (nesting > 0 && !ctx.Spend())) {
            return;
        }
        DisplayObject fresh;
        fresh.depth = p.depth;
        fresh.character = ch;
        if (ch->kind == Kind::EditText) {
            fresh.text = ch->editText->text;
            fresh.border = fresh.background = ch->editText->border;
        }
        o = &(clip->objects[p.depth] = std::move(fresh));
        Instantiate(ctx, o, nesting + 1);
    } else {
        o = &it->second;
        if (p.hasCharacter) {
            const Character* ch = ctx.dict.Find(p.characterId);
            if (ch != nullptr && ch != o->character && ch->kind != Kind::Font) {
                o->character = ch;
                Instantiate(ctx, o, nesting + 1);
            }
        }
    }
    if (p.hasMatrix) {
        o->matrix = p.matrix;
    }
    if (p.hasCxform) {
        o->cxform = p.cxform;
    }
    if (p.hasRatio) {
        o->ratio = p.ratio;
    }
    if (p.hasName) {
        o->name = p.name;
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

void RunFrame(Context& ctx, Clip* clip, uint32_t frame, int nesting, bool* changed) {
    clip->frame = frame;
    if (clip->timeline == nullptr || frame >= clip->timeline->frames.size()) {
        return;
    }
    for (const FrameCommand& c : clip->timeline->frames[frame].commands) {
        Apply(ctx, c, clip, nesting);
        *changed = true;
    }
}

// Back to the first frame: what frame 1 places again at the same depth with the same
// character keeps running; everything else goes.
void Rewind(Context& ctx, Clip* clip, int nesting, bool* changed) {
    std::map<uint16_t, DisplayObject> old;
    old.swap(clip->objects);
    clip->frame = 0;
    if (clip->timeline->frames.empty()) {
        *changed = true;
        return;
    }
    const Frame& first = clip->timeline->frames[0];
    for (const FrameCommand& c : first.commands) {
        if (!c.remove && c.place.hasCharacter) {
            auto it = old.find(c.place.depth);
            if (it != old.end() && it->second.character != nullptr &&
                it->second.character->id == c.place.characterId) {
                clip->objects[c.place.depth] = std::move(it->second);
                old.erase(it);
                FrameCommand move = c;
                move.place.move = true;
                move.place.hasCharacter = false;
                Apply(ctx, move, clip, nesting);
                continue;
            }
        }
        Apply(ctx, c, clip, nesting);
    }
    *changed = true;
}

void AdvanceClip(Context& ctx, Clip* clip, int nesting, bool* changed) {
    for (auto& entry : clip->objects) {
        if (entry.second.clip) {
            AdvanceClip(ctx, entry.second.clip.get(), nesting + 1, changed);
        }
    }
    if (clip->timeline == nullptr || clip->timeline->frameCount <= 1) {
        return;
    }
    if (clip->frame + 1 < clip->timeline->frameCount) {
        RunFrame(ctx, clip, clip->frame + 1, nesting, changed);
    } else {
        Rewind(ctx, clip, nesting, changed);
    }
}

} // namespace

void Stage::Reset(const LoadedMovie* movie) {
    movie_ = movie;
    root_ = Clip();
    root_.timeline = movie != nullptr ? &movie->main : nullptr;
}

void Stage::Start() {
    if (movie_ == nullptr) {
        return;
    }
    root_.objects.clear();
    bool changed = false;
    Context ctx{movie_->dictionary, kMaxObjects};
    RunFrame(ctx, &root_, 0, 0, &changed);
}

bool Stage::Advance() {
    if (movie_ == nullptr) {
        return false;
    }
    bool changed = false;
    Context ctx{movie_->dictionary, kMaxObjects - std::min(kMaxObjects, CountObjects(root_))};
    AdvanceClip(ctx, &root_, 0, &changed);
    return changed;
}

void Stage::GoTo(uint32_t frame) {
    if (movie_ == nullptr || frame == root_.frame || frame >= movie_->main.frameCount) {
        return;
    }
    bool changed = false;
    Context ctx{movie_->dictionary, kMaxObjects - std::min(kMaxObjects, CountObjects(root_))};
    if (frame < root_.frame) {
        Rewind(ctx, &root_, 0, &changed);
    }
    while (root_.frame < frame) {
        RunFrame(ctx, &root_, root_.frame + 1, 0, &changed);
    }
}

} // namespace timeline
