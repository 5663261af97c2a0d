// libFuzzer target for one video decoder (FUZZ_CODEC, a DefineVideoStream codec id) and the
// playback over it: the input is a declared width and height (one byte each, in 4-pixel
// steps) and up to 16 frames, each a 16-bit big-endian length and its bytes. Every frame is
// shown in order, then a few seeks. Built by scripts/fuzz-video.sh with AddressSanitizer;
// the video tests replay its findings (tests/video/fuzz/, codec in the file name).
#include <cstddef>
#include <cstdint>

#include "player/core/video/playback.h"

#ifdef FUZZ_CODEC
int PlayVideoInput(uint8_t codec, const uint8_t* data, size_t size);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return PlayVideoInput(FUZZ_CODEC, data, size);
}
#endif

int PlayVideoInput(uint8_t codec, const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    auto stream = std::make_shared<video::Stream>();
    stream->def.codec = codec;
    stream->def.width = uint16_t(data[0] * 4);
    stream->def.height = uint16_t(data[1] * 4);
    stream->def.frameCount = 16;
    size_t pos = 2;
    for (uint16_t n = 0; pos + 2 <= size && n < 16; ++n) {
        const size_t length =
            std::min<size_t>(size_t(data[pos]) << 8 | data[pos + 1], size - pos - 2);
        stream->Add(swf::VideoFrameTag{0, n, data + pos + 2, uint32_t(length)});
        pos += 2 + length;
    }
    // A small budget keeps each run fast (frames of about 150 x 150 at most; the seeds are
    // smaller); its checks are the same code that holds a movie's clips.
    video::Budget budget(256u * 1024u);
    video::Playback playback(stream, &budget);
    const uint32_t frames = uint32_t(stream->frames.size());
    for (uint32_t n = 0; n < frames; ++n) {
        playback.Show(n);
    }
    playback.SetDeblocking(2);
    for (uint32_t n : {frames / 2, 0u, frames - 1, frames / 3}) {
        playback.Show(n);
    }
    return 0;
}
