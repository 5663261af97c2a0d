// The built template.scr with the movie player control registered under the Flash
// control's ProgID: the whole screen saver as a user meets it, full screen and in a
// preview, judged by what is on the screen and what is left in the temporary folder.
#include "message_box.h"
#include "saver_process.h"
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
// The default movie's background colour (tools/make_movie.py).
const COLORREF kMovieBackground = RGB(0x1E, 0x4A, 0x7A);

COLORREF ScreenPixel(int x, int y) {
    HDC screen = GetDC(NULL);
    HDC copy = CreateCompatibleDC(screen);
    HBITMAP bits = CreateCompatibleBitmap(screen, 1, 1);
    HGDIOBJ old = SelectObject(copy, bits);
    BitBlt(copy, 0, 0, 1, 1, screen, x, y, SRCCOPY);
    COLORREF color = GetPixel(copy, 0, 0);
    SelectObject(copy, old);
    DeleteObject(bits);
    DeleteDC(copy);
    ReleaseDC(NULL, screen);
    return color;
}

// Waits until the movie's background shows at the point (screen coordinates).
bool ShowsMovieAt(int x, int y) {
    for (int i = 0; i < 250; ++i) {
        if (ScreenPixel(x, y) == kMovieBackground) {
            return true;
        }
        Pump(40);
    }
    return false;
}

std::vector<unsigned char> EmbeddedMovie() {
    std::vector<unsigned char> bytes;
    HMODULE module =
        LoadLibraryExA(BinPath("template.scr").c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found = module != NULL ? FindResourceA(module, MAKEINTRESOURCEA(202), "swf") : NULL;
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

class WithPlayer : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        HMODULE player = LoadLibraryA(BinPath("FlickwellPlayer.dll").c_str());
        ASSERT_TRUE(player != NULL);
        typedef HRESULT(WINAPI * RegisterProc)();
        RegisterProc registerServer = reinterpret_cast<RegisterProc>(
            reinterpret_cast<void*>(GetProcAddress(player, "DllRegisterServer")));
        ASSERT_TRUE(registerServer != NULL);
        ASSERT_EQ(S_OK, registerServer());
        FreeLibrary(player);
    }
    void SetUp() override {
        RemoveMovieFiles();
        SetCursorPos(500, 400);
    }

    HWND StartFullScreen(SaverProcess* saver) {
        before_ = GetTickCount();
        if (!saver->Start(BinPath("template.scr"), "/s")) {
            return NULL;
        }
        return saver->WaitForWindow(kSaverClass, NULL, kWait);
    }
    HWND Control(HWND window) {
        HWND container = FindWindowExA(window, NULL, kHostClass, NULL);
        return container != NULL ? GetWindow(container, GW_CHILD) : NULL;
    }

    DWORD before_ = 0;
};

