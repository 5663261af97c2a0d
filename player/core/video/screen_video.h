// Screen Video (Flash's codec 3): the picture in blocks of 16 to 256 pixels a side, from
// the bottom left, rows upward; each block either unchanged (no bytes) or its BGR pixels,
// bottom row first, deflated on their own.
#pragma once

#include "player/core/video/decoder.h"

namespace video {

struct ScreenHeader {
    int blockWidth = 0, blockHeight = 0, width = 0, height = 0;
};
bool ReadScreenHeader(const uint8_t* data, size_t size, ScreenHeader* header);
// Every block carries pixels: the frame needs no earlier picture.
bool ScreenKeyframe(const uint8_t* data, size_t size);

class ScreenVideoDecoder : public Decoder {
  public:
    ScreenVideoDecoder(int maxWidth, int maxHeight) : maxWidth_(maxWidth), maxHeight_(maxHeight) {}
    Status Decode(const uint8_t* data, size_t size) override;
    size_t BytesFor(int width, int height) const override;

  private:
    int maxWidth_, maxHeight_;
    Picture picture_;
    std::vector<uint8_t> block_; // one block's inflated pixels
};

} // namespace video
