// The movie reader on movies of ours, on the real-world sample movies and on damaged
// ones and the URL forms hosts use.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "movie_bytes.h"
#include "player/core/swf/movie_reader.h"
#include "player/control/movie_url.h"
#include "test_env.h"

namespace {

using swf::ReadStatus;

ReadStatus Read(const std::vector<uint8_t>& bytes, swf::Movie* movie,
                uint32_t limit = swf::kMaxMovieBytes) {
    // An exact-size heap copy, so a read past the end would touch memory we do not own.
    std::vector<uint8_t> copy(bytes);
    return swf::ReadMovie(copy.empty() ? nullptr : copy.data(), copy.size(), movie, limit);
}

TEST(MovieReader, ReadsTheHeaderAndTagsOfPlainAndCompressedMovies) {
    MovieSpec spec;
    spec.version = 8;
    spec.frameRate = 24.5;
    spec.frameCount = 5;
    const size_t plainSize = MovieBytes(spec).size();
    for (bool compressed : {false, true}) {
        spec.compressed = compressed;
        swf::Movie movie;
        ASSERT_EQ(ReadStatus::Ok, Read(MovieBytes(spec), &movie));
        const swf::MovieHeader& h = movie.Header();
        EXPECT_EQ(compressed, h.compressed);
        EXPECT_EQ(plainSize, h.declaredLength);
        EXPECT_EQ(8, h.version);
        EXPECT_EQ(550 * 20, h.stage.xMax);
        EXPECT_EQ(24 * 256 + 128, h.frameRate);
        EXPECT_EQ(5u, movie.ShownFrames());
        EXPECT_TRUE(movie.HasEndTag());
        EXPECT_EQ(0x80, movie.Background().blue);
        // Walking again gives every tag, the long unknown one with its whole body.
        swf::TagIterator tags = movie.Tags();
        swf::Tag tag;
        std::vector<uint16_t> codes;
        while (tags.Next(&tag)) {
            codes.push_back(tag.code);
            EXPECT_TRUE(tag.code != 777 || (tag.length == 100 && tag.body[99] == 0xAB));
        }
        EXPECT_FALSE(tags.Failed());
        EXPECT_EQ((std::vector<uint16_t>{9, 777, 1, 1, 1, 1, 1, 0}), codes);
    }
}

std::vector<uint8_t> Good(bool compressed = false) {
    MovieSpec spec;
    spec.compressed = compressed;
    return MovieBytes(spec);
}
std::vector<uint8_t> Cut(std::vector<uint8_t> m, size_t size) {
    m.resize(size);
    return m;
}
std::vector<uint8_t> With(std::vector<uint8_t> m, size_t at, uint32_t value) {
    PutU32(&m, at, value);
    return m;
}
std::vector<uint8_t> Poke(std::vector<uint8_t> m, size_t at, uint8_t value) {
    m[at] = value;
    return m;
}

TEST(MovieReader, RefusesDamagedMoviesWithTheirReason) {
    const std::vector<uint8_t> good = Good(), cws = Good(true);
    const uint32_t size = static_cast<uint32_t>(good.size());
    MovieSpec upsideDown;
    upsideDown.widthTwips = -100;
    const struct {
        const char* what;
        ReadStatus expected;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"empty", ReadStatus::TooShort, {}},
        {"seven bytes", ReadStatus::TooShort, Cut(good, 7)},
        {"unknown signature", ReadStatus::BadSignature, Poke(good, 0, 'X')},
        {"LZMA movie shorter than its properties", ReadStatus::BadCompression,
         Cut(Poke(good, 0, 'Z'), 16)},
        {"text file", ReadStatus::BadSignature, {'h', 'e', 'l', 'l', 'o', ',', ' ', 't', 'e', 'x'}},
        {"version 0", ReadStatus::BadVersion, Poke(good, 3, 0)},
        {"zlib stream damaged", ReadStatus::BadCompression, Poke(cws, 8, cws[8] ^ 0xFF)},
        {"no zlib stream at all", ReadStatus::BadCompression, Cut(cws, 8)},
        {"stage rectangle past the end",
         ReadStatus::BadHeader,
         {'F', 'W', 'S', 6, 10, 0, 0, 0, 0xF8, 0}},
        {"no room for rate and count",
         ReadStatus::BadHeader,
         {'F', 'W', 'S', 6, 12, 0, 0, 0, 0x00, 0x0C, 0x00, 0x01}},
    };
    for (const auto& c : cases) {
        swf::Movie movie;
        const ReadStatus status = Read(c.bytes, &movie);
        EXPECT_EQ(c.expected, status) << c.what << ": " << swf::StatusText(status);
        EXPECT_EQ(0, movie.Header().frameCount) << c.what << ": a refused movie leaves nothing";
    }
    // An upside-down stage is an empty one, as Flash Player plays it.
    swf::Movie movie;
    ASSERT_EQ(ReadStatus::Ok, Read(MovieBytes(upsideDown), &movie));
    EXPECT_EQ(movie.Header().stage.xMin, movie.Header().stage.xMax);
    EXPECT_NE(0, movie.Header().frameCount);
    // A movie over the size limit is refused before it is inflated.
    EXPECT_EQ(ReadStatus::Ok, Read(cws, &movie, size));
    EXPECT_EQ(ReadStatus::TooLarge, Read(cws, &movie, size - 1));
}

