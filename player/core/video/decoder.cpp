#include "player/core/video/decoder.h"

#include <algorithm>

#include "player/core/swf/reserve.h"
#include "player/core/video/h263.h"
#include "player/core/video/screen_video.h"
#include "player/core/video/vp6.h"

namespace video {

namespace {

inline uint8_t Clip(int v) {
    return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// BT.601 limited range in 8.8 fixed point: 1.164 (luma), 1.596, 0.813, 0.391, 2.018.
struct YuvTables {
    int luma[256], rv[256], gu[256], gv[256], bu[256];
    uint8_t clip[1024]; // (sum >> 8) + 384, saturated
    YuvTables() {
        for (int i = 0; i < 1024; ++i) {
            clip[i] = Clip(i - 384);
        }
        for (int i = 0; i < 256; ++i) {
            luma[i] = 298 * (i - 16) + 128;
            rv[i] = 409 * (i - 128);
            gu[i] = -100 * (i - 128);
            gv[i] = -208 * (i - 128);
            bu[i] = 516 * (i - 128);
        }
    }
};

// Flash's post-filter for blocky pictures, on a copy of the luma plane: small steps
// across 8x8 block edges are evened out, real edges (large steps) kept.
void Deblock(const Picture& p, std::vector<uint8_t>* out) {
    *out = p.y;
    uint8_t* y = out->data();
    const int s = p.stride;
    const int kThreshold = 24;
    auto smooth = [&](uint8_t* a, uint8_t* b, uint8_t* c, uint8_t* d) { // a b | c d
        const int step = *c - *b;
        if (step > -kThreshold && step < kThreshold) {
            const int delta = (3 * step + (*a - *d)) / 8;
            *b = Clip(*b + delta);
            *c = Clip(*c - delta);
        }
    };
    for (int j = 0; j < p.height; ++j) {
        for (int x = 8; x + 1 < p.width; x += 8) {
            uint8_t* r = y + size_t(j) * s + x;
            smooth(r - 2, r - 1, r, r + 1);
        }
    }
    for (int j = 8; j + 1 < p.height; j += 8) {
        for (int x = 0; x < p.width; ++x) {
            uint8_t* r = y + size_t(j) * s + x;
            smooth(r - 2 * s, r - s, r, r + s);
        }
    }
}

} // namespace

bool Picture::AllocateYuv(int w, int h, int codedW, int codedH, bool alpha) {
    const size_t luma = size_t(codedW) * codedH;
    if (!memory::Obtainable(luma * (alpha ? 3 : 2))) {
        return false;
    }
    format = Format::Yuv420;
    width = w;
    height = h;
    stride = codedW;
    rows = codedH;
    chromaStride = (codedW + 1) / 2;
    chromaRows = (codedH + 1) / 2;
    y.resize(size_t(stride) * rows);
    u.resize(size_t(chromaStride) * chromaRows);
    v.resize(u.size());
    a.resize(alpha ? y.size() : 0);
    return true;
}

size_t Picture::Bytes() const {
    return y.size() + u.size() + v.size() + a.size() + rgb.size() * 4;
}

std::unique_ptr<Decoder> MakeDecoder(uint8_t codec, int maxWidth, int maxHeight) {
    switch (static_cast<swf::VideoCodec>(codec)) {
    case swf::VideoCodec::H263:
        return std::unique_ptr<Decoder>(new H263Decoder(maxWidth, maxHeight));
    case swf::VideoCodec::ScreenVideo:
        return std::unique_ptr<Decoder>(new ScreenVideoDecoder(1, maxWidth, maxHeight));
    case swf::VideoCodec::ScreenVideo2:
        return std::unique_ptr<Decoder>(new ScreenVideoDecoder(2, maxWidth, maxHeight));
    case swf::VideoCodec::Vp6:
    case swf::VideoCodec::Vp6Alpha:
        return std::unique_ptr<Decoder>(
            new Vp6Decoder(codec == uint8_t(swf::VideoCodec::Vp6Alpha), maxWidth, maxHeight));
    default:
        return nullptr;
    }
}

bool FrameSize(uint8_t codec, const uint8_t* data, size_t size, int* width, int* height) {
    switch (static_cast<swf::VideoCodec>(codec)) {
    case swf::VideoCodec::H263: {
        H263Header h;
        size_t used = 0;
        if (!ReadH263Header(data, size, &h, &used)) {
            return false;
        }
        *width = h.width;
        *height = h.height;
        return true;
    }
    case swf::VideoCodec::ScreenVideo:
    case swf::VideoCodec::ScreenVideo2:
        return ScreenFrameSize(data, size, width, height);
    case swf::VideoCodec::Vp6:
    case swf::VideoCodec::Vp6Alpha:
        return Vp6FrameSize(codec == uint8_t(swf::VideoCodec::Vp6Alpha), data, size, width, height);
    default:
        return false;
    }
}

bool IsKeyframe(uint8_t codec, const uint8_t* data, size_t size) {
    switch (static_cast<swf::VideoCodec>(codec)) {
    case swf::VideoCodec::H263: {
        H263Header h;
        size_t used = 0;
        return ReadH263Header(data, size, &h, &used) && h.type == 0;
    }
    case swf::VideoCodec::ScreenVideo:
        return ScreenKeyframe(1, data, size);
    case swf::VideoCodec::ScreenVideo2:
        return ScreenKeyframe(2, data, size);
    case swf::VideoCodec::Vp6:
    case swf::VideoCodec::Vp6Alpha:
        // A VideoFrame holds the VP6 frame itself (the crop byte is FLV's, not SWF's).
        return Vp6Keyframe(codec == uint8_t(swf::VideoCodec::Vp6Alpha), data, size);
    default:
        return false;
    }
}

void ToBitmap(const Picture& p, bool deblock, swf::Bitmap* out) {
    if (!memory::Obtainable<uint32_t>(size_t(p.width) * p.height)) {
        *out = swf::Bitmap();
        return;
    }
    out->width = p.width;
    out->height = p.height;
    out->pixels.resize(size_t(p.width) * p.height);
    if (p.format == Picture::Format::Rgb) {
        std::copy(p.rgb.begin(), p.rgb.begin() + out->pixels.size(), out->pixels.begin());
        return;
    }
    if (p.format != Picture::Format::Yuv420) {
        std::fill(out->pixels.begin(), out->pixels.end(), 0u);
        return;
    }
    static const YuvTables t;
    std::vector<uint8_t> filtered;
    const uint8_t* luma = p.y.data();
    if (deblock) {
        Deblock(p, &filtered);
        luma = filtered.data();
    }
    for (int j = 0; j < p.height; ++j) {
        const uint8_t* yr = luma + size_t(j) * p.stride;
        const uint8_t* ur = p.u.data() + size_t(j / 2) * p.chromaStride;
        const uint8_t* vr = p.v.data() + size_t(j / 2) * p.chromaStride;
        uint32_t* o = out->pixels.data() + size_t(j) * p.width;
        // Two pixels share each chroma sample.
        for (int i = 0; i < p.width; i += 2) {
            const int u = ur[i >> 1], v = vr[i >> 1];
            const int rc = t.rv[v], gc = t.gu[u] + t.gv[v], bc = t.bu[u];
            for (int k = i; k < i + 2 && k < p.width; ++k) {
                const int l = t.luma[yr[k]];
                o[k] = 0xFF000000u | uint32_t(t.clip[((l + rc) >> 8) + 384]) << 16 |
                       uint32_t(t.clip[((l + gc) >> 8) + 384]) << 8 | t.clip[((l + bc) >> 8) + 384];
            }
        }
        if (!p.a.empty()) {
            // The colour of a picture with alpha comes premultiplied (as the reference
            // player reads it); a channel above its alpha is clamped to it.
            const uint8_t* ar = p.a.data() + size_t(j) * p.stride;
            for (int i = 0; i < p.width; ++i) {
                const uint32_t alpha = ar[i], c = o[i];
                auto clamp = [alpha](uint32_t x) { return x < alpha ? x : alpha; };
                o[i] = alpha << 24 | clamp((c >> 16) & 255) << 16 | clamp((c >> 8) & 255) << 8 |
                       clamp(c & 255);
            }
        }
    }
}

} // namespace video
