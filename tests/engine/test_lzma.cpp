// Our LZMA decoder held against liblzma's encoder: every property setting Flash can write,
// streams with and without the end marker, and what a damaged or cut stream leaves.
#include <gtest/gtest.h>
#include <lzma.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "player/core/engine.h"
#include "player/core/swf/lzma.h"
#include "player/core/swf/movie_reader.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Packed {
    uint8_t props[5];
    Bytes data;
};

// Raw LZMA1 as ZWS movies hold it; without the marker the size is what ends the stream.
Packed Pack(const Bytes& plain, uint32_t lc, uint32_t lp, uint32_t pb, bool marker) {
    lzma_options_lzma options;
    lzma_lzma_preset(&options, 6);
    options.lc = lc, options.lp = lp, options.pb = pb;
    options.dict_size = 1 << 20;
    options.ext_flags = marker ? LZMA_LZMA1EXT_ALLOW_EOPM : 0;
    options.ext_size_low = marker ? UINT32_MAX : uint32_t(plain.size());
    options.ext_size_high = marker ? UINT32_MAX : 0;
    lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    Packed p;
    p.data.resize(plain.size() + plain.size() / 2 + 1024);
    size_t out = 0;
    EXPECT_EQ(LZMA_OK, lzma_raw_buffer_encode(filters, nullptr, plain.data(), plain.size(),
                                              p.data.data(), &out, p.data.size()));
    p.data.resize(out);
    p.props[0] = uint8_t((pb * 5 + lp) * 9 + lc);
    for (int i = 0; i < 4; ++i)
        p.props[1 + i] = uint8_t(options.dict_size >> (8 * i));
    return p;
}

Bytes Samples(int kind) {
    std::mt19937 random(7 + kind);
    Bytes b;
    switch (kind) {
    case 0: // nothing
        break;
    case 1:
        b = {'a'};
        break;
    case 2: // text with near and far repeats
        for (int i = 0; i < 20000; ++i) {
            const std::string word = "frame" + std::to_string(random() % 300) + " ";
            b.insert(b.end(), word.begin(), word.end());
        }
        break;
    case 3: // incompressible
        for (int i = 0; i < 70000; ++i)
            b.push_back(uint8_t(random()));
        break;
    case 4: // long runs: matches of the longest length, short repeats
        b.assign(300000, 0);
        for (size_t i = 0; i < b.size(); i += 997)
            b[i] = uint8_t(i);
        break;
    default: { // a real movie's bytes
        std::ifstream in(FLICKWELL_OWN_MOVIES_DIR "/fonts.swf", std::ios::binary);
        b.assign(std::istreambuf_iterator<char>(in), {});
    }
    }
    return b;
}

TEST(Lzma, DecodesWhatLiblzmaEncodes) {
    const uint32_t settings[][3] = {{3, 0, 2}, {0, 0, 0}, {4, 0, 4}, {0, 4, 0}, {1, 3, 1}};
    for (int kind = 0; kind < 6; ++kind) {
        const Bytes plain = Samples(kind);
        for (const auto& s : settings) {
            for (bool marker : {true, false}) {
                const Packed p = Pack(plain, s[0], s[1], s[2], marker);
                Bytes got;
                const swf::LzmaEnd end = swf::DecodeLzma(p.props, p.data.data(), p.data.size(),
                                                         marker ? SIZE_MAX : plain.size(), &got);
                EXPECT_EQ(marker ? swf::LzmaEnd::Marker : swf::LzmaEnd::Limit, end)
                    << kind << " lc" << s[0] << " lp" << s[1] << " pb" << s[2];
                EXPECT_TRUE(got == plain) << kind << " lc" << s[0] << " lp" << s[1];
            }
        }
    }
}

