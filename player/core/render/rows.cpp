#include "player/core/render/rows.h"

#include <cmath>
#include <cstddef>

#include "player/core/render/paint.h"

// The four-at-a-time forms: always where the build assumes SSE2 (64-bit builds); in 32-bit
// builds, which may meet a processor without it, built for it alone and chosen at run time.
#if defined(__SSE2__)
#define FLICKWELL_FOUR_ROWS 1
#elif defined(__i386__) && defined(__GNUC__)
#define FLICKWELL_FOUR_ROWS 1
#define FLICKWELL_FOUR_CHOSEN 1
#include <cpuid.h>
#endif
#if defined(FLICKWELL_FOUR_ROWS)
#include <emmintrin.h>
#endif
// Regions of SSE2 code: in a 32-bit build only they may use it, the rest stays plain.
// Their entry points align the stack for the 16-byte values they keep there: a thread
// Windows starts may hold it 4-byte aligned.
#if defined(FLICKWELL_FOUR_CHOSEN)
#define FOUR_BEGIN _Pragma("GCC push_options") _Pragma("GCC target(\"sse2\")")
#define FOUR_END _Pragma("GCC pop_options")
#define FOUR_ENTRY __attribute__((force_align_arg_pointer))
#else
#define FOUR_BEGIN
#define FOUR_END
#define FOUR_ENTRY
#endif

namespace render {
namespace rows {

namespace {

// Rounded to nearest per channel, so that two equal texels mix to themselves: flooring each
// weighted half made an opaque bitmap 254 or 253 in alpha wherever it was smoothed. The sum
// of a channel's two products is at most 255 * 256 + 128 and stays in its 16 bits.
inline uint32_t Lerp2(uint32_t p, uint32_t q, unsigned f256) {
    const uint32_t g = 256 - f256;
    const uint32_t rb = ((p & 0x00FF00FFu) * g + (q & 0x00FF00FFu) * f256 + 0x00800080u) >> 8;
    const uint32_t ag =
        ((p >> 8) & 0x00FF00FFu) * g + ((q >> 8) & 0x00FF00FFu) * f256 + 0x00800080u;
    return (rb & 0x00FF00FFu) | (ag & 0xFF00FF00u);
}

#if defined(FLICKWELL_FOUR_ROWS)
FOUR_BEGIN
// Every step below is per 8-bit channel widened to 16 bits: c * s with c <= 255 and
// s <= 256 fits, and >> 8 is the scalar ScalePixel's floor. The final sum is a 32-bit add
// of packed pixels, as the scalar Over does.

// Four 0..256 factors, one per pixel, spread over the channels of pixels 0-1 and 2-3.
inline void Spread4(__m128i f, __m128i* lo, __m128i* hi) {
    const __m128i f16 = _mm_packs_epi32(f, f); // f0 f1 f2 f3 f0 f1 f2 f3
    const __m128i pairs = _mm_unpacklo_epi16(f16, f16);
    *lo = _mm_unpacklo_epi32(pairs, pairs);
    *hi = _mm_unpackhi_epi32(pairs, pairs);
}

inline __m128i Scale16(__m128i p16, __m128i s16) {
    return _mm_srli_epi16(_mm_mullo_epi16(p16, s16), 8);
}

// (p * wp + q * wq) / 256 rounded, as the scalar Lerp2: the products' sum fits 16 bits.
inline __m128i Mix16(__m128i p16, __m128i wp, __m128i q16, __m128i wq) {
    const __m128i sum = _mm_add_epi16(_mm_mullo_epi16(p16, wp), _mm_mullo_epi16(q16, wq));
    return _mm_srli_epi16(_mm_add_epi16(sum, _mm_set1_epi16(128)), 8);
}

// Over(dst, src) for two pixels whose source is already in 16-bit channels.
inline __m128i OverScaled(__m128i dst16, __m128i src16) {
    __m128i a = _mm_shufflelo_epi16(src16, 0xFF);
    a = _mm_shufflehi_epi16(a, 0xFF);
    const __m128i inv = _mm_sub_epi16(_mm_sub_epi16(_mm_set1_epi16(256), a), _mm_srli_epi16(a, 7));
    return Scale16(dst16, inv);
}

inline __m128i Blend4(__m128i dst, __m128i src, uint32_t cover4) {
    const __m128i zero = _mm_setzero_si128();
    __m128i c = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(int(cover4)), zero), zero);
    c = _mm_add_epi32(c, _mm_srli_epi32(c, 7));
    __m128i clo, chi;
    Spread4(c, &clo, &chi);
    const __m128i slo = Scale16(_mm_unpacklo_epi8(src, zero), clo);
    const __m128i shi = Scale16(_mm_unpackhi_epi8(src, zero), chi);
    const __m128i dlo = OverScaled(_mm_unpacklo_epi8(dst, zero), slo);
    const __m128i dhi = OverScaled(_mm_unpackhi_epi8(dst, zero), shi);
    return _mm_add_epi32(_mm_packus_epi16(slo, shi), _mm_packus_epi16(dlo, dhi));
}

// Blend4 with every cover full: the source is not scaled (a cover of 255 scales by 256),
// only the destination under it, by each pixel's 256 - a - (a >> 7) spread over its channels.
inline __m128i Over4(__m128i dst, __m128i src) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i a = _mm_srli_epi32(src, 24);
    const __m128i inv = _mm_sub_epi32(_mm_sub_epi32(_mm_set1_epi32(256), a), _mm_srli_epi32(a, 7));
    __m128i lo, hi;
    Spread4(inv, &lo, &hi);
    const __m128i dlo = Scale16(_mm_unpacklo_epi8(dst, zero), lo);
    const __m128i dhi = Scale16(_mm_unpackhi_epi8(dst, zero), hi);
    return _mm_add_epi32(src, _mm_packus_epi16(dlo, dhi));
}

