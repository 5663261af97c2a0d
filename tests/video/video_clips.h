// Video test clips made at test time by ffmpeg (a test tool): SWF movies written by its own
// muxer, and its decoding of them as the independent reference. Tests skip without it.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "player/core/swf/movie_reader.h"
#include "player/core/timeline/dictionary.h"
#include "player/core/video/playback.h"

namespace videotest {

inline bool HaveFfmpeg() {
    return std::system("ffmpeg -version >/dev/null 2>&1") == 0;
}

inline bool Ffmpeg(const std::string& args) {
    return std::system(("ffmpeg -v error -y " + args + " </dev/null").c_str()) == 0;
}

inline std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>{std::istreambuf_iterator<char>(in), {}};
}

// A movie read and loaded, with its first video stream.
struct VideoMovie {
    std::vector<uint8_t> bytes;
    swf::Movie movie;
    timeline::LoadedMovie loaded;
    std::shared_ptr<video::Stream> stream;
    bool Load(const std::string& path) {
        bytes = ReadAll(path);
        if (swf::ReadMovie(bytes.data(), bytes.size(), &movie) != swf::ReadStatus::Ok) {
            return false;
        }
        timeline::LoadMovie(movie, &loaded);
        for (uint16_t id = 0; id < 16 && !stream; ++id) {
            const timeline::Character* c = loaded.dictionary.Find(id);
            if (c != nullptr && c->kind == timeline::Kind::Video) {
                stream = c->video;
            }
        }
        return stream != nullptr;
    }
    // Every frame of the stream decoded in order, as the reference for seeks and loops.
    bool DecodeAll(std::vector<swf::Bitmap>* frames) const {
        const swf::VideoStream& d = stream->def;
        std::unique_ptr<video::Decoder> dec = video::MakeDecoder(d.codec, d.width, d.height);
        for (const video::StreamFrame& f : stream->frames) {
            if (!dec || dec->Decode(f.data, f.size) != video::Status::Ok) {
                return false;
            }
            frames->emplace_back();
            video::ToBitmap(dec->Current(), false, &frames->back());
        }
        return true;
    }
};

inline bool Same(const swf::Bitmap* a, const swf::Bitmap& b) {
    return a != nullptr && a->width == b.width && a->height == b.height && a->pixels == b.pixels;
}

// Plays frame 0, then `frame`, of a fresh playback: true when it shows `expected` (or, when
// that is null, nothing). A negative `deblocking` leaves the stream's own choice.
inline bool ShowsAfterFirst(std::shared_ptr<const video::Stream> stream, uint32_t frame,
                            const swf::Bitmap* expected, int deblocking = -1) {
    video::Budget budget;
    video::Playback p(std::move(stream), &budget);
    if (deblocking >= 0) {
        p.SetDeblocking(deblocking);
    }
    p.Show(0);
    const swf::Bitmap* shown = p.Show(frame);
    return expected == nullptr ? shown == nullptr : Same(shown, *expected);
}

// Peak signal to noise ratio of two equal-sized sample runs, in dB (99 when equal).
inline double Psnr(const uint8_t* a, const uint8_t* b, size_t n) {
    double sum = 0;
    for (size_t i = 0; i < n; ++i) {
        const double d = double(a[i]) - double(b[i]);
        sum += d * d;
    }
    return sum == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * n / sum);
}

// One plane of a picture cropped to its shown size.
inline std::vector<uint8_t> Crop(const std::vector<uint8_t>& plane, int stride, int w, int h) {
    std::vector<uint8_t> out;
    for (int j = 0; j < h; ++j) {
        out.insert(out.end(), plane.begin() + size_t(j) * stride,
                   plane.begin() + size_t(j) * stride + w);
    }
    return out;
}

// A decoded picture as ffmpeg writes it raw: yuv420p planes, or bgr24.
inline std::vector<uint8_t> Raw(const video::Picture& p) {
    std::vector<uint8_t> out;
    if (p.format == video::Picture::Format::Rgb) {
        for (uint32_t c : p.rgb) {
            out.push_back(uint8_t(c));
            out.push_back(uint8_t(c >> 8));
            out.push_back(uint8_t(c >> 16));
        }
        return out;
    }
    const int cw = (p.width + 1) / 2, ch = (p.height + 1) / 2;
    for (const auto& plane :
         {Crop(p.y, p.stride, p.width, p.height), Crop(p.u, p.chromaStride, cw, ch),
          Crop(p.v, p.chromaStride, cw, ch)}) {
        out.insert(out.end(), plane.begin(), plane.end());
    }
    return out;
}

} // namespace videotest
