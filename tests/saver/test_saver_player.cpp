// The built template.scr with the movie player: registered under the Flash control's
// ProgID (FlickwellPlayer.dll), or, with nothing registered, the player built into the
// saver. The whole screen saver as a user meets it, full screen and in a preview, judged by
// what is on the screen and what is left in the temporary folder.
#include "message_box.h"
#include "saver_process.h"
#include "test_env.h"
#include "window_driver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The default movie's background colour (tools/make_movie.py).
const COLORREF kMovieBackground = RGB(0x1E, 0x4A, 0x7A);

COLORREF ScreenPixel(int x, int y) {
    HDC screen = GetDC(NULL);
    COLORREF color = GetPixel(screen, x, y);
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

enum class Player { Registered, BuiltIn };

class WithPlayer : public ::testing::TestWithParam<Player> {
  protected:
    void SetUp() override {
        if (GetParam() == Player::Registered) {
            ASSERT_TRUE(RegisterPlayer());
        } else {
            ASSERT_TRUE(UnregisterPlayer());
        }
        RemoveMovieFiles();
        SetCursorPos(500, 400);
        GetEnvironmentVariableA("TMP", savedTmp_, MAX_PATH);
    }
    void TearDown() override { SetEnvironmentVariableA("TMP", savedTmp_); }
    HWND StartFullScreen(SaverProcess* saver, const std::string& program = "") {
        before_ = GetTickCount();
        if (!saver->Start(program.empty() ? BinPath("template.scr") : program, "/s")) {
            return NULL;
        }
        return saver->WaitForWindow(kSaverClass, NULL);
    }
    // The registered player runs from its DLL; the built-in one without it.
    void ExpectThePlayerAsked(const SaverProcess& saver) {
        EXPECT_EQ(GetParam() == Player::Registered, saver.HasModule("FlickwellPlayer.dll"));
    }
    DWORD before_ = 0;
    char savedTmp_[MAX_PATH] = {0};
};

TEST_P(WithPlayer, FullScreenPlaysAFaithfulCopyFromATemporaryFolderBeyondAscii) {
    const std::string folder = TempDir() + "T\xEBmp \xC5lbum"; // in the ANSI code page 1252
    ASSERT_EQ(1252u, GetACP());
    CreateDirectoryA(folder.c_str(), NULL);
    SetEnvironmentVariableA("TMP", folder.c_str()); // the saver inherits it, TempDir() follows
    SaverProcess saver;
    HWND window = StartFullScreen(&saver);
    ASSERT_TRUE(window != NULL);
    // A topmost popup over the virtual screen, titled "Screen Saver" for good.
    const int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    RECT screen = {x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                   y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    RECT client;
    GetWindowRect(window, &client);
    EXPECT_TRUE(EqualRect(&screen, &client));
    EXPECT_TRUE(GetWindowLongA(window, GWL_STYLE) & WS_POPUP);
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_FALSE(SetWindowTextOf(window, "renamed"));
    EXPECT_EQ("Screen Saver", WindowText(window));
    GetClientRect(window, &client);
    // The background covers the screen, corners included.
    EXPECT_TRUE(ShowsMovieAt(client.right / 2, client.bottom / 2));
    EXPECT_TRUE(ShowsMovieAt(0, 0));
    EXPECT_TRUE(ShowsMovieAt(client.right - 1, client.bottom - 1));
    MessageBoxInfo box;
    EXPECT_FALSE(WaitForMessageBox(saver.Id(), 100, &box)) << box.text;

    // The container covers exactly the client area, and the control the container.
    RECT hosted, control;
    GetWindowRect(FindWindowExA(window, NULL, kHostClass, NULL), &hosted);
    RECT expected = {0, 0, client.right, client.bottom};
    EXPECT_TRUE(EqualRect(&expected, &hosted));
    ASSERT_TRUE(ControlOf(window) != NULL);
    GetWindowRect(ControlOf(window), &control);
    EXPECT_TRUE(EqualRect(&hosted, &control));
    ExpectOneFaithfulMovieFile(before_);
    ExpectThePlayerAsked(saver);
    // The player shows the URL it was given: "file://" and the path as it is, the folder
    // with its trailing backslash.
    std::vector<std::string> files = MovieFiles();
    ASSERT_EQ(1u, files.size());
    wchar_t url[MAX_PATH + 16] = {0}, path[MAX_PATH] = {0};
    GetWindowTextW(ControlOf(window), url, MAX_PATH + 16);
    MultiByteToWideChar(CP_ACP, 0, (TempDir() + "\\" + files[0]).c_str(), -1, path, MAX_PATH);
    EXPECT_EQ(std::wstring(L"file://") + path, url);

    // A second start only brings the first forward.
    SaverProcess second;
    ASSERT_TRUE(second.Start(BinPath("template.scr"), "/s"));
    EXPECT_EQ(0u, second.WaitForExit());
    EXPECT_TRUE(saver.Running());
    EXPECT_EQ(1u, MovieFiles().size());

    PostMessageA(ControlOf(window), WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_EQ(0u, saver.WaitForExit());
    EXPECT_TRUE(MovieFiles().empty());
}

TEST_P(WithPlayer, InputOverTheMovieClosesItButTheMiddleButtonDoesNot) {
    // Posted to the player's window, or real: what the X server delivers.
    const struct Input {
        UINT message;
        bool real;
    } inputs[] = {{WM_MOUSEMOVE, false}, {WM_LBUTTONDOWN, false}, {WM_RBUTTONDOWN, false},
                  {WM_KEYDOWN, false},   {WM_MOUSEMOVE, true},    {WM_KEYDOWN, true}};
    for (const Input& input : inputs) {
        SCOPED_TRACE(testing::Message() << input.message << (input.real ? " real" : " posted"));
        SetCursorPos(500, 400);
        SaverProcess saver;
        HWND window = StartFullScreen(&saver);
        ASSERT_TRUE(window != NULL);
        ASSERT_TRUE(ShowsMovieAt(500, 400));
        HWND control = ControlOf(window);
        ASSERT_TRUE(control != NULL);
        // The middle button first: it reaches the player and the movie goes on; so does
        // a pointer moved by 3 pixels.
        if (input.real) {
            mouse_event(MOUSEEVENTF_MIDDLEDOWN, 0, 0, 0, 0);
            mouse_event(MOUSEEVENTF_MIDDLEUP, 0, 0, 0, 0);
            SetCursorPos(502, 401);
        } else {
            PostMessageA(control, WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(20, 20));
            PostMessageA(control, WM_MBUTTONUP, 0, MAKELPARAM(20, 20));
        }
        Pump(300);
        ASSERT_TRUE(saver.Running()) << "the middle button closed the saver";
        if (input.message == WM_MOUSEMOVE) {
            SetCursorPos(530, 400);
        }
        if (input.real && input.message == WM_KEYDOWN) {
            keybd_event(VK_SHIFT, 0, 0, 0);
            keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
        } else if (!input.real) {
            PostMessageA(control, input.message, 0, MAKELPARAM(20, 20));
        }
        EXPECT_EQ(0u, saver.WaitForExit());
        EXPECT_TRUE(MovieFiles().empty());
    }
}

TEST_P(WithPlayer, ADamagedMovieShowsNothingAndStillClosesOnInput) {
    std::vector<unsigned char> damaged = EmbeddedMovie();
    damaged[1] = 'X'; // no longer a movie (a cut-short one plays its whole frames)
    const std::vector<unsigned char> movies[] = {damaged, std::vector<unsigned char>(3000, 0xA5)};
    const std::string copy = TempDir() + "damaged.scr";
    for (const std::vector<unsigned char>& movie : movies) {
        ASSERT_TRUE(CopyFileA(BinPath("template.scr").c_str(), copy.c_str(), FALSE));
        HANDLE update = BeginUpdateResourceA(copy.c_str(), FALSE);
        ASSERT_TRUE(update != NULL);
        ASSERT_TRUE(UpdateResourceA(
            update, "SWF", MAKEINTRESOURCEA(202), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
            const_cast<unsigned char*>(movie.data()), static_cast<DWORD>(movie.size())));
        ASSERT_TRUE(EndUpdateResourceA(update, FALSE));
        SaverProcess saver;
        HWND window = StartFullScreen(&saver, copy);
        ASSERT_TRUE(window != NULL);
        MessageBoxInfo box;
        EXPECT_FALSE(WaitForMessageBox(saver.Id(), 1000, &box)) << box.text;
        EXPECT_NE(kMovieBackground, ScreenPixel(500, 400));
        ASSERT_TRUE(ControlOf(window) != NULL);
        PostMessageA(ControlOf(window), WM_KEYDOWN, VK_SPACE, 0);
        EXPECT_EQ(0u, saver.WaitForExit());
        EXPECT_TRUE(MovieFiles().empty());
    }
    DeleteFileA(copy.c_str());
}

TEST_P(WithPlayer, PreviewPlaysTheMovieInsideTheGivenWindowOnly) {
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 100, 80, 152, 112, NULL,
                                  NULL, GetModuleHandleA(NULL), NULL);
    ASSERT_TRUE(parent != NULL);
    Pump(100);
    SaverProcess saver;
    ASSERT_TRUE(saver.Start(BinPath("template.scr"),
                            "/p " + std::to_string(reinterpret_cast<UINT_PTR>(parent))));
    HWND window = saver.WaitForWindow(kSaverClass, parent);
    ASSERT_TRUE(window != NULL);
    // Wine does not show a child window of another process on the screen, so the preview
    // is judged by its windows: the player's window fills the given window's client area.
    // The control comes while the window is created, before the window is shown.
    for (int i = 0; i < 500 && !(ControlOf(window) != NULL && IsWindowVisible(window)); ++i) {
        Pump(20);
    }
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(SetWindowTextOf(window, "renamed"));
    EXPECT_EQ("Preview", WindowText(window));
    RECT client, control;
    GetClientRect(parent, &client);
    ASSERT_TRUE(ControlOf(window) != NULL);
    GetClientRect(ControlOf(window), &control);
    EXPECT_TRUE(EqualRect(&client, &control));
    EXPECT_EQ(1u, MovieFiles().size());

    // Input does not close a preview; its parent going does.
    PostMessageA(ControlOf(window), WM_KEYDOWN, VK_SPACE, 0);
    Pump(300);
    EXPECT_TRUE(saver.Running());
    DestroyWindow(parent);
    EXPECT_EQ(0u, saver.WaitForExit());
    EXPECT_TRUE(MovieFiles().empty());
}

INSTANTIATE_TEST_SUITE_P(Saver, WithPlayer, ::testing::Values(Player::Registered, Player::BuiltIn),
                         [](const ::testing::TestParamInfo<Player>& info) {
                             return info.param == Player::Registered ? "Registered" : "BuiltIn";
                         });

} // namespace
