#include "player/core/timeline/display_list.h"

namespace timeline {

namespace {

void Instantiate(const Dictionary& dict, DisplayObject* o, int nesting);

// The objects a button shows in its up state.
void BuildButton(const Dictionary& dict, const swf::Button& button, const swf::ColorTransform& cx,
                 Clip* clip, int nesting) {
    for (const swf::ButtonRecord& r : button.records) {
        if (!(r.states & 1)) {
            continue;
        }
        const Character* c = dict.Find(r.characterId);
        if (c == nullptr) {
            continue;
        }
        DisplayObject o;
        o.depth = r.depth;
        o.character = c;
        o.matrix = r.matrix;
        o.cxform = r.cxform.Then(cx);
        o.blend = static_cast<swf::BlendMode>(r.blendMode == 1 ? 0 : r.blendMode);
        o.filters = r.filters;
        Instantiate(dict, &o, nesting + 1);
        clip->objects[r.depth] = std::move(o);
    }
}

void RunFrame(const Dictionary& dict, Clip* clip, uint32_t frame, int nesting, bool* changed);

void Instantiate(const Dictionary& dict, DisplayObject* o, int nesting) {
    o->clip.reset();
    if (nesting >= kMaxNesting || o->character == nullptr) {
        return;
    }
    if (o->character->kind == Kind::Sprite) {
        o->clip.reset(new Clip);
        o->clip->timeline = o->character->sprite.get();
        bool changed = false;
        RunFrame(dict, o->clip.get(), 0, nesting, &changed);
    } else if (o->character->kind == Kind::Button) {
        o->clip.reset(new Clip);
        BuildButton(dict, *o->character->button, o->character->buttonCxform, o->clip.get(),
                    nesting);
    }
}

void Apply(const Dictionary& dict, const FrameCommand& c, Clip* clip, int nesting) {
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
        const Character* ch = dict.Find(p.characterId);
        if (ch == nullptr || ch->kind == Kind::Font || clip->objects.size() >= kMaxObjectsPerList) {
            return;
        }
        DisplayObject fresh;
        fresh.depth = p.depth;
        fresh.character = ch;
        o = &(clip->objects[p.depth] = std::move(fresh));
        Instantiate(dict, o, nesting + 1);
    } else {
        o = &it->second;
        if (p.hasCharacter) {
            const Character* ch = dict.Find(p.characterId);
            if (ch != nullptr && ch != o->character && ch->kind != Kind::Font) {
                o->character = ch;
                Instantiate(dict, o, nesting + 1);
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

void RunFrame(const Dictionary& dict, Clip* clip, uint32_t frame, int nesting, bool* changed) {
    clip->frame = frame;
    if (clip->timeline == nullptr || frame >= clip->timeline->frames.size()) {
        return;
    }
    for (const FrameCommand& c : clip->timeline->frames[frame].commands) {
        Apply(dict, c, clip, nesting);
        *changed = true;
    }
}

// Back to the first frame: what frame 1 places again at the same depth with the same
// character keeps running; everything else goes.
void Rewind(const Dictionary& dict, Clip* clip, int nesting, bool* changed) {
    std::map<uint16_t, DisplayObject> old;
    old.swap(clip->objects);
    clip->frame = 0;
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
                Apply(dict, move, clip, nesting);
                continue;
            }
        }
        Apply(dict, c, clip, nesting);
    }
    *changed = true;
}

void AdvanceClip(const Dictionary& dict, Clip* clip, int nesting, bool* changed) {
    for (auto& entry : clip->objects) {
        if (entry.second.clip) {
            AdvanceClip(dict, entry.second.clip.get(), nesting + 1, changed);
        }
        if (entry.second.character != nullptr && entry.second.character->kind == Kind::Morph) {
            // nothing: a morph changes only through its ratio
        }
    }
    if (clip->timeline == nullptr || clip->timeline->frameCount <= 1) {
        return;
    }
    if (clip->frame + 1 < clip->timeline->frameCount) {
        RunFrame(dict, clip, clip->frame + 1, nesting, changed);
    } else {
        Rewind(dict, clip, nesting, changed);
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
    RunFrame(movie_->dictionary, &root_, 0, 0, &changed);
}

bool Stage::Advance() {
    if (movie_ == nullptr) {
        return false;
    }
    bool changed = false;
    AdvanceClip(movie_->dictionary, &root_, 0, &changed);
    return changed;
}

void Stage::GoTo(uint32_t frame) {
    if (movie_ == nullptr || frame == root_.frame || frame >= movie_->main.frameCount) {
        return;
    }
    bool changed = false;
    if (frame < root_.frame) {
        Rewind(movie_->dictionary, &root_, 0, &changed);
    }
    while (root_.frame < frame) {
        RunFrame(movie_->dictionary, &root_, root_.frame + 1, 0, &changed);
    }
}

} // namespace timeline
