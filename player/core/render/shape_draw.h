// Shapes made ready to fill once per character: every fill style's edges gathered with a
// consistent direction (fill1 edges as stored, fill0 edges reversed), so the edges of one
// style close into that style's region; lines gathered into connected runs. Then, per
// scale, rotation and skew, their outlines in pixels (curves flattened, lines stroked), which
// a shape that only moves keeps drawing from: drawing adds the translation and scan-converts.
#pragma once

#include <functional>
#include <vector>

#include "player/core/render/rasterizer.h"
#include "player/core/render/stroker.h"
#include "player/core/swf/records.h"

namespace render {

using PathEdge = swf::Curve;

struct PreparedGroup {
    std::vector<std::vector<PathEdge>> fills; // by fill style index (0-based)
    std::vector<std::vector<PathEdge>> lines; // by line style index, in drawing order
};

struct PreparedShape {
    const swf::Shape* source = nullptr;
    std::vector<PreparedGroup> groups;
};

void PrepareShape(const swf::Shape& shape, PreparedShape* out);

// Points one shape's outlines may hold (16 bytes each): curves flatten into up to 200
// pieces each, so a shape within the movie's edge budget could otherwise ask for gigabytes.
const size_t kMaxShapePoints = size_t(4) << 20;

// A prepared shape's outlines through the linear part of a transform, about the origin.
struct ShapePaths {
    std::vector<std::vector<Outline>> fills, lines; // by group, then by style
    size_t Bytes() const;
};

using BitmapLookup = std::function<const swf::Bitmap*(uint16_t id)>;

// What drawing a shape needs beyond the shape: its movie's bitmaps, and the stage's size
// on the canvas (pixels per twip) for lines that do not scale with their object, and
// where gradient ramps are kept.
struct ShapeContext {
    BitmapLookup bitmaps;
    double stageScale = 1.0 / 20;
    RampCache* ramps = nullptr; // the drawing thread's, if any
};

// `toDevice`'s translation is not used: the paths hold for every place the shape moves to.
void BuildPaths(const PreparedShape& shape, const Transform& toDevice, const ShapeContext& context,
                ShapePaths* out);

// Draws with `toDevice` mapping shape twips to canvas pixels, from paths that `place` maps
// onto the canvas (built through the part of `toDevice` that `place` does not hold).
// `solidOverride` (glyphs) paints every fill with one paint. Outlines that miss the
// canvas's rows cost nothing.
void DrawShape(const PreparedShape& shape, const ShapePaths& paths, const Transform& place,
               const Transform& toDevice, const swf::ColorTransform& cx,
               const ShapeContext& context, const Canvas& canvas, Rasterizer* ras,
               const Paint* solidOverride = nullptr);

} // namespace render
