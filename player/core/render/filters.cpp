#include "player/core/render/filters.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace render {

namespace {

// One box blur pass along rows (or columns) of the box, `radius` pixels each side: a
// running sum per channel, with the division done as an exact multiply (sums stay below
// 2^17 and windows below 2^10, where a 32-bit reciprocal rounds every quotient right).
void BoxPass(uint32_t* px, int stride, const PixelBox& box, int radius, bool vertical) {
    if (radius <= 0) {
        return;
    }
    const int lines = vertical ? box.right - box.left : box.bottom - box.top;
    const int length = vertical ? box.bottom - box.top : box.right - box.left;
    std::vector<uint32_t> line(size_t(length) + 2 * radius + 1, 0);
    const uint32_t div = static_cast<uint32_t>(2 * radius + 1);
    const uint64_t inverse = ((uint64_t(1) << 32) + div - 1) / div;
    for (int l = 0; l < lines; ++l) {
        uint32_t* base = vertical ? px + size_t(box.top) * stride + box.left + l
                                  : px + size_t(box.top + l) * stride + box.left;
        const size_t step = vertical ? size_t(stride) : 1;
        // The line with `radius` clear pixels before and after it.
        uint32_t* padded = line.data() + radius;
        for (int i = 0; i < length; ++i) {
            padded[i] = base[i * step];
        }
        uint32_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;
        for (int i = -radius; i <= radius; ++i) {
            const uint32_t p = padded[i];
            s0 += p & 255;
            s1 += (p >> 8) & 255;
            s2 += (p >> 16) & 255;
            s3 += p >> 24;
        }
        const uint32_t half = div / 2;
        for (int i = 0; i < length; ++i) {
            base[i * step] = uint32_t(((s0 + half) * inverse) >> 32) |
                             uint32_t(((s1 + half) * inverse) >> 32) << 8 |
                             uint32_t(((s2 + half) * inverse) >> 32) << 16 |
                             uint32_t(((s3 + half) * inverse) >> 32) << 24;
            const uint32_t out = padded[i - radius], in = padded[i + radius + 1];
            s0 += (in & 255) - (out & 255);
            s1 += ((in >> 8) & 255) - ((out >> 8) & 255);
            s2 += ((in >> 16) & 255) - ((out >> 16) & 255);
            s3 += (in >> 24) - (out >> 24);
        }
    }
}

void Blur(Canvas* layer, PixelBox* box, double bx, double by, int passes) {
    passes = std::max(1, std::min(passes, 3));
    // Wider than the surface blurs no further.
    const int rx = static_cast<int>(std::max(0.0, std::min(bx / 2, double(layer->width))));
    const int ry = static_cast<int>(std::max(0.0, std::min(by / 2, double(layer->height))));
    box->left = std::max(0, box->left - rx * passes);
    box->right = std::min(layer->width, box->right + rx * passes);
    box->top = std::max(0, box->top - ry * passes);
    box->bottom = std::min(layer->height, box->bottom + ry * passes);
    for (int p = 0; p < passes; ++p) {
        BoxPass(layer->pixels, layer->stride, *box, rx, false);
        BoxPass(layer->pixels, layer->stride, *box, ry, true);
    }
}

// The layer's alpha (or its complement, for inner effects) blurred and moved by the
// filter's distance, over the whole layer; `box` grows to hold it.
std::vector<uint8_t> BlurredAlpha(const swf::Filter& f, double scale, const Canvas& layer,
                                  const PixelBox& box, bool invert, int dx, int dy, PixelBox* out) {
    const int w = layer.width, h = layer.height;
    std::vector<uint32_t> a(size_t(w) * h, invert ? 255 : 0);
    // Outer effects need only the object's box, moved; inner ones the whole layer.
    PixelBox sb = invert ? PixelBox{0, 0, w, h}
                         : PixelBox{std::max(0, box.left + std::min(dx, 0)),
                                    std::max(0, box.top + std::min(dy, 0)),
                                    std::min(w, box.right + std::max(dx, 0)),
                                    std::min(h, box.bottom + std::max(dy, 0))};
    for (int y = sb.top; y < sb.bottom; ++y) {
        const int sy = y - dy;
        for (int x = sb.left; x < sb.right; ++x) {
            const int sx = x - dx;
            uint32_t v = 0;
            if (sx >= 0 && sy >= 0 && sx < w && sy < h) {
                v = layer.pixels[size_t(sy) * layer.stride + sx] >> 24;
            }
            a[size_t(y) * w + x] = invert ? 255 - v : v;
        }
    }
    Canvas sc{a.data(), nullptr, w, h, w, nullptr};
    Blur(&sc, &sb, f.blurX * scale, f.blurY * scale, f.passes);
    std::vector<uint8_t> out8(size_t(w) * h);
    for (size_t i = 0; i < out8.size(); ++i) {
        out8[i] = uint8_t(std::min<uint32_t>(255, a[i] & 255));
    }
    *out = invert ? PixelBox{0, 0, w, h} : sb;
    return out8;
}

uint8_t Strengthen(uint32_t a, double strength) {
    return uint8_t(std::min(255.0, a * strength));
}

// A colour of the effect at one pixel (premultiplied), then how it meets the object:
// under it, inside it (inner), instead of it (knockout) or alone (hidden object).
void Put(uint32_t effect, bool inner, const swf::Filter& f, uint32_t* d) {
    const uint32_t src = *d, sa = src >> 24;
    if (inner) {
        effect = ScalePixel(effect, sa + (sa >> 7)); // only where the object is
        *d = f.knockout ? effect : !f.compositeSource ? effect : Over(src, effect);
        return;
    }
    if (f.knockout) {
        *d = ScalePixel(effect, 256 - sa - (sa >> 7));
    } else if (!f.compositeSource) {
        *d = effect;
    } else {
        *d = Over(effect, src);
    }
}

uint32_t RampAt(const std::vector<swf::GradientStop>& stops, int v) {
    if (stops.empty()) {
        return 0;
    }
    const swf::GradientStop* lo = &stops.front();
    if (v <= lo->ratio) {
        return Premultiplied(lo->color);
    }
    for (size_t i = 1; i < stops.size(); ++i) {
        const swf::GradientStop& hi = stops[i];
        if (v <= hi.ratio) {
            const double t =
                hi.ratio == lo->ratio ? 1 : double(v - lo->ratio) / (hi.ratio - lo->ratio);
            auto mix = [t](uint8_t a, uint8_t b) { return uint8_t(std::lround(a + (b - a) * t)); };
            return Premultiplied(
                swf::Rgba{mix(lo->color.r, hi.color.r), mix(lo->color.g, hi.color.g),
                          mix(lo->color.b, hi.color.b), mix(lo->color.a, hi.color.a)});
        }
        lo = &hi;
    }
    return Premultiplied(stops.back().color);
}

void Grow(PixelBox* box, const PixelBox& b) {
    box->left = std::min(box->left, b.left);
    box->top = std::min(box->top, b.top);
    box->right = std::max(box->right, b.right);
    box->bottom = std::max(box->bottom, b.bottom);
}

// Drop shadow, glow and gradient glow: the blurred alpha, tinted (or looked up in the
// ramp), offset; inner ones from the complement of the alpha, inside the object.
void Shadow(const swf::Filter& f, double scale, Canvas* layer, PixelBox* box) {
    const double dist = f.distance * scale;
    const int dx = static_cast<int>(std::lround(std::cos(f.angle) * dist));
    const int dy = static_cast<int>(std::lround(std::sin(f.angle) * dist));
    PixelBox sb;
    const std::vector<uint8_t> a = BlurredAlpha(f, scale, *layer, *box, f.inner, dx, dy, &sb);
    const bool ramp = f.kind == swf::FilterKind::GradientGlow && !f.stops.empty();
    if (!f.inner) {
        Grow(&sb, *box);
    }
    const int w = layer->width;
    for (int y = sb.top; y < sb.bottom; ++y) {
        for (int x = sb.left; x < sb.right; ++x) {
            const uint8_t v = Strengthen(a[size_t(y) * w + x], f.strength);
            uint32_t effect;
            if (ramp) {
                effect = RampAt(f.stops, v);
                effect = ScalePixel(effect, v + (v >> 7));
            } else {
                effect = Premultiplied(
                    swf::Rgba{f.color.r, f.color.g, f.color.b, uint8_t(v * f.color.a / 255)});
            }
            Put(effect, f.inner, f, &layer->pixels[size_t(y) * layer->stride + x]);
        }
    }
    if (!f.inner) {
        *box = sb;
    }
}

// Bevels: the blurred alpha seen from the light and from the far side; where the light
// side is denser the highlight shows, where the far side is, the shadow.
void Bevel(const swf::Filter& f, double scale, Canvas* layer, PixelBox* box) {
    const double dist = f.distance * scale;
    const int dx = static_cast<int>(std::lround(std::cos(f.angle) * dist));
    const int dy = static_cast<int>(std::lround(std::sin(f.angle) * dist));
    PixelBox b1, b2;
    const std::vector<uint8_t> lit = BlurredAlpha(f, scale, *layer, *box, false, -dx, -dy, &b1);
    const std::vector<uint8_t> far = BlurredAlpha(f, scale, *layer, *box, false, dx, dy, &b2);
    PixelBox sb = b1;
    Grow(&sb, b2);
    Grow(&sb, *box);
    const bool ramp = f.kind == swf::FilterKind::GradientBevel && !f.stops.empty();
    const bool outer = !f.inner && !f.onTop;
    const int w = layer->width;
    for (int y = sb.top; y < sb.bottom; ++y) {
        for (int x = sb.left; x < sb.right; ++x) {
            const size_t i = size_t(y) * w + x;
            const double diff = (double(far[i]) - lit[i]) * f.strength;
            uint32_t effect;
            if (ramp) {
                const int v = int(std::max(0.0, std::min(255.0, 128 + diff / 2)));
                effect = RampAt(f.stops, v);
            } else {
                const swf::Rgba c = diff < 0 ? f.highlight : f.color;
                const double alpha = std::min(255.0, std::fabs(diff)) * c.a / 255;
                effect = Premultiplied(swf::Rgba{c.r, c.g, c.b, uint8_t(alpha)});
            }
            uint32_t& d = layer->pixels[size_t(y) * layer->stride + x];
            const uint32_t sa = d >> 24;
            if (f.inner) {
                Put(effect, true, f, &d);
            } else if (outer) {
                Put(ScalePixel(effect, 256 - sa - (sa >> 7)), false, f, &d);
            } else {
                const uint32_t src = d;
                d = f.knockout || !f.compositeSource ? effect : Over(src, effect);
            }
        }
    }
    *box = sb;
}

// Convolution over the object's own box (its filter surface): edges clamp to the box's
// nearest pixel or take the filter's colour.
void Convolve(const swf::Filter& f, Canvas* layer, PixelBox* box) {
    const int mx = f.matrixX, my = f.matrixY;
    if (mx <= 0 || my <= 0 || f.kernel.size() < size_t(mx) * my) {
        return;
    }
    const int w = box->right - box->left, h = box->bottom - box->top;
    std::vector<uint32_t> src(size_t(w) * h);
    for (int y = 0; y < h; ++y) {
        std::copy_n(layer->pixels + size_t(box->top + y) * layer->stride + box->left, w,
                    &src[size_t(y) * w]);
    }
    const double div = f.divisor == 0 ? 1 : f.divisor;
    const uint32_t fallback = Premultiplied(f.fallback);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            double sum[4] = {0, 0, 0, 0};
            for (int ky = 0; ky < my; ++ky) {
                for (int kx = 0; kx < mx; ++kx) {
                    int sx = x + kx - mx / 2, sy = y + ky - my / 2;
                    uint32_t p;
                    if (sx >= 0 && sy >= 0 && sx < w && sy < h) {
                        p = src[size_t(sy) * w + sx];
                    } else if (f.clamp) {
                        p = src[size_t(std::max(0, std::min(sy, h - 1))) * w +
                                std::max(0, std::min(sx, w - 1))];
                    } else {
                        p = fallback;
                    }
                    const double k = f.kernel[size_t(ky) * mx + kx];
                    for (int c = 0; c < 4; ++c) {
                        sum[c] += k * ((p >> (c * 8)) & 255);
                    }
                }
            }
            const uint32_t orig = src[size_t(y) * w + x];
            const double alpha = f.preserveAlpha
                                     ? double(orig >> 24)
                                     : std::max(0.0, std::min(255.0, sum[3] / div + f.bias));
            uint32_t out = uint32_t(alpha + 0.5) << 24;
            for (int c = 0; c < 3; ++c) {
                const double v = std::max(0.0, std::min(alpha, sum[c] / div + f.bias));
                out |= uint32_t(v + 0.5) << (c * 8);
            }
            layer->pixels[size_t(box->top + y) * layer->stride + box->left + x] = out;
        }
    }
}

