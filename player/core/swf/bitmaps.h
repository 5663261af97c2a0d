// Bitmap definitions decoded to premultiplied 32-bit pixels: DefineBits with the movie's
// JPEGTables, DefineBitsJPEG2/3 (JPEG, PNG or GIF, with a separate alpha plane in 3) and
// DefineBitsLossless 1/2 in their colour-mapped, 15-bit and 32-bit forms.
#pragma once

#include <cstdint>
#include <vector>

#include "player/core/swf/movie_reader.h"

namespace swf {

// Larger bitmaps are refused rather than decoded.
const uint32_t kMaxBitmapSide = 8192;
const uint32_t kMaxBitmapBytes = 64u * 1024u * 1024u;

struct Bitmap {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels; // 0xAARRGGBB premultiplied, rows packed
};

// `jpegTables` is the JPEGTables tag's body (may be empty) for DefineBits.
bool ReadBitmap(const Tag& tag, const std::vector<uint8_t>& jpegTables, Bitmap* bitmap);

// Inflates a zlib stream that must give exactly `size` bytes (or at least, when
// `atLeast`); never more than that is allocated.
bool InflateExact(const uint8_t* data, size_t size, size_t expected, std::vector<uint8_t>* out,
                  bool atLeast = false);

} // namespace swf
