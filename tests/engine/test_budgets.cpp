// The movie-wide bitmap budget at its edges: decoded bitmaps share one memory budget, and
// what the last frame did not draw goes first. (tests/engine/run_hostile.py holds the
// other budgets with whole movies.)
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "player/core/render/bitmap_cache.h"
#include "player/core/timeline/dictionary.h"

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

struct Loaded {
    swf::Movie movie;
    timeline::LoadedMovie content;
    std::vector<uint16_t> bitmaps; // ids, each with its size in bytes below
    std::vector<size_t> bytes;
};

void Load(const std::string& path, Loaded* out) {
    const std::vector<uint8_t> file = ReadFile(path);
    ASSERT_EQ(swf::ReadMovie(file.data(), file.size(), &out->movie), swf::ReadStatus::Ok);
    timeline::LoadMovie(out->movie, &out->content);
    for (uint32_t id = 0; id < 65536; ++id) {
        const timeline::Character* c = out->content.dictionary.Find(uint16_t(id));
        if (c != nullptr && c->kind == timeline::Kind::Bitmap) {
            out->bitmaps.push_back(uint16_t(id));
            out->bytes.push_back(size_t(c->bitmap->width) * c->bitmap->height * 4);
            EXPECT_TRUE(c->bitmap->pixels.empty()) << "decoded at load";
        }
    }
}

TEST(Budgets, BitmapsShareOneBudgetAndMakeRoomFromFramesPast) {
    Loaded m;
    Load(FLICKWELL_OWN_MOVIES_DIR "/bitmaps.swf", &m);
    ASSERT_GE(m.bitmaps.size(), 2u);
    const uint16_t a = m.bitmaps[0], b = m.bitmaps[1];
    const timeline::Dictionary& d = m.content.dictionary;
    {
        SCOPED_TRACE("room for exactly the larger of two");
        render::BitmapCache cache(std::max(m.bytes[0], m.bytes[1]));
        ASSERT_NE(cache.Get(d, a), nullptr);
        EXPECT_EQ(cache.Get(d, b), nullptr) << "both on stage: no room this frame";
        cache.NextFrame();
        ASSERT_NE(cache.Get(d, b), nullptr) << "the first went, not drawn this frame";
        EXPECT_EQ(cache.Used(), m.bytes[1]);
        EXPECT_EQ(cache.Get(d, b), cache.Get(d, b)); // held, not decoded again
    }
    {
        SCOPED_TRACE("one byte short of the smaller");
        render::BitmapCache cache(std::min(m.bytes[0], m.bytes[1]) - 1);
        for (int frame = 0; frame < 3; ++frame, cache.NextFrame()) {
            EXPECT_EQ(cache.Get(d, m.bytes[0] < m.bytes[1] ? a : b), nullptr);
        }
        EXPECT_EQ(cache.Used(), 0u);
    }
    render::BitmapCache cache;
    EXPECT_EQ(cache.Get(d, 0xFFFF), nullptr) << "no such character";
}

} // namespace
