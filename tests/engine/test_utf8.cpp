// The engine's one UTF-8 codec at its edges: every malformed form reads byte by byte as
// Latin-1, so nothing is dropped and nothing reads past the end.
#include <gtest/gtest.h>

#include "player/core/swf/utf8.h"

namespace {

struct Row {
    const char* name;
    std::string bytes;
    std::vector<uint32_t> codes;
};

const Row kRows[] = {
    {"ascii", "aZ", {'a', 'Z'}},
    {"two bytes", "\xc3\xa9", {0xE9}},
    {"three bytes", "\xe2\x82\xac", {0x20AC}},
    {"four bytes", "\xf0\x9f\x98\x80", {0x1F600}},
    {"highest", "\xf4\x8f\xbf\xbf", {0x10FFFF}},
    {"above highest", "\xf4\x90\x80\x80", {0xF4, 0x90, 0x80, 0x80}},
    {"stray continuation",
     "\x80"
     "a",
     {0x80, 'a'}},
    {"overlong two", "\xc0\xaf", {0xC0, 0xAF}},
    {"overlong three", "\xe0\x80\xaf", {0xE0, 0x80, 0xAF}},
    {"surrogate", "\xed\xa0\x80", {0xED, 0xA0, 0x80}},
    {"surrogate pair in two sequences", "\xed\xa0\x80\xed\xb0\x82", {0x10002}},
    {"high surrogate then ascii",
     "\xed\xa0\x80"
     "a",
     {0xED, 0xA0, 0x80, 'a'}},
    {"truncated at end", "a\xe2\x82", {'a', 0xE2, 0x82}},
    {"truncated before ascii",
     "\xe2"
     "a",
     {0xE2, 'a'}},
    {"lead byte alone", "\xf5", {0xF5}},
    {"empty", "", {}},
};

TEST(Utf8, DecodesEveryRow) {
    for (const Row& r : kRows) {
        EXPECT_EQ(swf::Utf8Decode(r.bytes), r.codes) << r.name;
        EXPECT_EQ(swf::Utf8Length(r.bytes), r.codes.size()) << r.name;
        EXPECT_EQ(swf::Utf8Offset(r.bytes, r.codes.size()), r.bytes.size()) << r.name;
        EXPECT_EQ(swf::Utf8Offset(r.bytes, r.codes.size() + 5), r.bytes.size()) << r.name;
    }
}

TEST(Utf8, EncodesAndRefusesSurrogates) {
    EXPECT_EQ(swf::Utf8Encode(0x7F), "\x7f");
    EXPECT_EQ(swf::Utf8Encode(0x80), "\xc2\x80");
    EXPECT_EQ(swf::Utf8Encode(0xFFFF), "\xef\xbf\xbf");
    EXPECT_EQ(swf::Utf8Encode(0x10000), "\xf0\x90\x80\x80");
    EXPECT_EQ(swf::Utf8Encode(0xD800), "\xef\xbf\xbd");
    EXPECT_EQ(swf::Utf8Encode(0x110000), "\xef\xbf\xbd");
    // ActionScript 3 keeps a lone UTF-16 half, at both ends of the surrogate range only.
    const struct {
        uint32_t cp;
        const char* kept;
    } halves[] = {{0xD7FF, "\xed\x9f\xbf"},
                  {0xD800, "\xed\xa0\x80"},
                  {0xDFFF, "\xed\xbf\xbf"},
                  {0xE000, "\xee\x80\x80"},
                  {0x110000, "\xef\xbf\xbd"}};
    for (const auto& h : halves) {
        std::string kept;
        swf::Utf8Append(kept, h.cp, true);
        EXPECT_EQ(kept, h.kept) << h.cp;
    }
    for (const Row& r : kRows)
        EXPECT_EQ(swf::Utf8Decode(swf::Utf8FromCodes(r.codes)), r.codes) << r.name;
}

TEST(Utf8, OrdersByCodePoint) {
    EXPECT_LT(swf::Utf8Compare("A", "B"), 0);
    EXPECT_EQ(swf::Utf8Compare("ab", "ab"), 0);
    EXPECT_GT(swf::Utf8Compare("ab", "a"), 0);
    // A lone surrogate's bytes read as Latin-1 and sort low; a pair sorts by its character.
    EXPECT_LT(swf::Utf8Compare("\xed\xa0\x80", "\xef\xbd\xa1"), 0);
    EXPECT_LT(swf::Utf8Compare("\xef\xbd\xa1", "\xed\xa0\x80\xed\xb0\x82"), 0);
}

TEST(Utf8, ReadsCodePage1252) {
    EXPECT_EQ(swf::Utf8FromCp1252("a\xc5"), "a\xc3\x85");
    EXPECT_EQ(swf::Utf8FromCp1252("\x80"), "\xe2\x82\xac");
    EXPECT_EQ(swf::Utf8FromCp1252("\x81\x9f\xff"), "\xc2\x81\xc5\xb8\xc3\xbf");
}

} // namespace
