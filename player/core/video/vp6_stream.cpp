// A VP6 frame decoded macroblock by macroblock, and the pictures it predicts from: the
// previous one and the golden one (the last keyframe, or a frame that asked to be kept).
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "player/core/video/vp6_pixels.h"
#include "player/core/video/vp6_stream.h"

namespace video {
namespace vp6 {

size_t Stream::BytesFor(int width, int height, bool alphaOnly) {
    const size_t cols = (size_t(width) + 15) / 16, rows = (size_t(height) + 15) / 16;
    const size_t luma = cols * rows * 256;
    return 3 * (alphaOnly ? luma : luma * 3 / 2) + cols * rows * sizeof(Macroblock) +
           (4 * cols + 6) * sizeof(BlockContext);
}

Status Stream::Decode(const uint8_t* data, size_t size) {
    const Status started = StartFrame(data, size);
    if (started != Status::Ok) {
        return started;
    }
    current_ = 0;
    while (current_ == previous_ || current_ == golden_) {
        ++current_;
    }
    Picture& target = pool_[current_];
    if (target.stride != 16 * mbCols_ || target.rows != 16 * mbRows_) {
        if (!target.AllocateYuv(16 * mbCols_, 16 * mbRows_, 16 * mbCols_, 16 * mbRows_, false)) {
            return Status::TooLarge;
        }
        if (alphaOnly_) {
            target.u.clear();
            target.v.clear();
        }
    }
    if (key_) {
        DefaultModels();
        for (Macroblock& mb : mbs_) {
            mb.mode = kIntra;
        }
    } else {
        ReadModeModels();
        ReadVectorModels();
        mode_ = kInterNoVector;
    }
    ReadCoefficientModels();
    loopLimit_ = kLoopFilterLimit[quantizer_];
    std::memset(prevDc_, 0, sizeof prevDc_);
    prevDc_[1][kCurrent] = prevDc_[2][kCurrent] = 128;
    std::fill(above_.begin(), above_.end(), BlockContext());
    above_[size_t(2) * mbCols_ + 2].ref = kCurrent;
    above_[size_t(3) * mbCols_ + 4].ref = kCurrent;
    for (int row = 0; row < mbRows_; ++row) {
        for (BlockContext& l : left_) {
            l = BlockContext();
        }
        const int start[6] = {1, 2, 1, 2, 2 * mbCols_ + 3, 3 * mbCols_ + 5};
        std::copy(start, start + 6, aboveIndex_);
        for (int col = 0; col < mbCols_; ++col) {
            const uint8_t mode = key_ ? uint8_t(kIntra) : ReadMode(row, col);
            std::memset(coeffs_, 0, sizeof coeffs_);
            std::memset(ac_, 0, sizeof ac_);
            if (huffmanTokens_) {
                if (!ReadHuffmanCoefficients()) {
                    return Status::Damaged;
                }
            } else {
                if (tokens_->Exhausted()) {
                    return Status::Damaged;
                }
                ReadCoefficients();
            }
            AddDcPredictors(ReferenceOf(mode));
            Reconstruct(row, col, mode);
            for (int b = 0; b < 4; ++b) {
                aboveIndex_[b] += 2;
            }
            ++aboveIndex_[4];
            ++aboveIndex_[5];
        }
    }
    if (rc_.Exhausted() || tokens_->Exhausted()) {
        return Status::Damaged;
    }
    if (key_ || goldenUpdate_) {
        golden_ = current_;
    }
    previous_ = current_;
    haveRef_ = true;
    return Status::Ok;
}

void Stream::Reconstruct(int row, int col, uint8_t mode) {
    Picture& cur = pool_[current_];
    const Picture& ref = pool_[ReferenceOf(mode) == kGolden ? golden_ : previous_];
    const int blocks = alphaOnly_ ? 4 : 6;
    for (int b = 0; b < blocks; ++b) {
        uint8_t* dst;
        const uint8_t* from;
        int stride, x, y;
        if (b < 4) {
            stride = cur.stride;
            x = 16 * col + (b & 1) * 8;
            y = 16 * row + (b >> 1) * 8;
            dst = cur.y.data();
            from = ref.y.data();
        } else {
            stride = cur.chromaStride;
            x = 8 * col;
            y = 8 * row;
            dst = (b == 4 ? cur.u : cur.v).data();
            from = (b == 4 ? ref.u : ref.v).data();
        }
        const size_t at = size_t(y) * stride + x;
        // Nothing to add for a block with no coefficients (common in inter frames).
        const bool residual = ac_[b] || coeffs_[b][0] != 0;
        switch (mode) {
        case kIntra:
            IdctPut(coeffs_[b], selector_[b], dst + at, stride);
            break;
        case kInterNoVector:
        case kGoldenNoVector:
            Copy8x8(from + at, stride, dst + at, stride);
            if (residual) {
                IdctAdd(coeffs_[b], selector_[b], dst + at, stride);
            }
            break;
        default:
            Predict(b, ref, x, y, dst + at, stride);
            if (residual) {
                IdctAdd(coeffs_[b], selector_[b], dst + at, stride);
            }
            break;
        }
    }
}

// An 8x8 block from `ref` moved by the block's vector: a 12x12 window around it (edges
// repeated outside the picture), its block edges filtered when the frame asks, then read
// at the vector's fraction.
void Stream::Predict(int b, const Picture& ref, int bx, int by, uint8_t* dst, int dstStride) {
    const bool luma = b < 4;
    const int div = luma ? 4 : 8, mask = div - 1;
    const Vector mv = mv_[b];
    const int dx = mv.x / div, dy = mv.y / div; // toward zero
    const uint8_t* plane = luma ? ref.y.data() : (b == 4 ? ref.u : ref.v).data();
    const int stride = luma ? ref.stride : ref.chromaStride;
    const int w = luma ? 16 * mbCols_ : 8 * mbCols_, h = luma ? 16 * mbRows_ : 8 * mbRows_;
    const int x0 = bx + dx - 2, y0 = by + dy - 2;
    uint8_t win[12 * 12];
    const int ws = 12;
    for (int j = 0; j < 12; ++j) {
        const int sy = std::min(h - 1, std::max(0, y0 + j));
        const uint8_t* src = plane + size_t(sy) * stride;
        if (x0 >= 0 && x0 + 12 <= w) {
            std::memcpy(win + j * ws, src + x0, 12);
        } else {
            for (int i = 0; i < 12; ++i) {
                win[j * ws + i] = src[std::min(w - 1, std::max(0, x0 + i))];
            }
        }
    }
    if (loopFilter_) {
        if ((dx & 7) != 0) {
            FilterEdge(win + 10 - (dx & 7), 1, ws, loopLimit_);
        }
        if ((dy & 7) != 0) {
            FilterEdge(win + ws * (10 - (dy & 7)), ws, 1, loopLimit_);
        }
    }
    const uint8_t* base = win + 2 * ws + 2;
    const int ox = (mv.x & mask) != 0 ? (mv.x > 0 ? 1 : -1) : 0;
    const int oy = (mv.y & mask) != 0 ? (mv.y > 0 ? 1 : -1) : 0;
    if (ox == 0 && oy == 0) {
        Copy8x8(base, ws, dst, dstStride);
        return;
    }
    int fx = mv.x & mask, fy = mv.y & mask;
    int filter = 0;
    if (luma) {
        fx *= 2;
        fy *= 2;
        filter = filterMode_;
        if (filter == 2) {
            if (maxVectorLength_ != 0 &&
                (std::abs(mv.x) > maxVectorLength_ || std::abs(mv.y) > maxVectorLength_)) {
                filter = 0;
            } else if (varianceThreshold_ != 0 && Variance(base, ws) < varianceThreshold_) {
                filter = 0;
            }
        }
    }
    // Fractions read forward from the whole sample below the position.
    if (fy != 0 ? oy < 0 : ox < 0) {
        base += ox + oy * ws;
    }
    const int skew = ((mv.x ^ mv.y) < 0) ? -1 : 0;
    if (filter != 0) {
        const int16_t(*taps)[4] = kSubpelTaps[filterSelect_];
        if (fy == 0) {
            FourTap(base, ws, 1, taps[fx], dst, dstStride);
        } else if (fx == 0) {
            FourTap(base, ws, ws, taps[fy], dst, dstStride);
        } else {
            FourTapTwoPass(base + skew, ws, taps[fx], taps[fy], dst, dstStride);
        }
    } else if (fx == 0 || fy == 0) {
        Bilinear(base, ws, fx, fy, dst, dstStride);
    } else {
        BilinearTwoPass(base + skew, ws, fx, fy, dst, dstStride);
    }
}

} // namespace vp6
} // namespace video
