// The runtime's parts in-process: the movie file (its name, its bytes, what a failed
// write leaves), and the control container with a stand-in control.
#include "saver/platform/ax_host.h"
#include "saver/platform/shockwave_flash.h"
#include "saver/saver_player.h"
#include "saver_process.h"
#include "test_control.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(MovieFileName, TickCountInUpperCaseHexOfAtLeastFiveDigits) {
    char path[MAX_PATH];
    struct Case {
        DWORD tick;
        const char* expected;
    } cases[] = {
        {418, "C:\\Temp\\\\swf001A2.tmp"},        {0, "C:\\Temp\\\\swf00000.tmp"},
        {0xFFFFF, "C:\\Temp\\\\swfFFFFF.tmp"},    {0x100000, "C:\\Temp\\\\swf100000.tmp"},
        {20000000, "C:\\Temp\\\\swf1312D00.tmp"}, {0xFFFFFFFF, "C:\\Temp\\\\swfFFFFFFFF.tmp"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(saver::FormatMoviePath(path, "C:\\Temp\\", c.tick));
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

class MovieFile : public ::testing::Test {
  protected:
    void SetUp() override { dir_ = MakeScratchDir("moviefile"); }
    std::string dir_;
};

TEST_F(MovieFile, ExtractionWritesTheWholeResourceUnderTheTickName) {
    HMODULE module =
        LoadLibraryExA(BinPath("template.scr").c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(module != NULL);
    saver::SaverPlayer player;
    EXPECT_STREQ("", player.MoviePath());
    ASSERT_EQ(S_OK, player.ExtractMovieFrom(module, 202, dir_.c_str(), 0x1A2));
    EXPECT_EQ(dir_ + "\\swf001A2.tmp", player.MoviePath());
    std::vector<unsigned char> written, original;
    ASSERT_TRUE(ReadFileBytes(player.MoviePath(), &written));
    ASSERT_TRUE(ReadFileBytes(GeneratedPath("default.swf"), &original));
    EXPECT_EQ(original, written);

    // No such resource: nothing written, the path not even formatted.
    saver::SaverPlayer other;
    EXPECT_EQ(E_FAIL, other.ExtractMovieFrom(module, 203, dir_.c_str(), 5));
    EXPECT_STREQ("", other.MoviePath());
    FreeLibrary(module);
}

TEST_F(MovieFile, AnExistingFileIsReplacedAndAnEmptyMovieGivesAnEmptyFile) {
    std::string path = dir_ + "replaced.tmp";
    ASSERT_TRUE(WriteFileBytes(path, std::vector<unsigned char>(5000, 'x')));
    const char movie[] = "FWS\x05";
    EXPECT_EQ(S_OK, saver::WriteMovieFile(path.c_str(), movie, 4));
    std::vector<unsigned char> bytes;
    ASSERT_TRUE(ReadFileBytes(path, &bytes));
    EXPECT_EQ(std::vector<unsigned char>(movie, movie + 4), bytes);

    EXPECT_EQ(S_OK, saver::WriteMovieFile(path.c_str(), movie, 0));
    ASSERT_TRUE(ReadFileBytes(path, &bytes));
    EXPECT_TRUE(bytes.empty());
}

TEST_F(MovieFile, AWriteThatFailsPartWayLeavesNoFile) {
    // Source bytes that end in memory nobody may read: the write cannot complete.
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    char* pages =
        static_cast<char*>(VirtualAlloc(NULL, 2 * system.dwPageSize, MEM_RESERVE, PAGE_READWRITE));
    ASSERT_TRUE(pages != NULL);
    ASSERT_TRUE(VirtualAlloc(pages, system.dwPageSize, MEM_COMMIT, PAGE_READWRITE) != NULL);
    memset(pages, 'F', system.dwPageSize);
    std::string path = dir_ + "partial.tmp";
    EXPECT_EQ(E_FAIL, saver::WriteMovieFile(path.c_str(), pages, 2 * system.dwPageSize));
    EXPECT_FALSE(FileExistsAt(path));
    VirtualFree(pages, 0, MEM_RELEASE);

    // A folder that does not exist: no file either.
    EXPECT_EQ(E_FAIL, saver::WriteMovieFile((dir_ + "none\\x.tmp").c_str(), "FWS", 3));
}

// A top-level window to put containers in.
class Container : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(NULL)));
        ASSERT_TRUE(saver::InitControlHosting());
        parent_ = CreateWindowExA(0, "STATIC", "parent", WS_POPUP | WS_VISIBLE, 0, 0, 300, 200,
                                  NULL, NULL, GetModuleHandleA(NULL), NULL);
        ASSERT_TRUE(parent_ != NULL);
        log_ = ResetControlLog("container.log");
    }
    void TearDown() override {
        DestroyWindow(parent_);
        UnregisterFlashStandIn();
        CoUninitialize();
    }
    HWND parent_ = NULL;
    std::string log_;
};

