#include "player/core/timeline/text_field.h"

#include "player/core/swf/number_text.h"
#include "player/core/swf/utf8.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace timeline {

namespace {

template <typename T> void Keep(std::optional<T>& a, const std::optional<T>& b) {
    if (a != b) {
        a.reset();
    }
}
template <typename T> void Fill(std::optional<T>& a, const std::optional<T>& b) {
    if (!a) {
        a = b;
    }
}
template <typename T> void Take(T& a, const std::optional<T>& b) {
    if (b) {
        a = *b;
    }
}

bool IsBreak(char32_t c) {
    return c == '\r' || c == '\n';
}

bool IsWhite(char32_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string Lower(std::string s) {
    for (char& c : s) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

// A decimal number, all of it (as a strict parse does); false when it is not one.
bool ParseNumber(const std::string& s, double* out) {
    if (s.empty()) {
        return false;
    }
    const char* end = nullptr;
    const double v = swf::ReadNumber(s.c_str(), &end);
    if (end == nullptr || *end != '\0' || !std::isfinite(v)) {
        return false;
    }
    *out = v;
    return true;
}

std::optional<double> NumberOrUnset(const std::string& s) {
    double v = 0;
    return ParseNumber(s, &v) ? std::optional<double>(v) : std::nullopt;
}

// The named and numeric entities in one run of text; unknown ones stay as written.
std::string Unescape(const std::string& s) {
    if (s.find('&') == std::string::npos) {
        return s;
    }
    std::string out;
    for (size_t i = 0; i < s.size();) {
        if (s[i] != '&') {
            out += s[i++];
            continue;
        }
        // A later '&' before the ';' starts over from there.
        size_t semi = i + 1;
        while (semi < s.size() && s[semi] != ';' && s[semi] != '&') {
            ++semi;
        }
        if (semi >= s.size() || s[semi] == '&') {
            out.append(s, i, semi - i);
            i = semi;
            continue;
        }
        const std::string name = s.substr(i + 1, semi - i - 1);
        const std::string lower = Lower(name);
        const char* named = lower == "amp"    ? "&"
                            : lower == "lt"   ? "<"
                            : lower == "gt"   ? ">"
                            : lower == "quot" ? "\""
                            : lower == "apos" ? "'"
                            : lower == "nbsp" ? "\xC2\xA0"
                                              : nullptr;
        bool done = named != nullptr;
        if (named != nullptr) {
            out += named;
        } else if (name.size() >= 2 && name[0] == '#') {
            const bool hex = name[1] == 'x' || name[1] == 'X';
            std::string digits = name.substr(hex ? 2 : 1);
            // Only the last digits count: four in hex, sixteen in decimal.
            const size_t keep = hex ? 4 : 16;
            if (digits.size() > keep) {
                digits = digits.substr(digits.size() - keep);
            }
            char* end = nullptr;
            const unsigned long long v = std::strtoull(digits.c_str(), &end, hex ? 16 : 10);
            if (!digits.empty() && *end == '\0' &&
                std::isxdigit(static_cast<unsigned char>(digits[0]))) {
                if (v > 0 && v < 0x110000 && !(v >= 0xD800 && v < 0xE000)) {
                    const char32_t c = static_cast<char32_t>(v);
                    out += EncodeUtf8(&c, 1);
                }
                done = true;
            }
        }
        if (!done) {
            out.append(s, i, semi + 1 - i);
        }
        i = semi + 1;
    }
    return out;
}

void Escape(const std::u32string& text, size_t from, size_t to, std::string* out) {
    for (size_t i = from; i < to; ++i) {
        switch (text[i]) {
        case '&':
            *out += "&amp;";
            break;
        case '<':
            *out += "&lt;";
            break;
        case '>':
            *out += "&gt;";
            break;
        case '"':
            *out += "&quot;";
            break;
        case '\'':
            *out += "&apos;";
            break;
        default:
            *out += EncodeUtf8(&text[i], 1);
        }
    }
}

struct Tag {
    std::string name; // lower case
    std::vector<std::pair<std::string, std::string>> attributes;
    bool closing = false, empty = false;
    bool Attribute(const char* key, std::string* value) const {
        for (const auto& a : attributes) {
            if (Lower(a.first) == key) {
                *value = a.second;
                return true;
            }
        }
        return false;
    }
};

// The tag between '<' and '>' (exclusive).
Tag ReadTag(const std::string& s) {
    Tag t;
    size_t i = 0;
    if (i < s.size() && s[i] == '/') {
        t.closing = true;
        ++i;
    }
    size_t n = i;
    while (n < s.size() && !std::isspace(static_cast<unsigned char>(s[n])) && s[n] != '/') {
        ++n;
    }
    t.name = Lower(s.substr(i, n - i));
    t.empty = !t.closing && !s.empty() && s.back() == '/';
    const size_t end = t.empty ? s.size() - 1 : s.size();
    for (i = n; i < end && t.attributes.size() < 32;) {
        while (i < end && (std::isspace(static_cast<unsigned char>(s[i])) || s[i] == '/')) {
            ++i;
        }
        size_t k = i;
        while (k < end && s[k] != '=' && !std::isspace(static_cast<unsigned char>(s[k]))) {
            ++k;
        }
        if (k == i) {
            break;
        }
        std::string key = s.substr(i, k - i), value;
        i = k;
        while (i < end && std::isspace(static_cast<unsigned char>(s[i]))) {
            ++i;
        }
        if (i < end && s[i] == '=') {
            ++i;
            while (i < end && std::isspace(static_cast<unsigned char>(s[i]))) {
                ++i;
            }
            if (i < end && (s[i] == '"' || s[i] == '\'')) {
                const size_t close = s.find(s[i], i + 1);
                const size_t stop = close == std::string::npos || close > end ? end : close;
                value = s.substr(i + 1, stop - i - 1);
                i = stop + 1;
            } else {
                k = i;
                while (k < end && !std::isspace(static_cast<unsigned char>(s[k]))) {
                    ++k;
                }
                value = s.substr(i, k - i);
                i = k;
            }
        }
        t.attributes.emplace_back(std::move(key), std::move(value));
    }
    return t;
}

// Where the tag opened at `lt` ends ('>' outside quotes), or npos.
size_t TagEnd(const std::string& s, size_t lt) {
    char quote = 0;
    for (size_t i = lt + 1; i < s.size(); ++i) {
        if (quote != 0) {
            quote = s[i] == quote ? 0 : quote;
        } else if (s[i] == '"' || s[i] == '\'') {
            quote = s[i];
        } else if (s[i] == '>') {
            return i;
        }
    }
    return std::string::npos;
}

enum class HtmlTag { TextFormat, P, Li, Font, A, B, I, U };
const char* const kTagNames[] = {"TEXTFORMAT", "P", "LI", "FONT", "A", "B", "I", "U"};

// Flash's markup for spans: paragraphs in <P> or <LI> (in <TEXTFORMAT> when they have
// paragraph settings), fonts nested by what changes, then link and styles.
class HtmlWriter {
  public:
    explicit HtmlWriter(std::string* out) : out_(out) {}

    void SetSpan(const SpanFormat* span) {
        if (span->bold != current_->bold || span->italic != current_->italic ||
            span->underline != current_->underline) {
            CloseTill(HtmlTag::B);
        }
        if (span->url != current_->url) {
            CloseTill(HtmlTag::A);
        }
        CloseFontsAbove(*span);
        current_ = span;
        if (span->leftMargin != 0 || span->rightMargin != 0 || span->indent != 0 ||
            span->leading != 0 || span->blockIndent != 0 || !span->tabStops.empty()) {
            Open(HtmlTag::TextFormat);
        }
        if (!IsOpen(HtmlTag::P) && !IsOpen(HtmlTag::Li)) {
            Open(span->bullet ? HtmlTag::Li : HtmlTag::P);
        }
        SetFont(*span);
        if (!span->url.empty()) {
            Open(HtmlTag::A);
        }
        if (span->bold) {
            Open(HtmlTag::B);
        }
        if (span->italic) {
            Open(HtmlTag::I);
        }
        if (span->underline) {
            Open(HtmlTag::U);
        }
    }

    void Text(const std::u32string& text, size_t from, size_t to) {
        const bool endsWithBreak = to > from && IsBreak(text[to - 1]);
        if (endsWithBreak) {
            --to;
        }
        bool first = true;
        for (size_t at = from;;) {
            size_t end = at;
            while (end < to && !IsBreak(text[end])) {
                ++end;
            }
            if (!first) {
                CloseTill(HtmlTag::TextFormat);
                SetSpan(current_);
            }
            first = false;
            Escape(text, at, end, out_);
            if (end >= to) {
                break;
            }
            at = end + 1;
        }
        if (endsWithBreak) {
            CloseTill(HtmlTag::TextFormat);
        }
    }

    void Finish() { CloseTill(HtmlTag::TextFormat); }

  private:
    bool IsOpen(HtmlTag t) const { return std::find(open_.begin(), open_.end(), t) != open_.end(); }

    void Open(HtmlTag t) {
        if (IsOpen(t) || (!open_.empty() && open_.back() > t)) {
            return;
        }
        open_.push_back(t);
        const SpanFormat& s = *current_;
        switch (t) {
        case HtmlTag::TextFormat:
            *out_ += "<TEXTFORMAT";
            if (s.leftMargin != 0) {
                *out_ += " LEFTMARGIN=\"" + FormatNumber(s.leftMargin) + "\"";
            }
            if (s.rightMargin != 0) {
                *out_ += " RIGHTMARGIN=\"" + FormatNumber(s.rightMargin) + "\"";
            }
            if (s.indent != 0) {
                *out_ += " INDENT=\"" + FormatNumber(s.indent) + "\"";
            }
            if (s.leading != 0) {
                *out_ += " LEADING=\"" + FormatNumber(s.leading) + "\"";
            }
            if (s.blockIndent != 0) {
                *out_ += " BLOCKINDENT=\"" + FormatNumber(s.blockIndent) + "\"";
            }
            if (!s.tabStops.empty()) {
                *out_ += " TABSTOPS=\"";
                for (size_t k = 0; k < s.tabStops.size(); ++k) {
                    *out_ += (k ? "," : "") + FormatNumber(s.tabStops[k]);
                }
                *out_ += "\"";
            }
            *out_ += ">";
            break;
        case HtmlTag::P: {
            static const char* const names[] = {"LEFT", "RIGHT", "CENTER", "JUSTIFY"};
            *out_ += std::string("<P ALIGN=\"") + names[s.align & 3] + "\">";
            break;
        }
        case HtmlTag::A:
            *out_ += "<A HREF=\"" + s.url + "\" TARGET=\"" + s.target + "\">";
            break;
        case HtmlTag::Li:
        case HtmlTag::B:
        case HtmlTag::I:
        case HtmlTag::U:
            *out_ += std::string("<") + kTagNames[int(t)] + ">";
            break;
        case HtmlTag::Font:
            break;
        }
    }

    void SetFont(const SpanFormat& f) { CloseIfFontDiffers(f); }

    void CloseIfFontDiffers(const SpanFormat& f) {
        if (!fonts_.empty() && fonts_.back()->SameFont(f)) {
            return;
        }
        CloseTill(HtmlTag::A);
        *out_ += "<FONT";
        const SpanFormat* last = fonts_.empty() ? nullptr : fonts_.back();
        if (last == nullptr || f.font != last->font) {
            *out_ += " FACE=\"" + f.font + "\"";
        }
        if (last == nullptr || f.size != last->size) {
            *out_ += " SIZE=\"" + FormatNumber(f.size) + "\"";
        }
        if (last == nullptr || (f.color & 0xFFFFFF) != (last->color & 0xFFFFFF)) {
            *out_ += " COLOR=\"#";
            swf::AppendHex(*out_, f.color & 0xFFFFFF, 6, true);
            *out_ += "\"";
        }
        if (last == nullptr || f.letterSpacing != last->letterSpacing) {
            *out_ += " LETTERSPACING=\"" + FormatNumber(f.letterSpacing) + "\"";
        }
        if (last == nullptr || f.kerning != last->kerning) {
            *out_ += std::string(" KERNING=\"") + (f.kerning ? "1" : "0") + "\"";
        }
        *out_ += ">";
        if (last == nullptr) {
            open_.push_back(HtmlTag::Font);
        }
        fonts_.push_back(&f);
    }

    void CloseFontsAbove(const SpanFormat& f) {
        for (size_t k = 0; k < fonts_.size(); ++k) {
            if (fonts_[k]->SameFont(f)) {
                if (k + 1 < fonts_.size()) {
                    CloseTill(HtmlTag::A);
                    for (size_t n = k + 1; n < fonts_.size(); ++n) {
                        *out_ += "</FONT>";
                    }
                    fonts_.resize(k + 1);
                }
                return;
            }
        }
    }

    void CloseTill(HtmlTag t) {
        while (!open_.empty() && open_.back() >= t) {
            const HtmlTag last = open_.back();
            open_.pop_back();
            // A font tag stands for every nested <FONT> written since it opened.
            const size_t count = last == HtmlTag::Font ? fonts_.size() : 1;
            for (size_t n = 0; n < count; ++n) {
                *out_ += std::string("</") + kTagNames[int(last)] + ">";
            }
            if (last == HtmlTag::Font) {
                fonts_.clear();
            }
        }
    }

    std::string* out_;
    const SpanFormat blank_;
    const SpanFormat* current_ = &blank_;
    std::vector<const SpanFormat*> fonts_;
    std::vector<HtmlTag> open_;
};

} // namespace

void TextFormat::KeepCommon(const TextFormat& o) {
    Keep(font, o.font);
    Keep(url, o.url);
    Keep(target, o.target);
    Keep(size, o.size);
    Keep(leftMargin, o.leftMargin);
    Keep(rightMargin, o.rightMargin);
    Keep(indent, o.indent);
    Keep(blockIndent, o.blockIndent);
    Keep(leading, o.leading);
    Keep(letterSpacing, o.letterSpacing);
    Keep(color, o.color);
    Keep(align, o.align);
    Keep(bold, o.bold);
    Keep(italic, o.italic);
    Keep(underline, o.underline);
    Keep(kerning, o.kerning);
    Keep(bullet, o.bullet);
    Keep(tabStops, o.tabStops);
}

void TextFormat::FillFrom(const TextFormat& o) {
    Fill(font, o.font);
    Fill(url, o.url);
    Fill(target, o.target);
    Fill(size, o.size);
    Fill(leftMargin, o.leftMargin);
    Fill(rightMargin, o.rightMargin);
    Fill(indent, o.indent);
    Fill(blockIndent, o.blockIndent);
    Fill(leading, o.leading);
    Fill(letterSpacing, o.letterSpacing);
    Fill(color, o.color);
    Fill(align, o.align);
    Fill(bold, o.bold);
    Fill(italic, o.italic);
    Fill(underline, o.underline);
    Fill(kerning, o.kerning);
    Fill(bullet, o.bullet);
    Fill(tabStops, o.tabStops);
}

void SpanFormat::Apply(const TextFormat& f) {
    Take(font, f.font);
    Take(size, f.size);
    Take(color, f.color);
    Take(letterSpacing, f.letterSpacing);
    Take(kerning, f.kerning);
    Take(bold, f.bold);
    Take(italic, f.italic);
    Take(underline, f.underline);
    Take(align, f.align);
    Take(leftMargin, f.leftMargin);
    Take(rightMargin, f.rightMargin);
    Take(indent, f.indent);
    Take(blockIndent, f.blockIndent);
    Take(leading, f.leading);
    Take(tabStops, f.tabStops);
    Take(bullet, f.bullet);
    Take(url, f.url);
    Take(target, f.target);
}

TextFormat SpanFormat::ToFormat() const {
    TextFormat f;
    f.font = font;
    f.size = size;
    f.color = color;
    f.letterSpacing = letterSpacing;
    f.kerning = kerning;
    f.bold = bold;
    f.italic = italic;
    f.underline = underline;
    f.align = align;
    f.leftMargin = leftMargin;
    f.rightMargin = rightMargin;
    f.indent = indent;
    f.blockIndent = blockIndent;
    f.leading = leading;
    f.tabStops = tabStops;
    f.bullet = bullet;
    f.url = url;
    f.target = target;
    return f;
}

bool SpanFormat::operator==(const SpanFormat& o) const {
    return SameFont(o) && color == o.color && bold == o.bold && italic == o.italic &&
           underline == o.underline && align == o.align && leftMargin == o.leftMargin &&
           rightMargin == o.rightMargin && indent == o.indent && blockIndent == o.blockIndent &&
           leading == o.leading && tabStops == o.tabStops && bullet == o.bullet && url == o.url &&
           target == o.target;
}

void TextDocument::SetDefaultFormat(const TextFormat& f) {
    TextFormat next = f;
    next.FillFrom(default_);
    default_ = next;
}

void TextDocument::SetPlain(const std::u32string& text) {
    text_.clear();
    for (size_t i = 0; i < text.size() && text_.size() < kMaxFieldChars; ++i) {
        text_ += text[i] == '\n' ? U'\r' : text[i];
    }
    SpanFormat s;
    s.Apply(default_);
    spans_.assign(1, TextSpan{text_.size(), s});
}

void TextDocument::ParseHtml(const std::string& html, bool multiline, bool condenseWhite,
                             int version) {
    // Version 6 keeps the multiline flag but always breaks lines; up to version 7 markup
    // starts new text left-aligned, whatever the field's format said.
    multiline = multiline || version <= 6;
    if (version <= 7) {
        default_.align = 0;
    }
    text_.clear();
    spans_.clear();
    std::vector<TextFormat> formats{default_};
    std::vector<std::string> opened;
    bool pOpen = false;
    std::optional<SpanFormat> lastClosedFont;
    auto add = [&](const std::u32string& s, const SpanFormat& f) {
        const size_t room = kMaxFieldChars - std::min(kMaxFieldChars, text_.size());
        const size_t n = std::min(room, s.size());
        text_.append(s, 0, n);
        if (spans_.size() >= kMaxSpans) {
            spans_.back().length += n;
        } else if (!spans_.empty() && spans_.back().format == f) {
            spans_.back().length += n;
        } else {
            spans_.push_back(TextSpan{n, f});
        }
    };
    auto spanOf = [](const TextFormat& f) {
        SpanFormat s;
        s.Apply(f);
        return s;
    };
    auto breakWith = [&](const SpanFormat& f) { add(U"\r", f); };
    auto text = [&](const std::string& raw) {
        if (raw.empty()) {
            return;
        }
        std::u32string run = DecodeUtf8(Unescape(raw));
        if (version <= 7 && std::all_of(run.begin(), run.end(), IsWhite)) {
            return; // whitespace between tags is markup layout there
        }
        std::u32string out;
        bool lastWhite = false;
        for (char32_t c : run) {
            if (condenseWhite && IsWhite(c)) {
                if (!lastWhite) {
                    out += U' ';
                }
                lastWhite = true;
                continue;
            }
            lastWhite = false;
            out += IsBreak(c) ? U'\r' : c;
        }
        add(out, spanOf(formats.back()));
    };
    size_t i = 0, runStart = 0;
    while (i < html.size() && text_.size() < kMaxFieldChars && spans_.size() < kMaxFieldChars) {
        if (html[i] != '<') {
            ++i;
            continue;
        }
        text(html.substr(runStart, i - runStart));
        size_t end;
        if (html.compare(i, 4, "<!--") == 0) {
            end = html.find("-->", i + 4);
            if (end == std::string::npos) {
                runStart = i = html.size();
                break;
            }
            runStart = i = end + 3;
            continue;
        }
        end = TagEnd(html, i);
        if (end == std::string::npos) {
            runStart = i = html.size(); // an unclosed tag ends the markup
            break;
        }
        const std::string inner = html.substr(i + 1, end - i - 1);
        runStart = i = end + 1;
        if (!inner.empty() && (inner[0] == '!' || inner[0] == '?')) {
            continue;
        }
        const Tag tag = ReadTag(inner);
        if (!tag.closing) {
            TextFormat f = formats.back();
            std::string v;
            if (tag.name == "br" || tag.name == "sbr") {
                if (multiline || tag.name == "sbr") {
                    breakWith(spanOf(f));
                }
                continue; // never opened, so never closed
            }
            if (tag.name == "p") {
                pOpen = true;
                if (tag.Attribute("align", &v)) {
                    if (v == "left") {
                        f.align = 0;
                    } else if (v == "right") {
                        f.align = 1;
                    } else if (v == "center") {
                        f.align = 2;
                    } else if (v == "justify") {
                        f.align = 3;
                    }
                }
            } else if (tag.name == "a") {
                if (tag.Attribute("href", &v)) {
                    f.url = v;
                }
                if (tag.Attribute("target", &v)) {
                    f.target = v;
                }
            } else if (tag.name == "font") {
                if (tag.Attribute("face", &v)) {
                    f.font = v;
                }
                if (tag.Attribute("size", &v)) {
                    const char sign = !v.empty() && (v[0] == '+' || v[0] == '-') ? v[0] : 0;
                    std::string digits = v.substr(sign ? 1 : 0);
                    digits = digits.substr(0, digits.find_first_not_of("0123456789"));
                    if (!digits.empty() && digits.size() < 10) {
                        double n = swf::ReadNumber(digits.c_str());
                        std::optional<double> size;
                        if (sign == 0) {
                            size = n;
                        } else if (f.size) {
                            size = *f.size + (sign == '+' ? n : -n);
                        }
                        if (size) {
                            f.size = std::max(1.0, std::min(*size, 127.0));
                        }
                    }
                }
                if (tag.Attribute("color", &v) && !v.empty() && v[0] == '#') {
                    // Spaces after '#' are skipped; hex digits up to the first other
                    // character count, the last six of them.
                    size_t k = 1;
                    while (k < v.size() && (v[k] == ' ' || v[k] == '\t')) {
                        ++k;
                    }
                    uint32_t rgb = 0;
                    bool any = false;
                    for (; k < v.size() && std::isxdigit(static_cast<unsigned char>(v[k])); ++k) {
                        const char c =
                            static_cast<char>(std::tolower(static_cast<unsigned char>(v[k])));
                        rgb = ((rgb << 4) | uint32_t(c <= '9' ? c - '0' : c - 'a' + 10)) & 0xFFFFFF;
                        any = true;
                    }
                    if (any) {
                        f.color = rgb;
                    }
                }
                if (tag.Attribute("letterspacing", &v)) {
                    f.letterSpacing = NumberOrUnset(v);
                }
                if (tag.Attribute("kerning", &v)) {
                    if (v == "1" && version >= 8) {
                        f.kerning = true;
                    } else if (v == "0") {
                        f.kerning = false;
                    }
                }
            } else if (tag.name == "b") {
                f.bold = true;
            } else if (tag.name == "i") {
                f.italic = true;
            } else if (tag.name == "u") {
                f.underline = true;
            } else if (tag.name == "li") {
                if (multiline && !text_.empty() && text_.back() != '\r') {
                    breakWith(spanOf(formats.back()));
                }
                f.bullet = true;
            } else if (tag.name == "textformat") {
                if (tag.Attribute("leftmargin", &v)) {
                    f.leftMargin = NumberOrUnset(v);
                }
                if (tag.Attribute("rightmargin", &v)) {
                    f.rightMargin = NumberOrUnset(v);
                }
                if (tag.Attribute("indent", &v)) {
                    f.indent = NumberOrUnset(v);
                }
                if (tag.Attribute("blockindent", &v)) {
                    f.blockIndent = NumberOrUnset(v);
                }
                if (tag.Attribute("leading", &v)) {
                    f.leading = NumberOrUnset(v);
                }
                if (tag.Attribute("tabstops", &v)) {
                    std::vector<double> stops;
                    for (size_t at = 0; at <= v.size() && stops.size() < kMaxTabStops;) {
                        size_t comma = v.find(',', at);
                        comma = comma == std::string::npos ? v.size() : comma;
                        std::string item = v.substr(at, comma - at);
                        const size_t a = item.find_first_not_of(" \t\r\n");
                        const size_t b = item.find_last_not_of(" \t\r\n");
                        item = a == std::string::npos ? "" : item.substr(a, b - a + 1);
                        double n = 0;
                        if (ParseNumber(item, &n)) {
                            stops.push_back(n);
                        }
                        at = comma + 1;
                    }
                    f.tabStops = stops;
                }
            }
            if (formats.size() < 256) {
                opened.push_back(tag.name);
                formats.push_back(f);
            }
            if (!tag.empty) {
                continue;
            }
        }
        // A closing tag counts only when it closes the innermost open one.
        if (opened.empty() || opened.back() != tag.name) {
            continue;
        }
        opened.pop_back();
        if (tag.name == "li" && multiline) {
            breakWith(spanOf(formats.back()));
        } else if (tag.name == "p" && multiline && pOpen) {
            pOpen = false;
            // Flash ends a paragraph in plain style with the font of the last </font>.
            SpanFormat s = spanOf(formats.back());
            s.bold = s.italic = s.underline = false;
            s.url.clear();
            s.target.clear();
            const SpanFormat font = lastClosedFont ? *lastClosedFont : spanOf(default_);
            s.font = font.font;
            s.size = font.size;
            s.color = font.color;
            s.letterSpacing = font.letterSpacing;
            s.kerning = font.kerning;
            breakWith(s);
        } else if (tag.name == "font") {
            lastClosedFont = spanOf(formats.back());
        }
        formats.pop_back();
    }
    text(html.substr(runStart, std::min(html.size(), i) - std::min(runStart, i)));
    if (condenseWhite && version >= 8) {
        // Spaces after a space or a break, and at the start, go too.
        std::u32string kept;
        std::vector<TextSpan> spans;
        size_t span = 0, inSpan = 0, lastSource = SIZE_MAX;
        bool afterWhite = true;
        for (size_t k = 0; k < text_.size(); ++k) {
            while (span < spans_.size() && inSpan >= spans_[span].length) {
                ++span;
                inSpan = 0;
            }
            ++inSpan;
            const char32_t c = text_[k];
            const bool drop = c == ' ' && afterWhite;
            afterWhite = c == ' ' || c == '\r';
            if (drop || span >= spans_.size()) {
                continue;
            }
            kept += c;
            if (lastSource != span) {
                spans.push_back(TextSpan{0, spans_[span].format});
                lastSource = span;
            }
            ++spans.back().length;
        }
        text_ = std::move(kept);
        spans_ = std::move(spans);
    }
    Normalize();
}

std::string TextDocument::ToHtml() const {
    std::string out;
    if (text_.empty()) {
        return out;
    }
    HtmlWriter w(&out);
    size_t at = 0;
    for (const TextSpan& s : spans_) {
        w.SetSpan(&s.format);
        w.Text(text_, at, at + s.length);
        at += s.length;
    }
    w.Finish();
    return out;
}

void TextDocument::Normalize() {
    size_t total = 0;
    for (const TextSpan& s : spans_) {
        total += s.length;
    }
    if (total < text_.size()) {
        SpanFormat f;
        f.Apply(default_);
        spans_.push_back(TextSpan{text_.size() - total, f});
    }
    while (total > text_.size() && !spans_.empty()) {
        const size_t extra = total - text_.size();
        if (spans_.back().length > extra) {
            spans_.back().length -= extra;
            break;
        }
        total -= spans_.back().length;
        spans_.pop_back();
    }
    std::vector<TextSpan> merged;
    merged.reserve(spans_.size());
    for (TextSpan& s : spans_) {
        if (s.length == 0 && merged.empty()) {
            continue;
        }
        if (!merged.empty() && (s.length == 0 || merged.back().format == s.format)) {
            merged.back().length += s.length;
            continue;
        }
        merged.push_back(std::move(s));
    }
    spans_ = std::move(merged);
    if (spans_.empty()) {
        SpanFormat f;
        f.Apply(default_);
        spans_.push_back(TextSpan{text_.size(), f});
    }
}

void TextDocument::SplitAt(size_t pos) {
    if (spans_.size() >= kMaxSpans) {
        return;
    }
    size_t at = 0;
    for (size_t k = 0; k < spans_.size(); ++k) {
        if (pos < at + spans_[k].length) {
            if (pos > at) {
                TextSpan second = spans_[k];
                second.length = at + spans_[k].length - pos;
                spans_[k].length = pos - at;
                spans_.insert(spans_.begin() + k + 1, std::move(second));
            }
            return;
        }
        at += spans_[k].length;
    }
}

void TextDocument::SpanRange(size_t from, size_t to, size_t* first, size_t* last) const {
    size_t at = 0;
    *first = spans_.size();
    *last = spans_.size();
    for (size_t k = 0; k < spans_.size(); ++k) {
        const size_t end = at + spans_[k].length;
        if (*first == spans_.size() && from < end) {
            *first = k;
        }
        if (to > 0 && to - 1 < end) {
            *last = k + 1;
            break;
        }
        at = end;
    }
    if (*first == spans_.size()) {
        *first = 0;
    }
}

TextFormat TextDocument::GetFormat(size_t from, size_t to) const {
    size_t first = 0, last = 0;
    SpanRange(from, to, &first, &last);
    if (first >= spans_.size()) {
        return TextFormat();
    }
    TextFormat f = spans_[first].format.ToFormat();
    for (size_t k = first + 1; k < last; ++k) {
        f.KeepCommon(spans_[k].format.ToFormat());
    }
    return f;
}

void TextDocument::SetFormat(size_t from, size_t to, const TextFormat& f) {
    SplitAt(from);
    SplitAt(to);
    size_t first = 0, last = 0;
    SpanRange(from, to, &first, &last);
    for (size_t k = first; k < last && k < spans_.size(); ++k) {
        spans_[k].format.Apply(f);
    }
    Normalize();
}

void TextDocument::Replace(size_t from, size_t to, const std::u32string& with,
                           const TextFormat* format) {
    if (to < from) {
        return;
    }
    const size_t room =
        kMaxFieldChars - std::min(kMaxFieldChars, text_.size() - std::min(text_.size(), to - from));
    const std::u32string insert = with.substr(0, room);
    if (from < text_.size()) {
        SplitAt(from);
        SplitAt(to);
        size_t first = 0, last = 0;
        SpanRange(from, to, &first, &last);
        SpanFormat s;
        if (format != nullptr) {
            s.Apply(*format);
        } else if (last < spans_.size()) {
            s = spans_[last].format;
        } else {
            s.Apply(default_);
        }
        spans_.erase(spans_.begin() + first, spans_.begin() + std::min(last, spans_.size()));
        spans_.insert(spans_.begin() + first, TextSpan{insert.size(), s});
    } else {
        SpanFormat s;
        s.Apply(format != nullptr ? *format : default_);
        spans_.push_back(TextSpan{insert.size(), s});
    }
    const std::u32string tail = to < text_.size() ? text_.substr(to) : std::u32string();
    text_ = text_.substr(0, std::min(from, text_.size())) + insert + tail;
    Normalize();
}

void TextDocument::SetColor(uint32_t rgb) {
    for (TextSpan& s : spans_) {
        s.format.color = rgb;
    }
    default_.color = rgb;
    Normalize();
}

void InitField(const swf::EditText& def, const swf::Font* font, int version, TextFieldState* out) {
    TextFormat f;
    f.font = !def.fontClass.empty()                   ? def.fontClass
             : font != nullptr && !font->name.empty() ? font->name
                                                      : std::string("Times New Roman");
    f.size = def.height / 20.0;
    f.color =
        def.hasColor ? (uint32_t(def.color.r) << 16 | uint32_t(def.color.g) << 8 | def.color.b) : 0;
    f.align = def.hasLayout ? def.align & 3 : 0;
    f.leftMargin = def.leftMargin / 20.0;
    f.rightMargin = def.rightMargin / 20.0;
    f.indent = def.indent / 20.0;
    f.leading = def.leading / 20.0;
    f.bold = !def.html && font != nullptr && font->bold;
    f.italic = !def.html && font != nullptr && font->italic;
    f.underline = false;
    f.blockIndent = 0.0;
    f.kerning = false;
    f.letterSpacing = 0.0;
    f.tabStops = std::vector<double>();
    f.bullet = false;
    f.url = std::string();
    f.target = std::string();
    out->doc = TextDocument();
    out->doc.SetDefaultFormat(f);
    out->bounds = def.bounds;
    out->border = out->background = def.border;
    out->html = def.html;
    out->multiline = def.multiline;
    out->wordWrap = def.wordWrap;
    out->password = def.password;
    out->selectable = !def.noSelect;
    out->editable = !def.readOnly;
    out->embedFonts = def.useOutlines;
    out->autoSize = def.autoSize ? 1 : 0;
    out->maxChars = def.maxLength;
    out->variable = def.variable;
    if (def.html) {
        out->doc.ParseHtml(def.text, def.multiline, false, version);
    } else {
        out->doc.SetPlain(DecodeUtf8(def.text));
    }
}

std::u32string DecodeUtf8(const std::string& s, size_t limit) {
    std::u32string out;
    for (size_t i = 0; i < s.size() && out.size() < limit;) {
        out.push_back(swf::Utf8Next(s, i));
    }
    return out;
}

std::string EncodeUtf8(const char32_t* s, size_t n) {
    std::string out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        swf::Utf8Append(out, s[i]);
    }
    return out;
}

std::string EncodeUtf8(const std::u32string& s) {
    return EncodeUtf8(s.data(), s.size());
}

std::string FormatNumber(double v) {
    if (!std::isfinite(v)) {
        return std::isnan(v) ? "NaN" : v > 0 ? "Infinity" : "-Infinity";
    }
    if (v == std::floor(v) && std::fabs(v) < 1e15) {
        return swf::PrintFixed(v, 0);
    }
    std::string text;
    for (int digits = 1; digits <= 17; ++digits) {
        text = swf::PrintGeneral(v, digits);
        if (swf::ReadNumber(text.c_str()) == v) {
            break;
        }
    }
    return text;
}

} // namespace timeline
