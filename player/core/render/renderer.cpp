#include "player/core/render/renderer.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string>

#include "player/core/render/filters.h"

namespace render {

namespace {

const int kMaxDrawNesting = 64;
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

struct Renderer::ActiveMask {
    uint16_t clipDepth = 0;
    std::vector<uint8_t> coverage;
};

Renderer::Renderer() {
    bitmaps_ = [this](uint16_t id) {
        return movie_ != nullptr ? movie_->dictionary.FindBitmap(id) : nullptr;
    };
}
Renderer::~Renderer() = default;

void Renderer::Clear() {
    prepared_.clear();
    morphs_.clear();
}

void Renderer::SetDeviceGlyphs(DeviceGlyphSource source, DeviceFontMetrics metrics) {
    deviceSource_ = std::move(source);
    deviceMetrics_ = metrics;
    deviceGlyphs_.clear();
}

const PreparedShape& Renderer::Prepared(const swf::Shape* shape) {
    auto it = prepared_.find(shape);
    if (it == prepared_.end()) {
        it = prepared_.emplace(shape, PreparedShape()).first;
        PrepareShape(*shape, &it->second);
    }
    return it->second;
}

void Renderer::Draw(const timeline::LoadedMovie& movie, const timeline::Clip& root,
                    const Canvas& canvas, const Transform& view, double scale) {
    if (movie_ != &movie) {
        Clear();
        movie_ = &movie;
    }
    scale_ = scale;
    DrawClip(root, view, swf::ColorTransform(), canvas, 0);
}

void Renderer::DrawClip(const timeline::Clip& clip, const Transform& m,
                        const swf::ColorTransform& cx, const Canvas& canvas, int nesting) {
    if (nesting > kMaxDrawNesting) {
        return;
    }
    std::vector<ActiveMask> masks;
    for (const auto& entry : clip.objects) {
        const timeline::DisplayObject& o = entry.second;
        while (!masks.empty() && o.depth > masks.back().clipDepth) {
            masks.pop_back();
        }
        Canvas c = canvas;
        if (!masks.empty()) {
            c.mask = masks.back().coverage.data();
        }
        if (o.clipDepth != 0) {
            if (canvas.coverage != nullptr) {
                continue; // a mask inside a mask's own drawing adds nothing
            }
            ActiveMask mask;
            mask.clipDepth = o.clipDepth;
            mask.coverage.assign(size_t(canvas.width) * canvas.height, 0);
            Canvas mc = c;
            mc.pixels = nullptr;
            mc.coverage = mask.coverage.data();
            mc.stride = canvas.width;
            DrawObject(o, m, swf::ColorTransform(), mc, nesting);
            masks.push_back(std::move(mask));
            continue;
        }
        DrawObject(o, m, cx, c, nesting);
    }
}

void Renderer::DrawObject(const timeline::DisplayObject& o, const Transform& parent,
                          const swf::ColorTransform& parentCx, const Canvas& canvas, int nesting) {
    const Transform m = parent * Transform::From(o.matrix);
    const swf::ColorTransform cx = o.cxform.Then(parentCx);
    const bool normal = o.blend == swf::BlendMode::Normal || o.blend == swf::BlendMode::Layer;
    if (canvas.coverage != nullptr || (normal && o.filters.empty())) {
        DrawCharacter(o, m, cx, canvas, nesting);
        return;
    }
    std::vector<uint32_t> pixels(size_t(canvas.width) * canvas.height, 0);
    Canvas layer{pixels.data(), nullptr, canvas.width, canvas.height, canvas.width, nullptr};
    // A filtered object lands half a pixel right and down of where it would without the
    // filter, as in the reference player, whose filter surfaces start on whole pixels.
    const Transform placed = o.filters.empty() ? m : Translate(0.5, 0.5) * m;
    DrawCharacter(o, placed, cx, layer, nesting);
    PixelBox box = ContentBox(layer);
    ApplyFilters(o.filters, scale_, &layer, &box);
    if (!box.Empty()) {
        Composite(layer, box, o.blend, canvas);
    }
}

void Renderer::FillRect(const swf::Rect& r, const Transform& m, const Paint& paint,
                        const Canvas& canvas) {
    double xy[8];
    m.Apply(r.xMin, r.yMin, &xy[0], &xy[1]);
    m.Apply(r.xMax, r.yMin, &xy[2], &xy[3]);
    m.Apply(r.xMax, r.yMax, &xy[4], &xy[5]);
    m.Apply(r.xMin, r.yMax, &xy[6], &xy[7]);
    ras_.Begin(canvas.width, canvas.height, true);
    ras_.Polygon(xy, 4);
    ras_.Fill(canvas, paint);
}

void Renderer::DrawCharacter(const timeline::DisplayObject& o, const Transform& m,
                             const swf::ColorTransform& cx, const Canvas& canvas, int nesting) {
    const timeline::Character* ch = o.character;
    if (ch == nullptr) {
        return;
    }
    switch (ch->kind) {
    case timeline::Kind::Shape:
        DrawShape(Prepared(ch->shape.get()), m, cx, bitmaps_, canvas, &ras_);
        break;
    case timeline::Kind::Morph: {
        MorphCache& cache = morphs_[ch->morph.get()];
        if (!cache.shape || cache.ratio != o.ratio) {
            cache.shape.reset(new swf::Shape(swf::InterpolateMorph(*ch->morph, o.ratio)));
            cache.ratio = o.ratio;
            PrepareShape(*cache.shape, &cache.prepared);
        }
        DrawShape(cache.prepared, m, cx, bitmaps_, canvas, &ras_);
        break;
    }
    case timeline::Kind::Bitmap: {
        const swf::Bitmap& b = *ch->bitmap;
        swf::FillStyle fill;
        fill.kind = swf::FillKind::Bitmap;
        fill.bitmapId = ch->id;
        fill.repeat = false;
        fill.smooth = false;
        fill.matrix.scaleX = fill.matrix.scaleY = 20 << 16;
        Paint paint;
        if (MakePaint(fill, m, cx, &b, &paint)) {
            FillRect(swf::Rect{0, b.width * 20, 0, b.height * 20}, m, paint, canvas);
        }
        break;
    }
    case timeline::Kind::Text:
        DrawStaticText(*ch->text, m, cx, canvas);
        break;
    case timeline::Kind::EditText:
        DrawEditText(*ch->editText, m, cx, canvas);
        break;
    case timeline::Kind::Sprite:
    case timeline::Kind::Button:
        if (o.clip) {
            DrawClip(*o.clip, m, cx, canvas, nesting + 1);
        }
        break;
    case timeline::Kind::Font:
        break;
    }
}

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
                DrawShape(Prepared(&font->glyphs[g.index]), t, cx, bitmaps_, canvas, &ras_, &paint);
            }
            x += g.advance;
        }
    }
}

