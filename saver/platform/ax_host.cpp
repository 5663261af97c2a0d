#include "saver/platform/ax_host.h"

#include "common/com_ptr.h"
#include "saver/platform/heap_object.h"

#include <ocidl.h>
#include <olectl.h>

namespace saver {

const char kHostClassName[] = "AtlAxWin7";
const char kGetHostMessage[] = "WM_ATLGETHOST";
const char kGetControlMessage[] = "WM_ATLGETCONTROL";

namespace {

HINSTANCE moduleInstance = NULL;
UINT getHostMessage = 0;
UINT getControlMessage = 0;

// Pixels to HIMETRIC (0.01 mm) on the screen's resolution.
SIZEL ToHimetric(LONG width, LONG height) {
    HDC screen = GetDC(NULL);
    SIZEL size;
    size.cx = MulDiv(width, 2540, GetDeviceCaps(screen, LOGPIXELSX));
    size.cy = MulDiv(height, 2540, GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(NULL, screen);
    return size;
}

// The container's side of in-place activation: one object answers as client site,
// in-place site, frame and control site of the one control of one container window.
class ControlSite final : public IOleClientSite,
                          public IOleInPlaceSiteEx,
                          public IOleInPlaceFrame,
                          public IOleControlSite {
  public:
    explicit ControlSite(HWND window)
        : references_(1), window_(window), inPlaceActive_(false), sinkCookie_(0) {}

    // Hosts `control` (a reference of its own is taken) and activates it in place.
    HRESULT Attach(IUnknown* control, IStream* state, REFIID sinkIid, IUnknown* sink);
    void Detach();
    IUnknown* Control() const { return control_.Get(); }
    void Resize(LONG width, LONG height);
    void Focus();

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (out == NULL) {
            return E_POINTER;
        }
        *out = NULL;
        if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
            *out = static_cast<IOleClientSite*>(this);
        } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite ||
                   iid == IID_IOleInPlaceSiteEx) {
            *out = static_cast<IOleInPlaceSiteEx*>(this);
        } else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) {
            *out = static_cast<IOleInPlaceFrame*>(this);
        } else if (iid == IID_IOleControlSite) {
            *out = static_cast<IOleControlSite*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG left = --references_;
        if (left == 0) {
            this->~ControlSite();
            HeapFree(GetProcessHeap(), 0, this);
        }
        return left;
    }

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
        if (moniker != NULL) {
            *moniker = NULL;
        }
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** container) override {
        if (container != NULL) {
            *container = NULL;
        }
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow (both the site's and the frame's)
    STDMETHODIMP GetWindow(HWND* window) override {
        if (window == NULL) {
            return E_POINTER;
        }
        *window = window_;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override {
        inPlaceActive_ = true;
        return S_OK;
    }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                  LPRECT position, LPRECT clip,
                                  LPOLEINPLACEFRAMEINFO info) override {
        if (frame == NULL || document == NULL || position == NULL || clip == NULL) {
            return E_POINTER;
        }
        *frame = static_cast<IOleInPlaceFrame*>(this);
        AddRef();
        *document = NULL;
        GetClientRect(window_, position);
        *clip = *position;
        if (info != NULL) {
            info->fMDIApp = FALSE;
            info->hwndFrame = window_;
            info->haccel = NULL;
            info->cAccelEntries = 0;
        }
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override {
        inPlaceActive_ = false;
        return S_OK;
    }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    STDMETHODIMP OnPosRectChange(LPCRECT position) override {
        if (inPlace_.Valid() && position != NULL) {
            inPlace_->SetObjectRects(position, position);
        }
        return S_OK;
    }

    // IOleInPlaceSiteEx
    STDMETHODIMP OnInPlaceActivateEx(BOOL* noRedraw, DWORD) override {
        if (noRedraw != NULL) {
            *noRedraw = FALSE;
        }
        return OnInPlaceActivate();
    }
    STDMETHODIMP OnInPlaceDeactivateEx(BOOL) override { return OnInPlaceDeactivate(); }
    STDMETHODIMP RequestUIActivate() override { return S_OK; }

    // IOleInPlaceUIWindow: no toolbars or borders to give out.
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS widths) override {
        return widths == NULL ? S_OK : INPLACE_E_NOTOOLSPACE;
    }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override {
        activeObject_ = ComPtr<IOleInPlaceActiveObject>::Share(object);
        return S_OK;
    }

    // IOleInPlaceFrame: no menus, no status bar.
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

    // IOleControlSite
    STDMETHODIMP OnControlInfoChanged() override { return S_OK; }
    STDMETHODIMP LockInPlaceActive(BOOL) override { return S_OK; }
    STDMETHODIMP GetExtendedControl(IDispatch** extended) override {
        if (extended != NULL) {
            *extended = NULL;
        }
        return E_NOTIMPL;
    }
    STDMETHODIMP TransformCoords(POINTL*, POINTF*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(LPMSG, DWORD) override { return S_FALSE; }
    STDMETHODIMP OnFocus(BOOL) override { return S_OK; }
    STDMETHODIMP ShowPropertyFrame() override { return E_NOTIMPL; }

  private:
    ~ControlSite() { Detach(); }

    ULONG references_;
    HWND window_;
    ComPtr<IUnknown> control_;
    ComPtr<IOleObject> object_;
    ComPtr<IOleInPlaceObject> inPlace_;
    ComPtr<IOleInPlaceActiveObject> activeObject_;
    bool inPlaceActive_;
    DWORD sinkCookie_;
    ComPtr<IConnectionPoint> sinkPoint_;
};

HRESULT ControlSite::Attach(IUnknown* control, IStream* state, REFIID sinkIid, IUnknown* sink) {
    if (control == NULL) {
        return E_INVALIDARG;
    }
    if (control_.Valid()) {
        return E_UNEXPECTED; // one control per container
    }
    HRESULT hr = S_OK;
    control_ = ComPtr<IUnknown>::Share(control);

    // A control without IOleObject is held but has nothing to activate.
    if (SUCCEEDED(control_.Query(IID_IOleObject, &object_))) {
        DWORD status = 0;
        object_->GetMiscStatus(DVASPECT_CONTENT, &status);
        bool siteFirst = (status & OLEMISC_SETCLIENTSITEFIRST) != 0;
        if (siteFirst) {
            object_->SetClientSite(this);
        }
        ComPtr<IPersistStreamInit> persist;
        if (SUCCEEDED(control_.Query(IID_IPersistStreamInit, &persist))) {
            hr = state != NULL ? persist->Load(state) : persist->InitNew();
            if (FAILED(hr)) {
                Detach();
                return hr;
            }
        }
        if (!siteFirst) {
            object_->SetClientSite(this);
        }
        RECT area;
        GetClientRect(window_, &area);
        SIZEL extent = ToHimetric(area.right - area.left, area.bottom - area.top);
        object_->SetExtent(DVASPECT_CONTENT, &extent);
        hr = object_->DoVerb(OLEIVERB_INPLACEACTIVATE, NULL, this, 0, window_, &area);
        if (FAILED(hr)) {
            Detach();
            return hr;
        }
        control_.Query(IID_IOleInPlaceObject, &inPlace_);
    }

    if (sink != NULL && sinkIid != IID_NULL) {
        ComPtr<IConnectionPointContainer> points;
        if (SUCCEEDED(control_.Query(IID_IConnectionPointContainer, &points)) &&
            SUCCEEDED(points->FindConnectionPoint(sinkIid, sinkPoint_.Put())) &&
            FAILED(sinkPoint_->Advise(sink, &sinkCookie_))) {
            sinkPoint_.Reset(NULL);
        }
    }
    return S_OK;
}

// Deactivates and releases the control; its window goes with the deactivation.
void ControlSite::Detach() {
    if (sinkPoint_.Valid()) {
        sinkPoint_->Unadvise(sinkCookie_);
        sinkPoint_.Reset(NULL);
    }
    if (inPlace_.Valid()) {
        inPlace_->InPlaceDeactivate();
    }
    inPlace_.Reset(NULL);
    activeObject_.Reset(NULL);
    if (object_.Valid()) {
        object_->Close(OLECLOSE_NOSAVE);
        object_->SetClientSite(NULL);
    }
    object_.Reset(NULL);
    control_.Reset(NULL);
}

void ControlSite::Resize(LONG width, LONG height) {
    if (object_.Valid()) {
        SIZEL extent = ToHimetric(width, height);
        object_->SetExtent(DVASPECT_CONTENT, &extent);
    }
    if (inPlace_.Valid()) {
        RECT area = {0, 0, width, height};
        inPlace_->SetObjectRects(&area, &area);
    }
}

// Focus on the container means focus on the control: activate its user interface and
// hand the focus to its window.
void ControlSite::Focus() {
    if (object_.Valid() && inPlaceActive_) {
        RECT area;
        GetClientRect(window_, &area);
        object_->DoVerb(OLEIVERB_UIACTIVATE, NULL, this, 0, window_, &area);
    }
    HWND child = ::GetWindow(window_, GW_CHILD);
    if (child != NULL && GetFocus() != child) {
        SetFocus(child);
    }
}

ControlSite* SiteOf(HWND window) {
    return reinterpret_cast<ControlSite*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

HRESULT AttachByName(HWND window, const wchar_t* progId, IStream* state, REFIID sinkIid,
                     IUnknown* sink) {
    ControlSite* site = SiteOf(window);
    if (site == NULL || progId == NULL) {
        return E_INVALIDARG;
    }
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(progId, &clsid);
    if (FAILED(hr)) {
        return hr;
    }
    ComPtr<IUnknown> control;
    hr = CoCreateInstance(clsid, NULL, CLSCTX_INPROC_SERVER, IID_IUnknown, control.PutVoid());
    if (FAILED(hr)) {
        return hr;
    }
    return site->Attach(control.Get(), state, sinkIid, sink);
}

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    ControlSite* site = SiteOf(window);
    if (message != 0 && message == getControlMessage) {
        IUnknown* control = site != NULL ? site->Control() : NULL;
        if (control != NULL) {
            control->AddRef();
        }
        return reinterpret_cast<LRESULT>(control);
    }
    if (message != 0 && message == getHostMessage) {
        if (site == NULL) {
            return 0;
        }
        site->AddRef();
        return reinterpret_cast<LRESULT>(static_cast<IOleClientSite*>(site));
    }
    switch (message) {
    case WM_CREATE: {
        ControlSite* created = HeapNew<ControlSite>(window);
        if (created == NULL) {
            return -1;
        }
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
        // A title names a control to create with the window.
        wchar_t name[MAX_PATH] = {0};
        if (GetWindowTextW(window, name, MAX_PATH) > 0) {
            AttachByName(window, name, NULL, IID_NULL, NULL);
        }
        return 0;
    }
    case WM_SIZE:
        if (site != NULL) {
            site->Resize(LOWORD(lParam), HIWORD(lParam));
        }
        return 0;
    case WM_SETFOCUS:
        if (site != NULL) {
            site->Focus();
        }
        return 0;
    case WM_DESTROY:
        if (site != NULL) {
            site->Detach();
        }
        return 0;
    case WM_NCDESTROY:
        if (site != NULL) {
            SetWindowLongPtrA(window, GWLP_USERDATA, 0);
            site->Release();
        }
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

HRESULT ControlModule::Init(HINSTANCE instance, const void* objectTable, const GUID* typeLibrary) {
    if (instance == NULL || objectTable != NULL || typeLibrary != NULL) {
        return E_INVALIDARG;
    }
    moduleInstance = instance;
    return S_OK;
}

void ControlModule::Term() {
    moduleInstance = NULL;
}

HINSTANCE ControlModule::Instance() {
    return moduleInstance != NULL ? moduleInstance : GetModuleHandleA(NULL);
}

BOOL InitControlHosting() {
    getHostMessage = RegisterWindowMessageA(kGetHostMessage);
    getControlMessage = RegisterWindowMessageA(kGetControlMessage);
    WNDCLASSEXA windowClass;
    ZeroMemory(&windowClass, sizeof(windowClass));
    windowClass.cbSize = sizeof(windowClass);
    HINSTANCE instance = ControlModule::Instance();
    if (GetClassInfoExA(instance, kHostClassName, &windowClass)) {
        return TRUE;
    }
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = HostWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(NULL, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    // Black, so that a container without a control shows as an empty screen saver.
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = kHostClassName;
    return getHostMessage != 0 && getControlMessage != 0 &&
           (RegisterClassExA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS);
}

HostWindow::HostWindow() : window_(NULL) {
    InitControlHosting();
}

HWND HostWindow::CreateHostWindow(HWND parent, const RECT& rect, DWORD style) {
    window_ =
        CreateWindowExA(0, kHostClassName, NULL, style, rect.left, rect.top, rect.right - rect.left,
                        rect.bottom - rect.top, parent, NULL, ControlModule::Instance(), NULL);
    return window_;
}

HRESULT HostWindow::CreateControl(const wchar_t* progId, IStream* state, IUnknown** container,
                                  IUnknown** control, REFIID sinkIid, IUnknown* sink) {
    if (container != NULL) {
        *container = NULL;
    }
    if (control != NULL) {
        *control = NULL;
    }
    if (window_ == NULL) {
        return E_FAIL;
    }
    HRESULT hr = AttachByName(window_, progId, state, sinkIid, sink);
    if (FAILED(hr)) {
        return hr;
    }
    ControlSite* site = SiteOf(window_);
    if (container != NULL) {
        site->AddRef();
        *container = static_cast<IOleClientSite*>(site);
    }
    if (control != NULL) {
        *control = site->Control();
        (*control)->AddRef();
    }
    return S_OK;
}

HRESULT HostWindow::AttachControl(IUnknown* control) {
    ControlSite* site = window_ != NULL ? SiteOf(window_) : NULL;
    return site != NULL ? site->Attach(control, NULL, IID_NULL, NULL) : E_FAIL;
}

HRESULT HostWindow::QueryControl(REFIID iid, void** out) {
    if (out == NULL) {
        return E_POINTER;
    }
    *out = NULL;
    if (window_ == NULL || getControlMessage == 0) {
        return E_FAIL;
    }
    // The window hands out a reference of its own.
    ComPtr<IUnknown> control(
        reinterpret_cast<IUnknown*>(SendMessageA(window_, getControlMessage, 0, 0)));
    return control.Valid() ? control->QueryInterface(iid, out) : E_FAIL;
}

BOOL HostWindow::DestroyWindow() {
    if (window_ == NULL || !::DestroyWindow(window_)) {
        return FALSE;
    }
    window_ = NULL;
    return TRUE;
}

} // namespace saver
