// Edit text as Flash lays it out: the field's text (plain, or the HTML subset Flash reads)
// turned into styled characters and paragraphs, then broken into lines inside the box
// with margins, indent, leading, alignment and word wrap. Pure geometry in twips; the
// glyphs' advances and the fonts' heights come from the caller.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "player/core/swf/records.h"

namespace render {

struct TextStyle {
    std::string face;   // as the text names it; empty for the field's own font
    int32_t size = 240; // twips
    swf::Rgba color{0, 0, 0, 255};
    int32_t leading = 0;       // twips added between lines
    int32_t letterSpacing = 0; // twips added after each character
    bool bold = false, italic = false, underline = false;
    bool operator==(const TextStyle& o) const {
        return face == o.face && size == o.size && color.r == o.color.r && color.g == o.color.g &&
               color.b == o.color.b && color.a == o.color.a && bold == o.bold &&
               italic == o.italic && underline == o.underline && leading == o.leading &&
               letterSpacing == o.letterSpacing;
    }
};

// Characters with a style each; '\n' ends a paragraph, which has its own alignment
// (0 left, 1 right, 2 centre, 3 justify).
struct StyledText {
    std::vector<uint32_t> codes;
    std::vector<uint16_t> styles; // per code, into `palette`
    std::vector<TextStyle> palette;
    std::vector<uint8_t> aligns; // per paragraph
};

// Code points of UTF-8 text; bytes that are not UTF-8 are taken as Latin-1.
std::vector<uint32_t> DecodeUtf8(const std::string& s);
// Plain text: "\r\n", "\r" and "\n" end paragraphs.
StyledText FromPlainText(const std::string& text, const TextStyle& base, uint8_t align);
// HTML text: <p align>, <font face size color letterSpacing>, <b>, <i>, <u>, <br>, <textformat
// leading>, the five named
// entities and numeric ones; other tags are dropped. A single-line field keeps no breaks.
StyledText FromHtmlText(const std::string& html, const TextStyle& base, uint8_t align,
                        bool multiline);

struct LayoutBox {
    double width = 0;  // the text area: the field's width less the gutters
    double height = 0; // lines starting below this are left out
    double leftMargin = 0, rightMargin = 0, indent = 0;
    bool wordWrap = false;
};
struct FontMeasure {
    // A character's advance in twips, in its style.
    std::function<double(uint32_t code, const TextStyle& style)> advance;
    // The style's ascent and the font's own leading, in twips.
    std::function<void(const TextStyle& style, double* ascent, double* leading)> heights;
};
struct PlacedGlyph {
    uint32_t code = 0;
    uint16_t style = 0;
    double x = 0; // from the text area's left
    double advance = 0;
};
struct TextLine {
    std::vector<PlacedGlyph> glyphs;
    double baseline = 0; // from the text area's top
};

// Lines step down by the largest size on the line, the font's leading and the leading of
// the line's first style; a line's baseline lies its font's ascent below the line's top. Word wrap
// breaks after the last space that fits (or inside a word longer than the line); alignment ignores
// trailing spaces. `extent`, when given, receives the width the lines take (margins included) and
// the height from the first line's top to below the last line's leading.
struct TextExtent {
    double width = 0, height = 0;
};
std::vector<TextLine> LayOutText(const StyledText& text, const LayoutBox& box,
                                 const FontMeasure& measure, TextExtent* extent = nullptr);

} // namespace render