TEST(Lzma, LimitsCutsAndDamageKeepWhatCameBefore) {
    const Bytes plain = Samples(2);
    const Packed p = Pack(plain, 3, 0, 2, true);
    Bytes got;
    // The limit holds exactly, even inside a match.
    for (size_t limit : {size_t(0), size_t(1), size_t(4097), plain.size() - 1}) {
        got.clear();
        EXPECT_EQ(swf::LzmaEnd::Limit,
                  swf::DecodeLzma(p.props, p.data.data(), p.data.size(), limit, &got));
        EXPECT_TRUE(got == Bytes(plain.begin(), plain.begin() + limit)) << limit;
    }
    // Cut short anywhere: a true beginning, never more.
    for (size_t keep :
         {size_t(0), size_t(4), size_t(5), size_t(6), p.data.size() / 2, p.data.size() - 1}) {
        got.clear();
        EXPECT_EQ(swf::LzmaEnd::Cut, swf::DecodeLzma(p.props, p.data.data(), keep, SIZE_MAX, &got))
            << keep;
        EXPECT_TRUE(got.size() <= plain.size() && std::equal(got.begin(), got.end(), plain.begin()))
            << keep;
        // Only the end marker lies in the last byte.
        if (keep < p.data.size() - 1) {
            EXPECT_LT(got.size(), plain.size()) << keep;
        }
    }
    // The first byte of a stream is 0.
    Bytes bad = p.data;
    bad[0] = 1;
    got.clear();
    EXPECT_EQ(swf::LzmaEnd::Cut, swf::DecodeLzma(p.props, bad.data(), bad.size(), SIZE_MAX, &got));
    EXPECT_TRUE(got.empty());
    // lc/lp/pb packed in one byte: 224 is the last valid one.
    uint8_t props[5] = {225, 0, 0, 16, 0};
    EXPECT_EQ(swf::LzmaEnd::BadProperties,
              swf::DecodeLzma(props, p.data.data(), p.data.size(), SIZE_MAX, &got));
    props[0] = 224;
    got.clear();
    swf::DecodeLzma(props, p.data.data(), p.data.size(), 1 << 20, &got);
    EXPECT_LE(got.size(), size_t(1) << 20);
    // Damage anywhere ends within the limit without reading outside the data.
    std::mt19937 random(3);
    for (int i = 0; i < 300; ++i) {
        bad = p.data;
        bad[5 + random() % (bad.size() - 5)] ^= uint8_t(1 + random() % 255);
        got.clear();
        swf::DecodeLzma(p.props, bad.data(), bad.size(), plain.size() * 2, &got);
        EXPECT_LE(got.size(), plain.size() * 2);
    }
}

// A movie as Flash 11 writes it: "ZWS", version, the uncompressed length, the compressed
// length, the properties, the data.
Bytes Zws(const Bytes& fws, bool marker, uint32_t declared) {
    const Bytes body(fws.begin() + 8, fws.end());
    const Packed p = Pack(body, 3, 0, 2, marker);
    Bytes z = {'Z', 'W', 'S', fws[3]};
    for (uint32_t v : {declared, uint32_t(p.data.size())})
        for (int i = 0; i < 4; ++i)
            z.push_back(uint8_t(v >> (8 * i)));
    z.insert(z.end(), p.props, p.props + 5);
    z.insert(z.end(), p.data.begin(), p.data.end());
    return z;
}

Bytes Picture(const Bytes& movie, engine::LoadStatus* status, uint32_t* frames) {
    engine::Player player;
    *status = player.Load(movie.data(), movie.size());
    *frames = player.FrameCount();
    Bytes pixels(120 * 90 * 4);
    engine::Surface s{reinterpret_cast<uint32_t*>(pixels.data()), 120, 90, 120};
    player.Play(0);
    player.Tick(200);
    player.Draw(s, engine::Box{0, 0, 120, 90});
    return pixels;
}

TEST(Lzma, ZwsMoviesPlayAsTheirUncompressedSelves) {
    std::ifstream in(FLICKWELL_OWN_MOVIES_DIR "/gradients.swf", std::ios::binary);
    Bytes fws(std::istreambuf_iterator<char>(in), {});
    ASSERT_GT(fws.size(), 8u);
    ASSERT_EQ('F', fws[0]);
    const uint32_t length = uint32_t(fws.size());
    engine::LoadStatus status;
    uint32_t frames = 0, zwsFrames = 0;
    const Bytes want = Picture(fws, &status, &frames);
    ASSERT_EQ(engine::LoadStatus::Ok, status);
    const struct {
        bool marker;
        uint32_t declared;
        engine::LoadStatus status;
    } rows[] = {
        {true, length, engine::LoadStatus::Ok},
        {false, length, engine::LoadStatus::Ok},
        // The length as declared stops the decoder; a larger one meets the marker first.
        {true, length + 5000, engine::LoadStatus::Ok},
        {true, 0, engine::LoadStatus::Ok},
        {true, engine::kMaxMovieBytes + 9, engine::LoadStatus::Ok},
    };
    for (const auto& r : rows) {
        EXPECT_TRUE(Picture(Zws(fws, r.marker, r.declared), &status, &zwsFrames) == want)
            << r.marker << " " << r.declared;
        EXPECT_EQ(r.status, status);
        EXPECT_EQ(frames, zwsFrames);
    }
    // Shorter than its properties; larger than the reader's limit once decoded.
    Bytes cut = Zws(fws, true, length);
    cut.resize(16);
    Picture(cut, &status, &zwsFrames);
    EXPECT_EQ(engine::LoadStatus::BadCompression, status);
    const Bytes zws = Zws(fws, true, length);
    swf::Movie movie;
    EXPECT_EQ(swf::ReadStatus::TooLarge,
              swf::ReadMovie(zws.data(), zws.size(), &movie, length - 1));
    EXPECT_EQ(swf::ReadStatus::Ok, swf::ReadMovie(zws.data(), zws.size(), &movie, length));
    EXPECT_TRUE(movie.Header().lzma);
}

} // namespace
