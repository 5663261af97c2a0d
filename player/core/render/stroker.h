// Lines turned into outlines: a connected run is one loop (both sides offset, joins between
// a side's segments, caps at the ends), a closed run two (its outer and inner sides), wound
// so that a non-zero fill draws every part of the line once, however it crosses itself.
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

// Adds the outline of a polyline to `out` (loops closing themselves); `closed` when it ends
// where it starts. Every run's loops are wound the same way, so runs of one style add.
void StrokePolyline(const std::vector<Point>& points, bool closed, const StrokeStyle& style,
                    Outline* out);

} // namespace render
