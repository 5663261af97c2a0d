// The screen saver framework on its own: its command line, its closing rules, the starts
// it refuses and, run with Wine set to Windows 98 (saver_password_win98), the password check
// with a PASSWORD.CPL of the test's own; driven in-process with a screen saver procedure
// of the test's own.
#include "saver/platform/screen_saver.h"
#include "saver_process.h"
#include "test_env.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <string>
#include <vector>

using saver::ClosingRules;
using saver::InputFacts;
using saver::SaverMode;
using saver::SaverReply;

namespace {

// What the test's screen saver saw of its window.
struct Seen {
    HWND window = NULL;
    LRESULT autoPlayAnswer = 0;
};
Seen seen;
// What the test's screen saver does once its window exists: asks whether to refuse
// AutoPlay, or presses keys, and after a while presses another.
struct Script {
    bool askAutoPlay = false;
    int keysAtStart = 1;
    UINT timerMs = 0;
};
Script script;
BOOL dialogClassesResult = TRUE;

const UINT_PTR kTimer = 7;

} // namespace

LRESULT WINAPI ScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        seen.window = window;
        if (script.askAutoPlay) {
            seen.autoPlayAnswer =
                SendMessageA(window, RegisterWindowMessageA("QueryCancelAutoPlay"), 0, 0);
            return 0;
        }
        for (int i = 0; i < script.keysAtStart; ++i) {
            PostMessageA(window, WM_KEYDOWN, 'A', 0);
        }
        if (script.timerMs != 0) {
            SetTimer(window, kTimer, script.timerMs, NULL);
        }
        return 0;
    case WM_TIMER:
        KillTimer(window, kTimer);
        PostMessageA(window, WM_KEYDOWN, 'B', 0);
        return 0;
    default:
        return DefScreenSaverProc(window, message, wParam, lParam);
    }
}

INT_PTR CALLBACK ScreenSaverConfigureDialog(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}
BOOL WINAPI RegisterDialogClasses(HANDLE) {
    return dialogClassesResult;
}