// As in Flash Player, a declared length that differs from the file is no reason to refuse:
// the movie plays what the file holds, up to the last whole tag.
TEST(MovieReader, PlaysWhatTheFileHolds) {
    const std::vector<uint8_t> good = Good(), cws = Good(true);
    const uint32_t size = static_cast<uint32_t>(good.size());
    const size_t longTag = 8 + 9 + 4 + 5 + 2; // the length of the unknown tag after the colour
    std::vector<uint8_t> strayByte = Poke(good, good.size() - 1, 0x40); // End becomes unknown
    strayByte.push_back(0x01);
    swf::Movie whole;
    ASSERT_EQ(ReadStatus::Ok, Read(good, &whole));
    const uint32_t n = whole.ShownFrames();
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        uint32_t frames;
        bool truncated;
    } cases[] = {
        {"End tag cut in half", Cut(good, size - 1), n, true},
        {"longer than declared", Cut(good, size + 1), n, false},
        {"declared length below the header", With(good, 4, 7), n, false},
        {"declared length of 4 GB", With(cws, 4, 0xFFFFFFFFu), n, false},
        {"zlib stream holds less than declared", With(cws, 4, size + 1), n, false},
        {"zlib stream holds more than declared", With(cws, 4, size - 1), n, false},
        {"zlib stream without its checksum", Cut(cws, cws.size() - 4), n, false},
        {"tag body runs past the end", With(good, longTag, 5000), 0, true},
        {"tag length of 4 GB", With(good, longTag, 0xFFFFFFFFu), 0, true},
        {"half a tag header at the end", strayByte, n, true},
    };
    for (const auto& c : cases) {
        swf::Movie movie;
        ASSERT_EQ(ReadStatus::Ok, Read(c.bytes, &movie)) << c.what;
        EXPECT_EQ(c.frames, movie.ShownFrames()) << c.what;
        EXPECT_EQ(c.truncated, movie.Truncated()) << c.what;
        EXPECT_EQ(0x80, movie.Background().blue) << c.what;
    }
}

TEST(MovieReader, EveryTruncationOfAMoviePlaysItsWholeFrames) {
    const std::vector<uint8_t> whole = Good();
    uint32_t before = 0; // frames only grow as the file does
    for (uint32_t size = 0; size < whole.size(); ++size) {
        // The header keeps its length; compressed too, once there is a header.
        const std::vector<uint8_t> cut = Cut(whole, size);
        for (const std::vector<uint8_t>& bytes : {cut, size < 8 ? cut : Compress(cut)}) {
            swf::Movie movie;
            const ReadStatus status = Read(bytes, &movie);
            if (size < 8 + 9 + 4) { // the prefix, the stage rectangle, rate and count
                EXPECT_NE(ReadStatus::Ok, status) << size;
                continue;
            }
            ASSERT_EQ(ReadStatus::Ok, status) << size;
            EXPECT_TRUE(movie.Truncated() || !movie.HasEndTag()) << size;
            EXPECT_LE(before, movie.ShownFrames()) << size;
            EXPECT_LE(movie.ShownFrames(), 3u) << size; // Good()'s frames
            before = movie.ShownFrames();
        }
    }
}

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::vector<unsigned char> bytes;
    EXPECT_TRUE(ReadFileBytes(path, &bytes)) << path;
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

