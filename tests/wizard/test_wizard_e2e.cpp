// qmwizard.exe driven as a person drives it: its own process, its sheet's buttons, its
// fields, and every message box it shows read and answered.
#include "wizard/resource.h"
#include "message_box.h"
#include "test_env.h"
#include "wizard_test_util.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

namespace {

const DWORD kWait = 15000;

std::string Scratch() {
    return MakeScratchDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
}

std::string FileText(const std::string& path) {
    std::vector<unsigned char> bytes;
    ReadFileBytes(path, &bytes);
    return std::string(bytes.begin(), bytes.end());
}

class WizardProcess {
  public:
    explicit WizardProcess(const std::string& arguments) : sheet_(NULL) {
        ZeroMemory(&process_, sizeof(process_));
        STARTUPINFOA startup;
        ZeroMemory(&startup, sizeof(startup));
        startup.cb = sizeof(startup);
        std::string line = "\"" + BinPath("qmwizard.exe") + "\"" + arguments;
        std::vector<char> buffer(line.begin(), line.end());
        buffer.push_back('\0');
        started_ = CreateProcessA(NULL, buffer.data(), NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                                  &process_) != FALSE;
    }
    ~WizardProcess() {
        if (started_) {
            if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(process_.hProcess, 99);
            }
            CloseHandle(process_.hThread);
            CloseHandle(process_.hProcess);
        }
    }

    bool Started() const { return started_; }
    DWORD Pid() const { return process_.dwProcessId; }

