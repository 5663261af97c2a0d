// The whole story with the real programs, in one fresh system: the toolkit is installed
// with its own installer; a person makes a screen saver with the wizard; an end user runs
// the installer it made; the system starts the screen saver from its setting and it plays
// until the mouse moves; the end user uninstalls it from the list of programs. After each
// step the system is checked as it now stands. (The toolkit's own uninstall has its tests.)
#include "acceptance_helpers.h"
#include "message_box.h"
#include "player/control/player_contract.h"
#include "system_driver.h"
#include "test_env.h"
#include "window_driver.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>
#include <vector>

namespace {

const char kAppPaths[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\qmwizard.exe";
const char kUninstallList[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kDesktop[] = "Control Panel\\Desktop";
const char kProductKey[] = "SOFTWARE\\Tovik\\Flickwell";
// What was the screen saver before this story; the uninstall must bring it back.
const char kPreviousSaver[] = "C:\\windows\\system32\\scrnsave.scr";
const char kName[] = "Ocean Waves";
const DWORD kMovieBackground = 0x1E4A7A; // the default movie's, as 0xRRGGBB

// Wizard resources, as a person sees them: dialogs and their fields.
const int kWizNext = 0x3024, kWizFinish = 0x3025;
const int kMoviePathField = 1004, kDisplayNameField = 1000, kBrowseMovie = 1005;
const int kInstallerPathField = 1008, kProjectPathField = 1011, kPreviewButton = 1021;
const int kOpenFileName = 1148; // the file name box of the system's Open dialog

class Story : public ::testing::Test {
  protected:
    // The toolkit's installer, run silently as an administrator would; the wizard is then
    // found as the shell finds it. What the install leaves has its own tests.
    void InstallToolkit() {
        ASSERT_TRUE(KeepShortcutsInsideWine());
        const std::string setup = WindowsPathFromEnvironment("FLICKWELL_TOOLKIT_INSTALLER");
        ASSERT_EQ(0u, RunAndWait("\"" + setup + "\" /S", 120000)) << setup;
        ASSERT_TRUE(ReadString(HKEY_LOCAL_MACHINE, kAppPaths, "", &wizard_));
    }

    // A second package, built on the command line from a still movie of shapes, a gradient
    // and a bitmap, for an end user's machine where nothing else is installed: the test
    // acceptance_end_user installs it in a system of its own.
    void BuildPackageForAnEndUser() {
        const std::string qmbuild =
            wizard_.substr(0, wizard_.find_last_of('\\') + 1) + "qmbuild.exe";
        std::vector<unsigned char> movie;
        ASSERT_TRUE(ReadFileBytes(GeneratedPath("end_user_still.swf"), &movie));
        const std::string dir = MakeScratchDir("end_user_package");
        ASSERT_TRUE(WriteFileBytes(dir + "Still Life.swf", movie));
        const std::string installer = OutputPath("end_user_setup.exe");
        const std::string project = "[Parameters]\r\nDisplayName=Still Life\r\nMoviePath=" + dir +
                                    "Still Life.swf\r\nDestinationPath=" + installer + "\r\n";
        ASSERT_TRUE(WriteFileBytes(dir + "still.qmv",
                                   std::vector<unsigned char>(project.begin(), project.end())));
        ASSERT_EQ(0u, RunAndWait("\"" + qmbuild + "\" \"" + dir + "still.qmv\"", 120000));
        EXPECT_TRUE(FileExistsAt(installer)) << installer;
    }

    // A person makes the screen saver: picks the movie through Browse, keeps the name
    // the wizard proposes, types the two paths, Next, Finish.
    void MakeScreenSaverWithWizard() {
        work_ = "C:\\Flickwell Work\\";
        ASSERT_TRUE(CreateDirectoryA(work_.c_str(), NULL));
        ASSERT_TRUE(ReadFileBytes(GeneratedPath("default.swf"), &movie_));
        ASSERT_TRUE(WriteFileBytes(work_ + "Ocean Waves.swf", movie_));
        installer_ = work_ + "Ocean Waves Setup.exe";
        project_ = work_ + "Ocean Waves.qmv";

        Process wizard("\"" + wizard_ + "\"");
        ASSERT_TRUE(wizard.started);
        const DWORD pid = wizard.info.dwProcessId;
        HWND sheet = WaitForTopWindow(pid, "#32770", NULL, 30000);
        ASSERT_TRUE(sheet != NULL) << "the wizard did not open";

        ASSERT_TRUE(WaitForSheetPage(sheet, 0, 10000) != NULL);
        ASSERT_TRUE(ClickButton(sheet, kWizNext)); // Welcome
        HWND page = WaitForSheetPage(sheet, kMoviePathField, 10000);
        ASSERT_TRUE(page != NULL) << "no Screen Saver Settings page";

        ASSERT_TRUE(ClickButton(page, kBrowseMovie));
        HWND open = WaitForTopWindow(pid, "#32770", "Open", 10000);
        ASSERT_TRUE(open != NULL) << "Browse opened no Open dialog";
        HWND name = GetDlgItem(open, kOpenFileName);
        ASSERT_TRUE(name != NULL);
        ASSERT_TRUE(SetWindowTextOf(name, work_ + "Ocean Waves.swf"));
        ASSERT_TRUE(ClickButton(open, IDOK));
        for (int i = 0; i < 100 && IsWindow(open); ++i) {
            Sleep(50);
        }
        EXPECT_EQ(work_ + "Ocean Waves.swf", WindowText(GetDlgItem(page, kMoviePathField)));
        EXPECT_EQ(kName, WindowText(GetDlgItem(page, kDisplayNameField)));

        ASSERT_TRUE(ClickButton(sheet, kWizNext));
        page = WaitForSheetPage(sheet, kInstallerPathField, 10000);
        ASSERT_TRUE(page != NULL) << "no Project Settings page";
        ASSERT_TRUE(SetWindowTextOf(GetDlgItem(page, kInstallerPathField), installer_));
        ASSERT_TRUE(SetWindowTextOf(GetDlgItem(page, kProjectPathField), project_));
        ASSERT_TRUE(ClickButton(sheet, kWizNext)); // saves the project and builds
        page = WaitForSheetPage(sheet, kPreviewButton, 60000);
        ASSERT_TRUE(page != NULL) << "the build did not reach the Finish page";
        ASSERT_TRUE(ClickButton(sheet, kWizFinish));
        EXPECT_NE(STILL_ACTIVE, WaitForExit(wizard.info.hProcess, 10000));

        EXPECT_TRUE(FileExistsAt(installer_));
        EXPECT_TRUE(FileExistsAt(project_));
    }

    // The end user runs the installer the wizard made.
    void RunInstaller() {
        ASSERT_TRUE(WriteString(HKEY_CURRENT_USER, kDesktop, "SCRNSAVE.EXE", kPreviousSaver));
        ASSERT_NO_FATAL_FAILURE(InstallPackage(installer_, kName));

        // The screen saver is current; its file name is the package's stem, which also names
        // its entry in the list of programs. Whether it holds the movie shows when it plays.
        std::string current;
        ASSERT_TRUE(ReadString(HKEY_CURRENT_USER, kDesktop, "SCRNSAVE.EXE", &current));
        char full[MAX_PATH] = {0};
        ASSERT_NE(0u, GetLongPathNameA(current.c_str(), full, MAX_PATH)) << current;
        saverPath_ = full;
        stem_ = saverPath_.substr(saverPath_.find_last_of('\\') + 1);
        ASSERT_EQ(12u, stem_.size()) << saverPath_;
        EXPECT_EQ("qmv", stem_.substr(0, 3));
        EXPECT_EQ(".scr", stem_.substr(8));
        stem_.resize(8);
        entryKey_ = std::string(kUninstallList) + "\\" + stem_;
        std::string name, previous;
        EXPECT_TRUE(ReadString(HKEY_LOCAL_MACHINE, entryKey_.c_str(), "DisplayName", &name));
        EXPECT_EQ(kName, name);
        ASSERT_TRUE(ReadString(HKEY_LOCAL_MACHINE, entryKey_.c_str(), "UninstallString",
                               &uninstallCommand_));
        ASSERT_TRUE(ReadString(HKEY_CURRENT_USER, kProductKey, stem_.c_str(), &previous));
        EXPECT_EQ(kPreviousSaver, previous);

        char programFiles[MAX_PATH] = {0};
        SHGetFolderPathA(NULL, CSIDL_PROGRAM_FILES, NULL, 0, programFiles);
        uninstaller_ = std::string(programFiles) + "\\Tovik\\Flickwell\\UN" + stem_ + ".exe";
        EXPECT_TRUE(FileExistsAt(uninstaller_)) << uninstaller_;
    }

    // The system starts the screen saver from its setting, it plays, and a mouse move
    // over it ends it.
    void PlayAndCloseSaver() {
        std::string current;
        ASSERT_TRUE(ReadString(HKEY_CURRENT_USER, kDesktop, "SCRNSAVE.EXE", &current));
        Process saver(current + " /s");
        ASSERT_TRUE(saver.started) << current;
        HWND player = WaitForWindowOfClass(saver.info.dwProcessId, "FlickwellPlayer", 20000);
        ASSERT_TRUE(player != NULL) << "no movie player in the screen saver";

        // The control was given the saver's temporary copy of its movie as a file URL.
        const std::string url = WindowText(player);
        ASSERT_EQ("file://", url.substr(0, 7)) << url;
        const std::string moviePath = url.substr(7);
        EXPECT_EQ(0, lstrcmpiA(TempDir().c_str(), moviePath.substr(0, TempDir().size()).c_str()))
            << moviePath;
        std::vector<unsigned char> copy;
        ASSERT_TRUE(ReadFileBytes(moviePath, &copy)) << moviePath;
        EXPECT_TRUE(copy == movie_);

        // Play was reached, and the movie fills the screen with its background colour.
        const UINT query = RegisterWindowMessageW(kPlayerQueryMessage);
        DWORD_PTR playing = 0;
        SendMessageTimeoutW(player, query, kQueryPlaying, 0, SMTO_ABORTIFHUNG, 5000, &playing);
        EXPECT_EQ(1u, playing);
        double share = 0;
        for (int i = 0; i < 50 && share < 0.95; ++i) {
            Sleep(100);
            share = TakeScreenshot().ShareOf(kMovieBackground);
        }
        EXPECT_GE(share, 0.95) << "share of the screen in the movie's background colour";

        const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
        const POINT moves[] = {{width / 2, height / 2},
                               {width / 2 + 40, height / 2 + 30},
                               {width / 2 + 120, height / 2 + 90}};
        MoveMouseThrough(moves, 3);
        EXPECT_NE(STILL_ACTIVE, WaitForExit(saver.info.hProcess, 10000))
            << "the mouse move did not end the screen saver";
        EXPECT_TRUE(WaitUntilGone(moviePath, 5000)) << "the temporary movie stays: " << moviePath;
    }

    // The end user uninstalls from the list of programs, which starts the entry's command
    // as it stands.
    void UninstallScreenSaver() {
        Process uninstall(uninstallCommand_);
        ASSERT_TRUE(uninstall.started) << uninstallCommand_;
        ASSERT_NO_FATAL_FAILURE(Answer(uninstall.info.dwProcessId, kName,
                                       "This will uninstall screensaver. Continue?",
                                       BoxIcon::Question, IDYES));
        ASSERT_NO_FATAL_FAILURE(Answer(uninstall.info.dwProcessId, kName,
                                       "Uninstallation completed successfully.",
                                       BoxIcon::Information, IDOK));
        EXPECT_EQ(0u, WaitForExit(uninstall.info.hProcess, 30000));

        EXPECT_TRUE(WaitUntilGone(uninstaller_, 20000)) << "the uninstaller stays";
        EXPECT_TRUE(WaitUntilGone(TempDir() + "setup.ex_", 20000)) << "its temporary copy stays";
        EXPECT_FALSE(FileExistsAt(saverPath_));
        std::string current, value;
        ASSERT_TRUE(ReadString(HKEY_CURRENT_USER, kDesktop, "SCRNSAVE.EXE", &current));
        EXPECT_EQ(kPreviousSaver, current);
        EXPECT_FALSE(ReadString(HKEY_CURRENT_USER, kProductKey, stem_.c_str(), &value));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, entryKey_.c_str()));
        // What belongs to the person stays: the movie, the project, the installer.
        EXPECT_TRUE(FileExistsAt(installer_));
        EXPECT_TRUE(FileExistsAt(project_));
    }

    std::string wizard_, work_, installer_, project_;
    std::vector<unsigned char> movie_;
    std::string stem_, entryKey_, uninstallCommand_, saverPath_, uninstaller_;
};

TEST_F(Story, FromToolkitInstallToPlayingScreenSaverAndBack) {
    ASSERT_NO_FATAL_FAILURE(InstallToolkit());
    ASSERT_NO_FATAL_FAILURE(BuildPackageForAnEndUser());
    ASSERT_NO_FATAL_FAILURE(MakeScreenSaverWithWizard());
    ASSERT_NO_FATAL_FAILURE(RunInstaller());
    ASSERT_NO_FATAL_FAILURE(PlayAndCloseSaver());
    ASSERT_NO_FATAL_FAILURE(UninstallScreenSaver());
}

} // namespace
