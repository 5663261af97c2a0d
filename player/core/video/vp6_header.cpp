// The VP6 frame header and the probability models each frame may update.
#include <algorithm>
#include <cstring>

#include "player/core/video/vp6_stream.h"

namespace video {
namespace vp6 {

bool ReadFrameHeader(const uint8_t* data, size_t size, int filterHeader, FrameHeader* h) {
    if (size < 1) {
        return false;
    }
    h->key = (data[0] & 0x80) == 0;
    h->quantizer = (data[0] >> 1) & 0x3F;
    h->separateCoefficients = (data[0] & 1) != 0;
    size_t at = 1;
    if (h->key) {
        if (size < 2) {
            return false;
        }
        h->subVersion = data[1] >> 3;
        h->filterHeader = data[1] & 0x06;
        filterHeader = h->filterHeader;
        at = 2;
    }
    h->coeffOffset = 0;
    if (h->separateCoefficients || filterHeader == 0) {
        if (size < at + 2) {
            return false;
        }
        // From the frame's start; 2 would point at itself and means none.
        const size_t offset = size_t(data[at]) << 8 | data[at + 1];
        h->coeffOffset = offset == 2 ? 0 : offset;
        at += 2;
        if (h->coeffOffset != 0 && h->coeffOffset >= size) {
            return false;
        }
    }
    if (h->key) {
        if (size < at + 4) {
            return false;
        }
        h->rows = data[at];
        h->cols = data[at + 1];
        at += 4; // then the displayed rows and columns, which Flash does not use
        if (h->rows == 0 || h->cols == 0) {
            return false;
        }
    }
    h->rangeStart = at;
    return at < size;
}

void Stream::OrderTables() {
    int idx = 1;
    m_.indexToPos[0] = 0;
    for (int band = 0; band < 16; ++band) {
        for (int pos = 1; pos < 64 && idx < 64; ++pos) {
            if (m_.reorder[pos] == band) {
                m_.indexToPos[idx++] = uint8_t(pos);
            }
        }
    }
    while (idx < 64) {
        m_.indexToPos[idx++] = 63; // only a damaged table leaves gaps
    }
    // The last position a block may reach decides how much of the transform can be
    // skipped; later versions count one further.
    int highest = 0;
    for (int i = 0; i < 64; ++i) {
        highest = std::max<int>(highest, m_.indexToPos[i]);
        m_.idctSelector[i] = uint8_t(highest + (subVersion_ > 6 ? 1 : 0));
    }
}

void Stream::DefaultModels() {
    m_.vectorShort[0] = 0xA2;
    m_.vectorShort[1] = 0xA4;
    m_.vectorSign[0] = m_.vectorSign[1] = 0x80;
    std::memcpy(m_.modeStats, kModeStatsDefault, sizeof m_.modeStats);
    std::memcpy(m_.vectorLong, kFdvDefault, sizeof m_.vectorLong);
    std::memcpy(m_.vectorShortTree, kPdvDefault, sizeof m_.vectorShortTree);
    std::memcpy(m_.run, kRunDefault, sizeof m_.run);
    std::memcpy(m_.reorder, kReorderDefault, sizeof m_.reorder);
    OrderTables();
}

void Stream::ReadModeModels() {
    for (int ctx = 0; ctx < 3; ++ctx) {
        if (rc_.Bit(174)) {
            std::memcpy(m_.modeStats[ctx], kModeStatsPresets[rc_.Bits(4)][ctx],
                        sizeof m_.modeStats[ctx]);
        }
        if (rc_.Bit(254)) {
            for (int type = 0; type < 10; ++type) {
                for (int i = 0; i < 2; ++i) {
                    if (rc_.Bit(205)) {
                        const bool negative = rc_.Bit();
                        int delta = rc_.Tree(kModeDeltaTree, kModeDeltaProbs);
                        if (delta == 0) {
                            delta = 4 * rc_.Bits(7);
                        }
                        m_.modeStats[ctx][type][i] += uint8_t(negative ? -delta : delta);
                    }
                }
            }
        }
    }
    // Each mode's chance after each previous mode: a weight per mode from the statistics,
    // the previous mode's own left out (its repeat is coded first).
    for (int ctx = 0; ctx < 3; ++ctx) {
        int w[10];
        for (int type = 0; type < 10; ++type) {
            w[type] = 100 * m_.modeStats[ctx][type][1];
        }
        for (int type = 0; type < 10; ++type) {
            const int same = m_.modeStats[ctx][type][0], other = m_.modeStats[ctx][type][1];
            uint8_t* p = m_.modeProbs[ctx][type];
            p[0] = uint8_t(255 - (255 * same) / (1 + same + other));
            w[type] = 0;
            const int w02 = w[0] + w[2], w34 = w[3] + w[4], w17 = w[1] + w[7];
            const int w56 = w[5] + w[6], w89 = w[8] + w[9];
            const int w0234 = w02 + w34, w5689 = w56 + w89, w156789 = w17 + w5689;
            p[1] = uint8_t(1 + 255 * w0234 / (1 + w0234 + w156789));
            p[2] = uint8_t(1 + 255 * w02 / (1 + w0234));
            p[3] = uint8_t(1 + 255 * w17 / (1 + w156789));
            p[4] = uint8_t(1 + 255 * w[0] / (1 + w02));
            p[5] = uint8_t(1 + 255 * w[3] / (1 + w34));
            p[6] = uint8_t(1 + 255 * w[1] / (1 + w17));
            p[7] = uint8_t(1 + 255 * w56 / (1 + w5689));
            p[8] = uint8_t(1 + 255 * w[5] / (1 + w56));
            p[9] = uint8_t(1 + 255 * w[8] / (1 + w89));
            w[type] = 100 * other;
        }
    }
}

void Stream::ReadVectorModels() {
    for (int c = 0; c < 2; ++c) {
        if (rc_.Bit(kSigDctUpdate[c][0])) {
            m_.vectorShort[c] = rc_.Probability();
        }
        if (rc_.Bit(kSigDctUpdate[c][1])) {
            m_.vectorSign[c] = rc_.Probability();
        }
    }
    for (int c = 0; c < 2; ++c) {
        for (int node = 0; node < 7; ++node) {
            if (rc_.Bit(kPdvUpdate[c][node])) {
                m_.vectorShortTree[c][node] = rc_.Probability();
            }
        }
    }
    for (int c = 0; c < 2; ++c) {
        for (int node = 0; node < 8; ++node) {
            if (rc_.Bit(kFdvUpdate[c][node])) {
                m_.vectorLong[c][node] = rc_.Probability();
            }
        }
    }
}

void Stream::ReadCoefficientModels() {
    // A keyframe resets what it does not update to the last value read for that node.
    uint8_t last[11];
    std::memset(last, 0x80, sizeof last);
    for (int pt = 0; pt < 2; ++pt) {
        for (int node = 0; node < 11; ++node) {
            if (rc_.Bit(kDcUpdate[pt][node])) {
                last[node] = rc_.Probability();
                m_.dc[pt][node] = last[node];
            } else if (key_) {
                m_.dc[pt][node] = last[node];
            }
        }
    }
    if (rc_.Bit()) {
        for (int pos = 1; pos < 64; ++pos) {
            if (rc_.Bit(kReorderUpdate[pos])) {
                m_.reorder[pos] = uint8_t(rc_.Bits(4));
            }
        }
        OrderTables();
    }
    for (int cg = 0; cg < 2; ++cg) {
        for (int node = 0; node < 14; ++node) {
            if (rc_.Bit(kRunUpdate[cg][node])) {
                m_.run[cg][node] = rc_.Probability();
            }
        }
    }
    for (int ct = 0; ct < 3; ++ct) {
        for (int pt = 0; pt < 2; ++pt) {
            for (int cg = 0; cg < 6; ++cg) {
                for (int node = 0; node < 11; ++node) {
                    if (rc_.Bit(kAcUpdate[ct][pt][cg][node])) {
                        last[node] = rc_.Probability();
                        m_.ac[pt][ct][cg][node] = last[node];
                    } else if (key_) {
                        m_.ac[pt][ct][cg][node] = last[node];
                    }
                }
            }
        }
    }
    if (huffman_) {
        for (int pt = 0; pt < 2; ++pt) {
            dcTree_[pt].Build(m_.dc[pt], kHuffTokenMap, 12);
            runTree_[pt].Build(m_.run[pt], kHuffRunMap, 9);
            for (int ct = 0; ct < 3; ++ct) {
                for (int cg = 0; cg < 4; ++cg) {
                    acTree_[pt][ct][cg].Build(m_.ac[pt][ct][cg], kHuffTokenMap, 12);
                }
            }
        }
        std::memset(zeroBlocks_, 0, sizeof zeroBlocks_);
        return; // the range-coded contexts stay as they were
    }
    for (int pt = 0; pt < 2; ++pt) {
        for (int ctx = 0; ctx < 3; ++ctx) {
            for (int node = 0; node < 5; ++node) {
                const int v = ((m_.dc[pt][node] * kDcContext[ctx][node][0] + 128) >> 8) +
                              kDcContext[ctx][node][1];
                m_.dcContext[pt][ctx][node] = uint8_t(std::min(255, std::max(1, v)));
            }
        }
    }
}

Status Stream::StartFrame(const uint8_t* data, size_t size) {
    if (size > 0 && (data[0] & 0x80) != 0 && !haveRef_) {
        return Status::NeedKeyframe;
    }
    FrameHeader h;
    if (!ReadFrameHeader(data, size, filterHeader_, &h)) {
        return Status::Damaged;
    }
    if (h.key) {
        if (h.subVersion > 8 || (data[1] & 1) != 0) {
            return Status::Unsupported; // later versions, interlacing
        }
        if (h.cols != mbCols_ || h.rows != mbRows_) {
            // Pictures are resized as they are next decoded into: the one shown stays up
            // should this keyframe fail.
            mbCols_ = h.cols;
            mbRows_ = h.rows;
            mbs_.assign(size_t(mbCols_) * mbRows_, Macroblock());
            above_.assign(size_t(4) * mbCols_ + 6, BlockContext());
            haveRef_ = false;
        }
        subVersion_ = h.subVersion;
        filterHeader_ = h.filterHeader;
    } else if (!haveRef_) {
        return Status::NeedKeyframe;
    }
    key_ = h.key;
    quantizer_ = h.quantizer;
    dcStep_ = kDcDequant[quantizer_] << 2;
    acStep_ = kAcDequant[quantizer_] << 2;
    rc_.Init(data + h.rangeStart, size - h.rangeStart);
    bool filterInfo = false;
    if (key_) {
        rc_.Bits(2);
        filterInfo = filterHeader_ != 0;
        goldenUpdate_ = false;
    } else {
        goldenUpdate_ = rc_.Bit();
        if (filterHeader_ != 0) {
            loopFilter_ = rc_.Bit();
            if (loopFilter_) {
                rc_.Bit();
            }
            if (subVersion_ > 7) {
                filterInfo = rc_.Bit();
            }
        }
    }
    if (filterInfo) {
        if (rc_.Bit()) {
            filterMode_ = 2;
            varianceThreshold_ = rc_.Bits(5) << (key_ && subVersion_ < 8 ? 5 : 0);
            maxVectorLength_ = 2 << rc_.Bits(3);
        } else {
            filterMode_ = rc_.Bit() ? 1 : 0;
        }
        filterSelect_ = subVersion_ > 7 ? rc_.Bits(4) : 16;
    }
    // Huffman-coded tokens need a partition of their own; without one the flag still
    // changes which models the frame updates.
    huffman_ = rc_.Bit();
    huffmanTokens_ = huffman_ && h.coeffOffset != 0;
    tokens_ = &rc_;
    if (huffmanTokens_) {
        bits_ = Bits(data + h.coeffOffset, size - h.coeffOffset);
    } else if (h.coeffOffset != 0) {
        coeffRc_.Init(data + h.coeffOffset, size - h.coeffOffset);
        tokens_ = &coeffRc_;
    }
    return Status::Ok;
}

} // namespace vp6
} // namespace video
