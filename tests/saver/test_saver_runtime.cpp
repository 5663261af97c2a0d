// The built template.scr started as Windows starts it, with test stand-ins registered
// under the Flash control's ProgID: what it shows, what it leaves behind, and what the
// control is told, for a working control and for every start-up failure we can force.
#include "message_box.h"
#include "saver_process.h"
#include "test_control.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char kSaverClass[] = "WindowsScreenSaverClass";
const char kHostClass[] = "AtlAxWin7";
const DWORD kWait = 20000;

std::vector<unsigned char> EmbeddedMovie() {
    std::vector<unsigned char> bytes;
    HMODULE module =
        LoadLibraryExA(BinPath("template.scr").c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found = module != NULL ? FindResourceA(module, MAKEINTRESOURCEA(202), "SWF") : NULL;
    if (found != NULL) {
        const unsigned char* data =
            static_cast<const unsigned char*>(LockResource(LoadResource(module, found)));
        bytes.assign(data, data + SizeofResource(module, found));
    }
    if (module != NULL) {
        FreeLibrary(module);
    }
    return bytes;
}

// The name is "swf" and the tick count of the start in upper-case hex, at least 5 digits.
void ExpectTickCountName(const std::string& name, DWORD before, DWORD after) {
    ASSERT_GT(name.size(), 8u);
    unsigned long value = strtoul(name.substr(3, name.size() - 7).c_str(), NULL, 16);
    char expected[32];
    snprintf(expected, sizeof(expected), "swf%05lX.tmp", value);
    EXPECT_EQ(expected, name);
    EXPECT_LE(before, value);
    EXPECT_GE(after, value);
}

// Waits for the saver's error box, checks it says `text` the way every runtime error
// does, and presses OK; `box` tells the owner.
void AnswerErrorBox(DWORD pid, const char* text, MessageBoxInfo* box) {
    ASSERT_TRUE(WaitForMessageBox(pid, kWait, box)) << "no box saying: " << text;
    EXPECT_EQ("Screen Saver Error", box->caption);
    EXPECT_EQ(text, box->text);
    EXPECT_EQ(BoxIcon::Error, box->icon);
    EXPECT_EQ(std::vector<int>{IDOK}, box->buttons);
    ASSERT_TRUE(PressButton(*box, IDOK));
}

const char kNoControl[] = "Unable to create Macromedia Shockwave Flash control. Is it installed?";
const char kNoInterface[] = "Control does not support required interface.";
const char kFlashError[] = "Internal Shockwave Flash error.";

bool WaitForLine(const std::string& log, const std::string& start, DWORD timeoutMs) {
    DWORD begin = GetTickCount();
    while (!HasLineStartingWith(ReadLines(log), start)) {
        if (GetTickCount() - begin > timeoutMs) {
            return false;
        }
        Pump(20);
    }
    return true;
}

class SaverRun : public ::testing::Test {
  protected:
    void SetUp() override {
        RemoveMovieFiles();
        UnregisterFlashStandIn();
        SetCursorPos(500, 400);
        log_ = ResetControlLog("control.log");
        movie_ = EmbeddedMovie();
        ASSERT_FALSE(movie_.empty());
    }
    void TearDown() override { UnregisterFlashStandIn(); }

    // Starts the saver and waits for its window; the tick count before the start.
    HWND StartFullScreen(SaverProcess* saver) {
        before_ = GetTickCount();
        if (!saver->Start(BinPath("template.scr"), "/s")) {
            return NULL;
        }
        return saver->WaitForWindow(kSaverClass, NULL, kWait);
    }

    // The movie file, checked while the control holds it: one file, named by the tick
    // count of the start, holding the embedded movie byte for byte.
    std::string CheckMovieFile() {
        std::vector<std::string> files = MovieFiles();
        EXPECT_EQ(1u, files.size());
        if (files.size() != 1) {
            return "";
        }
        ExpectTickCountName(files[0], before_, GetTickCount());
        std::vector<unsigned char> written;
        EXPECT_TRUE(ReadFileBytes(TempDir() + files[0], &written));
        EXPECT_TRUE(written == movie_) << "the movie file differs from SWF 202";
        return files[0];
    }

    std::string log_;
    std::vector<unsigned char> movie_;
    DWORD before_ = 0;
};

TEST_F(SaverRun, WithoutAControlItReports132StaysEmptyAndReports133AtTheEnd) {
    SaverProcess saver;
    before_ = GetTickCount();
    ASSERT_TRUE(saver.Start(BinPath("template.scr"), "/s"));
    MessageBoxInfo box;
    ASSERT_TRUE(WaitForMessageBox(saver.Id(), kWait, &box));
    // While the report is up the movie has been written; it goes once the box is closed.
    CheckMovieFile();
    ASSERT_NO_FATAL_FAILURE(AnswerErrorBox(saver.Id(), kNoControl, &box));

    HWND window = saver.WaitForWindow(kSaverClass, NULL, kWait);
    ASSERT_TRUE(window != NULL);
    EXPECT_EQ(window, box.owner);
    HWND container = FindWindowExA(window, NULL, kHostClass, NULL);
    ASSERT_TRUE(container != NULL);
    EXPECT_EQ(NULL, GetWindow(container, GW_CHILD));
    Pump(200);
    EXPECT_TRUE(MovieFiles().empty());

    PostMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
    ASSERT_NO_FATAL_FAILURE(AnswerErrorBox(saver.Id(), kNoInterface, &box));
    // Asked for by the container; a child owns nothing, so its top-level window does.
    EXPECT_EQ(window, box.owner);
    EXPECT_EQ(0u, saver.WaitForExit(kWait));
    EXPECT_TRUE(MovieFiles().empty());
}

TEST_F(SaverRun, AControlWithoutTheFlashInterfaceReports133TwiceAndLeavesNoFile) {
    ASSERT_TRUE(RegisterFlashStandIn(CLSID_TestNoFlash));
    SaverProcess saver;
    ASSERT_TRUE(saver.Start(BinPath("template.scr"), "/s"));
    MessageBoxInfo box;
    ASSERT_NO_FATAL_FAILURE(AnswerErrorBox(saver.Id(), kNoInterface, &box));
    HWND window = saver.WaitForWindow(kSaverClass, NULL, kWait);
    ASSERT_TRUE(window != NULL);
    EXPECT_EQ(window, box.owner);
    HWND container = FindWindowExA(window, NULL, kHostClass, NULL);
    ASSERT_TRUE(container != NULL);
    // The control stays in its container until the process ends.
    EXPECT_TRUE(GetWindow(container, GW_CHILD) != NULL);
    Pump(200);
    EXPECT_TRUE(MovieFiles().empty());

    PostMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
    ASSERT_NO_FATAL_FAILURE(AnswerErrorBox(saver.Id(), kNoInterface, &box));
    // Asked for by the container; a child owns nothing, so its top-level window does.
    EXPECT_EQ(window, box.owner);
    EXPECT_EQ(0u, saver.WaitForExit(kWait));
    EXPECT_TRUE(MovieFiles().empty());
    EXPECT_TRUE(HasLineStartingWith(ReadLines(log_), "activated"));
}

TEST_F(SaverRun, AFailingMovieCallReports134AndTheShutdownStillCleansUp) {
    ASSERT_TRUE(RegisterFlashStandIn(CLSID_TestFailingMovie));
    SaverProcess saver;
    ASSERT_TRUE(saver.Start(BinPath("template.scr"), "/s"));
    MessageBoxInfo box;
    ASSERT_NO_FATAL_FAILURE(AnswerErrorBox(saver.Id(), kFlashError, &box));
    HWND window = saver.WaitForWindow(kSaverClass, NULL, kWait);
    ASSERT_TRUE(window != NULL);
    Pump(200);
    EXPECT_TRUE(MovieFiles().empty());
    std::vector<std::string> lines = ReadLines(log_);
    EXPECT_TRUE(HasLineStartingWith(lines, "put_Movie file://"));
    EXPECT_FALSE(HasLineStartingWith(lines, "put_Loop"));
    EXPECT_FALSE(HasLineStartingWith(lines, "Play"));

    // The control was subclassed before the calls, so a key over it closes the saver, and
    // the shutdown runs whole, without a box.
    HWND container = FindWindowExA(window, NULL, kHostClass, NULL);
    ASSERT_TRUE(container != NULL);
    PostMessageA(GetWindow(container, GW_CHILD), WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_EQ(0u, saver.WaitForExit(kWait));
    lines = ReadLines(log_);
    EXPECT_LT(LineIndex(lines, "Stop"), LineIndex(lines, "InPlaceDeactivate movie file gone"));
    EXPECT_TRUE(HasLineStartingWith(lines, "destroy"));
}

TEST_F(SaverRun, AFailedExtractionIsSilentRemovesTheContainerAndReports133AtTheEnd) {
    ASSERT_TRUE(RegisterFlashStandIn(CLSID_TestRecording));
    // A temporary folder that does not exist: the movie file cannot be created.
    char saved[MAX_PATH] = {0};
    GetEnvironmentVariableA("TMP", saved, MAX_PATH);
    SetEnvironmentVariableA("TMP", "C:\\no\\such\\folder");
    SaverProcess saver;
    bool started = saver.Start(BinPath("template.scr"), "/s");
    SetEnvironmentVariableA("TMP", saved[0] != '\0' ? saved : NULL);
    ASSERT_TRUE(started);
    HWND window = saver.WaitForWindow(kSaverClass, NULL, kWait);
    ASSERT_TRUE(window != NULL);
    Pump(300);
    MessageBoxInfo box;
    EXPECT_FALSE(WaitForMessageBox(saver.Id(), 300, &box));
    EXPECT_EQ(NULL, FindWindowExA(window, NULL, kHostClass, NULL));
    EXPECT_FALSE(HasLineStartingWith(ReadLines(log_), "create"));

    PostMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
    ASSERT_NO_FATAL_FAILURE(AnswerErrorBox(saver.Id(), kNoInterface, &box));
    EXPECT_EQ(NULL, box.owner);
    EXPECT_EQ(0u, saver.WaitForExit(kWait));
}

TEST_F(SaverRun, FullScreenPlaysTheMovieOverTheWholeWindowAndCleansUp) {
    ASSERT_TRUE(RegisterFlashStandIn(CLSID_TestRecording));
    SaverProcess saver;
    HWND window = StartFullScreen(&saver);
    ASSERT_TRUE(window != NULL);
    ASSERT_TRUE(WaitForLine(log_, "Play", kWait));
    std::string name = CheckMovieFile();

    std::vector<std::string> lines = ReadLines(log_);
    int movie = LineIndex(lines, "put_Movie ");
    ASSERT_GE(movie, 0);
    // "file://" and the path as it is: the folder keeps its trailing backslash.
    EXPECT_EQ("put_Movie file://" + TempDir() + "\\" + name, lines[movie]);
    EXPECT_LT(movie, LineIndex(lines, "put_Loop 1"));
    EXPECT_LT(LineIndex(lines, "put_Loop 1"), LineIndex(lines, "Play"));

    // The container covers exactly the client area; the control is its first child.
    RECT client, hosted, control;
    GetClientRect(window, &client);
    HWND container = FindWindowExA(window, NULL, kHostClass, NULL);
    ASSERT_TRUE(container != NULL);
    GetWindowRect(container, &hosted);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    EXPECT_EQ(origin.x, hosted.left);
    EXPECT_EQ(origin.y, hosted.top);
    EXPECT_EQ(client.right, hosted.right - hosted.left);
    EXPECT_EQ(client.bottom, hosted.bottom - hosted.top);
    EXPECT_EQ(GetSystemMetrics(SM_CXVIRTUALSCREEN), client.right);
    HWND child = GetWindow(container, GW_CHILD);
    ASSERT_TRUE(child != NULL);
    char className[64] = {0};
    GetClassNameA(child, className, sizeof(className));
    EXPECT_STREQ(kTestControlClass, className);
    GetWindowRect(child, &control);
    EXPECT_TRUE(EqualRect(&control, &hosted));

    // A key over the movie closes the saver; the control was never handed the key.
    PostMessageA(child, WM_KEYDOWN, 'K', 0);
    EXPECT_EQ(0u, saver.WaitForExit(kWait));
    EXPECT_TRUE(MovieFiles().empty());
    lines = ReadLines(log_);
    EXPECT_FALSE(HasLineStartingWith(lines, "window WM_KEYDOWN"));
    int stop = LineIndex(lines, "Stop");
    ASSERT_GE(stop, 0);
    EXPECT_LT(stop, LineIndex(lines, "InPlaceDeactivate movie file present"));
    EXPECT_LT(LineIndex(lines, "InPlaceDeactivate"), LineIndex(lines, "destroy"));
}

TEST_F(SaverRun, ATemporaryFolderBeyondAsciiReachesTheControlIntact) {
    ASSERT_TRUE(RegisterFlashStandIn(CLSID_TestRecording));
    const std::string folder = TempDir() + "T\xEBmp \xC5lbum"; // in the ANSI code page 1252
    ASSERT_EQ(1252u, GetACP());
    CreateDirectoryA(folder.c_str(), NULL);
    char saved[MAX_PATH] = {0};
    GetEnvironmentVariableA("TMP", saved, MAX_PATH);
    SetEnvironmentVariableA("TMP", folder.c_str());
    SaverProcess saver;
    bool started = saver.Start(BinPath("template.scr"), "/s");
    SetEnvironmentVariableA("TMP", saved[0] != '\0' ? saved : NULL);
    ASSERT_TRUE(started);
    HWND window = saver.WaitForWindow(kSaverClass, NULL, kWait);
    ASSERT_TRUE(window != NULL);
    ASSERT_TRUE(WaitForLine(log_, "Play", kWait));
    std::vector<std::string> lines = ReadLines(log_);
    int movie = LineIndex(lines, "put_Movie ");
    ASSERT_GE(movie, 0);
    // The control logs what it was given in UTF-8.
    EXPECT_NE(std::string::npos, lines[movie].find("\\T\xC3\xABmp \xC3\x85lbum\\\\swf"))
        << lines[movie];
    PostMessageA(window, WM_KEYDOWN, 'K', 0);
    EXPECT_EQ(0u, saver.WaitForExit(kWait));
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\swf*.tmp").c_str(), &found);
    EXPECT_EQ(INVALID_HANDLE_VALUE, search);
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
    }
}

TEST_F(SaverRun, ASecondFullScreenStartOnlyBringsTheFirstForward) {
    ASSERT_TRUE(RegisterFlashStandIn(CLSID_TestRecording));
    SaverProcess first;
    HWND window = StartFullScreen(&first);
    ASSERT_TRUE(window != NULL);
    ASSERT_TRUE(WaitForLine(log_, "Play", kWait));
    SaverProcess second;
    ASSERT_TRUE(second.Start(BinPath("template.scr"), "/s"));
    EXPECT_EQ(0u, second.WaitForExit(kWait));
    EXPECT_TRUE(first.Running());
    EXPECT_EQ(1u, MovieFiles().size());
    PostMessageA(window, WM_KEYDOWN, 'K', 0);
    EXPECT_EQ(0u, first.WaitForExit(kWait));
}

TEST_F(SaverRun, ConfigureShowsTheAboutBoxEnterGivesTrueEscapeFalse) {
    struct Case {
        const char* args;
        WPARAM key;
        DWORD exitCode;
    } cases[] = {{"", VK_RETURN, TRUE}, {"/c", VK_ESCAPE, FALSE}, {"/c:0", VK_RETURN, TRUE}};
    for (const Case& c : cases) {
        SaverProcess saver;
        ASSERT_TRUE(saver.Start(BinPath("template.scr"), c.args));
        HWND dialog = saver.WaitForWindow("#32770", NULL, kWait);
        ASSERT_TRUE(dialog != NULL) << c.args;
        char title[32] = {0};
        GetWindowTextA(dialog, title, sizeof(title));
        EXPECT_STREQ("About", title);
        // The dialog is found as soon as it exists; its controls follow.
        for (int i = 0; i < 100 && !(IsWindowVisible(dialog) && GetDlgItem(dialog, IDOK)); ++i) {
            Pump(20);
        }
        EXPECT_TRUE(GetDlgItem(dialog, IDOK) != NULL);
        // Other commands leave it open.
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(1234, BN_CLICKED), 0);
        Pump(200);
        EXPECT_TRUE(saver.Running());
        PostMessageA(dialog, WM_KEYDOWN, c.key, 0);
        EXPECT_EQ(c.exitCode, saver.WaitForExit(kWait)) << c.args;
        EXPECT_TRUE(MovieFiles().empty());
    }
}

TEST(SaverCommandLine, RefusedModesEndWithMinusOne) {
    EXPECT_EQ(static_cast<DWORD>(-1), RunAndWait("\"" + BinPath("template.scr") + "\" /p 0"));
    EXPECT_EQ(static_cast<DWORD>(-1), RunAndWait("\"" + BinPath("template.scr") + "\" /z"));
    EXPECT_EQ(static_cast<DWORD>(-1), RunAndWait("\"" + BinPath("template.scr") + "\" /a 0"));
}

} // namespace
