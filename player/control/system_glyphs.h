// Outlines of the system's fonts for text a movie sets in a font it does not embed (device
// fonts): the engine asks for one glyph at a time. Flash's generic names map to the fonts
// Windows has always had: "_sans" Arial, "_serif" Times New Roman, "_typewriter" Courier New.
#pragma once

#include <windows.h>

#include "player/core/engine.h"

class SystemGlyphs {
  public:
    SystemGlyphs();
    ~SystemGlyphs();
    SystemGlyphs(const SystemGlyphs&) = delete;
    SystemGlyphs& operator=(const SystemGlyphs&) = delete;

    // The outline of `code` (a Unicode code point) in 1024ths of the em, y down from the
    // baseline; false when the system has none.
    bool Glyph(const char* font, bool bold, bool italic, uint32_t code, engine::DeviceGlyph* out);
    // Ascent and descent of the sans-serif font, in 1024ths of the em.
    static engine::DeviceFontMetrics Metrics();

  private:
    bool Select(const char* font, bool bold, bool italic);

    HDC dc_ = NULL;
    HFONT font_ = NULL;
    HGDIOBJ original_ = NULL;
    char name_[LF_FACESIZE] = {0};
    bool bold_ = false, italic_ = false;
};
