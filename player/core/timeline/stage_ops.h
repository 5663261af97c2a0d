// Inside the stage: the operations frames and scripts share (placing, discarding,
// running a frame), with the per-call budget that bounds how many objects one call makes.
#pragma once

#include <set>
#include <utility>

#include "player/core/timeline/display_list.h"

namespace timeline {

// Events waiting for the interpreter, at most.
const size_t kMaxEvents = 65536;

struct StageOps {
    Stage& s;
    size_t budget;

    explicit StageOps(Stage& stage);
    bool Spend();
    const Dictionary& Dict() const { return s.movie_->dictionary; }
    void Event(StageEvent::Kind kind, uint32_t id, const uint8_t* data = nullptr, size_t size = 0) {
        if (s.events_.size() >= kMaxEvents) {
            return; // a script looping through gotos; what it queued beyond this is lost
        }
        StageEvent e;
        e.kind = kind;
        e.id = id;
        e.data = data;
        e.size = size;
        s.events_.push_back(e);
    }
    // Puts a new object for `ch` at `depth` of `clip` (replacing what is there) and
    // instantiates it; null when a limit refuses it.
    DisplayObject* PlaceNew(Clip* clip, uint16_t depth, const Character* ch, int nesting,
                            bool byScript, bool named);
    // The object and all it holds leave the stage (events, ids); the caller erases it.
    void Discard(DisplayObject& o);
    void DiscardChildren(Clip& clip);
    void Instantiate(DisplayObject* o, int nesting);
    void BuildButton(const swf::Button& button, const swf::ColorTransform& cx, Clip* clip,
                     int nesting);
    void Apply(const FrameCommand& c, Clip* clip, int nesting);
    // `passed`: placements of this frame (frame, index) a goto passes over.
    void RunFrame(Clip* clip, uint32_t frame, int nesting, bool queueActions,
                  const std::set<std::pair<uint32_t, size_t>>* passed = nullptr);
    void QueueInit(Clip* clip, uint32_t frame);
    void Rewind(Clip* clip, uint32_t target, int nesting, bool queueActions);
    void AdvanceClip(Clip* clip, int nesting);
    bool GoTo(Clip* clip, uint32_t frame, int nesting);
    int Nesting(uint32_t id);
};

} // namespace timeline
