#include "text_rules.h"

std::string DeriveDisplayNameFor(const char* path, UINT codePage) {
    int lastSlash = -1;
    for (int i = 0; path[i] != '\0'; ++i) {
        if (IsDBCSLeadByteEx(codePage, static_cast<BYTE>(path[i])) && path[i + 1] != '\0') {
            ++i; // the trail byte is part of this character
            continue;
        }
        if (path[i] == '\\') {
            lastSlash = i;
        }
    }
    if (lastSlash <= 0) {
        return std::string();
    }
    std::string name(path + lastSlash + 1);
    // The last full stop, found by characters too (a trail byte may equal '.').
    int lastDot = -1;
    for (int i = 0; i < static_cast<int>(name.size()); ++i) {
        if (IsDBCSLeadByteEx(codePage, static_cast<BYTE>(name[i])) && i + 1 < (int)name.size()) {
            ++i;
            continue;
        }
        if (name[i] == '.') {
            lastDot = i;
        }
    }
    if (lastDot > 0) {
        name.resize(lastDot);
    }
    if (!name.empty() && name[0] >= 'a' && name[0] <= 'z') {
        name[0] = static_cast<char>(name[0] - 'a' + 'A');
    }
    return name;
}

std::string DeriveDisplayName(const char* path) {
    return DeriveDisplayNameFor(path, CP_ACP);
}

bool FindCommandArgument(const char* commandLine, std::string* argument) {
    argument->clear();
    const char* p = commandLine;
    bool quoted = false;
    for (; *p != '\0'; ++p) {
        if (*p == '"') {
            quoted = !quoted;
        } else if (*p == ' ' && !quoted) {
            break;
        }
    }
    if (*p == '\0') {
        return false;
    }
    ++p; // exactly one blank
    if (*p == '\0') {
        return false;
    }
    if (*p == '"') {
        ++p;
        const char* end = NULL;
        for (const char* q = p; *q != '\0'; ++q) {
            if (*q == '"') {
                end = q;
            }
        }
        argument->assign(p, end != NULL ? end - p : lstrlenA(p));
    } else {
        argument->assign(p);
    }
    // A pair of quotes alone names nothing.
    return !argument->empty();
}
