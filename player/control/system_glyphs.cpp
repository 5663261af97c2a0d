#include "player/control/system_glyphs.h"

#include <vector>

namespace {

// One em is this many pixels, so outline units are 1024ths of the em.
const int kEm = 1024;
// Outlines larger than this are not asked for (a glyph has a few kilobytes).
const DWORD kMaxOutlineBytes = 256 * 1024;

const char* FaceFor(const char* font) {
    if (font == nullptr || font[0] == '\0' || lstrcmpiA(font, "_sans") == 0) {
        return "Arial";
    }
    if (lstrcmpiA(font, "_serif") == 0) {
        return "Times New Roman";
    }
    if (lstrcmpiA(font, "_typewriter") == 0) {
        return "Courier New";
    }
    return font;
}

int32_t Units(FIXED value) {
    return (int32_t(value.value) * 65536 + value.fract + 0x8000) / 65536;
}

struct Point {
    int32_t x, y;
};

Point ToPoint(const POINTFX& p) {
    return Point{Units(p.x), -Units(p.y)}; // GDI's y runs up
}

void Line(std::vector<engine::GlyphEdge>* edges, Point a, Point b) {
    engine::GlyphEdge edge;
    edge.x0 = a.x, edge.y0 = a.y, edge.x1 = b.x, edge.y1 = b.y;
    edge.cx = (a.x + b.x) / 2, edge.cy = (a.y + b.y) / 2;
    edges->push_back(edge);
}

void Curve(std::vector<engine::GlyphEdge>* edges, Point a, Point c, Point b) {
    engine::GlyphEdge edge;
    edge.x0 = a.x, edge.y0 = a.y, edge.cx = c.x, edge.cy = c.y, edge.x1 = b.x, edge.y1 = b.y;
    edge.curved = true;
    edges->push_back(edge);
}

// Reads the polygons GetGlyphOutline gives: straight runs, quadratic splines whose
// on-curve points between two controls are implied, and (for PostScript outlines) cubic
// segments, each approximated by one quadratic.
void ReadOutline(const BYTE* data, DWORD size, std::vector<engine::GlyphEdge>* edges) {
    DWORD at = 0;
    while (at + sizeof(TTPOLYGONHEADER) <= size) {
        const TTPOLYGONHEADER* polygon = reinterpret_cast<const TTPOLYGONHEADER*>(data + at);
        if (polygon->cb < sizeof(TTPOLYGONHEADER) || polygon->cb > size - at) {
            return;
        }
        const Point start = ToPoint(polygon->pfxStart);
        Point current = start;
        DWORD curveAt = at + sizeof(TTPOLYGONHEADER);
        const DWORD end = at + polygon->cb;
        while (curveAt + sizeof(WORD) * 2 <= end) {
            const TTPOLYCURVE* curve = reinterpret_cast<const TTPOLYCURVE*>(data + curveAt);
            const DWORD bytes = sizeof(WORD) * 2 + sizeof(POINTFX) * curve->cpfx;
            if (curve->cpfx == 0 || curveAt + bytes > end) {
                return;
            }
            const POINTFX* points = curve->apfx;
            if (curve->wType == TT_PRIM_LINE) {
                for (WORD i = 0; i < curve->cpfx; ++i) {
                    const Point next = ToPoint(points[i]);
                    Line(edges, current, next);
                    current = next;
                }
            } else if (curve->wType == TT_PRIM_QSPLINE) {
                for (WORD i = 0; i + 1 < curve->cpfx; ++i) {
                    const Point control = ToPoint(points[i]);
                    const Point after = ToPoint(points[i + 1]);
                    const Point next = i + 2 < curve->cpfx ? Point{(control.x + after.x) / 2,
                                                                   (control.y + after.y) / 2}
                                                           : after;
                    Curve(edges, current, control, next);
                    current = next;
                }
            } else if (curve->wType == TT_PRIM_CSPLINE) {
                for (WORD i = 0; i + 2 < curve->cpfx; i += 3) {
                    const Point c1 = ToPoint(points[i]), c2 = ToPoint(points[i + 1]);
                    const Point next = ToPoint(points[i + 2]);
                    const Point control = {(3 * (c1.x + c2.x) - current.x - next.x) / 4,
                                           (3 * (c1.y + c2.y) - current.y - next.y) / 4};
                    Curve(edges, current, control, next);
                    current = next;
                }
            }
            curveAt += bytes;
        }
        if (current.x != start.x || current.y != start.y) {
            Line(edges, current, start);
        }
        at = end;
    }
}

} // namespace

SystemGlyphs::SystemGlyphs() {}

SystemGlyphs::~SystemGlyphs() {
    if (dc_ != NULL) {
        if (original_ != NULL) {
            SelectObject(dc_, original_);
        }
        DeleteDC(dc_);
    }
    if (font_ != NULL) {
        DeleteObject(font_);
    }
}

bool SystemGlyphs::Select(const char* font, bool bold, bool italic) {
    if (dc_ == NULL) {
        dc_ = CreateCompatibleDC(NULL); // only once a movie sets device text
        if (dc_ == NULL) {
            return false;
        }
    }
    const char* face = FaceFor(font);
    if (font_ != NULL && bold == bold_ && italic == italic_ && lstrcmpiA(face, name_) == 0) {
        return true;
    }
    HFONT created = CreateFontA(-kEm, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic, FALSE, FALSE,
                                DEFAULT_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS,
                                ANTIALIASED_QUALITY, DEFAULT_PITCH, face);
    if (created == NULL) {
        return false;
    }
    HGDIOBJ previous = SelectObject(dc_, created);
    if (original_ == NULL) {
        original_ = previous;
    }
    if (font_ != NULL) {
        DeleteObject(font_);
    }
    font_ = created;
    lstrcpynA(name_, face, LF_FACESIZE);
    bold_ = bold;
    italic_ = italic;
    return true;
}

bool SystemGlyphs::Glyph(const char* font, bool bold, bool italic, uint32_t code,
                         engine::DeviceGlyph* out) {
    if (code > 0xFFFF || !Select(font, bold, italic)) {
        return false;
    }
    static const MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    GLYPHMETRICS metrics;
    const UINT format = GGO_NATIVE | GGO_UNHINTED;
    const DWORD size = GetGlyphOutlineW(dc_, code, format, &metrics, 0, NULL, &identity);
    if (size == GDI_ERROR || size > kMaxOutlineBytes) {
        return false;
    }
    out->edges.clear();
    out->advance = metrics.gmCellIncX;
    if (size == 0) {
        return true; // a space: an advance and nothing to draw
    }
    std::vector<BYTE> data(size);
    if (GetGlyphOutlineW(dc_, code, format, &metrics, size, data.data(), &identity) == GDI_ERROR) {
        return false;
    }
    ReadOutline(data.data(), size, &out->edges);
    return true;
}

engine::DeviceFontMetrics SystemGlyphs::Metrics() {
    // Arial's (1854 and 434 of 2048), fixed so that a control starts without touching the
    // system's fonts, which takes a while the first time in a process.
    engine::DeviceFontMetrics result;
    result.ascent = 927;
    result.descent = 217;
    return result;
}