inline uint32_t Covers4(const uint8_t* c) {
    return uint32_t(c[0]) | uint32_t(c[1]) << 8 | uint32_t(c[2]) << 16 | uint32_t(c[3]) << 24;
}

inline bool Opaque4(__m128i src) {
    const __m128i a = _mm_srli_epi32(src, 24);
    return _mm_movemask_epi8(_mm_cmpeq_epi32(a, _mm_set1_epi32(255))) == 0xFFFF;
}
FOUR_END
#endif

inline uint32_t BlendPixel(uint32_t dst, uint32_t src, unsigned cover) {
    return Over(dst, cover == 255 ? src : ScalePixel(src, cover + (cover >> 7)));
}

} // namespace

void BlendScalar(uint32_t* d, const uint32_t* src, const uint8_t* covers, int n) {
    for (int i = 0; i < n; ++i) {
        if (covers[i] != 0) {
            d[i] = BlendPixel(d[i], src[i], covers[i]);
        }
    }
}

void BlendSolidScalar(uint32_t* d, uint32_t color, const uint8_t* covers, int n) {
    if ((color >> 24) == 255) {
        for (int i = 0; i < n; ++i) {
            d[i] = covers[i] == 255 ? color : BlendPixel(d[i], color, covers[i]);
        }
        return;
    }
    for (int i = 0; i < n; ++i) {
        d[i] = BlendPixel(d[i], color, covers[i]);
    }
}

void BilinearScalar(const Texels& t, uint32_t* out, int n) {
    for (int i = 0; i < n; ++i) {
        out[i] = Lerp2(Lerp2(t.t0[i], t.b0[i], t.fy[i]), Lerp2(t.t1[i], t.b1[i], t.fy[i]), t.fx[i]);
    }
}

