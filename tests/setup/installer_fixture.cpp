#include "installer_fixture.h"

#include "common/package_layout.h"
#include "common/string_table_block.h"
#include "test_env.h"
#include "wizard/resource_updater.h"

#include <shlobj.h>

namespace {

bool WriteStrings(ResourceUpdater* updater, const std::vector<const char*>& entries) {
    StringTableBlock block;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i] != NULL && !block.Add(static_cast<int>(i), entries[i], CP_ACP)) {
            return false;
        }
    }
    return updater->Update(MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(package::kStringBlock),
                           block.Data(), block.Size());
}

} // namespace

bool BuildInstaller(const std::string& installerPath, const char* stem, const char* displayName,
                    std::vector<unsigned char>* saver) {
    const std::string saverPath = installerPath + ".scr";
    if (!CopyFileA(BinPath("template.scr").c_str(), saverPath.c_str(), FALSE)) {
        return false;
    }
    ResourceUpdater updater;
    if (!updater.Begin(saverPath.c_str(), false) ||
        !updater.UpdateFromFile(package::kMovieType, MAKEINTRESOURCEA(package::kMovieId),
                                GeneratedPath("default.swf").c_str()) ||
        !WriteStrings(&updater, {NULL, displayName}) || !updater.End(false)) {
        return false;
    }
    if (!CopyFileA(BinPath("setup.ex_").c_str(), installerPath.c_str(), FALSE) ||
        !updater.Begin(installerPath.c_str(), false) ||
        !updater.UpdateFromFile(package::kSaverType, MAKEINTRESOURCEA(package::kSaverId),
                                saverPath.c_str()) ||
        !WriteStrings(&updater, {NULL, stem, displayName}) || !updater.End(false)) {
        return false;
    }
    bool read = ReadFileBytes(saverPath, saver);
    DeleteFileA(saverPath.c_str());
    return read;
}

int RunAnswering(const std::string& commandLine, const std::vector<int>& answers,
                 std::vector<MessageBoxInfo>* boxes) {
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        return -1000;
    }
    CloseHandle(process.hThread);
    int code = -1001;
    for (int press : answers) {
        MessageBoxInfo info;
        if (!WaitForMessageBox(process.dwProcessId, 20000, &info)) {
            code = -1002;
            break;
        }
        boxes->push_back(info);
        PressButton(info, press);
        // The next box must not be this one on its way out.
        for (int i = 0; i < 200 && IsWindow(info.window) && IsWindowVisible(info.window); ++i) {
            Sleep(25);
        }
    }
    if (code == -1002) {
        TerminateProcess(process.hProcess, static_cast<UINT>(code));
    }
    DWORD exitCode = 0;
    if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0 &&
        GetExitCodeProcess(process.hProcess, &exitCode)) {
        if (code != -1002) {
            code = static_cast<int>(exitCode);
        }
    } else {
        TerminateProcess(process.hProcess, 1);
        code = -1003;
    }
    CloseHandle(process.hProcess);
    return code;
}

std::string SystemFolder() {
    char path[MAX_PATH] = {0};
    GetSystemDirectoryA(path, MAX_PATH);
    return path;
}

std::string Wow64SystemFolder() {
    BOOL wow64 = FALSE;
    char path[MAX_PATH] = {0};
    if (IsWow64Process(GetCurrentProcess(), &wow64) && wow64) {
        GetSystemWow64DirectoryA(path, MAX_PATH);
    }
    return path;
}

std::string ProgramFilesFolder() {
    char path[MAX_PATH] = {0};
    SHGetFolderPathA(NULL, CSIDL_PROGRAM_FILES, NULL, 0, path);
    return path;
}

std::string ShortPath(const std::string& path) {
    char result[MAX_PATH] = {0};
    GetShortPathNameA(path.c_str(), result, MAX_PATH);
    return result;
}

bool ReadRegistryText(HKEY root, const char* key, const char* value, std::string* text) {
    char data[1024] = {0};
    DWORD size = sizeof(data) - 1;
    HKEY opened = NULL;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) {
        return false;
    }
    LONG result = RegQueryValueExA(opened, value, NULL, NULL, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(opened);
    if (result != ERROR_SUCCESS) {
        return false;
    }
    *text = data;
    return true;
}

std::string CurrentSaverNt() {
    std::string text;
    ReadRegistryText(HKEY_CURRENT_USER, "Control Panel\\Desktop", "SCRNSAVE.EXE", &text);
    return text;
}

std::string CurrentSaver98() {
    char text[MAX_PATH] = {0};
    GetPrivateProfileStringA("boot", "SCRNSAVE.EXE", "", text, MAX_PATH, "system.ini");
    return text;
}

bool SetCurrentSaverNt(const std::string& text) {
    HKEY key = NULL;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, NULL, 0, KEY_WRITE, NULL,
                        &key, NULL) != ERROR_SUCCESS) {
        return false;
    }
    LONG result =
        RegSetValueExA(key, "SCRNSAVE.EXE", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

bool WaitUntilGone(const std::string& path, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (FileExistsAt(path)) {
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
        Sleep(100);
    }
    return true;
}
