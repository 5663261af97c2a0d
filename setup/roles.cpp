#include "setup/roles.h"

#include "common/package_layout.h"
#include "common/unique_handle.h"
#include "setup/bounded_text.h"
#include "setup/resource.h"
#include "setup/system_state.h"

#include <objbase.h>

namespace {

// Message text and caption buffers; LoadStringA cuts a longer text to fit.
const int kMessageSize = 1024;
const int kCaptionSize = 255;

typedef BOOL(WINAPI* IsWow64ProcessFunction)(HANDLE, PBOOL);
typedef UINT(WINAPI* Wow64DirectoryFunction)(LPSTR, UINT);
typedef BOOL(WINAPI* SetDefaultDllDirectoriesFunction)(DWORD);
typedef BOOL(WINAPI* SetDllDirectoryFunction)(LPCSTR);

// Functions that older Windows lacks are looked up, so the installer still starts there.
template <class Function> Function KernelFunction(const char* name) {
    FARPROC found = GetProcAddress(GetModuleHandleA("kernel32.dll"), name);
    return reinterpret_cast<Function>(reinterpret_cast<void*>(found));
}

void QueryWow64Folder(char* folder) {
    folder[0] = '\0';
    IsWow64ProcessFunction isWow64 = KernelFunction<IsWow64ProcessFunction>("IsWow64Process");
    Wow64DirectoryFunction directory =
        KernelFunction<Wow64DirectoryFunction>("GetSystemWow64DirectoryA");
    BOOL wow64 = FALSE;
    if (isWow64 == NULL || directory == NULL || !isWow64(GetCurrentProcess(), &wow64) || !wow64) {
        return;
    }
    UINT length = directory(folder, kTextSize);
    if (length == 0 || length >= kTextSize) {
        folder[0] = '\0';
    }
}

} // namespace

void LoadPackage(HMODULE module, Package* package) {
    package->module = module;
    ZeroMemory(package->fileStem, sizeof(package->fileStem));
    ZeroMemory(package->displayName, sizeof(package->displayName));
    LoadStringA(module, IDS_FILE_STEM, package->fileStem, kTextSize);
    LoadStringA(module, IDS_DISPLAY_NAME, package->displayName, kTextSize);
}

void QueryInstallTarget(DWORD platformId, InstallTarget* target) {
    target->platformId = platformId;
    ZeroMemory(target->systemFolder, sizeof(target->systemFolder));
    UINT length = GetSystemDirectoryA(target->systemFolder, kTextSize);
    if (length == 0 || length >= kTextSize) {
        target->systemFolder[0] = '\0';
    }
    QueryWow64Folder(target->wow64Folder);
}

bool RestrictDllSearch() {
    SetDefaultDllDirectoriesFunction setDefault =
        KernelFunction<SetDefaultDllDirectoriesFunction>("SetDefaultDllDirectories");
    if (setDefault != NULL && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        return true;
    }
    SetDllDirectoryFunction setDirectory =
        KernelFunction<SetDllDirectoryFunction>("SetDllDirectoryA");
    if (setDirectory != NULL) {
        setDirectory(""); // at least not the current directory
    }
    return false;
}

int ShowMessage(UINT id, UINT flags) {
    HMODULE module = GetModuleHandleA(NULL);
    char text[kMessageSize] = {0};
    char caption[kCaptionSize] = {0};
    LoadStringA(module, id, text, kMessageSize);
    LoadStringA(module, IDS_DISPLAY_NAME, caption, kCaptionSize);
    return MessageBoxA(NULL, text, caption, flags);
}

int RunSetup(HMODULE module, const char* arguments, DWORD platformId) {
    if (FAILED(CoInitialize(NULL))) {
        ShowMessage(IDS_COM_FAILED, MB_OK | MB_ICONHAND);
        return -1;
    }
    char token[kTextSize] = {0};
    const char* rest = NextToken(arguments, token);
    Package package;
    LoadPackage(module, &package);

    int code = 0;
    const Role role = ChooseRole(token);
    InstallTarget target;
    if (role != Role::Cleanup) {
        QueryInstallTarget(platformId, &target);
    }
    switch (role) {
    case Role::Uninstall:
        code = RunUninstall(package, target, rest);
        break;
    case Role::Cleanup:
        code = RunCleanup(rest);
        break;
    case Role::Install:
        code = RunInstall(package, target);
        break;
    }
    CoUninitialize();
    return code;
}

