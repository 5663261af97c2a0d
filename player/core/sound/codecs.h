// Sound data into 16-bit samples, a piece at a time, so a playing sound holds only the
// piece it is playing: PCM (8 and 16 bits), ADPCM (2 to 5 bits), MP3 through a decoder the
// host supplies, Nellymoser as silence of its length. A damaged piece ends the data or
// plays as silence; nothing reads past the bytes given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "player/core/swf/sound_tags.h"

namespace sound {

// One whole MPEG audio frame in, interleaved samples out (at most `capacity`); the count
// written, 0 when the frame could not be decoded.
using FrameDecoder =
    std::function<size_t(const uint8_t* frame, size_t size, int16_t* out, size_t capacity)>;
// Makes a decoder for a stream of frames at this rate and channel count; none when the
// host cannot decode MP3.
using Mp3Factory = std::function<FrameDecoder(int rate, int channels)>;

// An MPEG audio frame header, as far as finding and timing frames needs it.
struct Mp3Frame {
    int rate = 0;
    int channels = 0;
    int samples = 0; // per channel: 1152 (MPEG 1) or 576 (MPEG 2 and 2.5)
    size_t size = 0; // bytes, header included
};
// Layer III headers only; false for anything else (free format included).
bool ReadMp3Header(const uint8_t* p, size_t available, Mp3Frame* frame);

// What the codecs tell the host once: a kind of sound that cannot sound here.
enum class Silenced : uint8_t { None, Mp3NoDecoder, Nellymoser, Speex };

class Decoder {
  public:
    // `format` is the sound's declared one; pieces come out in its channel count.
    Decoder(const swf::SoundFormat& format, const Mp3Factory* mp3);

    // New input: a whole event sound's data, or the next stream block's. Codec state that
    // spans blocks (the MP3 decoder's) is kept.
    void Feed(const uint8_t* data, size_t size);
    // Forgets codec state, for a sound that starts over.
    void Reset();
    // The next piece of the input, interleaved; false when the input is used up.
    bool Next(std::vector<int16_t>* out);
    // Samples per second of the pieces (an MP3 frame's own rate once one was read).
    uint32_t Rate() const { return rate_; }
    int Channels() const { return format_.channels; }
    Silenced TakeSilenced();

  private:
    bool NextPcm(std::vector<int16_t>* out);
    bool NextAdpcm(std::vector<int16_t>* out);
    bool NextMp3(std::vector<int16_t>* out);
    bool NextNelly(std::vector<int16_t>* out);
    uint32_t Bits(unsigned n); // MSB first from data_; 0 past the end

    swf::SoundFormat format_;
    const Mp3Factory* mp3_;
    uint32_t rate_;
    const uint8_t* data_ = nullptr;
    size_t size_ = 0, pos_ = 0;
    size_t bitPos_ = 0;      // ADPCM
    unsigned adpcmBits_ = 0; // 0 until the block's code size was read
    FrameDecoder mp3Decoder_;
    int mp3Channels_ = 0, mp3Rate_ = 0;
    bool mp3Tried_ = false;
    std::vector<int16_t> scratch_;
    Silenced silenced_ = Silenced::None;
};

} // namespace sound
