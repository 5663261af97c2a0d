// The video decoders' common ground: the picture a decoder keeps (planar 4:2:0 YUV with an
// optional alpha plane, or 32-bit RGB for the screen codecs), the reasons a frame is not
// decoded, and the conversion to the premultiplied pixels the renderer draws (BT.601,
// limited range, as Flash converts).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "player/core/swf/bitmaps.h"
#include "player/core/swf/video_tags.h"

namespace video {

// Pictures wider or taller than this are refused whatever a stream declares.
const int kMaxSide = 4096;

enum class Status : uint8_t {
    Ok,
    Unsupported,  // a codec or coding feature we do not decode
    Damaged,      // the bits do not parse
    TooLarge,     // beyond the stream's declared size or kMaxSide, or the system's memory
    NeedKeyframe, // an inter frame with no picture to predict from
};

struct Picture {
    enum class Format : uint8_t { None, Yuv420, Rgb } format = Format::None;
    int width = 0, height = 0; // what is shown
    // Yuv420: planes of `stride` (luma, alpha) and `chromaStride` bytes a row, `rows` and
    // `chromaRows` rows; they may be larger than the shown size (whole macroblocks).
    int stride = 0, chromaStride = 0, rows = 0, chromaRows = 0;
    std::vector<uint8_t> y, u, v, a;
    std::vector<uint32_t> rgb; // Rgb: 0xFFRRGGBB, width x height
    // False when the system cannot give the planes (they are left as they were).
    bool AllocateYuv(int w, int h, int codedW, int codedH, bool alpha);
    size_t Bytes() const;
};

class Decoder {
  public:
    virtual ~Decoder() = default;
    // Decodes one frame's bytes. On anything but Ok the current picture may hold part of
    // the frame: the caller keeps its own copy of the last good one.
    virtual Status Decode(const uint8_t* data, size_t size) = 0;
    const Picture& Current() const { return *shown_; }
    // Bytes the decoder holds for a picture of this size (its references included).
    virtual size_t BytesFor(int width, int height) const = 0;

  protected:
    const Picture* shown_ = &none_;

  private:
    Picture none_;
};

// A decoder for a DefineVideoStream codec id, bounded by the stream's declared size (0 for
// none); null for a codec we do not know.
std::unique_ptr<Decoder> MakeDecoder(uint8_t codec, int maxWidth, int maxHeight);
// The picture size a frame's header names, where the codec puts one up front; false else.
bool FrameSize(uint8_t codec, const uint8_t* data, size_t size, int* width, int* height);
// Whether a frame's bytes start a keyframe: one that needs no earlier picture.
bool IsKeyframe(uint8_t codec, const uint8_t* data, size_t size);

// Premultiplied 0xAARRGGBB pixels of the picture's shown size; `deblock` smooths 8x8
// block edges of a YUV picture first.
// An empty bitmap (nothing drawn) when the system cannot give its pixels.
void ToBitmap(const Picture& picture, bool deblock, swf::Bitmap* out);

} // namespace video
