#include "saver_process.h"

#include "test_env.h"

#include <objbase.h>

namespace {

const char kProgIdKey[] = "ShockwaveFlash.ShockwaveFlash";

std::string TestControlPath() {
    char path[MAX_PATH] = {0};
    GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string dir = path;
    return dir.substr(0, dir.find_last_of('\\') + 1) + "test_control.dll";
}

bool SetDefault(const std::string& key, const char* name, const std::string& value) {
    HKEY handle = NULL;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, NULL, 0, KEY_WRITE, NULL, &handle,
                        NULL) != ERROR_SUCCESS) {
        return false;
    }
    LONG result =
        RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}

std::string ClsidText(const CLSID& clsid) {
    wchar_t wide[64] = {0};
    StringFromGUID2(clsid, wide, 64);
    char narrow[64] = {0};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof(narrow), NULL, NULL);
    return narrow;
}

struct Search {
    DWORD pid;
    const char* className;
    HWND parent;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
    Search* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char name[128] = {0};
    GetClassNameA(window, name, sizeof(name));
    if (pid == search->pid && lstrcmpA(name, search->className) == 0 &&
        (search->parent == NULL || GetParent(window) == search->parent)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

bool RegisterFlashStandIn(const CLSID& clsid) {
    std::string text = ClsidText(clsid);
    std::string server = "CLSID\\" + text + "\\InprocServer32";
    return SetDefault(server, NULL, TestControlPath()) &&
           SetDefault(server, "ThreadingModel", "Apartment") &&
           SetDefault(std::string(kProgIdKey) + "\\CLSID", NULL, text);
}

void UnregisterFlashStandIn() {
    RegDeleteKeyA(HKEY_CLASSES_ROOT, "ShockwaveFlash.ShockwaveFlash\\CLSID");
    RegDeleteKeyA(HKEY_CLASSES_ROOT, kProgIdKey);
}

std::string ResetControlLog(const char* name) {
    std::string path = TempDir() + name;
    DeleteFileA(path.c_str());
    SetEnvironmentVariableA("FLICKWELL_CONTROL_LOG", path.c_str());
    return path;
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<unsigned char> bytes;
    std::vector<std::string> lines;
    if (!ReadFileBytes(path, &bytes)) {
        return lines;
    }
    std::string line;
    for (unsigned char c : bytes) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += static_cast<char>(c);
        }
    }
    return lines;
}

int LineIndex(const std::vector<std::string>& lines, const std::string& start) {
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].compare(0, start.size(), start) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool HasLineStartingWith(const std::vector<std::string>& lines, const std::string& start) {
    return LineIndex(lines, start) >= 0;
}

std::vector<std::string> MovieFiles() {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((TempDir() + "swf*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

void RemoveMovieFiles() {
    for (const std::string& name : MovieFiles()) {
        DeleteFileA((TempDir() + name).c_str());
    }
}

void Pump(DWORD ms) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms) {
            return;
        }
        MsgWaitForMultipleObjects(0, NULL, FALSE, ms - elapsed, QS_ALLINPUT);
    }
}

SaverProcess::~SaverProcess() {
    if (process_.hProcess != NULL) {
        if (Running()) {
            TerminateProcess(process_.hProcess, 1);
        }
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
}

bool SaverProcess::Start(const std::string& program, const std::string& args) {
    std::string line = "\"" + program + "\" " + args;
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    return CreateProcessA(NULL, buffer.data(), NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                          &process_) != FALSE;
}

HWND SaverProcess::WaitForWindow(const char* className, HWND parent, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    do {
        Search search = {process_.dwProcessId, className, parent, NULL};
        if (parent != NULL) {
            EnumChildWindows(parent, MatchWindow, reinterpret_cast<LPARAM>(&search));
        } else {
            EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
        }
        if (search.found != NULL) {
            return search.found;
        }
        Pump(20);
    } while (GetTickCount() - start < timeoutMs);
    return NULL;
}

bool SaverProcess::Running() const {
    return process_.hProcess != NULL && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

DWORD SaverProcess::WaitForExit(DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (Running()) {
        if (GetTickCount() - start >= timeoutMs) {
            return static_cast<DWORD>(-1001);
        }
        Pump(20);
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}
