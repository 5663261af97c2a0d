#include "player/core/timeline/bounds.h"

#include <cmath>

namespace timeline {

namespace {

int32_t Mix(int32_t a, int32_t b, double t) {
    return int32_t(std::lround(a + (double(b) - a) * t));
}

} // namespace

bool CharacterBounds(const Character& ch, uint16_t ratio, swf::Rect* out) {
    switch (ch.kind) {
    case Kind::Shape:
        *out = ch.shape->bounds;
        return true;
    case Kind::Morph: {
        const swf::Rect &s = ch.morph->start.bounds, &e = ch.morph->end.bounds;
        const double t = ratio / 65535.0;
        *out = swf::Rect{Mix(s.xMin, e.xMin, t), Mix(s.xMax, e.xMax, t), Mix(s.yMin, e.yMin, t),
                         Mix(s.yMax, e.yMax, t)};
        return true;
    }
    case Kind::Text:
        *out = ch.text->bounds;
        return true;
    case Kind::EditText:
        *out = ch.editText->bounds;
        return true;
    case Kind::Bitmap:
        *out = swf::Rect{0, ch.bitmap->width * 20, 0, ch.bitmap->height * 20};
        return true;
    case Kind::Video:
        *out = swf::Rect{0, ch.video->def.width * 20, 0, ch.video->def.height * 20};
        return true;
    default:
        return false;
    }
}

swf::Box ObjectBounds(const DisplayObject& o, const swf::Affine& m, int nesting) {
    swf::Box box;
    if (nesting > kMaxNesting) {
        return box;
    }
    if (o.clip) {
        if (o.clip->drawing && !o.clip->drawing->Empty()) {
            box.AddRect(o.clip->drawing->Bounds(), m);
        }
        for (const auto& entry : o.clip->objects) {
            const DisplayObject& c = entry.second;
            if (c.clipDepth == 0 && !c.isMask) {
                box.Add(ObjectBounds(c, m * swf::Affine::From(c.matrix), nesting + 1));
            }
        }
        return box;
    }
    swf::Rect r;
    if (o.field) {
        box.AddRect(o.field->bounds, m); // a field's box as scripts and autoSize left it
    } else if (o.character != nullptr && CharacterBounds(*o.character, o.ratio, &r)) {
        box.AddRect(r, m);
    }
    return box;
}

bool ObjectHit(const DisplayObject& o, const swf::Affine& m, double x, double y, int nesting) {
    if (o.isMask || o.clipDepth != 0 || nesting > kMaxNesting) {
        return false;
    }
    swf::Affine inverse;
    if (!m.Invert(&inverse)) {
        return false;
    }
    double lx, ly;
    inverse.Apply(x, y, &lx, &ly);
    if (o.clip) {
        if (o.clip->drawing && !o.clip->drawing->Empty() &&
            o.clip->drawing->Contains(int32_t(std::lround(lx)), int32_t(std::lround(ly)))) {
            return true;
        }
        for (const auto& entry : o.clip->objects) {
            const DisplayObject& c = entry.second;
            if (ObjectHit(c, m * swf::Affine::From(c.matrix), x, y, nesting + 1)) {
                return true;
            }
        }
        return false;
    }
    const Character* ch = o.character;
    swf::Rect r;
    if (o.field) {
        r = o.field->bounds;
    }
    if (ch == nullptr || (!o.field && !CharacterBounds(*ch, o.ratio, &r)) || lx < r.xMin ||
        lx > r.xMax || ly < r.yMin || ly > r.yMax) {
        return false;
    }
    switch (ch->kind) {
    case Kind::Shape:
        return swf::ShapeContains(*ch->shape, lx, ly);
    case Kind::Morph:
        return swf::ShapeContains(swf::InterpolateMorph(*ch->morph, o.ratio), lx, ly);
    default:
        return true; // text and bitmaps answer by their boxes, as in Flash
    }
}

} // namespace timeline
