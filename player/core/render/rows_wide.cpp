// The row kernels eight pixels at a time, for processors with AVX2: the four-at-a-time
// forms' steps on both 128-bit halves of a register, so the bits are the scalar forms'.
// Built into 64-bit programs other than Windows ones, where the compiler does not align
// the stack for 32-byte spills; chosen at run time, so the program still runs without AVX2.
#include "player/core/render/rows.h"

#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__) && !defined(_WIN32)
#define FLICKWELL_WIDE_ROWS 1
#include <immintrin.h>
#define WIDE __attribute__((target("avx2")))
#endif

namespace render {
namespace rows {

#if defined(FLICKWELL_WIDE_ROWS)

bool Wide() {
    static const bool wide = __builtin_cpu_supports("avx2");
    return wide;
}

namespace {

// Eight pixels' channels each times its pixel's factor of 0..256, as the scalar ScalePixel:
// red and blue in the low bytes of 16-bit halves, alpha and green shifted down to them, the
// factor in both halves. Cheaper than widening every channel to 16 bits and back.
WIDE inline __m256i ScalePixels(__m256i p, __m256i f) {
    const __m256i both = _mm256_or_si256(f, _mm256_slli_epi32(f, 16));
    const __m256i low = _mm256_set1_epi32(0x00FF00FF);
    const __m256i rb = _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_and_si256(p, low), both), 8);
    const __m256i ag = _mm256_mullo_epi16(_mm256_srli_epi16(p, 8), both);
    return _mm256_or_si256(rb, _mm256_andnot_si256(low, ag));
}

// Eight pixels' mixes of p and q, each by its pixel's fraction f of 256 (in both 16-bit
// halves of its lane), rounded as the scalar Lerp2; the channels where they lie, as
// ScalePixels has them.
WIDE inline __m256i Lerp8(__m256i p, __m256i q, __m256i f) {
    const __m256i low = _mm256_set1_epi32(0x00FF00FF), half = _mm256_set1_epi16(128);
    const __m256i g = _mm256_sub_epi16(_mm256_set1_epi16(256), f);
    auto mix = [&](__m256i a, __m256i b) WIDE {
        return _mm256_add_epi16(
            _mm256_add_epi16(_mm256_mullo_epi16(a, g), _mm256_mullo_epi16(b, f)), half);
    };
    const __m256i rb =
        _mm256_srli_epi16(mix(_mm256_and_si256(p, low), _mm256_and_si256(q, low)), 8);
    const __m256i ag = mix(_mm256_srli_epi16(p, 8), _mm256_srli_epi16(q, 8));
    return _mm256_or_si256(rb, _mm256_andnot_si256(low, ag));
}

// Over: src plus dst times 256 - a - (a >> 7), a the source's alpha.
WIDE inline __m256i Over8(__m256i dst, __m256i src) {
    const __m256i a = _mm256_srli_epi32(src, 24);
    const __m256i inv =
        _mm256_sub_epi32(_mm256_sub_epi32(_mm256_set1_epi32(256), a), _mm256_srli_epi32(a, 7));
    return _mm256_add_epi32(src, ScalePixels(dst, inv));
}

// The source first scaled by each pixel's cover (255 scales by 256, leaving it whole).
WIDE inline __m256i Blend8(__m256i dst, __m256i src, const uint8_t* covers) {
    __m256i c = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(covers)));
    c = _mm256_add_epi32(c, _mm256_srli_epi32(c, 7));
    return Over8(dst, ScalePixels(src, c));
}

WIDE inline bool Opaque8(__m256i src) {
    const __m256i a = _mm256_srli_epi32(src, 24);
    return _mm256_movemask_epi8(_mm256_cmpeq_epi32(a, _mm256_set1_epi32(255))) == -1;
}

inline uint64_t Covers8(const uint8_t* c) {
    uint64_t v;
    std::memcpy(&v, c, sizeof v);
    return v;
}

