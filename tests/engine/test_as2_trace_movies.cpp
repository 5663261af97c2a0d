// Plays every movie of the shared as2-traces folder in process through the facade, for the
// frames its manifest names, with its trace lines collected and each frame drawn small: the
// program fails only if one crashes (or a sanitizer build reports it). Usage: DIR.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "player/core/engine.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s AS2_TRACES_DIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    std::ifstream manifest(dir + "/MANIFEST.tsv");
    std::string line;
    int played = 0;
    std::vector<uint32_t> pixels(64 * 48);
    const engine::Surface surface{pixels.data(), 64, 48, 64};
    while (std::getline(manifest, line)) {
        if (line.empty() || line[0] == '#' || line.compare(0, 5, "name\t") == 0)
            continue;
        std::istringstream fields(line);
        std::string name;
        long frames = 1;
        fields >> name >> frames;
        std::ifstream in(dir + "/" + name + ".swf", std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
        engine::Player player;
        size_t lines = 0;
        player.SetTraceSink([&](const char*) { ++lines; });
        player.SetNoticeSink([](const char*) {});
        if (player.Load(bytes.data(), bytes.size()) != engine::LoadStatus::Ok) {
            std::fprintf(stderr, "%s: not loaded\n", name.c_str());
            return 1;
        }
        player.Play(0);
        const uint32_t interval = player.FrameIntervalMs();
        for (long f = 1; f < frames && f < 10000; ++f) {
            player.Tick(static_cast<uint32_t>(f * interval));
            if (f % 16 == 0)
                player.Draw(surface, engine::Box{0, 0, 64, 48});
        }
        player.Draw(surface, engine::Box{0, 0, 64, 48});
        ++played;
    }
    std::printf("%d movies played\n", played);
    return played > 0 ? 0 : 1;
}
