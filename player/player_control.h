// The movie player control: a COM object that answers the Flash control's interface and
// the OLE interfaces a control container needs to activate it in place. Once active it
// owns a child window of class "FlickwellPlayer" that fills the rectangle its site gives,
// paints the movie's background colour (black without a readable movie) and runs the
// frame clock. Its window text is the URL given to put_Movie, so other programs can see
// what it plays.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include <string>

#include "player/core/timeline/frame_clock.h"
#include "player/core/swf/movie_reader.h"
#include "saver/platform/shockwave_flash.h"

// {F9EF14BC-14FF-4B69-A74E-B3C2985FF5E1}
extern const CLSID CLSID_FlickwellPlayer;
extern const wchar_t kPlayerWindowClass[];
// A registered window message ("FlickwellPlayerQuery") that lets other processes, such as
// tests of a host program, read the control's state from its window: wParam picks what.
extern const wchar_t kPlayerQueryMessage[];
enum PlayerQuery {
    kQueryFrame = 0,       // 0-based frame number
    kQueryPlaying = 1,     // 1 while the frame clock runs, else 0
    kQueryTotalFrames = 2, // the movie's frame count, 0 without a movie
    kQueryBackground = 3,  // 0xRRGGBB as painted
    kQueryLoop = 4,        // 1 when the movie loops
};
// How containers should treat the control (OLEMISC_ flags), also written to the registry.
extern const DWORD kPlayerMiscStatus;

// Module-wide counts for DllCanUnloadNow, and the DLL's instance for its window class.
void ModuleLock();
void ModuleUnlock();
bool ModuleInUse();
HINSTANCE ModuleInstance();
void SetModuleInstance(HINSTANCE instance);

// Reads the file named by a movie URL and checks it; empty (Ok is false) when the URL
// names no local file, the file cannot be read or is not a movie the reader accepts.
swf::ReadStatus LoadMovieFile(const std::wstring& url, swf::Movie* movie);

