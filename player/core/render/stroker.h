// Lines turned into polygons: each segment a quadrilateral, joins and caps as their own
// pieces, all wound the same way so a non-zero fill draws their union once.
#pragma once

#include <vector>

#include "player/core/render/rasterizer.h"
#include "player/core/swf/records.h"

namespace render {

struct StrokeStyle {
    double halfWidth = 0.5; // device pixels
    swf::Cap startCap = swf::Cap::Round, endCap = swf::Cap::Round;
    swf::Join join = swf::Join::Round;
    double miterLimit = 3;
};

// Adds the outline of a polyline to `out` (polygons closing themselves); `closed` when it
// ends where it starts.
void StrokePolyline(const std::vector<Point>& points, bool closed, const StrokeStyle& style,
                    Outline* out);

} // namespace render
