// The door between ActionScript 3 and the movie's sounds (flash.media): library sounds bound
// to classes, the channels they play on, the mix of the whole movie. The engine's facade
// implements it over its mixer; without one, sounds play nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace avm2 {

class Vm;

// How a sound reaches the speakers, as SoundTransform holds it: left out = leftToLeft *
// left in + rightToLeft * right in, right out = leftToRight * left in + rightToRight *
// right in, all times volume.
// SoundMixer.computeSpectrum looks at this many of the latest frames mixed.
const int kSpectrumSamples = 512;

struct SoundMix {
    double volume = 1;
    double leftToLeft = 1, leftToRight = 0, rightToLeft = 0, rightToRight = 1;
};

class SoundPort {
  public:
    virtual ~SoundPort() = default;
    // The library sound bound to a class ("pkg.Name"); 0 when none is.
    virtual uint32_t SoundOfClass(const std::string& className) = 0;
    virtual bool IsSound(uint32_t character) = 0;
    virtual double SoundLengthMs(uint32_t sound) = 0;
    virtual uint32_t SoundBytes(uint32_t sound) = 0;
    // A channel playing `sound` from `startMs`, `plays` times over; 0 when none is free.
    virtual uint32_t PlaySound(uint32_t sound, double startMs, int plays, const SoundMix& mix) = 0;
    // Up to `frames` frames of `sound` from frame `from` on, as it plays at 44.1 kHz, into
    // `out` (left and right in turn, -1..1); how many there were.
    virtual size_t ExtractSound(uint32_t sound, uint64_t from, size_t frames, float* out) = 0;
    virtual void StopChannel(uint32_t channel) = 0;
    virtual bool ChannelPlaying(uint32_t channel) = 0;
    virtual double ChannelPlayedMs(uint32_t channel) = 0; // loops included
    virtual void SetChannelMix(uint32_t channel, const SoundMix& mix) = 0;
    // The loudest sample each speaker had lately, in parts of full scale.
    virtual void ChannelPeaks(uint32_t channel, double* left, double* right) = 0;
    virtual void StopEverySound() = 0;
    // The last kSpectrumSamples frames mixed for the speakers, oldest first, in -1..1.
    virtual void RecentOutput(float* left, float* right) = 0;
    virtual SoundMix MovieMix() = 0;
    virtual void SetMovieMix(const SoundMix& mix) = 0;
};

// flash.media: Sound, SoundChannel, SoundTransform, SoundMixer, SoundLoaderContext, ID3Info.
void InstallMedia(Vm& vm);
// Whether a character of the movie is a sound (a class bound to one is not the main
// timeline's).
bool IsLibrarySound(Vm& vm, uint32_t character);
// Channels that played to their end: each still known to scripts hears soundComplete.
// Channels stopped some other way (a timeline's stop, stopAll) are forgotten quietly.
void SoundsEnded(Vm& vm, const std::vector<uint32_t>& channels);

} // namespace avm2
