#include "player/core/video/h263.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "player/core/video/bits.h"

namespace video {

namespace {

const uint8_t kZigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                             12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                             35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                             58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// Macroblock type and chroma pattern: symbol = intra << 2 | quant << 3 | cbpc.
const int kStuffing = 32;
const Vlc::Code kIntraMcbpc[] = {{1, 1, 4},  {1, 3, 5},  {2, 3, 6},  {3, 3, 7},        {1, 4, 12},
                                 {1, 6, 13}, {2, 6, 14}, {3, 6, 15}, {1, 9, kStuffing}};
const Vlc::Code kInterMcbpc[] = {
    {1, 1, 0},        {3, 4, 1},  {2, 4, 2},  {5, 6, 3},  // inter
    {3, 5, 4},        {4, 8, 5},  {3, 8, 6},  {3, 7, 7},  // intra
    {3, 3, 8},        {7, 7, 9},  {6, 7, 10}, {5, 9, 11}, // inter, quantiser change
    {4, 6, 12},       {4, 9, 13}, {3, 9, 14}, {2, 9, 15}, // intra, quantiser change
    {2, 3, 16},       {5, 7, 17}, {4, 7, 18}, {5, 8, 19}, // four vectors
    {1, 9, kStuffing}};
// Luma pattern as coded for intra macroblocks (inter ones code its complement).
const Vlc::Code kCbpy[] = {{3, 4, 0},  {5, 5, 1},  {4, 5, 2},  {9, 4, 3}, {3, 5, 4},  {7, 4, 5},
                           {2, 6, 6},  {11, 4, 7}, {2, 5, 8},  {3, 6, 9}, {5, 4, 10}, {10, 4, 11},
                           {4, 4, 12}, {8, 4, 13}, {6, 4, 14}, {3, 2, 15}};
// Motion vector differences in half pixels, by magnitude; a sign bit follows all but 0.
const Vlc::Code kMvd[] = {{1, 1, 0},    {1, 2, 1},    {1, 3, 2},    {1, 4, 3},    {3, 6, 4},
                          {5, 7, 5},    {4, 7, 6},    {3, 7, 7},    {11, 9, 8},   {10, 9, 9},
                          {9, 9, 10},   {17, 10, 11}, {16, 10, 12}, {15, 10, 13}, {14, 10, 14},
                          {13, 10, 15}, {12, 10, 16}, {11, 10, 17}, {10, 10, 18}, {9, 10, 19},
                          {8, 10, 20},  {7, 10, 21},  {6, 10, 22},  {5, 10, 23},  {4, 10, 24},
                          {7, 11, 25},  {6, 11, 26},  {5, 11, 27},  {4, 11, 28},  {3, 11, 29},
                          {2, 11, 30},  {3, 12, 31},  {2, 12, 32}};

// Transform coefficients: symbol = last << 12 | run << 6 | level; a sign bit follows.
#define C(last, run, level) int16_t((last) << 12 | (run) << 6 | (level))
const int kEscape = -2;
const Vlc::Code kTcoef[] = {
    {0x2, 2, C(0, 0, 1)},    {0xf, 4, C(0, 0, 2)},    {0x15, 6, C(0, 0, 3)},
    {0x17, 7, C(0, 0, 4)},   {0x1f, 8, C(0, 0, 5)},   {0x25, 9, C(0, 0, 6)},
    {0x24, 9, C(0, 0, 7)},   {0x21, 10, C(0, 0, 8)},  {0x20, 10, C(0, 0, 9)},
    {0x7, 11, C(0, 0, 10)},  {0x6, 11, C(0, 0, 11)},  {0x20, 11, C(0, 0, 12)},
    {0x6, 3, C(0, 1, 1)},    {0x14, 6, C(0, 1, 2)},   {0x1e, 8, C(0, 1, 3)},
    {0xf, 10, C(0, 1, 4)},   {0x21, 11, C(0, 1, 5)},  {0x50, 12, C(0, 1, 6)},
    {0xe, 4, C(0, 2, 1)},    {0x1d, 8, C(0, 2, 2)},   {0xe, 10, C(0, 2, 3)},
    {0x51, 12, C(0, 2, 4)},  {0xd, 5, C(0, 3, 1)},    {0x23, 9, C(0, 3, 2)},
    {0xd, 10, C(0, 3, 3)},   {0xc, 5, C(0, 4, 1)},    {0x22, 9, C(0, 4, 2)},
    {0x52, 12, C(0, 4, 3)},  {0xb, 5, C(0, 5, 1)},    {0xc, 10, C(0, 5, 2)},
    {0x53, 12, C(0, 5, 3)},  {0x13, 6, C(0, 6, 1)},   {0xb, 10, C(0, 6, 2)},
    {0x54, 12, C(0, 6, 3)},  {0x12, 6, C(0, 7, 1)},   {0xa, 10, C(0, 7, 2)},
    {0x11, 6, C(0, 8, 1)},   {0x9, 10, C(0, 8, 2)},   {0x10, 6, C(0, 9, 1)},
    {0x8, 10, C(0, 9, 2)},   {0x16, 7, C(0, 10, 1)},  {0x55, 12, C(0, 10, 2)},
    {0x15, 7, C(0, 11, 1)},  {0x14, 7, C(0, 12, 1)},  {0x1c, 8, C(0, 13, 1)},
    {0x1b, 8, C(0, 14, 1)},  {0x21, 9, C(0, 15, 1)},  {0x20, 9, C(0, 16, 1)},
    {0x1f, 9, C(0, 17, 1)},  {0x1e, 9, C(0, 18, 1)},  {0x1d, 9, C(0, 19, 1)},
    {0x1c, 9, C(0, 20, 1)},  {0x1b, 9, C(0, 21, 1)},  {0x1a, 9, C(0, 22, 1)},
    {0x22, 11, C(0, 23, 1)}, {0x23, 11, C(0, 24, 1)}, {0x56, 12, C(0, 25, 1)},
    {0x57, 12, C(0, 26, 1)}, {0x7, 4, C(1, 0, 1)},    {0x19, 9, C(1, 0, 2)},
    {0x5, 11, C(1, 0, 3)},   {0xf, 6, C(1, 1, 1)},    {0x4, 11, C(1, 1, 2)},
    {0xe, 6, C(1, 2, 1)},    {0xd, 6, C(1, 3, 1)},    {0xc, 6, C(1, 4, 1)},
    {0x13, 7, C(1, 5, 1)},   {0x12, 7, C(1, 6, 1)},   {0x11, 7, C(1, 7, 1)},
    {0x10, 7, C(1, 8, 1)},   {0x1a, 8, C(1, 9, 1)},   {0x19, 8, C(1, 10, 1)},
    {0x18, 8, C(1, 11, 1)},  {0x17, 8, C(1, 12, 1)},  {0x16, 8, C(1, 13, 1)},
    {0x15, 8, C(1, 14, 1)},  {0x14, 8, C(1, 15, 1)},  {0x13, 8, C(1, 16, 1)},
    {0x18, 9, C(1, 17, 1)},  {0x17, 9, C(1, 18, 1)},  {0x16, 9, C(1, 19, 1)},
    {0x15, 9, C(1, 20, 1)},  {0x14, 9, C(1, 21, 1)},  {0x13, 9, C(1, 22, 1)},
    {0x12, 9, C(1, 23, 1)},  {0x11, 9, C(1, 24, 1)},  {0x7, 10, C(1, 25, 1)},
    {0x6, 10, C(1, 26, 1)},  {0x5, 10, C(1, 27, 1)},  {0x4, 10, C(1, 28, 1)},
    {0x24, 11, C(1, 29, 1)}, {0x25, 11, C(1, 30, 1)}, {0x26, 11, C(1, 31, 1)},
    {0x27, 11, C(1, 32, 1)}, {0x58, 12, C(1, 33, 1)}, {0x59, 12, C(1, 34, 1)},
    {0x5a, 12, C(1, 35, 1)}, {0x5b, 12, C(1, 36, 1)}, {0x5c, 12, C(1, 37, 1)},
    {0x5d, 12, C(1, 38, 1)}, {0x5e, 12, C(1, 39, 1)}, {0x5f, 12, C(1, 40, 1)},
    {0x3, 7, kEscape}};
#undef C

const Vlc& IntraMcbpc() {
    static const Vlc v(kIntraMcbpc, sizeof kIntraMcbpc / sizeof kIntraMcbpc[0]);
    return v;
}
const Vlc& InterMcbpc() {
    static const Vlc v(kInterMcbpc, sizeof kInterMcbpc / sizeof kInterMcbpc[0]);
    return v;
}
const Vlc& Cbpy() {
    static const Vlc v(kCbpy, sizeof kCbpy / sizeof kCbpy[0]);
    return v;
}
const Vlc& Mvd() {
    static const Vlc v(kMvd, sizeof kMvd / sizeof kMvd[0]);
    return v;
}
const Vlc& Tcoef() {
    static const Vlc v(kTcoef, sizeof kTcoef / sizeof kTcoef[0]);
    return v;
}

inline uint8_t Clip(int v) {
    return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

int Median(int a, int b, int c) {
    return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

// One block's coefficients in natural order, dequantised; false when the bits are bad.
bool ReadBlock(Bits* bits, int version, bool intra, bool coded, int q, int16_t* block) {
    std::memset(block, 0, 64 * sizeof(int16_t));
    int i = 0;
    if (intra) {
        int dc = bits->Read(8);
        if ((dc & 0x7F) == 0) {
            return false; // 0 and 128 are not allowed
        }
        block[0] = static_cast<int16_t>((dc == 255 ? 128 : dc) * 8);
        i = 1;
    }
    if (!coded) {
        return !bits->Overrun();
    }
    const int qadd = (q - 1) | 1;
    for (;;) {
        const int code = Tcoef().Read(bits);
        int last, run, level;
        if (code == kEscape) {
            if (version == 1) {
                const bool wide = bits->Bit();
                last = bits->Read(1);
                run = bits->Read(6);
                level = bits->Signed(wide ? 11 : 7);
            } else {
                last = bits->Read(1);
                run = bits->Read(6);
                level = bits->Signed(8);
            }
            if (level == 0) {
                return false;
            }
        } else if (code < 0) {
            return false;
        } else {
            last = code >> 12;
            run = (code >> 6) & 63;
            level = code & 63;
            if (bits->Bit()) {
                level = -level;
            }
        }
        i += run;
        if (i > 63) {
            return false;
        }
        int v = level > 0 ? 2 * q * level + qadd : 2 * q * level - qadd;
        block[kZigzag[i]] = static_cast<int16_t>(std::max(-2048, std::min(2047, v)));
        ++i;
        if (last) {
            break;
        }
        if (bits->Overrun()) {
            return false;
        }
    }
    return !bits->Overrun();
}

// A block of `size` predicted from `ref` at half-pel position (x2, y2), reading clamped
// to the plane (vectors may point outside it).
void Predict(const uint8_t* ref, int stride, int w, int h, int x2, int y2, int size, uint8_t* dst,
             int dstStride) {
    const int x = x2 >> 1, y = y2 >> 1, hx = x2 & 1, hy = y2 & 1;
    uint8_t edge[17 * 17];
    const uint8_t* src = ref + y * stride + x;
    int srcStride = stride;
    if (x < 0 || y < 0 || x + size + 1 > w || y + size + 1 > h) {
        for (int j = 0; j <= size; ++j) {
            const int sy = std::max(0, std::min(h - 1, y + j));
            for (int i = 0; i <= size; ++i) {
                edge[j * 17 + i] = ref[sy * stride + std::max(0, std::min(w - 1, x + i))];
            }
        }
        src = edge;
        srcStride = 17;
    }
    for (int j = 0; j < size; ++j) {
        const uint8_t* a = src + j * srcStride;
        const uint8_t* b = a + srcStride;
        uint8_t* d = dst + j * dstStride;
        if (!hx && !hy) {
            std::memcpy(d, a, size);
        } else if (hx && !hy) {
            for (int i = 0; i < size; ++i) {
                d[i] = static_cast<uint8_t>((a[i] + a[i + 1] + 1) >> 1);
            }
        } else if (!hx) {
            for (int i = 0; i < size; ++i) {
                d[i] = static_cast<uint8_t>((a[i] + b[i] + 1) >> 1);
            }
        } else {
            for (int i = 0; i < size; ++i) {
                d[i] = static_cast<uint8_t>((a[i] + a[i + 1] + b[i] + b[i + 1] + 2) >> 2);
            }
        }
    }
}

void PutBlock(const int16_t* block, uint8_t* dst, int stride) {
    int out[64];
    InverseDct(block, out);
    for (int j = 0; j < 8; ++j) {
        for (int i = 0; i < 8; ++i) {
            dst[j * stride + i] = Clip(out[j * 8 + i]);
        }
    }
}

void AddBlock(const int16_t* block, uint8_t* dst, int stride) {
    int out[64];
    InverseDct(block, out);
    for (int j = 0; j < 8; ++j) {
        for (int i = 0; i < 8; ++i) {
            dst[j * stride + i] = Clip(dst[j * stride + i] + out[j * 8 + i]);
        }
    }
}

struct Basis {
    float c[8][8]; // c[x][u]
    Basis() {
        for (int x = 0; x < 8; ++x) {
            for (int u = 0; u < 8; ++u) {
                c[x][u] =
                    static_cast<float>((u == 0 ? std::sqrt(0.5) : 1.0) / 2 *
                                       std::cos((2 * x + 1) * u * 3.14159265358979323846 / 16));
            }
        }
    }
};

} // namespace

Vlc::Vlc(const Code* codes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        width_ = std::max<int>(width_, codes[i].length);
    }
    for (size_t i = 0; i < count; ++i) {
        const int spare = width_ - codes[i].length;
        const uint32_t first = uint32_t(codes[i].bits) << spare;
        for (uint32_t k = 0; k < (1u << spare); ++k) {
            table_[first + k].symbol = codes[i].symbol;
            table_[first + k].length = codes[i].length;
        }
    }
}

void InverseDct(const int16_t* in, int* out) {
    static const Basis basis;
    bool acZero = true;
    for (int k = 1; k < 64 && acZero; ++k) {
        acZero = in[k] == 0;
    }
    if (acZero) {
        const int dc = static_cast<int>(std::floor(in[0] / 8.0 + 0.5));
        std::fill(out, out + 64, dc);
        return;
    }
    float rows[64];
    for (int v = 0; v < 8; ++v) {
        const int16_t* r = in + v * 8;
        float* t = rows + v * 8;
        if (!(r[0] | r[1] | r[2] | r[3] | r[4] | r[5] | r[6] | r[7])) {
            std::fill(t, t + 8, 0.0f);
            continue;
        }
        for (int x = 0; x < 8; ++x) {
            float s = 0;
            for (int u = 0; u < 8; ++u) {
                s += basis.c[x][u] * r[u];
            }
            t[x] = s;
        }
    }
    for (int x = 0; x < 8; ++x) {
        for (int y = 0; y < 8; ++y) {
            float s = 0;
            for (int v = 0; v < 8; ++v) {
                s += basis.c[y][v] * rows[v * 8 + x];
            }
            out[y * 8 + x] = static_cast<int>(std::floor(s + 0.5f));
        }
    }
}

bool ReadH263Header(const uint8_t* data, size_t size, H263Header* h, size_t* bitsUsed) {
    Bits bits(data, size);
    if (bits.Read(17) != 1) {
        return false;
    }
    h->version = bits.Read(5);
    if (h->version > 1) {
        return false;
    }
    bits.Skip(8); // temporal reference
    static const int kSizes[8][2] = {{0, 0},    {0, 0},     {352, 288}, {176, 144},
                                     {128, 96}, {320, 240}, {160, 120}, {0, 0}};
    const int format = bits.Read(3);
    if (format == 0 || format == 1) {
        const int n = format == 0 ? 8 : 16;
        h->width = bits.Read(n);
        h->height = bits.Read(n);
    } else {
        h->width = kSizes[format][0];
        h->height = kSizes[format][1];
    }
    h->type = bits.Read(2);
    h->deblocking = bits.Bit();
    h->quantizer = bits.Read(5);
    for (int n = 0; bits.Bit() && n < 4096; ++n) {
        bits.Skip(8); // extra information, ignored
    }
    *bitsUsed = bits.Position();
    return !bits.Overrun() && h->width > 0 && h->height > 0 && h->type < 3 && h->quantizer > 0;
}

int16_t* H263Decoder::Vector(int bx, int by) {
    if (bx < 0 || bx >= gridWidth_ || by < 0) {
        zero_[0] = zero_[1] = 0;
        return zero_; // outside the picture: a zero vector
    }
    return &mvs_[(size_t(by) * gridWidth_ + bx) * 2];
}

// The median of the vectors left, above and above right of block k of a macroblock (k = 0
// for a macroblock with one vector); on the top row only the left one counts.
void H263Decoder::PredictVector(int mx, int my, int k, int* out) {
    const int bx = 2 * mx + (k & 1), by = 2 * my + (k >> 1);
    int a[2] = {Vector(bx - 1, by)[0], Vector(bx - 1, by)[1]};
    if (my == 0 && k < 2) {
        out[0] = a[0];
        out[1] = a[1];
        return;
    }
    static const int kAboveRight[4] = {2, 1, 1, -1};
    const int16_t* b = Vector(bx, by - 1);
    const int16_t* c = Vector(bx + kAboveRight[k], by - 1);
    out[0] = Median(a[0], b[0], c[0]);
    out[1] = Median(a[1], b[1], c[1]);
}

size_t H263Decoder::BytesFor(int width, int height) const {
    const size_t coded = size_t((width + 15) & ~15) * ((height + 15) & ~15);
    return 2 * (coded * 3 / 2) + coded / 64 * 2 * sizeof(int16_t);
}

Status H263Decoder::Decode(const uint8_t* data, size_t size) {
    H263Header h;
    size_t used = 0;
    if (!ReadH263Header(data, size, &h, &used)) {
        return Status::Damaged;
    }
    if (h.width > kMaxSide || h.height > kMaxSide ||
        (maxWidth_ > 0 &&
         (h.width > ((maxWidth_ + 15) & ~15) || h.height > ((maxHeight_ + 15) & ~15)))) {
        return Status::TooLarge;
    }
    const bool intraPicture = h.type == 0;
    if (!intraPicture && (!haveRef_ || ref_.width != h.width || ref_.height != h.height)) {
        return Status::NeedKeyframe;
    }
    deblocking_ = h.deblocking;
    const int mbw = (h.width + 15) / 16, mbh = (h.height + 15) / 16;
    if (!work_.AllocateYuv(h.width, h.height, mbw * 16, mbh * 16, false)) {
        return Status::TooLarge;
    }
    gridWidth_ = 2 * mbw;
    mvs_.assign(size_t(gridWidth_) * 2 * mbh * 2, 0);
    Bits bits(data, size);
    bits.Skip(static_cast<int>(used));
    int q = h.quantizer;
    int16_t block[64];
    const int ys = work_.stride, cs = work_.chromaStride;
    const int pw = mbw * 16, ph = mbh * 16;
    for (int my = 0; my < mbh; ++my) {
        for (int mx = 0; mx < mbw; ++mx) {
            uint8_t* py = &work_.y[size_t(my) * 16 * ys + mx * 16];
            uint8_t* pu = &work_.u[size_t(my) * 8 * cs + mx * 8];
            uint8_t* pv = &work_.v[size_t(my) * 8 * cs + mx * 8];
            if (!intraPicture && bits.Bit()) { // not coded: the reference, unmoved
                Predict(ref_.y.data(), ys, pw, ph, mx * 32, my * 32, 16, py, ys);
                Predict(ref_.u.data(), cs, pw / 2, ph / 2, mx * 16, my * 16, 8, pu, cs);
                Predict(ref_.v.data(), cs, pw / 2, ph / 2, mx * 16, my * 16, 8, pv, cs);
                continue;
            }
            int mcbpc;
            do {
                mcbpc = (intraPicture ? IntraMcbpc() : InterMcbpc()).Read(&bits);
            } while (mcbpc == kStuffing && !bits.Overrun());
            if (mcbpc < 0 || bits.Overrun()) {
                return Status::Damaged;
            }
            const bool intra = (mcbpc & 4) != 0;
            int cbpy = Cbpy().Read(&bits);
            if (cbpy < 0) {
                return Status::Damaged;
            }
            if (!intra) {
                cbpy ^= 15;
            }
            const int cbp = cbpy << 2 | (mcbpc & 3);
            if (mcbpc & 8) {
                static const int kDq[4] = {-1, -2, 1, 2};
                q = std::max(1, std::min(31, q + kDq[bits.Read(2)]));
            }
            if (!intra) {
                const int vectors = mcbpc & 16 ? 4 : 1;
                int sum[2] = {0, 0};
                for (int k = 0; k < vectors; ++k) {
                    int v[2];
                    PredictVector(mx, my, k, v);
                    for (int c = 0; c < 2; ++c) {
                        const int code = Mvd().Read(&bits);
                        if (code < 0) {
                            return Status::Damaged;
                        }
                        const int d = code != 0 && bits.Bit() ? -code : code;
                        v[c] = ((v[c] + d + 32) & 63) - 32; // vectors wrap to -32..31 half pixels
                        sum[c] += v[c];
                    }
                    // One vector stands for all four blocks.
                    for (int b = vectors == 1 ? 0 : k; b < (vectors == 1 ? 4 : k + 1); ++b) {
                        int16_t* slot = Vector(2 * mx + (b & 1), 2 * my + (b >> 1));
                        slot[0] = static_cast<int16_t>(v[0]);
                        slot[1] = static_cast<int16_t>(v[1]);
                    }
                    if (vectors == 1) {
                        Predict(ref_.y.data(), ys, pw, ph, mx * 32 + v[0], my * 32 + v[1], 16, py,
                                ys);
                    } else {
                        const int bx = (k & 1) * 8, by = (k >> 1) * 8;
                        Predict(ref_.y.data(), ys, pw, ph, mx * 32 + bx * 2 + v[0],
                                my * 32 + by * 2 + v[1], 8, py + by * ys + bx, ys);
                    }
                }
                // Chroma moves half as far: a quarter position rounds to the half, and four
                // vectors' sum (in sixteenths of a chroma pixel) to the nearest half.
                int cv[2];
                for (int c = 0; c < 2; ++c) {
                    static const int kRound[16] = {0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2};
                    cv[c] = vectors == 1 ? (sum[c] >> 2) * 2 + ((sum[c] & 3) != 0)
                                         : kRound[sum[c] & 15] + ((sum[c] >> 3) & ~1);
                }
                Predict(ref_.u.data(), cs, pw / 2, ph / 2, mx * 16 + cv[0], my * 16 + cv[1], 8, pu,
                        cs);
                Predict(ref_.v.data(), cs, pw / 2, ph / 2, mx * 16 + cv[0], my * 16 + cv[1], 8, pv,
                        cs);
            }
            for (int b = 0; b < 6; ++b) {
                const bool coded = (cbp >> (5 - b)) & 1;
                uint8_t* dst = b < 4 ? py + (b >> 1) * 8 * ys + (b & 1) * 8 : b == 4 ? pu : pv;
                const int stride = b < 4 ? ys : cs;
                if (!intra && !coded) {
                    continue;
                }
                if (!ReadBlock(&bits, h.version, intra, coded, q, block)) {
                    return Status::Damaged;
                }
                if (intra) {
                    PutBlock(block, dst, stride);
                } else {
                    AddBlock(block, dst, stride);
                }
            }
        }
    }
    if (h.type == 2) {
        shown_ = &work_; // disposable: shown, never predicted from
    } else {
        std::swap(ref_, work_);
        shown_ = &ref_;
        haveRef_ = true;
    }
    return Status::Ok;
}

} // namespace video