// Placements, unpacked from movies that tools/swfwriter.py wrote.
TEST(MovieReader, UnpacksTheRecordsOfMoviesFromTheIndependentWriter) {
    const int32_t expected[][2] = {{2000, 1000}, {2400, 1200}, {-100, 140}, {0, 0}, {4000, -300}};
    for (const char* name : {"player_shapes.swf", "player_shapes_cws.swf"}) {
        SCOPED_TRACE(name);
        swf::Movie movie;
        ASSERT_EQ(ReadStatus::Ok, Read(FileBytes(GeneratedPath(name)), &movie));
        EXPECT_EQ(15 * 256, movie.Header().frameRate);
        EXPECT_EQ(6400, movie.Header().stage.xMax);
        EXPECT_EQ(0xC0, movie.Background().red);
        swf::TagIterator tags = movie.Tags();
        swf::Tag tag;
        size_t placements = 0;
        while (tags.Next(&tag)) {
            if (tag.code == 26) { // PlaceObject2: flags, depth, [id], matrix
                ASSERT_LT(placements, 5u);
                const uint8_t flags = tag.body[0];
                const size_t at = 3 + ((flags & 0x02) != 0 ? 2 : 0);
                ASSERT_NE(0, flags & 0x04);
                swf::BitReader bits(tag.body + at, tag.length - at);
                swf::Matrix matrix;
                ASSERT_TRUE(swf::ReadMatrix(&bits, &matrix));
                EXPECT_EQ(expected[placements][0], matrix.translateX);
                EXPECT_EQ(expected[placements][1], matrix.translateY);
                EXPECT_EQ(tag.length - at, bits.BytesConsumed());
                ++placements;
            }
        }
        EXPECT_FALSE(tags.Failed());
        EXPECT_EQ(5u, placements);
    }
}

// What the reader finds in each real sample movie, for a host script to check against
// the movies' manifest and an independent reader.
TEST(MovieReader, ReadsEveryRealSampleMovie) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(MoviePath("*.swf").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, search);
    std::string rows;
    do {
        std::string name = found.cFileName;
        SCOPED_TRACE(name);
        swf::Movie movie;
        ASSERT_EQ(ReadStatus::Ok, Read(FileBytes(MoviePath(name.c_str())), &movie));
        EXPECT_TRUE(movie.HasEndTag());
        const swf::MovieHeader& h = movie.Header();
        const swf::Rgb& rgb = movie.Background();
        char row[256], colour[8] = "-";
        if (movie.HasBackground()) {
            std::snprintf(colour, sizeof(colour), "%02X%02X%02X", rgb.red, rgb.green, rgb.blue);
        }
        std::snprintf(row, sizeof(row), "%s\t%d\t%s\t%dx%d\t%g\t%d\t%s\n",
                      name.substr(0, name.size() - 4).c_str(), h.version,
                      h.compressed ? "CWS" : "FWS", (h.stage.xMax - h.stage.xMin) / 20,
                      (h.stage.yMax - h.stage.yMin) / 20, h.frameRate / 256.0, h.frameCount,
                      colour);
        rows += row;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    EXPECT_TRUE(WriteFileBytes(OutputPath("backgrounds.tsv"),
                               std::vector<unsigned char>(rows.begin(), rows.end())));
}

TEST(MovieUrl, GivesTheLocalPathOfEveryFormHostsUse) {
    const struct {
        const wchar_t* url;
        const wchar_t* path;
    } cases[] = {
        // As the screen saver writes it: backslashes, two before the file, nothing escaped.
        {L"file://C:\\users\\x\\Temp\\\\swf001A2.tmp", L"C:\\users\\x\\Temp\\\\swf001A2.tmp"},
        {L"file://C:\\100%25 sure\\m.swf", L"C:\\100%25 sure\\m.swf"},
        {L"FILE://c:\\m.swf", L"c:\\m.swf"},
        {L"file:///C:/My%20Movies/m.swf", L"C:\\My Movies\\m.swf"},
        {L"file:///C|/m.swf", L"C:\\m.swf"},
        {L"file://localhost/C:/m.swf", L"C:\\m.swf"},
        {L"file://server/share/m.swf", L"\\\\server\\share\\m.swf"},
        {L"C:\\plain\\path.swf", L"C:\\plain\\path.swf"},
        {L"http://example.com/m.swf", L""},
        {L"m.swf", L""},
        {L"file:", L""},
        {L"file://", L""},
        {L"", L""},
    };
    wchar_t path[kMaxMoviePath];
    EXPECT_FALSE(MoviePathFromUrl(L"file://C:\\a.swf\0.txt", 20, path));
    EXPECT_STREQ(L"", path);
    for (const auto& c : cases) {
        EXPECT_EQ(c.path[0] != 0, MoviePathFromUrl(c.url, wcslen(c.url), path));
        EXPECT_STREQ(c.path, path) << std::string(c.url, c.url + wcslen(c.url));
    }
    // A path that does not fit is refused, not cut.
    std::wstring longest = L"file://C:\\" + std::wstring(kMaxMoviePath - 4, L'a');
    EXPECT_TRUE(MoviePathFromUrl(longest.c_str(), longest.size(), path));
    longest += L'a';
    EXPECT_FALSE(MoviePathFromUrl(longest.c_str(), longest.size(), path));
}

} // namespace
