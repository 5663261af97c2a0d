// Definition tags read into plain data: shapes, morph shapes, fonts, static and edit text,
// buttons. Each reader takes the tag's body and fails (false) on a damaged one, which the
// caller then skips.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "player/core/swf/display_tags.h"
#include "player/core/swf/records.h"

namespace swf {

enum TagCode : uint16_t {
    kTagDefineShape = 2,
    kTagPlaceObject = 4,
    kTagRemoveObject = 5,
    kTagDefineBits = 6,
    kTagDefineButton = 7,
    kTagJpegTables = 8,
    kTagDefineFont = 10,
    kTagDefineText = 11,
    kTagDoAction = 12,
    kTagDefineBitsLossless = 20,
    kTagDefineBitsJpeg2 = 21,
    kTagDefineShape2 = 22,
    kTagDefineButtonCxform = 23,
    kTagPlaceObject2 = 26,
    kTagRemoveObject2 = 28,
    kTagDefineShape3 = 32,
    kTagDefineText2 = 33,
    kTagDefineButton2 = 34,
    kTagDefineBitsJpeg3 = 35,
    kTagDefineBitsLossless2 = 36,
    kTagDefineEditText = 37,
    kTagDefineSprite = 39,
    kTagFrameLabel = 43,
    kTagDefineMorphShape = 46,
    kTagDefineFont2 = 48,
    kTagDoInitAction = 59,
    kTagPlaceObject3 = 70,
    kTagDefineFont3 = 75,
    kTagDefineShape4 = 83,
    kTagDefineMorphShape2 = 84,
};

// Reads the character id at the start of any definition tag; 0 when too short.
uint16_t DefinitionId(const Tag& tag);

// DefineShape 1-4: `version` from the tag code.
bool ReadShape(const Tag& tag, int version, Shape* shape);
size_t EdgeCount(const Shape& shape);

// DefineMorphShape 1-2: the start and end shapes hold the same edges in the same order,
// and the same number of styles.
struct MorphShape {
    Shape start, end;
};
bool ReadMorphShape(const Tag& tag, MorphShape* morph);
// The shape at `ratio` (0..65535) between start and end.
Shape InterpolateMorph(const MorphShape& morph, uint16_t ratio);

struct Font {
    std::string name;
    bool bold = false, italic = false;
    int unitsPerEm = 1024; // DefineFont3 works in twentieths
    // Glyphs whose offsets name the same outline share it: it is read once.
    std::vector<Shape> outlines;
    std::vector<uint32_t> glyphOutline; // per glyph, into `outlines`
    std::vector<uint16_t> codes;        // character per glyph (DefineFont2/3)
    std::vector<int16_t> advances;      // per glyph, in font units (with layout)
    int ascent = 0, descent = 0, leading = 0;
    bool hasLayout = false;
    size_t GlyphCount() const { return glyphOutline.size(); }
    const Shape& Glyph(size_t i) const { return outlines[glyphOutline[i]]; }
    int GlyphFor(uint16_t code) const; // -1 when the font has none; the first glyph wins
    // Glyphs by code, for GlyphFor: (code, glyph) sorted; built by ReadFont.
    std::vector<std::pair<uint16_t, uint16_t>> byCode;
};
// Edges of all the outlines a font holds.
size_t EdgeCount(const Font& font);
// DefineFont (1), DefineFont2 (2) or DefineFont3 (3).
bool ReadFont(const Tag& tag, int version, Font* font);

struct GlyphEntry {
    uint32_t index = 0;
    int32_t advance = 0; // twips
};
struct TextRun {
    uint16_t fontId = 0;
    Rgba color;
    int32_t x = 0, y = 0; // twips, the run's first glyph origin
    uint16_t height = 0;  // twips
    std::vector<GlyphEntry> glyphs;
};
struct StaticText {
    Rect bounds;
    Matrix matrix;
    std::vector<TextRun> runs;
};
// DefineText (1) or DefineText2 (2).
bool ReadStaticText(const Tag& tag, int version, StaticText* text);

struct EditText {
    Rect bounds;
    bool wordWrap = false, multiline = false, password = false, border = false;
    bool html = false, useOutlines = false, autoSize = false, hasFont = false;
    bool readOnly = false, noSelect = false, hasColor = false, hasLayout = false;
    uint16_t fontId = 0;
    uint16_t maxLength = 0; // 0: none
    std::string fontClass;  // a font named rather than given by id
    uint16_t height = 240;  // twips
    Rgba color;
    uint8_t align = 0; // left, right, centre, justify
    uint16_t leftMargin = 0, rightMargin = 0, indent = 0;
    int16_t leading = 0;
    std::string variable;
    std::string text;
};
bool ReadEditText(const Tag& tag, EditText* text);

// A byte range holding script actions, kept for the interpreter.
struct ActionBytes {
    const uint8_t* data = nullptr;
    uint32_t size = 0;
};

struct ButtonRecord {
    uint8_t states = 0; // 1 up, 2 over, 4 down, 8 hit test
    uint16_t characterId = 0;
    uint16_t depth = 0;
    Matrix matrix;
    ColorTransform cxform;
    uint8_t blendMode = 0;
    std::vector<Filter> filters;
};
struct ButtonCondAction {
    uint16_t conditions = 0; // the BUTTONCONDACTION flags; DefineButton's actions: 0x0008
    ActionBytes actions;
};
struct Button {
    std::vector<ButtonRecord> records;
    std::vector<ButtonCondAction> actions;
};
// DefineButton (1) or DefineButton2 (2).
bool ReadButton(const Tag& tag, int version, Button* button);

} // namespace swf
