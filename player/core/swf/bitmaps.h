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

// `jpegTables` is the JPEGTables tag's body (may be empty) for DefineBits. With
// `sizeOnly` only the width and height are read (the pixels stay empty): a movie's bitmaps
// are decoded when first drawn.
bool ReadBitmap(const Tag& tag, const std::vector<uint8_t>& jpegTables, Bitmap* bitmap,
                bool sizeOnly = false);

// What decoding a bitmap later needs: its tag and the JPEGTables tag in force where it was
// defined (both inside the movie's bytes, which outlive it).
struct BitmapSource {
    Tag tag;
    Tag jpegTables;
};
bool DecodeBitmap(const BitmapSource& source, Bitmap* bitmap);

// Inflates a zlib stream that must give exactly `size` bytes (or at least, when
// `atLeast`); never more than that is allocated.
bool InflateExact(const uint8_t* data, size_t size, size_t expected, std::vector<uint8_t>* out,
                  bool atLeast = false);

} // namespace swf
