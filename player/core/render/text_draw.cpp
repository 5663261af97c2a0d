// Text on the canvas: static text runs through their fonts' glyphs, and edit text laid out
// from the field's current text with embedded or device outlines, inside its box, with
// its border and background.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string>

#include "player/core/render/renderer.h"
#include "player/core/render/text_layout.h"

namespace render {

namespace {

const int32_t kGutter = kFieldGutter;

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
            if (g.index < font->GlyphCount()) {
                const Transform t = base * Translate(x, run.y) * Scaling(size);
                DrawPrepared(Prepared(&font->Glyph(g.index)), t, cx, canvas, &paint);
            }
            x += g.advance;
        }
    }
}

bool Renderer::ClipToBox(const swf::Rect& r, const Transform& m, const Canvas& canvas,
                         BoxClip* out) {
    double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
    for (int i = 0; i < 4; ++i) {
        double x, y;
        m.Apply(i & 1 ? r.xMax : r.xMin, i & 2 ? r.yMax : r.yMin, &x, &y);
        x0 = std::min(x0, x);
        y0 = std::min(y0, y);
        x1 = std::max(x1, x);
        y1 = std::max(y1, y);
    }
    const int left = static_cast<int>(std::max(0.0, std::floor(x0)));
    const int top = static_cast<int>(std::max(0.0, std::floor(y0)));
    const int right = static_cast<int>(std::min(double(canvas.width), std::ceil(x1)));
    const int bottom = static_cast<int>(std::min(double(canvas.height), std::ceil(y1)));
    if (right <= left || bottom <= top) {
        return false;
    }
    const int w = right - left, h = bottom - top;
    out->shift = Translate(-left, -top);
    out->mask.assign(size_t(w) * h, 0);
    Canvas coverage;
    coverage.coverage = out->mask.data();
    coverage.width = coverage.stride = w;
    coverage.height = h;
    FillRect(r, out->shift * m, SolidPaint(swf::Rgba{255, 255, 255, 255}, swf::ColorTransform()),
             coverage);
    // The rows of the box this canvas holds, in the box's own rows.
    const int first = std::max(0, canvas.top - top), last = std::min(h, canvas.Bottom() - top);
    if (last <= first) {
        return false;
    }
    if (canvas.mask != nullptr) {
        for (int y = first; y < last; ++y) {
            const uint8_t* outer = canvas.mask + canvas.MaskAt(top + y) + left;
            uint8_t* inner = out->mask.data() + size_t(y) * w;
            for (int x = 0; x < w; ++x) {
                inner[x] = static_cast<uint8_t>((inner[x] * (outer[x] + 1)) >> 8);
            }
        }
    }
    const size_t offset = canvas.At(top + first) + left;
    out->canvas = Canvas{canvas.pixels != nullptr ? canvas.pixels + offset : nullptr,
                         canvas.coverage != nullptr ? canvas.coverage + offset : nullptr,
                         w,
                         h,
                         canvas.stride,
                         out->mask.data() + size_t(first) * w,
                         first,
                         last};
    return true;
}

void Renderer::DrawFieldFrame(const timeline::TextFieldState& field, const swf::Rect& b,
                              const Transform& m, const swf::ColorTransform& cx,
                              const Canvas& canvas) {
    // A hairline through the box's corners: on an unrotated box it lands on whole pixels
    // (halves rounding down, as the reference player's do), its right and bottom sides
    // just outside the box.
    swf::Rect r = b;
    Transform frame = m;
    int32_t t = static_cast<int32_t>(std::lround(1.0 / std::max(1e-6, m.Scale())));
    if (m.b == 0 && m.c == 0 && m.a > 0 && m.d > 0) {
        double x0, y0, x1, y1;
        m.Apply(b.xMin, b.yMin, &x0, &y0);
        m.Apply(b.xMax, b.yMax, &x1, &y1);
        auto snap = [](double v) {
            return static_cast<int32_t>(std::max(-1e6, std::min(1e6, std::ceil(v - 0.5))));
        };
        r = swf::Rect{snap(x0), snap(x1), snap(y0), snap(y1)};
        frame = Transform();
        t = 1;
    }
    auto rgb = [](uint32_t c) {
        return swf::Rgba{uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 255};
    };
    if (field.background) {
        FillRect(r, frame, SolidPaint(rgb(field.backgroundColor), cx), canvas);
    }
    if (!field.border) {
        return;
    }
    const Paint line = SolidPaint(rgb(field.borderColor), cx);
    FillRect(swf::Rect{r.xMin, r.xMax + t, r.yMin, r.yMin + t}, frame, line, canvas);
    FillRect(swf::Rect{r.xMax, r.xMax + t, r.yMin + t, r.yMax}, frame, line, canvas);
    FillRect(swf::Rect{r.xMin, r.xMax, r.yMax, r.yMax + t}, frame, line, canvas);
    FillRect(swf::Rect{r.xMin, r.xMin + t, r.yMin + t, r.yMax}, frame, line, canvas);
}