int ComponentShift(int component) {
    switch (component) {
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

// Displacement: each pixel takes the source pixel the map's channels point it to.
void Displace(const swf::Filter& f, double scale, Canvas* layer, PixelBox* box) {
    if (!f.map || f.map->width <= 0 || f.map->height <= 0) {
        return;
    }
    const int w = layer->width, h = layer->height;
    std::vector<uint32_t> src(size_t(w) * h);
    for (int y = 0; y < h; ++y) {
        std::copy_n(layer->pixels + size_t(y) * layer->stride, w, &src[size_t(y) * w]);
    }
    const int shiftX = ComponentShift(f.componentX), shiftY = ComponentShift(f.componentY);
    const swf::Bitmap& map = *f.map;
    const uint32_t fallback = Premultiplied(f.fallback);
    const int ox = box->left + int(f.mapX * scale), oy = box->top + int(f.mapY * scale);
    for (int y = box->top; y < box->bottom; ++y) {
        for (int x = box->left; x < box->right; ++x) {
            const int mx = int((x - ox) / scale), my = int((y - oy) / scale);
            if (mx < 0 || my < 0 || mx >= map.width || my >= map.height) {
                continue;
            }
            const uint32_t m = map.pixels[size_t(my) * map.width + mx];
            auto offset = [&](int shift, float s) {
                const int v = shift < 0 ? 128 : int((m >> shift) & 255);
                return int(std::floor((v - 128) * s * scale / 256));
            };
            int sx = x + offset(shiftX, f.scaleX), sy = y + offset(shiftY, f.scaleY);
            uint32_t p;
            if (sx >= 0 && sy >= 0 && sx < w && sy < h) {
                p = src[size_t(sy) * w + sx];
            } else {
                switch (f.mode) {
                case swf::Filter::Edge::Wrap:
                    sx = ((sx % w) + w) % w;
                    sy = ((sy % h) + h) % h;
                    p = src[size_t(sy) * w + sx];
                    break;
                case swf::Filter::Edge::Clamp:
                    p = src[size_t(std::max(0, std::min(sy, h - 1))) * w +
                            std::max(0, std::min(sx, w - 1))];
                    break;
                case swf::Filter::Edge::Ignore:
                    p = src[size_t(y) * w + x];
                    break;
                default:
                    p = fallback;
                    break;
                }
            }
            layer->pixels[size_t(y) * layer->stride + x] = p;
        }
    }
}

void ColorMatrix(const float* m, Canvas* layer, const PixelBox& box) {
    for (int y = box.top; y < box.bottom; ++y) {
        uint32_t* row = layer->pixels + size_t(y) * layer->stride;
        for (int x = box.left; x < box.right; ++x) {
            const uint32_t p = row[x];
            const double a = p >> 24;
            double in[4] = {0, 0, 0, a};
            if (a > 0) {
                in[0] = ((p >> 16) & 255) * 255.0 / a;
                in[1] = ((p >> 8) & 255) * 255.0 / a;
                in[2] = (p & 255) * 255.0 / a;
            }
            swf::Rgba o;
            uint8_t* out[4] = {&o.r, &o.g, &o.b, &o.a};
            for (int k = 0; k < 4; ++k) {
                const double v = m[k * 5] * in[0] + m[k * 5 + 1] * in[1] + m[k * 5 + 2] * in[2] +
                                 m[k * 5 + 3] * in[3] + m[k * 5 + 4];
                *out[k] = static_cast<uint8_t>(std::max(0.0, std::min(255.0, v)));
            }
            row[x] = Premultiplied(o);
        }
    }
}

inline double BlendChannel(swf::BlendMode mode, double s, double d) {
    switch (mode) {
    case swf::BlendMode::Multiply:
        return s * d;
    case swf::BlendMode::Screen:
        return s + d - s * d;
    case swf::BlendMode::Lighten:
        return std::max(s, d);
    case swf::BlendMode::Darken:
        return std::min(s, d);
    case swf::BlendMode::Difference:
        return std::fabs(s - d);
    case swf::BlendMode::Overlay:
        return d <= 0.5 ? 2 * s * d : 1 - 2 * (1 - s) * (1 - d);
    case swf::BlendMode::HardLight:
        return s <= 0.5 ? 2 * s * d : 1 - 2 * (1 - s) * (1 - d);
    case swf::BlendMode::Invert:
        return 1 - d;
    default:
        return s;
    }
}

uint32_t BlendPixel(swf::BlendMode mode, uint32_t d, uint32_t s) {
    const double sa = (s >> 24) / 255.0, da = (d >> 24) / 255.0;
    if (sa == 0) {
        return d;
    }
    double out[4];
    if (mode == swf::BlendMode::Add || mode == swf::BlendMode::Subtract) {
        for (int c = 0; c < 4; ++c) {
            const double sv = ((s >> (c * 8)) & 255) / 255.0, dv = ((d >> (c * 8)) & 255) / 255.0;
            out[c] = c == 3                        ? std::min(1.0, sa + da - sa * da)
                     : mode == swf::BlendMode::Add ? std::min(1.0, sv + dv)
                                                   : std::max(0.0, dv - sv);
        }
    } else if (mode == swf::BlendMode::Alpha || mode == swf::BlendMode::Erase) {
        const double keep = mode == swf::BlendMode::Alpha ? sa : 1 - sa;
        for (int c = 0; c < 4; ++c) {
            out[c] = ((d >> (c * 8)) & 255) / 255.0 * keep;
        }
    } else {
        const double ra = sa + da - sa * da;
        for (int c = 0; c < 3; ++c) {
            const double sv = ((s >> (c * 8)) & 255) / 255.0, dv = ((d >> (c * 8)) & 255) / 255.0;
            const double su = sv / sa, du = da > 0 ? dv / da : 0;
            out[c] = (1 - da) * sv + (1 - sa) * dv + sa * da * BlendChannel(mode, su, du);
        }
        out[3] = ra;
    }
    uint32_t r = 0;
    for (int c = 0; c < 4; ++c) {
        r |= static_cast<uint32_t>(std::max(0.0, std::min(255.0, out[c] * 255 + 0.5))) << (c * 8);
    }
    return r;
}

} // namespace

PixelBox ContentBox(const Canvas& layer) {
    PixelBox b{layer.width, layer.Bottom(), 0, 0};
    for (int y = layer.top; y < layer.Bottom(); ++y) {
        const uint32_t* row = layer.pixels + layer.At(y);
        int x = 0;
        while (x < layer.width && row[x] == 0) {
            ++x;
        }
        if (x == layer.width) {
            continue;
        }
        int r = layer.width;
        while (r > x && row[r - 1] == 0) {
            --r;
        }
        b.left = std::min(b.left, x);
        b.right = std::max(b.right, r);
        b.top = std::min(b.top, y);
        b.bottom = y + 1;
    }
    return b;
}

void ApplyFilters(const std::vector<swf::Filter>& filters, double scale, Canvas* layer,
                  PixelBox* box) {
    for (const swf::Filter& f : filters) {
        if (box->Empty()) {
            return;
        }
        switch (f.kind) {
        case swf::FilterKind::Blur:
            Blur(layer, box, f.blurX * scale, f.blurY * scale, f.passes);
            break;
        case swf::FilterKind::DropShadow:
        case swf::FilterKind::Glow:
        case swf::FilterKind::GradientGlow:
            Shadow(f, scale, layer, box);
            break;
        case swf::FilterKind::Bevel:
        case swf::FilterKind::GradientBevel:
            Bevel(f, scale, layer, box);
            break;
        case swf::FilterKind::ColorMatrix:
            ColorMatrix(f.matrix, layer, *box);
            break;
        case swf::FilterKind::Convolution:
            Convolve(f, layer, box);
            break;
        case swf::FilterKind::DisplacementMap:
            Displace(f, scale, layer, box);
            break;
        }
    }
}

void Composite(const Canvas& layer, const PixelBox& box, swf::BlendMode mode,
               const Canvas& canvas) {
    const bool normal = mode == swf::BlendMode::Normal || mode == swf::BlendMode::Layer;
    for (int y = box.top; y < box.bottom; ++y) {
        const uint32_t* src = layer.pixels + layer.At(y);
        uint32_t* dst = canvas.pixels + canvas.At(y);
        const uint8_t* mask = canvas.mask != nullptr ? canvas.mask + canvas.MaskAt(y) : nullptr;
        for (int x = box.left; x < box.right; ++x) {
            uint32_t s = src[x];
            if (s == 0) {
                continue;
            }
            if (mask != nullptr) {
                s = ScalePixel(s, mask[x] + (mask[x] >> 7));
            }
            dst[x] = normal ? Over(dst[x], s) : BlendPixel(mode, dst[x], s);
        }
    }
}

} // namespace render
