// The registry reads and writes with which the acceptance tests look at the system.
#pragma once

#include <windows.h>

#include <shlwapi.h>

#include <string>

inline bool ReadString(HKEY root, const char* key, const char* value, std::string* text) {
    char data[1024] = {0};
    DWORD size = sizeof(data) - 1;
    if (SHGetValueA(root, key, value, NULL, data, &size) != ERROR_SUCCESS) {
        return false;
    }
    *text = data;
    return true;
}

inline bool ReadDword(HKEY root, const char* key, const char* value, DWORD* number) {
    DWORD size = sizeof(*number);
    return SHGetValueA(root, key, value, NULL, number, &size) == ERROR_SUCCESS;
}

inline bool WriteString(HKEY root, const char* key, const char* value, const char* text) {
    return SHSetValueA(root, key, value, REG_SZ, text, lstrlenA(text) + 1) == ERROR_SUCCESS;
}

inline bool KeyExists(HKEY root, const char* key) {
    HKEY opened = NULL;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(opened);
    return true;
}

// Shortcuts made under Wine would otherwise become menu entries of the machine running it.
inline bool KeepShortcutsInsideWine() {
    return WriteString(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", "winemenubuilder.exe",
                       "");
}