namespace {

TEST(SaverCommandLine, ModesAndHandles) {
    struct Case {
        const char* args;
        SaverMode mode;
        UINT_PTR window;
    } cases[] = {
        {"/s", SaverMode::FullScreen, 0},
        {"-S", SaverMode::FullScreen, 0},
        {"  s", SaverMode::FullScreen, 0},
        {"/save", SaverMode::FullScreen, 0},
        {"/p 1234", SaverMode::Preview, 1234},
        {"/l 55", SaverMode::Preview, 55},
        {"/p", SaverMode::Preview, 0},
        {"/p 4294967295", SaverMode::Preview, 0xFFFFFFFFu},
        {"/p 4294967296", SaverMode::Preview, 0}, // beyond 32 bits: no handle
        {"/p x12", SaverMode::Preview, 0},
        {"/c:4321", SaverMode::Configure, 4321},
        {"/c 77", SaverMode::Configure, 77},
        {"/C", SaverMode::Configure, 0},
        {"", SaverMode::Configure, 0},
        {"-/ -", SaverMode::Configure, 0},
        {"/a 66", SaverMode::ChangePassword, 66},
        {"/x", SaverMode::Invalid, 0},
        {"1234", SaverMode::Invalid, 0},
    };
    for (const Case& c : cases) {
        saver::SaverCommand command = saver::ParseSaverCommandLine(c.args);
        EXPECT_EQ(c.mode, command.mode) << "\"" << c.args << "\"";
        EXPECT_EQ(c.window, reinterpret_cast<UINT_PTR>(command.window)) << "\"" << c.args << "\"";
    }
    EXPECT_EQ(SaverMode::Configure, saver::ParseSaverCommandLine(NULL).mode);
}

InputFacts At(LONG x, LONG y) {
    InputFacts facts = {{x, y}, 1};
    return facts;
}

TEST(SaverClosingRules, MouseMovesBeyondTheThresholdClose) {
    ClosingRules rules;
    rules.Start(POINT{100, 100}, 1);
    // |dx| + |dy| of 4 stays; 5 closes, whatever the message's own coordinates say.
    EXPECT_EQ(SaverReply::Default, rules.Judge(WM_MOUSEMOVE, 0, 0, At(104, 100)));
    EXPECT_EQ(SaverReply::Default, rules.Judge(WM_MOUSEMOVE, 0, 0, At(98, 102)));
    EXPECT_EQ(SaverReply::Default, rules.Judge(WM_MOUSEMOVE, 0, MAKELPARAM(900, 900), At(96, 100)));
    EXPECT_EQ(SaverReply::Close, rules.Judge(WM_MOUSEMOVE, 0, 0, At(103, 98)));
    // The closing movement is the new reference point.
    EXPECT_EQ(103, rules.Reference().x);
    EXPECT_EQ(98, rules.Reference().y);
    EXPECT_EQ(SaverReply::Default, rules.Judge(WM_MOUSEMOVE, 0, 0, At(105, 96)));
    EXPECT_EQ(SaverReply::Close, rules.Judge(WM_MOUSEMOVE, 0, 0, At(103, 93)));
    // A refused close renews the reference point too.
    rules.Renew(POINT{0, 0});
    EXPECT_EQ(SaverReply::Default, rules.Judge(WM_MOUSEMOVE, 0, 0, At(-2, -2)));
}

TEST(SaverClosingRules, KeysButtonsActivationPowerCursorAndSystemCommands) {
    const BYTE kOnMains = 1, kOnBattery = 0;
    struct Case {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        BYTE mains;
        SaverReply reply;
    } cases[] = {
        {WM_KEYDOWN, 0, 0, kOnMains, SaverReply::Close},
        {WM_SYSKEYDOWN, 0, 0, kOnMains, SaverReply::Close},
        {WM_LBUTTONDOWN, 0, 0, kOnMains, SaverReply::Close},
        {WM_RBUTTONDOWN, 0, 0, kOnMains, SaverReply::Close},
        {WM_MBUTTONDOWN, 0, 0, kOnMains, SaverReply::Close},
        {WM_KEYUP, 0, 0, kOnMains, SaverReply::Default},
        {WM_LBUTTONUP, 0, 0, kOnMains, SaverReply::Default},
        {WM_ACTIVATE, 0, 0, kOnMains, SaverReply::Default},
        {WM_ACTIVATEAPP, 0, 0, kOnMains, SaverReply::Close},
        {WM_ACTIVATEAPP, 1, 0, kOnMains, SaverReply::Default},
        {WM_POWER, PWR_CRITICALRESUME, 0, kOnMains, SaverReply::Close},
        {WM_POWER, PWR_SUSPENDRESUME, 0, kOnMains, SaverReply::Default},
        {WM_POWERBROADCAST, PBT_APMSUSPEND, 0, kOnMains, SaverReply::Close},
        {WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0, kOnMains, SaverReply::Close},
        {WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, PBTF_APMRESUMEFROMFAILURE, kOnMains,
         SaverReply::Default},
        // A status change closes only when the mains state changed, once per change.
        {WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, 0, kOnMains, SaverReply::Default},
        {WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, 0, kOnBattery, SaverReply::Close},
        {WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, 0, kOnBattery, SaverReply::Default},
        {WM_SETCURSOR, 0, 0, kOnMains, SaverReply::HideCursor},
        {WM_SHOWWINDOW, 1, 0, kOnMains, SaverReply::HideCursorDefault},
        {WM_SHOWWINDOW, 0, 0, kOnMains, SaverReply::Default},
        {WM_SYSCOMMAND, SC_SCREENSAVE, 0, kOnMains, SaverReply::Zero},
        {WM_SYSCOMMAND, SC_NEXTWINDOW, 0, kOnMains, SaverReply::Zero},
        {WM_SYSCOMMAND, SC_PREVWINDOW, 0, kOnMains, SaverReply::Zero},
        {WM_SYSCOMMAND, SC_MONITORPOWER, 2, kOnMains, SaverReply::Close},
        {WM_SYSCOMMAND, SC_KEYMENU, 0, kOnMains, SaverReply::Default},
    };
    ClosingRules rules;
    rules.Start(POINT{0, 0}, kOnMains);
    for (const Case& c : cases) {
        InputFacts facts = {{0, 0}, c.mains};
        EXPECT_EQ(c.reply, rules.Judge(c.message, c.wParam, c.lParam, facts))
            << c.message << " " << c.wParam;
    }
}

TEST(SaverWindow, RefusedStarts) {
    HINSTANCE instance = GetModuleHandleA(NULL);
    EXPECT_EQ(-1, saver::RunScreenSaver(instance, "/p 0"));
    EXPECT_EQ(-1, saver::RunScreenSaver(instance, "/p"));
    EXPECT_EQ(-1, saver::RunScreenSaver(instance, "/p 1234567")); // no such window
    EXPECT_EQ(-1, saver::RunScreenSaver(instance, "/x"));
    // Changing the password belongs to Windows 95/98/Me only (the network provider's dialog
    // itself is the system's; here only the route is open).
    EXPECT_EQ(GetVersion() & 0x80000000 ? 0 : -1, saver::RunScreenSaver(instance, "/a 0"));
    // No dialog classes: no dialog, exit code 0.
    dialogClassesResult = FALSE;
    EXPECT_EQ(0, saver::RunScreenSaver(instance, "/c"));
    dialogClassesResult = TRUE;
}

// Run only in saver_password_win98.
class PasswordCheck : public ::testing::Test {
  protected:
    void SetUp() override {
        char system[MAX_PATH] = {0};
        GetSystemDirectoryA(system, MAX_PATH);
        ASSERT_TRUE(CopyFileA(NextToThisProgram("test_password.cpl").c_str(),
                              (std::string(system) + "\\PASSWORD.CPL").c_str(), FALSE));
        log_ = TempDir() + "password.log";
        DeleteFileA(log_.c_str());
        SetEnvironmentVariableA("FLICKWELL_PASSWORD_LOG", log_.c_str());
        seen = Seen();
        script = Script();
    }
    // Asks for a password, and has the check accept from its `acceptFrom`th call.
    static void UsePassword(DWORD value, const char* acceptFrom) {
        ASSERT_EQ(ERROR_SUCCESS,
                  SHSetValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "ScreenSaveUsePassword",
                              REG_DWORD, &value, sizeof(value)));
        SetEnvironmentVariableA("FLICKWELL_PASSWORD_ACCEPT_FROM", acceptFrom);
    }
    std::string log_;
};

