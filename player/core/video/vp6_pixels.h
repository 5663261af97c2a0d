// VP6's pixel operations: its inverse DCT (exactly specified, integer), the loop filter that
// smooths block edges inside a prediction window, and the sub-pixel filters (bilinear, and
// four-tap for luma) that motion compensation reads through.
#pragma once

#include <cstdint>

namespace video {
namespace vp6 {

// Coefficients in natural order (row-major), dequantised. `selector` is one past the
// last zigzag position the block may use (one less for early versions): small ones take
// the DC-only and 4x4 forms, whose rounding differs.
void IdctPut(const int16_t* block, int selector, uint8_t* dst, int stride);
void IdctAdd(const int16_t* block, int selector, uint8_t* dst, int stride);

// The edge filter over 12 pixels at `p` (the first pixel past the edge): `across` steps
// over the edge, `along` down it. `limit` from the quantiser.
void FilterEdge(uint8_t* p, int across, int along, int limit);

// 8x8 predictions from `src` (rows `stride` apart) into `dst` (rows `dstStride` apart).
// Fractions in eighths.
void Bilinear(const uint8_t* src, int stride, int fx, int fy, uint8_t* dst, int dstStride);
void BilinearTwoPass(const uint8_t* src, int stride, int fx, int fy, uint8_t* dst, int dstStride);
void FourTap(const uint8_t* src, int stride, int step, const int16_t* taps, uint8_t* dst,
             int dstStride);
void FourTapTwoPass(const uint8_t* src, int stride, const int16_t* tapsX, const int16_t* tapsY,
                    uint8_t* dst, int dstStride);
void Copy8x8(const uint8_t* src, int stride, uint8_t* dst, int dstStride);
// Spread of every other sample of an 8x8 block: flat blocks skip the four-tap filter.
int Variance(const uint8_t* src, int stride);

} // namespace vp6
} // namespace video
