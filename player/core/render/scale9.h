// scale9Grid: a clip's shapes cut by a grid into nine parts, so that when the clip scales
// its corners keep their size, its edges stretch along one axis and only its middle
// stretches both ways.
#pragma once

#include "player/core/swf/geometry.h"
#include "player/core/swf/records.h"

namespace render {

// Maps the clip's own coordinates (twips) so that, seen through a scale of sx by sy, the
// parts outside `grid` keep their size within `bounds`.
class Scale9Map {
  public:
    Scale9Map(const swf::Rect& bounds, const swf::Rect& grid, double sx, double sy);
    swf::Point Apply(double x, double y) const;

  private:
    struct Axis {
        double lo = 0, hi = 0, gridLo = 0, gridHi = 0, scale = 1;
        double Map(double v) const;
    };
    Axis x_, y_;
};

// The shape with `toClip` (its placement in the clip) and the grid's map baked into its
// edges and bounds.
swf::Shape Scale9Shape(const swf::Shape& shape, const swf::Affine& toClip, const Scale9Map& map);

} // namespace render
