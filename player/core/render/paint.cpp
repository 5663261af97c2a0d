#include "player/core/render/paint.h"

#include <algorithm>
#include <cmath>

namespace render {

namespace {

uint8_t Clamp255(int v) {
    return static_cast<uint8_t>(std::min(255, std::max(0, v)));
}

// Gradient position (0..1 before spreading) to a ramp index.
inline int Spread(double t, swf::Spread spread) {
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
    for (int i = 0; i < 256; ++i) {
        size_t k = 0;
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

inline uint32_t BlendPixel(uint32_t dst, uint32_t src, unsigned cover) {
    if (cover == 255) {
        return Over(dst, src);
    }
    return Over(dst, ScalePixel(src, cover + (cover >> 7)));
}

inline uint32_t Lerp2(uint32_t p, uint32_t q, unsigned f256) {
    return ScalePixel(p, 256 - f256) + ScalePixel(q, f256);
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

uint32_t SampleBitmap(const Paint& p, double u, double v) {
    const swf::Bitmap& b = *p.bitmap;
    const int w = b.width, h = b.height;
    auto wrap = [&](int i, int n) {
        if (p.repeat) {
            i %= n;
            return i < 0 ? i + n : i;
        }
        return i < 0 ? 0 : i >= n ? n - 1 : i;
    };
    if (!p.smooth) {
        const int x = wrap(static_cast<int>(std::floor(u)), w);
        const int y = wrap(static_cast<int>(std::floor(v)), h);
        return b.pixels[size_t(y) * w + x];
    }
    u -= 0.5;
    v -= 0.5;
    const double fu = std::floor(u), fv = std::floor(v);
    const int x0 = static_cast<int>(fu), y0 = static_cast<int>(fv);
    const unsigned ax = static_cast<unsigned>((u - fu) * 256),
                   ay = static_cast<unsigned>((v - fv) * 256);
    const int xa = wrap(x0, w), xb = wrap(x0 + 1, w), ya = wrap(y0, h), yb = wrap(y0 + 1, h);
    const uint32_t* r0 = b.pixels.data() + size_t(ya) * w;
    const uint32_t* r1 = b.pixels.data() + size_t(yb) * w;
    return Lerp2(Lerp2(r0[xa], r0[xb], ax), Lerp2(r1[xa], r1[xb], ax), ay);
}

} // namespace

Transform Transform::From(const swf::Matrix& m) {
    Transform t;
    t.a = m.scaleX / 65536.0;
    t.b = m.rotateSkew0 / 65536.0;
    t.c = m.rotateSkew1 / 65536.0;
    t.d = m.scaleY / 65536.0;
    t.tx = m.translateX;
    t.ty = m.translateY;
    return t;
}

Transform Transform::operator*(const Transform& i) const {
    Transform t;
    t.a = a * i.a + c * i.b;
    t.b = b * i.a + d * i.b;
    t.c = a * i.c + c * i.d;
    t.d = b * i.c + d * i.d;
    t.tx = a * i.tx + c * i.ty + tx;
    t.ty = b * i.tx + d * i.ty + ty;
    return t;
}

bool Transform::Invert(Transform* out) const {
    const double det = a * d - b * c;
    if (!std::isfinite(det) || std::fabs(det) < 1e-12) {
        return false;
    }
    Transform t;
    t.a = d / det;
    t.b = -b / det;
    t.c = -c / det;
    t.d = a / det;
    t.tx = -(t.a * tx + t.c * ty);
    t.ty = -(t.b * tx + t.d * ty);
    *out = t;
    return true;
}

double Transform::Scale() const {
    return std::sqrt(std::fabs(a * d - b * c));
}

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

bool MakePaint(const swf::FillStyle& fill, const Transform& toDevice, const swf::ColorTransform& cx,
               const swf::Bitmap* bitmap, Paint* paint) {
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
        BuildRamp(fill.gradient, cx, &paint->ramp);
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

void BlendSpan(const Canvas& canvas, const Paint& paint, int x, int y, int length,
               const uint8_t* covers) {
    uint8_t scaled[4096];
    if (length <= 0) {
        return;
    }
    if (length > 4096) {
        BlendSpan(canvas, paint, x, y, 4096, covers);
        BlendSpan(canvas, paint, x + 4096, y, length - 4096, covers + 4096);
        return;
    }
    if (canvas.mask != nullptr) {
        const uint8_t* m = canvas.mask + size_t(y) * canvas.width + x;
        for (int i = 0; i < length; ++i) {
            scaled[i] = static_cast<uint8_t>((covers[i] * (m[i] + 1)) >> 8);
        }
        covers = scaled;
    }
    if (canvas.coverage != nullptr) { // a mask: union of coverage
        uint8_t* d = canvas.coverage + size_t(y) * canvas.stride + x;
        for (int i = 0; i < length; ++i) {
            d[i] = static_cast<uint8_t>(d[i] + covers[i] - (d[i] * covers[i] + 127) / 255);
        }
        return;
    }
    uint32_t* d = canvas.pixels + size_t(y) * canvas.stride + x;
    if (paint.kind == PaintKind::Solid) {
        const uint32_t c = paint.color;
        if ((c >> 24) == 255) {
            for (int i = 0; i < length; ++i) {
                d[i] = covers[i] == 255 ? c : BlendPixel(d[i], c, covers[i]);
            }
        } else {
            for (int i = 0; i < length; ++i) {
                d[i] = BlendPixel(d[i], c, covers[i]);
            }
        }
        return;
    }
    const Transform& t = paint.inverse;
    double u = t.a * (x + 0.5) + t.c * (y + 0.5) + t.tx;
    double v = t.b * (x + 0.5) + t.d * (y + 0.5) + t.ty;
    if (paint.kind == PaintKind::Gradient) {
        const uint32_t* ramp = paint.ramp.data();
        for (int i = 0; i < length; ++i, u += t.a, v += t.b) {
            if (covers[i] == 0) {
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
                    const double dx = px / len;
                    const double fd = paint.focal * dx;
                    const double s =
                        -fd + std::sqrt(std::max(0.0, fd * fd - (paint.focal * paint.focal - 1)));
                    g = s > 1e-9 ? len / s : 1;
                }
            }
            d[i] = BlendPixel(d[i], ramp[Spread(g, paint.spread)], covers[i]);
        }
        return;
    }
    const bool cx = !paint.cxform.IsIdentity();
    for (int i = 0; i < length; ++i, u += t.a, v += t.b) {
        if (covers[i] == 0) {
            continue;
        }
        uint32_t s = SampleBitmap(paint, u, v);
        if (cx) {
            s = ApplyCx(s, paint.cxform);
        }
        d[i] = BlendPixel(d[i], s, covers[i]);
    }
}

} // namespace render
