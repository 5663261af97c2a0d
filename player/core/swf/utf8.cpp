#include "player/core/swf/utf8.h"

namespace swf {

uint32_t Utf8Next(const std::string& s, size_t& i) {
    const uint8_t c = static_cast<uint8_t>(s[i]);
    if (c < 0xC2 || c > 0xF4) { // ASCII, continuation, overlong lead or out of range
        i++;
        return c;
    }
    const int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
    if (i + extra >= s.size()) { // truncated
        i++;
        return c;
    }
    uint32_t cp = c & (0x3F >> extra);
    for (int k = 1; k <= extra; k++) {
        const uint8_t b = static_cast<uint8_t>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            i++;
            return c;
        }
        cp = cp << 6 | (b & 0x3F);
    }
    const uint32_t least = extra == 1 ? 0x80 : extra == 2 ? 0x800 : 0x10000;
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 5 < s.size() && uint8_t(s[i + 3]) == 0xED &&
        (uint8_t(s[i + 4]) & 0xF0) == 0xB0 && (uint8_t(s[i + 5]) & 0xC0) == 0x80) {
        // A surrogate pair written as two sequences (as Flash writes UTF-16 text): one
        // character, as Flash reads it.
        const uint32_t low = 0xDC00 | (uint8_t(s[i + 4]) & 0x0F) << 6 | (uint8_t(s[i + 5]) & 0x3F);
        i += 6;
        return 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        i++;
        return c;
    }
    i += extra + 1;
    return cp;
}

void Utf8Append(std::string& out, uint32_t cp, bool keepSurrogates) {
    if ((cp >= 0xD800 && cp <= 0xDFFF && !keepSurrogates) || cp > 0x10FFFF)
        cp = 0xFFFD;
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

std::string Utf8Encode(uint32_t cp) {
    std::string out;
    Utf8Append(out, cp);
    return out;
}

size_t Utf8Length(const std::string& s) {
    size_t n = 0;
    for (size_t i = 0; i < s.size(); n++) {
        if (static_cast<uint8_t>(s[i]) < 0x80)
            i++;
        else
            Utf8Next(s, i);
    }
    return n;
}

size_t Utf8Offset(const std::string& s, size_t index, size_t from) {
    size_t i = from;
    for (size_t n = 0; n < index && i < s.size(); n++) {
        if (static_cast<uint8_t>(s[i]) < 0x80)
            i++;
        else
            Utf8Next(s, i);
    }
    return i < s.size() ? i : s.size();
}

int Utf8Compare(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const uint32_t x = Utf8Next(a, i), y = Utf8Next(b, j);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return i < a.size() ? 1 : j < b.size() ? -1 : 0;
}

std::vector<uint32_t> Utf8Decode(const std::string& s, size_t limit) {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < s.size() && out.size() < limit;)
        out.push_back(Utf8Next(s, i));
    return out;
}

std::string Utf8FromCodes(const std::vector<uint32_t>& codes) {
    std::string out;
    out.reserve(codes.size());
    for (uint32_t c : codes)
        Utf8Append(out, c);
    return out;
}

std::string Utf8FromCp1252(const std::string& bytes) {
    // 0x80-0x9F of code page 1252; the five holes keep their byte values, as Windows maps them.
    static const uint16_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const uint8_t c = static_cast<uint8_t>(ch);
        if (c < 0x80)
            out += ch;
        else
            Utf8Append(out, c < 0xA0 ? kHigh[c - 0x80] : c);
    }
    return out;
}

} // namespace swf
