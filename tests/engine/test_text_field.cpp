// A text field's model: Flash's markup read and written back (rows from Flash Player's own
// recorded output), edge input, and formats over ranges.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "player/core/timeline/text_field.h"

namespace {

using timeline::TextDocument;
using timeline::TextFormat;

const char* const kFont = "<FONT FACE=\"Noto Sans\" SIZE=\"6\" COLOR=\"#000000\" "
                          "LETTERSPACING=\"0\" KERNING=\"0\">";

// A field as the recorded movie made it: Noto Sans at 6 pixels, every property set.
TextDocument Field() {
    TextDocument doc;
    TextFormat f = timeline::SpanFormat().ToFormat();
    f.font = "Noto Sans";
    f.size = 6.0;
    doc.SetDefaultFormat(f);
    return doc;
}

std::string Expand(const std::string& s) {
    std::string out;
    for (char c : s) {
        out += c == '@' ? std::string(kFont) : std::string(1, c);
    }
    return out;
}

TEST(TextField, MarkupRoundTripsAsFlashWritesIt) {
    const struct {
        const char* html;
        bool multiline;
        int version;
        const char* markup; // '@' stands for the field's whole <FONT ...> tag
        const char* text;
    } rows[] = {
        {"<p>test</p>\n", false, 8, "<P ALIGN=\"LEFT\">@test</FONT></P>", "test\r"},
        {"<p>test</p>\n", true, 8,
         "<P ALIGN=\"LEFT\">@test</FONT></P><P ALIGN=\"LEFT\">@</FONT></P>", "test\r\r"},
        {"<li>test</li>\n", false, 8, "<LI>@test</FONT></LI>", "test\r"},
        {"<b><i><u>test</u> <u>test</u></i> <i><u>test</u> <u>test</u></i></b>", true, 8,
         "<P ALIGN=\"LEFT\">@<B><I><U>test</U></I></B><B><I> </I></B><B><I><U>test</U></I></B>"
         "<B> </B><B><I><U>test</U></I></B><B><I> </I></B><B><I><U>test</U></I></B></FONT></P>",
         "test test test test"},
        {"test <b> test <br> test </b> test <br> test", true, 8,
         "<P ALIGN=\"LEFT\">@test <B> test </B></FONT></P><P ALIGN=\"LEFT\">@<B> test </B> test "
         "</FONT></P><P ALIGN=\"LEFT\">@ test</FONT></P>",
         "test  test \r test  test \r test"},
        {"<p align=\"right\">text<li></li></p>", true, 8,
         "<P ALIGN=\"RIGHT\">@text</FONT></P><LI>@</FONT></LI><P ALIGN=\"RIGHT\">@</FONT></P>",
         "text\r\r\r"},
        {"<font color=\"#aaaaaa\"><font face=\"Noto Sans\">test</font> <font face=\"Noto "
         "Sans\">test</font></font> <font color=\"#bbbbbb\"><font face=\"Noto Sans\">test</font> "
         "<font face=\"Noto Sans\">test</font></font>",
         true, 8,
         "<P ALIGN=\"LEFT\"><FONT FACE=\"Noto Sans\" SIZE=\"6\" COLOR=\"#AAAAAA\" "
         "LETTERSPACING=\"0\" KERNING=\"0\">test test<FONT COLOR=\"#000000\"> <FONT "
         "COLOR=\"#BBBBBB\">test test</FONT></FONT></FONT></P>",
         "test test test test"},
        {"<p align=\"justify\">text</p>", false, 8, "<P ALIGN=\"JUSTIFY\">@text</FONT></P>",
         "text"},
        // Below version 8 text of nothing but white space between tags is dropped.
        {" <b> </b> ", true, 7, "", ""},
        {" <b> </b> ", true, 8, "<P ALIGN=\"LEFT\">@ <B> </B> </FONT></P>", "   "},
        // Edges: nothing, an unclosed tag (ends the markup), entities, a stray closing tag.
        {"", true, 8, "", ""},
        {"ab<b", true, 8, "<P ALIGN=\"LEFT\">@ab</FONT></P>", "ab"},
        {"&lt;&amp;&#65;&#x42;&bogus;&nbsp;&", true, 8,
         "<P ALIGN=\"LEFT\">@&lt;&amp;AB&amp;bogus;\xC2\xA0&amp;</FONT></P>",
         "<&AB&bogus;\xC2\xA0&"},
        {"a</i>b<!-- c -->d", true, 8, "<P ALIGN=\"LEFT\">@abd</FONT></P>", "abd"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.html);
        TextDocument doc = Field();
        doc.ParseHtml(r.html, r.multiline, false, r.version);
        EXPECT_EQ(doc.ToHtml(), Expand(r.markup));
        EXPECT_EQ(timeline::EncodeUtf8(doc.text()), r.text);
    }
}

// <font> attributes as Flash reads them: the colour's digits after '#' (spaces skipped, the
// last six kept), sizes absolute or relative within 1..127.
TEST(TextField, FontAttributes) {
    const struct {
        const char* attrs;
        uint32_t color;
        double size;
        bool kerning = false;
        int version = 8;
    } rows[] = {
        {"color=\"#FF0000\"", 0xFF0000, 6},
        {"color=\"# 00ff00\"", 0x00FF00, 6},
        {"color=\"#12345678\"", 0x345678, 6},
        {"color=\"#F0x9\"", 0x0000F0, 6},
        {"color=\"#\"", 0, 6},
        {"color=\"#zz\"", 0, 6},
        {"color=\"red\"", 0, 6},
        {"size=\"+2\"", 0, 8},
        {"size=\"-10\"", 0, 1},
        {"size=\"200\"", 0, 127},
        {"size=\"12\"", 0, 12},
        {"size=\"1\"", 0, 1},
        // Kerning is Flash 8's.
        {"kerning=\"1\"", 0, 6, true},
        {"kerning=\"1\"", 0, 6, false, 7},
    };
    for (const auto& r : rows) {
        TextDocument doc = Field();
        doc.ParseHtml(std::string("<font ") + r.attrs + ">x</font>", false, false, r.version);
        const TextFormat f = doc.GetFormat(0, 1);
        EXPECT_EQ(f.color.value_or(999), r.color) << r.attrs;
        EXPECT_EQ(f.size.value_or(0), r.size) << r.attrs;
        EXPECT_EQ(f.kerning.value_or(false), r.kerning) << r.attrs << " in " << r.version;
    }
}

// <textformat tabstops="..."> as Flash reads the list: numbers between commas, spaces around
// them dropped, what is not a number left out, and no more than the field keeps.
TEST(TextField, TabStopsAttribute) {
    std::string many, tooMany;
    for (size_t i = 0; i < timeline::kMaxTabStops; ++i) {
        many += std::to_string(i + 1) + ",";
    }
    tooMany = many + "999";
    many.pop_back();
    std::vector<double> upToLimit;
    for (size_t i = 0; i < timeline::kMaxTabStops; ++i) {
        upToLimit.push_back(double(i + 1));
    }
    const struct {
        std::string stops;
        std::vector<double> read;
    } rows[] = {
        {"10", {10}}, {"10,20,30", {10, 20, 30}}, {" 4 ,x, 6 ", {4, 6}}, {"7,", {7}}, {",8", {8}},
        {"", {}},     {many, upToLimit},          {tooMany, upToLimit},
    };
    for (const auto& r : rows) {
        TextDocument doc = Field();
        doc.ParseHtml("<textformat tabstops=\"" + r.stops + "\">x</textformat>", false, false, 8);
        EXPECT_EQ(doc.GetFormat(0, 1).tabStops.value_or(std::vector<double>{-1}), r.read)
            << r.stops;
    }
}

TEST(TextField, CondensedWhiteAndLongInputStayBounded) {
    TextDocument doc = Field();
    doc.ParseHtml("  a \n\t b  <b> c </b>  ", true, true, 8);
    EXPECT_EQ(timeline::EncodeUtf8(doc.text()), "a b c ");
    // Markup far longer than a field holds is cut at the field's limit, in linear time.
    std::string huge;
    for (size_t i = 0; i < timeline::kMaxFieldChars / 3 + 10; ++i) {
        huge += "<b>x</b>y ";
    }
    doc.ParseHtml(huge, true, false, 8);
    EXPECT_EQ(doc.text().size(), timeline::kMaxFieldChars);
    EXPECT_LE(doc.spans().size(), timeline::kMaxSpans);
}

TEST(TextField, FormatsOverRanges) {
    TextDocument doc = Field();
    // "\r\n" is two breaks, each kept as '\r'.
    doc.SetPlain(U"a\r\nb\n");
    EXPECT_EQ(doc.text(), U"a\r\rb\r");
    doc.SetPlain(U"hello\nworld");
    EXPECT_EQ(doc.text(), U"hello\rworld");
    TextFormat bold;
    bold.bold = true;
    bold.size = 20.0;
    doc.SetFormat(1, 3, bold);
    EXPECT_EQ(doc.spans().size(), 3u);
    // Mixed over the range: what differs is unset.
    TextFormat f = doc.GetFormat(0, 4);
    EXPECT_FALSE(f.bold.has_value());
    EXPECT_EQ(f.font, std::string("Noto Sans"));
    f = doc.GetFormat(1, 2);
    EXPECT_EQ(f.bold, true);
    EXPECT_EQ(f.size, 20.0);
    // Formatting back merges the runs again.
    bold.bold = false;
    bold.size = 6.0;
    doc.SetFormat(0, 11, bold);
    EXPECT_EQ(doc.spans().size(), 1u);
    // Replaced text takes the format of what followed it; at the end, the default.
    TextFormat serif;
    serif.font = "Serif";
    doc.SetFormat(5, 6, serif);
    doc.Replace(0, 5, U"HI");
    EXPECT_EQ(doc.text(), U"HI\rworld");
    EXPECT_EQ(doc.GetFormat(0, 1).font, std::string("Serif"));
    doc.Replace(8, 8, U"!");
    EXPECT_EQ(doc.GetFormat(8, 9).font, std::string("Noto Sans"));
    // A range past the end formats nothing.
    const size_t before = doc.spans().size();
    doc.SetFormat(50, 60, bold);
    EXPECT_EQ(doc.spans().size(), before);
    EXPECT_EQ(doc.GetFormat(0, 1).font, std::string("Serif"));
}

} // namespace
