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

namespace {

bool Identify(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
    FileHandle file(CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                NULL, OPEN_EXISTING, 0, NULL));
    return file.Valid() && GetFileInformationByHandle(file.Get(), info);
}

} // namespace

bool SameFile(const char* a, const char* b) {
    if (a[0] == '\0' || b[0] == '\0') {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION one, two;
    if (Identify(a, &one) && Identify(b, &two)) {
        return one.dwVolumeSerialNumber == two.dwVolumeSerialNumber &&
               one.nFileIndexHigh == two.nFileIndexHigh && one.nFileIndexLow == two.nFileIndexLow;
    }
    char fullA[MAX_PATH] = {0};
    char fullB[MAX_PATH] = {0};
    const DWORD lengthA = GetFullPathNameA(a, MAX_PATH, fullA, NULL);
    const DWORD lengthB = GetFullPathNameA(b, MAX_PATH, fullB, NULL);
    if (lengthA == 0 || lengthA >= MAX_PATH || lengthB == 0 || lengthB >= MAX_PATH) {
        return lstrcmpiA(a, b) == 0;
    }
    return lstrcmpiA(fullA, fullB) == 0;
}
