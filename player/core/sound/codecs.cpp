#include "player/core/sound/codecs.h"

#include <algorithm>

namespace sound {

namespace {

// The IMA ADPCM step sizes, which SWF's ADPCM shares.
const int16_t kSteps[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

// How the step index moves for each magnitude, per code size (2 to 5 bits).
const int8_t kIndex2[2] = {-1, 2};
const int8_t kIndex3[4] = {-1, -1, 2, 4};
const int8_t kIndex4[8] = {-1, -1, -1, -1, 2, 4, 6, 8};
const int8_t kIndex5[16] = {-1, -1, -1, -1, -1, -1, -1, -1, 1, 2, 4, 6, 8, 10, 13, 16};
const int8_t* const kIndexTables[4] = {kIndex2, kIndex3, kIndex4, kIndex5};

const size_t kPcmPiece = 2048;      // frames per PCM piece
const size_t kAdpcmPacket = 4096;   // frames per ADPCM packet, the first one literal
const size_t kNellyBlock = 64;      // bytes per Nellymoser block...
const size_t kNellySamples = 256;   // ...and the samples it holds
const size_t kMp3MaxOut = 4608 * 2; // a decoder running a frame behind gives two at once

const int kMp3Kbps[2][16] = {
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}, // MPEG 1
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},     // MPEG 2, 2.5
};
const int kMp3Rates[3] = {44100, 48000, 32000};

int16_t Clamp16(int v) {
    return static_cast<int16_t>(std::min(32767, std::max(-32768, v)));
}

} // namespace

bool ReadMp3Header(const uint8_t* p, size_t available, Mp3Frame* frame) {
    if (available < 4 || p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) {
        return false;
    }
    const int version = (p[1] >> 3) & 3; // 0: 2.5, 1: reserved, 2: 2, 3: 1
    const int layer = (p[1] >> 1) & 3;   // 1: layer III
    const int bitrate = p[2] >> 4;
    const int rateIndex = (p[2] >> 2) & 3;
    if (version == 1 || layer != 1 || bitrate == 0 || bitrate == 15 || rateIndex == 3) {
        return false;
    }
    const bool mpeg1 = version == 3;
    frame->rate = kMp3Rates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
    frame->channels = (p[3] >> 6) == 3 ? 1 : 2;
    frame->samples = mpeg1 ? 1152 : 576;
    const int padding = (p[2] >> 1) & 1;
    const int kbps = kMp3Kbps[mpeg1 ? 0 : 1][bitrate];
    frame->size = size_t((mpeg1 ? 144 : 72) * kbps * 1000 / frame->rate + padding);
    return true;
}

Decoder::Decoder(const swf::SoundFormat& format, const Mp3Factory* mp3)
    : format_(format), mp3_(mp3), rate_(format.rate) {}

void Decoder::Feed(const uint8_t* data, size_t size) {
    data_ = data;
    size_ = data != nullptr ? size : 0;
    pos_ = 0;
    bitPos_ = 0;
    adpcmBits_ = 0;
}

void Decoder::Reset() {
    Feed(nullptr, 0);
    mp3Decoder_ = nullptr;
    mp3Tried_ = false;
}

Silenced Decoder::TakeSilenced() {
    const Silenced s = silenced_;
    silenced_ = Silenced::None;
    return s;
}

bool Decoder::Next(std::vector<int16_t>* out) {
    out->clear();
    switch (format_.coding) {
    case swf::SoundCoding::PcmNative:
    case swf::SoundCoding::PcmLittle:
        return NextPcm(out);
    case swf::SoundCoding::Adpcm:
        return NextAdpcm(out);
    case swf::SoundCoding::Mp3:
        return NextMp3(out);
    case swf::SoundCoding::Nellymoser16k:
    case swf::SoundCoding::Nellymoser8k:
    case swf::SoundCoding::Nellymoser:
        return NextNelly(out);
    case swf::SoundCoding::Speex:
        silenced_ = pos_ < size_ ? Silenced::Speex : silenced_;
        pos_ = size_;
        return false;
    }
    return false;
}

bool Decoder::NextPcm(std::vector<int16_t>* out) {
    const size_t bytesPerFrame = size_t(format_.bits / 8) * format_.channels;
    const size_t frames = std::min(kPcmPiece, (size_ - pos_) / bytesPerFrame);
    if (frames == 0) {
        pos_ = size_; // a trailing partial frame is cut
        return false;
    }
    const uint8_t* p = data_ + pos_;
    const size_t count = frames * format_.channels;
    out->resize(count);
    for (size_t i = 0; i < count; ++i) {
        (*out)[i] = format_.bits == 8 ? int16_t((p[i] - 128) * 256)
                                      : int16_t(uint16_t(p[2 * i] | (p[2 * i + 1] << 8)));
    }
    pos_ += frames * bytesPerFrame;
    return true;
}

