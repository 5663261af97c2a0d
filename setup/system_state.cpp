#include "setup/system_state.h"

#include "common/file_name_rule.h"
#include "common/package_layout.h"
#include "common/unique_handle.h"
#include "setup/bounded_text.h"
#include "setup/command_line.h"

#include <shlobj.h>

namespace {

const char kDesktopKey[] = "Control Panel\\Desktop";
const char kSaverValue[] = "SCRNSAVE.EXE";
const char kIniFile[] = "system.ini";
const char kIniSection[] = "boot";
const char kProductKey[] = "SOFTWARE\\Tovik\\Flickwell";
const char kUninstallList[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

bool SetStringValue(HKEY key, const char* name, const char* text) {
    // The text's characters without the terminating zero, as the readers expect them.
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(lstrlenA(text))) == ERROR_SUCCESS;
}

// Queries a string value into `buffer` only when it fits with its terminator.
bool QueryStringValue(HKEY key, const char* name, char* buffer) {
    char value[kTextSize + 1] = {0};
    DWORD size = kTextSize;
    DWORD type = REG_SZ;
    if (RegQueryValueExA(key, name, NULL, &type, reinterpret_cast<BYTE*>(value), &size) !=
        ERROR_SUCCESS) {
        return false;
    }
    return CopyText(buffer, kTextSize, value);
}

bool UninstallKeyName(const char* entry, char* keyName) {
    return IsSafeEntryName(entry) && JoinText(keyName, kTextSize, {kUninstallList, entry});
}

} // namespace

bool IsSafeFileName(const char* name) {
    return CheckFileName(name) == FileNameProblem::None;
}

bool IsSafeEntryName(const char* name) {
    if (name[0] == '\0') {
        return false;
    }
    for (const char* p = name; *p != '\0'; ++p) {
        if (*p == '\\') {
            return false;
        }
    }
    return true;
}

bool WriteSaverFile(const void* data, DWORD size, const char* folder, const char* name,
                    char* path) {
    char target[kTextSize] = {0};
    // Without a folder the name would land in the root of the current drive.
    if (folder[0] == '\0' || !IsSafeFileName(name) ||
        !JoinText(target, kTextSize, {folder, "\\", name, ".scr"})) {
        return false;
    }
    DWORD written = 0;
    BOOL ok = FALSE;
    {
        FileHandle file(CreateFileA(target, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_TEMPORARY, NULL));
        if (!file.Valid()) {
            return false;
        }
        ok = WriteFile(file.Get(), data, size, &written, NULL);
    }
    if (!ok || written != size) {
        DeleteFileA(target);
        return false;
    }
    return CopyText(path, kTextSize, target);
}

bool ExtractScreenSaver(HMODULE module, const char* folder, const char* name, char* path) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(package::kSaverId), package::kSaverType);
    if (found == NULL) {
        return false;
    }
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded != NULL ? LockResource(loaded) : NULL;
    if (data == NULL) {
        return false;
    }
    return WriteSaverFile(data, SizeofResource(module, found), folder, name, path);
}

bool GetCurrentScreenSaver(DWORD platformId, char* buffer) {
    if (IsNtFamily(platformId)) {
        HKEY opened = NULL;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_READ, &opened) != ERROR_SUCCESS) {
            return false;
        }
        RegKey key(opened);
        return QueryStringValue(key.Get(), kSaverValue, buffer);
    }
    char value[kTextSize] = {0};
    DWORD length =
        GetPrivateProfileStringA(kIniSection, kSaverValue, "", value, kTextSize, kIniFile);
    // A value that filled the buffer may have been cut: refused like any other misfit.
    if (length == 0 || length >= kTextSize - 1) {
        return false;
    }
    return CopyText(buffer, kTextSize, value);
}

bool SetCurrentScreenSaver(DWORD platformId, const char* text) {
    if (IsNtFamily(platformId)) {
        HKEY created = NULL;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, NULL, 0, KEY_WRITE, NULL, &created,
                            NULL) != ERROR_SUCCESS) {
            return false;
        }
        RegKey key(created);
        return SetStringValue(key.Get(), kSaverValue, text);
    }
    return WritePrivateProfileStringA(kIniSection, kSaverValue, text, kIniFile) != FALSE;
}

void SettingPathFor(const char* installedPath, const char* wow64Folder, const char* name,
                    char* setting) {
    setting[0] = '\0';
    char seen[kTextSize] = {0};
    if (wow64Folder[0] != '\0') {
        if (!JoinText(seen, kTextSize, {wow64Folder, "\\", name, ".scr"})) {
            return;
        }
    } else if (!CopyText(seen, kTextSize, installedPath)) {
        return;
    }
    char shortPath[kTextSize] = {0};
    DWORD length = GetShortPathNameA(seen, shortPath, kTextSize);
    if (length != 0 && length < kTextSize) {
        CopyText(setting, kTextSize, shortPath);
    }
}

namespace {

// Identifies an existing file, whatever path names it; false when it cannot be opened or
// the file system gives no index.
bool FileIdentity(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
    FileHandle file(CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                NULL, OPEN_EXISTING, 0, NULL));
    return file.Valid() && GetFileInformationByHandle(file.Get(), info) &&
           (info->nFileIndexHigh | info->nFileIndexLow) != 0;
}

bool SameText(const char* setting, const char* path) {
    return path[0] != '\0' && lstrcmpiA(setting, path) == 0;
}

