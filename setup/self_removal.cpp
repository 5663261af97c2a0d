#include "setup/self_removal.h"

#include "common/unique_handle.h"
#include "setup/bounded_text.h"
#include "setup/command_line.h"

namespace {

const char kCopyFolderPrefix[] = "fw";
const int kCopyFolderDigits = 16;
const char kCopyName[] = "setup.ex_";
// How long a starter waits for its cleanup to hold it before ending regardless.
const DWORD kHandOverTimeoutMs = 30000;

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

// The event a cleanup sets once it holds process `processId`: the starter must not end
// before then, or the cleanup, slow to start, finds nothing to wait for and deletes nothing.
void HandOverEventName(DWORD processId, char (&name)[48]) {
    wsprintfA(name, "FlickwellCleanupHolds%lu", processId);
}

// Opens process `processId` for waiting on, and tells its starter that it may end.
KernelHandle HoldProcess(DWORD processId) {
    KernelHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId));
    if (process.Valid()) {
        char name[48] = {0};
        HandOverEventName(processId, name);
        KernelHandle handOver(OpenEventA(EVENT_MODIFY_STATE, FALSE, name));
        if (handOver.Valid()) {
            SetEvent(handOver.Get());
        }
    }
    return process;
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
    // An event of that name made by someone else is not waited on: it may never be set,
    // or be set too early.
    char name[48] = {0};
    HandOverEventName(GetCurrentProcessId(), name);
    SetLastError(0);
    KernelHandle handOver(CreateEventA(NULL, TRUE, FALSE, name));
    if (handOver.Valid() && GetLastError() == ERROR_ALREADY_EXISTS) {
        handOver.Reset(NULL);
    }
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    if (!CreateProcessA(NULL, command, NULL, NULL, TRUE, NORMAL_PRIORITY_CLASS, NULL, NULL,
                        &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    KernelHandle child(process.hProcess);
    if (handOver.Valid()) {
        // Until the cleanup holds this process, or has ended without doing so.
        const HANDLE either[2] = {handOver.Get(), child.Get()};
        WaitForMultipleObjects(2, either, FALSE, kHandOverTimeoutMs);
    } else {
        Sleep(100);
    }
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

void CleanUpAfter(DWORD processId, const char* path) {
    char own[kTextSize] = {0};
    char folder[kTextSize] = {0};
    const DWORD ownLength = GetModuleFileNameA(NULL, own, kTextSize);
    if (ownLength == 0 || ownLength >= kTextSize || !CopyFolderOf(own, folder)) {
        WaitAndDelete(processId, path);
        RemoveCopyFolder(path);
        return;
    }
    // Running from the temporary copy: the copy cannot take its own folder with it. Once
    // the uninstaller has ended, its file, held for deletion on close, runs the last step
    // instead: it waits for this process, removes the copy's folder, and goes itself.
    KernelHandle process = HoldProcess(processId);
    if (!process.Valid() || path[0] == '\0') {
        return;
    }
    WaitForSingleObject(process.Get(), INFINITE);
    process.Reset(NULL);
    FileHandle held = HoldForDeletion(path);
    if (!held.Valid() || !StartCleanup(path, own)) {
        held.Reset(INVALID_HANDLE_VALUE);
        DeleteFileA(path);
        MoveFileExA(own, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
        MoveFileExA(folder, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
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
    KernelHandle process = HoldProcess(processId);
    if (!process.Valid()) {
        return;
    }
    WaitForSingleObject(process.Get(), INFINITE);
    process.Reset(NULL);
    if (path[0] != '\0') {
        DeleteFileA(path);
    }
}
