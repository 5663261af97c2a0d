// The runtime's parts in-process: the movie file (its name, what a failed write leaves)
// and the control container with the movie player control.
#include "saver/platform/ax_host.h"
#include "common/shockwave_flash.h"
#include "saver/saver_player.h"
#include "saver_process.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(MovieFile, TheNameIsTheTickCountInUpperCaseHexOfAtLeastFiveDigitsAndFitsItsBuffer) {
    char path[MAX_PATH];
    struct Case {
        DWORD tick;
        const char* expected;
    } cases[] = {{418, "C:\\T\\\\swf001A2.tmp"},
                 {0xFFFFF, "C:\\T\\\\swfFFFFF.tmp"},
                 {0x100000, "C:\\T\\\\swf100000.tmp"},
                 {0xFFFFFFFF, "C:\\T\\\\swfFFFFFFFF.tmp"}};
    for (const Case& c : cases) {
        ASSERT_TRUE(saver::FormatMoviePath(path, "C:\\T\\", c.tick));
        EXPECT_STREQ(c.expected, path);
    }
    // The longest folder that still fits, and one character more.
    std::string folder(MAX_PATH - 1 - 16, 'd'); // "\\swf12345678.tmp" is 16
    EXPECT_TRUE(saver::FormatMoviePath(path, folder.c_str(), 0x12345678));
    EXPECT_EQ(MAX_PATH - 1, static_cast<int>(strlen(path)));
    folder += 'd';
    EXPECT_FALSE(saver::FormatMoviePath(path, folder.c_str(), 0x12345678));
    EXPECT_STREQ("", path);
}

TEST(MovieFile, AnOldFileIsReplacedWholeAndAFailedWriteLeavesNoFile) {
    std::string dir = MakeScratchDir("moviefile");
    std::string path = dir + "movie.tmp";
    ASSERT_TRUE(WriteFileBytes(path, std::vector<unsigned char>(5000, 'x')));
    EXPECT_EQ(S_OK, saver::WriteMovieFile(path.c_str(), "FWS\x05", 4));
    std::vector<unsigned char> bytes;
    ASSERT_TRUE(ReadFileBytes(path, &bytes));
    EXPECT_EQ(std::vector<unsigned char>({'F', 'W', 'S', 5}), bytes);

    // Source bytes that end in memory nobody may read: the write cannot complete.
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    char* pages =
        static_cast<char*>(VirtualAlloc(NULL, 2 * system.dwPageSize, MEM_RESERVE, PAGE_READWRITE));
    ASSERT_TRUE(pages != NULL);
    ASSERT_TRUE(VirtualAlloc(pages, system.dwPageSize, MEM_COMMIT, PAGE_READWRITE) != NULL);
    memset(pages, 'F', system.dwPageSize);
    EXPECT_EQ(E_FAIL, saver::WriteMovieFile(path.c_str(), pages, 2 * system.dwPageSize));
    EXPECT_FALSE(FileExistsAt(path));
    VirtualFree(pages, 0, MEM_RELEASE);
}

TEST(Container, TheControlFillsItFollowsItsSizeTakesItsFocusAndGoesWithIt) {
    ASSERT_TRUE(RegisterPlayer());
    ASSERT_TRUE(SUCCEEDED(CoInitialize(NULL)));
    ASSERT_TRUE(saver::InitControlHosting());
    HWND parent = CreateWindowExA(0, "STATIC", "parent", WS_POPUP | WS_VISIBLE, 0, 0, 300, 200,
                                  NULL, NULL, GetModuleHandleA(NULL), NULL);
    saver::HostWindow host;
    RECT rect = {0, 0, 300, 200};
    HWND window = host.CreateHostWindow(parent, rect, WS_CHILD | WS_VISIBLE);
    ASSERT_TRUE(window != NULL);
    ASSERT_EQ(S_OK, host.CreateControl(kFlashProgId));
    HWND child = GetWindow(window, GW_CHILD);
    ASSERT_TRUE(child != NULL);
    // It follows the container's size (the full-screen run sees it fill the container).
    MoveWindow(window, 0, 0, 120, 90, TRUE);
    RECT area;
    GetClientRect(child, &area);
    EXPECT_EQ(120, area.right);
    EXPECT_EQ(90, area.bottom);
    SetFocus(window);
    EXPECT_EQ(child, GetFocus());

    // Gone with its window, and released: the player's DLL may be unloaded.
    EXPECT_TRUE(host.DestroyWindow());
    EXPECT_FALSE(IsWindow(child));
    typedef HRESULT(WINAPI * CanUnloadProc)();
    CanUnloadProc canUnload = reinterpret_cast<CanUnloadProc>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("FlickwellPlayer.dll"), "DllCanUnloadNow")));
    ASSERT_TRUE(canUnload != NULL);
    EXPECT_EQ(S_OK, canUnload());

    // A container titled with a ProgID makes that control with its window.
    window = CreateWindowExA(0, "AtlAxWin7", "ShockwaveFlash.ShockwaveFlash", WS_CHILD | WS_VISIBLE,
                             0, 0, 50, 40, parent, NULL, GetModuleHandleA(NULL), NULL);
    EXPECT_TRUE(GetWindow(window, GW_CHILD) != NULL);
    DestroyWindow(parent);
    CoUninitialize();
}

} // namespace
