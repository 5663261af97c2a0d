// Pictures for the engine's tests: a reference PNG read as 0xRRGGBB pixels, and the score
// the project's compare tool gives (the share of matching pixels, within 16 levels, among
// those where either picture shows something other than the stage colour).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include <stb_image.h>

namespace enginetest {

inline std::vector<uint32_t> LoadPicture(const std::string& path, int* w, int* h) {
    int n = 0;
    stbi_uc* png = stbi_load(path.c_str(), w, h, &n, 3);
    if (png == nullptr) {
        return {};
    }
    std::vector<uint32_t> pixels(size_t(*w) * *h);
    for (size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = (uint32_t(png[i * 3]) << 16) | (uint32_t(png[i * 3 + 1]) << 8) | png[i * 3 + 2];
    }
    stbi_image_free(png);
    return pixels;
}

inline double ContentScore(const std::vector<uint32_t>& ours, const std::vector<uint32_t>& ref) {
    std::map<uint32_t, size_t> counts;
    for (uint32_t p : ref) {
        ++counts[p];
    }
    const uint32_t stage = std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) {
                               return a.second < b.second;
                           })->first;
    auto diff = [](uint32_t a, uint32_t b) {
        int d = 0;
        for (int s = 0; s < 24; s += 8) {
            d = std::max(d, std::abs(int((a >> s) & 255) - int((b >> s) & 255)));
        }
        return d;
    };
    size_t content = 0, match = 0;
    for (size_t i = 0; i < ref.size(); ++i) {
        if (diff(ours[i], stage) > 16 || diff(ref[i], stage) > 16) {
            ++content;
            match += diff(ours[i], ref[i]) <= 16;
        }
    }
    return content == 0 ? 1.0 : double(match) / content;
}

} // namespace enginetest
