#include "player/core/sound/mixer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace sound {

namespace {
const uint64_t kNoEnd = std::numeric_limits<uint64_t>::max();
// Flash's "5.5 kHz" is half of 11,025.
double RateHz(uint32_t rate) {
    return rate == 5512 ? 5512.5 : double(rate);
}
int32_t Bounded(double v) {
    return int32_t(std::max(-16777216.0, std::min(16777216.0, v)));
}
} // namespace

struct Mixer::Voice {
    Voice(const swf::SoundFormat& format, const Mp3Factory* mp3) : decoder(format, mp3) {}

    uint32_t handle = 0, owner = 0;
    const EventSound* sound = nullptr;
    const Stream* stream = nullptr;
    uint32_t startFrame = 0, nextBlock = 0; // streams: frames
    Decoder decoder;
    std::vector<int16_t> piece;
    size_t pieceAt = 0; // frames of `piece` used
    std::vector<swf::EnvelopePoint> envelope;
    uint32_t loopsLeft = 1;
    uint64_t skip = 0, skipLeft = 0; // source frames dropped at each loop's start
    uint64_t end = kNoEnd;           // source frames per loop, counted from its start
    uint64_t inLoop = 0;             // source frames taken this loop, skipped ones included
    uint64_t loopOutput = 0;         // frames given this loop
    Transform own;
    int peak[2] = {0, 0}; // of the last Mix
    double frac = 0, step = 0;
    int a0[2] = {0, 0}, a1[2] = {0, 0};
    bool primed = false, done = false;
    bool last = false;   // a0 is the sound's last frame: it plays until the step passes it
    uint64_t played = 0; // output frames

    bool Refill();
    bool NextLoop();
    bool NextFrame(int lr[2]);
    void Gain(double* left, double* right) const;
};

// The next piece of the current input; for a stream, the next frame's block when the
// current one is used up (a frame without one ends the stream).
bool Mixer::Voice::Refill() {
    pieceAt = 0;
    for (int guard = 0; guard < 64; ++guard) {
        if (decoder.Next(&piece)) {
            return true;
        }
        if (stream == nullptr) {
            return false;
        }
        const StreamBlock* b = stream->At(nextBlock);
        if (b == nullptr) {
            return false;
        }
        decoder.Feed(b->data, b->size);
        if (nextBlock == startFrame && stream->head.format.coding == swf::SoundCoding::Mp3) {
            skipLeft = uint64_t(std::max<int>(0, std::min<int>(b->seek, 2304)));
        }
        ++nextBlock;
    }
    return false;
}

bool Mixer::Voice::NextLoop() {
    if (loopsLeft <= 1 || loopOutput == 0) {
        return false; // a loop that gave nothing would give nothing again
    }
    --loopsLeft;
    decoder.Reset();
    decoder.Feed(sound->data, sound->size);
    piece.clear();
    pieceAt = 0;
    skipLeft = skip;
    inLoop = 0;
    loopOutput = 0;
    return true;
}

bool Mixer::Voice::NextFrame(int lr[2]) {
    const int channels = decoder.Channels();
    for (;;) {
        if (inLoop >= end || (pieceAt * channels >= piece.size() && !Refill())) {
            if (!NextLoop()) {
                return false;
            }
            continue;
        }
        const int16_t* s = piece.data() + pieceAt * channels;
        ++pieceAt;
        ++inLoop;
        if (skipLeft > 0) {
            --skipLeft;
            continue;
        }
        lr[0] = s[0];
        lr[1] = s[channels - 1];
        ++loopOutput;
        return true;
    }
}

void Mixer::Voice::Gain(double* left, double* right) const {
    if (envelope.empty()) {
        return;
    }
    size_t i = 0;
    while (i < envelope.size() && envelope[i].position <= played) {
        ++i;
    }
    double l, r;
    if (i == 0 || i == envelope.size()) {
        const swf::EnvelopePoint& p = envelope[i == 0 ? 0 : i - 1];
        l = p.left;
        r = p.right;
    } else {
        const swf::EnvelopePoint& p = envelope[i - 1];
        const swf::EnvelopePoint& q = envelope[i];
        const double t = q.position > p.position
                             ? double(played - p.position) / double(q.position - p.position)
                             : 1.0;
        l = p.left + (q.left - double(p.left)) * t;
        r = p.right + (q.right - double(p.right)) * t;
    }
    *left *= l / 32768.0;
    *right *= r / 32768.0;
}

