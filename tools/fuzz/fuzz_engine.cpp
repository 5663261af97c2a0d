// libFuzzer target for the whole engine: any bytes as a movie, loaded, advanced a few
// frames and drawn into a small surface after each, so readers, the timeline and the
// renderer all see hostile input. Built natively with AddressSanitizer and
// UndefinedBehaviorSanitizer by scripts/fuzz-player.sh.
//
// An uncompressed movie gets its declared length set to the input's size: otherwise every
// mutation that inserts or erases bytes stops at the length check and never reaches a tag.
// The reader target keeps that check under fuzzing. The surface is small because drawing
// cost grows with its area while the code paths do not.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "player/core/engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> movie(data, data + size);
    if (size >= 8 && movie[0] == 'F' && movie[1] == 'W' && movie[2] == 'S') {
        for (int i = 0; i < 4; ++i) {
            movie[4 + i] = uint8_t(uint64_t(size) >> (8 * i));
        }
    }
    engine::Player player;
    if (player.Load(movie.data(), movie.size()) != engine::LoadStatus::Ok) {
        return 0;
    }
    std::vector<uint32_t> pixels(32 * 24, 0);
    std::vector<int16_t> sound(2 * 2205);
    const engine::Surface surface{pixels.data(), 32, 24, 32};
    player.Play(0);
    const uint32_t interval = player.FrameIntervalMs();
    for (uint32_t frame = 0; frame < 4; ++frame) {
        player.Tick(frame * interval);
        player.Draw(surface, engine::Box{0, 0, 32, 24});
        player.MixSound(sound.data(), 2205); // the sound path: tags, codecs, mixer
    }
    // A jump back rebuilds the display list from the first frame.
    player.GoTo(0);
    player.Draw(surface, engine::Box{4, 2, 20, 15});
    return 0;
}
