#include "string_table_block.h"

StringTableBlock::StringTableBlock() : size_(0), next_(0) {
    ZeroMemory(bytes_, sizeof(bytes_));
}

bool StringTableBlock::Add(int index, const char* text, UINT codePage) {
    if (index < next_ || index >= kEntries || text == NULL) {
        return false;
    }
    // Entries skipped over are empty: a zero count each, already in the buffer.
    DWORD at = size_ + 2 * (index - next_);
    // The units must leave room for the count words of every later entry.
    int room = (kCapacity - static_cast<int>(at) - 2 * (kEntries - index)) / 2;
    int units = 0;
    if (text[0] != '\0') {
        units = MultiByteToWideChar(codePage, 0, text, -1, NULL, 0) - 1;
        if (units <= 0 || units > room || units > 0xFFFF) {
            return false;
        }
        // Convert into place after the count word; the terminator is not kept.
        WCHAR wide[kMaxUnits + 1];
        if (MultiByteToWideChar(codePage, 0, text, -1, wide, units + 1) != units + 1) {
            return false;
        }
        for (int i = 0; i < units; ++i) {
            bytes_[at + 2 + 2 * i] = static_cast<BYTE>(wide[i] & 0xFF);
            bytes_[at + 3 + 2 * i] = static_cast<BYTE>(wide[i] >> 8);
        }
    }
    bytes_[at] = static_cast<BYTE>(units & 0xFF);
    bytes_[at + 1] = static_cast<BYTE>(units >> 8);
    size_ = at + 2 + 2 * units;
    next_ = index + 1;
    return true;
}

UINT StringTableBlock::ThreadCodePageFor(const OSVERSIONINFOA& version, const char* localeCodePage,
                                         UINT acp) {
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5) {
        return CP_THREAD_ACP;
    }
    UINT page = 0;
    if (localeCodePage != NULL) {
        for (const char* p = localeCodePage; *p >= '0' && *p <= '9'; ++p) {
            page = page * 10 + static_cast<UINT>(*p - '0');
            if (page > 0xFFFF) {
                page = 0;
                break;
            }
        }
    }
    return page != 0 ? page : acp;
}

UINT StringTableBlock::ThreadCodePage() {
    OSVERSIONINFOA version;
    ZeroMemory(&version, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(&version);
    char locale[7] = {0};
    const char* localeCodePage = NULL;
    if (!(version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5) &&
        GetLocaleInfoA(GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE, locale, sizeof(locale)) >
            0) {
        localeCodePage = locale;
    }
    return ThreadCodePageFor(version, localeCodePage, GetACP());
}