void BilinearAlongScalar(const uint32_t* r0, const uint32_t* r1, int64_t u, int64_t du, uint32_t fy,
                         uint32_t* out, int n) {
    if (n <= 0) {
        return;
    }
    // The two texel rows mixed once per column, then each pixel mixes two columns.
    uint32_t mixed[kTexels + 2];
    size_t first = 0;
    const int columns = n <= kTexels ? AlongColumns(u, du, n, &first) : 0;
    if (columns == 0) {
        for (int i = 0; i < n; ++i, u += du) {
            const size_t x = size_t(u >> 16);
            const unsigned fx = unsigned(u >> 8) & 255;
            out[i] = Lerp2(Lerp2(r0[x], r1[x], fy), Lerp2(r0[x + 1], r1[x + 1], fy), fx);
        }
        return;
    }
    for (int k = 0; k < columns; ++k) {
        mixed[k] = Lerp2(r0[first + k], r1[first + k], fy);
    }
    for (int i = 0; i < n; ++i, u += du) {
        const size_t x = size_t(u >> 16) - first;
        out[i] = Lerp2(mixed[x], mixed[x + 1], unsigned(u >> 8) & 255);
    }
}

void LinearRowScalar(int64_t f, int64_t step, const uint32_t* ramp, uint32_t* out, int n) {
    for (int i = 0; i < n; ++i, f += step) {
        const int64_t k = (f + 32768) >> 16;
        out[i] = ramp[k < 0 ? 0 : k > 255 ? 255 : k];
    }
}

void RadialRowScalar(float u, float v, float du, float dv, const uint32_t* ramp, uint32_t* out,
                     int n, int from) {
    for (int i = from; i < n; ++i) {
        const float pu = u + float(i) * du, pv = v + float(i) * dv;
        const float r = std::sqrt(pu * pu + pv * pv);
        out[i] = ramp[r < 1.0f ? static_cast<int>(r * 255.0f + 0.5f) : 255];
    }
}

bool Four() {
#if defined(FLICKWELL_FOUR_CHOSEN)
    static const bool four = [] {
        unsigned a = 0, b = 0, c = 0, d = 0;
        return __get_cpuid(1, &a, &b, &c, &d) != 0 && (d & bit_SSE2) != 0;
    }();
    return four;
#else
    return true;
#endif
}

void Blend(uint32_t* d, const uint32_t* src, const uint8_t* covers, int n) {
    Wide()   ? eight::Blend(d, src, covers, n)
    : Four() ? four::Blend(d, src, covers, n)
             : BlendScalar(d, src, covers, n);
}
void BlendSolid(uint32_t* d, uint32_t color, const uint8_t* covers, int n) {
    Wide()   ? eight::BlendSolid(d, color, covers, n)
    : Four() ? four::BlendSolid(d, color, covers, n)
             : BlendSolidScalar(d, color, covers, n);
}
void BilinearAlong(const uint32_t* r0, const uint32_t* r1, int64_t u0, int64_t du, uint32_t fy,
                   uint32_t* out, int n) {
    Wide()   ? eight::BilinearAlong(r0, r1, u0, du, fy, out, n)
    : Four() ? four::BilinearAlong(r0, r1, u0, du, fy, out, n)
             : BilinearAlongScalar(r0, r1, u0, du, fy, out, n);
}
void RadialRow(float u, float v, float du, float dv, const uint32_t* ramp, uint32_t* out, int n) {
    Wide()   ? eight::RadialRow(u, v, du, dv, ramp, out, n)
    : Four() ? four::RadialRow(u, v, du, dv, ramp, out, n)
             : RadialRowScalar(u, v, du, dv, ramp, out, n);
}
void Bilinear(const Texels& in, uint32_t* out, int n) {
    Four() ? four::Bilinear(in, out, n) : BilinearScalar(in, out, n);
}
void LinearRow(int64_t f, int64_t step, const uint32_t* ramp, uint32_t* out, int n) {
    Four() ? four::LinearRow(f, step, ramp, out, n) : LinearRowScalar(f, step, ramp, out, n);
}