void Renderer::DrawEditText(const swf::EditText& text, const Transform& m,
                            const swf::ColorTransform& cx, const Canvas& canvas) {
    const swf::Rect& b = text.bounds;
    if (text.border) {
        FillRect(b, m, SolidPaint(swf::Rgba{255, 255, 255, 255}, cx), canvas);
        // A one-pixel black frame whose right and bottom sides lie just outside the box,
        // as a hairline through the box's corners lands on pixels.
        const int32_t t = static_cast<int32_t>(std::lround(1.0 / std::max(1e-6, m.Scale())));
        const Paint black = SolidPaint(swf::Rgba{0, 0, 0, 255}, cx);
        FillRect(swf::Rect{b.xMin, b.xMax + t, b.yMin, b.yMin + t}, m, black, canvas);
        FillRect(swf::Rect{b.xMax, b.xMax + t, b.yMin + t, b.yMax}, m, black, canvas);
        FillRect(swf::Rect{b.xMin, b.xMax, b.yMax, b.yMax + t}, m, black, canvas);
        FillRect(swf::Rect{b.xMin, b.xMin + t, b.yMin + t, b.yMax}, m, black, canvas);
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
                if (lastSpace > i) {
                    line.resize(lastSpaceCount);
                    j = lastSpace + 1;
                } else {
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
                DrawShape(Prepared(p.glyph), t, cx, bitmaps_, canvas, &ras_, &paint);
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
