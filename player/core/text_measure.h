// Text fields laid out with the movie's embedded fonts and the host's device fonts, for both
// script runtimes: the box autoSize gives a field, and the metrics scripts read (textWidth,
// scroll limits, the first line's ascent). Internal to the engine.
#pragma once

#include <map>
#include <string>
#include <utility>

#include "player/core/render/renderer.h"
#include "player/core/render/text_layout.h"
#include "player/core/timeline/display_list.h"

namespace engine {

class TextMeasure {
  public:
    explicit TextMeasure(const timeline::LoadedMovie* movie) : movie_(movie) {}
    // Device text's advances (none: device text measures nothing).
    void SetDeviceGlyphs(render::DeviceGlyphSource source, render::DeviceFontMetrics metrics);
    void LayOut(const timeline::TextFieldState& field, render::FieldLayout* out);
    swf::Rect Box(const timeline::TextFieldState& field);
    render::FieldMetrics Measure(const timeline::TextFieldState& field);

  private:
    const timeline::LoadedMovie* movie_;
    render::DeviceGlyphSource deviceSource_;
    render::DeviceFontMetrics deviceMetrics_;
    std::map<std::pair<std::string, uint64_t>, double> deviceAdvances_;
};

} // namespace engine