#if defined(FLICKWELL_FOUR_ROWS)
FOUR_BEGIN
namespace {
// A row of n >= 4 pixels four at a time, as the eight-at-a-time form's Eights: the last four
// made first, so that none is left to a loop of one at a time.
template <class At> inline void Fours(uint32_t* d, int n, At at) {
    const __m128i last = at(n - 4);
    for (int i = 0; i + 4 < n; i += 4) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), at(i));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + n - 4), last);
}

inline __m128i Load4(const uint32_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
} // namespace

FOUR_ENTRY void four::Blend(uint32_t* d, const uint32_t* src, const uint8_t* covers, int n) {
    if (n < 4) {
        BlendScalar(d, src, covers, n);
        return;
    }
    Fours(d, n, [&](int i) {
        const uint32_t c4 = Covers4(covers + i);
        if (c4 == 0) {
            return Load4(d + i);
        }
        const __m128i s = Load4(src + i);
        if (c4 == 0xFFFFFFFFu) {
            return Opaque4(s) ? s : Over4(Load4(d + i), s);
        }
        return Blend4(Load4(d + i), s, c4);
    });
}

FOUR_ENTRY void four::BlendSolid(uint32_t* d, uint32_t color, const uint8_t* covers, int n) {
    if (n < 4) {
        BlendSolidScalar(d, color, covers, n);
        return;
    }
    const __m128i s = _mm_set1_epi32(int(color));
    const bool opaque = (color >> 24) == 255;
    Fours(d, n, [&](int i) {
        const uint32_t c4 = Covers4(covers + i);
        if (c4 == 0xFFFFFFFFu) {
            return opaque ? s : Over4(Load4(d + i), s);
        }
        return c4 == 0 ? Load4(d + i) : Blend4(Load4(d + i), s, c4);
    });
}

namespace {
// p and q (channels widened to 16 bits) mixed by f of 256. A function, not a lambda: in a
// 32-bit build a lambda's vectors would pass by the convention that has no SSE registers.
inline __m128i Lerp16(__m128i p, __m128i q, __m128i f) {
    return Mix16(p, _mm_sub_epi16(_mm_set1_epi16(256), f), q, f);
}
} // namespace

FOUR_ENTRY void four::Bilinear(const Texels& t, uint32_t* out, int n) {
    const __m128i zero = _mm_setzero_si128();
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128i t0 = Load4(t.t0 + i), t1 = Load4(t.t1 + i);
        const __m128i b0 = Load4(t.b0 + i), b1 = Load4(t.b1 + i);
        __m128i fxlo, fxhi, fylo, fyhi;
        Spread4(Load4(t.fx + i), &fxlo, &fxhi);
        Spread4(Load4(t.fy + i), &fylo, &fyhi);
        const __m128i lo =
            Lerp16(Lerp16(_mm_unpacklo_epi8(t0, zero), _mm_unpacklo_epi8(b0, zero), fylo),
                   Lerp16(_mm_unpacklo_epi8(t1, zero), _mm_unpacklo_epi8(b1, zero), fylo), fxlo);
        const __m128i hi =
            Lerp16(Lerp16(_mm_unpackhi_epi8(t0, zero), _mm_unpackhi_epi8(b0, zero), fyhi),
                   Lerp16(_mm_unpackhi_epi8(t1, zero), _mm_unpackhi_epi8(b1, zero), fyhi), fxhi);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
    }
    for (; i < n; ++i) {
        out[i] = Lerp2(Lerp2(t.t0[i], t.b0[i], t.fy[i]), Lerp2(t.t1[i], t.b1[i], t.fy[i]), t.fx[i]);
    }
}

