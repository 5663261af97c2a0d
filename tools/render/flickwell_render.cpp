// flickwell-render [--frame N] [--width W --height H] MOVIE.swf OUT.png
// flickwell-render --trace [--frames N] MOVIE.swf
// flickwell-render --audio OUT.wav [--seconds S] MOVIE.swf
// Draws frame N (1 = the display list after the tags up to the first ShowFrame) of a
// movie into a PNG, at the stage size in whole pixels or at W x H with showAll. With
// --trace it draws nothing: it runs N frames (the first at load, then one frame interval
// apart) and prints each trace() line to standard output; notices go to standard error.
// With --audio it writes the sound of the first S seconds (default 5) as the movie plays
// from its first frame: 44,100 Hz 16-bit stereo PCM.
// Exit 0 done, 1 a movie it cannot read (or a PNG it cannot write), 2 a wrong command line.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "player/core/engine.h"
#include "tools/render/device_font.h"
#include "tools/render/mp3_mpg123.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#include <stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace {

const char kUsage[] =
    "usage: flickwell-render [--frame N] [--width W --height H] MOVIE.swf OUT.png\n"
    "       flickwell-render --trace [--frames N] MOVIE.swf\n"
    "       flickwell-render --audio OUT.wav [--seconds S] MOVIE.swf\n";

bool Number(const char* text, long low, long high, long* out) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < low || v > high) {
        return false;
    }
    *out = v;
    return true;
}

void Put32(std::vector<uint8_t>* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out->push_back(uint8_t(v >> (8 * i)));
    }
}

// Plays the movie with the clock and the mixer in step, 10 ms at a time.
int WriteAudio(engine::Player* player, long seconds, const char* path) {
    const size_t total = size_t(seconds) * engine::kSoundRate;
    const size_t chunk = engine::kSoundRate / 100;
    std::vector<int16_t> samples(total * 2);
    player->Play(0);
    for (size_t done = 0, ms = 0; done < total; done += chunk, ms += 10) {
        if (ms > 0) {
            player->Tick(static_cast<uint32_t>(ms));
        }
        player->MixSound(samples.data() + done * 2, std::min(chunk, total - done));
    }
    std::vector<uint8_t> wav;
    const uint32_t bytes = uint32_t(samples.size() * 2);
    wav.insert(wav.end(), {'R', 'I', 'F', 'F'});
    Put32(&wav, 36 + bytes);
    wav.insert(wav.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put32(&wav, 16);
    Put32(&wav, 1 | (2u << 16)); // PCM, two channels
    Put32(&wav, engine::kSoundRate);
    Put32(&wav, engine::kSoundRate * 4);
    Put32(&wav, 4 | (16u << 16)); // block align, bits
    wav.insert(wav.end(), {'d', 'a', 't', 'a'});
    Put32(&wav, bytes);
    for (int16_t v : samples) {
        wav.push_back(uint8_t(v));
        wav.push_back(uint8_t(uint16_t(v) >> 8));
    }
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(wav.data()), std::streamsize(wav.size()));
    if (!out.flush()) {
        std::fprintf(stderr, "%s: cannot write the sound\n", path);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    long frame = 1, width = 0, height = 0, seconds = 5;
    bool trace = false;
    const char* audio = nullptr;
    std::vector<const char*> files;
    for (int i = 1; i < argc; ++i) {
        long* target = nullptr;
        long low = 1, high = 100000;
        if (std::strcmp(argv[i], "--trace") == 0) {
            trace = true;
            continue;
        }
        if (std::strcmp(argv[i], "--audio") == 0) {
            if (i + 1 >= argc) {
                std::fputs(kUsage, stderr);
                return 2;
            }
            audio = argv[++i];
            continue;
        }
        if (std::strcmp(argv[i], "--seconds") == 0) {
            target = &seconds;
            high = 3600;
        } else if (std::strcmp(argv[i], "--frame") == 0 || std::strcmp(argv[i], "--frames") == 0) {
            target = &frame;
        } else if (std::strcmp(argv[i], "--width") == 0) {
            target = &width;
            high = 16384;
        } else if (std::strcmp(argv[i], "--height") == 0) {
            target = &height;
            high = 16384;
        } else if (argv[i][0] == '-' && argv[i][1] == '-') {
            std::fputs(kUsage, stderr);
            return 2;
        } else {
            files.push_back(argv[i]);
            continue;
        }
        if (i + 1 >= argc || !Number(argv[i + 1], low, high, target)) {
            std::fputs(kUsage, stderr);
            return 2;
        }
        ++i;
    }
    const bool oneFile = trace || audio != nullptr;
    if (files.size() != (oneFile ? 1u : 2u) || (width == 0) != (height == 0) ||
        (oneFile && width != 0) || (trace && audio != nullptr)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::ifstream in(files[0], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot open the movie\n", files[0]);
        return 1;
    }
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    engine::Player player;
    flickwell::InstallDeviceFont(&player);
    player.SetMp3Decoder(flickwell::Mpg123Decoders());
    if (trace) {
        player.SetTraceSink([](const char* line) {
            std::fputs(line, stdout);
            std::fputc('\n', stdout);
        });
    }
    player.SetNoticeSink(
        [&](const char* line) { std::fprintf(stderr, "%s: %s\n", files[0], line); });
    const engine::LoadStatus status = player.Load(bytes.data(), bytes.size());
    if (status != engine::LoadStatus::Ok) {
        std::fprintf(stderr, "%s: %s\n", files[0], engine::LoadStatusText(status));
        return 1;
    }
    if (audio != nullptr) {
        return WriteAudio(&player, seconds, audio);
    }
    if (trace) {
        player.Play(0);
        const uint32_t interval = player.FrameIntervalMs();
        for (long f = 1; f < frame; ++f) {
            player.Tick(static_cast<uint32_t>(f * interval));
        }
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (width == 0) {
        width = player.StageWidthTwips() / 20;
        height = player.StageHeightTwips() / 20;
        if (width <= 0 || height <= 0 || width > 16384 || height > 16384) {
            std::fprintf(stderr, "%s: a stage of %ldx%ld pixels cannot be drawn\n", files[0], width,
                         height);
            return 1;
        }
    }
    // The clock runs exactly frame - 1 frame intervals past the start.
    player.Play(0);
    const uint32_t interval = player.FrameIntervalMs();
    for (long f = 1; f < frame; ++f) {
        player.Tick(static_cast<uint32_t>(f * interval));
    }
    std::vector<uint32_t> pixels(size_t(width) * height, 0);
    engine::Surface surface{pixels.data(), int(width), int(height), int(width)};
    player.Draw(surface, engine::Box{0, 0, int(width), int(height)});
    std::vector<uint8_t> rgb(size_t(width) * height * 3);
    for (size_t i = 0; i < pixels.size(); ++i) {
        const uint32_t p = pixels[i];
        rgb[i * 3] = uint8_t(p >> 16);
        rgb[i * 3 + 1] = uint8_t(p >> 8);
        rgb[i * 3 + 2] = uint8_t(p);
    }
    if (!stbi_write_png(files[1], int(width), int(height), 3, rgb.data(), int(width) * 3)) {
        std::fprintf(stderr, "%s: cannot write the picture\n", files[1]);
        return 1;
    }
    return 0;
}
