// libFuzzer target for one video decoder (FUZZ_CODEC, a DefineVideoStream codec id) and the
// playback over it: the input is a declared width and height (one byte each, in 8-pixel
// steps) and frames, each a 16-bit big-endian length and its bytes. Every frame is shown in
// order, then a few seeks. Built by scripts/fuzz-video.sh with AddressSanitizer.
#include <cstddef>
#include <cstdint>

#include "player/core/video/playback.h"

#ifndef FUZZ_CODEC
#define FUZZ_CODEC 2
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    auto stream = std::make_shared<video::Stream>();
    stream->def.codec = FUZZ_CODEC;
    stream->def.width = uint16_t(data[0] * 8);
    stream->def.height = uint16_t(data[1] * 8);
    stream->def.frameCount = 1000;
    size_t pos = 2;
    for (uint16_t n = 0; pos + 2 <= size && n < 1000; ++n) {
        const size_t length = std::min<size_t>(size_t(data[pos]) << 8 | data[pos + 1],
                                               size - pos - 2);
        stream->Add(swf::VideoFrameTag{0, n, data + pos + 2, uint32_t(length)});
        pos += 2 + length;
    }
    // A small budget keeps each run fast; its checks are the same code.
    video::Budget budget(16u * 1024u * 1024u);
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
