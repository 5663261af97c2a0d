// ActionScript 3 script speed through the whole engine: the movie's 500 sprites moved by an
// enter-frame handler with Math calls (ms per frame for the frame's scripts and the drawing
// of the same frame), beside the same arithmetic done in C++.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "player/core/engine.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: as3_bench MOVIE.swf\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<uint8_t> movie(std::istreambuf_iterator<char>(in), {});
    engine::Player player;
    if (player.Load(movie.data(), movie.size()) != engine::LoadStatus::Ok) {
        std::fprintf(stderr, "%s: not loaded\n", argv[1]);
        return 1;
    }
    using Clock = std::chrono::steady_clock;
    std::vector<uint32_t> pixels(550 * 400);
    const engine::Surface surface{pixels.data(), 550, 400, 550};
    player.Play(0);
    const int frames = 300;
    double tick = 0, draw = 0;
    for (int f = 1; f <= frames; ++f) {
        const Clock::time_point a = Clock::now();
        player.Tick(uint32_t(f) * player.FrameIntervalMs());
        const Clock::time_point b = Clock::now();
        player.Draw(surface, engine::Box{0, 0, 550, 400});
        const Clock::time_point c = Clock::now();
        tick += std::chrono::duration<double, std::milli>(b - a).count();
        draw += std::chrono::duration<double, std::milli>(c - b).count();
    }
    // The handler's arithmetic alone, in C++.
    volatile double sink = 0;
    const Clock::time_point a = Clock::now();
    for (int f = 0; f < frames; ++f) {
        const double t = f * 0.05;
        for (int i = 0; i < 500; ++i)
            sink = sink + 275 + std::cos(t + i * 0.1) * (100 + i % 150) + 200 +
                   std::sin(t * 1.3 + i * 0.07) * (80 + i % 120) + std::fmod(t * 50 + i, 360);
    }
    const double native =
        std::chrono::duration<double, std::milli>(Clock::now() - a).count() / frames;
    std::printf("as3 500 sprites: scripts and timeline %.3f ms/frame, drawing %.3f ms/frame "
                "(550 x 400), the arithmetic in C++ %.4f ms/frame; scripts = %.0f x C++\n",
                tick / frames, draw / frames, native, tick / frames / native);
    return 0;
}
