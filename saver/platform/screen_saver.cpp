#include "saver/platform/screen_saver.h"

#include "common/unique_handle.h"

namespace saver {

const char kSaverClassName[] = "WindowsScreenSaverClass";
const char kFullScreenTitle[] = "Screen Saver";
const char kPreviewTitle[] = "Preview";

namespace {

const int kIconId = 100;
const int kConfigureDialogId = 2003;
const UINT kScreenSaverRunning = 97; // SPI_SCREENSAVERRUNNING (SPI_SETSCREENSAVERRUNNING)
const DWORD kPasswordRetryMs = 200;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

const char* SkipBlanks(const char* p) {
    while (IsBlank(*p)) {
        ++p;
    }
    return p;
}

// A decimal window handle; digits only, and a number beyond 32 bits is no handle.
HWND ParseHandle(const char* p) {
    unsigned long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + static_cast<unsigned>(*p - '0');
        if (value > 0xFFFFFFFFull) {
            return NULL;
        }
    }
    return reinterpret_cast<HWND>(static_cast<UINT_PTR>(value));
}

bool IsNtFamily() {
    OSVERSIONINFOA version;
    ZeroMemory(&version, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(version);
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

BYTE CurrentAcLineStatus() {
    SYSTEM_POWER_STATUS status;
    if (!GetSystemPowerStatus(&status)) {
        return 255; // unknown
    }
    return status.ACLineStatus;
}

POINT CurrentCursor() {
    POINT point = {0, 0};
    GetCursorPos(&point);
    return point;
}

// The Windows 95/98/Me password check of PASSWORD.CPL, loaded only when the user asked
// for a password.
typedef BOOL(WINAPI* VerifyPasswordProc)(HWND parent);

class PasswordCheck {
  public:
    PasswordCheck() : verify_(NULL), lastAttempt_(0), attempted_(false), running_(false) {}
    ~PasswordCheck() { Unload(); }
    PasswordCheck(const PasswordCheck&) = delete;
    PasswordCheck& operator=(const PasswordCheck&) = delete;

    void LoadIfWanted() {
        attempted_ = false;
        if (IsNtFamily() || !PasswordWanted()) {
            return;
        }
        library_.Reset(LoadLibraryA("PASSWORD.CPL"));
        if (!library_.Valid()) {
            return;
        }
        verify_ = reinterpret_cast<VerifyPasswordProc>(
            reinterpret_cast<void*>(GetProcAddress(library_.Get(), "VerifyScreenSavePwd")));
        if (verify_ == NULL) {
            library_.Reset(NULL);
            return;
        }
        UINT previous = 0;
        SystemParametersInfoA(kScreenSaverRunning, 1, &previous, 0);
        running_ = true;
    }

    void Unload() {
        if (running_) {
            UINT previous = 0;
            SystemParametersInfoA(kScreenSaverRunning, 0, &previous, 0);
            running_ = false;
        }
        verify_ = NULL;
        library_.Reset(NULL);
    }

    bool Loaded() const { return verify_ != NULL; }

    // Whether the window may close now: at most one attempt per 200 ms.
    bool Accepts(HWND window) {
        if (verify_ == NULL) {
            return true;
        }
        if (attempted_ && GetTickCount() - lastAttempt_ < kPasswordRetryMs) {
            return false;
        }
        BOOL accepted = verify_(window);
        attempted_ = true;
        lastAttempt_ = GetTickCount();
        return accepted != FALSE;
    }

  private:
    static bool PasswordWanted() {
        RegKey desktop;
        HKEY key = NULL;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_READ, &key) !=
            ERROR_SUCCESS) {
            return false;
        }
        desktop.Reset(key);
        DWORD value = 0;
        DWORD size = sizeof(value);
        DWORD type = 0;
        if (RegQueryValueExA(desktop.Get(), "ScreenSaveUsePassword", NULL, &type,
                             reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS) {
            return false;
        }
        return (type == REG_DWORD || type == REG_BINARY) && size == sizeof(value) && value != 0;
    }

    Library library_;
    VerifyPasswordProc verify_;
    DWORD lastAttempt_;
    bool attempted_;
    bool running_;
};

// The one screen saver window of the process.
struct Framework {
    bool preview = false;
    bool created = false;    // the screen saver sees its window from WM_CREATE on
    bool destroying = false; // from WM_DESTROY on, nothing closes the window again
    UINT queryCancelAutoPlay = 0;
    ClosingRules rules;
    PasswordCheck password;
};
Framework framework;

LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        framework.created = true;
        framework.rules.Start(CurrentCursor(), CurrentAcLineStatus());
        break;
    case WM_DESTROY: {
        framework.destroying = true;
        // The quit message follows the saver's own handling: a modal box shown there
        // (an error at shutdown) would otherwise take it and vanish at once.
        LRESULT result = ScreenSaverProc(window, message, wParam, lParam);
        PostQuitMessage(0);
        return result;
    }
    case WM_SETTEXT:
        return FALSE; // the title names the mode; nobody renames the window
    case WM_CLOSE:
        // A close request still queued, or posted while a box of the shutdown is up,
        // must not destroy the window a second time from inside its own WM_DESTROY.
        if (framework.destroying) {
            return 0;
        }
        if (!framework.preview && !framework.password.Accepts(window)) {
            framework.rules.Renew(CurrentCursor());
            return 0;
        }
        break;
    default:
        if (message != 0 && message == framework.queryCancelAutoPlay &&
            framework.password.Loaded()) {
            PostMessageA(window, WM_CLOSE, 0, 0);
            return 1;
        }
        if (!framework.created) {
            return DefWindowProcA(window, message, wParam, lParam);
        }
        break;
    }
    return ScreenSaverProc(window, message, wParam, lParam);
}

