// The drawing records of the format as plain data: colours, colour transforms, gradients,
// fill and line styles, and shapes as edge lists with their two fill sides. Readers here
// take a ByteReader or BitReader positioned at the record and fail (false) rather than
// read past the end or accept counts above the limits below.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "player/core/swf/geometry.h"
#include "player/core/swf/movie_reader.h"

namespace swf {

// Bounds that keep a hostile movie's memory small.
const uint32_t kMaxEdgesPerShape = 1u << 18;
const uint32_t kMaxEdgesPerFont = 1u << 22; // all its outlines together
const uint32_t kMaxStylesPerArray = 1u << 14;
const uint32_t kMaxStyleGroups = 4096;

// Positions add up edge by edge; far beyond any stage they stop growing instead of
// overflowing (2^30 twips is about 2700 km).
inline int32_t AddTwips(int32_t a, int64_t b) {
    const int64_t v = a + b;
    const int64_t limit = int64_t(1) << 30;
    return static_cast<int32_t>(v < -limit ? -limit : v > limit ? limit : v);
}

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
    bool operator==(const Rgba& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};

// Multiply terms in 8.8 fixed point (256 = 1), add terms in 0..255 units.
struct ColorTransform {
    int16_t mulR = 256, mulG = 256, mulB = 256, mulA = 256;
    int16_t addR = 0, addG = 0, addB = 0, addA = 0;
    bool operator==(const ColorTransform& o) const {
        return mulR == o.mulR && mulG == o.mulG && mulB == o.mulB && mulA == o.mulA &&
               addR == o.addR && addG == o.addG && addB == o.addB && addA == o.addA;
    }
    bool IsIdentity() const { return *this == ColorTransform(); }
    Rgba Apply(Rgba c) const;
    // `outer` applied after `this`.
    ColorTransform Then(const ColorTransform& outer) const;
};

Rgba ReadRgb(ByteReader* r);
Rgba ReadRgba(ByteReader* r);
bool ReadColorTransform(BitReader* bits, bool withAlpha, ColorTransform* cx);
bool ReadMatrixAt(ByteReader* r, Matrix* m); // a MATRIX at the byte reader's position
bool ReadColorTransformAt(ByteReader* r, bool withAlpha, ColorTransform* cx);

enum class FillKind : uint8_t { Solid, Linear, Radial, Focal, Bitmap };
enum class Spread : uint8_t { Pad, Reflect, Repeat };

struct GradientStop {
    uint8_t ratio = 0;
    Rgba color;
    bool operator==(const GradientStop& o) const { return ratio == o.ratio && color == o.color; }
};

struct Gradient {
    Spread spread = Spread::Pad;
    bool linearRgb = false;
    int16_t focal = 0; // 8.8, -1..1 along the x axis
    std::vector<GradientStop> stops;
};

struct Bitmap;

struct FillStyle {
    FillKind kind = FillKind::Solid;
    Rgba color;
    Matrix matrix; // gradient square or bitmap pixels to shape twips
    Gradient gradient;
    uint16_t bitmapId = 0;
    std::shared_ptr<const Bitmap> bitmap; // a script's bitmap, instead of bitmapId
    bool repeat = true;
    bool smooth = true;
};

enum class Cap : uint8_t { Round, None, Square };
enum class Join : uint8_t { Round, Bevel, Miter };

struct LineStyle {
    uint16_t width = 0; // twips
    Rgba color;
    Cap startCap = Cap::Round, endCap = Cap::Round;
    Join join = Join::Round;
    uint16_t miterLimit = 3 << 8; // 8.8
    bool noHScale = false, noVScale = false;
    bool hasFill = false;
    FillStyle fill; // when hasFill
};

// One edge in shape twips with the styles on its two sides and its line.
struct Edge : Curve {
    uint16_t fill0 = 0, fill1 = 0, line = 0; // 1-based into the group's arrays, 0 = none
};

// The edges drawn with one pair of style arrays; a shape record holding new styles starts
// the next group, drawn on top.
struct StyleGroup {
    std::vector<FillStyle> fills;
    std::vector<LineStyle> lines;
    std::vector<Edge> edges;
};

struct Shape {
    Rect bounds;
    bool nonZero = false; // DefineShape4's winding rule flag
    std::vector<StyleGroup> groups;
};

// `version` is the DefineShape number (1-4); it decides RGB or RGBA colours, counts above
// 255 and LineStyle2. Fonts read glyphs with version 1 and no style arrays.
bool ReadFillStyles(ByteReader* r, int version, std::vector<FillStyle>* out);
bool ReadLineStyles(ByteReader* r, int version, std::vector<LineStyle>* out);
bool ReadFillStyle(ByteReader* r, int version, FillStyle* fill);
// Shape records up to the end record; the style arrays of the first group are the
// caller's (already in shape->groups[0]).
bool ReadShapeRecords(ByteReader* r, int version, Shape* shape);

} // namespace swf
