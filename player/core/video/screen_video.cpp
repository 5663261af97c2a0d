#include "player/core/video/screen_video.h"

namespace video {

namespace {

// Movies carry a byte before the packet, as FLV does: the frame type (1 key, 2 inter) over
// the codec id. Packets without it are read too.
size_t PacketStart(const uint8_t* data, size_t size) {
    return size > 0 && (data[0] & 15) == 3 && ((data[0] >> 4) == 1 || (data[0] >> 4) == 2) ? 1 : 0;
}

} // namespace

bool ReadScreenHeader(const uint8_t* data, size_t size, ScreenHeader* h) {
    if (size < 4) {
        return false;
    }
    h->blockWidth = ((data[0] >> 4) + 1) * 16;
    h->width = (data[0] & 15) << 8 | data[1];
    h->blockHeight = ((data[2] >> 4) + 1) * 16;
    h->height = (data[2] & 15) << 8 | data[3];
    return h->width > 0 && h->height > 0;
}

bool ScreenKeyframe(const uint8_t* data, size_t size) {
    const size_t skip = PacketStart(data, size);
    data += skip;
    size -= skip;
    ScreenHeader h;
    if (!ReadScreenHeader(data, size, &h)) {
        return false;
    }
    const int blocks = ((h.width + h.blockWidth - 1) / h.blockWidth) *
                       ((h.height + h.blockHeight - 1) / h.blockHeight);
    size_t pos = 4;
    for (int i = 0; i < blocks; ++i) {
        if (pos + 2 > size) {
            return false;
        }
        const size_t n = size_t(data[pos]) << 8 | data[pos + 1];
        if (n == 0) {
            return false;
        }
        pos += 2 + n;
    }
    return true;
}

size_t ScreenVideoDecoder::BytesFor(int width, int height) const {
    return size_t(width) * height * 4 + 256 * 256 * 3;
}

Status ScreenVideoDecoder::Decode(const uint8_t* data, size_t size) {
    const bool key = ScreenKeyframe(data, size);
    const size_t skip = PacketStart(data, size);
    data += skip;
    size -= skip;
    ScreenHeader h;
    if (!ReadScreenHeader(data, size, &h)) {
        return Status::Damaged;
    }
    if (h.width > kMaxSide || h.height > kMaxSide ||
        (maxWidth_ > 0 && (h.width > maxWidth_ || h.height > maxHeight_))) {
        return Status::TooLarge;
    }
    if (picture_.width != h.width || picture_.height != h.height) {
        if (!key) {
            return Status::NeedKeyframe;
        }
        picture_.format = Picture::Format::Rgb;
        picture_.width = h.width;
        picture_.height = h.height;
        picture_.rgb.assign(size_t(h.width) * h.height, 0xFF000000u);
    }
    shown_ = &picture_;
    size_t pos = 4;
    for (int top = h.height; top > 0; top -= h.blockHeight) { // the bottom row of blocks first
        const int bh = std::min(h.blockHeight, top);
        for (int left = 0; left < h.width; left += h.blockWidth) {
            const int bw = std::min(h.blockWidth, h.width - left);
            if (pos + 2 > size) {
                return Status::Damaged;
            }
            const size_t n = size_t(data[pos]) << 8 | data[pos + 1];
            pos += 2;
            if (n == 0) {
                continue;
            }
            if (pos + n > size || !swf::InflateExact(data + pos, n, size_t(bw) * bh * 3, &block_)) {
                return Status::Damaged;
            }
            pos += n;
            const uint8_t* p = block_.data();
            for (int j = 0; j < bh; ++j) { // bottom row first
                uint32_t* out = &picture_.rgb[size_t(top - 1 - j) * h.width + left];
                for (int i = 0; i < bw; ++i, p += 3) {
                    out[i] = 0xFF000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
                }
            }
        }
    }
    return Status::Ok;
}

} // namespace video
