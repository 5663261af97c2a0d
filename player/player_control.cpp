#include "player/player_control.h"

#include <olectl.h>

#include <new>
#include <vector>

#include "common/unique_handle.h"
#include "player/movie_url.h"

// {F9EF14BC-14FF-4B69-A74E-B3C2985FF5E1}
const CLSID CLSID_FlickwellPlayer = {
    0xF9EF14BC, 0x14FF, 0x4B69, {0xA7, 0x4E, 0xB3, 0xC2, 0x98, 0x5F, 0xF5, 0xE1}};
const wchar_t kPlayerWindowClass[] = L"FlickwellPlayer";
const wchar_t kPlayerQueryMessage[] = L"FlickwellPlayerQuery";
const DWORD kPlayerMiscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE |
                                OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
                                OLEMISC_SETCLIENTSITEFIRST;

namespace {

// Every property getter: refuse a null out-pointer, else give the value.
template <class T, class V> HRESULT Report(T* out, V value) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = static_cast<T>(value);
    return S_OK;
}

LONG g_moduleLocks = 0;
HINSTANCE g_instance = NULL;

const UINT_PTR kFrameTimer = 1;
const COLORREF kNoMovieColour = RGB(0, 0, 0);
const long kDefaultStage = 0xFFFFFF; // a movie that sets no colour has a white stage

// The dispatch identifiers of the Flash control's type library, so scripts written
// against it find the same members here.
struct DispatchMember {
    const wchar_t* name;
    DISPID id;
};
const DISPID kDispMovie = 0x66, kDispQuality = 0x69, kDispLoop = 0x6A, kDispFrameNum = 0x6B,
             kDispPlay = 0x70, kDispStop = 0x71, kDispBack = 0x72, kDispForward = 0x73,
             kDispRewind = 0x74, kDispScaleMode = 0x78, kDispAlignMode = 0x79,
             kDispBackgroundColor = 0x7B, kDispTotalFrames = 0x7C, kDispPlaying = 0x7D,
             kDispStopPlay = 0x7E, kDispGotoFrame = 0x7F, kDispCurrentFrame = 0x80,
             kDispIsPlaying = 0x81, kDispPercentLoaded = 0x82, kDispFlashVersion = 0x84;
const DispatchMember kMembers[] = {
    {L"ReadyState", DISPID_READYSTATE},
    {L"TotalFrames", kDispTotalFrames},
    {L"Playing", kDispPlaying},
    {L"Quality", kDispQuality},
    {L"ScaleMode", kDispScaleMode},
    {L"AlignMode", kDispAlignMode},
    {L"BackgroundColor", kDispBackgroundColor},
    {L"Loop", kDispLoop},
    {L"Movie", kDispMovie},
    {L"FrameNum", kDispFrameNum},
    {L"Play", kDispPlay},
    {L"Stop", kDispStop},
    {L"Back", kDispBack},
    {L"Forward", kDispForward},
    {L"Rewind", kDispRewind},
    {L"StopPlay", kDispStopPlay},
    {L"GotoFrame", kDispGotoFrame},
    {L"CurrentFrame", kDispCurrentFrame},
    {L"IsPlaying", kDispIsPlaying},
    {L"PercentLoaded", kDispPercentLoaded},
    {L"FlashVersion", kDispFlashVersion},
};

// The one argument of a property put or a method, converted to `type`.
HRESULT Argument(DISPPARAMS* params, VARTYPE type, VARIANT* value) {
    if (params == nullptr || params->cArgs != 1) {
        return DISP_E_BADPARAMCOUNT;
    }
    VariantInit(value);
    return VariantChangeType(value, &params->rgvarg[0], 0, type);
}

void SetLong(VARIANT* result, long value) {
    if (result != nullptr) {
        V_VT(result) = VT_I4;
        V_I4(result) = value;
    }
}

void SetBool(VARIANT* result, VARIANT_BOOL value) {
    if (result != nullptr) {
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = value;
    }
}

} // namespace

void ModuleLock() {
    InterlockedIncrement(&g_moduleLocks);
}
void ModuleUnlock() {
    InterlockedDecrement(&g_moduleLocks);
}
bool ModuleInUse() {
    return g_moduleLocks != 0;
}
HINSTANCE ModuleInstance() {
    return g_instance;
}
void SetModuleInstance(HINSTANCE instance) {
    g_instance = instance;
}