uint32_t Decoder::Bits(unsigned n) {
    uint32_t v = 0;
    for (unsigned i = 0; i < n; ++i, ++bitPos_) {
        const size_t byte = bitPos_ >> 3;
        const uint32_t bit = byte < size_ ? (data_[byte] >> (7 - (bitPos_ & 7))) & 1 : 0;
        v = (v << 1) | bit;
    }
    return v;
}

// Packets of up to 4096 frames: each channel's first sample and step index literally,
// then codes for the rest, channels interleaved. A packet cut short gives what it holds.
bool Decoder::NextAdpcm(std::vector<int16_t>* out) {
    const size_t totalBits = size_ * 8;
    if (adpcmBits_ == 0) {
        if (totalBits < 2) {
            return false;
        }
        adpcmBits_ = Bits(2) + 2;
    }
    const int channels = format_.channels;
    if (bitPos_ + size_t(22) * channels > totalBits) {
        bitPos_ = totalBits;
        return false;
    }
    int predictor[2] = {0, 0}, index[2] = {0, 0};
    for (int c = 0; c < channels; ++c) {
        predictor[c] = int16_t(uint16_t(Bits(16)));
        index[c] = int(Bits(6));
        out->push_back(int16_t(predictor[c]));
    }
    const unsigned bits = adpcmBits_;
    const int8_t* table = kIndexTables[bits - 2];
    const uint32_t sign = 1u << (bits - 1);
    for (size_t n = 1; n < kAdpcmPacket && bitPos_ + size_t(bits) * channels <= totalBits; ++n) {
        for (int c = 0; c < channels; ++c) {
            const uint32_t code = Bits(bits);
            int step = kSteps[std::min(88, std::max(0, index[c]))];
            // (magnitude + 1/2) * step / 2^(bits-2), one halving per magnitude bit.
            int diff = 0;
            for (uint32_t mask = sign >> 1; mask != 0; mask >>= 1) {
                if (code & mask) {
                    diff += step;
                }
                step >>= 1;
            }
            diff += step;
            predictor[c] = Clamp16(predictor[c] + ((code & sign) ? -diff : diff));
            index[c] = std::min(88, std::max(0, index[c] + table[code & (sign - 1)]));
            out->push_back(int16_t(predictor[c]));
        }
    }
    return true;
}

// One frame per piece. Bytes that are not a frame are skipped to the next header; a frame
// the decoder refuses, or with no decoder at all, plays as silence of its length.
bool Decoder::NextMp3(std::vector<int16_t>* out) {
    Mp3Frame f;
    while (pos_ < size_ && !ReadMp3Header(data_ + pos_, size_ - pos_, &f)) {
        ++pos_;
    }
    if (pos_ >= size_ || f.size > size_ - pos_) {
        pos_ = size_; // a frame cut short by its block's end
        return false;
    }
    const uint8_t* frame = data_ + pos_;
    pos_ += f.size;
    if (!mp3Tried_) {
        mp3Tried_ = true;
        mp3Rate_ = f.rate;
        mp3Channels_ = f.channels;
        rate_ = uint32_t(f.rate);
        if (mp3_ != nullptr && *mp3_) {
            mp3Decoder_ = (*mp3_)(f.rate, f.channels);
        }
        if (!mp3Decoder_) {
            silenced_ = Silenced::Mp3NoDecoder;
        }
    }
    const int channels = format_.channels;
    size_t frames = 0;
    if (mp3Decoder_ && f.rate == mp3Rate_ && f.channels == mp3Channels_) {
        scratch_.resize(kMp3MaxOut);
        const size_t got =
            std::min(mp3Decoder_(frame, f.size, scratch_.data(), kMp3MaxOut), kMp3MaxOut);
        frames = got / size_t(mp3Channels_);
        out->resize(frames * channels);
        for (size_t i = 0; i < frames; ++i) {
            const int16_t l = scratch_[i * mp3Channels_];
            const int16_t r = scratch_[i * mp3Channels_ + mp3Channels_ - 1];
            if (channels == 1) {
                (*out)[i] = int16_t((l + r) / 2);
            } else {
                (*out)[2 * i] = l;
                (*out)[2 * i + 1] = r;
            }
        }
    }
    if (frames == 0) {
        out->assign(size_t(f.samples) * channels, 0);
    }
    return true;
}

bool Decoder::NextNelly(std::vector<int16_t>* out) {
    const size_t blocks = std::min<size_t>(16, (size_ - pos_) / kNellyBlock);
    if (blocks == 0) {
        pos_ = size_;
        return false;
    }
    pos_ += blocks * kNellyBlock;
    silenced_ = Silenced::Nellymoser;
    out->assign(blocks * kNellySamples * format_.channels, 0);
    return true;
}

} // namespace sound
