#include "setup/command_line.h"

namespace {

bool IsSeparator(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

const char* SkipProgramName(const char* commandLine) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(commandLine);
    if (*p == '"') {
        ++p;
        while (*p != '\0' && *p != '"') {
            ++p;
        }
        if (*p == '"') {
            ++p;
        }
    } else {
        while (*p > ' ') {
            ++p;
        }
    }
    while (*p != '\0' && *p <= ' ') {
        ++p;
    }
    return reinterpret_cast<const char*>(p);
}

const char* NextToken(const char* position, char* token) {
    while (IsSeparator(*position)) {
        ++position;
    }
    const char* start = position;
    const char* end = position;
    if (*position == '"') {
        start = ++position;
        while (*position != '\0' && *position != '"') {
            ++position;
        }
        end = position;
    } else {
        while (*position != '\0' && !IsSeparator(*position)) {
            ++position;
        }
        end = position;
    }
    // Step over the character that ended the token (closing quote, blank or tab).
    if (*position != '\0') {
        ++position;
    }
    const size_t length = static_cast<size_t>(end - start);
    if (length >= kTextSize) {
        token[0] = '\0';
        return position;
    }
    CopyMemory(token, start, length);
    token[length] = '\0';
    return position;
}

DWORD ParseDecimal(const char* text) {
    DWORD value = 0;
    for (; *text != '\0'; ++text) {
        if (!IsCharAlphaNumericA(*text) || IsCharAlphaA(*text)) {
            break;
        }
        value = value * 10 + static_cast<DWORD>(static_cast<unsigned char>(*text) - '0');
    }
    return value;
}

Role ChooseRole(const char* firstToken) {
    if (lstrcmpiA(firstToken, "-u") == 0) {
        return Role::Uninstall;
    }
    if (lstrcmpiA(firstToken, "-pid") == 0) {
        return Role::Cleanup;
    }
    return Role::Install;
}
