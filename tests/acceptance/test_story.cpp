// The whole story with the real programs, in one fresh system: the toolkit is installed
// with its own installer; a person makes a screen saver with the wizard; an end user runs
// the installer it made; the system starts the screen saver from its setting and it plays
// until the mouse moves; the end user uninstalls it from the list of programs; finally
// the toolkit is uninstalled. After each step the system is checked as it now stands.
#include "acceptance_helpers.h"
#include "message_box.h"
#include "player/player_control.h"
#include "test_env.h"
#include "window_driver.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char kAppPaths[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\qmwizard.exe";
const char kUninstallList[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kToolkitEntry[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tovik Flickwell";
const char kDesktop[] = "Control Panel\\Desktop";
const char kProductKey[] = "SOFTWARE\\Tovik\\Flickwell";
const char kFlashClsidKey[] = "ShockwaveFlash.ShockwaveFlash\\CLSID";
const char kPlayerClsid[] = "{F9EF14BC-14FF-4B69-A74E-B3C2985FF5E1}";
// What was the screen saver before this story; the uninstall must bring it back.
const char kPreviousSaver[] = "C:\\windows\\system32\\scrnsave.scr";
const char kName[] = "Ocean Waves";
// The default movie's background colour.
const COLORREF kMovieBackground = RGB(0x1E, 0x4A, 0x7A);

// Wizard resources, as a person sees them: dialogs and their fields.
const int kWizNext = 0x3024, kWizFinish = 0x3025;
const int kMoviePathField = 1004, kDisplayNameField = 1000, kBrowseMovie = 1005;
const int kInstallerPathField = 1008, kProjectPathField = 1011, kPreviewButton = 1021;
const int kOpenFileName = 1148; // the file name box of the system's Open dialog

std::string LongPath(const std::string& path) {
    char full[MAX_PATH] = {0};
    return GetLongPathNameA(path.c_str(), full, MAX_PATH) != 0 ? full : path;
}

bool WaitUntilGone(const std::string& path, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (FileExistsAt(path)) {
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
        Sleep(100);
    }
    return true;
}

struct Process {
    PROCESS_INFORMATION info;
    bool started;

    explicit Process(const std::string& commandLine) : started(false) {
        ZeroMemory(&info, sizeof(info));
        STARTUPINFOA startup;
        ZeroMemory(&startup, sizeof(startup));
        startup.cb = sizeof(startup);
        std::vector<char> line(commandLine.begin(), commandLine.end());
        line.push_back('\0');
        started = CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                                 &info) != FALSE;
    }
    ~Process() {
        if (started) {
            if (WaitForSingleObject(info.hProcess, 0) != WAIT_OBJECT_0) {
                TerminateProcess(info.hProcess, 1);
            }
            CloseHandle(info.hThread);
            CloseHandle(info.hProcess);
        }
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
};

// Waits for the next message box of `pid`, checks what it says and presses `button`.
void Answer(DWORD pid, const char* caption, const char* text, BoxIcon icon, int button) {
    MessageBoxInfo box;
    ASSERT_TRUE(WaitForMessageBox(pid, 30000, &box)) << "no message box: " << text;
    EXPECT_EQ(caption, box.caption);
    EXPECT_EQ(text, box.text);
    EXPECT_EQ(BoxIconName(icon), std::string(BoxIconName(box.icon)));
    ASSERT_TRUE(PressButton(box, button));
    for (int i = 0; i < 100 && IsWindow(box.window); ++i) {
        Sleep(50);
    }
}

// The screen as it is now, one 0x00RRGGBB value per pixel.
std::vector<DWORD> CaptureScreen(int* width, int* height) {
    *width = GetSystemMetrics(SM_CXSCREEN);
    *height = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info;
    ZeroMemory(&info, sizeof(info));
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = *width;
    info.bmiHeader.biHeight = -*height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = NULL;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, *width, *height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const DWORD* pixels = static_cast<const DWORD*>(bits);
    std::vector<DWORD> result(pixels, pixels + static_cast<size_t>(*width) * *height);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    return result;
}

// Keeps the screenshot as a BMP file for a person to look at after the run.
void SaveScreenshot(const std::vector<DWORD>& pixels, int width, int height,
                    const std::string& path) {
    BITMAPINFOHEADER header;
    ZeroMemory(&header, sizeof(header));
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = -height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    BITMAPFILEHEADER file;
    ZeroMemory(&file, sizeof(file));
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels.size() * 4);
    std::vector<unsigned char> bytes(reinterpret_cast<const unsigned char*>(&file),
                                     reinterpret_cast<const unsigned char*>(&file) + sizeof(file));
    bytes.insert(bytes.end(), reinterpret_cast<const unsigned char*>(&header),
                 reinterpret_cast<const unsigned char*>(&header) + sizeof(header));
    bytes.insert(bytes.end(), reinterpret_cast<const unsigned char*>(pixels.data()),
                 reinterpret_cast<const unsigned char*>(pixels.data() + pixels.size()));
    WriteFileBytes(path, bytes);
}

double ShareOfColour(const std::vector<DWORD>& pixels, COLORREF colour) {
    const DWORD wanted = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    size_t matching = 0;
    for (DWORD p : pixels) {
        matching += (p & 0xFFFFFF) == wanted;
    }
    return pixels.empty() ? 0.0 : static_cast<double>(matching) / pixels.size();
}

class Story : public ::testing::Test {
  protected:
    // The toolkit's installer, run silently as an administrator would.
    void InstallToolkit() {
        ASSERT_TRUE(KeepShortcutsInsideWine());
        const std::string setup = WindowsPathFromEnvironment("FLICKWELL_TOOLKIT_INSTALLER");
        ASSERT_TRUE(FileExistsAt(setup)) << setup;
        ASSERT_EQ(0u, RunAndWait("\"" + setup + "\" /S", 120000));

        ASSERT_TRUE(ReadString(HKEY_LOCAL_MACHINE, kAppPaths, "Path", &folder_));
        std::string program;
        ASSERT_TRUE(ReadString(HKEY_LOCAL_MACHINE, kAppPaths, "", &program));
        EXPECT_EQ(folder_ + "\\qmwizard.exe", program);
        wizard_ = program;
        // Its own folder, apart from the one the screen savers' uninstallers use.
        char programFiles[MAX_PATH] = {0};
        SHGetFolderPathA(NULL, CSIDL_PROGRAM_FILES, NULL, 0, programFiles);
        EXPECT_EQ(std::string(programFiles) + "\\Tovik Flickwell", folder_);
        for (const char* file : {"qmwizard.exe", "qmbuild.exe", "template.scr", "setup.ex_"}) {
            std::vector<unsigned char> built, installed;
            ASSERT_TRUE(ReadFileBytes(BinPath(file), &built));
            ASSERT_TRUE(ReadFileBytes(folder_ + "\\" + file, &installed)) << file;
            EXPECT_TRUE(built == installed) << file;
        }
        char menu[MAX_PATH] = {0};
        SHGetFolderPathA(NULL, CSIDL_COMMON_PROGRAMS, NULL, 0, menu);
        shortcut_ = std::string(menu) + "\\Tovik Flickwell\\Flickwell Wizard.lnk";
        EXPECT_TRUE(FileExistsAt(shortcut_)) << shortcut_;

        // No Flash control here, so ours takes its ProgID, and the installer says it did.
        std::string clsid;
        ASSERT_TRUE(ReadString(HKEY_CLASSES_ROOT, kFlashClsidKey, "", &clsid));
        EXPECT_EQ(0, lstrcmpiA(kPlayerClsid, clsid.c_str())) << clsid;
        DWORD registered = 0;
        EXPECT_TRUE(ReadDword(HKEY_LOCAL_MACHINE, kToolkitEntry, "PlayerRegistered", &registered));
        EXPECT_EQ(1u, registered);
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

        ASSERT_TRUE(FileExistsAt(installer_));
        char value[MAX_PATH] = {0};
        GetPrivateProfileStringA("Parameters", "DisplayName", "", value, MAX_PATH,
                                 project_.c_str());
        EXPECT_STREQ(kName, value);
        GetPrivateProfileStringA("Parameters", "DestinationPath", "", value, MAX_PATH,
                                 project_.c_str());
        EXPECT_EQ(installer_, value);
        EXPECT_TRUE(FileExistsAt(TempDir() + "preview.scr"));
    }

    // The end user runs the installer the wizard made.
    void RunInstaller() {
        ASSERT_TRUE(WriteString(HKEY_CURRENT_USER, kDesktop, "SCRNSAVE.EXE", kPreviousSaver));
        Process setup("\"" + installer_ + "\"");
        ASSERT_TRUE(setup.started);
        ASSERT_NO_FATAL_FAILURE(Answer(setup.info.dwProcessId, kName,
                                       "Installation completed successfully.", BoxIcon::Information,
                                       IDOK));
        ASSERT_EQ(0u, WaitForExit(setup.info.hProcess, 30000));

        // The entry in the list of programs names the package's own stem.
        HKEY list = NULL;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallList, 0, KEY_READ, &list));
        char entry[256];
        for (DWORD i = 0; stem_.empty(); ++i) {
            DWORD length = sizeof(entry);
            if (RegEnumKeyExA(list, i, entry, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) {
                break;
            }
            std::string name;
            if (ReadString(list, entry, "DisplayName", &name) && name == kName) {
                stem_ = entry;
            }
        }
        RegCloseKey(list);
        ASSERT_EQ(8u, stem_.size()) << "no uninstall entry named " << kName;
        EXPECT_EQ("qmv", stem_.substr(0, 3));
        entryKey_ = std::string(kUninstallList) + "\\" + stem_;
        ASSERT_TRUE(ReadString(HKEY_LOCAL_MACHINE, entryKey_.c_str(), "UninstallString",
                               &uninstallCommand_));

        // The screen saver is current, as a file holding exactly what the installer carried.
        std::string current;
        ASSERT_TRUE(ReadString(HKEY_CURRENT_USER, kDesktop, "SCRNSAVE.EXE", &current));
        saverPath_ = LongPath(current);
        EXPECT_EQ(stem_ + ".scr", saverPath_.substr(saverPath_.find_last_of('\\') + 1));
        std::vector<unsigned char> installed;
        ASSERT_TRUE(ReadFileBytes(saverPath_, &installed)) << saverPath_;
        HMODULE package = LoadLibraryExA(installer_.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_TRUE(package != NULL);
        HRSRC found = FindResourceA(package, MAKEINTRESOURCEA(101), "SCR");
        ASSERT_TRUE(found != NULL);
        const unsigned char* carried =
            static_cast<const unsigned char*>(LockResource(LoadResource(package, found)));
        EXPECT_TRUE(std::vector<unsigned char>(carried, carried + SizeofResource(package, found)) ==
                    installed);
        FreeLibrary(package);

        std::string previous;
        ASSERT_TRUE(ReadString(HKEY_CURRENT_USER, kProductKey, stem_.c_str(), &previous));
        EXPECT_EQ(kPreviousSaver, previous);

        char programFiles[MAX_PATH] = {0};
        SHGetFolderPathA(NULL, CSIDL_PROGRAM_FILES, NULL, 0, programFiles);
        uninstaller_ = std::string(programFiles) + "\\Tovik\\Flickwell\\UN" + stem_ + ".exe";
        std::vector<unsigned char> package_bytes, uninstaller_bytes;
        ASSERT_TRUE(ReadFileBytes(installer_, &package_bytes));
        ASSERT_TRUE(ReadFileBytes(uninstaller_, &uninstaller_bytes)) << uninstaller_;
        EXPECT_TRUE(package_bytes == uninstaller_bytes);
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
        std::vector<unsigned char> playing;
        ASSERT_TRUE(ReadFileBytes(moviePath, &playing)) << moviePath;
        EXPECT_TRUE(playing == movie_);

        // Play was reached: the frame clock runs, loops, and its frames move on.
        const UINT query = RegisterWindowMessageW(kPlayerQueryMessage);
        auto ask = [&](int what) {
            DWORD_PTR answer = 0;
            SendMessageTimeoutW(player, query, what, 0, SMTO_ABORTIFHUNG, 5000, &answer);
            return static_cast<DWORD>(answer);
        };
        EXPECT_EQ(1u, ask(kQueryPlaying));
        EXPECT_EQ(1u, ask(kQueryLoop));
        EXPECT_EQ(0x1E4A7Au, ask(kQueryBackground));
        ASSERT_GT(ask(kQueryTotalFrames), 1u);
        const DWORD first = ask(kQueryFrame);
        DWORD later = first;
        for (int i = 0; i < 40 && later == first; ++i) {
            Sleep(50);
            later = ask(kQueryFrame);
        }
        EXPECT_NE(first, later) << "the movie's frames do not advance";

        // The movie fills the screen with its background colour.
        int width = 0, height = 0;
        std::vector<DWORD> screen;
        double share = 0;
        for (int i = 0; i < 50 && share < 0.95; ++i) {
            Sleep(100);
            screen = CaptureScreen(&width, &height);
            share = ShareOfColour(screen, kMovieBackground);
        }
        SaveScreenshot(screen, width, height, OutputPath("saver-playing.bmp"));
        EXPECT_GE(share, 0.95) << "share of the screen in the movie's background colour";

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

    // The toolkit's own uninstaller, silent, as its quiet uninstall command says.
    void UninstallToolkit() {
        std::string quiet;
        ASSERT_TRUE(ReadString(HKEY_LOCAL_MACHINE, kToolkitEntry, "QuietUninstallString", &quiet));
        EXPECT_EQ("\"" + folder_ + "\\uninstall.exe\" /S", quiet);
        ASSERT_EQ(0u, RunAndWait(quiet, 60000));
        // It runs on from a copy of itself; its entry in the list of programs goes last.
        const DWORD start = GetTickCount();
        while (KeyExists(HKEY_LOCAL_MACHINE, kToolkitEntry) && GetTickCount() - start < 30000) {
            Sleep(100);
        }
        EXPECT_FALSE(FileExistsAt(folder_)) << folder_;
        EXPECT_FALSE(FileExistsAt(shortcut_));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kAppPaths));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kToolkitEntry));
        std::string clsid;
        EXPECT_FALSE(ReadString(HKEY_CLASSES_ROOT, kFlashClsidKey, "", &clsid)) << clsid;
    }

    std::string folder_, wizard_, shortcut_;
    std::string work_, installer_, project_;
    std::vector<unsigned char> movie_;
    std::string stem_, entryKey_, uninstallCommand_, saverPath_, uninstaller_;
};

TEST_F(Story, FromToolkitInstallToPlayingScreenSaverAndBack) {
    ASSERT_NO_FATAL_FAILURE(InstallToolkit());
    ASSERT_NO_FATAL_FAILURE(MakeScreenSaverWithWizard());
    ASSERT_NO_FATAL_FAILURE(RunInstaller());
    ASSERT_NO_FATAL_FAILURE(PlayAndCloseSaver());
    ASSERT_NO_FATAL_FAILURE(UninstallScreenSaver());
    ASSERT_NO_FATAL_FAILURE(UninstallToolkit());
}

} // namespace
