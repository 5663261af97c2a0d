// The screen saver framework on its own: its command line, its closing rules, and the
// window it makes, driven in-process with a screen saver procedure of the test's own.
#include "saver/platform/screen_saver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using saver::ClosingRules;
using saver::InputFacts;
using saver::SaverMode;
using saver::SaverReply;

namespace {

// What the test's screen saver saw of its window.
struct Seen {
    std::vector<UINT> messages;
    HWND window = NULL;
    char className[64] = {0};
    char title[64] = {0};
    char titleAfterRename[64] = {0};
    RECT windowRect = {0, 0, 0, 0};
    LONG style = 0;
    LONG exStyle = 0;
    HWND parent = NULL;
    bool aliveAfterInput = false;
};
Seen seen;
// What the test's screen saver does once its window exists.
enum class Script { KeyCloses, KeyThenTimerDestroys };
Script script = Script::KeyCloses;
BOOL dialogClassesResult = TRUE;

const UINT_PTR kTimer = 7;

} // namespace

LRESULT WINAPI ScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    seen.messages.push_back(message);
    switch (message) {
    case WM_CREATE:
        seen.window = window;
        GetClassNameA(window, seen.className, sizeof(seen.className));
        GetWindowTextA(window, seen.title, sizeof(seen.title));
        SetWindowTextA(window, "renamed");
        GetWindowTextA(window, seen.titleAfterRename, sizeof(seen.titleAfterRename));
        GetWindowRect(window, &seen.windowRect);
        seen.style = GetWindowLongA(window, GWL_STYLE);
        seen.exStyle = GetWindowLongA(window, GWL_EXSTYLE);
        seen.parent = GetParent(window);
        PostMessageA(window, WM_KEYDOWN, 'A', 0);
        if (script == Script::KeyThenTimerDestroys) {
            SetTimer(window, kTimer, 300, NULL);
        }
        return 0;
    case WM_TIMER:
        seen.aliveAfterInput = true;
        KillTimer(window, kTimer);
        DestroyWindow(window);
        return 0;
    default:
        return DefScreenSaverProc(window, message, wParam, lParam);
    }
}

