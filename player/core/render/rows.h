// Row kernels behind the span routines: blending a row of premultiplied source colours
// through coverage, and bilinear sampling. Where SSE2 is available they work four pixels at
// a time, some eight with AVX2; the scalar forms give the same bits and are what other
// builds use.
#pragma once

#include <cstddef>
#include <cstdint>

namespace render {
namespace rows {

// d[i] = Over(d[i], ScalePixel(src[i], cover)) with cover 0..255 (0 leaves d[i]).
void Blend(uint32_t* d, const uint32_t* src, const uint8_t* covers, int n);
void BlendScalar(uint32_t* d, const uint32_t* src, const uint8_t* covers, int n);
// The same with one colour for the whole row.
void BlendSolid(uint32_t* d, uint32_t color, const uint8_t* covers, int n);
void BlendSolidScalar(uint32_t* d, uint32_t color, const uint8_t* covers, int n);

// out[i] = the bilinear mix of four texels: the left column (t0 over b0) by fy, the right
// (t1 over b1) by fy, then the two by fx (weights 0..255 in 1/256ths). Columns first, so
// that a row of pixels along a bitmap row mixes each column once however many pixels use
// it. Up to kTexels pixels a call.
const int kTexels = 256;
struct Texels {
    uint32_t t0[kTexels], t1[kTexels], b0[kTexels], b1[kTexels];
    uint32_t fx[kTexels], fy[kTexels];
};
void Bilinear(const Texels& in, uint32_t* out, int n);
void BilinearScalar(const Texels& in, uint32_t* out, int n);

// The same mix along a row of the picture whose texel rows r0 and r1 stay put (no rotation):
// pixel i takes columns x and x + 1, x = u >> 16 with u = u0 + i * du (16.16 fixed point),
// weighted by (u >> 8) & 255, each column first mixed by fy. Every column read must lie in
// the rows.
void BilinearAlong(const uint32_t* r0, const uint32_t* r1, int64_t u0, int64_t du, uint32_t fy,
                   uint32_t* out, int n);
void BilinearAlongScalar(const uint32_t* r0, const uint32_t* r1, int64_t u0, int64_t du,
                         uint32_t fy, uint32_t* out, int n);
// The columns such a row of n pixels reads (x and x + 1 for each): the first and how many.
// Zero when they are more than the pixels, and a column mixed per pixel costs less.
inline int AlongColumns(int64_t u, int64_t du, int n, size_t* first) {
    const int64_t a = u >> 16, b = (u + du * (n - 1)) >> 16;
    const int64_t count = (a < b ? b - a : a - b) + 2;
    *first = size_t(a < b ? a : b);
    return count <= n + 2 ? int(count) : 0;
}

// A linear ramp along a row: pixel i takes ramp[k], k = (f + i * step + 32768) >> 16 held
// to 0..255 (f and step in 16.16 fixed point).
void LinearRow(int64_t f, int64_t step, const uint32_t* ramp, uint32_t* out, int n);
void LinearRowScalar(int64_t f, int64_t step, const uint32_t* ramp, uint32_t* out, int n);

// A radial ramp along a row: pixel i takes ramp[k] with k the distance from the centre,
// sqrt(u * u + v * v) in the ramp's radius at (u + i * du, v + i * dv) in single precision,
// times 255 and rounded, or 255 from the radius out.
void RadialRow(float u, float v, float du, float dv, const uint32_t* ramp, uint32_t* out, int n);
// The scalar form makes pixels `from` to n only (the wider forms' last few).
void RadialRowScalar(float u, float v, float du, float dv, const uint32_t* ramp, uint32_t* out,
                     int n, int from = 0);

// The kernels above choose among their forms: four pixels at a time where the processor has
// SSE2 (Four(): every 64-bit one), eight where it also has AVX2 (Wide()) and the build carries
// that form. Each form is here for tests; one the build lacks is the next narrower one.
bool Four();
bool Wide();
namespace four {
void Blend(uint32_t* d, const uint32_t* src, const uint8_t* covers, int n);
void BlendSolid(uint32_t* d, uint32_t color, const uint8_t* covers, int n);
void RadialRow(float u, float v, float du, float dv, const uint32_t* ramp, uint32_t* out, int n);
void BilinearAlong(const uint32_t* r0, const uint32_t* r1, int64_t u0, int64_t du, uint32_t fy,
                   uint32_t* out, int n);
void Bilinear(const Texels& in, uint32_t* out, int n);
void LinearRow(int64_t f, int64_t step, const uint32_t* ramp, uint32_t* out, int n);
} // namespace four
namespace eight {
void Blend(uint32_t* d, const uint32_t* src, const uint8_t* covers, int n);
void BlendSolid(uint32_t* d, uint32_t color, const uint8_t* covers, int n);
void RadialRow(float u, float v, float du, float dv, const uint32_t* ramp, uint32_t* out, int n);
void BilinearAlong(const uint32_t* r0, const uint32_t* r1, int64_t u0, int64_t du, uint32_t fy,
                   uint32_t* out, int n);
} // namespace eight

} // namespace rows
} // namespace render
