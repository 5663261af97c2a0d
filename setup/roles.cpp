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

namespace {

const char kCopyFolderPrefix[] = "fw";
const int kCopyFolderDigits = 16;
const char kCopyName[] = "setup.ex_";

typedef BOOLEAN(WINAPI* RandomFunction)(PVOID, ULONG);

// 64 bits from the system's random generator; where it has none (Windows 95/98/Me), a
// mix of clocks and identifiers another process cannot read back afterwards.
void RandomBits(DWORD (&bits)[2]) {
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    FARPROC found = advapi != NULL ? GetProcAddress(advapi, "SystemFunction036") : NULL;
    RandomFunction random = reinterpret_cast<RandomFunction>(reinterpret_cast<void*>(found));
    if (random != NULL && random(bits, sizeof(bits))) {
        return;
    }
    LARGE_INTEGER counter = {};
    QueryPerformanceCounter(&counter);
    FILETIME now = {};
    GetSystemTimeAsFileTime(&now);
    bits[0] = counter.LowPart ^ now.dwLowDateTime ^ (GetTickCount() * 2654435761u);
    bits[1] = static_cast<DWORD>(counter.HighPart) ^ now.dwHighDateTime ^
              (GetCurrentProcessId() << 16) ^ GetCurrentThreadId() ^
              static_cast<DWORD>(reinterpret_cast<UINT_PTR>(&counter));
}

// A new, empty folder of ours in the temporary folder; a name that exists already is
// never used, whoever made it.
bool MakeCopyFolder(char* folder) {
    char temp[kTextSize] = {0};
    const DWORD length = GetTempPathA(kTextSize, temp);
    if (length == 0 || length >= kTextSize) {
        return false;
    }
    for (int attempt = 0; attempt < 16; ++attempt) {
        DWORD bits[2];
        RandomBits(bits);
        char name[32] = {0};
        wsprintfA(name, "%s%08lX%08lX", kCopyFolderPrefix, bits[0], bits[1]);
        if (!JoinText(folder, kTextSize, {temp, name})) {
            return false;
        }
        if (CreateDirectoryA(folder, NULL)) {
            return true;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            return false;
        }
    }
    return false;
}

// Whether `path` is a temporary copy LaunchSelfRemoval made,
// "<temp>fw<16 hexadecimal digits>\setup.ex_"; its folder goes into `folder`.
bool CopyFolderOf(const char* path, char* folder) {
    char temp[kTextSize] = {0};
    char prefix[kTextSize] = {0};
    const DWORD tempLength = GetTempPathA(kTextSize, temp);
    if (tempLength == 0 || tempLength >= kTextSize ||
        !JoinText(prefix, kTextSize, {temp, kCopyFolderPrefix})) {
        return false;
    }
    const int prefixLength = lstrlenA(prefix);
    const int folderLength = prefixLength + kCopyFolderDigits;
    if (lstrlenA(path) != folderLength + 1 + lstrlenA(kCopyName) || path[folderLength] != '\\' ||
        lstrcmpiA(path + folderLength + 1, kCopyName) != 0 ||
        CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, path, prefixLength, prefix,
                       prefixLength) != CSTR_EQUAL) {
        return false;
    }
    for (int i = prefixLength; i < folderLength; ++i) {
        const char c = path[i];
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    lstrcpynA(folder, path, folderLength + 1);
    return true;
}

// Whether the held copy holds exactly the bytes of `original`: what was copied is what
// will run, even if something changed the file before it was held.
bool SameContent(HANDLE held, const char* original) {
    FileHandle source(
        CreateFileA(original, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL));
    if (!source.Valid() || GetFileSize(source.Get(), NULL) != GetFileSize(held, NULL)) {
        return false;
    }
    BYTE a[4096], b[4096];
    for (;;) {
        DWORD readA = 0, readB = 0;
        if (!ReadFile(source.Get(), a, sizeof(a), &readA, NULL) ||
            !ReadFile(held, b, sizeof(b), &readB, NULL) || readA != readB) {
            return false;
        }
        if (readA == 0) {
            return true;
        }
        for (DWORD i = 0; i < readA; ++i) {
            if (a[i] != b[i]) {
                return false;
            }
        }
    }
}

// Opens `program` for deletion on close, without sharing writes or deletes, so nothing
// can change it until the cleanup started from it is running.
FileHandle HoldForDeletion(const char* program) {
    return FileHandle(CreateFileA(program, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                  FILE_FLAG_DELETE_ON_CLOSE, NULL));
}

// Starts `program` in the cleanup role for this process and `target`, then keeps the
// caller's hold on `program` a moment longer while it starts from it.
bool StartCleanup(const char* program, const char* target) {
    char processId[16] = {0};
    wsprintfA(processId, "%lu", GetCurrentProcessId());
    char command[kTextSize] = {0};
    if (!JoinText(command, kTextSize,
                  {"\"", program, "\" -pid ", processId, " -exe \"", target, "\""})) {
        return false;
    }
    // The cleanup finds this process by its identifier; a handle it inherits keeps the
    // identifier valid should this process end before the cleanup looks.
    HANDLE self = NULL;
    DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self,
                    SYNCHRONIZE | PROCESS_QUERY_INFORMATION, TRUE, 0);
    KernelHandle inherited(self);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    if (!CreateProcessA(NULL, command, NULL, NULL, TRUE, NORMAL_PRIORITY_CLASS, NULL, NULL,
                        &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    Sleep(100);
    return true;
}

// The copy's folder, once the copy has gone with the process that ran from it; when the
// system keeps it longer, it removes both at its next start (where the user may).
void RemoveCopyFolder(const char* copy) {
    char folder[kTextSize] = {0};
    if (!CopyFolderOf(copy, folder)) {
        return;
    }
    for (int attempt = 0; attempt < 50; ++attempt) {
        DeleteFileA(copy);
        if (RemoveDirectoryA(folder)) {
            return;
        }
        Sleep(100);
    }
    MoveFileExA(copy, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
    MoveFileExA(folder, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
}

} // namespace

int RunCleanup(const char* arguments) {
    char token[kTextSize] = {0};
    const char* position = NextToken(arguments, token);
    const DWORD processId = ParseDecimal(token);
    position = NextToken(position, token);
    if (lstrcmpiA(token, "-exe") != 0) {
        return 0;
    }
    NextToken(position, token);
    char own[kTextSize] = {0};
    char folder[kTextSize] = {0};
    const DWORD ownLength = GetModuleFileNameA(NULL, own, kTextSize);
    if (ownLength == 0 || ownLength >= kTextSize || !CopyFolderOf(own, folder)) {
        WaitAndDelete(processId, token);
        RemoveCopyFolder(token);
        return 0;
    }
    // Running from the temporary copy: the copy cannot take its own folder with it. Once
    // the uninstaller has ended, its file, held for deletion on close, runs the last step
    // instead: it waits for this process, removes the copy's folder, and goes itself.
    KernelHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId));
    if (!process.Valid() || token[0] == '\0') {
        return 0;
    }
    WaitForSingleObject(process.Get(), INFINITE);
    process.Reset(NULL);
    FileHandle held = HoldForDeletion(token);
    if (!held.Valid() || !StartCleanup(token, own)) {
        held.Reset(INVALID_HANDLE_VALUE);
        DeleteFileA(token);
        MoveFileExA(own, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
        MoveFileExA(folder, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
    return 0;
}

void LaunchSelfRemoval() {
    char own[kTextSize] = {0};
    char folder[kTextSize] = {0};
    char copy[kTextSize] = {0};
    const DWORD ownLength = GetModuleFileNameA(NULL, own, kTextSize);
    if (ownLength == 0 || ownLength >= kTextSize || !MakeCopyFolder(folder)) {
        return;
    }
    FileHandle held;
    if (JoinText(copy, kTextSize, {folder, "\\", kCopyName}) && CopyFileA(own, copy, TRUE)) {
        held = HoldForDeletion(copy);
    }
    // A copy nobody will delete, or one that is not ours, must not be started: remove it
    // and leave the uninstaller.
    if (!held.Valid() || !SameContent(held.Get(), own) || !StartCleanup(copy, own)) {
        held.Reset(INVALID_HANDLE_VALUE);
        DeleteFileA(copy);
        RemoveDirectoryA(folder);
    }
}

void WaitAndDelete(DWORD processId, const char* path) {
    KernelHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId));
    if (!process.Valid()) {
        return;
    }
    WaitForSingleObject(process.Get(), INFINITE);
    process.Reset(NULL);
    if (path[0] != '\0') {
        DeleteFileA(path);
    }
}
