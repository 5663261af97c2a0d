// flickwell-bench [--size WxH] [--threads N,N,...] [--frames N] MOVIE.swf...: for each movie
// and each drawing thread count (0: as many as the machine has), the median time to advance one
// frame and draw it at 1920 x 1080 or the size given (drawing only when the frame changed, as a
// host does, and again drawing every frame), beside the time to clear and copy that surface
// once (the memory floor), all measured in the same run. Times are wall-clock: drawing
// threads run side by side, and on a shared machine other programs' turns count too, so the
// floor is measured between the movies' runs and their median is the column. "cpu ms" is
// the processor time of all the process's threads for a drawn frame: the work, whatever
// else the machine runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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
int kFrames = 60;

double Now() {
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double ProcessorNow() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Advances frame by frame; `always` draws even when nothing changed. The median wall time,
// and the median processor time in `cpu`.
double Run(const std::vector<uint8_t>& bytes, int threads, bool always,
           std::vector<uint32_t>* pixels, double* cpu = nullptr) {
    engine::Player player;
    flickwell::InstallDeviceFont(&player);
    if (threads > 0) {
        player.SetDrawThreads(threads);
    }
    player.Load(bytes.data(), bytes.size());
    player.Play(0);
    const engine::Surface surface{pixels->data(), kWidth, kHeight, kWidth};
    const engine::Box all{0, 0, kWidth, kHeight};
    player.Draw(surface, all);
    std::vector<double> times, work;
    for (int f = 1; f <= kFrames; ++f) {
        const double t0 = Now(), c0 = ProcessorNow();
        if (player.Tick(f * player.FrameIntervalMs()) || always) {
            player.Draw(surface, all);
        }
        times.push_back(Now() - t0);
        work.push_back(ProcessorNow() - c0);
    }
    if (cpu != nullptr) {
        *cpu = Median(work);
    }
    return Median(times);
}

// The memory floor: clearing the surface and copying it once.
double Floor(std::vector<uint32_t>* pixels, std::vector<uint32_t>* copy) {
    std::vector<double> times;
    for (int i = 0; i < 30; ++i) {
        const double t0 = Now();
        std::fill(pixels->begin(), pixels->end(), 0xFF000000u | uint32_t(i));
        std::memcpy(copy->data(), pixels->data(), pixels->size() * 4);
        times.push_back(Now() - t0);
    }
    return Median(times);
}

} // namespace

int main(int argc, char** argv) {
    int first = 1;
    std::vector<int> threads{0};
    while (first + 1 < argc && argv[first][0] == '-') {
        if (std::strcmp(argv[first], "--size") == 0) {
            if (std::sscanf(argv[first + 1], "%dx%d", &kWidth, &kHeight) != 2 || kWidth < 1 ||
                kHeight < 1 || kWidth > 16384 || kHeight > 16384) {
                std::fputs("flickwell-bench: --size takes WIDTHxHEIGHT\n", stderr);
                return 2;
            }
        } else if (std::strcmp(argv[first], "--threads") == 0) {
            threads.clear();
            for (const char* p = argv[first + 1]; *p != 0;) {
                char* end;
                const long n = std::strtol(p, &end, 10);
                if (end == p || n < 0 || n > engine::Player::kMaxDrawThreads) {
                    std::fputs("flickwell-bench: --threads takes counts 0-16 (0: all)\n", stderr);
                    return 2;
                }
                threads.push_back(int(n));
                p = *end == ',' ? end + 1 : end;
            }
        } else if (std::strcmp(argv[first], "--frames") == 0) {
            // Fewer frames for instruction counts under a simulator, where load does not count.
            kFrames = std::atoi(argv[first + 1]);
            if (kFrames < 1 || kFrames > 100000) {
                std::fputs("flickwell-bench: --frames takes 1-100000\n", stderr);
                return 2;
            }
        } else {
            break;
        }
        first += 2;
    }
    if (argc <= first || threads.empty()) {
        std::fputs(
            "usage: flickwell-bench [--size WxH] [--threads N,...] [--frames N] MOVIE.swf...\n",
            stderr);
        return 2;
    }
    std::vector<uint32_t> pixels(size_t(kWidth) * kHeight), copy(pixels.size());
    std::vector<double> floors{Floor(&pixels, &copy)};
    struct Row {
        std::string name;
        int threads;
        double frame, drawn, cpu;
    };
    std::vector<Row> rows;
    for (int i = first; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
        std::string name = argv[i];
        name = name.substr(name.find_last_of('/') + 1);
        for (int n : threads) {
            const double frame = Run(bytes, n, false, &pixels);
            double cpu = 0;
            const double drawn = Run(bytes, n, true, &pixels, &cpu);
            rows.push_back(Row{name, n, frame, drawn, cpu});
            floors.push_back(Floor(&pixels, &copy));
        }
    }
    const double floorMs = Median(floors);
    char title[64];
    std::snprintf(title, sizeof title, "movie (%dx%d)", kWidth, kHeight);
    std::printf("%-40s %7s %10s %10s %10s %10s %8s\n", title, "threads", "frame ms", "drawn ms",
                "cpu ms", "floor ms", "x floor");
    for (const Row& r : rows) {
        const std::string count = r.threads > 0 ? std::to_string(r.threads) : "all";
        std::printf("%-40s %7s %10.2f %10.2f %10.2f %10.2f %8.1f\n", r.name.c_str(), count.c_str(),
                    r.frame, r.drawn, r.cpu, floorMs, r.drawn / floorMs);
    }
    return 0;
}
