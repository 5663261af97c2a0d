#include "companion_override.h"

namespace {
// Under HKEY_CURRENT_USER, volatile, named by the process so that parallel runs never meet.
const char kOverrideParent[] = "Software\\Tovik Flickwell Batch";
const char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\qmwizard.exe";
} // namespace

CompanionOverride::~CompanionOverride() {
    Remove();
}

bool CompanionOverride::Apply(const char* folder) {
    wsprintfA(rootName_, "%s\\%lu", kOverrideParent, GetCurrentProcessId());
    HKEY created = NULL;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, rootName_, 0, NULL, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                        NULL, &created, NULL) != ERROR_SUCCESS) {
        rootName_[0] = '\0';
        return false;
    }
    root_.Reset(created);
    HKEY entry = NULL;
    if (RegCreateKeyExA(root_.Get(), kAppPathsKey, 0, NULL, REG_OPTION_VOLATILE, KEY_SET_VALUE,
                        NULL, &entry, NULL) != ERROR_SUCCESS) {
        Remove();
        return false;
    }
    RegKey entryKey(entry);
    const LONG written =
        RegSetValueExA(entryKey.Get(), "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder),
                       static_cast<DWORD>(lstrlenA(folder) + 1));
    if (written != ERROR_SUCCESS ||
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, root_.Get()) != ERROR_SUCCESS) {
        Remove();
        return false;
    }
    return true;
}

void CompanionOverride::Remove() {
    if (!root_.Valid()) {
        return;
    }
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, NULL);
    root_.Reset(NULL);
    // Deepest first: RegDeleteKeyA removes keys without subkeys only.
    char name[MAX_PATH] = {0};
    char tail[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\qmwizard.exe";
    for (;;) {
        wsprintfA(name, "%s\\%s", rootName_, tail);
        RegDeleteKeyA(HKEY_CURRENT_USER, name);
        char* cut = tail + lstrlenA(tail);
        while (cut > tail && *cut != '\\') {
            --cut;
        }
        if (cut == tail) {
            break;
        }
        *cut = '\0';
    }
    RegDeleteKeyA(HKEY_CURRENT_USER, rootName_);
    // The parent goes only when no other run is using it.
    RegDeleteKeyA(HKEY_CURRENT_USER, kOverrideParent);
    rootName_[0] = '\0';
}
