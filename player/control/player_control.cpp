#include "player/control/player_control.h"

#include <olectl.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "common/unique_handle.h"
#include "player/control/class_factory.h"
#include "player/control/movie_url.h"
#include "player/control/player_contract.h"

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

} // namespace

engine::LoadStatus LoadMovieFile(const wchar_t* url, size_t length, engine::Player* movie) {
    movie->Load(nullptr, 0); // empty until a movie is read whole
    wchar_t path[kMaxMoviePath];
    if (!MoviePathFromUrl(url, length, path)) {
        return engine::LoadStatus::TooShort;
    }
    FileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file.Valid()) {
        return engine::LoadStatus::TooShort;
    }
    DWORD high = 0;
    const DWORD size = GetFileSize(file.Get(), &high);
    if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        return engine::LoadStatus::TooShort;
    }
    if (high != 0 || size > engine::kMaxMovieBytes) {
        return engine::LoadStatus::TooLarge;
    }
    // The file's size is the movie's to choose: a refusal is a result, not the reserve's.
    const std::unique_ptr<uint8_t, void (*)(void*)> bytes(
        static_cast<uint8_t*>(std::malloc(size == 0 ? 1 : size)), std::free);
    if (!bytes) {
        return engine::LoadStatus::OutOfMemory;
    }
    DWORD total = 0;
    while (total < size) {
        DWORD read = 0;
        if (!ReadFile(file.Get(), bytes.get() + total, size - total, &read, NULL) || read == 0) {
            return engine::LoadStatus::TooShort;
        }
        total += read;
    }
    return movie->Load(bytes.get(), size);
}

PlayerControl::PlayerControl() : view_(*this) {
    ModuleLock();
    // The engine's notices (a movie stopped for want of memory, damaged parts skipped) go
    // to the debugger's channel, where a host's developer looks.
    movie_.SetNoticeSink([](const char* line) {
        OutputDebugStringA("FlickwellPlayer: ");
        OutputDebugStringA(line);
        OutputDebugStringA("\n");
    });
    movie_.SetDeviceGlyphs(
        [this](const char* font, bool bold, bool italic, uint32_t code, engine::DeviceGlyph* out) {
            return glyphs_.Glyph(font, bold, italic, code, out);
        },
        SystemGlyphs::Metrics());
    movie_.SetMp3Decoder(SystemMp3Decoders());
    // A frame is drawn in bands, one thread per processor (the engine holds it to its limit).
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    movie_.SetDrawThreads(int(system.dwNumberOfProcessors));
}

PlayerControl::~PlayerControl() {
    view_.Destroy();
    ModuleUnlock();
}

