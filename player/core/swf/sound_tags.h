// The sound tags as plain data: event sound definitions, what starts and stops them, the
// stream sound of a timeline and its blocks, button sounds. The sample data stays in the
// movie's bytes; these records point into it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "player/core/swf/movie_reader.h"

namespace swf {

const uint16_t kTagDefineSound = 14;
const uint16_t kTagStartSound = 15;
const uint16_t kTagDefineButtonSound = 17;
const uint16_t kTagSoundStreamHead = 18;
const uint16_t kTagSoundStreamBlock = 19;
const uint16_t kTagSoundStreamHead2 = 45;
const uint16_t kTagStartSound2 = 89;

// The coding of a sound, as its format byte and header state it.
enum class SoundCoding : uint8_t {
    PcmNative = 0, // as the machine that wrote it; every writer was little-endian
    Adpcm = 1,
    Mp3 = 2,
    PcmLittle = 3,
    Nellymoser16k = 4,
    Nellymoser8k = 5,
    Nellymoser = 6,
    Speex = 11,
};

struct SoundFormat {
    SoundCoding coding = SoundCoding::PcmLittle;
    uint32_t rate = 5512; // samples per second per channel
    uint8_t bits = 16;    // 8 or 16, for PCM
    uint8_t channels = 1; // 1 or 2
};

struct SoundDefinition {
    uint16_t id = 0;
    SoundFormat format;
    uint32_t sampleCount = 0; // per channel
    const uint8_t* data = nullptr;
    uint32_t size = 0;
};

// Envelope levels run 0..32768; positions and in/out points count 44 kHz samples.
const size_t kMaxEnvelopePoints = 255;
struct EnvelopePoint {
    uint32_t position = 0;
    uint16_t left = 32768, right = 32768;
};

struct SoundInfo {
    bool stop = false;       // stop every instance of the sound instead of starting one
    bool noMultiple = false; // start only when no instance plays
    bool hasIn = false, hasOut = false;
    uint32_t in = 0, out = 0;
    uint16_t loops = 1; // plays this many times; 0 counts as once
    std::vector<EnvelopePoint> envelope;
};

struct StartSound {
    uint16_t id = 0;       // StartSound
    std::string className; // StartSound2
    SoundInfo info;
};

struct StreamHead {
    SoundFormat format;
    uint16_t samplesPerFrame = 0; // average, per channel
    int16_t latencySeek = 0;      // MP3 only
};

// The four transitions a button plays a sound on.
enum ButtonTransition { kOverToUp = 0, kUpToOver = 1, kOverToDown = 2, kDownToOver = 3 };
struct ButtonSounds {
    uint16_t buttonId = 0;
    uint16_t soundIds[4] = {0, 0, 0, 0}; // 0: no sound
    SoundInfo info[4];
};

// Each false for a damaged record or a format this player does not know; the caller skips
// the tag.
bool ReadSoundFormat(uint8_t byte, SoundFormat* format);
bool ReadSoundInfo(ByteReader* r, SoundInfo* info);
bool ReadDefineSound(const Tag& tag, SoundDefinition* out);
bool ReadStartSound(const Tag& tag, StartSound* out); // StartSound and StartSound2
bool ReadStreamHead(const Tag& tag, StreamHead* out); // SoundStreamHead and ...Head2
bool ReadButtonSounds(const Tag& tag, ButtonSounds* out);

} // namespace swf
