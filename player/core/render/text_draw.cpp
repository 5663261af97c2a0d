// Text on the canvas: static text runs through their fonts' glyphs, and edit text laid out
// from its initial text (HTML reduced to plain text) with embedded or device outlines,
// with its frame.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string>

#include "player/core/render/renderer.h"

namespace render {

namespace {

const int32_t kGutter = 40; // twips between an edit text's box and its text

Transform Translate(double x, double y) {
    Transform t;
    t.tx = x;
    t.ty = y;
    return t;
}

Transform Scaling(double s) {
    Transform t;
    t.a = t.d = s;
    return t;
}

// Characters of a text as code points: UTF-8, with bytes that are not UTF-8 taken as
// Latin-1 (the older movies' encoding).
std::vector<uint32_t> Decode(const std::string& s) {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < s.size();) {
        const uint8_t c = static_cast<uint8_t>(s[i]);
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        uint32_t cp = extra == 3 ? c & 7 : extra == 2 ? c & 15 : extra == 1 ? c & 31 : c;
        bool ok = c < 0x80 || extra > 0;
        for (int k = 1; k <= extra && ok; ++k) {
            if (i + k >= s.size() || (static_cast<uint8_t>(s[i + k]) & 0xC0) != 0x80) {
                ok = false;
            } else {
                cp = (cp << 6) | (static_cast<uint8_t>(s[i + k]) & 0x3F);
            }
        }
        if (!ok) {
            out.push_back(c);
            ++i;
        } else {
            out.push_back(cp);
            i += extra + 1;
        }
    }
    return out;
}

// The text an HTML edit text shows: tags dropped, paragraph ends and breaks as new
// lines, the common entities decoded.
std::string PlainText(const std::string& html) {
    std::string out;
    for (size_t i = 0; i < html.size();) {
        if (html[i] == '<') {
            const size_t end = html.find('>', i);
            if (end == std::string::npos) {
                break;
            }
            std::string tag = html.substr(i + 1, end - i - 1);
            for (char& ch : tag) {
                ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            }
            if (tag == "br" || tag == "br/" || tag == "/p" || tag == "br /") {
                out += '\n';
            }
            i = end + 1;
        } else if (html[i] == '&') {
            static const char* names[][2] = {{"&amp;", "&"},   {"&lt;", "<"},   {"&gt;", ">"},
                                             {"&quot;", "\""}, {"&apos;", "'"}, {"&nbsp;", " "}};
            bool matched = false;
            for (auto& n : names) {
                if (html.compare(i, std::strlen(n[0]), n[0]) == 0) {
                    out += n[1];
                    i += std::strlen(n[0]);
                    matched = true;
                    break;
                }
            }
            if (!matched) {
                out += html[i++];
            }
        } else {
            out += html[i++];
        }
    }
    if (!out.empty() && out.back() == '\n') {
        out.pop_back();
    }
    return out;
}

} // namespace

void Renderer::DrawStaticText(const swf::StaticText& text, const Transform& m,
                              const swf::ColorTransform& cx, const Canvas& canvas) {
    const Transform base = m * Transform::From(text.matrix);
    for (const swf::TextRun& run : text.runs) {
        const swf::Font* font = movie_->dictionary.FindFont(run.fontId);
        if (font == nullptr) {
            continue;
        }
        const Paint paint = SolidPaint(run.color, cx);
        const double size = double(run.height) / font->unitsPerEm;
        double x = run.x;
        for (const swf::GlyphEntry& g : run.glyphs) {
            if (g.index < font->glyphs.size()) {
                const Transform t = base * Translate(x, run.y) * Scaling(size);
                DrawShape(Prepared(&font->glyphs[g.index]), t, cx, context_, canvas, &ras_, &paint);
            }
            x += g.advance;
        }
    }
}