HRESULT PlayerControl::Create(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    // The reserve is held before anything is made, so that a refusal while the control and
    // its player are made is granted from it and reported here.
    const engine::MemoryGuard guard;
    PlayerControl* control = guard.Held() ? new PlayerControl() : nullptr;
    if (control != nullptr && guard.Refused()) {
        control->Release();
        control = nullptr;
    }
    if (control == nullptr) {
        *object = nullptr;
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = control->QueryInterface(iid, object);
    control->Release();
    return hr;
}

uint32_t PlayerControl::BackgroundShown() const {
    return backgroundOverride_ >= 0 ? static_cast<uint32_t>(backgroundOverride_)
                                    : movie_.Background();
}

LRESULT PlayerControl::Query(int what) {
    switch (what) {
    case kQueryFrame:
        return static_cast<LRESULT>(movie_.CurrentFrame());
    case kQueryPlaying:
        return movie_.Playing() ? 1 : 0;
    case kQueryTotalFrames:
        return static_cast<LRESULT>(movie_.FrameCount());
    case kQueryBackground:
        return static_cast<LRESULT>(BackgroundShown());
    case kQueryLoop:
        return movie_.Loop() ? 1 : 0;
    default:
        return -1;
    }
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

// ---- IShockwaveFlash: what the movie player honours

STDMETHODIMP PlayerControl::get_ReadyState(long* state) {
    // Complete, or still loading (as for a movie never found).
    return Report(state, movie_.Loaded() ? 4 : 0);
}

STDMETHODIMP PlayerControl::get_TotalFrames(long* frames) {
    return Report(frames, movie_.FrameCount());
}

STDMETHODIMP PlayerControl::get_Playing(VARIANT_BOOL* playing) {
    return Report(playing, movie_.Playing() ? VARIANT_TRUE : VARIANT_FALSE);
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
    return Report(color, BackgroundShown());
}

STDMETHODIMP PlayerControl::put_BackgroundColor(long color) {
    // -1 gives the colour back to the movie.
    backgroundOverride_ = color < 0 ? -1 : (color & 0xFFFFFF);
    view_.Invalidate();
    return S_OK;
}

STDMETHODIMP PlayerControl::get_Loop(VARIANT_BOOL* loop) {
    return Report(loop, movie_.Loop() ? VARIANT_TRUE : VARIANT_FALSE);
}

STDMETHODIMP PlayerControl::put_Loop(VARIANT_BOOL loop) {
    // Any non-zero value loops: hosts pass 1 as well as VARIANT_TRUE.
    movie_.SetLoop(loop != 0);
    view_.Restart();
    return S_OK;
}

STDMETHODIMP PlayerControl::get_Movie(BSTR* url) {
    if (url == nullptr) {
        return E_POINTER;
    }
    *url = SysAllocStringLen(url_.Get(), SysStringLen(url_.Get()));
    return *url != nullptr ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP PlayerControl::put_Movie(BSTR url) {
    url_.Reset(SysAllocStringLen(url, SysStringLen(url)));
    if (!url_.Valid()) {
        return E_OUTOFMEMORY;
    }
    // Like the Flash control, an unreadable movie is no error of the call: the control
    // shows nothing (black) and reports no frames.
    const bool loaded =
        LoadMovieFile(url_.Get(), SysStringLen(url_.Get()), &movie_) == engine::LoadStatus::Ok;
    if (view_.Handle() != NULL) {
        // Straight to the default procedure: a host may have subclassed the window with an
        // ANSI procedure, and the text must not pass through a code page on its way.
        DefWindowProcW(view_.Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(url_.Get()));
    }
    // A loaded movie starts playing by itself, as in the Flash control.
    if (loaded) {
        return Play();
    }
    view_.Restart();
    return S_OK;
}

STDMETHODIMP PlayerControl::get_FrameNum(long* frame) {
    return Report(frame, movie_.CurrentFrame());
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
    movie_.Play(GetTickCount());
    view_.Restart();
    return S_OK;
}

STDMETHODIMP PlayerControl::Stop() {
    movie_.Stop();
    view_.Restart();
    return S_OK;
}

STDMETHODIMP PlayerControl::Back() {
    Stop();
    const uint32_t frame = movie_.CurrentFrame();
    return GotoFrame(frame > 0 ? static_cast<long>(frame) - 1 : 0);
}

STDMETHODIMP PlayerControl::Forward() {
    Stop();
    return GotoFrame(static_cast<long>(movie_.CurrentFrame()) + 1);
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
    movie_.GoTo(static_cast<uint32_t>(frame));
    view_.Invalidate();
    return S_OK;
}

STDMETHODIMP PlayerControl::CurrentFrame(long* frame) {
    return get_FrameNum(frame);
}
STDMETHODIMP PlayerControl::IsPlaying(VARIANT_BOOL* playing) {
    return get_Playing(playing);
}

STDMETHODIMP PlayerControl::PercentLoaded(long* percent) {
    return Report(percent, movie_.Loaded() ? 100 : 0);
}

STDMETHODIMP PlayerControl::FrameLoaded(long frame, VARIANT_BOOL* loaded) {
    const bool there = movie_.Loaded() && frame >= 0 && uint32_t(frame) < movie_.FrameCount();
    return Report(loaded, there ? VARIANT_TRUE : VARIANT_FALSE);
}

STDMETHODIMP PlayerControl::FlashVersion(long* version) {
    return Report(version, 8 << 16); // the newest movie format this player is meant for
}

STDMETHODIMP PlayerControl::LoadMovie(int layer, BSTR url) {
    return layer == 0 ? put_Movie(url) : E_NOTIMPL;
}