class PlayerControl final : public IShockwaveFlash,
                            public IOleObject,
                            public IOleInPlaceObject,
                            public IOleInPlaceActiveObject,
                            public IViewObject2,
                            public IOleControl,
                            public IPersistStreamInit,
                            public IPersistPropertyBag {
  public:
    // A new control with one reference, for the class factory.
    static HRESULT Create(REFIID iid, void** object);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch: the properties and methods a script would use, by name.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                               DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

    // IShockwaveFlash
    STDMETHODIMP get_ReadyState(long* state) override;
    STDMETHODIMP get_TotalFrames(long* frames) override;
    STDMETHODIMP get_Playing(VARIANT_BOOL* playing) override;
    STDMETHODIMP put_Playing(VARIANT_BOOL playing) override;
    STDMETHODIMP get_Quality(int* quality) override;
    STDMETHODIMP put_Quality(int quality) override;
    STDMETHODIMP get_ScaleMode(int* mode) override;
    STDMETHODIMP put_ScaleMode(int mode) override;
    STDMETHODIMP get_AlignMode(int* mode) override;
    STDMETHODIMP put_AlignMode(int mode) override;
    STDMETHODIMP get_BackgroundColor(long* color) override;
    STDMETHODIMP put_BackgroundColor(long color) override;
    STDMETHODIMP get_Loop(VARIANT_BOOL* loop) override;
    STDMETHODIMP put_Loop(VARIANT_BOOL loop) override;
    STDMETHODIMP get_Movie(BSTR* url) override;
    STDMETHODIMP put_Movie(BSTR url) override;
    STDMETHODIMP get_FrameNum(long* frame) override;
    STDMETHODIMP put_FrameNum(long frame) override;
    STDMETHODIMP SetZoomRect(long left, long top, long right, long bottom) override;
    STDMETHODIMP Zoom(int factor) override;
    STDMETHODIMP Pan(long x, long y, int mode) override;
    STDMETHODIMP Play() override;
    STDMETHODIMP Stop() override;
    STDMETHODIMP Back() override;
    STDMETHODIMP Forward() override;
    STDMETHODIMP Rewind() override;
    STDMETHODIMP StopPlay() override;
    STDMETHODIMP GotoFrame(long frame) override;
    STDMETHODIMP CurrentFrame(long* frame) override;
    STDMETHODIMP IsPlaying(VARIANT_BOOL* playing) override;
    STDMETHODIMP PercentLoaded(long* percent) override;
    STDMETHODIMP FrameLoaded(long frame, VARIANT_BOOL* loaded) override;
    STDMETHODIMP FlashVersion(long* version) override;
    STDMETHODIMP get_WMode(BSTR* mode) override;
    STDMETHODIMP put_WMode(BSTR mode) override;
    STDMETHODIMP get_SAlign(BSTR* align) override;
    STDMETHODIMP put_SAlign(BSTR align) override;
    STDMETHODIMP get_Menu(VARIANT_BOOL* menu) override;
    STDMETHODIMP put_Menu(VARIANT_BOOL menu) override;
    STDMETHODIMP get_Base(BSTR* base) override;
    STDMETHODIMP put_Base(BSTR base) override;
    STDMETHODIMP get_Scale(BSTR* scale) override;
    STDMETHODIMP put_Scale(BSTR scale) override;
    STDMETHODIMP get_DeviceFont(VARIANT_BOOL* font) override;
    STDMETHODIMP put_DeviceFont(VARIANT_BOOL font) override;
    STDMETHODIMP get_EmbedMovie(VARIANT_BOOL* embed) override;
    STDMETHODIMP put_EmbedMovie(VARIANT_BOOL embed) override;
    STDMETHODIMP get_BGColor(BSTR* color) override;
    STDMETHODIMP put_BGColor(BSTR color) override;
    STDMETHODIMP get_Quality2(BSTR* quality) override;
    STDMETHODIMP put_Quality2(BSTR quality) override;
    STDMETHODIMP LoadMovie(int layer, BSTR url) override;
    STDMETHODIMP TGotoFrame(BSTR target, long frame) override;
    STDMETHODIMP TGotoLabel(BSTR target, BSTR label) override;
    STDMETHODIMP TCurrentFrame(BSTR target, long* frame) override;
    STDMETHODIMP TCurrentLabel(BSTR target, BSTR* label) override;
    STDMETHODIMP TPlay(BSTR target) override;
    STDMETHODIMP TStopPlay(BSTR target) override;
    STDMETHODIMP SetVariable(BSTR name, BSTR value) override;
    STDMETHODIMP GetVariable(BSTR name, BSTR* value) override;
    STDMETHODIMP TSetProperty(BSTR target, int property, BSTR value) override;
    STDMETHODIMP TGetProperty(BSTR target, int property, BSTR* value) override;
    STDMETHODIMP TCallFrame(BSTR target, int frame) override;
    STDMETHODIMP TCallLabel(BSTR target, BSTR label) override;
    STDMETHODIMP TSetPropertyNum(BSTR target, int property, double value) override;
    STDMETHODIMP TGetPropertyNum(BSTR target, int property, double* value) override;
    STDMETHODIMP TGetPropertyAsNumber(BSTR target, int property, double* value) override;
    STDMETHODIMP get_SWRemote(BSTR* remote) override;
    STDMETHODIMP put_SWRemote(BSTR remote) override;
    STDMETHODIMP get_FlashVars(BSTR* vars) override;
    STDMETHODIMP put_FlashVars(BSTR vars) override;
    STDMETHODIMP get_AllowScriptAccess(BSTR* access) override;
    STDMETHODIMP put_AllowScriptAccess(BSTR access) override;
    STDMETHODIMP get_MovieData(BSTR* data) override;
    STDMETHODIMP put_MovieData(BSTR data) override;
    STDMETHODIMP get_InlineData(IUnknown** data) override;
    STDMETHODIMP put_InlineData(IUnknown* data) override;
    STDMETHODIMP get_SeamlessTabbing(VARIANT_BOOL* tabbing) override;
    STDMETHODIMP put_SeamlessTabbing(VARIANT_BOOL tabbing) override;
    STDMETHODIMP EnforceLocalSecurity() override;
    STDMETHODIMP get_Profile(VARIANT_BOOL* profile) override;
    STDMETHODIMP put_Profile(VARIANT_BOOL profile) override;
    STDMETHODIMP get_ProfileAddress(BSTR* address) override;
    STDMETHODIMP put_ProfileAddress(BSTR address) override;
    STDMETHODIMP get_ProfilePort(long* port) override;
    STDMETHODIMP put_ProfilePort(long port) override;
    STDMETHODIMP CallFunction(BSTR request, BSTR* response) override;
    STDMETHODIMP SetReturnValue(BSTR value) override;
    STDMETHODIMP DisableLocalSecurity() override;
    STDMETHODIMP get_AllowNetworking(BSTR* networking) override;
    STDMETHODIMP put_AllowNetworking(BSTR networking) override;
    STDMETHODIMP get_AllowFullScreen(BSTR* fullScreen) override;
    STDMETHODIMP put_AllowFullScreen(BSTR fullScreen) override;

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override;
    STDMETHODIMP GetClientSite(IOleClientSite** site) override;
    STDMETHODIMP SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
    STDMETHODIMP Close(DWORD saveOption) override;
    STDMETHODIMP SetMoniker(DWORD which, IMoniker* moniker) override;
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
    STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** data) override;
    STDMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite* site, LONG index, HWND parent,
                        LPCRECT position) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
    STDMETHODIMP Update() override;
    STDMETHODIMP IsUpToDate() override;
    STDMETHODIMP GetUserClassID(CLSID* clsid) override;
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) override;
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** advise) override;
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE* palette) override;

    // IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override;
    STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
    STDMETHODIMP ReactivateAndUndo() override;
    STDMETHODIMP TranslateAccelerator(LPMSG msg) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
    STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
    STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame) override;
    STDMETHODIMP EnableModeless(BOOL enable) override;

    // IViewObject2: draws the background into a container's device context.
    STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                      HDC targetDc, HDC dc, LPCRECTL bounds, LPCRECTL wBounds,
                      BOOL(STDMETHODCALLTYPE* cont)(ULONG_PTR), ULONG_PTR contArg) override;
    STDMETHODIMP GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                             HDC targetDc, LOGPALETTE** colors) override;
    STDMETHODIMP Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) override;
    STDMETHODIMP Unfreeze(DWORD freeze) override;
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, LPSIZEL size) override;

    // IOleControl
    STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
    STDMETHODIMP OnMnemonic(MSG* msg) override;
    STDMETHODIMP OnAmbientPropertyChange(DISPID id) override;
    STDMETHODIMP FreezeEvents(BOOL freeze) override;

    // IPersist, IPersistStreamInit, IPersistPropertyBag: nothing is persisted; the
    // container's "Movie" property, if it has one, is honoured.
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(LPSTREAM stream) override;
    STDMETHODIMP Save(LPSTREAM stream, BOOL clearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
    STDMETHODIMP InitNew() override;
    STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
    STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

  private:
    PlayerControl();
    ~PlayerControl();
    PlayerControl(const PlayerControl&) = delete;
    PlayerControl& operator=(const PlayerControl&) = delete;

    HRESULT ActivateInPlace(IOleClientSite* site, HWND parent, LPCRECT position, bool ui);
    bool CreateControlWindow(HWND parent, const RECT& position);
    void StartClock();
    COLORREF PaintColour() const;
    LRESULT Query(int what);

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void AnnounceActiveObject(IOleInPlaceActiveObject* active);

    LONG references_ = 1;
    const UINT queryMessage_;
    IOleClientSite* site_ = nullptr;
    IOleInPlaceSite* inPlaceSite_ = nullptr; // held while active in place
    IAdviseSink* viewSink_ = nullptr;
    IOleAdviseHolder* adviseHolder_ = nullptr;
    HWND window_ = NULL;
    bool uiActive_ = false;

    std::wstring url_;
    swf::Movie movie_;
    bool movieLoaded_ = false;
    FrameClock clock_;
    long backgroundOverride_ = -1; // 0xRRGGBB set through put_BackgroundColor, or -1
    int quality_ = 1;
    int scaleMode_ = 0;
    int alignMode_ = 0;
    SIZEL extent_ = {14552, 10583}; // 550 x 400 pixels in HIMETRIC, until a site says
};
