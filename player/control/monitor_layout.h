// Where the movie goes in a window. Normally once, over the whole client area. A window
// that covers two or more monitors whole (the screen saver over the virtual screen) shows
// the whole movie on each of them, rather than one picture stretched across the gap
// between them. Plain arithmetic on rectangles, so it is tested without monitors.
#pragma once

#include <cstddef>

#include "player/core/engine.h"

// At most this many viewports; monitors beyond it share the layout of a single picture.
const size_t kMaxViewports = 16;

// `client` is the window's client area in screen coordinates, `monitors` the monitors'
// rectangles in the same coordinates. Writes the viewports in client coordinates to
// `viewports` (room for kMaxViewports) and gives their count, at least 1.
size_t MovieViewports(const engine::Box& client, const engine::Box* monitors, size_t monitorCount,
                      engine::Box* viewports);
