// Embedding in a container: the OLE object, in-place activation of the player's window,
// the view a container may draw, the control's keyboard side, and (empty) persistence.
#include "player/control/player_control.h"

#include <olectl.h>

#include "common/scope_guard.h"
#include "player/control/player_contract.h"

// ---- IOleObject

STDMETHODIMP PlayerControl::SetClientSite(IOleClientSite* site) {
    site_ = ComPtr<IOleClientSite>::Share(site);
    return S_OK;
}

STDMETHODIMP PlayerControl::GetClientSite(IOleClientSite** site) {
    if (site == nullptr) {
        return E_POINTER;
    }
    *site = ComPtr<IOleClientSite>::Share(site_.Get()).Detach();
    return S_OK;
}

STDMETHODIMP PlayerControl::SetHostNames(LPCOLESTR, LPCOLESTR) {
    return S_OK;
}

STDMETHODIMP PlayerControl::Close(DWORD) {
    InPlaceDeactivate();
    if (adviseHolder_.Valid()) {
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
        if (view_.Handle() != NULL) {
            ShowWindow(view_.Handle(), SW_HIDE);
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
    if (!adviseHolder_.Valid()) {
        const HRESULT hr = CreateOleAdviseHolder(adviseHolder_.Put());
        if (FAILED(hr)) {
            return hr;
        }
    }
    return adviseHolder_->Advise(sink, cookie);
}

STDMETHODIMP PlayerControl::Unadvise(DWORD cookie) {
    return adviseHolder_.Valid() ? adviseHolder_->Unadvise(cookie) : OLE_E_NOCONNECTION;
}

STDMETHODIMP PlayerControl::EnumAdvise(IEnumSTATDATA** advise) {
    if (advise == nullptr) {
        return E_POINTER;
    }
    *advise = nullptr;
    return adviseHolder_.Valid() ? adviseHolder_->EnumAdvise(advise) : S_OK;
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
        site = site_.Get();
    }
    if (view_.Handle() == NULL) {
        ComPtr<IOleInPlaceSite> inPlaceSite;
        if (site != nullptr) {
            site->QueryInterface(IID_IOleInPlaceSite, inPlaceSite.PutVoid());
        }
        RECT rect = {};
        if (position != nullptr) {
            rect = *position;
        }
        if (inPlaceSite.Valid()) {
            if (inPlaceSite->CanInPlaceActivate() != S_OK) {
                return E_FAIL;
            }
            inPlaceSite->OnInPlaceActivate();
        }
        // A window that cannot be made undoes the activation the site was told of.
        auto undo = MakeScopeGuard([&inPlaceSite] {
            if (inPlaceSite.Valid()) {
                inPlaceSite->OnInPlaceDeactivate();
            }
        });
        if (inPlaceSite.Valid()) {
            HWND siteWindow = NULL;
            if (SUCCEEDED(inPlaceSite->GetWindow(&siteWindow)) && siteWindow != NULL) {
                parent = siteWindow;
            }
            ComPtr<IOleInPlaceFrame> frame;
            ComPtr<IOleInPlaceUIWindow> document;
            RECT clip = {}, place = {};
            OLEINPLACEFRAMEINFO frameInfo = {};
            frameInfo.cb = sizeof(frameInfo);
            if (SUCCEEDED(inPlaceSite->GetWindowContext(frame.Put(), document.Put(), &place, &clip,
                                                        &frameInfo))) {
                rect = place;
            }
        }
        if (parent == NULL || !view_.Create(parent, rect, url_.Valid() ? url_.Get() : L"")) {
            return E_FAIL;
        }
        undo.Dismiss();
        inPlaceSite_ = std::move(inPlaceSite);
        if (movie_.Playing()) {
            movie_.Play(GetTickCount()); // the first frame's time counts from now
        }
        view_.Restart();
    }
    ShowWindow(view_.Handle(), SW_SHOW);
    if (ui && !uiActive_) {
        uiActive_ = true;
        if (inPlaceSite_.Valid()) {
            inPlaceSite_->OnUIActivate();
            AnnounceActiveObject(this);
        }
        SetFocus(view_.Handle());
    }
    return S_OK;
}

void PlayerControl::OnMouseActivate() {
    if (!uiActive_ && inPlaceSite_.Valid()) {
        ActivateInPlace(nullptr, NULL, nullptr, true);
    }
}

// Tells the site's frame and document which object is active in their user interface.
void PlayerControl::AnnounceActiveObject(IOleInPlaceActiveObject* active) {
    ComPtr<IOleInPlaceFrame> frame;
    ComPtr<IOleInPlaceUIWindow> document;
    RECT place = {}, clip = {};
    OLEINPLACEFRAMEINFO frameInfo = {};
    frameInfo.cb = sizeof(frameInfo);
    if (FAILED(inPlaceSite_->GetWindowContext(frame.Put(), document.Put(), &place, &clip,
                                              &frameInfo))) {
        return;
    }
    if (frame.Valid()) {
        frame->SetActiveObject(active, nullptr);
    }
    if (document.Valid()) {
        document->SetActiveObject(active, nullptr);
    }
}

// ---- IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject

STDMETHODIMP PlayerControl::GetWindow(HWND* window) {
    if (window == nullptr) {
        return E_POINTER;
    }
    *window = view_.Handle();
    return *window != NULL ? S_OK : E_FAIL;
}

STDMETHODIMP PlayerControl::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}

STDMETHODIMP PlayerControl::InPlaceDeactivate() {
    UIDeactivate();
    view_.Destroy();
    ComPtr<IOleInPlaceSite> site = std::move(inPlaceSite_);
    if (site.Valid()) {
        site->OnInPlaceDeactivate();
    }
    return S_OK;
}

STDMETHODIMP PlayerControl::UIDeactivate() {
    if (!uiActive_) {
        return S_OK;
    }
    uiActive_ = false;
    if (inPlaceSite_.Valid()) {
        AnnounceActiveObject(nullptr);
        inPlaceSite_->OnUIDeactivate(FALSE);
    }
    return S_OK;
}

STDMETHODIMP PlayerControl::SetObjectRects(LPCRECT position, LPCRECT) {
    if (position == nullptr) {
        return E_POINTER;
    }
    if (view_.Handle() != NULL) {
        MoveWindow(view_.Handle(), position->left, position->top, position->right - position->left,
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
    view_.PaintInto(dc, rect);
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
    viewSink_ = ComPtr<IAdviseSink>::Share(sink);
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
        *sink = ComPtr<IAdviseSink>::Share(viewSink_.Get()).Detach();
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

// ---- Persistence: nothing is kept; a container's "Movie" property is honoured.

STDMETHODIMP PlayerControl::GetClassID(CLSID* clsid) {
    if (clsid == nullptr) {
        return E_POINTER;
    }
    *clsid = CLSID_FlickwellPlayer;
    return S_OK;
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
