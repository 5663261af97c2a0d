// The movie's sound through the engine: scripts' Sound objects, a stream setting the main
// timeline's pace, the bounds on voices, the sound tags read as data. What plays, format by
// format, is checked end to end by sound/sound_check.py.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "player/core/engine.h"
#include "player/core/sound/codecs.h"
#include "player/core/sound/library.h"
#include "player/core/sound/mixer.h"

namespace {

std::vector<uint8_t> ReadMovie(const std::string& name) {
    std::ifstream in(std::string(FLICKWELL_OWN_MOVIES_DIR) + "/sound/" + name + ".swf",
                     std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Plays a movie as a host with a sound device does: every `tickMs` the clock, then
// `mixMs` of sound. Gives the sound; the trace lines and frames go to the out-parameters.
struct Played {
    std::vector<int16_t> sound; // stereo
    std::vector<std::string> traces, notices;
    std::vector<uint32_t> frames; // after each tick
};
Played Play(const std::string& name, int ticks, int tickMs, int mixMs) {
    Played run;
    engine::Player player;
    player.SetTraceSink([&](const char* line) { run.traces.push_back(line); });
    player.SetNoticeSink([&](const char* line) { run.notices.push_back(line); });
    const std::vector<uint8_t> movie = ReadMovie(name);
    EXPECT_EQ(player.Load(movie.data(), movie.size()), engine::LoadStatus::Ok) << name;
    player.Play(0);
    const size_t frames = size_t(engine::kSoundRate) * mixMs / 1000;
    for (int i = 0; i < ticks; ++i) {
        if (i > 0) {
            player.Tick(uint32_t(i * tickMs));
        }
        run.frames.push_back(player.CurrentFrame());
        run.sound.resize(run.sound.size() + frames * 2);
        player.MixSound(run.sound.data() + run.sound.size() - frames * 2, frames);
    }
    return run;
}

// The loudest sample of one channel between two times.
int Peak(const std::vector<int16_t>& sound, int channel, double from, double to) {
    int peak = 0;
    const size_t end = std::min(sound.size() / 2, size_t(to * engine::kSoundRate));
    for (size_t i = size_t(from * engine::kSoundRate); i < end; ++i) {
        peak = std::max(peak, std::abs(int(sound[i * 2 + channel])));
    }
    return peak;
}

TEST(Sound, SoundObject) {
    const Played run = Play("sound_object", 10, 100, 100);
    // duration in ms, volume and pan read back; onSoundComplete after two loops of 0.2 s.
    ASSERT_EQ(run.traces, (std::vector<std::string>{"200", "50", "-40", "done"}));
    // Half volume; panned left: the right speaker at 60% of that.
    EXPECT_NEAR(Peak(run.sound, 0, 0.0, 0.4), 6000, 200);
    EXPECT_NEAR(Peak(run.sound, 1, 0.0, 0.4), 3600, 200);
    EXPECT_EQ(Peak(run.sound, 0, 0.45, 1.0), 0);
    EXPECT_NE(std::find_if(run.notices.begin(), run.notices.end(),
                           [](const std::string& n) { return n.find("loadSound") != n.npos; }),
              run.notices.end());
}

// ActionScript 3 (tools/as3/SoundScript.hx): a library sound bound to a class, played on
// channels. Each window is heard whole between the frames that change it (100 ms a frame).
TEST(Sound, As3Channels) {
    const Played run = Play("as3_sound", 26, 100, 100);
    const std::vector<std::string> want = {
        "200 4410 4410 false null [object ID3Info] null",
        "1 0 1 0 0 1",
        "0 1.4142135623730951 1",
        "0",
        "channels 32",
        "true true",
        "0 0 0 0",
        "0",
        "4000 4820 70560 0.37 0",
        "true cgnull",
        "1000 false",
        "2500",
        "2048 0 0",
        "1000 false 5 true",
        "0.5 1.18 0.77 0",
        "2007",
        "complete A [object SoundChannel] 400 3",
        // The mix's wave, spectrum and the channel's peaks while only the right speaker sounds,
        // at 0.13.
        "wave 0 0.13 spectrum 0 0.78 11 peaks 0 0.13",
        "stretched true",
        "stopped B true",
        "complete C 16 200",
        "stopped all 0.5",
    };
    EXPECT_EQ(run.traces, want);
    struct Window {
        const char* what;
        double from, to;
        int left, right; // loudest sample heard, within 1%
    } windows[] = {
        {"twice over, half volume, panned left", 0.0, 0.4, 7080, 4620},
        {"again from its end, full", 0.4, 0.8, 12000, 12000},
        {"a quarter, panned right, while it plays", 0.8, 1.2, 0, 4230},
        {"stopped", 1.2, 1.5, 0, 0},
        {"the movie's mix at half", 1.5, 1.7, 6000, 6000},
        {"nothing between", 1.7, 1.8, 0, 0},
        {"ten times over, until stopAll", 1.8, 2.0, 6000, 6000},
        {"after stopAll", 2.0, 2.6, 0, 0},
    };
    for (const Window& w : windows) {
        EXPECT_NEAR(Peak(run.sound, 0, w.from, w.to), w.left, w.left / 100 + 1) << w.what;
        EXPECT_NEAR(Peak(run.sound, 1, w.from, w.to), w.right, w.right / 100 + 1) << w.what;
    }
    const auto said = [&](const char* text) {
        return std::find_if(run.notices.begin(), run.notices.end(), [&](const std::string& n) {
                   return n.find(text) != n.npos;
               }) != run.notices.end();
    };
    EXPECT_TRUE(said("Sound.load"));
}

TEST(Sound, StopAllSoundsAction) {
    const Played run = Play("stop_all", 10, 100, 100);
    EXPECT_GT(Peak(run.sound, 0, 0.0, 0.2), 10000);
    EXPECT_EQ(Peak(run.sound, 0, 0.25, 1.0), 0); // stopped at the third frame
}

TEST(Sound, StreamSetsThePace) {
    struct Case {
        const char* what;
        int tickMs, mixMs;
        uint32_t frameAfter; // after 5 ticks (0-based frame)
    };
    const Case cases[] = {
        {"the clock and the sound agree", 100, 100, 5},
        // The sound runs twice as fast as the clock: the frames follow the sound.
        {"sound ahead", 100, 200, 10},
        // Drawing falls behind (ticks 300 ms apart): frames are dropped, not sound.
        {"drawing behind", 300, 300, 15},
        // No sound pulled at all: the clock alone.
        {"no sound", 100, 0, 5},
    };
    for (const Case& c : cases) {
        const Played run = Play("stream_sync", 6, c.tickMs, c.mixMs);
        EXPECT_NEAR(run.frames[5], c.frameAfter, 1) << c.what;
        if (c.mixMs > 0 && c.tickMs == 300) {
            // The stream is one second long and plays whole, with no gap.
            int gaps = 0;
            for (double t = 0.0; t < 0.95; t += 0.05) {
                gaps += Peak(run.sound, 0, t, t + 0.05) < 10000;
            }
            EXPECT_EQ(gaps, 0) << c.what;
        }
    }
}

TEST(Sound, ButtonSoundsAreRead) {
    const std::vector<uint8_t> bytes = ReadMovie("button_sounds");
    swf::Movie movie;
    ASSERT_EQ(swf::ReadMovie(bytes.data(), bytes.size(), &movie), swf::ReadStatus::Ok);
    sound::Library library;
    library.Load(movie);
    const swf::ButtonSounds* b = library.Button(3);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->soundIds[swf::kOverToUp], 0);
    EXPECT_EQ(b->soundIds[swf::kUpToOver], 1);
    EXPECT_EQ(library.Button(4), nullptr); // cut short: skipped, and said
    EXPECT_EQ(library.Skipped(), 1u);
}

// MP3 frame headers as streams are cut into frames by: the size from each version's own
// bit rate table (padding one byte more), rates halved for MPEG 2 and quartered for 2.5;
// free format, reserved fields and other layers are refused.
TEST(Sound, Mp3HeadersGiveTheFrameSize) {
    const struct {
        const char* what;
        uint8_t b1, b2, b3;
        size_t available;
        bool read;
        int rate, channels, samples;
        size_t size;
    } rows[] = {
        {"MPEG 1, 128 kbit/s, 44100 Hz", 0xFB, 0x90, 0x00, 4, true, 44100, 2, 1152, 417},
        {"padded", 0xFB, 0x92, 0x00, 4, true, 44100, 2, 1152, 418},
        {"320 kbit/s, 48000 Hz, mono", 0xFB, 0xE4, 0xC0, 4, true, 48000, 1, 1152, 960},
        {"32 kbit/s, 32000 Hz", 0xFB, 0x18, 0x40, 4, true, 32000, 2, 1152, 144},
        {"MPEG 2, 40 kbit/s, 22050 Hz", 0xF3, 0x50, 0x00, 4, true, 22050, 2, 576, 130},
        {"MPEG 2, 8 kbit/s, 24000 Hz", 0xF3, 0x14, 0xC0, 4, true, 24000, 1, 576, 24},
        {"MPEG 2, 160 kbit/s, 16000 Hz", 0xF3, 0xE8, 0x00, 4, true, 16000, 2, 576, 720},
        {"MPEG 2.5, 64 kbit/s, 11025 Hz", 0xE3, 0x80, 0x00, 4, true, 11025, 2, 576, 417},
        {"MPEG 2.5, 8 kbit/s, 8000 Hz", 0xE3, 0x18, 0x00, 4, true, 8000, 2, 576, 72},
        {"three bytes", 0xFB, 0x90, 0x00, 3, false, 0, 0, 0, 0},
        {"sync cut short", 0xDB, 0x90, 0x00, 4, false, 0, 0, 0, 0},
        {"reserved version", 0xEB, 0x90, 0x00, 4, false, 0, 0, 0, 0},
        {"layer II", 0xFD, 0x90, 0x00, 4, false, 0, 0, 0, 0},
        {"layer I", 0xFF, 0x90, 0x00, 4, false, 0, 0, 0, 0},
        {"free format", 0xFB, 0x00, 0x00, 4, false, 0, 0, 0, 0},
        {"bit rate 15", 0xFB, 0xF0, 0x00, 4, false, 0, 0, 0, 0},
        {"rate 3", 0xFB, 0x9C, 0x00, 4, false, 0, 0, 0, 0},
    };
    for (const auto& r : rows) {
        const uint8_t header[4] = {0xFF, r.b1, r.b2, r.b3};
        sound::Mp3Frame f;
        ASSERT_EQ(sound::ReadMp3Header(header, r.available, &f), r.read) << r.what;
        if (r.read) {
            EXPECT_EQ(f.rate, r.rate) << r.what;
            EXPECT_EQ(f.channels, r.channels) << r.what;
            EXPECT_EQ(f.samples, r.samples) << r.what;
            EXPECT_EQ(f.size, r.size) << r.what;
        }
    }
}

// A sound bound to an ActionScript 3 class (SymbolClass) is found by that class's exact name,
// and only by it: the class is not an export name.
TEST(Sound, SoundsFoundByTheirClass) {
    const std::vector<uint8_t> bytes = ReadMovie("as3_sound");
    swf::Movie movie;
    ASSERT_EQ(swf::ReadMovie(bytes.data(), bytes.size(), &movie), swf::ReadStatus::Ok);
    sound::Library library;
    library.Load(movie);
    const struct {
        const char* name;
        bool byClass, found;
    } rows[] = {
        {"Beep", true, true},
        {"beep", true, false}, // class names keep their case
        {"", true, false},
        {"Beep", false, false},
    };
    for (const auto& r : rows) {
        const sound::EventSound* e = r.byClass ? library.OfClass(r.name) : library.Exported(r.name);
        EXPECT_EQ(e != nullptr, r.found) << r.name << (r.byClass ? " by class" : " by export");
    }
    EXPECT_EQ(library.OfClass("Beep")->def.sampleCount, 2205u);
}

// A sound's in and out points and its declared length bound each loop, at their edges: the
// next loop starts with the sample at the in-point right after the last one before the end.
TEST(Sound, LoopsPlayFromTheInPointToJustBeforeTheEnd) {
    std::vector<int16_t> samples(1000);
    for (size_t j = 0; j < samples.size(); ++j) {
        samples[j] = int16_t(8 * (j + 1));
    }
    const struct {
        const char* what;
        bool hasIn, hasOut;
        uint32_t in, out, sampleCount;
        uint16_t loops;
        uint32_t first, last; // of each loop, the last left out; first == last: silence
    } rows[] = {
        {"out-point", false, true, 0, 100, 0, 3, 0, 100},
        {"in and out", true, true, 10, 100, 0, 2, 10, 100},
        {"declared length", false, false, 0, 0, 50, 2, 0, 50},
        {"out-point past the declared length", false, true, 0, 60, 50, 2, 0, 50},
        {"declared length past the out-point", false, true, 0, 40, 50, 2, 0, 40},
        {"out-point at the start", false, true, 0, 0, 0, 2, 0, 0},
        {"in-point at the out-point", true, true, 50, 50, 0, 2, 50, 50},
        {"one sample", true, true, 49, 50, 0, 3, 49, 50},
    };
    for (const auto& r : rows) {
        sound::EventSound s;
        s.def.format.rate = 44100;
        s.def.sampleCount = r.sampleCount;
        s.data = reinterpret_cast<const uint8_t*>(samples.data());
        s.size = uint32_t(samples.size() * 2);
        swf::SoundInfo info;
        info.hasIn = r.hasIn;
        info.hasOut = r.hasOut;
        info.in = r.in;
        info.out = r.out;
        info.loops = r.loops;
        sound::Mixer mixer;
        ASSERT_NE(mixer.Start(&s, info, 0), 0u) << r.what;
        std::vector<int16_t> out(2 * 600);
        mixer.Mix(out.data(), 600);
        const size_t length = r.last - r.first, played = length * r.loops;
        for (size_t i = 0; i < played; ++i) {
            ASSERT_EQ(out[2 * i], samples[r.first + i % length]) << r.what << " at " << i;
        }
        for (size_t i = played; i < 600; ++i) {
            ASSERT_EQ(out[2 * i], 0) << r.what << " at " << i;
        }
    }
}

// Voices and decoded memory are bounded whatever the movie asks.
TEST(Sound, VoicesAreBounded) {
    std::vector<uint8_t> pcm(20000, 0x40);
    sound::EventSound s;
    s.def.format.coding = swf::SoundCoding::PcmLittle;
    s.def.format.rate = 44100;
    s.data = pcm.data();
    s.size = uint32_t(pcm.size());
    sound::Mixer mixer;
    swf::SoundInfo info;
    int started = 0;
    for (int i = 0; i < 5000; ++i) {
        started += mixer.Start(&s, info, 0) != 0;
    }
    EXPECT_EQ(size_t(started), sound::kMaxVoices);
    std::vector<int16_t> out(2 * 4410);
    mixer.Mix(out.data(), 4410);
    EXPECT_LE(mixer.BytesHeld(), sound::kMaxDecodedBytes);
    EXPECT_EQ(out[100], 32767); // 32 voices of 0x4040 clip, and nothing worse happens
    // Looping a sound whose in-point lies past its end gives nothing, once, not 65535 times.
    sound::Mixer other;
    info.hasIn = true;
    info.in = 1000000;
    info.loops = 65535;
    ASSERT_NE(other.Start(&s, info, 0), 0u);
    other.Mix(out.data(), 4410);
    EXPECT_EQ(other.Voices(), 0u);
}

} // namespace
