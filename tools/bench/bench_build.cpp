// Measures one package build three ways for scripts/bench-wizard.sh (not a test):
//   bench_build wizard MOVIE DIR   qmwizard.exe driven to build: wall time, its peak memory
//   bench_build floor MOVIE DIR    only the same copies and two resource updates, raw Win32
//   bench_build copy MOVIE DIR     one plain copy of the movie, for scale
// Prints "milliseconds peak_working_set_bytes"; the companions come from the App Paths entry.
#include "wizard/companion.h"

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <cstdio>
#include <string>

namespace {

double Now() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * counter.QuadPart / frequency.QuadPart;
}

SIZE_T PeakOf(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters;
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(process, &counters, sizeof(counters));
    return counters.PeakWorkingSetSize;
}

// One file read whole into memory and written as one resource, the way any builder must.
bool PutFile(const std::string& target, LPCSTR type, LPCSTR name, const std::string& source,
             const void* strings, DWORD stringsSize) {
    HANDLE file =
        CreateFileA(source.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    DWORD size = GetFileSize(file, NULL), read = 0;
    void* data = VirtualAlloc(NULL, size, MEM_COMMIT, PAGE_READWRITE);
    ReadFile(file, data, size, &read, NULL);
    CloseHandle(file);
    HANDLE update = BeginUpdateResourceA(target.c_str(), FALSE);
    const WORD language = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    bool ok = UpdateResourceA(update, type, name, language, data, size) &&
              UpdateResourceA(update, MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(1), language,
                              const_cast<void*>(strings), stringsSize);
    VirtualFree(data, 0, MEM_RELEASE);
    return EndUpdateResourceA(update, FALSE) && ok;
}

int Floor(const std::string& movie, const std::string& dir) {
    char templateFile[MAX_PATH], setupFile[MAX_PATH];
    GetCompanionPath(kTemplateFile, templateFile);
    GetCompanionPath(kSetupFile, setupFile);
    const std::string temp = dir + "floor.scr", destination = dir + "floor.exe";
    BYTE strings[58] = {0}; // the sizes of the blocks for the name "Bench"
    const double start = Now();
    bool ok = CopyFileA(templateFile, temp.c_str(), FALSE) &&
              PutFile(temp, "SWF", MAKEINTRESOURCEA(202), movie, strings, 42) &&
              CopyFileA(setupFile, destination.c_str(), FALSE) &&
              PutFile(destination, "SCR", MAKEINTRESOURCEA(101), temp, strings, 58) &&
              CopyFileA(temp.c_str(), (dir + "floor-preview.scr").c_str(), FALSE);
    DeleteFileA(temp.c_str());
    printf("%.0f %lu\n", Now() - start, static_cast<unsigned long>(PeakOf(GetCurrentProcess())));
    return ok ? 0 : 1;
}

int Copy(const std::string& movie, const std::string& dir) {
    const double start = Now();
    bool ok = CopyFileA(movie.c_str(), (dir + "copy.swf").c_str(), FALSE);
    printf("%.0f %lu\n", Now() - start, static_cast<unsigned long>(PeakOf(GetCurrentProcess())));
    return ok ? 0 : 1;
}

struct Found {
    DWORD pid;
    HWND sheet;
};

BOOL CALLBACK FindSheet(HWND window, LPARAM param) {
    Found* found = reinterpret_cast<Found*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char cls[32] = {0};
    GetClassNameA(window, cls, sizeof(cls));
    if (pid == found->pid && lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(window)) {
        found->sheet = window;
        return FALSE;
    }
    return TRUE;
}

std::string PageTitle(HWND sheet) {
    DWORD_PTR page = 0;
    SendMessageTimeoutA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0, 0, 600000, &page);
    char title[64] = {0};
    DWORD_PTR done = 0;
    SendMessageTimeoutA(GetDlgItem(reinterpret_cast<HWND>(page), 1001), WM_GETTEXT, sizeof(title),
                        reinterpret_cast<LPARAM>(title), 0, 600000, &done);
    return title;
}

bool WaitForTitle(HWND sheet, const char* title) {
    for (int i = 0; i < 60000; ++i) {
        if (PageTitle(sheet) == title) {
            return true;
        }
        Sleep(1);
    }
    return false;
}

int Wizard(const std::string& movie, const std::string& dir) {
    const std::string project = dir + "bench.qmv";
    DeleteFileA(project.c_str());
    WritePrivateProfileStringA("Parameters", "DisplayName", "Bench", project.c_str());
    WritePrivateProfileStringA("Parameters", "MoviePath", movie.c_str(), project.c_str());
    WritePrivateProfileStringA("Parameters", "DestinationPath", (dir + "wizard.exe").c_str(),
                               project.c_str());
    char self[MAX_PATH] = {0};
    GetModuleFileNameA(NULL, self, sizeof(self));
    std::string wizard = self;
    wizard = wizard.substr(0, wizard.rfind('\\') + 1) + "..\\bin\\qmwizard.exe";
    std::string line = "\"" + wizard + "\" \"" + project + "\"";
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    if (!CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        return 1;
    }
    Found found = {process.dwProcessId, NULL};
    for (int i = 0; i < 400 && found.sheet == NULL; ++i) {
        Sleep(50);
        EnumWindows(FindSheet, reinterpret_cast<LPARAM>(&found));
    }
    bool ok = found.sheet != NULL && WaitForTitle(found.sheet, "Welcome to Flickwell!");
    PostMessageA(found.sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
    ok = ok && WaitForTitle(found.sheet, "Screen Saver Settings");
    PostMessageA(found.sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
    ok = ok && WaitForTitle(found.sheet, "Project Settings");
    const double start = Now();
    PostMessageA(found.sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
    ok = ok && WaitForTitle(found.sheet, "Congratulations!");
    const double elapsed = Now() - start;
    printf("%.0f %lu\n", elapsed, static_cast<unsigned long>(PeakOf(process.hProcess)));
    PostMessageA(found.sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: bench_build wizard|floor|copy MOVIE DIR\n");
        return 2;
    }
    const std::string mode = argv[1], movie = argv[2];
    std::string dir = argv[3];
    if (dir.back() != '\\') {
        dir += '\\';
    }
    if (mode == "wizard") {
        return Wizard(movie, dir);
    }
    return mode == "floor" ? Floor(movie, dir) : Copy(movie, dir);
}
