// What is on stage: each timeline instance (the main movie, every placed sprite, every
// button) holds its objects by depth and moves through its frames, looping at the end.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "player/core/timeline/dictionary.h"
#include "player/core/timeline/drawing.h"

namespace timeline {

// Sprites inside sprites deeper than this are not instantiated.
const int kMaxNesting = 64;
// Objects on one display list, and on the whole stage, beyond these are not placed.
const size_t kMaxObjectsPerList = 16384;
const size_t kMaxObjects = 16384;

struct Clip;

struct DisplayObject {
    uint16_t depth = 0;
    const Character* character = nullptr;
    swf::Matrix matrix;
    swf::ColorTransform cxform;
    uint16_t ratio = 0;
    uint16_t clipDepth = 0; // a mask over depths up to this one, when not 0
    std::string name;
    swf::BlendMode blend = swf::BlendMode::Normal;
    std::vector<swf::Filter> filters;
    const uint8_t* clipActions = nullptr; // CLIPACTIONS bytes, for the interpreter
    uint32_t clipActionsSize = 0;
    std::unique_ptr<Clip> clip; // sprites and buttons: their own display list
    std::string text;           // edit text: what the field shows now (UTF-8)
    // Edit text's frame, which scripts may change: a hairline border and a background
    // fill, each drawn when set, in these colours (0xRRGGBB).
    bool border = false, background = false;
    uint32_t borderColor = 0x000000, backgroundColor = 0xFFFFFF;
};

struct Clip {
    const Timeline* timeline = nullptr; // none for a button
    uint32_t frame = 0;                 // 0-based, the frame shown
    std::map<uint16_t, DisplayObject> objects;
    std::unique_ptr<Drawing> drawing; // what scripts drew, under the objects
};

class Stage {
  public:
    void Reset(const LoadedMovie* movie);
    // Runs the main timeline's first frame.
    void Start();
    // One frame on for every timeline; false when nothing on stage changed.
    bool Advance();
    // The main timeline jumps to `frame` (0-based), rebuilding its list.
    void GoTo(uint32_t frame);
    const Clip& Root() const { return root_; }
    uint32_t Frame() const { return root_.frame; }

  private:
    const LoadedMovie* movie_ = nullptr;
    Clip root_;
};

} // namespace timeline
