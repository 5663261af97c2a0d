#include "tools/render/device_font.h"

#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#define STB_TRUETYPE_IMPLEMENTATION
#define STBTT_STATIC
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb_truetype.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace flickwell {

namespace {

// Noto Sans first: the reference player draws device text in it. DejaVu Sans where
// fonts-noto-core is missing. Regular, bold, italic, bold italic.
const char* const kFaces[][4] = {
    {"/usr/share/fonts/truetype/noto/NotoSans-Regular.ttf",
     "/usr/share/fonts/truetype/noto/NotoSans-Bold.ttf",
     "/usr/share/fonts/truetype/noto/NotoSans-Italic.ttf",
     "/usr/share/fonts/truetype/noto/NotoSans-BoldItalic.ttf"},
    {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
     "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
     "/usr/share/fonts/truetype/dejavu/DejaVuSans-Oblique.ttf",
     "/usr/share/fonts/truetype/dejavu/DejaVuSans-BoldOblique.ttf"},
};

struct Face {
    std::vector<unsigned char> bytes;
    stbtt_fontinfo info{};
    bool ok = false;
    explicit Face(const char* path) {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
        ok = !bytes.empty() &&
             stbtt_InitFont(&info, bytes.data(), stbtt_GetFontOffsetForIndex(bytes.data(), 0));
    }
};

bool Glyph(const Face& face, uint32_t code, engine::DeviceGlyph* out) {
    const int index = stbtt_FindGlyphIndex(&face.info, static_cast<int>(code));
    if (index == 0 && code != ' ') {
        return false;
    }
    const float scale = stbtt_ScaleForMappingEmToPixels(&face.info, 1024);
    int advance = 0, bearing = 0;
    stbtt_GetGlyphHMetrics(&face.info, index, &advance, &bearing);
    out->advance = static_cast<int32_t>(advance * scale + 0.5f);
    stbtt_vertex* v = nullptr;
    const int n = stbtt_GetGlyphShape(&face.info, index, &v);
    int32_t x = 0, y = 0;
    for (int i = 0; i < n; ++i) {
        const int32_t nx = static_cast<int32_t>(v[i].x * scale),
                      ny = static_cast<int32_t>(-v[i].y * scale);
        if (v[i].type == STBTT_vline || v[i].type == STBTT_vcurve) {
            engine::GlyphEdge e;
            e.x0 = x;
            e.y0 = y;
            e.x1 = nx;
            e.y1 = ny;
            e.curved = v[i].type == STBTT_vcurve;
            e.cx = e.curved ? static_cast<int32_t>(v[i].cx * scale) : (x + nx) / 2;
            e.cy = e.curved ? static_cast<int32_t>(-v[i].cy * scale) : (y + ny) / 2;
            out->edges.push_back(e);
        }
        x = nx;
        y = ny;
    }
    stbtt_FreeShape(&face.info, v);
    return true;
}

// Read once per process (several players, as in tests, share them): by
// (bold ? 1 : 0) + (italic ? 2 : 0).
std::vector<std::shared_ptr<Face>> LoadFaces() {
    std::vector<std::shared_ptr<Face>> faces;
    for (const auto& set : kFaces) {
        faces.assign(1, std::make_shared<Face>(set[0]));
        if (faces[0]->ok) {
            for (int k = 1; k < 4; ++k) {
                faces.push_back(std::make_shared<Face>(set[k]));
            }
            break;
        }
    }
    return faces;
}

} // namespace

bool InstallDeviceFont(engine::Player* player) {
    static const std::vector<std::shared_ptr<Face>> faces = LoadFaces();
    const std::shared_ptr<Face> regular = faces[0];
    if (!regular->ok) {
        return false;
    }
    int ascent = 0, descent = 0, gap = 0;
    stbtt_GetFontVMetrics(&regular->info, &ascent, &descent, &gap);
    const float scale = stbtt_ScaleForMappingEmToPixels(&regular->info, 1024);
    engine::DeviceFontMetrics metrics;
    metrics.ascent = static_cast<int32_t>(ascent * scale);
    metrics.descent = static_cast<int32_t>(-descent * scale);
    player->SetDeviceGlyphs(
        [](const char*, bool bold, bool italic, uint32_t code, engine::DeviceGlyph* out) {
            const Face& face = *faces[(bold ? 1 : 0) + (italic ? 2 : 0)];
            return Glyph(face.ok ? face : *faces[0], code, out);
        },
        metrics);
    return true;
}

} // namespace flickwell
