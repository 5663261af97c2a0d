#include "player/core/swf/characters.h"

#include <algorithm>

namespace swf {

namespace {

bool ReadRectAt(ByteReader* r, Rect* rect) {
    BitReader bits(r->Current(), r->Remaining());
    const bool ok = ReadRect(&bits, rect);
    r->Skip(bits.BytesConsumed());
    return ok && r->Ok();
}

int32_t Lerp(int32_t a, int32_t b, uint16_t ratio) {
    return static_cast<int32_t>(a + (static_cast<int64_t>(b) - a) * ratio / 65535);
}

uint8_t Lerp8(uint8_t a, uint8_t b, uint16_t ratio) {
    return static_cast<uint8_t>(a + (b - a) * static_cast<int32_t>(ratio) / 65535);
}

Rgba LerpColor(Rgba a, Rgba b, uint16_t ratio) {
    Rgba c;
    c.r = Lerp8(a.r, b.r, ratio);
    c.g = Lerp8(a.g, b.g, ratio);
    c.b = Lerp8(a.b, b.b, ratio);
    c.a = Lerp8(a.a, b.a, ratio);
    return c;
}

Matrix LerpMatrix(const Matrix& a, const Matrix& b, uint16_t ratio) {
    Matrix m;
    m.scaleX = Lerp(a.scaleX, b.scaleX, ratio);
    m.scaleY = Lerp(a.scaleY, b.scaleY, ratio);
    m.rotateSkew0 = Lerp(a.rotateSkew0, b.rotateSkew0, ratio);
    m.rotateSkew1 = Lerp(a.rotateSkew1, b.rotateSkew1, ratio);
    m.translateX = Lerp(a.translateX, b.translateX, ratio);
    m.translateY = Lerp(a.translateY, b.translateY, ratio);
    return m;
}

FillStyle LerpFill(const FillStyle& a, const FillStyle& b, uint16_t ratio) {
    FillStyle f = a;
    f.color = LerpColor(a.color, b.color, ratio);
    f.matrix = LerpMatrix(a.matrix, b.matrix, ratio);
    const size_t n = std::min(a.gradient.stops.size(), b.gradient.stops.size());
    for (size_t i = 0; i < n; ++i) {
        f.gradient.stops[i].ratio =
            Lerp8(a.gradient.stops[i].ratio, b.gradient.stops[i].ratio, ratio);
        f.gradient.stops[i].color =
            LerpColor(a.gradient.stops[i].color, b.gradient.stops[i].color, ratio);
    }
    f.gradient.focal = static_cast<int16_t>(Lerp(a.gradient.focal, b.gradient.focal, ratio));
    return f;
}

// MORPHFILLSTYLE: start and end of one style.
bool ReadMorphFill(ByteReader* r, FillStyle* a, FillStyle* b) {
    const uint8_t type = r->U8();
    switch (type) {
    case 0x00:
        a->kind = b->kind = FillKind::Solid;
        a->color = ReadRgba(r);
        b->color = ReadRgba(r);
        return r->Ok();
    case 0x10:
    case 0x12:
    case 0x13: {
        a->kind = b->kind = type == 0x10   ? FillKind::Linear
                            : type == 0x12 ? FillKind::Radial
                                           : FillKind::Focal;
        if (!ReadMatrixAt(r, &a->matrix) || !ReadMatrixAt(r, &b->matrix)) {
            return false;
        }
        const uint8_t head = r->U8();
        const unsigned spread = head >> 6;
        a->gradient.spread = spread == 1   ? Spread::Reflect
                             : spread == 2 ? Spread::Repeat
                                           : Spread::Pad;
        a->gradient.linearRgb = ((head >> 4) & 3) == 1;
        b->gradient.spread = a->gradient.spread;
        b->gradient.linearRgb = a->gradient.linearRgb;
        const unsigned n = head & 15;
        for (unsigned i = 0; i < n; ++i) {
            GradientStop s, e;
            s.ratio = r->U8();
            s.color = ReadRgba(r);
            e.ratio = r->U8();
            e.color = ReadRgba(r);
            a->gradient.stops.push_back(s);
            b->gradient.stops.push_back(e);
        }
        if (type == 0x13) {
            a->gradient.focal = r->S16();
            b->gradient.focal = r->S16();
        }
        return r->Ok() && n > 0;
    }
    case 0x40:
    case 0x41:
    case 0x42:
    case 0x43:
        a->kind = b->kind = FillKind::Bitmap;
        a->bitmapId = b->bitmapId = r->U16();
        a->repeat = b->repeat = (type & 1) == 0;
        a->smooth = b->smooth = (type & 2) == 0;
        return ReadMatrixAt(r, &a->matrix) && ReadMatrixAt(r, &b->matrix);
    default:
        return false;
    }
}

uint32_t ReadCount(ByteReader* r) {
    uint32_t n = r->U8();
    if (n == 0xFF) {
        n = r->U16();
    }
    return n;
}

} // namespace

uint16_t DefinitionId(const Tag& tag) {
    return tag.length >= 2 ? static_cast<uint16_t>(tag.body[0] | (tag.body[1] << 8)) : 0;
}

size_t EdgeCount(const Shape& shape) {
    size_t n = 0;
    for (const StyleGroup& g : shape.groups) {
        n += g.edges.size();
    }
    return n;
}

bool ReadShape(const Tag& tag, int version, Shape* shape) {
    ByteReader r(tag.body, tag.length);
    *shape = Shape();
    r.U16();
    if (!ReadRectAt(&r, &shape->bounds)) {
        return false;
    }
    if (version >= 4) {
        Rect edges;
        if (!ReadRectAt(&r, &edges)) {
            return false;
        }
        shape->nonZero = (r.U8() & 4) != 0;
    }
    shape->groups.emplace_back();
    return ReadFillStyles(&r, version, &shape->groups[0].fills) &&
           ReadLineStyles(&r, version, &shape->groups[0].lines) &&
           ReadShapeRecords(&r, version, shape);
}

bool ReadMorphShape(const Tag& tag, MorphShape* morph) {
    const int version = tag.code == kTagDefineMorphShape2 ? 2 : 1;
    ByteReader r(tag.body, tag.length);
    *morph = MorphShape();
    r.U16();
    if (!ReadRectAt(&r, &morph->start.bounds) || !ReadRectAt(&r, &morph->end.bounds)) {
        return false;
    }
    if (version == 2) {
        Rect ignored;
        if (!ReadRectAt(&r, &ignored) || !ReadRectAt(&r, &ignored)) {
            return false;
        }
        r.U8();
    }
    const uint32_t offset = r.U32();
    const size_t endEdges = r.Position() + offset;
    if (!r.Ok() || offset > r.Remaining()) {
        return false;
    }
    StyleGroup& a = morph->start.groups.emplace_back();
    StyleGroup& b = morph->end.groups.emplace_back();
    const uint32_t fills = ReadCount(&r);
    if (fills > kMaxStylesPerArray) {
        return false;
    }
    a.fills.resize(fills);
    b.fills.resize(fills);
    for (uint32_t i = 0; i < fills; ++i) {
        if (!ReadMorphFill(&r, &a.fills[i], &b.fills[i])) {
            return false;
        }
    }
    const uint32_t lines = ReadCount(&r);
    if (lines > kMaxStylesPerArray) {
        return false;
    }
    a.lines.resize(lines);
    b.lines.resize(lines);
    for (uint32_t i = 0; i < lines; ++i) {
        LineStyle& s = a.lines[i];
        LineStyle& e = b.lines[i];
        s.width = r.U16();
        e.width = r.U16();
        if (version == 2) {
            const uint8_t f1 = r.U8();
            const uint8_t f2 = r.U8();
            auto cap = [](unsigned v) {
                return v == 1 ? Cap::None : v == 2 ? Cap::Square : Cap::Round;
            };
            s.startCap = e.startCap = cap(f1 >> 6);
            const unsigned join = (f1 >> 4) & 3;
            s.join = e.join = join == 1 ? Join::Bevel : join == 2 ? Join::Miter : Join::Round;
            s.hasFill = e.hasFill = (f1 & 8) != 0;
            s.endCap = e.endCap = cap(f2 & 3);
            if (join == 2) {
                s.miterLimit = e.miterLimit = r.U16();
            }
            if (s.hasFill) {
                if (!ReadMorphFill(&r, &s.fill, &e.fill)) {
                    return false;
                }
                s.color = s.fill.color;
                e.color = e.fill.color;
                continue;
            }
        }
        s.color = ReadRgba(&r);
        e.color = ReadRgba(&r);
    }
    if (!r.Ok() || !ReadShapeRecords(&r, 3, &morph->start)) {
        return false;
    }
    ByteReader end(tag.body + endEdges, tag.length - endEdges);
    if (!ReadShapeRecords(&end, 3, &morph->end)) {
        return false;
    }
    return morph->start.groups.size() == 1 && morph->end.groups.size() == 1;
}

Shape InterpolateMorph(const MorphShape& morph, uint16_t ratio) {
    Shape s;
    const StyleGroup& a = morph.start.groups[0];
    const StyleGroup& b = morph.end.groups[0];
    s.bounds.xMin = Lerp(morph.start.bounds.xMin, morph.end.bounds.xMin, ratio);
    s.bounds.xMax = Lerp(morph.start.bounds.xMax, morph.end.bounds.xMax, ratio);
    s.bounds.yMin = Lerp(morph.start.bounds.yMin, morph.end.bounds.yMin, ratio);
    s.bounds.yMax = Lerp(morph.start.bounds.yMax, morph.end.bounds.yMax, ratio);
    StyleGroup& g = s.groups.emplace_back();
    for (size_t i = 0; i < a.fills.size(); ++i) {
        g.fills.push_back(LerpFill(a.fills[i], b.fills[i], ratio));
    }
    for (size_t i = 0; i < a.lines.size(); ++i) {
        LineStyle l = a.lines[i];
        l.width = static_cast<uint16_t>(Lerp(a.lines[i].width, b.lines[i].width, ratio));
        l.color = LerpColor(a.lines[i].color, b.lines[i].color, ratio);
        if (l.hasFill) {
            l.fill = LerpFill(a.lines[i].fill, b.lines[i].fill, ratio);
        }
        g.lines.push_back(l);
    }
    const size_t n = std::min(a.edges.size(), b.edges.size());
    g.edges.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        const Edge& p = a.edges[i];
        const Edge& q = b.edges[i];
        Edge e = p;
        e.x0 = Lerp(p.x0, q.x0, ratio);
        e.y0 = Lerp(p.y0, q.y0, ratio);
        e.cx = Lerp(p.cx, q.cx, ratio);
        e.cy = Lerp(p.cy, q.cy, ratio);
        e.x1 = Lerp(p.x1, q.x1, ratio);
        e.y1 = Lerp(p.y1, q.y1, ratio);
        e.curved = p.curved || q.curved;
        g.edges.push_back(e);
    }
    return s;
}

