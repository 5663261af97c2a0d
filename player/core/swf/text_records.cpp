// Fonts and text definitions: DefineFont 1-3 glyphs with their codes and layout,
// DefineText 1-2 glyph runs, DefineEditText's box, style and initial text.
#include "player/core/swf/characters.h"

#include <algorithm>
#include <map>

namespace swf {

namespace {

const uint32_t kMaxGlyphs = 65535;
const uint32_t kMaxTextGlyphs = 1u << 16;

bool ReadRectAt(ByteReader* r, Rect* rect) {
    BitReader bits(r->Current(), r->Remaining());
    const bool ok = ReadRect(&bits, rect);
    r->Skip(bits.BytesConsumed());
    return ok && r->Ok();
}

// The first `count` glyph outlines, each at its offset from the offset table; an offset
// named again shares the outline read the first time.
bool ReadGlyphs(const Tag& tag, size_t table, const std::vector<uint32_t>& offsets, uint32_t count,
                Font* font) {
    std::map<uint32_t, uint32_t> read; // offset -> outline
    size_t edges = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const auto known = read.find(offsets[i]);
        if (known != read.end()) {
            font->glyphOutline.push_back(known->second);
            continue;
        }
        const size_t at = table + offsets[i];
        if (at >= tag.length) {
            return false;
        }
        ByteReader g(tag.body + at, tag.length - at);
        Shape glyph;
        if (!ReadShapeRecords(&g, 1, &glyph)) {
            return false;
        }
        glyph.groups[0].fills.emplace_back(); // glyphs fill with style 1, the text colour
        glyph.nonZero = true;                 // outlines from font files wind non-zero
        edges += EdgeCount(glyph);
        if (edges > kMaxEdgesPerFont) {
            return false;
        }
        const uint32_t index = static_cast<uint32_t>(font->outlines.size());
        font->outlines.push_back(std::move(glyph));
        read.emplace(offsets[i], index);
        font->glyphOutline.push_back(index);
    }
    return true;
}

void IndexCodes(Font* font) {
    const size_t n = std::min(font->codes.size(), font->GlyphCount());
    font->byCode.clear();
    for (size_t i = 0; i < n; ++i) {
        font->byCode.emplace_back(font->codes[i], static_cast<uint16_t>(i));
    }
    std::sort(font->byCode.begin(), font->byCode.end());
}

} // namespace

size_t EdgeCount(const Font& font) {
    size_t n = 0;
    for (const Shape& s : font.outlines) {
        n += EdgeCount(s);
    }
    return n;
}

int Font::GlyphFor(uint16_t code) const {
    const auto it =
        std::lower_bound(byCode.begin(), byCode.end(), std::make_pair(code, uint16_t(0)));
    return it != byCode.end() && it->first == code ? it->second : -1;
}

bool ReadFont(const Tag& tag, int version, Font* font) {
    ByteReader r(tag.body, tag.length);
    *font = Font();
    r.U16();
    if (version == 1) {
        const size_t table = r.Position();
        const uint16_t first = r.U16();
        const uint32_t count = first / 2;
        if (!r.Ok() || count == 0) {
            return r.Ok(); // a font without glyphs (device text)
        }
        std::vector<uint32_t> offsets{first};
        for (uint32_t i = 1; i < count; ++i) {
            offsets.push_back(r.U16());
        }
        if (!r.Ok()) {
            return false;
        }
        return ReadGlyphs(tag, table, offsets, count, font);
    }
    const uint8_t flags = r.U8();
    const bool wideOffsets = (flags & 0x08) != 0;
    const bool wideCodes = (flags & 0x04) != 0;
    font->italic = (flags & 0x02) != 0;
    font->bold = (flags & 0x01) != 0;
    font->hasLayout = (flags & 0x80) != 0;
    font->unitsPerEm = version == 3 ? 20480 : 1024;
    r.U8();
    const uint8_t nameLength = r.U8();
    const uint8_t* name = r.Take(nameLength);
    if (name != nullptr) {
        font->name.assign(reinterpret_cast<const char*>(name), nameLength);
        while (!font->name.empty() && font->name.back() == '\0') {
            font->name.pop_back();
        }
    }
    const uint32_t count = r.U16();
    if (r.Ok() && count == 0) {
        return true; // a face name only (device text); no offset table need follow
    }
    const size_t table = r.Position();
    std::vector<uint32_t> offsets;
    for (uint32_t i = 0; i <= count && r.Ok(); ++i) { // the last one is the code table's
        offsets.push_back(wideOffsets ? r.U32() : r.U16());
    }
    if (!r.Ok() || count > kMaxGlyphs) {
        return false;
    }
    if (!ReadGlyphs(tag, table, offsets, count, font)) {
        return false;
    }
    const size_t codesAt = table + offsets[count];
    if (codesAt > tag.length) {
        return false;
    }
    ByteReader c(tag.body + codesAt, tag.length - codesAt);
    for (uint32_t i = 0; i < count; ++i) {
        font->codes.push_back(wideCodes ? c.U16() : c.U8());
    }
    if (font->hasLayout) {
        font->ascent = c.U16();
        font->descent = c.U16();
        font->leading = c.S16();
        for (uint32_t i = 0; i < count; ++i) {
            font->advances.push_back(c.S16());
        }
        if (!c.Ok()) {
            font->advances.clear();
            font->hasLayout = false;
        }
    }
    IndexCodes(font);
    return c.Ok() || !font->hasLayout;
}

