// The Windows 95/98/Me branch, with Wine reporting Windows 98: the display name names the
// installed file and "system.ini" holds the current screen saver.
#include "installer_fixture.h"
#include "message_box.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

class Windows98Branch : public ::testing::Test {
  protected:
    void SetUp() override {
        OSVERSIONINFOA version;
        ZeroMemory(&version, sizeof(version));
        version.dwOSVersionInfoSize = sizeof(version);
        ASSERT_TRUE(GetVersionExA(&version));
        ASSERT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_WINDOWS), version.dwPlatformId)
            << "run with WINE_WINDOWS_VERSION=win98";
    }

    // Where the installer's file is as the system sees it; under WOW64 (only Wine can
    // pretend to be Windows 98 on a 64-bit system) that is SysWOW64.
    static std::string SeenFolder() {
        std::string wow64 = Wow64SystemFolder();
        return wow64.empty() ? SystemFolder() : wow64;
    }
};

TEST_F(Windows98Branch, DisplayNameNamesTheFileAndSystemIniHoldsTheSetting) {
    const char* stem = "qmv07777";
    const char* name = "Sky Lanterns";
    const std::string installer = MakeScratchDir("win98") + "setup.exe";
    std::vector<unsigned char> saver;
    ASSERT_TRUE(BuildInstaller(installer, stem, name, &saver));
    const std::string previous = "C:\\WINDOWS\\SYSTEM\\OLD.SCR";
    ASSERT_TRUE(WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", previous.c_str(), "system.ini"));

    std::vector<MessageBoxInfo> boxes;
    ASSERT_EQ(0, RunAnswering(Quoted(installer), {IDOK}, &boxes));
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(name, boxes[0].caption);
    EXPECT_EQ("Installation completed successfully.", boxes[0].text);

    const std::string installed = SystemFolder() + "\\Sky Lanterns.scr";
    std::vector<unsigned char> bytes;
    ASSERT_TRUE(ReadFileBytes(installed, &bytes));
    EXPECT_TRUE(bytes == saver);
    EXPECT_FALSE(FileExistsAt(SystemFolder() + "\\" + stem + ".scr"));
    // The setting is the 8.3 form: no blank for the system to stumble on.
    const std::string setting = CurrentSaver98();
    EXPECT_EQ(ShortPath(SeenFolder() + "\\Sky Lanterns.scr"), setting);
    EXPECT_EQ(std::string::npos, setting.find(' '));
    EXPECT_TRUE(FileExistsAt(setting));
    std::string stored;
    ASSERT_TRUE(ReadRegistryText(HKEY_CURRENT_USER, kProductKey, stem, &stored));
    EXPECT_EQ(previous, stored);

    // The registered command has blanks in both paths and still reaches the uninstaller
    // whole.
    std::string command;
    ASSERT_TRUE(ReadRegistryText(HKEY_LOCAL_MACHINE, (std::string(kUninstallList) + stem).c_str(),
                                 "UninstallString", &command));
    const std::string uninstaller = ProgramFilesFolder() + "\\Tovik\\Flickwell\\UN" + stem + ".exe";
    EXPECT_EQ(Quoted(uninstaller) + " -u " + Quoted(installed), command);
    boxes.clear();
    ASSERT_EQ(0, RunAnswering(command, {IDYES, IDOK}, &boxes));
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ("Uninstallation completed successfully.", boxes[1].text);
    EXPECT_EQ(previous, CurrentSaver98());
    EXPECT_FALSE(FileExistsAt(installed));
    EXPECT_TRUE(WaitUntilGone(uninstaller, 15000));
}

// Display names that would write outside the system folder, to a device or past the
// path buffer are refused like a failed extraction, and nothing is written.
TEST_F(Windows98Branch, UnsafeDisplayNamesAreRefused) {
    const std::string before = CurrentSaver98();
    const std::string longName(255, 'L');
    const char* names[] = {"..\\..\\Escaped", "CON", "nul .txt", longName.c_str()};
    for (const char* name : names) {
        const std::string installer = MakeScratchDir("unsafe") + "setup.exe";
        std::vector<unsigned char> saver;
        ASSERT_TRUE(BuildInstaller(installer, "qmv08888", name, &saver));
        std::vector<MessageBoxInfo> boxes;
        EXPECT_EQ(-1, RunAnswering(Quoted(installer), {IDOK}, &boxes)) << name;
        ASSERT_EQ(1u, boxes.size()) << name;
        EXPECT_EQ("Failed to extract screen saver (disk full?)", boxes[0].text) << name;
        EXPECT_EQ(std::string(BoxIconName(BoxIcon::Error)), BoxIconName(boxes[0].icon));
        // The caption holds 254 characters of the display name.
        EXPECT_EQ(std::string(name).substr(0, 254), boxes[0].caption);
    }
    EXPECT_FALSE(FileExistsAt("C:\\Escaped.scr"));
    EXPECT_FALSE(FileExistsAt(SystemFolder() + "\\..\\..\\Escaped.scr"));
    EXPECT_EQ(before, CurrentSaver98());
    std::string stored;
    EXPECT_FALSE(ReadRegistryText(HKEY_CURRENT_USER, kProductKey, "qmv08888", &stored));
}

} // namespace