bool ReadButton(const Tag& tag, int version, Button* button) {
    ByteReader r(tag.body, tag.length);
    *button = Button();
    r.U16();
    uint16_t actionOffset = 0;
    size_t actionBase = 0;
    if (version == 2) {
        r.U8();
        actionBase = r.Position();
        actionOffset = r.U16();
    }
    for (;;) {
        const uint8_t flags = r.U8();
        if (!r.Ok()) {
            return false;
        }
        if (flags == 0) {
            break;
        }
        ButtonRecord b;
        b.states = flags & 15;
        b.characterId = r.U16();
        b.depth = r.U16();
        if (!ReadMatrixAt(&r, &b.matrix)) {
            return false;
        }
        if (version == 2) {
            if (!ReadColorTransformAt(&r, true, &b.cxform)) {
                return false;
            }
            if ((flags & 0x10) && !ReadFilterList(&r, &b.filters)) {
                return false;
            }
            if (flags & 0x20) {
                const uint8_t m = r.U8();
                b.blendMode = m <= 14 ? m : 0;
            }
        }
        if (button->records.size() < 1024) {
            button->records.push_back(std::move(b));
        }
    }
    if (version == 1) {
        ButtonCondAction a;
        a.conditions = 0x0008;
        a.actions.size = static_cast<uint32_t>(r.Remaining());
        a.actions.data = r.Take(r.Remaining());
        button->actions.push_back(a);
        return true;
    }
    if (actionOffset != 0) {
        size_t at = actionBase + actionOffset;
        while (at + 4 <= tag.length && button->actions.size() < 256) {
            ByteReader c(tag.body + at, tag.length - at);
            const uint16_t size = c.U16();
            ButtonCondAction a;
            a.conditions = c.U16();
            const size_t bodySize =
                size == 0 ? c.Remaining() : std::min<size_t>(size - 4, c.Remaining());
            if (size != 0 && size < 4) {
                break;
            }
            a.actions.size = static_cast<uint32_t>(bodySize);
            a.actions.data = c.Take(bodySize);
            button->actions.push_back(a);
            if (size == 0) {
                break;
            }
            at += size;
        }
    }
    return true;
}

} // namespace swf