TEST_F(Container, WithoutAControlItAnswersNothing) {
    saver::HostWindow host;
    void* flash = &host;
    EXPECT_EQ(E_FAIL, host.QueryControl(IID_IShockwaveFlash, &flash));
    EXPECT_EQ(NULL, flash);
    RECT rect = {10, 20, 110, 70};
    HWND window = host.CreateHostWindow(parent_, rect, WS_CHILD | WS_VISIBLE);
    ASSERT_TRUE(window != NULL);
    char className[32] = {0};
    GetClassNameA(window, className, sizeof(className));
    EXPECT_STREQ("AtlAxWin7", className);
    EXPECT_EQ(E_FAIL, host.QueryControl(IID_IUnknown, &flash));
    // Nothing registered under that name.
    EXPECT_TRUE(FAILED(host.CreateControl(L"ShockwaveFlash.ShockwaveFlash")));
    EXPECT_EQ(NULL, GetWindow(window, GW_CHILD));
    // The container answers for its site even without a control.
    IUnknown* site = reinterpret_cast<IUnknown*>(
        SendMessageA(window, RegisterWindowMessageA("WM_ATLGETHOST"), 0, 0));
    ASSERT_TRUE(site != NULL);
    site->Release();
    EXPECT_TRUE(host.DestroyWindow());
    EXPECT_EQ(NULL, host.Handle());
    EXPECT_FALSE(host.DestroyWindow());
}

TEST_F(Container, TheControlFillsTheContainerTakesItsFocusAndGoesWithIt) {
    ASSERT_TRUE(RegisterFlashStandIn(CLSID_TestRecording));
    saver::HostWindow host;
    RECT rect = {0, 0, 300, 200};
    HWND window = host.CreateHostWindow(parent_, rect, WS_CHILD | WS_VISIBLE);
    ASSERT_TRUE(window != NULL);
    IUnknown* control = NULL;
    IUnknown* container = NULL;
    ASSERT_EQ(S_OK,
              host.CreateControl(L"ShockwaveFlash.ShockwaveFlash", NULL, &container, &control));
    ASSERT_TRUE(control != NULL);
    ASSERT_TRUE(container != NULL);

    HWND child = GetWindow(window, GW_CHILD);
    ASSERT_TRUE(child != NULL);
    RECT area;
    GetClientRect(child, &area);
    EXPECT_EQ(300, area.right);
    EXPECT_EQ(200, area.bottom);

    // The same object through the container's message, with its own reference.
    IShockwaveFlash* flash = NULL;
    ASSERT_EQ(S_OK, host.QueryControl(IID_IShockwaveFlash, reinterpret_cast<void**>(&flash)));
    IUnknown* identity = NULL;
    flash->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
    EXPECT_EQ(control, identity);
    identity->Release();
    flash->Release();

    // The container follows its own size, and hands its focus to the control.
    MoveWindow(window, 0, 0, 120, 90, TRUE);
    GetClientRect(child, &area);
    EXPECT_EQ(120, area.right);
    EXPECT_EQ(90, area.bottom);
    SetFocus(window);
    EXPECT_EQ(child, GetFocus());

    control->Release();
    container->Release();
    EXPECT_TRUE(host.DestroyWindow());
    EXPECT_FALSE(IsWindow(child));
    std::vector<std::string> lines = ReadLines(log_);
    EXPECT_GE(LineIndex(lines, "InPlaceDeactivate"), 0);
    EXPECT_LT(LineIndex(lines, "InPlaceDeactivate"), LineIndex(lines, "SetClientSite null"));
    EXPECT_GE(LineIndex(lines, "destroy"), 0) << "the control was not released";
}

TEST_F(Container, ATitleNamesAControlToCreateWithTheWindow) {
    ASSERT_TRUE(RegisterFlashStandIn(CLSID_TestRecording));
    HWND window =
        CreateWindowExA(0, "AtlAxWin7", "ShockwaveFlash.ShockwaveFlash", WS_CHILD | WS_VISIBLE, 0,
                        0, 50, 40, parent_, NULL, GetModuleHandleA(NULL), NULL);
    ASSERT_TRUE(window != NULL);
    EXPECT_TRUE(GetWindow(window, GW_CHILD) != NULL);
    DestroyWindow(window);
    EXPECT_GE(LineIndex(ReadLines(log_), "destroy"), 0);
}

} // namespace
