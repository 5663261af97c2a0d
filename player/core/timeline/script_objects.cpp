// The display-list operations scripts ask for: navigation of any clip, objects made and
// removed at script depths, depth swaps, lookups by instance name.
#include <algorithm>
#include <cctype>

#include "player/core/timeline/display_list.h"
#include "player/core/timeline/stage_ops.h"

namespace timeline {

namespace {

std::string Lower(const std::string& s) {
    std::string out(s);
    for (char& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

// A script depth as a timeline depth, or -1 when it lies outside what a list holds.
int TimelineDepth(int scriptDepth) {
    const long d = long(scriptDepth) + kScriptDepthBase;
    return d < 0 || d > 65535 ? -1 : int(d);
}

} // namespace

DisplayObject* Stage::Child(uint32_t parent, const std::string& name, bool caseSensitive) {
    Clip* clip = ClipOf(parent);
    if (clip == nullptr || name.empty()) {
        return nullptr;
    }
    if (clip->namesStale) {
        clip->names.clear();
        for (auto& entry : clip->objects) {
            if (!entry.second.name.empty()) {
                clip->names.emplace(Lower(entry.second.name), entry.first); // lowest depth wins
            }
        }
        clip->namesStale = false;
    }
    auto it = clip->names.find(Lower(name));
    auto found = it != clip->names.end() ? clip->objects.find(it->second) : clip->objects.end();
    if (found == clip->objects.end()) {
        return nullptr;
    }
    DisplayObject* o = &found->second;
    if (caseSensitive && o->name != name) {
        for (auto& entry : clip->objects) {
            if (entry.second.name == name) {
                return &entry.second;
            }
        }
        return nullptr;
    }
    return o;
}

bool Stage::GoToLabel(uint32_t id, const std::string& label) {
    Clip* clip = ClipOf(id);
    if (clip == nullptr || clip->timeline == nullptr) {
        return false;
    }
    const std::string want = Lower(label);
    const std::vector<timeline::Frame>& frames = clip->timeline->frames;
    for (size_t i = 0; i < frames.size(); ++i) {
        if (!frames[i].label.empty() && Lower(frames[i].label) == want) {
            return GoTo(id, uint32_t(i));
        }
    }
    return false;
}

uint32_t Stage::Place(uint32_t parent, const Character* character, const std::string& name,
                      int scriptDepth) {
    Clip* clip = ClipOf(parent);
    const int depth = TimelineDepth(scriptDepth);
    if (movie_ == nullptr || clip == nullptr || character == nullptr || depth < 0 ||
        character->kind == Kind::Font) {
        return 0;
    }
    StageOps ops(*this);
    if ((clip->objects.size() >= kMaxObjectsPerList && clip->objects.count(uint16_t(depth)) == 0) ||
        !ops.Spend()) {
        return 0;
    }
    DisplayObject* o =
        ops.PlaceNew(clip, uint16_t(depth), character, ops.Nesting(parent), true, true);
    o->name = name;
    return o->id;
}

uint32_t Stage::Duplicate(uint32_t id, const std::string& name, int scriptDepth) {
    DisplayObject* source = Find(id);
    if (source == nullptr || source->id == kRootId) {
        return 0;
    }
    // The copy starts at its first frame with the original's placement and clip events.
    const uint32_t made = Place(source->parentId, source->character, name, scriptDepth);
    DisplayObject* o = Find(made);
    source = Find(id); // the copy may have replaced it
    if (o == nullptr || source == nullptr) {
        return made;
    }
    o->matrix = source->matrix;
    o->cxform = source->cxform;
    o->ratio = source->ratio;
    o->clipDepth = source->clipDepth;
    o->blend = source->blend;
    o->clipActions = source->clipActions;
    o->clipActionsSize = source->clipActionsSize;
    if (o->clip && source->clip) {
        o->clip->staticTextGiven = source->clip->staticTextGiven;
        source->clip->staticTextGiven = true;
    }
    // A text field's copy starts from its definition: no filters, shown.
    if (!o->field) {
        o->filters = source->filters;
        o->visible = source->visible;
    }
    o->decomposed = source->decomposed;
    o->xScale = source->xScale;
    o->yScale = source->yScale;
    o->rotation = source->rotation;
    o->skew = source->skew;
    return made;
}

// A clip with no frames of its own (createEmptyMovieClip), or a text field of the given
// size: characters the stage makes and keeps.
uint32_t Stage::CreateText(uint32_t parent, const std::string& name, int scriptDepth,
                           const swf::Rect& bounds) {
    if (made_.size() >= kMaxObjects) {
        return 0;
    }
    // The size and the dynamic type belong to the field made, not to what a copy of it starts
    // from: Flash copies such a field as an empty box taking input.
    auto text = std::make_shared<swf::EditText>();
    text->color = swf::Rgba{0, 0, 0, 255};
    text->hasColor = true;
    std::unique_ptr<Character> c(new Character);
    c->kind = Kind::EditText;
    c->editText = text;
    const uint32_t made = Place(parent, c.get(), name, scriptDepth);
    if (made != 0) {
        made_.push_back(std::move(c));
        DisplayObject* o = Find(made);
        if (o != nullptr && o->field) {
            o->field->bounds = bounds;
            o->field->editable = false;
        }
    }
    return made;
}

uint32_t Stage::CreateEmpty(uint32_t parent, const std::string& name, int scriptDepth) {
    if (!emptySprite_) {
        emptySprite_.reset(new Character);
        emptySprite_->kind = Kind::Sprite;
        auto t = std::make_shared<Timeline>();
        t->frameCount = 1;
        emptySprite_->sprite = t;
    }
    return Place(parent, emptySprite_.get(), name, scriptDepth);
}

bool Stage::Remove(uint32_t id, bool placedToo) {
    DisplayObject* o = Find(id);
    if (o == nullptr || o->id == kRootId || (o->depth < kScriptDepthBase && !placedToo)) {
        return false; // what the timeline placed stays until the timeline removes it
    }
    Clip* clip = ClipOf(o->parentId);
    if (clip == nullptr) {
        return false;
    }
    const uint16_t depth = o->depth;
    StageOps ops(*this);
    ops.Discard(*o);
    clip->objects.erase(depth);
    clip->namesStale = true;
    return true;
}

bool Stage::SwapDepths(uint32_t id, int scriptDepth) {
    DisplayObject* o = Find(id);
    const int target = TimelineDepth(scriptDepth);
    Clip* clip = o != nullptr ? ClipOf(o->parentId) : nullptr;
    if (clip == nullptr || o->id == kRootId || target < 0 || target == o->depth) {
        return false;
    }
    const uint16_t from = o->depth, to = uint16_t(target);
    auto move = [&](uint16_t a, uint16_t b) { // the object at a to b, which is free
        auto it = clip->objects.find(a);
        DisplayObject moving = std::move(it->second);
        clip->objects.erase(it);
        moving.depth = b;
        moving.scripted = true;
        DisplayObject* placed = &clip->objects.emplace(b, std::move(moving)).first->second;
        byId_[placed->id] = placed;
    };
    auto other = clip->objects.find(to);
    if (other != clip->objects.end()) {
        DisplayObject parked = std::move(other->second);
        clip->objects.erase(other);
        move(from, to);
        parked.depth = from;
        parked.scripted = true;
        DisplayObject* placed = &clip->objects.emplace(from, std::move(parked)).first->second;
        byId_[placed->id] = placed;
    } else {
        move(from, to);
    }
    clip->namesStale = true;
    changed_ = true;
    return true;
}

int Stage::NextHighestDepth(uint32_t id) {
    Clip* clip = ClipOf(id);
    if (clip == nullptr || clip->objects.empty()) {
        return 0;
    }
    return std::max(0, int(clip->objects.rbegin()->first) + 1 - kScriptDepthBase);
}

int Stage::FreeDepth(uint32_t id) {
    Clip* clip = ClipOf(id);
    int depth = kScriptDepthBase;
    if (clip != nullptr) {
        for (auto it = clip->objects.lower_bound(uint16_t(depth));
             it != clip->objects.end() && it->first == depth; ++it) {
            ++depth;
        }
    }
    return depth - kScriptDepthBase;
}

namespace {

// How many levels of clips an object holds below itself, up to `limit`.
int Height(const DisplayObject& o, int limit) {
    int most = 0;
    if (o.clip && limit > 0) {
        for (const auto& entry : o.clip->objects) {
            most = std::max(most, 1 + Height(entry.second, limit - 1));
        }
    }
    return most;
}

} // namespace

bool Stage::Move(uint32_t id, uint32_t parent, int scriptDepth) {
    DisplayObject* o = Find(id);
    const int depth = TimelineDepth(scriptDepth);
    Clip* to = ClipOf(parent);
    Clip* from = o != nullptr ? ClipOf(o->parentId) : nullptr;
    if (from == nullptr || to == nullptr || depth < 0 || id == kRootId || id == kShelfId) {
        return false;
    }
    StageOps ops(*this);
    int above = 0; // the new parent's nesting, refusing a parent inside the object
    for (DisplayObject* p = Find(parent); p != nullptr && above <= kMaxNesting;
         p = Find(p->parentId), ++above) {
        if (p->id == id) {
            return false;
        }
    }
    if (above + Height(*o, kMaxNesting) > kMaxNesting) {
        return false;
    }
    if (o->parentId == parent && o->depth == depth) {
        return true;
    }
    auto there = to->objects.find(uint16_t(depth));
    if (there == to->objects.end() && to->objects.size() >= kMaxObjectsPerList) {
        return false;
    }
    if (there != to->objects.end()) {
        for (DisplayObject* p = o; p != nullptr; p = Find(p->parentId)) {
            if (p == &there->second) {
                return false; // what it would replace holds it
            }
        }
        ops.Discard(there->second);
        to->objects.erase(there);
    }
    // The map's node moves whole, so every pointer to the object stays good.
    auto node = from->objects.extract(o->depth);
    node.key() = uint16_t(depth);
    node.mapped().parentId = parent;
    node.mapped().depth = uint16_t(depth);
    to->objects.insert(std::move(node));
    from->namesStale = to->namesStale = true;
    changed_ = true;
    return true;
}

void Stage::Renamed(uint32_t id) {
    DisplayObject* o = Find(id);
    if (Clip* clip = o != nullptr ? ClipOf(o->parentId) : nullptr) {
        clip->namesStale = true;
    }
}

} // namespace timeline
