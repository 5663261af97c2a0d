// The test controls (see test_control.h). Only what in-place activation and the
// runtime's four calls need is real; the rest of the Flash interface answers E_NOTIMPL.
#include "test_control.h"

#include "saver/platform/shockwave_flash.h"

#include <ole2.h>
#include <olectl.h>

#include <cstdio>

namespace {

HINSTANCE dllInstance = NULL;
LONG objects = 0;
LONG locks = 0;

enum class Kind { NoFlash, FailingMovie, Recording };

void Log(const char* format, ...) {
    char path[MAX_PATH] = {0};
    if (GetEnvironmentVariableA("FLICKWELL_CONTROL_LOG", path, MAX_PATH) == 0) {
        return;
    }
    char line[1024];
    va_list args;
    va_start(args, format);
    int length = _vsnprintf(line, sizeof(line) - 2, format, args);
    va_end(args);
    if (length < 0) {
        length = sizeof(line) - 2;
    }
    line[length++] = '\n';
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_ALWAYS, 0, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, line, length, &written, NULL);
        CloseHandle(file);
    }
}

LRESULT CALLBACK ControlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_MBUTTONDOWN:
        Log("window WM_MBUTTONDOWN");
        return 0;
    case WM_KEYDOWN:
        Log("window WM_KEYDOWN");
        return 0;
    case WM_DESTROY:
        Log("window WM_DESTROY");
        break;
    case WM_NCDESTROY:
        Log("window WM_NCDESTROY");
        break;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        HBRUSH brush = CreateSolidBrush(RGB(0, 0, 200));
        FillRect(dc, &paint.rcPaint, brush);
        DeleteObject(brush);
        EndPaint(window, &paint);
        return 0;
    }
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

#define NOT_IMPLEMENTED(name, params)                                                              \
    STDMETHODIMP name params override {                                                            \
        return E_NOTIMPL;                                                                          \
    }

