// Shapes a script draws into a clip at run time (moveTo, lineTo, curveTo, fills and line
// styles, gradient fills), kept as a shape the renderer draws under the clip's children.
#pragma once

#include <cstdint>
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
        EndFill
    } kind = Clear;
    double x = 0, y = 0, cx = 0, cy = 0, width = 0;
    uint32_t rgb = 0;
    double alpha = 100;
    bool radial = false;
    std::vector<uint32_t> colors;
    std::vector<double> alphas, ratios;
    double matrix[6] = {1, 0, 0, 1, 0, 0};
};

class Drawing {
  public:
    void Apply(const DrawOp& op);
    bool Empty() const { return ops_.empty(); }
    // Bumped by every change, so a renderer can tell a shape it prepared is stale.
    uint32_t Generation() const { return generation_; }

  private:
    std::vector<DrawOp> ops_;
    uint32_t generation_ = 0;
};

} // namespace timeline
