#include "player/core/sound_host.h"

#include <algorithm>
#include <cmath>

namespace engine {

namespace {
// Ticks without the host pulling sound after which the clock sets the pace again.
const uint32_t kPullTicks = 8;
// Frames a timeline may move on at once to catch up with its stream.
const int kMaxCatchUp = 64;
} // namespace

SoundHost::SoundHost(const swf::Movie& movie, double framesPerSecond)
    : framesPerSecond_(std::max(framesPerSecond, 1.0 / 256)) {
    library_.Load(movie);
}

void SoundHost::SetNotice(std::function<void(const char*)> notice) {
    if (notice && library_.Skipped() != 0) {
        notice("some damaged sound tags were skipped");
    }
    mixer_.SetNotice([notice](sound::Silenced why) {
        if (!notice) {
            return;
        }
        switch (why) {
        case sound::Silenced::Mp3NoDecoder:
            notice("MP3 sounds play silent: no MP3 decoder here");
            break;
        case sound::Silenced::Nellymoser:
            notice("Nellymoser sounds play silent: not decoded");
            break;
        case sound::Silenced::Speex:
            notice("Speex sounds play silent: not decoded");
            break;
        case sound::Silenced::None:
            break;
        }
    });
}

void SoundHost::Sync(const timeline::Stage& stage) {
    if (library_.Empty()) {
        return;
    }
    ++generation_;
    Visit(timeline::kRootId, stage.Root(), 0);
    if (library_.SpritesHaveSounds()) {
        VisitChildren(stage.Root(), 0);
    }
    for (auto it = seen_.begin(); it != seen_.end();) {
        if (it->second.generation != generation_) {
            mixer_.Stop(it->second.stream); // event sounds play on; a stream needs its clip
            mixer_.Forget(it->first);
            it = seen_.erase(it);
        } else {
            ++it;
        }
    }
}

void SoundHost::VisitChildren(const timeline::Clip& clip, int depth) {
    if (depth >= timeline::kMaxNesting) {
        return;
    }
    for (const auto& entry : clip.objects) {
        const timeline::DisplayObject& o = entry.second;
        if (o.clip && o.character != nullptr && o.character->kind == timeline::Kind::Sprite) {
            Visit(o.id, *o.clip, o.character->id);
            VisitChildren(*o.clip, depth + 1);
        }
    }
}

void SoundHost::Visit(uint32_t id, const timeline::Clip& clip, uint16_t sprite) {
    const sound::TimelineSounds* t = library_.Timeline(sprite);
    if (t == nullptr) {
        return;
    }
    auto found = seen_.emplace(id, Seen());
    Seen& s = found.first->second;
    const bool fresh = found.second;
    s.generation = generation_;
    if (!fresh && s.frame == clip.frame) {
        if (!clip.playing && s.stream != 0) {
            mixer_.Stop(s.stream);
            s.stream = 0;
        }
        return;
    }
    const uint32_t previous = s.frame;
    s.frame = clip.frame;
    auto starts = t->starts.find(clip.frame);
    if (starts != t->starts.end()) {
        for (const swf::StartSound& start : starts->second) {
            // StartSound2 names the class bound to the sound, or in older tools its export.
            const sound::EventSound* e = library_.Find(start.id);
            if (!start.className.empty()) {
                e = library_.OfClass(start.className);
                e = e != nullptr ? e : library_.Exported(start.className);
            }
            mixer_.Start(e, start.info, id);
        }
    }
    if (t->hasStream) {
        const bool continues =
            !fresh && s.stream != 0 && mixer_.Playing(s.stream) && clip.frame == previous + 1;
        if (!continues) {
            mixer_.Stop(s.stream);
            s.stream = clip.playing ? mixer_.StartStream(&t->stream, clip.frame, id) : 0;
        }
    }
}

int SoundHost::StepsDue(uint32_t rootFrame) {
    if (ticksSinceMix_ > kPullTicks) {
        return -1;
    }
    ++ticksSinceMix_;
    auto it = seen_.find(timeline::kRootId);
    uint32_t start = 0;
    uint64_t played = 0;
    if (it == seen_.end() || it->second.stream == 0 ||
        !mixer_.StreamPosition(it->second.stream, &start, &played)) {
        return -1;
    }
    const uint32_t at = start + uint32_t(double(played) * framesPerSecond_ / sound::kOutputRate);
    return at > rootFrame ? int(std::min<uint32_t>(at - rootFrame, kMaxCatchUp)) : 0;
}

void SoundHost::ButtonTransition(uint16_t buttonId, int transition, uint32_t owner) {
    const swf::ButtonSounds* b = library_.Button(buttonId);
    if (b != nullptr && transition >= 0 && transition < 4 && b->soundIds[transition] != 0) {
        mixer_.Start(library_.Find(b->soundIds[transition]), b->info[transition], owner);
    }
}

void SoundHost::Mix(int16_t* out, size_t frames) {
    if (frames != 0) {
        ticksSinceMix_ = 0;
    }
    mixer_.Mix(out, frames);
    const size_t ring = recent_.size() / 2;
    for (size_t i = frames > ring ? frames - ring : 0; i < frames; ++i) {
        recent_[2 * recentAt_] = out[2 * i];
        recent_[2 * recentAt_ + 1] = out[2 * i + 1];
        recentAt_ = (recentAt_ + 1) % ring;
    }
}

void SoundHost::RecentOutput(float* left, float* right) {
    const size_t ring = recent_.size() / 2;
    for (size_t i = 0; i < ring; ++i) {
        const size_t at = (recentAt_ + i) % ring;
        left[i] = recent_[2 * at] / 32768.0f;
        right[i] = recent_[2 * at + 1] / 32768.0f;
    }
}

uint32_t SoundHost::FindSound(const std::string& exportName) {
    const sound::EventSound* e = library_.Exported(exportName);
    return e != nullptr ? e->def.id : 0;
}

double SoundHost::DurationMs(uint32_t sound) {
    const sound::EventSound* e = library_.Find(uint16_t(sound));
    if (e == nullptr || sound > 0xFFFF || e->def.format.rate == 0) {
        return 0;
    }
    return double(e->def.sampleCount) * 1000.0 / e->def.format.rate;
}

uint32_t SoundHost::StartSound(avm1::ClipId owner, uint32_t sound, double offsetSeconds,
                               int loops) {
    if (sound > 0xFFFF) {
        return 0;
    }
    swf::SoundInfo info;
    info.loops = uint16_t(std::max(1, std::min(loops, 65535)));
    const double offset = std::min(std::max(offsetSeconds, 0.0), 86400.0) * sound::kOutputRate;
    return mixer_.Start(library_.Find(uint16_t(sound)), info, owner, uint32_t(offset));
}

void SoundHost::StopSounds(avm1::ClipId owner, uint32_t sound) {
    const sound::EventSound* e = sound <= 0xFFFF ? library_.Find(uint16_t(sound)) : nullptr;
    if (sound != 0) {
        mixer_.StopSound(e);
    } else if (owner == 0) {
        mixer_.StopAll();
        for (auto& entry : seen_) {
            entry.second.stream = 0;
        }
    } else {
        mixer_.StopOwner(owner);
    }
}

double SoundHost::PositionMs(uint32_t handle) {
    return double(mixer_.Played(handle)) * 1000.0 / sound::kOutputRate;
}

double SoundHost::GetVolume(avm1::ClipId owner) {
    return mixer_.TransformOf(owner).volume * 100;
}

void SoundHost::SetVolume(avm1::ClipId owner, double percent) {
    mixer_.TransformOf(owner).volume = std::max(0.0, std::min(percent, 400.0)) / 100;
}

avm1::SoundTransform SoundHost::GetSoundTransform(avm1::ClipId owner) {
    const sound::Transform& t = mixer_.TransformOf(owner);
    return avm1::SoundTransform{t.ll * 100, t.lr * 100, t.rl * 100, t.rr * 100};
}

void SoundHost::SetSoundTransform(avm1::ClipId owner, const avm1::SoundTransform& t) {
    sound::Transform& m = mixer_.TransformOf(owner);
    m.ll = t.ll / 100;
    m.lr = t.lr / 100;
    m.rl = t.rl / 100;
    m.rr = t.rr / 100;
}

namespace {
// Scripts may set any number: one not finite counts as 0, and none is allowed to blow up
// a voice past what the mixer bounds anyway.
double Part(double v) {
    return std::isfinite(v) ? std::max(-100.0, std::min(100.0, v)) : 0;
}
sound::Transform FromMix(const avm2::SoundMix& m) {
    sound::Transform t;
    t.volume = Part(m.volume);
    t.ll = Part(m.leftToLeft);
    t.lr = Part(m.rightToLeft);
    t.rl = Part(m.leftToRight);
    t.rr = Part(m.rightToRight);
    return t;
}
avm2::SoundMix ToMix(const sound::Transform& t) {
    avm2::SoundMix m;
    m.volume = t.volume;
    m.leftToLeft = t.ll;
    m.rightToLeft = t.lr;
    m.leftToRight = t.rl;
    m.rightToRight = t.rr;
    return m;
}
} // namespace

uint32_t SoundHost::SoundOfClass(const std::string& className) {
    const sound::EventSound* e = library_.OfClass(className);
    return e != nullptr ? e->def.id : 0;
}

uint32_t SoundHost::SoundBytes(uint32_t sound) {
    const sound::EventSound* e = sound <= 0xFFFF ? library_.Find(uint16_t(sound)) : nullptr;
    return e != nullptr ? e->def.size : 0;
}

uint32_t SoundHost::PlaySound(uint32_t sound, double startMs, int plays,
                              const avm2::SoundMix& mix) {
    const uint32_t handle = StartSound(0, sound, startMs / 1000, plays);
    mixer_.SetVoiceTransform(handle, FromMix(mix));
    return handle;
}

size_t SoundHost::ExtractSound(uint32_t sound, uint64_t from, size_t frames, float* out) {
    const sound::EventSound* e = sound <= 0xFFFF ? library_.Find(uint16_t(sound)) : nullptr;
    if (e == nullptr || e->def.format.rate == 0) {
        return 0;
    }
    // At 44.1 kHz the sound lasts this many frames; "5.5 kHz" is half of 11,025.
    const double rate = e->def.format.rate == 5512 ? 5512.5 : e->def.format.rate;
    const uint64_t length = uint64_t(double(e->def.sampleCount) * sound::kOutputRate / rate);
    if (from >= length || from > 0xFFFFFFFFu) {
        return 0;
    }
    frames = size_t(std::min<uint64_t>(frames, length - from));
    Extraction& x = extraction_;
    if (!x.mixer || x.sound != sound || x.next != from) {
        x.mixer.reset(new sound::Mixer);
        x.mixer->SetMp3(mp3_);
        x.mixer->Start(e, swf::SoundInfo(), 0, uint32_t(from));
        x.sound = sound;
    }
    std::vector<int16_t> pcm(frames * 2);
    x.mixer->Mix(pcm.data(), frames);
    x.next = from + frames;
    for (size_t i = 0; i < pcm.size(); ++i) {
        out[i] = pcm[i] / 32768.0f;
    }
    return frames;
}

void SoundHost::SetChannelMix(uint32_t channel, const avm2::SoundMix& mix) {
    mixer_.SetVoiceTransform(channel, FromMix(mix));
}

void SoundHost::ChannelPeaks(uint32_t channel, double* left, double* right) {
    *left = *right = 0;
    mixer_.Peaks(channel, left, right);
}

avm2::SoundMix SoundHost::MovieMix() {
    return ToMix(mixer_.TransformOf(0));
}

void SoundHost::SetMovieMix(const avm2::SoundMix& mix) {
    mixer_.TransformOf(0) = FromMix(mix);
}

} // namespace engine
