// The player control as a container sees it: loaded from the built DLL, activated in
// place through a minimal site, given movies by URL and watched through its interface
// and its window.
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "movie_bytes.h"
#include "test_site.h"
#include "common/shockwave_flash.h"
#include "test_env.h"

namespace {

const CLSID kPlayerClsid = {
    0xF9EF14BC, 0x14FF, 0x4B69, {0xA7, 0x4E, 0xB3, 0xC2, 0x98, 0x5F, 0xF5, 0xE1}};

// An export of the DLL as the function type it has.
template <class Function> Function Export(HMODULE dll, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

// Runs the message loop for a while, so that timers fire and windows paint.
void Pump(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        MSG msg;
        while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    }
}

std::wstring Widen(const std::string& s) {
    std::wstring w(s.size(), L'\0');
    w.resize(MultiByteToWideChar(CP_ACP, 0, s.c_str(), static_cast<int>(s.size()), &w[0],
                                 static_cast<int>(w.size())));
    return w;
}

class PlayerControlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(NULL)));
        dll_ = LoadLibraryA(BinPath("FlickwellPlayer.dll").c_str());
        ASSERT_TRUE(dll_ != NULL);
        typedef HRESULT(STDAPICALLTYPE * GetClassObject)(REFCLSID, REFIID, void**);
        GetClassObject get = Export<GetClassObject>(dll_, "DllGetClassObject");
        ASSERT_TRUE(get != nullptr);
        IClassFactory* factory = nullptr;
        ASSERT_EQ(S_OK, get(kPlayerClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
        ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IShockwaveFlash,
                                                reinterpret_cast<void**>(&flash_)));
        factory->Release();
        parent_ = CreateWindowExA(0, "STATIC", "player test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                  0, 400, 300, NULL, NULL, NULL, NULL);
        ASSERT_TRUE(parent_ != NULL);
        scratch_ = MakeScratchDir("player_control");
    }

    void TearDown() override {
        if (flash_ != nullptr) {
            IOleObject* ole = nullptr;
            if (SUCCEEDED(flash_->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole)))) {
                ole->Close(OLECLOSE_NOSAVE);
                ole->SetClientSite(nullptr);
                ole->Release();
            }
            flash_->Release();
        }
        site_.reset();
        if (parent_ != NULL) {
            DestroyWindow(parent_);
        }
        if (dll_ != NULL) {
            typedef HRESULT(STDAPICALLTYPE * CanUnload)();
            CanUnload canUnload = Export<CanUnload>(dll_, "DllCanUnloadNow");
            EXPECT_EQ(S_OK, canUnload()) << "a reference to the control was left";
            FreeLibrary(dll_);
        }
        OleUninitialize();
    }

    // Activates the control in place at `place` of the parent; gives its window.
    HWND Activate(RECT place, LONG verb = OLEIVERB_INPLACEACTIVATE) {
        site_.reset(new TestSite(parent_, place));
        TestSite* site = site_.get();
        IOleObject* ole = nullptr;
        EXPECT_EQ(S_OK, flash_->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole)));
        EXPECT_EQ(S_OK, ole->SetClientSite(site));
        RECT none = {};
        EXPECT_EQ(S_OK, ole->DoVerb(verb, nullptr, site, 0, parent_, &none));
        ole->Release();
        return GetWindow(parent_, GW_CHILD);
    }

    std::wstring WriteMovie(const char* name, const std::vector<uint8_t>& bytes) {
        const std::string path = scratch_ + "\\" + name;
        EXPECT_TRUE(WriteFileBytes(path, std::vector<unsigned char>(bytes.begin(), bytes.end())));
        return L"file://" + Widen(path);
    }

    void LoadMovie(const std::wstring& url) {
        BSTR bstr = SysAllocString(url.c_str());
        EXPECT_EQ(S_OK, flash_->put_Movie(bstr));
        SysFreeString(bstr);
    }

    // A property read through the control's interface.
    template <class T> T Get(HRESULT (STDMETHODCALLTYPE IShockwaveFlash::*getter)(T*)) {
        T value = T();
        EXPECT_EQ(S_OK, (flash_->*getter)(&value));
        return value;
    }
    long Frame() { return Get(&IShockwaveFlash::get_FrameNum); }
    long TotalFrames() { return Get(&IShockwaveFlash::get_TotalFrames); }
    bool Playing() { return Get(&IShockwaveFlash::get_Playing) != VARIANT_FALSE; }
    long Background() { return Get(&IShockwaveFlash::get_BackgroundColor); }
    COLORREF PixelOf(HWND window, int x = 5, int y = 5) {
        RedrawWindow(window, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW);
        HDC dc = GetDC(window);
        const COLORREF pixel = GetPixel(dc, x, y);
        ReleaseDC(window, dc);
        return pixel;
    }

    // A pixel of the picture the control draws for a container into a memory bitmap.
    COLORREF ViewPixel() {
        IViewObject* view = nullptr;
        EXPECT_EQ(S_OK, flash_->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view)));
        HDC screen = GetDC(NULL);
        HDC memory = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, 40, 30);
        HGDIOBJ old = SelectObject(memory, bitmap);
        const RECTL bounds = {0, 0, 40, 30};
        EXPECT_EQ(S_OK, view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, NULL, memory, &bounds,
                                   nullptr, nullptr, 0));
        const COLORREF pixel = GetPixel(memory, 20, 15);
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(NULL, screen);
        view->Release();
        return pixel;
    }

    HMODULE dll_ = NULL;
    IShockwaveFlash* flash_ = nullptr;
    std::unique_ptr<TestSite> site_;
    HWND parent_ = NULL;
    std::string scratch_;
};