class TestControl final : public IShockwaveFlash, public IOleObject, public IOleInPlaceObject {
  public:
    explicit TestControl(Kind kind)
        : references_(1), kind_(kind), site_(NULL), inPlaceSite_(NULL), window_(NULL) {
        moviePath_[0] = L'\0';
        InterlockedIncrement(&objects);
        Log("create %d", static_cast<int>(kind));
    }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = NULL;
        if (iid == IID_IUnknown || iid == IID_IOleObject) {
            *out = static_cast<IOleObject*>(this);
        } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject) {
            *out = static_cast<IOleInPlaceObject*>(this);
        } else if ((iid == IID_IShockwaveFlash || iid == IID_IDispatch) && kind_ != Kind::NoFlash) {
            *out = static_cast<IShockwaveFlash*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG left = InterlockedDecrement(&references_);
        if (left == 0) {
            Log("destroy");
            delete this;
        }
        return left;
    }

    // IDispatch
    NOT_IMPLEMENTED(GetTypeInfoCount, (UINT*))
    NOT_IMPLEMENTED(GetTypeInfo, (UINT, LCID, ITypeInfo**))
    NOT_IMPLEMENTED(GetIDsOfNames, (REFIID, LPOLESTR*, UINT, LCID, DISPID*))
    NOT_IMPLEMENTED(Invoke, (DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*))

    // IShockwaveFlash: the four calls the runtime makes.
    STDMETHODIMP put_Movie(BSTR url) override {
        char narrow[1024] = {0};
        WideCharToMultiByte(CP_UTF8, 0, url, -1, narrow, sizeof(narrow) - 1, NULL, NULL);
        Log("put_Movie %s", narrow);
        const wchar_t prefix[] = L"file://";
        if (wcsncmp(url, prefix, 7) == 0) {
            lstrcpynW(moviePath_, url + 7, MAX_PATH);
        }
        return kind_ == Kind::FailingMovie ? E_FAIL : S_OK;
    }
    STDMETHODIMP put_Loop(VARIANT_BOOL loop) override {
        Log("put_Loop %d", static_cast<int>(loop));
        return S_OK;
    }
    STDMETHODIMP Play() override {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        Log("Play %lld", static_cast<long long>(now.QuadPart));
        return S_OK;
    }
    STDMETHODIMP Stop() override {
        Log("Stop");
        return S_OK;
    }
    NOT_IMPLEMENTED(get_ReadyState, (long*))
    NOT_IMPLEMENTED(get_TotalFrames, (long*))
    NOT_IMPLEMENTED(get_Playing, (VARIANT_BOOL*))
    NOT_IMPLEMENTED(put_Playing, (VARIANT_BOOL))
    NOT_IMPLEMENTED(get_Quality, (int*))
    NOT_IMPLEMENTED(put_Quality, (int))
    NOT_IMPLEMENTED(get_ScaleMode, (int*))
    NOT_IMPLEMENTED(put_ScaleMode, (int))
    NOT_IMPLEMENTED(get_AlignMode, (int*))
    NOT_IMPLEMENTED(put_AlignMode, (int))
    NOT_IMPLEMENTED(get_BackgroundColor, (long*))
    NOT_IMPLEMENTED(put_BackgroundColor, (long))
    NOT_IMPLEMENTED(get_Loop, (VARIANT_BOOL*))
    NOT_IMPLEMENTED(get_Movie, (BSTR*))
    NOT_IMPLEMENTED(get_FrameNum, (long*))
    NOT_IMPLEMENTED(put_FrameNum, (long))
    NOT_IMPLEMENTED(SetZoomRect, (long, long, long, long))
    NOT_IMPLEMENTED(Zoom, (int))
    NOT_IMPLEMENTED(Pan, (long, long, int))
    NOT_IMPLEMENTED(Back, ())
    NOT_IMPLEMENTED(Forward, ())
    NOT_IMPLEMENTED(Rewind, ())
    NOT_IMPLEMENTED(StopPlay, ())
    NOT_IMPLEMENTED(GotoFrame, (long))
    NOT_IMPLEMENTED(CurrentFrame, (long*))
    NOT_IMPLEMENTED(IsPlaying, (VARIANT_BOOL*))
    NOT_IMPLEMENTED(PercentLoaded, (long*))
    NOT_IMPLEMENTED(FrameLoaded, (long, VARIANT_BOOL*))
    NOT_IMPLEMENTED(FlashVersion, (long*))
    NOT_IMPLEMENTED(get_WMode, (BSTR*))
    NOT_IMPLEMENTED(put_WMode, (BSTR))
    NOT_IMPLEMENTED(get_SAlign, (BSTR*))
    NOT_IMPLEMENTED(put_SAlign, (BSTR))
    NOT_IMPLEMENTED(get_Menu, (VARIANT_BOOL*))
    NOT_IMPLEMENTED(put_Menu, (VARIANT_BOOL))
    NOT_IMPLEMENTED(get_Base, (BSTR*))
    NOT_IMPLEMENTED(put_Base, (BSTR))
    NOT_IMPLEMENTED(get_Scale, (BSTR*))
    NOT_IMPLEMENTED(put_Scale, (BSTR))
    NOT_IMPLEMENTED(get_DeviceFont, (VARIANT_BOOL*))
    NOT_IMPLEMENTED(put_DeviceFont, (VARIANT_BOOL))
    NOT_IMPLEMENTED(get_EmbedMovie, (VARIANT_BOOL*))
    NOT_IMPLEMENTED(put_EmbedMovie, (VARIANT_BOOL))
    NOT_IMPLEMENTED(get_BGColor, (BSTR*))
    NOT_IMPLEMENTED(put_BGColor, (BSTR))
    NOT_IMPLEMENTED(get_Quality2, (BSTR*))
    NOT_IMPLEMENTED(put_Quality2, (BSTR))
    NOT_IMPLEMENTED(LoadMovie, (int, BSTR))
    NOT_IMPLEMENTED(TGotoFrame, (BSTR, long))
    NOT_IMPLEMENTED(TGotoLabel, (BSTR, BSTR))
    NOT_IMPLEMENTED(TCurrentFrame, (BSTR, long*))
    NOT_IMPLEMENTED(TCurrentLabel, (BSTR, BSTR*))
    NOT_IMPLEMENTED(TPlay, (BSTR))
    NOT_IMPLEMENTED(TStopPlay, (BSTR))
    NOT_IMPLEMENTED(SetVariable, (BSTR, BSTR))
    NOT_IMPLEMENTED(GetVariable, (BSTR, BSTR*))
    NOT_IMPLEMENTED(TSetProperty, (BSTR, int, BSTR))
    NOT_IMPLEMENTED(TGetProperty, (BSTR, int, BSTR*))
    NOT_IMPLEMENTED(TCallFrame, (BSTR, int))
    NOT_IMPLEMENTED(TCallLabel, (BSTR, BSTR))
    NOT_IMPLEMENTED(TSetPropertyNum, (BSTR, int, double))
    NOT_IMPLEMENTED(TGetPropertyNum, (BSTR, int, double*))
    NOT_IMPLEMENTED(TGetPropertyAsNumber, (BSTR, int, double*))
    NOT_IMPLEMENTED(get_SWRemote, (BSTR*))
    NOT_IMPLEMENTED(put_SWRemote, (BSTR))
    NOT_IMPLEMENTED(get_FlashVars, (BSTR*))
    NOT_IMPLEMENTED(put_FlashVars, (BSTR))
    NOT_IMPLEMENTED(get_AllowScriptAccess, (BSTR*))
    NOT_IMPLEMENTED(put_AllowScriptAccess, (BSTR))
    NOT_IMPLEMENTED(get_MovieData, (BSTR*))
    NOT_IMPLEMENTED(put_MovieData, (BSTR))
    NOT_IMPLEMENTED(get_InlineData, (IUnknown**))
    NOT_IMPLEMENTED(put_InlineData, (IUnknown*))
    NOT_IMPLEMENTED(get_SeamlessTabbing, (VARIANT_BOOL*))
    NOT_IMPLEMENTED(put_SeamlessTabbing, (VARIANT_BOOL))
    NOT_IMPLEMENTED(EnforceLocalSecurity, ())
    NOT_IMPLEMENTED(get_Profile, (VARIANT_BOOL*))
    NOT_IMPLEMENTED(put_Profile, (VARIANT_BOOL))
    NOT_IMPLEMENTED(get_ProfileAddress, (BSTR*))
    NOT_IMPLEMENTED(put_ProfileAddress, (BSTR))
    NOT_IMPLEMENTED(get_ProfilePort, (long*))
    NOT_IMPLEMENTED(put_ProfilePort, (long))
    NOT_IMPLEMENTED(CallFunction, (BSTR, BSTR*))
    NOT_IMPLEMENTED(SetReturnValue, (BSTR))
    NOT_IMPLEMENTED(DisableLocalSecurity, ())
    NOT_IMPLEMENTED(get_AllowNetworking, (BSTR*))
    NOT_IMPLEMENTED(put_AllowNetworking, (BSTR))
    NOT_IMPLEMENTED(get_AllowFullScreen, (BSTR*))
    NOT_IMPLEMENTED(put_AllowFullScreen, (BSTR))

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override {
        Log("SetClientSite %s", site != NULL ? "site" : "null");
        if (site != NULL) {
            site->AddRef();
        }
        if (site_ != NULL) {
            site_->Release();
        }
        site_ = site;
        return S_OK;
    }
    STDMETHODIMP GetClientSite(IOleClientSite** site) override {
        *site = site_;
        if (site_ != NULL) {
            site_->AddRef();
        }
        return S_OK;
    }
    NOT_IMPLEMENTED(SetHostNames, (LPCOLESTR, LPCOLESTR))
    STDMETHODIMP Close(DWORD) override {
        Log("Close");
        return S_OK;
    }
    NOT_IMPLEMENTED(SetMoniker, (DWORD, IMoniker*))
    NOT_IMPLEMENTED(GetMoniker, (DWORD, DWORD, IMoniker**))
    NOT_IMPLEMENTED(InitFromData, (IDataObject*, BOOL, DWORD))
    NOT_IMPLEMENTED(GetClipboardData, (DWORD, IDataObject**))
    STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent,
                        LPCRECT) override {
        Log("DoVerb %ld", verb);
        if (verb != OLEIVERB_INPLACEACTIVATE && verb != OLEIVERB_UIACTIVATE &&
            verb != OLEIVERB_SHOW) {
            return E_NOTIMPL;
        }
        if (window_ != NULL) {
            return S_OK;
        }
        IOleInPlaceSite* inPlace = NULL;
        if (site == NULL ||
            FAILED(site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlace)))) {
            return E_INVALIDARG;
        }
        if (inPlace->CanInPlaceActivate() != S_OK) {
            inPlace->Release();
            return E_FAIL;
        }
        inPlace->OnInPlaceActivate();
        IOleInPlaceFrame* frame = NULL;
        IOleInPlaceUIWindow* document = NULL;
        RECT position = {0, 0, 0, 0};
        RECT clip = {0, 0, 0, 0};
        OLEINPLACEFRAMEINFO info;
        info.cb = sizeof(info);
        inPlace->GetWindowContext(&frame, &document, &position, &clip, &info);
        if (frame != NULL) {
            frame->Release();
        }
        if (document != NULL) {
            document->Release();
        }
        HWND siteWindow = NULL;
        inPlace->GetWindow(&siteWindow);
        window_ = CreateWindowExA(
            0, kTestControlClass, "", WS_CHILD | WS_VISIBLE, position.left, position.top,
            position.right - position.left, position.bottom - position.top,
            siteWindow != NULL ? siteWindow : parent, NULL, dllInstance, NULL);
        Log("activated %ld %ld %ld %ld", position.left, position.top, position.right,
            position.bottom);
        inPlaceSite_ = inPlace;
        return window_ != NULL ? S_OK : E_FAIL;
    }
    NOT_IMPLEMENTED(EnumVerbs, (IEnumOLEVERB**))
    NOT_IMPLEMENTED(Update, ())
    NOT_IMPLEMENTED(IsUpToDate, ())
    NOT_IMPLEMENTED(GetUserClassID, (CLSID*))
    NOT_IMPLEMENTED(GetUserType, (DWORD, LPOLESTR*))
    STDMETHODIMP SetExtent(DWORD, SIZEL*) override { return S_OK; }
    NOT_IMPLEMENTED(GetExtent, (DWORD, SIZEL*))
    NOT_IMPLEMENTED(Advise, (IAdviseSink*, DWORD*))
    NOT_IMPLEMENTED(Unadvise, (DWORD))
    NOT_IMPLEMENTED(EnumAdvise, (IEnumSTATDATA**))
    STDMETHODIMP GetMiscStatus(DWORD, DWORD* status) override {
        *status = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE;
        return S_OK;
    }
    NOT_IMPLEMENTED(SetColorScheme, (LOGPALETTE*))

    // IOleWindow, IOleInPlaceObject
    STDMETHODIMP GetWindow(HWND* window) override {
        *window = window_;
        return window_ != NULL ? S_OK : E_FAIL;
    }
    NOT_IMPLEMENTED(ContextSensitiveHelp, (BOOL))
    // Says whether the movie file is still there: it must outlive the control's window.
    STDMETHODIMP InPlaceDeactivate() override {
        Log("InPlaceDeactivate movie file %s",
            moviePath_[0] == L'\0'                                      ? "unnamed"
            : GetFileAttributesW(moviePath_) != INVALID_FILE_ATTRIBUTES ? "present"
                                                                        : "gone");
        if (window_ != NULL) {
            DestroyWindow(window_);
            window_ = NULL;
        }
        if (inPlaceSite_ != NULL) {
            inPlaceSite_->OnInPlaceDeactivate();
            inPlaceSite_->Release();
            inPlaceSite_ = NULL;
        }
        return S_OK;
    }
    NOT_IMPLEMENTED(UIDeactivate, ())
    STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT) override {
        if (window_ != NULL) {
            MoveWindow(window_, position->left, position->top, position->right - position->left,
                       position->bottom - position->top, TRUE);
        }
        return S_OK;
    }
    NOT_IMPLEMENTED(ReactivateAndUndo, ())

  private:
    ~TestControl() {
        if (site_ != NULL) {
            site_->Release();
        }
        InterlockedDecrement(&objects);
    }

    LONG references_;
    Kind kind_;
    IOleClientSite* site_;
    IOleInPlaceSite* inPlaceSite_;
    HWND window_;
    wchar_t moviePath_[MAX_PATH];
};