WIDE inline __m256i Load(const uint32_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

WIDE inline void Store(uint32_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// A row of n >= 8 pixels eight at a time, `at(i)` making pixels i to i + 7 from the row as
// it was. The last eight, which may overlap the eight before them, are made before any is
// stored: a pixel stored twice is stored alike, and no pixel is left to a slower loop.
template <class At> WIDE inline void Eights(uint32_t* d, int n, At at) {
    const __m256i last = at(n - 8);
    for (int i = 0; i + 8 < n; i += 8) {
        Store(d + i, at(i));
    }
    Store(d + n - 8, last);
}

WIDE inline __m256i BlendAt(const uint32_t* d, const uint32_t* src, const uint8_t* covers) {
    const uint64_t c8 = Covers8(covers);
    if (c8 == 0) {
        return Load(d);
    }
    const __m256i s = Load(src);
    if (c8 == ~uint64_t(0)) {
        return Opaque8(s) ? s : Over8(Load(d), s);
    }
    return Blend8(Load(d), s, covers);
}

WIDE inline __m256i SolidAt(const uint32_t* d, __m256i s, bool opaque, const uint8_t* covers) {
    const uint64_t c8 = Covers8(covers);
    if (c8 == ~uint64_t(0)) {
        return opaque ? s : Over8(Load(d), s);
    }
    return c8 == 0 ? Load(d) : Blend8(Load(d), s, covers);
}

// Pixels i to i + 7's ramp indices: their distances from the centre, as the scalar form's.
struct RadialSteps {
    __m256 u0, v0, du, dv;
};
WIDE inline __m256i RadialIndices(const RadialSteps& r, int i) {
    // u + i * du, a multiply and an add apart (never fused); i + k is exact in a float.
    const __m256 at = _mm256_add_ps(_mm256_set1_ps(float(i)),
                                    _mm256_set_ps(7.0f, 6.0f, 5.0f, 4.0f, 3.0f, 2.0f, 1.0f, 0.0f));
    const __m256 pu = _mm256_add_ps(r.u0, _mm256_mul_ps(at, r.du));
    const __m256 pv = _mm256_add_ps(r.v0, _mm256_mul_ps(at, r.dv));
    const __m256 d = _mm256_sqrt_ps(_mm256_add_ps(_mm256_mul_ps(pu, pu), _mm256_mul_ps(pv, pv)));
    const __m256i inside = _mm256_castps_si256(_mm256_cmp_ps(d, _mm256_set1_ps(1.0f), _CMP_LT_OQ));
    const __m256i k = _mm256_cvttps_epi32(
        _mm256_add_ps(_mm256_mul_ps(d, _mm256_set1_ps(255.0f)), _mm256_set1_ps(0.5f)));
    return _mm256_blendv_epi8(_mm256_set1_epi32(255), k, inside);
}

// Mixes the columns of rows r0 and r1 by fy into mixed, n >= 8 of them.
WIDE inline void MixColumns(const uint32_t* r0, const uint32_t* r1, uint32_t fy, uint32_t* mixed,
                            int n) {
    const __m256i f = _mm256_set1_epi16(short(fy));
    Eights(mixed, n, [&](int k) WIDE { return Lerp8(Load(r0 + k), Load(r1 + k), f); });
}

// Two pixels' pairs of columns, the pixels at u and u + 4 * du: each pair's eight channels
// in one 128-bit lane, left column then right.
WIDE inline __m256i PairsAt(const uint32_t* base, int64_t u, int64_t du) {
    auto pair = [&](int64_t v) {
        return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(base + (v >> 16)));
    };
    return _mm256_inserti128_si256(_mm256_castsi128_si256(pair(u)), pair(u + 4 * du), 1);
}

// Eight pixels along a row of columns already mixed by fy: pixel k mixes columns x and x + 1
// of `base`, x = (u + k * du) >> 16, by the fraction, as the scalar Lerp2 rounds.
WIDE inline __m256i AcrossEight(const uint32_t* base, int64_t u, int64_t du) {
    const __m256i zero = _mm256_setzero_si256();
    // Each pixel's weights: 256 - f for the left column's four channels, f for the right's.
    const __m256i at =
        _mm256_add_epi32(_mm256_set1_epi32(int32_t(u & 0xFFFF)),
                         _mm256_mullo_epi32(_mm256_set1_epi32(int32_t(du)),
                                            _mm256_set_epi32(7, 6, 5, 4, 3, 2, 1, 0)));
    const __m256i f = _mm256_and_si256(_mm256_srli_epi32(at, 8), _mm256_set1_epi32(255));
    auto weights = [&](int k) WIDE { // pixels k and k + 4
        const char b = char(4 * k), z = char(-128);
        const __m256i spread = _mm256_setr_epi8(b, z, b, z, b, z, b, z, b, z, b, z, b, z, b, z, b,
                                                z, b, z, b, z, b, z, b, z, b, z, b, z, b, z);
        const __m256i fk = _mm256_shuffle_epi8(f, spread);
        return _mm256_blend_epi16(_mm256_sub_epi16(_mm256_set1_epi16(256), fk), fk, 0xF0);
    };
    auto across = [&](int k) WIDE { // pixels k, k + 1, k + 4 and k + 5
        const __m256i a = PairsAt(base, u + du * k, du), b = PairsAt(base, u + du * (k + 1), du);
        const __m256i wa = _mm256_mullo_epi16(_mm256_unpacklo_epi8(a, zero), weights(k));
        const __m256i wb = _mm256_mullo_epi16(_mm256_unpacklo_epi8(b, zero), weights(k + 1));
        const __m256i sum =
            _mm256_add_epi16(_mm256_unpacklo_epi64(wa, wb), _mm256_unpackhi_epi64(wa, wb));
        return _mm256_srli_epi16(_mm256_add_epi16(sum, _mm256_set1_epi16(128)), 8);
    };
    return _mm256_packus_epi16(across(0), across(2));
}

// The first n < 8 covers, the rest zero, reading none past them.
inline uint64_t FewCovers(const uint8_t* c, int n) {
    if (n < 4) {
        uint64_t v = 0;
        for (int i = 0; i < n; ++i) {
            v |= uint64_t(c[i]) << (8 * i);
        }
        return v;
    }
    uint32_t lo, hi;
    std::memcpy(&lo, c, 4);
    std::memcpy(&hi, c + n - 4, 4);
    return lo | uint64_t(hi) << (8 * (n - 4));
}

// Pixels 0 to n - 1 of eight, n < 8.
WIDE inline __m256i FewMask(int n) {
    return _mm256_cmpgt_epi32(_mm256_set1_epi32(n), _mm256_set_epi32(7, 6, 5, 4, 3, 2, 1, 0));
}

// A row shorter than eight pixels in one vector, the pixels past it neither read nor written
// (their covers taken as zero); `src` gives the source for the pixels the mask holds.
template <class Src> WIDE inline void BlendFew(uint32_t* d, Src src, const uint8_t* covers, int n) {
    const __m256i mask = FewMask(n);
    int* p = reinterpret_cast<int*>(d);
    const uint64_t c8 = FewCovers(covers, n);
    const __m256i dst = _mm256_maskload_epi32(p, mask);
    _mm256_maskstore_epi32(p, mask, Blend8(dst, src(mask), reinterpret_cast<const uint8_t*>(&c8)));
}

// Eight ramp colours by index into out[0..7]: indices taken out 64 bits at a time, faster here
// than a gather or than loads from the indices stored.
WIDE inline void Lookup8(const uint32_t* ramp, __m256i index, uint32_t* out) {
    const __m128i lo = _mm256_castsi256_si128(index), hi = _mm256_extracti128_si256(index, 1);
    const uint64_t k[4] = {uint64_t(_mm_cvtsi128_si64(lo)), uint64_t(_mm_extract_epi64(lo, 1)),
                           uint64_t(_mm_cvtsi128_si64(hi)), uint64_t(_mm_extract_epi64(hi, 1))};
    for (int j = 0; j < 4; ++j) {
        out[2 * j] = ramp[uint32_t(k[j])];
        out[2 * j + 1] = ramp[k[j] >> 32];
    }
}

// Eight pixels a step of at most one column apart, pixel k at (at + k * step) from mixed[0]
// (16.16): their columns lie within eight of the lowest, so each pixel's pair is picked out
// of two registers of columns instead of loaded alone.
WIDE inline __m256i NearEight(const uint32_t* mixed, int32_t at, int32_t step, __m256i steps) {
    const __m256i pos = _mm256_add_epi32(_mm256_set1_epi32(at), steps);
    const int32_t low = (step < 0 ? at + 7 * step : at) >> 16;
    const __m256i pick = _mm256_sub_epi32(_mm256_srli_epi32(pos, 16), _mm256_set1_epi32(low));
    const __m256i p = _mm256_permutevar8x32_epi32(Load(mixed + low), pick);
    const __m256i q = _mm256_permutevar8x32_epi32(Load(mixed + low + 1), pick);
    // Each pixel's fraction, byte 1 of its position, in both halves of its lane (the zero
    // bytes, -128, make it 16 bits).
    const char z = char(-128);
    const __m256i f = _mm256_shuffle_epi8(pos, _mm256_setr_epi8(1, z, 1, z, 5, z, 5, z, 9, z, 9, z,
                                                                13, z, 13, z, 1, z, 1, z, 5, z, 5,
                                                                z, 9, z, 9, z, 13, z, 13, z));
    return Lerp8(p, q, f);
}

} // namespace

