// What is on stage: each timeline instance (the main movie, every placed sprite, every
// button) holds its objects by depth and moves through its frames, looping at the end.
// Scripts are not run here: the stage records what an interpreter must do (frame actions,
// objects placed and removed) as events, and offers the operations scripts ask for.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "player/core/timeline/dictionary.h"
#include "player/core/timeline/drawing.h"
#include "player/core/timeline/text_field.h"

namespace timeline {

// Sprites inside sprites deeper than this are not instantiated.
const int kMaxNesting = 64;
// Objects on one display list, and on the whole stage, beyond these are not placed.
const size_t kMaxObjectsPerList = 16384;
const size_t kMaxObjects = 16384;
// Scripts count depths from here down: timeline depth = script depth + kScriptDepthBase.
const int kScriptDepthBase = 16384;
// What the main timeline is known by.
const uint32_t kRootId = 1;
// What holds the objects ActionScript 3 keeps off every display list (made by `new`, or
// removed): they play on and keep their shape, but are not drawn.
const uint32_t kShelfId = UINT32_MAX;

struct Clip;

struct DisplayObject {
    uint32_t id = 0;       // never reused while the stage lives
    uint32_t parentId = 0; // the clip whose list holds it
    uint16_t depth = 0;
    const Character* character = nullptr;
    swf::Matrix matrix;
    swf::ColorTransform cxform;
    uint16_t ratio = 0;
    uint32_t placedFrame = 0; // the frame of its parent's timeline that placed it
    uint16_t clipDepth = 0;   // a mask over depths up to this one, when not 0
    std::string name;
    swf::BlendMode blend = swf::BlendMode::Normal;
    std::vector<swf::Filter> filters;
    const uint8_t* clipActions = nullptr; // CLIPACTIONS bytes, for the interpreter
    uint32_t clipActionsSize = 0;
    std::unique_ptr<Clip> clip; // sprites and buttons: their own display list
    // A video: decodes the frame its ratio names.
    std::shared_ptr<video::Playback> video;
    bool visible = true;
    bool scripted = false; // a script moved it: the timeline no longer does
    bool dynamic = false;  // made by a script
    // Scale and rotation as scripts set them, kept apart so one can change without
    // rounding the others; valid while `decomposed`.
    bool decomposed = false;
    double xScale = 100, yScale = 100, rotation = 0;
    double skew = 0;       // the y axis's angle beyond the x axis's (a flip is 180), degrees
    uint32_t maskedBy = 0; // a script mask (setMask) over this object
    bool isMask = false;   // masks another object, so is not drawn itself
    std::unique_ptr<TextFieldState> field; // edit text: its text, formats and settings
    // scale9Grid, in twips of the clip's own space, when a script set one.
    bool hasScale9 = false;
    swf::Rect scale9;
};

struct Clip {
    uint32_t owner = 0;                 // the id of the object whose list this is
    const Timeline* timeline = nullptr; // none for a button
    uint32_t frame = 0;                 // 0-based, the frame shown
    bool playing = true;
    // Made by an ActionScript 3 `new` this frame: the next advance leaves its playhead
    // where it is (such clips lag a frame behind those the timeline placed).
    bool skipAdvance = false;
    std::map<uint16_t, DisplayObject> objects;
    std::unique_ptr<Drawing> drawing; // what scripts drew, under the objects
    // Instance names (lower case) to depths, rebuilt when `namesStale`.
    std::unordered_map<std::string, uint16_t> names;
    bool namesStale = true;
    // Flash hands a clip's static text to its copy: scripts read none from it after that.
    bool staticTextGiven = false;
};

// What an interpreter has to do, in the order it should: run a clip's frame actions or a
// sprite's init actions, greet a placed object (load), bid a removed one goodbye (unload).
struct StageEvent {
    enum Kind : uint8_t { Actions, InitActions, Placed, Removed } kind = Actions;
    uint32_t id = 0;
    const uint8_t* data = nullptr; // actions; for Removed, its CLIPACTIONS bytes
    size_t size = 0;
    bool byScript = false; // Placed: made by a script, which set it up itself
};

class Stage {
  public:
    void Reset(const LoadedMovie* movie);
    // Runs the main timeline's first frame.
    void Start();
    // ActionScript 3 builds a button's states itself: its list starts empty.
    void SetScriptedButtons(bool scripted) { scriptedButtons_ = scripted; }
    // One frame on for every playing timeline; false when nothing on stage changed.
    bool Advance();
    // The main timeline jumps to `frame` (0-based), rebuilding its list.
    void GoTo(uint32_t frame);
    const Clip& Root() const { return *root_.clip; }
    uint32_t Frame() const { return root_.clip ? root_.clip->frame : 0; } // 0 before Reset

    // ---- for scripts (ids as handed out in events) ----
    DisplayObject* Find(uint32_t id);
    const DisplayObject* Find(uint32_t id) const {
        auto it = byId_.find(id);
        return it == byId_.end() ? nullptr : it->second;
    }
    Clip* ClipOf(uint32_t id); // the object's own list, if it has one
    DisplayObject* Child(uint32_t parent, const std::string& name, bool caseSensitive);
    // Any clip to `frame` (0-based, clamped); the frame's actions are queued. False when
    // the clip was there already or has no such frame.
    bool GoTo(uint32_t clip, uint32_t frame);
    bool GoToLabel(uint32_t clip, const std::string& label);
    // Script-made objects at script depths; an object already there is replaced. 0 when
    // not made.
    uint32_t Duplicate(uint32_t id, const std::string& name, int scriptDepth);
    uint32_t Place(uint32_t parent, const Character* character, const std::string& name,
                   int scriptDepth);
    uint32_t CreateEmpty(uint32_t parent, const std::string& name, int scriptDepth);
    uint32_t CreateText(uint32_t parent, const std::string& name, int scriptDepth,
                        const swf::Rect& bounds);
    // Only what scripts placed, unless `placedToo` (ActionScript 3 removes either).
    bool Remove(uint32_t id, bool placedToo = false);
    bool SwapDepths(uint32_t id, int scriptDepth);
    int NextHighestDepth(uint32_t clip); // script depth
    // The lowest script depth free in a clip (the shelf's objects come and go in any order).
    int FreeDepth(uint32_t clip);
    // Moves an object with all it holds to a script depth of another clip (what is there is
    // replaced). False when it cannot: no such object or clip, the root, a clip inside the
    // object itself, or nesting beyond kMaxNesting.
    bool Move(uint32_t id, uint32_t parent, int scriptDepth);
    // After a script renamed an object.
    void Renamed(uint32_t id);
    // The events recorded since the last call, in order.
    std::vector<StageEvent> TakeEvents();
    bool HasEvents() const { return !events_.empty(); }
    // True (once) when a script operation changed the picture.
    bool TakeChanged();

  private:
    friend struct StageOps;
    const LoadedMovie* movie_ = nullptr;
    DisplayObject root_;
    DisplayObject shelf_;
    std::unordered_map<uint32_t, DisplayObject*> byId_;
    uint32_t nextId_ = kRootId + 1;
    uint32_t instances_ = 0; // unnamed objects the timeline placed
    std::vector<StageEvent> events_;
    std::vector<bool> initDone_;                   // per entry of the movie's init actions
    std::vector<std::unique_ptr<Character>> made_; // text fields scripts made
    std::unique_ptr<Character> emptySprite_;
    bool changed_ = false;
    bool scriptedButtons_ = false;
};

} // namespace timeline
