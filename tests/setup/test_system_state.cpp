// What the installer writes into the system, driven in-process with the platform values
// (folders, branch) passed in: what it refuses to place, and what never passes a buffer.
#include "setup/command_line.h"
#include "setup/roles.h"
#include "setup/system_state.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

const std::vector<unsigned char> kSaver(256 * 1024, 0x5A);

TEST(SafeNames, DisplayNamesThatWouldLeaveTheFolderOrNameADeviceAreRefused) {
    for (const char* name : {"Sky Lanterns", "qmv01234", "Ünïcödé Saver", "a.b.c", "Console",
                             "COM10", "LPT", "con1", "..."}) {
        EXPECT_TRUE(IsSafeFileName(name)) << name;
    }
    for (const char* name :
         {"",      "..\\..\\evil", "sub/dir",   "C:evil",   "a|b",   "why?",    "star*",
          "<tag>", "say \"hi\"",   "tab\there", "CON",      "con",   "NUL.txt", "nul .txt",
          "Aux",   "PRN...",       "COM1",      "com9.scr", "LPT3 ", "CONIN$"}) {
        EXPECT_FALSE(IsSafeFileName(name)) << name;
    }
    EXPECT_TRUE(IsSafeEntryName("qmv01234"));
    EXPECT_FALSE(IsSafeEntryName(""));
    EXPECT_FALSE(IsSafeEntryName("other\\qmv01234"));
}

TEST(Extraction, RefusesWhatItCannotPlaceSafelyAndWritesNothing) {
    const std::string folder = MakeScratchDir("refused");
    const std::string target = folder.substr(0, folder.size() - 1);
    // A path one character beyond the buffer is refused, not cut into another name.
    const std::string longName(kTextSize - target.size() - 5, 'n');
    const std::pair<std::string, std::string> refused[] = {{target + "\\missing", "a"},
                                                           {"", "a"},
                                                           {target, "..\\escape"},
                                                           {target, "NUL"},
                                                           {target, longName}};
    char path[kTextSize] = {0};
    for (const auto& r : refused) {
        EXPECT_FALSE(WriteSaverFile(kSaver.data(), 10, r.first.c_str(), r.second.c_str(), path))
            << r.first << " " << r.second;
    }
    EXPECT_STREQ("", path);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*.*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) {
        EXPECT_EQ('.', found.cFileName[0]) << found.cFileName;
    }
    FindClose(search);
}

// A disk that fills during the write: the short file is deleted before the failure is
// reported, so no damaged screen saver stays behind.
TEST(Extraction, ShortWriteOnAFullDiskLeavesNoFile) {
    const char* unix = getenv("FLICKWELL_SMALL_DISK");
    ASSERT_TRUE(unix != NULL);
    std::string folder = std::string("Z:") + unix;
    for (char& c : folder) {
        c = c == '/' ? '\\' : c;
    }
    ULARGE_INTEGER available, total;
    if (!GetDiskFreeSpaceExA((folder + "\\").c_str(), &available, &total, NULL) ||
        total.QuadPart > 1024 * 1024) {
        GTEST_SKIP() << "no small disk mounted at " << folder;
    }
    char path[kTextSize] = {0};
    EXPECT_FALSE(WriteSaverFile(kSaver.data(), static_cast<DWORD>(kSaver.size()), folder.c_str(),
                                "qmv01234", path));
    EXPECT_FALSE(FileExistsAt(folder + "\\qmv01234.scr"));
    // A file that fits still goes there whole.
    ASSERT_TRUE(WriteSaverFile(kSaver.data(), 4096, folder.c_str(), "qmv01234", path));
    DeleteFileA(path);
}

