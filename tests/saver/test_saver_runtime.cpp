// The built template.scr started as Windows starts it, for every start-up failure we can
// force (test stand-ins under the Flash control's ProgID, a build without the player built
// in), and in configure mode.
#include "message_box.h"
#include "saver_process.h"
#include "test_control.h"
#include "test_env.h"
#include "window_driver.h"

#include <gtest/gtest.h>

namespace {

const char kNoControl[] = "Unable to create Macromedia Shockwave Flash control. Is it installed?";
const char kNoInterface[] = "Control does not support required interface.";
const char kFlashError[] = "Internal Shockwave Flash error.";

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

class SaverRun : public ::testing::Test {
  protected:
    void SetUp() override {
        RemoveMovieFiles();
        UnregisterFlashStandIn();
    }
    void TearDown() override { UnregisterFlashStandIn(); }
};

TEST_F(SaverRun, EachFailedStartReportsRemovesTheMovieAndStillCloses) {
    struct Row {
        const CLSID* control; // registered under the Flash ProgID, or nothing
        const char* program;  // the shipped runtime, or the test build without its player
        const char* atStart;
        bool controlStays;
        bool reports133AtTheEnd;
    } rows[] = {
        {NULL, "without_player.scr", kNoControl, false, true},
        {&CLSID_TestNoFlash, "template.scr", kNoInterface, true, true},
        // The control was subclassed before the failing call, so a key over it closes the
        // saver, and the shutdown runs whole, without a box.
        {&CLSID_TestFailingMovie, "template.scr", kFlashError, true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.atStart);
        if (row.control != NULL) {
            ASSERT_TRUE(RegisterFlashStandIn(*row.control));
        }
        SaverProcess saver;
        DWORD before = GetTickCount();
        const std::string program =
            row.control != NULL ? BinPath(row.program) : NextToThisProgram(row.program);
        ASSERT_TRUE(saver.Start(program, "/s"));
        MessageBoxInfo box;
        ASSERT_TRUE(WaitForMessageBox(saver.Id(), kWait, &box));
        // While the report is up the movie has been written; it goes once the box is closed.
        ExpectOneFaithfulMovieFile(before);
        ASSERT_NO_FATAL_FAILURE(AnswerErrorBox(saver.Id(), row.atStart, &box));
        HWND window = saver.WaitForWindow(kSaverClass, NULL);
        ASSERT_TRUE(window != NULL);
        EXPECT_EQ(window, box.owner);
        ASSERT_TRUE(FindWindowExA(window, NULL, kHostClass, NULL) != NULL);
        EXPECT_EQ(row.controlStays, ControlOf(window) != NULL);
        Pump(200);
        EXPECT_TRUE(MovieFiles().empty());

        PostMessageA(row.reports133AtTheEnd ? window : ControlOf(window), WM_KEYDOWN, 'K', 0);
        if (row.reports133AtTheEnd) {
            ASSERT_NO_FATAL_FAILURE(AnswerErrorBox(saver.Id(), kNoInterface, &box));
            // Asked for by the container; a child owns nothing, so its top-level window does.
            EXPECT_EQ(window, box.owner);
        }
        EXPECT_EQ(0u, saver.WaitForExit());
        EXPECT_TRUE(MovieFiles().empty());
        UnregisterFlashStandIn();
    }
}

TEST_F(SaverRun, AFailedExtractionIsSilentRemovesTheContainerAndReports133AtTheEnd) {
    // A temporary folder that does not exist: the movie file cannot be created.
    char saved[MAX_PATH] = {0};
    GetEnvironmentVariableA("TMP", saved, MAX_PATH);
    SetEnvironmentVariableA("TMP", "C:\\no\\such\\folder");
    SaverProcess saver;
    bool started = saver.Start(BinPath("template.scr"), "/s");
    SetEnvironmentVariableA("TMP", saved[0] != '\0' ? saved : NULL);
    ASSERT_TRUE(started);
    HWND window = saver.WaitForWindow(kSaverClass, NULL);
    ASSERT_TRUE(window != NULL);
    MessageBoxInfo box;
    // No control is asked for without a movie file: no box, no container.
    EXPECT_FALSE(WaitForMessageBox(saver.Id(), 600, &box)) << box.text;
    EXPECT_EQ(NULL, FindWindowExA(window, NULL, kHostClass, NULL));

    PostMessageA(window, WM_KEYDOWN, 'K', 0);
    ASSERT_NO_FATAL_FAILURE(AnswerErrorBox(saver.Id(), kNoInterface, &box));
    EXPECT_EQ(NULL, box.owner);
    EXPECT_EQ(0u, saver.WaitForExit());
}

TEST(SaverConfigure, ShowsTheAboutBoxEnterGivesTrueEscapeFalse) {
    struct Case {
        const char* args;
        WPARAM key;
        DWORD exitCode;
    } cases[] = {{"", VK_RETURN, TRUE}, {"/c", VK_ESCAPE, FALSE}, {"/c:0", VK_RETURN, TRUE}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        SaverProcess saver;
        ASSERT_TRUE(saver.Start(BinPath("template.scr"), c.args));
        HWND dialog = WaitForTopWindow(saver.Id(), "#32770", "About", kWait);
        ASSERT_TRUE(dialog != NULL);
        // Other commands leave it open.
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(1234, BN_CLICKED), 0);
        Pump(200);
        EXPECT_TRUE(saver.Running());
        PostMessageA(dialog, WM_KEYDOWN, c.key, 0);
        EXPECT_EQ(c.exitCode, saver.WaitForExit());
    }
}

} // namespace
