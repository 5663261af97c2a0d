// Decoding speed of the movies named on the command line: each one's first video stream
// decoded whole (and converted to the pixels the renderer draws), the best of three rounds,
// beside the time to copy the same number of pictures of that size, on one core.
#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstring>

#include "tests/video/video_clips.h"

namespace {

// Processor time, not wall time: the machines these run on are shared, and a busy one
// would otherwise charge its other work to the decoder.
using Clock = std::clock_t;
double Seconds(Clock since) {
    return double(std::clock() - since) / CLOCKS_PER_SEC;
}
Clock Now() {
    return std::clock();
}

} // namespace

int main(int argc, char** argv) {
    std::printf("%-28s %9s %7s %9s %9s %9s %9s\n", "movie", "size", "frames", "decode ms",
                "+rgb ms", "copy ms", "x realtime");
    for (int i = 1; i < argc; ++i) {
        videotest::VideoMovie m;
        if (!m.Load(argv[i])) {
            std::printf("%-28s no video stream\n", argv[i]);
            continue;
        }
        const swf::VideoStream& d = m.stream->def;
        const double rate = m.movie.Header().frameRate / 256.0;
        const int rounds = 3;
        size_t frames = 0;
        double decode = 1e9, convert = 1e9;
        swf::Bitmap bitmap;
        for (int round = 0; round < rounds; ++round) {
            std::unique_ptr<video::Decoder> dec = video::MakeDecoder(d.codec, d.width, d.height);
            if (!dec) {
                std::printf("%-28s codec %d not decoded\n", argv[i], d.codec);
                break;
            }
            frames = 0;
            double spent = 0, spentRgb = 0;
            for (const video::StreamFrame& f : m.stream->frames) {
                auto t0 = Now();
                if (f.data == nullptr || dec->Decode(f.data, f.size) != video::Status::Ok) {
                    continue;
                }
                spent += Seconds(t0);
                auto t1 = Now();
                video::ToBitmap(dec->Current(), false, &bitmap);
                spentRgb += Seconds(t1);
                ++frames;
            }
            decode = std::min(decode, spent);
            convert = std::min(convert, spentRgb);
        }
        if (frames == 0) {
            continue;
        }
        // Copying the same pictures: what showing pre-decoded frames would cost.
        std::vector<uint32_t> from(size_t(d.width) * d.height, 0x12345678), to(from.size());
        double copy = 1e9;
        for (int round = 0; round < rounds; ++round) {
            auto t0 = Now();
            for (size_t f = 0; f < frames; ++f) {
                from[f % from.size()] = uint32_t(f);
                std::memcpy(to.data(), from.data(), from.size() * 4);
            }
            copy = std::min(copy, Seconds(t0) + (to[frames % to.size()] & 0) * 1e-9);
        }
        const double realtime = frames / rate / (decode + convert);
        char size[32];
        std::snprintf(size, sizeof size, "%dx%d", d.width, d.height);
        std::printf("%-28s %9s %7zu %9.1f %9.1f %9.1f %9.1f\n", argv[i], size, frames, decode * 1e3,
                    (decode + convert) * 1e3, copy * 1e3, realtime);
    }
    return 0;
}
