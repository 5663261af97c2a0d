// The toolkit's own installer on systems that are not fresh: a Flash control already owns
// the ProgID, the toolkit is installed twice, the person left a file in its folder.
#include "acceptance_helpers.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>
#include <vector>

namespace {

const char kAppPaths[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\qmwizard.exe";
const char kEntry[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tovik Flickwell";
const char kFlashProgId[] = "SOFTWARE\\Classes\\ShockwaveFlash.ShockwaveFlash\\CLSID";
const char kFlashClsid[] = "{D27CDB6E-AE6D-11CF-96B8-444553540000}";
const char kPlayerClass[] = "CLSID\\{F9EF14BC-14FF-4B69-A74E-B3C2985FF5E1}";
const char kPlayerClsid[] = "{F9EF14BC-14FF-4B69-A74E-B3C2985FF5E1}";

bool PlayerRegisteredByUs() {
    DWORD value = 0;
    return ReadDword(HKEY_LOCAL_MACHINE, kEntry, "PlayerRegistered", &value) && value == 1;
}

class ToolkitInstaller : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(KeepShortcutsInsideWine()); }

    void Install() {
        ASSERT_EQ(0u, RunAndWait("\"" + WindowsPathFromEnvironment("FLICKWELL_TOOLKIT_INSTALLER") +
                                     "\" /S",
                                 120000));
        ASSERT_TRUE(ReadString(HKEY_LOCAL_MACHINE, kAppPaths, "Path", &folder_));
    }

    // The uninstaller goes on from a copy of itself; done once its entry, its last step, is gone.
    void Uninstall() {
        std::string quiet;
        ASSERT_TRUE(ReadString(HKEY_LOCAL_MACHINE, kEntry, "QuietUninstallString", &quiet));
        ASSERT_EQ(0u, RunAndWait(quiet, 60000));
        const DWORD start = GetTickCount();
        while (
            (FileExistsAt(folder_ + "\\uninstall.exe") || KeyExists(HKEY_LOCAL_MACHINE, kEntry)) &&
            GetTickCount() - start < 30000) {
            Sleep(100);
        }
        EXPECT_FALSE(FileExistsAt(folder_ + "\\uninstall.exe"));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEntry));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kAppPaths));
    }

    std::string folder_;
};

TEST_F(ToolkitInstaller, LeavesAnInstalledFlashControlAlone) {
    // As a Flash control registers itself, as far as its ProgID goes.
    ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, kFlashProgId, NULL, kFlashClsid));

    ASSERT_NO_FATAL_FAILURE(Install());
    std::string clsid;
    ASSERT_TRUE(ReadString(HKEY_CLASSES_ROOT, "ShockwaveFlash.ShockwaveFlash\\CLSID", "", &clsid));
    EXPECT_EQ(kFlashClsid, clsid);
    EXPECT_FALSE(PlayerRegisteredByUs());
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kPlayerClass));
    // Shipped all the same, for a later install without Flash.
    EXPECT_TRUE(FileExistsAt(folder_ + "\\FlickwellPlayer.dll"));

    ASSERT_NO_FATAL_FAILURE(Uninstall());
    ASSERT_TRUE(ReadString(HKEY_CLASSES_ROOT, "ShockwaveFlash.ShockwaveFlash\\CLSID", "", &clsid));
    EXPECT_EQ(kFlashClsid, clsid);
    EXPECT_FALSE(FileExistsAt(folder_));

    // The tests of this program share one system: take "Flash" away again.
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kFlashProgId);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\ShockwaveFlash.ShockwaveFlash");
}

// Installed twice over, with a file of the person's in its folder: one uninstall takes
// away all it wrote, and only that.
TEST_F(ToolkitInstaller, InstalledTwiceUninstallsOnceCompletely) {
    ASSERT_NO_FATAL_FAILURE(Install());
    ASSERT_NO_FATAL_FAILURE(Install());
    char place[MAX_PATH] = {0};
    SHGetFolderPathA(NULL, CSIDL_PROGRAM_FILES, NULL, 0, place);
    EXPECT_EQ(std::string(place) + "\\Tovik Flickwell", folder_);
    std::string wizard, clsid;
    ASSERT_TRUE(ReadString(HKEY_LOCAL_MACHINE, kAppPaths, "", &wizard));
    EXPECT_EQ(folder_ + "\\qmwizard.exe", wizard);
    const char* const files[] = {"qmwizard.exe", "qmbuild.exe", "template.scr", "setup.ex_",
                                 "FlickwellPlayer.dll"};
    for (const char* file : files) {
        std::vector<unsigned char> built, installed;
        ASSERT_TRUE(ReadFileBytes(BinPath(file), &built)) << file;
        ASSERT_TRUE(ReadFileBytes(folder_ + "\\" + file, &installed)) << file;
        EXPECT_TRUE(built == installed) << file;
    }
    SHGetFolderPathA(NULL, CSIDL_COMMON_PROGRAMS, NULL, 0, place);
    const std::string shortcut = std::string(place) + "\\Tovik Flickwell\\Flickwell Wizard.lnk";
    EXPECT_TRUE(FileExistsAt(shortcut)) << shortcut;
    ASSERT_TRUE(ReadString(HKEY_CLASSES_ROOT, "ShockwaveFlash.ShockwaveFlash\\CLSID", "", &clsid));
    EXPECT_EQ(0, lstrcmpiA(kPlayerClsid, clsid.c_str())) << clsid;
    EXPECT_TRUE(PlayerRegisteredByUs());
    const std::string mine = folder_ + "\\my notes.txt";
    ASSERT_TRUE(WriteFileBytes(mine, std::vector<unsigned char>{'h', 'i'}));

    ASSERT_NO_FATAL_FAILURE(Uninstall());
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "ShockwaveFlash.ShockwaveFlash"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kPlayerClass));
    EXPECT_FALSE(FileExistsAt(shortcut));
    EXPECT_TRUE(FileExistsAt(mine));
    for (const char* file : files) {
        EXPECT_FALSE(FileExistsAt(folder_ + "\\" + file)) << file;
    }
}

} // namespace