    // The wizard's sheet: its top-level dialog that is not a message box.
    bool WaitForSheet() {
        DWORD start = GetTickCount();
        while (GetTickCount() - start < kWait) {
            EnumWindows(FindSheet, reinterpret_cast<LPARAM>(this));
            if (sheet_ != NULL) {
                return true;
            }
            Sleep(50);
        }
        return false;
    }
    HWND Sheet() const { return sheet_; }
    HWND Page() const {
        return reinterpret_cast<HWND>(SendMessageA(sheet_, PSM_GETCURRENTPAGEHWND, 0, 0));
    }
    HWND Control(int id) const { return GetDlgItem(Page(), id); }
    std::string Text(HWND window) const {
        char text[1024] = {0};
        DWORD_PTR done = 0;
        SendMessageTimeoutA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text),
                            SMTO_ABORTIFHUNG, 5000, &done);
        return text;
    }
    std::string Field(int id) const { return Text(Control(id)); }
    std::string Title() const { return Field(IDC_TITLE); }
    void SetField(int id, const std::string& text) {
        SendMessageA(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    // Posted, as a click is: the wizard may answer with a modal box.
    void Press(int button) { PostMessageA(sheet_, PSM_PRESSBUTTON, button, 0); }
    bool WaitForTitle(const std::string& title) {
        DWORD start = GetTickCount();
        while (GetTickCount() - start < kWait) {
            if (Title() == title) {
                return true;
            }
            Sleep(50);
        }
        return false;
    }
    HWND Focus() const {
        GUITHREADINFO info;
        ZeroMemory(&info, sizeof(info));
        info.cbSize = sizeof(info);
        GetGUIThreadInfo(process_.dwThreadId, &info);
        return info.hwndFocus;
    }
    // Waits for a message box and checks what a person reads on it, then presses `button`.
    void Answer(const std::string& text, BoxIcon icon, int button, MessageBoxInfo* seen = NULL) {
        MessageBoxInfo box;
        ASSERT_TRUE(WaitForMessageBox(Pid(), kWait, &box)) << "no box for: " << text;
        EXPECT_EQ("Flickwell Wizard", box.caption);
        EXPECT_EQ(text, box.text);
        EXPECT_EQ(BoxIconName(icon), std::string(BoxIconName(box.icon)));
        ASSERT_TRUE(PressButton(box, button));
        // Gone before the next step looks at the wizard.
        for (int i = 0; i < 100 && IsWindow(box.window); ++i) {
            Sleep(50);
        }
        Sleep(100);
        if (seen != NULL) {
            *seen = box;
        }
    }
    DWORD WaitForExit() {
        DWORD code = 12345;
        if (WaitForSingleObject(process_.hProcess, kWait) == WAIT_OBJECT_0) {
            GetExitCodeProcess(process_.hProcess, &code);
        }
        return code;
    }

  private:
    static BOOL CALLBACK FindSheet(HWND window, LPARAM param) {
        WizardProcess* self = reinterpret_cast<WizardProcess*>(param);
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        char cls[32] = {0};
        GetClassNameA(window, cls, sizeof(cls));
        if (pid == self->Pid() && lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(window) &&
            GetDlgItem(window, 0xFFFF) == NULL) {
            self->sheet_ = window;
            return FALSE;
        }
        return TRUE;
    }

    PROCESS_INFORMATION process_;
    bool started_;
    HWND sheet_;
};

// Waits for a process started from `name` and ends it; false when none came.
bool EndProcessNamed(const char* name) {
    for (int i = 0; i < 200; ++i) {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32 entry;
        entry.dwSize = sizeof(entry);
        DWORD pid = 0;
        for (BOOL more = Process32First(snapshot, &entry); more && pid == 0;
             more = Process32Next(snapshot, &entry)) {
            if (lstrcmpiA(entry.szExeFile, name) == 0) {
                pid = entry.th32ProcessID;
            }
        }
        CloseHandle(snapshot);
        if (pid != 0) {
            HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
            TerminateProcess(process, 0);
            CloseHandle(process);
            return true;
        }
        Sleep(50);
    }
    return false;
}

// Welcome page to the Screen Saver Settings page.
void PassWelcome(WizardProcess& wizard) {
    ASSERT_TRUE(wizard.WaitForSheet());
    ASSERT_TRUE(wizard.WaitForTitle("Welcome to Flickwell!"));
    EXPECT_EQ("Flickwell Wizard", wizard.Text(wizard.Sheet()));
    wizard.Press(PSBTN_NEXT);
    ASSERT_TRUE(wizard.WaitForTitle("Screen Saver Settings"));
}

TEST(WizardEndToEnd, NewProjectFromFirstPageToFinish) {
    const std::string dir = Scratch();
    InstallCompanions(dir + "Flickwell");
    const std::string movie = WriteMovie(dir + "sunset.swf", "FWS", 20000);
    const std::string installer = dir + "Sunset.exe";
    const std::string project = dir + "sunset.qmv";
    DeleteFileA((TempDir() + "preview.scr").c_str());

    WizardProcess wizard("");
    ASSERT_TRUE(wizard.Started());
    PassWelcome(wizard);
    EXPECT_EQ("", wizard.Field(IDC_MOVIE_PATH));
    wizard.SetField(IDC_MOVIE_PATH, movie);
    wizard.SetField(IDC_DISPLAY_NAME, "Sunset");
    wizard.Press(PSBTN_NEXT);
    ASSERT_TRUE(wizard.WaitForTitle("Project Settings"));
    EXPECT_EQ("", wizard.Field(IDC_PROJECT_PATH));

    // Browse proposes the display name for the installer; the dialog adds "exe".
    PostMessageA(wizard.Page(), WM_COMMAND, MAKEWPARAM(IDC_BROWSE_INSTALLER, BN_CLICKED), 0);
    HWND dialog = NULL;
    for (int i = 0; i < 200 && dialog == NULL; ++i) {
        Sleep(50);
        HWND active = GetForegroundWindow();
        DWORD pid = 0;
        GetWindowThreadProcessId(active, &pid);
        if (pid == wizard.Pid() && active != wizard.Sheet()) {
            dialog = active;
        }
    }
    ASSERT_TRUE(dialog != NULL);
    HWND name = GetDlgItem(dialog, cmb13);
    if (name == NULL) {
        name = GetDlgItem(dialog, edt1);
    }
    ASSERT_TRUE(name != NULL);
    EXPECT_EQ("Sunset", wizard.Text(name));
    SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>((dir + "Sunset").c_str()));
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    for (int i = 0; i < 200 && wizard.Field(IDC_INSTALLER_PATH).empty(); ++i) {
        Sleep(50);
    }
    EXPECT_EQ(installer, wizard.Field(IDC_INSTALLER_PATH));

    wizard.SetField(IDC_PROJECT_PATH, project);
    wizard.Press(PSBTN_NEXT);
    ASSERT_TRUE(wizard.WaitForTitle("Congratulations!"));
    EXPECT_EQ("Sunset", LoadStringFrom(installer, 2));
    EXPECT_EQ("Sunset", LoadStringFrom(TempDir() + "preview.scr", 1));
    EXPECT_TRUE(FilesStartingWith(TempDir(), "qmv").empty());
    EXPECT_EQ("[Parameters]\r\nDisplayName=Sunset\r\nMoviePath=" + movie +
                  "\r\nDestinationPath=" + installer + "\r\n",
              FileText(project));

    // Preview starts the file as it lies in the temporary folder at that moment; a
    // program that stays open there shows that it was started.
    ASSERT_TRUE(
        CopyFileA(BinPath("qmwizard.exe").c_str(), (TempDir() + "preview.scr").c_str(), FALSE));
    PostMessageA(wizard.Page(), WM_COMMAND, MAKEWPARAM(IDC_PREVIEW, BN_CLICKED), 0);
    EXPECT_TRUE(EndProcessNamed("preview.scr"));
    EXPECT_EQ("Congratulations!", wizard.Title());

    // Back, and Next again: saved and built once more.
    ASSERT_TRUE(DeleteFileA(installer.c_str()));
    ASSERT_TRUE(DeleteFileA(project.c_str()));
    wizard.Press(PSBTN_BACK);
    ASSERT_TRUE(wizard.WaitForTitle("Project Settings"));
    EXPECT_EQ(installer, wizard.Field(IDC_INSTALLER_PATH));
    wizard.Press(PSBTN_NEXT);
    ASSERT_TRUE(wizard.WaitForTitle("Congratulations!"));
    EXPECT_TRUE(FileExistsAt(installer));
    EXPECT_TRUE(FileExistsAt(project));

    wizard.Press(PSBTN_FINISH);
    EXPECT_LT(0, static_cast<int>(wizard.WaitForExit()));
    CopyFileA(installer.c_str(), OutputPath("Sunset.exe").c_str(), FALSE);
    CopyFileA(movie.c_str(), OutputPath("sunset.swf").c_str(), FALSE);
}