TEST_F(PlayerControlTest, InPlaceActivationFillsTheSiteRectangleAndCloseTakesItDown) {
    HWND window = Activate(RECT{10, 20, 210, 170}, OLEIVERB_SHOW);
    ASSERT_TRUE(window != NULL);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(window, GetFocus());
    RECT rect;
    GetWindowRect(window, &rect);
    MapWindowPoints(NULL, parent_, reinterpret_cast<POINT*>(&rect), 2);
    const RECT site = {10, 20, 210, 170};
    EXPECT_TRUE(EqualRect(&site, &rect));
    EXPECT_EQ(1, site_->activations);
    EXPECT_EQ(1, site_->uiActivations);

    IOleInPlaceObject* inPlace = nullptr;
    ASSERT_EQ(S_OK,
              flash_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)));
    RECT moved = {0, 0, 400, 300};
    EXPECT_EQ(S_OK, inPlace->SetObjectRects(&moved, &moved));
    GetClientRect(window, &rect);
    EXPECT_TRUE(EqualRect(&moved, &rect));
    inPlace->Release();
    IOleObject* ole = nullptr;
    ASSERT_EQ(S_OK, flash_->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole)));
    EXPECT_EQ(S_OK, ole->Close(OLECLOSE_NOSAVE));
    EXPECT_EQ(S_OK, ole->SetClientSite(nullptr));
    ole->Release();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(1, site_->uiDeactivations);
    EXPECT_EQ(1, site_->deactivations);
    EXPECT_EQ(1u, site_->References()) << "the control still holds its site";
}

// A movie given before activation (as a host loading saved properties does) plays once
// the window exists; the runtime's own URL form ("file://", backslashes, unescaped).
TEST_F(PlayerControlTest, PlaysAMovieInTheFormTheRuntimeWritesItsUrl) {
    MovieSpec spec;
    spec.red = 0x12;
    spec.green = 0x9A;
    spec.blue = 0xEF;
    spec.frameRate = 50;
    spec.frameCount = 1000;
    const std::wstring url = WriteMovie("swf001A2.tmp", MovieBytes(spec));
    LoadMovie(url);
    EXPECT_EQ(S_OK, flash_->Play());
    HWND window = Activate(RECT{0, 0, 200, 150});
    BSTR got = nullptr;
    EXPECT_EQ(S_OK, flash_->get_Movie(&got));
    EXPECT_EQ(url, std::wstring(got));
    SysFreeString(got);
    EXPECT_EQ(1000, TotalFrames());
    EXPECT_EQ(0x129AEF, Background());
    EXPECT_EQ(RGB(0x12, 0x9A, 0xEF), PixelOf(window));
    EXPECT_TRUE(Playing());
    Pump(400);
    const long after = Frame();
    EXPECT_GE(after, 5) << "50 frames a second for 0.4 s";
    EXPECT_LE(after, 40);

    // Other processes read the same through the window.
    const UINT query = RegisterWindowMessageA("FlickwellPlayerQuery");
    EXPECT_EQ(1000, SendMessageA(window, query, 2, 0));
    EXPECT_EQ(0x129AEF, SendMessageA(window, query, 3, 0));
    EXPECT_EQ(-1, SendMessageA(window, query, 99, 0));
    EXPECT_EQ(S_OK, flash_->Stop());
    EXPECT_EQ(0, SendMessageA(window, query, 1, 0));
    const long stopped = Frame();
    EXPECT_EQ(stopped, SendMessageA(window, query, 0, 0));
    Pump(200);
    EXPECT_EQ(stopped, Frame());
    EXPECT_EQ(S_OK, flash_->Play());
    Pump(200);
    EXPECT_GT(Frame(), stopped);
}

