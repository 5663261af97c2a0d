#include "player/core/render/text_layout.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "player/core/swf/utf8.h"

namespace render {

namespace {

// Beyond these a field's text is cut: far more than any box shows.
const size_t kMaxCodes = 1 << 16;
const size_t kMaxStyles = 256;

void Add(StyledText* out, uint32_t code, const TextStyle& style) {
    if (out->codes.size() >= kMaxCodes) {
        return;
    }
    size_t k = 0;
    while (k < out->palette.size() && !(out->palette[k] == style)) {
        ++k;
    }
    if (k == out->palette.size()) {
        if (k >= kMaxStyles) {
            k = 0;
        } else {
            out->palette.push_back(style);
        }
    }
    out->codes.push_back(code);
    out->styles.push_back(static_cast<uint16_t>(k));
}

void EndParagraph(StyledText* out, const TextStyle& style, uint8_t align) {
    Add(out, '\n', style);
    out->aligns.push_back(align);
}

std::string Lower(std::string s) {
    for (char& c : s) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

// The value of attribute `name` in a tag's text (quoted or not), lower-cased name match.
bool Attribute(const std::string& tag, const char* name, std::string* value) {
    const std::string lower = Lower(tag);
    const size_t n = std::strlen(name);
    for (size_t at = lower.find(name); at != std::string::npos; at = lower.find(name, at + 1)) {
        if (at == 0 || !std::isspace(static_cast<unsigned char>(lower[at - 1]))) {
            continue;
        }
        size_t i = at + n;
        while (i < tag.size() && tag[i] == ' ') {
            ++i;
        }
        if (i >= tag.size() || tag[i] != '=') {
            continue;
        }
        ++i;
        while (i < tag.size() && tag[i] == ' ') {
            ++i;
        }
        if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) {
            const size_t end = tag.find(tag[i], i + 1);
            *value = tag.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
        } else {
            size_t end = i;
            while (end < tag.size() && !std::isspace(static_cast<unsigned char>(tag[end]))) {
                ++end;
            }
            *value = tag.substr(i, end - i);
        }
        return true;
    }
    return false;
}

uint8_t AlignNamed(const std::string& v, uint8_t fallback) {
    const std::string a = Lower(v);
    return a == "left" ? 0 : a == "right" ? 1 : a == "center" ? 2 : a == "justify" ? 3 : fallback;
}

// An entity at html[i] ('&'): its code point and length, or false.
bool Entity(const std::string& html, size_t i, uint32_t* code, size_t* length) {
    static const struct {
        const char* name;
        uint32_t code;
    } names[] = {{"&amp;", '&'},  {"&lt;", '<'},    {"&gt;", '>'},
                 {"&quot;", '"'}, {"&apos;", '\''}, {"&nbsp;", 0xA0}};
    for (const auto& n : names) {
        if (html.compare(i, std::strlen(n.name), n.name) == 0) {
            *code = n.code;
            *length = std::strlen(n.name);
            return true;
        }
    }
    // A numeric one is short: look no further for its ';' (text full of '&' stays linear).
    size_t end = std::string::npos;
    for (size_t k = i + 2; html.compare(i, 2, "&#") == 0 && k < html.size() && k < i + 12; ++k) {
        if (html[k] == ';') {
            end = k;
            break;
        }
    }
    if (end != std::string::npos) {
        const bool hex = html[i + 2] == 'x' || html[i + 2] == 'X';
        const std::string digits = html.substr(i + (hex ? 3 : 2), end - i - (hex ? 3 : 2));
        char* stop = nullptr;
        const unsigned long v = std::strtoul(digits.c_str(), &stop, hex ? 16 : 10);
        if (!digits.empty() && *stop == '\0' && v > 0 && v < 0x110000) {
            *code = static_cast<uint32_t>(v);
            *length = end - i + 1;
            return true;
        }
    }
    return false;
}

} // namespace

std::vector<uint32_t> DecodeUtf8(const std::string& s) {
    return swf::Utf8Decode(s, kMaxCodes);
}

StyledText FromPlainText(const std::string& text, const TextStyle& base, uint8_t align) {
    StyledText out;
    out.palette.push_back(base);
    out.aligns.push_back(align);
    const std::vector<uint32_t> codes = DecodeUtf8(text);
    for (size_t i = 0; i < codes.size(); ++i) {
        if (codes[i] == '\r' || codes[i] == '\n') {
            EndParagraph(&out, base, align);
            i += codes[i] == '\r' && i + 1 < codes.size() && codes[i + 1] == '\n';
        } else {
            Add(&out, codes[i], base);
        }
    }
    return out;
}

StyledText FromHtmlText(const std::string& html, const TextStyle& base, uint8_t align,
                        bool multiline) {
    StyledText out;
    out.palette.push_back(base);
    out.aligns.push_back(align);
    struct Open {
        std::string name;
        TextStyle style;
    };
    std::vector<Open> open{{"", base}};
    auto style = [&]() -> const TextStyle& { return open.back().style; };
    auto paragraphStart = [&] { return out.codes.empty() || out.codes.back() == '\n'; };
    auto lineBreak = [&] {
        if (multiline) {
            EndParagraph(&out, style(), align);
        }
    };
    std::string text;
    auto flush = [&] {
        for (uint32_t c : DecodeUtf8(text)) {
            if (c == '\r' || c == '\n') {
                lineBreak();
            } else {
                Add(&out, c, style());
            }
        }
        text.clear();
    };
    for (size_t i = 0; i < html.size();) {
        if (html[i] == '&') {
            uint32_t code = 0;
            size_t length = 0;
            if (Entity(html, i, &code, &length)) {
                flush();
                Add(&out, code, style());
                i += length;
            } else {
                text += html[i++];
            }
            continue;
        }
        if (html[i] != '<') {
            text += html[i++];
            continue;
        }
        const size_t end = html.find('>', i);
        if (end == std::string::npos) {
            break; // an unclosed tag shows nothing, as in Flash
        }
        flush();
        std::string tag = html.substr(i + 1, end - i - 1);
        i = end + 1;
        const bool closing = !tag.empty() && tag[0] == '/';
        std::string name = Lower(tag.substr(closing ? 1 : 0));
        name = name.substr(0, name.find_first_of(" \t\r\n/"));
        if (closing) {
            if (name == "p") {
                lineBreak();
            }
            for (size_t k = open.size(); k-- > 1;) {
                if (open[k].name == name) {
                    open.resize(k);
                    break;
                }
            }
            continue;
        }
        if (name == "br") {
            lineBreak();
            continue;
        }
        if (name == "p" || name == "li") {
            if (!paragraphStart()) {
                lineBreak();
            }
            std::string a;
            if (Attribute(tag, "align", &a)) {
                out.aligns.back() = AlignNamed(a, align);
            }
        }
        if (name != "font" && name != "b" && name != "i" && name != "u" && name != "p" &&
            name != "textformat") {
            continue; // unknown tags and those without style are dropped
        }
        Open next{name, style()};
        std::string v;
        if (name == "b") {
            next.style.bold = true;
        } else if (name == "i") {
            next.style.italic = true;
        } else if (name == "u") {
            next.style.underline = true;
        } else if (name == "textformat" && Attribute(tag, "leading", &v)) {
            const long px = std::strtol(v.c_str(), nullptr, 10);
            next.style.leading = static_cast<int32_t>(std::max(-360L, std::min(px, 720L)) * 20);
        } else if (name == "font") {
            if (Attribute(tag, "face", &v)) {
                next.style.face = v;
            }
            if (Attribute(tag, "size", &v) && !v.empty()) {
                const long n = std::strtol(v.c_str(), nullptr, 10);
                const long px = v[0] == '+' || v[0] == '-' ? next.style.size / 20 + n : n;
                next.style.size = static_cast<int32_t>(std::max(0L, std::min(px, 1000L)) * 20);
            }
            if (Attribute(tag, "letterspacing", &v)) {
                const double px = std::strtod(v.c_str(), nullptr);
                next.style.letterSpacing =
                    static_cast<int32_t>(std::max(-100.0, std::min(px, 1000.0)) * 20);
            }
            if (Attribute(tag, "color", &v) && v.size() == 7 && v[0] == '#') {
                const unsigned long rgb = std::strtoul(v.c_str() + 1, nullptr, 16);
                next.style.color = swf::Rgba{uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb),
                                             next.style.color.a};
            }
        }
        if (open.size() < 64) {
            open.push_back(next);
        }
    }
    flush();
    // The last paragraph's closing tag ends the text rather than starting an empty line.
    if (!out.codes.empty() && out.codes.back() == '\n') {
        out.codes.pop_back();
        out.styles.pop_back();
        out.aligns.pop_back();
    }
    return out;
}