BOOL WINAPI ScreenSaverConfigureDialog(HWND, UINT, WPARAM, LPARAM) {
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
        {"/P   987", SaverMode::Preview, 987},
        {"/l 55", SaverMode::Preview, 55},
        {"/p", SaverMode::Preview, 0},
        {"/p 0", SaverMode::Preview, 0},
        {"/p 4294967295", SaverMode::Preview, 0xFFFFFFFFu},
        {"/p 4294967296", SaverMode::Preview, 0}, // beyond 32 bits: no handle
        {"/p x12", SaverMode::Preview, 0},
        {"/c:4321", SaverMode::Configure, 4321},
        {"/c 77", SaverMode::Configure, 77},
        {"/C", SaverMode::Configure, 0},
        {"", SaverMode::Configure, 0},
        {"   ", SaverMode::Configure, 0},
        {"-/ -", SaverMode::Configure, 0},
        {"/a 66", SaverMode::ChangePassword, 66},
        {"/A", SaverMode::ChangePassword, 0},
        {"/x", SaverMode::Invalid, 0},
        {"/?", SaverMode::Invalid, 0},
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

TEST(SaverClosingRules, KeysButtonsActivationAndPower) {
    ClosingRules rules;
    rules.Start(POINT{0, 0}, 1);
    const UINT closing[] = {WM_KEYDOWN, WM_SYSKEYDOWN, WM_LBUTTONDOWN, WM_RBUTTONDOWN,
                            WM_MBUTTONDOWN};
    for (UINT message : closing) {
        EXPECT_EQ(SaverReply::Close, rules.Judge(message, 0, 0, At(0, 0))) << message;
    }
    const UINT passing[] = {WM_KEYUP,         WM_CHAR,  WM_LBUTTONUP, WM_MBUTTONUP,
                            WM_LBUTTONDBLCLK, WM_PAINT, WM_TIMER,     WM_ACTIVATE};
    for (UINT message : passing) {
        EXPECT_EQ(SaverReply::Default, rules.Judge(message, 0, 0, At(0, 0))) << message;
    }
    EXPECT_EQ(SaverReply::Close, rules.Judge(WM_ACTIVATEAPP, 0, 0, At(0, 0)));
    EXPECT_EQ(SaverReply::Default, rules.Judge(WM_ACTIVATEAPP, 1, 0, At(0, 0)));
    EXPECT_EQ(SaverReply::Close, rules.Judge(WM_POWER, PWR_CRITICALRESUME, 0, At(0, 0)));
    EXPECT_EQ(SaverReply::Default, rules.Judge(WM_POWER, PWR_SUSPENDRESUME, 0, At(0, 0)));

    EXPECT_EQ(SaverReply::Close, rules.Judge(WM_POWERBROADCAST, PBT_APMSUSPEND, 0, At(0, 0)));
    EXPECT_EQ(SaverReply::Close, rules.Judge(WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0, At(0, 0)));
    EXPECT_EQ(SaverReply::Default, rules.Judge(WM_POWERBROADCAST, PBT_APMRESUMESUSPEND,
                                               PBTF_APMRESUMEFROMFAILURE, At(0, 0)));
    // A status change closes only when the mains state changed, once per change.
    InputFacts onBattery = {{0, 0}, 0};
    EXPECT_EQ(SaverReply::Default,
              rules.Judge(WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, 0, At(0, 0)));
    EXPECT_EQ(SaverReply::Close,
              rules.Judge(WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, 0, onBattery));
    EXPECT_EQ(SaverReply::Default,
              rules.Judge(WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, 0, onBattery));
}

TEST(SaverClosingRules, CursorAndSystemCommands) {
    ClosingRules rules;
    rules.Start(POINT{0, 0}, 1);
    EXPECT_EQ(SaverReply::HideCursor, rules.Judge(WM_SETCURSOR, 0, 0, At(0, 0)));
    EXPECT_EQ(SaverReply::HideCursorDefault, rules.Judge(WM_SHOWWINDOW, 1, 0, At(0, 0)));
    EXPECT_EQ(SaverReply::Default, rules.Judge(WM_SHOWWINDOW, 0, 0, At(0, 0)));
    EXPECT_EQ(SaverReply::Zero, rules.Judge(WM_SYSCOMMAND, SC_SCREENSAVE, 0, At(0, 0)));
    EXPECT_EQ(SaverReply::Zero, rules.Judge(WM_SYSCOMMAND, SC_NEXTWINDOW, 0, At(0, 0)));
    EXPECT_EQ(SaverReply::Zero, rules.Judge(WM_SYSCOMMAND, SC_PREVWINDOW, 0, At(0, 0)));
    EXPECT_EQ(SaverReply::Close, rules.Judge(WM_SYSCOMMAND, SC_MONITORPOWER, 2, At(0, 0)));
    EXPECT_EQ(SaverReply::Default, rules.Judge(WM_SYSCOMMAND, SC_KEYMENU, 0, At(0, 0)));
}

TEST(SaverWindow, FullScreenCoversTheVirtualScreenAndClosesOnAKey) {
    seen = Seen();
    script = Script::KeyCloses;
    EXPECT_EQ(0, saver::RunScreenSaver(GetModuleHandleA(NULL), "/s"));
    EXPECT_STREQ("WindowsScreenSaverClass", seen.className);
    EXPECT_STREQ("Screen Saver", seen.title);
    EXPECT_EQ(NULL, seen.parent);
    EXPECT_TRUE(seen.style & WS_POPUP);
    EXPECT_TRUE(seen.exStyle & WS_EX_TOPMOST);
    EXPECT_EQ(GetSystemMetrics(SM_XVIRTUALSCREEN), seen.windowRect.left);
    EXPECT_EQ(GetSystemMetrics(SM_YVIRTUALSCREEN), seen.windowRect.top);
    EXPECT_EQ(GetSystemMetrics(SM_CXVIRTUALSCREEN), seen.windowRect.right - seen.windowRect.left);
    EXPECT_EQ(GetSystemMetrics(SM_CYVIRTUALSCREEN), seen.windowRect.bottom - seen.windowRect.top);
    ASSERT_FALSE(seen.messages.empty());
    EXPECT_EQ(static_cast<UINT>(WM_CREATE), seen.messages.front());
    EXPECT_EQ(static_cast<UINT>(WM_NCDESTROY), seen.messages.back());
    EXPECT_FALSE(IsWindow(seen.window));
    // The title tells the mode; the framework answers WM_SETTEXT itself.
    EXPECT_STREQ("Screen Saver", seen.titleAfterRename);
}

LRESULT CALLBACK PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeParent(int width, int height) {
    WNDCLASSA windowClass;
    ZeroMemory(&windowClass, sizeof(windowClass));
    windowClass.lpfnWndProc = PlainProc;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = "PreviewParent";
    RegisterClassA(&windowClass);
    HWND parent = CreateWindowExA(0, "PreviewParent", "parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  10, 10, width, height, NULL, NULL, GetModuleHandleA(NULL), NULL);
    return parent;
}

TEST(SaverWindow, PreviewFillsItsParentAndIgnoresInput) {
    seen = Seen();
    script = Script::KeyThenTimerDestroys;
    HWND parent = MakeParent(320, 240);
    ASSERT_TRUE(parent != NULL);
    RECT client;
    GetClientRect(parent, &client);
    std::string args = "/p " + std::to_string(reinterpret_cast<UINT_PTR>(parent));
    EXPECT_EQ(0, saver::RunScreenSaver(GetModuleHandleA(NULL), args.c_str()));
    EXPECT_STREQ("WindowsScreenSaverClass", seen.className);
    EXPECT_STREQ("Preview", seen.title);
    EXPECT_STREQ("Preview", seen.titleAfterRename);
    EXPECT_EQ(parent, seen.parent);
    EXPECT_TRUE(seen.style & WS_CHILD);
    EXPECT_EQ(client.right, seen.windowRect.right - seen.windowRect.left);
    EXPECT_EQ(client.bottom, seen.windowRect.bottom - seen.windowRect.top);
    // The key did not close the preview: the timer found it still there.
    EXPECT_TRUE(seen.aliveAfterInput);
    DestroyWindow(parent);
}

TEST(SaverWindow, RefusedStarts) {
    HINSTANCE instance = GetModuleHandleA(NULL);
    EXPECT_EQ(-1, saver::RunScreenSaver(instance, "/p 0"));
    EXPECT_EQ(-1, saver::RunScreenSaver(instance, "/p"));
    EXPECT_EQ(-1, saver::RunScreenSaver(instance, "/p 1234567")); // no such window
    EXPECT_EQ(-1, saver::RunScreenSaver(instance, "/x"));
    // Changing the password belongs to Windows 95/98/Me only.
    EXPECT_EQ(-1, saver::RunScreenSaver(instance, "/a 0"));
    // No dialog classes: no dialog, exit code 0.
    dialogClassesResult = FALSE;
    EXPECT_EQ(0, saver::RunScreenSaver(instance, "/c"));
    dialogClassesResult = TRUE;
}

} // namespace