namespace eight {

WIDE void Blend(uint32_t* d, const uint32_t* src, const uint8_t* covers, int n) {
    if (n < 8) {
        if (n > 0) {
            const int* s = reinterpret_cast<const int*>(src);
            BlendFew(
                d, [s](__m256i mask) WIDE { return _mm256_maskload_epi32(s, mask); }, covers, n);
        }
        return;
    }
    Eights(d, n, [&](int i) WIDE { return BlendAt(d + i, src + i, covers + i); });
}

WIDE void BlendSolid(uint32_t* d, uint32_t color, const uint8_t* covers, int n) {
    if (n < 8) {
        if (n > 0) {
            BlendFew(
                d, [color](__m256i) WIDE { return _mm256_set1_epi32(int(color)); }, covers, n);
        }
        return;
    }
    const __m256i s = _mm256_set1_epi32(int(color));
    const bool opaque = (color >> 24) == 255;
    Eights(d, n, [&](int i) WIDE { return SolidAt(d + i, s, opaque, covers + i); });
}

WIDE void RadialRow(float u, float v, float du, float dv, const uint32_t* ramp, uint32_t* out,
                    int n) {
    const RadialSteps r{_mm256_set1_ps(u), _mm256_set1_ps(v), _mm256_set1_ps(du),
                        _mm256_set1_ps(dv)};
    if (n < 8) { // made in full, kept in part
        uint32_t eight[8];
        Lookup8(ramp, RadialIndices(r, 0), eight);
        for (int i = 0; i < n; ++i) {
            out[i] = eight[i];
        }
        return;
    }
    // The last eight may overlap the eight before: each pixel is made alike either time.
    for (int i = 0; i + 8 < n; i += 8) {
        Lookup8(ramp, RadialIndices(r, i), out + i);
    }
    Lookup8(ramp, RadialIndices(r, n - 8), out + n - 8);
}

WIDE void BilinearAlong(const uint32_t* r0, const uint32_t* r1, int64_t u, int64_t du, uint32_t fy,
                        uint32_t* out, int n) {
    // As the four-at-a-time form: the rows mixed once per column, then each pixel mixes two
    // columns, here fetched eight pixels at a time. Positions from the first column fit 32
    // bits: a row of at most kTexels pixels reads at most kTexels + 2 columns. Eight columns
    // past them are zero, read but never chosen by NearEight.
    alignas(32) uint32_t mixed[kTexels + 2 + 8];
    size_t first = 0;
    const int columns = n >= 8 && n <= kTexels ? AlongColumns(u, du, n, &first) : 0;
    if (columns < 8) {
        four::BilinearAlong(r0, r1, u, du, fy, out, n);
        return;
    }
    MixColumns(r0 + first, r1 + first, fy, mixed, columns);
    if (du < -65536 || du > 65536) {
        const int64_t from = u - (int64_t(first) << 16); // from mixed[0], the same fractions
        Eights(out, n, [&](int i) WIDE { return AcrossEight(mixed, from + du * i, du); });
        return;
    }
    Store(mixed + columns, _mm256_setzero_si256());
    const int32_t at = int32_t(u - (int64_t(first) << 16)), step = int32_t(du);
    const __m256i steps =
        _mm256_mullo_epi32(_mm256_set1_epi32(step), _mm256_set_epi32(7, 6, 5, 4, 3, 2, 1, 0));
    Eights(out, n, [&](int i) WIDE { return NearEight(mixed, at + i * step, step, steps); });
}

} // namespace eight

#else

bool Wide() {
    return false;
}

namespace eight {
void Blend(uint32_t* d, const uint32_t* src, const uint8_t* covers, int n) {
    four::Blend(d, src, covers, n);
}
void BlendSolid(uint32_t* d, uint32_t color, const uint8_t* covers, int n) {
    four::BlendSolid(d, color, covers, n);
}
void RadialRow(float u, float v, float du, float dv, const uint32_t* ramp, uint32_t* out, int n) {
    four::RadialRow(u, v, du, dv, ramp, out, n);
}
void BilinearAlong(const uint32_t* r0, const uint32_t* r1, int64_t u0, int64_t du, uint32_t fy,
                   uint32_t* out, int n) {
    four::BilinearAlong(r0, r1, u0, du, fy, out, n);
}
} // namespace eight

#endif

} // namespace rows
} // namespace render
