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
                    ac_[b] = true;
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

// The tree's weights: each inner node's share of its parent's, split by its probability.
// Then the two lightest nodes are joined until one is left, ties broken so that the codes
// come out as the format's encoder made them.
void HuffmanTree::Build(const uint8_t* probs, const uint8_t* map, int symbols) {
    int inner[12] = {256};
    for (int i = 0; i < 2 * symbols; ++i) {
        nodes[i] = Node{-1, 0, 0};
    }
    for (int i = 0; i < symbols - 1; ++i) {
        const int zero = inner[i] * probs[i] >> 8, one = inner[i] * (255 - probs[i]) >> 8;
        for (int k = 0; k < 2; ++k) {
            const int w = std::max(1, k == 0 ? zero : one), to = map[2 * i + k];
            if (to < symbols) {
                nodes[to].count = w;
            } else if (to - symbols < 12) {
                inner[to - symbols] = w;
            }
        }
    }
    for (int i = 0; i < symbols; ++i) {
        nodes[i].symbol = int16_t(i);
    }
    std::sort(nodes, nodes + symbols, [](const Node& a, const Node& b) {
        return a.count != b.count ? a.count < b.count : a.symbol > b.symbol;
    });
    for (int i = 0, next = symbols; i + 1 < 2 * symbols - 1; i += 2, ++next) {
        nodes[next] = Node{-1, int16_t(i), nodes[i].count + nodes[i + 1].count};
        for (int j = next; j > 0; --j) {
            const Node &a = nodes[j], &b = nodes[j - 1];
            if (a.count > b.count || (a.count == b.count && (a.zero == j - 1 || a.zero == j - 2 ||
                                                             (a.symbol >= 0 && b.symbol >= 0)))) {
                break;
            }
            std::swap(nodes[j], nodes[j - 1]);
        }
    }
    root = 2 * symbols - 2;
}

namespace {

int Walk(const HuffmanTree& t, Bits* bits) {
    int n = t.root;
    for (int depth = 0; t.nodes[n].symbol < 0 && depth < 24; ++depth) {
        n = t.nodes[n].zero + int(bits->Bit());
        if (n < 0 || n >= 24) {
            return 0;
        }
    }
    return std::max(0, int(t.nodes[n].symbol));
}

// How many blocks after this one share its empty DC or AC: 0 to 73.
int ReadZeroBlocks(Bits* bits) {
    int v = int(bits->Read(2));
    if (v == 2) {
        v += int(bits->Read(2));
    } else if (v == 3) {
        const int wide = int(bits->Read(1)) << 2;
        v = 6 + wide + int(bits->Read(2 + wide));
    }
    return v;
}

} // namespace

bool Stream::ReadHuffmanCoefficients() {
    for (int b = 0; b < 6; ++b) {
        const int pt = b > 3 ? 1 : 0;
        const HuffmanTree* tree = &dcTree_[pt];
        int ct = 0, idx = 0;
        int16_t* out = coeffs_[b];
        for (;;) {
            int run = 1;
            if (idx < 2 && zeroBlocks_[idx][pt] > 0) {
                --zeroBlocks_[idx][pt];
                if (idx == 1) {
                    break;
                }
            } else {
                if (bits_.Position() >= bits_.Size() * 8) {
                    return false;
                }
                const int token = Walk(*tree, &bits_);
                if (token == 0) {
                    if (idx > 0) {
                        run += Walk(runTree_[idx >= 6 ? 1 : 0], &bits_);
                        if (run >= 9) {
                            run += int(bits_.Read(6));
                        }
                    } else {
                        zeroBlocks_[0][pt] = ReadZeroBlocks(&bits_);
                    }
                    ct = 0;
                } else if (token == 11) { // end of block
                    if (idx == 1) {
                        zeroBlocks_[1][pt] = ReadZeroBlocks(&bits_);
                    }
                    break;
                } else {
                    int v = kCategoryBase[token];
                    if (token > 4) {
                        v += int(bits_.Read(token <= 9 ? token - 4 : 11));
                    }
                    ct = v > 1 ? 2 : 1;
                    if (bits_.Bit()) {
                        v = -v;
                    }
                    if (idx > 0) {
                        v *= acStep_;
                        ac_[b] = true;
                    }
                    out[kZigzag[m_.indexToPos[idx]]] = int16_t(v);
                }
            }
            idx += run;
            if (idx >= 64) {
                break;
            }
            tree = &acTree_[pt][ct][std::min<int>(kCoeffGroup[idx], 3)];
        }
        selector_[b] = m_.idctSelector[std::min(idx, 63)];
    }
    return true;
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
