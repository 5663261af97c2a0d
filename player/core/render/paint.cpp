#include "player/core/render/paint.h"

#include <algorithm>
#include <cmath>

#include "player/core/render/rows.h"

namespace render {

namespace {

uint8_t Clamp255(int v) {
    return static_cast<uint8_t>(std::min(255, std::max(0, v)));
}

// Gradient position (0..1 before spreading) to a ramp index.
inline int Spread(double t, swf::Spread spread) {
    t = t == t ? std::max(-1e6, std::min(1e6, t)) : 0.0; // far outside is as good as the edge
    switch (spread) {
    case swf::Spread::Pad:
        break;
    case swf::Spread::Repeat:
        t -= std::floor(t);
        break;
    case swf::Spread::Reflect:
        t = std::fabs(t - 2.0 * std::floor(t * 0.5 + 0.5));
        break;
    }
    const int i = static_cast<int>(t * 255.0 + 0.5);
    return i < 0 ? 0 : i > 255 ? 255 : i;
}

void BuildRamp(const swf::Gradient& g, const swf::ColorTransform& cx, std::vector<uint32_t>* ramp) {
    ramp->assign(256, 0);
    std::vector<swf::GradientStop> stops = g.stops;
    for (auto& s : stops) {
        s.color = cx.Apply(s.color);
    }
    size_t k = 0; // the first stop at or past i, after stops all below it: only moves on
    for (int i = 0; i < 256; ++i) {
        while (k < stops.size() && stops[k].ratio < i) {
            ++k;
        }
        swf::Rgba c;
        if (k == 0) {
            c = stops.front().color;
        } else if (k == stops.size()) {
            c = stops.back().color;
        } else {
            const swf::GradientStop& a = stops[k - 1];
            const swf::GradientStop& b = stops[k];
            const int span = b.ratio - a.ratio;
            const double f = span > 0 ? double(i - a.ratio) / span : 1.0;
            auto mix = [f](uint8_t x, uint8_t y) { return Clamp255(int(x + (y - x) * f + 0.5)); };
            if (g.linearRgb) {
                auto lin = [](uint8_t v) { return std::pow(v / 255.0, 2.2); };
                auto mixl = [&](uint8_t x, uint8_t y) {
                    return Clamp255(
                        int(std::pow(lin(x) + (lin(y) - lin(x)) * f, 1 / 2.2) * 255 + 0.5));
                };
                c = {mixl(a.color.r, b.color.r), mixl(a.color.g, b.color.g),
                     mixl(a.color.b, b.color.b), mix(a.color.a, b.color.a)};
            } else {
                c = {mix(a.color.r, b.color.r), mix(a.color.g, b.color.g),
                     mix(a.color.b, b.color.b), mix(a.color.a, b.color.a)};
            }
        }
        (*ramp)[i] = Premultiplied(c);
    }
}

uint32_t ApplyCx(uint32_t p, const swf::ColorTransform& cx) {
    const unsigned a = p >> 24;
    swf::Rgba c;
    c.a = static_cast<uint8_t>(a);
    if (a != 0) {
        c.r = Clamp255(int(((p >> 16) & 255) * 255 / a));
        c.g = Clamp255(int(((p >> 8) & 255) * 255 / a));
        c.b = Clamp255(int((p & 255) * 255 / a));
    }
    return Premultiplied(cx.Apply(c));
}

} // namespace

uint32_t Premultiplied(swf::Rgba c) {
    const unsigned a = c.a;
    auto m = [a](unsigned v) { return (v * a + 127) / 255; };
    return (a << 24) | (m(c.r) << 16) | (m(c.g) << 8) | m(c.b);
}

Paint SolidPaint(swf::Rgba c, const swf::ColorTransform& cx) {
    Paint p;
    const swf::Rgba t = cx.Apply(c);
    p.color = Premultiplied(t);
    p.opaque = t.a == 255;
    return p;
}

const std::vector<uint32_t>& RampCache::Get(const swf::Gradient& g, const swf::ColorTransform& cx) {
    uint32_t h = 2166136261u ^ (g.linearRgb ? 1u : 0u);
    auto mix = [&h](uint32_t v) { h = (h ^ v) * 16777619u; };
    for (const swf::GradientStop& s : g.stops) {
        mix(uint32_t(s.ratio) | uint32_t(s.color.r) << 8 | uint32_t(s.color.g) << 16 |
            uint32_t(s.color.b) << 24);
        mix(s.color.a);
    }
    for (int16_t v : {cx.mulR, cx.mulG, cx.mulB, cx.mulA, cx.addR, cx.addG, cx.addB, cx.addA}) {
        mix(uint16_t(v));
    }
    auto holds = [&](const Slot& s) {
        return s.used && s.linearRgb == g.linearRgb && s.cx == cx && s.stops == g.stops;
    };
    // Each step above mixes a key's low bits only into the hash's low bits, and those are the
    // stops' places and alphas, alike in many movies' gradients: every bit is spread over all
    // of them before the low bits choose the set.
    h ^= h >> 16;
    h *= 0x85ebca6bu;
    h ^= h >> 13;
    h *= 0xc2b2ae35u;
    h ^= h >> 16;
    Slot* set = slots_ + (h % kSlots & ~size_t(kWays - 1));
    Slot* slot = set;
    for (size_t i = 0; i < kWays; ++i) {
        if (holds(set[i])) {
            slot = &set[i];
            break;
        }
        slot = set[i].asked < slot->asked ? &set[i] : slot; // the least lately asked for
    }
    if (!holds(*slot)) {
        BuildRamp(g, cx, &slot->ramp);
        ++builds_;
        slot->used = true;
        slot->linearRgb = g.linearRgb;
        slot->stops = g.stops;
        slot->cx = cx;
    }
    slot->asked = ++clock_;
    return slot->ramp;
}

bool MakePaint(const swf::FillStyle& fill, const Transform& toDevice, const swf::ColorTransform& cx,
               const swf::Bitmap* bitmap, Paint* paint, RampCache* ramps) {
    *paint = Paint();
    switch (fill.kind) {
    case swf::FillKind::Solid:
        *paint = SolidPaint(fill.color, cx);
        return true;
    case swf::FillKind::Linear:
    case swf::FillKind::Radial:
    case swf::FillKind::Focal: {
        if (fill.gradient.stops.empty()) {
            return false;
        }
        paint->kind = PaintKind::Gradient;
        paint->gradientKind = fill.kind;
        paint->spread = fill.gradient.spread;
        paint->focal = std::max(-0.98, std::min(0.98, fill.gradient.focal / 256.0));
        const Transform full = toDevice * Transform::From(fill.matrix);
        if (!full.Invert(&paint->inverse)) {
            // A degenerate gradient shows its last colour.
            *paint = SolidPaint(fill.gradient.stops.back().color, cx);
            return true;
        }
        if (ramps != nullptr) {
            paint->cachedRamp = ramps->Get(fill.gradient, cx).data();
        } else {
            BuildRamp(fill.gradient, cx, &paint->ownRamp);
        }
        return true;
    }
    case swf::FillKind::Bitmap: {
        if (bitmap == nullptr || bitmap->pixels.empty()) {
            // Flash shows a missing bitmap fill as nothing at all.
            return false;
        }
        paint->kind = PaintKind::Bitmap;
        paint->bitmap = bitmap;
        paint->repeat = fill.repeat;
        paint->smooth = fill.smooth;
        paint->cxform = cx;
        const Transform full = toDevice * Transform::From(fill.matrix);
        if (!full.Invert(&paint->inverse)) {
            return false;
        }
        // An axis-aligned bitmap drawn at its own size gains nothing from smoothing.
        if (std::fabs(full.a - 1) < 1e-6 && std::fabs(full.d - 1) < 1e-6 && full.b == 0 &&
            full.c == 0) {
            paint->smooth = false;
        }
        return true;
    }
    }
    return false;
}

namespace {

// The longest span worked in one piece; longer ones are cut.
const int kSpanPixels = 4096;

// Kept out of line, as BitmapSpan and MaskedSpan are: a solid span, the most common and
// often a few pixels, then pays for none of their buffers.
[[gnu::noinline]] void GradientSpan(uint32_t* d, const Paint& paint, double u, double v, int length,
                                    const uint8_t* covers) {
    // Source colours are gathered a row at a time, then blended together.
    uint32_t src[kSpanPixels];
    const Transform& t = paint.inverse;
    const uint32_t* ramp = paint.Ramp();
    const bool pad = paint.spread == swf::Spread::Pad;
    if (paint.gradientKind == swf::FillKind::Linear && pad) {
        // The ramp index moves by a constant step along the row: 16.16 fixed point.
        const double scale = 255.0 / 32768.0 * 65536.0;
        const int64_t fi =
            static_cast<int64_t>(std::max(-1e12, std::min(1e12, (u + 16384.0) * scale)));
        const int64_t step = static_cast<int64_t>(std::max(-1e12, std::min(1e12, t.a * scale)));
        rows::LinearRow(fi, step, ramp, src, length);
    } else if ((paint.gradientKind == swf::FillKind::Radial || paint.focal == 0) && pad) {
        rows::RadialRow(static_cast<float>(u / 16384.0), static_cast<float>(v / 16384.0),
                        static_cast<float>(t.a / 16384.0), static_cast<float>(t.b / 16384.0), ramp,
                        src, length);
    } else {
        for (int i = 0; i < length; ++i, u += t.a, v += t.b) {
            if (covers[i] == 0) {
                src[i] = 0;
                continue;
            }
            double g;
            if (paint.gradientKind == swf::FillKind::Linear) {
                g = (u + 16384.0) / 32768.0;
            } else if (paint.gradientKind == swf::FillKind::Radial || paint.focal == 0) {
                g = std::sqrt(u * u + v * v) / 16384.0;
            } else {
                // Focal: how far along the ray from the focal point to the circle.
                const double px = u / 16384.0 - paint.focal, py = v / 16384.0;
                const double len = std::sqrt(px * px + py * py);
                if (len < 1e-9) {
                    g = 0;
                } else {
                    const double fd = paint.focal * px / len;
                    const double s =
                        -fd + std::sqrt(std::max(0.0, fd * fd - (paint.focal * paint.focal - 1)));
                    g = s > 1e-9 ? len / s : 1;
                }
            }
            src[i] = ramp[Spread(g, paint.spread)];
        }
    }
    rows::Blend(d, src, covers, length);
}

[[gnu::noinline]] void BitmapSpan(uint32_t* d, const Paint& paint, double u, double v, int length,
                                  const uint8_t* covers) {
    uint32_t src[kSpanPixels];
    // 16.16 fixed point steps through the bitmap's pixels.
    const Transform& t = paint.inverse;
    const swf::Bitmap& b = *paint.bitmap;
    const int w = b.width, h = b.height;
    const uint32_t* px = b.pixels.data();
    const double half = paint.smooth ? 0.5 : 0.0;
    auto fixed = [](double f) {
        return static_cast<int64_t>(std::max(-1e13, std::min(1e13, f * 65536.0)));
    };
    int64_t fu = fixed(u - half), fv = fixed(v - half);
    const int64_t du = fixed(t.a), dv = fixed(t.b);
    const bool repeat = paint.repeat;
    auto wrap = [repeat](int64_t i, int n) -> int {
        if (i >= 0 && i < n) {
            return static_cast<int>(i);
        }
        if (repeat) {
            const int64_t m = i % n;
            return static_cast<int>(m < 0 ? m + n : m);
        }
        return i < 0 ? 0 : n - 1;
    };
    if (!paint.smooth) {
        for (int i = 0; i < length; ++i, fu += du, fv += dv) {
            src[i] = px[size_t(wrap(fv >> 16, h)) * w + wrap(fu >> 16, w)];
        }
    } else {
        // Clamping the four texels' columns and rows is the common case: a clipped bitmap,
        // or one whose rows stay put along the span (no rotation).
        rows::Texels tx;
        const int64_t wl = w - 1, hl = h - 1;
        auto clamp = [](int64_t i, int64_t last) {
            return static_cast<int>(i < 0 ? 0 : i > last ? last : i);
        };
        for (int at = 0; at < length; at += rows::kTexels) {
            const int n = std::min(rows::kTexels, length - at);
            if (!repeat && dv == 0) {
                const int64_t iv = fv >> 16;
                const uint32_t* r0 = px + size_t(clamp(iv, hl)) * w;
                const uint32_t* r1 = px + size_t(clamp(iv + 1, hl)) * w;
                const uint32_t fy = static_cast<uint32_t>((fv >> 8) & 255);
                const int64_t first = fu >> 16, last = (fu + du * (n - 1)) >> 16;
                if (std::min(first, last) >= 0 && std::max(first, last) < wl) {
                    // No column clamped: both texels of each pair lie inside the row.
                    rows::BilinearAlong(r0, r1, fu, du, fy, src + at, n);
                    fu += du * n;
                    continue;
                }
                for (int i = 0; i < n; ++i, fu += du) {
                    const int64_t iu = fu >> 16;
                    const int x0 = clamp(iu, wl), x1 = clamp(iu + 1, wl);
                    tx.t0[i] = r0[x0];
                    tx.t1[i] = r0[x1];
                    tx.b0[i] = r1[x0];
                    tx.b1[i] = r1[x1];
                    tx.fx[i] = static_cast<uint32_t>((fu >> 8) & 255);
                    tx.fy[i] = fy;
                }
            } else {
                for (int i = 0; i < n; ++i, fu += du, fv += dv) {
                    const int64_t iu = fu >> 16, iv = fv >> 16;
                    const int x0 = wrap(iu, w), x1 = wrap(iu + 1, w);
                    const uint32_t* r0 = px + size_t(wrap(iv, h)) * w;
                    const uint32_t* r1 = px + size_t(wrap(iv + 1, h)) * w;
                    tx.t0[i] = r0[x0];
                    tx.t1[i] = r0[x1];
                    tx.b0[i] = r1[x0];
                    tx.b1[i] = r1[x1];
                    tx.fx[i] = static_cast<uint32_t>((fu >> 8) & 255);
                    tx.fy[i] = static_cast<uint32_t>((fv >> 8) & 255);
                }
            }
            rows::Bilinear(tx, src + at, n);
        }
    }
    if (!paint.cxform.IsIdentity()) {
        for (int i = 0; i < length; ++i) {
            if (covers[i] != 0) {
                src[i] = ApplyCx(src[i], paint.cxform);
            }
        }
    }
    rows::Blend(d, src, covers, length);
}

// A span of at most kSpanPixels, its coverage already through the canvas's mask.
[[gnu::always_inline]] inline void UnmaskedSpan(const Canvas& canvas, const Paint& paint, int x,
                                                int y, int length, const uint8_t* covers) {
    if (canvas.coverage != nullptr) { // a mask: union of coverage
        uint8_t* d = canvas.coverage + canvas.At(y) + x;
        for (int i = 0; i < length; ++i) {
            d[i] = static_cast<uint8_t>(d[i] + covers[i] - (d[i] * covers[i] + 127) / 255);
        }
        return;
    }
    uint32_t* d = canvas.pixels + canvas.At(y) + x;
    // Spans come row after row at about the same columns, and a new row starts far from the
    // last one in memory: the next row's pixels are asked for while this one is blended.
    if (y + 1 < canvas.Bottom()) {
        const char* next = reinterpret_cast<const char*>(d + canvas.stride);
        for (int i = 0; i < std::min(length * 4, 512); i += 64) {
            __builtin_prefetch(next + i, 1);
        }
    }
    if (paint.kind == PaintKind::Solid) {
        rows::BlendSolid(d, paint.color, covers, length);
        return;
    }
    const Transform& t = paint.inverse;
    const double u = t.a * (x + 0.5) + t.c * (y + 0.5) + t.tx;
    const double v = t.b * (x + 0.5) + t.d * (y + 0.5) + t.ty;
    if (paint.kind == PaintKind::Gradient) {
        GradientSpan(d, paint, u, v, length, covers);
    } else {
        BitmapSpan(d, paint, u, v, length, covers);
    }
}

[[gnu::noinline]] void MaskedSpan(const Canvas& canvas, const Paint& paint, int x, int y,
                                  int length, const uint8_t* covers) {
    uint8_t scaled[kSpanPixels];
    const uint8_t* m = canvas.mask + canvas.MaskAt(y) + x;
    for (int i = 0; i < length; ++i) {
        scaled[i] = static_cast<uint8_t>((covers[i] * (m[i] + 1)) >> 8);
    }
    UnmaskedSpan(canvas, paint, x, y, length, scaled);
}

// Cut into pieces of kSpanPixels, kept out of line: the common short span saves no registers
// for it.
[[gnu::noinline]] void LongSpan(const Canvas& canvas, const Paint& paint, int x, int y, int length,
                                const uint8_t* covers) {
    for (int at = 0; at < length; at += kSpanPixels) {
        BlendSpan(canvas, paint, x + at, y, std::min(kSpanPixels, length - at), covers + at);
    }
}

} // namespace

void BlendSpan(const Canvas& canvas, const Paint& paint, int x, int y, int length,
               const uint8_t* covers) {
    if (length > kSpanPixels) {
        LongSpan(canvas, paint, x, y, length, covers);
    } else if (length <= 0) {
        return;
    } else if (canvas.mask != nullptr) {
        MaskedSpan(canvas, paint, x, y, length, covers);
    } else {
        UnmaskedSpan(canvas, paint, x, y, length, covers);
    }
}

} // namespace render