Transform Then(const Transform& inner, const Transform& outer) {
    Transform t;
    t.ll = outer.ll * inner.ll + outer.lr * inner.rl;
    t.lr = outer.ll * inner.lr + outer.lr * inner.rr;
    t.rl = outer.rl * inner.ll + outer.rr * inner.rl;
    t.rr = outer.rl * inner.lr + outer.rr * inner.rr;
    t.volume = outer.volume * inner.volume;
    return t;
}

Mixer::Mixer() = default;
Mixer::~Mixer() = default;

bool Mixer::Admit() {
    return voices_.size() < kMaxVoices && BytesHeld() < kMaxDecodedBytes;
}

uint32_t Mixer::Add(std::unique_ptr<Voice> v) {
    v->handle = nextHandle_++;
    if (nextHandle_ == 0) {
        nextHandle_ = 1;
    }
    v->step = RateHz(v->decoder.Rate()) / kOutputRate;
    const uint32_t handle = v->handle;
    voices_.push_back(std::move(v));
    return handle;
}

uint32_t Mixer::Start(const EventSound* sound, const swf::SoundInfo& info, uint32_t owner,
                      uint32_t offset44) {
    if (sound == nullptr) {
        return 0;
    }
    if (info.stop) {
        StopSound(sound);
        return 0;
    }
    if ((info.noMultiple && Playing(sound)) || !Admit()) {
        return 0;
    }
    std::unique_ptr<Voice> v(new Voice(sound->def.format, &mp3_));
    v->owner = owner;
    v->sound = sound;
    v->envelope = info.envelope;
    v->loopsLeft = std::max<uint32_t>(1, info.loops);
    // In and out points and the offset count 44 kHz samples; the sound's own rate here.
    const double toSource = RateHz(sound->def.format.rate) / kOutputRate;
    const uint64_t seek = uint64_t(std::max<int>(0, sound->seek));
    const uint64_t in = uint64_t(double(info.hasIn ? info.in : 0) * toSource);
    v->skip = v->skipLeft = seek + in + uint64_t(double(offset44) * toSource);
    if (sound->def.sampleCount != 0) {
        v->end = seek + sound->def.sampleCount;
    }
    if (info.hasOut) {
        v->end = std::min(v->end, seek + uint64_t(double(info.out) * toSource));
    }
    v->decoder.Feed(sound->data, sound->size);
    return Add(std::move(v));
}

uint32_t Mixer::StartStream(const Stream* stream, uint32_t frame, uint32_t owner) {
    if (stream == nullptr || stream->At(frame) == nullptr || !Admit()) {
        return 0;
    }
    std::unique_ptr<Voice> v(new Voice(stream->head.format, &mp3_));
    v->owner = owner;
    v->stream = stream;
    v->startFrame = v->nextBlock = frame;
    return Add(std::move(v));
}

void Mixer::Stop(uint32_t handle) {
    voices_.erase(
        std::remove_if(voices_.begin(), voices_.end(),
                       [&](const std::unique_ptr<Voice>& v) { return v->handle == handle; }),
        voices_.end());
}

void Mixer::StopSound(const EventSound* sound) {
    voices_.erase(
        std::remove_if(voices_.begin(), voices_.end(),
                       [&](const std::unique_ptr<Voice>& v) { return v->sound == sound; }),
        voices_.end());
}

void Mixer::StopOwner(uint32_t owner) {
    voices_.erase(
        std::remove_if(voices_.begin(), voices_.end(),
                       [&](const std::unique_ptr<Voice>& v) { return v->owner == owner; }),
        voices_.end());
}

void Mixer::StopAll() {
    voices_.clear();
}

bool Mixer::Playing(uint32_t handle) const {
    for (const auto& v : voices_) {
        if (v->handle == handle) {
            return true;
        }
    }
    return false;
}

bool Mixer::Playing(const EventSound* sound) const {
    for (const auto& v : voices_) {
        if (v->sound == sound) {
            return true;
        }
    }
    return false;
}

uint64_t Mixer::Played(uint32_t handle) const {
    for (const auto& v : voices_) {
        if (v->handle == handle) {
            return v->played;
        }
    }
    return 0;
}

