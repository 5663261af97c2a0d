#include "saver/saver_player.h"

#include "common/package_layout.h"
#include "common/string_table_block.h"
#include "common/unique_handle.h"
#include "saver/platform/heap_object.h"
#include "saver/platform/screen_saver.h"
#include "saver/platform/shockwave_flash.h"
#include "saver/resource.h"

#include <cstdio>

namespace saver {

SaverPlayer player;
HWND saverWindow = NULL;
WNDPROC savedControlProc = NULL;

namespace {

const char kUrlPrefix[] = "file://";
const int kUrlPrefixLength = sizeof(kUrlPrefix) - 1;
const UINT kMovieResource = package::kMovieId;

// The largest URL: the prefix and a whole path.
const int kMaxUrl = kUrlPrefixLength + MAX_PATH;

// Releases an interface pointer at the end of its scope.
template <class T> class ComPtr {
  public:
    ComPtr() : pointer_(NULL) {}
    ~ComPtr() {
        if (pointer_ != NULL) {
            pointer_->Release();
        }
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    T* operator->() const { return pointer_; }
    void** Out() { return reinterpret_cast<void**>(&pointer_); }

  private:
    T* pointer_;
};

} // namespace

bool FormatMoviePath(char (&path)[MAX_PATH], const char* tempDir, DWORD tickCount) {
    int length =
        _snprintf(path, MAX_PATH, "%s\\swf%05X.tmp", tempDir, static_cast<unsigned>(tickCount));
    if (length < 0 || length >= MAX_PATH) {
        path[0] = '\0';
        return false;
    }
    return true;
}

HRESULT WriteMovieFile(const char* path, const void* data, DWORD size) {
    FileHandle file(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_TEMPORARY, NULL));
    if (!file.Valid()) {
        return E_FAIL;
    }
    DWORD written = 0;
    WriteFile(file.Get(), data, size, &written, NULL);
    file.Reset(INVALID_HANDLE_VALUE);
    if (written < size) {
        DeleteFileA(path);
        return E_FAIL;
    }
    return S_OK;
}

UINT UrlCodePage() {
    static UINT codePage = 0; // decided once per process
    if (codePage == 0) {
        codePage = StringTableBlock::ThreadCodePage();
    }
    return codePage;
}

void ShowSaverError(HWND owner, UINT messageId) {
    char text[MAX_PATH] = {0};
    LoadStringA(GetModuleHandleA(NULL), messageId, text, MAX_PATH);
    MessageBoxA(owner, text, "Screen Saver Error", MB_ICONERROR);
}

SaverPlayer::SaverPlayer() : host_(NULL) {
    moviePath_[0] = '\0';
}

// The host object only names the container; the window, if still there, goes with the
// process.
SaverPlayer::~SaverPlayer() {
    HeapDelete(host_);
}

HRESULT SaverPlayer::ExtractMovie(UINT resourceId) {
    char tempDir[MAX_PATH] = {0};
    DWORD length = GetTempPathA(MAX_PATH, tempDir);
    if (length == 0 || length >= MAX_PATH) {
        // No folder, or one too long for the buffer (then only its length came back).
        return E_FAIL;
    }
    return ExtractMovieFrom(GetModuleHandleA(NULL), resourceId, tempDir, GetTickCount());
}

HRESULT SaverPlayer::ExtractMovieFrom(HMODULE module, UINT resourceId, const char* tempDir,
                                      DWORD tickCount) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(resourceId), "swf");
    if (found == NULL) {
        return E_FAIL;
    }
    HGLOBAL loaded = LoadResource(module, found);
    if (loaded == NULL) {
        return E_FAIL;
    }
    const void* data = LockResource(loaded);
    if (data == NULL) {
        return E_FAIL;
    }
    if (!FormatMoviePath(moviePath_, tempDir, tickCount)) {
        return E_FAIL;
    }
    return WriteMovieFile(moviePath_, data, SizeofResource(module, found));
}

