#include "player/core/video/screen_video.h"

#include <zlib.h>

#include <algorithm>

#include "player/core/swf/reserve.h"

namespace video {

namespace {

// Movies carry a byte before the packet, as FLV does: the frame type (1 key, 2 inter) over
// the codec id. Packets without it are read too.
size_t PacketStart(const uint8_t* data, size_t size) {
    return size > 0 && ((data[0] & 15) == 3 || (data[0] & 15) == 6) &&
                   ((data[0] >> 4) == 1 || (data[0] >> 4) == 2)
               ? 1
               : 0;
}

// Version 2's colours for one-byte pixels, 0xRRGGBB.
const uint32_t kPalette[128] = {
    0x000000, 0x333333, 0x666666, 0x999999, 0xCCCCCC, 0xFFFFFF, 0x330000, 0x660000, 0x990000,
    0xCC0000, 0xFF0000, 0x003300, 0x006600, 0x009900, 0x00CC00, 0x00FF00, 0x000033, 0x000066,
    0x000099, 0x0000CC, 0x0000FF, 0x333300, 0x666600, 0x999900, 0xCCCC00, 0xFFFF00, 0x003333,
    0x006666, 0x009999, 0x00CCCC, 0x00FFFF, 0x330033, 0x660066, 0x990099, 0xCC00CC, 0xFF00FF,
    0xFFFF33, 0xFFFF66, 0xFFFF99, 0xFFFFCC, 0xFF33FF, 0xFF66FF, 0xFF99FF, 0xFFCCFF, 0x33FFFF,
    0x66FFFF, 0x99FFFF, 0xCCFFFF, 0xCCCC33, 0xCCCC66, 0xCCCC99, 0xCCCCFF, 0xCC33CC, 0xCC66CC,
    0xCC99CC, 0xCCFFCC, 0x33CCCC, 0x66CCCC, 0x99CCCC, 0xFFCCCC, 0x999933, 0x999966, 0x9999CC,
    0x9999FF, 0x993399, 0x996699, 0x99CC99, 0x99FF99, 0x339999, 0x669999, 0xCC9999, 0xFF9999,
    0x666633, 0x666699, 0x6666CC, 0x6666FF, 0x663366, 0x669966, 0x66CC66, 0x66FF66, 0x336666,
    0x996666, 0xCC6666, 0xFF6666, 0x333366, 0x333399, 0x3333CC, 0x3333FF, 0x336633, 0x339933,
    0x33CC33, 0x33FF33, 0x663333, 0x993333, 0xCC3333, 0xFF3333, 0x003366, 0x336600, 0x660033,
    0x006633, 0x330066, 0x663300, 0x336699, 0x669933, 0x993366, 0x339966, 0x663399, 0x996633,
    0x6699CC, 0x99CC66, 0xCC6699, 0x66CC99, 0x9966CC, 0xCC9966, 0x99CCFF, 0xCCFF99, 0xFF99CC,
    0x99FFCC, 0xCC99FF, 0xFFCC99, 0x111111, 0x222222, 0x444444, 0x555555, 0xAAAAAA, 0xBBBBBB,
    0xDDDDDD, 0xEEEEEE};

// Inflates up to `limit` bytes: a zlib stream, or with a dictionary the raw continuation
// of a stream that held the dictionary first. What a damaged stream gives before it
// breaks is kept; the caller checks the length it needs.
void Inflate(const uint8_t* data, size_t size, const std::vector<uint8_t>* dictionary, size_t limit,
             std::vector<uint8_t>* out) {
    out->resize(limit);
    z_stream z{};
    if ((dictionary != nullptr ? inflateInit2(&z, -15) : inflateInit(&z)) != Z_OK) {
        out->clear();
        return;
    }
    if (dictionary != nullptr && !dictionary->empty()) {
        inflateSetDictionary(&z, dictionary->data(), uInt(dictionary->size()));
    }
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = uInt(size);
    z.next_out = out->data();
    z.avail_out = uInt(limit);
    inflate(&z, Z_SYNC_FLUSH);
    out->resize(limit - z.avail_out);
    inflateEnd(&z);
}

inline uint32_t Bgr(const uint8_t* p) {
    return 0xFF000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
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

bool ScreenFrameSize(const uint8_t* data, size_t size, int* width, int* height) {
    const size_t skip = PacketStart(data, size);
    ScreenHeader h;
    if (!ReadScreenHeader(data + skip, size - skip, &h)) {
        return false;
    }
    *width = h.width;
    *height = h.height;
    return true;
}

bool ScreenKeyframe(int version, const uint8_t* data, size_t size) {
    const size_t skip = PacketStart(data, size);
    if (skip != 0 && version == 2) {
        return (data[0] >> 4) == 1; // what later frames prime from is the marked keyframe
    }
    data += skip;
    size -= skip;
    ScreenHeader h;
    if (!ReadScreenHeader(data, size, &h)) {
        return false;
    }
    const int blocks = ((h.width + h.blockWidth - 1) / h.blockWidth) *
                       ((h.height + h.blockHeight - 1) / h.blockHeight);
    size_t pos = version == 2 ? 5 : 4;
    for (int i = 0; i < blocks; ++i) {
        if (pos + 2 > size) {
            return false;
        }
        const size_t n = size_t(data[pos]) << 8 | data[pos + 1];
        // Version 2 blocks that change a band or prime from the keyframe need one.
        if (n == 0 || (version == 2 && (pos + 2 >= size || (data[pos + 2] & 7) != 0))) {
            return false;
        }
        pos += 2 + n;
    }
    return true;
}

size_t ScreenVideoDecoder::BytesFor(int width, int height) const {
    return size_t(width) * height * (version_ == 2 ? 8 : 4) + 256 * 256 * 6;
}

Status ScreenVideoDecoder::Decode(const uint8_t* data, size_t size) {
    const bool key = ScreenKeyframe(version_, data, size);
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
    size_t pos = 4;
    if (version_ == 2) {
        if (size < 5) {
            return Status::Damaged;
        }
        if ((data[4] & 3) != 0) {
            return Status::Unsupported; // a keyframe image or palette of its own
        }
        pos = 5;
    }
    if (picture_.width != h.width || picture_.height != h.height) {
        if (!key) {
            return Status::NeedKeyframe;
        }
        if (!memory::Obtainable<uint32_t>(size_t(h.width) * h.height)) {
            return Status::TooLarge;
        }
        picture_.format = Picture::Format::Rgb;
        picture_.width = h.width;
        picture_.height = h.height;
        picture_.rgb.assign(size_t(h.width) * h.height, 0xFF000000u);
        keyImage_.clear();
        keyBlocks_.clear();
    }
    shown_ = &picture_;
    const int cols = (h.width + h.blockWidth - 1) / h.blockWidth;
    std::vector<KeyBlock> stored;
    if (key && version_ == 2) {
        stored.resize(size_t(cols) * ((h.height + h.blockHeight - 1) / h.blockHeight));
    }
    int index = 0;
    for (int top = h.height; top > 0; top -= h.blockHeight) { // the bottom row of blocks first
        const int bh = std::min(h.blockHeight, top);
        for (int left = 0; left < h.width; left += h.blockWidth, ++index) {
            const int bw = std::min(h.blockWidth, h.width - left);
            if (pos + 2 > size) {
                return Status::Damaged;
            }
            const size_t n = size_t(data[pos]) << 8 | data[pos + 1];
            pos += 2;
            if (n == 0) {
                continue;
            }
            if (pos + n > size) {
                return Status::Damaged;
            }
            const Status s = DecodeBlock(data + pos, n, index, left, top, bw, bh, h,
                                         stored.empty() ? nullptr : &stored[size_t(index)]);
            if (s != Status::Ok) {
                return s;
            }
            if (!stored.empty()) {
                stored[size_t(index)].at += pos;
            }
            pos += n;
        }
    }
    if (!stored.empty()) {
        keyImage_ = picture_.rgb;
        keyData_.assign(data, data + size);
        keyBlocks_ = std::move(stored);
    }
    return Status::Ok;
}

Status ScreenVideoDecoder::DecodeBlock(const uint8_t* data, size_t n, int index, int left, int top,
                                       int bw, int bh, const ScreenHeader& h, KeyBlock* stored) {
    int depth = 0, first = 0, rows = bh; // rows counted up from the block's bottom
    bool primed = false;
    size_t at = 0;
    if (version_ == 2) {
        const uint8_t flags = data[0];
        depth = (flags >> 3) & 3;
        at = 1;
        if (depth != 0 && depth != 2) {
            return Status::Damaged;
        }
        if ((flags & 2) != 0) {
            return Status::Unsupported; // primed from a block of this frame
        }
        if ((flags & 4) != 0) { // a band of rows over the keyframe's block
            if (n < 3 || keyImage_.size() != picture_.rgb.size()) {
                return Status::Damaged;
            }
            first = data[1];
            rows = data[2];
            at = 3;
            if (first + rows > bh) {
                return Status::Damaged;
            }
            for (int j = top - bh; j < top; ++j) {
                const size_t row = size_t(j) * h.width + left;
                std::copy(keyImage_.begin() + row, keyImage_.begin() + row + bw,
                          picture_.rgb.begin() + row);
            }
        }
        primed = (flags & 1) != 0;
        if (primed && size_t(index) >= keyBlocks_.size()) {
            return Status::Damaged;
        }
    }
    const size_t limit = size_t(h.blockWidth) * h.blockHeight * 3;
    if (primed) {
        const KeyBlock& k = keyBlocks_[size_t(index)];
        Inflate(keyData_.data() + k.at, k.size, nullptr, limit, &prime_);
        Inflate(data + at, n - at, &prime_, limit, &block_);
    } else {
        Inflate(data + at, n - at, nullptr, limit, &block_);
    }
    if (stored != nullptr) {
        *stored = KeyBlock{at, n - at}; // the caller adds where the block starts
    }
    const uint8_t* p = block_.data();
    const uint8_t* end = p + block_.size();
    for (int j = 0; j < rows; ++j) {
        uint32_t* out = &picture_.rgb[size_t(top - 1 - first - j) * h.width + left];
        for (int i = 0; i < bw; ++i) {
            if (depth == 0) {
                if (end - p < 3) {
                    return Status::Damaged;
                }
                out[i] = Bgr(p);
                p += 3;
            } else if (p < end && (*p & 0x80) == 0) {
                out[i] = 0xFF000000u | kPalette[*p++];
            } else {
                if (end - p < 2) {
                    return Status::Damaged;
                }
                const unsigned c = unsigned(p[0] & 0x7F) << 8 | p[1];
                const unsigned b = c & 31, g = (c >> 5) & 31, r = c >> 10;
                out[i] = 0xFF000000u | ((r << 3) | (r >> 2)) << 16 | ((g << 3) | (g >> 2)) << 8 |
                         ((b << 3) | (b >> 2));
                p += 2;
            }
        }
    }
    return Status::Ok;
}

} // namespace video
