// The door between scripts and the movie's sounds (the Sound object, stopAllSounds). The
// engine's facade implements it over its mixer; without one, sound calls do nothing.
// Owners are clip ids, 0 for the movie as a whole.
#pragma once

#include <cstdint>
#include <string>

#include "player/core/avm1/display_bridge.h"

namespace avm1 {

// Percentages as Sound.setTransform takes them: left out = ll% of left in + lr% of right.
struct SoundTransform {
    double ll = 100, lr = 0, rl = 0, rr = 100;
};

class SoundBridge {
  public:
    virtual ~SoundBridge() = default;
    // A sound's id by its export name; 0 when the movie exports none by that name.
    virtual uint32_t FindSound(const std::string& exportName) = 0;
    virtual double DurationMs(uint32_t sound) = 0;
    // A playing instance's handle, 0 when not started.
    virtual uint32_t StartSound(ClipId owner, uint32_t sound, double offsetSeconds, int loops) = 0;
    // `sound` 0: every sound of the owner (of the whole movie for owner 0).
    virtual void StopSounds(ClipId owner, uint32_t sound) = 0;
    virtual bool SoundPlaying(uint32_t handle) = 0;
    virtual double PositionMs(uint32_t handle) = 0;
    virtual double GetVolume(ClipId owner) = 0;
    virtual void SetVolume(ClipId owner, double percent) = 0;
    virtual SoundTransform GetSoundTransform(ClipId owner) = 0;
    virtual void SetSoundTransform(ClipId owner, const SoundTransform& t) = 0;
};

} // namespace avm1
