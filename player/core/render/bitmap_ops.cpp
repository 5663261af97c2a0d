#include "player/core/render/bitmap_ops.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "player/core/render/filters.h"
#include "player/core/render/rasterizer.h"
#include "player/core/swf/reserve.h"

namespace render {

namespace {

uint32_t Channel(uint32_t p, int shift) {
    return (p >> shift) & 255;
}

uint32_t Pack(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return a << 24 | r << 16 | g << 8 | b;
}

// Flash's channel numbers (1 red, 2 green, 4 blue, 8 alpha) as shifts; -1 for none.
int ShiftOf(int channel) {
    switch (channel) {
    case 1:
        return 16;
    case 2:
        return 8;
    case 4:
        return 0;
    case 8:
        return 24;
    default:
        return -1;
    }
}

// Park and Miller's minimal standard generator, as Flash's noise functions use it.
struct Lehmer {
    uint32_t x;
    uint32_t Next() {
        x = uint32_t(uint64_t(x) * 16807 % 2147483647);
        return x;
    }
    int Range(int low, int high) { return low + int(Next() % uint32_t(high - low + 1)); }
};

bool Passes(Compare test, uint32_t v, uint32_t t) {
    switch (test) {
    case Compare::Less:
        return v < t;
    case Compare::LessEqual:
        return v <= t;
    case Compare::Greater:
        return v > t;
    case Compare::GreaterEqual:
        return v >= t;
    case Compare::Equal:
        return v == t;
    case Compare::NotEqual:
        return v != t;
    }
    return false;
}

} // namespace

bool ScriptBitmapSizeAllowed(double width, double height, const BitmapLimits& limits) {
    return width >= 1 && height >= 1 && width <= limits.maxSide && height <= limits.maxSide &&
           width * height <= limits.maxPixels;
}

uint32_t ToStored(uint32_t argb, bool transparent) {
    const uint32_t a = transparent ? argb >> 24 : 255;
    if (a == 255) {
        return argb | 0xFF000000u;
    }
    auto m = [a](uint32_t c) { return uint32_t(std::lround(c * (a / 255.0))); };
    return Pack(a, m(Channel(argb, 16)), m(Channel(argb, 8)), m(Channel(argb, 0)));
}

uint32_t FromStored(uint32_t p) {
    const uint32_t a = p >> 24;
    if (a == 255 || a == 0) {
        return a == 0 ? 0 : p;
    }
    auto u = [a](uint32_t c) { return std::min(255u, uint32_t(std::lround(c * 255.0 / a))); };
    return Pack(a, u(Channel(p, 16)), u(Channel(p, 8)), u(Channel(p, 0)));
}

bool MakeScriptBitmap(int width, int height, bool transparent, uint32_t argb, ScriptBitmap* out,
                      const BitmapLimits& limits) {
    if (!ScriptBitmapSizeAllowed(width, height, limits) ||
        !memory::Obtainable<uint32_t>(size_t(width) * height)) {
        return false;
    }
    out->pixels = std::make_shared<swf::Bitmap>();
    out->pixels->width = width;
    out->pixels->height = height;
    out->transparent = transparent;
    out->pixels->pixels.assign(size_t(width) * height, ToStored(argb, transparent));
    return true;
}

IntRect ClipRect(IntRect r, int w, int h) {
    const int64_t x0 = std::max<int64_t>(r.x, 0), y0 = std::max<int64_t>(r.y, 0);
    const int64_t x1 = std::min<int64_t>(int64_t(r.x) + r.w, w);
    const int64_t y1 = std::min<int64_t>(int64_t(r.y) + r.h, h);
    if (x1 <= x0 || y1 <= y0) {
        return IntRect();
    }
    return IntRect{int(x0), int(y0), int(x1 - x0), int(y1 - y0)};
}

bool ClipCopy(const ScriptBitmap& dst, const ScriptBitmap& src, IntRect* r, int* dx, int* dy) {
    IntRect s = ClipRect(*r, src.Width(), src.Height());
    if (s.Empty()) {
        return false;
    }
    // Where the clipped source lands, then clipped to the destination.
    int64_t tx = int64_t(*dx) + (s.x - r->x), ty = int64_t(*dy) + (s.y - r->y);
    const int64_t cx0 = std::max<int64_t>(tx, 0), cy0 = std::max<int64_t>(ty, 0);
    const int64_t cx1 = std::min<int64_t>(tx + s.w, dst.Width());
    const int64_t cy1 = std::min<int64_t>(ty + s.h, dst.Height());
    if (cx1 <= cx0 || cy1 <= cy0) {
        return false;
    }
    s.x += int(cx0 - tx);
    s.y += int(cy0 - ty);
    s.w = int(cx1 - cx0);
    s.h = int(cy1 - cy0);
    *r = s;
    *dx = int(cx0);
    *dy = int(cy0);
    return true;
}

void FillRect(ScriptBitmap* b, IntRect r, uint32_t argb) {
    r = ClipRect(r, b->Width(), b->Height());
    const uint32_t v = ToStored(argb, b->transparent);
    for (int y = r.y; y < r.y + r.h; ++y) {
        std::fill_n(&b->At(r.x, y), r.w, v);
    }
}

void CopyPixels(ScriptBitmap* dst, const ScriptBitmap& src, IntRect r, int dx, int dy,
                bool mergeAlpha) {
    if (!ClipCopy(*dst, src, &r, &dx, &dy)) {
        return;
    }
    // The source may be the destination: copy the rows through a buffer.
    std::vector<uint32_t> row(r.w);
    const bool merge = mergeAlpha && src.transparent;
    const int step = dy > r.y && &src == dst ? -1 : 1;
    for (int i = 0; i < r.h; ++i) {
        const int k = step > 0 ? i : r.h - 1 - i;
        std::copy_n(&src.At(r.x, r.y + k), r.w, row.begin());
        uint32_t* out = &dst->At(dx, dy + k);
        for (int x = 0; x < r.w; ++x) {
            uint32_t p = merge ? Over(out[x], row[x]) : row[x];
            out[x] = dst->transparent ? p : ToStored(FromStored(p), false);
        }
    }
}

void CopyChannel(ScriptBitmap* dst, const ScriptBitmap& src, IntRect r, int dx, int dy,
                 int srcChannel, int dstChannel) {
    const int from = ShiftOf(srcChannel), to = ShiftOf(dstChannel);
    if (to < 0 || (to == 24 && !dst->transparent) || !ClipCopy(*dst, src, &r, &dx, &dy)) {
        return;
    }
    const ScriptBitmap copy =
        &src == dst ? ScriptBitmap{std::make_shared<swf::Bitmap>(*src.pixels), src.transparent}
                    : src;
    for (int y = 0; y < r.h; ++y) {
        for (int x = 0; x < r.w; ++x) {
            const uint32_t s = FromStored(copy.At(r.x + x, r.y + y));
            uint32_t& d = dst->At(dx + x, dy + y);
            const uint32_t v = from < 0 ? 0 : Channel(s, from);
            const uint32_t o = FromStored(d);
            d = ToStored((o & ~(255u << to)) | v << to, dst->transparent);
        }
    }
}

void ColorTransformRect(ScriptBitmap* b, IntRect r, const ColorMix& mix) {
    r = ClipRect(r, b->Width(), b->Height());
    for (int y = r.y; y < r.y + r.h; ++y) {
        for (int x = r.x; x < r.x + r.w; ++x) {
            const uint32_t p = FromStored(b->At(x, y));
            const int shifts[4] = {16, 8, 0, 24};
            uint32_t c[4];
            for (int k = 0; k < 4; ++k) {
                const double v = Channel(p, shifts[k]) * mix.mul[k] + mix.add[k];
                c[k] = uint32_t(std::max(0.0, std::min(255.0, std::floor(v))));
            }
            b->At(x, y) = ToStored(Pack(c[3], c[0], c[1], c[2]), b->transparent);
        }
    }
}

void Noise(ScriptBitmap* b, int32_t seed, int low, int high, int channels, bool gray) {
    low = std::max(0, std::min(low, 255));
    high = std::max(low, std::min(high, 255));
    Lehmer rng{seed <= 0 ? uint32_t(1 - int64_t(seed)) : uint32_t(seed)};
    const bool alpha = b->transparent && (channels & 8) != 0;
    for (uint32_t& p : b->pixels->pixels) {
        uint32_t r, g, bl, a;
        if (gray) {
            r = g = bl = rng.Range(low, high);
        } else {
            r = (channels & 1) ? rng.Range(low, high) : 0;
            g = (channels & 2) ? rng.Range(low, high) : 0;
            bl = (channels & 4) ? rng.Range(low, high) : 0;
        }
        a = alpha ? rng.Range(low, high) : 255;
        p = ToStored(Pack(a, r, g, bl), b->transparent);
    }
}

// ---- Perlin noise: the turbulence function of SVG 1.1's feTurbulence, seeded as there ----

namespace {

const int kLattice = 256, kPerlinN = 4096;

class Turbulence {
  public:
    explicit Turbulence(int64_t seed) {
        const int64_t m = 2147483647;
        if (seed <= 0) {
            seed = -(seed % (m - 1)) + 1;
        }
        seed = std::min(seed, m - 1);
        auto random = [&seed]() {
            // Schrage's form of 16807 * seed mod m, as the reference writes it.
            int64_t r = 16807 * (seed % 127773) - 2836 * (seed / 127773);
            seed = r <= 0 ? r + 2147483647 : r;
            return seed;
        };
        for (int k = 0; k < 4; ++k) {
            for (int i = 0; i < kLattice; ++i) {
                lattice_[i] = i;
                for (int j = 0; j < 2; ++j) {
                    gradient_[k][i][j] = double(random() % (2 * kLattice) - kLattice) / kLattice;
                }
                const double s = std::sqrt(gradient_[k][i][0] * gradient_[k][i][0] +
                                           gradient_[k][i][1] * gradient_[k][i][1]);
                gradient_[k][i][0] /= s;
                gradient_[k][i][1] /= s;
            }
        }
        for (int i = kLattice - 1; i > 0; --i) {
            const int k = lattice_[i];
            const int j = int(random() % kLattice);
            lattice_[i] = lattice_[j];
            lattice_[j] = k;
        }
        for (int i = 0; i < kLattice + 2; ++i) {
            lattice_[kLattice + i] = lattice_[i];
            for (int k = 0; k < 4; ++k) {
                gradient_[k][kLattice + i][0] = gradient_[k][i][0];
                gradient_[k][kLattice + i][1] = gradient_[k][i][1];
            }
        }
    }

