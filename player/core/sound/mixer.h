// Playing sounds mixed to 44,100 Hz 16-bit stereo: each voice decodes its sound a piece at
// a time, resamples it, applies its envelope, and the transforms of its owner (a clip or a
// script's Sound) and of the whole movie. The host pulls samples; nothing here keeps time
// of its own, so the renderer and tests drive it sample-exactly.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "player/core/sound/codecs.h"
#include "player/core/sound/library.h"

namespace sound {

const int kOutputRate = 44100;
// Flash mixed at most this many sounds at once; later ones are not started.
const size_t kMaxVoices = 32;
// Decoded samples held by all voices together (pieces and decoder scratch).
const size_t kMaxDecodedBytes = 4u << 20;

// How a sound's two input channels reach the speakers, in parts of 1, and its volume:
// left out = ll * left in + lr * right in, right out = rl * left in + rr * right in.
struct Transform {
    double volume = 1;
    double ll = 1, lr = 0, rl = 0, rr = 1;
};
// `inner` first, then `outer`: a voice's own transform under its owner's, under the movie's.
Transform Then(const Transform& inner, const Transform& outer);

class Mixer {
  public:
    using Notice = std::function<void(Silenced)>;
    Mixer();
    ~Mixer();
    void SetMp3(Mp3Factory factory) { mp3_ = std::move(factory); }
    void SetNotice(Notice notice) { notice_ = std::move(notice); }

    // Starts an event sound for `owner` (0: the movie); `offset44` skips that much of each
    // loop's start. 0 when refused (no-multiple with one playing, no voice, no budget).
    uint32_t Start(const EventSound* sound, const swf::SoundInfo& info, uint32_t owner,
                   uint32_t offset44 = 0);
    // A stream from `frame` on; its blocks are fetched frame after frame as it plays.
    uint32_t StartStream(const Stream* stream, uint32_t frame, uint32_t owner);
    void Stop(uint32_t handle);
    void StopSound(const EventSound* sound); // every instance
    void StopOwner(uint32_t owner);          // every sound a clip or Sound started
    void StopAll();

    bool Playing(uint32_t handle) const;
    bool Playing(const EventSound* sound) const;
    size_t Voices() const { return voices_.size(); }
    // Output frames a voice has played; a stream's first frame too.
    uint64_t Played(uint32_t handle) const;
    bool StreamPosition(uint32_t handle, uint32_t* startFrame, uint64_t* played) const;
    // Handles of sounds that ended by themselves since the last call.
    std::vector<uint32_t> TakeFinished();

    Transform& TransformOf(uint32_t owner) { return transforms_[owner]; }
    // A voice's own transform, applied before its owner's (a script's sound channel).
    bool SetVoiceTransform(uint32_t handle, const Transform& t);
    // The loudest sample each speaker had from a voice in the last Mix, in parts of full
    // scale; false when it does not play.
    bool Peaks(uint32_t handle, double* left, double* right) const;
    void Forget(uint32_t owner) { transforms_.erase(owner); }

    // Writes `frames` stereo frames (interleaved), silence where nothing plays.
    void Mix(int16_t* out, size_t frames);
    size_t BytesHeld() const;

  private:
    struct Voice;
    bool Admit();
    uint32_t Add(std::unique_ptr<Voice> voice);

    Mp3Factory mp3_;
    Notice notice_;
    std::vector<std::unique_ptr<Voice>> voices_;
    std::map<uint32_t, Transform> transforms_;
    std::vector<uint32_t> finished_;
    std::vector<int32_t> accum_;
    uint32_t nextHandle_ = 1;
    bool told_[4] = {false, false, false, false};
};

} // namespace sound
