#include "player/core/video/vp6_pixels.h"

#include <cstdlib>
#include <cstring>

namespace video {
namespace vp6 {

namespace {

inline uint8_t Clip(int v) {
    return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// cos(k pi / 16) scaled by 2^16.
const int kC1 = 64277, kC2 = 60547, kC3 = 54491, kC4 = 46341, kC5 = 36410, kC6 = 25080, kC7 = 12785;

inline int Mul(int a, int c) {
    return static_cast<int>(static_cast<unsigned>(a) * static_cast<unsigned>(c)) >> 16;
}

// One 8-point inverse transform; `bias` joins the even part before the butterflies.
inline void Transform(const int* i, int bias, int* o) {
    const int a = Mul(kC1, i[1]) + Mul(kC7, i[7]);
    const int b = Mul(kC7, i[1]) - Mul(kC1, i[7]);
    const int c = Mul(kC3, i[3]) + Mul(kC5, i[5]);
    const int d = Mul(kC3, i[5]) - Mul(kC5, i[3]);
    const int ad = Mul(kC4, a - c), bd = Mul(kC4, b - d);
    const int cd = a + c, dd = b + d;
    const int e = Mul(kC4, i[0] + i[4]) + bias, f = Mul(kC4, i[0] - i[4]) + bias;
    const int g = Mul(kC2, i[2]) + Mul(kC6, i[6]);
    const int h = Mul(kC6, i[2]) - Mul(kC2, i[6]);
    const int ed = e - g, gd = e + g, add = f + ad, bdd = bd - h, fd = f - ad, hd = bd + h;
    o[0] = gd + cd;
    o[7] = gd - cd;
    o[1] = add + hd;
    o[2] = add - hd;
    o[3] = ed + dd;
    o[4] = ed - dd;
    o[5] = fd + bdd;
    o[6] = fd - bdd;
}

void Idct(const int16_t* block, bool only4x4, bool put, uint8_t* dst, int stride) {
    int16_t t[64];
    std::memcpy(t, block, sizeof t);
    if (only4x4) {
        for (int r = 0; r < 8; ++r) {
            for (int c = 0; c < 8; ++c) {
                if (r >= 4 || c >= 4) {
                    t[r * 8 + c] = 0;
                }
            }
        }
    }
    // Rows first; each result is kept to 16 bits as the format's reference does.
    for (int r = 0; r < 8; ++r) {
        int in[8], out[8];
        bool any = false;
        for (int k = 0; k < 8; ++k) {
            in[k] = t[r * 8 + k];
            any = any || in[k] != 0;
        }
        if (any) {
            Transform(in, 0, out);
            for (int k = 0; k < 8; ++k) {
                t[r * 8 + k] = static_cast<int16_t>(out[k]);
            }
        }
    }
    for (int c = 0; c < 8; ++c) {
        int in[8], out[8];
        bool ac = false;
        for (int k = 0; k < 8; ++k) {
            in[k] = t[k * 8 + c];
            ac = ac || (k > 0 && in[k] != 0);
        }
        uint8_t* d = dst + c;
        if (ac) {
            Transform(in, 8 + (put ? 16 * 128 : 0), out);
            for (int k = 0; k < 8; ++k) {
                uint8_t* p = d + k * stride;
                *p = Clip(put ? out[k] >> 4 : *p + (out[k] >> 4));
            }
        } else if (put || in[0] != 0) {
            const int v = (kC4 * in[0] + (8 << 16)) >> 20;
            for (int k = 0; k < 8; ++k) {
                uint8_t* p = d + k * stride;
                *p = Clip(put ? 128 + v : *p + v);
            }
        }
    }
}

inline int Bound(int v, int limit) {
    const int a = std::abs(v);
    const int r = a < limit ? a : a < 2 * limit ? 2 * limit - a : 0;
    return v < 0 ? -r : r;
}

} // namespace

void IdctPut(const int16_t* block, int selector, uint8_t* dst, int stride) {
    Idct(block, !(selector > 10 || selector == 1), true, dst, stride);
}

void IdctAdd(const int16_t* block, int selector, uint8_t* dst, int stride) {
    if (selector <= 1) {
        const int v = (block[0] + 15) >> 5;
        for (int r = 0; r < 8; ++r) {
            for (int c = 0; c < 8; ++c) {
                uint8_t* p = dst + r * stride + c;
                *p = Clip(*p + v);
            }
        }
        return;
    }
    Idct(block, selector <= 10, false, dst, stride);
}

void FilterEdge(uint8_t* p, int across, int along, int limit) {
    for (int i = 0; i < 12; ++i, p += along) {
        const int v = (p[-2 * across] - p[across]) + 3 * (p[0] - p[-across]);
        const int f = Bound((v + 4) >> 3, limit);
        p[-across] = Clip(p[-across] + f);
        p[0] = Clip(p[0] - f);
    }
}

void Bilinear(const uint8_t* s, int stride, int fx, int fy, uint8_t* d, int dstStride) {
    const int a = (8 - fx) * (8 - fy), b = fx * (8 - fy), c = (8 - fx) * fy, e = fx * fy;
    for (int y = 0; y < 8; ++y, s += stride, d += dstStride) {
        for (int x = 0; x < 8; ++x) {
            d[x] = uint8_t(
                (a * s[x] + b * s[x + 1] + c * s[x + stride] + e * s[x + stride + 1] + 32) >> 6);
        }
    }
}

void BilinearTwoPass(const uint8_t* s, int stride, int fx, int fy, uint8_t* d, int dstStride) {
    uint8_t t[9 * 8];
    for (int y = 0; y < 9; ++y, s += stride) {
        for (int x = 0; x < 8; ++x) {
            t[y * 8 + x] = uint8_t(((8 - fx) * 8 * s[x] + fx * 8 * s[x + 1] + 32) >> 6);
        }
    }
    for (int y = 0; y < 8; ++y, d += dstStride) {
        for (int x = 0; x < 8; ++x) {
            d[x] = uint8_t(((8 - fy) * 8 * t[y * 8 + x] + fy * 8 * t[y * 8 + 8 + x] + 32) >> 6);
        }
    }
}

void FourTap(const uint8_t* s, int stride, int step, const int16_t* w, uint8_t* d, int dstStride) {
    for (int y = 0; y < 8; ++y, s += stride, d += dstStride) {
        for (int x = 0; x < 8; ++x) {
            d[x] = Clip((s[x - step] * w[0] + s[x] * w[1] + s[x + step] * w[2] +
                         s[x + 2 * step] * w[3] + 64) >>
                        7);
        }
    }
}

void FourTapTwoPass(const uint8_t* s, int stride, const int16_t* wx, const int16_t* wy, uint8_t* d,
                    int dstStride) {
    int t[11 * 8];
    s -= stride;
    for (int y = 0; y < 11; ++y, s += stride) {
        for (int x = 0; x < 8; ++x) {
            t[y * 8 + x] = Clip(
                (s[x - 1] * wx[0] + s[x] * wx[1] + s[x + 1] * wx[2] + s[x + 2] * wx[3] + 64) >> 7);
        }
    }
    for (int y = 0; y < 8; ++y, d += dstStride) {
        const int* r = t + y * 8;
        for (int x = 0; x < 8; ++x) {
            d[x] = Clip(
                (r[x] * wy[0] + r[x + 8] * wy[1] + r[x + 16] * wy[2] + r[x + 24] * wy[3] + 64) >>
                7);
        }
    }
}

void Copy8x8(const uint8_t* s, int stride, uint8_t* d, int dstStride) {
    for (int y = 0; y < 8; ++y, s += stride, d += dstStride) {
        std::memcpy(d, s, 8);
    }
}

int Variance(const uint8_t* s, int stride) {
    int sum = 0, squares = 0;
    for (int y = 0; y < 8; y += 2, s += 2 * stride) {
        for (int x = 0; x < 8; x += 2) {
            sum += s[x];
            squares += s[x] * s[x];
        }
    }
    return (16 * squares - sum * sum) >> 8;
}

} // namespace vp6
} // namespace video
