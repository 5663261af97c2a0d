// Edit text as Flash lays it out: the field's text (plain, or the HTML subset Flash reads)
// turned into styled characters and paragraphs, then broken into lines inside the box
// with margins, indent, leading, alignment and word wrap. Pure geometry in twips; the
// glyphs' advances and the fonts' heights come from the caller.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "player/core/swf/characters.h"
#include "player/core/swf/records.h"
#include "player/core/timeline/dictionary.h"
#include "player/core/timeline/text_field.h"

namespace render {

struct TextStyle {
    std::string face;   // as the text names it; empty for the field's own font
    int32_t size = 240; // twips
    swf::Rgba color{0, 0, 0, 255};
    int32_t leading = 0;       // twips added between lines
    int32_t letterSpacing = 0; // twips added after each character
    bool bold = false, italic = false, underline = false;
    const swf::Font* font = nullptr; // the embedded font drawing it; none: the device font
    bool operator==(const TextStyle& o) const {
        return face == o.face && size == o.size && color.r == o.color.r && color.g == o.color.g &&
               color.b == o.color.b && color.a == o.color.a && bold == o.bold &&
               italic == o.italic && underline == o.underline && leading == o.leading &&
               letterSpacing == o.letterSpacing && font == o.font;
    }
};

// A paragraph's own settings, in twips.
struct ParagraphStyle {
    uint8_t align = 0; // 0 left, 1 right, 2 centre, 3 justify
    double leftMargin = 0, rightMargin = 0, indent = 0, blockIndent = 0;
    bool bullet = false;
};

// Characters with a style each; '\n' ends a paragraph, which has its own settings.
struct StyledText {
    std::vector<uint32_t> codes;
    std::vector<uint16_t> styles; // per code, into `palette`
    std::vector<TextStyle> palette;
    std::vector<ParagraphStyle> paragraphs;
};

// Plain text: "\r\n", "\r" and "\n" end paragraphs.
StyledText FromPlainText(const std::string& text, const TextStyle& base, uint8_t align);
// A field's text with its formats; a password field shows '*' for each character.
StyledText FromDocument(const timeline::TextDocument& doc, bool password);

struct LayoutBox {
    double width = 0;  // the text area: the field's width less the gutters
    double height = 0; // lines starting below this are left out
    bool wordWrap = false;
    // Before version 8 an aligned line's trailing spaces take room like any character.
    bool alignTrailingSpaces = false;
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
    double height = 0;   // the step to the next line
    double left = 0;     // the paragraph's margin and block indent
    bool bullet = false; // a bulleted paragraph's first line
    uint16_t style = 0;  // its first glyph's, or for an empty line the break's
};

// Lines step down by the largest size on the line, the font's leading and the leading of
// the line's first style; a line's baseline lies its font's ascent below the line's top. Word wrap
// breaks after the last space that fits (or inside a word longer than the line); alignment ignores
// trailing spaces unless the box says otherwise. `extent`, when given, receives the width the lines
// take (margins included) and the height from the first line's top to below the last line's
// leading.
struct TextExtent {
    double width = 0, height = 0;
    double textWidth = 0; // the widest line without the shift its alignment gives it
};
std::vector<TextLine> LayOutText(const StyledText& text, const LayoutBox& box,
                                 const FontMeasure& measure, TextExtent* extent = nullptr);

// Between an edit text's box and its text, in twips.
const int32_t kFieldGutter = 40;

// The fonts a field's text is set in: embedded ones from the movie (by the field's own font
// or by name), else the device font through `device` (advance in 1024ths of an em).
struct FieldFonts {
    const timeline::LoadedMovie* movie = nullptr;
    const swf::Font* own = nullptr; // the definition's font, if any
    std::function<bool(const TextStyle& style, uint32_t code, double* advance)> device;
    double deviceAscent = 0, deviceDescent = 0; // per 1024 units
};
struct FieldLayout {
    StyledText styled;
    std::vector<TextLine> lines;
    TextExtent extent;
    swf::Rect box;         // the field's box, autoSize applied
    bool drawable = false; // some style has a font to draw with
};
// A field's laid-out text as scripts read it, in pixels and lines (scroll positions count
// from 1).
struct FieldMetrics {
    double width = 0, height = 0;       // textWidth, textHeight, in twentieths of a pixel
    double ascent = 0, descent = 0;     // of the first line
    double boxWidth = 0, boxHeight = 0; // the field's box, as autoSize leaves it
    int lines = 1, maxScroll = 1, bottomScroll = 1;
    double maxHScroll = 0;
};
// Lays out a field's text inside its box: each style's font resolved (style.font set when
// embedded), lines broken, the box fitted when the field sizes itself.
void LayOutField(const timeline::TextFieldState& field, const FieldFonts& fonts, FieldLayout* out);
// A character's advance in twips in its resolved style.
double Advance(const FieldFonts& fonts, bool embedFonts, uint32_t code, const TextStyle& style);

} // namespace render