bool ReadStaticText(const Tag& tag, int version, StaticText* text) {
    ByteReader r(tag.body, tag.length);
    *text = StaticText();
    r.U16();
    if (!ReadRectAt(&r, &text->bounds) || !ReadMatrixAt(&r, &text->matrix)) {
        return false;
    }
    const unsigned glyphBits = r.U8();
    const unsigned advanceBits = r.U8();
    TextRun current;
    uint32_t total = 0;
    int32_t x = 0;
    for (;;) {
        const uint8_t flags = r.U8();
        if (!r.Ok()) {
            return false;
        }
        if (flags == 0) {
            break;
        }
        TextRun run = current;
        run.glyphs.clear();
        if (flags & 0x08) {
            run.fontId = r.U16();
        }
        if (flags & 0x04) {
            run.color = version >= 2 ? ReadRgba(&r) : ReadRgb(&r);
        }
        if (flags & 0x01) {
            x = r.S16();
        }
        if (flags & 0x02) {
            run.y = r.S16();
        }
        if (flags & 0x08) {
            run.height = r.U16();
        }
        run.x = x;
        const unsigned count = r.U8();
        BitReader bits(r.Current(), r.Remaining());
        for (unsigned i = 0; i < count; ++i) {
            GlyphEntry g;
            g.index = bits.UB(glyphBits);
            g.advance = bits.SB(advanceBits);
            x = AddTwips(x, g.advance);
            run.glyphs.push_back(g);
        }
        r.Skip(bits.BytesConsumed());
        total += count;
        if (!bits.Ok() || !r.Ok() || total > kMaxTextGlyphs) {
            return false;
        }
        current = run;
        text->runs.push_back(std::move(run));
    }
    return true;
}

bool ReadEditText(const Tag& tag, EditText* t) {
    ByteReader r(tag.body, tag.length);
    *t = EditText();
    r.U16();
    if (!ReadRectAt(&r, &t->bounds)) {
        return false;
    }
    const uint8_t f1 = r.U8();
    const uint8_t f2 = r.U8();
    const bool hasText = (f1 & 0x80) != 0;
    t->wordWrap = (f1 & 0x40) != 0;
    t->multiline = (f1 & 0x20) != 0;
    t->password = (f1 & 0x10) != 0;
    t->hasFont = (f1 & 0x01) != 0;
    t->autoSize = (f2 & 0x40) != 0;
    t->border = (f2 & 0x08) != 0;
    t->html = (f2 & 0x02) != 0;
    t->useOutlines = (f2 & 0x01) != 0;
    t->readOnly = (f1 & 0x08) != 0;
    t->noSelect = (f2 & 0x10) != 0;
    t->hasColor = (f1 & 0x04) != 0;
    t->hasLayout = (f2 & 0x20) != 0;
    if (t->hasFont) {
        t->fontId = r.U16();
    }
    if (f2 & 0x80) {
        t->fontClass = r.String();
    }
    if (t->hasFont || (f2 & 0x80)) {
        t->height = r.U16();
    }
    if (f1 & 0x04) {
        t->color = ReadRgba(&r);
    }
    if (f1 & 0x02) {
        t->maxLength = r.U16();
    }
    if (f2 & 0x20) {
        t->align = r.U8();
        t->leftMargin = r.U16();
        t->rightMargin = r.U16();
        t->indent = r.U16();
        t->leading = r.S16();
    }
    t->variable = r.String();
    if (hasText) {
        t->text = r.String();
    }
    return r.Ok();
}

} // namespace swf
