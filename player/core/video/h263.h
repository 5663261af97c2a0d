// Sorenson H.263 (Flash's codec 2): H.263 baseline with its own picture header (two
// versions, which differ only in the escape of a coefficient), no groups of blocks, half-pel
// motion vectors that may point outside the picture (one per macroblock or one per 8x8
// block), and disposable inter frames that nothing predicts from.
#pragma once

#include "player/core/video/decoder.h"

namespace video {

struct H263Header {
    int version = 0;
    int width = 0, height = 0;
    int type = 0; // 0 intra, 1 inter, 2 disposable inter
    bool deblocking = false;
    int quantizer = 1;
};

// Reads the picture header; false when it is not one.
bool ReadH263Header(const uint8_t* data, size_t size, H263Header* header, size_t* bitsUsed);

class H263Decoder : public Decoder {
  public:
    H263Decoder(int maxWidth, int maxHeight) : maxWidth_(maxWidth), maxHeight_(maxHeight) {}
    Status Decode(const uint8_t* data, size_t size) override;
    size_t BytesFor(int width, int height) const override;
    // The last header's deblocking flag, for the picture's post-filter.
    bool Deblocking() const { return deblocking_; }

  private:
    int maxWidth_, maxHeight_;
    Picture ref_, work_;
    bool haveRef_ = false, deblocking_ = false;
    int16_t* Vector(int bx, int by); // of an 8x8 luma block; a zero one outside
    void PredictVector(int mx, int my, int k, int* out);
    std::vector<int16_t> mvs_; // x, y per 8x8 luma block of the frame being decoded
    int gridWidth_ = 0;
};

// The inverse DCT the block codecs share: 8x8 coefficients (natural order) to samples.
void InverseDct(const int16_t* in, int* out);

} // namespace video
