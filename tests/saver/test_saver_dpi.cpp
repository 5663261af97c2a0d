// The saver on a screen of 144 dots per inch, as far as Wine reflects one: its manifest
// makes the process aware of each monitor's DPI, so its window, and the pixels the engine
// draws, are the screen's own pixels rather than a scaled-down screen Windows stretches.
#include "saver_process.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <string>

#include "player/control/player_contract.h"

namespace {

// Windows 10 calls, looked up: the build targets older systems.
typedef HANDLE(WINAPI* WindowContextFn)(HWND);
typedef int(WINAPI* AwarenessFn)(HANDLE);
typedef HANDLE(WINAPI* SetContextFn)(HANDLE);
typedef UINT(WINAPI* DpiForWindowFn)(HWND);
const int kPerMonitorAware = 2; // DPI_AWARENESS_PER_MONITOR_AWARE
const HANDLE kPerMonitorV2 = reinterpret_cast<HANDLE>(-4);
const HANDLE kPerMonitor = reinterpret_cast<HANDLE>(-3);

template <class F> F User32(const char* name) {
    return reinterpret_cast<F>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}

bool SetSystemDpi(DWORD dpi) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, NULL, 0, KEY_SET_VALUE,
                        NULL, &key, NULL) != ERROR_SUCCESS) {
        return false;
    }
    const bool ok =
        RegSetValueExA(key, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                       sizeof dpi) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

TEST(SaverDpi, AtHighDpiTheWindowAndThePictureAreTheScreensPixels) {
    const WindowContextFn windowContext = User32<WindowContextFn>("GetWindowDpiAwarenessContext");
    const AwarenessFn awareness = User32<AwarenessFn>("GetAwarenessFromDpiAwarenessContext");
    const SetContextFn setContext = User32<SetContextFn>("SetThreadDpiAwarenessContext");
    if (windowContext == nullptr || awareness == nullptr || setContext == nullptr) {
        GTEST_SKIP() << "this Wine has no per-monitor DPI calls";
    }
    // This thread sees physical pixels too; the saver starts after the DPI changed.
    // (Wine knows V2 only in newer releases.)
    ASSERT_TRUE(setContext(kPerMonitorV2) != NULL || setContext(kPerMonitor) != NULL);
    ASSERT_TRUE(SetSystemDpi(144));
    ASSERT_TRUE(UnregisterPlayer()); // the player built into the saver
    SaverProcess saver;
    ASSERT_TRUE(saver.Start(BinPath("template.scr"), "/s"));
    HWND window = saver.WaitForWindow(kSaverClass, NULL);
    ASSERT_TRUE(window != NULL);
    EXPECT_EQ(kPerMonitorAware, awareness(windowContext(window)));
    if (const DpiForWindowFn dpiFor = User32<DpiForWindowFn>("GetDpiForWindow")) {
        RecordProperty("saver_window_dpi", int(dpiFor(window)));
    }
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(width, rect.right - rect.left);
    EXPECT_EQ(height, rect.bottom - rect.top);
    HWND control = NULL;
    for (int i = 0; i < 250 && control == NULL; ++i) {
        Pump(40);
        control = ControlOf(window);
    }
    ASSERT_TRUE(control != NULL);
    // The engine draws into a buffer of the control's size as the saver sees it.
    const UINT query = RegisterWindowMessageW(L"FlickwellPlayerQuery");
    LRESULT surface = 0;
    for (int i = 0; i < 250 && surface == 0; ++i) {
        surface = SendMessageA(control, query, kQuerySurface, 0);
        Pump(40);
    }
    EXPECT_EQ(width, int(surface >> 16));
    EXPECT_EQ(height, int(surface & 0xFFFF));
    PostMessageA(control, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_EQ(0u, saver.WaitForExit());
}

} // namespace
