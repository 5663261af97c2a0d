// Bounds and hit tests of what is on stage, in one place for the renderer and the script
// bridge: each kind of character's own box (a morph's at its current ratio), a clip's as
// its script drawing's and its children's, and point tests by the shapes themselves.
#pragma once

#include "player/core/swf/geometry.h"
#include "player/core/timeline/display_list.h"

namespace timeline {

// A character's own box in twips (a morph's at `ratio`); false for a sprite, a button
// or a font, whose bounds are their contents'.
bool CharacterBounds(const Character& ch, uint16_t ratio, swf::Rect* out);

// The object's bounds as `m` maps its own space (children's placements included, its own
// matrix not); masks are left out. Empty when it has nothing to show.
swf::Box ObjectBounds(const DisplayObject& o, const swf::Affine& m, int nesting = 0);

// Whether the point (the space `m` maps into) lies on what the object shows: shapes,
// morphs and script drawings by their fills and lines, text and bitmaps by their boxes.
// Masks are not hit.
bool ObjectHit(const DisplayObject& o, const swf::Affine& m, double x, double y, int nesting = 0);

} // namespace timeline
