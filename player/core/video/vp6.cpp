#include "player/core/video/vp6.h"

#include <algorithm>
#include <cstring>

namespace video {

namespace {

// The colour frame and, with alpha, the alpha frame of a VideoFrame's bytes.
bool Split(bool alpha, const uint8_t* data, size_t size, const uint8_t** colour, size_t* colourSize,
           const uint8_t** mask, size_t* maskSize) {
    if (!alpha) {
        *colour = data;
        *colourSize = size;
        return true;
    }
    if (size < 3) {
        return false;
    }
    const size_t offset = size_t(data[0]) << 16 | size_t(data[1]) << 8 | data[2];
    if (offset > size - 3) {
        return false;
    }
    *colour = data + 3;
    *colourSize = offset;
    *mask = data + 3 + offset;
    *maskSize = size - 3 - offset;
    return true;
}

} // namespace

bool Vp6FrameSize(bool alpha, const uint8_t* data, size_t size, int* width, int* height) {
    const uint8_t *colour = nullptr, *mask = nullptr;
    size_t colourSize = 0, maskSize = 0;
    vp6::FrameHeader h;
    if (!Split(alpha, data, size, &colour, &colourSize, &mask, &maskSize) ||
        !vp6::ReadFrameHeader(colour, colourSize, 0, &h) || !h.key) {
        return false;
    }
    *width = 16 * h.cols;
    *height = 16 * h.rows;
    return true;
}

bool Vp6Keyframe(bool alpha, const uint8_t* data, size_t size) {
    const size_t at = alpha ? 3 : 0;
    return size > at && (data[at] & 0x80) == 0;
}

Vp6Decoder::Vp6Decoder(bool alpha, int maxWidth, int maxHeight)
    : alpha_(alpha), maxWidth_(maxWidth), maxHeight_(maxHeight), colour_(false), mask_(true) {}

size_t Vp6Decoder::BytesFor(int width, int height) const {
    // With alpha, the second stream's pictures and the alpha plane shown with the colour.
    const size_t coded =
        ((size_t(width) + 15) & ~size_t(15)) * ((size_t(height) + 15) & ~size_t(15));
    return vp6::Stream::BytesFor(width, height, false) +
           (alpha_ ? vp6::Stream::BytesFor(width, height, true) + coded : 0);
}

Status Vp6Decoder::Decode(const uint8_t* data, size_t size) {
    const uint8_t *colour = nullptr, *mask = nullptr;
    size_t colourSize = 0, maskSize = 0;
    if (!Split(alpha_, data, size, &colour, &colourSize, &mask, &maskSize)) {
        return Status::Damaged;
    }
    Status s = colour_.Decode(colour, colourSize);
    if (s == Status::Ok && alpha_) {
        // The alpha stream must code the colour's size: else it would grow outside the
        // budget the colour's size was counted against.
        vp6::FrameHeader h;
        const Picture* c = colour_.Current();
        if (vp6::ReadFrameHeader(mask, maskSize, 0, &h) && h.key &&
            (16 * h.cols != c->stride || 16 * h.rows != c->rows)) {
            return Status::Damaged;
        }
        s = mask_.Decode(mask, maskSize);
    }
    Picture* p = colour_.Current();
    const Picture* a = alpha_ ? mask_.Current() : nullptr;
    if (s != Status::Ok || p == nullptr ||
        (alpha_ && (a == nullptr || a->y.size() != p->y.size()))) {
        return s != Status::Ok ? s : Status::Damaged;
    }
    // Shown at the declared size where the stream gives one: Flash crops the macroblocks'
    // overhang, and a picture larger than declared, to the stream's box.
    p->width = maxWidth_ > 0 ? std::min(p->stride, maxWidth_) : p->stride;
    p->height = maxHeight_ > 0 ? std::min(p->rows, maxHeight_) : p->rows;
    if (alpha_) {
        p->a = a->y;
    }
    shown_ = p;
    return Status::Ok;
}

} // namespace video
