// The system running out of memory inside the engine: every entry point of the facade,
// with the allocator refusing its Nth request, for every N up to the last request the call
// makes. The engine's reserve is given back for it; the call finishes and leaves a stopped
// player that said why, and nothing leaks. Global new is replaced for this program alone.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "player/core/engine.h"
#include "player/core/render/bitmap_ops.h"
#include "player/core/swf/bitmaps.h"
#include "player/core/swf/reserve.h"
#include "player/core/video/decoder.h"
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
    // Once untouched first: what the engine makes once per process is no leak.
    {
        engine::Player player;
        ASSERT_EQ(player.Load(movie.data(), movie.size()), engine::LoadStatus::Ok);
        player.Play(0);
        player.Tick(100);
        for (const EntryPoint& entry : entries) {
            entry.call(player, movie);
        }
    }
    for (const EntryPoint& entry : entries) {
        SCOPED_TRACE(entry.name);
        long n = 0;
        for (;; ++n) {
            ASSERT_LT(n, 100000) << "the call never completed";
            const long liveBefore = g_live;
            bool refused = false;
            {
                engine::Player player;
                player.SetNoticeSink(Notice);
                ASSERT_EQ(player.Load(movie.data(), movie.size()), engine::LoadStatus::Ok);
                player.Play(0);
                player.Tick(100);
                g_notice[0] = 0;
                RefuseAt(n);
                entry.call(player, movie);
                RefuseNone();
                refused = g_refused;
                if (refused) {
                    EXPECT_TRUE(player.Failed()) << "refused at allocation " << n;
                    EXPECT_FALSE(player.Playing());
                    EXPECT_NE(std::strstr(g_notice, "out of memory"), nullptr) << g_notice;
                    // The stopped player goes on answering and draws its background.
                    player.Tick(5000);
                    std::fill(pixels.begin(), pixels.end(), 0u);
                    player.Draw(surface, {0, 0, 64, 48});
                    EXPECT_EQ(
                        std::count(pixels.begin(), pixels.end(), 0xFF000000u | player.Background()),
                        long(pixels.size()));
                } else {
                    EXPECT_FALSE(player.Failed());
                }
            }
            EXPECT_EQ(g_live, liveBefore) << "blocks leaked, refused at allocation " << n;
            if (!refused) {
                break;
            }
        }
        EXPECT_EQ(n > 0, entry.allocates) << n << " allocations";
    }
}

TEST(OutOfMemory, LoadReportsItAndTheNextLoadPlays) {
    const std::vector<uint8_t> movie = ReadFile(FLICKWELL_OWN_MOVIES_DIR "/script_clips.swf");
    engine::Player player;
    RefuseAt(3);
    EXPECT_EQ(player.Load(movie.data(), movie.size()), engine::LoadStatus::OutOfMemory);
    RefuseNone();
    EXPECT_FALSE(player.Loaded());
    EXPECT_EQ(player.Load(movie.data(), movie.size()), engine::LoadStatus::Ok);
    EXPECT_FALSE(player.Failed());
    player.Play(0);
    EXPECT_TRUE(player.Playing());
}

// The reserve is armed again after each failure: refusals in call after call, in two
// players at once, each stop a movie and none ends the process.
TEST(OutOfMemory, TheReserveIsArmedAgainAfterEachFailure) {
    const std::vector<uint8_t> movie = ReadFile(FLICKWELL_OWN_MOVIES_DIR "/script_clips.swf");
    engine::Player first, second;
    for (int round = 0; round < 3; ++round) {
        for (engine::Player* p : {&first, &second}) {
            ASSERT_EQ(p->Load(movie.data(), movie.size()), engine::LoadStatus::Ok);
            p->Play(0);
            RefuseAt(0);
            p->Tick(1000 + 100 * round);
            RefuseNone();
            EXPECT_TRUE(g_refused);
            EXPECT_TRUE(p->Failed()) << "round " << round;
        }
    }
}

// A second refusal before the reserve could be armed again has no way back: the process
// ends quietly, with the code the shipped programs' terminate handler gives.
TEST(OutOfMemoryDeathTest, ASecondRefusalInOneCallEndsTheProcess) {
    const std::vector<uint8_t> movie = ReadFile(FLICKWELL_OWN_MOVIES_DIR "/script_clips.swf");
    EXPECT_EXIT(
        {
            engine::Player player;
            RefuseAt(0, 2);
            player.Load(movie.data(), movie.size());
            std::exit(0);
        },
        ::testing::ExitedWithCode(3), "");
    // No player, no handler: the program's own (none here) is back.
    {
        engine::Player player;
        EXPECT_NE(std::get_new_handler(), nullptr);
    }
    EXPECT_EQ(std::get_new_handler(), nullptr);
}

// Requests the movie sizes ask the system first; a refusal, or a size whose bytes do not
// fit in size_t, is a result.
TEST(OutOfMemory, ObtainableAnswersForTheSystem) {
    const size_t most = ~size_t(0);
    const struct {
        size_t bytes;
        bool obtainable;
    } bytes[] = {{0, true}, {1u << 20, true}, {most / 2 + 1, false}, {most, false}};
    for (const auto& c : bytes) {
        EXPECT_EQ(memory::Obtainable(c.bytes), c.obtainable) << c.bytes;
    }
    const struct {
        size_t count, extra;
        bool obtainable;
    } counts[] = {
        {1u << 18, 0, true},      // 1 MB of pixels
        {most / 4 + 1, 0, false}, // the bytes overflow
        {16, most - 63, false},   // with the extra they overflow
        {most / 4, 0, false},     // they fit in size_t, the system refuses
    };
    for (const auto& c : counts) {
        EXPECT_EQ(memory::Obtainable<uint32_t>(c.count, c.extra), c.obtainable) << c.count;
    }
}

// A movie-sized request the system refuses is a result, in a process held to a little more
// address space than it has: no player, so no handler, and nothing may reach the library's
// bad_alloc.
// Runs a request in a process held to a little more address space than it has, and ends
// it with 0 when the request was refused as a result, 1 when granted.
[[noreturn]] void RequestWithLittleRoom(const std::function<bool()>& request) {
    long pages = 0;
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (f == nullptr || std::fscanf(f, "%ld", &pages) != 1)
        std::_Exit(2);
    std::fclose(f);
    const rlim_t room = rlim_t(pages) * sysconf(_SC_PAGESIZE) + (24u << 20);
    const rlimit limit{room, room};
    setrlimit(RLIMIT_AS, &limit);
    std::_Exit(request() ? 1 : 0);
}

TEST(OutOfMemoryDeathTest, MovieSizedRequestsAreRefusedAsResults) {
    const struct {
        const char* name;
        std::function<bool()> request; // true: granted
    } requests[] = {
        {"inflated bitmap",
         [] {
             std::vector<uint8_t> out;
             const uint8_t none[1] = {0};
             return swf::InflateExact(none, 1, 60u << 20, &out, true);
         }},
        {"video picture",
         [] {
             video::Picture picture;
             return picture.AllocateYuv(4096, 4096, 4096, 4096, true);
         }},
        {"script bitmap",
         [] {
             render::ScriptBitmap bitmap;
             return render::MakeScriptBitmap(4096, 4096, true, 0, &bitmap, {8192, 1e9});
         }},
    };
    for (const auto& r : requests) {
        SCOPED_TRACE(r.name);
        EXPECT_EXIT(RequestWithLittleRoom(r.request), ::testing::ExitedWithCode(0), "");
    }
}

} // namespace
