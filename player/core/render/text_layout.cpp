#include "player/core/render/text_layout.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cmath>
#include <cstring>

#include "player/core/swf/utf8.h"

namespace render {

namespace {

// Beyond these a field's text is cut: far more than any box shows.
const size_t kMaxCodes = timeline::kMaxFieldChars;
const size_t kMaxStyles = 256;

// Styles come in runs, so the last one is tried first; a text with many distinct styles
// scans a palette of bounded size.
void Add(StyledText* out, uint32_t code, const TextStyle& style) {
    if (out->codes.size() >= kMaxCodes) {
        return;
    }
    size_t k = out->styles.empty() ? 0 : out->styles.back();
    if (k >= out->palette.size() || !(out->palette[k] == style)) {
        k = 0;
        while (k < out->palette.size() && !(out->palette[k] == style)) {
            ++k;
        }
        if (k == out->palette.size()) {
            if (k >= kMaxStyles) {
                k = 0;
            } else {
                out->palette.push_back(style);
            }
        }
    }
    out->codes.push_back(code);
    out->styles.push_back(static_cast<uint16_t>(k));
}

int32_t Twips(double px) {
    return static_cast<int32_t>(std::max(-1e7, std::min(std::round(px * 20), 1e7)));
}

TextStyle StyleOf(const timeline::SpanFormat& f) {
    TextStyle t;
    t.face = f.font;
    t.size = std::max(0, Twips(f.size));
    t.color = swf::Rgba{uint8_t(f.color >> 16), uint8_t(f.color >> 8), uint8_t(f.color), 255};
    t.leading = Twips(f.leading);
    t.letterSpacing = Twips(f.letterSpacing);
    t.bold = f.bold;
    t.italic = f.italic;
    t.underline = f.underline;
    return t;
}

ParagraphStyle ParagraphOf(const timeline::SpanFormat& f) {
    ParagraphStyle p;
    p.align = f.align & 3;
    p.leftMargin = Twips(f.leftMargin);
    p.rightMargin = Twips(f.rightMargin);
    p.indent = Twips(f.indent);
    p.blockIndent = Twips(f.blockIndent);
    p.bullet = f.bullet;
    return p;
}

} // namespace

StyledText FromPlainText(const std::string& text, const TextStyle& base, uint8_t align) {
    StyledText out;
    out.palette.push_back(base);
    ParagraphStyle p;
    p.align = align;
    out.paragraphs.push_back(p);
    const std::u32string codes = timeline::DecodeUtf8(text, kMaxCodes);
    for (size_t i = 0; i < codes.size(); ++i) {
        if (codes[i] == '\r' || codes[i] == '\n') {
            Add(&out, '\n', base);
            out.paragraphs.push_back(p);
            i += codes[i] == '\r' && i + 1 < codes.size() && codes[i + 1] == '\n';
        } else {
            Add(&out, codes[i], base);
        }
    }
    return out;
}

StyledText FromDocument(const timeline::TextDocument& doc, bool password) {
    StyledText out;
    const std::u32string& text = doc.text();
    out.codes.reserve(text.size());
    out.styles.reserve(text.size());
    bool paragraphStart = true;
    size_t at = 0;
    for (const timeline::TextSpan& span : doc.spans()) {
        const TextStyle style = StyleOf(span.format);
        for (size_t k = at; k < at + span.length && k < text.size(); ++k) {
            if (paragraphStart) {
                out.paragraphs.push_back(ParagraphOf(span.format));
                paragraphStart = false;
            }
            const bool end = text[k] == '\r' || text[k] == '\n';
            Add(&out, end ? '\n' : password ? '*' : text[k], style);
            paragraphStart = end;
        }
        at += span.length;
    }
    if (out.palette.empty()) {
        const timeline::SpanFormat f =
            doc.spans().empty() ? timeline::SpanFormat() : doc.spans().front().format;
        out.palette.push_back(StyleOf(f));
    }
    if (paragraphStart) {
        const timeline::SpanFormat f =
            doc.spans().empty() ? timeline::SpanFormat() : doc.spans().back().format;
        out.paragraphs.push_back(ParagraphOf(f));
    }
    return out;
}

std::vector<TextLine> LayOutText(const StyledText& text, const LayoutBox& box,
                                 const FontMeasure& measure, TextExtent* extent) {
    TextExtent seen;
    std::vector<TextLine> lines;
    const size_t n = text.codes.size();
    std::vector<double> advance(n, 0);
    for (size_t k = 0; k < n; ++k) {
        if (text.codes[k] != '\n') {
            const TextStyle& style = text.palette[text.styles[k]];
            advance[k] = measure.advance(text.codes[k], style) + style.letterSpacing;
        }
    }
    std::vector<double> ascent(text.palette.size()), leading(text.palette.size());
    for (size_t s = 0; s < text.palette.size(); ++s) {
        measure.heights(text.palette[s], &ascent[s], &leading[s]);
    }
    double top = 0;
    size_t start = 0, paragraph = 0;
    bool firstLine = true;
    while (lines.size() < 4096 && top <= box.height) {
        size_t end = start;
        while (end < n && text.codes[end] != '\n') {
            ++end;
        }
        const ParagraphStyle para =
            paragraph < text.paragraphs.size() ? text.paragraphs[paragraph] : ParagraphStyle();
        const uint8_t align = para.align;
        // A bullet's text stands a fixed step in from its margin.
        const double bulletStep = para.bullet ? 720 : 0;
        do {
            const double left =
                para.leftMargin + para.blockIndent + bulletStep + (firstLine ? para.indent : 0);
            const double room = box.width - left - para.rightMargin;
            size_t j = start, lastSpace = SIZE_MAX;
            double x = 0;
            for (; j < end; ++j) {
                if (box.wordWrap && j > start && text.codes[j] != ' ' && x + advance[j] > room) {
                    if (lastSpace != SIZE_MAX) {
                        j = lastSpace + 1;
                    }
                    break;
                }
                if (text.codes[j] == ' ') {
                    lastSpace = j;
                }
                x += advance[j];
            }
            TextLine line;
            double width = 0, pen = 0, size = 0, lead = 0;
            for (size_t k = start; k < j; ++k) {
                line.glyphs.push_back(PlacedGlyph{text.codes[k], text.styles[k], pen, advance[k]});
                pen += advance[k];
                if (text.codes[k] != ' ' || box.alignTrailingSpaces) {
                    width = pen;
                }
            }
            // Heights come from the line's glyphs, or for an empty line from the style
            // of the break that ends it.
            std::vector<uint16_t> used;
            for (const PlacedGlyph& g : line.glyphs) {
                used.push_back(g.style);
            }
            if (used.empty()) {
                used.push_back(start < n             ? text.styles[start]
                               : text.styles.empty() ? 0
                                                     : text.styles.back());
            }
            for (uint16_t s : used) {
                size = std::max(size, double(text.palette[s].size));
                lead = std::max(lead, leading[s]);
            }
            double baseline = 0;
            for (uint16_t s : used) {
                baseline = std::max(baseline, size - text.palette[s].size + ascent[s]);
            }
            double shift = align == 1 ? room - width : align == 2 ? (room - width) / 2 : 0;
            shift = left + std::max(0.0, shift);
            // Justified lines but a paragraph's last spread the spare room over their
            // inner spaces.
            size_t spaces = 0;
            for (const PlacedGlyph& g : line.glyphs) {
                spaces += g.code == ' ' && g.x < width;
            }
            const double spread = align == 3 && j < end && spaces > 0 && room > width
                                      ? (room - width) / double(spaces)
                                      : 0;
            double gap = 0;
            for (PlacedGlyph& g : line.glyphs) {
                const bool inner = g.code == ' ' && g.x < width;
                g.x += shift + gap;
                gap += inner ? spread : 0;
            }
            // A left-aligned line's trailing spaces count in the text's width; an aligned
            // line's do not.
            const double inked = align == 0 || align == 3 ? pen : width;
            seen.width = std::max(seen.width, shift + inked + para.rightMargin);
            seen.textWidth = std::max(seen.textWidth, left + inked + para.rightMargin);
            line.bullet = para.bullet && firstLine;
            line.style = used[0];
            line.left = para.leftMargin + para.blockIndent;
            line.baseline = top + baseline;
            line.height = size + lead + text.palette[used[0]].leading;
            lines.push_back(std::move(line));
            top += line.height;
            firstLine = false;
            start = j;
        } while (start < end && lines.size() < 4096 && top <= box.height);
        if (end >= n) {
            break;
        }
        start = end + 1;
        ++paragraph;
        firstLine = true;
    }
    // The span's leading stays off the last line, unless it is the only one; no text has
    // no height.
    if (n == 0) {
        seen.height = 0;
    } else if (lines.size() > 1) {
        const TextLine& last = lines.back();
        seen.height = top - text.palette[last.style].leading;
    } else {
        seen.height = top;
    }
    if (extent != nullptr) {
        *extent = seen;
    }
    return lines;
}

namespace {

bool Usable(const swf::Font* f) {
    return f != nullptr && f->GlyphCount() != 0 && f->hasLayout;
}

double EmOf(const TextStyle& style) {
    return style.font != nullptr ? double(style.font->unitsPerEm) : 1024.0;
}

} // namespace

double Advance(const FieldFonts& fonts, bool embedFonts, uint32_t code, const TextStyle& style) {
    double advance = 0;
    if (style.font != nullptr) {
        const int gi = style.font->GlyphFor(static_cast<uint16_t>(code));
        if (gi < 0) {
            return 0;
        }
        advance = gi < static_cast<int>(style.font->advances.size()) ? style.font->advances[gi]
                                                                     : style.font->unitsPerEm * 0.6;
        // Flash keeps an embedded glyph's advance in whole twips, cut toward zero: a long line
        // comes out a pixel or two narrower than the exact sum.
        return std::trunc(advance * style.size / EmOf(style));
    } else if (embedFonts || !fonts.device || !fonts.device(style, code, &advance)) {
        return 0; // an embedded face the movie does not hold sets nothing
    }
    return advance * style.size / EmOf(style);
}

void LayOutField(const timeline::TextFieldState& field, const FieldFonts& fonts, FieldLayout* out) {
    out->styled = FromDocument(field.doc, field.password);
    out->drawable = false;
    const swf::Font* own = fonts.own;
    for (TextStyle& style : out->styled.palette) {
        style.font = nullptr;
        if (field.embedFonts) {
            const swf::Font* f = own != nullptr && own->name == style.face &&
                                         own->bold == style.bold && own->italic == style.italic
                                     ? own
                                 : fonts.movie != nullptr
                                     ? fonts.movie->FontNamed(style.face, style.bold, style.italic)
                                     : nullptr;
            if (f == nullptr && Usable(own) && own->name.empty()) {
                f = own;
            }
            // A font without layout only names a face: its text is set in the device font.
            style.font = Usable(f) ? f : nullptr;
        }
        out->drawable = out->drawable || style.font != nullptr || bool(fonts.device);
    }
    FontMeasure measure;
    measure.advance = [&](uint32_t code, const TextStyle& style) {
        return Advance(fonts, field.embedFonts, code, style);
    };
    measure.heights = [&](const TextStyle& style, double* ascent, double* leading) {
        const double scale = style.size / EmOf(style);
        if (style.font != nullptr) {
            // Whole twips, cut toward zero, as the advances.
            *ascent = std::trunc(style.font->ascent * scale);
            *leading = std::trunc(style.font->leading * scale);
        } else {
            // Device text keeps its font's whole height between lines.
            *ascent = fonts.deviceAscent * scale;
            *leading =
                std::max(0.0, (fonts.deviceAscent + fonts.deviceDescent) * scale - style.size);
        }
    };
    swf::Rect& b = out->box;
    b = field.bounds;
    LayoutBox box;
    box.width = double(b.xMax) - b.xMin - 2 * kFieldGutter;
    box.height = 1e9;
    box.wordWrap = field.wordWrap;
    box.alignTrailingSpaces = fonts.movie != nullptr && fonts.movie->version < 8;
    out->lines = LayOutText(out->styled, box, measure, &out->extent);
    // Embedded text with none of its fonts in the movie shows nothing and takes no room.
    const bool anyFont = std::any_of(out->styled.palette.begin(), out->styled.palette.end(),
                                     [](const TextStyle& s) { return s.font != nullptr; });
    if (field.embedFonts && !anyFont) {
        out->extent = TextExtent();
        out->lines.clear();
    }
    if (field.autoSize != 0) {
        // The box fits the text: its width too, unless wrapped, kept at its left, right or
        // centre as the mode says.
        auto clamp = [](double v) {
            return static_cast<int32_t>(std::max(-1e7, std::min(1e7, std::ceil(v))));
        };
        if (!field.wordWrap) {
            const int32_t w = clamp(out->extent.width + 2 * kFieldGutter);
            const int32_t old = b.xMax - b.xMin;
            if (field.autoSize == 2) {
                b.xMin = b.xMax - w;
            } else if (field.autoSize == 3) {
                b.xMin += (old - w) / 2;
                b.xMax = b.xMin + w;
            }
            b.xMax = b.xMin + w;
        }
        b.yMax = clamp(b.yMin + out->extent.height + 2 * kFieldGutter);
    }
}

} // namespace render
