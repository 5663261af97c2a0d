// How a filled area is coloured: a solid colour, a gradient ramp or a bitmap, each
// already carrying the object's colour transform, and the span routines that blend them
// onto a canvas with anti-aliased coverage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "player/core/swf/bitmaps.h"
#include "player/core/swf/records.h"

namespace render {

using Transform = swf::Affine;

// Where spans land: 32-bit premultiplied pixels, or (for masks) 8-bit coverage. An
// optional 8-bit mask of the same size scales every coverage. A canvas may hold only the
// rows [top, bottom) of its picture (one band of a frame drawn by several threads):
// coordinates stay the whole picture's, and pixels, coverage and mask point at row `top`.
struct Canvas {
    uint32_t* pixels = nullptr;
    uint8_t* coverage = nullptr; // mask drawing when set
    int width = 0, height = 0, stride = 0;
    const uint8_t* mask = nullptr; // rows of `width` bytes
    int top = 0, bottom = INT32_MAX;

    int Bottom() const { return bottom < height ? bottom : height; }
    int Rows() const { return Bottom() - top; }
    size_t At(int y) const { return size_t(y - top) * size_t(stride); }
    size_t MaskAt(int y) const { return size_t(y - top) * size_t(width); }
};

enum class PaintKind : uint8_t { Solid, Gradient, Bitmap };

struct Paint {
    PaintKind kind = PaintKind::Solid;
    uint32_t color = 0; // premultiplied 0xAARRGGBB
    // Gradient: 256 premultiplied colours, the drawing thread's cached ramp when there is a
    // cache (a paint lives no longer than the shape's drawing), else `ownRamp`'s; device
    // pixel to gradient square.
    const uint32_t* cachedRamp = nullptr;
    std::vector<uint32_t> ownRamp;
    swf::FillKind gradientKind = swf::FillKind::Linear;
    swf::Spread spread = swf::Spread::Pad;
    double focal = 0;
    Transform inverse; // device pixel to gradient units or bitmap pixels
    const swf::Bitmap* bitmap = nullptr;
    bool repeat = false, smooth = false;
    swf::ColorTransform cxform; // bitmaps, applied per pixel
    bool opaque = false;        // every painted pixel has alpha 255

    const uint32_t* Ramp() const { return cachedRamp != nullptr ? cachedRamp : ownRamp.data(); }
};

// Gradient ramps made lately, by their stops and colour transform: a gradient drawn again
// (in the next frame, or in another band by the same thread) takes its ramp from here. A
// fixed number of slots in sets of four; a key may sit in any slot of its set, and a new one
// takes the one asked for least lately, so a frame of a few hundred gradients finds its ramps
// kept. One cache per drawing thread.
class RampCache {
  public:
    // The ramp for `g` (its stops and colour space) under `cx`, made if not held.
    const std::vector<uint32_t>& Get(const swf::Gradient& g, const swf::ColorTransform& cx);
    // Ramps made since the cache was made.
    uint32_t Builds() const { return builds_; }

  private:
    struct Slot {
        bool used = false;
        bool linearRgb = false;
        std::vector<swf::GradientStop> stops;
        swf::ColorTransform cx;
        std::vector<uint32_t> ramp;
        uint32_t asked = 0; // when last asked for, by `clock_`
    };
    static const size_t kSlots = 1024, kWays = 4;
    Slot slots_[kSlots];
    uint32_t clock_ = 0, builds_ = 0;
};

uint32_t Premultiplied(swf::Rgba c);
// The paint for a fill style seen through the object-to-device transform; gradient ramps
// from `ramps` when given.
bool MakePaint(const swf::FillStyle& fill, const Transform& toDevice, const swf::ColorTransform& cx,
               const swf::Bitmap* bitmap, Paint* paint, RampCache* ramps = nullptr);
Paint SolidPaint(swf::Rgba c, const swf::ColorTransform& cx);

// Blends one span of coverage (0..255 per pixel) at row y from x.
void BlendSpan(const Canvas& canvas, const Paint& paint, int x, int y, int length,
               const uint8_t* covers);

// Pixel helpers shared by layers and filters.
inline uint32_t ScalePixel(uint32_t p, uint32_t s256) { // s256 in 0..256
    return (((p & 0x00FF00FFu) * s256 >> 8) & 0x00FF00FFu) |
           ((((p >> 8) & 0x00FF00FFu) * s256) & 0xFF00FF00u);
}
inline uint32_t Over(uint32_t dst, uint32_t src) {
    const uint32_t a = src >> 24;
    if (a == 255) {
        return src;
    }
    return src + ScalePixel(dst, 256 - a - (a >> 7));
}

} // namespace render