void Renderer::DrawEditText(const swf::EditText& text, const Transform& m,
                            const swf::ColorTransform& cx, const Canvas& canvas) {
    const swf::Rect& b = text.bounds;
    if (text.border) {
        // The frame is a hairline through the box's corners: on an unrotated box it lands
        // on whole pixels, its right and bottom sides just outside the box.
        swf::Rect r = b;
        Transform frame = m;
        int32_t t = static_cast<int32_t>(std::lround(1.0 / std::max(1e-6, m.Scale())));
        if (m.b == 0 && m.c == 0 && m.a > 0 && m.d > 0) {
            double x0, y0, x1, y1;
            m.Apply(b.xMin, b.yMin, &x0, &y0);
            m.Apply(b.xMax, b.yMax, &x1, &y1);
            auto snap = [](double v) {
                return static_cast<int32_t>(std::max(-1e6, std::min(1e6, std::floor(v + 0.5))));
            };
            r = swf::Rect{snap(x0), snap(x1), snap(y0), snap(y1)};
            frame = Transform();
            t = 1;
        }
        FillRect(r, frame, SolidPaint(swf::Rgba{255, 255, 255, 255}, cx), canvas);
        const Paint black = SolidPaint(swf::Rgba{0, 0, 0, 255}, cx);
        FillRect(swf::Rect{r.xMin, r.xMax + t, r.yMin, r.yMin + t}, frame, black, canvas);
        FillRect(swf::Rect{r.xMax, r.xMax + t, r.yMin + t, r.yMax}, frame, black, canvas);
        FillRect(swf::Rect{r.xMin, r.xMax, r.yMax, r.yMax + t}, frame, black, canvas);
        FillRect(swf::Rect{r.xMin, r.xMin + t, r.yMin + t, r.yMax}, frame, black, canvas);
    }
    const std::string plain = text.html ? PlainText(text.text) : text.text;
    if (plain.empty()) {
        return;
    }
    const swf::Font* font = text.hasFont ? movie_->dictionary.FindFont(text.fontId) : nullptr;
    const bool embedded = font != nullptr && text.useOutlines && !font->glyphs.empty();
    if (!embedded && !deviceSource_) {
        return;
    }
    const double size = embedded ? double(text.height) / font->unitsPerEm : text.height / 1024.0;
    const double ascent = embedded
                              ? (font->hasLayout ? font->ascent : font->unitsPerEm * 0.8) * size
                              : deviceMetrics_.ascent * size;
    const double descent = embedded
                               ? (font->hasLayout ? font->descent : font->unitsPerEm * 0.2) * size
                               : deviceMetrics_.descent * size;
    const bool bold = font != nullptr && font->bold, italic = font != nullptr && font->italic;
    const std::string fontName = font != nullptr ? font->name : "_sans";

    struct Placed {
        const swf::Shape* glyph;
        double x;
    };
    auto glyphFor = [&](uint32_t code, double* advance) -> const swf::Shape* {
        if (embedded) {
            const int gi = font->GlyphFor(static_cast<uint16_t>(code));
            if (gi < 0) {
                *advance = 0;
                return nullptr;
            }
            *advance = gi < static_cast<int>(font->advances.size()) ? font->advances[gi] * size
                                                                    : text.height * 0.6;
            return &font->glyphs[gi];
        }
        const uint64_t key = (uint64_t(code) << 2) | (bold ? 1 : 0) | (italic ? 2 : 0);
        auto it = deviceGlyphs_.find(key);
        if (it == deviceGlyphs_.end()) {
            DeviceGlyph dg;
            std::unique_ptr<swf::Shape> s;
            if (deviceSource_(fontName.c_str(), bold, italic, code, &dg)) {
                s.reset(new swf::Shape);
                s->groups.emplace_back();
                s->groups[0].fills.emplace_back();
                s->nonZero = true;
                s->groups[0].edges = std::move(dg.edges);
                s->bounds.xMax = dg.advance; // the advance rides along in the bounds
            }
            it = deviceGlyphs_.emplace(key, std::move(s)).first;
        }
        if (!it->second) {
            *advance = 0;
            return nullptr;
        }
        *advance = it->second->bounds.xMax * size;
        return it->second.get();
    };

    const Paint paint = SolidPaint(text.color, cx);
    const double left = b.xMin + kGutter + text.leftMargin;
    const double right = b.xMax - kGutter - text.rightMargin;
    double y = b.yMin + kGutter + ascent;
    const double lineStep = ascent + descent + text.leading;
    std::vector<uint32_t> codes = Decode(plain);
    size_t i = 0;
    int lines = 0;
    while (i <= codes.size() && lines < 1000) {
        // One line: up to a break, or (word wrap) the last space that fits.
        std::vector<Placed> line;
        double x = 0;
        size_t lastSpace = 0;
        size_t lastSpaceCount = 0;
        size_t j = i;
        for (; j < codes.size(); ++j) {
            const uint32_t c = codes[j];
            if (c == '\n' || c == '\r') {
                break;
            }
            double adv = 0;
            const swf::Shape* g = glyphFor(text.password ? '*' : c, &adv);
            if (text.wordWrap && x + adv > right - left && !line.empty() && c != ' ') {
                // Back to the last space that fits, or break before this character.
                if (lastSpace > i) {
                    line.resize(lastSpaceCount);
                    j = lastSpace + 1;
                }
                --j;
                break;
            }
            if (c == ' ') {
                lastSpace = j;
                lastSpaceCount = line.size();
            }
            line.push_back(Placed{g, x});
            x += adv;
        }
        double width = line.empty() ? 0 : x;
        double start = left + text.indent * (lines == 0 ? 1 : 0);
        if (text.align == 1) {
            start = right - width;
        } else if (text.align == 2) {
            start = left + (right - left - width) / 2;
        }
        for (const Placed& p : line) {
            if (p.glyph != nullptr) {
                const Transform t = m * Translate(start + p.x, y) * Scaling(size);
                DrawShape(Prepared(p.glyph), t, cx, context_, canvas, &ras_, &paint);
            }
        }
        ++lines;
        y += lineStep;
        if (j >= codes.size()) {
            break;
        }
        i = j + 1;
        if (codes[j] == '\r' && i < codes.size() && codes[i] == '\n') {
            ++i;
        }
    }
}

} // namespace render
