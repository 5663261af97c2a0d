// What the installer writes into the system, driven in-process with the platform values
// (folders, branch, WOW64 folder) passed in.
#include "setup/command_line.h"
#include "setup/system_state.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

const DWORD kNt = VER_PLATFORM_WIN32_NT;
const DWORD kWindows98 = VER_PLATFORM_WIN32_WINDOWS;

std::vector<unsigned char> Bytes(size_t size) {
    std::vector<unsigned char> bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<unsigned char>(i * 13 + 1);
    }
    return bytes;
}

bool FolderIsEmpty(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return true;
    }
    bool empty = true;
    do {
        std::string name = found.cFileName;
        empty = empty && (name == "." || name == "..");
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return empty;
}

TEST(SafeNames, DisplayNamesThatWouldLeaveTheFolderOrNameADeviceAreRefused) {
    const char* safe[] = {"Sky Lanterns", "qmv01234", "ssqmv", "Ünïcödé Saver", "a.b.c",
                          "Console",      "COM10",    "LPT",   "con1",          "..."};
    for (const char* name : safe) {
        EXPECT_TRUE(IsSafeFileName(name)) << name;
    }
    const char* unsafe[] = {
        "",      "..\\..\\evil", "sub/dir",   "C:evil",   "a|b",   "why?",    "star*",
        "<tag>", "say \"hi\"",   "tab\there", "CON",      "con",   "NUL.txt", "nul .txt",
        "Aux",   "PRN...",       "COM1",      "com9.scr", "LPT3 ", "CONIN$",  "conout$"};
    for (const char* name : unsafe) {
        EXPECT_FALSE(IsSafeFileName(name)) << name;
    }
    EXPECT_TRUE(IsSafeEntryName("qmv01234"));
    EXPECT_FALSE(IsSafeEntryName(""));
    EXPECT_FALSE(IsSafeEntryName("other\\qmv01234"));
}

TEST(Extraction, WritesTheWholeFileAndReplacesAnOldOne) {
    const std::string folder = MakeScratchDir("extract");
    ASSERT_TRUE(WriteFileBytes(folder + "qmv01234.scr", Bytes(100000)));
    const std::vector<unsigned char> saver = Bytes(3000);
    char path[kTextSize] = {0};
    const std::string target = folder.substr(0, folder.size() - 1);
    ASSERT_TRUE(WriteSaverFile(saver.data(), 3000, target.c_str(), "qmv01234", path));
    EXPECT_EQ(folder + "qmv01234.scr", path);
    std::vector<unsigned char> written;
    ASSERT_TRUE(ReadFileBytes(path, &written));
    EXPECT_TRUE(written == saver);
}

TEST(Extraction, RefusesWhatItCannotPlaceSafely) {
    const std::vector<unsigned char> saver = Bytes(10);
    const std::string folder = MakeScratchDir("refused");
    const std::string target = folder.substr(0, folder.size() - 1);
    char path[kTextSize] = {0};
    EXPECT_FALSE(WriteSaverFile(saver.data(), 10, (target + "\\missing").c_str(), "a", path));
    EXPECT_FALSE(WriteSaverFile(saver.data(), 10, "", "a", path)) << "no system folder";
    EXPECT_FALSE(WriteSaverFile(saver.data(), 10, target.c_str(), "..\\escape", path));
    EXPECT_FALSE(WriteSaverFile(saver.data(), 10, target.c_str(), "NUL", path));
    // A path one character beyond the buffer is refused, not cut into another name.
    const std::string name(kTextSize - target.size() - 5, 'n');
    EXPECT_FALSE(WriteSaverFile(saver.data(), 10, target.c_str(), name.c_str(), path));
    EXPECT_STREQ("", path);
    EXPECT_TRUE(FolderIsEmpty(target));
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
    const std::vector<unsigned char> saver = Bytes(256 * 1024);
    char path[kTextSize] = {0};
    EXPECT_FALSE(WriteSaverFile(saver.data(), static_cast<DWORD>(saver.size()), folder.c_str(),
                                "qmv01234", path));
    EXPECT_FALSE(FileExistsAt(folder + "\\qmv01234.scr"));
    // A file that fits still goes there whole.
    ASSERT_TRUE(WriteSaverFile(saver.data(), 4096, folder.c_str(), "qmv01234", path));
    DeleteFileA(path);
}

TEST(ScreenSaverSetting, EachBranchReadsWhatItWrote) {
    char buffer[kTextSize] = {0};
    ASSERT_TRUE(SetCurrentScreenSaver(kNt, "C:\\WINDOWS\\system32\\qmv01234.scr"));
    ASSERT_TRUE(GetCurrentScreenSaver(kNt, buffer));
    EXPECT_STREQ("C:\\WINDOWS\\system32\\qmv01234.scr", buffer);

    ASSERT_TRUE(SetCurrentScreenSaver(kWindows98, "C:\\WINDOWS\\SYSTEM\\SKYLAN~1.SCR"));
    char ini[kTextSize] = {0};
    GetPrivateProfileStringA("boot", "SCRNSAVE.EXE", "", ini, kTextSize, "system.ini");
    EXPECT_STREQ("C:\\WINDOWS\\SYSTEM\\SKYLAN~1.SCR", ini);
    char buffer98[kTextSize] = {0};
    ASSERT_TRUE(GetCurrentScreenSaver(kWindows98, buffer98));
    EXPECT_STREQ(ini, buffer98);

    // An empty setting reads as none on both branches.
    ASSERT_TRUE(SetCurrentScreenSaver(kNt, ""));
    ASSERT_TRUE(SetCurrentScreenSaver(kWindows98, ""));
    char untouched[kTextSize] = "untouched";
    GetCurrentScreenSaver(kNt, untouched);
    EXPECT_STREQ("", untouched);
    EXPECT_FALSE(GetCurrentScreenSaver(kWindows98, untouched));

    // A setting longer than the buffer is refused, never written past it.
    const std::string huge(400, 'h');
    HKEY desktop = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0,
                                           KEY_SET_VALUE, &desktop));
    RegSetValueExA(desktop, "SCRNSAVE.EXE", 0, REG_SZ, reinterpret_cast<const BYTE*>(huge.c_str()),
                   400);
    RegCloseKey(desktop);
    char guarded[kTextSize + 16];
    memset(guarded, '#', sizeof(guarded));
    guarded[0] = '\0';
    EXPECT_FALSE(GetCurrentScreenSaver(kNt, guarded));
    for (size_t i = kTextSize; i < sizeof(guarded); ++i) {
        ASSERT_EQ('#', guarded[i]);
    }
    WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", huge.c_str(), "system.ini");
    EXPECT_FALSE(GetCurrentScreenSaver(kWindows98, guarded));
}