const Renderer::DeviceGlyphShape* Renderer::DeviceGlyphFor(const TextStyle& style, uint32_t code) {
    const std::string& face = style.face.empty() ? std::string("_sans") : style.face;
    const auto key =
        std::make_pair(face, (uint64_t(code) << 2) | (style.bold ? 1 : 0) | (style.italic ? 2 : 0));
    // The host is asked by one thread at a time. Glyphs stay for the frame (a movie
    // cycling through many characters or faces lets them go when the next one starts).
    std::lock_guard<std::mutex> hold(shared_->lock);
    auto it = shared_->deviceGlyphs.find(key);
    if (it == shared_->deviceGlyphs.end()) {
        DeviceGlyph dg;
        std::unique_ptr<DeviceGlyphShape> entry;
        if (shared_->deviceSource(face.c_str(), style.bold, style.italic, code, &dg)) {
            entry.reset(new DeviceGlyphShape);
            swf::Shape& s = entry->shape;
            s.groups.emplace_back();
            s.groups[0].fills.emplace_back();
            s.nonZero = true;
            s.groups[0].edges = std::move(dg.edges);
            PrepareShape(s, &entry->prepared);
            entry->advance = dg.advance;
        }
        it = shared_->deviceGlyphs.emplace(key, std::move(entry)).first;
    }
    return it->second.get();
}

void Renderer::DrawEditText(const swf::EditText& text, const timeline::DisplayObject& object,
                            const Transform& m, const swf::ColorTransform& cx,
                            const Canvas& canvas) {
    if (!object.field) {
        return;
    }
    const timeline::TextFieldState& field = *object.field;
    // Device text is not drawn turned, skewed or mirrored, and neither is its field.
    const double kShear = 0.006;
    if (!field.embedFonts &&
        (std::fabs(m.b) >= kShear || std::fabs(m.c) >= kShear || m.a <= 0 || m.d <= 0)) {
        return;
    }
    FieldFonts fonts;
    fonts.movie = movie_;
    fonts.own = text.hasFont ? movie_->dictionary.FindFont(text.fontId) : nullptr;
    if (shared_->deviceSource) {
        fonts.device = [this](const TextStyle& style, uint32_t code, double* advance) {
            const DeviceGlyphShape* g = DeviceGlyphFor(style, code);
            *advance = g != nullptr ? g->advance : 0;
            return g != nullptr;
        };
    }
    fonts.deviceAscent = shared_->deviceMetrics.ascent;
    fonts.deviceDescent = shared_->deviceMetrics.descent;
    FieldLayout layout;
    LayOutField(field, fonts, &layout);
    const swf::Rect b = layout.box;
    DrawFieldFrame(field, b, m, cx, canvas);
    if (field.doc.text().empty() || !layout.drawable) {
        return;
    }
    const StyledText& styled = layout.styled;
    const std::vector<TextLine>& lines = layout.lines;
    // A character's outline, or null.
    auto glyph = [&](uint32_t code, const TextStyle& style) -> const PreparedShape* {
        if (style.font != nullptr) {
            const int gi = style.font->GlyphFor(static_cast<uint16_t>(code));
            return gi < 0 ? nullptr : &Prepared(&style.font->Glyph(gi));
        }
        if (field.embedFonts || !shared_->deviceSource) {
            return nullptr;
        }
        const DeviceGlyphShape* g = DeviceGlyphFor(style, code);
        return g != nullptr ? &g->prepared : nullptr;
    };
    auto emOf = [](const TextStyle& style) {
        return style.font != nullptr ? double(style.font->unitsPerEm) : 1024.0;
    };

    BoxClip clip;
    if (!ClipToBox(b, m, canvas, &clip)) {
        return;
    }
    // Scrolled text starts at its `scroll`th line and `hscroll` pixels in.
    double scrolled = 0;
    for (size_t k = 0; k + 1 < size_t(std::max(1, field.scroll)) && k < lines.size(); ++k) {
        scrolled += lines[k].height;
    }
    const Transform area =
        clip.shift * m *
        Translate(b.xMin + kGutter - 20.0 * field.hscroll, b.yMin + kGutter - scrolled);
    std::vector<Paint> paints;
    for (const TextStyle& style : styled.palette) {
        paints.push_back(SolidPaint(style.color, cx));
    }
    // Underlines: a hairline two pixels under the baseline along each underlined run.
    const int32_t hairline =
        static_cast<int32_t>(std::max(1.0, std::round(1 / std::max(1e-6, m.Scale()))));
    for (const TextLine& line : lines) {
        for (size_t k = 0; k < line.glyphs.size();) {
            const uint16_t s = line.glyphs[k].style;
            size_t e = k;
            while (e < line.glyphs.size() && line.glyphs[e].style == s) {
                ++e;
            }
            if (styled.palette[s].underline) {
                const double x0 = line.glyphs[k].x,
                             x1 = line.glyphs[e - 1].x + line.glyphs[e - 1].advance;
                const int32_t y = static_cast<int32_t>(std::lround(line.baseline + 40));
                FillRect(swf::Rect{static_cast<int32_t>(std::lround(x0)),
                                   static_cast<int32_t>(std::lround(x1)), y, y + hairline},
                         area, paints[s], clip.canvas);
            }
            k = e;
        }
        if (line.bullet) {
            const TextStyle& style = styled.palette[line.style];
            if (const PreparedShape* shape = glyph(0x2022, style)) {
                const Transform t = area * Translate(line.left + 300, line.baseline) *
                                    Scaling(style.size / emOf(style));
                DrawPrepared(*shape, t, cx, clip.canvas, &paints[line.style]);
            }
        }
        for (const PlacedGlyph& g : line.glyphs) {
            const TextStyle& style = styled.palette[g.style];
            const PreparedShape* shape = glyph(g.code, style);
            if (shape != nullptr) {
                const Transform t =
                    area * Translate(g.x, line.baseline) * Scaling(style.size / emOf(style));
                DrawPrepared(*shape, t, cx, clip.canvas, &paints[g.style]);
            }
        }
    }
}

} // namespace render
