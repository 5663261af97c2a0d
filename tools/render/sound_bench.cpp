// flickwell-sound-bench SECONDS MOVIE.swf...: for each movie, the processor time the engine
// spends making S seconds of its sound (clock ticks every 10 ms, the mix pulled as a
// sound device would), as a share of those seconds. scripts/bench-sound.sh runs it.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <vector>

#include "player/core/engine.h"
#include "tools/render/mp3_mpg123.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: flickwell-sound-bench SECONDS MOVIE.swf...\n", stderr);
        return 2;
    }
    const long seconds = std::strtol(argv[1], nullptr, 10);
    for (int m = 2; m < argc; ++m) {
        std::ifstream in(argv[m], std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
        engine::Player player;
        player.SetMp3Decoder(flickwell::Mpg123Decoders());
        if (player.Load(bytes.data(), bytes.size()) != engine::LoadStatus::Ok) {
            std::fprintf(stderr, "%s: cannot load\n", argv[m]);
            return 1;
        }
        const size_t chunk = engine::kSoundRate / 100;
        std::vector<int16_t> out(chunk * 2);
        player.Play(0);
        const std::clock_t start = std::clock();
        for (long ms = 0; ms < seconds * 1000; ms += 10) {
            player.Tick(uint32_t(ms));
            player.MixSound(out.data(), chunk);
        }
        const double cpu = double(std::clock() - start) / CLOCKS_PER_SEC;
        std::printf("%s: %.3f s of processor time for %ld s of sound: %.2f%% of one core\n",
                    argv[m], cpu, seconds, 100.0 * cpu / seconds);
    }
    return 0;
}
