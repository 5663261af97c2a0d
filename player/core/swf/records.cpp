#include "player/core/swf/records.h"

#include <algorithm>

namespace swf {

namespace {

uint8_t Clamp255(int v) {
    return static_cast<uint8_t>(std::min(255, std::max(0, v)));
}

// Reads bit-packed data starting at the byte reader's position, then moves past it.
template <typename F> bool WithBits(ByteReader* r, F read) {
    BitReader bits(r->Current(), r->Remaining());
    const bool ok = read(&bits) && bits.Ok();
    r->Skip(bits.BytesConsumed());
    return ok && r->Ok();
}

bool ReadGradient(ByteReader* r, int version, bool focal, Gradient* g) {
    const uint8_t head = r->U8();
    const unsigned spread = head >> 6;
    g->spread = spread == 1 ? Spread::Reflect : spread == 2 ? Spread::Repeat : Spread::Pad;
    g->linearRgb = ((head >> 4) & 3) == 1;
    const unsigned count = head & 15;
    g->stops.clear();
    for (unsigned i = 0; i < count && r->Ok(); ++i) {
        GradientStop s;
        s.ratio = r->U8();
        s.color = version >= 3 ? ReadRgba(r) : ReadRgb(r);
        g->stops.push_back(s);
    }
    if (focal) {
        g->focal = r->S16();
    }
    return r->Ok() && !g->stops.empty();
}

uint32_t ReadCount(ByteReader* r, int version) {
    uint32_t n = r->U8();
    if (n == 0xFF && version >= 2) {
        n = r->U16();
    }
    return n;
}

} // namespace

Rgba ColorTransform::Apply(Rgba c) const {
    Rgba o;
    o.r = Clamp255((c.r * mulR >> 8) + addR);
    o.g = Clamp255((c.g * mulG >> 8) + addG);
    o.b = Clamp255((c.b * mulB >> 8) + addB);
    o.a = Clamp255((c.a * mulA >> 8) + addA);
    return o;
}

ColorTransform ColorTransform::Then(const ColorTransform& outer) const {
    auto mul = [](int a, int b) {
        return static_cast<int16_t>(std::max(-32768, std::min(32767, a * b >> 8)));
    };
    auto add = [](int inner, int outerMul, int outerAdd) {
        return static_cast<int16_t>(
            std::max(-32768, std::min(32767, (inner * outerMul >> 8) + outerAdd)));
    };
    ColorTransform c;
    c.mulR = mul(mulR, outer.mulR);
    c.mulG = mul(mulG, outer.mulG);
    c.mulB = mul(mulB, outer.mulB);
    c.mulA = mul(mulA, outer.mulA);
    c.addR = add(addR, outer.mulR, outer.addR);
    c.addG = add(addG, outer.mulG, outer.addG);
    c.addB = add(addB, outer.mulB, outer.addB);
    c.addA = add(addA, outer.mulA, outer.addA);
    return c;
}

Rgba ReadRgb(ByteReader* r) {
    Rgba c;
    c.r = r->U8();
    c.g = r->U8();
    c.b = r->U8();
    return c;
}

Rgba ReadRgba(ByteReader* r) {
    Rgba c = ReadRgb(r);
    c.a = r->U8();
    return c;
}

bool ReadColorTransform(BitReader* bits, bool withAlpha, ColorTransform* cx) {
    *cx = ColorTransform();
    const bool hasAdd = bits->UB(1) != 0;
    const bool hasMul = bits->UB(1) != 0;
    const unsigned n = bits->UB(4);
    if (hasMul) {
        cx->mulR = static_cast<int16_t>(bits->SB(n));
        cx->mulG = static_cast<int16_t>(bits->SB(n));
        cx->mulB = static_cast<int16_t>(bits->SB(n));
        if (withAlpha) {
            cx->mulA = static_cast<int16_t>(bits->SB(n));
        }
    }
    if (hasAdd) {
        cx->addR = static_cast<int16_t>(bits->SB(n));
        cx->addG = static_cast<int16_t>(bits->SB(n));
        cx->addB = static_cast<int16_t>(bits->SB(n));
        if (withAlpha) {
            cx->addA = static_cast<int16_t>(bits->SB(n));
        }
    }
    bits->Align();
    return bits->Ok();
}

bool ReadMatrixAt(ByteReader* r, Matrix* m) {
    return WithBits(r, [m](BitReader* b) { return ReadMatrix(b, m); });
}

bool ReadColorTransformAt(ByteReader* r, bool withAlpha, ColorTransform* cx) {
    return WithBits(r, [&](BitReader* b) { return ReadColorTransform(b, withAlpha, cx); });
}

bool ReadFillStyle(ByteReader* r, int version, FillStyle* f) {
    const uint8_t type = r->U8();
    switch (type) {
    case 0x00:
        f->kind = FillKind::Solid;
        f->color = version >= 3 ? ReadRgba(r) : ReadRgb(r);
        return r->Ok();
    case 0x10:
    case 0x12:
    case 0x13:
        f->kind = type == 0x10   ? FillKind::Linear
                  : type == 0x12 ? FillKind::Radial
                                 : FillKind::Focal;
        return ReadMatrixAt(r, &f->matrix) && ReadGradient(r, version, type == 0x13, &f->gradient);
    case 0x40:
    case 0x41:
    case 0x42:
    case 0x43:
        f->kind = FillKind::Bitmap;
        f->bitmapId = r->U16();
        f->repeat = (type & 1) == 0;
        f->smooth = (type & 2) == 0;
        return ReadMatrixAt(r, &f->matrix);
    default:
        return false;
    }
}

bool ReadFillStyles(ByteReader* r, int version, std::vector<FillStyle>* out) {
    const uint32_t n = ReadCount(r, version);
    if (!r->Ok() || n > kMaxStylesPerArray) {
        return false;
    }
    out->clear();
    out->reserve(n);
    for (uint32_t i = 0; i < n; ++i) {
        FillStyle f;
        if (!ReadFillStyle(r, version, &f)) {
            return false;
        }
        out->push_back(std::move(f));
    }
    return true;
}

bool ReadLineStyles(ByteReader* r, int version, std::vector<LineStyle>* out) {
    const uint32_t n = ReadCount(r, 2);
    if (!r->Ok() || n > kMaxStylesPerArray) {
        return false;
    }
    out->clear();
    out->reserve(n);
    for (uint32_t i = 0; i < n; ++i) {
        LineStyle l;
        l.width = r->U16();
        if (version >= 4) {
            const uint8_t a = r->U8();
            const uint8_t b = r->U8();
            auto cap = [](unsigned v) {
                return v == 1 ? Cap::None : v == 2 ? Cap::Square : Cap::Round;
            };
            l.startCap = cap(a >> 6);
            const unsigned join = (a >> 4) & 3;
            l.join = join == 1 ? Join::Bevel : join == 2 ? Join::Miter : Join::Round;
            l.hasFill = (a & 8) != 0;
            l.noHScale = (a & 4) != 0;
            l.noVScale = (a & 2) != 0;
            l.endCap = cap(b & 3);
            if (join == 2) {
                l.miterLimit = r->U16();
            }
            if (l.hasFill) {
                if (!ReadFillStyle(r, version, &l.fill)) {
                    return false;
                }
                l.color = l.fill.kind == FillKind::Solid ? l.fill.color : Rgba();
            } else {
                l.color = ReadRgba(r);
            }
        } else {
            l.color = version >= 3 ? ReadRgba(r) : ReadRgb(r);
        }
        if (!r->Ok()) {
            return false;
        }
        out->push_back(std::move(l));
    }
    return true;
}

bool ReadShapeRecords(ByteReader* r, int version, Shape* shape) {
    if (shape->groups.empty()) {
        shape->groups.emplace_back();
    }
    uint32_t totalEdges = 0;
    const uint8_t counts = r->U8();
    unsigned fillBits = counts >> 4, lineBits = counts & 15;
    BitReader bits(r->Current(), r->Remaining());
    int32_t x = 0, y = 0;
    uint16_t fill0 = 0, fill1 = 0, line = 0;
    for (;;) {
        if (!bits.Ok()) {
            return false;
        }
        if (bits.UB(1) == 0) {
            const unsigned flags = bits.UB(5);
            if (flags == 0) {
                break;
            }
            if (flags & 1) { // move to
                const unsigned n = bits.UB(5);
                x = AddTwips(0, bits.SB(n));
                y = AddTwips(0, bits.SB(n));
            }
            if (flags & 2) {
                fill0 = static_cast<uint16_t>(bits.UB(fillBits));
            }
            if (flags & 4) {
                fill1 = static_cast<uint16_t>(bits.UB(fillBits));
            }
            if (flags & 8) {
                line = static_cast<uint16_t>(bits.UB(lineBits));
            }
            if ((flags & 16) && version >= 2) {
                bits.Align();
                ByteReader styles(r->Current() + bits.BytesConsumed(),
                                  r->Remaining() - bits.BytesConsumed());
                if (shape->groups.size() >= kMaxStyleGroups) {
                    return false;
                }
                StyleGroup group;
                if (!ReadFillStyles(&styles, version, &group.fills) ||
                    !ReadLineStyles(&styles, version, &group.lines)) {
                    return false;
                }
                const uint8_t c = styles.U8();
                if (!styles.Ok()) {
                    return false;
                }
                fillBits = c >> 4;
                lineBits = c & 15;
                shape->groups.push_back(std::move(group));
                const size_t used = bits.BytesConsumed() + styles.Position();
                r->Skip(used);
                bits = BitReader(r->Current(), r->Remaining());
            }
            continue;
        }
        Edge e;
        e.x0 = x;
        e.y0 = y;
        const bool straight = bits.UB(1) != 0;
        const unsigned n = bits.UB(4) + 2;
        if (straight) {
            int32_t dx = 0, dy = 0;
            if (bits.UB(1) != 0) {
                dx = bits.SB(n);
                dy = bits.SB(n);
            } else if (bits.UB(1) != 0) {
                dy = bits.SB(n);
            } else {
                dx = bits.SB(n);
            }
            x = AddTwips(x, dx);
            y = AddTwips(y, dy);
            e.cx = e.x0 + dx / 2;
            e.cy = e.y0 + dy / 2;
        } else {
            e.cx = AddTwips(x, bits.SB(n));
            e.cy = AddTwips(y, bits.SB(n));
            x = AddTwips(e.cx, bits.SB(n));
            y = AddTwips(e.cy, bits.SB(n));
            e.curved = true;
        }
        e.x1 = x;
        e.y1 = y;
        e.fill0 = fill0;
        e.fill1 = fill1;
        e.line = line;
        if (++totalEdges > kMaxEdgesPerShape) {
            return false;
        }
        shape->groups.back().edges.push_back(e);
    }
    r->Skip(bits.BytesConsumed());
    return r->Ok();
}

} // namespace swf
