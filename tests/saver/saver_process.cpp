#include "saver_process.h"

#include "common/unique_handle.h"
#include "test_env.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

const char kProgIdKey[] = "ShockwaveFlash.ShockwaveFlash";

bool SetValue(const std::string& key, const char* name, const std::string& value) {
    HKEY handle = NULL;
    if (RegCreateKeyA(HKEY_CLASSES_ROOT, key.c_str(), &handle) != ERROR_SUCCESS) {
        return false;
    }
    RegKey owned(handle);
    return RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

} // namespace

std::string NextToThisProgram(const char* name) {
    char path[MAX_PATH] = {0};
    GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string dir = path;
    return dir.substr(0, dir.find_last_of('\\') + 1) + name;
}

bool RegisterFlashStandIn(const CLSID& clsid) {
    wchar_t wide[64] = {0};
    char text[64] = {0};
    StringFromGUID2(clsid, wide, 64);
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof(text), NULL, NULL);
    std::string server = std::string("CLSID\\") + text + "\\InprocServer32";
    return SetValue(server, NULL, NextToThisProgram("test_control.dll")) &&
           SetValue(server, "ThreadingModel", "Apartment") &&
           SetValue(std::string(kProgIdKey) + "\\CLSID", NULL, text);
}

void UnregisterFlashStandIn() {
    RegDeleteKeyA(HKEY_CLASSES_ROOT, "ShockwaveFlash.ShockwaveFlash\\CLSID");
    RegDeleteKeyA(HKEY_CLASSES_ROOT, kProgIdKey);
}

namespace {

// Runs one of the player DLL's registration exports.
bool CallPlayer(const char* exportName) {
    Library player(LoadLibraryA(BinPath("FlickwellPlayer.dll").c_str()));
    typedef HRESULT(WINAPI * RegisterProc)();
    RegisterProc call = player.Valid() ? reinterpret_cast<RegisterProc>(reinterpret_cast<void*>(
                                             GetProcAddress(player.Get(), exportName)))
                                       : NULL;
    return call != NULL && call() == S_OK;
}

} // namespace

bool RegisterPlayer() {
    return CallPlayer("DllRegisterServer");
}

bool UnregisterPlayer() {
    UnregisterFlashStandIn();
    return CallPlayer("DllUnregisterServer");
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream file(path.c_str());
    for (std::string line; std::getline(file, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::vector<unsigned char> EmbeddedMovie() {
    std::vector<unsigned char> bytes; // template.scr is built with it as SWF 202
    ReadFileBytes(GeneratedPath("default.swf"), &bytes);
    return bytes;
}

std::vector<std::string> MovieFiles() {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((TempDir() + "swf*.tmp").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) {
        names.push_back(found.cFileName);
    }
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
    }
    return names;
}

void RemoveMovieFiles() {
    for (const std::string& name : MovieFiles()) {
        DeleteFileA((TempDir() + name).c_str());
    }
}

void ExpectOneFaithfulMovieFile(DWORD before) {
    std::vector<std::string> files = MovieFiles();
    ASSERT_EQ(1u, files.size());
    const std::string& name = files[0];
    ASSERT_GT(name.size(), 8u);
    unsigned long tick = strtoul(name.substr(3, name.size() - 7).c_str(), NULL, 16);
    char expected[32];
    snprintf(expected, sizeof(expected), "swf%05lX.tmp", tick);
    EXPECT_EQ(expected, name);
    EXPECT_LE(before, tick);
    EXPECT_GE(GetTickCount(), tick);
    std::vector<unsigned char> written;
    EXPECT_TRUE(ReadFileBytes(TempDir() + name, &written));
    EXPECT_TRUE(written == EmbeddedMovie()) << "the movie file differs from SWF 202";
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
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    return CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process_) !=
           FALSE;
}

HWND SaverProcess::WaitForWindow(const char* className, HWND parent, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    do {
        // Top-level windows, or the parent's own children.
        for (HWND window = FindWindowExA(parent, NULL, className, NULL); window != NULL;
             window = FindWindowExA(parent, window, className, NULL)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(window, &pid);
            if (pid == process_.dwProcessId) {
                return window;
            }
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

bool SaverProcess::HasModule(const char* name) const {
    HANDLE snapshot =
        CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, process_.dwProcessId);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return false;
    }
    FileHandle owned(snapshot);
    MODULEENTRY32 module;
    module.dwSize = sizeof(module);
    for (BOOL more = Module32First(snapshot, &module); more;
         more = Module32Next(snapshot, &module)) {
        if (lstrcmpiA(module.szModule, name) == 0) {
            return true;
        }
    }
    return false;
}

HWND ControlOf(HWND saverWindow) {
    HWND container = FindWindowExA(saverWindow, NULL, kHostClass, NULL);
    return container != NULL ? GetWindow(container, GW_CHILD) : NULL;
}