TEST_F(PlayerControlTest, AtTheEndTheMovieLoopsOrStopsAsTold) {
    Activate(RECT{0, 0, 50, 50});
    MovieSpec spec;
    spec.frameRate = 40;
    spec.frameCount = 4;
    LoadMovie(WriteMovie("short.swf", MovieBytes(spec)));
    EXPECT_EQ(S_OK, flash_->put_Loop(VARIANT_FALSE));
    EXPECT_EQ(S_OK, flash_->Play());
    Pump(600);
    EXPECT_FALSE(Playing());
    EXPECT_EQ(3, Frame()) << "held on the last frame";

    EXPECT_EQ(S_OK, flash_->put_Loop(VARIANT_TRUE));
    EXPECT_EQ(S_OK, flash_->Play());
    long highest = 0, previous = Frame();
    bool wrapped = false;
    for (const DWORD start = GetTickCount(); GetTickCount() - start < 600; Pump(10)) {
        const long now = Frame();
        wrapped = wrapped || now < previous;
        highest = now > highest ? now : highest;
        previous = now;
    }
    EXPECT_TRUE(Playing());
    EXPECT_TRUE(wrapped);
    EXPECT_EQ(3, highest);
}

TEST_F(PlayerControlTest, MissingOrDamagedMoviesLeaveABlackWindowAndNoError) {
    HWND window = Activate(RECT{0, 0, 80, 60});
    // A cut-short movie plays its whole frames, as in Flash; one whose signature is broken
    // is no movie at all.
    std::vector<uint8_t> damaged = MovieBytes(MovieSpec());
    damaged[0] = 'X';
    for (const std::wstring& url :
         {L"file://" + Widen(scratch_) + L"\\missing.swf", WriteMovie("damaged.swf", damaged),
          WriteMovie("empty.swf", {}), std::wstring(L"http://example.invalid/movie.swf"),
          std::wstring()}) {
        SCOPED_TRACE(std::string(url.begin(), url.end()));
        LoadMovie(url);
        EXPECT_EQ(S_OK, flash_->Play());
        EXPECT_EQ(0, TotalFrames());
        EXPECT_FALSE(Playing());
        EXPECT_EQ(0, Background());
        EXPECT_EQ(RGB(0, 0, 0), PixelOf(window));
        Pump(50);
        EXPECT_EQ(0, Frame());
    }
}

// A movie that sets no colour has a white stage; what is reported is what is drawn, in the
// window and for a container drawing the control itself.
TEST_F(PlayerControlTest, ReadsTheUsualFileUrlFormAndHostColoursWinOverTheMovies) {
    HWND window = Activate(RECT{0, 0, 80, 60});
    MovieSpec spec;
    spec.background = false;
    spec.compressed = true;
    std::wstring url = WriteMovie("plain url.swf", MovieBytes(spec));
    std::wstring proper = L"file:///"; // file:///Z:/folder/plain%20url.swf
    for (wchar_t c : url.substr(7)) {
        proper += c == L'\\' ? L"/" : c == L' ' ? L"%20" : std::wstring(1, c);
    }
    LoadMovie(proper);
    EXPECT_EQ(3, TotalFrames());
    EXPECT_EQ(0xFFFFFF, Background());
    const COLORREF stageColour = RGB(255, 255, 255);
    EXPECT_EQ(stageColour, PixelOf(window));
    // A host's own colour wins until it gives the choice back with -1.
    EXPECT_EQ(S_OK, flash_->put_BackgroundColor(0x00C000));
    EXPECT_EQ(0x00C000, Background());
    EXPECT_EQ(RGB(0, 0xC0, 0), PixelOf(window));
    EXPECT_EQ(RGB(0, 0xC0, 0), ViewPixel());
    EXPECT_EQ(S_OK, flash_->put_BackgroundColor(-1));
    EXPECT_EQ(stageColour, PixelOf(window));
    EXPECT_EQ(stageColour, ViewPixel());
}

