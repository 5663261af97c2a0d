#include "acceptance_helpers.h"

#include "common/unique_handle.h"

#include <cstdlib>

namespace {

bool Query(HKEY root, const char* key, const char* value, void* data, DWORD size) {
    HKEY opened = NULL;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) {
        return false;
    }
    RegKey owner(opened);
    return RegQueryValueExA(owner.Get(), value, NULL, NULL, static_cast<BYTE*>(data), &size) ==
           ERROR_SUCCESS;
}

} // namespace

bool ReadString(HKEY root, const char* key, const char* value, std::string* text) {
    char data[1024] = {0};
    if (!Query(root, key, value, data, sizeof(data) - 1)) {
        return false;
    }
    *text = data;
    return true;
}

bool ReadDword(HKEY root, const char* key, const char* value, DWORD* number) {
    return Query(root, key, value, number, sizeof(*number));
}

bool WriteString(HKEY root, const char* key, const char* value, const char* text) {
    HKEY created = NULL;
    if (RegCreateKeyExA(root, key, 0, NULL, 0, KEY_WRITE, NULL, &created, NULL) != ERROR_SUCCESS) {
        return false;
    }
    RegKey owner(created);
    return RegSetValueExA(owner.Get(), value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(lstrlenA(text) + 1)) == ERROR_SUCCESS;
}

bool KeyExists(HKEY root, const char* key) {
    HKEY opened = NULL;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(opened);
    return true;
}

bool KeepShortcutsInsideWine() {
    return WriteString(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", "winemenubuilder.exe",
                       "");
}
