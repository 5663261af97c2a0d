// The movie reader on movies of ours, on the real-world sample movies and on damaged
// ones; the URL forms hosts use; the frame clock driven with made-up times.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "movie_bytes.h"
#include "player/frame_clock.h"
#include "player/movie_reader.h"
#include "player/movie_url.h"
#include "test_env.h"

namespace {

using swf::ReadStatus;

ReadStatus Read(const std::vector<uint8_t>& bytes, swf::Movie* movie,
                uint32_t limit = swf::kMaxMovieBytes) {
    // An exact-size heap copy, so a read past the end would touch memory we do not own.
    std::vector<uint8_t> copy(bytes);
    return swf::ReadMovie(copy.empty() ? nullptr : copy.data(), copy.size(), movie, limit);
}

ReadStatus Read(const std::vector<uint8_t>& bytes) {
    swf::Movie movie;
    const ReadStatus status = Read(bytes, &movie);
    if (status != ReadStatus::Ok) {
        EXPECT_EQ(0, movie.Header().frameCount) << "a refused movie leaves nothing behind";
    }
    return status;
}

TEST(MovieReader, ReadsTheHeaderAndTagsOfPlainAndCompressedMovies) {
    for (bool compressed : {false, true}) {
        SCOPED_TRACE(compressed ? "CWS" : "FWS");
        MovieSpec spec;
        spec.compressed = compressed;
        spec.version = 8;
        spec.frameRate = 24.5;
        spec.frameCount = 5;
        spec.widthTwips = 320 * 20;
        spec.heightTwips = 240 * 20;
        swf::Movie movie;
        ASSERT_EQ(ReadStatus::Ok, Read(MovieBytes(spec), &movie));
        const swf::MovieHeader& header = movie.Header();
        EXPECT_EQ(compressed, header.compressed);
        EXPECT_EQ(8, header.version);
        MovieSpec plain = spec;
        plain.compressed = false;
        EXPECT_EQ(MovieBytes(plain).size(), header.declaredLength);
        EXPECT_EQ(0, header.stage.xMin);
        EXPECT_EQ(6400, header.stage.xMax);
        EXPECT_EQ(4800, header.stage.yMax);
        EXPECT_EQ(24 * 256 + 128, header.frameRate);
        EXPECT_EQ(5, header.frameCount);
        EXPECT_EQ(5u, movie.ShownFrames());
        EXPECT_TRUE(movie.HasEndTag());
        ASSERT_TRUE(movie.HasBackground());
        EXPECT_EQ(0x20, movie.Background().red);
        EXPECT_EQ(0x40, movie.Background().green);
        EXPECT_EQ(0x80, movie.Background().blue);

        // Walking again gives every tag, the long unknown one with its whole body.
        swf::TagIterator tags = movie.Tags();
        swf::Tag tag;
        std::vector<uint16_t> codes;
        while (tags.Next(&tag)) {
            codes.push_back(tag.code);
            if (tag.code == 777) {
                EXPECT_EQ(100u, tag.length);
                EXPECT_EQ(0xAB, tag.body[99]);
            }
        }
        EXPECT_FALSE(tags.Failed());
        EXPECT_EQ((std::vector<uint16_t>{9, 777, 1, 1, 1, 1, 1, 0}), codes);
    }
}

TEST(MovieReader, BitReaderUnpacksSignedFieldsAndStopsAtTheEnd) {
    const uint8_t bytes[] = {0xB5, 0x80}; // 1011 0101 1000 0000
    swf::BitReader bits(bytes, sizeof(bytes));
    EXPECT_EQ(1u, bits.UB(1));
    EXPECT_EQ(3, bits.SB(3));  // 011
    EXPECT_EQ(5, bits.SB(4));  // 0101
    EXPECT_EQ(-2, bits.SB(2)); // 10
    EXPECT_TRUE(bits.Ok());
    swf::BitReader again(bytes, sizeof(bytes));
    EXPECT_EQ(5u, again.UB(3));  // 101
    EXPECT_EQ(-3, again.SB(3));  // 101, signed
    EXPECT_EQ(1u, again.UB(2));  // 01
    EXPECT_EQ(0u, again.UB(32)); // only 8 bits left
    EXPECT_FALSE(again.Ok());
    EXPECT_EQ(0u, again.UB(1)) << "a failed reader stays failed";

    // A translation-only matrix as PlaceObject2 carries it: no scale, no rotation,
    // field width 10, x = 300, y = -20.
    const uint8_t matrix[] = {0x14, 0x96, 0x7D, 0x80};
    swf::BitReader m(matrix, sizeof(matrix));
    swf::Matrix read;
    ASSERT_TRUE(swf::ReadMatrix(&m, &read));
    EXPECT_EQ(1 << 16, read.scaleX);
    EXPECT_EQ(300, read.translateX);
    EXPECT_EQ(-20, read.translateY);
    swf::BitReader shortMatrix(matrix, 2);
    EXPECT_FALSE(swf::ReadMatrix(&shortMatrix, &read));
}

// Damage done to a good movie, and what the reader must say about it.
struct Damage {
    const char* what;
    ReadStatus expected;
    std::vector<uint8_t> (*make)();
};

std::vector<uint8_t> Good() {
    return MovieBytes(MovieSpec());
}
std::vector<uint8_t> GoodCompressed() {
    MovieSpec spec;
    spec.compressed = true;
    return MovieBytes(spec);
}

const Damage kDamage[] = {
    {"empty", ReadStatus::TooShort, [] { return std::vector<uint8_t>(); }},
    {"seven bytes", ReadStatus::TooShort,
     [] {
         std::vector<uint8_t> m = Good();
         m.resize(7);
         return m;
     }},
    {"LZMA signature", ReadStatus::BadSignature,
     [] {
         std::vector<uint8_t> m = Good();
         m[0] = 'Z';
         return m;
     }},
    {"text file", ReadStatus::BadSignature,
     [] {
         const char text[] = "hello, this is not a movie";
         return std::vector<uint8_t>(text, text + sizeof(text));
     }},
    {"version 0", ReadStatus::BadVersion,
     [] {
         std::vector<uint8_t> m = Good();
         m[3] = 0;
         return m;
     }},
    {"truncated", ReadStatus::LengthMismatch,
     [] {
         std::vector<uint8_t> m = Good();
         m.resize(m.size() - 1);
         return m;
     }},
    {"longer than declared", ReadStatus::LengthMismatch,
     [] {
         std::vector<uint8_t> m = Good();
         m.push_back(0);
         return m;
     }},
    {"declared length below the header", ReadStatus::LengthMismatch,
     [] {
         std::vector<uint8_t> m = Good();
         PutU32(&m, 4, 7);
         return m;
     }},
    {"declared length of 4 GB", ReadStatus::TooLarge,
     [] {
         std::vector<uint8_t> m = GoodCompressed();
         PutU32(&m, 4, 0xFFFFFFFFu);
         return m;
     }},
    {"zlib stream holds less than declared", ReadStatus::BadCompression,
     [] {
         std::vector<uint8_t> m = GoodCompressed();
         PutU32(&m, 4, static_cast<uint32_t>(Good().size() + 1));
         return m;
     }},
    {"zlib stream holds more than declared", ReadStatus::BadCompression,
     [] {
         std::vector<uint8_t> m = GoodCompressed();
         PutU32(&m, 4, static_cast<uint32_t>(Good().size() - 1));
         return m;
     }},
    {"zlib stream cut short", ReadStatus::BadCompression,
     [] {
         std::vector<uint8_t> m = GoodCompressed();
         m.resize(m.size() - 6);
         return m;
     }},
    {"zlib stream damaged", ReadStatus::BadCompression,
     [] {
         std::vector<uint8_t> m = GoodCompressed();
         m[8] ^= 0xFF;
         return m;
     }},
    {"no zlib stream at all", ReadStatus::BadCompression,
     [] {
         std::vector<uint8_t> m = GoodCompressed();
         m.resize(8);
         return m;
     }},
    {"stage rectangle past the end", ReadStatus::BadHeader,
     [] {
         std::vector<uint8_t> m = {'F', 'W', 'S', 6, 10, 0, 0, 0, 0xF8, 0};
         return m;
     }},
    {"stage rectangle upside down", ReadStatus::BadHeader,
     [] {
         MovieSpec spec;
         spec.widthTwips = -100;
         return MovieBytes(spec);
     }},
    {"no room for rate and count", ReadStatus::BadHeader,
     [] {
         std::vector<uint8_t> m = {'F', 'W', 'S', 6, 12, 0, 0, 0, 0x00, 0x0C, 0x00, 0x01};
         return m;
     }},
    {"tag body runs past the end", ReadStatus::BadTag,
     [] {
         std::vector<uint8_t> m = Good();
         // The long unknown tag follows the 5-byte background tag after the header.
         const size_t header = 8 + 9 + 4;
         PutU32(&m, header + 5 + 2, 5000);
         return m;
     }},
    {"tag length of 4 GB", ReadStatus::BadTag,
     [] {
         std::vector<uint8_t> m = Good();
         PutU32(&m, 8 + 9 + 4 + 5 + 2, 0xFFFFFFFFu);
         return m;
     }},
    {"half a tag header at the end", ReadStatus::BadTag,
     [] {
         std::vector<uint8_t> m = Good();
         m.back() = 0x40; // the End tag becomes an unknown empty tag, then one stray byte
         m.push_back(0x01);
         PutU32(&m, 4, static_cast<uint32_t>(m.size()));
         return m;
     }},
};

TEST(MovieReader, RefusesDamagedMoviesWithTheirReason) {
    for (const Damage& damage : kDamage) {
        SCOPED_TRACE(damage.what);
        EXPECT_EQ(damage.expected, Read(damage.make())) << swf::StatusText(Read(damage.make()));
    }
}

TEST(MovieReader, EveryTruncationOfAMovieIsRefusedEvenWithItsLengthMended) {
    for (bool compressed : {false, true}) {
        const std::vector<uint8_t> whole = MovieBytes(MovieSpec());
        for (size_t size = 0; size < whole.size(); ++size) {
            std::vector<uint8_t> cut(whole.begin(), whole.begin() + size);
            if (size >= 8) {
                PutU32(&cut, 4, static_cast<uint32_t>(size)); // the header agrees
            }
            if (compressed && size >= 8) {
                cut = Compress(cut);
            }
            swf::Movie movie;
            const ReadStatus status = Read(cut, &movie);
            // Cut right after a whole tag the movie is only missing its End tag, which
            // the reader tolerates; anything else is refused.
            if (status == ReadStatus::Ok) {
                EXPECT_FALSE(movie.HasEndTag()) << size;
            }
        }
    }
}

TEST(MovieReader, LimitsHowLargeAMovieMayBe) {
    const std::vector<uint8_t> movie = GoodCompressed();
    swf::Movie read;
    EXPECT_EQ(ReadStatus::Ok, Read(movie, &read, static_cast<uint32_t>(Good().size())));
    EXPECT_EQ(ReadStatus::TooLarge, Read(movie, &read, static_cast<uint32_t>(Good().size() - 1)));
}

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::vector<unsigned char> bytes;
    EXPECT_TRUE(ReadFileBytes(path, &bytes)) << path;
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

TEST(MovieReader, ReadsTheDefaultMovie) {
    swf::Movie movie;
    ASSERT_EQ(ReadStatus::Ok, Read(FileBytes(GeneratedPath("default.swf")), &movie));
    EXPECT_EQ(48, movie.Header().frameCount);
    EXPECT_EQ(48u, movie.ShownFrames());
    EXPECT_EQ(12 * 256, movie.Header().frameRate);
    EXPECT_EQ(0x1E, movie.Background().red);
    EXPECT_EQ(0x4A, movie.Background().green);
    EXPECT_EQ(0x7A, movie.Background().blue);
}

// Shape bounds and placements, unpacked from movies that tools/swfwriter.py wrote.
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
            if (tag.code == 2) { // DefineShape: id, then the bounds
                swf::BitReader bits(tag.body + 2, tag.length - 2);
                swf::Rect bounds;
                ASSERT_TRUE(swf::ReadRect(&bits, &bounds));
                EXPECT_EQ(800, bounds.xMax);
                EXPECT_EQ(800, bounds.yMax);
            } else if (tag.code == 26) { // PlaceObject2: flags, depth, [id], matrix
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

// One row of the sample movies' manifest.
struct SampleMovie {
    std::string name;
    int version = 0;
    bool compressed = false;
    int width = 0, height = 0;
    double rate = 0;
    int frames = 0;
};

std::vector<SampleMovie> Manifest() {
    std::vector<unsigned char> bytes;
    EXPECT_TRUE(ReadFileBytes(MoviePath("MANIFEST.tsv"), &bytes));
    std::istringstream text(std::string(bytes.begin(), bytes.end()));
    std::vector<SampleMovie> movies;
    std::string line;
    bool header = true;
    while (std::getline(text, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        if (header) {
            header = false; // column names
            continue;
        }
        std::vector<std::string> fields;
        std::istringstream row(line);
        std::string field;
        while (std::getline(row, field, '\t')) {
            fields.push_back(field);
        }
        if (fields.size() < 7) {
            ADD_FAILURE() << "short manifest row: " << line;
            continue;
        }
        SampleMovie movie;
        movie.name = fields[0];
        movie.version = std::stoi(fields[2]);
        movie.compressed = fields[3].find("CWS") != std::string::npos;
        std::sscanf(fields[4].c_str(), "%dx%d", &movie.width, &movie.height);
        movie.rate = std::stod(fields[5]);
        movie.frames = std::stoi(fields[6]);
        movies.push_back(movie);
    }
    return movies;
}

TEST(MovieReader, ReadsEveryRealSampleMovieAsItsManifestDescribesIt) {
    const std::vector<SampleMovie> movies = Manifest();
    ASSERT_GE(movies.size(), 10u);
    int compressed = 0;
    std::string backgrounds;
    for (const SampleMovie& sample : movies) {
        SCOPED_TRACE(sample.name);
        std::vector<unsigned char> bytes;
        ASSERT_TRUE(ReadFileBytes(MoviePath((sample.name + ".swf").c_str()), &bytes));
        swf::Movie movie;
        ASSERT_EQ(ReadStatus::Ok, Read(std::vector<uint8_t>(bytes.begin(), bytes.end()), &movie));
        const swf::MovieHeader& header = movie.Header();
        EXPECT_EQ(sample.compressed, header.compressed);
        EXPECT_EQ(sample.version, header.version);
        EXPECT_EQ(sample.frames, header.frameCount);
        EXPECT_EQ(sample.width * 20, header.stage.xMax - header.stage.xMin);
        EXPECT_EQ(sample.height * 20, header.stage.yMax - header.stage.yMin);
        EXPECT_DOUBLE_EQ(sample.rate, header.frameRate / 256.0);
        EXPECT_TRUE(movie.HasEndTag());
        compressed += header.compressed ? 1 : 0;
        char line[128];
        std::snprintf(line, sizeof(line), "%s\t%d\t%02X%02X%02X\n", sample.name.c_str(),
                      header.frameCount, movie.Background().red, movie.Background().green,
                      movie.Background().blue);
        backgrounds += movie.HasBackground() ? line : sample.name + "\t-\t-\n";
    }
    EXPECT_GE(compressed, 1);
    // The colours are checked by a host script with an independent reader.
    EXPECT_TRUE(WriteFileBytes(OutputPath("backgrounds.tsv"),
                               std::vector<unsigned char>(backgrounds.begin(), backgrounds.end())));
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
    EXPECT_EQ(L"", MoviePathFromUrl(std::wstring(L"file://C:\\a.swf\0.txt", 20)));
    for (const auto& c : cases) {
        EXPECT_EQ(std::wstring(c.path), MoviePathFromUrl(c.url))
            << std::string(c.url, c.url + wcslen(c.url));
    }
}

TEST(FrameClock, AdvancesAtTheMovieRateAndLoopsOrStops) {
    FrameClock clock;
    clock.Reset(3, 10 * 256); // 10 frames a second
    EXPECT_EQ(100u, clock.IntervalMs());
    EXPECT_FALSE(clock.Playing());
    EXPECT_FALSE(clock.Tick(1000));

    clock.Play(1000);
    EXPECT_FALSE(clock.Tick(1099));
    EXPECT_TRUE(clock.Tick(1100));
    EXPECT_EQ(1u, clock.Frame());
    EXPECT_TRUE(clock.Tick(1200));
    EXPECT_EQ(2u, clock.Frame());
    EXPECT_TRUE(clock.Tick(1300)); // loops by default
    EXPECT_EQ(0u, clock.Frame());

    clock.SetLoop(false);
    clock.Tick(1500);
    EXPECT_EQ(2u, clock.Frame());
    EXPECT_FALSE(clock.Tick(1600));
    EXPECT_FALSE(clock.Playing()) << "stops on the last frame";
    EXPECT_EQ(2u, clock.Frame());
    clock.Play(2000); // from the start again
    EXPECT_EQ(0u, clock.Frame());

    clock.Stop();
    EXPECT_FALSE(clock.Tick(5000));
    EXPECT_EQ(0u, clock.Frame());
}

TEST(FrameClock, SkipsAheadAfterAStallAndSurvivesTheCounterWrap) {
    FrameClock clock;
    clock.Reset(1000, 20 * 256); // 50 ms
    clock.Play(0xFFFFFF00u);
    EXPECT_TRUE(clock.Tick(0xFFFFFF00u + 50));
    EXPECT_EQ(1u, clock.Frame());
    EXPECT_TRUE(clock.Tick(0x00000010u)); // wrapped: 272 ms later, five frames due
    EXPECT_LE(clock.Frame(), 5u);
    EXPECT_GE(clock.Frame(), 4u);
    const uint32_t before = clock.Frame();
    clock.Tick(0x00100000u); // minutes of stall: a few frames, then back in step
    EXPECT_LE(clock.Frame() - before, 4u);
    EXPECT_FALSE(clock.Tick(0x00100000u + 10));
    EXPECT_TRUE(clock.Tick(0x00100000u + 50));
}

TEST(FrameClock, HandlesMoviesWithoutFramesOrRate) {
    FrameClock clock;
    clock.Reset(0, 12 * 256);
    clock.Play(0);
    EXPECT_FALSE(clock.Playing()) << "nothing to play";
    clock.Reset(1, 0);
    EXPECT_EQ(256000u, clock.IntervalMs()); // 1/256 frame a second
    clock.Reset(2, 0xFFFF);
    EXPECT_GE(clock.IntervalMs(), 1u);
    clock.Play(0);
    clock.GoTo(99);
    EXPECT_EQ(1u, clock.Frame());
}

} // namespace
