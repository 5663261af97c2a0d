// VP6's boolean (range) decoder: each bit read against an 8-bit probability of a zero.
// Bytes past the end read as zero; `Exhausted` tells when a frame has run well past its
// end, as a damaged one does.
#pragma once

#include <cstddef>
#include <cstdint>

#include "player/core/video/vp6_tables.h"

namespace video {
namespace vp6 {

class RangeDecoder {
  public:
    void Init(const uint8_t* data, size_t size) {
        data_ = data;
        size_ = size;
        pos_ = 0;
        high_ = 255;
        bits_ = -16;
        overrun_ = 0;
        code_ = uint32_t(Byte()) << 16;
        code_ |= uint32_t(Byte()) << 8;
        code_ |= Byte();
    }

    bool Bit(uint8_t prob) {
        Normalize();
        const uint32_t split = 1 + (((high_ - 1) * prob) >> 8);
        const uint32_t bound = split << 16;
        if (code_ >= bound) {
            high_ -= split;
            code_ -= bound;
            return true;
        }
        high_ = split;
        return false;
    }
    bool Bit() { return Bit(128); }
    int Bits(int count) {
        int v = 0;
        while (count-- > 0) {
            v = v << 1 | int(Bit());
        }
        return v;
    }
    // A 7-bit probability update, never zero.
    uint8_t Probability() {
        const int v = Bits(7) << 1;
        return uint8_t(v == 0 ? 1 : v);
    }
    int Tree(const TreeNode* node, const uint8_t* probs) {
        while (node->next > 0) {
            node += Bit(probs[node->prob]) ? node->next : 1;
        }
        return -node->next;
    }
    // A coder needs a few bytes past its last symbol's; many more mean the frame was cut
    // short (a cut frame of a few macroblocks would else decode as if whole).
    bool Exhausted() const { return overrun_ > 4; }

  private:
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : (++pos_, 0); }
    void Normalize() {
        const int shift = high_ >= 128 ? 0 : __builtin_clz(high_) - 24;
        high_ <<= shift;
        code_ <<= shift;
        bits_ += shift;
        if (bits_ >= 0) {
            if (pos_ < size_) {
                const uint32_t hi = Byte(), lo = Byte();
                code_ |= (hi << 8 | lo) << bits_;
                bits_ -= 16;
            } else if (overrun_ < 1000) {
                ++overrun_;
            }
        }
    }
    const uint8_t* data_ = nullptr;
    size_t size_ = 0, pos_ = 0;
    uint32_t high_ = 255, code_ = 0;
    int bits_ = -16;
    int overrun_ = 0;
};

} // namespace vp6
} // namespace video
