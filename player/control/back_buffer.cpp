#include "player/control/back_buffer.h"

#include <algorithm>

bool BackBuffer::Resize(int width, int height) {
    if (pixels_.Valid() && width == width_ && height == height_) {
        return true;
    }
    pixels_.Reset(NULL);
    width_ = height_ = 0;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide ||
        size_t(width) * size_t(height) > kMaxPixels) {
        return false;
    }
    pixels_.Reset(VirtualAlloc(NULL, size_t(width) * size_t(height) * 4, MEM_COMMIT | MEM_RESERVE,
                               PAGE_READWRITE));
    if (!pixels_.Valid()) {
        return false;
    }
    width_ = width;
    height_ = height;
    return true;
}

engine::Surface BackBuffer::Surface() const {
    engine::Surface surface;
    surface.pixels = static_cast<uint32_t*>(pixels_.Get());
    surface.width = width_;
    surface.height = height_;
    surface.stride = width_;
    return surface;
}

void BackBuffer::Fill(uint32_t rgb) {
    uint32_t* pixels = static_cast<uint32_t*>(pixels_.Get());
    if (pixels != NULL) {
        std::fill(pixels, pixels + size_t(width_) * height_, 0xFF000000u | rgb);
    }
}

void BackBuffer::Replace(uint32_t from, uint32_t to) {
    uint32_t* pixels = static_cast<uint32_t*>(pixels_.Get());
    if (pixels != NULL) {
        std::replace(pixels, pixels + size_t(width_) * height_, 0xFF000000u | from,
                     0xFF000000u | to);
    }
}

void BackBuffer::Present(HDC dc, int x, int y) const {
    if (!pixels_.Valid()) {
        return;
    }
    BITMAPINFO info;
    ZeroMemory(&info, sizeof(info));
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_; // top-down, as the engine's rows run
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, x, y, width_, height_, 0, 0, 0, height_, pixels_.Get(), &info,
                      DIB_RGB_COLORS);
}
