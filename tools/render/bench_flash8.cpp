// flickwell-bench-flash8: Flash 8's heaviest pixel work timed beside the memory floor of
// the same surface, in one run: BitmapData.perlinNoise on 512 x 512 with 8 octaves, and a
// blur filter over a whole 1920 x 1080 stage. Processor time of this thread, medians.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "player/core/render/bitmap_ops.h"
#include "player/core/render/filters.h"

namespace {

double Now() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

template <typename F> double Median(int runs, F f) {
    std::vector<double> v;
    for (int i = 0; i < runs; ++i) {
        const double t0 = Now();
        f(i);
        v.push_back(Now() - t0);
    }
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Clearing and copying a surface of `pixels`: what touching it once costs.
double Floor(size_t pixels) {
    std::vector<uint32_t> a(pixels), b(pixels);
    return Median(15, [&](int i) {
        std::fill(a.begin(), a.end(), 0xFF000000u | uint32_t(i));
        std::memcpy(b.data(), a.data(), a.size() * 4);
    });
}

void Row(const char* what, double ms, double floorMs) {
    std::printf("%-44s %10.2f %10.3f %10.1f\n", what, ms, floorMs, ms / floorMs);
}

} // namespace

int main() {
    std::printf("%-44s %10s %10s %10s\n", "operation", "ms", "floor ms", "x floor");
    render::ScriptBitmap noise;
    render::MakeScriptBitmap(512, 512, false, 0, &noise);
    const double noiseFloor = Floor(512 * 512);
    const double perlin = Median(3, [&](int i) {
        render::PerlinNoise(&noise, 100, 100, 8, i + 1, false, true, 7, false, {}, nullptr);
    });
    Row("perlinNoise 512x512, 8 octaves, colour", perlin, noiseFloor);
    const double gray = Median(3, [&](int i) {
        render::PerlinNoise(&noise, 100, 100, 8, i + 1, true, false, 7, true, {}, nullptr);
    });
    Row("perlinNoise 512x512, 8 octaves, grey, stitched", gray, noiseFloor);

    const int w = 1920, h = 1080;
    std::vector<uint32_t> layer(size_t(w) * h);
    const double stageFloor = Floor(layer.size());
    const struct {
        const char* name;
        float blur;
        int quality;
    } blurs[] = {{"blur 4 x 4, quality 1, whole stage", 4, 1},
                 {"blur 16 x 16, quality 3, whole stage", 16, 3}};
    for (const auto& b : blurs) {
        swf::Filter f;
        f.kind = swf::FilterKind::Blur;
        f.blurX = f.blurY = b.blur;
        f.passes = b.quality;
        const double ms = Median(5, [&](int) {
            std::fill(layer.begin(), layer.end(), 0xFF336699u);
            render::Canvas canvas{layer.data(), nullptr, w, h, w, nullptr};
            render::PixelBox box{0, 0, w, h};
            render::ApplyFilters({f}, 1, &canvas, &box);
        });
        Row(b.name, ms, stageFloor);
    }
    return 0;
}