    struct Stitch {
        int width = 0, height = 0, wrapX = 0, wrapY = 0;
    };

    double Noise2(int channel, double vx, double vy, const Stitch* stitch) const {
        const double tx = vx + kPerlinN, ty = vy + kPerlinN;
        int bx0 = int(tx), by0 = int(ty);
        int bx1 = bx0 + 1, by1 = by0 + 1;
        const double rx0 = tx - int(tx), ry0 = ty - int(ty);
        const double rx1 = rx0 - 1, ry1 = ry0 - 1;
        if (stitch != nullptr) {
            bx0 -= bx0 >= stitch->wrapX ? stitch->width : 0;
            bx1 -= bx1 >= stitch->wrapX ? stitch->width : 0;
            by0 -= by0 >= stitch->wrapY ? stitch->height : 0;
            by1 -= by1 >= stitch->wrapY ? stitch->height : 0;
        }
        bx0 &= 255;
        bx1 &= 255;
        by0 &= 255;
        by1 &= 255;
        const int i = lattice_[bx0], j = lattice_[bx1];
        const double* g = &gradient_[channel][0][0];
        auto dot = [g](int b, double x, double y) { return x * g[b * 2] + y * g[b * 2 + 1]; };
        auto lerp = [](double t, double a, double b) { return a + t * (b - a); };
        const double sx = rx0 * rx0 * (3 - 2 * rx0), sy = ry0 * ry0 * (3 - 2 * ry0);
        const double a =
            lerp(sx, dot(lattice_[i + by0], rx0, ry0), dot(lattice_[j + by0], rx1, ry0));
        const double b =
            lerp(sx, dot(lattice_[i + by1], rx0, ry1), dot(lattice_[j + by1], rx1, ry1));
        return lerp(sy, a, b);
    }

