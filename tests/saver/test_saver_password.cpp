// The Windows 95/98/Me password check of the framework (run with Wine set to Windows 98),
// with a PASSWORD.CPL of the test's own in the system folder.
#include "saver/platform/screen_saver.h"
#include "saver_process.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const UINT_PTR kTimer = 9;
HWND saverWindow = NULL;
int keysAtStart = 2;
LRESULT autoPlayAnswer = 0;
bool askAutoPlay = false;

} // namespace

LRESULT WINAPI ScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        saverWindow = window;
        if (askAutoPlay) {
            autoPlayAnswer =
                SendMessageA(window, RegisterWindowMessageA("QueryCancelAutoPlay"), 0, 0);
            return 0;
        }
        // Two requests at once: the second comes within 200 ms of the first check.
        for (int i = 0; i < keysAtStart; ++i) {
            PostMessageA(window, WM_KEYDOWN, 'A', 0);
        }
        SetTimer(window, kTimer, 400, NULL);
        return 0;
    case WM_TIMER:
        KillTimer(window, kTimer);
        PostMessageA(window, WM_KEYDOWN, 'B', 0);
        return 0;
    default:
        return DefScreenSaverProc(window, message, wParam, lParam);
    }
}

BOOL WINAPI ScreenSaverConfigureDialog(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}
BOOL WINAPI RegisterDialogClasses(HANDLE) {
    return TRUE;
}

namespace {

class PasswordCheck : public ::testing::Test {
  protected:
    void SetUp() override {
        char system[MAX_PATH] = {0};
        GetSystemDirectoryA(system, MAX_PATH);
        char self[MAX_PATH] = {0};
        GetModuleFileNameA(NULL, self, MAX_PATH);
        std::string dir = self;
        dir = dir.substr(0, dir.find_last_of('\\') + 1);
        ASSERT_TRUE(CopyFileA((dir + "test_password.cpl").c_str(),
                              (std::string(system) + "\\PASSWORD.CPL").c_str(), FALSE));
        log_ = TempDir() + "password.log";
        DeleteFileA(log_.c_str());
        SetEnvironmentVariableA("FLICKWELL_PASSWORD_LOG", log_.c_str());
        saverWindow = NULL;
        askAutoPlay = false;
        keysAtStart = 2;
    }
    static void UsePassword(DWORD value) {
        HKEY key = NULL;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0,
                                                 NULL, 0, KEY_WRITE, NULL, &key, NULL));
        RegSetValueExA(key, "ScreenSaveUsePassword", 0, REG_DWORD,
                       reinterpret_cast<const BYTE*>(&value), sizeof(value));
        RegCloseKey(key);
    }
    std::string log_;
};

TEST_F(PasswordCheck, ACloseWaitsForTheCheckAndAsksAtMostOnceIn200Ms) {
    UsePassword(1);
    SetEnvironmentVariableA("FLICKWELL_PASSWORD_ACCEPT_FROM", "2");
    EXPECT_EQ(0, saver::RunScreenSaver(GetModuleHandleA(NULL), "/s"));
    std::vector<std::string> lines = ReadLines(log_);
    // The first key asked and was refused, the second fell within 200 ms and was not
    // asked, the timer's key asked again and was accepted.
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("check 1 " + std::to_string(reinterpret_cast<UINT_PTR>(saverWindow)), lines[0]);
    EXPECT_EQ("check 2 " + std::to_string(reinterpret_cast<UINT_PTR>(saverWindow)), lines[1]);
}

TEST_F(PasswordCheck, NoPasswordWantedNoCheck) {
    UsePassword(0);
    SetEnvironmentVariableA("FLICKWELL_PASSWORD_ACCEPT_FROM", "99");
    keysAtStart = 1;
    EXPECT_EQ(0, saver::RunScreenSaver(GetModuleHandleA(NULL), "/s"));
    EXPECT_TRUE(ReadLines(log_).empty());
}

TEST_F(PasswordCheck, AutoPlayIsRefusedAndClosesTheSaverWhileACheckIsLoaded) {
    UsePassword(1);
    SetEnvironmentVariableA("FLICKWELL_PASSWORD_ACCEPT_FROM", "1");
    askAutoPlay = true;
    EXPECT_EQ(0, saver::RunScreenSaver(GetModuleHandleA(NULL), "/s"));
    EXPECT_EQ(1, autoPlayAnswer);
    EXPECT_EQ(1u, ReadLines(log_).size());
}

TEST(PasswordChange, BelongsToWindows98) {
    // The network provider's dialog itself is the system's; here only the route is open.
    EXPECT_EQ(0, saver::RunScreenSaver(GetModuleHandleA(NULL), "/a 0"));
}

} // namespace
