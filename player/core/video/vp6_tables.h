// The constants of the VP6 format: default and update probabilities of its models, the
// token trees, dequantisation steps and the sub-pixel filter taps.
#pragma once

#include <cstdint>

namespace video {
namespace vp6 {

// A binary tree read through a probability per inner node: an entry with `next` > 0 goes
// to `this + next` on a 1 bit and on to the following entry on a 0; a leaf (next <= 0)
// yields -next.
struct TreeNode {
    int8_t next;
    uint8_t prob;
};

extern const TreeNode kVectorTree[];    // short vector lengths 0..7
extern const TreeNode kTokenTree[];     // large coefficient categories 0..5
extern const TreeNode kRunTree[];       // zero runs 1..8, 0 for a long run
extern const TreeNode kModeTree[];      // macroblock modes
extern const TreeNode kModeDeltaTree[]; // changes to the mode statistics

extern const uint8_t kFdvDefault[2][8];
extern const uint8_t kPdvDefault[2][7];
extern const uint8_t kReorderDefault[64];
extern const uint8_t kRunDefault[2][14];
extern const uint8_t kSigDctUpdate[2][2];
extern const uint8_t kPdvUpdate[2][7];
extern const uint8_t kFdvUpdate[2][8];
extern const uint8_t kDcUpdate[2][11];
extern const uint8_t kReorderUpdate[64];
extern const uint8_t kRunUpdate[2][14];
extern const uint8_t kAcUpdate[3][2][6][11];
extern const int kDcContext[3][5][2]; // DC node probabilities by neighbours: scale, offset
extern const uint8_t kCoeffGroup[64];
extern const int16_t kSubpelTaps[17][8][4];
extern const uint8_t kCategoryProbs[6][11];
extern const uint8_t kCategoryBase[11];
extern const uint8_t kCategoryBits[6];
extern const uint8_t kModeStatsDefault[3][10][2];
extern const uint8_t kModeStatsPresets[16][3][10][2];
extern const uint8_t kModeDeltaProbs[6];
extern const uint8_t kAcDequant[64];
extern const uint8_t kDcDequant[64];
extern const uint8_t kLoopFilterLimit[64];
extern const int8_t kNeighbourMbs[12][2]; // x, y of earlier macroblocks, nearest first
extern const uint8_t kZigzag[64];
// Huffman trees from the token probabilities: where each node's two branches go (below
// the symbol count a symbol, else an inner node).
extern const uint8_t kHuffTokenMap[22];
extern const uint8_t kHuffRunMap[16];

} // namespace vp6
} // namespace video