TEST_F(WithPlayer, FullScreenPlaysTheMovieFromAFaithfulTemporaryCopy) {
    SaverProcess saver;
    HWND window = StartFullScreen(&saver);
    ASSERT_TRUE(window != NULL);
    RECT client;
    GetClientRect(window, &client);
    // The background covers the screen, corners included.
    EXPECT_TRUE(ShowsMovieAt(client.right / 2, client.bottom / 2));
    EXPECT_TRUE(ShowsMovieAt(0, 0));
    EXPECT_TRUE(ShowsMovieAt(client.right - 1, client.bottom - 1));
    MessageBoxInfo box;
    EXPECT_FALSE(WaitForMessageBox(saver.Id(), 100, &box)) << box.text;

    HWND container = FindWindowExA(window, NULL, kHostClass, NULL);
    ASSERT_TRUE(container != NULL);
    RECT hosted, control;
    GetWindowRect(container, &hosted);
    EXPECT_EQ(0, hosted.left);
    EXPECT_EQ(0, hosted.top);
    EXPECT_EQ(client.right, hosted.right);
    EXPECT_EQ(client.bottom, hosted.bottom);
    ASSERT_TRUE(Control(window) != NULL);
    GetWindowRect(Control(window), &control);
    EXPECT_TRUE(EqualRect(&hosted, &control));

    std::vector<std::string> files = MovieFiles();
    ASSERT_EQ(1u, files.size());
    unsigned long tick = strtoul(files[0].substr(3, files[0].size() - 7).c_str(), NULL, 16);
    char expected[32];
    snprintf(expected, sizeof(expected), "swf%05lX.tmp", tick);
    EXPECT_EQ(expected, files[0]);
    EXPECT_LE(before_, tick);
    EXPECT_GE(GetTickCount(), tick);
    std::vector<unsigned char> written;
    ASSERT_TRUE(ReadFileBytes(TempDir() + files[0], &written));
    EXPECT_TRUE(written == EmbeddedMovie());

    PostMessageA(Control(window), WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_EQ(0u, saver.WaitForExit(kWait));
    EXPECT_TRUE(MovieFiles().empty());
}

TEST_F(WithPlayer, InputOverTheMovieClosesItButTheMiddleButtonDoesNot) {
    struct Input {
        const char* what;
        UINT message;
    } inputs[] = {{"mouse move", WM_MOUSEMOVE},
                  {"left button", WM_LBUTTONDOWN},
                  {"right button", WM_RBUTTONDOWN},
                  {"key", WM_KEYDOWN}};
    for (const Input& input : inputs) {
        SetCursorPos(500, 400);
        SaverProcess saver;
        HWND window = StartFullScreen(&saver);
        ASSERT_TRUE(window != NULL) << input.what;
        ASSERT_TRUE(ShowsMovieAt(500, 400)) << input.what;
        HWND control = Control(window);
        ASSERT_TRUE(control != NULL);
        // The middle button first: it reaches the player and the movie goes on.
        PostMessageA(control, WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(20, 20));
        PostMessageA(control, WM_MBUTTONUP, 0, MAKELPARAM(20, 20));
        Pump(300);
        ASSERT_TRUE(saver.Running()) << "the middle button closed the saver";
        if (input.message == WM_MOUSEMOVE) {
            SetCursorPos(520, 400);
        }
        PostMessageA(control, input.message, 0, MAKELPARAM(20, 20));
        EXPECT_EQ(0u, saver.WaitForExit(kWait)) << input.what;
        EXPECT_TRUE(MovieFiles().empty()) << input.what;
    }
}

TEST_F(WithPlayer, RealInputThroughTheDisplayClosesIt) {
    // What the X server delivers, not posted messages: a pointer moved by 3 pixels stays,
    // by 30 closes; a key press closes; a middle click does not.
    SaverProcess saver;
    HWND window = StartFullScreen(&saver);
    ASSERT_TRUE(window != NULL);
    ASSERT_TRUE(ShowsMovieAt(500, 400));
    SetCursorPos(502, 401);
    Pump(300);
    EXPECT_TRUE(saver.Running());
    mouse_event(MOUSEEVENTF_MIDDLEDOWN, 0, 0, 0, 0);
    mouse_event(MOUSEEVENTF_MIDDLEUP, 0, 0, 0, 0);
    Pump(300);
    EXPECT_TRUE(saver.Running());
    SetCursorPos(530, 400);
    EXPECT_EQ(0u, saver.WaitForExit(kWait));

    SetCursorPos(500, 400);
    SaverProcess second;
    window = StartFullScreen(&second);
    ASSERT_TRUE(window != NULL);
    ASSERT_TRUE(ShowsMovieAt(500, 400));
    keybd_event(VK_SHIFT, 0, 0, 0);
    keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
    EXPECT_EQ(0u, second.WaitForExit(kWait));
    EXPECT_TRUE(MovieFiles().empty());
}

// A copy of template.scr carrying `movie` instead of its own.
bool SaverWithMovie(const std::string& copy, const std::vector<unsigned char>& movie) {
    if (!CopyFileA(BinPath("template.scr").c_str(), copy.c_str(), FALSE)) {
        return false;
    }
    HANDLE update = BeginUpdateResourceA(copy.c_str(), FALSE);
    return update != NULL &&
           UpdateResourceA(update, "SWF", MAKEINTRESOURCEA(202),
                           MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                           movie.empty() ? NULL : const_cast<unsigned char*>(movie.data()),
                           static_cast<DWORD>(movie.size())) &&
           EndUpdateResourceA(update, FALSE);
}

TEST_F(WithPlayer, ADamagedOrEmptyMovieNeverCrashesAndStillClosesOnInput) {
    std::vector<unsigned char> damaged = EmbeddedMovie();
    damaged.resize(damaged.size() / 3); // cut short
    std::vector<unsigned char> garbage(3000, 0xA5);
    const std::vector<unsigned char>* movies[] = {&damaged, &garbage};
    for (const std::vector<unsigned char>* movie : movies) {
        const std::string copy = TempDir() + "damaged.scr";
        ASSERT_TRUE(SaverWithMovie(copy, *movie));
        SaverProcess saver;
        ASSERT_TRUE(saver.Start(copy, "/s"));
        HWND window = saver.WaitForWindow(kSaverClass, NULL, kWait);
        ASSERT_TRUE(window != NULL);
        // Either the player refuses the movie (message 134) or shows nothing of it.
        MessageBoxInfo box;
        if (WaitForMessageBox(saver.Id(), 1500, &box)) {
            EXPECT_EQ("Internal Shockwave Flash error.", box.text);
            ASSERT_TRUE(PressButton(box, IDOK));
            Pump(200);
        }
        EXPECT_TRUE(saver.Running());
        EXPECT_NE(kMovieBackground, ScreenPixel(500, 400));
        PostMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
        HWND control = Control(window);
        if (control != NULL) {
            PostMessageA(control, WM_KEYDOWN, VK_SPACE, 0);
        }
        EXPECT_EQ(0u, saver.WaitForExit(kWait));
        EXPECT_TRUE(MovieFiles().empty());
        DeleteFileA(copy.c_str());
    }
}

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(WithPlayer, PreviewPlaysTheMovieInsideTheGivenWindowOnly) {
    WNDCLASSA windowClass;
    ZeroMemory(&windowClass, sizeof(windowClass));
    windowClass.lpfnWndProc = ParentProc;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = "MonitorPicture";
    RegisterClassA(&windowClass);
    HWND parent = CreateWindowExA(0, "MonitorPicture", "", WS_POPUP | WS_VISIBLE, 100, 80, 152, 112,
                                  NULL, NULL, GetModuleHandleA(NULL), NULL);
    ASSERT_TRUE(parent != NULL);
    Pump(100);

    SaverProcess saver;
    ASSERT_TRUE(saver.Start(BinPath("template.scr"),
                            "/p " + std::to_string(reinterpret_cast<UINT_PTR>(parent))));
    HWND window = saver.WaitForWindow(kSaverClass, parent, kWait);
    ASSERT_TRUE(window != NULL);
    // Wine does not show a child window of another process on the screen, so the preview
    // is judged by its windows: the player's window fills the given window's client area.
    for (int i = 0; i < 500 && Control(window) == NULL; ++i) {
        Pump(20);
    }
    EXPECT_TRUE(IsWindowVisible(window));
    RECT client, control;
    GetClientRect(parent, &client);
    ASSERT_TRUE(Control(window) != NULL);
    GetClientRect(Control(window), &control);
    EXPECT_TRUE(EqualRect(&client, &control));
    EXPECT_EQ(1u, MovieFiles().size());

    PostMessageA(Control(window), WM_KEYDOWN, VK_SPACE, 0);
    Pump(300);
    EXPECT_TRUE(saver.Running());
    DestroyWindow(parent);
    EXPECT_EQ(0u, saver.WaitForExit(kWait));
    EXPECT_TRUE(MovieFiles().empty());
}

} // namespace
