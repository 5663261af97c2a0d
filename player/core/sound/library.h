// The movie's sounds, read once at load: event sounds by id and export name, and for the
// main timeline and each sprite the sounds its frames start and the stream it carries,
// frame by frame; the sounds of buttons. Everything points into the movie's bytes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "player/core/swf/movie_reader.h"
#include "player/core/swf/sound_tags.h"

namespace sound {

struct EventSound {
    swf::SoundDefinition def;
    int16_t seek = 0; // MP3: decoded samples to skip at the start (the encoder's delay)
    const uint8_t* data = nullptr; // the coded samples, after any seek field
    uint32_t size = 0;
    std::string exportName;
    std::string className; // the ActionScript 3 class bound to it (SymbolClass), "pkg.Name"
};

struct StreamBlock {
    const uint8_t* data = nullptr; // coded samples (MP3: after sample count and seek)
    uint32_t size = 0;
    int16_t seek = 0; // MP3: samples to skip into the block's first frame
};

struct Stream {
    swf::StreamHead head;
    std::map<uint32_t, StreamBlock> blocks; // by frame, 0-based: only frames that hold one
    const StreamBlock* At(uint32_t frame) const {
        auto it = blocks.find(frame);
        return it == blocks.end() ? nullptr : &it->second;
    }
};

struct TimelineSounds {
    // By frame, 0-based; entries only for frames with sounds, so memory follows the tags.
    std::map<uint32_t, std::vector<swf::StartSound>> starts;
    bool hasStream = false;
    Stream stream;
};

class Library {
  public:
    void Load(const swf::Movie& movie);
    bool Empty() const { return sounds_.empty() && timelines_.empty(); }
    const EventSound* Find(uint16_t id) const;
    const EventSound* Exported(const std::string& name) const;     // exact, then ignoring case
    const EventSound* OfClass(const std::string& className) const; // exact only
    // The main timeline is sprite 0.
    const TimelineSounds* Timeline(uint16_t spriteId) const;
    bool SpritesHaveSounds() const { return timelines_.size() > (timelines_.count(0) ? 1 : 0); }
    const swf::ButtonSounds* Button(uint16_t id) const;
    uint32_t Skipped() const { return skipped_; }

  private:
    void ReadTimeline(swf::TagIterator tags, uint16_t spriteId, bool main);

    std::map<uint16_t, EventSound> sounds_;
    std::map<uint16_t, TimelineSounds> timelines_; // only those with sounds
    std::map<uint16_t, swf::ButtonSounds> buttons_;
    uint32_t skipped_ = 0;
};

} // namespace sound
