// The picture behind the player's window: a 32-bit top-down device-independent bitmap in
// memory, which the engine draws into and which goes to the screen in one copy, so the
// screen never shows a half-drawn frame.
#pragma once

#include <windows.h>

#include "common/unique_handle.h"
#include "player/core/engine.h"

class BackBuffer {
  public:
    // Larger pictures are refused (the caller fills the area plainly instead).
    static const int kMaxSide = 16384;
    static const size_t kMaxPixels = size_t(8192) * 8192;

    // Makes room for `width` x `height` pixels, keeping the memory when the size is the
    // same. False, with the buffer empty, for an empty or too large size or no memory.
    bool Resize(int width, int height);
    bool Empty() const { return !pixels_.Valid(); }
    int Width() const { return width_; }
    int Height() const { return height_; }

    engine::Surface Surface() const;
    // Every pixel in one opaque colour (0xRRGGBB).
    void Fill(uint32_t rgb);
    // Every opaque pixel of colour `from` becomes `to` (0xRRGGBB).
    void Replace(uint32_t from, uint32_t to);
    // Copies the picture to `dc` with its top left corner at (x, y).
    void Present(HDC dc, int x, int y) const;

  private:
    VirtualBuffer pixels_;
    int width_ = 0;
    int height_ = 0;
};
