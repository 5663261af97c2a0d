// The engine's side of sound: the movie's sounds and the mixer, started and stopped as
// timelines enter frames, a main-timeline stream setting the timeline's pace, and the doors
// of scripts: the Sound object's (avm1::SoundBridge) and flash.media's (avm2::SoundPort).
// Internal to the engine.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "player/core/avm1/sound_bridge.h"
#include "player/core/avm2/media.h"
#include "player/core/sound/library.h"
#include "player/core/sound/mixer.h"
#include "player/core/timeline/display_list.h"

namespace engine {

class SoundHost : public avm1::SoundBridge, public avm2::SoundPort {
  public:
    SoundHost(const swf::Movie& movie, double framesPerSecond);
    bool Empty() const { return library_.Empty(); }
    void SetMp3(sound::Mp3Factory factory) {
        mp3_ = factory;
        mixer_.SetMp3(std::move(factory));
    }
    void SetNotice(std::function<void(const char*)> notice);

    // After the stage moved on: the sounds of the frames timelines entered start, streams
    // follow their timelines (a jump or a stop ends one; a stream starts where its timeline
    // is), and the streams of clips gone stop.
    void Sync(const timeline::Stage& stage);
    // With a stream playing on the main timeline while the host pulls sound: the frames the
    // timeline must move on to be where the sound is (0 while it is ahead). -1 otherwise:
    // the frame clock decides.
    int StepsDue(uint32_t rootFrame);
    // A button's transition (swf::ButtonTransition) plays its sound, if it has one.
    void ButtonTransition(uint16_t buttonId, int transition, uint32_t owner);

    void Mix(int16_t* out, size_t frames);
    std::vector<uint32_t> TakeFinished() { return mixer_.TakeFinished(); }
    size_t Voices() const { return mixer_.Voices(); }

    // ---- avm1::SoundBridge ----
    uint32_t FindSound(const std::string& exportName) override;
    double DurationMs(uint32_t sound) override;
    uint32_t StartSound(avm1::ClipId owner, uint32_t sound, double offsetSeconds,
                        int loops) override;
    void StopSounds(avm1::ClipId owner, uint32_t sound) override;
    bool SoundPlaying(uint32_t handle) override { return mixer_.Playing(handle); }
    double PositionMs(uint32_t handle) override;
    double GetVolume(avm1::ClipId owner) override;
    void SetVolume(avm1::ClipId owner, double percent) override;
    avm1::SoundTransform GetSoundTransform(avm1::ClipId owner) override;
    void SetSoundTransform(avm1::ClipId owner, const avm1::SoundTransform& t) override;

    // ---- avm2::SoundPort ----
    uint32_t SoundOfClass(const std::string& className) override;
    bool IsSound(uint32_t character) override {
        return character <= 0xFFFF && library_.Find(uint16_t(character)) != nullptr;
    }
    double SoundLengthMs(uint32_t sound) override { return DurationMs(sound); }
    uint32_t SoundBytes(uint32_t sound) override;
    uint32_t PlaySound(uint32_t sound, double startMs, int plays,
                       const avm2::SoundMix& mix) override;
    size_t ExtractSound(uint32_t sound, uint64_t from, size_t frames, float* out) override;
    void StopChannel(uint32_t channel) override { mixer_.Stop(channel); }
    bool ChannelPlaying(uint32_t channel) override { return mixer_.Playing(channel); }
    double ChannelPlayedMs(uint32_t channel) override { return PositionMs(channel); }
    void SetChannelMix(uint32_t channel, const avm2::SoundMix& mix) override;
    void ChannelPeaks(uint32_t channel, double* left, double* right) override;
    void StopEverySound() override { StopSounds(0, 0); }
    void RecentOutput(float* left, float* right) override;
    avm2::SoundMix MovieMix() override;
    void SetMovieMix(const avm2::SoundMix& mix) override;

  private:
    struct Seen {
        uint32_t frame = 0;
        uint32_t stream = 0; // the mixer's handle of the clip's stream
        uint32_t generation = 0;
    };
    void Visit(uint32_t id, const timeline::Clip& clip, uint16_t sprite);
    void VisitChildren(const timeline::Clip& clip, int depth);

    sound::Library library_;
    sound::Mixer mixer_;
    sound::Mp3Factory mp3_;
    // What Sound.extract last read, kept so that reading on decodes only what follows.
    struct Extraction {
        uint32_t sound = 0;
        uint64_t next = 0;
        std::unique_ptr<sound::Mixer> mixer;
    } extraction_;
    double framesPerSecond_;
    std::unordered_map<uint32_t, Seen> seen_; // clips with sounds, by object id
    uint32_t generation_ = 0;
    // The latest frames mixed, a ring of interleaved pairs starting at recentAt_.
    std::vector<int16_t> recent_ = std::vector<int16_t>(2 * avm2::kSpectrumSamples, 0);
    size_t recentAt_ = 0;
    uint32_t ticksSinceMix_ = 1000;
};

} // namespace engine
