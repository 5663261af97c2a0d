// What the installer writes into the system, driven in-process with the platform values
// (folders, branch) passed in: what it refuses, and what never passes a buffer.
#include "setup/command_line.h"
#include "setup/roles.h"
#include "setup/system_state.h"
#include "test_env.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

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

// Whether the current setting still names the installed file decides what an install
// stores and what an uninstall restores: every spelling of that one file counts, and
// nothing else does.
TEST(SettingNamesFile, EverySpellingOfTheFileAndNothingElse) {
    const std::string system = MakeScratchDir("system32"), wow64 = MakeScratchDir("syswow64");
    const std::string installed = system + "Sky Lanterns.scr";
    ASSERT_TRUE(WriteFileBytes(installed, {1}));
    ASSERT_TRUE(WriteFileBytes(wow64 + "Sky Lanterns.scr", {2}));
    ASSERT_TRUE(WriteFileBytes(system + "Other.scr", {3}));
    char shortPath[kTextSize] = {0}, seenShort[kTextSize] = {0};
    ASSERT_NE(0u, GetShortPathNameA(installed.c_str(), shortPath, kTextSize));
    ASSERT_NE(0u, GetShortPathNameA((wow64 + "Sky Lanterns.scr").c_str(), seenShort, kTextSize));
    std::string upper = installed;
    CharUpperA(&upper[0]);
    const std::string folder = wow64.substr(0, wow64.size() - 1);
    const struct {
        std::string setting;
        const char* wow64;
        bool names;
    } cases[] = {{installed, "", true},
                 {upper, "", true},
                 {shortPath, "", true},
                 {system + ".\\Sky Lanterns.scr", "", true},
                 {system + "Other.scr", "", false},
                 {system + "Missing.scr", "", false},
                 {"", "", false},
                 // Under WOW64 the setting names the folder a 64-bit system sees.
                 {wow64 + "Sky Lanterns.scr", folder.c_str(), true},
                 {seenShort, folder.c_str(), true},
                 {wow64 + "Sky Lanterns.scr", "", false}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.names, SettingNamesFile(c.setting.c_str(), installed.c_str(), c.wow64))
            << c.setting << " / " << c.wow64;
    }
    EXPECT_FALSE(SettingNamesFile(installed.c_str(), "", ""));
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
    SHSetValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "SCRNSAVE.EXE", REG_SZ, huge.c_str(),
                401);
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

// The empty stem is refused by the process tests; a key that names another entry or
// would not fit is refused too, and an entry goes only once.
TEST(UninstallEntry, OnlyThePackagesOwnKeyIsWrittenOrDeleted) {
    ASSERT_TRUE(RegisterUninstall("qmv01234", "\"C:\\u.exe\" -u \"C:\\s.scr\"", "Sky"));
    EXPECT_FALSE(UnregisterUninstall("Neighbour\\..\\qmv01234"));
    EXPECT_FALSE(RegisterUninstall(std::string(kTextSize, 'k').c_str(), "cmd", "Long"));
    EXPECT_TRUE(UnregisterUninstall("qmv01234"));
    EXPECT_FALSE(UnregisterUninstall("qmv01234")) << "already gone";
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