HRESULT SaverPlayer::StartMovie(HWND window) {
    const UINT codePage = UrlCodePage();
    saverWindow = window;

    HRESULT hr = CoInitialize(NULL);
    if (FAILED(hr)) {
        ShowSaverError(window, IDS_ERR_COM_INIT);
        return hr;
    }
    hr = ControlModule::Init(GetModuleHandleA(NULL));
    if (FAILED(hr)) {
        ShowSaverError(window, IDS_ERR_MODULE_INIT);
        return hr;
    }
    InitControlHosting();
    host_ = HeapNew<HostWindow>();
    if (host_ == NULL) {
        ShowSaverError(window, IDS_ERR_CREATE_WINDOW);
        return E_OUTOFMEMORY;
    }

    RECT area;
    GetClientRect(window, &area);
    if (host_->CreateHostWindow(window, area, WS_CHILD | WS_VISIBLE) == NULL) {
        ShowSaverError(window, IDS_ERR_CREATE_WINDOW);
        return E_FAIL;
    }
    if (FAILED(ExtractMovie(kMovieResource))) {
        host_->DestroyWindow();
        return E_FAIL;
    }

    // From here on a failure removes the movie file again.
    hr = host_->CreateControl(kFlashProgId);
    if (FAILED(hr)) {
        ShowSaverError(window, IDS_ERR_CREATE_CONTROL);
        DeleteFileA(moviePath_);
        return hr;
    }
    ComPtr<IShockwaveFlash> flash;
    hr = host_->QueryControl(IID_IShockwaveFlash, flash.Out());
    if (FAILED(hr)) {
        ShowSaverError(window, IDS_ERR_NO_INTERFACE);
        DeleteFileA(moviePath_);
        return hr;
    }

    HWND control = GetWindow(host_->Handle(), GW_CHILD);
    savedControlProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlInputProc)));

    char url[kMaxUrl + 1] = {0};
    lstrcpynA(url, kUrlPrefix, sizeof(url));
    lstrcpynA(url + kUrlPrefixLength, moviePath_, MAX_PATH);
    int length = lstrlenA(url);
    wchar_t wideUrl[kMaxUrl + 1] = {0};
    MultiByteToWideChar(codePage, 0, url, -1, wideUrl, length + 1);
    Bstr movie(SysAllocString(wideUrl));

    hr = flash->put_Movie(movie.Get());
    if (SUCCEEDED(hr)) {
        hr = flash->put_Loop(1); // 1, as the control has always been given, not VARIANT_TRUE
    }
    if (SUCCEEDED(hr)) {
        hr = flash->Play();
    }
    if (FAILED(hr)) {
        ShowSaverError(window, IDS_ERR_FLASH);
        DeleteFileA(moviePath_);
        return hr;
    }
    return S_OK;
}

void SaverPlayer::StopMovie() {
    IShockwaveFlash* flash = NULL;
    HRESULT hr = host_ != NULL
                     ? host_->QueryControl(IID_IShockwaveFlash, reinterpret_cast<void**>(&flash))
                     : E_FAIL;
    if (FAILED(hr)) {
        ShowSaverError(host_ != NULL ? host_->Handle() : NULL, IDS_ERR_NO_INTERFACE);
        if (flash != NULL) {
            flash->Release();
        }
        return;
    }
    flash->Stop();
    flash->Release();
    host_->DestroyWindow();
    DeleteFileA(moviePath_);
    HeapDelete(host_);
    host_ = NULL;
    ControlModule::Term();
    CoUninitialize();
}

LRESULT CALLBACK ControlInputProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    // What decides closing goes to the framework, in the name of the screen saver window.
    case WM_DESTROY:
    case WM_ACTIVATE:
    case WM_ACTIVATEAPP:
    case WM_SETCURSOR:
    case WM_NCACTIVATE:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSCOMMAND:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        return DefScreenSaverProc(saverWindow, message, wParam, lParam);
    case WM_PAINT:
        CallWindowProcA(savedControlProc, control, message, wParam, lParam);
        return 0;
    default:
        return CallWindowProcA(savedControlProc, control, message, wParam, lParam);
    }
}

} // namespace saver

using saver::player;

LRESULT WINAPI ScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        player.StartMovie(window);
        return 0;
    case WM_DESTROY:
        player.StopMovie();
        return 0;
    default:
        return DefScreenSaverProc(window, message, wParam, lParam);
    }
}

INT_PTR CALLBACK ScreenSaverConfigureDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            EndDialog(dialog, TRUE);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, FALSE);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

BOOL WINAPI RegisterDialogClasses(HANDLE) {
    return TRUE;
}
