// A placed object's transform as both script languages see it: x and y in pixels, scales
// in percent and a rotation in degrees, kept apart from the matrix so that one can change
// without rounding the others.
#pragma once

#include <cstdint>

#include "player/core/timeline/display_list.h"

namespace engine {

int32_t Twips(double pixels); // clamped to what a matrix holds
int32_t Fixed(double v);      // 16.16, clamped

// Fills xScale, yScale, rotation and skew from the matrix, unless a script set them.
void Decompose(timeline::DisplayObject& o);
// The matrix from xScale, yScale, rotation and skew; the object is the script's from now.
void Recompose(timeline::DisplayObject& o);

} // namespace engine
