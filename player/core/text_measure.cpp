#include "player/core/text_measure.h"

#include <algorithm>
#include <cmath>

namespace engine {

void TextMeasure::SetDeviceGlyphs(render::DeviceGlyphSource source,
                                  render::DeviceFontMetrics metrics) {
    deviceSource_ = std::move(source);
    deviceMetrics_ = metrics;
    deviceAdvances_.clear();
}

void TextMeasure::LayOut(const timeline::TextFieldState& field, render::FieldLayout* out) {
    render::FieldFonts fonts;
    fonts.movie = movie_;
    if (deviceSource_) {
        fonts.device = [this](const render::TextStyle& style, uint32_t code, double* advance) {
            const std::string& face = style.face.empty() ? std::string("_sans") : style.face;
            const auto key = std::make_pair(face, (uint64_t(code) << 2) | (style.bold ? 1 : 0) |
                                                      (style.italic ? 2 : 0));
            auto it = deviceAdvances_.find(key);
            if (it == deviceAdvances_.end()) {
                if (deviceAdvances_.size() > 65536) {
                    deviceAdvances_.clear();
                }
                render::DeviceGlyph g;
                const bool got = deviceSource_(face.c_str(), style.bold, style.italic, code, &g);
                it = deviceAdvances_.emplace(key, got ? double(g.advance) : -1.0).first;
            }
            *advance = std::max(0.0, it->second);
            return it->second >= 0;
        };
    }
    fonts.deviceAscent = deviceMetrics_.ascent;
    fonts.deviceDescent = deviceMetrics_.descent;
    render::LayOutField(field, fonts, out);
}

swf::Rect TextMeasure::Box(const timeline::TextFieldState& field) {
    render::FieldLayout layout;
    LayOut(field, &layout);
    return layout.box;
}

render::FieldMetrics TextMeasure::Measure(const timeline::TextFieldState& field) {
    render::FieldLayout layout;
    LayOut(field, &layout);
    render::FieldMetrics m;
    m.width = std::round(layout.extent.textWidth) / 20.0;
    m.height = std::round(layout.extent.height) / 20.0;
    m.boxWidth = (layout.box.xMax - layout.box.xMin) / 20.0;
    m.boxHeight = (layout.box.yMax - layout.box.yMin) / 20.0;
    m.lines = int(std::max<size_t>(1, layout.lines.size()));
    if (!layout.lines.empty()) {
        const render::TextLine& first = layout.lines[0];
        m.ascent = first.baseline / 20.0;
        m.descent = std::max(0.0, first.height - first.baseline) / 20.0;
    }
    // The lines that fit below each line: the last start that shows the text's end. A line
    // shows when all but its span's leading fits.
    const double room = double(field.bounds.yMax - field.bounds.yMin) - 2 * render::kFieldGutter;
    auto leadingOf = [&](const render::TextLine& line) {
        return line.style < layout.styled.palette.size()
                   ? double(layout.styled.palette[line.style].leading)
                   : 0.0;
    };
    double below = 0;
    int fit = 0;
    for (size_t k = layout.lines.size(); k-- > 0;) {
        below += layout.lines[k].height;
        if (below - leadingOf(layout.lines.back()) > room + 0.5 && fit > 0) {
            break;
        }
        ++fit;
    }
    m.maxScroll = std::max(1, int(layout.lines.size()) - fit + 1);
    double shown = 0;
    int visible = 0;
    for (size_t k = size_t(std::max(1, field.scroll) - 1); k < layout.lines.size(); ++k) {
        shown += layout.lines[k].height;
        if (shown - leadingOf(layout.lines[k]) > room + 0.5 && visible > 0) {
            break;
        }
        ++visible;
    }
    m.bottomScroll = std::max(1, visible);
    const double width = double(field.bounds.xMax - field.bounds.xMin) - 2 * render::kFieldGutter;
    m.maxHScroll =
        field.wordWrap ? 0 : std::max(0.0, std::floor((layout.extent.width - width) / 20.0));
    return m;
}

} // namespace engine
