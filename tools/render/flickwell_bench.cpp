// flickwell-bench [--size WxH] MOVIE.swf...: for each movie, the median time to advance
// one frame and draw it at 1920 x 1080 or the size given (drawing only when the frame changed, as a
// host does, and again drawing every frame), beside the time to clear and copy that surface once
// (the memory floor), all measured in the same run as processor time of the drawing thread.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "player/core/engine.h"
#include "tools/render/device_font.h"

namespace {

int kWidth = 1920, kHeight = 1080;
const int kFrames = 60;

// This thread's processor time: the machine is shared, so wall time would count other
// programs' turns too.
double Now() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Advances frame by frame; `always` draws even when nothing changed.
double Run(const std::vector<uint8_t>& bytes, bool always, std::vector<uint32_t>* pixels) {
    engine::Player player;
    flickwell::InstallDeviceFont(&player);
    player.Load(bytes.data(), bytes.size());
    player.Play(0);
    const engine::Surface surface{pixels->data(), kWidth, kHeight, kWidth};
    const engine::Box all{0, 0, kWidth, kHeight};
    player.Draw(surface, all);
    std::vector<double> times;
    for (int f = 1; f <= kFrames; ++f) {
        const double t0 = Now();
        if (player.Tick(f * player.FrameIntervalMs()) || always) {
            player.Draw(surface, all);
        }
        times.push_back(Now() - t0);
    }
    return Median(times);
}

} // namespace

int main(int argc, char** argv) {
    int first = 1;
    if (argc > 2 && std::strcmp(argv[1], "--size") == 0) {
        if (std::sscanf(argv[2], "%dx%d", &kWidth, &kHeight) != 2 || kWidth < 1 || kHeight < 1 ||
            kWidth > 16384 || kHeight > 16384) {
            std::fputs("flickwell-bench: --size takes WIDTHxHEIGHT\n", stderr);
            return 2;
        }
        first = 3;
    }
    if (argc <= first) {
        std::fputs("usage: flickwell-bench [--size WxH] MOVIE.swf...\n", stderr);
        return 2;
    }
    std::vector<uint32_t> pixels(size_t(kWidth) * kHeight), copy(pixels.size());
    std::vector<double> floor;
    for (int i = 0; i < 30; ++i) {
        const double t0 = Now();
        std::fill(pixels.begin(), pixels.end(), 0xFF000000u | uint32_t(i));
        std::memcpy(copy.data(), pixels.data(), pixels.size() * 4);
        floor.push_back(Now() - t0);
    }
    const double floorMs = Median(floor);
    char title[64];
    std::snprintf(title, sizeof title, "movie (%dx%d)", kWidth, kHeight);
    std::printf("%-40s %10s %10s %10s %8s\n", title, "frame ms", "drawn ms", "floor ms", "x floor");
    for (int i = first; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
        const double frame = Run(bytes, false, &pixels);
        const double drawn = Run(bytes, true, &pixels);
        std::string name = argv[i];
        name = name.substr(name.find_last_of('/') + 1);
        std::printf("%-40s %10.2f %10.2f %10.2f %8.1f\n", name.c_str(), frame, drawn, floorMs,
                    drawn / floorMs);
    }
    return 0;
}
