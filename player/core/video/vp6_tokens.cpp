// VP6 coefficient tokens, range coded: per block a DC token in a context of its left and
// upper neighbours, then AC tokens and zero runs in a context of the previous token, in a
// scan order each frame may change; DC values are coded as differences to neighbours'.
#include <algorithm>
#include <cstring>

#include "player/core/video/vp6_stream.h"

namespace video {
namespace vp6 {

namespace {

const uint8_t kLeftOf[6] = {0, 0, 1, 1, 2, 3};
const uint8_t kPlaneOf[6] = {0, 0, 0, 0, 1, 2};

} // namespace

void Stream::ReadCoefficients() {
    RangeDecoder& rc = *tokens_;
    for (int b = 0; b < 6; ++b) {
        const int pt = b > 3 ? 1 : 0;
        BlockContext& left = left_[kLeftOf[b]];
        BlockContext& above = above_[size_t(aboveIndex_[b])];
        const uint8_t* values = m_.dc[pt];
        const uint8_t* tokens = m_.dcContext[pt][int(left.nonzeroDc) + int(above.nonzeroDc)];
        int ct = 1; // the previous token: 0 zero, 1 one, 2 larger
        int idx = 0;
        int16_t* out = coeffs_[b];
        for (;;) {
            int run = 1;
            // After a zero only a non-zero token can follow, so that branch is not coded.
            if ((idx > 1 && ct == 0) || rc.Bit(tokens[0])) {
                int v;
                if (rc.Bit(tokens[2])) {
                    if (rc.Bit(tokens[3])) {
                        const int cat = rc.Tree(kTokenTree, values);
                        v = kCategoryBase[cat + 5];
                        for (int i = kCategoryBits[cat]; i >= 0; --i) {
                            v += int(rc.Bit(kCategoryProbs[cat][i])) << i;
                        }
                    } else {
                        v = rc.Bit(tokens[4]) ? 3 + int(rc.Bit(values[5])) : 2;
                    }
                    ct = 2;
                } else {
                    ct = 1;
                    v = 1;
                }
                if (rc.Bit()) {
                    v = -v;
                }
                if (idx > 0) {
                    v *= acStep_;
                }
                out[kZigzag[m_.indexToPos[idx]]] = int16_t(v);
            } else {
                ct = 0;
                if (idx > 0) {
                    if (!rc.Bit(tokens[1])) {
                        break; // end of block
                    }
                    const uint8_t* probs = m_.run[idx >= 6 ? 1 : 0];
                    run = rc.Tree(kRunTree, probs);
                    if (run == 0) {
                        run = 9;
                        for (int i = 0; i < 6; ++i) {
                            run += int(rc.Bit(probs[i + 8])) << i;
                        }
                    }
                }
            }
            idx += run;
            if (idx >= 64) {
                break;
            }
            values = tokens = m_.ac[pt][ct][kCoeffGroup[idx]];
        }
        left.nonzeroDc = above.nonzeroDc = out[0] != 0;
        selector_[b] = m_.idctSelector[std::min(idx, 63)];
    }
}

void Stream::AddDcPredictors(int8_t ref) {
    for (int b = 0; b < 6; ++b) {
        BlockContext& left = left_[kLeftOf[b]];
        BlockContext& above = above_[size_t(aboveIndex_[b])];
        int count = 0, dc = 0;
        if (left.ref == ref) {
            dc += left.dc;
            ++count;
        }
        if (above.ref == ref) {
            dc += above.dc;
            ++count;
        }
        int16_t& last = prevDc_[kPlaneOf[b]][ref];
        if (count == 0) {
            dc = last;
        } else if (count == 2) {
            dc /= 2;
        }
        const int16_t v = int16_t(coeffs_[b][0] + dc);
        last = left.dc = above.dc = v;
        left.ref = above.ref = ref;
        coeffs_[b][0] = int16_t(v * dcStep_);
    }
}

} // namespace vp6
} // namespace video
