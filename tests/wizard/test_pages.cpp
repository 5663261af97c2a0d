// The sheet and its pages driven in-process: a modeless sheet whose messages this thread
// pumps, with the wizard's own dialogs and strings linked into the test.
#include "wizard/pages.h"
#include "wizard/resource.h"
#include "wizard/wizard_sheet.h"
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
    // `displayName` stands for one a project file brought.
    explicit Wizard(const char* displayName = "")
        : sheet_(GetModuleHandleA(NULL)), saver_(Preset(displayName)), project_(&settings_) {
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
    ProjectSettings* Preset(const char* displayName) {
        if (displayName[0] != '\0') {
            settings_.Set("DisplayName", displayName);
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

TEST(ScreenSaverPageTest, NameFromTheProjectFileIsTheUsers) {
    Wizard wizard("Dusk");
    wizard.Press(PSBTN_NEXT);
    EXPECT_EQ("Dusk", Text(wizard.Control(IDC_DISPLAY_NAME)));
    EXPECT_TRUE(wizard.Saver().NameEdited());
    Drop(wizard.Control(IDC_MOVIE_PATH), {"C:\\Movies\\sunset.swf"});
    EXPECT_EQ("Dusk", Text(wizard.Control(IDC_DISPLAY_NAME)));
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

} // namespace
