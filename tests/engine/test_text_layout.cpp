// Edit text's HTML subset and line layout, with every character 100 twips wide.
#include <gtest/gtest.h>

#include <string>

#include "player/core/render/text_layout.h"
#include "player/core/swf/utf8.h"

namespace {

using render::StyledText;

std::string Utf8(const StyledText& t) {
    std::string s;
    for (uint32_t c : t.codes) {
        swf::Utf8Append(s, c);
    }
    return s;
}

TEST(TextLayout, DocumentBecomesStyledParagraphs) {
    timeline::TextDocument doc;
    doc.ParseHtml("<p align=\"right\">a &amp; b</p><p>c<br>d</p>", true, false, 8);
    StyledText t = render::FromDocument(doc, false);
    EXPECT_EQ(Utf8(t), "a & b\nc\nd\n");
    ASSERT_EQ(t.paragraphs.size(), 4u);
    EXPECT_EQ(t.paragraphs[0].align, 1);
    EXPECT_EQ(t.paragraphs[1].align, 0);
    t = render::FromDocument(doc, true);
    EXPECT_EQ(Utf8(t), "*****\n*\n*\n");
    doc.ParseHtml(
        "<font face=\"Serif\" size=\"20\" color=\"#FF0000\" letterSpacing=\"1.5\">x<b>y</b>"
        "</font><i>z</i>",
        true, false, 8);
    t = render::FromDocument(doc, false);
    ASSERT_EQ(t.codes.size(), 3u);
    const render::TextStyle &x = t.palette[t.styles[0]], &y = t.palette[t.styles[1]],
                            &z = t.palette[t.styles[2]];
    EXPECT_EQ(x.face, "Serif");
    EXPECT_EQ(x.size, 400);
    EXPECT_EQ(x.color.r, 255);
    EXPECT_EQ(x.letterSpacing, 30);
    EXPECT_TRUE(y.bold && y.size == 400 && !x.bold);
    EXPECT_TRUE(z.italic && z.size == 240 && z.face.empty());
}

TEST(TextLayout, LinesWrapAlignAndStep) {
    render::FontMeasure measure;
    measure.advance = [](uint32_t, const render::TextStyle&) { return 100.0; };
    measure.heights = [](const render::TextStyle& s, double* ascent, double* leading) {
        *ascent = s.size * 0.75;
        *leading = 10;
    };
    render::LayoutBox box;
    box.width = 600;
    box.height = 10000;
    box.wordWrap = true;
    const struct {
        uint8_t align;
        const char* text;
        std::vector<std::string> lines;
        std::vector<double> firstX;
        bool bullet = false;
        double width = 600;
    } cases[] = {
        // The indent takes room from each paragraph's first line only; breaks fall after
        // the last space that fits, or inside a word longer than the line.
        {0, "aaa bb cc\rdddddddd", {"aaa ", "bb cc", "ddddd", "ddd"}, {100, 0, 100, 0}},
        // Trailing spaces do not count when aligning.
        {1, "ab \ncd", {"ab ", "cd"}, {400, 400}},
        {2, "ab", {"ab"}, {250}},
        // A character is one glyph however many bytes it takes; a lone Latin-1 byte too.
        {0,
         "\xc3\xa9t\xc3\xa9 \xe2\x82\xac\xf0\x9f\x98\x80 \xe9",
         {"\xc3\xa9t\xc3\xa9 ", "\xe2\x82\xac\xf0\x9f\x98\x80 \xc3\xa9"},
         {100, 0}},
        // A bullet's text stands 720 twips in on every line of its paragraph.
        {0, "aaa bb", {"aaa ", "bb"}, {820, 720}, true, 1300},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        render::TextStyle style;
        style.leading = 20;
        StyledText text = render::FromPlainText(c.text, style, c.align);
        for (render::ParagraphStyle& p : text.paragraphs) {
            p.indent = 100;
            p.bullet = c.bullet;
        }
        box.width = c.width;
        const auto lines = render::LayOutText(text, box, measure);
        ASSERT_EQ(lines.size(), c.lines.size());
        for (size_t i = 0; i < lines.size(); ++i) {
            std::string s;
            for (const auto& g : lines[i].glyphs) {
                swf::Utf8Append(s, g.code);
            }
            EXPECT_EQ(s, c.lines[i]);
            EXPECT_DOUBLE_EQ(lines[i].glyphs[0].x, c.firstX[i]);
            // Size 240 + font leading 10 + style leading 20 per line, baseline at ascent.
            EXPECT_DOUBLE_EQ(lines[i].baseline, 180 + 270.0 * i);
        }
    }
}

// textWidth and textHeight: what Flash counts of the laid-out lines.
TEST(TextLayout, ExtentCountsAsFlashDoes) {
    render::FontMeasure measure;
    measure.advance = [](uint32_t, const render::TextStyle&) { return 100.0; };
    measure.heights = [](const render::TextStyle& s, double* ascent, double* leading) {
        *ascent = s.size * 0.75;
        *leading = 10;
    };
    const struct {
        uint8_t align;
        const char* text;
        double width, height, firstX;
        bool alignSpaces = false;
    } cases[] = {
        // The only line keeps its span leading (240 + 10 + 20); a last line of several
        // leaves it off; no text has no height.
        {0, "ab", 200, 270, 0},
        {0, "ab\ncd", 200, 270 + 250, 0},
        {0, "ab\n", 200, 270 + 250, 0},
        {0, "", 0, 0, 0},
        // A left-aligned line's trailing spaces count; an aligned line's do not, unless
        // the box keeps them (before version 8).
        {0, "ab  ", 400, 270, 0},
        {1, "ab  ", 1000, 270, 800},
        {2, "ab  ", 600, 270, 400},
        {1, "ab  ", 1000, 270, 600, true},
        {2, "  ", 600, 270, 400, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        render::TextStyle style;
        style.leading = 20;
        render::LayoutBox box;
        box.width = 1000;
        box.height = 10000;
        box.alignTrailingSpaces = c.alignSpaces;
        render::TextExtent extent;
        const auto lines = render::LayOutText(render::FromPlainText(c.text, style, c.align), box,
                                              measure, &extent);
        EXPECT_DOUBLE_EQ(extent.width, c.width);
        EXPECT_DOUBLE_EQ(extent.height, c.height);
        ASSERT_EQ(lines.size(), 1u + (std::string(c.text).find('\n') != std::string::npos));
        if (!lines[0].glyphs.empty()) {
            EXPECT_DOUBLE_EQ(lines[0].glyphs[0].x, c.firstX);
        }
    }
}

// An embedded font's advances and heights are whole twips, cut toward zero.
TEST(TextLayout, EmbeddedMetricsAreWholeTwips) {
    swf::Font font;
    font.unitsPerEm = 20480;
    font.hasLayout = true;
    font.codes = {'a', 'b'};
    font.byCode = {{'a', 0}, {'b', 1}};
    font.glyphOutline = {0, 0};
    font.outlines.resize(1);
    font.advances = {1707, 1706}; // at 240 twips: 20.0039 and 19.9921
    render::TextStyle style;
    style.font = &font;
    const render::FieldFonts fonts;
    EXPECT_EQ(render::Advance(fonts, true, 'a', style), 20);
    EXPECT_EQ(render::Advance(fonts, true, 'b', style), 19);
    EXPECT_EQ(render::Advance(fonts, true, 'c', style), 0);
}

} // namespace