bool SameAsShortForm(const char* setting, const char* path) {
    char shortPath[kTextSize] = {0};
    const DWORD length = GetShortPathNameA(path, shortPath, kTextSize);
    return length != 0 && length < kTextSize && SameText(setting, shortPath);
}

} // namespace

bool SettingNamesFile(const char* setting, const char* installedPath, const char* wow64Folder) {
    if (setting[0] == '\0' || installedPath[0] == '\0') {
        return false;
    }
    if (SameText(setting, installedPath) || SameAsShortForm(setting, installedPath)) {
        return true;
    }
    // The names the stub refuses hold no backslash, so the last one ends the folder.
    const char* name = installedPath;
    for (const char* p = installedPath; *p != '\0'; ++p) {
        if (*p == '\\') {
            name = p + 1;
        }
    }
    char seen[kTextSize] = {0};
    if (wow64Folder[0] != '\0' && JoinText(seen, kTextSize, {wow64Folder, "\\", name}) &&
        (SameText(setting, seen) || SameAsShortForm(setting, seen))) {
        return true;
    }
    BY_HANDLE_FILE_INFORMATION named, installed;
    return FileIdentity(setting, &named) && FileIdentity(installedPath, &installed) &&
           named.dwVolumeSerialNumber == installed.dwVolumeSerialNumber &&
           named.nFileIndexHigh == installed.nFileIndexHigh &&
           named.nFileIndexLow == installed.nFileIndexLow;
}

bool WriteProductValue(const char* name, const char* text) {
    if (!IsSafeEntryName(name)) {
        return false;
    }
    HKEY created = NULL;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kProductKey, 0, NULL, 0, KEY_WRITE, NULL, &created,
                        NULL) != ERROR_SUCCESS) {
        return false;
    }
    RegKey key(created);
    return SetStringValue(key.Get(), name, text);
}

bool ReadProductValue(const char* name, char* buffer) {
    HKEY opened = NULL;
    if (!IsSafeEntryName(name) ||
        RegOpenKeyExA(HKEY_CURRENT_USER, kProductKey, 0, KEY_READ, &opened) != ERROR_SUCCESS) {
        return false;
    }
    RegKey key(opened);
    char value[kTextSize] = {0};
    if (!QueryStringValue(key.Get(), name, value)) {
        return false;
    }
    return CopyText(buffer, kTextSize, value);
}

bool DeleteProductValue(const char* name) {
    HKEY opened = NULL;
    if (!IsSafeEntryName(name) ||
        RegOpenKeyExA(HKEY_CURRENT_USER, kProductKey, 0, KEY_SET_VALUE, &opened) != ERROR_SUCCESS) {
        return false;
    }
    RegKey key(opened);
    return RegDeleteValueA(key.Get(), name) == ERROR_SUCCESS;
}

namespace {

typedef HRESULT(WINAPI* FolderPathFunction)(HWND, int, HANDLE, DWORD, LPSTR);

// Windows 95 and 98 may have SHGetFolderPathA only in shfolder.dll, not in shell32.
FolderPathFunction FindFolderPathFunction() {
    const char* const libraries[] = {"shell32.dll", "shfolder.dll"};
    for (const char* library : libraries) {
        HMODULE module = LoadLibraryA(library);
        if (module != NULL) {
            FARPROC found = GetProcAddress(module, "SHGetFolderPathA");
            if (found != NULL) {
                return reinterpret_cast<FolderPathFunction>(reinterpret_cast<void*>(found));
            }
        }
    }
    return NULL;
}

void CreateMissingFolder(const char* path) {
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
        CreateDirectoryA(path, NULL);
    }
}

} // namespace

bool GetProductFolder(char* buffer) {
    FolderPathFunction folderPath = FindFolderPathFunction();
    char programFiles[kTextSize] = {0};
    if (folderPath == NULL ||
        folderPath(NULL, CSIDL_PROGRAM_FILES | CSIDL_FLAG_CREATE, NULL, 0, programFiles) < 0) {
        return false;
    }
    return GetProductFolderIn(programFiles, buffer);
}

bool GetProductFolderIn(const char* programFiles, char* buffer) {
    char vendor[kTextSize] = {0};
    char product[kTextSize] = {0};
    if (!JoinText(vendor, kTextSize, {programFiles, "\\Tovik"}) ||
        !JoinText(product, kTextSize, {vendor, "\\Flickwell"})) {
        return false;
    }
    CreateMissingFolder(vendor);
    CreateMissingFolder(product);
    return CopyText(buffer, kTextSize, product);
}

bool BuildUninstallCommand(const char* uninstaller, const char* installedPath, char* command) {
    return JoinText(command, kTextSize, {"\"", uninstaller, "\" -u \"", installedPath, "\""});
}

bool RegisterUninstall(const char* entry, const char* command, const char* displayName) {
    char keyName[kTextSize] = {0};
    if (!UninstallKeyName(entry, keyName)) {
        return false;
    }
    HKEY created = NULL;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, NULL, 0, KEY_WRITE, NULL, &created, NULL) !=
        ERROR_SUCCESS) {
        return false;
    }
    RegKey key(created);
    return SetStringValue(key.Get(), "UninstallString", command) &&
           SetStringValue(key.Get(), "DisplayName", displayName);
}

bool UnregisterUninstall(const char* entry) {
    char keyName[kTextSize] = {0};
    return UninstallKeyName(entry, keyName) &&
           RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyName) == ERROR_SUCCESS;
}
