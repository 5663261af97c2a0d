#include "player/control/movie_url.h"

namespace {

bool IsLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool StartsWithDrive(const std::wstring& s, size_t at) {
    return s.size() >= at + 2 && IsLetter(s[at]) && (s[at + 1] == L':' || s[at + 1] == L'|');
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

// Decodes %XX escapes of ASCII characters; other escapes stay as they are, since their
// meaning depends on an encoding the URL does not state.
std::wstring Unescape(const std::wstring& s) {
    std::wstring out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == L'%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 &&
            HexValue(s[i + 2]) >= 0) {
            const int value = HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]);
            if (value > 0 && value < 0x80) {
                out += static_cast<wchar_t>(value);
                i += 2;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

bool StartsWithNoCase(const std::wstring& s, const wchar_t* prefix) {
    size_t i = 0;
    for (; prefix[i] != 0; ++i) {
        if (i >= s.size()) {
            return false;
        }
        wchar_t c = s[i];
        if (c >= L'A' && c <= L'Z') {
            c = static_cast<wchar_t>(c - L'A' + L'a');
        }
        if (c != prefix[i]) {
            return false;
        }
    }
    return true;
}

} // namespace

std::wstring MoviePathFromUrl(const std::wstring& url) {
    if (url.find(L'\0') != std::wstring::npos) {
        return std::wstring(); // the file system would see only the part before it
    }
    if (StartsWithDrive(url, 0) || StartsWithNoCase(url, L"\\\\")) {
        return url; // already a path
    }
    if (!StartsWithNoCase(url, L"file:")) {
        return std::wstring();
    }
    std::wstring rest = url.substr(5);
    // A path written in as it stands keeps every character, '%' included.
    const bool raw = rest.find(L'\\') != std::wstring::npos;
    if (!raw) {
        rest = Unescape(rest);
    }
    size_t slashes = 0;
    while (slashes < rest.size() && (rest[slashes] == L'/' || rest[slashes] == L'\\')) {
        ++slashes;
    }
    std::wstring path;
    if (StartsWithDrive(rest, slashes)) {
        path = rest.substr(slashes);
        path[1] = L':';
    } else if (slashes == 2 && StartsWithNoCase(rest.substr(2), L"localhost/") &&
               StartsWithDrive(rest, 12)) {
        path = rest.substr(12);
        path[1] = L':';
    } else if (slashes == 2 && rest.size() > 2) {
        path = L"\\\\" + rest.substr(2); // file://server/share/...
    } else {
        return std::wstring();
    }
    for (wchar_t& c : path) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    return path;
}