bool Mixer::StreamPosition(uint32_t handle, uint32_t* startFrame, uint64_t* played) const {
    for (const auto& v : voices_) {
        if (v->handle == handle && v->stream != nullptr) {
            *startFrame = v->startFrame;
            *played = v->played;
            return true;
        }
    }
    return false;
}

bool Mixer::SetVoiceTransform(uint32_t handle, const Transform& t) {
    for (auto& v : voices_) {
        if (v->handle == handle) {
            v->own = t;
            return true;
        }
    }
    return false;
}

bool Mixer::Peaks(uint32_t handle, double* left, double* right) const {
    for (const auto& v : voices_) {
        if (v->handle == handle) {
            *left = std::min(1.0, v->peak[0] / 32768.0);
            *right = std::min(1.0, v->peak[1] / 32768.0);
            return true;
        }
    }
    return false;
}

std::vector<uint32_t> Mixer::TakeFinished() {
    std::vector<uint32_t> done;
    done.swap(finished_);
    return done;
}

size_t Mixer::BytesHeld() const {
    size_t bytes = 0;
    for (const auto& v : voices_) {
        bytes += v->piece.capacity() * sizeof(int16_t) + sizeof(Voice) + 20000;
    }
    return bytes;
}

void Mixer::Mix(int16_t* out, size_t frames) {
    accum_.assign(frames * 2, 0);
    const Transform global = transforms_.count(0) ? transforms_[0] : Transform();
    for (auto& vp : voices_) {
        Voice& v = *vp;
        // The voice's own transform, its owner's, then the movie's.
        const Transform owner =
            v.owner != 0 && transforms_.count(v.owner) ? transforms_[v.owner] : Transform();
        const Transform t = Then(Then(v.own, owner), global);
        const double volume = std::min(4.0, std::max(0.0, t.volume));
        v.peak[0] = v.peak[1] = 0;
        for (size_t i = 0; i < frames && !v.done; ++i) {
            if (!v.primed) {
                v.primed = true;
                if (!v.NextFrame(v.a0)) {
                    v.done = true;
                    break;
                }
                if (!v.NextFrame(v.a1)) {
                    v.a1[0] = v.a0[0];
                    v.a1[1] = v.a0[1];
                    v.last = true;
                }
                v.step = RateHz(v.decoder.Rate()) / kOutputRate;
            }
            double l = v.a0[0] + (v.a1[0] - v.a0[0]) * v.frac;
            double r = v.a0[1] + (v.a1[1] - v.a0[1]) * v.frac;
            v.Gain(&l, &r);
            // Bounded before the sum: 32 voices of any transform stay inside 32 bits.
            const int32_t outL = Bounded((t.ll * l + t.lr * r) * volume);
            const int32_t outR = Bounded((t.rl * l + t.rr * r) * volume);
            accum_[2 * i] += outL;
            accum_[2 * i + 1] += outR;
            v.peak[0] = std::max(v.peak[0], std::abs(outL));
            v.peak[1] = std::max(v.peak[1], std::abs(outR));
            ++v.played;
            v.frac += v.step;
            while (v.frac >= 1.0 && !v.done) {
                v.frac -= 1.0;
                if (v.last) {
                    v.done = true;
                    break;
                }
                v.a0[0] = v.a1[0];
                v.a0[1] = v.a1[1];
                // The last frame is held (mixed with itself) for its own time.
                if (!v.NextFrame(v.a1)) {
                    v.a1[0] = v.a0[0];
                    v.a1[1] = v.a0[1];
                    v.last = true;
                }
            }
        }
        const Silenced s = v.decoder.TakeSilenced();
        if (s != Silenced::None && !told_[int(s)]) {
            told_[int(s)] = true;
            if (notice_) {
                notice_(s);
            }
        }
    }
    for (size_t i = 0; i < frames * 2; ++i) {
        out[i] = int16_t(std::min(32767, std::max(-32768, accum_[i])));
    }
    for (const auto& v : voices_) {
        if (v->done && v->sound != nullptr) {
            finished_.push_back(v->handle);
        }
    }
    voices_.erase(std::remove_if(voices_.begin(), voices_.end(),
                                 [](const std::unique_ptr<Voice>& v) { return v->done; }),
                  voices_.end());
}

} // namespace sound
