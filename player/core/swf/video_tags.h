// Embedded video's two tags read into plain data: DefineVideoStream (a video character:
// its declared size, frame count, codec and drawing flags) and VideoFrame (one frame's
// coded bytes, left in the movie's buffer for a decoder).
#pragma once

#include <cstdint>

#include "player/core/swf/movie_reader.h"

namespace swf {

const uint16_t kTagDefineVideoStream = 60;
const uint16_t kTagVideoFrame = 61;

enum class VideoCodec : uint8_t {
    H263 = 2, // Sorenson H.263
    ScreenVideo = 3,
    Vp6 = 4,
    Vp6Alpha = 5,
    ScreenVideo2 = 6
};

struct VideoStream {
    uint16_t id = 0;
    uint16_t frameCount = 0;
    uint16_t width = 0, height = 0; // pixels, the box the picture is drawn in
    uint8_t deblocking = 0;         // 0 as the stream says, 1 off, 2.. on
    bool smoothing = false;
    uint8_t codec = 0; // a VideoCodec, or what the movie says when we do not know it
};

struct VideoFrameTag {
    uint16_t streamId = 0;
    uint16_t frame = 0;
    const uint8_t* data = nullptr; // into the tag's body
    uint32_t size = 0;
};

bool ReadVideoStream(const Tag& tag, VideoStream* stream);
bool ReadVideoFrame(const Tag& tag, VideoFrameTag* frame);

} // namespace swf
