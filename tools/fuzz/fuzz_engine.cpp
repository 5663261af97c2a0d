// libFuzzer target for the whole engine: any bytes as a movie, loaded, advanced a few
// frames and drawn into a small surface after each, so readers, the timeline and the
// renderer all see hostile input. Built natively with AddressSanitizer and
// UndefinedBehaviorSanitizer by scripts/fuzz-player.sh.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "player/core/engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    engine::Player player;
    if (player.Load(data, size) != engine::LoadStatus::Ok) {
        return 0;
    }
    std::vector<uint32_t> pixels(64 * 48, 0);
    const engine::Surface surface{pixels.data(), 64, 48, 64};
    player.Play(0);
    const uint32_t interval = player.FrameIntervalMs();
    for (uint32_t frame = 0; frame < 4; ++frame) {
        player.Tick(frame * interval);
        player.Draw(surface, engine::Box{0, 0, 64, 48});
    }
    // A jump back rebuilds the display list from the first frame.
    player.GoTo(0);
    player.Draw(surface, engine::Box{8, 4, 40, 30});
    return 0;
}
