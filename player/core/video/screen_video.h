// Screen Video (Flash's codec 3): the picture in blocks of 16 to 256 pixels a side, from
// the bottom left, rows upward; each block either unchanged (no bytes) or its BGR pixels,
// bottom row first, deflated on their own. Version 2 (codec 6) adds per block: pixels as
// palette indices or 15-bit colours, a band of rows changed over the last keyframe's block,
// and deflate primed with the last keyframe's block.
#pragma once

#include "player/core/video/decoder.h"

namespace video {

struct ScreenHeader {
    int blockWidth = 0, blockHeight = 0, width = 0, height = 0;
};
bool ReadScreenHeader(const uint8_t* data, size_t size, ScreenHeader* header);
bool ScreenFrameSize(const uint8_t* data, size_t size, int* width, int* height);
// Every block carries pixels of its own: the frame needs no earlier picture.
bool ScreenKeyframe(int version, const uint8_t* data, size_t size);

class ScreenVideoDecoder : public Decoder {
  public:
    ScreenVideoDecoder(int version, int maxWidth, int maxHeight)
        : version_(version), maxWidth_(maxWidth), maxHeight_(maxHeight) {}
    Status Decode(const uint8_t* data, size_t size) override;
    size_t BytesFor(int width, int height) const override;

  private:
    struct KeyBlock {
        size_t at = 0, size = 0; // in keyData_
    };
    Status DecodeBlock(const uint8_t* data, size_t size, int index, int left, int top, int bw,
                       int bh, const ScreenHeader& h, KeyBlock* stored);
    int version_;
    int maxWidth_, maxHeight_;
    Picture picture_;
    std::vector<uint8_t> block_, prime_; // one block's inflated pixels, its priming bytes
    // Version 2: the last keyframe's picture and bytes, for bands and priming.
    std::vector<uint32_t> keyImage_;
    std::vector<uint8_t> keyData_;
    std::vector<KeyBlock> keyBlocks_;
};

} // namespace video