    double Sum(int channel, double x, double y, double fx, double fy, int octaves, bool fractal,
               const Stitch* start, const std::vector<swf::Point>& offsets) const {
        Stitch st;
        if (start != nullptr) {
            st = *start;
        }
        double sum = 0, ratio = 1;
        for (int o = 0; o < octaves; ++o) {
            const swf::Point off = o < int(offsets.size()) ? offsets[o] : swf::Point();
            const double n = Noise2(channel, (x + off.x) * fx * ratio, (y + off.y) * fy * ratio,
                                    start != nullptr ? &st : nullptr);
            sum += (fractal ? n : std::fabs(n)) / ratio;
            ratio *= 2;
            if (start != nullptr) {
                st.width *= 2;
                st.wrapX = 2 * st.wrapX - kPerlinN;
                st.height *= 2;
                st.wrapY = 2 * st.wrapY - kPerlinN;
            }
        }
        return sum;
    }

  private:
    int lattice_[2 * kLattice + 2];
    double gradient_[4][2 * kLattice + 2][2];
};

// Frequencies moved to whole lattice cells per tile, so the tile's edges meet.
double StitchFrequency(double f, double size) {
    if (f == 0) {
        return 0;
    }
    const double lo = std::floor(size * f) / size, hi = std::ceil(size * f) / size;
    return lo > 0 && f / lo < hi / f ? lo : hi;
}

uint32_t NoiseByte(double v, bool fractal) {
    const double b = fractal ? (v * 255 + 255 + 0.5) / 2 : v * 255 + 0.5;
    return uint32_t(std::max(0.0, std::min(255.0, b)));
}

} // namespace

void PerlinNoise(ScriptBitmap* b, double baseX, double baseY, int octaves, int32_t seed,
                 bool stitch, bool fractal, int channels, bool gray,
                 const std::vector<swf::Point>& offsets, const KeepGoing& keepGoing) {
    const Turbulence turb(seed);
    const int w = b->Width(), h = b->Height();
    double fx = baseX == 0 ? 0 : 1 / baseX, fy = baseY == 0 ? 0 : 1 / baseY;
    Turbulence::Stitch st;
    if (stitch) {
        fx = StitchFrequency(fx, w);
        fy = StitchFrequency(fy, h);
        st.width = int(w * fx + 0.5);
        st.height = int(h * fy + 0.5);
        st.wrapX = kPerlinN + st.width;
        st.wrapY = kPerlinN + st.height;
    }
    const Turbulence::Stitch* sp = stitch ? &st : nullptr;
    octaves = std::max(0, std::min(octaves, 32));
    for (int y = 0; y < h; ++y) {
        if (keepGoing && !keepGoing()) {
            return;
        }
        for (int x = 0; x < w; ++x) {
            double n[4] = {-1, -1, -1, 1};
            if (gray) {
                n[0] = n[1] = n[2] = turb.Sum(0, x, y, fx, fy, octaves, fractal, sp, offsets);
                if (channels & 8) {
                    n[3] = turb.Sum(1, x, y, fx, fy, octaves, fractal, sp, offsets);
                }
            } else {
                // Each channel asked for takes the next of the four noise tables.
                int table = 0;
                for (int c = 0; c < 4; ++c) {
                    if (channels & (1 << c)) {
                        n[c] = turb.Sum(table++, x, y, fx, fy, octaves, fractal, sp, offsets);
                    }
                }
            }
            const uint32_t a = b->transparent ? NoiseByte(n[3], fractal) : 255;
            // The store stays premultiplied: no colour above its alpha.
            auto c = [&](int k) { return std::min(a, NoiseByte(n[k], fractal)); };
            b->At(x, y) = Pack(a, c(0), c(1), c(2));
        }
    }
}

int32_t PixelDissolve(ScriptBitmap* dst, const ScriptBitmap& src, IntRect r, int dx, int dy,
                      int32_t seed, int count, uint32_t fill) {
    if (!ClipCopy(*dst, src, &r, &dx, &dy)) {
        return seed;
    }
    const int64_t total = int64_t(r.w) * r.h;
    count = int(std::max<int64_t>(0, std::min<int64_t>(count, total)));
    const bool same = &src == dst;
    const uint32_t stored = ToStored(fill, dst->transparent);
    // A full-period walk over the rectangle's pixels from the seed: each pixel once.
    uint64_t state = uint64_t(uint32_t(seed)) % uint64_t(total);
    const uint64_t step = 2654435761u % uint64_t(total) | 1;
    uint64_t stride = step;
    while (std::gcd(stride, uint64_t(total)) != 1) {
        stride += 2;
    }
    for (int i = 0; i < count; ++i) {
        const int x = int(state % r.w), y = int(state / r.w);
        dst->At(dx + x, dy + y) = same ? stored : src.At(r.x + x, r.y + y);
        state = (state + stride) % uint64_t(total);
    }
    return int32_t(state);
}

int Threshold(ScriptBitmap* dst, const ScriptBitmap& src, IntRect r, int dx, int dy, Compare test,
              uint32_t threshold, uint32_t color, uint32_t mask, bool copySource,
              const KeepGoing& keepGoing) {
    if (!ClipCopy(*dst, src, &r, &dx, &dy)) {
        return 0;
    }
    const ScriptBitmap copy =
        &src == dst ? ScriptBitmap{std::make_shared<swf::Bitmap>(*src.pixels), src.transparent}
                    : src;
    const uint32_t stored = ToStored(color, dst->transparent);
    int hits = 0;
    for (int y = 0; y < r.h; ++y) {
        if (keepGoing && !keepGoing()) {
            break;
        }
        for (int x = 0; x < r.w; ++x) {
            const uint32_t s = copy.At(r.x + x, r.y + y);
            uint32_t& d = dst->At(dx + x, dy + y);
            if (Passes(test, FromStored(s) & mask, threshold & mask)) {
                d = stored;
                ++hits;
            } else if (copySource) {
                d = s;
            }
        }
    }
    return hits;
}

bool FloodFill(ScriptBitmap* b, int x, int y, uint32_t argb, const KeepGoing& keepGoing) {
    if (x < 0 || y < 0 || x >= b->Width() || y >= b->Height()) {
        return false;
    }
    const uint32_t from = b->At(x, y), to = ToStored(argb, b->transparent);
    if (from == to) {
        return false;
    }
    // Row spans, so the work list stays small.
    std::vector<std::pair<int, int>> work{{x, y}};
    size_t done = 0;
    while (!work.empty()) {
        if ((++done & 1023) == 0 && keepGoing && !keepGoing()) {
            return true;
        }
        auto [px, py] = work.back();
        work.pop_back();
        if (b->At(px, py) != from) {
            continue;
        }
        int l = px, r = px;
        while (l > 0 && b->At(l - 1, py) == from) {
            --l;
        }
        while (r + 1 < b->Width() && b->At(r + 1, py) == from) {
            ++r;
        }
        for (int i = l; i <= r; ++i) {
            b->At(i, py) = to;
            for (int ny : {py - 1, py + 1}) {
                if (ny >= 0 && ny < b->Height() && b->At(i, ny) == from &&
                    (i == l || b->At(i - 1, ny) != from)) {
                    work.push_back({i, ny});
                }
            }
        }
    }
    return true;
}

void Scroll(ScriptBitmap* b, int dx, int dy) {
    IntRect r{0, 0, b->Width(), b->Height()};
    int tx = dx, ty = dy;
    if (!ClipCopy(*b, *b, &r, &tx, &ty)) {
        return;
    }
    std::vector<uint32_t> copy(b->pixels->pixels);
    for (int y = 0; y < r.h; ++y) {
        std::copy_n(&copy[size_t(r.y + y) * b->Width() + r.x], r.w, &b->At(tx, ty + y));
    }
}

IntRect ColorBounds(const ScriptBitmap& b, uint32_t mask, uint32_t color, bool find) {
    int x0 = b.Width(), y0 = b.Height(), x1 = -1, y1 = -1;
    for (int y = 0; y < b.Height(); ++y) {
        for (int x = 0; x < b.Width(); ++x) {
            const bool match = (FromStored(b.At(x, y)) & mask) == (color & mask);
            if (match == find) {
                x0 = std::min(x0, x);
                x1 = std::max(x1, x);
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
            }
        }
    }
    return x1 < 0 ? IntRect() : IntRect{x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

int CompareBitmaps(const ScriptBitmap& a, const ScriptBitmap& b, ScriptBitmap* out) {
    if (a.Width() != b.Width()) {
        return -3;
    }
    if (a.Height() != b.Height()) {
        return -4;
    }
    bool differ = false;
    std::vector<uint32_t> diff(a.pixels->pixels.size());
    for (size_t i = 0; i < diff.size(); ++i) {
        const uint32_t p = FromStored(a.pixels->pixels[i]), q = FromStored(b.pixels->pixels[i]);
        if ((p & 0xFFFFFF) != (q & 0xFFFFFF)) {
            // Colour differences, opaque.
            auto d = [&](int s) { return (Channel(p, s) - Channel(q, s)) & 255; };
            diff[i] = Pack(255, d(16), d(8), d(0));
            differ = true;
        } else if (p >> 24 != q >> 24) {
            diff[i] = Pack((Channel(p, 24) - Channel(q, 24)) & 255, 255, 255, 255);
            differ = true;
        }
    }
    if (!differ) {
        return 0;
    }
    out->transparent = true;
    out->pixels = std::make_shared<swf::Bitmap>();
    out->pixels->width = a.Width();
    out->pixels->height = a.Height();
    for (uint32_t& v : diff) {
        v = ToStored(v, true);
    }
    out->pixels->pixels = std::move(diff);
    return 1;
}

void Merge(ScriptBitmap* dst, const ScriptBitmap& src, IntRect r, int dx, int dy,
           const int mult[4]) {
    if (!ClipCopy(*dst, src, &r, &dx, &dy)) {
        return;
    }
    const int shifts[4] = {16, 8, 0, 24};
    for (int y = 0; y < r.h; ++y) {
        for (int x = 0; x < r.w; ++x) {
            const uint32_t s = FromStored(src.At(r.x + x, r.y + y));
            uint32_t& d = dst->At(dx + x, dy + y);
            const uint32_t o = FromStored(d);
            uint32_t c[4];
            for (int k = 0; k < 4; ++k) {
                const int m = std::max(0, std::min(mult[k], 256));
                const int sv = int(Channel(s, shifts[k])), dv = int(Channel(o, shifts[k]));
                c[k] = uint32_t((sv * m + dv * (256 - m)) / 256);
            }
            d = ToStored(Pack(c[3], c[0], c[1], c[2]), dst->transparent);
        }
    }
}

void PaletteMap(ScriptBitmap* dst, const ScriptBitmap& src, IntRect r, int dx, int dy,
                const uint32_t* const tables[4]) {
    if (!ClipCopy(*dst, src, &r, &dx, &dy)) {
        return;
    }
    const int shifts[4] = {16, 8, 0, 24};
    for (int y = 0; y < r.h; ++y) {
        for (int x = 0; x < r.w; ++x) {
            const uint32_t s = FromStored(src.At(r.x + x, r.y + y));
            uint32_t out = 0;
            for (int k = 0; k < 4; ++k) {
                const uint32_t v = Channel(s, shifts[k]);
                // A missing table keeps the channel where it was.
                out += tables[k] != nullptr ? tables[k][v] : v << shifts[k];
            }
            dst->At(dx + x, dy + y) = ToStored(out, dst->transparent);
        }
    }
}

bool HitRect(const ScriptBitmap& b, int atX, int atY, int alpha, IntRect r) {
    r.x -= atX;
    r.y -= atY;
    r = ClipRect(r, b.Width(), b.Height());
    for (int y = r.y; y < r.y + r.h; ++y) {
        for (int x = r.x; x < r.x + r.w; ++x) {
            if (int(b.At(x, y) >> 24) >= alpha) {
                return true;
            }
        }
    }
    return false;
}

bool HitBitmap(const ScriptBitmap& a, int ax, int ay, int alphaA, const ScriptBitmap& b, int bx,
               int by, int alphaB) {
    IntRect r = ClipRect(IntRect{bx - ax, by - ay, b.Width(), b.Height()}, a.Width(), a.Height());
    for (int y = r.y; y < r.y + r.h; ++y) {
        for (int x = r.x; x < r.x + r.w; ++x) {
            if (int(a.At(x, y) >> 24) >= alphaA &&
                int(b.At(x + ax - bx, y + ay - by) >> 24) >= alphaB) {
                return true;
            }
        }
    }
    return false;
}

void ApplyFilter(ScriptBitmap* dst, const ScriptBitmap& src, IntRect r, int dx, int dy,
                 const swf::Filter& filter) {
    if (!ClipCopy(*dst, src, &r, &dx, &dy)) {
        return;
    }
    const int w = dst->Width(), h = dst->Height();
    std::vector<uint32_t> layer(size_t(w) * h, 0);
    for (int y = 0; y < r.h; ++y) {
        std::copy_n(&src.At(r.x, r.y + y), r.w, &layer[size_t(dy + y) * w + dx]);
    }
    Canvas canvas{layer.data(), nullptr, w, h, w, nullptr};
    PixelBox box{dx, dy, dx + r.w, dy + r.h};
    ApplyFilters(std::vector<swf::Filter>{filter}, 1, &canvas, &box);
    for (int y = box.top; y < box.bottom; ++y) {
        for (int x = box.left; x < box.right; ++x) {
            const uint32_t p = layer[size_t(y) * w + x];
            dst->At(x, y) = dst->transparent ? p : Over(0xFF000000u, p);
        }
    }
}

Canvas CanvasOver(ScriptBitmap* b, IntRect clip, Transform* shift) {
    clip = ClipRect(clip, b->Width(), b->Height());
    Canvas c;
    if (clip.Empty()) {
        return c;
    }
    c.pixels = &b->At(clip.x, clip.y);
    c.width = clip.w;
    c.height = clip.h;
    c.stride = b->Width();
    *shift = Transform();
    shift->tx = -clip.x;
    shift->ty = -clip.y;
    return c;
}

void DrawBitmap(const swf::Bitmap& src, const Transform& m, const swf::ColorTransform& cx,
                bool smooth, const Canvas& canvas) {
    if (canvas.pixels == nullptr || src.width <= 0 || src.height <= 0) {
        return;
    }
    Paint paint;
    swf::FillStyle fill;
    fill.kind = swf::FillKind::Bitmap;
    fill.repeat = false;
    fill.smooth = smooth;
    fill.matrix.scaleX = fill.matrix.scaleY = 1 << 16;
    if (!MakePaint(fill, m, cx, &src, &paint)) {
        return;
    }
    double xy[8];
    m.Apply(0, 0, &xy[0], &xy[1]);
    m.Apply(src.width, 0, &xy[2], &xy[3]);
    m.Apply(src.width, src.height, &xy[4], &xy[5]);
    m.Apply(0, src.height, &xy[6], &xy[7]);
    Rasterizer ras;
    ras.Begin(canvas, true);
    ras.Polygon(xy, 4);
    ras.Fill(canvas, paint);
}

} // namespace render
