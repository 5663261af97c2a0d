// On2 VP6 as Flash stores it (codec 4), and with an alpha channel (codec 5: a 24-bit
// offset, the colour frame, then a second VP6 frame whose luma is the alpha). Pictures are
// coded in whole macroblocks and cropped to the stream's declared size.
#pragma once

#include "player/core/video/decoder.h"
#include "player/core/video/vp6_stream.h"

namespace video {

// The coded size of a keyframe (whole macroblocks); false for other frames.
bool Vp6FrameSize(bool alpha, const uint8_t* data, size_t size, int* width, int* height);
bool Vp6Keyframe(bool alpha, const uint8_t* data, size_t size);

class Vp6Decoder : public Decoder {
  public:
    Vp6Decoder(bool alpha, int maxWidth, int maxHeight);
    Status Decode(const uint8_t* data, size_t size) override;
    size_t BytesFor(int width, int height) const override;

  private:
    bool alpha_;
    int maxWidth_, maxHeight_;
    vp6::Stream colour_, mask_;
};

} // namespace video
