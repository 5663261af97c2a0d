// A container window for ActiveX controls: window class "AtlAxWin7". The window owns one
// control, activated in place over its client area; other code reaches the control
// through the registered message "WM_ATLGETCONTROL" (HostWindow::QueryControl).
#pragma once

#include <windows.h>
#include <ole2.h>

namespace saver {

extern const char kHostClassName[];     // "AtlAxWin7"
extern const char kGetHostMessage[];    // "WM_ATLGETHOST"
extern const char kGetControlMessage[]; // "WM_ATLGETCONTROL"

// The control-hosting state of the process: the module whose instance owns the container
// class. Initialised once at start-up, terminated at shutdown.
class ControlModule {
  public:
    // No object table and no type library: both must be null.
    static HRESULT Init(HINSTANCE instance, const void* objectTable = NULL,
                        const GUID* typeLibrary = NULL);
    static void Term();
    static HINSTANCE Instance(); // the executable's when not initialised
};

// Registers the container class and its two messages; may be called again.
BOOL InitControlHosting();

// Holds the handle of one container window; the window itself owns the control, so the
// object may go without destroying it.
class HostWindow {
  public:
    HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    // A child container at `rect` of `parent`; an empty title, so no control comes with it.
    HWND CreateHostWindow(HWND parent, const RECT& rect, DWORD style);
    // Creates the control named by `progId` in process and activates it in place.
    HRESULT CreateControl(const wchar_t* progId, IStream* state = NULL, IUnknown** container = NULL,
                          IUnknown** control = NULL, REFIID sinkIid = IID_NULL,
                          IUnknown* sink = NULL);
    // Hosts a control the caller made itself (no ProgID, no registry) and activates it in
    // place; the container takes its own reference.
    HRESULT AttachControl(IUnknown* control);
    // The control's interface `iid`; E_FAIL without a window or a control.
    HRESULT QueryControl(REFIID iid, void** out);
    // Destroys the window (deactivating and releasing the control); on success the held
    // handle becomes null.
    BOOL DestroyWindow();

    HWND Handle() const { return window_; }

  private:
    HWND window_;
};

} // namespace saver