TEST(WizardEndToEnd, EveryMessageOnTheWayAndFailedBuildsThatStay) {
    const std::string dir = Scratch();
    SetAppPath("");
    const std::string missingProject = dir + "no such project.qmv";
    WizardProcess wizard(" \"" + missingProject + "\"");
    ASSERT_TRUE(wizard.Started());
    MessageBoxInfo box;
    wizard.Answer("Project file " + missingProject + " not found.", BoxIcon::Warning, IDOK, &box);
    EXPECT_TRUE(box.owner == NULL);
    PassWelcome(wizard);

    // Both fields empty: one message, the focus on the name.
    wizard.Press(PSBTN_NEXT);
    wizard.Answer("String must not be empty. Please enter value.", BoxIcon::Warning, IDOK);
    EXPECT_EQ(wizard.Control(IDC_DISPLAY_NAME), wizard.Focus());

    wizard.SetField(IDC_DISPLAY_NAME, "Sky");
    const std::string missingMovie = dir + "missing.swf";
    wizard.SetField(IDC_MOVIE_PATH, missingMovie);
    wizard.Press(PSBTN_NEXT);
    wizard.Answer("File " + missingMovie + " not found.", BoxIcon::Warning, IDOK);
    EXPECT_EQ(wizard.Control(IDC_MOVIE_PATH), wizard.Focus());

    // A compressed movie is questioned at every Next; No stays, Yes goes on.
    const std::string movie = MoviePath("avm1_export_assets.swf");
    wizard.SetField(IDC_MOVIE_PATH, movie);
    const std::string question = "It seems that file is not Macromedia Flash movie:\r\n" + movie +
                                 "\r\n\r\nContinue anyway?";
    wizard.Press(PSBTN_NEXT);
    wizard.Answer(question, BoxIcon::Warning, IDNO, &box);
    EXPECT_EQ((std::vector<int>{IDYES, IDNO}), box.buttons);
    EXPECT_EQ("Screen Saver Settings", wizard.Title());
    EXPECT_EQ(wizard.Control(IDC_MOVIE_PATH), wizard.Focus());
    wizard.Press(PSBTN_NEXT);
    wizard.Answer(question, BoxIcon::Warning, IDYES);
    ASSERT_TRUE(wizard.WaitForTitle("Project Settings"));
    EXPECT_EQ(missingProject, wizard.Field(IDC_PROJECT_PATH));

    // Both paths empty: the project path is asked for first.
    wizard.SetField(IDC_PROJECT_PATH, "");
    wizard.Press(PSBTN_NEXT);
    wizard.Answer("String must not be empty. Please enter value.", BoxIcon::Warning, IDOK);
    EXPECT_EQ(wizard.Control(IDC_PROJECT_PATH), wizard.Focus());

    // Builds that fail: the App Paths entry only under the current user, then a folder
    // without the companions, then a destination in a missing folder.
    const std::string project = dir + "sky.qmv";
    const std::string installer = dir + "Sky.exe";
    wizard.SetField(IDC_PROJECT_PATH, project);
    wizard.SetField(IDC_INSTALLER_PATH, installer);
    HKEY key = NULL;
    RegCreateKeyExA(HKEY_CURRENT_USER,
                    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\qmwizard.exe", 0,
                    NULL, 0, KEY_SET_VALUE, NULL, &key, NULL);
    const std::string companions = dir + "Flickwell";
    RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(companions.c_str()),
                   static_cast<DWORD>(companions.size() + 1));
    RegCloseKey(key);
    wizard.Press(PSBTN_NEXT);
    wizard.Answer("Screen saver making failed.", BoxIcon::Warning, IDOK);
    EXPECT_EQ("Project Settings", wizard.Title());
    EXPECT_NE(std::string::npos, FileText(project).find("DisplayName=Sky\r\n"))
        << "saved before the build";

    CreateDirectoryA(companions.c_str(), NULL);
    SetAppPath(companions);
    wizard.Press(PSBTN_NEXT);
    wizard.Answer("Screen saver making failed.", BoxIcon::Warning, IDOK);

    InstallCompanions(companions);
    wizard.SetField(IDC_INSTALLER_PATH, dir + "no such folder\\Sky.exe");
    wizard.Press(PSBTN_NEXT);
    wizard.Answer("Screen saver making failed.", BoxIcon::Warning, IDOK);
    EXPECT_EQ("Project Settings", wizard.Title());
    EXPECT_EQ(dir + "no such folder\\Sky.exe", wizard.Field(IDC_INSTALLER_PATH));
    EXPECT_TRUE(FilesStartingWith(TempDir(), "qmv").empty());

    wizard.SetField(IDC_INSTALLER_PATH, installer);
    wizard.Press(PSBTN_NEXT);
    ASSERT_TRUE(wizard.WaitForTitle("Congratulations!"));
    // Cancel is accepted at once, after a build too.
    wizard.Press(PSBTN_CANCEL);
    EXPECT_EQ(0u, wizard.WaitForExit());
    // The project named on the command line is saved with all six keys.
    EXPECT_NE(std::string::npos, FileText(project).find("UseDefaultCompany=True\r\n"));
    CopyFileA(installer.c_str(), OutputPath("Sky.exe").c_str(), FALSE);
    CopyFileA(movie.c_str(), OutputPath("compressed.swf").c_str(), FALSE);
}