class Factory final : public IClassFactory {
  public:
    explicit Factory(Kind kind) : kind_(kind) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = NULL;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = this;
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        *out = NULL;
        if (outer != NULL) {
            return CLASS_E_NOAGGREGATION;
        }
        TestControl* control = new TestControl(kind_);
        HRESULT hr = control->QueryInterface(iid, out);
        control->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock) {
            InterlockedIncrement(&locks);
        } else {
            InterlockedDecrement(&locks);
        }
        return S_OK;
    }

  private:
    Kind kind_;
};

Factory noFlashFactory(Kind::NoFlash);
Factory failingMovieFactory(Kind::FailingMovie);
Factory recordingFactory(Kind::Recording);

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        dllInstance = instance;
        DisableThreadLibraryCalls(instance);
        WNDCLASSA windowClass;
        ZeroMemory(&windowClass, sizeof(windowClass));
        windowClass.lpfnWndProc = ControlWindowProc;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = kTestControlClass;
        RegisterClassA(&windowClass);
    }
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (clsid == CLSID_TestNoFlash) {
        return noFlashFactory.QueryInterface(iid, out);
    }
    if (clsid == CLSID_TestFailingMovie) {
        return failingMovieFactory.QueryInterface(iid, out);
    }
    if (clsid == CLSID_TestRecording) {
        return recordingFactory.QueryInterface(iid, out);
    }
    *out = NULL;
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT WINAPI DllCanUnloadNow() {
    return objects == 0 && locks == 0 ? S_OK : S_FALSE;
}