namespace {
// Each fraction's weights for a pair of neighbouring texels in 16-bit channels: 256 - fx for
// the left texel's four, fx for the right one's.
struct PairWeights {
    alignas(16) uint16_t w[256][8];
    PairWeights() {
        for (int f = 0; f < 256; ++f) {
            for (int c = 0; c < 4; ++c) {
                w[f][c] = uint16_t(256 - f);
                w[f][c + 4] = uint16_t(f);
            }
        }
    }
};

// Two pixels, each the pair of texels from its column weighted by its fraction: the left and
// right texels' halves added, a pixel in each 64-bit half.
inline __m128i AcrossTwo(const uint32_t* a, const uint32_t* b, const PairWeights& t, int64_t ua,
                         int64_t ub) {
    const __m128i zero = _mm_setzero_si128();
    auto weighted = [&](const uint32_t* row, int64_t u) {
        const __m128i pair =
            _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row)), zero);
        return _mm_mullo_epi16(
            pair, _mm_load_si128(reinterpret_cast<const __m128i*>(t.w[(u >> 8) & 255])));
    };
    const __m128i ma = weighted(a, ua), mb = weighted(b, ub);
    const __m128i sum = _mm_add_epi16(_mm_unpacklo_epi64(ma, mb), _mm_unpackhi_epi64(ma, mb));
    return _mm_srli_epi16(_mm_add_epi16(sum, _mm_set1_epi16(128)), 8);
}
} // namespace

FOUR_ENTRY void four::BilinearAlong(const uint32_t* r0, const uint32_t* r1, int64_t u, int64_t du,
                                    uint32_t fy, uint32_t* out, int n) {
    // The two texel rows mixed once per column (four at a time), then each pixel mixes two
    // columns; a row that skips columns mixes them per pixel in the scalar form instead.
    alignas(16) uint32_t mixed[kTexels + 8];
    size_t first = 0;
    const int columns = n > 0 && n <= kTexels ? AlongColumns(u, du, n, &first) : 0;
    if (columns == 0) {
        BilinearAlongScalar(r0, r1, u, du, fy, out, n);
        return;
    }
    const __m128i zero = _mm_setzero_si128();
    const __m128i wy = _mm_set1_epi16(short(fy)), wy0 = _mm_set1_epi16(short(256 - fy));
    int k = 0;
    for (; k + 4 <= columns; k += 4) {
        const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r0 + first + k));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r1 + first + k));
        const __m128i lo = Mix16(_mm_unpacklo_epi8(t, zero), wy0, _mm_unpacklo_epi8(b, zero), wy);
        const __m128i hi = Mix16(_mm_unpackhi_epi8(t, zero), wy0, _mm_unpackhi_epi8(b, zero), wy);
        _mm_store_si128(reinterpret_cast<__m128i*>(mixed + k), _mm_packus_epi16(lo, hi));
    }
    for (; k < columns; ++k) {
        mixed[k] = Lerp2(r0[first + k], r1[first + k], fy);
    }
    static const PairWeights weights;
    auto at = [&](int64_t v) { return mixed + (size_t(v >> 16) - first); };
    int i = 0;
    for (; i + 4 <= n; i += 4, u += 4 * du) {
        const int64_t u1 = u + du, u2 = u1 + du, u3 = u2 + du;
        const __m128i ab = AcrossTwo(at(u), at(u1), weights, u, u1);
        const __m128i cd = AcrossTwo(at(u2), at(u3), weights, u2, u3);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(ab, cd));
    }
    for (; i < n; ++i, u += du) {
        const size_t x = size_t(u >> 16) - first;
        out[i] = Lerp2(mixed[x], mixed[x + 1], unsigned(u >> 8) & 255);
    }
}
FOUR_ENTRY void four::LinearRow(int64_t f, int64_t step, const uint32_t* ramp, uint32_t* out,
                                int n) {
    // Four positions at a time in 32 bits when the whole row's fit; saturating packs hold
    // the indices to 0..255 as the scalar form's comparisons do.
    const int64_t limit = int64_t(1) << 30;
    const int64_t end = f + 32768 + step * int64_t(n > 0 ? n - 1 : 0);
    if (n < 8 || f + 32768 <= -limit || f + 32768 >= limit || end <= -limit || end >= limit ||
        step <= -limit / 4 || step >= limit / 4) {
        LinearRowScalar(f, step, ramp, out, n);
        return;
    }
    const int32_t s = int32_t(step);
    __m128i at =
        _mm_add_epi32(_mm_set1_epi32(int32_t(f + 32768)), _mm_set_epi32(3 * s, 2 * s, s, 0));
    const __m128i step4 = _mm_set1_epi32(4 * s);
    int i = 0;
    for (; i + 4 <= n; i += 4, at = _mm_add_epi32(at, step4)) {
        const __m128i k16 = _mm_packs_epi32(_mm_srai_epi32(at, 16), _mm_setzero_si128());
        const uint32_t k = uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(k16, k16)));
        out[i] = ramp[k & 255];
        out[i + 1] = ramp[(k >> 8) & 255];
        out[i + 2] = ramp[(k >> 16) & 255];
        out[i + 3] = ramp[k >> 24];
    }
    LinearRowScalar(f + step * i, step, ramp, out + i, n - i);
}

