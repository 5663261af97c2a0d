// What an edit text holds: its characters with a format per run, as Flash keeps them, and
// the field's own settings. Flash's HTML markup goes in (ParseHtml) and comes back out
// (ToHtml) as Flash writes it; scripts format ranges (GetFormat/SetFormat) and replace text.
// Positions count characters (code points); '\r' ends a paragraph.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "player/core/swf/characters.h"
#include "player/core/swf/records.h"

namespace timeline {

// Beyond these a field's text or markup is cut: far more than any box shows.
const size_t kMaxFieldChars = 1u << 20;
const size_t kMaxTabStops = 64;
// Format runs beyond this many merge into the last one (a span holds a whole format).
const size_t kMaxSpans = 16384;

// A format as scripts see it: every property may be unset (null in a TextFormat object;
// mixed across a range read back; left alone when applied).
struct TextFormat {
    std::optional<std::string> font, url, target;
    std::optional<double> size, leftMargin, rightMargin, indent, blockIndent, leading,
        letterSpacing;
    std::optional<uint32_t> color; // 0xAARRGGBB as given
    std::optional<uint8_t> align;  // 0 left, 1 right, 2 centre, 3 justify
    std::optional<bool> bold, italic, underline, kerning, bullet;
    std::optional<std::vector<double>> tabStops;

    // Unset wherever `o` differs.
    void KeepCommon(const TextFormat& o);
    // Fills what this leaves unset from `o`.
    void FillFrom(const TextFormat& o);
};

// A run's format, every property set.
struct SpanFormat {
    std::string font;
    double size = 12;
    uint32_t color = 0;
    double letterSpacing = 0;
    bool kerning = false;
    bool bold = false, italic = false, underline = false;
    uint8_t align = 0;
    double leftMargin = 0, rightMargin = 0, indent = 0, blockIndent = 0, leading = 0;
    std::vector<double> tabStops;
    bool bullet = false;
    std::string url, target;

    void Apply(const TextFormat& f);
    TextFormat ToFormat() const;
    bool SameFont(const SpanFormat& o) const {
        return font == o.font && size == o.size && (color & 0xFFFFFF) == (o.color & 0xFFFFFF) &&
               letterSpacing == o.letterSpacing && kerning == o.kerning;
    }
    bool operator==(const SpanFormat& o) const;
    bool operator!=(const SpanFormat& o) const { return !(*this == o); }
};

struct TextSpan {
    size_t length = 0;
    SpanFormat format;
};

class TextDocument {
  public:
    const std::u32string& text() const { return text_; }
    const std::vector<TextSpan>& spans() const { return spans_; }
    const TextFormat& defaultFormat() const { return default_; }
    // setNewTextFormat: what later text takes.
    void SetDefaultFormat(const TextFormat& f);

    // The whole text, plain, in the default format; '\r' and '\n' each end a paragraph, kept as
    // '\r'.
    void SetPlain(const std::u32string& text);
    // Flash's markup. A field that is not multiline keeps no <p>/<li>/<br> breaks; below
    // version 8 text of nothing but spaces between tags is dropped.
    void ParseHtml(const std::string& html, bool multiline, bool condenseWhite, int version);
    std::string ToHtml() const;
    // The common format of [from, to); nothing set for an empty range past the end.
    TextFormat GetFormat(size_t from, size_t to) const;
    void SetFormat(size_t from, size_t to, const TextFormat& f);
    // [from, to) becomes `with`, in `format` when given, else the format of what followed
    // the range (the default format at the end).
    void Replace(size_t from, size_t to, const std::u32string& with,
                 const TextFormat* format = nullptr);
    // The format a run of every character ends in: colours of the whole text (textColor).
    void SetColor(uint32_t rgb);

  private:
    void SplitAt(size_t pos);
    // Span index range covering [from, to) after SplitAt both ends.
    void SpanRange(size_t from, size_t to, size_t* first, size_t* last) const;
    void Normalize();

    std::u32string text_;
    std::vector<TextSpan> spans_;
    TextFormat default_;
};

// An edit text's state on stage (the display object's per-kind record).
struct TextFieldState {
    TextDocument doc;
    swf::Rect bounds; // the field's box in its own twips; autoSize and _width change it
    bool border = false, background = false;
    uint32_t borderColor = 0x000000, backgroundColor = 0xFFFFFF;
    bool html = false, multiline = false, wordWrap = false, password = false;
    bool selectable = true, editable = false, embedFonts = false, condenseWhite = false;
    bool mouseWheelEnabled = true;
    uint8_t autoSize = 0; // none, left, right, centre
    bool advancedAntiAlias = false;
    uint8_t gridFit = 1; // none, pixel, subpixel
    double sharpness = 0, thickness = 0;
    int32_t maxChars = 0; // 0: no limit
    int32_t scroll = 1, hscroll = 0;
    std::string variable, restrict_;
    std::string htmlSource; // the markup last set, for a field with a style sheet
};

// The state a placed field starts in, from its definition and its font (null when none).
void InitField(const swf::EditText& def, const swf::Font* font, int version, TextFieldState* out);

// UTF-8 to code points and back, through the engine's one codec (swf/utf8.h).
std::u32string DecodeUtf8(const std::string& s, size_t limit = kMaxFieldChars);
std::string EncodeUtf8(const std::u32string& s);
std::string EncodeUtf8(const char32_t* s, size_t n);
// A number as Flash writes it into markup (no trailing zeros).
std::string FormatNumber(double v);

} // namespace timeline