TEST(WizardEndToEnd, ProjectFileOnTheCommandLineComesBackWithItsCarriedKeys) {
    const std::string dir = Scratch() + "my projects\\";
    CreateDirectoryA(dir.c_str(), NULL);
    InstallCompanions(dir + "Flickwell");
    const std::string movie = WriteMovie(dir + "ocean.swf", "FWS", 4000);
    const std::string installer = dir + "Ocean.exe";
    const std::string project = dir + "ocean.qmv";
    const std::string text = "[Parameters]\r\nDisplayName=Ocean\r\nMoviePath=" + movie +
                             "\r\nCompany=Tovik Works\r\nCopyright=(c) \"2004\"\r\n"
                             "DestinationPath=" +
                             installer + "\r\nUseDefaultCompany=False\r\n";
    WriteFileBytes(project, std::vector<unsigned char>(text.begin(), text.end()));

    // Anything after the closing quote is dropped.
    WizardProcess wizard(" \"" + project + "\" ignored");
    ASSERT_TRUE(wizard.Started());
    PassWelcome(wizard);
    EXPECT_EQ(movie, wizard.Field(IDC_MOVIE_PATH));
    EXPECT_EQ("Ocean", wizard.Field(IDC_DISPLAY_NAME));
    wizard.Press(PSBTN_NEXT);
    ASSERT_TRUE(wizard.WaitForTitle("Project Settings"));
    EXPECT_EQ(project, wizard.Field(IDC_PROJECT_PATH));
    EXPECT_EQ(installer, wizard.Field(IDC_INSTALLER_PATH));
    wizard.Press(PSBTN_NEXT);
    ASSERT_TRUE(wizard.WaitForTitle("Congratulations!"));
    wizard.Press(PSBTN_FINISH);
    EXPECT_LT(0, static_cast<int>(wizard.WaitForExit()));
    EXPECT_EQ(text, FileText(project));
    EXPECT_EQ("Ocean", LoadStringFrom(installer, 2));
}

} // namespace
