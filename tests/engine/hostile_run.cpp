// Plays a movie as a screen saver would: loads it, then advances and draws a number of
// frames at a screen's size. Exit 0 played, 3 refused (with the reason), 2 usage.
// tests/engine/run_hostile.py runs it per movie and holds its time and memory.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "player/core/engine.h"
#include "tools/render/device_font.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fputs("usage: hostile_run MOVIE.swf FRAMES WIDTH HEIGHT\n", stderr);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    const long frames = std::atol(argv[2]);
    const int width = std::atoi(argv[3]), height = std::atoi(argv[4]);
    engine::Player player;
    flickwell::InstallDeviceFont(&player);
    player.SetNoticeSink([](const char* line) { std::fprintf(stderr, "notice: %s\n", line); });
    const engine::LoadStatus status = player.Load(bytes.data(), bytes.size());
    if (status != engine::LoadStatus::Ok) {
        std::printf("refused: %s\n", engine::LoadStatusText(status));
        return 3;
    }
    std::vector<uint32_t> pixels(size_t(width) * height);
    const engine::Surface surface{pixels.data(), width, height, width};
    player.Play(0);
    for (long f = 0; f < frames; ++f) {
        player.Tick(uint32_t(f * player.FrameIntervalMs()));
        player.Draw(surface, engine::Box{0, 0, width, height});
    }
    std::printf("played %ld frames%s\n", frames, player.Failed() ? ", stopped for memory" : "");
    return 0;
}