swf::ReadStatus LoadMovieFile(const std::wstring& url, swf::Movie* movie) {
    *movie = swf::Movie();
    const std::wstring path = MoviePathFromUrl(url);
    if (path.empty()) {
        return swf::ReadStatus::TooShort;
    }
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file.Valid()) {
        return swf::ReadStatus::TooShort;
    }
    DWORD high = 0;
    const DWORD size = GetFileSize(file.Get(), &high);
    if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        return swf::ReadStatus::TooShort;
    }
    if (high != 0 || size > swf::kMaxMovieBytes) {
        return swf::ReadStatus::TooLarge;
    }
    std::vector<uint8_t> bytes(size);
    DWORD total = 0;
    while (total < size) {
        DWORD read = 0;
        if (!ReadFile(file.Get(), bytes.data() + total, size - total, &read, NULL) || read == 0) {
            return swf::ReadStatus::TooShort;
        }
        total += read;
    }
    return swf::ReadMovie(bytes.data(), bytes.size(), movie);
}

PlayerControl::PlayerControl() : queryMessage_(RegisterWindowMessageW(kPlayerQueryMessage)) {
    ModuleLock();
    clock_.Reset(0, 0);
}

PlayerControl::~PlayerControl() {
    if (window_ != NULL) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
    if (inPlaceSite_ != nullptr) {
        inPlaceSite_->Release();
    }
    if (site_ != nullptr) {
        site_->Release();
    }
    if (viewSink_ != nullptr) {
        viewSink_->Release();
    }
    if (adviseHolder_ != nullptr) {
        adviseHolder_->Release();
    }
    ModuleUnlock();
}

HRESULT PlayerControl::Create(REFIID iid, void** object) {
    PlayerControl* control = new (std::nothrow) PlayerControl();
    if (control == nullptr) {
        *object = nullptr;
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = control->QueryInterface(iid, object);
    control->Release();
    return hr;
}

// ---- IUnknown

STDMETHODIMP PlayerControl::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IShockwaveFlash) {
        *object = static_cast<IShockwaveFlash*>(this);
    } else if (iid == IID_IOleObject) {
        *object = static_cast<IOleObject*>(this);
    } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject) {
        *object = static_cast<IOleInPlaceObject*>(this);
    } else if (iid == IID_IOleInPlaceActiveObject) {
        *object = static_cast<IOleInPlaceActiveObject*>(this);
    } else if (iid == IID_IViewObject || iid == IID_IViewObject2) {
        *object = static_cast<IViewObject2*>(this);
    } else if (iid == IID_IOleControl) {
        *object = static_cast<IOleControl*>(this);
    } else if (iid == IID_IPersist || iid == IID_IPersistStreamInit) {
        *object = static_cast<IPersistStreamInit*>(this);
    } else if (iid == IID_IPersistPropertyBag) {
        *object = static_cast<IPersistPropertyBag*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) PlayerControl::AddRef() {
    return InterlockedIncrement(&references_);
}

STDMETHODIMP_(ULONG) PlayerControl::Release() {
    const LONG count = InterlockedDecrement(&references_);
    if (count == 0) {
        delete this;
    }
    return count;
}

// ---- IDispatch

STDMETHODIMP PlayerControl::GetTypeInfoCount(UINT* count) {
    return Report(count, 0);
}

STDMETHODIMP PlayerControl::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info != nullptr) {
        *info = nullptr;
    }
    return E_NOTIMPL;
}

STDMETHODIMP PlayerControl::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (names == nullptr || ids == nullptr) {
        return E_POINTER;
    }
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
    }
    if (count == 0) {
        return S_OK;
    }
    for (const DispatchMember& member : kMembers) {
        if (names[0] != nullptr && lstrcmpiW(names[0], member.name) == 0) {
            ids[0] = member.id;
        }
    }
    if (ids[0] == DISPID_UNKNOWN || count > 1) {
        hr = DISP_E_UNKNOWNNAME; // none of the members takes named arguments
    }
    return hr;
}