TEST_F(PasswordCheck, ACloseWaitsForTheCheckAndAsksAtMostOnceIn200Ms) {
    UsePassword(1, "2");
    // Two requests at once: the second comes within 200 ms of the first check.
    script.keysAtStart = 2;
    script.timerMs = 400;
    EXPECT_EQ(0, saver::RunScreenSaver(GetModuleHandleA(NULL), "/s"));
    std::vector<std::string> lines = ReadLines(log_);
    // The first key asked and was refused, the second fell within 200 ms and was not
    // asked, the timer's key asked again and was accepted.
    const std::string window = std::to_string(reinterpret_cast<UINT_PTR>(seen.window));
    EXPECT_EQ(std::vector<std::string>({"check 1 " + window, "check 2 " + window}), lines);
}

TEST_F(PasswordCheck, NoPasswordWantedNoCheck) {
    UsePassword(0, "99");
    EXPECT_EQ(0, saver::RunScreenSaver(GetModuleHandleA(NULL), "/s"));
    EXPECT_TRUE(ReadLines(log_).empty());
}

TEST_F(PasswordCheck, AutoPlayIsRefusedAndClosesTheSaverWhileACheckIsLoaded) {
    UsePassword(1, "1");
    script.askAutoPlay = true;
    EXPECT_EQ(0, saver::RunScreenSaver(GetModuleHandleA(NULL), "/s"));
    EXPECT_EQ(1, seen.autoPlayAnswer);
    EXPECT_EQ(1u, ReadLines(log_).size());
}

} // namespace