bool RegisterSaverClass(HINSTANCE instance) {
    WNDCLASSA windowClass;
    ZeroMemory(&windowClass, sizeof(windowClass));
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_SAVEBITS | CS_DBLCLKS;
    windowClass.lpfnWndProc = SaverWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kIconId));
    windowClass.hCursor = NULL;
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = kSaverClassName;
    return RegisterClassA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

int RunMessageLoop() {
    MSG message;
    int result;
    while ((result = GetMessageA(&message, NULL, 0, 0)) != 0) {
        if (result == -1) {
            return -1;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

int RunSaverWindow(HINSTANCE instance, HWND previewParent) {
    framework.preview = previewParent != NULL;
    framework.created = false;
    framework.destroying = false;
    if (!framework.preview) {
        // A second full-screen start only brings the first one forward.
        HWND running = FindWindowA(kSaverClassName, kFullScreenTitle);
        if (running != NULL) {
            SetForegroundWindow(running);
            return 0;
        }
    }
    if (!RegisterSaverClass(instance)) {
        return -1;
    }
    framework.queryCancelAutoPlay = RegisterWindowMessageA("QueryCancelAutoPlay");

    HWND window;
    if (framework.preview) {
        RECT area;
        GetClientRect(previewParent, &area);
        window = CreateWindowExA(0, kSaverClassName, kPreviewTitle, WS_CHILD | WS_VISIBLE, 0, 0,
                                 area.right - area.left, area.bottom - area.top, previewParent,
                                 NULL, instance, NULL);
    } else {
        framework.password.LoadIfWanted();
        window = CreateWindowExA(WS_EX_TOPMOST, kSaverClassName, kFullScreenTitle,
                                 WS_POPUP | WS_VISIBLE, GetSystemMetrics(SM_XVIRTUALSCREEN),
                                 GetSystemMetrics(SM_YVIRTUALSCREEN),
                                 GetSystemMetrics(SM_CXVIRTUALSCREEN),
                                 GetSystemMetrics(SM_CYVIRTUALSCREEN), NULL, NULL, instance, NULL);
        if (window != NULL) {
            SetForegroundWindow(window);
        }
    }
    int exitCode = -1;
    if (window != NULL) {
        exitCode = RunMessageLoop();
    }
    framework.password.Unload();
    return exitCode;
}

HWND ParentOrForeground(HWND window) {
    return window != NULL && IsWindow(window) ? window : GetForegroundWindow();
}

int RunConfigure(HINSTANCE instance, HWND parent) {
    if (!RegisterDialogClasses(instance)) {
        return 0;
    }
    return static_cast<int>(DialogBoxParamA(instance, MAKEINTRESOURCEA(kConfigureDialogId),
                                            ParentOrForeground(parent), ScreenSaverConfigureDialog,
                                            0));
}

typedef DWORD(WINAPI* ChangePasswordProc)(LPCSTR provider, HWND parent, DWORD reserved1,
                                          DWORD reserved2);

int RunChangePassword(HWND parent) {
    if (IsNtFamily()) {
        return -1;
    }
    Library mpr(LoadLibraryA("MPR.DLL"));
    if (!mpr.Valid()) {
        return 0;
    }
    ChangePasswordProc change = reinterpret_cast<ChangePasswordProc>(
        reinterpret_cast<void*>(GetProcAddress(mpr.Get(), "PwdChangePasswordA")));
    if (change != NULL) {
        change("SCRSAVE", ParentOrForeground(parent), 0, 0);
    }
    return 0;
}

} // namespace

SaverCommand ParseSaverCommandLine(const char* args) {
    SaverCommand command = {SaverMode::Invalid, NULL};
    const char* p = args != NULL ? args : "";
    while (IsBlank(*p) || *p == '-' || *p == '/') {
        ++p;
    }
    switch (*p) {
    case '\0':
        command.mode = SaverMode::Configure;
        break;
    case 's':
    case 'S':
        command.mode = SaverMode::FullScreen;
        break;
    case 'p':
    case 'P':
    case 'l':
    case 'L':
        command.mode = SaverMode::Preview;
        command.window = ParseHandle(SkipBlanks(p + 1));
        break;
    case 'c':
    case 'C':
        p = SkipBlanks(p + 1);
        if (*p == ':') {
            ++p;
        }
        command.mode = SaverMode::Configure;
        command.window = ParseHandle(SkipBlanks(p));
        break;
    case 'a':
    case 'A':
        command.mode = SaverMode::ChangePassword;
        command.window = ParseHandle(SkipBlanks(p + 1));
        break;
    default:
        break;
    }
    return command;
}

ClosingRules::ClosingRules() : acLineStatus_(255) {
    reference_.x = reference_.y = 0;
}

void ClosingRules::Start(POINT cursor, BYTE acLineStatus) {
    reference_ = cursor;
    acLineStatus_ = acLineStatus;
}

SaverReply ClosingRules::Judge(UINT message, WPARAM wParam, LPARAM lParam,
                               const InputFacts& facts) {
    switch (message) {
    case WM_SETCURSOR:
        return SaverReply::HideCursor;
    case WM_SHOWWINDOW:
        return wParam != 0 ? SaverReply::HideCursorDefault : SaverReply::Default;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        return SaverReply::Close;
    case WM_ACTIVATEAPP:
        return wParam == 0 ? SaverReply::Close : SaverReply::Default;
    case WM_POWER:
        return wParam == PWR_CRITICALRESUME ? SaverReply::Close : SaverReply::Default;
    case WM_POWERBROADCAST:
        switch (wParam) {
        case PBT_APMRESUMECRITICAL:
        case PBT_APMRESUMESUSPEND:
        case PBT_APMRESUMESTANDBY:
        case PBT_APMRESUMEAUTOMATIC:
            return (lParam & PBTF_APMRESUMEFROMFAILURE) != 0 ? SaverReply::Default
                                                             : SaverReply::Close;
        case PBT_APMPOWERSTATUSCHANGE:
            if (facts.acLineStatus == acLineStatus_) {
                return SaverReply::Default;
            }
            acLineStatus_ = facts.acLineStatus;
            return SaverReply::Close;
        default:
            return SaverReply::Close;
        }
    case WM_MOUSEMOVE: {
        int dx = facts.cursor.x - reference_.x;
        int dy = facts.cursor.y - reference_.y;
        if ((dx < 0 ? -dx : dx) + (dy < 0 ? -dy : dy) > kMoveThreshold) {
            reference_ = facts.cursor;
            return SaverReply::Close;
        }
        return SaverReply::Default;
    }
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_NEXTWINDOW:
        case SC_PREVWINDOW:
        case SC_SCREENSAVE:
            return SaverReply::Zero;
        case SC_MONITORPOWER:
            return SaverReply::Close;
        default:
            return SaverReply::Default;
        }
    default:
        return SaverReply::Default;
    }
}

int RunScreenSaver(HINSTANCE instance, const char* args) {
    SaverCommand command = ParseSaverCommandLine(args);
    switch (command.mode) {
    case SaverMode::FullScreen:
        return RunSaverWindow(instance, NULL);
    case SaverMode::Preview:
        if (command.window == NULL || !IsWindow(command.window)) {
            return -1;
        }
        return RunSaverWindow(instance, command.window);
    case SaverMode::Configure:
        return RunConfigure(instance, command.window);
    case SaverMode::ChangePassword:
        return RunChangePassword(command.window);
    default:
        return -1;
    }
}

} // namespace saver

LRESULT WINAPI DefScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    using saver::framework;
    if (framework.preview) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    saver::InputFacts facts = {{0, 0}, 255};
    if (message == WM_MOUSEMOVE) {
        facts.cursor = saver::CurrentCursor();
    } else if (message == WM_POWERBROADCAST) {
        facts.acLineStatus = saver::CurrentAcLineStatus();
    }
    switch (framework.rules.Judge(message, wParam, lParam, facts)) {
    case saver::SaverReply::Close:
        PostMessageA(window, WM_CLOSE, 0, 0);
        break;
    case saver::SaverReply::Zero:
        return 0;
    case saver::SaverReply::HideCursor:
        SetCursor(NULL);
        return 1;
    case saver::SaverReply::HideCursorDefault:
        SetCursor(NULL);
        break;
    case saver::SaverReply::Default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