int RunInstall(const Package& package, const InstallTarget& target) {
    // The stem names the product value, the uninstall entry and the uninstaller's file on
    // every branch, so it must be safe even where the display name names the saver.
    const char* name = IsNtFamily(target.platformId) ? package.fileStem : package.displayName;
    char installed[kTextSize] = {0};
    if (!IsSafeFileName(package.fileStem) ||
        !ExtractScreenSaver(package.module, target.systemFolder, name, installed)) {
        ShowMessage(IDS_EXTRACT_FAILED, MB_OK | MB_ICONHAND);
        return -1;
    }

    char current[kTextSize] = {0};
    GetCurrentScreenSaver(target.platformId, current);
    // Installed again over itself, the setting names this package already: the screen
    // saver to go back to is the one the first install stored, not the package's own
    // file, which its uninstall deletes.
    const bool again = SettingNamesFile(current, installed, target.wow64Folder);
    char stored[kTextSize] = {0};
    if (!again || !ReadProductValue(package.fileStem, stored)) {
        WriteProductValue(package.fileStem, again ? "" : current);
    }

    char setting[kTextSize] = {0};
    SettingPathFor(installed, target.wow64Folder, name, setting);
    SetCurrentScreenSaver(target.platformId, setting);

    char folder[kTextSize] = {0};
    GetProductFolder(folder);
    char own[kTextSize] = {0};
    char uninstaller[kTextSize] = {0};
    const DWORD ownLength = GetModuleFileNameA(package.module, own, kTextSize);
    if (ownLength != 0 && ownLength < kTextSize &&
        JoinText(uninstaller, kTextSize, {folder, "\\UN", package.fileStem, ".exe"})) {
        CopyFileA(own, uninstaller, FALSE);
    }

    char command[kTextSize] = {0};
    if (uninstaller[0] != '\0' && BuildUninstallCommand(uninstaller, installed, command)) {
        RegisterUninstall(package.fileStem, command, package.displayName);
    }

    ShowMessage(IDS_INSTALLED, MB_OK | MB_ICONINFORMATION);
    return 0;
}

int RunUninstall(const Package& package, const InstallTarget& target, const char* arguments) {
    char installed[kTextSize] = {0};
    NextToken(arguments, installed);
    // An install never accepts such a stem, so there is nothing of ours to remove, and an
    // empty one would name the whole uninstall list.
    if (!IsSafeEntryName(package.fileStem)) {
        return 0;
    }
    if (ShowMessage(IDS_CONFIRM_UNINSTALL, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return 0;
    }

    // Only a setting that still names the file going away goes back: a screen saver the
    // user chose since the install stays chosen.
    char current[kTextSize] = {0};
    GetCurrentScreenSaver(target.platformId, current);
    if (SettingNamesFile(current, installed, target.wow64Folder)) {
        char previous[kTextSize] = {0};
        ReadProductValue(package.fileStem, previous);
        SetCurrentScreenSaver(target.platformId, previous);
    }
    DeleteProductValue(package.fileStem);
    if (installed[0] != '\0') {
        DeleteFileA(installed);
    }
    UnregisterUninstall(package.fileStem);

    ShowMessage(IDS_UNINSTALLED, MB_OK | MB_ICONINFORMATION);
    CoUninitialize();
    LaunchSelfRemoval();
    ExitProcess(0);
}

int RunCleanup(const char* arguments) {
    char token[kTextSize] = {0};
    const char* position = NextToken(arguments, token);
    const DWORD processId = ParseDecimal(token);
    position = NextToken(position, token);
    if (lstrcmpiA(token, "-exe") != 0) {
        return 0;
    }
    NextToken(position, token);
    CleanUpAfter(processId, token);
    return 0;
}
