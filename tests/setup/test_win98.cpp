// The Windows 95/98/Me branch, with Wine reporting Windows 98: the display name names the
// installed file and "system.ini" holds the current screen saver.
#include "installer_fixture.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(Windows98Branch, DisplayNameNamesTheFileAndSystemIniHoldsTheSetting) {
    ASSERT_NE(0u, GetVersion() & 0x80000000u) << "not Windows 98: WINE_WINDOWS_VERSION unset?";
    const char* stem = "qmv07777";
    const std::string installer = MakeScratchDir("win98") + "setup.exe";
    std::vector<unsigned char> saver;
    ASSERT_TRUE(BuildInstaller(installer, stem, "Sky Lanterns", &saver));
    const std::string previous = "C:\\WINDOWS\\SYSTEM\\OLD.SCR";
    ASSERT_TRUE(WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", previous.c_str(), "system.ini"));

    ExpectSingleBox(Quoted(installer), 0, "Sky Lanterns", kInstalled, BoxIcon::Information);
    const std::string installed = SystemFolder() + "\\Sky Lanterns.scr";
    EXPECT_TRUE(FileExistsAt(installed));
    EXPECT_FALSE(FileExistsAt(SystemFolder() + "\\" + stem + ".scr"));
    // The setting is the 8.3 form: no blank for the system to stumble on.
    EXPECT_EQ(ShortPath(SeenSystemFolder() + "\\Sky Lanterns.scr"), SystemIni());
    EXPECT_EQ(std::string::npos, SystemIni().find(' '));
    EXPECT_EQ(previous, ProductValue(stem));

    std::vector<MessageBoxInfo> boxes;
    ASSERT_EQ(0, RunAnswering(Entry(stem, "UninstallString"), {IDYES, IDOK}, &boxes));
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ("Uninstallation completed successfully.", boxes[1].text);
    EXPECT_EQ(previous, SystemIni());
    EXPECT_FALSE(FileExistsAt(installed));
}

// Display names that would write outside the system folder, to a device or past the
// path buffer are refused like a failed extraction, and nothing is written.
TEST(Windows98Branch, UnsafeDisplayNamesAreRefused) {
    const std::string before = SystemIni(), longName(255, 'L');
    int run = 0;
    for (const char* name : {"..\\..\\Escaped", "CON", "nul .txt", longName.c_str()}) {
        // A file of its own each time: the last one's process may still hold its image.
        const std::string installer =
            MakeScratchDir("unsafe") + "setup" + std::to_string(++run) + ".exe";
        std::vector<unsigned char> saver;
        ASSERT_TRUE(BuildInstaller(installer, "qmv08888", name, &saver));
        // The caption holds 254 characters of the display name.
        ExpectSingleBox(Quoted(installer), -1, std::string(name).substr(0, 254), kExtractFailed,
                        BoxIcon::Error);
    }
    EXPECT_FALSE(FileExistsAt("C:\\Escaped.scr"));
    EXPECT_FALSE(FileExistsAt(SystemFolder() + "\\..\\..\\Escaped.scr"));
    EXPECT_EQ(before, SystemIni());
    EXPECT_EQ("<none>", ProductValue("qmv08888"));
}

} // namespace
