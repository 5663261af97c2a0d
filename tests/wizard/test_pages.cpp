// The sheet and its pages driven in-process: a modeless sheet whose messages this thread
// pumps, with the wizard's own dialogs and strings linked into the test.
#include "wizard/resource.h"
#include "wizard/wizard_sheet.h"
#include "message_box.h"
#include "test_env.h"
#include "wizard_test_util.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

void Pump() {
    MSG msg;
    for (int round = 0; round < 3; ++round, Sleep(10)) {
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

// The four pages in a wizard sheet, starting from `settings` (as a project file left them).
struct Wizard {
    explicit Wizard(ProjectSettings* settings)
        : sheet(GetModuleHandleA(NULL)), saver(settings), project(settings, &preview),
          finish(&preview) {
        for (WizardPage* page : std::vector<WizardPage*>{&welcome, &saver, &project, &finish}) {
            sheet.AddPage(page);
        }
        sheet.AddFlags(PSH_WIZARD);
        window = sheet.CreateModeless(NULL);
        Pump();
    }
    ~Wizard() {
        DestroyWindow(window);
        Pump();
    }

    HWND Control(int id) const { return GetDlgItem(PropSheet_GetCurrentPageHwnd(window), id); }
    std::string Title() const { return WindowText(Control(IDC_TITLE)); }
    void Press(int button) {
        PropSheet_PressButton(window, button);
        Pump();
    }
    void Type(int id, const std::string& text) {
        SetWindowTextA(Control(id), text.c_str());
        Pump();
    }
    bool Enabled(int id) const {
        HWND button = GetDlgItem(window, id);
        return IsWindowVisible(button) && IsWindowEnabled(button);
    }

    WizardSheet sheet;
    std::string preview;
    WelcomePage welcome;
    ScreenSaverPage saver;
    ProjectPage project;
    FinishPage finish;
    HWND window;
};

// A real shell drop, as Explorer hands it to the window under the mouse, of the items
// `paths` lists with '|' between them.
void Drop(HWND field, std::string paths) {
    std::replace(paths.begin(), paths.end(), '|', '\0');
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + paths.size() + 2);
    DROPFILES* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    CopyMemory(drop + 1, paths.data(), paths.size());
    GlobalUnlock(memory);
    SendMessageA(field, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

TEST(SheetTest, ButtonsTitlesAndFontsOfEveryPage) {
    ProjectSettings settings;
    Wizard wizard(&settings);
    ASSERT_TRUE(wizard.window != NULL);
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
        PropSheet_SetCurSel(wizard.window, NULL, i);
        Pump();
        EXPECT_EQ(pages[i].title, wizard.Title());
        EXPECT_EQ("Flickwell Wizard", WindowText(wizard.window)) << i;
        // The sheet's own Back, Next and Finish buttons.
        EXPECT_EQ(pages[i].back, wizard.Enabled(0x3023)) << i;
        EXPECT_EQ(pages[i].next, wizard.Enabled(0x3024)) << i;
        EXPECT_EQ(pages[i].finish, wizard.Enabled(0x3025)) << i;
        LOGFONTA font;
        ASSERT_TRUE(GetObjectA(
            reinterpret_cast<HFONT>(SendMessageA(wizard.Control(IDC_TITLE), WM_GETFONT, 0, 0)),
            sizeof(font), &font));
        EXPECT_EQ(-(dpi * pages[i].points / 72), font.lfHeight) << i;
        EXPECT_EQ(FW_BOLD, font.lfWeight);
        EXPECT_STREQ("Arial", font.lfFaceName);
    }
}

TEST(ScreenSaverPageTest, DroppedMoviesNameTheScreenSaverUntilTheUserDoes) {
    ProjectSettings settings;
    Wizard wizard(&settings);
    wizard.Press(PSBTN_NEXT);
    ASSERT_EQ("Screen Saver Settings", wizard.Title());
    HWND movie = wizard.Control(IDC_MOVIE_PATH);
    HWND name = wizard.Control(IDC_DISPLAY_NAME);

    Drop(movie, "C:\\Movies\\sunset.swf|C:\\Movies\\other.swf");
    EXPECT_EQ("C:\\Movies\\sunset.swf", WindowText(movie)) << "only the first dropped item";
    EXPECT_EQ("Sunset", WindowText(name));
    Drop(movie, "C:\\Movies\\ocean waves.swf");
    EXPECT_EQ("Ocean waves", WindowText(name));

    wizard.Type(IDC_DISPLAY_NAME, "My own");
    Drop(movie, "C:\\Movies\\rain.swf");
    EXPECT_EQ("C:\\Movies\\rain.swf", WindowText(movie));
    EXPECT_EQ("My own", WindowText(name));
    // Emptying the field does not bring the automatic name back.
    wizard.Type(IDC_DISPLAY_NAME, "");
    Drop(movie, "C:\\Movies\\snow.swf");
    EXPECT_EQ("", WindowText(name));

    // A path longer than any buffer arrives whole, for Next to refuse.
    const std::string longPath = "C:\\" + std::string(300, 'p') + ".swf";
    Drop(movie, longPath);
    EXPECT_EQ(longPath, WindowText(movie));
}

TEST(ScreenSaverPageTest, NameFromTheProjectFileIsTheUsers) {
    ProjectSettings settings;
    settings.Set("DisplayName", "Dusk");
    Wizard wizard(&settings);
    wizard.Press(PSBTN_NEXT);
    Drop(wizard.Control(IDC_MOVIE_PATH), "C:\\Movies\\sunset.swf");
    EXPECT_EQ("Dusk", WindowText(wizard.Control(IDC_DISPLAY_NAME)));
}

TEST(ScreenSaverPageTest, FieldsOverTheirLimitsOrShortMoviesStayWithoutAMessage) {
    const std::string dir = Scratch();
    const std::string movie = WriteMovie(dir + "m.swf", "FWS", 100), name(255, 'n');
    ProjectSettings settings;
    Wizard wizard(&settings);
    wizard.Press(PSBTN_NEXT);
    struct Case {
        std::string movie, name;
        int focus;
    } cases[] = {{movie, name + "n", IDC_DISPLAY_NAME},
                 {"C:\\" + std::string(258, 'p'), name, IDC_MOVIE_PATH},
                 {WriteMovie(dir + "short.swf", "FWS", 2), name, IDC_MOVIE_PATH}};
    for (const Case& c : cases) {
        wizard.Type(IDC_MOVIE_PATH, c.movie);
        wizard.Type(IDC_DISPLAY_NAME, c.name);
        SetFocus(wizard.Control(c.focus == IDC_MOVIE_PATH ? IDC_DISPLAY_NAME : IDC_MOVIE_PATH));
        wizard.Press(PSBTN_NEXT);
        EXPECT_EQ("Screen Saver Settings", wizard.Title());
        EXPECT_EQ(wizard.Control(c.focus), GetFocus()) << c.movie;
    }
    EXPECT_EQ("", settings.Get("DisplayName"));

    wizard.Type(IDC_MOVIE_PATH, movie);
    wizard.Press(PSBTN_NEXT);
    EXPECT_EQ("Project Settings", wizard.Title());
    EXPECT_EQ(name, settings.Get("DisplayName"));
    EXPECT_EQ(movie, settings.Get("MoviePath"));
    // Back stores nothing and the fields keep what was typed; Next stores it.
    wizard.Press(PSBTN_BACK);
    wizard.Type(IDC_DISPLAY_NAME, "Changed");
    wizard.Press(PSBTN_BACK);
    wizard.Press(PSBTN_NEXT);
    EXPECT_EQ("Changed", WindowText(wizard.Control(IDC_DISPLAY_NAME)));
    EXPECT_EQ(name, settings.Get("DisplayName"));
    wizard.Press(PSBTN_NEXT);
    EXPECT_EQ("Changed", settings.Get("DisplayName"));
}

// Presses `button` of the sheet and answers the one message box it shows with `answer`.
MessageBoxInfo PressAnswering(Wizard& wizard, int button, int answer) {
    MessageBoxAnswerer answerer(answer);
    wizard.Press(button);
    EXPECT_TRUE(answerer.Seen());
    EXPECT_EQ("Flickwell Wizard", answerer.Info().caption);
    EXPECT_STREQ(BoxIconName(BoxIcon::Warning), BoxIconName(answerer.Info().icon));
    return answerer.Info();
}

// The Windows 95/98/Me installer names the file after the display name and refuses what
// cannot be one: the page says so and lets the user choose.
TEST(ScreenSaverPageTest, NamesTheWindows9xInstallerRefusesAreQuestioned) {
    const std::string movie = WriteMovie(Scratch() + "m.swf", "FWS", 100);
    ProjectSettings settings;
    settings.Set("MoviePath", movie);
    Wizard wizard(&settings);
    wizard.Press(PSBTN_NEXT);
    const char tail[] = ", which Windows 95, 98 and Me do not allow in file names: the installer "
                        "will not install this screen saver there.\r\n\r\nContinue anyway?";
    const char device[] = " is a device name on Windows 95, 98 and Me: the installer will not "
                          "install this screen saver there.\r\n\r\nContinue anyway?";
    const struct {
        const char* name;
        std::string text;
    } cases[] = {{"Sky/Sea", std::string("The screen saver name contains \"/\"") + tail},
                 {"Why?", std::string("The screen saver name contains \"?\"") + tail},
                 {"a\\b:c", std::string("The screen saver name contains \"\\\"") + tail},
                 {"Tab\there", std::string("The screen saver name contains 0x09") + tail},
                 {"CON", std::string("The screen saver name \"CON\"") + device},
                 {"nul .txt", std::string("The screen saver name \"nul .txt\"") + device}};
    for (const auto& c : cases) {
        wizard.Type(IDC_DISPLAY_NAME, c.name);
        EXPECT_EQ(c.text, PressAnswering(wizard, PSBTN_NEXT, IDNO).text);
        EXPECT_EQ("Screen Saver Settings", wizard.Title());
        EXPECT_EQ(wizard.Control(IDC_DISPLAY_NAME), GetFocus()) << c.name;
    }
    EXPECT_EQ("", settings.Get("DisplayName"));
    // The NT-family installer names the file after its stem: Yes goes on.
    wizard.Type(IDC_DISPLAY_NAME, "LPT1");
    PressAnswering(wizard, PSBTN_NEXT, IDYES);
    EXPECT_EQ("Project Settings", wizard.Title());
    EXPECT_EQ("LPT1", settings.Get("DisplayName"));
}

// An ActionScript 3 movie whose code refers to each name in its package: a QName per
// pair in an ABC block with no code, after FileAttributes asking for ActionScript 3.
std::string WriteAs3Movie(const std::string& path,
                          const std::vector<std::pair<std::string, std::string>>& refs) {
    std::vector<unsigned char> abc = {16, 0, 46, 0, 0, 0, 0};
    const size_t n = refs.size();
    abc.push_back(static_cast<unsigned char>(2 * n + 1));
    for (const auto& ref : refs) {
        for (const std::string* text : {&ref.first, &ref.second}) {
            abc.push_back(static_cast<unsigned char>(text->size()));
            abc.insert(abc.end(), text->begin(), text->end());
        }
    }
    abc.push_back(static_cast<unsigned char>(n + 1)); // package namespaces
    for (size_t i = 0; i < n; ++i) {
        abc.insert(abc.end(), {0x16, static_cast<unsigned char>(2 * i + 2)});
    }
    abc.push_back(0);                                 // namespace sets
    abc.push_back(static_cast<unsigned char>(n + 1)); // QNames
    for (size_t i = 0; i < n; ++i) {
        abc.insert(abc.end(), {0x07, static_cast<unsigned char>(i + 1),
                               static_cast<unsigned char>(2 * i + 1)});
    }
    abc.insert(abc.end(), {0, 0, 0, 0, 0}); // methods, metadata, classes, scripts, bodies
    std::vector<unsigned char> movie = {'F', 'W', 'S', 10,   0,    0,    0, 0, 0x08, 0,    0,
                                        24,  1,   0,   0x44, 0x11, 0x08, 0, 0, 0,    0xBF, 0x14};
    const size_t tag = abc.size() + 5; // flags and an empty name first
    for (int shift = 0; shift < 32; shift += 8) {
        movie.push_back(static_cast<unsigned char>(tag >> shift));
    }
    movie.insert(movie.end(), {1, 0, 0, 0, 0});
    movie.insert(movie.end(), abc.begin(), abc.end());
    movie.insert(movie.end(), {0x40, 0, 0, 0});
    for (int shift = 0; shift < 32; shift += 8) {
        movie[4 + shift / 8] = static_cast<unsigned char>(movie.size() >> shift);
    }
    WriteFileBytes(path, movie);
    return path;
}

// A movie whose scripts use what the player leaves out is named with those parts before
// the author goes on; one that only shares a name with them goes on without a word.
TEST(ScreenSaverPageTest, ActionScript3PartsThePlayerLeavesOutAreQuestioned) {
    const std::string dir = Scratch();
    const std::string lacking = WriteAs3Movie(
        dir + "xml.swf", {{"XML", ""}, {"Loader", "flash.display"}, {"Socket", "flash.net"}});
    const std::string own = WriteAs3Movie(dir + "own.swf", {{"Loader", "com.example"}});
    ProjectSettings settings;
    settings.Set("MoviePath", lacking);
    Wizard wizard(&settings);
    wizard.Press(PSBTN_NEXT);
    wizard.Type(IDC_DISPLAY_NAME, "Sky");
    EXPECT_EQ("This movie uses ActionScript 3 parts that the screen saver's player does not run "
              "yet: E4X (XML), Loader, network (Socket). The rest of the movie plays without "
              "them.\r\n\r\nContinue anyway?",
              PressAnswering(wizard, PSBTN_NEXT, IDNO).text);
    EXPECT_EQ("Screen Saver Settings", wizard.Title());
    EXPECT_EQ(wizard.Control(IDC_MOVIE_PATH), GetFocus());
    EXPECT_EQ("", settings.Get("DisplayName"));
    PressAnswering(wizard, PSBTN_NEXT, IDYES);
    EXPECT_EQ("Project Settings", wizard.Title());
    EXPECT_EQ(lacking, settings.Get("MoviePath"));

    wizard.Press(PSBTN_BACK);
    wizard.Type(IDC_MOVIE_PATH, own);
    MessageBoxAnswerer none(IDOK, 3000);
    wizard.Press(PSBTN_NEXT);
    EXPECT_FALSE(none.Seen());
    EXPECT_EQ("Project Settings", wizard.Title());
    EXPECT_EQ(own, settings.Get("MoviePath"));
}

// Next saves the project file, then writes the installer: neither may land on the movie,
// on a file the wizard builds from, or on the other, and nothing is written when refused.
TEST(ProjectPageTest, OutputsThatWouldReplaceAnInputAreRefusedBeforeAnythingIsWritten) {
    const std::string dir = Scratch();
    const std::string companions = InstallCompanions(dir + "Flickwell");
    const std::string movie = WriteMovie(dir + "sky.swf", "FWS", 1032);
    const std::vector<unsigned char> movieBytes = Bytes(movie),
                                     setupBytes = Bytes(companions + "setup.ex_");
    const std::string project = dir + "sky.qmv", installer = dir + "Sky.exe";
    ProjectSettings settings;
    settings.Set("DisplayName", "Sky");
    settings.Set("MoviePath", movie);
    Wizard wizard(&settings);
    wizard.Press(PSBTN_NEXT);
    wizard.Press(PSBTN_NEXT);
    ASSERT_EQ("Project Settings", wizard.Title());
    std::string upperMovie = movie;
    CharUpperA(&upperMovie[0]);
    const std::string installerText = "The installer cannot be saved as ",
                      installerTail = ": that file is the movie, the project file or a file the "
                                      "wizard makes installers from. Please choose another file "
                                      "for the installer.",
                      projectText = "The project settings cannot be saved as ",
                      projectTail = ": that file is the movie or a file the wizard makes "
                                    "installers from. Please choose another file for the "
                                    "project settings.";
    const struct {
        std::string project, installer, text;
        int focus;
    } cases[] = {
        {project, upperMovie, installerText + upperMovie + installerTail, IDC_INSTALLER_PATH},
        {project, dir + ".\\sky.qmv", installerText + dir + ".\\sky.qmv" + installerTail,
         IDC_INSTALLER_PATH},
        {project, companions + "setup.ex_",
         installerText + companions + "setup.ex_" + installerTail, IDC_INSTALLER_PATH},
        {movie, installer, projectText + movie + projectTail, IDC_PROJECT_PATH},
        {companions + "template.scr", installer,
         projectText + companions + "template.scr" + projectTail, IDC_PROJECT_PATH}};
    for (const auto& c : cases) {
        wizard.Type(IDC_PROJECT_PATH, c.project);
        wizard.Type(IDC_INSTALLER_PATH, c.installer);
        EXPECT_EQ(c.text, PressAnswering(wizard, PSBTN_NEXT, IDOK).text);
        EXPECT_EQ("Project Settings", wizard.Title());
        EXPECT_EQ(wizard.Control(c.focus), GetFocus()) << c.text;
    }
    EXPECT_EQ(movieBytes, Bytes(movie));
    EXPECT_EQ(setupBytes, Bytes(companions + "setup.ex_"));
    EXPECT_FALSE(FileExistsAt(project) || FileExistsAt(installer));
    EXPECT_EQ("", settings.Get("DestinationPath")) << "nothing stored either";

    wizard.Type(IDC_PROJECT_PATH, project);
    wizard.Type(IDC_INSTALLER_PATH, installer);
    wizard.Press(PSBTN_NEXT);
    EXPECT_EQ("Congratulations!", wizard.Title());
    EXPECT_EQ("Sky", LoadStringFrom(installer, 2));
    EXPECT_EQ("Sky", LoadStringFrom(wizard.preview, 1)) << "the preview this build made";
}

} // namespace
