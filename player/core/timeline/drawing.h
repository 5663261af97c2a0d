// Shapes a script draws into a clip at run time (moveTo, lineTo, curveTo, fills and line
// styles, gradient fills), kept as a shape the renderer draws under the clip's children.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "player/core/swf/characters.h"

namespace timeline {

// One drawing call, in pixels of the clip's space; a gradient matrix (a, b, c, d, tx, ty)
// maps the square -819.2..819.2 onto the clip.
struct DrawOp {
    enum Kind : uint8_t {
        Clear,
        LineStyle,         // width, rgb, alpha (percent); width < 0: no line
        BeginFill,         // rgb, alpha
        BeginGradientFill, // radial, colors, alphas, ratios (0..255), matrix
        MoveTo,            // x, y
        LineTo,            // x, y
        CurveTo,           // cx, cy, x, y
        EndFill,
        BeginBitmapFill // bitmap, matrix (bitmap pixels to the clip's), repeat, smooth
    } kind = Clear;
    double x = 0, y = 0, cx = 0, cy = 0, width = 0;
    uint32_t rgb = 0;
    double alpha = 100;
    bool radial = false;
    std::vector<uint32_t> colors;
    std::vector<double> alphas, ratios;
    double matrix[6] = {1, 0, 0, 1, 0, 0};
    std::shared_ptr<const swf::Bitmap> bitmap;
    bool repeat = true, smooth = false;
};

// What a renderer keeps with a drawing between frames; it goes away with the drawing.
class DrawingCache {
  public:
    virtual ~DrawingCache() = default;
};

// Edges plus paths one drawing may hold; calls beyond are refused.
const size_t kMaxDrawingItems = 100000;

// Follows the Flash drawing model: each fill is its own path (even-odd), closed back to
// its start with a straight edge by moveTo, endFill or the next beginFill; lines drawn
// while a fill is open lie above that fill; later fills lie above earlier lines.
class Drawing {
  public:
    Drawing() = default;
    Drawing(const Drawing& other);
    Drawing& operator=(const Drawing& other);

    // False when the call was refused (the drawing is full).
    bool Apply(const DrawOp& op);
    bool Empty() const { return edges_ == 0; }
    // Bumped by every change, so a renderer can tell a shape it prepared is stale.
    uint32_t Generation() const { return generation_; }
    // The drawing as shape records in twips (built when stale); null when empty.
    const swf::Shape* Shape() const;
    // Twips, lines' half widths included; all zero when empty.
    const swf::Rect& Bounds() const { return bounds_; }
    // Whether a point (twips, the clip's space) lies in a fill or on a line, for shape hit
    // tests.
    bool Contains(int32_t x, int32_t y) const;
    std::unique_ptr<DrawingCache>& RenderCache() const { return cache_; }

  private:
    struct Point {
        int32_t x = 0, y = 0;
        bool operator!=(const Point& o) const { return x != o.x || y != o.y; }
    };
    struct Path {
        bool fill = false;
        swf::FillStyle fillStyle;
        swf::LineStyle lineStyle;
        std::vector<swf::Edge> edges;
    };
    void NewFill(const swf::FillStyle* style);
    void SetLine(const swf::LineStyle* style);
    int AddPath(Path path);
    void Drop(int* index);
    void ClosePath();
    void AddEdge(const Point& from, const Point& control, const Point& to, bool curved);
    void Extend(int32_t x, int32_t y, int32_t pad);

    std::vector<Path> paths_;   // in drawing order
    int fill_ = -1, line_ = -1; // the open fill and the current line, indexes into paths_
    Point cursor_, start_;      // the pen, and where the open subpath began
    size_t edges_ = 0;
    swf::Rect bounds_;
    bool bounded_ = false;
    uint32_t generation_ = 0;

    mutable swf::Shape shape_;
    mutable bool stale_ = true;
    mutable std::unique_ptr<DrawingCache> cache_;
};

} // namespace timeline
