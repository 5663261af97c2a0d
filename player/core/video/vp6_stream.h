// One VP6 bitstream decoded into planes: the frame header and the probability models it
// updates, macroblock modes and motion vectors, coefficient tokens, and the reconstruction
// from the previous or the golden picture. A VP6 clip with alpha runs two of these, the
// second decoding luma only into the alpha plane.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "player/core/video/bits.h"
#include "player/core/video/decoder.h"
#include "player/core/video/vp6_range.h"

namespace video {
namespace vp6 {

struct FrameHeader {
    bool key = false;
    int quantizer = 0;
    bool separateCoefficients = false;
    int subVersion = 0;     // keyframes only
    int filterHeader = 0;   // keyframes only
    int rows = 0, cols = 0; // macroblocks, keyframes only
    size_t rangeStart = 0;  // where the first partition's coder starts
    size_t coeffOffset = 0; // of the coefficient partition from the frame start, 0 for none
};

// Reads the bytes before the range coder starts (an inter frame's layout depends on the
// last keyframe's filter header); false when they cannot start a frame.
bool ReadFrameHeader(const uint8_t* data, size_t size, int filterHeader, FrameHeader* header);

struct Vector {
    int16_t x = 0, y = 0;
    bool operator==(const Vector& o) const { return x == o.x && y == o.y; }
};

enum Mode : uint8_t {
    kInterNoVector = 0,
    kIntra = 1,
    kInterDelta = 2,
    kInterNear = 3,
    kInterNearer = 4,
    kGoldenNoVector = 5,
    kGoldenDelta = 6,
    kInterFour = 7,
    kGoldenNear = 8,
    kGoldenNearer = 9,
};
enum Reference : int8_t { kNone = -1, kCurrent = 0, kPrevious = 1, kGolden = 2 };
int8_t ReferenceOf(uint8_t mode);

struct Models {
    uint8_t reorder[64];
    uint8_t indexToPos[64];
    uint8_t idctSelector[64];
    uint8_t vectorSign[2], vectorShort[2];
    uint8_t vectorShortTree[2][7], vectorLong[2][8];
    uint8_t dc[2][11];
    uint8_t ac[2][3][6][11];
    uint8_t dcContext[2][3][5];
    uint8_t run[2][14];
    uint8_t modeProbs[3][10][10];
    uint8_t modeStats[3][10][2];
};

// A prefix code built from a token tree's probabilities, as VP6's Huffman mode derives it.
struct HuffmanTree {
    struct Node {
        int16_t symbol; // -1 for an inner node
        int16_t zero;   // an inner node's branches: `zero` and `zero + 1`
        int count;
    };
    Node nodes[24];
    int root = 0;
    void Build(const uint8_t* probs, const uint8_t* map, int symbols);
};

class Stream {
  public:
    // `alphaOnly`: blocks 0-3 of each macroblock are the picture; chroma is read, not kept.
    explicit Stream(bool alphaOnly) : alphaOnly_(alphaOnly) {}
    Status Decode(const uint8_t* data, size_t size);
    // The last good picture (coded size; chroma empty for an alpha stream).
    // The caller may crop it and fill its alpha plane, which decoding does not read.
    Picture* Current() { return haveRef_ ? &pool_[previous_] : nullptr; }
    static size_t BytesFor(int width, int height, bool alphaOnly);

  private:
    struct BlockContext {
        bool nonzeroDc = false;
        int8_t ref = kNone;
        int16_t dc = 0;
    };
    struct Macroblock {
        uint8_t mode = kIntra;
        Vector mv;
    };

    // vp6_header.cpp
    Status StartFrame(const uint8_t* data, size_t size);
    void DefaultModels();
    void OrderTables();
    void ReadModeModels();
    void ReadVectorModels();
    void ReadCoefficientModels();
    // vp6_modes.cpp
    int FindNeighbours(int row, int col, int8_t ref);
    Vector ReadVectorDelta();
    uint8_t ReadMode(int row, int col);
    // vp6_tokens.cpp
    void ReadCoefficients();
    bool ReadHuffmanCoefficients();
    void AddDcPredictors(int8_t ref);
    // vp6_stream.cpp
    void Reconstruct(int row, int col, uint8_t mode);
    void Predict(int b, const Picture& ref, int x, int y, uint8_t* dst, int stride);

    bool alphaOnly_;
    // Three pictures: the one being decoded and the two it may predict from.
    Picture pool_[3];
    int previous_ = 0, golden_ = 0, current_ = 0;
    bool haveRef_ = false;
    int mbCols_ = 0, mbRows_ = 0;

    RangeDecoder rc_, coeffRc_;
    RangeDecoder* tokens_ = &rc_;
    bool huffman_ = false, huffmanTokens_ = false;
    Bits bits_{nullptr, 0};
    HuffmanTree dcTree_[2], runTree_[2], acTree_[2][3][4];
    int zeroBlocks_[2][2]; // blocks still to come with no DC (0) or no AC (1), by plane type
    bool key_ = false, goldenUpdate_ = false;
    int subVersion_ = 0, filterHeader_ = 0;
    int quantizer_ = 0, dcStep_ = 0, acStep_ = 0;
    bool loopFilter_ = false;
    int filterMode_ = 0, varianceThreshold_ = 0, maxVectorLength_ = 0, filterSelect_ = 16;
    int loopLimit_ = 0;
    Models m_;

    std::vector<Macroblock> mbs_;
    std::vector<BlockContext> above_;
    BlockContext left_[4];
    int aboveIndex_[6];
    int16_t prevDc_[3][3];
    uint8_t mode_ = kInterNoVector;
    Vector candidates_[2];
    int candidatePos_ = 0;
    Vector mv_[6];
    int16_t coeffs_[6][64]; // natural order
    int selector_[6];
    bool ac_[6]; // any AC coefficient coded
};

} // namespace vp6
} // namespace video
