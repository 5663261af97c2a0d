#include "player/core/swf/display_tags.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace swf {

namespace {

float Fixed(ByteReader* r) {
    return static_cast<int32_t>(r->U32()) / 65536.0f;
}
float Fixed8(ByteReader* r) {
    return r->S16() / 256.0f;
}
float Float(ByteReader* r) {
    const uint32_t bits = r->U32();
    float f;
    static_assert(sizeof f == sizeof bits, "32-bit float");
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

float Within(float v, float low, float high) {
    return std::isfinite(v) ? std::max(low, std::min(high, v)) : 0.0f;
}

// Keeps every figure a filter carries finite and within what the format allows, so the
// drawing code can convert them without care.
void Sanitize(Filter* f) {
    f->blurX = Within(f->blurX, 0, 255);
    f->blurY = Within(f->blurY, 0, 255);
    f->strength = Within(f->strength, 0, 255);
    f->distance = Within(f->distance, -2048, 2048);
    f->angle = Within(f->angle, -1000, 1000);
    f->passes = std::max(0, std::min(f->passes, 31));
    for (float& v : f->matrix) {
        v = Within(v, -1e6f, 1e6f);
    }
    for (float& v : f->kernel) {
        v = Within(v, -1e6f, 1e6f);
    }
    f->divisor = Within(f->divisor, -1e6f, 1e6f);
    f->bias = Within(f->bias, -1e6f, 1e6f);
}

} // namespace

bool ReadFilterList(ByteReader* r, std::vector<Filter>* filters) {
    const unsigned count = r->U8();
    for (unsigned i = 0; i < count && r->Ok(); ++i) {
        Filter f;
        const uint8_t id = r->U8();
        switch (id) {
        case 0: // drop shadow
        case 2: // glow
            f.kind = id == 0 ? FilterKind::DropShadow : FilterKind::Glow;
            f.color = ReadRgba(r);
            f.blurX = Fixed(r);
            f.blurY = Fixed(r);
            if (id == 0) {
                f.angle = Fixed(r);
                f.distance = Fixed(r);
            }
            f.strength = Fixed8(r);
            break;
        case 1:
            f.kind = FilterKind::Blur;
            f.blurX = Fixed(r);
            f.blurY = Fixed(r);
            f.passes = r->U8() >> 3;
            break;
        case 3: // bevel: the highlight comes first in real movies, whatever the format's
                // description says
            f.kind = FilterKind::Bevel;
            f.highlight = ReadRgba(r);
            f.color = ReadRgba(r);
            f.blurX = Fixed(r);
            f.blurY = Fixed(r);
            f.angle = Fixed(r);
            f.distance = Fixed(r);
            f.strength = Fixed8(r);
            break;
        case 4:
        case 7: {
            f.kind = id == 4 ? FilterKind::GradientGlow : FilterKind::GradientBevel;
            const unsigned n = r->U8();
            f.stops.resize(n);
            for (GradientStop& s : f.stops) {
                s.color = ReadRgba(r);
            }
            for (GradientStop& s : f.stops) {
                s.ratio = r->U8();
            }
            if (n > 0) {
                f.color = f.stops.back().color; // the outermost colour stands for the ramp
            }
            f.blurX = Fixed(r);
            f.blurY = Fixed(r);
            f.angle = Fixed(r);
            f.distance = Fixed(r);
            f.strength = Fixed8(r);
            break;
        }
        case 5: {
            f.kind = FilterKind::Convolution;
            f.matrixX = r->U8();
            f.matrixY = r->U8();
            f.divisor = Float(r);
            f.bias = Float(r);
            f.kernel.resize(size_t(f.matrixX) * f.matrixY);
            for (float& v : f.kernel) {
                v = Float(r);
            }
            f.fallback = ReadRgba(r);
            break;
        }
        case 6:
            f.kind = FilterKind::ColorMatrix;
            for (float& v : f.matrix) {
                v = Float(r);
            }
            break;
        default:
            return false;
        }
        if (id != 1 && id != 6) {
            const uint8_t flags = r->U8();
            f.inner = (flags & 0x80) != 0;
            f.knockout = (flags & 0x40) != 0;
            f.compositeSource = (flags & 0x20) != 0;
            f.passes = flags & (id == 0 || id == 2 ? 0x1F : 0x0F);
            f.onTop = (id == 3 || id == 7) && (flags & 0x10) != 0;
            if (id == 5) {
                f.clamp = (flags & 0x02) != 0;
                f.preserveAlpha = (flags & 0x01) != 0;
                f.inner = f.knockout = false;
                f.compositeSource = true;
            }
        }
        Sanitize(&f);
        if (filters->size() < kMaxFilters) {
            filters->push_back(f);
        }
    }
    return r->Ok();
}

bool ReadPlaceObject(const Tag& tag, int version, PlaceObject* p) {
    ByteReader r(tag.body, tag.length);
    *p = PlaceObject();
    if (version == 1) {
        p->hasCharacter = p->hasMatrix = true;
        p->characterId = r.U16();
        p->depth = r.U16();
        if (!ReadMatrixAt(&r, &p->matrix)) {
            return false;
        }
        if (r.Remaining() > 0) {
            p->hasCxform = ReadColorTransformAt(&r, false, &p->cxform);
        }
        return r.Ok();
    }
    const uint8_t flags = r.U8();
    const uint8_t flags2 = version >= 3 ? r.U8() : 0;
    p->depth = r.U16();
    p->move = (flags & 0x01) != 0;
    p->hasCharacter = (flags & 0x02) != 0;
    p->hasMatrix = (flags & 0x04) != 0;
    p->hasCxform = (flags & 0x08) != 0;
    p->hasRatio = (flags & 0x10) != 0;
    p->hasName = (flags & 0x20) != 0;
    p->hasClipDepth = (flags & 0x40) != 0;
    if ((flags2 & 0x08) || ((flags2 & 0x10) && p->hasCharacter)) {
        r.String(); // class name
    }
    if (p->hasCharacter) {
        p->characterId = r.U16();
    }
    if (p->hasMatrix && !ReadMatrixAt(&r, &p->matrix)) {
        return false;
    }
    if (p->hasCxform && !ReadColorTransformAt(&r, true, &p->cxform)) {
        return false;
    }
    if (p->hasRatio) {
        p->ratio = r.U16();
    }
    if (p->hasName) {
        p->name = r.String();
    }
    if (p->hasClipDepth) {
        p->clipDepth = r.U16();
    }
    if (flags2 & 0x01) {
        p->hasFilters = ReadFilterList(&r, &p->filters);
    }
    if (flags2 & 0x02) {
        p->hasBlend = true;
        const uint8_t b = r.U8();
        p->blend = b <= 14 && b != 1 ? static_cast<BlendMode>(b) : BlendMode::Normal;
    }
    if (flags2 & 0x04) {
        r.U8();
    }
    if (!r.Ok()) {
        return false;
    }
    if ((flags & 0x80) && r.Remaining() > 0) {
        p->clipActionsSize = static_cast<uint32_t>(r.Remaining());
        p->clipActions = r.Take(r.Remaining());
    }
    return true;
}

bool ReadRemoveObject(const Tag& tag, int version, uint16_t* depth) {
    ByteReader r(tag.body, tag.length);
    if (version == 1) {
        r.U16();
    }
    *depth = r.U16();
    return r.Ok();
}

} // namespace swf
