// Blend modes and bitmap filters, applied to an object drawn alone into a layer.
#pragma once

#include <vector>

#include "player/core/render/paint.h"
#include "player/core/swf/display_tags.h"

namespace render {

// Pixels of a layer holding anything, as a box (right and bottom exclusive); empty when
// the layer is clear.
struct PixelBox {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool Empty() const { return right <= left || bottom <= top; }
};
PixelBox ContentBox(const Canvas& layer);

// Filters in order; sizes scale by `scale` (stage pixels to canvas pixels).
void ApplyFilters(const std::vector<swf::Filter>& filters, double scale, Canvas* layer,
                  PixelBox* box);

// Puts a layer onto the canvas with a blend mode, through the canvas's mask if any.
void Composite(const Canvas& layer, const PixelBox& box, swf::BlendMode mode, const Canvas& canvas);

} // namespace render
