// Bitmaps scripts own, as the stage shows them, for both script hosts: a character per
// shown bitmap that shares its pixels (what a script draws shows at once), copies of the
// movie's own bitmaps, and display objects drawn into one. Internal to the engine.
#pragma once

#include <memory>
#include <vector>

#include "player/core/render/bitmap_ops.h"
#include "player/core/render/renderer.h"
#include "player/core/timeline/display_list.h"

namespace engine {

class ScriptBitmaps {
  public:
    ScriptBitmaps(timeline::Stage* stage, const timeline::LoadedMovie* movie)
        : stage_(stage), movie_(movie) {}
    // A new child of `parent` at script depth `depth` showing `bitmap` (nothing while it has
    // no pixels); 0 when not made.
    uint32_t Attach(uint32_t parent, const render::ScriptBitmap& bitmap, int depth, bool smooth);
    // Points a shown bitmap at other pixels; false when `id` shows none of ours.
    bool Show(uint32_t id, const render::ScriptBitmap& bitmap, bool smooth);
    // A copy of one of the movie's bitmaps, decoded anew; false when `c` is none or larger
    // than `limits` allow.
    static bool Copy(const timeline::Character* c, const render::BitmapLimits& limits,
                     render::ScriptBitmap* out);
    // Draws a display object of the stage onto `target` through `m` (pixels), clipped.
    void DrawOnto(uint32_t source, render::ScriptBitmap* target, const swf::Affine& m,
                  const swf::ColorTransform& cx, const render::IntRect& clip);

  private:
    timeline::Stage* stage_;
    const timeline::LoadedMovie* movie_;
    std::vector<std::unique_ptr<timeline::Character>> shown_;
    std::shared_ptr<render::Renderer> offscreen_;
};

} // namespace engine