STDMETHODIMP PlayerControl::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO*, UINT*) {
    const bool get = (flags & DISPATCH_PROPERTYGET) != 0;
    const bool put = (flags & DISPATCH_PROPERTYPUT) != 0;
    const bool call = (flags & DISPATCH_METHOD) != 0;
    if (result != nullptr) {
        VariantInit(result);
    }
    VARIANT arg;
    VariantInit(&arg);
    HRESULT hr = DISP_E_MEMBERNOTFOUND;
    long number = 0;
    VARIANT_BOOL flag = VARIANT_FALSE;
    switch (id) {
    case DISPID_READYSTATE:
    case kDispTotalFrames:
    case kDispPercentLoaded:
    case kDispFlashVersion:
    case kDispCurrentFrame:
        if (get || call) {
            hr = id == DISPID_READYSTATE    ? get_ReadyState(&number)
                 : id == kDispTotalFrames   ? get_TotalFrames(&number)
                 : id == kDispPercentLoaded ? PercentLoaded(&number)
                 : id == kDispFlashVersion  ? FlashVersion(&number)
                                            : CurrentFrame(&number);
            SetLong(result, number);
        }
        break;
    case kDispPlaying:
    case kDispIsPlaying:
    case kDispLoop:
        if (put && id != kDispIsPlaying) {
            hr = Argument(params, VT_BOOL, &arg);
            if (SUCCEEDED(hr)) {
                hr = id == kDispLoop ? put_Loop(V_BOOL(&arg)) : put_Playing(V_BOOL(&arg));
            }
        } else if (get || call) {
            hr = id == kDispLoop ? get_Loop(&flag) : get_Playing(&flag);
            SetBool(result, flag);
        }
        break;
    case kDispFrameNum:
    case kDispBackgroundColor:
    case kDispQuality:
    case kDispScaleMode:
    case kDispAlignMode:
        if (put) {
            hr = Argument(params, VT_I4, &arg);
            if (SUCCEEDED(hr)) {
                const long value = V_I4(&arg);
                hr = id == kDispFrameNum          ? put_FrameNum(value)
                     : id == kDispBackgroundColor ? put_BackgroundColor(value)
                     : id == kDispQuality         ? put_Quality(value)
                     : id == kDispScaleMode       ? put_ScaleMode(value)
                                                  : put_AlignMode(value);
            }
        } else if (get) {
            int small = 0;
            hr = id == kDispFrameNum          ? get_FrameNum(&number)
                 : id == kDispBackgroundColor ? get_BackgroundColor(&number)
                 : id == kDispQuality         ? get_Quality(&small)
                 : id == kDispScaleMode       ? get_ScaleMode(&small)
                                              : get_AlignMode(&small);
            SetLong(result, id == kDispFrameNum || id == kDispBackgroundColor ? number : small);
        }
        break;
    case kDispMovie:
        if (put) {
            hr = Argument(params, VT_BSTR, &arg);
            if (SUCCEEDED(hr)) {
                hr = put_Movie(V_BSTR(&arg));
            }
        } else if (get) {
            BSTR url = nullptr;
            hr = get_Movie(&url);
            if (result != nullptr) {
                V_VT(result) = VT_BSTR;
                V_BSTR(result) = url;
            } else {
                SysFreeString(url);
            }
        }
        break;
    case kDispGotoFrame:
        if (call) {
            hr = Argument(params, VT_I4, &arg);
            if (SUCCEEDED(hr)) {
                hr = GotoFrame(V_I4(&arg));
            }
        }
        break;
    case kDispPlay:
    case kDispStop:
    case kDispBack:
    case kDispForward:
    case kDispRewind:
    case kDispStopPlay:
        if (call) {
            hr = id == kDispPlay      ? Play()
                 : id == kDispStop    ? Stop()
                 : id == kDispBack    ? Back()
                 : id == kDispForward ? Forward()
                 : id == kDispRewind  ? Rewind()
                                      : StopPlay();
        }
        break;
    default:
        break;
    }
    VariantClear(&arg);
    return hr;
}

// ---- IShockwaveFlash: what a movie player can honour now

STDMETHODIMP PlayerControl::get_ReadyState(long* state) {
    if (state == nullptr) {
        return E_POINTER;
    }
    *state = movieLoaded_ ? 4 : 0; // complete, or still loading (as for a movie never found)
    return S_OK;
}

STDMETHODIMP PlayerControl::get_TotalFrames(long* frames) {
    return Report(frames, movieLoaded_ ? movie_.Header().frameCount : 0);
}

STDMETHODIMP PlayerControl::get_Playing(VARIANT_BOOL* playing) {
    return Report(playing, clock_.Playing() ? VARIANT_TRUE : VARIANT_FALSE);
}

STDMETHODIMP PlayerControl::put_Playing(VARIANT_BOOL playing) {
    return playing ? Play() : Stop();
}

STDMETHODIMP PlayerControl::get_Quality(int* quality) {
    return Report(quality, quality_);
}

STDMETHODIMP PlayerControl::put_Quality(int quality) {
    quality_ = quality;
    return S_OK;
}

STDMETHODIMP PlayerControl::get_ScaleMode(int* mode) {
    return Report(mode, scaleMode_);
}

STDMETHODIMP PlayerControl::put_ScaleMode(int mode) {
    scaleMode_ = mode;
    return S_OK;
}

STDMETHODIMP PlayerControl::get_AlignMode(int* mode) {
    return Report(mode, alignMode_);
}

STDMETHODIMP PlayerControl::put_AlignMode(int mode) {
    alignMode_ = mode;
    return S_OK;
}

STDMETHODIMP PlayerControl::get_BackgroundColor(long* color) {
    if (color == nullptr) {
        return E_POINTER;
    }
    const COLORREF c = PaintColour();
    *color = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
    return S_OK;
}