// Stored texts and paths longer than a buffer are refused, never written past it.
TEST(Buffers, OverLongSettingsAndFoldersAreRefused) {
    const std::string huge(400, 'h');
    HKEY desktop = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0,
                                           KEY_SET_VALUE, &desktop));
    RegSetValueExA(desktop, "SCRNSAVE.EXE", 0, REG_SZ, reinterpret_cast<const BYTE*>(huge.c_str()),
                   400);
    RegCloseKey(desktop);
    WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", huge.c_str(), "system.ini");
    for (DWORD platform : {VER_PLATFORM_WIN32_NT, VER_PLATFORM_WIN32_WINDOWS}) {
        char guarded[kTextSize + 16];
        memset(guarded, '#', sizeof(guarded));
        EXPECT_FALSE(GetCurrentScreenSaver(platform, guarded));
        EXPECT_EQ(std::string(sizeof(guarded), '#'), std::string(guarded, sizeof(guarded)));
    }

    const std::string programFiles = MakeScratchDir("Program Files");
    const std::string deep = programFiles + std::string(kTextSize - programFiles.size() - 11, 'p');
    char untouched[kTextSize] = "untouched";
    EXPECT_FALSE(GetProductFolderIn(deep.c_str(), untouched));
    EXPECT_STREQ("untouched", untouched);
    EXPECT_FALSE(FileExistsAt(deep + "\\Tovik"));
}

TEST(UninstallEntry, OnlyThePackagesOwnKeyIsWrittenOrDeleted) {
    const std::string list = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    ASSERT_TRUE(RegisterUninstall("Neighbour", "\"C:\\n.exe\" -u \"C:\\n.scr\"", "Neighbour"));
    ASSERT_TRUE(RegisterUninstall("qmv01234", "\"C:\\u.exe\" -u \"C:\\s.scr\"", "Sky"));
    EXPECT_FALSE(RegisterUninstall("", "cmd", "Empty"));
    EXPECT_FALSE(UnregisterUninstall(""));
    EXPECT_FALSE(UnregisterUninstall("Neighbour\\..\\qmv01234"));
    EXPECT_FALSE(RegisterUninstall(std::string(kTextSize, 'k').c_str(), "cmd", "Long"));
    char value[kTextSize] = {0};
    DWORD size = sizeof(value);
    EXPECT_NE(ERROR_SUCCESS, RegGetValueA(HKEY_LOCAL_MACHINE, list.c_str(), "UninstallString",
                                          RRF_RT_ANY, NULL, value, &size))
        << "nothing written to the list itself";
    EXPECT_TRUE(UnregisterUninstall("qmv01234"));
    EXPECT_FALSE(UnregisterUninstall("qmv01234")) << "already gone";
    size = sizeof(value);
    EXPECT_EQ(ERROR_SUCCESS, RegGetValueA(HKEY_LOCAL_MACHINE, (list + "\\Neighbour").c_str(),
                                          "DisplayName", RRF_RT_ANY, NULL, value, &size));
}

// Once the installer has restricted the DLL search, a library in the current folder (a
// downloads folder) is no longer found by name. The restriction holds for the rest of
// this process; no other test here loads a library.
TEST(DllSearch, PlantedLibraryInTheCurrentFolderIsNotLoadedAfterRestriction) {
    char own[MAX_PATH] = {0};
    GetModuleFileNameA(NULL, own, MAX_PATH);
    const std::string planted =
        std::string(own, strrchr(own, '\\')) + "\\planted\\flickwell_planted.dll";
    const std::string downloads = MakeScratchDir("Downloads");
    ASSERT_TRUE(CopyFileA(planted.c_str(), (downloads + "planted.dll").c_str(), FALSE));
    ASSERT_TRUE(SetCurrentDirectoryA(downloads.c_str()));
    HMODULE before = LoadLibraryA("planted.dll");
    ASSERT_TRUE(before != NULL) << "the current folder is searched by default";
    FreeLibrary(before);

    EXPECT_TRUE(RestrictDllSearch());
    EXPECT_TRUE(LoadLibraryA("planted.dll") == NULL);
    EXPECT_TRUE(LoadLibraryA("version.dll") != NULL) << "the system's own are still found";
}

} // namespace
