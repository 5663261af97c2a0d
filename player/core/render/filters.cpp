#include "player/core/render/filters.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace render {

namespace {

// One box blur pass along rows (or columns) of the box, `radius` pixels each side.
void BoxPass(uint32_t* px, int stride, const PixelBox& box, int radius, bool vertical) {
    if (radius <= 0) {
        return;
    }
    const int lines = vertical ? box.right - box.left : box.bottom - box.top;
    const int length = vertical ? box.bottom - box.top : box.right - box.left;
    std::vector<uint32_t> line(length);
    const int window = 2 * radius + 1;
    const uint32_t div = static_cast<uint32_t>(window);
    for (int l = 0; l < lines; ++l) {
        uint32_t* base = vertical ? px + size_t(box.top) * stride + box.left + l
                                  : px + size_t(box.top + l) * stride + box.left;
        const size_t step = vertical ? size_t(stride) : 1;
        for (int i = 0; i < length; ++i) {
            line[i] = base[i * step];
        }
        uint32_t sum[4] = {0, 0, 0, 0};
        auto add = [&](int i, int sign) {
            if (i < 0 || i >= length) {
                return;
            }
            const uint32_t p = line[i];
            for (int c = 0; c < 4; ++c) {
                sum[c] += sign * ((p >> (c * 8)) & 255);
            }
        };
        for (int i = -radius; i <= radius; ++i) {
            add(i, 1);
        }
        for (int i = 0; i < length; ++i) {
            uint32_t out = 0;
            for (int c = 0; c < 4; ++c) {
                out |= ((sum[c] + div / 2) / div) << (c * 8);
            }
            base[i * step] = out;
            add(i - radius, -1);
            add(i + radius + 1, 1);
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

// Drop shadow and glow: the blurred, tinted alpha of the layer, offset, under (or instead
// of) the object.
void Shadow(const swf::Filter& f, double scale, Canvas* layer, PixelBox* box) {
    if (f.inner) {
        return; // inner shadows and glows are not drawn
    }
    const int w = layer->width, h = layer->height;
    std::vector<uint32_t> shadow(size_t(w) * h, 0);
    const double angle = f.angle, dist = f.distance * scale;
    const int dx = static_cast<int>(std::lround(std::cos(angle) * dist));
    const int dy = static_cast<int>(std::lround(std::sin(angle) * dist));
    const swf::Rgba c = f.color;
    for (int y = box->top; y < box->bottom; ++y) {
        for (int x = box->left; x < box->right; ++x) {
            const int sx = x + dx, sy = y + dy;
            if (sx < 0 || sy < 0 || sx >= w || sy >= h) {
                continue;
            }
            const uint32_t a = layer->pixels[size_t(y) * layer->stride + x] >> 24;
            shadow[size_t(sy) * w + sx] = a;
        }
    }
    PixelBox sb{std::max(0, box->left + std::min(dx, 0)), std::max(0, box->top + std::min(dy, 0)),
                std::min(w, box->right + std::max(dx, 0)),
                std::min(h, box->bottom + std::max(dy, 0))};
    Canvas sc{shadow.data(), nullptr, w, h, w, nullptr};
    Blur(&sc, &sb, f.blurX * scale, f.blurY * scale, f.passes);
    for (int y = sb.top; y < sb.bottom; ++y) {
        for (int x = sb.left; x < sb.right; ++x) {
            uint32_t a = shadow[size_t(y) * w + x] & 255;
            a = static_cast<uint32_t>(std::min(255.0, double(a) * f.strength * c.a / 255));
            const uint32_t s = Premultiplied(swf::Rgba{c.r, c.g, c.b, static_cast<uint8_t>(a)});
            uint32_t& d = layer->pixels[size_t(y) * layer->stride + x];
            if (f.knockout) {
                d = ScalePixel(s, 256 - (d >> 24) - ((d >> 24) >> 7));
            } else if (!f.compositeSource) {
                d = s;
            } else {
                d = Over(s, d);
            }
        }
    }
    box->left = std::min(box->left, sb.left);
    box->top = std::min(box->top, sb.top);
    box->right = std::max(box->right, sb.right);
    box->bottom = std::max(box->bottom, sb.bottom);
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
    PixelBox b{layer.width, layer.height, 0, 0};
    for (int y = 0; y < layer.height; ++y) {
        const uint32_t* row = layer.pixels + size_t(y) * layer.stride;
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
            Shadow(f, scale, layer, box);
            break;
        case swf::FilterKind::ColorMatrix:
            ColorMatrix(f.matrix, layer, *box);
            break;
        default:
            break; // bevels and convolutions are not drawn
        }
    }
}

void Composite(const Canvas& layer, const PixelBox& box, swf::BlendMode mode,
               const Canvas& canvas) {
    const bool normal = mode == swf::BlendMode::Normal || mode == swf::BlendMode::Layer;
    for (int y = box.top; y < box.bottom; ++y) {
        const uint32_t* src = layer.pixels + size_t(y) * layer.stride;
        uint32_t* dst = canvas.pixels + size_t(y) * canvas.stride;
        const uint8_t* mask =
            canvas.mask != nullptr ? canvas.mask + size_t(y) * canvas.width : nullptr;
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