FOUR_ENTRY void four::RadialRow(float u, float v, float du, float dv, const uint32_t* ramp,
                                uint32_t* out, int n) {
    // Each position is u + i * du as the scalar form makes it, four at a time: no pixel
    // waits on the one before it. The distances and indices take the same single-precision
    // operations, each rounded alike.
    alignas(16) int32_t ks[4];
    const __m128 one = _mm_set1_ps(1.0f), scale = _mm_set1_ps(255.0f), half = _mm_set1_ps(0.5f);
    const __m128 u0 = _mm_set1_ps(u), v0 = _mm_set1_ps(v), du4 = _mm_set1_ps(du),
                 dv4 = _mm_set1_ps(dv), four = _mm_set1_ps(4.0f);
    const __m128i last = _mm_set1_epi32(255);
    __m128 at = _mm_set_ps(3.0f, 2.0f, 1.0f, 0.0f);
    int i = 0;
    for (; i + 4 <= n; i += 4, at = _mm_add_ps(at, four)) {
        const __m128 pu = _mm_add_ps(u0, _mm_mul_ps(at, du4));
        const __m128 pv = _mm_add_ps(v0, _mm_mul_ps(at, dv4));
        const __m128 r = _mm_sqrt_ps(_mm_add_ps(_mm_mul_ps(pu, pu), _mm_mul_ps(pv, pv)));
        const __m128i inside = _mm_castps_si128(_mm_cmplt_ps(r, one));
        const __m128i k = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(r, scale), half));
        _mm_store_si128(reinterpret_cast<__m128i*>(ks),
                        _mm_or_si128(_mm_and_si128(inside, k), _mm_andnot_si128(inside, last)));
        out[i] = ramp[ks[0]];
        out[i + 1] = ramp[ks[1]];
        out[i + 2] = ramp[ks[2]];
        out[i + 3] = ramp[ks[3]];
    }
    RadialRowScalar(u, v, du, dv, ramp, out, n, i);
}
FOUR_END
#else
void four::Blend(uint32_t* d, const uint32_t* src, const uint8_t* covers, int n) {
    BlendScalar(d, src, covers, n);
}
void four::LinearRow(int64_t f, int64_t step, const uint32_t* ramp, uint32_t* out, int n) {
    LinearRowScalar(f, step, ramp, out, n);
}
void four::RadialRow(float u, float v, float du, float dv, const uint32_t* ramp, uint32_t* out,
                     int n) {
    RadialRowScalar(u, v, du, dv, ramp, out, n);
}
void four::BilinearAlong(const uint32_t* r0, const uint32_t* r1, int64_t u0, int64_t du,
                         uint32_t fy, uint32_t* out, int n) {
    BilinearAlongScalar(r0, r1, u0, du, fy, out, n);
}
void four::BlendSolid(uint32_t* d, uint32_t color, const uint8_t* covers, int n) {
    BlendSolidScalar(d, color, covers, n);
}
void four::Bilinear(const Texels& in, uint32_t* out, int n) {
    BilinearScalar(in, out, n);
}
#endif

} // namespace rows
} // namespace render
