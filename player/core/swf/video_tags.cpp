#include "player/core/swf/video_tags.h"

namespace swf {

bool ReadVideoStream(const Tag& tag, VideoStream* stream) {
    ByteReader r(tag.body, tag.length);
    stream->id = r.U16();
    stream->frameCount = r.U16();
    stream->width = r.U16();
    stream->height = r.U16();
    const uint8_t flags = r.U8();
    stream->deblocking = (flags >> 1) & 7;
    stream->smoothing = (flags & 1) != 0;
    stream->codec = r.U8();
    return r.Ok();
}

bool ReadVideoFrame(const Tag& tag, VideoFrameTag* frame) {
    ByteReader r(tag.body, tag.length);
    frame->streamId = r.U16();
    frame->frame = r.U16();
    if (!r.Ok()) {
        return false;
    }
    frame->data = r.Current();
    frame->size = static_cast<uint32_t>(r.Remaining());
    return true;
}

} // namespace swf
