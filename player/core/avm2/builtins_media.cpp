// flash.media's sound classes over the engine's mixer (SoundPort): a Sound subclass bound to
// a library sound plays it on a SoundChannel, which keeps its own SoundTransform and hears
// soundComplete when it ends; SoundMixer governs the movie's whole mix. Nothing is fetched:
// loading from a URL or from bytes is refused with a notice.
#include <algorithm>
#include <cmath>
#include <vector>

#include "player/core/avm2/display.h"
#include "player/core/avm2/media.h"

namespace avm2 {

void ByteArrayWriteFloats(Vm& vm, const Value& v, const float* f, size_t n);

namespace {

#define NATIVE(name) Value name(Vm& vm, const Value& self, Value* args, int argc)
#define UNUSED (void)vm, (void)self, (void)args, (void)argc

// Flash plays a sound at most this many times over.
const int kMaxPlays = 65535;
// Frames one extract call decodes at most (8 MB of floats).
const double kMaxExtract = 1 << 20;

// The typed fields of SoundTransform, ID3Info and SoundLoaderContext.
struct Fields : TaggedExtra<Fields> {
    Value v[7];
    void Mark(Vm& vm) override {
        for (const Value& x : v)
            vm.MarkValue(x);
    }
};

Fields* FieldsOf(const Value& v) {
    if (!v.IsObject() || v.o->kind != Kind::Other)
        return nullptr;
    if (!v.o->extra)
        v.o->extra.reset(new Fields);
    return ExtraOf<Fields>(v.o->extra);
}

enum class FieldType { Number, String, Boolean };

template <int I, FieldType T> NATIVE(GetField) {
    UNUSED;
    Fields* f = FieldsOf(self);
    if (!f)
        return Value();
    if (T == FieldType::String)
        return f->v[I].IsUndefined() ? Value::Null() : f->v[I];
    if (T == FieldType::Boolean)
        return Value::Bool(ToBoolean(f->v[I]));
    return Value::Num(f->v[I].IsNumber() ? f->v[I].n : 0);
}
template <int I, FieldType T> NATIVE(SetField) {
    UNUSED;
    Fields* f = FieldsOf(self);
    const Value v = Arg(args, argc, 0);
    if (!f)
        return Value();
    if (T == FieldType::String)
        f->v[I] = v.IsNullish() ? Value::Null() : Value::Str(vm.ToString(v));
    else if (T == FieldType::Boolean)
        f->v[I] = Value::Bool(ToBoolean(v));
    else
        f->v[I] = Value::Num(vm.ToNumber(v));
    return Value();
}

// ---- SoundTransform: volume, leftToLeft, leftToRight, rightToLeft, rightToRight ----
enum { kVolume, kLeftToLeft, kLeftToRight, kRightToLeft, kRightToRight };

double Field(const Value& self, int i) {
    Fields* f = FieldsOf(self);
    return f && f->v[i].IsNumber() ? f->v[i].n : 0;
}

// A channel or the mixer keeps whole percents, truncated, as Flash does: 0.755 reads back
// as 0.75. Past the range of an int (or not a number) a part is silent.
double Percent(double v) {
    const double p = v * 100;
    return p > -2147483649.0 && p < 2147483648.0 ? std::trunc(p) / 100 : 0;
}

SoundMix MixOf(const Value& transform) {
    SoundMix m;
    if (FieldsOf(transform)) {
        m.volume = Percent(Field(transform, kVolume));
        m.leftToLeft = Percent(Field(transform, kLeftToLeft));
        m.leftToRight = Percent(Field(transform, kLeftToRight));
        m.rightToLeft = Percent(Field(transform, kRightToLeft));
        m.rightToRight = Percent(Field(transform, kRightToRight));
    }
    return m;
}

Value NewTransform(Vm& vm, const SoundMix& m) {
    const Value t = vm.ConstructClass(vm.Builtin("SoundTransform"), nullptr, 0);
    if (Fields* f = FieldsOf(t)) {
        f->v[kVolume] = Value::Num(m.volume);
        f->v[kLeftToLeft] = Value::Num(m.leftToLeft);
        f->v[kLeftToRight] = Value::Num(m.leftToRight);
        f->v[kRightToLeft] = Value::Num(m.rightToLeft);
        f->v[kRightToRight] = Value::Num(m.rightToRight);
    }
    return t;
}

// Panning keeps the power of the two sides together: the side panned to rises above 1.
void SetPanOf(const Value& self, double pan) {
    if (Fields* f = FieldsOf(self)) {
        f->v[kLeftToLeft] = Value::Num(std::sqrt(1 - pan));
        f->v[kRightToRight] = Value::Num(std::sqrt(1 + pan));
        f->v[kLeftToRight] = f->v[kRightToLeft] = Value::Num(0);
    }
}

NATIVE(TransformCtor) {
    UNUSED;
    if (Fields* f = FieldsOf(self))
        f->v[kVolume] = Value::Num(argc > 0 ? vm.ToNumber(args[0]) : 1);
    SetPanOf(self, argc > 1 ? vm.ToNumber(args[1]) : 0);
    return Value();
}
// Mixed across, a transform has no pan to tell.
NATIVE(GetPan) {
    UNUSED;
    if (Field(self, kLeftToRight) != 0 || Field(self, kRightToLeft) != 0)
        return Value::Num(0);
    const double ll = Field(self, kLeftToLeft);
    return Value::Num(1 - ll * ll);
}
NATIVE(SetPan) {
    UNUSED;
    SetPanOf(self, vm.ToNumber(Arg(args, argc, 0)));
    return Value();
}

// A SoundTransform argument: null passes, anything else not one is a TypeError.
bool TransformArg(Vm& vm, const Value& v, Value* out) {
    *out = vm.CoerceTo(v, vm.Builtin("SoundTransform"));
    return !vm.throwing();
}

// ---- ID3Info and SoundLoaderContext: plain records ----
NATIVE(Id3Ctor) {
    UNUSED;
    if (Fields* f = FieldsOf(self))
        for (Value& x : f->v)
            x = Value::Null();
    return Value();
}
NATIVE(LoaderContextCtor) {
    UNUSED;
    if (Fields* f = FieldsOf(self)) {
        f->v[0] = Value::Num(argc > 0 ? vm.ToNumber(args[0]) : 1000);
        f->v[1] = Value::Bool(argc > 1 && ToBoolean(args[1]));
    }
    return Value();
}

// ---- SoundChannel ----
// Kept in the channel's dispatcher data, out of the scripts' reach.
struct ChannelState : TaggedExtra<ChannelState> {
    uint32_t handle = 0; // the mixer's, 0 once it is over (or never began)
    double startMs = 0, lengthMs = 0;
    int plays = 1;
    double positionMs = 0; // where it stood when it ended
    SoundMix mix;
};

ChannelState* ChannelOf(const Value& channel) {
    DisplayData* d = DispatcherData(channel);
    if (!d || !d->extraData.IsObject() || !d->extraData.o->extra)
        return nullptr;
    return ExtraOf<ChannelState>(d->extraData.o->extra);
}

double PositionOf(Vm& vm, ChannelState* c) {
    if (c->handle != 0 && vm.sound() && vm.sound()->ChannelPlaying(c->handle))
        return c->startMs + vm.sound()->ChannelPlayedMs(c->handle);
    return c->positionMs;
}

// Over: its place kept, no longer known to the mixer.
void Forget(Vm& vm, ChannelState* c, double positionMs) {
    vm.soundChannels().erase(c->handle);
    c->handle = 0;
    c->positionMs = positionMs;
}

NATIVE(ChannelCtor) {
    UNUSED;
    if (DisplayData* d = DispatcherData(self)) {
        Object* state = vm.heap().New(Kind::Other);
        state->extra.reset(new ChannelState);
        d->extraData = Value::Obj(state);
    }
    return Value();
}
NATIVE(ChannelStop) {
    UNUSED;
    ChannelState* c = ChannelOf(self);
    if (c && c->handle != 0) {
        const double at = PositionOf(vm, c);
        if (vm.sound())
            vm.sound()->StopChannel(c->handle);
        Forget(vm, c, at);
    }
    return Value();
}
NATIVE(ChannelPosition) {
    UNUSED;
    ChannelState* c = ChannelOf(self);
    return Value::Num(c ? PositionOf(vm, c) : 0);
}
template <int Side> NATIVE(ChannelPeak) {
    UNUSED;
    ChannelState* c = ChannelOf(self);
    double peaks[2] = {0, 0};
    if (c && c->handle != 0 && vm.sound())
        vm.sound()->ChannelPeaks(c->handle, &peaks[0], &peaks[1]);
    return Value::Num(peaks[Side]);
}
NATIVE(ChannelGetTransform) {
    UNUSED;
    ChannelState* c = ChannelOf(self);
    return NewTransform(vm, c ? c->mix : SoundMix());
}
NATIVE(ChannelSetTransform) {
    UNUSED;
    Value t;
    if (!TransformArg(vm, Arg(args, argc, 0), &t))
        return Value();
    if (t.IsNull())
        return vm.ThrowError("TypeError", 2007, ErrorText(2007, "soundTransform"));
    ChannelState* c = ChannelOf(self);
    if (!c)
        return Value();
    c->mix = MixOf(t);
    if (c->handle != 0 && vm.sound())
        vm.sound()->SetChannelMix(c->handle, c->mix);
    return Value();
}

// ---- Sound ----
// Kept in the Sound's dispatcher data: the library sound it stands for (0: none) and where
// extract goes on from.
struct SoundState : TaggedExtra<SoundState> {
    uint32_t id = 0;
    uint64_t extractAt = 0;
};

SoundState* SoundOf(const Value& self) {
    DisplayData* d = DispatcherData(self);
    if (!d || !d->extraData.IsObject() || !d->extraData.o->extra)
        return nullptr;
    return ExtraOf<SoundState>(d->extraData.o->extra);
}

uint32_t SoundIdOf(const Value& self) {
    SoundState* s = SoundOf(self);
    return s ? s->id : 0;
}

void Refuse(Vm& vm, const char* what) {
    vm.Notice(std::string("Sound.") + what + " refused: the player works offline");
}

// The class bound to a library sound may be this one or one it extends.
NATIVE(SoundCtor) {
    UNUSED;
    DisplayData* d = DispatcherData(self);
    if (!d)
        return Value();
    Object* hidden = vm.heap().New(Kind::Other);
    SoundState* state = new SoundState;
    hidden->extra.reset(state);
    d->extraData = Value::Obj(hidden);
    ClassInfo* base = vm.Builtin("Sound");
    for (ClassInfo* c = self.o->cls; c && c != base && vm.sound() && !state->id; c = c->super)
        state->id = vm.sound()->SoundOfClass(c->uri.empty() ? c->name : c->uri + "." + c->name);
    if (argc > 0 && !args[0].IsNullish())
        Refuse(vm, "load");
    return Value();
}
NATIVE(SoundLength) {
    UNUSED;
    const uint32_t id = SoundIdOf(self);
    return Value::Num(id && vm.sound() ? vm.sound()->SoundLengthMs(id) : 0);
}
NATIVE(SoundBytes) {
    UNUSED;
    const uint32_t id = SoundIdOf(self);
    return Value::Num(id && vm.sound() ? vm.sound()->SoundBytes(id) : 0);
}
NATIVE(SoundId3) {
    UNUSED;
    return vm.ConstructClass(vm.Builtin("ID3Info"), nullptr, 0);
}

// A channel for each play; null when the start lies past the end or every channel is taken.
// A Sound of no library sound gives a channel that never plays, as one never loaded does.
NATIVE(SoundPlay) {
    UNUSED;
    double startMs = argc > 0 ? vm.ToNumber(args[0]) : 0;
    const int32_t loops = argc > 1 ? ToInt32(vm.ToNumber(args[1])) : 0;
    Value transform;
    if (!TransformArg(vm, Arg(args, argc, 2), &transform))
        return Value();
    const uint32_t id = SoundIdOf(self);
    SoundPort* port = vm.sound();
    const double lengthMs = id && port ? port->SoundLengthMs(id) : 0;
    startMs = std::isfinite(startMs) && startMs > 0 ? startMs : 0;
    if (id != 0 && startMs > lengthMs)
        return Value::Null();
    const SoundMix mix = transform.IsNull() ? SoundMix() : MixOf(transform);
    const int plays = loops < 1 ? 1 : loops > kMaxPlays ? kMaxPlays : int(loops);
    const uint32_t handle = id && port ? port->PlaySound(id, startMs, plays, mix) : 0;
    if (id != 0 && handle == 0)
        return Value::Null();
    const Value channel = vm.ConstructClass(vm.Builtin("SoundChannel"), nullptr, 0);
    ChannelState* c = ChannelOf(channel);
    if (!c) {
        if (handle != 0)
            port->StopChannel(handle);
        return channel;
    }
    c->handle = handle;
    c->startMs = c->positionMs = startMs;
    c->lengthMs = lengthMs;
    c->plays = plays;
    c->mix = mix;
    if (handle != 0)
        vm.soundChannels()[handle] = channel.o;
    return channel;
}
NATIVE(SoundLoad) {
    UNUSED;
    Refuse(vm, "load");
    return Value();
}
NATIVE(SoundLoadBytes) {
    UNUSED;
    Refuse(vm, "loadCompressedDataFromByteArray");
    return Value();
}
NATIVE(SoundLoadPcm) {
    UNUSED;
    Refuse(vm, "loadPCMFromByteArray");
    return Value();
}
// The sound as it plays at 44.1 kHz, left and right floats in turn, written at the array's
// position; from where the last extract ended when no start is given (-1).
NATIVE(SoundExtract) {
    UNUSED;
    const Value target = Arg(args, argc, 0);
    if (!vm.IsInstance(target, vm.Builtin("ByteArray"))) {
        if (target.IsNullish())
            return vm.ThrowError("TypeError", 2007, ErrorText(2007, "target"));
        return vm.CoerceTo(target, vm.Builtin("ByteArray"));
    }
    const double length = vm.ToNumber(Arg(args, argc, 1));
    const double start = argc > 2 ? vm.ToNumber(args[2]) : -1;
    SoundState* s = SoundOf(self);
    if (!s || !s->id || !vm.sound() || !(length >= 1))
        return Value::Num(0);
    const uint64_t from = start >= 0 && start < 1e15 ? uint64_t(start) : s->extractAt;
    const double left = vm.sound()->SoundLengthMs(s->id) * 44.1 + 1 - double(from);
    if (left < 1)
        return Value::Num(0);
    std::vector<float> samples(size_t(std::min(std::min(length, kMaxExtract), left)) * 2);
    for (size_t i = 0; i < samples.size(); i += 512) // decoding counts against the budget
        if (!vm.Step())
            return Value::Num(0);
    const size_t got = vm.sound()->ExtractSound(s->id, from, samples.size() / 2, samples.data());
    ByteArrayWriteFloats(vm, target, samples.data(), got * 2);
    s->extractAt = from + got;
    return Value::Num(double(got));
}

// ---- SoundMixer ----
NATIVE(MixerStopAll) {
    UNUSED;
    std::vector<Object*> playing;
    for (const auto& c : vm.soundChannels())
        playing.push_back(c.second);
    for (Object* o : playing)
        if (ChannelState* c = ChannelOf(Value::Obj(o)))
            Forget(vm, c, PositionOf(vm, c));
    vm.soundChannels().clear();
    if (vm.sound())
        vm.sound()->StopEverySound();
    return Value();
}
NATIVE(MixerGetTransform) {
    UNUSED;
    return NewTransform(vm, vm.sound() ? vm.sound()->MovieMix() : SoundMix());
}
NATIVE(MixerSetTransform) {
    UNUSED;
    Value t;
    if (!TransformArg(vm, Arg(args, argc, 0), &t))
        return Value();
    if (t.IsNull())
        return vm.ThrowError("TypeError", 2007, ErrorText(2007, "sndTransform"));
    if (vm.sound())
        vm.sound()->SetMovieMix(MixOf(t));
    return Value();
}
NATIVE(MixerGetBufferTime) {
    UNUSED;
    return Value::Num(vm.soundBufferTime);
}
NATIVE(MixerSetBufferTime) {
    UNUSED;
    vm.soundBufferTime = ToInt32(vm.ToNumber(Arg(args, argc, 0)));
    return Value();
}
// The levels of the latest frames mixed: 512 numbers, the left speaker's 256 then the
// right's, written as floats from the array's start and read back from it. Without FFT they
// are the wave itself; with it, the real part of a 2048-point transform of the 512 frames,
// as a logarithm: ln(|re|) / 4, none below 0. Stretch 0 takes every other of the 512;
// stretch n > 2 repeats each of the first values n - 1 times.
const int kTransformPoints = 2048;

void Levels(const float* wave, const std::vector<double>& cosines, int32_t stretch, float* out) {
    float v[kSpectrumSamples];
    for (int k = 0; k < kSpectrumSamples; ++k) {
        if (cosines.empty()) {
            v[k] = wave[k];
            continue;
        }
        double re = 0;
        for (int n = 0; n < kSpectrumSamples; ++n)
            re += wave[n] * cosines[(k * n) % kTransformPoints];
        v[k] = float(std::max(0.0, std::log(std::fabs(re))) / 4);
    }
    const int half = kSpectrumSamples / 2;
    const int repeats = stretch == 0 ? 1 : std::max(stretch - 1, 1);
    for (int i = 0; i < half; ++i)
        out[i] = stretch == 0 ? v[2 * i] : v[i / repeats];
}

NATIVE(MixerSpectrum) {
    UNUSED;
    const Value out = Arg(args, argc, 0);
    if (!vm.IsInstance(out, vm.Builtin("ByteArray"))) {
        if (out.IsNullish())
            return vm.ThrowError("TypeError", 2007, ErrorText(2007, "outputArray"));
        return vm.CoerceTo(out, vm.Builtin("ByteArray"));
    }
    const bool fft = argc > 1 && ToBoolean(args[1]);
    const int32_t stretch = argc > 2 ? ToInt32(vm.ToNumber(args[2])) : 0;
    float left[kSpectrumSamples] = {}, right[kSpectrumSamples] = {};
    if (vm.sound())
        vm.sound()->RecentOutput(left, right);
    // Each band of the transform costs about what an instruction does, and counts as one.
    for (int i = 0; fft && i < 2 * kSpectrumSamples; ++i)
        if (!vm.Step())
            return Value();
    std::vector<double> cosines;
    for (int i = 0; fft && i < kTransformPoints; ++i)
        cosines.push_back(std::cos(2 * 3.14159265358979323846 * i / kTransformPoints));
    float levels[kSpectrumSamples];
    Levels(left, cosines, stretch, levels);
    Levels(right, cosines, stretch, levels + kSpectrumSamples / 2);
    vm.Set(out, "length", Value::Num(0));
    for (float x : levels) {
        Value a = Value::Num(x);
        vm.CallMethod(out, "writeFloat", &a, 1);
        if (vm.throwing())
            return Value();
    }
    vm.Set(out, "position", Value::Num(0));
    return Value();
}

} // namespace

bool IsLibrarySound(Vm& vm, uint32_t character) {
    return vm.sound() && vm.sound()->IsSound(character);
}

void SoundsEnded(Vm& vm, const std::vector<uint32_t>& channels) {
    std::vector<Object*> ended;
    for (uint32_t handle : channels) {
        auto it = vm.soundChannels().find(handle);
        if (it == vm.soundChannels().end())
            continue;
        ended.push_back(it->second);
        if (ChannelState* c = ChannelOf(Value::Obj(it->second)))
            Forget(vm, c, c->startMs + (c->lengthMs - c->startMs) * c->plays);
    }
    // Stopped by a timeline or by the host: forgotten where they were last seen.
    std::vector<Object*> gone;
    for (const auto& c : vm.soundChannels())
        if (!vm.sound() || !vm.sound()->ChannelPlaying(c.first))
            gone.push_back(c.second);
    for (Object* o : gone)
        if (ChannelState* c = ChannelOf(Value::Obj(o)))
            Forget(vm, c, c->positionMs);
    if (ended.empty())
        return;
    vm.BeginFrame();
    for (Object* o : ended) {
        DispatchSimple(vm, o, "soundComplete", false);
        if (vm.aborted())
            break;
    }
    vm.EndFrame();
}

void InstallMedia(Vm& vm) {
    ClassInfo* dispatcher = vm.Builtin("EventDispatcher");

    ClassInfo* transform =
        vm.DefineClass("flash.media", "SoundTransform", vm.objectClass, Kind::Other, TransformCtor);
    transform->isFinal = true;
    static const Native transformNatives[] = {
        Accessor("volume", GetField<kVolume, FieldType::Number>,
                 SetField<kVolume, FieldType::Number>),
        Accessor("leftToLeft", GetField<kLeftToLeft, FieldType::Number>,
                 SetField<kLeftToLeft, FieldType::Number>),
        Accessor("leftToRight", GetField<kLeftToRight, FieldType::Number>,
                 SetField<kLeftToRight, FieldType::Number>),
        Accessor("rightToLeft", GetField<kRightToLeft, FieldType::Number>,
                 SetField<kRightToLeft, FieldType::Number>),
        Accessor("rightToRight", GetField<kRightToRight, FieldType::Number>,
                 SetField<kRightToRight, FieldType::Number>),
        Accessor("pan", GetPan, SetPan),
    };
    vm.AddNatives(transform, transformNatives);

    ClassInfo* id3 = vm.DefineClass("flash.media", "ID3Info", vm.objectClass, Kind::Other, Id3Ctor);
    id3->isFinal = true;
    id3->sealed = false;
    static const Native id3Natives[] = {
        Accessor("album", GetField<0, FieldType::String>, SetField<0, FieldType::String>),
        Accessor("artist", GetField<1, FieldType::String>, SetField<1, FieldType::String>),
        Accessor("comment", GetField<2, FieldType::String>, SetField<2, FieldType::String>),
        Accessor("genre", GetField<3, FieldType::String>, SetField<3, FieldType::String>),
        Accessor("songName", GetField<4, FieldType::String>, SetField<4, FieldType::String>),
        Accessor("track", GetField<5, FieldType::String>, SetField<5, FieldType::String>),
        Accessor("year", GetField<6, FieldType::String>, SetField<6, FieldType::String>),
    };
    vm.AddNatives(id3, id3Natives);

    ClassInfo* context = vm.DefineClass("flash.media", "SoundLoaderContext", vm.objectClass,
                                        Kind::Other, LoaderContextCtor);
    static const Native contextNatives[] = {
        Accessor("bufferTime", GetField<0, FieldType::Number>, SetField<0, FieldType::Number>),
        Accessor("checkPolicyFile", GetField<1, FieldType::Boolean>,
                 SetField<1, FieldType::Boolean>)};
    vm.AddNatives(context, contextNatives);

    ClassInfo* channel =
        vm.DefineClass("flash.media", "SoundChannel", dispatcher, Kind::Dispatcher, ChannelCtor);
    channel->isFinal = true;
    static const Native channelNatives[] = {
        Fn("stop", ChannelStop),
        Accessor("position", ChannelPosition),
        Accessor("leftPeak", ChannelPeak<0>),
        Accessor("rightPeak", ChannelPeak<1>),
        Accessor("soundTransform", ChannelGetTransform, ChannelSetTransform),
    };
    vm.AddNatives(channel, channelNatives);

    ClassInfo* sound =
        vm.DefineClass("flash.media", "Sound", dispatcher, Kind::Dispatcher, SoundCtor);
    static const Native soundNatives[] = {
        Accessor("length", SoundLength),
        Accessor("bytesLoaded", SoundBytes),
        Accessor("bytesTotal", SoundBytes),
        Accessor("isBuffering", answer::False),
        Accessor("isURLInaccessible", answer::False),
        Accessor("url", answer::Null),
        Accessor("id3", SoundId3),
        Fn("play", SoundPlay),
        Fn("close", answer::Nothing),
        Fn("load", SoundLoad),
        Fn("loadCompressedDataFromByteArray", SoundLoadBytes),
        Fn("loadPCMFromByteArray", SoundLoadPcm),
        Fn("extract", SoundExtract),
    };
    vm.AddNatives(sound, soundNatives);

    ClassInfo* mixer =
        vm.DefineClass("flash.media", "SoundMixer", vm.objectClass, Kind::Plain, nullptr);
    mixer->isFinal = true;
    static const Native mixerNatives[] = {
        StaticFn("stopAll", MixerStopAll),
        StaticFn("areSoundsInaccessible", answer::False),
        StaticFn("computeSpectrum", MixerSpectrum),
        StaticAccessor("soundTransform", MixerGetTransform, MixerSetTransform),
        StaticAccessor("bufferTime", MixerGetBufferTime, MixerSetBufferTime),
    };
    vm.AddNatives(mixer, mixerNatives);
}

} // namespace avm2
