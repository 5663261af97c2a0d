#include "player/control/movie_url.h"

namespace {

bool IsLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    if (c >= L'a' && c <= L'f') {
        return c - L'a' + 10;
    }
    if (c >= L'A' && c <= L'F') {
        return c - L'A' + 10;
    }
    return -1;
}

// Characters of a URL or a path, bounded by their length rather than a terminator.
struct Text {
    const wchar_t* chars;
    size_t length;

    Text From(size_t at) const {
        return at <= length ? Text{chars + at, length - at} : Text{chars, 0};
    }
    bool StartsWithDrive(size_t at) const {
        return length >= at + 2 && IsLetter(chars[at]) &&
               (chars[at + 1] == L':' || chars[at + 1] == L'|');
    }
    bool StartsWithNoCase(const wchar_t* prefix) const {
        size_t i = 0;
        for (; prefix[i] != 0; ++i) {
            if (i >= length) {
                return false;
            }
            wchar_t c = chars[i];
            if (c >= L'A' && c <= L'Z') {
                c = static_cast<wchar_t>(c - L'A' + L'a');
            }
            if (c != prefix[i]) {
                return false;
            }
        }
        return true;
    }
    bool Contains(wchar_t wanted) const {
        for (size_t i = 0; i < length; ++i) {
            if (chars[i] == wanted) {
                return true;
            }
        }
        return false;
    }
};

// Decodes %XX escapes of ASCII characters into `out` (room for kMaxMoviePath); other
// escapes stay as they are, since their meaning depends on an encoding the URL does not
// state. False when the result would not fit.
bool Unescape(Text s, wchar_t* out, size_t* written) {
    size_t n = 0;
    for (size_t i = 0; i < s.length; ++i) {
        if (n + 1 >= kMaxMoviePath) {
            return false;
        }
        wchar_t c = s.chars[i];
        if (c == L'%' && i + 2 < s.length && HexValue(s.chars[i + 1]) >= 0 &&
            HexValue(s.chars[i + 2]) >= 0) {
            const int value = HexValue(s.chars[i + 1]) * 16 + HexValue(s.chars[i + 2]);
            if (value > 0 && value < 0x80) {
                c = static_cast<wchar_t>(value);
                i += 2;
            }
        }
        out[n++] = c;
    }
    *written = n;
    return true;
}

// `prefix` and then `s` into `path`, forward slashes turned back when `backslashes`.
bool Compose(const wchar_t* prefix, Text s, bool backslashes, wchar_t (&path)[kMaxMoviePath]) {
    size_t n = 0;
    for (; prefix[n] != 0; ++n) {
        path[n] = prefix[n];
    }
    if (n + s.length >= kMaxMoviePath) {
        path[0] = 0;
        return false;
    }
    for (size_t i = 0; i < s.length; ++i) {
        path[n++] = backslashes && s.chars[i] == L'/' ? L'\\' : s.chars[i];
    }
    path[n] = 0;
    return true;
}

} // namespace

bool MoviePathFromUrl(const wchar_t* url, size_t length, wchar_t (&path)[kMaxMoviePath]) {
    path[0] = 0;
    const Text whole = {url, url != nullptr ? length : 0};
    if (whole.Contains(L'\0')) {
        return false; // the file system would see only the part before it
    }
    if (whole.StartsWithDrive(0) || whole.StartsWithNoCase(L"\\\\")) {
        return Compose(L"", whole, false, path); // already a path
    }
    if (!whole.StartsWithNoCase(L"file:")) {
        return false;
    }
    Text rest = whole.From(5);
    // A path written in as it stands keeps every character, '%' included.
    wchar_t unescaped[kMaxMoviePath];
    if (!rest.Contains(L'\\')) {
        size_t written = 0;
        if (!Unescape(rest, unescaped, &written)) {
            return false;
        }
        rest = Text{unescaped, written};
    }
    size_t slashes = 0;
    while (slashes < rest.length && (rest.chars[slashes] == L'/' || rest.chars[slashes] == L'\\')) {
        ++slashes;
    }
    size_t drive = 0;
    if (rest.StartsWithDrive(slashes)) {
        drive = slashes;
    } else if (slashes == 2 && rest.From(2).StartsWithNoCase(L"localhost/") &&
               rest.StartsWithDrive(12)) {
        drive = 12;
    } else if (slashes == 2 && rest.length > 2) {
        return Compose(L"\\\\", rest.From(2), true, path); // file://server/share/...
    } else {
        return false;
    }
    if (!Compose(L"", rest.From(drive), true, path)) {
        return false;
    }
    path[1] = L':'; // "C|" as old URLs write it
    return true;
}
