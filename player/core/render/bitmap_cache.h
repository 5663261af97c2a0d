// A movie's bitmaps decoded when first drawn, within one memory budget for the whole
// movie: what the last frame did not draw goes first when room is needed, and a bitmap
// larger than the budget is never decoded (it is drawn as Flash draws a bitmap that failed
// to load: not at all).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>

#include "player/core/timeline/dictionary.h"

namespace render {

// Decoded pixels a movie may hold at once.
const size_t kBitmapBudgetBytes = size_t(256) << 20;

class BitmapCache {
  public:
    explicit BitmapCache(size_t budget = kBitmapBudgetBytes) : budget_(budget) {}

    // The pixels of bitmap character `id`; null when it has none, cannot be decoded or
    // finds no room this frame.
    const swf::Bitmap* Get(const timeline::Dictionary& dictionary, uint16_t id);
    // A new frame begins: bitmaps not drawn since the last one may be let go.
    void NextFrame() { ++frame_; }
    void Clear();
    size_t Used() const { return used_; }

  private:
    struct Entry {
        std::unique_ptr<swf::Bitmap> pixels; // null: failed for good
        uint64_t drawn = 0;                  // the frame it was last drawn in
    };
    bool MakeRoom(size_t bytes);

    std::map<uint16_t, Entry> entries_;
    size_t budget_;
    size_t used_ = 0;
    uint64_t frame_ = 1;
};

} // namespace render