std::vector<TextLine> LayOutText(const StyledText& text, const LayoutBox& box,
                                 const FontMeasure& measure, TextExtent* extent) {
    TextExtent seen;
    std::vector<TextLine> lines;
    const size_t n = text.codes.size();
    std::vector<double> advance(n, 0);
    for (size_t k = 0; k < n; ++k) {
        if (text.codes[k] != '\n') {
            const TextStyle& style = text.palette[text.styles[k]];
            advance[k] = measure.advance(text.codes[k], style) + style.letterSpacing;
        }
    }
    std::vector<double> ascent(text.palette.size()), leading(text.palette.size());
    for (size_t s = 0; s < text.palette.size(); ++s) {
        measure.heights(text.palette[s], &ascent[s], &leading[s]);
    }
    double top = 0;
    size_t start = 0, paragraph = 0;
    bool firstLine = true;
    while (lines.size() < 4096 && top <= box.height) {
        size_t end = start;
        while (end < n && text.codes[end] != '\n') {
            ++end;
        }
        const uint8_t align = paragraph < text.aligns.size() ? text.aligns[paragraph] : 0;
        do {
            const double left = box.leftMargin + (firstLine ? box.indent : 0);
            const double room = box.width - left - box.rightMargin;
            size_t j = start, lastSpace = SIZE_MAX;
            double x = 0;
            for (; j < end; ++j) {
                if (box.wordWrap && j > start && text.codes[j] != ' ' && x + advance[j] > room) {
                    if (lastSpace != SIZE_MAX) {
                        j = lastSpace + 1;
                    }
                    break;
                }
                if (text.codes[j] == ' ') {
                    lastSpace = j;
                }
                x += advance[j];
            }
            TextLine line;
            double width = 0, pen = 0, size = 0, lead = 0;
            for (size_t k = start; k < j; ++k) {
                line.glyphs.push_back(PlacedGlyph{text.codes[k], text.styles[k], pen, advance[k]});
                pen += advance[k];
                if (text.codes[k] != ' ') {
                    width = pen;
                }
            }
            // Heights come from the line's glyphs, or for an empty line from the style
            // of the break that ends it.
            std::vector<uint16_t> used;
            for (const PlacedGlyph& g : line.glyphs) {
                used.push_back(g.style);
            }
            if (used.empty()) {
                used.push_back(start < n             ? text.styles[start]
                               : text.styles.empty() ? 0
                                                     : text.styles.back());
            }
            for (uint16_t s : used) {
                size = std::max(size, double(text.palette[s].size));
                lead = std::max(lead, leading[s]);
            }
            double baseline = 0;
            for (uint16_t s : used) {
                baseline = std::max(baseline, size - text.palette[s].size + ascent[s]);
            }
            double shift = align == 1 ? room - width : align == 2 ? (room - width) / 2 : 0;
            shift = left + std::max(0.0, shift);
            // Justified lines but a paragraph's last spread the spare room over their
            // inner spaces.
            size_t spaces = 0;
            for (const PlacedGlyph& g : line.glyphs) {
                spaces += g.code == ' ' && g.x < width;
            }
            const double spread = align == 3 && j < end && spaces > 0 && room > width
                                      ? (room - width) / double(spaces)
                                      : 0;
            double gap = 0;
            for (PlacedGlyph& g : line.glyphs) {
                const bool inner = g.code == ' ' && g.x < width;
                g.x += shift + gap;
                gap += inner ? spread : 0;
            }
            seen.width = std::max(seen.width, shift + width + box.rightMargin);
            line.baseline = top + baseline;
            lines.push_back(std::move(line));
            top += size + lead + text.palette[used[0]].leading;
            firstLine = false;
            start = j;
        } while (start < end && lines.size() < 4096 && top <= box.height);
        if (end >= n) {
            break;
        }
        start = end + 1;
        ++paragraph;
        firstLine = true;
    }
    seen.height = top;
    if (extent != nullptr) {
        *extent = seen;
    }
    return lines;
}

} // namespace render
