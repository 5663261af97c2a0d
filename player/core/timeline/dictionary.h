// The movie's characters by id, read once at load, and each timeline's frames as the
// commands that change its display list. Script bytes (DoAction, DoInitAction, clip and
// button actions) are kept per frame and per placed object for an interpreter to run.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "player/core/swf/bitmaps.h"
#include "player/core/swf/characters.h"
#include "player/core/swf/display_tags.h"
#include "player/core/swf/movie_reader.h"
#include "player/core/video/playback.h"

namespace timeline {

// Frames beyond this in one timeline are ignored; a timeline's commands are bounded by the
// movie's size anyway.
const uint32_t kMaxFrames = 65535;

struct FrameCommand {
    bool remove = false;
    uint16_t depth = 0;     // for a removal
    swf::PlaceObject place; // otherwise
};

struct Frame {
    std::vector<FrameCommand> commands;
    std::vector<swf::ActionBytes> actions; // DoAction, in order
    std::string label;
};

struct InitAction {
    uint16_t spriteId = 0;
    uint32_t frame = 0; // of the main timeline, 0-based
    swf::ActionBytes actions;
};

struct Timeline {
    uint32_t frameCount = 0;
    std::vector<Frame> frames; // the frames with content; those after them are empty
};

enum class Kind : uint8_t { Shape, Morph, Bitmap, Font, Text, EditText, Button, Sprite, Video };

struct Character {
    Kind kind = Kind::Shape;
    uint16_t id = 0;
    std::shared_ptr<const swf::Shape> shape;
    std::shared_ptr<const swf::MorphShape> morph;
    std::shared_ptr<const swf::Bitmap> bitmap; // its size; decoded when drawn
    std::shared_ptr<const swf::BitmapSource> bitmapSource;
    std::shared_ptr<const swf::Font> font;
    std::shared_ptr<const swf::StaticText> text;
    std::shared_ptr<const swf::EditText> editText;
    std::shared_ptr<const swf::Button> button;
    std::shared_ptr<const Timeline> sprite;
    swf::ColorTransform buttonCxform; // DefineButtonCxform
    std::string exportName;           // ExportAssets: what attachMovie calls it
    // A video stream; its frames are added as their tags come.
    std::shared_ptr<video::Stream> video;
    bool smooth = false; // a bitmap a script attached with smoothing
};

class Dictionary {
  public:
    const Character* Find(uint16_t id) const;
    const swf::Font* FindFont(uint16_t id) const;
    const swf::Bitmap* FindBitmap(uint16_t id) const;
    void Add(Character c) { characters_[c.id] = std::move(c); }
    Character* Mutable(uint16_t id);
    size_t Size() const { return characters_.size(); }
    // By export name: exact first, then ignoring case.
    const Character* Exported(const std::string& name) const;
    void Export(uint16_t id, const std::string& name);

  private:
    std::map<uint16_t, Character> characters_;
    std::map<std::string, uint16_t> exports_;
};

// Edges of shapes, morph shapes and glyph outlines the whole movie may hold (some 32 bytes
// each); definitions past it are left out, as damaged ones are.
const size_t kMaxMovieEdges = size_t(1) << 22;

struct LoadedMovie {
    Dictionary dictionary;
    Timeline main;
    std::vector<InitAction> initActions;
    uint32_t skippedDefinitions = 0; // damaged ones, left out
    uint32_t overBudget = 0;         // definitions left out for the movie's edge budget
    size_t edges = 0;                // counted against kMaxMovieEdges
    bool boundText = false;          // some edit text shows a script variable
    int version = 0;                 // the movie's SWF version
    // Fonts by name (lower case), for text that names its face: the first defined wins.
    std::unordered_map<std::string, uint16_t> fontsByName;
    const swf::Font* FontNamed(const std::string& name, bool bold, bool italic) const;
    bool useNetwork = false; // FileAttributes: a local movie that may use the network
    // What the movie's placed videos may decode at once.
    std::shared_ptr<video::Budget> videoMemory = std::make_shared<video::Budget>();
};

// Reads every definition and the main timeline from the movie's tag stream. A damaged
// definition or control tag is skipped; the rest loads.
void LoadMovie(const swf::Movie& movie, LoadedMovie* out);

} // namespace timeline
