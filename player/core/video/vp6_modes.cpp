// VP6 macroblock modes and motion vectors: each inter macroblock's mode is coded against
// the previous macroblock's, in a context set by how many distinct vectors its nearby
// macroblocks use; vectors are those neighbours' or a coded change to the nearest.
#include "player/core/video/vp6_stream.h"

namespace video {
namespace vp6 {

namespace {

const int8_t kReferenceOf[10] = {kPrevious, kCurrent, kPrevious, kPrevious, kPrevious,
                                 kGolden,   kGolden,  kPrevious, kGolden,   kGolden};

} // namespace

int8_t ReferenceOf(uint8_t mode) {
    return kReferenceOf[mode < 10 ? mode : 0];
}

// The first two distinct non-zero vectors of earlier macroblocks predicting from `ref`;
// the context is 1 for none, 2 for one, 0 for two.
int Stream::FindNeighbours(int row, int col, int8_t ref) {
    Vector found[2];
    int n = 0;
    for (int pos = 0; pos < 12; ++pos) {
        const int x = col + kNeighbourMbs[pos][0], y = row + kNeighbourMbs[pos][1];
        if (x < 0 || x >= mbCols_ || y < 0 || y >= mbRows_) {
            continue;
        }
        const Macroblock& mb = mbs_[size_t(y) * mbCols_ + x];
        if (ReferenceOf(mb.mode) != ref || mb.mv == found[0] || mb.mv == Vector()) {
            continue;
        }
        found[n++] = mb.mv;
        if (n > 1) {
            n = -1;
            break;
        }
        candidatePos_ = pos;
    }
    candidates_[0] = found[0];
    candidates_[1] = found[1];
    return n + 1;
}

Vector Stream::ReadVectorDelta() {
    Vector v;
    if (candidatePos_ < 2) {
        v = candidates_[0]; // a change to the nearest neighbour's vector
    }
    for (int c = 0; c < 2; ++c) {
        int delta = 0;
        if (rc_.Bit(m_.vectorShort[c])) {
            static const int kOrder[7] = {0, 1, 2, 7, 6, 5, 4};
            for (int j : kOrder) {
                delta |= int(rc_.Bit(m_.vectorLong[c][j])) << j;
            }
            // Bit 3 is coded only where a higher one is set (else it must be).
            delta |= (delta & 0xF0) != 0 ? int(rc_.Bit(m_.vectorLong[c][3])) << 3 : 8;
        } else {
            delta = rc_.Tree(kVectorTree, m_.vectorShortTree[c]);
        }
        if (delta != 0 && rc_.Bit(m_.vectorSign[c])) {
            delta = -delta;
        }
        int16_t& comp = c == 0 ? v.x : v.y;
        comp = int16_t(comp + delta);
    }
    return v;
}

uint8_t Stream::ReadMode(int row, int col) {
    const int ctx = FindNeighbours(row, col, kPrevious);
    const uint8_t* probs = m_.modeProbs[ctx][mode_];
    if (!rc_.Bit(probs[0])) {
        mode_ = uint8_t(rc_.Tree(kModeTree, probs));
    }
    Macroblock& mb = mbs_[size_t(row) * mbCols_ + col];
    mb.mode = mode_;
    Vector mv;
    switch (mode_) {
    case kInterNear:
        mv = candidates_[0];
        break;
    case kInterNearer:
        mv = candidates_[1];
        break;
    case kGoldenNear:
        FindNeighbours(row, col, kGolden);
        mv = candidates_[0];
        break;
    case kGoldenNearer:
        FindNeighbours(row, col, kGolden);
        mv = candidates_[1];
        break;
    case kInterDelta:
        mv = ReadVectorDelta();
        break;
    case kGoldenDelta:
        FindNeighbours(row, col, kGolden);
        mv = ReadVectorDelta();
        break;
    case kInterFour: {
        int kinds[4];
        for (int& k : kinds) {
            k = rc_.Bits(2);
        }
        int sx = 0, sy = 0;
        for (int b = 0; b < 4; ++b) {
            switch (kinds[b]) {
            case 0:
                mv_[b] = Vector();
                break;
            case 1:
                mv_[b] = ReadVectorDelta();
                break;
            case 2:
                mv_[b] = candidates_[0];
                break;
            default:
                mv_[b] = candidates_[1];
                break;
            }
            sx = int16_t(sx + mv_[b].x);
            sy = int16_t(sy + mv_[b].y);
        }
        mb.mv = mv_[3];
        // Chroma moves by the luma vectors' mean, rounded half away from zero.
        auto mean = [](int s) { return int16_t(s > 0 ? (s + 2) >> 2 : (s + 1) >> 2); };
        mv_[4].x = mv_[5].x = mean(sx);
        mv_[4].y = mv_[5].y = mean(sy);
        return mode_;
    }
    default:
        break;
    }
    mb.mv = mv;
    for (Vector& v : mv_) {
        v = mv;
    }
    return mode_;
}

} // namespace vp6
} // namespace video
