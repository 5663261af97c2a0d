#include "installer_fixture.h"

#include "common/package_layout.h"
#include "common/string_table_block.h"
#include "test_env.h"
#include "window_driver.h"
#include "wizard/resource_updater.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>

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
    ResourceUpdater updater;
    bool built = CopyFileA(BinPath("template.scr").c_str(), saverPath.c_str(), FALSE) &&
                 updater.Begin(saverPath.c_str(), false) &&
                 updater.UpdateFromFile(package::kMovieType, MAKEINTRESOURCEA(package::kMovieId),
                                        GeneratedPath("default.swf").c_str()) &&
                 WriteStrings(&updater, {NULL, displayName}) && updater.End(false) &&
                 CopyFileA(BinPath("setup.ex_").c_str(), installerPath.c_str(), FALSE) &&
                 updater.Begin(installerPath.c_str(), false) &&
                 updater.UpdateFromFile(package::kSaverType, MAKEINTRESOURCEA(package::kSaverId),
                                        saverPath.c_str()) &&
                 WriteStrings(&updater, {NULL, stem, displayName}) && updater.End(false) &&
                 ReadFileBytes(saverPath, saver);
    DeleteFileA(saverPath.c_str());
    return built;
}

bool Start(const std::string& commandLine, PROCESS_INFORMATION* process, DWORD flags) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    std::string line = commandLine;
    return CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, flags, NULL, NULL, &startup,
                          process) != FALSE;
}

int RunAnswering(const std::string& commandLine, const std::vector<int>& answers,
                 std::vector<MessageBoxInfo>* boxes) {
    PROCESS_INFORMATION process;
    if (!Start(commandLine, &process)) {
        return -1000;
    }
    CloseHandle(process.hThread);
    int code = 0;
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
    const DWORD exitCode = code == 0 ? WaitForExit(process.hProcess, 30000) : STILL_ACTIVE;
    if (exitCode != STILL_ACTIVE) {
        code = static_cast<int>(exitCode);
    } else {
        TerminateProcess(process.hProcess, 1);
        code = code == 0 ? -1003 : code;
    }
    CloseHandle(process.hProcess);
    return code;
}

std::string SystemFolder() {
    char path[MAX_PATH] = {0};
    GetSystemDirectoryA(path, MAX_PATH);
    return path;
}

std::string SeenSystemFolder() {
    BOOL wow64 = FALSE;
    char path[MAX_PATH] = {0};
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64 &&
                   GetSystemWow64DirectoryA(path, MAX_PATH) != 0
               ? path
               : SystemFolder();
}

std::string Uninstaller(const char* stem) {
    char path[MAX_PATH] = {0};
    SHGetFolderPathA(NULL, CSIDL_PROGRAM_FILES, NULL, 0, path);
    return std::string(path) + "\\Tovik\\Flickwell\\UN" + stem + ".exe";
}

std::string ShortPath(const std::string& path) {
    char result[MAX_PATH] = {0};
    GetShortPathNameA(path.c_str(), result, MAX_PATH);
    return result;
}

std::string RegText(HKEY root, const std::string& key, const char* value) {
    char data[1024] = {0};
    DWORD size = sizeof(data) - 1;
    return RegGetValueA(root, key.c_str(), value, RRF_RT_REG_SZ, NULL, data, &size) == ERROR_SUCCESS
               ? data
               : "<none>";
}

bool SetRegText(HKEY root, const std::string& key, const char* value, const std::string& text) {
    return SHSetValueA(root, key.c_str(), value, REG_SZ, text.c_str(), text.size() + 1) ==
           ERROR_SUCCESS;
}

std::string SystemIni() {
    char text[MAX_PATH] = {0};
    GetPrivateProfileStringA("boot", "SCRNSAVE.EXE", "", text, MAX_PATH, "system.ini");
    return text;
}

bool WaitUntilGone(const std::string& path, DWORD timeoutMs) {
    for (DWORD start = GetTickCount(); FileExistsAt(path); Sleep(100)) {
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
    }
    return true;
}

void ExpectBox(const MessageBoxInfo& box, const std::string& caption, const char* text,
               BoxIcon icon, std::vector<int> buttons) {
    EXPECT_EQ(caption, box.caption);
    EXPECT_EQ(text, box.text);
    EXPECT_STREQ(BoxIconName(icon), BoxIconName(box.icon)) << text;
    EXPECT_EQ(buttons, box.buttons) << text;
    EXPECT_TRUE(box.owner == NULL) << text;
}

void ExpectSingleBox(const std::string& commandLine, int exitCode, const std::string& caption,
                     const char* text, BoxIcon icon) {
    std::vector<MessageBoxInfo> boxes;
    EXPECT_EQ(exitCode, RunAnswering(commandLine, {IDOK}, &boxes)) << commandLine;
    ASSERT_EQ(1u, boxes.size()) << commandLine;
    ExpectBox(boxes[0], caption, text, icon);
}
