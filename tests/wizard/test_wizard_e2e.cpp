// qmwizard.exe driven as a person drives it: its own process, its sheet's buttons, its
// fields, and every message box it shows read and answered. Built twice: as
// wizard_end_to_end, and as wizard_os_gate where Wine reports Windows 98.
#include "wizard/resource.h"
#include "message_box.h"
#include "test_env.h"
#include "wizard_test_util.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <tlhelp32.h>

namespace {

const DWORD kWait = 15000;

template <class Condition> bool WaitFor(Condition done) {
    for (DWORD start = GetTickCount(); !done(); Sleep(50)) {
        if (GetTickCount() - start > kWait) {
            return false;
        }
    }
    return true;
}

// A visible dialog of process `pid` other than `except`.
HWND DialogOf(DWORD pid, HWND except) {
    for (HWND w = FindWindowExA(NULL, NULL, "#32770", NULL); w != NULL;
         w = FindWindowExA(NULL, w, "#32770", NULL)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == pid && w != except && IsWindowVisible(w)) {
            return w;
        }
    }
    return NULL;
}

class WizardProcess {
  public:
    explicit WizardProcess(const std::string& arguments) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        std::string line = "\"" + BinPath("qmwizard.exe") + "\"" + arguments;
        CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process_);
    }
    ~WizardProcess() {
        TerminateProcess(process_.hProcess, 99); // when a check failed on the way
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }

    DWORD Pid() const { return process_.dwProcessId; }
    // Finds the sheet and waits for its first page.
    bool Opened() {
        return WaitFor([&] {
            sheet_ = DialogOf(Pid(), NULL);
            return sheet_ != NULL && Title() == "Welcome to Flickwell!";
        });
    }
    HWND Sheet() const { return sheet_; }
    HWND Page() const {
        return reinterpret_cast<HWND>(SendMessageA(sheet_, PSM_GETCURRENTPAGEHWND, 0, 0));
    }
    HWND Control(int id) const { return GetDlgItem(Page(), id); }
    std::string Field(int id) const { return WindowText(Control(id)); }
    std::string Title() const { return Field(IDC_TITLE); }
    void SetField(int id, const std::string& text) { SetWindowTextOf(Control(id), text); }
    // Posted, as a click is: the wizard may answer with a modal box.
    void Press(int button) { PostMessageA(sheet_, PSM_PRESSBUTTON, button, 0); }
    void Click(int id) { PostMessageA(Page(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    bool Go(int button, const std::string& title) {
        Press(button);
        return WaitFor([&] { return Title() == title; });
    }
    HWND Focus() const {
        GUITHREADINFO info = {};
        info.cbSize = sizeof(info);
        GetGUIThreadInfo(process_.dwThreadId, &info);
        return info.hwndFocus;
    }
    // Waits for a message box, checks what a person reads on it and presses `button`.
    MessageBoxInfo Answer(const std::string& text, BoxIcon icon, int button) {
        MessageBoxInfo box;
        EXPECT_TRUE(WaitForMessageBox(Pid(), kWait, &box)) << "no box for: " << text;
        EXPECT_EQ("Flickwell Wizard", box.caption);
        EXPECT_EQ(text, box.text);
        EXPECT_STREQ(BoxIconName(icon), BoxIconName(box.icon));
        EXPECT_TRUE(PressButton(box, button));
        // Gone before the next step looks at the wizard.
        WaitFor([&] { return !IsWindow(box.window); });
        Sleep(100);
        return box;
    }
    DWORD WaitForExit() { return ::WaitForExit(process_.hProcess, kWait); }

  private:
    PROCESS_INFORMATION process_ = {};
    HWND sheet_ = NULL;
};

// Waits for a process started from `name` and ends it; false when none came.
bool EndProcessNamed(const char* name) {
    DWORD pid = 0;
    WaitFor([&] {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32 entry = {};
        entry.dwSize = sizeof(entry);
        for (BOOL more = Process32First(snapshot, &entry); more;
             more = Process32Next(snapshot, &entry)) {
            pid = lstrcmpiA(entry.szExeFile, name) == 0 ? entry.th32ProcessID : pid;
        }
        CloseHandle(snapshot);
        return pid != 0;
    });
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
    const bool ended = process != NULL && TerminateProcess(process, 0);
    CloseHandle(process);
    return ended;
}

TEST(WizardEndToEnd, NewProjectToFinishThenTheSameProjectFromTheCommandLine) {
    const std::string dir = Scratch() + "my projects\\";
    CreateDirectoryA(dir.c_str(), NULL);
    InstallCompanions(dir + "Flickwell");
    const std::string movie = WriteMovie(dir + "sunset.swf", "FWS", 20000);
    const std::string installer = dir + "Sunset.exe", project = dir + "sunset.qmv";
    DeleteFileA((TempDir() + "preview.scr").c_str());

    WizardProcess wizard("");
    ASSERT_TRUE(wizard.Opened());
    ASSERT_TRUE(wizard.Go(PSBTN_NEXT, "Screen Saver Settings"));
    wizard.SetField(IDC_MOVIE_PATH, movie);
    wizard.SetField(IDC_DISPLAY_NAME, "Sunset");
    ASSERT_TRUE(wizard.Go(PSBTN_NEXT, "Project Settings"));

    // Browse proposes the display name for the installer; the dialog adds "exe".
    wizard.Click(IDC_BROWSE_INSTALLER);
    HWND dialog = NULL, name = NULL;
    ASSERT_TRUE(WaitFor([&] {
        dialog = DialogOf(wizard.Pid(), wizard.Sheet());
        name = GetDlgItem(dialog, cmb13) != NULL ? GetDlgItem(dialog, cmb13)
                                                 : GetDlgItem(dialog, edt1);
        return name != NULL;
    }));
    EXPECT_EQ("Sunset", WindowText(name));
    SetWindowTextOf(name, dir + "Sunset");
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_TRUE(WaitFor([&] { return wizard.Field(IDC_INSTALLER_PATH) == installer; }));

    wizard.SetField(IDC_PROJECT_PATH, project);
    // An earlier preview still running holds "preview.scr": this build's copy goes beside it.
    const std::string running = TempDir() + "preview.scr", fresh = TempDir() + "preview1.scr";
    DeleteFileA(fresh.c_str());
    HANDLE held =
        CreateFileA(running.c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    ASSERT_TRUE(wizard.Go(PSBTN_NEXT, "Congratulations!"));
    CloseHandle(held);
    EXPECT_EQ("Sunset", LoadStringFrom(installer, 2));
    EXPECT_EQ("Sunset", LoadStringFrom(fresh, 1));
    EXPECT_TRUE(NoTemporaryLeft(TempDir()));
    EXPECT_EQ("[Parameters]\r\nDisplayName=Sunset\r\nMoviePath=" + movie +
                  "\r\nDestinationPath=" + installer + "\r\n",
              FileText(project));

    // Preview starts the file this build made, as it lies in the temporary folder at that
    // moment; a program that stays open there shows that it was started.
    ASSERT_TRUE(CopyFileA(BinPath("qmwizard.exe").c_str(), fresh.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(BinPath("qmwizard.exe").c_str(), running.c_str(), FALSE));
    wizard.Click(IDC_PREVIEW);
    EXPECT_TRUE(EndProcessNamed("preview1.scr"));
    EXPECT_EQ("Congratulations!", wizard.Title());

    // Back, and Next again: saved and built once more.
    ASSERT_TRUE(DeleteFileA(installer.c_str()) && DeleteFileA(project.c_str()));
    ASSERT_TRUE(wizard.Go(PSBTN_BACK, "Project Settings"));
    EXPECT_EQ(installer, wizard.Field(IDC_INSTALLER_PATH));
    ASSERT_TRUE(wizard.Go(PSBTN_NEXT, "Congratulations!"));
    EXPECT_TRUE(FileExistsAt(installer) && FileExistsAt(project));

    wizard.Press(PSBTN_FINISH);
    EXPECT_EQ(1u, wizard.WaitForExit()) << "Finish";

    // The project named on the command line (anything after the closing quote is dropped),
    // with keys this wizard only carries: they are written back unchanged.
    const std::string text = FileText(project) +
                             "Company=Tovik Works\r\n"
                             "Copyright=(c) \"2004\"\r\nUseDefaultCompany=False\r\n";
    WriteText(project, text);
    WizardProcess again(" \"" + project + "\" ignored");
    ASSERT_TRUE(again.Opened());
    ASSERT_TRUE(again.Go(PSBTN_NEXT, "Screen Saver Settings"));
    EXPECT_EQ(movie, again.Field(IDC_MOVIE_PATH));
    EXPECT_EQ("Sunset", again.Field(IDC_DISPLAY_NAME));
    ASSERT_TRUE(again.Go(PSBTN_NEXT, "Project Settings"));
    EXPECT_EQ(project, again.Field(IDC_PROJECT_PATH));
    EXPECT_EQ(installer, again.Field(IDC_INSTALLER_PATH));
    ASSERT_TRUE(again.Go(PSBTN_NEXT, "Congratulations!"));
    again.Press(PSBTN_FINISH);
    EXPECT_EQ(1u, again.WaitForExit()) << "Finish";
    EXPECT_EQ(text, FileText(project));
    CopyFileA(installer.c_str(), OutputPath("Sunset.exe").c_str(), FALSE);
    CopyFileA(movie.c_str(), OutputPath("sunset.swf").c_str(), FALSE);
}

TEST(WizardEndToEnd, EveryMessageOnTheWayAndFailedBuildsThatStay) {
    const std::string dir = Scratch();
    SetAppPath(NULL);
    const std::string missingProject = dir + "no such project.qmv";
    WizardProcess wizard(" \"" + missingProject + "\"");
    EXPECT_TRUE(
        wizard.Answer("Project file " + missingProject + " not found.", BoxIcon::Warning, IDOK)
            .owner == NULL);
    ASSERT_TRUE(wizard.Opened());
    ASSERT_TRUE(wizard.Go(PSBTN_NEXT, "Screen Saver Settings"));

    // Both fields empty: one message, the focus on the name.
    const std::string empty = "String must not be empty. Please enter value.";
    wizard.Press(PSBTN_NEXT);
    wizard.Answer(empty, BoxIcon::Warning, IDOK);
    EXPECT_EQ(wizard.Control(IDC_DISPLAY_NAME), wizard.Focus());

    wizard.SetField(IDC_DISPLAY_NAME, "Sky");
    wizard.SetField(IDC_MOVIE_PATH, dir + "missing.swf");
    wizard.Press(PSBTN_NEXT);
    wizard.Answer("File " + dir + "missing.swf not found.", BoxIcon::Warning, IDOK);
    EXPECT_EQ(wizard.Control(IDC_MOVIE_PATH), wizard.Focus());

    // A compressed movie is questioned at every Next; No stays, Yes goes on.
    const std::string movie = MoviePath("avm1_export_assets.swf");
    wizard.SetField(IDC_MOVIE_PATH, movie);
    const std::string question = "It seems that file is not Macromedia Flash movie:\r\n" + movie +
                                 "\r\n\r\nContinue anyway?";
    wizard.Press(PSBTN_NEXT);
    EXPECT_EQ((std::vector<int>{IDYES, IDNO}),
              wizard.Answer(question, BoxIcon::Warning, IDNO).buttons);
    EXPECT_EQ("Screen Saver Settings", wizard.Title());
    EXPECT_EQ(wizard.Control(IDC_MOVIE_PATH), wizard.Focus());
    wizard.Press(PSBTN_NEXT);
    wizard.Answer(question, BoxIcon::Warning, IDYES);
    ASSERT_TRUE(WaitFor([&] { return wizard.Title() == "Project Settings"; }));
    EXPECT_EQ(missingProject, wizard.Field(IDC_PROJECT_PATH));

    // Both paths empty: the project path is asked for first.
    wizard.SetField(IDC_PROJECT_PATH, "");
    wizard.Press(PSBTN_NEXT);
    wizard.Answer(empty, BoxIcon::Warning, IDOK);
    EXPECT_EQ(wizard.Control(IDC_PROJECT_PATH), wizard.Focus());

    // Builds that fail and stay: the App Paths entry only under the current user, then a
    // folder without the companions, then a destination in a missing folder.
    const std::string project = dir + "sky.qmv", installer = dir + "Sky.exe";
    const std::string companions = dir + "Flickwell", nowhere = dir + "no such folder\\Sky.exe";
    wizard.SetField(IDC_PROJECT_PATH, project);
    wizard.SetField(IDC_INSTALLER_PATH, installer);
    SetAppPath(companions.c_str(), HKEY_CURRENT_USER);
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (attempt == 1) {
            CreateDirectoryA(companions.c_str(), NULL);
            SetAppPath(companions.c_str());
        } else if (attempt == 2) {
            InstallCompanions(companions);
            wizard.SetField(IDC_INSTALLER_PATH, nowhere);
        }
        wizard.Press(PSBTN_NEXT);
        wizard.Answer("Screen saver making failed.", BoxIcon::Warning, IDOK);
        EXPECT_EQ("Project Settings", wizard.Title()) << attempt;
        EXPECT_TRUE(NoTemporaryLeft(TempDir()));
    }
    EXPECT_EQ(nowhere, wizard.Field(IDC_INSTALLER_PATH));
    EXPECT_NE(std::string::npos, FileText(project).find("DisplayName=Sky\r\n"))
        << "saved before the build";

    wizard.SetField(IDC_INSTALLER_PATH, installer);
    ASSERT_TRUE(wizard.Go(PSBTN_NEXT, "Congratulations!"));
    // Cancel is accepted at once, after a build too.
    wizard.Press(PSBTN_CANCEL);
    EXPECT_EQ(0u, wizard.WaitForExit());
    // The project named on the command line is saved with all six keys.
    EXPECT_NE(std::string::npos, FileText(project).find("UseDefaultCompany=True\r\n"));
    CopyFileA(installer.c_str(), OutputPath("Sky.exe").c_str(), FALSE);
    CopyFileA(movie.c_str(), OutputPath("compressed.swf").c_str(), FALSE);
}

// On the Windows 95/98/Me family the wizard says so and ends with -1.
TEST(WizardOsGate, RefusesTheWindows9xFamily) {
    WizardProcess wizard("");
    const std::string text = "Tovik Flickwell Wizard does not support Windows 95/98/ME now, "
                             "sorry. Click OK to quit.";
    EXPECT_EQ(std::vector<int>{IDOK}, wizard.Answer(text, BoxIcon::Information, IDOK).buttons);
    EXPECT_EQ(static_cast<DWORD>(-1), wizard.WaitForExit());
}

} // namespace
