#include "companion.h"

#include "../common/unique_handle.h"

const char kTemplateFile[] = "template.scr";
const char kSetupFile[] = "setup.ex_";

namespace {
const char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
const char kWizardFile[] = "qmwizard.exe";
} // namespace

void GetCompanionPath(const char* fileName, char (&path)[MAX_PATH]) {
    ZeroMemory(path, sizeof(path));
    char keyName[MAX_PATH] = {0};
    lstrcpynA(keyName, kAppPathsKey, sizeof(keyName));
    lstrcatA(keyName, kWizardFile);

    HKEY opened = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) {
        return;
    }
    RegKey key(opened);
    DWORD size = sizeof(path);
    LONG status =
        RegQueryValueExA(key.Get(), "Path", NULL, NULL, reinterpret_cast<BYTE*>(path), &size);
    key.Reset(NULL);
    // A value that fills the buffer without a terminator is too long to be used.
    int length = 0;
    while (length < MAX_PATH && path[length] != '\0') {
        ++length;
    }
    if (status != ERROR_SUCCESS || length == MAX_PATH) {
        ZeroMemory(path, sizeof(path));
        return;
    }
    char folder[MAX_PATH];
    lstrcpynA(folder, path, sizeof(folder));
    CompanionPathIn(folder, fileName, path);
}

void CompanionPathIn(const char* folder, const char* fileName, char (&path)[MAX_PATH]) {
    ZeroMemory(path, sizeof(path));
    const int length = lstrlenA(folder);
    const bool slash = length > 0 && folder[length - 1] == '\\';
    // Folder and name must fit whole: a cut path would name some other file.
    if (length + (slash ? 0 : 1) + lstrlenA(fileName) >= MAX_PATH) {
        return;
    }
    lstrcpyA(path, folder);
    if (!slash) {
        lstrcatA(path, "\\");
    }
    lstrcatA(path, fileName);
}

bool FileExists(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}
