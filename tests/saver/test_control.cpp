// The test controls (see test_control.h): the movie player control inside does the
// in-place activation; the stand-in in front of it decides what the Flash interface does.
#include "test_control.h"

#include "player/control/class_factory.h"
#include "player/control/player_control.h"

namespace {

enum class Kind { NoFlash, FailingMovie };

#define UNUSED_SLOT(name, params)                                                                  \
    virtual HRESULT STDMETHODCALLTYPE name params {                                                \
        return E_NOTIMPL;                                                                          \
    }

// The slots of IShockwaveFlash in its order as far as Stop: the runtime calls put_Movie,
// put_Loop, Play and Stop and nothing past them, so the table may end there.
class StandIn final : public IDispatch {
  public:
    explicit StandIn(Kind kind) : references_(1), kind_(kind), player_(NULL), flash_(NULL) {
        if (SUCCEEDED(PlayerControl::Create(IID_IUnknown, reinterpret_cast<void**>(&player_)))) {
            player_->QueryInterface(IID_IShockwaveFlash, reinterpret_cast<void**>(&flash_));
        }
    }
    bool Valid() const { return flash_ != NULL; }

    // Everything but the Flash interface is the player's: the container asks only the
    // object it created, so that object decides what it has.
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = NULL;
        if (iid == IID_IUnknown ||
            ((iid == IID_IShockwaveFlash || iid == IID_IDispatch) && kind_ != Kind::NoFlash)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        return iid == IID_IShockwaveFlash || iid == IID_IDispatch
                   ? E_NOINTERFACE
                   : player_->QueryInterface(iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG left = InterlockedDecrement(&references_);
        if (left == 0) {
            delete this;
        }
        return left;
    }
    UNUSED_SLOT(GetTypeInfoCount, (UINT*))
    UNUSED_SLOT(GetTypeInfo, (UINT, LCID, ITypeInfo**))
    UNUSED_SLOT(GetIDsOfNames, (REFIID, LPOLESTR*, UINT, LCID, DISPID*))
    UNUSED_SLOT(Invoke, (DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*))

    UNUSED_SLOT(get_ReadyState, (long*))
    UNUSED_SLOT(get_TotalFrames, (long*))
    UNUSED_SLOT(get_Playing, (VARIANT_BOOL*))
    UNUSED_SLOT(put_Playing, (VARIANT_BOOL))
    UNUSED_SLOT(get_Quality, (int*))
    UNUSED_SLOT(put_Quality, (int))
    UNUSED_SLOT(get_ScaleMode, (int*))
    UNUSED_SLOT(put_ScaleMode, (int))
    UNUSED_SLOT(get_AlignMode, (int*))
    UNUSED_SLOT(put_AlignMode, (int))
    UNUSED_SLOT(get_BackgroundColor, (long*))
    UNUSED_SLOT(put_BackgroundColor, (long))
    UNUSED_SLOT(get_Loop, (VARIANT_BOOL*))
    virtual HRESULT STDMETHODCALLTYPE put_Loop(VARIANT_BOOL loop) { return flash_->put_Loop(loop); }
    UNUSED_SLOT(get_Movie, (BSTR*))
    virtual HRESULT STDMETHODCALLTYPE put_Movie(BSTR url) {
        return kind_ == Kind::FailingMovie ? E_FAIL : flash_->put_Movie(url);
    }
    UNUSED_SLOT(get_FrameNum, (long*))
    UNUSED_SLOT(put_FrameNum, (long))
    UNUSED_SLOT(SetZoomRect, (long, long, long, long))
    UNUSED_SLOT(Zoom, (int))
    UNUSED_SLOT(Pan, (long, long, int))
    virtual HRESULT STDMETHODCALLTYPE Play() { return flash_->Play(); }
    virtual HRESULT STDMETHODCALLTYPE Stop() { return flash_->Stop(); }

  private:
    ~StandIn() {
        if (flash_ != NULL) {
            flash_->Release();
        }
        if (player_ != NULL) {
            player_->Release();
        }
    }

    LONG references_;
    Kind kind_;
    IUnknown* player_;
    IShockwaveFlash* flash_;
};

class Factory final : public IClassFactory {
  public:
    explicit Factory(Kind kind) : kind_(kind) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = iid == IID_IUnknown || iid == IID_IClassFactory ? this : NULL;
        return *out != NULL ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        *out = NULL;
        if (outer != NULL) {
            return CLASS_E_NOAGGREGATION;
        }
        StandIn* control = new StandIn(kind_);
        HRESULT hr = control->Valid() ? control->QueryInterface(iid, out) : E_FAIL;
        control->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        lock ? ModuleLock() : ModuleUnlock();
        return S_OK;
    }

  private:
    Kind kind_;
};

Factory noFlashFactory(Kind::NoFlash);
Factory failingMovieFactory(Kind::FailingMovie);

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    Factory* factory = clsid == CLSID_TestNoFlash        ? &noFlashFactory
                       : clsid == CLSID_TestFailingMovie ? &failingMovieFactory
                                                         : NULL;
    if (factory == NULL) {
        *out = NULL;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return factory->QueryInterface(iid, out);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() {
    return ModuleInUse() ? S_FALSE : S_OK;
}