STDMETHODIMP PlayerControl::put_BackgroundColor(long color) {
    // -1 gives the colour back to the movie.
    backgroundOverride_ = color < 0 ? -1 : (color & 0xFFFFFF);
    if (window_ != NULL) {
        InvalidateRect(window_, NULL, TRUE);
    }
    return S_OK;
}

STDMETHODIMP PlayerControl::get_Loop(VARIANT_BOOL* loop) {
    return Report(loop, clock_.Loop() ? VARIANT_TRUE : VARIANT_FALSE);
}

STDMETHODIMP PlayerControl::put_Loop(VARIANT_BOOL loop) {
    // Any non-zero value loops: hosts pass 1 as well as VARIANT_TRUE.
    clock_.SetLoop(loop != 0);
    StartClock();
    return S_OK;
}

STDMETHODIMP PlayerControl::get_Movie(BSTR* url) {
    if (url == nullptr) {
        return E_POINTER;
    }
    *url = SysAllocStringLen(url_.data(), static_cast<UINT>(url_.size()));
    return *url != nullptr ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP PlayerControl::put_Movie(BSTR url) {
    url_.assign(url != nullptr ? url : L"", url != nullptr ? SysStringLen(url) : 0);
    // Like the Flash control, an unreadable movie is no error of the call: the control
    // shows nothing (black) and reports no frames.
    movieLoaded_ = LoadMovieFile(url_, &movie_) == swf::ReadStatus::Ok;
    if (movieLoaded_) {
        clock_.Reset(movie_.Header().frameCount, movie_.Header().frameRate);
    } else {
        clock_.Reset(0, 0);
    }
    if (window_ != NULL) {
        KillTimer(window_, kFrameTimer);
        // Straight to the default procedure: a host may have subclassed the window with an
        // ANSI procedure, and the text must not pass through a code page on its way.
        DefWindowProcW(window_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(url_.c_str()));
        InvalidateRect(window_, NULL, TRUE);
    }
    // A loaded movie starts playing by itself, as in the Flash control.
    return movieLoaded_ ? Play() : S_OK;
}

STDMETHODIMP PlayerControl::get_FrameNum(long* frame) {
    return Report(frame, static_cast<long>(clock_.Frame()));
}

STDMETHODIMP PlayerControl::put_FrameNum(long frame) {
    return GotoFrame(frame);
}

STDMETHODIMP PlayerControl::SetZoomRect(long, long, long, long) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::Zoom(int) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::Pan(long, long, int) {
    return E_NOTIMPL;
}

STDMETHODIMP PlayerControl::Play() {
    clock_.Play(GetTickCount());
    StartClock();
    return S_OK;
}

STDMETHODIMP PlayerControl::Stop() {
    clock_.Stop();
    if (window_ != NULL) {
        KillTimer(window_, kFrameTimer);
    }
    return S_OK;
}

STDMETHODIMP PlayerControl::Back() {
    Stop();
    return GotoFrame(clock_.Frame() > 0 ? static_cast<long>(clock_.Frame()) - 1 : 0);
}

STDMETHODIMP PlayerControl::Forward() {
    Stop();
    return GotoFrame(static_cast<long>(clock_.Frame()) + 1);
}

STDMETHODIMP PlayerControl::Rewind() {
    Stop();
    return GotoFrame(0);
}

STDMETHODIMP PlayerControl::StopPlay() {
    return Stop();
}

STDMETHODIMP PlayerControl::GotoFrame(long frame) {
    if (frame < 0) {
        return E_INVALIDARG;
    }
    clock_.GoTo(static_cast<uint32_t>(frame));
    return S_OK;
}

STDMETHODIMP PlayerControl::CurrentFrame(long* frame) {
    return get_FrameNum(frame);
}
STDMETHODIMP PlayerControl::IsPlaying(VARIANT_BOOL* playing) {
    return get_Playing(playing);
}

STDMETHODIMP PlayerControl::PercentLoaded(long* percent) {
    return Report(percent, movieLoaded_ ? 100 : 0);
}

STDMETHODIMP PlayerControl::FrameLoaded(long frame, VARIANT_BOOL* loaded) {
    if (loaded == nullptr) {
        return E_POINTER;
    }
    *loaded = movieLoaded_ && frame >= 0 && frame < movie_.Header().frameCount ? VARIANT_TRUE
                                                                               : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP PlayerControl::FlashVersion(long* version) {
    if (version == nullptr) {
        return E_POINTER;
    }
    *version = 8 << 16; // the newest movie format this player is meant for
    return S_OK;
}

// Members for scripting, network and display options that this player does not offer.
STDMETHODIMP PlayerControl::get_WMode(BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_WMode(BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_SAlign(BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_SAlign(BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_Menu(VARIANT_BOOL*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_Menu(VARIANT_BOOL) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_Base(BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_Base(BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_Scale(BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_Scale(BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_DeviceFont(VARIANT_BOOL*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_DeviceFont(VARIANT_BOOL) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_EmbedMovie(VARIANT_BOOL*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_EmbedMovie(VARIANT_BOOL) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_BGColor(BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_BGColor(BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_Quality2(BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_Quality2(BSTR) {
    return E_NOTIMPL;
}

STDMETHODIMP PlayerControl::LoadMovie(int layer, BSTR url) {
    return layer == 0 ? put_Movie(url) : E_NOTIMPL;
}

STDMETHODIMP PlayerControl::TGotoFrame(BSTR, long) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::TGotoLabel(BSTR, BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::TCurrentFrame(BSTR, long*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::TCurrentLabel(BSTR, BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::TPlay(BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::TStopPlay(BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::SetVariable(BSTR, BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::GetVariable(BSTR, BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::TSetProperty(BSTR, int, BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::TGetProperty(BSTR, int, BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::TCallFrame(BSTR, int) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::TCallLabel(BSTR, BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::TSetPropertyNum(BSTR, int, double) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::TGetPropertyNum(BSTR, int, double*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::TGetPropertyAsNumber(BSTR, int, double*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_SWRemote(BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_SWRemote(BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_FlashVars(BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_FlashVars(BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_AllowScriptAccess(BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_AllowScriptAccess(BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_MovieData(BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_MovieData(BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_InlineData(IUnknown**) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_InlineData(IUnknown*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_SeamlessTabbing(VARIANT_BOOL*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_SeamlessTabbing(VARIANT_BOOL) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::EnforceLocalSecurity() {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_Profile(VARIANT_BOOL*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_Profile(VARIANT_BOOL) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_ProfileAddress(BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_ProfileAddress(BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_ProfilePort(long*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_ProfilePort(long) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::CallFunction(BSTR, BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::SetReturnValue(BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::DisableLocalSecurity() {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_AllowNetworking(BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_AllowNetworking(BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_AllowFullScreen(BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_AllowFullScreen(BSTR) {
    return E_NOTIMPL;
}

// ---- IOleObject

STDMETHODIMP PlayerControl::SetClientSite(IOleClientSite* site) {
    if (site != nullptr) {
        site->AddRef();
    }
    if (site_ != nullptr) {
        site_->Release();
    }
    site_ = site;
    return S_OK;
}

STDMETHODIMP PlayerControl::GetClientSite(IOleClientSite** site) {
    if (site == nullptr) {
        return E_POINTER;
    }
    *site = site_;
    if (site_ != nullptr) {
        site_->AddRef();
    }
    return S_OK;
}

STDMETHODIMP PlayerControl::SetHostNames(LPCOLESTR, LPCOLESTR) {
    return S_OK;
}

STDMETHODIMP PlayerControl::Close(DWORD) {
    InPlaceDeactivate();
    if (adviseHolder_ != nullptr) {
        adviseHolder_->SendOnClose();
    }
    return S_OK;
}

STDMETHODIMP PlayerControl::SetMoniker(DWORD, IMoniker*) {
    return E_NOTIMPL;
}

STDMETHODIMP PlayerControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker != nullptr) {
        *moniker = nullptr;
    }
    return E_NOTIMPL;
}

STDMETHODIMP PlayerControl::InitFromData(IDataObject*, BOOL, DWORD) {
    return E_NOTIMPL;
}

STDMETHODIMP PlayerControl::GetClipboardData(DWORD, IDataObject** data) {
    if (data != nullptr) {
        *data = nullptr;
    }
    return E_NOTIMPL;
}

STDMETHODIMP PlayerControl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent,
                                   LPCRECT position) {
    switch (verb) {
    case OLEIVERB_INPLACEACTIVATE:
        return ActivateInPlace(site, parent, position, false);
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_UIACTIVATE:
        return ActivateInPlace(site, parent, position, true);
    case OLEIVERB_HIDE:
        UIDeactivate();
        if (window_ != NULL) {
            ShowWindow(window_, SW_HIDE);
        }
        return S_OK;
    default:
        return verb > 0 ? OLEOBJ_S_INVALIDVERB : E_NOTIMPL;
    }
}

STDMETHODIMP PlayerControl::EnumVerbs(IEnumOLEVERB** verbs) {
    return OleRegEnumVerbs(CLSID_FlickwellPlayer, verbs);
}

STDMETHODIMP PlayerControl::Update() {
    return S_OK;
}
STDMETHODIMP PlayerControl::IsUpToDate() {
    return S_OK;
}

STDMETHODIMP PlayerControl::GetUserClassID(CLSID* clsid) {
    return GetClassID(clsid);
}

STDMETHODIMP PlayerControl::GetUserType(DWORD form, LPOLESTR* type) {
    return OleRegGetUserType(CLSID_FlickwellPlayer, form, type);
}

STDMETHODIMP PlayerControl::SetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) {
        return DV_E_DVASPECT;
    }
    if (size == nullptr) {
        return E_POINTER;
    }
    extent_ = *size;
    return S_OK;
}

STDMETHODIMP PlayerControl::GetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) {
        return DV_E_DVASPECT;
    }
    if (size == nullptr) {
        return E_POINTER;
    }
    *size = extent_;
    return S_OK;
}

STDMETHODIMP PlayerControl::Advise(IAdviseSink* sink, DWORD* cookie) {
    if (adviseHolder_ == nullptr) {
        const HRESULT hr = CreateOleAdviseHolder(&adviseHolder_);
        if (FAILED(hr)) {
            return hr;
        }
    }
    return adviseHolder_->Advise(sink, cookie);
}

STDMETHODIMP PlayerControl::Unadvise(DWORD cookie) {
    return adviseHolder_ != nullptr ? adviseHolder_->Unadvise(cookie) : OLE_E_NOCONNECTION;
}

STDMETHODIMP PlayerControl::EnumAdvise(IEnumSTATDATA** advise) {
    if (advise == nullptr) {
        return E_POINTER;
    }
    *advise = nullptr;
    return adviseHolder_ != nullptr ? adviseHolder_->EnumAdvise(advise) : S_OK;
}

STDMETHODIMP PlayerControl::GetMiscStatus(DWORD, DWORD* status) {
    if (status == nullptr) {
        return E_POINTER;
    }
    *status = kPlayerMiscStatus;
    return S_OK;
}

STDMETHODIMP PlayerControl::SetColorScheme(LOGPALETTE*) {
    return E_NOTIMPL;
}

// ---- In-place activation

HRESULT PlayerControl::ActivateInPlace(IOleClientSite* site, HWND parent, LPCRECT position,
                                       bool ui) {
    if (site == nullptr) {
        site = site_;
    }
    if (window_ == NULL) {
        IOleInPlaceSite* inPlaceSite = nullptr;
        if (site != nullptr) {
            site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlaceSite));
        }
        RECT rect = {};
        if (position != nullptr) {
            rect = *position;
        }
        if (inPlaceSite != nullptr) {
            if (inPlaceSite->CanInPlaceActivate() != S_OK) {
                inPlaceSite->Release();
                return E_FAIL;
            }
            inPlaceSite->OnInPlaceActivate();
            HWND siteWindow = NULL;
            if (SUCCEEDED(inPlaceSite->GetWindow(&siteWindow)) && siteWindow != NULL) {
                parent = siteWindow;
            }
            IOleInPlaceFrame* frame = nullptr;
            IOleInPlaceUIWindow* document = nullptr;
            RECT clip = {};
            RECT place = {};
            OLEINPLACEFRAMEINFO frameInfo = {};
            frameInfo.cb = sizeof(frameInfo);
            if (SUCCEEDED(
                    inPlaceSite->GetWindowContext(&frame, &document, &place, &clip, &frameInfo))) {
                rect = place;
            }
            if (frame != nullptr) {
                frame->Release();
            }
            if (document != nullptr) {
                document->Release();
            }
        }
        if (parent == NULL || !CreateControlWindow(parent, rect)) {
            if (inPlaceSite != nullptr) {
                inPlaceSite->OnInPlaceDeactivate();
                inPlaceSite->Release();
            }
            return E_FAIL;
        }
        inPlaceSite_ = inPlaceSite;
    }
    ShowWindow(window_, SW_SHOW);
    if (ui && !uiActive_) {
        uiActive_ = true;
        if (inPlaceSite_ != nullptr) {
            inPlaceSite_->OnUIActivate();
            AnnounceActiveObject(this);
        }
        SetFocus(window_);
    }
    return S_OK;
}

bool PlayerControl::CreateControlWindow(HWND parent, const RECT& position) {
    WNDCLASSW wc = {};
    if (!GetClassInfoW(ModuleInstance(), kPlayerWindowClass, &wc)) {
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = ModuleInstance();
        wc.hCursor = LoadCursor(NULL, IDC_ARROW);
        wc.lpszClassName = kPlayerWindowClass;
        if (RegisterClassW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
            return false;
        }
    }
    window_ = CreateWindowExW(0, kPlayerWindowClass, url_.c_str(),
                              WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, position.left,
                              position.top, position.right - position.left,
                              position.bottom - position.top, parent, NULL, ModuleInstance(), this);
    if (window_ == NULL) {
        return false;
    }
    if (clock_.Playing()) {
        clock_.Play(GetTickCount());
        StartClock();
    }
    return true;
}

void PlayerControl::StartClock() {
    if (window_ == NULL) {
        return;
    }
    // A looping single frame never changes: no timer, so a still movie costs no CPU.
    if (clock_.Playing() && !(clock_.FrameCount() <= 1 && clock_.Loop())) {
        SetTimer(window_, kFrameTimer, clock_.IntervalMs(), NULL);
    } else {
        KillTimer(window_, kFrameTimer);
    }
}

LRESULT PlayerControl::Query(int what) {
    long value = 0;
    VARIANT_BOOL flag = VARIANT_FALSE;
    switch (what) {
    case kQueryFrame:
        get_FrameNum(&value);
        return value;
    case kQueryPlaying:
        get_Playing(&flag);
        return flag != VARIANT_FALSE ? 1 : 0;
    case kQueryTotalFrames:
        get_TotalFrames(&value);
        return value;
    case kQueryBackground:
        get_BackgroundColor(&value);
        return value;
    case kQueryLoop:
        get_Loop(&flag);
        return flag != VARIANT_FALSE ? 1 : 0;
    default:
        return -1;
    }
}

COLORREF PlayerControl::PaintColour() const {
    if (backgroundOverride_ >= 0) {
        return RGB((backgroundOverride_ >> 16) & 0xFF, (backgroundOverride_ >> 8) & 0xFF,
                   backgroundOverride_ & 0xFF);
    }
    if (!movieLoaded_) {
        return kNoMovieColour;
    }
    if (!movie_.HasBackground()) {
        return RGB((kDefaultStage >> 16) & 0xFF, (kDefaultStage >> 8) & 0xFF, kDefaultStage & 0xFF);
    }
    const swf::Rgb rgb = movie_.Background();
    return RGB(rgb.red, rgb.green, rgb.blue);
}

LRESULT CALLBACK PlayerControl::WindowProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const CREATESTRUCTW* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    PlayerControl* control =
        reinterpret_cast<PlayerControl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (control == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        control->window_ = NULL;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (control->window_ == NULL) {
        control->window_ = window; // messages sent from inside CreateWindowEx
    }
    return control->OnMessage(message, wParam, lParam);
}

LRESULT PlayerControl::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1; // WM_PAINT covers every pixel
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window_, &paint);
        if (dc != NULL) {
            GdiObject brush(CreateSolidBrush(PaintColour()));
            FillRect(dc, &paint.rcPaint, static_cast<HBRUSH>(brush.Get()));
            EndPaint(window_, &paint);
        }
        return 0;
    }
    case WM_TIMER:
        if (wParam == kFrameTimer) {
            clock_.Tick(GetTickCount());
            if (!clock_.Playing()) {
                KillTimer(window_, kFrameTimer);
            }
            return 0;
        }
        break;
    case WM_MOUSEACTIVATE:
        if (!uiActive_ && inPlaceSite_ != nullptr) {
            ActivateInPlace(nullptr, NULL, nullptr, true);
        }
        break;
    default:
        if (message == queryMessage_ && queryMessage_ != 0) {
            return Query(static_cast<int>(wParam));
        }
        break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

// ---- IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject

STDMETHODIMP PlayerControl::GetWindow(HWND* window) {
    if (window == nullptr) {
        return E_POINTER;
    }
    *window = window_;
    return window_ != NULL ? S_OK : E_FAIL;
}

STDMETHODIMP PlayerControl::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}

STDMETHODIMP PlayerControl::InPlaceDeactivate() {
    UIDeactivate();
    if (window_ != NULL) {
        KillTimer(window_, kFrameTimer);
        DestroyWindow(window_);
        window_ = NULL;
    }
    if (inPlaceSite_ != nullptr) {
        IOleInPlaceSite* site = inPlaceSite_;
        inPlaceSite_ = nullptr;
        site->OnInPlaceDeactivate();
        site->Release();
    }
    return S_OK;
}

// Tells the site's frame and document which object is active in their user interface.
void PlayerControl::AnnounceActiveObject(IOleInPlaceActiveObject* active) {
    IOleInPlaceFrame* frame = nullptr;
    IOleInPlaceUIWindow* document = nullptr;
    RECT place = {}, clip = {};
    OLEINPLACEFRAMEINFO frameInfo = {};
    frameInfo.cb = sizeof(frameInfo);
    if (FAILED(inPlaceSite_->GetWindowContext(&frame, &document, &place, &clip, &frameInfo))) {
        return;
    }
    if (frame != nullptr) {
        frame->SetActiveObject(active, nullptr);
        frame->Release();
    }
    if (document != nullptr) {
        document->SetActiveObject(active, nullptr);
        document->Release();
    }
}

STDMETHODIMP PlayerControl::UIDeactivate() {
    if (!uiActive_) {
        return S_OK;
    }
    uiActive_ = false;
    if (inPlaceSite_ != nullptr) {
        AnnounceActiveObject(nullptr);
        inPlaceSite_->OnUIDeactivate(FALSE);
    }
    return S_OK;
}

STDMETHODIMP PlayerControl::SetObjectRects(LPCRECT position, LPCRECT) {
    if (position == nullptr) {
        return E_POINTER;
    }
    if (window_ != NULL) {
        MoveWindow(window_, position->left, position->top, position->right - position->left,
                   position->bottom - position->top, TRUE);
    }
    return S_OK;
}

STDMETHODIMP PlayerControl::ReactivateAndUndo() {
    return INPLACE_E_NOTUNDOABLE;
}
STDMETHODIMP PlayerControl::TranslateAccelerator(LPMSG) {
    return S_FALSE;
}
STDMETHODIMP PlayerControl::OnFrameWindowActivate(BOOL) {
    return S_OK;
}
STDMETHODIMP PlayerControl::OnDocWindowActivate(BOOL) {
    return S_OK;
}
STDMETHODIMP PlayerControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
    return S_OK;
}
STDMETHODIMP PlayerControl::EnableModeless(BOOL) {
    return S_OK;
}

// ---- IViewObject2

STDMETHODIMP PlayerControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc,
                                 LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                                 ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT) {
        return DV_E_DVASPECT;
    }
    if (dc == NULL || bounds == nullptr) {
        return E_INVALIDARG;
    }
    const RECT rect = {bounds->left, bounds->top, bounds->right, bounds->bottom};
    GdiObject brush(CreateSolidBrush(PaintColour()));
    FillRect(dc, &rect, static_cast<HBRUSH>(brush.Get()));
    return S_OK;
}

STDMETHODIMP PlayerControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                                        LOGPALETTE** colors) {
    if (colors != nullptr) {
        *colors = nullptr;
    }
    return S_FALSE;
}

STDMETHODIMP PlayerControl::Freeze(DWORD, LONG, void*, DWORD*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::Unfreeze(DWORD) {
    return E_NOTIMPL;
}

STDMETHODIMP PlayerControl::SetAdvise(DWORD, DWORD, IAdviseSink* sink) {
    if (sink != nullptr) {
        sink->AddRef();
    }
    if (viewSink_ != nullptr) {
        viewSink_->Release();
    }
    viewSink_ = sink;
    return S_OK;
}

STDMETHODIMP PlayerControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
    if (aspects != nullptr) {
        *aspects = DVASPECT_CONTENT;
    }
    if (flags != nullptr) {
        *flags = 0;
    }
    if (sink != nullptr) {
        *sink = viewSink_;
        if (viewSink_ != nullptr) {
            viewSink_->AddRef();
        }
    }
    return S_OK;
}

STDMETHODIMP PlayerControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return GetExtent(aspect, size);
}

// ---- IOleControl

STDMETHODIMP PlayerControl::GetControlInfo(CONTROLINFO* info) {
    if (info == nullptr) {
        return E_POINTER;
    }
    info->hAccel = NULL;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

STDMETHODIMP PlayerControl::OnMnemonic(MSG*) {
    return S_OK;
}
STDMETHODIMP PlayerControl::OnAmbientPropertyChange(DISPID) {
    return S_OK;
}
STDMETHODIMP PlayerControl::FreezeEvents(BOOL) {
    return S_OK;
}

// ---- Persistence

STDMETHODIMP PlayerControl::GetClassID(CLSID* clsid) {
    return Report(clsid, CLSID_FlickwellPlayer);
}

STDMETHODIMP PlayerControl::IsDirty() {
    return S_FALSE;
}
STDMETHODIMP PlayerControl::Load(LPSTREAM) {
    return S_OK;
}
STDMETHODIMP PlayerControl::Save(LPSTREAM, BOOL) {
    return S_OK;
}

STDMETHODIMP PlayerControl::GetSizeMax(ULARGE_INTEGER* size) {
    if (size == nullptr) {
        return E_POINTER;
    }
    size->QuadPart = 0;
    return S_OK;
}

STDMETHODIMP PlayerControl::InitNew() {
    return S_OK;
}

STDMETHODIMP PlayerControl::Load(IPropertyBag* bag, IErrorLog* log) {
    if (bag == nullptr) {
        return E_POINTER;
    }
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_BSTR;
    if (SUCCEEDED(bag->Read(L"Movie", &value, log)) && V_VT(&value) == VT_BSTR) {
        put_Movie(V_BSTR(&value));
    }
    VariantClear(&value);
    return S_OK;
}

STDMETHODIMP PlayerControl::Save(IPropertyBag*, BOOL, BOOL) {
    return S_OK;
}
