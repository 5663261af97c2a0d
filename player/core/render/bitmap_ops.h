// What scripts do to bitmaps they own (Flash 8's BitmapData, and ActionScript 3's): the
// pixel operations on a premultiplied store, free of any interpreter, so both script
// runtimes bind the same code. Rectangles are clipped to the bitmaps here; a caller only
// converts its arguments.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "player/core/render/paint.h"
#include "player/core/swf/bitmaps.h"
#include "player/core/swf/display_tags.h"

namespace render {

// The largest BitmapData a player makes: Flash 8 refuses one wider or taller than 2880
// pixels, Flash Player 10 one wider or taller than 8191 or of more than 16,777,215 pixels;
// none is without a pixel.
struct BitmapLimits {
    int maxSide;
    double maxPixels;
};
const BitmapLimits kFlash8Bitmaps{2880, 2880.0 * 2880.0};
const BitmapLimits kFlash10Bitmaps{8191, 16777215.0};
bool ScriptBitmapSizeAllowed(double width, double height,
                             const BitmapLimits& limits = kFlash8Bitmaps);

struct IntRect {
    int x = 0, y = 0, w = 0, h = 0;
    bool Empty() const { return w <= 0 || h <= 0; }
};

// A bitmap a script owns: pixels shared with whatever shows it.
struct ScriptBitmap {
    std::shared_ptr<swf::Bitmap> pixels;
    bool transparent = true;
    int Width() const { return pixels ? pixels->width : 0; }
    int Height() const { return pixels ? pixels->height : 0; }
    uint32_t& At(int x, int y) { return pixels->pixels[size_t(y) * pixels->width + x]; }
    const uint32_t& At(int x, int y) const { return pixels->pixels[size_t(y) * pixels->width + x]; }
};

// Long operations ask this between rows; false stops them where they are.
using KeepGoing = std::function<bool()>;

// Straight 0xAARRGGBB to the store's form (opaque bitmaps keep alpha 255) and back.
uint32_t ToStored(uint32_t argb, bool transparent);
uint32_t FromStored(uint32_t stored);

// Makes a bitmap filled with `argb`; false when the size is refused.
bool MakeScriptBitmap(int width, int height, bool transparent, uint32_t argb, ScriptBitmap* out,
                      const BitmapLimits& limits = kFlash8Bitmaps);

// `r` clipped to a w x h bitmap.
IntRect ClipRect(IntRect r, int w, int h);
// Clips a copy of `src` (in the source) to `dx, dy` (in the destination) against both
// bitmaps; the result's rectangle is in the source, dx/dy moved with it.
bool ClipCopy(const ScriptBitmap& dst, const ScriptBitmap& src, IntRect* srcRect, int* dx, int* dy);

void FillRect(ScriptBitmap* b, IntRect r, uint32_t argb);
// `mergeAlpha`: the source lies over the destination instead of replacing it.
void CopyPixels(ScriptBitmap* dst, const ScriptBitmap& src, IntRect r, int dx, int dy,
                bool mergeAlpha);
// Channels as Flash numbers them: 1 red, 2 green, 4 blue, 8 alpha.
void CopyChannel(ScriptBitmap* dst, const ScriptBitmap& src, IntRect r, int dx, int dy,
                 int srcChannel, int dstChannel);
// Multipliers (1 = unchanged) and offsets (-255..255) per channel, r g b a.
struct ColorMix {
    double mul[4] = {1, 1, 1, 1}, add[4] = {0, 0, 0, 0};
};
void ColorTransformRect(ScriptBitmap* b, IntRect r, const ColorMix& mix);
void Noise(ScriptBitmap* b, int32_t seed, int low, int high, int channels, bool gray);
// Flash's Perlin noise (the SVG turbulence function with its seed), `offsets` per octave.
void PerlinNoise(ScriptBitmap* b, double baseX, double baseY, int octaves, int32_t seed,
                 bool stitch, bool fractal, int channels, bool gray,
                 const std::vector<swf::Point>& offsets, const KeepGoing& keepGoing);
// Returns the seed to pass next time.
int32_t PixelDissolve(ScriptBitmap* dst, const ScriptBitmap& src, IntRect r, int dx, int dy,
                      int32_t seed, int count, uint32_t fill);
enum class Compare : uint8_t { Less, LessEqual, Greater, GreaterEqual, Equal, NotEqual };
// Pixels whose (value & mask) passes `test` against (threshold & mask) become `color`;
// others are copied from the source when `copySource`. Returns how many passed.
int Threshold(ScriptBitmap* dst, const ScriptBitmap& src, IntRect r, int dx, int dy, Compare test,
              uint32_t threshold, uint32_t color, uint32_t mask, bool copySource,
              const KeepGoing& keepGoing);
bool FloodFill(ScriptBitmap* b, int x, int y, uint32_t argb, const KeepGoing& keepGoing);
void Scroll(ScriptBitmap* b, int dx, int dy);
// The box of pixels whose (value & mask) equals (or, !find, differs from) color.
IntRect ColorBounds(const ScriptBitmap& b, uint32_t mask, uint32_t color, bool find);
// Flash's compare: 0 equal, -3 widths differ, -4 heights differ, else 1 with `out` made.
int CompareBitmaps(const ScriptBitmap& a, const ScriptBitmap& b, ScriptBitmap* out);
// Per-channel mixes in 0..256 of the source over the destination.
void Merge(ScriptBitmap* dst, const ScriptBitmap& src, IntRect r, int dx, int dy,
           const int mult[4]);
// Each channel's value looked up in its table (null: kept); results are summed.
void PaletteMap(ScriptBitmap* dst, const ScriptBitmap& src, IntRect r, int dx, int dy,
                const uint32_t* const tables[4]);
// Whether a bitmap placed at `at` has a pixel at least `alpha` opaque in the rectangle.
bool HitRect(const ScriptBitmap& b, int atX, int atY, int alpha, IntRect r);
// Whether two bitmaps placed at their points overlap with pixels at least that opaque.
bool HitBitmap(const ScriptBitmap& a, int ax, int ay, int alphaA, const ScriptBitmap& b, int bx,
               int by, int alphaB);
// One filter of the source's rectangle into the destination at dx, dy.
void ApplyFilter(ScriptBitmap* dst, const ScriptBitmap& src, IntRect r, int dx, int dy,
                 const swf::Filter& filter);

// A canvas over the bitmap's pixels, clipped to `clip`; `shift` moves bitmap coordinates
// onto it.
Canvas CanvasOver(ScriptBitmap* b, IntRect clip, Transform* shift);
// Draws a bitmap through `m` onto a canvas, with a colour transform.
void DrawBitmap(const swf::Bitmap& src, const Transform& m, const swf::ColorTransform& cx,
                bool smooth, const Canvas& canvas);

} // namespace render
