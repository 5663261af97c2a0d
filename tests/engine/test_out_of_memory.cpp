// The system running out of memory inside the engine: every entry point of the facade,
// with the allocator refusing from its Nth request on, for every N up to the last request
// the call makes. Nothing may escape; a failed call leaves a stopped player that said why.
// Global new is replaced for this program alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "player/core/engine.h"
#include "tests/support/refusing_allocator.h"

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Notices land in a fixed buffer: the sink itself must not need memory.
char g_notice[128];
void Notice(const char* line) {
    std::strncpy(g_notice, line, sizeof g_notice - 1);
}

struct EntryPoint {
    const char* name;
    bool allocates; // in the state the test sets up
    std::function<void(engine::Player&, const std::vector<uint8_t>&)> call;
};

TEST(OutOfMemory, NoEntryPointLetsItEscape) {
    const std::vector<uint8_t> movie = ReadFile(FLICKWELL_OWN_MOVIES_DIR "/script_clips.swf");
    ASSERT_FALSE(movie.empty());
    std::vector<uint32_t> pixels(64 * 48);
    const engine::Surface surface{pixels.data(), 64, 48, 64};
    const EntryPoint entries[] = {
        {"Load", true,
         [](engine::Player& p, const std::vector<uint8_t>& m) { p.Load(m.data(), m.size()); }},
        {"Tick", true, [](engine::Player& p, const std::vector<uint8_t>&) { p.Tick(2000); }},
        {"Play", false, [](engine::Player& p, const std::vector<uint8_t>&) { p.Play(2000); }},
        {"GoTo", true, [](engine::Player& p, const std::vector<uint8_t>&) { p.GoTo(1); }},
        {"Draw", true,
         [&](engine::Player& p, const std::vector<uint8_t>&) {
             p.Draw(surface, {0, 0, 64, 48});
         }},
        {"SetTraceSink", false,
         [](engine::Player& p, const std::vector<uint8_t>&) {
             p.SetTraceSink([](const char*) {});
         }},
        {"SetNoticeSink", true,
         [](engine::Player& p, const std::vector<uint8_t>&) { p.SetNoticeSink(Notice); }},
        {"SetMp3Decoder", true,
         [](engine::Player& p, const std::vector<uint8_t>&) {
             p.SetMp3Decoder([](int, int) { return std::unique_ptr<engine::Mp3Decoder>(); });
         }},
        {"MixSound", true,
         [](engine::Player& p, const std::vector<uint8_t>&) {
             int16_t out[64];
             p.MixSound(out, 32);
         }},
        {"SetDeviceGlyphs", true,
         [](engine::Player& p, const std::vector<uint8_t>&) {
             p.SetDeviceGlyphs(
                 [](const char*, bool, bool, uint32_t, engine::DeviceGlyph*) { return false; }, {});
         }},
    };
    for (const EntryPoint& entry : entries) {
        SCOPED_TRACE(entry.name);
        long n = 0;
        for (;; ++n) {
            ASSERT_LT(n, 100000) << "the call never completed";
            engine::Player player;
            player.SetNoticeSink(Notice);
            ASSERT_EQ(player.Load(movie.data(), movie.size()), engine::LoadStatus::Ok);
            player.Play(0);
            player.Tick(100);
            g_notice[0] = 0;
            g_allocations = 0;
            g_refused = false;
            g_failFrom = n;
            entry.call(player, movie); // an escaping exception fails the test
            const bool refused = g_refused;
            g_failFrom = -1;
            if (!refused) {
                break;
            }
            EXPECT_TRUE(player.Failed()) << "refused at allocation " << n;
            EXPECT_FALSE(player.Playing());
            EXPECT_NE(std::strstr(g_notice, "out of memory"), nullptr) << g_notice;
            // The stopped player goes on answering and draws its stage colour.
            player.Tick(5000);
            std::fill(pixels.begin(), pixels.end(), 0u);
            player.Draw(surface, {0, 0, 64, 48});
            EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0xFF000000u | player.Background()),
                      long(pixels.size()));
        }
        EXPECT_EQ(n > 0, entry.allocates) << n << " allocations";
    }
}

TEST(OutOfMemory, LoadReportsItAndTheNextLoadPlays) {
    const std::vector<uint8_t> movie = ReadFile(FLICKWELL_OWN_MOVIES_DIR "/script_clips.swf");
    engine::Player player;
    g_allocations = 0;
    g_failFrom = 3;
    EXPECT_EQ(player.Load(movie.data(), movie.size()), engine::LoadStatus::OutOfMemory);
    g_failFrom = -1;
    EXPECT_FALSE(player.Loaded());
    EXPECT_EQ(player.Load(movie.data(), movie.size()), engine::LoadStatus::Ok);
    EXPECT_FALSE(player.Failed());
    player.Play(0);
    EXPECT_TRUE(player.Playing());
}

} // namespace
