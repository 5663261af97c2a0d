// The sheet and its pages driven in-process: a modeless sheet whose messages this thread
// pumps, with the wizard's own dialogs and strings linked into the test.
#include "wizard/pages.h"
#include "wizard/resource.h"
#include "wizard/wizard_sheet.h"
#include "message_box.h"
#include "test_env.h"
#include "wizard_test_util.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace {

// The sheet's own buttons in wizard mode.
const int kBackButton = 0x3023;
const int kNextButton = 0x3024;
const int kFinishButton = 0x3025;

void Pump() {
    MSG msg;
    for (int round = 0; round < 3; ++round) {
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(10);
    }
}

std::string Text(HWND window) {
    char text[1024] = {0};
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

class Wizard {
  public:
    explicit Wizard(const char* projectFile = NULL)
        : sheet_(GetModuleHandleA(NULL)), saver_(Load(projectFile)), project_(&settings_) {
        sheet_.AddPage(&welcome_);
        sheet_.AddPage(&saver_);
        sheet_.AddPage(&project_);
        sheet_.AddPage(&finish_);
        sheet_.AddFlags(PSH_WIZARD);
        window_ = sheet_.CreateModeless(NULL);
        Pump();
    }
    ~Wizard() {
        DestroyWindow(window_);
        Pump();
    }

    HWND Sheet() const { return window_; }
    HWND Page() const { return PropSheet_GetCurrentPageHwnd(window_); }
    HWND Control(int id) const { return GetDlgItem(Page(), id); }
    std::string Title() const { return Text(Control(IDC_TITLE)); }
    void Press(int button) {
        PropSheet_PressButton(window_, button);
        Pump();
    }
    void Show(int index) {
        PropSheet_SetCurSel(window_, NULL, index);
        Pump();
    }
    void Type(int id, const std::string& text) {
        SetWindowTextA(Control(id), text.c_str());
        Pump();
    }
    bool Enabled(int id) const {
        HWND button = GetDlgItem(window_, id);
        return IsWindowVisible(button) && IsWindowEnabled(button);
    }

    ProjectSettings settings_;
    ScreenSaverPage& Saver() { return saver_; }

  private:
    ProjectSettings* Load(const char* projectFile) {
        if (projectFile != NULL) {
            settings_.Load(projectFile);
        }
        return &settings_;
    }

    WizardSheet sheet_;
    WelcomePage welcome_;
    ScreenSaverPage saver_;
    ProjectPage project_;
    FinishPage finish_;
    HWND window_;
};

// A real shell drop of `paths`, as Explorer hands it to the window under the mouse.
HDROP MakeDrop(const std::vector<std::string>& paths) {
    size_t size = sizeof(DROPFILES) + 1;
    for (const std::string& p : paths) {
        size += p.size() + 1;
    }
    HGLOBAL memory = GlobalAlloc(GHND, size);
    DROPFILES* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    char* at = reinterpret_cast<char*>(drop + 1);
    for (const std::string& p : paths) {
        lstrcpyA(at, p.c_str());
        at += p.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

void Drop(HWND field, const std::vector<std::string>& paths) {
    SendMessageA(field, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(paths)), 0);
}

TEST(SheetTest, ButtonsTitlesAndFontsOfEveryPage) {
    Wizard wizard;
    ASSERT_TRUE(wizard.Sheet() != NULL);
    EXPECT_EQ("Flickwell Wizard", Text(wizard.Sheet()));
    EXPECT_EQ("Welcome to Flickwell!", wizard.Title());
    EXPECT_FALSE(wizard.Enabled(kBackButton));
    EXPECT_TRUE(wizard.Enabled(kNextButton));

    HDC screen = GetDC(NULL);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(NULL, screen);
    struct Expected {
        const char* title;
        int points;
        bool back, next, finish;
    } pages[] = {{"Welcome to Flickwell!", 16, false, true, false},
                 {"Screen Saver Settings", 10, true, true, false},
                 {"Project Settings", 10, true, true, false},
                 {"Congratulations!", 16, true, false, true}};
    for (int i = 0; i < 4; ++i) {
        wizard.Show(i);
        EXPECT_EQ(pages[i].title, wizard.Title());
        EXPECT_EQ("Flickwell Wizard", Text(wizard.Sheet())) << i;
        EXPECT_EQ(pages[i].back, wizard.Enabled(kBackButton)) << i;
        EXPECT_EQ(pages[i].next, wizard.Enabled(kNextButton)) << i;
        EXPECT_EQ(pages[i].finish, wizard.Enabled(kFinishButton)) << i;
        HFONT font =
            reinterpret_cast<HFONT>(SendMessageA(wizard.Control(IDC_TITLE), WM_GETFONT, 0, 0));
        LOGFONTA described;
        ASSERT_EQ(static_cast<int>(sizeof(described)),
                  GetObjectA(font, sizeof(described), &described));
        EXPECT_EQ(-(dpi * pages[i].points / 72), described.lfHeight) << i;
        EXPECT_EQ(FW_BOLD, described.lfWeight);
        EXPECT_STREQ("Arial", described.lfFaceName);
    }
    // The sheet stands within the work area.
    RECT sheet, area;
    GetWindowRect(wizard.Sheet(), &sheet);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    EXPECT_GE(sheet.left, area.left);
    EXPECT_LE(sheet.right, area.right);
    EXPECT_GE(sheet.top, area.top);
    EXPECT_LE(sheet.bottom, area.bottom);
}

TEST(TitleFontTest, HeightFollowsTheScreenResolution) {
    LOGFONTA message;
    ZeroMemory(&message, sizeof(message));
    message.lfHeight = -11;
    message.lfCharSet = SHIFTJIS_CHARSET;
    lstrcpyA(message.lfFaceName, "Tahoma");
    EXPECT_EQ(-21, TitleFont::Describe(message, 96, 16).lfHeight);
    EXPECT_EQ(-13, TitleFont::Describe(message, 96, 10).lfHeight);
    EXPECT_EQ(-26, TitleFont::Describe(message, 120, 16).lfHeight);
    EXPECT_EQ(-16, TitleFont::Describe(message, 120, 10).lfHeight);
    const LOGFONTA title = TitleFont::Describe(message, 96, 10);
    EXPECT_EQ(FW_BOLD, title.lfWeight);
    EXPECT_STREQ("Arial", title.lfFaceName);
    EXPECT_EQ(SHIFTJIS_CHARSET, title.lfCharSet) << "the rest comes from the message font";
}

TEST(ScreenSaverPageTest, DroppedMoviesNameTheScreenSaverUntilTheUserDoes) {
    Wizard wizard;
    wizard.Press(PSBTN_NEXT);
    ASSERT_EQ("Screen Saver Settings", wizard.Title());
    HWND movie = wizard.Control(IDC_MOVIE_PATH);
    HWND name = wizard.Control(IDC_DISPLAY_NAME);

    Drop(movie, {"C:\\Movies\\sunset.swf", "C:\\Movies\\other.swf"});
    EXPECT_EQ("C:\\Movies\\sunset.swf", Text(movie)) << "only the first dropped item";
    EXPECT_EQ("Sunset", Text(name));
    EXPECT_FALSE(wizard.Saver().NameEdited());
    Drop(movie, {"C:\\Movies\\ocean waves.swf"});
    EXPECT_EQ("Ocean waves", Text(name));
    Drop(movie, {"C:\\Movies"});
    EXPECT_EQ("C:\\Movies", Text(movie)) << "a folder is accepted too";

    wizard.Type(IDC_DISPLAY_NAME, "My own");
    EXPECT_TRUE(wizard.Saver().NameEdited());
    Drop(movie, {"C:\\Movies\\rain.swf"});
    EXPECT_EQ("C:\\Movies\\rain.swf", Text(movie));
    EXPECT_EQ("My own", Text(name));
    // Emptying the field does not bring the automatic name back.
    wizard.Type(IDC_DISPLAY_NAME, "");
    Drop(movie, {"C:\\Movies\\snow.swf"});
    EXPECT_EQ("", Text(name));

    // A path longer than any buffer arrives whole; Next refuses it with the focus there.
    const std::string longPath = "C:\\" + std::string(300, 'p') + ".swf";
    Drop(movie, {longPath});
    EXPECT_EQ(longPath, Text(movie));
    wizard.Type(IDC_DISPLAY_NAME, "Sky");
    wizard.Press(PSBTN_NEXT);
    EXPECT_EQ("Screen Saver Settings", wizard.Title());
    EXPECT_EQ(movie, GetFocus());
    EXPECT_EQ("", wizard.settings_.Get("MoviePath"));
}

TEST(ScreenSaverPageTest, FieldsOverTheirLimitsOrShortMoviesStayWithoutAMessage) {
    const std::string dir = MakeScratchDir("limits");
    Wizard wizard;
    wizard.Press(PSBTN_NEXT);
    const std::string movie = WriteMovie(dir + "m.swf", "FWS", 100);

    wizard.Type(IDC_MOVIE_PATH, movie);
    wizard.Type(IDC_DISPLAY_NAME, std::string(256, 'n'));
    wizard.Press(PSBTN_NEXT);
    EXPECT_EQ("Screen Saver Settings", wizard.Title());
    EXPECT_EQ(wizard.Control(IDC_DISPLAY_NAME), GetFocus());

    wizard.Type(IDC_DISPLAY_NAME, std::string(255, 'n'));
    wizard.Type(IDC_MOVIE_PATH, "C:\\" + std::string(258, 'p'));
    wizard.Press(PSBTN_NEXT);
    EXPECT_EQ("Screen Saver Settings", wizard.Title());
    EXPECT_EQ(wizard.Control(IDC_MOVIE_PATH), GetFocus());

    wizard.Type(IDC_MOVIE_PATH, WriteMovie(dir + "short.swf", "FWS", 2));
    SetFocus(wizard.Control(IDC_DISPLAY_NAME));
    wizard.Press(PSBTN_NEXT);
    EXPECT_EQ("Screen Saver Settings", wizard.Title());
    EXPECT_EQ(wizard.Control(IDC_MOVIE_PATH), GetFocus());
    EXPECT_EQ("", wizard.settings_.Get("DisplayName"));

    wizard.Type(IDC_MOVIE_PATH, movie);
    wizard.Press(PSBTN_NEXT);
    EXPECT_EQ("Project Settings", wizard.Title());
    EXPECT_EQ(std::string(255, 'n'), wizard.settings_.Get("DisplayName"));
    EXPECT_EQ(movie, wizard.settings_.Get("MoviePath"));
    // Back stores nothing and the fields keep what was typed.
    wizard.Press(PSBTN_BACK);
    wizard.Type(IDC_DISPLAY_NAME, "Changed");
    wizard.Press(PSBTN_BACK);
    wizard.Press(PSBTN_NEXT);
    EXPECT_EQ("Changed", Text(wizard.Control(IDC_DISPLAY_NAME)));
    EXPECT_EQ(std::string(255, 'n'), wizard.settings_.Get("DisplayName"));
}

TEST(ScreenSaverPageTest, CompressedMovieIsQuestionedAndAcceptedWithYes) {
    Wizard wizard;
    wizard.Press(PSBTN_NEXT);
    const std::string movie = MoviePath("avm1_export_assets.swf");
    Drop(wizard.Control(IDC_MOVIE_PATH), {movie});
    MessageBoxAnswerer yes(IDYES);
    wizard.Press(PSBTN_NEXT);
    ASSERT_TRUE(yes.Seen());
    EXPECT_EQ("It seems that file is not Macromedia Flash movie:\r\n" + movie +
                  "\r\n\r\nContinue anyway?",
              yes.Info().text);
    EXPECT_EQ("Flickwell Wizard", yes.Info().caption);
    EXPECT_EQ(BoxIcon::Warning, yes.Info().icon);
    EXPECT_EQ((std::vector<int>{IDYES, IDNO}), yes.Info().buttons);
    EXPECT_EQ("Project Settings", wizard.Title());
    EXPECT_EQ("Avm1_export_assets", wizard.settings_.Get("DisplayName"));
    EXPECT_EQ(movie, wizard.settings_.Get("MoviePath"));
}

TEST(ProjectPageTest, NextSavesTheProjectAndBuildsThePackage) {
    const std::string dir = MakeScratchDir("build");
    InstallCompanions(dir + "bin");
    const std::string project = dir + "loaded.qmv";
    const std::string movie = WriteMovie(dir + "sunset.swf", "FWS", 5000);
    WriteFileBytes(project, std::vector<unsigned char>());
    WritePrivateProfileStringA("Parameters", "DisplayName", "Dusk", project.c_str());
    WritePrivateProfileStringA("Parameters", "MoviePath", movie.c_str(), project.c_str());
    WritePrivateProfileStringA("Parameters", "Company", "Tovik", project.c_str());

    Wizard wizard(project.c_str());
    wizard.Press(PSBTN_NEXT);
    EXPECT_EQ(movie, Text(wizard.Control(IDC_MOVIE_PATH)));
    EXPECT_EQ("Dusk", Text(wizard.Control(IDC_DISPLAY_NAME)));
    EXPECT_TRUE(wizard.Saver().NameEdited()) << "a name from the project file is the user's";
    Drop(wizard.Control(IDC_MOVIE_PATH), {movie});
    EXPECT_EQ("Dusk", Text(wizard.Control(IDC_DISPLAY_NAME)));
    wizard.Press(PSBTN_NEXT);
    ASSERT_EQ("Project Settings", wizard.Title());
    EXPECT_EQ(project, Text(wizard.Control(IDC_PROJECT_PATH)));
    EXPECT_EQ("", Text(wizard.Control(IDC_INSTALLER_PATH)));

    const std::string installer = dir + "Dusk.exe";
    wizard.Type(IDC_INSTALLER_PATH, installer);
    wizard.Type(IDC_PROJECT_PATH, dir + "saved.qmv");
    wizard.Press(PSBTN_NEXT);
    ASSERT_EQ("Congratulations!", wizard.Title());
    EXPECT_EQ("Dusk", LoadStringFrom(installer, 2));
    EXPECT_EQ("Dusk", LoadStringFrom(TempDir() + "preview.scr", 1));
    char company[MAX_PATH] = {0};
    GetPrivateProfileStringA("Parameters", "Company", "", company, sizeof(company),
                             (dir + "saved.qmv").c_str());
    EXPECT_STREQ("Tovik", company) << "saved to the path on the page, carried keys included";
    char destination[MAX_PATH] = {0};
    GetPrivateProfileStringA("Parameters", "DestinationPath", "", destination, sizeof(destination),
                             (dir + "saved.qmv").c_str());
    EXPECT_EQ(installer, destination);
    EXPECT_TRUE(FilesStartingWith(TempDir(), "qmv").empty());
}

} // namespace