// The default movie: an orange square gliding from the stage's top left corner (frame 0)
// to its bottom right (frame 24) on a blue stage, 12 frames a second. At half the stage's
// size the square starts at (10,10)-(50,50) and reaches (225,150)-(265,190).
TEST_F(PlayerControlTest, TheWindowShowsTheEnginesFramesAsTheyComeAndJumps) {
    const COLORREF square = RGB(0xF2, 0xA0, 0x2C), stage = RGB(0x1E, 0x4A, 0x7A);
    HWND window = Activate(RECT{0, 0, 275, 200});
    LoadMovie(L"file://" + Widen(GeneratedPath("default.swf")));
    EXPECT_EQ(S_OK, flash_->Stop());
    EXPECT_EQ(square, PixelOf(window, 30, 30));
    EXPECT_EQ(stage, PixelOf(window, 245, 170));
    EXPECT_EQ(S_OK, flash_->GotoFrame(24));
    EXPECT_EQ(stage, PixelOf(window, 30, 30));
    EXPECT_EQ(square, PixelOf(window, 245, 170));

    // Played, the frames reach the screen by themselves: no repaint is asked for here.
    EXPECT_EQ(S_OK, flash_->GotoFrame(0));
    EXPECT_EQ(S_OK, flash_->Play());
    Pump(700);
    EXPECT_GE(Frame(), 4);
    HDC dc = GetDC(window);
    EXPECT_EQ(stage, GetPixel(dc, 30, 30)) << "frame " << Frame();
    ReleaseDC(window, dc);
}

// An ANSI subclass procedure, as the screen saver puts on the control's window.
WNDPROC g_savedProc = nullptr;
LRESULT CALLBACK PassOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcA(g_savedProc, window, message, wParam, lParam);
}

TEST_F(PlayerControlTest, ReadsAMovieWhosePathIsNotAsciiUnderAnAnsiSubclass) {
    HWND window = Activate(RECT{0, 0, 80, 60});
    g_savedProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PassOn)));
    // "Фильм ü.swf": Cyrillic and Latin-1 letters, outside any one ANSI code page.
    const std::wstring path = Widen(scratch_) + L"\\\x0424\x0438\x043B\x044C\x043C \x00FC.swf";
    MovieSpec spec;
    spec.frameCount = 9;
    const std::vector<uint8_t> bytes = MovieBytes(spec);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, NULL);
    CloseHandle(file);
    LoadMovie(L"file://" + path);
    EXPECT_EQ(9, TotalFrames());
    wchar_t text[MAX_PATH] = {0};
    // What another process sees: the stored text, not a WM_GETTEXT through the subclass.
    InternalGetWindowText(window, text, MAX_PATH);
    EXPECT_EQ(L"file://" + path, std::wstring(text));
    EXPECT_EQ(RGB(0x20, 0x40, 0x80), PixelOf(window));
    Pump(300);
    EXPECT_GT(Frame(), 0);
}

TEST_F(PlayerControlTest, ScriptsReachTheSameMembersThroughIDispatch) {
    Activate(RECT{0, 0, 80, 60});
    MovieSpec spec;
    spec.frameCount = 7;
    LoadMovie(WriteMovie("dispatch.swf", MovieBytes(spec)));
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Movie"), const_cast<LPOLESTR>(L"TotalFrames"),
                        const_cast<LPOLESTR>(L"stop"), const_cast<LPOLESTR>(L"NoSuchMember")};
    DISPID ids[4];
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(S_OK, flash_->GetIDsOfNames(IID_NULL, &names[i], 1, 0, &ids[i]));
    }
    EXPECT_EQ(0x66, ids[0]);
    EXPECT_EQ(DISP_E_UNKNOWNNAME, flash_->GetIDsOfNames(IID_NULL, &names[3], 1, 0, &ids[3]));
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(S_OK, flash_->Invoke(ids[1], IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result,
                                   nullptr, nullptr));
    EXPECT_EQ(VT_I4, V_VT(&result));
    EXPECT_EQ(7, V_I4(&result));
    EXPECT_TRUE(Playing());
    EXPECT_EQ(S_OK, flash_->Invoke(ids[2], IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr,
                                   nullptr));
    EXPECT_FALSE(Playing());
}

} // namespace