TEST(ScreenSaverSetting, UnderWow64TheSettingNamesTheFileWhereItReallyLies) {
    // The folders a 64-bit system shows: System32 is its own, SysWOW64 holds our file.
    const std::string system32 = MakeScratchDir("System32");
    const std::string syswow64 = MakeScratchDir("SysWOW64");
    ASSERT_TRUE(WriteFileBytes(syswow64 + "qmv01234.scr", Bytes(8)));
    const std::string asked = system32 + "qmv01234.scr";
    const std::string wow64Folder = syswow64.substr(0, syswow64.size() - 1);
    char setting[kTextSize] = {0};
    SettingPathFor(asked.c_str(), wow64Folder.c_str(), "qmv01234", setting);
    char expected[kTextSize] = {0};
    GetShortPathNameA((syswow64 + "qmv01234.scr").c_str(), expected, kTextSize);
    EXPECT_STREQ(expected, setting);

    // On 32-bit Windows the installed path itself, in its short form.
    ASSERT_TRUE(WriteFileBytes(system32 + "Sky Lanterns.scr", Bytes(8)));
    SettingPathFor((system32 + "Sky Lanterns.scr").c_str(), "", "Sky Lanterns", setting);
    GetShortPathNameA((system32 + "Sky Lanterns.scr").c_str(), expected, kTextSize);
    EXPECT_STREQ(expected, setting);
    EXPECT_EQ(nullptr, strchr(setting, ' '));

    // No short form to be had: the setting is empty.
    SettingPathFor((system32 + "missing.scr").c_str(), "", "missing", setting);
    EXPECT_STREQ("", setting);
}

TEST(ProductKey, MissingValueLeavesTheBufferAndAnEmptyNameIsRefused) {
    char kept[kTextSize] = "kept";
    EXPECT_FALSE(ReadProductValue("qmv00000", kept));
    EXPECT_STREQ("kept", kept);
    // An empty name would be the key's default value.
    EXPECT_FALSE(WriteProductValue("", "x"));
    EXPECT_FALSE(ReadProductValue("", kept));
}

TEST(ProductFolder, MakesBothLevelsAndRefusesAPathTooLong) {
    const std::string programFiles = MakeScratchDir("Program Files");
    const std::string root = programFiles.substr(0, programFiles.size() - 1);
    char folder[kTextSize] = {0};
    ASSERT_TRUE(GetProductFolderIn(root.c_str(), folder));
    EXPECT_EQ(programFiles + "Tovik\\Flickwell", folder);
    EXPECT_TRUE(FileExistsAt(folder));
    // Again, with both levels there already.
    ASSERT_TRUE(GetProductFolderIn(root.c_str(), folder));

    const std::string deep = root + "\\" + std::string(kTextSize - root.size() - 12, 'p');
    char untouched[kTextSize] = "untouched";
    EXPECT_FALSE(GetProductFolderIn(deep.c_str(), untouched));
    EXPECT_FALSE(FileExistsAt(deep + "\\Tovik"));
}

TEST(UninstallEntry, OnlyThePackagesOwnKeyIsWrittenOrDeleted) {
    const char* list = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    ASSERT_TRUE(RegisterUninstall("Neighbour", "\"C:\\n.exe\" -u \"C:\\n.scr\"", "Neighbour"));
    ASSERT_TRUE(RegisterUninstall("qmv01234", "\"C:\\u.exe\" -u \"C:\\s.scr\"", "Sky"));

    EXPECT_FALSE(RegisterUninstall("", "cmd", "Empty"));
    EXPECT_FALSE(UnregisterUninstall(""));
    EXPECT_FALSE(UnregisterUninstall("Neighbour\\..\\qmv01234"));
    EXPECT_FALSE(RegisterUninstall(std::string(kTextSize, 'k').c_str(), "cmd", "Long"));
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, list, 0, KEY_READ, &key));
    char value[kTextSize] = {0};
    DWORD size = sizeof(value);
    EXPECT_NE(ERROR_SUCCESS, RegQueryValueExA(key, "UninstallString", NULL, NULL,
                                              reinterpret_cast<BYTE*>(value), &size))
        << "nothing written to the list itself";
    RegCloseKey(key);

    EXPECT_TRUE(UnregisterUninstall("qmv01234"));
    EXPECT_FALSE(UnregisterUninstall("qmv01234")) << "already gone";
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(list) + "\\Neighbour").c_str(), 0,
                            KEY_READ, &key));
    RegCloseKey(key);
}

} // namespace
